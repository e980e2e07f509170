/* An outside consumer written in C: loads the engine library, walks engine -> environment ->
 * connection -> resultset -> columns and rows -> errors by slot number only, and frees what it
 * is given with the shared allocator. Exit code 0 when everything answered as expected. */
#include "runtime/ole/ole_types.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <uchar.h>
#include <unistd.h>

typedef void* (*create_fn)(void);
typedef uint32_t (*ref_fn)(void*);
typedef HRESULT (*qi_fn)(void*, const GUID*, void**);
typedef HRESULT (*out_fn)(void*, void**);
typedef HRESULT (*out_i32_fn)(void*, int32_t*);
typedef HRESULT (*out_i16_fn)(void*, int16_t*);
typedef HRESULT (*out_bstr_fn)(void*, BSTR*);
typedef HRESULT (*none_fn)(void*);
typedef HRESULT (*item_fn)(void*, VARIANT, void**);
typedef HRESULT (*create_env_fn)(void*, BSTR, BSTR, BSTR, void**);
typedef HRESULT (*open_conn_fn)(void*, BSTR, VARIANT, VARIANT, int64_t, BSTR, int32_t, void**);
typedef HRESULT (*execute_fn)(void*, BSTR, VARIANT);
typedef HRESULT (*open_rs_fn)(void*, BSTR, VARIANT, VARIANT, VARIANT, void**);
typedef HRESULT (*get_rows_fn)(void*, VARIANT, VARIANT*);

#define SLOT(obj, n) ((*(void* const* const*)(obj))[n])

static int failures = 0;
#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                              \
        }                                                                            \
    } while (0)

static BSTR ascii(const char* s) {
    size_t n = strlen(s);
    BSTR b = rtSysAllocStringLen(NULL, (uint32_t)n);
    for (size_t i = 0; i < n; ++i) b[i] = (OLECHAR)(unsigned char)s[i];
    return b;
}

static int sameText(BSTR b, const char16_t* expected) {
    size_t n = 0;
    while (expected[n]) ++n;
    return b && rtSysStringLen(b) == n && memcmp(b, expected, n * 2) == 0;
}

static VARIANT number(int16_t v) {
    VARIANT x;
    rtVariantInit(&x);
    x.vt = VT_I2;
    x.iVal = v;
    return x;
}

static uint32_t release(void* o) { return ((ref_fn)SLOT(o, 2))(o); }

static HRESULT execute(void* conn, const char* sql) {
    BSTR s = ascii(sql);
    VARIANT none;
    rtVariantInit(&none);
    HRESULT hr = ((execute_fn)SLOT(conn, 23))(conn, s, none);
    rtSysFreeString(s);
    return hr;
}

