// The saved SQL queries through the headless display: the choice of the file, the list's two
// tabs, the form's field list and its store limit.
#include "cubes/sqlqueries/sql_queries.h"

#include <gtest/gtest.h>

#include <string>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/request.h"
#include "runtime/os/files.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace sqlqueries;

class SavedQueries : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        GLO.SQL_QBE = "SQL_QBE.TPS";
        cubestest::runWithDictionary([] {
            Access.SQLQuerries->open();
            const struct {
                int id;
                const char *table, *description, *query;
            } rows[] = {{1, "", "Alle Kunden", "SELECT * FROM tKunde"},
                        {2, "tArtikel", "Artikel", "SELECT * FROM tArtikel"},
                        {3, "", "Plattformen", "SELECT cName FROM tPlattform"}};
            for (const auto& r : rows) {
                SQLQBE = {};
                SQLQBE.ID = r.id;
                SQLQBE.FileName = r.table;
                SQLQBE.DESCRIPTION = r.description;
                SQLQBE.QUERY = r.query;
                Access.SQLQuerries->insertAsIs();
            }
            Access.SQLQuerries->close();
        });
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    int startList(std::uint8_t request, std::string* answer) {
        return cubestest::startWithDictionary([request, answer] {
            rt::ThreadRequest = request;
            *answer = ListeSQL_QBE("");
        });
    }

    cubestest::AllRights rights_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(SavedQueries, WithoutAFileTheCancelledChoiceOpensNoList) {
    GLO.SQL_QBE = "";
    rt::FileDialogResult cancelled;
    user_.queueFileDialogAnswer(cancelled);
    user_.queueMessageBoxAnswer(rt::button::Ok);
    std::string answer = "untouched";
    user_.waitThreadEnd(startList(rt::request::Select, &answer));
    EXPECT_EQ(answer, "");
    ASSERT_EQ(user_.fileDialogs().size(), 1u);
    EXPECT_EQ(user_.fileDialogs()[0].title, "SQL-Query-Datei");
    EXPECT_EQ(user_.lastMessageBox().text, "Keine Datei ausgewählt");
    EXPECT_EQ(user_.lastMessageBox().title, "Abbruch");
}

// In a folder without a file of saved queries a new name is taken and the file is made.
TEST_F(SavedQueries, ANewFileNameMakesTheFile) {
    GLO.SQL_QBE = "";
    rt::FileDialogResult chosen;
    chosen.ok = true;
    chosen.path = file("SQLNEU.TPS");
    ASSERT_FALSE(rt::fileExists(chosen.path));
    user_.queueFileDialogAnswer(chosen);
    std::string answer;
    const int t = startList(rt::request::Select, &answer);
    auto w = user_.waitWindow(kListTitle);
    ASSERT_EQ(user_.fileDialogs().size(), 1u);
    EXPECT_EQ(user_.fileDialogs()[0].kind, rt::FileDialogKind::OpenOrNew);
    EXPECT_EQ(user_.rowCount(w, List), 0u);
    user_.press(w, Close);
    user_.waitThreadEnd(t);
    EXPECT_TRUE(rt::fileExists(chosen.path));
    EXPECT_EQ(std::string(GLO.SQL_QBE.get().clipped()), chosen.path);
}

TEST_F(SavedQueries, TheListShowsTheStatementAndItsSecondTabOnlyQueriesWithoutTable) {
    std::string answer;
    const int t = startList(rt::request::Select, &answer);
    auto w = user_.waitWindow(kListTitle);
    ASSERT_EQ(user_.rowCount(w, List), 3u);
    EXPECT_EQ(user_.cell(w, List, 1, 1), "Alle Kunden");  // by description
    EXPECT_EQ(user_.value(w, QueryView), "SELECT * FROM tKunde");
    user_.selectTab(w, Sheet, 2);
    ASSERT_EQ(user_.rowCount(w, List), 2u);
    EXPECT_EQ(user_.cell(w, List, 2, 1), "Plattformen");
    user_.selectRow(w, List, 2);
    EXPECT_EQ(user_.value(w, QueryView), "SELECT cName FROM tPlattform");
    user_.press(w, Select);
    user_.waitThreadEnd(t);
    EXPECT_EQ(answer, "SELECT cName FROM tPlattform");
}

TEST_F(SavedQueries, TheFormAppendsAChosenFieldAndRefusesMoreThanItsTableKeeps) {
    std::string answer;
    const int t = startList(rt::request::None, &answer);
    auto list = user_.waitWindow(kListTitle);
    user_.press(list, Change);
    auto form = user_.waitTopWindow(t);
    user_.setValue(form, Query, "SELECT * FROM tKunde WHERE   ");

    // Left without a choice, the field list adds nothing.
    user_.press(form, Fields);
    auto fields = user_.waitWindow(kFieldListTitle);
    const auto tables = user_.rows(fields, Tables);
    ASSERT_EQ(tables.size(), 25u);
    for (std::size_t i = 1; i < tables.size(); ++i)
        EXPECT_LT(rt::upper(tables[i - 1].cells[0].text), rt::upper(tables[i].cells[0].text));
    EXPECT_EQ(user_.rowCount(fields, FieldRows), 0u);  // the form names no table of the list
    user_.closeWindow(fields);
    EXPECT_EQ(user_.value(form, Query), "SELECT * FROM tKunde WHERE");

    user_.press(form, Fields);
    fields = user_.waitWindow(kFieldListTitle);
    int row = 0;
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (tables[i].cells[0].text == "SQLQuerries") row = static_cast<int>(i) + 1;
    user_.activateRow(fields, Tables, row);
    int field = 0;
    const auto names = user_.rows(fields, FieldRows);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].cells[0].text == "QUERY") field = static_cast<int>(i) + 1;
    ASSERT_GT(field, 0);
    EXPECT_EQ(names[0].cells[0].text, "Key_SQLID");
    user_.selectRow(fields, FieldRows, field);
    user_.key(fields, FieldRows, rt::keys::Enter);
    user_.waitClosed(fields);
    EXPECT_EQ(user_.value(form, Query), "SELECT * FROM tKunde WHERESQLQuerries.QUERY");

    user_.setValue(form, Query, std::string(1001, 'x'));
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(form, Ok);
    EXPECT_NE(user_.lastMessageBox().text.find("1000"), std::string::npos);
    EXPECT_TRUE(user_.isOpen(form));
    user_.press(form, Cancel);
    user_.press(list, Close);
    user_.waitThreadEnd(t);
}

}  // namespace
