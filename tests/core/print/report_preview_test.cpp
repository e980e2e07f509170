// The report preview: grid geometry, navigation and enable rules, marks and the print outcome.

#include "core/print/report_preview.h"

#include <atomic>

#include "core/print/print_setup.h"
#include "print_test_util.h"
#include "runtime/report/print_previewer.h"
#include "runtime/report/report_controller.h"
#include "runtime/thread/thread_state.h"

using namespace printtest;
using namespace preview;

namespace {

TEST(PreviewGrid, CellsKeepThePageShapeAndTheBlockIsCentred) {
    // 600 x 418: 400 high without the bars; 2 x 2 cells of 297 x 197 at most, narrowed to the
    // A4 shape.
    GridLayout g = gridLayout(600, 418, 2, 2, 297.0 / 210.0);
    EXPECT_EQ(g.cellWidth, 139);
    EXPECT_EQ(g.cellHeight, 197);
    ASSERT_EQ(g.cells.size(), 4u);
    EXPECT_EQ(g.cells[0].x, (600 - (2 * 139 + 3)) / 2);
    EXPECT_EQ(g.cells[0].y, (400 - (2 * 197 + 3)) / 2);
    EXPECT_EQ(g.cells[1].x, g.cells[0].x + 139 + 3);
    EXPECT_EQ(g.cells[2].y, g.cells[0].y + 197 + 3);
    // A landscape page in a tall window is limited by the width.
    GridLayout wide = gridLayout(300, 618, 1, 1, 0.5);
    EXPECT_EQ(wide.cellWidth, 298);
    EXPECT_EQ(wide.cellHeight, 149);
}

TEST(PreviewGrid, TinyWindowsAndUnmeasuredPagesGiveCellsOfAtLeastOneUnit) {
    struct Case {
        int w, h, across, down;
        double ratio;
    };
    for (Case c : {Case{5, 20, 14, 6, 1.4}, Case{0, 0, 1, 1, 1.4}, Case{600, 400, 3, 2, 0.0}, Case{-10, -10, 14, 6, -1},
                   Case{600, 400, 0, 99, 1.4}}) {
        GridLayout g = gridLayout(c.w, c.h, c.across, c.down, c.ratio);
        EXPECT_GE(g.cellWidth, 1);
        EXPECT_GE(g.cellHeight, 1);
        EXPECT_FALSE(g.cells.empty());
    }
}

class PreviewTest : public PrintTest {
protected:
    // Runs the preview on a program thread on the report's pages.
    int start(PagesReport& pages) {
        pages.report.endPage();
        list = pages.report.pages();
        return rt::startThread([this] {
            result = ReportPreview(list);
            response = rt::ThreadResponse;
            request = rt::ThreadRequest;
        });
    }

    rt::WindowId window() { return user.waitWindow(" Report Preview"); }

    void grid(rt::WindowId w, int across, int down) {
        user.press(w, ITEM_THUMBNAILS);
        auto g = user.waitWindow("Number of pages to show");
        user.setValue(g, GRID_SPIN_H, std::to_string(across));
        user.setValue(g, GRID_SPIN_V, std::to_string(down));
        user.press(g, GRID_OK);
    }

    rt::PreviewQueue list;
    std::atomic<int> result{-1};
    std::atomic<int> response{0};
    std::atomic<int> request{-1};
};

TEST_F(PreviewTest, OnePageOpensWithNavigationDisabledShowsItWholeAndPrintsIt) {
    PagesReport pages(1);
    int t = start(pages);
    auto w = window();
    for (int id = BUTTON_FIRST; id <= BUTTON_THUMBNAILS; ++id) EXPECT_FALSE(user.enabled(w, id)) << id;
    EXPECT_FALSE(user.enabled(w, PAGE_SPIN));
    EXPECT_FALSE(user.enabled(w, MENU_VIEW));
    EXPECT_TRUE(user.enabled(w, BUTTON_PRINT));
    EXPECT_EQ(user.statusText(w, 3), "No Zoom");
    EXPECT_EQ(user.statusText(w, 2), "Page 1 of 1");
    EXPECT_FALSE(user.hidden(w, slotPicture(1)));
    EXPECT_EQ(user.control(w, slotPicture(1)).icon, list[0].PREVIEWFILENAME);
    EXPECT_EQ(user.value(w, ITEM_NO_ZOOM), "1");
    auto props = user.window(w);
    EXPECT_TRUE(props.maximized);
    EXPECT_EQ(props.minWidth, 315);
    EXPECT_EQ(props.icon, "TavLogo.ICO");
    user.press(w, BUTTON_PRINT);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, 1);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(list.size(), 1u);
}

