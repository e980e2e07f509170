// The print set-up: range and copy rules, the window's corrections, print to file, INI.

#include "core/print/print_setup.h"

#include <atomic>
#include <filesystem>

#include "core/print/report_preview.h"
#include "print_test_util.h"
#include "runtime/ini/profile.h"
#include "runtime/os/files.h"
#include "runtime/thread/thread_state.h"
#include "tests/support/test_support.h"

using namespace printtest;
using namespace printsetup;

namespace {

rt::PreviewQueue numbered(int n) {
    rt::PreviewQueue q;
    for (int i = 1; i <= n; ++i) q.push_back({std::to_string(i)});
    return q;
}

std::string joined(const rt::PreviewQueue& q) {
    std::string s;
    for (const auto& e : q) s += (s.empty() ? "" : " ") + e.PREVIEWFILENAME;
    return s;
}

TEST(PrintSetupRules, TheRangeCutsThePageList) {
    struct Case {
        int n;
        long from, to;
        const char* left;
    };
    for (Case c : {Case{10, 3, 5, "3 4 5"}, Case{10, 1, 10, "1 2 3 4 5 6 7 8 9 10"}, Case{10, 7, 7, "7"},
                   Case{10, 6, 4, "4"}, Case{5, 0, 99, "1 2 3 4 5"}, Case{5, 9, 12, "5"}}) {
        auto q = numbered(c.n);
        cutToRange(q, c.from, c.to);
        EXPECT_EQ(joined(q), c.left) << c.from << "-" << c.to;
    }
    rt::PreviewQueue none;
    cutToRange(none, 1, 3);
    EXPECT_TRUE(none.empty());
}

TEST(PrintSetupRules, CopiesAreCollatedOrRepeatedInARow) {
    struct Case {
        int n, copies;
        bool collate;
        const char* result;
    };
    for (Case c :
         {Case{3, 2, true, "1 2 3 1 2 3"}, Case{3, 2, false, "1 1 2 2 3 3"}, Case{3, 3, false, "1 1 1 2 2 2 3 3 3"},
          Case{2, 3, true, "1 2 1 2 1 2"}, Case{3, 1, false, "1 2 3"}, Case{1, 4, false, "1 1 1 1"}}) {
        auto q = numbered(c.n);
        addCopies(q, c.copies, c.collate);
        EXPECT_EQ(joined(q), c.result) << c.n << " x " << c.copies << (c.collate ? " collated" : "");
    }
    rt::PreviewQueue none;
    addCopies(none, 5, false);
    EXPECT_TRUE(none.empty());
}

TEST(PrintSetupRules, PageLabelsAndFileNames) {
    auto collated = pageLabels(true);
    auto plain = pageLabels(false);
    EXPECT_EQ(collated[0], "  3");
    EXPECT_EQ(collated[2], "  1");
    EXPECT_EQ(collated[5], "  1");
    EXPECT_EQ(plain[0], "  1");
    EXPECT_EQ(plain[4], "  2");
    EXPECT_EQ(plain[8], "  3");
    EXPECT_EQ(viewFileName(1), ".\\View_001.WMF");
    EXPECT_EQ(viewFileName(12), ".\\View_012.WMF");
}

class SetupTest : public PrintTest {
protected:
    struct Args {
        std::uint8_t offerWindow = 1;
        std::string section = "QBEReport:Test";
        std::string iniFile = ".\\VOQKIVORANT.INI";
        std::uint8_t useIni = 0, keepPosition = 0, preview = 1, copies = 1, file = 0;
    };

    int start(PagesReport& pages, Args a) {
        args = a;
        return rt::startThread([this, &pages] {
            PrintSetupWindow(pages.report.pages(), pages.report, state, args.offerWindow, args.section, args.iniFile,
                             args.useIni, args.keepPosition, args.preview, args.copies, args.file);
            response = rt::ThreadResponse;
        });
    }

    // Leaves the preview with "Print", page `current` current.
    void printFromPreview(int current = 1) {
        auto p = user.waitWindow(" Report Preview");
        if (current != 1) user.setValue(p, preview::PAGE_SPIN, std::to_string(current));
        user.press(p, preview::BUTTON_PRINT);
    }

    std::vector<int> printed(PagesReport& pages) { return pages.pageNumbers(log->all()); }

