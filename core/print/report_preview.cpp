#include "core/print/report_preview.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "runtime/report/print_previewer.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using rt::ControlKind;
using rt::Event;

rt::Shared<ThumbnailHandOver> ThumbnailData;

namespace preview {

GridLayout gridLayout(int windowWidth, int windowHeight, int across, int down, double ratio) {
    across = std::clamp(across, 1, 14);
    down = std::clamp(down, 1, 6);
    if (!(ratio > 0)) ratio = 297.0 / 210.0;  // a page that could not be measured counts as A4
    GridLayout g;
    const int w = windowWidth;
    const int h = windowHeight - 18;
    const int gapX = (across - 1) * 3 + 2;
    const int gapY = (down - 1) * 3 + 2;
    // A window too small for the grid still gets cells of one unit, never zero or negative ones.
    int cellW = std::max(1, (w - gapX) / across);
    int cellH = std::max(1, (h - gapY) / down);
    if (ratio <= static_cast<double>(cellH) / cellW)
        cellH = std::max(1, static_cast<int>(cellW * ratio));
    else
        cellW = std::max(1, static_cast<int>(cellH / ratio));
    g.cellWidth = cellW;
    g.cellHeight = cellH;
    int y = (h - (down * cellH + (down - 1) * 3)) / 2;
    for (int r = 0; r < down; ++r) {
        int x = (w - (across * cellW + (across - 1) * 3)) / 2;
        for (int c = 0; c < across; ++c) {
            g.cells.push_back({x, y});
            x += cellW + 3;
        }
        y += cellH + 3;
    }
    return g;
}

}  // namespace preview

using namespace preview;

namespace {

using namespace std::chrono_literals;

int spinNumber(const std::string& text) { return static_cast<int>(rt::deformatInt64(rt::trimBlanks(text), "@n-9")); }

bool isLeftClick(const rt::EventInfo& e) {
    return e.event == Event::Accepted ||
           (e.event == Event::AlertKey && rt::keys::baseKey(e.keyCode) == rt::keys::MouseLeft) ||
           (e.event == Event::MouseDown && rt::keys::baseKey(e.keyCode) == rt::keys::MouseLeft);
}

// Ends a magnified page's thread: its close request is posted once its window is there.
void closeThumbnail(int& thread) {
    if (thread == 0) return;
    for (int i = 0; i < 400 && rt::threadRunning(thread); ++i) {
        if (rt::topWindow(thread) != 0 && rt::postToThread(Event::CloseWindow, 0, thread)) break;
        std::this_thread::sleep_for(5ms);
    }
    rt::waitThread(thread, 2s);
    thread = 0;
}

class Preview {
public:
    Preview(rt::PreviewQueue& pages) : pages_(pages), w_("ReportPreview", " Report Preview") {}

    std::int32_t run();

private:
    void build();
    void measure();
    void draw();
    void drawGrid();
    void drawSingle();
    void destroySlots();
    void fillSlots();
    void setNavigation();
    void setMark(int controlId, int page);
    int width() const { return w_.props().width > 0 ? w_.props().width : 600; }
    int height() const { return w_.props().height > 0 ? w_.props().height : 380; }
    std::string file(int page) const {
        return std::string(rt::trimBlanks(pages_[static_cast<std::size_t>(page - 1)].PREVIEWFILENAME));
    }
    void first() { current_ = n_ ? 1 : 0; }
    void previous();
    void next();
    void last();
    void goTo(int page);
    void toggle(int page);
    void markAll(bool on);
    void setZoom(Zoom z) { zoom_ = z; }
    void startThumbnail(int page);
    void keyPressed(int keyCode, bool& redraw);
    void opened();
    // A control's event; false when the pages need no drawing again.
    bool controlEvent(const rt::EventInfo& e);
    bool buttonOrItem(int c, Event event);
    void zoomPopup();
    void zoomItem(int c);
    bool slotClicked(int c);
    void slotEntered(int c);
    std::int32_t finish();

