#include "runtime/classlib/list_format_manager.h"

#include <map>

#include "runtime/data/file_manager.h"
#include "runtime/data/table_def.h"
#include "runtime/ini/ini_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace rt {

namespace {

const TableDef& formatTable() {
    using R = ListFormatRecord;
    static const TableDef def = TableBuilder<R>("ListFormats", "LFM")
                                    .localFile("Formats.FDB")
                                    .create()
                                    .field(&R::AppName, "AppName", "@s40")
                                    .field(&R::ProcName, "ProcName", "@s100")
                                    .field(&R::FormatName, "FormatName", "@s100")
                                    .field(&R::Widths, "Widths", "@s1000")
                                    .field(&R::SortOrder, "SortOrder", "@s20")
                                    .key("KeyFormat", {"AppName", "ProcName", "FormatName"}, Unique | NoCase)
                                    .build();
    return def;
}

std::string joinWidths(const std::vector<int>& widths) {
    std::string out;
    for (int w : widths) {
        if (!out.empty()) out += ',';
        out += std::to_string(w);
    }
    return out;
}

std::vector<int> splitWidths(std::string_view text) {
    std::vector<int> out;
    std::string part;
    auto flush = [&] {
        out.push_back(static_cast<int>(profileNumber(part)));
        part.clear();
    };
    for (char c : clip(text)) {
        if (c == ',')
            flush();
        else
            part.push_back(c);
    }
    if (!part.empty()) flush();
    return out;
}

struct ThreadFormats {
    std::map<std::string, std::unique_ptr<ListFormatManager>> managers;
};
thread_local ThreadFormats threadFormats;  // released when the thread ends

constexpr const char* kFormatKey = "ListFormat";

}  // namespace

ListFormatManager& ListFormatManager::forThread(const std::string& procedure) {
    auto& m = threadFormats.managers[procedure];
    if (!m) m = std::make_unique<ListFormatManager>();
    return *m;
}

bool ListFormatManager::existsForThread(const std::string& procedure) {
    return threadFormats.managers.count(procedure) != 0;
}

ListFormatManager::ListFormatManager() = default;
ListFormatManager::~ListFormatManager() = default;

int ListFormatManager::init(std::string procedure, std::string application, Window& window, int listControl,
                            std::string formatFile, IniManager* ini) {
    procedure_ = std::move(procedure);
    application_ = std::move(application);
    formatFile_ = std::move(formatFile);
    ini_ = ini;
    window_ = &window;
    list_ = listControl;
    designWidths_.clear();
    for (const auto& c : window.control(listControl).list().columns) designWidths_.push_back(c.width);
    current_ = std::string(DefaultFormat);
    works_ = true;
    int rc = withFile([](FileManager&) { return 0; });
    works_ = rc == 0;
    return rc;
}

int ListFormatManager::withFile(const std::function<int(FileManager&)>& work) {
    if (!works_) return ErrFileNotOpen;
    FileManager fm(formatTable(), &record_);
    fm.setName(formatFile_);
    fm.setCreate(true);
    if (int rc = fm.open(); rc != 0) {
        works_ = false;
        return rc;
    }
    int rc = work(fm);
    fm.close();
    return rc;
}

int ListFormatManager::fetchFormat(FileManager& fm, const std::string& name) {
    record_ = ListFormatRecord{};
    record_.AppName = application_;
    record_.ProcName = procedure_;
    record_.FormatName = name;
    return fm.fetch("KeyFormat");
}

std::vector<std::string> ListFormatManager::storedFormats() {
    std::vector<std::string> out;
    withFile([&](FileManager& fm) {
        fm.setOrder("KeyFormat");
        while (fm.next() == 0) {
            if (equalsNoCase(clip(record_.AppName.str()), application_) &&
                equalsNoCase(clip(record_.ProcName.str()), procedure_))
                out.emplace_back(clip(record_.FormatName.str()));
        }
        return 0;
    });
    return out;
}

std::vector<int> ListFormatManager::currentWidths() const {
    std::vector<int> out;
    if (!window_ || !window_->has(list_)) return out;
    for (const auto& c : window_->control(list_).list().columns) out.push_back(c.width);
    return out;
}

void ListFormatManager::applyWidths(const std::vector<int>& widths) {
    if (!window_ || !window_->has(list_)) return;
    auto& cols = window_->control(list_).editList().columns;
    for (std::size_t i = 0; i < cols.size() && i < widths.size(); ++i) cols[i].width = std::max(widths[i], 0);
}

