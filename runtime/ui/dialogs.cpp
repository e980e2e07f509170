#include "runtime/ui/dialogs.h"

#include <algorithm>

#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/ui_registry.h"
#include "runtime/ui/window.h"

namespace rt {

std::vector<std::string> splitBars(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = text.find('|', start);
        out.emplace_back(text.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return out;
}

namespace {

std::string lines(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '|') c = '\n';
    return out;
}

int lowestButton(int buttons) { return buttons & -buttons; }

}  // namespace

int message(std::string_view text, std::string_view title, MessageIcon icon, int buttons, int defaultButton) {
    MessageBoxRequest r;
    r.title = title;
    r.text = lines(text);
    r.icon = icon;
    r.standardButtons = buttons == 0 ? button::Ok : buttons;
    r.defaultButton = (defaultButton & r.standardButtons) ? defaultButton : lowestButton(r.standardButtons);
    r.thread = threadNumber();
    ModalCall call;
    r.owner = call.owner();
    return display().messageBox(r);
}

int message(std::string_view text, std::string_view title, MessageIcon icon, std::string_view buttonList,
            int defaultButton) {
    MessageBoxRequest r;
    r.title = title;
    r.text = lines(text);
    r.icon = icon;
    r.buttonTexts = splitBars(buttonList);
    r.standardButtons = 0;
    int n = static_cast<int>(r.buttonTexts.size());
    r.defaultButton = defaultButton >= 1 && defaultButton <= n ? defaultButton : 1;
    r.thread = threadNumber();
    ModalCall call;
    r.owner = call.owner();
    return display().messageBox(r);
}

std::vector<FileFilter> parseFileFilters(std::string_view text) {
    std::vector<FileFilter> out;
    if (text.empty()) return out;
    auto parts = splitBars(text);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], parts[i + 1]});
    if (parts.size() % 2 == 1 && !parts.back().empty()) out.push_back({parts.back(), parts.back()});
    return out;
}

FileDialogResult fileDialog(FileDialogRequest request) {
    request.thread = threadNumber();
    ModalCall call;
    request.owner = call.owner();
    FileDialogResult result = display().fileDialog(request);
    if (!result.ok) result.path.clear();
    return result;
}

namespace {

// A file chooser of one kind, for a file and its filters ("name|pattern|...").
FileDialogResult fileChooser(FileDialogKind kind, std::string title, std::string file, std::string_view filters,
                             int filterIndex) {
    FileDialogRequest r;
    r.kind = kind;
    r.title = std::move(title);
    r.file = std::move(file);
    r.filters = parseFileFilters(filters);
    r.filterIndex = filterIndex;
    return fileDialog(std::move(r));
}

}  // namespace

FileDialogResult openFileDialog(std::string title, std::string file, std::string_view filters, int filterIndex) {
    return fileChooser(FileDialogKind::Open, std::move(title), std::move(file), filters, filterIndex);
}

FileDialogResult openOrNewFileDialog(std::string title, std::string file, std::string_view filters, int filterIndex) {
    return fileChooser(FileDialogKind::OpenOrNew, std::move(title), std::move(file), filters, filterIndex);
}

FileDialogResult saveFileDialog(std::string title, std::string file, std::string_view filters, int filterIndex) {
    return fileChooser(FileDialogKind::Save, std::move(title), std::move(file), filters, filterIndex);
}

FileDialogResult folderDialog(std::string title, std::string folder) {
    FileDialogRequest r;
    r.kind = FileDialogKind::Folder;
    r.title = std::move(title);
    r.folder = std::move(folder);
    return fileDialog(std::move(r));
}

ColorDialogResult colorDialog(std::string title, Color color) {
    ColorDialogRequest r;
    r.title = std::move(title);
    r.color = color;
    r.thread = threadNumber();
    ModalCall call;
    r.owner = call.owner();
    ColorDialogResult result = display().colorDialog(r);
    if (!result.ok) result.color = color;
    return result;
}

namespace {
Shared<std::string> chosenPrinter;
}  // namespace

