#include "runtime/ui/model.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/text/decimal.h"
#include "runtime/text/strings.h"
#include "runtime/ui/event.h"

namespace rt {

namespace {
class FunctionRows final : public VirtualRows {
public:
    FunctionRows(std::size_t count, std::function<std::vector<ListRow>(std::size_t, std::size_t)> read)
        : count_(count), read_(std::move(read)) {}
    std::size_t rowCount() const override { return count_; }
    std::vector<ListRow> rows(std::size_t first, std::size_t count) const override {
        if (first >= count_) return {};
        auto out = read_(first, std::min(count, count_ - first));
        if (out.size() > count_ - first) out.resize(count_ - first);
        return out;
    }

private:
    std::size_t count_;
    std::function<std::vector<ListRow>(std::size_t, std::size_t)> read_;
};
}  // namespace

std::shared_ptr<const VirtualRows> makeVirtualRows(
    std::size_t count, std::function<std::vector<ListRow>(std::size_t first, std::size_t count)> read) {
    return std::make_shared<FunctionRows>(count, std::move(read));
}

ListData ListData::withoutRows() const {
    ListData out;
    out.columns = columns;
    out.icons = icons;
    out.lineHeight = lineHeight;
    out.grid = grid;
    out.locatorColumn = locatorColumn;
    out.scrollButtons = scrollButtons;
    return out;
}

UserInput escapeInput(const std::vector<ControlState>& controls,
                      const std::function<bool(const ControlState&)>& operable) {
    for (const auto& c : controls)
        if (c.kind == ControlKind::Button && c.cancelButton && c.enabled && !c.hidden && operable(c))
            return UserInput(Event::Accepted, c.id);
    return UserInput(Event::CloseWindow);
}

bool dropAccepted(const ControlState& source, const ControlState& target) {
    for (const auto& id : source.dragIds)
        if (std::find(target.dropIds.begin(), target.dropIds.end(), id) != target.dropIds.end()) return true;
    return false;
}

int locateRow(const ListData& list, int column, std::string_view text, int first, bool descending) {
    const std::string_view typed = clip(text);
    if (typed.empty() || column < 1) return 0;
    const auto number = DecimalValue::parse(trimBlanks(typed));
    const std::string prefix = upper(typed);
    const auto cellOf = [&](std::size_t row) -> std::string_view {
        const auto& cells = list.rows[row].cells;
        return static_cast<std::size_t>(column) <= cells.size() ? std::string_view(cells[column - 1].text)
                                                                : std::string_view();
    };
    const std::size_t from = static_cast<std::size_t>(std::max(first, 1) - 1);
    for (std::size_t r = from; r < list.rows.size(); ++r)
        if (upper(trimBlanks(cellOf(r))).starts_with(prefix)) return static_cast<int>(r + 1);
    for (std::size_t r = from; r < list.rows.size(); ++r) {
        const std::string_view cell = trimBlanks(cellOf(r));
        const auto value = DecimalValue::parse(cell);
        const int c = number && value ? DecimalValue::compare(*value, *number) : compareNoCase(cell, typed);
        if (descending ? c <= 0 : c >= 0) return static_cast<int>(r + 1);
    }
    return 0;
}

const char* controlKindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Prompt: return "Prompt";
    case ControlKind::String: return "String";
    case ControlKind::Entry: return "Entry";
    case ControlKind::Text: return "Text";
    case ControlKind::Button: return "Button";
    case ControlKind::Check: return "Check";
    case ControlKind::Option: return "Option";
    case ControlKind::Radio: return "Radio";
    case ControlKind::Group: return "Group";
    case ControlKind::DropList: return "DropList";
    case ControlKind::DropCombo: return "DropCombo";
    case ControlKind::Spin: return "Spin";
    case ControlKind::List: return "List";
    case ControlKind::Tree: return "Tree";
    case ControlKind::Sheet: return "Sheet";
    case ControlKind::Tab: return "Tab";
    case ControlKind::Box: return "Box";
    case ControlKind::Line: return "Line";
    case ControlKind::Panel: return "Panel";
    case ControlKind::Image: return "Image";
    case ControlKind::Region: return "Region";
    case ControlKind::Progress: return "Progress";
    case ControlKind::Ole: return "Ole";
    case ControlKind::Menu: return "Menu";
    case ControlKind::Item: return "Item";
    }
    return "?";
}

