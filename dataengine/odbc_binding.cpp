#include "dataengine/odbc_binding.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <utility>

namespace novaodbc::dm {

const char* const kEntryNames[kEntryCount] = {
#define NOVAODBC_DM_NAME(name) #name,
    NOVAODBC_DM_FUNCTIONS(NOVAODBC_DM_NAME)
#undef NOVAODBC_DM_NAME
};

namespace {

void* firstUseAddress(int i) {
    static void* const routines[kEntryCount] = {
#define NOVAODBC_DM_FIRST(name) reinterpret_cast<void*>(&Caller<e##name, name##_t>::firstUse),
        NOVAODBC_DM_FUNCTIONS(NOVAODBC_DM_FIRST)
#undef NOVAODBC_DM_FIRST
    };
    return routines[i];
}

// Guards the library handle and its name; the entries themselves are atomics, so two threads
// binding one function at once both store the same address.
std::mutex& libraryMutex() {
    static std::mutex m;
    return m;
}
void* libraryHandle = nullptr;
std::string* overrideName = nullptr;
std::atomic<int> loads{0};

}  // namespace

std::atomic<void*> table[kEntryCount];
thread_local bool unboundFlag = false;

namespace {
struct TableInit {
    TableInit() {
        for (int i = 0; i < kEntryCount; ++i) table[i].store(firstUseAddress(i), std::memory_order_release);
    }
} tableInit;
}  // namespace

namespace {
std::string currentName() {
    if (overrideName) return *overrideName;
    const char* env = std::getenv("NOVAODBC_DRIVER_MANAGER");
    return env && *env ? env : "libodbc.so.2";
}
}  // namespace

std::string libraryName() {
    std::lock_guard lock(libraryMutex());
    return currentName();
}

void* bind(int i) noexcept {
    void* handle;
    {
        std::lock_guard lock(libraryMutex());
        if (!libraryHandle) {
            const std::string name = currentName();
            // Loaded once for the life of the process, never freed.
            libraryHandle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (libraryHandle) loads.fetch_add(1);
        }
        handle = libraryHandle;
    }
    if (!handle) return nullptr;
    void* p = ::dlsym(handle, kEntryNames[i]);
    if (p) table[i].store(p, std::memory_order_release);
    return p;
}

void setLibraryName(const std::string& name) {
    std::lock_guard lock(libraryMutex());
    delete overrideName;
    overrideName = new std::string(name);
    libraryHandle = nullptr;
    for (int i = 0; i < kEntryCount; ++i) table[i].store(firstUseAddress(i), std::memory_order_release);
}

int loadCount() { return loads.load(); }

bool loaded() {
    std::lock_guard lock(libraryMutex());
    return libraryHandle != nullptr;
}

}  // namespace novaodbc::dm
