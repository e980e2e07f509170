// Fonts, dialog units, icons and the GUI invoker of the Qt front end, on the offscreen platform.
#include "runtime/qt/fonts.h"
#include "runtime/qt/gui_invoker.h"
#include "runtime/qt/icons.h"
#include "runtime/qt/list_model.h"

#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

#include "runtime/qt/qt_display.h"
#include "runtime/thread/thread.h"

namespace {

class QtBasics : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "rt_qt_test";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
        rt::qt::setUpIconTheme();
    }
};

TEST_F(QtBasics, FontsOfTheWindowsMapToInstalledFaces) {
    const struct {
        const char* asked;
        const char* installed;
    } cases[] = {
        {"MS Sans Serif", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"arial", "Liberation Sans"},
        {"Courier New", "Liberation Mono"},
        {"Fixedsys", "DejaVu Sans Mono"},
        {"Tahoma", "DejaVu Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"", "Liberation Sans"},
        {"No Such Face", "DejaVu Sans"},
    };
    for (const auto& c : cases) {
        const QString mapped = rt::qt::mapFontFamily(QString::fromUtf8(c.asked));
        EXPECT_EQ(mapped.toStdString(), c.installed) << c.asked;
        // The face really resolves to itself, not to a substitute.
        QFont font(mapped);
        EXPECT_EQ(QFontInfo(font).family().toStdString(), c.installed) << c.asked;
    }
}

TEST_F(QtBasics, DialogUnitsFollowTheFont) {
    const rt::qt::FontUnits small(rt::qt::windowFont("MS Sans Serif", 8, false, false, false));
    const rt::qt::FontUnits large(rt::qt::windowFont("MS Sans Serif", 16, false, false, false));
    EXPECT_GT(small.baseX(), 2);
    EXPECT_GT(small.baseY(), 8);
    EXPECT_GT(large.x(100), small.x(100) * 3 / 2);
    EXPECT_GT(large.y(100), small.y(100) * 3 / 2);
    // Four horizontal units are one average character, eight vertical ones a line.
    EXPECT_EQ(small.x(4), small.baseX());
    EXPECT_EQ(small.y(8), small.baseY());
    EXPECT_EQ(small.x(0), 0);
    // Back and forth keeps the value within a unit.
    for (int du : {1, 7, 50, 315, 504}) EXPECT_NEAR(small.toX(small.x(du)), du, 1) << du;
    for (int du : {1, 9, 12, 210}) EXPECT_NEAR(small.toY(small.y(du)), du, 1) << du;
}

TEST_F(QtBasics, EveryIconFileOfTheWindowsHasAnIcon) {
    const char* files[] = {
        "ADD.ICO",        "CANCEL.ICO",     "CHART03.ICO",   "CHART05.ICO",    "CHART13.ICO",      "CHART6.ICO",
        "CHART8.ICO",     "CHECKALL.ICO",   "CHECKNO.ICO",   "CHEKLIST.ICO",   "COPY.ICO",         "DATE.ICO",
        "DATEPOP.ICO",    "Delete.ICO",     "Edit.ICO",      "EXIT5.ICO",      "OK.ICO",           "PRINT.ICO",
        "QBE.ico",        "QbeAddRow.ico",  "QbeDelRow.ico", "QbeExecute.ico", "QbeExitApp.ico",   "QbeOptions.ico",
        "QbeReport.ico",  "QbeSource.ico",  "QbeView.ico",   "qkload.ico",     "qkqbe.ico",        "SAVE.ICO",
        "SELECT.ICO",     "SMFIRST.ICO",    "SMJUMPPG.ICO",  "SMLAST.ICO",     "SMNEXT.ICO",       "SMPAGES.ICO",
        "SMPREV.ICO",     "SMZOOM.ICO",     "TavLogo.ICO",   "WACANCEL.ICO",   "WACLOSE.ICO",      "WAHELP.ICO",
        "WAOK.ICO",       "WIZCNCL.ICO",    "WIZDEL.ICO",    "WIZDITTO.ICO",   "wizDown.ico",      "WIZEDIT.ICO",
        "wizFirst.ico",   "wizLast.ico",    "wiznew.ico",    "WIZOK.ICO",      "wizPgDn.ico",      "wizPgUp.ico",
        "wizUp.ico",      "WWS.ICO",        "~BoxOff.ICO",   "~BoxOn.ICO",     "~QbeMoveLeft.ico", "~QbeMoveRght.ico",
        "WAOk.ico",       "WACancel.ico",   "EXIT.ICO",      "MARKTICK.ICO",   "MARKCROSS.ICO",    "QbeOff.bmp",
        "QbeOffUp.bmp",   "QbeOffDown.bmp", "QbeOn.bmp",     "QbeOnUp.bmp",    "QbeOnDown.bmp",    "QbeOnSum.bmp",
        "QbeOnCount.bmp", "QbeOnAvrg.bmp",  "QbeOnMin.bmp",  "QbeOnMax.bmp",   "QbeOnBreak.bmp",
    };
    for (const char* file : files) {
        EXPECT_FALSE(rt::qt::themeNamesForIcon(file).isEmpty()) << file;
        const QIcon icon = rt::qt::iconFor(file);
        EXPECT_FALSE(icon.isNull()) << file;
        EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << file;
    }
    EXPECT_TRUE(rt::qt::themeNamesForIcon("NOSUCH.ICO").isEmpty());
    EXPECT_TRUE(rt::qt::iconFor("").isNull());
}

TEST_F(QtBasics, PageAndLineButtonsDifferAndMarksShowInColour) {
    auto image = [](const char* file) { return rt::qt::iconFor(file).pixmap(32, 32).toImage(); };
    EXPECT_NE(image("wizPgUp.ico"), image("wizUp.ico"));
    EXPECT_NE(image("wizPgDn.ico"), image("wizDown.ico"));
    EXPECT_NE(image("wizPgUp.ico"), image("wizPgDn.ico"));
    // The mark of a page is a green tick, of an unmarked one a red cross; the tool icons are not
    // the grey of a disabled button.
    struct Case {
        const char* file;
        int hue;  // 0 red, 120 green, -1 any colour but grey
    };
    for (const Case& c :
         {Case{"MARKTICK.ICO", 120}, Case{"MARKCROSS.ICO", 0}, Case{"SMZOOM.ICO", -1}, Case{"CHECKNO.ICO", 0}}) {
        const QImage img = image(c.file);
        bool found = false;
        for (int y = 0; y < img.height() && !found; ++y)
            for (int x = 0; x < img.width() && !found; ++x) {
                const QColor px = img.pixelColor(x, y);
                found =
                    px.alpha() > 200 && px.hsvSaturation() > 150 && (c.hue < 0 || std::abs(px.hsvHue() - c.hue) < 20);
            }
        EXPECT_TRUE(found) << c.file;
    }
}

// Columns "L" (left-justified) and "R" (right-justified) of one row "Wert", drawn with the given
// indent in pixels: the first and the last column of ink in each cell.
std::pair<std::pair<int, int>, std::pair<int, int>> inkOfCells(int indent) {
    auto data = std::make_shared<rt::ListData>();
    data->columns = {rt::ListColumn("L", 60, rt::Justify::Left), rt::ListColumn("R", 60, rt::Justify::Right)};
    data->rows.push_back(rt::ListRow{{rt::ListCell("Wert"), rt::ListCell("Wert")}});
    QTreeView view;
    rt::qt::RowsModel model(false);
    model.setRows(data);
    view.setModel(&model);
    auto* cells = new rt::qt::CellDelegate(&view);
    cells->setIndents({indent, indent});
    view.setItemDelegate(cells);
    view.setRootIsDecorated(false);
    view.header()->setStretchLastSection(false);
    view.setColumnWidth(0, 120);
    view.setColumnWidth(1, 120);
    view.resize(300, 120);
    view.show();
    QCoreApplication::processEvents();
    const QImage picture = view.viewport()->grab().toImage();
    const QRect row = view.visualRect(model.index(0, 0));
    auto ink = [&](int from, int to) {
        int first = -1, last = -1;
        for (int x = from; x < to; ++x)
            for (int y = row.top(); y <= row.bottom(); ++y)
                if (qGray(picture.pixel(x, y)) < 128) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        return std::make_pair(first, last);
    };
    return {ink(0, 120), ink(120, 240)};
}

TEST_F(QtBasics, ListCellsKeepTheirColumnsIndentFromTheEdge) {
    const auto plain = inkOfCells(0);
    const auto indented = inkOfCells(12);
    ASSERT_GE(plain.first.first, 0);
    ASSERT_GE(plain.second.first, 0);
    EXPECT_EQ(indented.first.first, plain.first.first + 12);      // left-justified: in from the left
    EXPECT_EQ(indented.second.second, plain.second.second - 12);  // right-justified: in from the right
}

TEST_F(QtBasics, InvokerRunsWorkOnTheGuiThreadAndDropsItAfterShutdown) {
    rt::qt::GuiInvoker::install();
    std::atomic<bool> ranOnGui{false};
    bool answered = false;
    std::thread program([&] {
        answered = rt::qt::GuiInvoker::call([&] { ranOnGui = rt::qt::GuiInvoker::onGuiThread(); });
        rt::qt::GuiInvoker::post([] { QCoreApplication::quit(); });
    });
    QCoreApplication::exec();
    program.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(ranOnGui);

    // Work queued while the loop no longer runs is dropped, and the caller is not left waiting.
    std::atomic<bool> ran{false};
    bool late = true;
    std::thread waiter([&] { late = rt::qt::GuiInvoker::call([&] { ran = true; }); });
    while (!waiter.joinable()) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    rt::qt::GuiInvoker::shutdown();
    waiter.join();
    EXPECT_FALSE(late);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(rt::qt::GuiInvoker::call([&] { ran = true; }));
}

}  // namespace

