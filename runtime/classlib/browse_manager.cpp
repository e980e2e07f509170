#include "runtime/classlib/browse_manager.h"

#include <algorithm>
#include <cassert>

#include "runtime/classlib/error_manager.h"
#include "runtime/classlib/list_format_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/window.h"

namespace rt {

std::string fieldDisplayText(const FileManager& file, int field, std::string_view picture) {
    const RecordDesc& desc = file.desc();
    if (field < 0 || static_cast<std::size_t>(field) >= desc.fieldCount()) return {};
    const FieldDesc& f = desc.field(static_cast<std::size_t>(field));
    std::string_view pic = picture.empty() ? std::string_view(f.picture) : picture;
    FieldValue v = desc.get(file.buffer(), static_cast<std::size_t>(field));
    if (auto* i = std::get_if<std::int64_t>(&v)) return pic.empty() ? std::to_string(*i) : formatPicture(*i, pic);
    if (auto* d = std::get_if<DecimalValue>(&v))
        return formatPicture(*d, pic.empty() ? std::string_view("@n-20.4") : pic);
    const std::string& s = std::get<std::string>(v);
    return pic.empty() ? std::string(clip(s)) : formatPicture(std::string(clip(s)), pic);
}

namespace {

constexpr std::string_view kFormatsItem = "List &Formats";
constexpr std::string_view kSetupItem = "Format &Setup...";

}  // namespace

BrowseManager::BrowseManager(WindowController& controller, int listControl, ViewManager& view)
    : wc_(controller), window_(controller.window()), list_(listControl), view_(view), extras_(&controller.window()) {
    wc_.addComponent(*this);
    wc_.toolbar().setTarget(this);
}

BrowseManager::~BrowseManager() {
    if (window_.has(list_)) window_.control(list_).setListSource(nullptr);
    wc_.toolbar().removeTarget(this);
    wc_.removeComponent(*this);
    if (viewOpen_) view_.close();
}

BrowseColumn& BrowseManager::addColumn(std::string heading, int width, std::string_view fieldLabel, std::string picture,
                                       Justify justify) {
    BrowseColumn c;
    c.heading = std::move(heading);
    c.width = width;
    c.picture = std::move(picture);
    c.justify = justify;
    FileManager* file = &view_.primary();
    int field = file->desc().find(fieldLabel);
    if (field < 0) {
        for (FileManager* f : bufferFiles_) {
            field = f->desc().find(fieldLabel);
            if (field >= 0) {
                file = f;
                break;
            }
        }
    }
    assert(field >= 0 && "list column names no field of the list's tables");
    c.file = file;
    c.field = field;
    columns_.push_back(std::move(c));
    return columns_.back();
}

BrowseColumn& BrowseManager::addColumn(std::string heading, int width, std::function<std::string()> text,
                                       Justify justify) {
    BrowseColumn c;
    c.heading = std::move(heading);
    c.width = width;
    c.justify = justify;
    c.text = std::move(text);
    columns_.push_back(std::move(c));
    return columns_.back();
}

void BrowseManager::addBufferFile(FileManager& file) { bufferFiles_.push_back(&file); }

int BrowseManager::addSortOrder(BrowseSortOrder order) {
    orders_.push_back(std::move(order));
    if (order_ == 0) order_ = 1;
    return static_cast<int>(orders_.size());
}

void BrowseManager::setSheet(int sheetControl) { sheet_ = sheetControl; }

void BrowseManager::setButtons(int insert, int change, int del, int select) {
    insert_ = insert;
    change_ = change;
    delete_ = del;
    select_ = select;
}

void BrowseManager::setCloseButton(int control) { close_ = control; }

void BrowseManager::setPrintButton(int control, int procedure) {
    print_ = control;
    printProcedure_ = procedure;
}

void BrowseManager::setFormProcedure(int procedure) { formProcedure_ = procedure; }
void BrowseManager::setListFormats(ListFormatManager* formats) {
    formats_ = formats;
    if (formats_) formats_->onSortOrder = [this](int order) { setSortOrder(order); };
}

bool BrowseManager::selectMode() const { return wc_.request() == request::Select; }
bool BrowseManager::viewOnly() const { return wc_.request() == request::View; }

const BrowseSortOrder* BrowseManager::currentOrder() const {
    if (order_ < 1 || order_ > static_cast<int>(orders_.size())) return nullptr;
    return &orders_[static_cast<std::size_t>(order_ - 1)];
}

int BrowseManager::selectedRow() const { return window_.control(list_).selected(); }

// ---- Set-up and close -----------------------------------------------------------------------

int BrowseManager::init() {
    std::vector<ListColumn> cols;
    for (const auto& c : columns_) {
        ListColumn lc(c.heading, c.width, c.justify);
        lc.headingJustify = c.headingJustify;
        lc.picture = c.picture;
        lc.resizable = c.resizable;
        cols.push_back(std::move(lc));
    }
    window_.control(list_).setColumns(std::move(cols));
    window_.control(list_).setListSource(&shown_);
    if (select_) window_.control(select_).setHidden(!selectMode());
    if (close_) wc_.addCloseButton(close_, selectMode() ? response::Cancelled : response::Completed);
    if (sheet_ && order_ > 0) {
        // The first tab's order is the default.
        window_.control(sheet_).setSelected(1);
    }
    window_.alert(keys::MouseRight);
    window_.alert(keys::Apps);
    return 0;
}

void BrowseManager::opened() {
    applyOrder();
    if (!viewOpen_) {
        if (view_.open() != 0) {
            wc_.errors().throwFile(view_.primary().label());
            return;
        }
        viewOpen_ = true;
    }
    reset(false);
    updateAlerts(window_.focus() ? window_.focus() : list_);
}

void BrowseManager::closeView() {
    if (!viewOpen_) return;
    view_.close();
    viewOpen_ = false;
}

int BrowseManager::reopenView() {
    if (!viewOpen_) {
        if (int rc = view_.open(); rc != 0) return rc;
        viewOpen_ = true;
    }
    return reset(false);
}

void BrowseManager::kill() {
    if (viewOpen_) {
        view_.close();
        viewOpen_ = false;
    }
}

// ---- Loading --------------------------------------------------------------------------------

void BrowseManager::setFilter(ViewPredicate filter) {
    filter_ = std::move(filter);
    applyOrder();
}

void BrowseManager::applyOrder() {
    const BrowseSortOrder* o = currentOrder();
    if (o && !o->key.empty())
        view_.setOrderKey(view_.primary().keyIndex(o->key));
    else if (o && !o->order.empty())
        view_.setOrder(o->order);
    ViewPredicate own = filter_;
    ViewPredicate order = o ? o->filter : ViewPredicate();
    if (own && order)
        view_.setFilter([own, order] { return own() && order(); });
    else
        view_.setFilter(own ? own : order);
}

std::string BrowseManager::identityOfBuffer() const {
    const FileManager& fm = view_.primary();
    int key = fm.def().identifyingKey();
    std::string out;
    if (key < 0) {
        for (std::size_t i = 0; i < fm.desc().fieldCount(); ++i) out += fm.desc().text(fm.buffer(), i) + '\x1f';
        return out;
    }
    for (int f : fm.def().keys[static_cast<std::size_t>(key)].components)
        out += upper(clip(fm.desc().text(fm.buffer(), static_cast<std::size_t>(f)))) + '\x1f';
    return out;
}

bool BrowseManager::locatorNumeric() const {
    const BrowseSortOrder* o = currentOrder();
    if (!o || o->locatorField.empty()) return false;
    int f = view_.primary().desc().find(o->locatorField);
    if (f < 0) return false;
    auto t = view_.primary().desc().field(static_cast<std::size_t>(f)).type;
    return t != FieldType::String && t != FieldType::CString && t != FieldType::Memo && t != FieldType::Blob;
}

std::string BrowseManager::locateValueOfBuffer() const {
    const BrowseSortOrder* o = currentOrder();
    if (!o || o->locator == Locator::None || o->locatorField.empty()) return {};
    int f = view_.primary().desc().find(o->locatorField);
    if (f < 0) return {};
    return upper(clip(view_.primary().desc().text(view_.primary().buffer(), static_cast<std::size_t>(f))));
}

bool BrowseManager::loadOne() {
    if (end_ || !viewOpen_) return false;
    if (view_.next() != 0) {
        end_ = true;
        return false;
    }
    Entry e;
    e.buffers.push_back(view_.primary().saveBuffer());
    for (FileManager* f : bufferFiles_) e.buffers.push_back(f->saveBuffer());
    e.locate = locateValueOfBuffer();
    e.identity = identityOfBuffer();
    entries_.push_back(std::move(e));
    return true;
}

void BrowseManager::publishRows(std::size_t from) {
    while (rows_.records() > from) rows_.erase(rows_.records());
    for (std::size_t i = from; i < entries_.size(); ++i) {
        restoreEntry(entries_[i]);
        ListRow row;
        for (const auto& c : columns_) {
            if (c.text)
                row.cells.emplace_back(c.text());
            else
                row.cells.emplace_back(fieldDisplayText(*c.file, c.field, c.picture));
        }
        ++loadCount_;
        if (onRowLoaded) onRowLoaded(row, loadCount_);
        rows_.add(std::move(row));
    }
}

void BrowseManager::loadUntil(int rows) {
    std::size_t from = entries_.size();
    while (static_cast<int>(entries_.size()) < rows && loadOne()) {
    }
    if (entries_.size() > from) publishRows(from);
}

void BrowseManager::restoreEntry(const Entry& e) {
    view_.primary().restoreBuffer(e.buffers[0]);
    for (std::size_t i = 0; i < bufferFiles_.size() && i + 1 < e.buffers.size(); ++i)
        bufferFiles_[i]->restoreBuffer(e.buffers[i + 1]);
}

int BrowseManager::reset(bool keepCurrent) {
    if (!viewOpen_) return 0;
    int oldRow = selectedRow();
    std::string identity = keepCurrent ? identityOfBuffer() : std::string();
    // The buffers as they were, so that reading the list does not change what the procedure holds.
    SavedBuffer held = view_.primary().saveBuffer();
    std::vector<SavedBuffer> heldOthers;
    for (FileManager* f : bufferFiles_) heldOthers.push_back(f->saveBuffer());
    entries_.clear();
    end_ = false;
    rows_.free();
    int rc = view_.reset();
    int want = std::max(pageSize_, keepCurrent ? oldRow : 1);
    loadUntil(want);
    int row = 0;
    if (keepCurrent && !identity.empty()) {
        for (;;) {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].identity == identity) row = static_cast<int>(i) + 1;
            if (row || end_) break;
            loadUntil(static_cast<int>(entries_.size()) + pageSize_);
        }
    }
    if (!row) row = std::min(std::max(oldRow, 1), rowsLoaded());
    view_.primary().restoreBuffer(held);
    for (std::size_t i = 0; i < bufferFiles_.size(); ++i) bufferFiles_[i]->restoreBuffer(heldOthers[i]);
    window_.control(list_).setSelected(row);
    if (row > 0) restoreEntry(entries_[static_cast<std::size_t>(row) - 1]);
    updateButtons();
    return rc;
}

