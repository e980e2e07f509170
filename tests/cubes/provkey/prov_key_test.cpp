// The commission keys on the SQLite demo database and on PostgreSQL: the key text, the drop
// lists from the ERP's tables, storing through the form and the case-blind unique key.
#include "cubes/provkey/prov_key.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/sync/structure_update.h"
#include "demo/demo_database.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace provkey;

TEST(ProvisionsKeyText, ShopBeforeProductGroupWithoutSeparators) {
    const struct {
        const char *employee, *platform, *shop, *group, *key;
    } cases[] = {
        {"Meier", "Web", "Nord", "Kleinteile", "MeierWebNord"},
        {"Meier", "Web", "", "Kleinteile", "MeierWebKleinteile"},
        {"Meier", "Web", "", "", "MeierWeb"},
        {"Meier  ", "Web ", "  ", "Kleinteile ", "MeierWebKleinteile"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProvisionsKey(c.employee, c.platform, c.shop, c.group), c.key);
    const std::string forty(40, 'x');
    EXPECT_EQ(ProvisionsKey(forty, forty, forty, ""), std::string(120, 'x'));
    EXPECT_EQ(ProvisionsKey(forty, forty, forty + "ü", "").size(), 120u);
}

class ProvKeyForm : public coretest::WorkingFolderTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg_, connect_)) return;
        if (pg()) {
            for (const char* t : {"tPlattform", "tShop", "tWarengruppe", "tBenutzer"})
                exec(std::string("CREATE TABLE dbo.") + t + " (k INTEGER, cName VARCHAR(50))");
            exec("INSERT INTO dbo.tPlattform VALUES (1, 'Ladengeschäft'), (2, 'Onlineshop')");
            exec("INSERT INTO dbo.tShop VALUES (1, 'Zentrale Köln'), (2, 'Webshop')");
            exec("INSERT INTO dbo.tWarengruppe VALUES (1, 'Büromaterial'), (2, 'Kleinteile')");
            exec("INSERT INTO dbo.tBenutzer VALUES (1, 'Admin')");
        } else {
            ASSERT_EQ(demo::writeDemoDatabase(file("client.db"), {.salesLines = 10}), "");
        }
        GLO.ConnectString = connect_;
        cubestest::createProgramTables(connect_, pg());
        ready_ = true;
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    bool pg() const { return GetParam() == "pg"; }
    void exec(const std::string& sql) const { ASSERT_EQ(voq::test::execSql(connect_, sql), "") << sql; }
    int startList() { return cubestest::startWithDictionary(BrowseProvKey); }
    std::vector<std::string> entries(rt::WindowId w, int id) const {
        std::vector<std::string> out;
        for (const auto& row : user_.rows(w, id)) out.push_back(row.cells.at(0).text);
        return out;
    }
    int records() {
        long n = -1;
        cubestest::runWithDictionary([&n] {
            Access.VOQProvKey->open();
            n = static_cast<long>(Access.VOQProvKey->records());
            Access.VOQProvKey->close();
        });
        return static_cast<int>(n);
    }

    cubestest::AllRights rights_;
    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
    bool ready_ = false;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_P(ProvKeyForm, ChoicesComeFromTheErpTablesAndTheKeyFollowsThem) {
    if (!ready_) return;
    // The employees' central database does not exist here: its statement's error is shown.
    user_.queueMessageBoxAnswer(rt::button::Ok);
    const int t = startList();
    auto list = user_.waitWindow(kListTitle);
    user_.press(list, Insert);
    auto form = user_.waitWindow("Datensatz anlegen");
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.messageBoxes()[0].title, "EXECUTE QUERY");
    EXPECT_NE(user_.messageBoxes()[0].text.find(kEmployeeStatement), std::string::npos);
    EXPECT_TRUE(entries(form, Employee).empty());
    const auto platforms = entries(form, Platform);
    const auto shops = entries(form, Shop);
    const auto groups = entries(form, ProductGroup);
    ASSERT_GE(platforms.size(), 2u);
    ASSERT_GE(shops.size(), 2u);
    EXPECT_EQ(platforms[0], "Ladengeschäft");
    EXPECT_EQ(platforms[1], "Onlineshop");
    EXPECT_EQ(shops[0], "Zentrale Köln");
    EXPECT_FALSE(groups.empty());

    user_.chooseEntry(form, Platform, 2);
    EXPECT_EQ(user_.value(form, Key), "Onlineshop");
    user_.chooseEntry(form, ProductGroup, 1);
    EXPECT_EQ(user_.value(form, Key), "Onlineshop" + groups[0]);
    user_.chooseEntry(form, Shop, 1);
    EXPECT_EQ(user_.value(form, Key), "OnlineshopZentrale Köln");
    user_.setValue(form, Key, "getippt");
    EXPECT_EQ(user_.value(form, Key), "OnlineshopZentrale Köln");
    user_.setValue(form, Commission, "-12,5");
    user_.press(form, Ok);
    user_.waitClosed(form);

    ASSERT_EQ(user_.rowCount(list, List), 1u);
    EXPECT_EQ(user_.cell(list, List, 1, 3), "Onlineshop");
    EXPECT_EQ(user_.cell(list, List, 1, 4), "Zentrale Köln");
    EXPECT_EQ(user_.cell(list, List, 1, 5), groups[0]);
    EXPECT_EQ(user_.cell(list, List, 1, 6), "-12,5");
    EXPECT_EQ(user_.cell(list, List, 1, 7), "OnlineshopZentrale Köln");
    user_.press(list, Close);
    user_.waitThreadEnd(t);
}

TEST_P(ProvKeyForm, AKeyDifferingOnlyInCaseIsRefused) {
    if (!ready_) return;
    exec("INSERT INTO " + coretest::serverTable(pg(), "VOQProvKey") +
         " (ID, Mitarbeiter, Plattform, Shop, Warengruppe, PROVISIONSKEY, Provision)"
         " VALUES (1, '', 'onlineshop', 'zentrale köln', '', 'onlineshopzentrale köln', 3)");
    user_.queueMessageBoxAnswer(rt::button::Ok);  // the employees' statement
    const int t = startList();
    auto list = user_.waitWindow(kListTitle);
    EXPECT_EQ(user_.cell(list, List, 1, 7), "onlineshopzentrale köln");
    user_.press(list, Insert);
    auto form = user_.waitWindow("Datensatz anlegen");
    user_.chooseEntry(form, Platform, 2);
    user_.chooseEntry(form, Shop, 1);
    const auto before = user_.messageBoxes().size();
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(form, Ok);
    ASSERT_EQ(user_.messageBoxes().size(), before + 1);
    EXPECT_TRUE(user_.isOpen(form));
    user_.press(form, Cancel);
    user_.waitClosed(form);
    user_.press(list, Close);
    user_.waitThreadEnd(t);
    EXPECT_EQ(records(), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, ProvKeyForm, ::testing::Values("sqlite", "pg"));

}  // namespace