bool ListFormatManager::saveFormat(std::string_view name) {
    std::string n(trimBlanks(name));
    if (n.empty() || equalsNoCase(n, DefaultFormat)) return false;
    std::string widths = joinWidths(currentWidths());
    int rc = withFile([&](FileManager& fm) {
        if (fetchFormat(fm, n) == 0) {
            record_.Widths = widths;
            record_.SortOrder = sortOrderNote();
            return fm.update();
        }
        record_.AppName = application_;
        record_.ProcName = procedure_;
        record_.FormatName = n;
        record_.Widths = widths;
        record_.SortOrder = sortOrderNote();
        return fm.insert();
    });
    if (rc == 0) current_ = n;
    return rc == 0;
}

bool ListFormatManager::applyFormat(std::string_view name) {
    std::string n(trimBlanks(name));
    if (n.empty() || equalsNoCase(n, DefaultFormat)) {
        applyWidths(designWidths_);
        current_ = std::string(DefaultFormat);
        return true;
    }
    std::vector<int> widths;
    std::string sort;
    int rc = withFile([&](FileManager& fm) {
        int r = fetchFormat(fm, n);
        if (r == 0) {
            widths = splitWidths(record_.Widths.str());
            sort = std::string(clip(record_.SortOrder.str()));
        }
        return r;
    });
    if (rc != 0) return false;
    applyWidths(widths);
    current_ = n;
    if (sort.rfind("SortOrder", 0) == 0) {
        int order = static_cast<int>(profileNumber(sort.substr(9)));
        if (order > 0 && order != sortOrder_) {
            sortOrder_ = order;
            if (onSortOrder) onSortOrder(order);
        }
    }
    return true;
}

bool ListFormatManager::deleteFormat(std::string_view name) {
    std::string n(trimBlanks(name));
    int rc = withFile([&](FileManager& fm) {
        int r = fetchFormat(fm, n);
        return r == 0 ? fm.deleteRecord() : r;
    });
    if (rc == 0 && equalsNoCase(current_, n)) current_ = std::string(DefaultFormat);
    return rc == 0;
}

void ListFormatManager::setSortOrder(int order) {
    if (order > 0) sortOrder_ = order;
}

std::string ListFormatManager::sortOrderNote() const { return "SortOrder" + std::to_string(sortOrder_); }

void ListFormatManager::reset() {
    if (!ini_ || !works_) return;
    std::string name(trimBlanks(ini_->fetch(procedure_, kFormatKey, "")));
    if (!name.empty() && !applyFormat(name)) applyFormat(DefaultFormat);
}

bool ListFormatManager::takeEvent(const EventInfo&) { return false; }

int ListFormatManager::kill() {
    if (!window_) return 0;  // not attached: nothing to note
    int rc = works_ ? 0 : ErrFileNotOpen;
    if (works_ && ini_) ini_->update(procedure_, kFormatKey, current_);
    window_ = nullptr;
    return rc;
}

// ---- "Format Setup" ------------------------------------------------------------------------

namespace {
enum SetupControl {
    FormatsPrompt = 1,
    Formats,
    NamePrompt,
    Name,
    ColumnsPrompt,
    Columns,
    WidthPrompt,
    Width,
    SaveButton,
    ApplyButton,
    DeleteButton,
    CloseButton
};
}  // namespace