    Args args;
    std::uint8_t state = 1;
    std::atomic<int> response{0};
};

TEST_F(SetupTest, ARangeOfTenPagesPrintsThreeToFiveOneByOne) {
    PagesReport pages(10);
    int t = start(pages, {});
    printFromPreview();
    auto w = user.waitWindow("Print");
    EXPECT_EQ(user.text(w, PRINTER_NAME), "Testdrucker");
    EXPECT_EQ(user.text(w, PRINTER_PORT), "on cups:/test");
    EXPECT_EQ(user.value(w, OPTION), "1");
    EXPECT_EQ(user.value(w, SPIN_TO), "10");
    EXPECT_EQ(user.control(w, SPIN_FROM).rangeHigh, 10);
    EXPECT_TRUE(user.enabled(w, SPIN_FROM));  // enabled at the start whatever the option
    EXPECT_FALSE(user.enabled(w, CHECK_COLLATE));
    EXPECT_FALSE(user.enabled(w, CHECK_FILE));
    EXPECT_TRUE(user.hidden(w, PROGRESS));
    user.choose(w, RADIO_ALL);
    EXPECT_FALSE(user.enabled(w, SPIN_FROM));
    user.choose(w, RADIO_RANGE);
    EXPECT_TRUE(user.enabled(w, SPIN_TO));
    user.setValue(w, SPIN_FROM, "3");
    user.setValue(w, SPIN_TO, "5");
    user.press(w, OK_BUTTON);
    user.waitThreadEnd(t);
    EXPECT_EQ(printed(pages), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(log->begun, 1);
    EXPECT_EQ(log->ended, 1);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(response, 2);
    EXPECT_TRUE(display.beeps().empty());
}

TEST_F(SetupTest, CopiesCollatedAndNot) {
    for (bool collate : {true, false}) {
        log->jobs.clear();
        state = 1;
        PagesReport pages(3);
        int t = start(pages, {});
        printFromPreview();
        auto w = user.waitWindow("Print");
        user.setValue(w, SPIN_COPIES, "2");
        EXPECT_TRUE(user.enabled(w, CHECK_COLLATE));
        EXPECT_EQ(user.value(w, CHECK_COLLATE), "1");
        if (!collate) {
            user.check(w, CHECK_COLLATE, false);
            EXPECT_EQ(user.text(w, PAGE_LABEL + 0), "  1");
            EXPECT_EQ(user.text(w, PAGE_LABEL + 3), "  2");
        } else {
            EXPECT_EQ(user.text(w, PAGE_LABEL + 0), "  3");
        }
        user.press(w, OK_BUTTON);
        user.waitThreadEnd(t);
        EXPECT_EQ(printed(pages),
                  collate ? (std::vector<int>{1, 2, 3, 1, 2, 3}) : (std::vector<int>{1, 1, 2, 2, 3, 3}));
    }
}

TEST_F(SetupTest, RangeCorrectionsBeepAndPullTheOtherEnd) {
    PagesReport pages(10);
    int t = start(pages, {});
    printFromPreview();
    auto w = user.waitWindow("Print");
    user.setValue(w, SPIN_TO, "4");
    user.setValue(w, SPIN_FROM, "6");  // above "to": beep, "to" follows
    EXPECT_EQ(user.value(w, SPIN_TO), "6");
    EXPECT_EQ(display.beeps().size(), 1u);
    user.setValue(w, SPIN_TO, "2");  // below "from": beep, "from" follows
    EXPECT_EQ(user.value(w, SPIN_FROM), "2");
    EXPECT_EQ(display.beeps().size(), 2u);
    user.setValue(w, SPIN_TO, "40");  // beyond the last page: pulled back
    EXPECT_EQ(user.value(w, SPIN_TO), "10");
    user.setValue(w, SPIN_FROM, "0");
    EXPECT_EQ(user.value(w, SPIN_FROM), "1");
    user.setValue(w, SPIN_COPIES, "150");
    EXPECT_EQ(user.value(w, SPIN_COPIES), "99");
    user.press(w, CANCEL_BUTTON);
    user.waitThreadEnd(t);
    EXPECT_TRUE(log->all().empty());
    EXPECT_EQ(response, 2);
}

TEST_F(SetupTest, TheCurrentPageOfThePreviewPrintsAlone) {
    for (int current : {7, 300}) {
        log->jobs.clear();
        state = 1;
        PagesReport pages(300);
        int t = start(pages, {});
        printFromPreview(current);
        auto w = user.waitWindow("Print");
        EXPECT_TRUE(user.enabled(w, RADIO_CURRENT));
        user.choose(w, RADIO_CURRENT);
        user.press(w, OK_BUTTON);
        user.waitThreadEnd(t);
        EXPECT_EQ(printed(pages), (std::vector<int>{current}));
    }
}

TEST_F(SetupTest, LeavingThePreviewPrintsNothingAndOpensNoWindow) {
    PagesReport pages(4);
    int t = start(pages, {});
    auto p = user.waitWindow(" Report Preview");
    user.press(p, preview::ITEM_EXIT);
    user.waitThreadEnd(t);
    EXPECT_TRUE(log->all().empty());
    EXPECT_EQ(response, 2);
    EXPECT_EQ(state, 2);
    // The thread ended without anyone answering a "Print" window.
    EXPECT_EQ(pages.report.pages().size(), 4u);
}

TEST_F(SetupTest, EveryPageUnmarkedPrintsNothingAndShowsNoWindow) {
    PagesReport pages(3);
    int t = start(pages, {});
    auto p = user.waitWindow(" Report Preview");
    user.press(p, preview::BUTTON_UNMARK_ALL);
    user.press(p, preview::BUTTON_PRINT);
    user.waitThreadEnd(t);
    EXPECT_TRUE(log->all().empty());
}

TEST_F(SetupTest, WithoutTheWindowThePagesPrintAtOnce) {
    PagesReport pages(3);
    Args a;
    a.offerWindow = 0;
    a.preview = 0;
    int t = start(pages, a);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, 1);
    EXPECT_EQ(printed(pages), (std::vector<int>{1, 2, 3}));
    // The caller flushes the job.
    EXPECT_EQ(log->ended, 0);
    EXPECT_TRUE(pages.report.flush());
    EXPECT_EQ(log->ended, 1);
}

TEST_F(SetupTest, ASecondCallDoesNothing) {
    PagesReport pages(2);
    state = 2;
    int t = start(pages, {});
    user.waitThreadEnd(t);
    EXPECT_TRUE(log->all().empty());
    EXPECT_EQ(state, 2);
}

TEST_F(SetupTest, PrintToFileCopiesThePagePicturesIntoViewFiles) {
    voq::test::TempDir dir;
    std::string old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    {
        PagesReport pages(12);
        Args a;
        a.file = 1;
        int t = start(pages, a);
        printFromPreview();
        auto w = user.waitWindow("Print");
        EXPECT_TRUE(user.enabled(w, CHECK_FILE));
        user.check(w, CHECK_FILE, true);
        user.press(w, OK_BUTTON);
        user.waitThreadEnd(t);
        EXPECT_TRUE(log->all().empty());
        for (int i = 1; i <= 12; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "View_%03d.WMF", i);
            auto content = rt::readFile(name);
            ASSERT_TRUE(content) << name;
            EXPECT_NE(content->find("Seite " + std::to_string(i) + "<"), std::string::npos) << name;
        }
        EXPECT_FALSE(rt::fileExists("View_013.WMF"));
    }
    std::filesystem::current_path(old);
}