TEST_F(PreviewTest, FivePagesInATwoByTwoGridStepByScreens) {
    PagesReport pages(5);
    int t = start(pages);
    auto w = window();
    EXPECT_FALSE(user.enabled(w, BUTTON_FIRST));
    EXPECT_FALSE(user.enabled(w, ITEM_PREVIOUS));
    EXPECT_TRUE(user.enabled(w, BUTTON_NEXT));
    grid(w, 2, 2);
    EXPECT_EQ(user.statusText(w, 2), "Pages 1-4 of 5");
    for (int k = 1; k <= 4; ++k) EXPECT_FALSE(user.hidden(w, slotPicture(k))) << k;

    user.press(w, BUTTON_NEXT);
    EXPECT_EQ(user.statusText(w, 2), "Page 5 of 5");
    EXPECT_EQ(user.control(w, slotPicture(1)).icon, list[4].PREVIEWFILENAME);
    for (int k = 2; k <= 4; ++k)
        for (int id : {slotPaper(k), slotPicture(k), slotMark(k), slotArea(k)}) EXPECT_TRUE(user.hidden(w, id)) << id;
    EXPECT_FALSE(user.enabled(w, BUTTON_NEXT));
    EXPECT_FALSE(user.enabled(w, BUTTON_LAST));
    EXPECT_FALSE(user.enabled(w, ITEM_NEXT));
    EXPECT_TRUE(user.enabled(w, BUTTON_PREVIOUS));

    user.press(w, BUTTON_FIRST);
    EXPECT_EQ(user.statusText(w, 2), "Pages 1-4 of 5");
    user.press(w, BUTTON_LAST);
    EXPECT_EQ(user.statusText(w, 2), "Pages 2-5 of 5");
    EXPECT_EQ(user.value(w, PAGE_SPIN), "2");
    user.press(w, BUTTON_PREVIOUS);
    EXPECT_EQ(user.statusText(w, 2), "Pages 1-4 of 5");

    // More slots than pages: nothing lies beyond, the first screen holds them all.
    user.press(w, BUTTON_LAST);
    grid(w, 3, 2);
    EXPECT_EQ(user.statusText(w, 2), "Pages 2-5 of 5");
    EXPECT_FALSE(user.enabled(w, BUTTON_LAST));
    EXPECT_FALSE(user.enabled(w, BUTTON_NEXT));
    user.press(w, BUTTON_FIRST);
    EXPECT_EQ(user.statusText(w, 2), "Pages 1-5 of 5");
    EXPECT_TRUE(user.hidden(w, slotPicture(6)));
    user.press(w, ITEM_EXIT);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, 2);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list.size(), 5u);
}

TEST_F(PreviewTest, SinglePageViewZoomsScrollsAndSteps) {
    PagesReport pages(3);
    int t = start(pages);
    auto w = window();
    user.resize(w, 600, 418);
    // A click on the second slot is impossible in a 1 x 1 grid: click the first page.
    user.press(w, slotPicture(1));
    EXPECT_EQ(user.statusText(w, 3), "Zoom (Page Width)");
    EXPECT_EQ(user.statusText(w, 2), "Page 1 of 3");
    EXPECT_FALSE(user.hidden(w, MARK_BOX));
    auto single = user.control(w, SINGLE_PAGE);
    EXPECT_FALSE(single.hscroll);
    int natural = single.virtualWidth;
    EXPECT_NEAR(natural, 600, 1);
    EXPECT_EQ(user.value(w, ITEM_PAGE_WIDTH), "1");
    EXPECT_EQ(user.value(w, ITEM_NO_ZOOM), "0");

    user.press(w, ITEM_ZOOM_200);
    single = user.control(w, SINGLE_PAGE);
    EXPECT_TRUE(single.hscroll);
    EXPECT_EQ(user.statusText(w, 3), "Zoom (200%)");
    user.key(w, SINGLE_PAGE, rt::keys::Down);
    EXPECT_EQ(user.control(w, SINGLE_PAGE).scrollY, 25);
    user.key(w, SINGLE_PAGE, rt::keys::End);
    EXPECT_EQ(user.control(w, SINGLE_PAGE).scrollY, single.virtualHeight - single.height);
    user.key(w, SINGLE_PAGE, rt::keys::Home);
    EXPECT_EQ(user.control(w, SINGLE_PAGE).scrollY, 0);
    // The keys go on from where the user's wheel or scroll bars left the page.
    user.scroll(w, SINGLE_PAGE, 10, 100);
    user.key(w, SINGLE_PAGE, rt::keys::Down);
    user.key(w, SINGLE_PAGE, rt::keys::Right);
    EXPECT_EQ(user.control(w, SINGLE_PAGE).scrollY, 125);
    EXPECT_EQ(user.control(w, SINGLE_PAGE).scrollX, 35);

    user.key(w, PAGE_SPIN, rt::keys::PgDn);  // whichever control has the focus
    EXPECT_EQ(user.statusText(w, 2), "Page 2 of 3");
    user.press(w, BUTTON_LAST);
    EXPECT_EQ(user.statusText(w, 2), "Page 3 of 3");
    EXPECT_FALSE(user.enabled(w, BUTTON_NEXT));
    user.key(w, SINGLE_PAGE, rt::keys::KeypadMinus);
    EXPECT_EQ(user.statusText(w, 3), "No Zoom");
    EXPECT_TRUE(user.hidden(w, MARK_BOX));
    EXPECT_FALSE(user.hidden(w, slotPicture(1)));
    user.press(w, BUTTON_EXIT);
    user.waitThreadEnd(t);
}

