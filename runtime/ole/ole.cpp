#include "runtime/ole/ole.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rt::ole {

const GUID IID_IUnknown = RT_IID_IUNKNOWN_INIT;

bool sameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

namespace {

// Decodes one code point at p (end e); advances p. Returns -1 for a sequence cut off at the end,
// 0xFFFD for an invalid one.
int32_t decodeUtf8(const unsigned char*& p, const unsigned char* e) {
    const unsigned c = *p++;
    if (c < 0x80) return int32_t(c);
    int extra;
    uint32_t cp;
    uint32_t min;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
        min = 0x10000;
    } else
        return 0xFFFD;
    for (int i = 0; i < extra; ++i) {
        if (p == e) return -1;
        if ((*p & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (*p++ & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return int32_t(cp);
}

// Writes UTF-16 for utf8 into out (room for utf8.size() units is enough); returns the count.
size_t convertInto(std::string_view utf8, char16_t* out) {
    auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    auto* e = p + utf8.size();
    char16_t* o = out;
    while (p != e) {
        // Plain ASCII runs are the common case in database text: whole blocks of bytes widened
        // at once while none of them has its high bit set.
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const unsigned char* run = p;
        while (e - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            if (_mm_movemask_epi8(bytes) != 0) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(bytes, zero));
            p += 16;
            o += 16;
        }
        if (e - p >= 8) {
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            if (_mm_movemask_epi8(bytes) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, zero));
                p += 8;
                o += 8;
            }
        }
        // The last few bytes of a run of at least eight: the eight bytes that end it, again.
        if (p != e && e - run >= 8 && e - p < 8) {
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(e - 8));
            if (_mm_movemask_epi8(bytes) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o - (8 - (e - p))), _mm_unpacklo_epi8(bytes, zero));
                o += e - p;
                p = e;
            }
        }
#endif
        while (p != e && *p < 0x80) *o++ = char16_t(*p++);
        if (p == e) break;
        int32_t cp = decodeUtf8(p, e);
        if (cp < 0) break;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = char16_t(0xD800 + (cp >> 10));
            *o++ = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = char16_t(cp);
        }
    }
    return size_t(o - out);
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out(utf8.size(), u'\0');
    out.resize(convertInto(utf8, out.data()));
    return out;
}

void utf16ToUtf8(std::u16string_view s, std::string& out) {
    // A unit takes at most three bytes, a surrogate pair four for its two.
    out.resize(s.size() * 3);
    char* o = out.data();
    const char16_t* p = s.data();
    const char16_t* const e = p + s.size();
    while (p != e) {
        while (p != e && *p < 0x80) *o++ = char(*p++);
        if (p == e) break;
        uint32_t cp = *p++;
        if (cp >= 0xD800 && cp <= 0xDBFF && p != e && *p >= 0xDC00 && *p <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (uint32_t(*p++) - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            *o++ = char(0xC0 | (cp >> 6));
            *o++ = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *o++ = char(0xE0 | (cp >> 12));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            *o++ = char(0x80 | (cp & 0x3F));
        } else {
            *o++ = char(0xF0 | (cp >> 18));
            *o++ = char(0x80 | ((cp >> 12) & 0x3F));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
            *o++ = char(0x80 | (cp & 0x3F));
        }
    }
    out.resize(size_t(o - out.data()));
}

std::string utf16ToUtf8(std::u16string_view s) {
    std::string out;
    utf16ToUtf8(s, out);
    return out;
}

BSTR bstrFromUtf8(std::string_view utf8) {
    if (utf8.size() > 0x3ffffff0u) return nullptr;
    // UTF-8 never needs fewer bytes than UTF-16 units, so the byte count is room enough; the
    // prefix then states the real length.
    BSTR s = rtSysAllocStringByteLen(nullptr, static_cast<uint32_t>(utf8.size() * sizeof(OLECHAR)));
    if (!s) return nullptr;
    const size_t n = convertInto(utf8, s);
    reinterpret_cast<uint32_t*>(s)[-1] = static_cast<uint32_t>(n * sizeof(OLECHAR));
    s[n] = 0;
    return s;
}

BSTR bstrFromUtf16(std::u16string_view text) {
    if (text.size() > 0x3ffffff0u) return nullptr;
    return rtSysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
}

std::u16string_view bstrView(BSTR s) {
    if (!s) return {};
    return {s, rtSysStringLen(s)};
}

std::string bstrToUtf8(BSTR s) { return utf16ToUtf8(bstrView(s)); }

bool bstrAppend(BSTR* target, std::u16string_view text) {
    const std::u16string_view old = bstrView(*target);
    if (old.size() + text.size() > 0x3ffffff0u) return false;
    BSTR s = rtSysAllocStringLen(nullptr, static_cast<uint32_t>(old.size() + text.size()));
    if (!s) return false;
    if (!old.empty()) std::memcpy(s, old.data(), old.size() * sizeof(OLECHAR));
    if (!text.empty()) std::memcpy(s + old.size(), text.data(), text.size() * sizeof(OLECHAR));
    rtSysFreeString(*target);
    *target = s;
    return true;
}

int indexOf(std::u16string_view hay, std::u16string_view needle) {
    const size_t p = hay.find(needle);
    return p == std::u16string_view::npos ? -1 : static_cast<int>(p);
}

int16_t variantNumber(const VARIANT& v) {
    if (v.vt == VT_I2) return v.iVal;
    if (v.vt == VT_I4) return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v.lVal) & 0xFFFFu));
    return 0;
}

}  // namespace rt::ole
