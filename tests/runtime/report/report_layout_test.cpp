// Page layout as data: positions, page breaks, growing texts, orientation, totals and breaks.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/report/font_metrics.h"
#include "runtime/report/page_picture.h"
#include "runtime/report/report.h"
#include "runtime/text/picture.h"
#include "tests/support/command_output.h"

namespace {

using rt::BandKind;
using rt::Justify;

enum : int {
    HEADER = 1,
    DETAIL,
    FOOTER,
    GROUP_HEAD,
    GROUP_FOOT,
    MEMO_BAND,
    TITLE = 100,
    HEAD_ID,
    COL_ID,
    COL_NAME,
    COL_AMOUNT,
    PAGE_NO,
    GROUP_NAME,
    GROUP_SUM,
    GROUP_COUNT,
    REPORT_SUM,
    PAGE_SUM,
    MEMO,
    MEMO_TAIL,
};

struct Row {
    int id;
    std::string name;
    std::string group;
    std::string amount;
};

// The fixture report: A4 points, a body of 120 high (ten detail lines of 12), a header, a
// footer with the page number.
struct Fixture {
    rt::Report report{"Fixture"};
    Row current;

    Fixture() {
        report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(40, 100, 500, 120);
        report.setKeepPageData(true);
        auto& head = report.addBand(HEADER, BandKind::PageHeader).setPosition(40, 20, 500, 60);
        head.addString(TITLE, 0, 0, 300, 14).setText("Report der Tabelle Scripte").setBold();
        head.addString(HEAD_ID, 0, 40, 60, 12).setText("ID");
        auto& detail = report.addBand(DETAIL, BandKind::Detail).setSize(500, 12);
        detail.addString(COL_ID, 0, 0, 60, 12)
            .setUse([this] { return std::to_string(current.id); })
            .setPicture("@n6")
            .setJustify(Justify::Right);
        detail.addString(COL_NAME, 70, 0, 200, 12).setUse([this] { return current.name; });
        detail.addString(COL_AMOUNT, 300, 0, 100, 12)
            .setUse([this] { return current.amount; })
            .setPicture("@n-12.`2")
            .setJustify(Justify::Decimal, 10);
        auto& foot = report.addBand(FOOTER, BandKind::PageFooter).setPosition(40, 800, 500, 20);
        foot.addString(PAGE_NO, 400, 2, 80, 11).setPageNumber("@pSeite <<<#p");
    }

    void run(const std::vector<Row>& rows) {
        report.open();
        for (const auto& r : rows) {
            current = r;
            report.print(DETAIL);
        }
        report.endReport();
    }
};

std::vector<Row> rows(int n, const std::string& group = "A") {
    std::vector<Row> out;
    for (int i = 1; i <= n; ++i) out.push_back({i, "Name " + std::to_string(i), group, std::to_string(i) + ".5"});
    return out;
}

double width(const rt::ReportFont& f, const std::string& s) { return rt::textWidthPoints(f, s); }

TEST(ReportFonts, WidthsComeFromTheLiberationFiles) {
    rt::ReportFont sans;  // Arial 10
    ASSERT_TRUE(rt::reportFontAvailable(sans));
    // Advance widths of Liberation Sans (units of 2048): H 1479, a 1139, l 455, o 1139.
    EXPECT_NEAR(width(sans, "Hallo"), (1479 + 1139 + 455 + 455 + 1139) * 10.0 / 2048, 1e-9);
    rt::ReportFont mono{"Courier New", 10};
    EXPECT_NEAR(width(mono, "iiii"), width(mono, "WWWW"), 1e-9);
    EXPECT_NEAR(width(mono, "W"), 1229 * 10.0 / 2048, 1e-9);
    rt::ReportFont bold = sans;
    bold.bold = true;
    EXPECT_GT(width(bold, "Hallo"), width(sans, "Hallo"));
    EXPECT_GT(width(sans, "Ä"), 0);
    EXPECT_EQ(rt::reportFontFamily("Times New Roman"), "Liberation Serif");
    EXPECT_EQ(rt::reportFontFamily("Fixedsys"), "Liberation Mono");
    EXPECT_EQ(rt::reportFontFamily("MS Sans Serif"), "Liberation Sans");
}

TEST(ReportLayout, BandsAndControlsStandWhereTheLayoutPutsThem) {
    Fixture f;
    f.run(rows(3));
    ASSERT_EQ(f.report.pageData().size(), 1u);
    const auto& page = f.report.pageData()[0];
    EXPECT_EQ(page.width, 595);
    EXPECT_EQ(page.height, 842);
    const rt::PageItem* title = page.findText("Report der Tabelle Scripte");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->x, 40);
    EXPECT_EQ(title->y, 20);
    EXPECT_TRUE(title->font.bold);
    // Details flow from the body's top, 12 apart; the right-aligned number ends at the column's edge.
    for (int i = 1; i <= 3; ++i) {
        const rt::PageItem* name = page.findText("Name " + std::to_string(i));
        ASSERT_TRUE(name) << i;
        EXPECT_EQ(name->x, 40 + 70);
        EXPECT_EQ(name->y, 100 + 12 * (i - 1));
        const rt::PageItem* id = page.findText(std::to_string(i));
        ASSERT_TRUE(id);
        EXPECT_NEAR(id->x + id->width, 40 + 60, 1e-9);
    }
    // Decimal alignment: the decimal commas of "1,50" and "12,50" stand one above the other.
    const rt::PageItem* footer = page.findText("Seite    1");
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->y, 802);
    EXPECT_EQ(rt::formatPicture(std::int64_t{1}, "@pSeite <<<#p"), "Seite    1");
}

