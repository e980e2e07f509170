// Engine, environments collection, environment, errors, and the slots every object shares.
#include "dataengine/engine_internal.h"

#include <cassert>
#include <cstring>

namespace novaodbc {

// ---- small utilities ----

bool PtrArray::reserve(uint32_t size) {
    if (size <= capacity_) return true;
    uint32_t grow = step_;
    if (grow == 0) {
        grow = count_ / 8;
        if (grow < 4) grow = 4;
        if (grow > 1024) grow = 1024;
    }
    uint64_t cap = uint64_t(capacity_) + grow;
    if (cap < size) cap = size;
    if (cap > 0x3fffffffu) return false;
    auto* p = static_cast<void**>(std::realloc(items_, size_t(cap) * sizeof(void*)));
    if (!p) return false;
    std::memset(p + capacity_, 0, size_t(cap - capacity_) * sizeof(void*));
    items_ = p;
    capacity_ = uint32_t(cap);
    return true;
}

bool PtrArray::insert(uint32_t pos, void* p) {
    if (pos > count_ || !reserve(count_ + 1)) return false;
    std::memmove(items_ + pos + 1, items_ + pos, size_t(count_ - pos) * sizeof(void*));
    items_[pos] = p;
    ++count_;
    return true;
}

void PtrArray::remove(uint32_t pos) {
    if (pos >= count_) return;
    std::memmove(items_ + pos, items_ + pos + 1, size_t(count_ - pos - 1) * sizeof(void*));
    items_[--count_] = nullptr;
}

bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// ---- shared slots ----

HRESULT queryInterface(void* self, const GUID* iid, void** out) {
    if (!iid || !out) return E_POINTER;
    if (!rt::ole::sameGuid(*iid, rt::ole::IID_IUnknown)) return E_NOINTERFACE;
    *out = self;
    addRef(self);
    return S_OK;
}

uint32_t addRef(void* self) { return ++static_cast<ObjectHead*>(self)->refs; }

HRESULT collectionItem(const PtrArray& items, VARIANT index, void** out) {
    if (!out) return E_POINTER;
    const int i = rt::ole::variantNumber(index);
    if (i < 0 || uint32_t(i) >= items.count()) {
        *out = nullptr;
        return DISP_E_BADINDEX;
    }
    *out = items.at(uint32_t(i));
    addRef(*out);
    return S_OK;
}

// Lowers the count; true when it reached 0 and the caller must destroy the object.
static bool dropRef(void* self, uint32_t* left) {
    auto* head = static_cast<ObjectHead*>(self);
    assert(head->refs > 0 && "released more often than referenced");
    *left = --head->refs;
    return *left == 0;
}

HRESULT noTypeInfoCount(void*, uint32_t*) { return E_FAIL; }
HRESULT noTypeInfo(void*, uint32_t, uint32_t, void**) { return E_FAIL; }
HRESULT noIdsOfNames(void*, const GUID*, OLECHAR**, uint32_t, uint32_t, int32_t*) { return E_FAIL; }
HRESULT noInvoke(void*, int32_t, const GUID*, uint32_t, uint16_t, void*, VARIANT*, void*, uint32_t*) { return E_FAIL; }
HRESULT unused0(void*) { return E_FAIL; }
HRESULT unused1(void*, void*) { return E_FAIL; }
HRESULT unused4(void*, void*, void*, void*, void*) { return E_FAIL; }
HRESULT unused5(void*, void*, void*, void*, void*, void*) { return E_FAIL; }
HRESULT unused6(void*, void*, void*, void*, void*, void*, void*) { return E_FAIL; }

// ---- error ----

namespace {

uint32_t errorRelease(void* self);

HRESULT errorNumber(void* self, int32_t* out) {
    if (!out) return E_POINTER;
    *out = static_cast<Error*>(self)->number;
    return S_OK;
}

HRESULT errorDescription(void* self, BSTR* out) {
    if (!out) return E_POINTER;
    BSTR d = static_cast<Error*>(self)->description;
    *out = rtSysAllocStringLen(d, rtSysStringLen(d));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT errorDestroy(void* self, uint32_t) {
    auto* e = static_cast<Error*>(self);
    rtSysFreeString(e->description);
    delete e;
    return S_OK;
}

const NovaErrorSlots kErrorSlots = {
    NOVA_BASE_SLOTS(&errorRelease),
    &errorNumber,
    &unused1,
    &errorDescription,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &errorDestroy,
};

uint32_t errorRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) errorDestroy(self, 1);
    return left;
}

// ---- errors collection ----

uint32_t errorsRelease(void* self);

void releaseError(void* e) {
    if (e) static_cast<const NovaErrorSlots*>(static_cast<ObjectHead*>(e)->slots)->base.Release(e);
}

HRESULT errorsCount(void* self, int32_t* out) {
    if (!out) return E_POINTER;
    *out = int32_t(static_cast<Errors*>(self)->items.count());
    return S_OK;
}

HRESULT errorsItem(void* self, VARIANT index, void** out) {
    return collectionItem(static_cast<Errors*>(self)->items, index, out);
}

HRESULT errorsClear(void* self) {
    auto* errors = static_cast<Errors*>(self);
    for (uint32_t i = 0; i < errors->items.count(); ++i) releaseError(errors->items.at(i));
    errors->items.clear();
    return S_OK;
}

const NovaErrorsSlots kErrorsSlots = {
    NOVA_BASE_SLOTS(&errorsRelease),
    &errorsCount,
    &unused1,
    &unused1,
    &unused4,
    &unused5,
    &unused0,
    &errorsItem,
    &unused1,
    &errorsClear,
};

uint32_t errorsRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) {
        errorsClear(self);
        delete static_cast<Errors*>(self);
    }
    return left;
}

}  // namespace

