/* clang-format off: the object tables are laid out by hand, a slot a line */
#pragma once
/* The data engine NovaODBC3 as its consumers see it: the one export and the slot tables of the
 * objects it hands out. Every object's first member is its slot table; every operation takes the
 * object as its first argument. Slots 0 to 6 are the same everywhere (RtDispatchSlots). Slots
 * marked "unused" answer E_FAIL.
 *
 * Ownership: a BSTR or VARIANT returned belongs to the caller (free with rtSysFreeString /
 * rtVariantClear from rt_olemem); an object returned carries one count for the caller, who
 * releases it (slot 2) once. No object keeps its parent alive: release children first.
 * VARIANT arguments are passed by value. */

#include "runtime/ole/ole_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NOVA_UNUSED0(n) HRESULT (*unused##n)(void* self);
#define NOVA_UNUSED1(n) HRESULT (*unused##n)(void* self, void* a);
#define NOVA_UNUSED4(n) HRESULT (*unused##n)(void* self, void* a, void* b, void* c, void* d);
#define NOVA_UNUSED5(n) HRESULT (*unused##n)(void* self, void* a, void* b, void* c, void* d, void* e);
#define NOVA_UNUSED6(n) HRESULT (*unused##n)(void* self, void* a, void* b, void* c, void* d, void* e, void* f);

/* Engine: 24 slots. */
typedef struct NovaEngineSlots {
    RtDispatchSlots base;
    NOVA_UNUSED1(7) NOVA_UNUSED1(8) NOVA_UNUSED1(9) NOVA_UNUSED1(10) NOVA_UNUSED1(11) NOVA_UNUSED1(12)
    HRESULT (*Environments)(void* self, void** out);                                  /* 13 */
    HRESULT (*Errors)(void* self, void** out);                                        /* 14 */
    NOVA_UNUSED1(15) NOVA_UNUSED1(16) NOVA_UNUSED1(17) NOVA_UNUSED1(18) NOVA_UNUSED1(19)
    NOVA_UNUSED4(20)
    HRESULT (*CreateEnvironment)(void* self, BSTR name, BSTR user, BSTR password, void** out); /* 21 */
    NOVA_UNUSED1(22) NOVA_UNUSED1(23)
} NovaEngineSlots;

/* Environments collection: 15 slots. Item makes a new environment on every call. */
typedef struct NovaEnvironmentsSlots {
    RtDispatchSlots base;
    HRESULT (*Count)(void* self, int32_t* out);                                       /* 7 */
    NOVA_UNUSED1(8) NOVA_UNUSED1(9) NOVA_UNUSED4(10) NOVA_UNUSED5(11) NOVA_UNUSED0(12)
    HRESULT (*Item)(void* self, VARIANT index, void** out);                           /* 13 */
    NOVA_UNUSED1(14)
} NovaEnvironmentsSlots;

/* Environment: 23 slots. */
typedef struct NovaEnvironmentSlots {
    RtDispatchSlots base;
    NOVA_UNUSED1(7) NOVA_UNUSED1(8) NOVA_UNUSED1(9) NOVA_UNUSED1(10) NOVA_UNUSED1(11)
    HRESULT (*GetLoginTimeout)(void* self, int32_t* out);                             /* 12 */
    HRESULT (*PutLoginTimeout)(void* self, int32_t seconds);                          /* 13 */
    NOVA_UNUSED1(14) NOVA_UNUSED1(15) NOVA_UNUSED1(16)
    NOVA_UNUSED0(17) NOVA_UNUSED0(18) NOVA_UNUSED0(19) NOVA_UNUSED0(20)
    /* prompt: VT_I2 completion mode (-1 or any other type: 3); only prompt and connect are read */
    HRESULT (*OpenConnection)(void* self, BSTR name, VARIANT prompt, VARIANT readOnly,
                              int64_t reserved, BSTR connect, int32_t options, void** out); /* 21 */
    HRESULT (*unused22)(void* self, BSTR name, VARIANT prompt, VARIANT readOnly,
                        int64_t reserved, BSTR connect, int32_t options, void** out);
} NovaEnvironmentSlots;

/* Connection: 31 slots. */
typedef struct NovaConnectionSlots {
    RtDispatchSlots base;
    NOVA_UNUSED1(7)
    HRESULT (*PutQueryTimeout)(void* self, int32_t seconds);       /* 8: answers the value itself */
    NOVA_UNUSED1(9) NOVA_UNUSED1(10) NOVA_UNUSED1(11) NOVA_UNUSED1(12) NOVA_UNUSED1(13)
    NOVA_UNUSED1(14) NOVA_UNUSED1(15) NOVA_UNUSED1(16) NOVA_UNUSED1(17) NOVA_UNUSED1(18)
    NOVA_UNUSED1(19) NOVA_UNUSED1(20) NOVA_UNUSED1(21)
    HRESULT (*Close)(void* self);                                                     /* 22 */
    HRESULT (*Execute)(void* self, BSTR sql, VARIANT options);                        /* 23 */
    HRESULT (*OpenResultset)(void* self, BSTR sql, VARIANT type, VARIANT lockType,
                             VARIANT options, void** out);                            /* 24 */
    NOVA_UNUSED6(25)
    NOVA_UNUSED0(26) NOVA_UNUSED0(27) NOVA_UNUSED0(28) NOVA_UNUSED0(29)
    NOVA_UNUSED1(30)
} NovaConnectionSlots;