TEST(ReportLayout, DecimalColumnsLineUpTheirDecimalMarks) {
    Fixture f;
    f.run({{1, "a", "A", "1.5"}, {2, "b", "A", "1234.25"}});
    const auto& page = f.report.pageData()[0];
    const rt::PageItem* small = page.findText("1,50");
    const rt::PageItem* big = page.findText("1.234,25");
    ASSERT_TRUE(small && big);
    rt::ReportFont font;
    double markSmall = small->x + width(font, "1");
    double markBig = big->x + width(font, "1.234");
    EXPECT_NEAR(markSmall, markBig, 1e-9);
    EXPECT_NEAR(big->x + big->width, 40 + 300 + 100 - 10, 1e-9);
}

TEST(ReportLayout, PagesBreakWhenTheBodyIsFullAndEndingTwiceMakesNoEmptyPage) {
    Fixture f;
    f.run(rows(25));
    ASSERT_EQ(f.report.pageCount(), 3);
    const auto& data = f.report.pageData();
    EXPECT_EQ(data[0].findText("Name 10")->y, 100 + 9 * 12);
    EXPECT_TRUE(data[1].findText("Name 11"));
    EXPECT_EQ(data[1].findText("Name 11")->y, 100);
    EXPECT_TRUE(data[2].findText("Seite    3"));
    // Each page has its header.
    for (const auto& p : data) EXPECT_TRUE(p.findText("Report der Tabelle Scripte"));
    f.report.endPage();
    f.report.endPage();
    EXPECT_EQ(f.report.pageCount(), 3);
    ASSERT_EQ(f.report.pages().size(), 3u);
    for (const auto& e : f.report.pages()) EXPECT_TRUE(rt::fileExists(e.PREVIEWFILENAME));
    EXPECT_LE(f.report.pages()[0].PREVIEWFILENAME.size(), 128u);
}

TEST(ReportLayout, PageFilesAreRemovedFromTheEnginesOwnListWhateverBecameOfThePageList) {
    Fixture f;
    f.run(rows(25));
    std::vector<std::string> files = f.report.pageFiles();
    std::string folder = f.report.pageFolder();
    auto& list = f.report.pages();
    list.erase(list.begin());      // cut
    list.push_back(list.front());  // duplicated
    std::swap(list[0], list[1]);   // reordered
    f.report.close();
    for (const auto& file : files) EXPECT_FALSE(rt::fileExists(file)) << file;
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(f.report.pages().empty());
}