const char* const kNoDiagnosticText = "The ODBC call failed and the driver manager gave no diagnostic";
const char* const kManagerNotLoadedText = "ODBC driver manager could not be loaded";

static void insertError(Engine* engine, BSTR description, int32_t number) {
    auto* e = new (std::nothrow) Error{{&kErrorSlots, 1}, number, description};
    if (!e) {
        rtSysFreeString(description);
        return;
    }
    if (!engine->errors->items.insert(0, e)) releaseError(e);
}

static int32_t stateNumber(std::string_view state) {
    int32_t n = 0;
    for (char c : state) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
    }
    return n;
}

void recordText(Engine* engine, std::string_view message, std::string_view state) {
    if (!engine || !engine->errors) return;
    try {
        std::string text(message);
        text += "\n[ODBC Error] SQLSTATE=";
        text += state;
        BSTR d = rt::ole::bstrFromUtf8(text);
        if (!d) return;
        insertError(engine, d, stateNumber(state));
    } catch (const std::bad_alloc&) {
    }
}

void recordError(Engine* engine, SQLHENV henv, SQLHDBC hdbc, SQLHSTMT hstmt) {
    if (!engine || !engine->errors) return;
    // The call that failed could not be bound: there is no driver manager to ask.
    if (dm::lastCallUnbound()) {
        recordText(engine, kManagerNotLoadedText, "IM003");
        return;
    }
    if (!henv && !hdbc && !hstmt) {
        recordText(engine, kNoDiagnosticText, "HY000");
        return;
    }
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[511] = {0};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = dm::SQLError(henv, hdbc, hstmt, state, &native, message, SQLSMALLINT(sizeof message), &length);
    if (rc == SQL_NO_DATA) return;
    if (!succeeded(rc)) {
        recordText(engine, dm::lastCallUnbound() ? kManagerNotLoadedText : kNoDiagnosticText,
                   dm::lastCallUnbound() ? "IM003" : "HY000");
        return;
    }
    state[5] = 0;
    message[sizeof message - 1] = 0;
    recordText(engine, reinterpret_cast<const char*>(message), std::string_view(reinterpret_cast<const char*>(state)));
}

// ---- environment ----

namespace {

uint32_t environmentRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) {
        auto* env = static_cast<Environment*>(self);
        if (env->henv) dm::SQLFreeEnv(env->henv);
        delete env;
    }
    return left;
}

HRESULT environmentGetLoginTimeout(void* self, int32_t* out) {
    if (!out) return E_POINTER;
    *out = static_cast<Environment*>(self)->loginTimeout;
    return S_OK;
}

HRESULT environmentPutLoginTimeout(void* self, int32_t seconds) {
    static_cast<Environment*>(self)->loginTimeout = seconds;
    return S_OK;
}

HRESULT environmentOpenConnection(void* self, BSTR, VARIANT prompt, VARIANT, int64_t, BSTR connect, int32_t,
                                  void** out) {
    return openConnection(static_cast<Environment*>(self), prompt, connect, out);
}

