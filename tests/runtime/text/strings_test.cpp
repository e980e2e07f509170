#include "runtime/text/strings.h"

#include <gtest/gtest.h>

namespace {

using namespace rt;

TEST(TextLengths, CountCharactersNotBytes) {
    EXPECT_EQ(charLength(""), 0u);
    EXPECT_EQ(charLength("abc"), 3u);
    EXPECT_EQ(charLength("Größe"), 5u);
    EXPECT_EQ(charLength("€uro"), 4u);
    EXPECT_EQ(charLength("\xC3"), 1u);  // a stray lead byte is one character
}

TEST(TextCuts, NeverSplitACharacter) {
    struct Case {
        std::string_view text;
        std::size_t n;
        std::string_view cut;
    };
    const Case cases[] = {
        {"Müller", 2, "Mü"}, {"Müller", 1, "M"}, {"Müller", 10, "Müller"}, {"äöü", 2, "äö"},
        {"€€€", 1, "€"},     {"abc", 0, ""},     {"Straße", 5, "Straß"},
    };
    for (const auto& c : cases) EXPECT_EQ(cutChars(c.text, c.n), c.cut) << c.text << " " << c.n;
    EXPECT_EQ(subChars("Größenänderung", 2, 4), "ößen");
    EXPECT_EQ(subChars("Größe", 4, 10), "e");
    EXPECT_EQ(subChars("Größe", 9, 2), "");
    EXPECT_EQ(byteOffsetOfChar("äb", 1), 2u);
}

TEST(TextCuts, ClipAndTrim) {
    EXPECT_EQ(clip("ab  "), "ab");
    EXPECT_EQ(clip("  "), "");
    EXPECT_EQ(clip(" a b "), " a b");
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(padChars("Mü", 4), "Mü  ");
    EXPECT_EQ(padChars("Müller", 3), "Mül");
}

TEST(FixedString, ExactlyNCharactersBlankPadded) {
    String<4> s("Müller");
    EXPECT_EQ(s.str(), "Müll");
    EXPECT_EQ(charLength(s.str()), 4u);
    s = "äö";
    EXPECT_EQ(s.str(), "äö  ");
    EXPECT_EQ(s.clipped(), "äö");
    String<3> umlautAtCut("abä");
    EXPECT_EQ(umlautAtCut.str(), "abä");
    String<2> cutBeforeUmlaut("aäb");
    EXPECT_EQ(cutBeforeUmlaut.str(), "aä");
    String<5> empty;
    EXPECT_EQ(empty.str(), "     ");
    EXPECT_TRUE(empty.empty());
}

TEST(FixedString, ComparisonsIgnoreTrailingBlanks) {
    String<10> a("Nord");
    String<6> b("Nord");
    CString<21> c("Nord  ");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == c);
    EXPECT_TRUE(a == "Nord");
    EXPECT_TRUE("Nord " == a);
    EXPECT_FALSE(a == "nord");
    EXPECT_TRUE(a < String<10>("Nordost"));
    EXPECT_TRUE(String<4>("ab") < "ab!");
    EXPECT_TRUE(String<4>("ab") > "ab\x01");  // as if padded: blank sorts after control characters
    EXPECT_EQ(compareTrimmed("ab", "ab   "), 0);
    EXPECT_TRUE(equalsTrimmed("x ", "x"));
    EXPECT_FALSE(equalsTrimmed(" x", "x"));
}

TEST(FixedString, CopiesBetweenSizesCut) {
    String<6> wide("Bäcker");
    String<3> narrow(wide);
    EXPECT_EQ(narrow.str(), "Bäc");
    CString<3> c(wide);
    EXPECT_EQ(c.str(), "Bä");
    narrow = CString<10>("xy");
    EXPECT_EQ(narrow.str(), "xy ");
    c = String<2>("q");
    EXPECT_EQ(c.str(), "q ");
    wide = narrow;
    EXPECT_EQ(wide.str(), "xy    ");
}

TEST(CStringType, AtMostNMinusOneCharacters) {
    CString<5> s("Größen");
    EXPECT_EQ(s.str(), "Größ");
    s = "ab";
    EXPECT_EQ(s.str(), "ab");
    EXPECT_EQ(CString<4>::capacity(), 3u);
    CString<3> cut("äöü");
    EXPECT_EQ(cut.str(), "äö");
    CString<2> one("ß");
    EXPECT_EQ(one.str(), "ß");
}

