// The queue inspection window and its two file formats.
#include "cubes/odbc/debug_queue.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cubes/odbc/odbc_class.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"
#include "tests/cubes/odbc/odbc_test_helpers.h"
#include "tests/support/test_support.h"

namespace {

using odbctest::csvRows;
using odbctest::eventually;
using odbctest::readAll;
using voq::test::TempDir;

struct Row {
    rt::String<10> NAME;
    rt::Decimal<7, 2> VAL;
    rt::Long NUM = 0;
    rt::String<5> EMPTY;
};

const rt::RecordDesc& rowDesc() {
    static const rt::RecordDesc d = rt::RecordBuilder<Row>("Q")
                                        .field(&Row::NAME, "NAME", "@s10")
                                        .field(&Row::VAL, "VAL", "@n-10.2")
                                        .field(&Row::NUM, "NUM", "@n-7")
                                        .field(&Row::EMPTY, "EMPTY", "@s5")
                                        .build();
    return d;
}

Row row(const char* name, const char* val, rt::Long num) {
    Row r;
    r.NAME = name;
    r.VAL.set(rt::DecimalValue::parseOrZero(val));
    r.NUM = num;
    return r;
}

rt::Queue<Row> sample() {
    rt::Queue<Row> q(&rowDesc());
    q.add(row("Ana", "12.75", -5));
    q.add(row("Bernardo", "0.05", 0));
    return q;
}

TEST(SaveQueueToFile, SemicolonFormat) {
    TempDir dir;
    auto q = sample();
    q.add(row("Say \"hi\"", "-1.5", 7));
    struct Case {
        rt::Byte numbers;
        const char* sep;
        const char* quote;
        const char* expected;
    } cases[] = {
        {1, "", "",
         "REGISTRO;NAME;VAL;NUM;EMPTY\r\n1;\"Ana\";12.75;-5;\"\"\r\n2;\"Bernardo\";0.05;0;\"\"\r\n"
         "3;\"Say \"hi\"\";-1.50;7;\"\"\r\n"},
        {0, "|x", "'",
         "NAME|VAL|NUM|EMPTY\r\n'Ana'|12.75|-5|''\r\n'Bernardo'|0.05|0|''\r\n'Say \"hi\"'|-1.50|7|''\r\n"},
    };
    for (const Case& c : cases) {
        std::string file = dir.file("q.csv");
        EXPECT_EQ(SaveQueueToFile(q, 1, 1, 1, 1, c.numbers, file, c.sep, c.quote), 1);
        EXPECT_EQ(readAll(file), c.expected);
    }
}

struct TextRow {
    rt::String<40> TEXT;
    rt::Long NUM = 0;
};

const rt::RecordDesc& textRowDesc() {
    static const rt::RecordDesc d = rt::RecordBuilder<TextRow>("T")
                                        .field(&TextRow::TEXT, "TEXT", "@s40")
                                        .field(&TextRow::NUM, "NUM", "@n-7")
                                        .build();
    return d;
}

// A text cell a spreadsheet would run as a formula reaches a CSV reader with an apostrophe in
// front; other texts and the numbers come back as they were.
TEST(SaveQueueToFile, SemicolonFormatGuardsFormulaTexts) {
    TempDir dir;
    rt::Queue<TextRow> q(&textRowDesc());
    const char* const texts[] = {"=1+1", "+49 30", "@SUM(A1)", "-x", "-12,5", "-3", "12;5", "ärger; ölpreis"};
    rt::Long n = -2;
    for (const char* t : texts) {
        TextRow r;
        r.TEXT = t;
        r.NUM = n++;
        q.add(r);
    }
    const std::string file = dir.file("g.csv");
    EXPECT_EQ(SaveQueueToFile(q, 1, 1, 1, 1, 0, file, "", ""), 1);
    EXPECT_EQ(csvRows(file),
              "[\"TEXT\", \"NUM\"]\n[\"'=1+1\", \"-2\"]\n[\"'+49 30\", \"-1\"]\n[\"'@SUM(A1)\", \"0\"]\n"
              "[\"'-x\", \"1\"]\n[\"-12,5\", \"2\"]\n[\"-3\", \"3\"]\n[\"12;5\", \"4\"]\n"
              "[\"ärger; ölpreis\", \"5\"]\n");
}

TEST(SaveQueueToFile, FixedWidthFormatAndItsWidths) {
    TempDir dir;
    auto q = sample();
    std::string file = dir.file("q.txt");
    EXPECT_EQ(SaveQueueToFile(q, 1, 2, 1, 1, 1, file, "", ""), 1);
    EXPECT_EQ(readAll(file),
              "Colunas - início : fim\r\n"
              "NAME - 1 : 8\r\n"
              "VAL - 9 : 10\r\n"
              "NUM - 11 : 11\r\n"
              "EMPTY - 12 : 11\r\n"
              "\r\n"
              "Dados\r\n"
              "Ana     12-\r\n"
              "Bernardo0.0\r\n");
}

TEST(SaveQueueToFile, EmptyQueueGivesOnlyTheHeaders) {
    TempDir dir;
    rt::Queue<Row> q(&rowDesc());
    EXPECT_EQ(SaveQueueToFile(q, 1, 1, 1, 1, 0, dir.file("e.csv"), "", ""), 1);
    EXPECT_EQ(readAll(dir.file("e.csv")), "NAME;VAL;NUM;EMPTY\r\n");
    EXPECT_EQ(SaveQueueToFile(q, 1, 2, 1, 1, 0, dir.file("e.txt"), "", ""), 1);
    EXPECT_EQ(readAll(dir.file("e.txt")),
              "Colunas - início : fim\r\nNAME - 1 : 0\r\nVAL - 1 : 0\r\nNUM - 1 : 0\r\nEMPTY - 1 : 0\r\n\r\nDados\r\n");
}

class DebugQueueWindow : public ::testing::Test {
protected:
    void SetUp() override { resetDebugQueue(); }
    void TearDown() override {
        display.shutdown();
        resetDebugQueue();
    }

    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
};

enum { LIST = 1, PANEL, IGNORE, SAVE, CLOSE };

TEST_F(DebugQueueWindow, ShowsTheQueueAndSavesThroughTheDialog) {
    TempDir dir;
    auto q = sample();
    int t = rt::startThread([&] { debugQueue(q, 1, 1, 1, 1, 1); });
    auto w = user.waitWindow("Debug Queue - 2 registros");
    EXPECT_EQ(user.window(w).font.face, "Tahoma");
    EXPECT_EQ(user.window(w).font.size, 8);
    auto list = user.control(w, LIST).list;
    ASSERT_TRUE(list);
    ASSERT_EQ(list->columns.size(), 4u);
    EXPECT_EQ(list->columns[0].heading, "NAME");
    EXPECT_EQ(list->columns[0].justify, rt::Justify::Left);
    EXPECT_EQ(list->columns[1].justify, rt::Justify::Right);
    EXPECT_EQ(list->columns[0].picture, "@s50");
    EXPECT_EQ(list->columns[0].width, 390 / 5 - 1);
    EXPECT_EQ(list->lineHeight, 11);
    EXPECT_EQ(user.cell(w, LIST, 2, 1), "Bernardo");
    EXPECT_EQ(user.cell(w, LIST, 1, 2), "12.75");
    EXPECT_EQ(user.text(w, IGNORE), "&Ignorar");
    EXPECT_EQ(user.text(w, SAVE), "&Gravar");
    EXPECT_EQ(user.text(w, CLOSE), "&Fechar");

    // Right click: the chosen picture formats the clicked column.
    user.key(w, LIST, rt::keys::MouseRight, 1, 3);
    auto menu = user.waitPopup();
    ASSERT_EQ(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[0].text, "@D6");
    EXPECT_EQ(menu.items[2].text, "@N12.`2");
    user.answerPopup(3);
    EXPECT_TRUE(eventually([&] { return user.control(w, LIST).list->columns[2].picture == "@N12.`2"; }));
    EXPECT_EQ(user.cell(w, LIST, 1, 3), "-5,00");

    // Resizing lays the window out again.
    user.resize(w, 500, 300);
    auto l = user.control(w, LIST);
    EXPECT_EQ(l.width, 490);
    EXPECT_EQ(l.height, 265);
    EXPECT_EQ(user.control(w, PANEL).y, 275);
    EXPECT_EQ(user.control(w, IGNORE).x, 366);
    EXPECT_EQ(user.control(w, SAVE).x, 410);
    EXPECT_EQ(user.control(w, CLOSE).x, 454);
    EXPECT_EQ(user.control(w, CLOSE).y, 281);

    // "&Gravar" with the second filter writes the fixed-width file; the window stays.
    rt::FileDialogResult answer;
    answer.ok = true;
    answer.path = dir.file("saved.txt");
    answer.filterIndex = 2;
    user.press(w, SAVE);
    auto dialog = user.waitFileDialog();
    user.answerFileDialog(answer);
    EXPECT_TRUE(eventually([&] { return readAll(dir.file("saved.txt")).size() > 30; }));
    EXPECT_EQ(dialog.title, "Informe o arquivo a criar");
    EXPECT_EQ(dialog.filters, (std::vector<rt::FileFilter>{{"Separado por Ponto e Vírgula", "*.CSV"},
                                                           {"Arquivo Texto Posicional", "*.TXT"}}));
    EXPECT_EQ(readAll(dir.file("saved.txt")).rfind("Colunas - início : fim\r\n", 0), 0u);
    EXPECT_TRUE(user.isOpen(w));
    // A name typed without an extension gets that of the chosen format.
    answer.path = dir.file("typed");
    answer.filterIndex = 1;
    user.press(w, SAVE);
    user.waitFileDialog();
    user.answerFileDialog(answer);
    EXPECT_TRUE(eventually([&] { return readAll(dir.file("typed.csv")).size() > 10; }));
    EXPECT_FALSE(std::ifstream(dir.file("typed")).good());
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(DebugQueueWindow, IgnorarKeepsItClosedForTheRun) {
    rt::Queue<Row> empty(&rowDesc());
    int t = rt::startThread([&] { debugQueue(empty, 1, 1, 1, 1, 1); });
    auto w = user.waitWindow("Debug Queue - 0 registros");
    user.press(w, IGNORE);
    user.waitThreadEnd(t);
    auto q = sample();
    bool returned = false;
    t = rt::startThread([&] {
        debugQueue(q, 1, 1, 1, 1, 1);
        returned = true;
    });
    user.waitThreadEnd(t);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(display.shownWindows().empty());
}

TEST_F(DebugQueueWindow, FileInUseOrNotCreatable) {
    TempDir dir;
    auto q = sample();
    std::string file = dir.file("busy.csv");
    std::ofstream(file) << "old";
    int fd = ::open(file.c_str(), O_RDWR);
    struct flock lk {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lk), 0);
    int result = -1;
    int t = rt::startThread([&] { result = SaveQueueToFile(q, 1, 1, 1, 1, 0, file, "", ""); });
    auto box = user.waitMessageBox();
    user.answerMessageBox(rt::button::Ok);
    user.waitThreadEnd(t);
    ::close(fd);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readAll(file), "old");
    EXPECT_EQ(box.text, "O arquivo especificado está em uso");
    EXPECT_EQ(box.title, "Gravar Queue");
    EXPECT_EQ(box.icon, rt::MessageIcon::Question);

