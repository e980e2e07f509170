#pragma once
// The report preview: the finished pages of a report one at a time at a zoom, or several side
// by side; pages can be marked and unmarked, and printing leaves only the marked pages in the
// page list. Also the program's print preview for every report of the report engine
// (installReportPreview).

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/report/report.h"
#include "runtime/thread/shared.h"

// Shows the pages; returns when the window closes. ThreadResponse is 1 (print: the page list
// holds only the marked pages) or 2 (leave: the list is unchanged). Returns the current page,
// as its position in the shortened list (0 when that page itself was unmarked, or after
// "E&xit").
std::int32_t ReportPreview(rt::PreviewQueue& pages);

// "Jump to page number": the page chosen (OK) or the current one (Cancel).
std::int32_t JumpToPageWindow(std::int32_t currentPage, std::int32_t pageCount);
// "Number of pages to show": across 1-14, down 1-6, written back on OK.
void PageGridWindow(std::int32_t& across, std::int32_t& down);
// The small chooser of 14 x 6 cells: a left click writes back the cell's column and row.
void PageGridPicker(std::int32_t& across, std::int32_t& down);
// The magnified page; reads the hand-over below and lives until its close request.
void ThumbnailWindow();

// Makes ReportPreview the report engine's print preview.
void installReportPreview();

// Hand-over to the magnified page, written before its thread starts.
struct ThumbnailHandOver {
    std::string file;
    int x = 0, y = 0, width = 0, height = 0;  // the preview window
    int mouseY = 0;
};
extern rt::Shared<ThumbnailHandOver> ThumbnailData;

namespace preview {

// Controls of the preview window.
enum : int {
    MENU_FILE = 1,
    ITEM_PRINT,
    ITEM_EXIT,
    MENU_VIEW,
    ITEM_FIRST,
    ITEM_NEXT,
    ITEM_PREVIOUS,
    ITEM_LAST,
    ITEM_SEP1,
    ITEM_MARK_ALL,
    ITEM_UNMARK_ALL,
    ITEM_SEP2,
    ITEM_JUMP,
    ITEM_THUMBNAILS,
    MENU_ZOOM,
    ITEM_NO_ZOOM,
    ITEM_SEP3,
    ITEM_PAGE_WIDTH,
    ITEM_SEP4,
    ITEM_ZOOM_50,
    ITEM_ZOOM_75,
    ITEM_ZOOM_100,
    ITEM_ZOOM_200,
    ITEM_ZOOM_300,
    BUTTON_PRINT = 40,
    BUTTON_EXIT,
    BUTTON_ZOOM,
    BUTTON_FIRST,
    BUTTON_PREVIOUS,
    BUTTON_NEXT,
    BUTTON_LAST,
    BUTTON_MARK_ALL,
    BUTTON_UNMARK_ALL,
    BUTTON_JUMP,
    BUTTON_THUMBNAILS,
    PAGE_PROMPT,
    PAGE_SPIN,
    MARK_PICTURE,
    MARK_BOX,
    SINGLE_PAGE = 60,  // the single-page picture (run-time)
    FIRST_SLOT = 100,  // grid slot k (from 1): FIRST_SLOT + 4 (k - 1) + 0 paper, 1 picture, 2 mark picture, 3 mark area
};
inline int slotPaper(int k) { return FIRST_SLOT + 4 * (k - 1); }
inline int slotPicture(int k) { return slotPaper(k) + 1; }
inline int slotMark(int k) { return slotPaper(k) + 2; }
inline int slotArea(int k) { return slotPaper(k) + 3; }

// Controls of the small windows.
enum : int { JUMP_PROMPT = 1, JUMP_SPIN, JUMP_HINT, JUMP_OK, JUMP_CANCEL };
enum : int { GRID_GROUP_H = 1, GRID_SPIN_H, GRID_HINT_H, GRID_GROUP_V, GRID_SPIN_V, GRID_HINT_V, GRID_OK, GRID_CANCEL };
inline int pickerBox(int column, int row) { return 1 + 2 * ((row - 1) * 14 + (column - 1)); }
inline int pickerCell(int column, int row) { return pickerBox(column, row) + 1; }
inline constexpr int THUMB_PICTURE = 1;

// Pictures of the mark: a green tick (marked), a red cross (not marked).
inline constexpr const char* kMarkedPicture = "MARKTICK.ICO";
inline constexpr const char* kUnmarkedPicture = "MARKCROSS.ICO";

enum class Zoom { Whole, PageWidth, P50, P75, P100, P200, P300 };

// The page grid in dialog units for a window W x H (the toolbar and status bar taken off
// inside) and a page aspect ratio height / width.
struct GridCell {
    int x = 0, y = 0;
};
struct GridLayout {
    int cellWidth = 0, cellHeight = 0;
    std::vector<GridCell> cells;  // row by row
};
GridLayout gridLayout(int windowWidth, int windowHeight, int across, int down, double ratio);

}  // namespace preview
