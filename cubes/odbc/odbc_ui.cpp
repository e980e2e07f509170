// The data set's windows: its virtual list, the statement window, the boxes, the progress window.
#include <cctype>

#include "cubes/odbc/odbc_class.h"
#include "cubes/odbc/odbc_list_feed.h"
#include "runtime/text/picture.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/display.h"
#include "runtime/ui/window.h"

namespace {

rt::MessageIcon iconOf(OdbcIcon icon) {
    return icon == OdbcIcon::Question ? rt::MessageIcon::Question : rt::MessageIcon::Information;
}

class ProgressWindow : public OdbcProgress {
public:
    enum { PROGRESS = 1, MARK0, MARK50, MARK100, CANCEL };

    ProgressWindow(const std::string& title, int maximum) : w_("ExportCsvProgress", title) {
        w_.setPosition(0, 0, 200, 52);
        w_.edit().centered = true;
        w_.add(PROGRESS, rt::ControlKind::Progress).setPosition(8, 8, 184, 10).setRange(0, maximum);
        w_.add(MARK0, rt::ControlKind::String).setPosition(8, 20, 20, 8).setText("0%");
        w_.add(MARK50, rt::ControlKind::String).setPosition(92, 20, 20, 8).setText("50%");
        w_.add(MARK100, rt::ControlKind::String).setPosition(172, 20, 20, 8).setText("100%");
        w_.add(CANCEL, rt::ControlKind::Button).setPosition(76, 32, 48, 14).setText("Abbrechen");
        w_.open();
    }
    ~ProgressWindow() override { w_.close(); }

    void move(int position) override {
        w_[PROGRESS].setValue(std::to_string(position));
        w_.flush();
    }

private:
    rt::Window w_;
};

bool isJustifyLetter(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c == 'L' || c == 'R' || c == 'C' || c == 'D';
}

rt::Justify justifyOf(char c) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
    case 'R': return rt::Justify::Right;
    case 'C': return rt::Justify::Center;
    case 'D': return rt::Justify::Decimal;
    default: return rt::Justify::Left;
    }
}

// Reads "(n)" at pos when it is there.
int readIndent(std::string_view f, std::size_t& pos) {
    if (pos >= f.size() || f[pos] != '(') return 0;
    std::size_t close = f.find(')', pos);
    if (close == std::string_view::npos) return 0;
    int n = std::atoi(std::string(f.substr(pos + 1, close - pos - 1)).c_str());
    pos = close + 1;
    return n;
}

}  // namespace

// ---- boxes, dialogs, progress ---------------------------------------------------------------

int odbcShowMessage(const OdbcMessage& box) {
    OdbcHooks h = odbcHooks();
    if (h.message) return h.message(box);
    // The box's own line ends become the runtime's line marks.
    std::string text;
    for (std::size_t i = 0; i < box.text.size(); ++i) {
        if (box.text.compare(i, 2, "\r\n") == 0) {
            text.push_back('|');
            ++i;
        } else {
            text.push_back(box.text[i]);
        }
    }
    if (box.buttons.empty()) {
        rt::message(text, box.title, iconOf(box.icon), rt::button::Ok);
        return 1;
    }
    std::string list;
    for (const std::string& b : box.buttons) list += (list.empty() ? "" : "|") + b;
    return rt::message(text, box.title, iconOf(box.icon), list, box.defaultButton);
}

std::string odbcAskSaveFile(const std::string& title, const std::string& filters) {
    OdbcHooks h = odbcHooks();
    if (h.saveFile) return h.saveFile(title, filters);
    rt::FileDialogResult r = rt::saveFileDialog(title, "", filters);
    return r.ok ? r.path : std::string();
}

std::unique_ptr<OdbcProgress> odbcOpenProgress(const std::string& title, int maximum) {
    OdbcHooks h = odbcHooks();
    if (h.progress) return h.progress(title, maximum);
    // Windows belong to program threads.
    if (rt::threadNumber() == 0 || !rt::hasDisplay()) return nullptr;
    return std::make_unique<ProgressWindow>(title, maximum);
}

// ---- list format ----------------------------------------------------------------------------

