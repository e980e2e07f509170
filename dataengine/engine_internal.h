#pragma once
// The engine's objects. Each starts with its slot table and its reference count (ObjectHead), so
// that the shared slots 0 to 6 work on any of them.

#include "dataengine/nova_odbc.h"
#include "dataengine/odbc_binding.h"
#include "runtime/ole/ole.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

namespace novaodbc {

struct ObjectHead {
    const void* slots;
    uint32_t refs;
};

// A growable array of pointers: count, capacity and growth step. Growing beyond the capacity
// enlarges it by the step, or without a step by count / 8 clamped to 4 ... 1,024, and at least
// to the requested size; new entries are 0.
class PtrArray {
public:
    PtrArray() = default;
    explicit PtrArray(uint32_t step) : step_(step) {}
    ~PtrArray() { std::free(items_); }
    PtrArray(const PtrArray&) = delete;
    PtrArray& operator=(const PtrArray&) = delete;

    uint32_t count() const { return count_; }
    uint32_t capacity() const { return capacity_; }
    void* at(uint32_t i) const { return i < count_ ? items_[i] : nullptr; }
    void set(uint32_t i, void* p) { items_[i] = p; }
    bool reserve(uint32_t size);
    bool insert(uint32_t pos, void* p);
    bool append(void* p) { return insert(count_, p); }
    void remove(uint32_t pos);
    void clear() { count_ = 0; }

private:
    void** items_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    uint32_t step_ = 0;
};

struct Environments;
struct Errors;

struct Engine {
    ObjectHead head;
    Environments* environments;
    Errors* errors;
};

struct Environments {
    ObjectHead head;
    Engine* engine;  // no count held
};

struct Environment {
    ObjectHead head;
    Engine* engine;
    SQLHENV henv;
    int32_t loginTimeout;
};

struct Connection {
    ObjectHead head;
    Engine* engine;
    SQLHENV henv;  // the environment's, not owned
    SQLHDBC hdbc;  // owned
    bool connected;
    int32_t queryTimeout;
    VARIANT prompt;
};

struct Error {
    ObjectHead head;
    int32_t number;
    BSTR description;
};

struct Errors {
    ObjectHead head;
    PtrArray items;  // entry 0 is the newest; one count held on each
};

// Shared slots.
HRESULT queryInterface(void* self, const GUID* iid, void** out);
uint32_t addRef(void* self);
HRESULT noTypeInfoCount(void*, uint32_t*);
HRESULT noTypeInfo(void*, uint32_t, uint32_t, void**);
HRESULT noIdsOfNames(void*, const GUID*, OLECHAR**, uint32_t, uint32_t, int32_t*);
HRESULT noInvoke(void*, int32_t, const GUID*, uint32_t, uint16_t, void*, VARIANT*, void*, uint32_t*);
HRESULT unused0(void*);
HRESULT unused1(void*, void*);
HRESULT unused4(void*, void*, void*, void*, void*);
HRESULT unused5(void*, void*, void*, void*, void*, void*);
HRESULT unused6(void*, void*, void*, void*, void*, void*, void*);

#define NOVA_BASE_SLOTS(release)                                                                                  \
    {                                                                                                             \
        &novaodbc::queryInterface, &novaodbc::addRef, release, &novaodbc::noTypeInfoCount, &novaodbc::noTypeInfo, \
            &novaodbc::noIdsOfNames, &novaodbc::noInvoke                                                          \
    }

// Slot Item of a collection: the entry at index with one count for the caller.
HRESULT collectionItem(const PtrArray& items, VARIANT index, void** out);

// Recording into the engine's errors collection: the first diagnostic of the given handles.
void recordError(Engine* engine, SQLHENV henv, SQLHDBC hdbc, SQLHSTMT hstmt);
// A fixed text in the same form as a diagnostic.
void recordText(Engine* engine, std::string_view message, std::string_view state);
extern const char* const kNoDiagnosticText;
extern const char* const kManagerNotLoadedText;

bool succeeded(SQLRETURN rc);

// Connection slot 21 of the environment.
HRESULT openConnection(Environment* env, VARIANT prompt, BSTR connect, void** out);
// Connection slot 24.
HRESULT openResultset(Connection* conn, BSTR sql, VARIANT lockType, void** out);

// Cuts the value of key out of a connect string (bytes compared exactly, key found anywhere).
std::string connectValue(std::string_view connect, std::string_view key);

// Runs a body that may allocate; no exception leaves the library.
template <typename F>
HRESULT guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace novaodbc