    rt::PreviewQueue& pages_;
    rt::Window w_;
    std::vector<std::uint8_t> marks_;
    int n_ = 0;
    int current_ = 0;
    int across_ = 1, down_ = 1;
    int laidAcross_ = 0, laidDown_ = 0;
    int perScreen_ = 0;
    bool singleExists_ = false;
    int slots_ = 0;
    Zoom zoom_ = Zoom::Whole;
    int naturalW_ = 0, naturalH_ = 0;
    double ratio_ = 0;
    double factor_ = 1;
    bool print_ = false;
    int thumbnail_ = 0;
};

void Preview::build() {
    w_.setIcon("TavLogo.ICO").setMaximized(true).setMinSize(315, 0).setStatusZones({70, 90, 0});
    w_.edit().background = rt::rgb(192, 192, 192);
    auto item = [&](int id, int menu, const char* text) { return w_.add(id, ControlKind::Item, menu).setText(text); };
    auto separator = [&](int id, int menu) { w_.add(id, ControlKind::Item, menu).edit().separator = true; };
    w_.add(MENU_FILE, ControlKind::Menu).setText("&File");
    item(ITEM_PRINT, MENU_FILE, "&Print...");
    item(ITEM_EXIT, MENU_FILE, "E&xit");
    w_.add(MENU_VIEW, ControlKind::Menu).setText("&View");
    item(ITEM_FIRST, MENU_VIEW, "&First page(s)");
    item(ITEM_NEXT, MENU_VIEW, "&Next page(s)");
    item(ITEM_PREVIOUS, MENU_VIEW, "&Previous page(s)");
    item(ITEM_LAST, MENU_VIEW, "&Last page(s)");
    separator(ITEM_SEP1, MENU_VIEW);
    item(ITEM_MARK_ALL, MENU_VIEW, "&Mark all pages");
    item(ITEM_UNMARK_ALL, MENU_VIEW, "&Unmark all pages");
    separator(ITEM_SEP2, MENU_VIEW);
    item(ITEM_JUMP, MENU_VIEW, "&Jump to page...");
    item(ITEM_THUMBNAILS, MENU_VIEW, "&Show thumbnails...");
    w_.add(MENU_ZOOM, ControlKind::Menu).setText("&Zoom");
    auto zoomItem = [&](int id, const char* text) { item(id, MENU_ZOOM, text).edit().checkItem = true; };
    zoomItem(ITEM_NO_ZOOM, "&No Zoom");
    separator(ITEM_SEP3, MENU_ZOOM);
    zoomItem(ITEM_PAGE_WIDTH, "&Page width");
    separator(ITEM_SEP4, MENU_ZOOM);
    zoomItem(ITEM_ZOOM_50, "&50 percent");
    zoomItem(ITEM_ZOOM_75, "&75 percent");
    zoomItem(ITEM_ZOOM_100, "&100 percent");
    zoomItem(ITEM_ZOOM_200, "&200 percent");
    zoomItem(ITEM_ZOOM_300, "&300 percent");

    int x = 2;
    auto tool = [&](int id, const char* tip, const char* icon) {
        auto b = w_.add(id, ControlKind::Button).setTip(tip).setPosition(x, 1, 16, 16);
        if (*icon) b.setIcon(icon);
        b.edit().toolbar = true;
        x += 17;
    };
    tool(BUTTON_PRINT, "Print report", "PRINT.ICO");
    tool(BUTTON_EXIT, "Exit without printing", "EXIT.ICO");
    tool(BUTTON_ZOOM, "Zoom page", "SMZOOM.ICO");
    tool(BUTTON_FIRST, "First page(s)", "SMFIRST.ICO");
    tool(BUTTON_PREVIOUS, "Previous page(s)", "SMPREV.ICO");
    tool(BUTTON_NEXT, "Next page(s)", "SMNEXT.ICO");
    tool(BUTTON_LAST, "Last page(s)", "SMLAST.ICO");
    tool(BUTTON_MARK_ALL, "Mark all pages", "CHECKALL.ICO");
    tool(BUTTON_UNMARK_ALL, "Unmark all pages", "CHECKNO.ICO");
    tool(BUTTON_JUMP, "Jump to page", "SMJUMPPG.ICO");
    tool(BUTTON_THUMBNAILS, "Thumbnails", "SMPAGES.ICO");
    w_.add(PAGE_PROMPT, ControlKind::Prompt).setText("&Page:").setPosition(x + 4, 4, 22, 10).edit().toolbar = true;
    w_.add(PAGE_SPIN, ControlKind::Spin).setPicture("n4").setPosition(x + 28, 2, 36, 12).edit().toolbar = true;
    w_.add(MARK_PICTURE, ControlKind::Image).setPosition(0, 0, 18, 18).edit().toolbar = true;
    auto box = w_.add(MARK_BOX, ControlKind::Region).setPosition(0, 0, 18, 18).setCursor("~ARROW.CUR");
    box.edit().toolbar = true;
    w_[BUTTON_FIRST].disable();
    w_[BUTTON_PREVIOUS].disable();
    w_[ITEM_FIRST].disable();
    w_[ITEM_PREVIOUS].disable();
    for (auto key : {rt::keys::PgUp, rt::keys::PgDn, rt::keys::Home, rt::keys::End, rt::keys::Up, rt::keys::Down,
                     rt::keys::Left, rt::keys::Right, rt::keys::KeypadMinus, rt::keys::KeypadPlus, rt::keys::MouseLeft})
        w_.alert(key);
}

void Preview::measure() {
    naturalW_ = naturalH_ = 0;
    ratio_ = 0;
    if (n_ == 0) return;
    int probe = w_.create(ControlKind::Image);
    auto c = w_[probe];
    if (c.loadImage(file(1))) {
        naturalW_ = c.naturalWidth();
        naturalH_ = c.naturalHeight();
        if (naturalW_ > 0) ratio_ = static_cast<double>(naturalH_) / naturalW_;
    }
    w_.destroy(probe);
}

void Preview::setMark(int controlId, int page) {
    if (page < 1 || page > n_) return;
    w_[controlId].setIcon(marks_[static_cast<std::size_t>(page - 1)] ? kMarkedPicture : kUnmarkedPicture);
}

void Preview::destroySlots() {
    if (slots_ == 0) return;
    closeThumbnail(thumbnail_);  // its mark area goes away
    for (int k = 1; k <= slots_; ++k)
        for (int id : {slotPaper(k), slotPicture(k), slotMark(k), slotArea(k)}) w_.destroy(id);
    slots_ = 0;
}

void Preview::fillSlots() {
    GridLayout g = gridLayout(width(), height(), across_, down_, ratio_);
    for (int k = 1; k <= slots_; ++k) {
        const GridCell& cell = g.cells[static_cast<std::size_t>(k - 1)];
        w_[slotPaper(k)].setPosition(cell.x, cell.y, g.cellWidth, g.cellHeight);
        w_[slotPicture(k)].setPosition(cell.x, cell.y, g.cellWidth, g.cellHeight);
        w_[slotMark(k)].setPosition(cell.x + g.cellWidth - 19, cell.y, 20, 20);
        w_[slotArea(k)].setPosition(cell.x + g.cellWidth - 19, cell.y, 20, 20);
        int page = current_ + k - 1;
        bool shown = current_ >= 1 && page <= n_;
        for (int id : {slotPaper(k), slotPicture(k), slotMark(k), slotArea(k)}) w_[id].setHidden(!shown);
        if (shown) {
            w_[slotPicture(k)].loadImage(file(page));
            setMark(slotMark(k), page);
        }
    }
}

void Preview::drawGrid() {
    if (singleExists_) {
        w_.destroy(SINGLE_PAGE);
        singleExists_ = false;
    }
    if (across_ != laidAcross_ || down_ != laidDown_) {
        destroySlots();
        slots_ = across_ * down_;
        for (int k = 1; k <= slots_; ++k) {
            w_.add(slotPaper(k), ControlKind::Box).setBackground(rt::rgb(255, 255, 255)).edit().borderColor =
                rt::rgb(0, 0, 0);
            w_.add(slotPicture(k), ControlKind::Image).setCursor("~ZOOM.CUR");
            w_.add(slotMark(k), ControlKind::Image);
            w_.add(slotArea(k), ControlKind::Region).setCursor("~ARROW.CUR").setImmediate(true);
        }
        laidAcross_ = across_;
        laidDown_ = down_;
    }
    perScreen_ = across_ * down_;
    fillSlots();
    std::string zone2;
    if (n_ > 0) {
        if (current_ == n_ || perScreen_ == 1) {
            zone2 = "Page " + std::to_string(current_) + " of " + std::to_string(n_);
        } else {
            int lastShown = std::min(current_ + perScreen_ - 1, n_);
            zone2 = "Pages " + std::to_string(current_) + "-" + std::to_string(lastShown) + " of " + std::to_string(n_);
        }
    }
    w_.setStatusText(2, zone2);
    w_.setStatusText(3, "No Zoom");
    w_[MARK_PICTURE].hide();
    w_[MARK_BOX].hide();
}

void Preview::drawSingle() {
    destroySlots();
    laidAcross_ = laidDown_ = 0;
    perScreen_ = 0;
    if (!singleExists_) {
        auto c = w_.add(SINGLE_PAGE, ControlKind::Image).setBackground(rt::rgb(255, 255, 255)).setCursor("~ZOOM.CUR");
        c.edit().vscroll = true;
        singleExists_ = true;
    }
    static const double factors[] = {1, 1, 0.5, 0.75, 1.0, 2.0, 3.0};
    static const char* names[] = {
        "", "Zoom (Page Width)", "Zoom (50%)", "Zoom (75%)", "Zoom (100%)", "Zoom (200%)", "Zoom (300%)"};
    int z = static_cast<int>(zoom_);
    factor_ = zoom_ == Zoom::PageWidth ? (naturalW_ > 0 ? static_cast<double>(width()) / naturalW_ : 1.0) : factors[z];
    auto c = w_[SINGLE_PAGE];
    c.setPosition(0, 0, width(), height() - 18);
    c.edit().hscroll = zoom_ != Zoom::PageWidth;
    c.edit().virtualWidth = static_cast<int>(naturalW_ * factor_);
    c.edit().virtualHeight = static_cast<int>(naturalH_ * factor_);
    if (current_ >= 1) c.loadImage(file(current_));
    c.setHidden(current_ < 1);
    w_.setStatusText(2, n_ > 0 ? "Page " + std::to_string(current_) + " of " + std::to_string(n_) : std::string());
    w_.setStatusText(3, names[z]);
    w_[MARK_PICTURE].setHidden(current_ < 1);
    w_[MARK_BOX].setHidden(current_ < 1);
    setMark(MARK_PICTURE, current_);
}

void Preview::setNavigation() {
    if (n_ <= 1) return;
    bool atStart = current_ <= 1;
    for (int id : {BUTTON_FIRST, BUTTON_PREVIOUS, ITEM_FIRST, ITEM_PREVIOUS}) w_[id].setEnabled(!atStart);
    bool atEnd = current_ + perScreen_ + (zoom_ == Zoom::Whole ? 0 : 1) > n_;
    for (int id : {BUTTON_NEXT, BUTTON_LAST, ITEM_NEXT, ITEM_LAST}) w_[id].setEnabled(!atEnd);
}

void Preview::draw() {
    if (zoom_ == Zoom::Whole)
        drawGrid();
    else
        drawSingle();
    static const int items[] = {ITEM_NO_ZOOM,  ITEM_PAGE_WIDTH, ITEM_ZOOM_50, ITEM_ZOOM_75,
                                ITEM_ZOOM_100, ITEM_ZOOM_200,   ITEM_ZOOM_300};
    for (int i = 0; i < 7; ++i) w_[items[i]].setValue(i == static_cast<int>(zoom_) ? "1" : "0");
    w_[PAGE_SPIN].setValue(std::to_string(current_));
    int markX = std::max(0, width() - 30);
    w_[MARK_PICTURE].setPosition(markX, 0);
    w_[MARK_BOX].setPosition(markX, 0);
    setNavigation();
}

void Preview::previous() {
    if (zoom_ == Zoom::Whole)
        current_ = std::max(1, current_ - perScreen_);
    else if (current_ > 1)
        --current_;
}

void Preview::next() {
    if (zoom_ == Zoom::Whole) {
        if (current_ + perScreen_ <= n_) current_ += perScreen_;
    } else if (current_ < n_) {
        ++current_;
    }
}

void Preview::last() {
    if (zoom_ == Zoom::Whole)
        current_ = std::max(1, n_ - perScreen_ + 1);
    else
        current_ = n_;
}

void Preview::goTo(int page) {
    if (n_ == 0) return;
    current_ = std::clamp(page, 1, n_);
}

void Preview::toggle(int page) {
    if (page < 1 || page > n_) return;
    auto& m = marks_[static_cast<std::size_t>(page - 1)];
    m = m ? 0 : 1;
}

void Preview::markAll(bool on) { std::fill(marks_.begin(), marks_.end(), on ? 1 : 0); }

void Preview::keyPressed(int keyCode, bool& redraw) {
    switch (rt::keys::baseKey(keyCode)) {
    case rt::keys::PgUp: previous(); return;
    case rt::keys::PgDn: next(); return;
    case rt::keys::KeypadMinus: zoom_ = Zoom::Whole; return;
    case rt::keys::KeypadPlus: zoom_ = Zoom::PageWidth; return;
    default: break;
    }
    redraw = false;
    if (!singleExists_) return;
    // Scrolling moves the single page only; nothing else changes.
    auto& s = w_[SINGLE_PAGE].edit();
    int maxY = std::max(0, s.virtualHeight - s.height);
    int maxX = std::max(0, s.virtualWidth - s.width);
    switch (rt::keys::baseKey(keyCode)) {
    case rt::keys::Home: s.scrollY = 0; break;
    case rt::keys::End: s.scrollY = maxY; break;
    case rt::keys::Up: s.scrollY = std::max(0, s.scrollY - 25); break;
    case rt::keys::Down: s.scrollY = std::min(maxY, s.scrollY + 25); break;
    case rt::keys::Left: s.scrollX = std::max(0, s.scrollX - 25); break;
    case rt::keys::Right: s.scrollX = std::min(maxX, s.scrollX + 25); break;
    default: break;
    }
}

void Preview::startThumbnail(int page) {
    closeThumbnail(thumbnail_);
    const auto& p = w_.props();
    ThumbnailData.set({file(page), p.x, p.y, width(), height(), w_.current().y});
    thumbnail_ = rt::startThread([] { ThumbnailWindow(); });
}

std::int32_t Preview::run() {
    build();
    n_ = static_cast<int>(pages_.size());
    current_ = n_ ? 1 : 0;
    across_ = down_ = 1;
    perScreen_ = 0;
    marks_.assign(static_cast<std::size_t>(n_), 1);
    bool firstDraw = true;
    while (auto e = w_.accept()) {
        if (e.event == Event::OpenWindow) {
            opened();
            firstDraw = false;
            continue;
        }
        if (firstDraw) continue;
        bool redraw = true;
        switch (e.event) {
        case Event::Accepted:
        case Event::NewSelection:
        case Event::AlertKey:
        case Event::MouseDown: redraw = controlEvent(e); break;
        case Event::MouseIn:
            redraw = false;
            slotEntered(e.control);
            break;
        case Event::MouseOut:
            redraw = false;
            if (e.control >= FIRST_SLOT) closeThumbnail(thumbnail_);
            break;
        case Event::Sized:
        case Event::Maximized:
        case Event::Restored: break;
        default: redraw = false;
        }
        if (redraw) draw();
    }
    closeThumbnail(thumbnail_);
    return finish();
}

// The first drawing: one page needs no navigation.
void Preview::opened() {
    measure();
    if (n_ <= 1) {
        for (int id = BUTTON_FIRST; id <= BUTTON_THUMBNAILS; ++id) w_[id].disable();
        w_[PAGE_SPIN].disable();
        w_[MENU_VIEW].disable();
    } else {
        w_[PAGE_SPIN].setRange(1, n_).setTip("From page number 1 to " + std::to_string(n_));
    }
    zoom_ = Zoom::Whole;
    draw();
}

bool Preview::controlEvent(const rt::EventInfo& e) {
    const int c = e.control;
    if (e.event == Event::AlertKey && rt::keys::baseKey(e.keyCode) < rt::keys::MouseLeft) {
        bool redraw = true;
        keyPressed(e.keyCode, redraw);
        return redraw;
    }
    if (c == PAGE_SPIN) {
        if (e.event != Event::AlertKey) goTo(spinNumber(e.value));
        return true;
    }
    if (c == SINGLE_PAGE && isLeftClick(e)) {
        zoom_ = Zoom::Whole;
        return true;
    }
    if (c == MARK_BOX && isLeftClick(e)) {
        toggle(current_);
        return true;
    }
    if (c >= FIRST_SLOT && c < FIRST_SLOT + 4 * slots_ && isLeftClick(e)) return slotClicked(c);
    return buttonOrItem(c, e.event);
}

// The menu items and their toolbar buttons.
bool Preview::buttonOrItem(int c, Event event) {
    const bool accepted = event == Event::Accepted;
    if (c == ITEM_PRINT || c == BUTTON_PRINT || c == ITEM_EXIT || c == BUTTON_EXIT) {
        if (!accepted) return true;
        print_ = c == ITEM_PRINT || c == BUTTON_PRINT;
        w_.post(Event::CloseWindow);
        return false;
    }
    if (!accepted) return false;
    if (c == ITEM_FIRST || c == BUTTON_FIRST) {
        first();
    } else if (c == ITEM_PREVIOUS || c == BUTTON_PREVIOUS) {
        previous();
    } else if (c == ITEM_NEXT || c == BUTTON_NEXT) {
        next();
    } else if (c == ITEM_LAST || c == BUTTON_LAST) {
        last();
    } else if (c == ITEM_MARK_ALL || c == BUTTON_MARK_ALL) {
        markAll(true);
    } else if (c == ITEM_UNMARK_ALL || c == BUTTON_UNMARK_ALL) {
        markAll(false);
    } else if (c == ITEM_JUMP || c == BUTTON_JUMP) {
        if (n_ > 0) goTo(JumpToPageWindow(current_, n_));
    } else if (c == ITEM_THUMBNAILS) {
        PageGridWindow(across_, down_);
        zoom_ = Zoom::Whole;
    } else if (c == BUTTON_THUMBNAILS) {
        PageGridPicker(across_, down_);
        zoom_ = Zoom::Whole;
    } else if (c == BUTTON_ZOOM) {
        zoomPopup();
    } else if (c >= ITEM_NO_ZOOM && c <= ITEM_ZOOM_300) {
        zoomItem(c);
    } else {
        return false;
    }
    return true;
}

// "-No Zoom|-|-Page Width|-50%|-75%|-100%|-200%|-300%", the current mode with "+".
void Preview::zoomPopup() {
    static const char* names[] = {"No Zoom", "Page Width", "50%", "75%", "100%", "200%", "300%"};
    std::string def;
    for (int i = 0; i < 7; ++i) {
        def += (i == static_cast<int>(zoom_) ? "+" : "-") + std::string(names[i]);
        if (i < 6) def += i == 0 ? "|-|" : "|";
    }
    int chosen = rt::popup(def);
    if (chosen >= 1 && chosen <= 7) zoom_ = static_cast<Zoom>(chosen - 1);
}

void Preview::zoomItem(int c) {
    static const std::pair<int, Zoom> map[] = {{ITEM_NO_ZOOM, Zoom::Whole}, {ITEM_PAGE_WIDTH, Zoom::PageWidth},
                                               {ITEM_ZOOM_50, Zoom::P50},   {ITEM_ZOOM_75, Zoom::P75},
                                               {ITEM_ZOOM_100, Zoom::P100}, {ITEM_ZOOM_200, Zoom::P200},
                                               {ITEM_ZOOM_300, Zoom::P300}};
    for (auto& [id, z] : map)
        if (id == c) zoom_ = z;
}

// A page of the grid: its picture shows it alone, its area marks or unmarks it.
bool Preview::slotClicked(int c) {
    int k = (c - FIRST_SLOT) / 4 + 1;
    int page = current_ + k - 1;
    if (c == slotPicture(k)) {
        current_ = page;
        zoom_ = Zoom::PageWidth;
        return true;
    }
    if (c == slotArea(k)) {
        toggle(page);
        return true;
    }
    return false;
}

// The mouse over a page of the grid shows it larger beside the window.
void Preview::slotEntered(int c) {
    if (c >= FIRST_SLOT && c < FIRST_SLOT + 4 * slots_ && c == slotArea((c - FIRST_SLOT) / 4 + 1)) {
        int page = current_ + (c - FIRST_SLOT) / 4;
        if (page >= 1 && page <= n_) startThumbnail(page);
    }
}

// Printing keeps the marked pages; the result is the current page's place among them.
std::int32_t Preview::finish() {
    std::int32_t result = 0;
    if (print_) {
        int cur = current_;
        rt::PreviewQueue kept;
        int position = 0;
        for (int p = 1; p <= n_; ++p) {
            if (marks_[static_cast<std::size_t>(p - 1)]) {
                kept.push_back(pages_[static_cast<std::size_t>(p - 1)]);
                ++position;
                if (p == current_) cur = position;
            } else if (p == current_) {
                cur = 0;
            }
        }
        pages_ = std::move(kept);
        result = cur;
        rt::ThreadResponse = 1;
    } else {
        rt::ThreadResponse = 2;
    }
    // The page number does not fit the byte of the request; it is the result instead.
    rt::ThreadRequest = 0;
    return result;
}

}  // namespace

