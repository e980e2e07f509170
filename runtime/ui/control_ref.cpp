// The handle to one control of a window: its properties as the procedure sets and reads them.
#include <cassert>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/image.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_entry.h"

namespace rt {

const ListData& emptyListData() {
    static const ListData* e = new ListData;
    return *e;
}

bool ControlRef::exists() const { return window_->has(id_); }
const ControlState& ControlRef::state() const { return window_->entry(id_).state; }

ControlState& ControlRef::edit() {
    window_->markChanged(id_);
    return window_->entry(id_).state;
}

ControlRef& ControlRef::setText(std::string text) {
    if (state().text != text) edit().text = std::move(text);
    return *this;
}
const std::string& ControlRef::text() const { return state().text; }

namespace {

// The first row showing the text (trailing blanks aside), 0 for none.
int rowShowing(const ListData& list, std::string_view text) {
    for (std::size_t i = 0; i < list.rows.size(); ++i)
        if (clip(rowText(list, static_cast<int>(i) + 1)) == clip(text)) return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace

ControlRef& ControlRef::setValue(std::string value) {
    auto& s = edit();
    // The same value again leaves the user's cursor and selection where they are.
    if (s.value != value) {
        s.value = std::move(value);
        const int length = static_cast<int>(charLength(s.value));
        s.textSelection = {length, length};
    }
    // A drop list shows its value's row: the row chosen before goes with another value (none
    // for a value that no row holds, an emptied one too).
    if ((s.kind == ControlKind::DropList || s.kind == ControlKind::DropCombo) &&
        clip(rowText(s.list ? *s.list : emptyListData(), s.selected)) != clip(s.value))
        s.selected = s.list ? rowShowing(*s.list, s.value) : 0;
    ++s.valueSerial;
    return *this;
}

ControlRef& ControlRef::setTextSelection(TextSelection selection) {
    auto& s = edit();
    s.textSelection = withinText(selection, static_cast<int>(charLength(s.value)));
    ++s.valueSerial;
    return *this;
}
const std::string& ControlRef::value() const { return state().value; }

ControlRef& ControlRef::setEnabled(bool enabled) {
    if (state().enabled != enabled) edit().enabled = enabled;
    return *this;
}
bool ControlRef::enabled() const { return state().enabled; }

ControlRef& ControlRef::setHidden(bool hidden) {
    if (state().hidden != hidden) edit().hidden = hidden;
    return *this;
}
bool ControlRef::hidden() const { return state().hidden; }

ControlRef& ControlRef::setReadOnly(bool readOnly) {
    if (state().readOnly != readOnly) edit().readOnly = readOnly;
    return *this;
}

ControlRef& ControlRef::setPosition(int x, int y, int width, int height) {
    auto& s = edit();
    s.x = x;
    s.y = y;
    s.width = width;
    s.height = height;
    return *this;
}

ControlRef& ControlRef::setPosition(int x, int y) {
    auto& s = edit();
    s.x = x;
    s.y = y;
    return *this;
}

ControlRef& ControlRef::setSize(int width, int height) {
    auto& s = edit();
    s.width = width;
    s.height = height;
    return *this;
}

ControlRef& ControlRef::setPicture(std::string picture) {
    edit().picture = std::move(picture);
    return *this;
}
ControlRef& ControlRef::setIcon(std::string icon) {
    edit().icon = std::move(icon);
    return *this;
}
ControlRef& ControlRef::setTip(std::string tip) {
    edit().tip = std::move(tip);
    return *this;
}
ControlRef& ControlRef::setHelp(std::string help) {
    edit().help = std::move(help);
    return *this;
}
ControlRef& ControlRef::setCursor(std::string cursor) {
    edit().cursor = std::move(cursor);
    return *this;
}
ControlRef& ControlRef::setFontColor(Color color) {
    if (state().fontColor != color) edit().fontColor = color;
    return *this;
}
ControlRef& ControlRef::setBackground(Color color) {
    if (state().background != color) edit().background = color;
    return *this;
}
ControlRef& ControlRef::setFont(Font font) {
    if (!(state().font == font)) edit().font = std::move(font);
    return *this;
}
ControlRef& ControlRef::setRange(int low, int high) {
    auto& s = edit();
    s.rangeLow = low;
    s.rangeHigh = high;
    return *this;
}
ControlRef& ControlRef::setImmediate(bool immediate) {
    edit().immediate = immediate;
    return *this;
}
ControlRef& ControlRef::setRadioValue(std::string value) {
    edit().radioValue = std::move(value);
    return *this;
}

ControlRef& ControlRef::setSelected(int row) {
    auto& s = edit();
    s.selected = row;
    ++s.valueSerial;
    if (s.kind == ControlKind::DropList && s.list) s.value = rowText(*s.list, row);
    return *this;
}
int ControlRef::selected() const { return state().selected; }

ControlRef& ControlRef::setFrom(std::string_view items) {
    std::vector<ListRow> rows;
    if (!items.empty())
        for (std::string& item : splitBars(items)) {
            ListRow row;
            row.cells.push_back(ListCell{std::move(item)});
            rows.push_back(std::move(row));
        }
    return setRows(std::move(rows));
}

ControlRef& ControlRef::setColumns(std::vector<ListColumn> columns) {
    editList().columns = std::move(columns);
    return *this;
}

ControlRef& ControlRef::setRows(std::vector<ListRow> rows) {
    editListWithoutRows().rows = std::move(rows);
    edit().virtualRows = nullptr;
    return *this;
}

ControlRef& ControlRef::setListData(ListData data) {
    editList() = std::move(data);
    edit().virtualRows = nullptr;
    return *this;
}

ControlRef& ControlRef::setVirtualRows(std::shared_ptr<const VirtualRows> rows) {
    assert((!rows || state().kind == ControlKind::List) && "row snapshots are for lists");
    if (rows)
        editListWithoutRows();
    else
        editList();
    edit().virtualRows = std::move(rows);
    return *this;
}

const std::shared_ptr<const VirtualRows>& ControlRef::virtualRows() const { return state().virtualRows; }

ListData& ControlRef::editList() {
    auto& s = edit();
    assert(hasList(s.kind) && "list data on a control without a list");
    // Copy on write: the display may still hold the published copy.
    auto fresh = std::make_shared<ListData>(s.list ? *s.list : ListData{});
    ListData& ref = *fresh;
    s.list = std::move(fresh);
    ++s.listSerial;
    return ref;
}

ListData& ControlRef::editListWithoutRows() {
    auto& s = edit();
    assert(hasList(s.kind) && "list data on a control without a list");
    // The rows are replaced: only the rest of the published list is copied.
    auto fresh = std::make_shared<ListData>(s.list ? s.list->withoutRows() : ListData{});
    ListData& ref = *fresh;
    s.list = std::move(fresh);
    ++s.listSerial;
    return ref;
}

const ListData& ControlRef::list() const {
    const auto& s = state();
    return s.list ? *s.list : emptyListData();
}

std::size_t ControlRef::rowCount() const {
    const auto& v = state().virtualRows;
    return v ? v->rowCount() : list().rows.size();
}

ControlRef& ControlRef::setListSource(const ListSource* source) {
    auto& e = window_->entry(id_);
    e.source = source;
    e.sourceDirty = source != nullptr;
    if (source) window_->markChanged(id_);
    return *this;
}

ControlRef& ControlRef::refreshList() {
    auto& e = window_->entry(id_);
    if (e.source) {
        e.sourceDirty = true;
        window_->markChanged(id_);
    }
    return *this;
}

ControlRef& ControlRef::setDragIds(std::vector<std::string> ids) {
    edit().dragIds = std::move(ids);
    return *this;
}

ControlRef& ControlRef::setDropIds(std::vector<std::string> ids) {
    edit().dropIds = std::move(ids);
    return *this;
}

bool ControlRef::loadImage(std::string file) {
    ImageSize size = readImageSize(file);
    auto& s = edit();
    s.icon = std::move(file);
    s.imageWidth = size.ok ? size.width : 0;
    s.imageHeight = size.ok ? size.height : 0;
    return size.ok;
}

int ControlRef::naturalWidth() const {
    return static_cast<int>(std::lround(state().imageWidth / display().dialogUnits().pixelsX));
}

int ControlRef::naturalHeight() const {
    return static_cast<int>(std::lround(state().imageHeight / display().dialogUnits().pixelsY));
}

std::shared_ptr<AutomationObject> ControlRef::createObject(std::string progId) {
    auto obj = createAutomationObject(progId);
    auto& s = edit();
    s.progId = std::move(progId);
    s.object = obj;
    return obj;
}

std::shared_ptr<AutomationObject> ControlRef::object() const { return state().object; }

ControlRef& ControlRef::setReportErrors(bool on) {
    window_->entry(id_).reportErrors = on;
    return *this;
}

bool ControlRef::reportErrors() const { return window_->entry(id_).reportErrors; }

namespace {
template <class F>
AutoValue guarded(ControlRef& c, F&& f, bool* ok) {
    auto obj = c.object();
    if (!obj) {
        if (ok) *ok = false;
        return {};
    }
    try {
        AutoValue v = f(*obj);
        if (ok) *ok = true;
        return v;
    } catch (const AutomationError& e) {
        if (ok) *ok = false;
        if (c.reportErrors()) message(e.what(), "OLE", MessageIcon::Exclamation);
        return {};
    }
}
}  // namespace

AutoValue ControlRef::oleGet(std::string_view path, const std::vector<AutoValue>& args) {
    return guarded(
        *this, [&](AutomationObject& o) { return automationGet(o, path, args); }, nullptr);
}

bool ControlRef::oleSet(std::string_view path, const AutoValue& value, const std::vector<AutoValue>& args) {
    bool ok = false;
    guarded(
        *this,
        [&](AutomationObject& o) {
            automationSet(o, path, value, args);
            return AutoValue();
        },
        &ok);
    return ok;
}

AutoValue ControlRef::oleCall(std::string_view path, const std::vector<AutoValue>& args) {
    return guarded(
        *this, [&](AutomationObject& o) { return automationCall(o, path, args); }, nullptr);
}

}  // namespace rt