PrinterDialogResult printerDialog(std::string title, bool setupOnly) {
    PrinterDialogRequest r;
    r.title = std::move(title);
    r.printer = chosenPrinter.get();
    r.setupOnly = setupOnly;
    r.thread = threadNumber();
    PrinterDialogResult result;
    {
        ModalCall call;
        r.owner = call.owner();
        result = display().printerDialog(r);
    }
    if (setupOnly && result.ok && !result.printer.empty()) chosenPrinter = result.printer;
    return result;
}

std::string setupPrinter() { return chosenPrinter.get(); }

std::vector<PopupItem> parsePopup(std::string_view definition) {
    std::vector<PopupItem> items;
    if (definition.empty()) return items;
    for (std::string& part : splitBars(definition)) {
        PopupItem item;
        if (part == "-") {
            item.separator = true;
            items.push_back(item);
            continue;
        }
        std::string_view t = part;
        for (bool more = true; more && !t.empty();) {
            switch (t.front()) {
            case '~':
                item.enabled = false;
                t.remove_prefix(1);
                break;
            case '-':
                item.checkable = true;
                item.checked = false;
                t.remove_prefix(1);
                break;
            case '+':
                item.checkable = true;
                item.checked = true;
                t.remove_prefix(1);
                break;
            default: more = false; break;
            }
        }
        item.text = std::string(t);
        items.push_back(std::move(item));
    }
    return items;
}

int popup(std::string_view definition, int x, int y) {
    PopupMenuRequest r;
    r.items = parsePopup(definition);
    r.x = x;
    r.y = y;
    r.thread = threadNumber();
    ModalCall call;
    r.owner = call.owner();
    int chosen = display().popupMenu(r);
    int selectable = 0;
    for (const auto& i : r.items) selectable += i.separator ? 0 : 1;
    return chosen >= 1 && chosen <= selectable ? chosen : 0;
}

void setClipboard(const std::string& text) { display().setClipboard(text); }
std::string clipboard() { return display().clipboard(); }
int editControl(Window& window, int id, EditCommand command, std::size_t limit) {
    if (id == 0 || !window.has(id)) return 0;
    ControlRef c = window.control(id);
    const ControlState& s = c.state();
    if (!takesText(s.kind)) return 0;
    const bool oneLine = s.kind != ControlKind::Text;
    const bool writable = s.enabled && !s.readOnly && !s.hidden;
    const std::string& value = s.value;
    const std::size_t length = charLength(value);
    const TextSelection selection = withinText(s.textSelection, static_cast<int>(length));
    const auto start = static_cast<std::size_t>(selection.start());
    const auto end = static_cast<std::size_t>(selection.end());
    const std::size_t from = byteOffsetOfChar(value, start);
    const std::size_t to = byteOffsetOfChar(value, end);
    if (command != EditCommand::Paste) {
        if (selection.empty()) return 0;  // nothing to take: the clipboard keeps what it has
        setClipboard(value.substr(from, to - from));
        if (command == EditCommand::Copy || !writable) return 0;
        c.setValue(value.substr(0, from) + value.substr(to));
        c.setTextSelection({selection.start(), selection.start()});
        return id;
    }
    if (!writable) return 0;
    std::string text = clipboard();
    std::size_t room = limit;
    if (oneLine) {
        text.resize(std::min(text.size(), text.find_first_of("\r\n")));
        if (pictureKind(s.picture) == PictureKind::Text)
            if (const int n = pictureWidth(s.picture); n > 0)
                room = room > 0 ? std::min(room, static_cast<std::size_t>(n)) : static_cast<std::size_t>(n);
    }
    // What stays of the value leaves the room the pasted text may take.
    if (room > 0) {
        const std::size_t kept = length - (end - start);
        text.resize(cutChars(text, room > kept ? room - kept : 0).size());
    }
    std::string pasted = value.substr(0, from) + text + value.substr(to);
    const bool changed = pasted != value;
    const int cursor = selection.start() + static_cast<int>(charLength(text));
    c.setValue(std::move(pasted));
    c.setTextSelection({cursor, cursor});
    return changed ? id : 0;
}

int editFocused(Window& window, EditCommand command) { return editControl(window, window.focus(), command); }

void beep(Beep kind) { display().beep(kind); }
void setPointer(Pointer pointer) { display().setPointer(pointer); }

}  // namespace rt
