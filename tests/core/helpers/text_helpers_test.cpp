#include "core/helpers/text_helpers.h"

#include <gtest/gtest.h>

TEST(TextHelpers, CleanFileNameBlanksForbiddenCharacters) {
    EXPECT_EQ(CleanFileName("Umsatz/Jahr: Köln|Süd"), "Umsatz Jahr  Köln Süd");
    EXPECT_EQ(CleanFileName("a\\b*c?d\"e<f>g  "), "a b c d e f g");
    EXPECT_EQ(CleanFileName(""), "");
}

TEST(TextHelpers, ClippedLengthCountsCharacters) {
    EXPECT_EQ(ClippedLength(""), 0);
    EXPECT_EQ(ClippedLength("    "), 0);
    EXPECT_EQ(ClippedLength("Größe  "), 5);
}

TEST(TextHelpers, ReplaceString) {
    struct Case {
        const char* repl;
        const char* find;
        const char* text;
        const char* want;
    };
    const Case cases[] = {
        {"2024", "#cparameter#", "WHERE j = #cParameter#        ", "WHERE j = 2024                "},
        {"X", "ab", "ab-AB-aB", "X-X-X   "},  // every one, any case
        {"langer Text", "#", "a#b", "ala"},   // cut to the given length
        {"x", "", "unchanged", "unchanged"},  // empty find never matches
        {"ä", "Ö", "xöx", "xäx"},             // umlauts fold
        {"", "ab", "aabb", "    "},           // what a removal joins goes too
        {"b", "ab", "aab", "b  "},            // each search starts at the front
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceString(c.repl, c.find, c.text), c.want) << c.text;
}

TEST(TextHelpers, ReplaceStringRefusesPairsThatNeverEnd) {
    EXPECT_EQ(ReplaceString("#cparameter#", "#cParameter#", "= #cParameter# "), std::nullopt);
    EXPECT_EQ(ReplaceString("xABx", "ab", "no match here"), std::nullopt);  // refused whatever the text
}

TEST(TextHelpers, ReplaceConnectDatabase) {
    const std::string cs = "DRIVER=SQL Server;SERVER=srv;UID=sa;PWD=x;Database=eazybusiness";
    EXPECT_EQ(ReplaceConnectDatabase(cs, "eazybusiness"), cs);
    EXPECT_EQ(ReplaceConnectDatabase(cs, "Mandant2"), "DRIVER=SQL Server;SERVER=srv;UID=sa;PWD=x;Database=Mandant2");
    // The old name runs to the end, so what follows it goes too.
    EXPECT_EQ(ReplaceConnectDatabase("DRIVER=d;SERVER=s;Database=db1;Regional=Yes", "db2"),
              "DRIVER=d;SERVER=s;Database=db2");
}

TEST(TextHelpers, SplitToQueue) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitToQueue(";", "a;;b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitToQueue(";", "a;b;"), (V{"a", "b"}));
    EXPECT_EQ(SplitToQueue(";", "   "), V{});
    EXPECT_EQ(SplitToQueue("|", "eins"), V{"eins"});
}

TEST(TextHelpers, DigitsOnlyKeepsPositions) {
    EXPECT_EQ(DigitsOnly("12-ab3"), "12   3");
    EXPECT_EQ(DigitsOnly("x1ä2"), " 1 2");
    EXPECT_EQ(DigitsOnly("abc"), "");
}

TEST(TextHelpers, SplitPath) {
    const char* p = "C:\\Prog\\VOQ\\Kivorant.6.exe";
    EXPECT_EQ(SplitPath(p, 3, 0), "C:\\Prog\\VOQ\\");
    EXPECT_EQ(SplitPath(p, 1, 0), "Kivorant");
    EXPECT_EQ(SplitPath(p, 2, 0), "6");
    EXPECT_EQ(SplitPath(p, 0, 1), "Kivorant.6");
    EXPECT_EQ(SplitPath("/opt/voq/VOQKivorant", 0, 1), "VOQKivorant.");
    EXPECT_EQ(SplitPath("/opt/voq/VOQKivorant", 3, 0), "/opt/voq/");
}

TEST(TextHelpers, ReadNumberAnswerIsStrict) {
    const std::string huge(400, '9');  // beyond a double
    const struct {
        const char* text;
        double number;
    } cases[] = {{"12,5", 12.5}, {"12.5", 12.5}, {" -7 ", -7}, {"+3", 3},    {"0,25", 0.25},   {",5", 0.5}, {"12.", 12},
                 {"", 0},        {"-", 0},       {"12abc", 0}, {"0x10", 0},  {"1e3", 0},       {"inf", 0},  {"nan", 0},
                 {"1.234,5", 0}, {"1 2", 0},     {"--1", 0},   {"12,5,", 0}, {huge.c_str(), 0}};
    for (const auto& c : cases) EXPECT_EQ(ReadNumberAnswer(c.text), c.number) << c.text;
}
