#include "runtime/ole/ole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

using namespace rt::ole;

TEST(Bstr, TextIsPrecededByItsByteCountAndFollowedByANul) {
    BSTR s = rtSysAllocStringLen(u"abc", 3);
    ASSERT_NE(s, nullptr);
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 6u);
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(rtSysStringLen(s), 3u);
    EXPECT_EQ(rtSysStringByteLen(s), 6u);
    rtSysFreeString(s);
    // By bytes: an odd count keeps its last byte and a whole terminator after it.
    BSTR b = rtSysAllocStringByteLen("abc", 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(rtSysStringByteLen(b), 3u);
    EXPECT_EQ(std::memcmp(b, "abc\0\0", 5), 0);
    rtSysFreeString(b);
    EXPECT_EQ(rtSysStringLen(nullptr), 0u);
    EXPECT_EQ(rtSysAllocString(nullptr), nullptr);
    rtSysFreeString(nullptr);
}

TEST(Bstr, ConvertsUtf8BothWays) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"Müller äöüß", u"M\u00fcller \u00e4\u00f6\u00fc\u00df"},
        {"€", u"\u20ac"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        // Long ASCII runs are widened in blocks; a letter beyond ASCII ends a block anywhere.
        {"Bemerkung zur Zeile 1234567890 des Kunden", u"Bemerkung zur Zeile 1234567890 des Kunden"},
        {"Artikelnummer 12ü", u"Artikelnummer 12\u00fc"},
        {"Kunde 123456", u"Kunde 123456"},
        {"Straße 12345678901", u"Stra\u00dfe 12345678901"},
        {"Kunde 12ä Straße 7 in Köln-Mülheim", u"Kunde 12\u00e4 Stra\u00dfe 7 in K\u00f6ln-M\u00fclheim"},
    };
    for (const auto& c : cases) {
        Bstr b{std::string_view(c.utf8)};
        EXPECT_EQ(b.view(), c.utf16) << c.utf8;
        EXPECT_EQ(rtSysStringByteLen(b.get()), c.utf16.size() * 2);
        EXPECT_EQ(b.get()[c.utf16.size()], 0);
        EXPECT_EQ(b.utf8(), c.utf8);
    }
}

TEST(Bstr, BadUtf8BecomesReplacementAndACutSequenceIsDropped) {
    EXPECT_EQ(utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(utf8ToUtf16("ab\xC3"), u"ab");        // an ä cut in half at a 29-byte column name
    EXPECT_EQ(utf8ToUtf16("\xC0\x80"), u"\uFFFD");  // overlong
}

TEST(Bstr, Utf16IntoOneBufferReplacesItsTextEachTime) {
    std::string out;
    utf16ToUtf8(u"Stra\u00dfe 12 in K\u00f6ln \U0001F600", out);
    EXPECT_EQ(out, "Straße 12 in Köln \xF0\x9F\x98\x80");
    utf16ToUtf8(u"ab", out);
    EXPECT_EQ(out, "ab");
    const char16_t lone[] = {u'a', char16_t(0xD800), u'b'};
    utf16ToUtf8(std::u16string_view(lone, 3), out);
    EXPECT_EQ(out,
              "a\xEF\xBF\xBD"
              "b");
    utf16ToUtf8(u"", out);
    EXPECT_EQ(out, "");
}

TEST(Bstr, AppendMakesANewStringAndIndexOfCountsCharacters) {
    BSTR s = nullptr;
    ASSERT_TRUE(bstrAppend(&s, u"Tabelle"));
    ASSERT_TRUE(bstrAppend(&s, u".Spalte"));
    EXPECT_EQ(bstrView(s), u"Tabelle.Spalte");
    EXPECT_EQ(indexOf(bstrView(s), u".Sp"), 7);
    EXPECT_EQ(indexOf(bstrView(s), u"x"), -1);
    rtSysFreeString(s);
}

TEST(Variant, OnlyI2AndI4CountAsNumbersAndOnlyTheirLow16Bits) {
    VARIANT v;
    rtVariantInit(&v);
    struct Case {
        VARTYPE vt;
        int32_t value;
        int16_t expected;
    };
    const Case cases[] = {
        {VT_I2, 5, 5}, {VT_I2, -1, -1},  {VT_I4, 70000, 4464}, {VT_I4, 65535, -1}, {VT_I4, -2, -2},
        {VT_R8, 3, 0}, {VT_EMPTY, 3, 0}, {VT_UI1, 3, 0},       {VT_BSTR, 0, 0},
    };
    for (const auto& c : cases) {
        v.vt = c.vt;
        v.llVal = 0;
        if (c.vt == VT_I2)
            v.iVal = int16_t(c.value);
        else if (c.vt == VT_R8)
            v.dblVal = c.value;
        else
            v.lVal = c.value;
        EXPECT_EQ(variantNumber(v), c.expected) << c.vt << " " << c.value;
    }
}

TEST(Variant, CopyIsDeepAndClearFreesAndEmpties) {
    VARIANT a, b;
    rtVariantInit(&a);
    rtVariantInit(&b);
    a.vt = VT_BSTR;
    a.bstrVal = bstrFromUtf8("Wert");
    ASSERT_EQ(rtVariantCopy(&b, &a), S_OK);
    EXPECT_EQ(b.vt, VT_BSTR);
    EXPECT_NE(b.bstrVal, a.bstrVal);
    EXPECT_EQ(bstrView(b.bstrVal), u"Wert");
    EXPECT_EQ(rtVariantClear(&a), S_OK);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_EQ(bstrView(b.bstrVal), u"Wert");
    rtVariantClear(&b);
}

TEST(SafeArray, AnArrayMadeAfterOneOfItsSizeWasFreedStartsEmpty) {
    const SAFEARRAYBOUND bounds[2] = {{9, 0}, {1, 0}};
    for (int round = 0; round < 3; ++round) {
        SAFEARRAY* psa = rtSafeArrayCreate(VT_VARIANT, 2, bounds);
        ASSERT_NE(psa, nullptr);
        auto* cells = static_cast<VARIANT*>(psa->pvData);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(cells[i].vt, VT_EMPTY) << round;
            cells[i].vt = VT_BSTR;
            cells[i].bstrVal = bstrFromUtf8(std::string(size_t(i) * 7, 'x'));
        }
        EXPECT_EQ(rtSafeArrayDestroy(psa), S_OK);
    }
    // Freed on another thread, which then ends.
    BSTR s = bstrFromUtf8("Müller & Söhne");
    std::thread([s] { rtSysFreeString(s); }).join();
    Bstr after{std::string_view("Müller & Söhne")};
    EXPECT_EQ(after.view(), u"M\u00fcller & S\u00f6hne");
}