    std::string bad = dir.file("no/such/dir.csv");
    t = rt::startThread([&] { result = SaveQueueToFile(q, 1, 1, 1, 1, 0, bad, "", ""); });
    EXPECT_EQ(user.waitMessageBox().text, "Erro na criação do arquivo " + bad);
    user.answerMessageBox(rt::button::Ok);
    user.waitThreadEnd(t);
    EXPECT_EQ(result, 0);
}

// On a full disk the save fails and an older file of the name stays as it was.
TEST(SaveQueueToFile, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    auto q = sample();
    const std::string file = dir.file("alt.csv");
    std::ofstream(file) << "old";
    {
        voq::test::FileSizeLimit full(0);
        EXPECT_EQ(SaveQueueToFile(q, 1, 1, 1, 1, 0, file, "", ""), 0);
    }
    EXPECT_EQ(readAll(file), "old");
}

TEST_F(DebugQueueWindow, DebugKeyOnTheDataSetListShowsColumnsThenCells) {
    TempDir dir;
    std::string connect = voq::test::sqliteConnectString(dir.file("d.db"));
    int t = rt::startThread([&] {
        OdbcConnection con;
        con.Connect(connect);
        OdbcDataSet ds;
        ds.DEBUGKEY = rt::keys::F1 + 11;  // F12
        rt::Window w("Results", "Results");
        w.add(LIST, rt::ControlKind::List);
        ds.Init(&con, w, LIST, "");
        ds.SetQuery("SELECT 'a' AS x, 5 AS y", LIST);
        while (w.accept()) {
        }  // the data set's registered TakeEvent handles the key
        ds.DetachList();
    });
    auto w = user.waitWindow("Results");
    user.key(w, LIST, rt::keys::F1 + 11);
    auto cols = user.waitWindow("Debug Queue - 2 registros");
    EXPECT_EQ(user.control(cols, LIST).list->columns.at(0).heading, "NAME");
    EXPECT_EQ(user.cell(cols, LIST, 2, 1), "y");
    user.press(cols, CLOSE);
    auto cells = user.waitWindow("Debug Queue - 2 registros");
    EXPECT_EQ(user.control(cells, LIST).list->columns.at(3).heading, "VALUE");
    EXPECT_EQ(user.cell(cells, LIST, 2, 4), "5");
    user.press(cells, CLOSE);
    user.waitClosed(cells);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

}  // namespace