void BrowseManager::selectRow(int row) {
    if (row < 1) row = 1;
    if (row > rowsLoaded()) loadUntil(row + 1);
    row = std::min(row, rowsLoaded());
    window_.control(list_).setSelected(row);
    if (row >= rowsLoaded() && !end_) loadUntil(rowsLoaded() + pageSize_);
    if (row > 0) restoreEntry(entries_[static_cast<std::size_t>(row) - 1]);
    updateButtons();
}

int BrowseManager::fetchSelected() {
    int row = selectedRow();
    if (row < 1 || row > rowsLoaded()) return ErrRecordNotAvailable;
    restoreEntry(entries_[static_cast<std::size_t>(row) - 1]);
    FileManager& fm = view_.primary();
    int key = fm.def().identifyingKey();
    if (key < 0) return 0;
    return fm.fetch(key);
}

void BrowseManager::setSortOrder(int order) {
    if (order < 1 || order > static_cast<int>(orders_.size())) return;
    order_ = order;
    if (sheet_) {
        const auto& o = orders_[static_cast<std::size_t>(order - 1)];
        if (o.tab) {
            auto tabs = window_.childrenOf(sheet_);
            int n = 0;
            for (int id : tabs) {
                if (window_.control(id).state().kind != ControlKind::Tab) continue;
                ++n;
                if (id == o.tab && window_.control(sheet_).selected() != n) window_.control(sheet_).setSelected(n);
            }
        }
    }
    if (formats_) formats_->setSortOrder(order);
    typed_.clear();
    applyOrder();
    reset(true);
    updateAlerts(window_.focus() ? window_.focus() : list_);
}