TEST(SafeArray, BoundsAreStoredLastDimensionFirstAndTheFirstIndexRunsFastest) {
    const SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 1}};
    SAFEARRAY* psa = rtSafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(psa->cDims, 2);
    EXPECT_EQ(psa->cbElements, sizeof(VARIANT));
    EXPECT_EQ(psa->cLocks, 0u);
    EXPECT_EQ(psa->fFeatures, FADF_HAVEVARTYPE | FADF_VARIANT);
    EXPECT_EQ(psa->rgsabound[0].cElements, 2u);
    EXPECT_EQ(psa->rgsabound[0].lLbound, 1);
    EXPECT_EQ(psa->rgsabound[1].cElements, 3u);
    VARTYPE vt = 0;
    EXPECT_EQ(rtSafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, VT_VARIANT);
    int32_t lb = -1, ub = -1;
    EXPECT_EQ(rtSafeArrayGetLBound(psa, 2, &lb), S_OK);
    EXPECT_EQ(rtSafeArrayGetUBound(psa, 2, &ub), S_OK);
    EXPECT_EQ(lb, 1);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(rtSafeArrayGetDim(psa), 2u);

    void* p = nullptr;
    int32_t idx[2] = {2, 2};
    ASSERT_EQ(rtSafeArrayPtrOfIndex(psa, idx, &p), S_OK);
    EXPECT_EQ(static_cast<VARIANT*>(p), static_cast<VARIANT*>(psa->pvData) + 5);
    static_cast<VARIANT*>(p)->vt = VT_BSTR;
    static_cast<VARIANT*>(p)->bstrVal = bstrFromUtf8("frei");
    int32_t outside[2] = {3, 1};
    EXPECT_EQ(rtSafeArrayPtrOfIndex(psa, outside, &p), DISP_E_BADINDEX);
    int32_t below[2] = {0, 0};
    EXPECT_EQ(rtSafeArrayPtrOfIndex(psa, below, &p), DISP_E_BADINDEX);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(rtSafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(bstrView(static_cast<VARIANT*>(copy->pvData)[5].bstrVal), u"frei");
    VARIANT holder;
    rtVariantInit(&holder);
    holder.vt = VT_ARRAY | VT_VARIANT;
    holder.parray = copy;
    EXPECT_EQ(rtVariantClear(&holder), S_OK);

    psa->cLocks = 1;
    EXPECT_EQ(rtSafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    psa->cLocks = 0;
    EXPECT_EQ(rtSafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(rtSafeArrayCreate(VARTYPE(36), 1, bounds), nullptr);
}
