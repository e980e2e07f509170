#pragma once
// C++ helpers over the automation types: UTF-8 <-> UTF-16 conversion, owning wrappers, and the
// rules by which automation arguments are read.

#include "runtime/ole/ole_types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace rt::ole {

extern const GUID IID_IUnknown;
bool sameGuid(const GUID& a, const GUID& b);

// UTF-8 (the text of this system and of the ODBC drivers' SQL_C_CHAR data) and UTF-16. Invalid
// bytes become U+FFFD; a sequence cut off at the end of the input is dropped.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// The same into `out` (replaced), whose room is kept for the next text.
void utf16ToUtf8(std::u16string_view utf16, std::string& out);

// A new BSTR from UTF-8, converted in one pass; NULL only when out of memory.
BSTR bstrFromUtf8(std::string_view utf8);
BSTR bstrFromUtf16(std::u16string_view text);
std::u16string_view bstrView(BSTR s);  // NULL reads as empty
std::string bstrToUtf8(BSTR s);

// Appends text to *target: a new string replaces the old one, which is freed. false when out of
// memory (the target is left as it was).
bool bstrAppend(BSTR* target, std::u16string_view text);

// Position of needle in hay in characters, -1 when absent.
int indexOf(std::u16string_view hay, std::u16string_view needle);

// A variant used as a number counts only as VT_I2 or VT_I4, and then only its low 16 bits,
// signed; any other type reads 0.
int16_t variantNumber(const VARIANT& v);

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(BSTR s) : s_(s) {}
    explicit Bstr(std::string_view utf8) : s_(bstrFromUtf8(utf8)) {}
    ~Bstr() { rtSysFreeString(s_); }
    Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) reset(std::exchange(o.s_, nullptr));
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return s_; }
    BSTR* out() {
        reset();
        return &s_;
    }
    BSTR release() { return std::exchange(s_, nullptr); }
    void reset(BSTR s = nullptr) {
        if (s_ != s) rtSysFreeString(s_);
        s_ = s;
    }
    std::u16string_view view() const { return bstrView(s_); }
    std::string utf8() const { return bstrToUtf8(s_); }

private:
    BSTR s_ = nullptr;
};

// Owns one VARIANT (cleared at the end).
class Variant {
public:
    Variant() { rtVariantInit(&v_); }
    ~Variant() { rtVariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    static Variant i2(int16_t x) {
        Variant v;
        v.v_.vt = VT_I2;
        v.v_.iVal = x;
        return v;
    }
    static Variant i4(int32_t x) {
        Variant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = x;
        return v;
    }
    Variant(Variant&& o) noexcept : v_(o.v_) { rtVariantInit(&o.v_); }

    VARIANT& get() { return v_; }
    const VARIANT& get() const { return v_; }
    VARIANT* out() {
        rtVariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

}  // namespace rt::ole