// ---- Locators -------------------------------------------------------------------------------

bool BrowseManager::locate(std::string_view text) {
    const BrowseSortOrder* o = currentOrder();
    if (!o) return false;
    std::string want = upper(trimBlanks(text));
    bool numeric = locatorNumeric();
    long long wantNumber = profileNumber(want);
    auto atOrAfter = [&](const Entry& e) {
        if (numeric) return profileNumber(e.locate) >= wantNumber;
        return compareTrimmed(e.locate, want) >= 0 || e.locate.rfind(want, 0) == 0;
    };
    std::size_t i = 0;
    for (;;) {
        for (; i < entries_.size(); ++i)
            if (atOrAfter(entries_[i])) {
                selectRow(static_cast<int>(i) + 1);
                return true;
            }
        if (end_) break;
        loadUntil(rowsLoaded() + pageSize_);
        if (i >= entries_.size() && end_) break;
    }
    if (entries_.empty()) return false;
    selectRow(rowsLoaded());
    return true;
}

void BrowseManager::updateAlerts(int focus) {
    // Keys the list reacts to while it has the focus (window-wide alerts would take them from
    // the entries): its action keys and the characters of a locator without an entry.
    const BrowseSortOrder* o = currentOrder();
    bool onList = focus == list_;
    bool chars = onList && o && (o->locator == Locator::Step || o->locator == Locator::Incremental);
    bool actions = onList && !viewOnly();
    auto set = [&](int code, bool on) {
        if (on)
            window_.alert(code);
        else
            window_.removeAlert(code);
    };
    if (chars != alerted_) {
        alerted_ = chars;
        for (int c = 'A'; c <= 'Z'; ++c) set(c, chars);
        for (int c = '0'; c <= '9'; ++c) set(c, chars);
        set(keys::Space, chars);
        set(keys::Backspace, chars);
    }
    if (actions != actionKeys_) {
        actionKeys_ = actions;
        if (insert_) set(keys::Insert, actions);
        if (delete_) set(keys::Delete, actions);
        if (change_ || select_) set(keys::Enter, actions);
    }
}