HRESULT environmentUnused22(void*, BSTR, VARIANT, VARIANT, int64_t, BSTR, int32_t, void**) { return E_FAIL; }

const NovaEnvironmentSlots kEnvironmentSlots = {
    NOVA_BASE_SLOTS(&environmentRelease),
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &environmentGetLoginTimeout,
    &environmentPutLoginTimeout,
    &unused1,
    &unused1,
    &unused1,
    &unused0,
    &unused0,
    &unused0,
    &unused0,
    &environmentOpenConnection,
    &environmentUnused22,
};

// ---- engine ----

uint32_t engineRelease(void* self);

HRESULT engineEnvironments(void* self, void** out) {
    if (!out) return E_POINTER;
    auto* engine = static_cast<Engine*>(self);
    if (!engine->environments) return E_OUTOFMEMORY;
    *out = engine->environments;
    addRef(*out);
    return S_OK;
}

HRESULT engineErrors(void* self, void** out) {
    if (!out) return E_POINTER;
    auto* engine = static_cast<Engine*>(self);
    if (!engine->errors) return E_FAIL;
    *out = engine->errors;
    addRef(*out);
    return S_OK;
}

HRESULT engineCreateEnvironment(void* self, BSTR, BSTR, BSTR, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* engine = static_cast<Engine*>(self);
    auto* env = new (std::nothrow) Environment{{&kEnvironmentSlots, 1}, engine, SQL_NULL_HENV, 0};
    if (!env) return E_OUTOFMEMORY;
    SQLHENV henv = SQL_NULL_HENV;
    const SQLRETURN rc = dm::SQLAllocEnv(&henv);
    // Only a real success hands out an environment: a failed call leaves no usable handle.
    if (!succeeded(rc) || henv == SQL_NULL_HENV) {
        if (dm::lastCallUnbound())
            recordText(engine, kManagerNotLoadedText, "IM003");
        else if (henv != SQL_NULL_HENV)
            recordError(engine, henv, SQL_NULL_HDBC, SQL_NULL_HSTMT);
        else
            recordText(engine, kNoDiagnosticText, "HY000");
        if (henv != SQL_NULL_HENV) dm::SQLFreeEnv(henv);
        environmentRelease(env);
        return E_FAIL;
    }
    env->henv = henv;
    *out = env;
    return S_OK;
}

const NovaEngineSlots kEngineSlots = {
    NOVA_BASE_SLOTS(&engineRelease),
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &engineEnvironments,
    &engineErrors,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused4,
    &engineCreateEnvironment,
    &unused1,
    &unused1,
};

// ---- environments collection ----

uint32_t environmentsRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) delete static_cast<Environments*>(self);
    return left;
}

HRESULT environmentsCount(void*, int32_t* out) {
    if (!out) return E_POINTER;
    *out = 1;
    return S_OK;
}

HRESULT environmentsItem(void* self, VARIANT, void** out) {
    if (!out) return E_POINTER;
    Engine* engine = static_cast<Environments*>(self)->engine;
    rt::ole::Bstr name(std::string_view("Default_Environment"));
    rt::ole::Bstr empty(std::string_view(""));
    *out = nullptr;
    engineCreateEnvironment(engine, name.get(), empty.get(), empty.get(), out);
    return S_OK;
}

const NovaEnvironmentsSlots kEnvironmentsSlots = {
    NOVA_BASE_SLOTS(&environmentsRelease),
    &environmentsCount,
    &unused1,
    &unused1,
    &unused4,
    &unused5,
    &unused0,
    &environmentsItem,
    &unused1,
};

uint32_t engineRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) {
        auto* engine = static_cast<Engine*>(self);
        if (engine->environments) environmentsRelease(engine->environments);
        if (engine->errors) errorsRelease(engine->errors);
        delete engine;
    }
    return left;
}

}  // namespace

Engine* createEngine() {
    auto* engine = new (std::nothrow) Engine{{&kEngineSlots, 1}, nullptr, nullptr};
    if (!engine) return nullptr;
    engine->environments = new (std::nothrow) Environments{{&kEnvironmentsSlots, 1}, engine};
    engine->errors = new (std::nothrow) Errors{{&kErrorsSlots, 1}, PtrArray()};
    return engine;
}

}  // namespace novaodbc

extern "C" __attribute__((visibility("default"))) void* FODBC_CreateEngine(void) { return novaodbc::createEngine(); }