TEST(ReportLayout, AGrowingTextSplitsOverPagesBetweenItsLines) {
    Fixture f;
    auto& memo = f.report.addBand(MEMO_BAND, BandKind::Detail).setSize(500, 14);
    std::string text;
    for (int i = 1; i <= 30; ++i) text += "Zeile " + std::to_string(i) + "\n";
    text.pop_back();
    memo.addText(MEMO, 20, 0, 300, 12).setText(text).setResize();
    memo.addString(MEMO_TAIL, 0, 12, 100, 2).setText("");
    f.report.open();
    f.current = {1, "Erste", "A", "1"};
    f.report.print(DETAIL);
    f.report.print(MEMO_BAND);
    f.current = {2, "Nach dem Text", "A", "2"};
    f.report.print(DETAIL);
    f.report.endReport();

    double lh = rt::lineHeightPoints(rt::ReportFont());
    int perPage = static_cast<int>(120 / lh);
    int firstPage = static_cast<int>((120 - 12) / lh);
    const auto& data = f.report.pageData();
    ASSERT_GE(data.size(), 3u);
    // Lines stay inside the body, the first page takes what fits below the first detail, the
    // next page goes on at the body's top.
    int line = 1;
    for (std::size_t p = 0; p < data.size(); ++p) {
        for (const auto& it : data[p].items) {
            if (it.control != MEMO) continue;
            EXPECT_EQ(it.text, "Zeile " + std::to_string(line)) << "page " << p + 1;
            EXPECT_LE(it.y + it.height, 100 + 120 + 1e-6);
            EXPECT_GE(it.y, 100 - 1e-6);
            ++line;
        }
    }
    EXPECT_EQ(line, 31);
    const rt::PageItem* second = data[1].findText("Zeile " + std::to_string(firstPage + 1));
    ASSERT_TRUE(second);
    EXPECT_NEAR(second->y, 100, 1e-6);
    EXPECT_TRUE(data[2].findText("Zeile " + std::to_string(firstPage + perPage + 1)));
    // The detail after the text follows its last line (and the tail below it).
    const rt::PageItem* after = data.back().findText("Nach dem Text");
    ASSERT_TRUE(after);
    const rt::PageItem* last = data.back().findText("Zeile 30");
    ASSERT_TRUE(last);
    EXPECT_NEAR(after->y, last->y + lh + 2, 1e-6);
}

TEST(ReportLayout, OrientationSwitchesAtRunTimeFromTheNextPageOn) {
    Fixture f;
    f.report.open();
    for (const auto& r : rows(10)) {
        f.current = r;
        f.report.print(DETAIL);
    }
    f.report.setOrientation(rt::Orientation::Landscape);
    f.report.endPage();
    f.current = {11, "quer", "A", "1"};
    f.report.print(DETAIL);
    f.report.endReport();
    const auto& data = f.report.pageData();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].width, 595);
    EXPECT_EQ(data[1].width, 842);
    EXPECT_EQ(data[1].height, 595);
    EXPECT_EQ(data[1].orientation, rt::Orientation::Landscape);
    auto svg = rt::readFile(f.report.pages()[1].PREVIEWFILENAME);
    ASSERT_TRUE(svg);
    EXPECT_NE(svg->find("width=\"842.000pt\" height=\"595.000pt\""), std::string::npos);
}

TEST(ReportLayout, ControlsMovedResizedHiddenAndRejustifiedAtRunTime) {
    Fixture f;
    f.report.open();
    f.current = {1, "vorher", "A", "1"};
    f.report.print(DETAIL);
    f.report.control(COL_NAME).setX(150).setWidth(60).setJustify(Justify::Center);
    f.report.control(COL_AMOUNT).hide();
    f.current = {2, "nachher", "A", "2"};
    f.report.print(DETAIL);
    f.report.endReport();
    const auto& page = f.report.pageData()[0];
    EXPECT_EQ(page.findText("vorher")->x, 110);
    const rt::PageItem* moved = page.findText("nachher");
    ASSERT_TRUE(moved);
    EXPECT_NEAR(moved->x, 40 + 150 + (60 - width(rt::ReportFont(), "nachher")) / 2, 1e-9);
    EXPECT_TRUE(page.findText("1,00"));
    EXPECT_FALSE(page.findText("2,00"));
}

TEST(ReportLayout, TextsLongerThanTheirControlAreCutToItsWidth) {
    Fixture f;
    f.report.control(COL_NAME).setWidth(30);
    f.run({{1, "Ein sehr langer Name", "A", "1"}});
    const auto& page = f.report.pageData()[0];
    bool found = false;
    for (const auto& it : page.items)
        if (it.control == COL_NAME) {
            found = true;
            EXPECT_LE(it.width, 30 + 1e-9);
            EXPECT_EQ(std::string("Ein sehr langer Name").rfind(it.text, 0), 0u);
            EXPECT_LT(it.text.size(), 20u);
        }
    EXPECT_TRUE(found);
}