// ---- Buttons and forms ----------------------------------------------------------------------

bool BrowseManager::usable(int control) const {
    return control && window_.has(control) && window_.control(control).enabled() && !window_.control(control).hidden();
}

void BrowseManager::updateButtons() {
    bool any = rowsLoaded() > 0;
    for (int b : {change_, delete_, select_, print_})
        if (b && window_.has(b)) window_.control(b).setEnabled(any);
}

std::uint8_t BrowseManager::ask(std::uint8_t request) {
    if (viewOnly()) return response::Cancelled;
    if (beforeForm && !beforeForm(request)) return response::Cancelled;
    if (request != request::Insert) {
        if (int rc = fetchSelected(); rc != 0) {
            wc_.errors().throwFile(rc, view_.primary().label());
            reset(false);
            return response::Cancelled;
        }
    }
    std::uint8_t r = response::None;
    for (;;) {
        ThreadVcrRequest = vcr::None;
        r = wc_.callProcedure(formProcedure_, request);
        int move = ThreadVcrRequest;
        ThreadVcrRequest = vcr::None;
        if (move == vcr::None || request != request::Change || r != response::Completed) break;
        reset(true);
        int row = selectedRow();
        int to = row;
        switch (move) {
        case vcr::Top: to = 1; break;
        case vcr::PageUp: to = row - pageSize_; break;
        case vcr::Up: to = row - 1; break;
        case vcr::Down: to = row + 1; break;
        case vcr::PageDown: to = row + pageSize_; break;
        case vcr::Bottom:
            loadUntil(1 << 30);
            to = rowsLoaded();
            break;
        default: break;
        }
        selectRow(std::max(to, 1));
        if (selectedRow() == row || fetchSelected() != 0) break;
    }
    reset(true);
    if (afterForm) afterForm(request, r);
    return r;
}