std::vector<rt::ListColumn> odbcListColumns(std::string_view f) {
    std::vector<rt::ListColumn> columns;
    std::size_t pos = 0;
    while (pos < f.size()) {
        if (!std::isdigit(static_cast<unsigned char>(f[pos]))) {
            ++pos;
            continue;
        }
        rt::ListColumn col;
        std::size_t start = pos;
        while (pos < f.size() && std::isdigit(static_cast<unsigned char>(f[pos]))) ++pos;
        col.width = std::atoi(std::string(f.substr(start, pos - start)).c_str());
        if (pos < f.size() && isJustifyLetter(f[pos])) {
            col.justify = justifyOf(f[pos++]);
            col.indent = readIndent(f, pos);
        }
        col.headingJustify = col.justify;
        while (pos < f.size() && f[pos] != '~' && f[pos] != '@' && !std::isdigit(static_cast<unsigned char>(f[pos]))) {
            if (f[pos] == 'M' || f[pos] == 'm') col.resizable = true;
            ++pos;
        }
        if (pos < f.size() && f[pos] == '~') {
            std::size_t close = f.find('~', pos + 1);
            if (close == std::string_view::npos) close = f.size();
            col.heading = std::string(f.substr(pos + 1, close - pos - 1));
            pos = close < f.size() ? close + 1 : close;
            if (pos < f.size() && isJustifyLetter(f[pos]) && pos + 1 <= f.size()) {
                col.headingJustify = justifyOf(f[pos++]);
                readIndent(f, pos);
            }
        }
        if (pos < f.size() && f[pos] == '@') {
            std::size_t close = f.find('@', pos + 1);
            if (close == std::string_view::npos) close = f.size();
            col.picture = std::string(f.substr(pos, close - pos));
            pos = close < f.size() ? close + 1 : close;
        }
        columns.push_back(std::move(col));
    }
    return columns;
}

// ---- the list feed --------------------------------------------------------------------------

std::size_t OdbcDataSet::ListFeed::rowCount() const {
    return ds_ ? static_cast<std::size_t>(ds_->snapshot()->rowCount()) : 0;
}

std::uint64_t OdbcDataSet::ListFeed::revision() const { return ds_ ? ds_->snapshot()->stamp() : 0; }

namespace {

// One row as the list shows it: the cells of the shown columns, each under its picture;
// cellText(column) gives a cell's text without trailing blanks.
template <class CellText>
rt::ListRow formatRow(const std::vector<std::string>& pictures, CellText cellText) {
    rt::ListRow r;
    const std::size_t n = pictures.empty() ? 1 : pictures.size();
    r.cells.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::string text = cellText(static_cast<int>(k) + 1);
        const std::string_view picture = pictures.empty() ? std::string_view() : std::string_view(pictures[k]);
        r.cells[k].text = picture.empty() || text.empty() ? text : rt::formatPicture(text, picture);
    }
    return r;
}

}  // namespace

rt::ListRow OdbcDataSet::ListFeed::row(std::size_t index) const {
    if (!ds_) return {};
    rowsRead_->fetch_add(1, std::memory_order_relaxed);
    const int row = static_cast<int>(index) + 1;
    return formatRow(pictures, [&](int column) { return ds_->GetCell(row, column); });
}

std::shared_ptr<const rt::VirtualRows> OdbcDataSet::ListFeed::virtualRows() const {
    // A traced data set logs every read the list makes, so those go through GetCell on this thread.
    if (!ds_ || ds_->TRACEGETCELL != 0) return nullptr;
    // The result is immutable once published and the pictures are copied: nothing the display
    // reads changes while the owner loads the next result or builds another format.
    std::shared_ptr<const OdbcResult> result = ds_->snapshot();
    auto shown = std::make_shared<const std::vector<std::string>>(pictures);
    const auto count = static_cast<std::size_t>(result->rowCount());
    return rt::makeVirtualRows(count, [result, shown, counter = rowsRead_](std::size_t first, std::size_t n) {
        std::vector<rt::ListRow> rows;
        rows.reserve(n);
        for (std::size_t i = first; i < first + n; ++i) {
            const int row = static_cast<int>(i) + 1;
            rows.push_back(
                formatRow(*shown, [&](int column) { return std::string(rt::clip(result->cell(row, column))); }));
        }
        counter->fetch_add(rows.size(), std::memory_order_relaxed);
        return rows;
    });
}

std::uint64_t OdbcDataSet::listRowsRead() const { return feed_ ? feed_->rowsRead() : 0; }

// ---- attaching ------------------------------------------------------------------------------

void OdbcDataSet::Init(OdbcConnection* conn, rt::Window& window, int list, std::string_view name) {
    Init(conn, 0, name);
    if (list != 0) AttachList(window, list);
}