// Breaks with totals: a group footer sums the group and starts a new page, a report total
// runs on, a page total starts afresh on each page.
struct BreakFixture : Fixture {
    BreakFixture() {
        auto& gh = report.addBand(GROUP_HEAD, BandKind::GroupHeader).setSize(500, 14);
        gh.addString(GROUP_NAME, 0, 0, 200, 14).setUse([this] { return "Gruppe " + current.group; }).setBold();
        auto& gf = report.addBand(GROUP_FOOT, BandKind::GroupFooter).setSize(500, 14).setPageBreakAfter();
        gf.addString(GROUP_SUM, 300, 0, 100, 12)
            .setUse([this] { return current.amount; })
            .setPicture("@n-12.`2")
            .setTotal(rt::TotalKind::Sum, rt::TotalReset::Break, 7)
            .setJustify(Justify::Right);
        gf.addString(GROUP_COUNT, 0, 0, 100, 12)
            .setUse([this] { return current.amount; })
            .setPicture("@n3")
            .setTotal(rt::TotalKind::Count, rt::TotalReset::Break, 7);
        report.addBreak(
            7, [this] { return current.group; }, GROUP_HEAD, GROUP_FOOT);
        auto& foot = report.band(FOOTER);
        foot.addString(REPORT_SUM, 0, 2, 100, 11)
            .setUse([this] { return current.amount; })
            .setPicture("@n-12.`2")
            .setTotal(rt::TotalKind::Sum);
        foot.addString(PAGE_SUM, 200, 2, 100, 11)
            .setUse([this] { return current.amount; })
            .setPicture("@n-12.`2")
            .setTotal(rt::TotalKind::Maximum, rt::TotalReset::Page);
    }
};

TEST(ReportLayout, BreaksPrintFootersWithTotalsResetPerGroupAndBreakThePage) {
    BreakFixture f;
    std::vector<Row> data = {
        {1, "a1", "A", "1.5"}, {2, "a2", "A", "2"}, {3, "a3", "A", "3"}, {4, "b1", "B", "10"}, {5, "b2", "B", "20.25"}};
    f.run(data);
    const auto& pages = f.report.pageData();
    ASSERT_EQ(pages.size(), 2u);  // the last footer's page break makes no empty page
    auto at = [&](const rt::PageData& p, const std::string& t) {
        auto* it = p.findText(t);
        EXPECT_TRUE(it) << t;
        return it ? it->y : -1.0;
    };
    EXPECT_EQ(at(pages[0], "Gruppe A"), 100);
    EXPECT_EQ(at(pages[0], "a1"), 114);
    EXPECT_EQ(at(pages[0], "6,50"), 114 + 36);  // group sum after three details
    EXPECT_TRUE(pages[0].findText("3"));
    EXPECT_FALSE(pages[0].findText("Gruppe B"));
    EXPECT_EQ(at(pages[1], "Gruppe B"), 100);
    EXPECT_TRUE(pages[1].findText("30,25"));  // reset at the break
    EXPECT_TRUE(pages[1].findText("2"));      // count of group B
    // Footer of page 1: report total so far and the page's maximum; page 2 runs on.
    EXPECT_TRUE(pages[0].findText("6,50"));
    EXPECT_TRUE(pages[0].findText("3,00"));
    EXPECT_TRUE(pages[1].findText("36,75"));
    EXPECT_TRUE(pages[1].findText("20,25"));
}