/* Resultset: 51 slots. */
typedef struct NovaResultsetSlots {
    RtDispatchSlots base;
    NOVA_UNUSED1(7) NOVA_UNUSED1(8)
    HRESULT (*Columns)(void* self, void** out);                                       /* 9 */
    NOVA_UNUSED1(10) NOVA_UNUSED1(11) NOVA_UNUSED1(12) NOVA_UNUSED1(13) NOVA_UNUSED1(14)
    NOVA_UNUSED1(15) NOVA_UNUSED1(16) NOVA_UNUSED1(17)
    /* 18: end of data: *out and the result are 1 (S_FALSE) once a fetch found no more rows */
    HRESULT (*EndOfData)(void* self, int32_t* out);
    NOVA_UNUSED1(19) NOVA_UNUSED1(20) NOVA_UNUSED1(21) NOVA_UNUSED1(22) NOVA_UNUSED1(23)
    NOVA_UNUSED1(24) NOVA_UNUSED1(25) NOVA_UNUSED1(26) NOVA_UNUSED1(27) NOVA_UNUSED1(28)
    HRESULT (*Close)(void* self);                                                     /* 29 */
    NOVA_UNUSED1(30) NOVA_UNUSED1(31) NOVA_UNUSED1(32) NOVA_UNUSED1(33) NOVA_UNUSED1(34)
    NOVA_UNUSED1(35) NOVA_UNUSED1(36)
    HRESULT (*OpenStatement)(void* self);                                             /* 37 */
    NOVA_UNUSED1(38) NOVA_UNUSED1(39) NOVA_UNUSED1(40) NOVA_UNUSED1(41)
    /* 42: one row per call as VT_ARRAY|VT_VARIANT, dimensions (columns, 1); rows is not read */
    HRESULT (*GetRows)(void* self, VARIANT rows, VARIANT* out);
    NOVA_UNUSED1(43) NOVA_UNUSED1(44) NOVA_UNUSED1(45) NOVA_UNUSED1(46) NOVA_UNUSED1(47)
    NOVA_UNUSED1(48) NOVA_UNUSED1(49) NOVA_UNUSED1(50)
} NovaResultsetSlots;

/* Columns collection: 15 slots (same shape as the environments collection). */
typedef struct NovaColumnsSlots {
    RtDispatchSlots base;
    HRESULT (*Count)(void* self, int32_t* out);                                       /* 7 */
    NOVA_UNUSED1(8) NOVA_UNUSED1(9) NOVA_UNUSED4(10) NOVA_UNUSED5(11) NOVA_UNUSED0(12)
    HRESULT (*Item)(void* self, VARIANT index, void** out);                           /* 13 */
    NOVA_UNUSED1(14)
} NovaColumnsSlots;

/* Column: 25 slots. */
typedef struct NovaColumnSlots {
    RtDispatchSlots base;
    NOVA_UNUSED1(7) NOVA_UNUSED1(8)
    HRESULT (*Type)(void* self, int16_t* out);                                        /* 9 */
    HRESULT (*Name)(void* self, BSTR* out);                                           /* 10 */
    HRESULT (*Size)(void* self, int32_t* out);                                        /* 11 */
    NOVA_UNUSED1(12) NOVA_UNUSED1(13) NOVA_UNUSED1(14) NOVA_UNUSED1(15) NOVA_UNUSED1(16)
    NOVA_UNUSED1(17) NOVA_UNUSED1(18) NOVA_UNUSED1(19) NOVA_UNUSED1(20) NOVA_UNUSED1(21)
    NOVA_UNUSED1(22) NOVA_UNUSED1(23) NOVA_UNUSED1(24)
} NovaColumnSlots;

/* Errors collection: 16 slots; entry 0 is the newest. */
typedef struct NovaErrorsSlots {
    RtDispatchSlots base;
    HRESULT (*Count)(void* self, int32_t* out);                                       /* 7 */
    NOVA_UNUSED1(8) NOVA_UNUSED1(9) NOVA_UNUSED4(10) NOVA_UNUSED5(11) NOVA_UNUSED0(12)
    HRESULT (*Item)(void* self, VARIANT index, void** out);                           /* 13 */
    NOVA_UNUSED1(14)
    HRESULT (*Clear)(void* self);                                                     /* 15 */
} NovaErrorsSlots;