std::int32_t ReportPreview(rt::PreviewQueue& pages) {
    rt::ProcedureName procedure("ReportPreview");
    rt::ThreadRequest = 0;
    rt::ThreadResponse = 0;
    if (pages.empty()) {
        // No page to show: no window, nothing to print.
        rt::ThreadResponse = 2;
        return 0;
    }
    return Preview(pages).run();
}

std::int32_t JumpToPageWindow(std::int32_t currentPage, std::int32_t pageCount) {
    rt::Window w("JumpToPageWindow", "Jump to page number");
    w.setPosition(0, 0, 120, 50).edit().centered = true;
    int high = std::max(1, pageCount);
    std::int32_t page = std::clamp(currentPage, 1, high);
    w.add(JUMP_PROMPT, ControlKind::Prompt).setText("&Page:").setPosition(6, 8, 25, 10);
    w.add(JUMP_SPIN, ControlKind::Spin)
        .setPicture("n5")
        .setRange(1, high)
        .setValue(std::to_string(page))
        .setPosition(32, 6, 40, 12);
    w.add(JUMP_HINT, ControlKind::String)
        .setText("Select page 1 to " + std::to_string(pageCount))
        .setPosition(6, 22, 110, 10);
    w.add(JUMP_OK, ControlKind::Button).setText("OK").setPosition(20, 34, 40, 12).edit().defaultButton = true;
    w.add(JUMP_CANCEL, ControlKind::Button).setText("Cancel").setPosition(64, 34, 40, 12);
    std::int32_t result = currentPage;
    while (auto e = w.accept()) {
        if ((e.event == Event::Accepted || e.event == Event::NewSelection) && e.control == JUMP_SPIN) {
            page = std::clamp(spinNumber(e.value), 1, high);
            w[JUMP_SPIN].setValue(std::to_string(page));
        } else if (e.event == Event::Accepted && e.control == JUMP_OK) {
            result = page;
            w.post(Event::CloseWindow);
        } else if (e.event == Event::Accepted && e.control == JUMP_CANCEL) {
            w.post(Event::CloseWindow);
        }
    }
    return result;
}