TEST(ReportLayout, TextsWrapAtBlanksAndLongWordsBreakInside) {
    rt::ReportFont f;
    double w = width(f, "Umsatz gesamt");
    EXPECT_EQ(rt::wrapTextLines(f, "Umsatz gesamt Vorjahr", w + 0.01),
              (std::vector<std::string>{"Umsatz gesamt", "Vorjahr"}));
    EXPECT_EQ(rt::wrapTextLines(f, "a\nb", 100), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(rt::wrapTextLines(f, "", 100), (std::vector<std::string>{""}));
    auto parts = rt::wrapTextLines(f, "Donaudampfschifffahrt", width(f, "Donau") + 0.01);
    ASSERT_GT(parts.size(), 1u);
    EXPECT_EQ(parts[0], "Donau");
    std::string joined;
    for (auto& p : parts) joined += p;
    EXPECT_EQ(joined, "Donaudampfschifffahrt");
    Fixture fx;
    auto& h = fx.report.band(HEADER);
    h.addText(777, 0, 0, w + 0.01, 40).setText("Umsatz gesamt Vorjahr");
    EXPECT_EQ(fx.report.lineCount(777), 2);
}

TEST(ReportLayout, PageFilesAreSvgPicturesWithEscapedTexts) {
    Fixture f;
    f.run({{1, "Müller & <Söhne>", "A", "1"}});
    auto svg = rt::readFile(f.report.pages()[0].PREVIEWFILENAME);
    ASSERT_TRUE(svg);
    EXPECT_EQ(svg->rfind("<?xml", 0), 0u);
    EXPECT_NE(svg->find("viewBox=\"0 0 595.000 842.000\""), std::string::npos);
    EXPECT_NE(svg->find("Müller &amp; &lt;Söhne&gt;"), std::string::npos);
    EXPECT_NE(svg->find("font-family=\"Liberation Sans\""), std::string::npos);
    EXPECT_NE(svg->find("font-weight=\"bold\""), std::string::npos);
}

// Whatever bytes a text holds, the page picture is XML that a real parser reads: every byte
// value, cut and overlong sequences, encoded surrogates and the non-characters U+FFFE/U+FFFF.
TEST(ReportLayout, PagePicturesStayValidXmlWhateverBytesTheTextsHold) {
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    const std::string texts[] = {every,
                                 "\xC3",
                                 "a\xE2\x82",
                                 "\xC0\xAF\xE0\x80\xAF",
                                 "\xED\xA0\x80",
                                 "\xEF\xBF\xBE\xEF\xBF\xBF",
                                 "\xF4\x90\x80\x80",
                                 "Gr\xF6\xDF"
                                 "e"};
    for (const std::string& text : texts) {
        rt::PageData page;
        page.width = 595;
        page.height = 842;
        rt::PageItem item;
        item.text = text;
        item.font.face = text;  // a face name of any bytes too
        page.items.push_back(item);
        const std::string file = (std::filesystem::temp_directory_path() / "report_layout_bytes.svg").string();
        ASSERT_TRUE(rt::writePagePicture(file, page, rt::ReportUnit::Points));
        const std::string parsed = voq::test::commandOutput(
            "python3 -c 'import sys, xml.dom.minidom as m; d = m.parse(sys.argv[1]); "
            "print(d.getElementsByTagName(\"text\")[0].firstChild.data if "
            "d.getElementsByTagName(\"text\")[0].firstChild else \"\")' '" +
            file + "' 2>&1");
        EXPECT_EQ(parsed.find("Error"), std::string::npos) << parsed;
        if (text.rfind("Gr", 0) == 0) {
            EXPECT_EQ(parsed, "Größe\n");
        }
        rt::removeFile(file);
    }
}

TEST(ReportLayout, ThePageFormStandsBehindEveryPageAndPicturesAreEmbedded) {
    // A 1 x 1 PNG.
    static const unsigned char png[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
        0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF,
        0x89, 0x99, 0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    std::string logo = (std::filesystem::temp_directory_path() / "report_layout_logo.png").string();
    ASSERT_TRUE(rt::writeFileReplacing(logo, std::string(reinterpret_cast<const char*>(png), sizeof png)));
    Fixture f;
    auto& form = f.report.addBand(50, BandKind::Form).setPosition(0, 0, 595, 842);
    form.addBox(51, 10, 10, 575, 822).setBorder(rt::rgb(0, 0, 128), 1);
    form.addImage(52, 500, 20, 40, 20).setText(logo);
    form.addImage(53, 500, 50, 40, 20).setText("/nowhere/missing.png");
    f.run(rows(12));
    ASSERT_EQ(f.report.pageCount(), 2);
    for (const auto& page : f.report.pageData()) {
        ASSERT_FALSE(page.items.empty());
        EXPECT_EQ(page.items.front().kind, rt::PageItem::Kind::Box);  // drawn first: behind the rest
        EXPECT_EQ(page.items.front().x, 10);
    }
    auto svg = rt::readFile(f.report.pages()[1].PREVIEWFILENAME);
    ASSERT_TRUE(svg);
    EXPECT_NE(svg->find("xlink:href=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
    EXPECT_EQ(svg->find("missing.png"), std::string::npos);  // a missing picture leaves its place empty
    rt::removeFile(logo);
}

TEST(ReportLayout, MillimetreReportsGiveMillimetrePages) {
    rt::Report r("mm");
    r.setUnit(rt::ReportUnit::Millimetres)
        .setPaper(297, 210)
        .setOrientation(rt::Orientation::Landscape)
        .setBody(10, 40, 277, 150);
    r.setKeepPageData(true);
    auto& d = r.addBand(1, BandKind::Detail).setSize(277, 5);
    d.addString(2, 0, 0, 50, 5).setText("x").setFontSize(10);
    d.addBox(3, 0, 0, 277, 5).setBorder(rt::rgb(255, 0, 0));
    d.addLine(4, 0, 5, 277, 0);
    d.addCheck(5, 60, 0, 4, 4).setText("1");
    r.open();
    r.print(1);
    r.endReport();
    auto svg = rt::readFile(r.pages()[0].PREVIEWFILENAME);
    ASSERT_TRUE(svg);
    EXPECT_NE(svg->find("width=\"297.000mm\" height=\"210.000mm\""), std::string::npos);
    EXPECT_NE(svg->find("stroke=\"#ff0000\""), std::string::npos);
    EXPECT_NE(svg->find("<path"), std::string::npos);  // the ticked check box
    // 10 points are 3.528 mm.
    EXPECT_NE(svg->find("font-size=\"3.528\""), std::string::npos);
}

}  // namespace