void BrowseManager::takeSelect() {
    if (fetchSelected() != 0) return;
    wc_.close(response::Completed);
}

// ---- Popup ----------------------------------------------------------------------------------

void BrowseManager::buildPopup(PopupMenu& menu) {
    menu.clear();
    menu.setWindow(&window_);
    if (!viewOnly()) {
        if (insert_) menu.addItemMimic("Insert", insert_);
        if (change_) menu.addItemMimic("Change", change_);
        if (delete_) menu.addItemMimic("Delete", delete_);
    }
    if (select_ && selectMode()) menu.addItemMimic("Select", select_);
    menu.append(extras_);
    if (formats_) {
        menu.addSeparator();
        menu.addItem(std::string(kFormatsItem), "ListFormats");
        menu.addItem(std::string(kSetupItem), "FormatSetup");
    }
}

std::vector<std::string> BrowseManager::popupNames() {
    PopupMenu menu;
    buildPopup(menu);
    return menu.shownNames();
}

void BrowseManager::showPopup(int x, int y) {
    PopupMenu menu;
    buildPopup(menu);
    std::string chosen = menu.ask(x, y);
    if (chosen == "ListFormats" && formats_) {
        PopupMenu layouts(&window_);
        for (const auto& f : formats_->storedFormats()) layouts.addItem(f, f);
        layouts.addItem(std::string(ListFormatManager::DefaultFormat), std::string(ListFormatManager::DefaultFormat));
        std::string layout = layouts.ask(x, y);
        if (!layout.empty()) formats_->applyFormat(layout);
    } else if (chosen == "FormatSetup" && formats_) {
        formats_->setupDialog();
    } else if (!chosen.empty() && onPopupItem && extras_.hasItem(chosen) && !extras_.isMimic(chosen)) {
        onPopupItem(chosen);  // the procedure's own item (mimic items have pressed their button)
    }
}

// ---- Events ---------------------------------------------------------------------------------