void PageGridWindow(std::int32_t& across, std::int32_t& down) {
    rt::Window w("PageGridWindow", "Number of pages to show");
    w.setPosition(0, 0, 140, 80).edit().centered = true;
    int h = std::clamp<int>(across, 1, 14), v = std::clamp<int>(down, 1, 6);
    w.add(GRID_GROUP_H, ControlKind::Group).setText("horizontal").setPosition(4, 4, 64, 50);
    w.add(GRID_SPIN_H, ControlKind::Spin, GRID_GROUP_H)
        .setPicture("N2")
        .setRange(1, 14)
        .setValue(std::to_string(h))
        .setPosition(10, 16, 30, 12);
    w.add(GRID_HINT_H, ControlKind::String, GRID_GROUP_H)
        .setText("Select from 1 to 14 pages")
        .setPosition(8, 32, 58, 18);
    w.add(GRID_GROUP_V, ControlKind::Group).setText("Vertical").setPosition(72, 4, 64, 50);
    w.add(GRID_SPIN_V, ControlKind::Spin, GRID_GROUP_V)
        .setPicture("N2")
        .setRange(1, 6)
        .setValue(std::to_string(v))
        .setPosition(78, 16, 30, 12);
    w.add(GRID_HINT_V, ControlKind::String, GRID_GROUP_V)
        .setText("Select from 1 to 6 pages")
        .setPosition(76, 32, 58, 18);
    w.add(GRID_OK, ControlKind::Button).setText("OK").setPosition(30, 60, 40, 12).edit().defaultButton = true;
    w.add(GRID_CANCEL, ControlKind::Button).setText("Cancel").setPosition(74, 60, 40, 12);
    while (auto e = w.accept()) {
        if (e.event != Event::Accepted && e.event != Event::NewSelection) continue;
        if (e.control == GRID_SPIN_H) {
            h = std::clamp(spinNumber(e.value), 1, 14);
            w[GRID_SPIN_H].setValue(std::to_string(h));
        } else if (e.control == GRID_SPIN_V) {
            v = std::clamp(spinNumber(e.value), 1, 6);
            w[GRID_SPIN_V].setValue(std::to_string(v));
        } else if (e.control == GRID_OK && e.event == Event::Accepted) {
            across = h;
            down = v;
            w.post(Event::CloseWindow);
        } else if (e.control == GRID_CANCEL && e.event == Event::Accepted) {
            w.post(Event::CloseWindow);
        }
    }
}

