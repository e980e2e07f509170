// The data set's windows through the headless display: its list, the statement window, the
// diagnostics box and the CSV dialog.
#include <atomic>
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "cubes/odbc/odbc_class.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"
#include "tests/cubes/odbc/odbc_test_helpers.h"
#include "tests/support/test_support.h"

namespace {

using odbctest::eventually;
using odbctest::readAll;
using voq::test::execSql;
using voq::test::sqliteConnectString;
using voq::test::TempDir;

enum { LIST = 1, RUN, EXPORT };

class OdbcWindows : public ::testing::Test {
protected:
    void SetUp() override {
        connect = sqliteConnectString(dir.file("w.db"));
        for (const char* s : {"CREATE TABLE k (Name VARCHAR(50), Anzahl INTEGER)", "INSERT INTO k VALUES ('Müller', 3)",
                              "INSERT INTO k VALUES ('Schulz', 5000)"})
            ASSERT_EQ(execSql(connect, s), "");
    }
    void TearDown() override { display.shutdown(); }

    // The results window of the tests: a list attached to a data set, a button that runs
    // `statement`, one that exports.
    int startResults() {
        return rt::startThread([this] {
            OdbcConnection con;
            con.Connect(connect);
            OdbcDataSet ds;
            ds.TRACEGETCELL = traced ? 1 : 0;
            dataSet = &ds;
            rt::Window w("Results", "Results");
            w.setSize(300, 200);
            w.add(LIST, rt::ControlKind::List).setPosition(4, 4, 292, 170);
            w.add(RUN, rt::ControlKind::Button).setText("Run");
            w.add(EXPORT, rt::ControlKind::Button).setText("CSV");
            ds.Init(&con, w, LIST, "Ergebnis");
            ds.Clear();
            format = ds.appliedListFormat();
            // No TakeEvent here: attaching the list registered it.
            while (auto e = w.accept()) {
                if (e.event == rt::Event::Accepted && e.control == RUN) {
                    ds.QUERY = statement;
                    ds.Clear();
                    ds.Open(LIST);
                }
                if (e.event == rt::Event::Accepted && e.control == EXPORT) ds.ExportCsv("");
                if (e.event == rt::Event::NewSelection && e.control == LIST) {
                    setRowResult = ds.SetRow(w[LIST].selected());
                    currentField = ds.GetField("2");
                }
                lastQuery = ds.QUERY.str();
            }
            ds.DetachList();
            dataSet = nullptr;
        });
    }

