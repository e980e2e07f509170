// Connection: connect through the driver manager, run single statements, open resultsets.
#include "dataengine/engine_internal.h"

namespace novaodbc {

std::string connectValue(std::string_view connect, std::string_view key) {
    const size_t k = connect.find(key);
    if (k == std::string_view::npos) return {};
    const size_t eq = connect.find('=', k);
    if (eq == std::string_view::npos) return {};
    const size_t end = connect.find(';', eq + 1);
    return std::string(connect.substr(eq + 1, end == std::string_view::npos ? std::string_view::npos : end - eq - 1));
}

namespace {

uint32_t connectionRelease(void* self);

// Commit, disconnect, free the handle. false when the driver refused; the handle is then kept
// so that a later Close can try again.
HRESULT closeConnection(Connection* c) {
    if (c->connected) {
        dm::SQLTransact(c->henv, c->hdbc, SQL_COMMIT);
        const SQLRETURN rc = dm::SQLDisconnect(c->hdbc);
        if (!succeeded(rc)) {
            recordError(c->engine, c->henv, c->hdbc, SQL_NULL_HSTMT);
            return E_FAIL;
        }
        c->connected = false;
    }
    if (c->hdbc) {
        const SQLRETURN rc = dm::SQLFreeConnect(c->hdbc);
        if (!succeeded(rc)) {
            recordError(c->engine, c->henv, c->hdbc, SQL_NULL_HSTMT);
            return E_FAIL;
        }
        c->hdbc = SQL_NULL_HDBC;
    }
    return S_OK;
}

HRESULT connectionClose(void* self) { return closeConnection(static_cast<Connection*>(self)); }

HRESULT connectionQueryTimeout(void* self, int32_t seconds) {
    static_cast<Connection*>(self)->queryTimeout = seconds;
    return seconds;
}

HRESULT connectionExecute(void* self, BSTR sql, VARIANT) {
    return guarded([&]() -> HRESULT {
        auto* c = static_cast<Connection*>(self);
        SQLHSTMT st = SQL_NULL_HSTMT;
        if (!succeeded(dm::SQLAllocStmt(c->hdbc, &st))) return E_FAIL;
        HRESULT hr = E_FAIL;
        try {
            const std::string text = rt::ole::bstrToUtf8(sql);
            if (succeeded(dm::SQLExecDirect(st, (SQLCHAR*)text.c_str(), SQL_NTS))) hr = S_OK;
        } catch (...) {
            dm::SQLFreeStmt(st, SQL_DROP);
            throw;
        }
        dm::SQLFreeStmt(st, SQL_DROP);
        return hr;
    });
}

HRESULT connectionOpenResultset(void* self, BSTR sql, VARIANT, VARIANT lockType, VARIANT, void** out) {
    return openResultset(static_cast<Connection*>(self), sql, lockType, out);
}

const NovaConnectionSlots kConnectionSlots = {
    NOVA_BASE_SLOTS(&connectionRelease),
    &unused1,
    &connectionQueryTimeout,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &connectionClose,
    &connectionExecute,
    &connectionOpenResultset,
    &unused6,
    &unused0,
    &unused0,
    &unused0,
    &unused0,
    &unused1,
};

uint32_t connectionRelease(void* self) {
    auto* c = static_cast<Connection*>(self);
    uint32_t left = c->head.refs - 1;
    if (c->head.refs == 1) {
        // A caller that forgot Close must not leave the server session behind.
        closeConnection(c);
        if (c->hdbc) dm::SQLFreeConnect(c->hdbc);
        rtVariantClear(&c->prompt);
        delete c;
        return 0;
    }
    c->head.refs = left;
    return left;
}

SQLUSMALLINT completionMode(const VARIANT& prompt) {
    if (prompt.vt == VT_I2 && prompt.iVal != -1) return SQLUSMALLINT(prompt.iVal);
    return SQL_DRIVER_COMPLETE_REQUIRED;
}

// psqlODBC runs a statement prepared on the server through a path that touches far more memory
// for a large result (about 60 % more page faults, and the time to go with them) than the one
// it takes when it prepares the statement itself. Resultsets are prepared only to describe
// their columns before they run (no parameters, run once), so that driver prepares them
// itself. Attribute 65540 is its server-side-prepare switch; other drivers are left alone.
void tuneDriver(Connection* c) {
    char name[64] = {0};
    SQLSMALLINT length = 0;
    if (!succeeded(dm::SQLGetInfo(c->hdbc, SQL_DRIVER_NAME, name, SQLSMALLINT(sizeof name), &length))) return;
    if (std::string_view(name).rfind("psqlodbc", 0) != 0) return;
    constexpr SQLINTEGER kServerSidePrepare = 65540;
    dm::SQLSetConnectAttr(c->hdbc, kServerSidePrepare, reinterpret_cast<SQLPOINTER>(0), SQL_IS_UINTEGER);
}

bool connect(Connection* c, BSTR connectString) {
    const std::string text = rt::ole::bstrToUtf8(connectString);
    SQLSMALLINT outLength = 0;
    const SQLSMALLINT length = text.size() < 0x7fff ? SQLSMALLINT(text.size()) : SQLSMALLINT(SQL_NTS);
    // There is no desktop window to parent a driver's dialog.
    SQLRETURN rc = dm::SQLDriverConnect(c->hdbc, nullptr, (SQLCHAR*)text.c_str(), length, nullptr, 0, &outLength,
                                        completionMode(c->prompt));
    if (succeeded(rc)) {
        c->connected = true;
        tuneDriver(c);
        return true;
    }
    // Without a data-source name there is nothing to fall back to; the driver's own reason for
    // refusing the string is what the caller needs to see.
    if (text.find("DSN=") == std::string::npos) {
        recordError(c->engine, c->henv, c->hdbc, SQL_NULL_HSTMT);
        return false;
    }
    const std::string dsn = connectValue(text, "DSN");
    const std::string uid = connectValue(text, "UID");
    const std::string pwd = connectValue(text, "PWD");
    rc = dm::SQLConnect(c->hdbc, (SQLCHAR*)dsn.c_str(), SQL_NTS, (SQLCHAR*)uid.c_str(), SQL_NTS, (SQLCHAR*)pwd.c_str(),
                        SQL_NTS);
    if (succeeded(rc)) {
        c->connected = true;
        tuneDriver(c);
        return true;
    }
    recordError(c->engine, c->henv, c->hdbc, SQL_NULL_HSTMT);
    return false;
}

}  // namespace

HRESULT openConnection(Environment* env, VARIANT prompt, BSTR connectString, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return guarded([&]() -> HRESULT {
        auto* c =
            new (std::nothrow) Connection{{&kConnectionSlots, 1}, env->engine, env->henv, SQL_NULL_HDBC, false, 0, {}};
        if (!c) return E_OUTOFMEMORY;
        rtVariantInit(&c->prompt);
        if (RT_FAILED(rtVariantCopy(&c->prompt, &prompt))) {
            connectionRelease(c);
            return E_OUTOFMEMORY;
        }
        SQLHDBC hdbc = SQL_NULL_HDBC;
        if (!succeeded(dm::SQLAllocConnect(env->henv, &hdbc))) {
            recordError(env->engine, env->henv, SQL_NULL_HDBC, SQL_NULL_HSTMT);
            connectionRelease(c);
            return E_FAIL;
        }
        c->hdbc = hdbc;
        dm::SQLSetConnectOption(hdbc, SQL_LOGIN_TIMEOUT, SQLULEN(SQLUINTEGER(env->loginTimeout)));
        bool ok = false;
        try {
            ok = connect(c, connectString);
        } catch (...) {
            connectionRelease(c);
            throw;
        }
        if (!ok) {
            connectionRelease(c);
            return E_FAIL;
        }
        *out = c;
        return S_OK;
    });
}

}  // namespace novaodbc