const char* eventName(Event e) {
    switch (e) {
    case Event::None: return "None";
    case Event::Accepted: return "Accepted";
    case Event::NewSelection: return "NewSelection";
    case Event::Selected: return "Selected";
    case Event::Expanded: return "Expanded";
    case Event::Contracted: return "Contracted";
    case Event::HeaderPressed: return "HeaderPressed";
    case Event::AlertKey: return "AlertKey";
    case Event::MouseIn: return "MouseIn";
    case Event::MouseOut: return "MouseOut";
    case Event::MouseDown: return "MouseDown";
    case Event::MouseUp: return "MouseUp";
    case Event::Drag: return "Drag";
    case Event::Drop: return "Drop";
    case Event::TabChanging: return "TabChanging";
    case Event::OpenWindow: return "OpenWindow";
    case Event::CloseWindow: return "CloseWindow";
    case Event::CloseDown: return "CloseDown";
    case Event::Timer: return "Timer";
    case Event::Sized: return "Sized";
    case Event::Moved: return "Moved";
    case Event::Maximized: return "Maximized";
    case Event::Iconized: return "Iconized";
    case Event::Restored: return "Restored";
    case Event::GainFocus: return "GainFocus";
    case Event::LoseFocus: return "LoseFocus";
    case Event::User: return "User";
    }
    if (static_cast<int>(e) > static_cast<int>(Event::User)) return "User+";
    return "?";
}

bool hasList(ControlKind k) {
    return k == ControlKind::List || k == ControlKind::Tree || k == ControlKind::DropList ||
           k == ControlKind::DropCombo;
}

std::string rowText(const ListData& list, int row) {
    if (row < 1 || static_cast<std::size_t>(row) > list.rows.size()) return {};
    const auto& cells = list.rows[static_cast<std::size_t>(row) - 1].cells;
    return cells.empty() ? std::string() : cells.front().text;
}

bool takesText(ControlKind k) {
    return k == ControlKind::Entry || k == ControlKind::Text || k == ControlKind::Spin || k == ControlKind::DropCombo;
}

TextSelection withinText(TextSelection selection, int length) {
    return {std::clamp(selection.anchor, 0, length), std::clamp(selection.cursor, 0, length)};
}

void applyUserInput(ControlState& s, const UserInput& in) {
    bool valueChanged = false;
    if (in.value) {
        s.value = *in.value;
        valueChanged = true;
    }
    if (in.event == Event::NewSelection && scrolledByUser(s)) {
        s.scrollX = std::max(0, in.x);
        s.scrollY = std::max(0, in.y);
    }
    const bool rowEvent = in.event == Event::NewSelection || in.event == Event::Accepted;
    if (rowEvent && in.row > 0 && (hasList(s.kind) || s.kind == ControlKind::Sheet)) {
        s.selected = in.row;
        if (!in.value && s.list && (s.kind == ControlKind::DropList || s.kind == ControlKind::DropCombo)) {
            s.value = rowText(*s.list, in.row);
            valueChanged = true;
        }
    }
    if (takesText(s.kind) && (valueChanged || in.textSelection)) {
        const int length = static_cast<int>(charLength(s.value));
        s.textSelection = withinText(in.textSelection.value_or(TextSelection{length, length}), length);
    }
    if ((in.event == Event::Expanded || in.event == Event::Contracted) && s.list && in.row > 0 &&
        static_cast<std::size_t>(in.row) <= s.list->rows.size()) {
        const int level = s.list->rows[static_cast<std::size_t>(in.row) - 1].level;
        const int wanted = in.event == Event::Expanded ? std::abs(level) : -std::abs(level);
        if (level != wanted) {
            auto fresh = std::make_shared<ListData>(*s.list);
            fresh->rows[static_cast<std::size_t>(in.row) - 1].level = wanted;
            s.list = std::move(fresh);
        }
    }
}

}  // namespace rt
