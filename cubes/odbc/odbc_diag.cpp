// The ODBC diagnostics box: go on, silence the failing handle, or end the program.
#include <cstdint>
#include <map>
#include <mutex>

#include <fmt/format.h>

#include "cubes/odbc/odbc_class.h"
#include "runtime/os/program_end.h"

namespace {

constexpr int kSilenced = 2;

std::mutex memoryMutex;
std::map<std::pair<int, std::uintptr_t>, int>& memory() {
    static std::map<std::pair<int, std::uintptr_t>, int> m;
    return m;
}

std::uintptr_t number(const void* h) { return reinterpret_cast<std::uintptr_t>(h); }

}  // namespace

void odbcForgetHandle(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::lock_guard lock(memoryMutex);
    memory().erase({handleType, number(handle)});
}

void ODBCGetDiag(SQLSMALLINT handleType, SQLHANDLE handle, OdbcConnection* connection, std::string_view context) {
    const std::pair<int, std::uintptr_t> key{handleType, number(handle)};
    {
        std::lock_guard lock(memoryMutex);
        auto [it, added] = memory().try_emplace(key, 0);
        if (it->second == kSilenced) return;
    }

    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;  // stays 0 when there is no record to read
    SQLCHAR text[1024] = {};
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, 1, state, &native, text, sizeof text, nullptr);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return;
    if (native == 0) return;

    OdbcMessage box;
    box.text = fmt::format("henv:\t\t{}\r\nhdbc:\t\t{}\r\nNative code:\t{}\r\nError:\t\t{}\r\nSQLState:\t{}\r\n\r\n{}",
                           connection ? number(connection->HENV) : 0, connection ? number(connection->HDBC) : 0, native,
                           reinterpret_cast<const char*>(text), reinterpret_cast<const char*>(state), context);
    box.title = fmt::format("ODBCGetDiag( {} )", handleType);
    box.icon = OdbcIcon::Information;
    box.buttons = {"&Weiter", "&Stop", "&Ende"};
    box.defaultButton = 1;

    int answer = odbcShowMessage(box);
    if (answer == 3) {
        OdbcHooks h = odbcHooks();
        if (!h.terminate) odbcTerminateDefault();
        h.terminate();
        return;
    }
    if (answer == 2) {
        std::lock_guard lock(memoryMutex);
        memory()[key] = kSilenced;
    }
}

void odbcTerminateDefault() { rt::endProgram(0); }
