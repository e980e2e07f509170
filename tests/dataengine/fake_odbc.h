#pragma once
// Control of the scripted driver manager (libnova_fake_odbc.so): what its functions answer,
// the result it serves, and the log of the calls it received.

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*fake_reset_t)(void);
// The next call of fn answers rc (one-shot, in order).
typedef void (*fake_push_result_t)(const char* fn, int rc);
// Every call of fn answers rc from now on.
typedef void (*fake_set_result_t)(const char* fn, int rc);
// The next SQLError answers rc with this diagnostic.
typedef void (*fake_push_diag_t)(int rc, const char* state, int native, const char* message);
// A result column: SQL type, column size and decimal digits (SQLDescribeCol), the length that
// SQL_COLUMN_LENGTH reports, and the table name that SQLColAttribute reports.
typedef void (*fake_add_column_t)(const char* name, int sqlType, int columnSize, int decimals, int length,
                                  const char* table);
// A result row; a NULL value is SQL NULL.
typedef void (*fake_add_row_t)(const char* const* values, int count);
// Column names that SQLColumns lists for a table ("owner.table" or "table").
typedef void (*fake_set_catalog_t)(const char* table, const char* const* names, int count);
// All calls so far, one line each.
typedef const char* (*fake_log_t)(void);
// How many calls of fn were made.
typedef int (*fake_count_t)(const char* fn);

#ifdef __cplusplus
}
#endif