namespace {

// A failure in program code is reported and ends the program with a code, never silently.
class QtFatal : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    static void startApplication() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("VOQ_NO_FATAL_BOX", "1");
        static int argc = 1;
        static char name[] = "rt_qt_test";
        static char* argv[] = {name, nullptr};
        auto* app = new QApplication(argc, argv);
        rt::qt::setUpApplication(*app);
    }

    static void runProgram(std::function<void()> program) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("VOQ_NO_FATAL_BOX", "1");
        static int argc = 1;
        static char name[] = "rt_qt_test";
        static char* argv[] = {name, nullptr};
        rt::qt::runDisplay(argc, argv, std::move(program));
    }
};

TEST_F(QtFatal, ReportNamesTheFailureAndEndsWithItsCode) {
    EXPECT_EXIT(
        {
            startApplication();
            rt::qt::reportFatal("Testfehler", 70);
        },
        ::testing::ExitedWithCode(70), "VOQKivorant: Testfehler");
}

TEST_F(QtFatal, ExceptionLeftUncaughtOnAThreadIsReported) {
    EXPECT_EXIT(
        {
            startApplication();
            std::thread([] { throw std::runtime_error("kaputt"); }).join();
        },
        ::testing::ExitedWithCode(70), "Programmfehler: kaputt");
}

TEST_F(QtFatal, ProcedureEndedByAnExceptionOnAProgramThreadEndsTheProgram) {
    // Thread 1 goes on waiting; the failure on the thread it started ends the program.
    EXPECT_EXIT(
        {
            runProgram([] {
                rt::startThread([] { throw std::runtime_error("Liste kaputt"); });
                std::this_thread::sleep_for(std::chrono::seconds(20));
            });
            std::exit(0);
        },
        ::testing::ExitedWithCode(70), "Programmfehler: Liste kaputt");
}

TEST_F(QtFatal, CrashIsReportedOnStandardError) {
    EXPECT_EXIT(
        {
            startApplication();
            std::raise(SIGSEGV);
        },
        ::testing::ExitedWithCode(128 + SIGSEGV), "Programmabbruch durch Signal SIGSEGV");
}

}  // namespace