    TempDir dir;
    std::string connect;
    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
    std::string statement;
    std::string format;
    std::string lastQuery;
    bool traced = false;
    std::atomic<OdbcDataSet*> dataSet{nullptr};
    int setRowResult = 0;
    std::string currentField;
};

TEST_F(OdbcWindows, TheListShowsTheCellsWithTheBuiltFormat) {
    int t = startResults();
    auto w = user.waitWindow("Results");
    EXPECT_EQ(format, "20L(2)|M");
    EXPECT_EQ(user.rows(w, LIST).size(), 0u);
    statement = "SELECT Name, Anzahl FROM k ORDER BY Anzahl";
    user.press(w, RUN);
    ASSERT_EQ(user.rows(w, LIST).size(), 2u);
    EXPECT_EQ(user.cell(w, LIST, 1, 1), "Müller");
    EXPECT_EQ(user.cell(w, LIST, 2, 1), "Schulz");
    EXPECT_EQ(user.cell(w, LIST, 1, 2), "3");
    auto list = user.control(w, LIST).list;
    ASSERT_TRUE(list);
    ASSERT_EQ(list->columns.size(), 2u);
    EXPECT_EQ(list->columns[0].heading, "Name");
    EXPECT_EQ(list->columns[0].width, 69);
    EXPECT_EQ(list->columns[0].justify, rt::Justify::Left);
    EXPECT_EQ(list->columns[0].indent, 2);
    EXPECT_EQ(list->columns[0].picture, "@S69");
    EXPECT_EQ(list->columns[1].heading, "Anzahl");
    EXPECT_EQ(list->columns[1].justify, rt::Justify::Right);
    EXPECT_EQ(list->columns[1].picture, "@N30.");
    // An update leaves no rows; the list follows.
    statement = "UPDATE k SET Anzahl = 4 WHERE Anzahl = 3";
    user.press(w, RUN);
    EXPECT_EQ(user.rows(w, LIST).size(), 0u);
    EXPECT_TRUE(user.messageBoxes().empty());
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(OdbcWindows, CtrlRightClickEditsTheStatement) {
    int t = startResults();
    auto w = user.waitWindow("Results");
    statement = "SELECT Name FROM k ORDER BY Name";
    user.press(w, RUN);
    ASSERT_EQ(user.rows(w, LIST).size(), 2u);

    user.key(w, LIST, rt::keys::Ctrl | rt::keys::MouseRight, 1, 1);
    auto e = user.waitWindow("Ergebnis");
    EXPECT_EQ(user.window(e).procedure, "EditQuery");
    EXPECT_EQ(user.value(e, 2), "SELECT Name FROM k ORDER BY Name");
    EXPECT_EQ(user.text(e, 1), "&Anfrage:");
    EXPECT_EQ(user.control(e, 2).font.face, "Courier New");
    user.setValue(e, 2, "SELECT Anzahl FROM k");
    user.press(e, 4);  // "&Abbrechen"
    user.waitClosed(e);
    EXPECT_EQ(user.cell(w, LIST, 1, 1), "Müller");

    user.key(w, LIST, rt::keys::Ctrl | rt::keys::MouseRight, 1, 1);
    e = user.waitWindow("Ergebnis");
    EXPECT_EQ(user.text(e, 3), "&Ok");
    user.setValue(e, 2, "SELECT Anzahl, Name FROM k ORDER BY Anzahl DESC");
    user.press(e, 3);
    user.waitClosed(e);
    // The statement runs once the window has closed.
    EXPECT_TRUE(eventually([&] { return user.rows(w, LIST).size() == 2u && user.cell(w, LIST, 2, 2) == "Müller"; }));
    EXPECT_EQ(user.control(w, LIST).list->columns.at(0).heading, "Anzahl");

    // A statement with " WHERE " goes through Refresh.
    user.key(w, LIST, rt::keys::Ctrl | rt::keys::MouseRight, 1, 1);
    e = user.waitWindow("Ergebnis");
    user.setValue(e, 2, "SELECT Name FROM k WHERE Anzahl > 100");
    user.press(e, 3);
    user.waitClosed(e);
    EXPECT_TRUE(eventually([&] { return user.rows(w, LIST).size() == 1u && user.cell(w, LIST, 1, 1) == "Schulz"; }));
    user.press(w, RUN);  // the loop notes QUERY
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(lastQuery, "SELECT Name FROM k ORDER BY Name");
}

TEST_F(OdbcWindows, DiagnosticsBoxOnTheDisplay) {
    int terminated = 0;
    OdbcHooks hooks;
    hooks.terminate = [&] { ++terminated; };
    OdbcHooks previous = setOdbcHooks(hooks);
    int t = startResults();
    auto w = user.waitWindow("Results");
    statement = "SELEC x || y";
    user.press(w, RUN);
    auto box = user.waitMessageBox();
    user.answerMessageBox("&Stop");
    EXPECT_EQ(box.title, "ODBCGetDiag( 3 )");
    EXPECT_EQ(box.icon, rt::MessageIcon::Information);
    EXPECT_EQ(box.buttonTexts, (std::vector<std::string>{"&Weiter", "&Stop", "&Ende"}));
    EXPECT_EQ(box.defaultButton, 1);
    EXPECT_EQ(box.text.rfind("henv:\t\t", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("\nNative code:\t1\nError:\t\t"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("\nSQLState:\tHY000\n\nExec( SELEC x \n\n y )"), std::string::npos) << box.text;

    user.press(w, RUN);  // a new statement handle: reported again
    user.waitMessageBox();
    user.answerMessageBox("&Ende");
    EXPECT_TRUE(eventually([&] { return terminated == 1; }));
    EXPECT_EQ(user.messageBoxes().size(), 2u);
    user.closeWindow(w);
    user.waitThreadEnd(t);
    setOdbcHooks(previous);
}

TEST_F(OdbcWindows, CsvExportAsksForTheFile) {
    int t = startResults();
    auto w = user.waitWindow("Results");
    user.press(w, EXPORT);  // no rows yet
    auto box = user.waitMessageBox();
    user.answerMessageBox(rt::button::Ok);
    EXPECT_EQ(box.text, "Keine Daten zum Kopieren vorhanden");
    EXPECT_EQ(box.title, "Kopieren");
    EXPECT_EQ(box.icon, rt::MessageIcon::Information);
    EXPECT_EQ(box.standardButtons, rt::button::Ok);

    statement = "SELECT Name, Anzahl FROM k ORDER BY Anzahl";
    user.press(w, RUN);
    rt::FileDialogResult answer;
    answer.ok = true;
    answer.path = dir.file("k.csv");
    user.press(w, EXPORT);
    auto dialog = user.waitFileDialog();
    user.answerFileDialog(answer);
    EXPECT_TRUE(
        eventually([&] { return readAll(dir.file("k.csv")) == "Name;Anzahl\r\n\"Müller\";3\r\n\"Schulz\";5000\r\n"; }));
    EXPECT_EQ(dialog.kind, rt::FileDialogKind::Save);
    EXPECT_EQ(dialog.title, "Geben Sie den Dateinamen ein");
    EXPECT_EQ(dialog.filters, (std::vector<rt::FileFilter>{{"CSV-Dateien", "*.CSV"}, {"Alle Dateien", "*.*"}}));
    EXPECT_EQ(readAll(dir.file("k.csv")), "Name;Anzahl\r\n\"Müller\";3\r\n\"Schulz\";5000\r\n");
    EXPECT_EQ(user.messageBoxes().size(), 1u);  // no message at the end
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(OdbcWindows, ALargeResultIsShownWithoutFormattingEveryRow) {
    constexpr int kRows = 200'000;
    ASSERT_EQ(execSql(connect, "CREATE TABLE big (x INTEGER, name VARCHAR(40), note VARCHAR(20))"), "");
    ASSERT_EQ(execSql(connect, fmt::format("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                                           "WHERE x < {}) INSERT INTO big SELECT x, 'Zeile ' || x, "
                                           "CASE WHEN x % 2 = 0 THEN 'gerade' END FROM n",
                                           kRows)),
              "");
    int t = startResults();
    auto w = user.waitWindow("Results");
    statement = "SELECT x, name, note FROM big ORDER BY x";
    user.press(w, RUN);
    ASSERT_EQ(user.rowCount(w, LIST), std::size_t(kRows));
    auto first = user.rows(w, LIST, 1, 2);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].cells.size(), 3u);
    EXPECT_EQ(first[0].cells[0].text, "1");
    EXPECT_EQ(first[0].cells[1].text, "Zeile 1");
    EXPECT_EQ(first[0].cells[2].text, "");  // NULL
    EXPECT_EQ(first[1].cells[2].text, "gerade");
    auto last = user.rows(w, LIST, kRows - 1, 10);  // fewer at the end
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[1].cells[0].text, "200.000");
    EXPECT_EQ(last[1].cells[1].text, "Zeile 200000");
    EXPECT_EQ(last[1].cells[2].text, "gerade");
    // Only the rows read above were formatted, none at the publication.
    EXPECT_EQ(dataSet.load()->listRowsRead(), 4u);

    // Selecting a row far down makes it current.
    user.selectRow(w, LIST, 150'001);
    EXPECT_EQ(setRowResult, 150'001);
    EXPECT_EQ(currentField, "Zeile 150001");
    EXPECT_LE(dataSet.load()->listRowsRead(), 4u + 40u);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(OdbcWindows, AShownResultStaysWholeWhileTheNextLoads) {
    int t = startResults();
    auto w = user.waitWindow("Results");
    statement = "SELECT Name, Anzahl FROM k ORDER BY Anzahl";
    user.press(w, RUN);
    auto before = user.control(w, LIST).virtualRows;
    ASSERT_TRUE(before);
    statement = "SELECT Anzahl FROM k WHERE Anzahl > 100";
    user.press(w, RUN);
    EXPECT_EQ(user.rowCount(w, LIST), 1u);
    EXPECT_EQ(user.cell(w, LIST, 1, 1), "5.000");
    // The display may still draw the earlier snapshot: it keeps its rows and their pictures.
    ASSERT_EQ(before->rowCount(), 2u);
    auto rows = before->rows(0, 2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].cells.at(0).text, "Schulz");
    EXPECT_EQ(rows[1].cells.at(1).text, "5.000");
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(OdbcWindows, ATracedDataSetLogsTheListsReads) {
    traced = true;
    int t = startResults();
    auto w = user.waitWindow("Results");
    statement = "SELECT Name, Anzahl FROM k ORDER BY Anzahl";
    user.press(w, RUN);
    ASSERT_EQ(user.rowCount(w, LIST), 2u);
    EXPECT_EQ(user.cell(w, LIST, 2, 2), "5.000");
    auto history = dataSet.load()->GETCELLHISTORY();
    ASSERT_GE(history.size(), 4u);
    EXPECT_EQ(history.back().REFERENCE, "Ergebnis");
    EXPECT_EQ(history.back().ROW, 2);
    EXPECT_EQ(history.back().COL, 2);
    EXPECT_EQ(history.back().VALUE, "5000");
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST(OdbcListColumns, ParsesTheBuiltFormats) {
    auto cols = odbcListColumns("69L(2)|M~cName~@S69@30R(2)|M~Anzahl~@N30.,2@17C|M~Tag~@S17@20L(2)|M");
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0].width, 69);
    EXPECT_EQ(cols[0].heading, "cName");
    EXPECT_TRUE(cols[0].resizable);
    EXPECT_EQ(cols[1].picture, "@N30.,2");
    EXPECT_EQ(cols[1].justify, rt::Justify::Right);
    EXPECT_EQ(cols[2].justify, rt::Justify::Center);
    EXPECT_EQ(cols[2].indent, 0);
    EXPECT_EQ(cols[2].heading, "Tag");
    EXPECT_EQ(cols[3].width, 20);
    EXPECT_EQ(cols[3].heading, "");
    EXPECT_EQ(cols[3].picture, "");
}

}  // namespace
