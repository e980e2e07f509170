// Query by example's report on the demo database: column widths, the break with its calculations
// checked against values computed here, and print set-up after the reading.
#include "queries/qbe/qbe_report.h"

#include <gtest/gtest.h>

#include "core/dictionary/globals.h"
#include "core/print/report_preview.h"
#include "demo/demo_database.h"
#include "runtime/report/layout.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace qbecode;

TEST(QueryByExampleReportLayout, ColumnWidthAndColumnsThatFit) {
    EXPECT_EQ(QBEColumnWidth(267, 6, 20, 50), 44);
    EXPECT_EQ(QBEColumnsThatFit(267, 44), 6);
    EXPECT_EQ(QBEColumnWidth(267, 20, 20, 50), 20);
    EXPECT_EQ(QBEColumnsThatFit(267, 20), 13);
    EXPECT_EQ(QBEColumnWidth(267, 2, 20, 50), 50);
}

QBEColumn column(long number, const char* name, int code1, int code2 = 0) {
    QBEColumn c;
    c.NUMBER = number;
    c.NAME = name;
    c.HEADER = name;
    c.type(1) = code1;
    c.type(2) = code2;
    return c;
}

class QueryByExampleReport : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        ASSERT_EQ(demo::writeDemoDatabase(file("client.db"), {.salesLines = 10}), "");
        connect_ = voq::test::sqliteConnectString(file("client.db"));
        GLO.ConnectString = connect_;
        cubestest::createProgramTables(connect_, false);
        ASSERT_EQ(voq::test::execSql(connect_,
                                     "INSERT INTO VOQCUBEKOPF (ID, ID_CUBG, CubeName, Activ) VALUES "
                                     "(1, -4, 'Umsatz', 1), (2, -2, 'Bestand', 1), (3, -9, 'Rohertrag', 0)"),
                  "");
        SetQBEReportHook([this](rt::Report& r, QBEReportStage stage) {
            if (stage == QBEReportStage::Laid)
                r.setKeepPageData(true);
            else
                pages_ = r.pageData();
        });
    }
    void TearDown() override {
        SetQBEReportHook({});
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    // The texts the report printed from one control, in page order.
    std::vector<std::string> printed(int control) const {
        std::vector<std::string> out;
        for (const auto& p : pages_)
            for (const auto& i : p.items)
                if (i.kind == rt::PageItem::Kind::Text && i.control == control) out.push_back(i.text);
        return out;
    }

    cubestest::AllRights rights_;
    std::string connect_;
    std::vector<rt::PageData> pages_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(QueryByExampleReport, BreaksResetTheCalculationsOnTheirRow) {
    // Sum of the ID and the lowest group per Activ; the name sorted and shown.
    std::vector<QBEColumn> g{QBESetAllColumn(), column(1, "CUBK:ID", Sum), column(2, "CUBK:ID_CUBG", Minimum),
                             column(3, "CUBK:CubeName", On), column(4, "CUBK:Activ", Break, OnUp)};
    std::string order;
    ASSERT_TRUE(BuildQBEOrder(g, 2, true, order).ok);
    const int t = cubestest::startWithDictionary([g] {
        QBEReport({"CrossTab", "VOQCubeGruppe", "VOQCubeKopf"}, g, "", "+CUBK:Activ,+CUBK:CubeName", 2, 3);
    });
    // The preview comes first; leaving it prints nothing.
    auto w = user_.waitWindow(" Report Preview");
    user_.press(w, preview::BUTTON_EXIT);
    user_.waitThreadEnd(t);

    EXPECT_EQ(printed(qbereport::Title), std::vector<std::string>{"Query on VOQCubeKopf"});
    EXPECT_EQ(printed(qbereport::Value + 2), (std::vector<std::string>{"Rohertrag", "Bestand", "Umsatz"}));
    EXPECT_EQ(printed(qbereport::BreakValue + 3), (std::vector<std::string>{"0", "1"}));
    // Group Activ 0: ID 3, group -9; group 1: IDs 2 + 1, lowest group -4 (never 0).
    EXPECT_EQ(printed(qbereport::CalcValue), (std::vector<std::string>{"3", "3"}));
    EXPECT_EQ(printed(qbereport::CalcValue + 1), (std::vector<std::string>{"-9", "-4"}));
    EXPECT_EQ(printed(qbereport::CalcTitle), (std::vector<std::string>{"Sum", "Sum"}));
}

TEST_F(QueryByExampleReport, ARejectedOrderStopsTheRun) {
    std::vector<QBEColumn> g{QBESetAllColumn(), column(1, "CUBK:ID", On)};
    std::string order;
    ASSERT_TRUE(BuildQBEOrder(g, 1, true, order).ok);
    user_.queueMessageBoxAnswer(rt::button::Ok);
    const int t = cubestest::startWithDictionary([g] {
        QBEReport({"CrossTab", "VOQCubeGruppe", "VOQCubeKopf"}, g, "CUBK:ID = 1", "+(((", 1, 3);
    });
    user_.waitThreadEnd(t);
    EXPECT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_TRUE(pages_.empty());
}

TEST_F(QueryByExampleReport, ASourceThatCannotBeOpenedIsReportedAndTheUserMayGoOn) {
    // The client's database is out of reach: the open steps report it, and Cancel goes on without a run.
    GLO.ConnectString = voq::test::sqliteConnectString(file("gone/client.db"));
    std::vector<QBEColumn> g{QBESetAllColumn(), column(1, "CUBK:ID", On)};
    user_.queueMessageBoxAnswer(rt::button::Cancel);
    const int t = cubestest::startWithDictionary([g] {
        QBEReport({"CrossTab", "VOQCubeGruppe", "VOQCubeKopf"}, g, "", "+CUBK:ID", 1, 3);
    });
    user_.waitThreadEnd(t);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.messageBoxes()[0].title, "File Access Error");
    EXPECT_TRUE(pages_.empty());
}

}  // namespace
