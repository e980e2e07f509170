#pragma once
// Test-side access to the engine's object tree through its slot tables, as a consumer does.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dataengine/nova_odbc.h"
#include "runtime/ole/ole.h"

namespace enginetest {

template <typename Slots>
const Slots* slotsOf(void* object) {
    return *static_cast<const Slots* const*>(object);
}

inline uint32_t addRef(void* o) { return slotsOf<RtDispatchSlots>(o)->AddRef(o); }
inline uint32_t release(void* o) { return slotsOf<RtDispatchSlots>(o)->Release(o); }

inline VARIANT i2(int16_t v) {
    VARIANT x;
    rtVariantInit(&x);
    x.vt = VT_I2;
    x.iVal = v;
    return x;
}

inline VARIANT i4(int32_t v) {
    VARIANT x;
    rtVariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

inline VARIANT empty() {
    VARIANT x;
    rtVariantInit(&x);
    return x;
}

inline void* createEnvironment(void* engine, HRESULT* hr = nullptr) {
    void* env = reinterpret_cast<void*>(1);
    rt::ole::Bstr name(std::string_view("Default_Environment")), none(std::string_view(""));
    HRESULT r = slotsOf<NovaEngineSlots>(engine)->CreateEnvironment(engine, name.get(), none.get(), none.get(), &env);
    if (hr) *hr = r;
    return env;
}

inline void* openConnection(void* env, const std::string& connect, HRESULT* hr = nullptr, VARIANT prompt = empty()) {
    void* conn = nullptr;
    rt::ole::Bstr c(connect);
    rt::ole::Bstr name(std::string_view(""));
    HRESULT r =
        slotsOf<NovaEnvironmentSlots>(env)->OpenConnection(env, name.get(), prompt, empty(), 0, c.get(), 0, &conn);
    if (hr) *hr = r;
    return conn;
}

inline HRESULT execute(void* conn, const std::string& sql) {
    rt::ole::Bstr s(sql);
    return slotsOf<NovaConnectionSlots>(conn)->Execute(conn, s.get(), empty());
}

inline void* openResultset(void* conn, const std::string& sql, HRESULT* hr = nullptr, int16_t lockType = 1) {
    void* rs = reinterpret_cast<void*>(1);
    rt::ole::Bstr s(sql);
    HRESULT r = slotsOf<NovaConnectionSlots>(conn)->OpenResultset(conn, s.get(), i2(0), i2(lockType), empty(), &rs);
    if (hr) *hr = r;
    return rs;
}

// A cell as text: "I4:42", "BSTR:abc", "NULL", "EMPTY", "R8:1.5", "I2:3", "UI1:200", "R4:2.5",
// "BYTES:ab".
inline std::string cellText(const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_I2: return "I2:" + std::to_string(v.iVal);
    case VT_I4: return "I4:" + std::to_string(v.lVal);
    case VT_UI1: return "UI1:" + std::to_string(v.bVal);
    case VT_R8: {
        std::string s = std::to_string(v.dblVal);
        while (s.size() > 1 && s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
        return "R8:" + s;
    }
    case VT_R4: return "R4:" + std::to_string(v.fltVal);
    case VT_BSTR: return "BSTR:" + rt::ole::bstrToUtf8(v.bstrVal);
    case VT_ARRAY | VT_UI1:
        return "BYTES:" + std::string(static_cast<const char*>(v.parray->pvData), v.parray->rgsabound[0].cElements);
    default: return "VT" + std::to_string(v.vt);
    }
}

// One GetRows call; the row's cells as text (empty when the call failed).
inline std::vector<std::string> getRow(void* rs, HRESULT* hr = nullptr) {
    VARIANT out;
    rtVariantInit(&out);
    std::vector<std::string> cells;
    HRESULT r = slotsOf<NovaResultsetSlots>(rs)->GetRows(rs, i4(1), &out);
    if (hr) *hr = r;
    if (r == S_OK && out.vt == (VT_ARRAY | VT_VARIANT)) {
        SAFEARRAY* psa = out.parray;
        auto* v = static_cast<VARIANT*>(psa->pvData);
        for (uint32_t i = 0; i < psa->rgsabound[1].cElements; ++i) cells.push_back(cellText(v[i]));
    }
    rtVariantClear(&out);
    return cells;
}

inline std::vector<std::vector<std::string>> allRows(void* rs) {
    std::vector<std::vector<std::string>> rows;
    for (;;) {
        HRESULT hr;
        auto row = getRow(rs, &hr);
        if (hr != S_OK) break;
        rows.push_back(std::move(row));
    }
    return rows;
}

struct ColumnInfo {
    std::string name;
    int16_t type;
    int32_t size;
    bool operator==(const ColumnInfo&) const = default;
};

inline std::vector<ColumnInfo> columns(void* rs, HRESULT* hr = nullptr) {
    std::vector<ColumnInfo> out;
    void* cols = nullptr;
    HRESULT r = slotsOf<NovaResultsetSlots>(rs)->Columns(rs, &cols);
    if (hr) *hr = r;
    if (r != S_OK) return out;
    int32_t n = 0;
    slotsOf<NovaColumnsSlots>(cols)->Count(cols, &n);
    for (int32_t i = 0; i < n; ++i) {
        void* col = nullptr;
        slotsOf<NovaColumnsSlots>(cols)->Item(cols, i2(int16_t(i)), &col);
        ColumnInfo info{};
        rt::ole::Bstr name;
        slotsOf<NovaColumnSlots>(col)->Name(col, name.out());
        info.name = name.utf8();
        slotsOf<NovaColumnSlots>(col)->Type(col, &info.type);
        slotsOf<NovaColumnSlots>(col)->Size(col, &info.size);
        release(col);
        out.push_back(info);
    }
    release(cols);
    return out;
}

inline std::vector<std::string> columnNames(void* rs) {
    std::vector<std::string> names;
    for (auto& c : columns(rs)) names.push_back(c.name);
    return names;
}

struct ErrorInfo {
    int32_t number;
    std::string description;
};

inline std::vector<ErrorInfo> errors(void* engine) {
    std::vector<ErrorInfo> out;
    void* errs = nullptr;
    if (slotsOf<NovaEngineSlots>(engine)->Errors(engine, &errs) != S_OK) return out;
    int32_t n = 0;
    slotsOf<NovaErrorsSlots>(errs)->Count(errs, &n);
    for (int32_t i = 0; i < n; ++i) {
        void* e = nullptr;
        slotsOf<NovaErrorsSlots>(errs)->Item(errs, i4(i), &e);
        ErrorInfo info{};
        slotsOf<NovaErrorSlots>(e)->Number(e, &info.number);
        rt::ole::Bstr d;
        slotsOf<NovaErrorSlots>(e)->Description(e, d.out());
        info.description = d.utf8();
        release(e);
        out.push_back(info);
    }
    release(errs);
    return out;
}

inline void clearErrors(void* engine) {
    void* errs = nullptr;
    if (slotsOf<NovaEngineSlots>(engine)->Errors(engine, &errs) != S_OK) return;
    slotsOf<NovaErrorsSlots>(errs)->Clear(errs);
    release(errs);
}

}  // namespace enginetest