void ListFormatManager::setupDialog() {
    if (!window_) return;
    const auto design = window_->control(list_).list().columns;
    Window w("ListFormatSetup", "Listenformat einrichten");
    w.setPosition(0, 0, 260, 150);
    w.edit().centered = true;
    w.setModal(true);
    w.add(FormatsPrompt, ControlKind::Prompt).setText("Listen&formate").setPosition(4, 4, 100, 10);
    w.add(Formats, ControlKind::List).setPosition(4, 16, 110, 90);
    w.add(NamePrompt, ControlKind::Prompt).setText("&Name:").setPosition(4, 112, 30, 10);
    w.add(Name, ControlKind::Entry).setPicture("@s40").setPosition(36, 110, 78, 12);
    w.add(ColumnsPrompt, ControlKind::Prompt).setText("&Spalten").setPosition(124, 4, 100, 10);
    w.add(Columns, ControlKind::List).setPosition(124, 16, 130, 74);
    w.control(Columns).setColumns({ListColumn("Spalte", 90), ListColumn("Breite", 30, Justify::Right)});
    w.add(WidthPrompt, ControlKind::Prompt).setText("&Breite:").setPosition(124, 96, 30, 10);
    w.add(Width, ControlKind::Entry).setPicture("@n4").setPosition(160, 94, 40, 12);
    w.add(SaveButton, ControlKind::Button).setText("S&peichern").setPosition(4, 130, 50, 14);
    w.add(ApplyButton, ControlKind::Button).setText("&Anwenden").setPosition(58, 130, 50, 14);
    w.add(DeleteButton, ControlKind::Button).setText("&Löschen").setPosition(112, 130, 50, 14);
    w.add(CloseButton, ControlKind::Button).setText("S&chließen").setPosition(204, 130, 50, 14);

    auto fillFormats = [&] {
        std::vector<ListRow> rows;
        for (auto& n : storedFormats()) {
            ListRow r;
            r.cells.emplace_back(n);
            rows.push_back(std::move(r));
        }
        // A list shows no mnemonics: the built-in layout without its "&".
        ListRow d;
        d.cells.emplace_back(std::string(DefaultFormat.substr(1)));
        rows.push_back(d);
        w.control(Formats).setRows(std::move(rows));
    };
    auto fillColumns = [&] {
        std::vector<ListRow> rows;
        auto widths = currentWidths();
        for (std::size_t i = 0; i < design.size(); ++i) {
            ListRow r;
            r.cells.emplace_back(design[i].heading.empty() ? "Spalte " + std::to_string(i + 1) : design[i].heading);
            r.cells.emplace_back(std::to_string(i < widths.size() ? widths[i] : 0));
            rows.push_back(std::move(r));
        }
        int sel = w.control(Columns).selected();
        w.control(Columns).setRows(std::move(rows));
        w.control(Columns).setSelected(sel);
    };
    auto chosenFormat = [&]() -> std::string {
        int row = w.control(Formats).selected();
        const auto& rows = w.control(Formats).list().rows;
        if (row < 1 || static_cast<std::size_t>(row) > rows.size()) return {};
        const std::string& text = rows[static_cast<std::size_t>(row) - 1].cells[0].text;
        return text == DefaultFormat.substr(1) ? std::string(DefaultFormat) : text;
    };
    // Apply takes the layout the user chose in the list since the last change of a width; the
    // widths edited meanwhile are in the list already and stay.
    bool formatChosen = false;
    fillFormats();
    fillColumns();
    w.control(Name).setValue(current_ == DefaultFormat ? std::string() : current_);

    while (EventInfo e = w.accept()) {
        if (e.event == Event::NewSelection && e.control == Formats) {
            formatChosen = true;
            std::string f = chosenFormat();
            w.control(Name).setValue(f == DefaultFormat ? std::string() : f);
        } else if (e.event == Event::NewSelection && e.control == Columns) {
            int row = w.control(Columns).selected();
            auto widths = currentWidths();
            if (row >= 1 && static_cast<std::size_t>(row) <= widths.size())
                w.control(Width).setValue(std::to_string(widths[static_cast<std::size_t>(row) - 1]));
        } else if (e.event == Event::Accepted && e.control == Width) {
            int row = w.control(Columns).selected();
            auto widths = currentWidths();
            if (row >= 1 && static_cast<std::size_t>(row) <= widths.size()) {
                // Only a whole number is a width; anything else is refused and the width shown again.
                const std::string typed(trimBlanks(e.value));
                const bool number =
                    !typed.empty() && typed.size() <= 4 && typed.find_first_not_of("0123456789") == std::string::npos;
                if (number) {
                    widths[static_cast<std::size_t>(row) - 1] = std::stoi(typed);
                    applyWidths(widths);
                    fillColumns();
                    formatChosen = false;
                } else {
                    beep(Beep::Exclamation);
                    w.control(Width).setValue(std::to_string(widths[static_cast<std::size_t>(row) - 1]));
                    w.select(Width);
                }
            }
        } else if (e.event == Event::Accepted && e.control == SaveButton) {
            std::string n(trimBlanks(w.control(Name).value()));
            if (!n.empty() && saveFormat(n)) fillFormats();
        } else if (e.event == Event::Accepted && e.control == ApplyButton) {
            std::string f = chosenFormat();
            if (!f.empty() && formatChosen) applyFormat(f);
            formatChosen = false;
            fillColumns();
        } else if (e.event == Event::Accepted && e.control == DeleteButton) {
            std::string f = chosenFormat();
            if (!f.empty() && f != DefaultFormat && deleteFormat(f)) fillFormats();
        } else if (e.event == Event::Accepted && e.control == CloseButton) {
            w.post(Event::CloseWindow);
        }
    }
}

}  // namespace rt