void PageGridPicker(std::int32_t& across, std::int32_t& down) {
    rt::Window w("PageGridPicker", "");
    // Under the pointer, 5 units right of it and 20 above, holding the mouse until a choice.
    w.setHidden(true).setPopup(rt::PopupKind::Chooser).setAtMouse(5, -20);
    w.edit().resizable = false;
    int h = std::clamp<int>(across, 1, 14), v = std::clamp<int>(down, 1, 6);
    for (int r = 1; r <= 6; ++r)
        for (int c = 1; c <= 14; ++c) {
            w.add(pickerBox(c, r), ControlKind::Box).setPosition(c * 11 - 10, r * 11 - 10, 10, 10);
            w.add(pickerCell(c, r), ControlKind::Region)
                .setPosition(c * 11 - 10, r * 11 - 10, 10, 10)
                .setTip(std::to_string(c) + " x " + std::to_string(r) + " = " + std::to_string(c * r))
                .setImmediate(true);
        }
    auto paint = [&] {
        for (int r = 1; r <= 6; ++r)
            for (int c = 1; c <= 14; ++c)
                w[pickerBox(c, r)].setBackground(c <= h && r <= v ? rt::Color{0x800000} : rt::rgb(255, 255, 255));
        int width = h < 13 ? (h + 2) * 11 + 3 : 157;
        int height = v < 5 ? (v + 2) * 11 + 3 : 69;
        w.setSize(width, height);
    };
    auto cellOf = [](int id, int& c, int& r) {
        if (id < pickerBox(1, 1) || id > pickerCell(14, 6)) return false;
        int index = (id - 1) / 2;
        c = index % 14 + 1;
        r = index / 14 + 1;
        return true;
    };
    while (auto e = w.accept()) {
        int c = 0, r = 0;
        if (e.event == Event::OpenWindow) {
            paint();
            w.setHidden(false);
        } else if (e.event == Event::MouseIn && cellOf(e.control, c, r)) {
            h = c;
            v = r;
            paint();
        } else if (e.event == Event::MouseUp && cellOf(e.control, c, r)) {
            if (rt::keys::baseKey(e.keyCode) == rt::keys::MouseLeftUp ||
                rt::keys::baseKey(e.keyCode) == rt::keys::MouseLeft) {
                across = c;
                down = r;
            }
            w.post(Event::CloseWindow);
        } else if (e.event == Event::Accepted && cellOf(e.control, c, r)) {
            across = c;
            down = r;
            w.post(Event::CloseWindow);
        }
    }
}