void OdbcDataSet::AttachList(int list) {
    if (listWindow_ && list != 0) {
        AttachList(*listWindow_, list);
        return;
    }
    LISTBOX = list;
    if (rt::clip(appliedFormat_).empty()) appliedFormat_ = "20L(2)|M";
}

void OdbcDataSet::AttachList(rt::Window& window, int list) {
    DetachList();
    listWindow_ = &window;
    LISTBOX = list;
    if (!window.has(list)) return;
    rt::ControlRef c = window.control(list);
    if (!feed_) feed_ = std::make_unique<ListFeed>(this);
    if (c.list().columns.empty()) {
        appliedFormat_ = "20L(2)|M";
        c.setColumns(odbcListColumns(appliedFormat_));
    }
    feed_->pictures.clear();
    for (const rt::ListColumn& col : c.list().columns) feed_->pictures.push_back(col.picture);
    c.setListSource(feed_.get());
    window.alert(rt::keys::Ctrl | rt::keys::MouseRight);
    if (DEBUGKEY != 0) window.alert(DEBUGKEY);
    takeEventRegistration_ = window.registerEvent(rt::Event::AlertKey, list, [self = self_](const rt::EventInfo& e) {
        if (*self) (*self)->TakeEvent(e);
    });
}

void OdbcDataSet::DetachList() {
    if (listWindow_ && LISTBOX != 0 && listWindow_->has(LISTBOX)) listWindow_->control(LISTBOX).setListSource(nullptr);
    if (listWindow_ && takeEventRegistration_ != 0) listWindow_->unregisterEvent(takeEventRegistration_);
    takeEventRegistration_ = 0;
    listWindow_ = nullptr;
}

std::string OdbcDataSet::BuildListFormat(int list) {
    if (list == 0) return {};
    if (listWindow_ && (!listWindow_->has(list) || listWindow_->control(list).state().kind != rt::ControlKind::List))
        return {};
    std::string format = ListFormat();
    if (format.empty()) return {};
    appliedFormat_ = format;
    if (listWindow_) {
        rt::ControlRef c = listWindow_->control(list);
        std::vector<rt::ListColumn> columns = odbcListColumns(format);
        if (list == LISTBOX && feed_) {
            feed_->pictures.clear();
            for (const rt::ListColumn& col : columns) feed_->pictures.push_back(col.picture);
        }
        c.setColumns(std::move(columns));
        c.refreshList();
    }
    return format;
}

// ---- events and the statement window --------------------------------------------------------

int OdbcDataSet::TakeEvent(const rt::EventInfo& event) {
    if (event.event != rt::Event::AlertKey || LISTBOX == 0 || event.control != LISTBOX) return 0;
    if (event.keyCode == (rt::keys::Ctrl | rt::keys::MouseRight)) {
        EditQuery();
    } else if (DEBUGKEY != 0 && event.keyCode == DEBUGKEY) {
        InspectResult();
    }
    return 0;
}

void OdbcDataSet::EditQuery() {
    enum { PROMPT = 1, TEXT, OK, CANCEL };
    rt::Window w("EditQuery", DATASETNAME.str());
    w.setPosition(0, 0, 320, 170);
    w.edit().centered = true;
    w.add(PROMPT, rt::ControlKind::Prompt).setPosition(4, 4, 60, 10).setText("&Anfrage:");
    rt::Font courier;
    courier.face = "Courier New";
    w.add(TEXT, rt::ControlKind::Text).setPosition(4, 16, 312, 128).setFont(courier).setValue(QUERY.str());
    w.add(OK, rt::ControlKind::Button).setPosition(212, 150, 50, 14).setText("&Ok").edit().defaultButton = true;
    w.add(CANCEL, rt::ControlKind::Button).setPosition(266, 150, 50, 14).setText("&Abbrechen");
    bool run = false;
    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == OK) {
            run = true;
            w.post(rt::Event::CloseWindow);
        } else if (e.control == CANCEL) {
            w.post(rt::Event::CloseWindow);
        }
    }
    if (!run) return;
    const std::string text = w[TEXT].value();
    QUERY = text;
    fullQuery_ = text;
    if (QUERY.empty()) return;
    if (QUERY.str().find(" WHERE ") != std::string::npos)
        Refresh();
    else
        SetQuery(text, LISTBOX);
}