TEST_F(PreviewTest, ZoomPopupShowsTheCurrentModeChecked) {
    PagesReport pages(2);
    int t = start(pages);
    auto w = window();
    user.queuePopupAnswer(4);  // "75%"
    user.press(w, BUTTON_ZOOM);
    auto history = display.history();
    ASSERT_FALSE(history.empty());
    const auto& items = history.back().popupMenu.items;
    ASSERT_EQ(items.size(), 8u);
    EXPECT_TRUE(items[0].checked);
    EXPECT_EQ(items[0].text, "No Zoom");
    EXPECT_TRUE(items[1].separator);
    EXPECT_FALSE(items[2].checked);
    EXPECT_EQ(user.statusText(w, 3), "Zoom (75%)");
    user.press(w, BUTTON_EXIT);
    user.waitThreadEnd(t);
}

TEST_F(PreviewTest, UnmarkedPagesAreDroppedAndTheCurrentPageFollows) {
    struct Case {
        int current;
        int expected;
    };
    for (Case c : {Case{4, 0}, Case{5, 3}, Case{1, 1}}) {
        PagesReport pages(5);
        int t = start(pages);
        auto w = window();
        // Unmark 2 and 4 in the single-page view.
        user.setValue(w, PAGE_SPIN, "2");
        user.key(w, 0, rt::keys::KeypadPlus);
        user.press(w, MARK_BOX);
        EXPECT_EQ(user.control(w, MARK_PICTURE).icon, kUnmarkedPicture);
        user.setValue(w, PAGE_SPIN, "4");
        user.press(w, MARK_BOX);
        user.setValue(w, PAGE_SPIN, std::to_string(c.current));
        user.press(w, ITEM_PRINT);
        user.waitThreadEnd(t);
        EXPECT_EQ(response, 1);
        EXPECT_EQ(pages.pageNumbers(list), (std::vector<int>{1, 3, 5}));
        EXPECT_EQ(result, c.expected) << "current " << c.current;
    }
}

