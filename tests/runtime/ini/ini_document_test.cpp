#include <gtest/gtest.h>

#include "runtime/ini/ini_document.h"

namespace {

const char* const kFixture =
    "; settings of the program\n"
    "[Main]\n"
    "Maximize=No\n"
    "XPos = 12 \n"
    "\n"
    "# window of the value list\n"
    "[BrowseWerte]\n"
    "Width=300\n"
    "Empty=\n"
    "Quoted=\"  a b  \"\n"
    "Single='x'\n"
    "Half=\"open\n"
    "Eq=a=b\n"
    "no equals sign here\n"
    "[\xC3\x84nderung]\n"  // [Änderung]
    "Gr\xC3\xB6\xC3\x9F"
    "e=1\n"  // Größe=1
    "[main]\n"
    "XPos=99\n"
    "Later=1\n";

TEST(IniDocument, GetTable) {
    const auto doc = rt::IniDocument::parse(kFixture);
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Main", "Maximize", "No"},
        {"MAIN", "maximize", "No"},       // names ignore case
        {" Main ", " XPos ", "12"},       // blanks around names and values go
        {"main", "Later", std::nullopt},  // only the first section of a name counts
        {"BrowseWerte", "Empty", ""},     // present and empty
        {"BrowseWerte", "Missing", std::nullopt},
        {"BrowseWerte", "Quoted", "  a b  "},  // one pair of quotes comes off
        {"BrowseWerte", "Single", "x"},
        {"BrowseWerte", "Half", "\"open"},
        {"BrowseWerte", "Eq", "a=b"},  // the first "=" splits
        {"BrowseWerte", "no equals sign here", std::nullopt},
        {"BrowseWerte", "Maximize", std::nullopt},  // keys belong to their section
        {"\xC3\xA4nderung",
         "GR\xC3\x96\xC3\x9F"
         "E",
         "1"},  // änderung / GRÖßE
        {"Nowhere", "XPos", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(doc.get(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST(IniDocument, UnchangedTextComesBackWithCrLf) {
    const std::string lf = "; c\n[A]\nk=v\n\n[B]\nx = 1 \n";
    const std::string crlf = "; c\r\n[A]\r\nk=v\r\n\r\n[B]\r\nx = 1 \r\n";
    EXPECT_EQ(rt::IniDocument::parse(lf).serialize(), crlf);
    EXPECT_EQ(rt::IniDocument::parse(crlf).serialize(), crlf);
    EXPECT_EQ(rt::IniDocument::parse("[A]\nk=v").serialize(), "[A]\r\nk=v\r\n");  // no last line end
    EXPECT_EQ(rt::IniDocument::parse("\xEF\xBB\xBF[A]\nk=v\n").serialize(), "\xEF\xBB\xBF[A]\r\nk=v\r\n");
    EXPECT_EQ(rt::IniDocument::parse("\xEF\xBB\xBF[A]\nk=v\n").get("A", "k"), "v");
}

TEST(IniDocument, SetKeepsEverythingElse) {
    auto doc = rt::IniDocument::parse("; head\n[Main]\nmaximize=Yes\n; about the size\nWidth=10\n\n[Other]\nk=1\n");
    doc.set("MAIN", "MAXIMIZE", "No");  // an existing key keeps its spelling and place
    doc.set("Main", "Height", "20");    // a new key after the section's last key
    doc.set("New", "Key", "v");         // a new section at the end
    doc.set("other", "k", "");          // present and empty
    EXPECT_EQ(doc.serialize(),
              "; head\r\n[Main]\r\nmaximize=No\r\n; about the size\r\nWidth=10\r\nHeight=20\r\n\r\n"
              "[Other]\r\nk=\r\n\r\n[New]\r\nKey=v\r\n");
    EXPECT_EQ(doc.get("other", "K"), "");
}

TEST(IniDocument, SetIntoEmptySectionAndEmptyText) {
    auto doc = rt::IniDocument::parse("[Empty]\n; nothing yet\n");
    doc.set("Empty", "a", "1");
    EXPECT_EQ(doc.serialize(), "[Empty]\r\na=1\r\n; nothing yet\r\n");

    auto fresh = rt::IniDocument::parse("");
    fresh.set("Preserved", "GLO:ForceUpdate", "0");
    EXPECT_EQ(fresh.serialize(), "[Preserved]\r\nGLO:ForceUpdate=0\r\n");
}

TEST(IniDocument, LineBreaksInValuesBecomeBlanks) {
    auto doc = rt::IniDocument::parse("");
    doc.set("S", "k", "one\r\ntwo\nthree");
    EXPECT_EQ(doc.serialize(), "[S]\r\nk=one  two three\r\n");
    EXPECT_EQ(rt::IniDocument::parse(doc.serialize()).get("S", "k"), "one  two three");
}

TEST(IniDocument, RemoveKeyAndSection) {
    auto doc = rt::IniDocument::parse("[A]\nx=1\ny=2\n[B]\n; b's comment\nz=3\n[a]\nx=9\n");
    EXPECT_TRUE(doc.removeKey("a", "X"));
    EXPECT_FALSE(doc.removeKey("A", "x"));  // the later copy of [a] is not looked at
    EXPECT_FALSE(doc.removeKey("C", "x"));
    EXPECT_EQ(doc.get("A", "y"), "2");
    EXPECT_TRUE(doc.removeSection("b"));
    EXPECT_FALSE(doc.removeSection("b"));
    EXPECT_EQ(doc.serialize(), "[A]\r\ny=2\r\n[a]\r\nx=9\r\n");
    EXPECT_TRUE(doc.removeSection("A"));  // every copy goes
    EXPECT_TRUE(doc.empty());
}

TEST(IniDocument, LinesWithNulBytesAreNoText) {
    const struct {
        std::string text;
        bool invalid;
    } cases[] = {
        {"[A]\nk=\xC3\xA4\n", false},
        {"[A]\nk=\xFF\n", false},
        {std::string("[A]\nk=a\0b\n", 10), true},
        {std::string("\0", 1), true},
    };
    for (const auto& c : cases) {
        auto doc = rt::IniDocument::parse(c.text);
        EXPECT_EQ(doc.hadInvalidText(), c.invalid) << testing::PrintToString(c.text);
    }
    const char raw[] = "[A]\nbad=a\0b\nk=1\n\0\0\0\n";
    auto doc = rt::IniDocument::parse(std::string(raw, sizeof raw - 1));
    EXPECT_EQ(doc.get("A", "bad"), std::nullopt);
    EXPECT_EQ(doc.get("A", "k"), "1");
    doc.dropInvalidLines();
    EXPECT_EQ(doc.serialize(), "[A]\r\nk=1\r\n");
}

TEST(IniDocument, LinesThatAreNoUtf8AreReadAsAnsi) {
    const struct {
        const char* line;
        const char* value;
    } cases[] = {
        {"k=\xC4nderung", "\xC3\x84nderung"},  // Änderung in Windows-1252
        {"k=Gr\xF6\xDF"
         "e",
         "Gr\xC3\xB6\xC3\x9F"
         "e"},                                               // Größe
        {"k=\x80 5", "\xE2\x82\xAC 5"},                      // € 5
        {"k=\xC3", "\xC3\x83"},                              // a cut UTF-8 sequence is a letter too
        {"k=\xC3\xA4", "\xC3\xA4"},                          // valid UTF-8 stays
        {"k=\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // no surrogates in UTF-8
    };
    for (const auto& c : cases) {
        const auto doc = rt::IniDocument::parse(std::string("[A]\n") + c.line + "\n");
        EXPECT_EQ(doc.get("A", "k"), std::string(c.value)) << c.line;
        EXPECT_FALSE(doc.hadInvalidText());
    }
    // A section named in ANSI is found by its UTF-8 name and written back in UTF-8.
    auto doc = rt::IniDocument::parse(
        "[Pr\xFC"
        "fung]\nk=1\n");
    EXPECT_EQ(doc.get("PR\xC3\x9C"
                      "FUNG",
                      "k"),
              "1");
    doc.set(
        "Pr\xC3\xBC"
        "fung",
        "j", "2");
    EXPECT_EQ(doc.serialize(),
              "[Pr\xC3\xBC"
              "fung]\r\nk=1\r\nj=2\r\n");
}

}  // namespace
