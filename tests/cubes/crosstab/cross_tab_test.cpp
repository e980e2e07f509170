// The cross-tab definitions through the headless display: a copy keeps every part but the
// identifier and the title; the print goes through a saved query-by-example definition.
#include "cubes/crosstab/cross_tab.h"

#include <gtest/gtest.h>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"
#include "tests/cubes/support/qbe_print.h"

namespace {

using namespace crosstab;

class CrossTabList : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        cubestest::runWithDictionary([] {
            Access.CrossTab->open();
            CRO = {};
            CRO.ID = 7;
            CRO.Title = "Umsatz je Vertreter";
            CRO.RowValue = "cVertreterNr+'' ''+cName";
            CRO.ColValue = "YEAR(dDatum)";
            CRO.Aggregate = "SUM(fUmsatz)";
            CRO.FromExpression = "tUmsatz WHERE cOrt = #cParameter#";
            Access.CrossTab->insertAsIs();
            Access.CrossTab->close();
        });
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }

    cubestest::AllRights rights_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(CrossTabList, ACopyStartsWithEveryPartButIdentifierAndTitle) {
    const int t = cubestest::startWithDictionary(BrowseCrossTab);
    auto list = user_.waitWindow(kListTitle);
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(list, Copy);
    EXPECT_EQ(user_.lastMessageBox().title, kCopiedText);
    auto form = user_.waitWindow("Datensatz anlegen");
    EXPECT_EQ(user_.value(form, Title), "");
    EXPECT_EQ(user_.value(form, Row), "cVertreterNr+'' ''+cName");
    EXPECT_EQ(user_.value(form, Col), "YEAR(dDatum)");
    EXPECT_EQ(user_.value(form, Aggregate), "SUM(fUmsatz)");
    EXPECT_EQ(user_.value(form, From), "tUmsatz WHERE cOrt = #cParameter#");
    user_.setValue(form, Title, "Umsatz je Vertreter 2");
    user_.press(form, Ok);
    user_.waitClosed(form);
    ASSERT_EQ(user_.rowCount(list, List), 2u);
    EXPECT_EQ(user_.cell(list, List, 2, 1), "Umsatz je Vertreter 2");
    EXPECT_EQ(user_.cell(list, List, 2, 5), "tUmsatz WHERE cOrt = #cParameter#");
    EXPECT_EQ(user_.cell(list, List, 1, 1), "Umsatz je Vertreter");
    user_.press(list, Close);
    user_.waitThreadEnd(t);
}

TEST(CrossTabQuotes, OnlyDoubledQuotesCanStandInATextParameter) {
    for (const char* ok : {"", "cName", "cVertreterNr+'' ''+ cName", "''''"}) EXPECT_TRUE(QuotesDoubled(ok)) << ok;
    for (const char* bad : {"A'B", "cName+' '+cOrt", "'''", "x'"}) EXPECT_FALSE(QuotesDoubled(bad)) << bad;
}

// The form refuses a part with a single quote, which would end its literal on the server.
TEST_F(CrossTabList, APartWithASingleQuoteIsRefused) {
    const int t = cubestest::startWithDictionary(BrowseCrossTab);
    auto list = user_.waitWindow(kListTitle);
    user_.press(list, Change);
    auto form = user_.waitWindow("Datensatz bearbeiten");
    user_.setValue(form, Row, "cName+' '+cOrt");
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(form, Ok);
    EXPECT_EQ(user_.lastMessageBox().title, kQuoteTitle);
    EXPECT_EQ(user_.lastMessageBox().text,
              "\"Row Value\" enthält ein einfaches Hochkomma.\nEin Hochkomma wird verdoppelt eingegeben, wie in "
              "cVertreterNr+'' ''+ cName.");
    EXPECT_TRUE(user_.isOpen(form));
    EXPECT_EQ(user_.window(form).focus, Row);
    user_.setValue(form, Row, "cName+'' ''+cOrt");
    user_.press(form, Ok);
    user_.waitClosed(form);
    EXPECT_EQ(user_.cell(list, List, 1, 2), "cName+'' ''+cOrt");
    user_.press(list, Close);
    user_.waitThreadEnd(t);
}

TEST_F(CrossTabList, PrintGoesThroughASavedDefinitionToTheReport) {
    cubestest::saveShownField("CrossTab", "CRO:ID", "CRO:Title", "Titel");
    const int t = cubestest::startWithDictionary(BrowseCrossTab);
    auto list = user_.waitWindow(kListTitle);
    cubestest::printThroughTheDefinition(user_, list, Print);
    EXPECT_EQ(user_.rowCount(list, List), 1u);
    user_.press(list, Close);
    user_.waitThreadEnd(t);
}

}  // namespace