void ThumbnailWindow() {
    ThumbnailHandOver data = ThumbnailData.get();
    rt::Window w("ThumbnailWindow", "");
    w.setPopup(rt::PopupKind::Shown);
    int probe = w.create(ControlKind::Image);
    int natural = 0, naturalWidth = 0;
    if (w[probe].loadImage(data.file)) {
        natural = w[probe].naturalHeight();
        naturalWidth = w[probe].naturalWidth();
    }
    w.destroy(probe);
    int width = static_cast<int>(data.width * 0.58);
    int height = static_cast<int>(data.height / 2.2);
    int x = data.x + static_cast<int>(data.width * 0.570);
    int y = data.mouseY > data.height / 2.2 ? data.y + 50 : data.y + data.height - height + 20;
    w.setPosition(x, y, width, height);
    auto picture = w.add(THUMB_PICTURE, ControlKind::Image).setPosition(0, 0, width, static_cast<int>(natural / 5.1));
    picture.loadImage(data.file);
    // The page across the window's width, its upper part magnified.
    picture.edit().virtualWidth = width;
    picture.edit().virtualHeight =
        naturalWidth > 0 ? static_cast<int>(std::lround(1.0 * width * natural / naturalWidth)) : 0;
    while (w.accept()) {
    }
}

void installReportPreview() {
    rt::setPreviewProcedure([](rt::PreviewQueue& pages) {
        ReportPreview(pages);
        return rt::ThreadResponse == 1;
    });
}