/* Error: 15 slots. */
typedef struct NovaErrorSlots {
    RtDispatchSlots base;
    HRESULT (*Number)(void* self, int32_t* out);                                      /* 7 */
    NOVA_UNUSED1(8)
    HRESULT (*Description)(void* self, BSTR* out);                                    /* 9 */
    NOVA_UNUSED1(10) NOVA_UNUSED1(11) NOVA_UNUSED1(12) NOVA_UNUSED1(13)
    HRESULT (*Destroy)(void* self, uint32_t flags);      /* 14: frees the object, whatever its count */
} NovaErrorSlots;

#define NOVA_SLOT_OFFSET_OK(T, m, n) RT_OLE_STATIC_ASSERT(offsetof(T, m) == (n) * sizeof(void*), #T "." #m " is slot " #n)
NOVA_SLOT_OFFSET_OK(NovaEngineSlots, Environments, 13);
NOVA_SLOT_OFFSET_OK(NovaEngineSlots, Errors, 14);
NOVA_SLOT_OFFSET_OK(NovaEngineSlots, CreateEnvironment, 21);
RT_OLE_STATIC_ASSERT(sizeof(NovaEngineSlots) == 24 * sizeof(void*), "engine: 24 slots");
NOVA_SLOT_OFFSET_OK(NovaEnvironmentsSlots, Count, 7);
NOVA_SLOT_OFFSET_OK(NovaEnvironmentsSlots, Item, 13);
RT_OLE_STATIC_ASSERT(sizeof(NovaEnvironmentsSlots) == 15 * sizeof(void*), "environments: 15 slots");
NOVA_SLOT_OFFSET_OK(NovaEnvironmentSlots, GetLoginTimeout, 12);
NOVA_SLOT_OFFSET_OK(NovaEnvironmentSlots, PutLoginTimeout, 13);
NOVA_SLOT_OFFSET_OK(NovaEnvironmentSlots, OpenConnection, 21);
RT_OLE_STATIC_ASSERT(sizeof(NovaEnvironmentSlots) == 23 * sizeof(void*), "environment: 23 slots");
NOVA_SLOT_OFFSET_OK(NovaConnectionSlots, PutQueryTimeout, 8);
NOVA_SLOT_OFFSET_OK(NovaConnectionSlots, Close, 22);
NOVA_SLOT_OFFSET_OK(NovaConnectionSlots, Execute, 23);
NOVA_SLOT_OFFSET_OK(NovaConnectionSlots, OpenResultset, 24);
RT_OLE_STATIC_ASSERT(sizeof(NovaConnectionSlots) == 31 * sizeof(void*), "connection: 31 slots");
NOVA_SLOT_OFFSET_OK(NovaResultsetSlots, Columns, 9);
NOVA_SLOT_OFFSET_OK(NovaResultsetSlots, EndOfData, 18);
NOVA_SLOT_OFFSET_OK(NovaResultsetSlots, Close, 29);
NOVA_SLOT_OFFSET_OK(NovaResultsetSlots, OpenStatement, 37);
NOVA_SLOT_OFFSET_OK(NovaResultsetSlots, GetRows, 42);
RT_OLE_STATIC_ASSERT(sizeof(NovaResultsetSlots) == 51 * sizeof(void*), "resultset: 51 slots");
NOVA_SLOT_OFFSET_OK(NovaColumnsSlots, Count, 7);
NOVA_SLOT_OFFSET_OK(NovaColumnsSlots, Item, 13);
RT_OLE_STATIC_ASSERT(sizeof(NovaColumnsSlots) == 15 * sizeof(void*), "columns: 15 slots");
NOVA_SLOT_OFFSET_OK(NovaColumnSlots, Type, 9);
NOVA_SLOT_OFFSET_OK(NovaColumnSlots, Name, 10);
NOVA_SLOT_OFFSET_OK(NovaColumnSlots, Size, 11);
RT_OLE_STATIC_ASSERT(sizeof(NovaColumnSlots) == 25 * sizeof(void*), "column: 25 slots");
NOVA_SLOT_OFFSET_OK(NovaErrorsSlots, Count, 7);
NOVA_SLOT_OFFSET_OK(NovaErrorsSlots, Item, 13);
NOVA_SLOT_OFFSET_OK(NovaErrorsSlots, Clear, 15);
RT_OLE_STATIC_ASSERT(sizeof(NovaErrorsSlots) == 16 * sizeof(void*), "errors: 16 slots");
NOVA_SLOT_OFFSET_OK(NovaErrorSlots, Number, 7);
NOVA_SLOT_OFFSET_OK(NovaErrorSlots, Description, 9);
NOVA_SLOT_OFFSET_OK(NovaErrorSlots, Destroy, 14);
RT_OLE_STATIC_ASSERT(sizeof(NovaErrorSlots) == 15 * sizeof(void*), "error: 15 slots");

/* The export: a new engine with one count for the caller; NULL when out of memory. */
typedef void* (*FODBC_CreateEngine_t)(void);
#define NOVA_EXPORT_NAME "FODBC_CreateEngine"

#ifdef __cplusplus
}
#endif
/* clang-format on */