TEST(CaseFolding, GermanLetters) {
    EXPECT_EQ(upper("straße müller öl ärger"), "STRAßE MÜLLER ÖL ÄRGER");
    EXPECT_EQ(lower("STRAßE MÜLLER ÖL ÄRGER"), "straße müller öl ärger");
    EXPECT_EQ(upper("é€x"), "É€X");
    EXPECT_EQ(upper("a\xC3"), "A\xC3");  // stray bytes pass unchanged
    for (std::string_view text : {"äöüÿšžœàé", "ÄÖÜŸŠŽŒÀÉ"}) {
        EXPECT_EQ(upper(text).size(), text.size()) << text;
        EXPECT_EQ(lower(text).size(), text.size()) << text;
    }
    EXPECT_EQ(upper("ÿšžœ"), "ŸŠŽŒ");
}

TEST(CaseFolding, MalformedBytesStayAsTheyAre) {
    // Over-long forms, a value past U+10FFFF, a surrogate, cut and lone sequences: each byte
    // comes back unchanged, the letters around them are folded, every byte keeps its place.
    const std::string_view cases[] = {
        "a\xE0\x81\xA1\x62",      // over-long "a"
        "a\xF0\x80\x81\xA1\x62",  // over-long "a" in four bytes
        "a\xF4\x90\x80\x80\x62",  // past U+10FFFF
        "a\xED\xA0\x80\x62",      // surrogate
        "a\xE2\x82\x62\xC3",      // cut sequence, cut at the end
        "a\x80\xBF\xFE\xFF\x62",  // lone continuation bytes, bytes that never start one
    };
    for (std::string_view text : cases) {
        const std::string up = upper(text);
        ASSERT_EQ(up.size(), text.size()) << testing::PrintToString(std::string(text));
        EXPECT_EQ(up.front(), 'A');
        EXPECT_EQ(up[up.size() - (text.back() == 'b' ? 1 : 2)], 'B');
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (static_cast<unsigned char>(text[i]) >= 0x80) {
                EXPECT_EQ(up[i], text[i]) << i;
            }
        }
        EXPECT_EQ(lower(up).size(), text.size());
    }
    EXPECT_EQ(upper("\xE0\x81\xA1ä"), "\xE0\x81\xA1Ä");
}

TEST(TextFiles, ValidUtf8StaysAnythingElseIsWindows1252) {
    EXPECT_TRUE(isValidUtf8("Größe € \xF0\x9F\x98\x80"));
    for (std::string_view bad : {"Gr\xF6\xDF\x65", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xC3"})
        EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(std::string(bad));
    EXPECT_EQ(textFromFile("Größe"), "Größe");
    EXPECT_EQ(textFromFile("Gr\xF6\xDF\x65 \x80 \x84x\x93"), "Größe € „x“");
}

TEST(CaseFolding, CompareNoCase) {
    struct Case {
        std::string_view a, b;
        int sign;
    };
    const Case cases[] = {
        {"müller", "MÜLLER", 0}, {"Öl", "öl  ", 0},
        {"straße", "STRAßE", 0}, {"abc", "ABD", -1},
        {"Zebra", "äpfel", -1},  {"b", "A", 1},
        {"ab", "AB!", -1},       {"", "   ", 0},
        {"Ärger", "ärger", 0},   {"MeierWebNord", "meierwebnord", 0},
    };
    for (const auto& c : cases) {
        const int r = compareNoCase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        const int back = compareNoCase(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
    EXPECT_TRUE(equalsNoCase("Kleinteile", "KLEINTEILE "));
    // What goes on after a blank still counts.
    EXPECT_LT(compareNoCase("Umsatz je Vertreter", "UMSATZ JE VERTRETER 2"), 0);
    EXPECT_GT(compareNoCase("a b", "A"), 0);
}

TEST(Cp1252, RoundTripAndReplacement) {
    const std::string text = "Grüße € Ä ö ß „x“ – ™";
    const std::string bytes = toCp1252(text);
    EXPECT_EQ(bytes,
              "Gr\xFC\xDF"
              "e \x80 \xC4 \xF6 \xDF \x84x\x93 \x96 \x99");
    EXPECT_EQ(fromCp1252(bytes), text);
    EXPECT_EQ(toCp1252("Ω ✓ 😀"), "? ? ?");
    EXPECT_EQ(toCp1252("a\xC3"), "a?");
    EXPECT_EQ(fromCp1252("\x81"), "?");
    EXPECT_EQ(toCp1252("plain ASCII"), "plain ASCII");
}

}  // namespace
