// The property pages through the headless display, and the printed pages of the table.
#include "pivot/print_report.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/pivot/pivot_fixture.h"

using namespace pivottest;

namespace {

class PivotPages : public ::testing::Test {
protected:
    void SetUp() override {
        control_ = salesControl(dir_, {{"Region", "Region", 2}, {"Jahr", "Jahr", 1}, {"Umsatz", "Umsatz", 3}});
    }
    void TearDown() override { display_.shutdown(); }
    voq::test::TempDir dir_;
    std::shared_ptr<pivot::PivotControl> control_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

enum { FIELD = 2, CAPTION = 4, ORIENT = 6, AGG = 8, FORMAT = 10, OK = 11 };

TEST_F(PivotPages, PropertyPagesSetEachFieldAndRefuseABadFormat) {
    int thread = rt::startThread([this] { EXPECT_TRUE(control_->doVerb(-7)); });
    auto w = user_.waitWindow("Eigenschaften");
    EXPECT_EQ(user_.value(w, CAPTION), "Region");
    user_.chooseEntry(w, FIELD, 3);
    EXPECT_EQ(user_.value(w, CAPTION), "Umsatz");
    EXPECT_EQ(user_.selected(w, ORIENT), 4);  // Daten
    user_.setValue(w, CAPTION, "Mittlerer Umsatz");
    user_.chooseEntry(w, AGG, 3);  // Mittelwert
    user_.setValue(w, FORMAT, "Euro");
    user_.queueMessageBoxAnswer(1);
    user_.press(w, OK);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_NE(user_.messageBoxes().back().text.find("ungültig"), std::string::npos);
    EXPECT_TRUE(user_.isOpen(w));
    user_.setValue(w, FORMAT, "0.0");
    user_.chooseEntry(w, FIELD, 2);   // moving on keeps what was typed
    user_.chooseEntry(w, ORIENT, 3);  // the year to the rows
    user_.press(w, OK);
    rt::waitThread(thread);

    auto f = control_->fields();
    EXPECT_EQ(f[2].caption, "Mittlerer Umsatz");
    EXPECT_EQ(f[2].aggregate, pivot::Average);
    EXPECT_EQ(f[2].numberFormat, "0.0");
    EXPECT_EQ(f[1].orientation, pivot::RowArea);
    EXPECT_EQ(f[0].caption, "Region");
}

TEST_F(PivotPages, PrintRepeatsHeadingsAndCountsPages) {
    // Enough lines for several pages: every region and year as rows.
    rt::automationSet(*control_, "Fields(1).Orientation", 2);
    auto& c = *control_;
    for (int i = 0; i < 25; ++i) rt::automationCall(c, "Fields.Add", {"Umsatz", "U" + std::to_string(i), 3});
    rt::automationSet(c, "HeaderCaption", "Verkauf nach Region");
    rt::automationSet(c, "FooterCaption", "- Seite &P of  &PP -");
    rt::automationSet(c, "PrinterOrientation", 2);
    rt::Report report;
    report.setKeepPageData(true);
    pivot::buildPrintReport(*control_->table(), control_->look(), report);
    const auto& pages = report.pageData();
    ASSERT_GE(pages.size(), 2u);
    int n = int(pages.size());
    for (int i = 0; i < n; ++i) {
        const auto& p = pages[size_t(i)];
        EXPECT_EQ(p.orientation, rt::Orientation::Landscape);
        EXPECT_TRUE(p.findText("Verkauf nach Region")) << "page " << i + 1;
        EXPECT_TRUE(p.findText("- Seite " + std::to_string(i + 1) + " of " + std::to_string(n) + " -"))
            << "page " << i + 1;
    }
    // Pages across: the later data columns stand on a page of their own, under their headings.
    EXPECT_TRUE(pages[0].findText("Umsatz"));
    EXPECT_FALSE(pages[0].findText("U24"));
    EXPECT_TRUE(pages.back().findText("U24"));
    EXPECT_TRUE(pages.back().findText("Gesamtergebnis"));
    EXPECT_EQ(pivot::footerText("&P/&PP &&P", 3, 12), "3/12 &3");
}

}  // namespace