TEST_F(PreviewTest, MarksToggleInTheGridAndAllAtOnce) {
    PagesReport pages(4);
    int t = start(pages);
    auto w = window();
    grid(w, 2, 2);
    user.press(w, slotArea(3));
    EXPECT_EQ(user.control(w, slotMark(3)).icon, kUnmarkedPicture);
    EXPECT_EQ(user.control(w, slotMark(2)).icon, kMarkedPicture);
    user.press(w, BUTTON_UNMARK_ALL);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(user.control(w, slotMark(k)).icon, kUnmarkedPicture);
    user.press(w, ITEM_MARK_ALL);
    user.press(w, slotArea(1));
    user.press(w, BUTTON_PRINT);
    user.waitThreadEnd(t);
    EXPECT_EQ(pages.pageNumbers(list), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(result, 0);
}

TEST_F(PreviewTest, EveryPageUnmarkedLeavesAnEmptyList) {
    PagesReport pages(3);
    int t = start(pages);
    auto w = window();
    user.press(w, BUTTON_UNMARK_ALL);
    user.press(w, BUTTON_PRINT);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, 1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(result, 0);
}

TEST_F(PreviewTest, ACurrentPageAbove255ComesBackInFull) {
    PagesReport pages(300);
    int t = start(pages);
    auto w = window();
    user.press(w, BUTTON_LAST);
    EXPECT_EQ(user.value(w, PAGE_SPIN), "300");
    user.press(w, BUTTON_PRINT);
    user.waitThreadEnd(t);
    EXPECT_EQ(result, 300);
    EXPECT_EQ(request, 0);  // the byte of the request is not used for it
}

TEST_F(PreviewTest, SpinEntriesArePulledIntoTheRange) {
    PagesReport pages(5);
    int t = start(pages);
    auto w = window();
    EXPECT_EQ(user.control(w, PAGE_SPIN).rangeHigh, 5);
    EXPECT_EQ(user.control(w, PAGE_SPIN).tip, "From page number 1 to 5");
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (Case c : {Case{"0", "1"}, Case{"9", "5"}, Case{"3", "3"}, Case{"-4", "1"}, Case{"abc", "1"}}) {
        user.setValue(w, PAGE_SPIN, c.typed);
        EXPECT_EQ(user.value(w, PAGE_SPIN), c.shown) << c.typed;
    }
    user.press(w, BUTTON_EXIT);
    user.waitThreadEnd(t);
}

TEST_F(PreviewTest, JumpToPageTakesTheChosenPageOrKeepsTheCurrentOne) {
    PagesReport pages(8);
    int t = start(pages);
    auto w = window();
    user.press(w, BUTTON_JUMP);
    auto j = user.waitWindow("Jump to page number");
    EXPECT_EQ(user.text(j, JUMP_HINT), "Select page 1 to 8");
    EXPECT_EQ(user.value(j, JUMP_SPIN), "1");
    user.setValue(j, JUMP_SPIN, "12");
    EXPECT_EQ(user.value(j, JUMP_SPIN), "8");
    user.setValue(j, JUMP_SPIN, "6");
    user.press(j, JUMP_OK);
    EXPECT_EQ(user.value(w, PAGE_SPIN), "6");
    user.press(w, ITEM_JUMP);
    j = user.waitWindow("Jump to page number");
    user.setValue(j, JUMP_SPIN, "2");
    user.press(j, JUMP_CANCEL);
    EXPECT_EQ(user.value(w, PAGE_SPIN), "6");
    user.press(w, BUTTON_EXIT);
    user.waitThreadEnd(t);
}

TEST_F(PreviewTest, GridPickerTakesTheCellUnderTheMouse) {
    PagesReport pages(20);
    int t = start(pages);
    auto w = window();
    user.press(w, BUTTON_THUMBNAILS);
    auto p = user.waitWindow("PageGridPicker");
    // A chooser under the pointer: 5 units right of it, 20 above.
    EXPECT_EQ(user.window(p).popup, rt::PopupKind::Chooser);
    EXPECT_TRUE(user.window(p).atMouse);
    EXPECT_EQ(user.window(p).x, 5);
    EXPECT_EQ(user.window(p).y, -20);
    user.mouseIn(p, pickerCell(3, 2));
    EXPECT_EQ(user.control(p, pickerBox(3, 2)).background, rt::Color{0x800000});
    EXPECT_EQ(user.control(p, pickerBox(4, 2)).background, rt::rgb(255, 255, 255));
    EXPECT_EQ(user.control(p, pickerCell(3, 2)).tip, "3 x 2 = 6");
    EXPECT_EQ(user.window(p).width, 5 * 11 + 3);
    EXPECT_EQ(user.window(p).height, 4 * 11 + 3);
    user.mouseUp(p, pickerCell(3, 2), rt::keys::MouseLeftUp);
    EXPECT_EQ(user.statusText(w, 2), "Pages 1-6 of 20");
    // A right release leaves the grid as it was.
    user.press(w, BUTTON_THUMBNAILS);
    p = user.waitWindow("PageGridPicker");
    user.mouseIn(p, pickerCell(14, 6));
    EXPECT_EQ(user.window(p).width, 157);
    EXPECT_EQ(user.window(p).height, 69);
    user.mouseUp(p, pickerCell(14, 6), rt::keys::MouseRightUp);
    EXPECT_EQ(user.statusText(w, 2), "Pages 1-6 of 20");
    user.press(w, BUTTON_EXIT);
    user.waitThreadEnd(t);
}

TEST_F(PreviewTest, ResizingRelaysTheGridAndThePageWidth) {
    PagesReport pages(4);
    int t = start(pages);
    auto w = window();
    user.resize(w, 600, 418);
    grid(w, 2, 2);
    auto before = user.control(w, slotPicture(2));
    GridLayout g = gridLayout(600, 418, 2, 2, static_cast<double>(before.height) / before.width);
    EXPECT_EQ(before.width, g.cellWidth);
    user.resize(w, 900, 618);
    auto after = user.control(w, slotPicture(2));
    EXPECT_GT(after.width, before.width);
    EXPECT_NE(after.x, before.x);
    user.press(w, slotPicture(1));
    int wide = user.control(w, SINGLE_PAGE).virtualWidth;
    user.resize(w, 450, 618);
    EXPECT_NEAR(user.control(w, SINGLE_PAGE).virtualWidth, 450, 1);
    EXPECT_NEAR(wide, 900, 1);
    user.press(w, BUTTON_EXIT);
    user.waitThreadEnd(t);
}

TEST_F(PreviewTest, TheMagnifiedPageComesWithTheMouseAndGoesWithTheGridOrThePreview) {
    PagesReport pages(4);
    int t = start(pages);
    auto w = window();
    grid(w, 2, 2);
    user.mouseIn(w, slotArea(2));
    auto thumb = user.waitWindow("ThumbnailWindow");
    EXPECT_EQ(user.control(thumb, THUMB_PICTURE).icon, list[1].PREVIEWFILENAME);
    EXPECT_EQ(user.window(thumb).width, static_cast<int>(600 * 0.58));
    EXPECT_EQ(user.window(thumb).popup, rt::PopupKind::Shown);
    // The page across the window's width, only its upper part shown.
    auto picture = user.control(thumb, THUMB_PICTURE);
    EXPECT_EQ(picture.virtualWidth, picture.width);
    EXPECT_GT(picture.virtualHeight, picture.height);
    user.mouseOut(w, slotArea(2));
    user.waitClosed(thumb);

    user.mouseIn(w, slotArea(1));
    thumb = user.waitWindow("ThumbnailWindow");
    grid(w, 1, 2);  // rebuilding the grid closes it
    user.waitClosed(thumb);

    user.mouseIn(w, slotArea(1));
    thumb = user.waitWindow("ThumbnailWindow");
    user.press(w, BUTTON_EXIT);  // and so does closing the preview
    user.waitThreadEnd(t);
    EXPECT_FALSE(user.isOpen(thumb));
}

// An empty page list opens no window (it would be grey, with nothing to print), and the print
// set-up prints nothing.
TEST_F(PreviewTest, NoPagesOpenNoWindow) {
    rt::Report empty("leer");
    empty.open();
    list.clear();
    std::atomic<int> setupResponse{0};
    int t = rt::startThread([&] {
        result = ReportPreview(list);
        response = rt::ThreadResponse;
        std::uint8_t state = 1;
        PrintSetupWindow(empty.pages(), empty, state, 1, "QBEReport:leer", ".\\VOQKIVORANT.INI", 0, 0, 1, 1, 0);
        setupResponse = rt::ThreadResponse;
        EXPECT_EQ(state, 2);
    });
    // A window would wait for the user: the thread ends by itself only when none opened.
    user.waitThreadEnd(t);
    EXPECT_EQ(response, 2);
    EXPECT_EQ(setupResponse, 2);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(display.history().empty());  // no box either
}

// The one wiring: a report run by the controller previews through the "Report Preview" window
// and printing hands the printer only the pages left marked.
TEST_F(PrintTest, TheEnginesPreviewIsTheReportPreviewAndPrintsTheMarkedPages) {
    installReportPreview();
    rt::Report report("Seiten");
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(40, 40, 500, 12);
    int record = 0;
    report.addBand(1, rt::BandKind::Detail).setSize(500, 12).addString(2, 0, 0, 200, 12).setUse([&] {
        return "Seite " + std::to_string(record);
    });
    std::atomic<int> response{0};
    int t = rt::startThread([&] {
        rt::RecordProcessor records(
            [&] { return record < 4 ? (++record, rt::RecordStep::Record) : rt::RecordStep::End; }, 4);
        response = rt::ReportController(report, {.procedure = "DruckeSeiten"}).setDetail(1).run(records);
    });
    auto w = user.waitWindow(" Report Preview");
    EXPECT_EQ(user.statusText(w, 2), "Page 1 of 4");
    user.setValue(w, PAGE_SPIN, "2");
    user.key(w, 0, rt::keys::KeypadPlus);
    user.press(w, MARK_BOX);
    user.setValue(w, PAGE_SPIN, "4");
    user.press(w, MARK_BOX);
    user.press(w, BUTTON_PRINT);
    user.waitThreadEnd(t);
    rt::setPreviewProcedure({});
    EXPECT_EQ(response, 1);
    std::vector<std::string> printed;
    for (const auto& f : log->all()) printed.push_back(f.substr(f.rfind('/') + 1));
    EXPECT_EQ(printed, (std::vector<std::string>{"P00001.svg", "P00003.svg"}));
    EXPECT_EQ(log->begun, 1);
    EXPECT_EQ(log->ended, 1);
}

}  // namespace