TEST_F(SetupTest, ChoicesFromTheIniAreKeptInsideThePageCountAndWrittenBack) {
    voq::test::TempDir dir;
    std::string ini = (std::filesystem::path(dir.path()) / "print.ini").string();
    rt::writeProfileString(ini, "Druck", "PrintOption", "3");
    rt::writeProfileString(ini, "Druck", "FromPage", "0");
    rt::writeProfileString(ini, "Druck", "ToPage", "500");
    rt::writeProfileString(ini, "Druck", "Copies", "0");
    rt::writeProfileString(ini, "Druck", "Collate", "0");
    PagesReport pages(6);
    Args a;
    a.section = "Druck";
    a.iniFile = ini;
    a.useIni = 1;
    int t = start(pages, a);
    printFromPreview();
    auto w = user.waitWindow("Print");
    EXPECT_EQ(user.value(w, OPTION), "3");
    EXPECT_EQ(user.value(w, SPIN_FROM), "1");
    EXPECT_EQ(user.value(w, SPIN_TO), "6");
    EXPECT_EQ(user.value(w, SPIN_COPIES), "1");
    EXPECT_EQ(user.text(w, PAGE_LABEL), "  1");  // the uncollated picture
    user.setValue(w, SPIN_FROM, "2");
    user.setValue(w, SPIN_TO, "3");
    user.setValue(w, SPIN_COPIES, "2");
    user.press(w, OK_BUTTON);
    user.waitThreadEnd(t);
    EXPECT_EQ(printed(pages), (std::vector<int>{2, 2, 3, 3}));
    EXPECT_EQ(rt::getProfileString(ini, "Druck", "FromPage", ""), "2");
    EXPECT_EQ(rt::getProfileString(ini, "Druck", "ToPage", ""), "3");
    EXPECT_EQ(rt::getProfileString(ini, "Druck", "Copies", ""), "2");
    EXPECT_EQ(rt::getProfileString(ini, "Druck", "Collate", ""), "0");
    EXPECT_EQ(rt::getProfileString(ini, "Druck", "PrintToFile", ""), "0");
    EXPECT_EQ(rt::getProfileString(ini, "Druck", "PrintOption", ""), "3");
}

TEST_F(SetupTest, TheQueryReportsArgumentsNeitherReadNorWriteTheIni) {
    voq::test::TempDir dir;
    std::string ini = (std::filesystem::path(dir.path()) / "VOQKIVORANT.INI").string();
    PagesReport pages(2);
    Args a;
    a.iniFile = ini;
    int t = start(pages, a);
    printFromPreview();
    user.press(user.waitWindow("Print"), OK_BUTTON);
    user.waitThreadEnd(t);
    EXPECT_FALSE(rt::fileExists(ini));
    EXPECT_EQ(printed(pages), (std::vector<int>{1, 2}));
}

}  // namespace