bool BrowseManager::takeEvent(const EventInfo& e) {
    if (e.event == Event::Selected) {
        updateAlerts(e.control);
        return false;
    }
    if (e.control == list_) {
        switch (e.event) {
        case Event::NewSelection: {
            int row = selectedRow();
            if (row >= rowsLoaded() - 1 && !end_) loadUntil(rowsLoaded() + pageSize_);
            if (row >= 1 && row <= rowsLoaded()) restoreEntry(entries_[static_cast<std::size_t>(row) - 1]);
            return false;
        }
        case Event::Accepted:
            if (e.keyCode == keys::MouseLeft2) {
                if (selectMode() && usable(select_))
                    takeSelect();
                else if (selectMode() && !select_)
                    takeSelect();
                else if (usable(change_) && !viewOnly())
                    ask(request::Change);
                return true;
            }
            return false;
        case Event::AlertKey: {
            int code = e.keyCode;
            if (code == keys::MouseRight || code == keys::Apps) {
                showPopup(code == keys::MouseRight ? e.x : -1, code == keys::MouseRight ? e.y : -1);
                return true;
            }
            if (code == keys::Insert && usable(insert_) && !viewOnly()) {
                ask(request::Insert);
                return true;
            }
            if (code == keys::Delete && usable(delete_) && !viewOnly()) {
                ask(request::Delete);
                return true;
            }
            if (code == keys::Enter) {
                if (selectMode() && (usable(select_) || !select_))
                    takeSelect();
                else if (usable(change_) && !viewOnly())
                    ask(request::Change);
                return true;
            }
            const BrowseSortOrder* o = currentOrder();
            if (!o) return false;
            int base = keys::baseKey(code);
            if (o->locator == Locator::Incremental && base == keys::Backspace) {
                if (!typed_.empty()) typed_.pop_back();
                if (!typed_.empty()) locate(typed_);
                return true;
            }
            bool printable = (base >= 'A' && base <= 'Z') || (base >= '0' && base <= '9') || base == keys::Space;
            if (!printable) return false;
            char ch = static_cast<char>(base);
            if (o->locator == Locator::Step)
                typed_ = std::string(1, ch);
            else if (o->locator == Locator::Incremental)
                typed_ += ch;
            else
                return false;
            locate(typed_);
            return true;
        }
        default: return false;
        }
    }
    if (sheet_ && e.control == sheet_ && e.event == Event::NewSelection) {
        int tab = window_.control(sheet_).selected();
        int n = 0;
        for (int id : window_.childrenOf(sheet_)) {
            if (window_.control(id).state().kind != ControlKind::Tab) continue;
            if (++n != tab) continue;
            for (std::size_t i = 0; i < orders_.size(); ++i)
                if (orders_[i].tab == id) setSortOrder(static_cast<int>(i) + 1);
        }
        return false;
    }
    if (e.event == Event::Accepted) {
        const BrowseSortOrder* o = currentOrder();
        if (o && o->locator == Locator::Entry && e.control == o->locatorControl) {
            locate(window_.control(e.control).value());
            if (!o->keepText) window_.control(e.control).setValue("");
            window_.select(list_);
            return true;
        }
        if (e.control == 0) return false;
        if (e.control == insert_ && insert_) {
            ask(request::Insert);
            return true;
        }
        if (e.control == change_ && change_) {
            ask(request::Change);
            return true;
        }
        if (e.control == delete_ && delete_) {
            ask(request::Delete);
            return true;
        }
        if (e.control == select_ && select_) {
            takeSelect();
            return true;
        }
        if (e.control == print_ && print_) {
            if (fetchSelected() == 0) wc_.callProcedure(printProcedure_, request::Process);
            return true;
        }
    }
    return false;
}

bool BrowseManager::takeToolbar(int button) {
    int row = selectedRow();
    switch (button) {
    case toolbar::Insert:
        if (usable(insert_) && !viewOnly()) ask(request::Insert);
        return true;
    case toolbar::Change:
        if (usable(change_) && !viewOnly()) ask(request::Change);
        return true;
    case toolbar::Delete:
        if (usable(delete_) && !viewOnly()) ask(request::Delete);
        return true;
    case toolbar::Top: selectRow(1); return true;
    case toolbar::PageUp: selectRow(row - pageSize_); return true;
    case toolbar::Up: selectRow(row - 1); return true;
    case toolbar::Down: selectRow(row + 1); return true;
    case toolbar::PageDown: selectRow(row + pageSize_); return true;
    case toolbar::Bottom:
        loadUntil(1 << 30);
        selectRow(rowsLoaded());
        return true;
    case toolbar::Locate: {
        const BrowseSortOrder* o = currentOrder();
        window_.select(o && o->locatorControl ? o->locatorControl : list_);
        return true;
    }
    default: return false;
    }
}

}  // namespace rt