static void* openResultset(void* conn, const char* sql, HRESULT* hr) {
    void* rs = NULL;
    BSTR s = ascii(sql);
    VARIANT none;
    rtVariantInit(&none);
    *hr = ((open_rs_fn)SLOT(conn, 24))(conn, s, number(0), number(1), none, &rs);
    rtSysFreeString(s);
    return rs;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    unlink(argv[1]);
    void* lib = dlopen(NOVA_ENGINE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    create_fn create = (create_fn)dlsym(lib, "FODBC_CreateEngine");
    CHECK(create != NULL);
    if (!create) return 1;

    void* engine = create();
    CHECK(engine != NULL);

    /* Slot 0 answers IUnknown only. */
    const GUID unknown = RT_IID_IUNKNOWN_INIT;
    void* same = NULL;
    CHECK(((qi_fn)SLOT(engine, 0))(engine, &unknown, &same) == S_OK && same == engine);
    CHECK(release(engine) == 1);

    void* env = NULL;
    BSTR empty = ascii("");
    BSTR envName = ascii("Default_Environment");
    CHECK(((create_env_fn)SLOT(engine, 21))(engine, envName, empty, empty, &env) == S_OK && env);
    rtSysFreeString(envName);

    char connect[4096];
    snprintf(connect, sizeof connect, "DRIVER=SQLite3;SERVER=;UID=;PWD=;Database=%s", argv[1]);
    BSTR connectText = ascii(connect);
    VARIANT none;
    rtVariantInit(&none);
    void* conn = NULL;
    CHECK(((open_conn_fn)SLOT(env, 21))(env, empty, number(0), none, 0, connectText, 0, &conn) == S_OK && conn);
    rtSysFreeString(connectText);
    if (!conn) return 1;

    CHECK(execute(conn, "CREATE TABLE t (id INTEGER, name VARCHAR(20))") == S_OK);
    /* The umlaut travels as UTF-8 in the statement text. */
    BSTR insert = ascii("INSERT INTO t VALUES (1, 'M?ller')");
    insert[27] = 0x00FC;
    VARIANT noOptions;
    rtVariantInit(&noOptions);
    CHECK(((execute_fn)SLOT(conn, 23))(conn, insert, noOptions) == S_OK);
    rtSysFreeString(insert);
    CHECK(execute(conn, "INSERT INTO t VALUES (2, NULL)") == S_OK);

    HRESULT hr;
    void* rs = openResultset(conn, "SELECT id, name FROM t ORDER BY id", &hr);
    CHECK(hr == S_OK && rs);
    if (!rs) return 1;

    void* cols = NULL;
    CHECK(((out_fn)SLOT(rs, 9))(rs, &cols) == S_OK);
    int32_t count = 0;
    CHECK(((out_i32_fn)SLOT(cols, 7))(cols, &count) == S_OK && count == 2);
    void* col = NULL;
    CHECK(((item_fn)SLOT(cols, 13))(cols, number(1), &col) == S_OK && col);
    BSTR name = NULL;
    CHECK(((out_bstr_fn)SLOT(col, 10))(col, &name) == S_OK && sameText(name, u"name"));
    rtSysFreeString(name);
    int16_t type = 0;
    CHECK(((out_i16_fn)SLOT(col, 9))(col, &type) == S_OK && type == 12);
    CHECK(release(col) == 1);
    CHECK(release(cols) == 1);

    VARIANT row;
    int rows = 0;
    for (;;) {
        hr = ((get_rows_fn)SLOT(rs, 42))(rs, number(1), &row);
        if (hr != S_OK) break;
        CHECK(row.vt == (VT_ARRAY | VT_VARIANT));
        SAFEARRAY* psa = row.parray;
        CHECK(psa->cDims == 2 && psa->rgsabound[0].cElements == 1 && psa->rgsabound[1].cElements == 2);
        VARIANT* cell = (VARIANT*)psa->pvData;
        CHECK(cell[0].vt == VT_I4 && cell[0].lVal == rows + 1);
        if (rows == 0) CHECK(cell[1].vt == VT_BSTR && sameText(cell[1].bstrVal, u"M\u00fcller"));
        if (rows == 1) CHECK(cell[1].vt == VT_NULL);
        rtVariantClear(&row);
        ++rows;
    }
    CHECK(rows == 2);
    CHECK(hr == E_FAIL);

    void* errs = NULL;
    CHECK(((out_fn)SLOT(engine, 14))(engine, &errs) == S_OK && errs);
    CHECK(((out_i32_fn)SLOT(errs, 7))(errs, &count) == S_OK && count == 0);

    void* bad = openResultset(conn, "SELECT * FROM nowhere", &hr);
    CHECK(hr == E_FAIL && bad == NULL);
    CHECK(((out_i32_fn)SLOT(errs, 7))(errs, &count) == S_OK && count == 1);
    void* err = NULL;
    CHECK(((item_fn)SLOT(errs, 13))(errs, number(0), &err) == S_OK && err);
    BSTR description = NULL;
    CHECK(((out_bstr_fn)SLOT(err, 9))(err, &description) == S_OK && description);
    int found = 0;
    for (uint32_t i = 0; description && i + 9 <= rtSysStringLen(description); ++i)
        if (memcmp(description + i, u"SQLSTATE=", 18) == 0) found = 1;
    CHECK(found);
    rtSysFreeString(description);
    CHECK(release(err) == 1);
    CHECK(((none_fn)SLOT(errs, 15))(errs) == S_OK);
    CHECK(release(errs) == 1);

    CHECK(((none_fn)SLOT(rs, 29))(rs) == S_OK);
    CHECK(release(rs) == 0);
    CHECK(((none_fn)SLOT(conn, 22))(conn) == S_OK);
    CHECK(release(conn) == 0);
    CHECK(release(env) == 0);
    CHECK(release(engine) == 0);
    rtSysFreeString(empty);
    unlink(argv[1]);
    if (failures)
        fprintf(stderr, "%d checks failed\n", failures);
    else
        printf("walk complete\n");
    return failures ? 1 : 0;
}
