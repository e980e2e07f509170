#include "queries/qbe/query_by_example.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "core/common/common_window.h"
#include "queries/qbe/qbe_definitions.h"
#include "queries/qbe/qbe_grid.h"
#include "queries/qbe/qbe_options.h"
#include "queries/qbe/qbe_options_window.h"
#include "queries/qbe/qbe_report.h"
#include "queries/qbe/qbe_view.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace qbe;

namespace {

// The grid's layout, dialog units on the scrolling area: each cell's entry with its code's
// picture under the middle of it. Row numbers stand in the margin, and row 1's number has the
// execution list beside it.
constexpr int kLabelWidth = 12;
constexpr int kExecutionX = 4 + kLabelWidth + 5;  // room for the focus mark left of it
constexpr int kExecutionWidth = 54;
constexpr int kLeft = kExecutionX + kExecutionWidth + 5;
constexpr int kColumnStep = 62;
constexpr int kColumnWidth = 60;
constexpr int kFirstRow = 32;  // heading and move buttons above
constexpr int kRowStep = 24;

int columnX(int column) { return kLeft + column * kColumnStep; }
int rowY(int row) { return kFirstRow + (row - 1) * kRowStep; }

const char* codePicture(int code) { return kCodePictures[code >= 1 && code <= 12 ? code - 1 : 0]; }

class Grid {
public:
    Grid();
    void run();

private:
    void chooseSource(int number);
    // Destroys the grid's controls and makes them anew for the column set and row count.
    void rebuild();
    void addColumnControls(int c);
    void addRowControls(int r);
    void dropRowControls(int r);
    void showColumn(int c);
    void refreshState();
    void refreshStatus();
    void sizeArea();
    void takeCells();
    void setCode(int c, int r, int code);
    void moveColumn(int c, int to);
    bool build(bool runForm, std::string& filter, std::string& order);
    void showSource(const std::string& filter, const std::string& order);
    void load();
    void save(bool as);
    // Asks to save a modified grid; false when the user cancels the action.
    bool askToSave();
    bool takeGridEvent(const rt::EventInfo& e);

    int columns() const { return static_cast<int>(columns_.size()); }
    QBEColumn& column(int c) { return columns_[static_cast<std::size_t>(c)]; }

    rt::Window w_;
    std::vector<QBEColumn> columns_;
    int source_ = 0;
    int rows_ = 1;
    std::string name_;
    bool modified_ = false;
};

Grid::Grid() : w_("QueryByExample", kGridTitle) {
    w_.setPosition(0, 0, 620, 300);
    w_.edit().centered = true;
    w_.setIcon("QBE.ico");
    const struct {
        int id, parent;
        const char* text;
        const char* tip;
    } menu[] = {{MenuFile, 0, "&File", ""},
                {ItemLoad, MenuFile, "&Load QBE...", "Open a QBE file"},
                {ItemSave, MenuFile, "&Save QBE...", "Save the open QBE file"},
                {ItemSaveAs, MenuFile, "Save QBE &As...", "Save the open QBE file with a new name"},
                {ItemNew, MenuFile, "&New QBE", "Create a new QBE"},
                {ItemPrintSetup, MenuFile, "P&rint Setup...", "Setup Printer"},
                {ItemExit, MenuFile, "E&xit", "Exit this application"},
                {MenuEdit, 0, "&Edit", ""},
                {ItemInsertRow, MenuEdit, "&Insert row", "Add row to query"},
                {ItemDeleteRow, MenuEdit, "&Delete row", "Delete row from query"},
                {ItemOptions, MenuEdit, "&Options...", "Edit Options"},
                {ItemCut, MenuEdit, "Cu&t", "Remove item to Windows Clipboard"},
                {ItemCopy, MenuEdit, "&Copy", "Copy item to Windows Clipboard"},
                {ItemPaste, MenuEdit, "&Paste", "Paste contents of Windows Clipboard"},
                {MenuView, 0, "&View", ""},
                {ItemViewSource, MenuView, "View &Source", "View Query Source"},
                {ItemExecute, MenuView, "&Execute QBE", "Execute the Query"},
                {MenuHelp, 0, "&Help", ""},
                {ItemHelp, MenuHelp, "&Help on Order and Filter", "Help on use of Order and Filter"},
                {ItemHowToHelp, MenuHelp, "&How to Use Help", "How to use Windows Help"}};
    for (const auto& m : menu)
        w_.add(m.id, m.parent ? rt::ControlKind::Item : rt::ControlKind::Menu, m.parent).setText(m.text).setHelp(m.tip);
    // There is no help file to show.
    w_[ItemHowToHelp].disable();
    w_.add(SourcePrompt, rt::ControlKind::Prompt).setText("Select file:").setPosition(4, 6, 40, 10);
    w_.add(SourceList, rt::ControlKind::DropList).setPosition(46, 4, 100, 12);
    {
        rt::ListData& data = w_[SourceList].editList();
        data.columns = {rt::ListColumn("", 100, rt::Justify::Left, 2)};
        for (const auto& s : kQBESources) data.rows.push_back({{rt::ListCell(std::string(s))}});
    }
    w_.add(GridArea, rt::ControlKind::Panel).setPosition(0, 22, 620, 278);
    w_[GridArea].edit().hscroll = true;
    w_[GridArea].edit().vscroll = true;
    // What Execute runs, "View" or "Report", each with its icon; the picture shows the chosen one.
    // The list stands in row 1 of the grid but outlives every rebuild of it, keeping the choice.
    w_.add(ExecutionList, rt::ControlKind::DropList, GridArea)
        .setPosition(kExecutionX, rowY(1) - 1, kExecutionWidth, 12);
    {
        rt::ListData& data = w_[ExecutionList].editList();
        rt::ListColumn col("", 50, rt::Justify::Left, 2);
        col.hasIcon = true;
        data.columns = {col};
        data.icons = {"QbeView.ico", "QbeReport.ico"};
        for (int i = 0; i < 2; ++i) {
            rt::ListCell cell(i == 0 ? "View" : "Report");
            cell.icon = i + 1;
            data.rows.push_back({{cell}});
        }
    }
    w_[ExecutionList].setSelected(1).setValue("View");
    w_.add(ExecutionPicture, rt::ControlKind::Image).setIcon("QbeView.ico").setPosition(150, 5, 10, 10);
    const struct {
        int id;
        const char* text;
        const char* icon;
        int x;
    } buttons[] = {{AddRow, "Add row", "QbeAddRow.ico", 164},         {DeleteRow, "Delete row", "QbeDelRow.ico", 220},
                   {ViewSource, "View source", "QbeSource.ico", 276}, {Execute, "Execute", "QbeExecute.ico", 332},
                   {Options, "Options", "QbeOptions.ico", 388},       {ExitButton, "Exit", "QbeExitApp.ico", 562}};
    for (const auto& b : buttons)
        w_.add(b.id, rt::ControlKind::Button).setText(b.text).setIcon(b.icon).setPosition(b.x, 3, 54, 14);
    const struct {
        int id;
        const char* icon;
        const char* tip;
        int x;
    } files[] = {{LoadButton, "QbeOpen.ico", "Open stored query", 444},
                 {SaveButton, "QbeSave.ico", "Save current query", 462},
                 {NewButton, "QbeNew.ico", "Create new query", 480}};
    for (const auto& f : files)
        w_.add(f.id, rt::ControlKind::Button).setIcon(f.icon).setTip(f.tip).setPosition(f.x, 3, 16, 14);
    w_.setStatusZones({200, 200, 0});
    w_.setTimer(50);
    w_.setImmediateAll(true);
    refreshState();
}

void Grid::chooseSource(int number) {
    source_ = number;
    columns_.assign(1, QBESetAllColumn());
    for (auto& c : QBESourceFields(kQBESources[static_cast<std::size_t>(number - 1)])) columns_.push_back(std::move(c));
    rows_ = 1;
    name_.clear();
    modified_ = false;
    rebuild();
}

void Grid::rebuild() {
    for (int id : w_.childrenOf(GridArea))
        if (((id > RowLabel && id <= RowLabel + kQBEMaxRows) || (id >= Heading && id < GridEnd)) && w_.has(id))
            w_.destroy(id);
    for (int c = 0; c < columns(); ++c) addColumnControls(c);
    for (int r = 1; r <= rows_; ++r) addRowControls(r);
    for (int c = 0; c < columns(); ++c) showColumn(c);
    w_[GridArea].edit().scrollX = 0;
    w_[GridArea].edit().scrollY = 0;
    sizeArea();
    refreshState();
}

void Grid::addColumnControls(int c) {
    const int x = columnX(c);
    rt::Font bold;
    bold.weight = 700;
    w_.add(Heading + c, rt::ControlKind::Entry, GridArea)
        .setPosition(x, 2, kColumnWidth, 11)
        .setFont(bold)
        .setBackground(rt::rgb(255, 255, 0))
        .setFontColor(rt::rgb(0, 0, 0))
        .setReadOnly(true)
        .disable();
    if (c == 0) return;  // "SET ALL" stays first
    for (const auto& [id, icon, tip, dx] : {std::tuple{MoveLeft + c, "~QbeMoveLeft.ico", "Move Column Left", 0},
                                            std::tuple{MoveRight + c, "~QbeMoveRght.ico", "Move Column Right", 50}}) {
        w_.add(id, rt::ControlKind::Button, GridArea).setIcon(icon).setTip(tip).setPosition(x + dx, 15, 10, 10);
        w_[id].edit().flat = true;
    }
}

void Grid::addRowControls(int r) {
    rt::Font bold;
    bold.weight = 700;
    w_.add(RowLabel + r, rt::ControlKind::String, GridArea)
        .setText(std::to_string(r) + ".")
        .setFont(bold)
        .setPosition(4, rowY(r) + 2, kLabelWidth, 10);
    for (int c = 0; c < columns(); ++c) {
        const int x = columnX(c);
        // The "SET ALL" cells show the built row text; they take no input.
        w_.add(cellId(c, r), rt::ControlKind::Entry, GridArea)
            .setPicture("@S255")
            .setPosition(x, rowY(r), kColumnWidth, 9)
            .setReadOnly(c == 0);
        const int px = x + (kColumnWidth - 10) / 2, py = rowY(r) + 10;
        w_.add(codeId(c, r), rt::ControlKind::Image, GridArea).setPosition(px, py, 10, 10);
        w_.add(codeRegionId(c, r), rt::ControlKind::Region, GridArea).setPosition(px, py, 10, 10);
        w_[codeRegionId(c, r)].edit().transparent = true;
    }
}

void Grid::dropRowControls(int r) {
    w_.destroy(RowLabel + r);
    for (int c = 0; c < columns(); ++c)
        for (int id : {codeId(c, r), codeRegionId(c, r), cellId(c, r)}) w_.destroy(id);
}

void Grid::showColumn(int c) {
    QBEColumn& col = column(c);
    w_[Heading + c].setValue(col.HEADER);
    if (c > 0) {
        w_[MoveLeft + c].setEnabled(c > 1);
        w_[MoveRight + c].setEnabled(c + 1 < columns());
    }
    for (int r = 1; r <= rows_; ++r) {
        w_[cellId(c, r)].setValue(col.source(r));
        w_[codeId(c, r)].setIcon(codePicture(col.type(r)));
    }
}

void Grid::sizeArea() {
    rt::ControlState& area = w_[GridArea].edit();
    area.virtualWidth = columnX(columns()) + 4;
    area.virtualHeight = rowY(rows_) + kRowStep;
}

void Grid::refreshState() {
    const bool chosen = !columns_.empty();
    // Without a grid there is no row 1 to carry the execution list.
    if (w_[ExecutionList].state().hidden == chosen) w_[ExecutionList].setHidden(!chosen);
    for (int id :
         {ItemSave, ItemSaveAs, ItemNew, ItemViewSource, ItemExecute, SaveButton, NewButton, ViewSource, Execute})
        w_[id].setEnabled(chosen);
    for (int id : {ItemInsertRow, AddRow}) w_[id].setEnabled(chosen && rows_ < kQBEMaxRows);
    for (int id : {ItemDeleteRow, DeleteRow}) w_[id].setEnabled(chosen && rows_ >= 2);
    refreshStatus();
}

void Grid::refreshStatus() {
    if (w_.statusText(2) != name_) w_.setStatusText(2, name_);
    const std::string mark = modified_ ? "Modified" : "";
    if (w_.statusText(3) != mark) w_.setStatusText(3, mark);
}

void Grid::takeCells() {
    for (int c = 1; c < columns(); ++c)
        for (int r = 1; r <= rows_; ++r)
            if (w_.has(cellId(c, r))) column(c).source(r) = w_[cellId(c, r)].value();
}

void Grid::setCode(int c, int r, int code) {
    // A code in the "SET ALL" column goes to every column of its row.
    for (int i = c == 0 ? 0 : c; i < (c == 0 ? columns() : c + 1); ++i) {
        column(i).type(r) = code;
        w_[codeId(i, r)].setIcon(codePicture(code));
    }
    modified_ = true;
}

void Grid::moveColumn(int c, int to) {
    if (c < 1 || to < 1 || c >= columns() || to >= columns()) return;
    takeCells();
    std::swap(column(c), column(to));
    showColumn(c);
    showColumn(to);
    modified_ = true;
    // The moved column stays in sight.
    rt::ControlState& area = w_[GridArea].edit();
    const int left = columnX(to) - 2, right = columnX(to) + kColumnWidth + 2;
    const int seen = std::max(area.width - 20, kColumnStep);
    if (left < area.scrollX)
        area.scrollX = std::max(0, left);
    else if (right > area.scrollX + seen)
        area.scrollX = right - seen;
}

bool Grid::build(bool runForm, std::string& filter, std::string& order) {
    takeCells();
    QBEBuild b = BuildQBEFilter(columns_, rows_, runForm, filter);
    if (b.ok) b = BuildQBEOrder(columns_, rows_, runForm, order);
    if (!b.ok) {
        rt::beep();
        rt::message(b.message, b.title, rt::MessageIcon::Exclamation);
        return false;
    }
    for (int r = 1; r <= rows_; ++r) w_[cellId(0, r)].setValue(columns_[0].source(r));
    return true;
}

void Grid::showSource(const std::string& filter, const std::string& order) {
    rt::Window s("QBESourceView", kSourceViewTitle);
    s.setPosition(0, 0, 300, 200).edit().centered = true;
    s.add(SourceFilter + 10, rt::ControlKind::Prompt).setText("Filter").setPosition(4, 4, 60, 10);
    s.add(SourceFilter, rt::ControlKind::Text).setValue(filter).setReadOnly(true).setPosition(4, 14, 292, 80);
    s.add(SourceOrder + 10, rt::ControlKind::Prompt).setText("Order").setPosition(4, 98, 60, 10);
    s.add(SourceOrder, rt::ControlKind::Text).setValue(order).setReadOnly(true).setPosition(4, 108, 292, 66);
    for (int id : {SourceFilter, SourceOrder}) {
        s[id].edit().font.face = "Courier New";
    }
    s.add(SourceOk, rt::ControlKind::Button).setText("OK").setPosition(246, 180, 50, 14);
    while (auto e = s.accept())
        if (e.event == rt::Event::Accepted && e.control == SourceOk) s.post(rt::Event::CloseWindow);
}

bool Grid::askToSave() {
    if (!modified_ || source_ == 0) return true;
    const std::string source(kQBESources[static_cast<std::size_t>(source_ - 1)]);
    const int answer = rt::message(
        "    You have made changes to the " + source + " query.|    Do you want to save the query.", "Save Query",
        rt::MessageIcon::Question, rt::button::Yes | rt::button::No | rt::button::Cancel, rt::button::Yes);
    if (answer == rt::button::Cancel) return false;
    if (answer == rt::button::Yes) save(false);
    return true;
}

void Grid::load() {
    if (!askToSave()) return;
    const std::string name = QBEDefinitionWindow(false);
    if (name.empty()) return;
    std::string source;
    for (const auto& e : QBEDefinitionList())
        if (e.QUERYNAME == name) source = e.QUERYFILE;
    if (source.empty()) {
        rt::beep();
        rt::message("    It was not posible to find the query.", "Load Error");
        return;
    }
    // A definition of a source that is gone loads into the current source's grid.
    int number = source_;
    for (std::size_t i = 0; i < kQBESources.size(); ++i)
        if (kQBESources[i] == source) number = static_cast<int>(i) + 1;
    if (number == 0) return;
    std::vector<QBEColumn> loaded;
    int rows = 1;
    std::string stored;
    const auto fields = QBESourceFields(kQBESources[static_cast<std::size_t>(number - 1)]);
    if (!LoadQBEDefinition(name, static_cast<long>(fields.size()), loaded, rows, stored)) return;
    source_ = number;
    // The source list shows the definition's source.
    w_[SourceList].setSelected(source_).setValue(std::string(kQBESources[static_cast<std::size_t>(source_ - 1)]));
    columns_ = std::move(loaded);
    rows_ = std::clamp(rows, 1, kQBEMaxRows);
    name_ = name;
    modified_ = false;
    rebuild();
}

void Grid::save(bool as) {
    if (columns_.empty()) return;
    if (as) name_.clear();
    if (name_.empty()) name_ = QBEDefinitionWindow(true);
    if (name_.empty()) return;
    takeCells();
    const int rc = SaveQBEDefinition(name_, kQBESources[static_cast<std::size_t>(source_ - 1)], rows_, columns_);
    if (rc == 0)
        modified_ = false;
    else if (rc != kQBEFileNotOpened)  // the open steps have shown their own message
        WindowErrorManager().throwFile(rc, "QBEFile");
}

// The grid's own controls: cells, code pictures and the column-move buttons.
bool Grid::takeGridEvent(const rt::EventInfo& e) {
    const int id = e.control;
    if (id < Heading || id >= GridEnd) return false;
    if (id >= Cell && id < Code) {
        if (e.event != rt::Event::Accepted) return true;
        const int c = (id - Cell) / 16, r = (id - Cell) % 16;
        if (c >= 1 && c < columns() && r >= 1 && r <= rows_ && column(c).source(r) != w_[id].value()) {
            column(c).source(r) = w_[id].value();
            modified_ = true;
        }
        return true;
    }
    if (id >= CodeRegion) {
        if (e.event != rt::Event::Accepted) return true;
        const int c = (id - CodeRegion) / 16, r = (id - CodeRegion) % 16;
        if (c >= columns() || r < 1 || r > rows_) return true;
        if (e.keyCode == rt::keys::MouseRight) {
            if (const int code = QBECodePicker(); code != 0) setCode(c, r, code);
        } else if (e.keyCode == rt::keys::None || e.keyCode == rt::keys::MouseLeft) {
            setCode(c, r, column(c).type(r) <= qbecode::OffDown ? qbecode::On : qbecode::Off);
        }
        return true;
    }
    if (e.event == rt::Event::Accepted && id >= MoveLeft && id < Cell) {
        if (id < MoveRight)
            moveColumn(id - MoveLeft, id - MoveLeft - 1);
        else
            moveColumn(id - MoveRight, id - MoveRight + 1);
    }
    return true;
}

void Grid::run() {
    rt::WindowController wc(w_, "QueryByExample");
    CommonWindow common(wc);
    wc.onInit = [] {
        LoadQBEOptions();
        return 0;
    };
    auto handle = [&](const rt::EventInfo& e) -> bool {
        // Closing a modified grid asks first; its Cancel keeps the window open.
        if (e.event == rt::Event::CloseWindow || e.event == rt::Event::CloseDown) {
            if (askToSave()) return false;
            w_.keepOpen();
            return true;
        }
        if (e.event != rt::Event::Accepted) return takeGridEvent(e);
        if (takeGridEvent(e)) return true;
        // The menu's items do what their buttons do.
        static const std::pair<int, int> same[] = {
            {ItemLoad, LoadButton}, {ItemSave, SaveButton},       {ItemNew, NewButton},
            {ItemExit, ExitButton}, {ItemInsertRow, AddRow},      {ItemDeleteRow, DeleteRow},
            {ItemOptions, Options}, {ItemViewSource, ViewSource}, {ItemExecute, Execute}};
        int control = e.control;
        for (const auto& [item, button] : same)
            if (control == item) control = button;
        switch (control) {
        case ItemSaveAs: save(true); return true;
        case ItemPrintSetup: rt::printerDialog("Print Setup", true); return true;
        case ItemHelp: QBEHelp(); return true;
        case ItemCut:
        case ItemCopy:
        case ItemPaste: {
            const int changed = rt::editFocused(w_, control == ItemCut    ? rt::EditCommand::Cut
                                                    : control == ItemCopy ? rt::EditCommand::Copy
                                                                          : rt::EditCommand::Paste);
            if (changed != 0) {
                rt::EventInfo accepted = e;
                accepted.control = changed;
                takeGridEvent(accepted);
            }
            return true;
        }
        case SourceList: {
            const std::string chosen(rt::clip(w_[SourceList].value()));
            if (!askToSave()) {
                w_[SourceList].setSelected(source_).setValue(
                    std::string(source_ ? kQBESources[static_cast<std::size_t>(source_ - 1)] : ""));
                return true;
            }
            for (std::size_t i = 0; i < kQBESources.size(); ++i)
                if (kQBESources[i] == chosen) chooseSource(static_cast<int>(i) + 1);
            return true;
        }
        case ExecutionList:
            w_[ExecutionPicture].setIcon(rt::clip(w_[ExecutionList].value()) == "Report" ? "QbeReport.ico"
                                                                                         : "QbeView.ico");
            return true;
        case AddRow:
            if (columns_.empty() || rows_ >= kQBEMaxRows) return true;
            takeCells();
            ++rows_;
            addRowControls(rows_);
            for (int c = 0; c < columns(); ++c) showColumn(c);
            sizeArea();
            modified_ = true;
            return true;
        case DeleteRow:
            if (columns_.empty() || rows_ < 2) return true;
            takeCells();
            dropRowControls(rows_);
            for (auto& col : columns_) {
                col.source(rows_).clear();
                col.type(rows_) = 0;
            }
            --rows_;
            sizeArea();
            modified_ = true;
            return true;
        case ViewSource: {
            std::string filter, order;
            if (build(false, filter, order)) showSource(filter, order);
            return true;
        }
        case Execute: {
            std::string filter, order;
            if (!build(true, filter, order)) return true;
            if (CurrentQBEOptions().reportSource != 0) showSource(filter, order);
            const std::vector<std::string> sources(kQBESources.begin(), kQBESources.end());
            if (rt::clip(w_[ExecutionList].value()) == "Report")
                QBEReport(sources, columns_, filter, order, rows_, source_);
            else
                QBEView(sources, columns_, filter, order, rows_, source_);
            return true;
        }
        case Options: QBEOptions(); return true;
        case LoadButton: load(); return true;
        case SaveButton: save(false); return true;
        case NewButton:
            if (!askToSave()) return true;
            if (source_ != 0) chooseSource(source_);
            return true;
        case ExitButton:
            if (askToSave()) {
                modified_ = false;
                wc.close(rt::response::Completed);
            }
            return true;
        default: return false;
        }
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        const bool taken = handle(e);
        refreshState();
        return taken;
    };
    wc.run();
}

}  // namespace

std::string QBEDefinitionWindow(bool saving, const std::string& source) {
    rt::Window w("QBEDefinitions", saving ? kSaveTitle : kLoadTitle);
    w.setPosition(0, 0, 250, 170).edit().centered = true;
    w.add(NameList, rt::ControlKind::List).setPosition(4, 4, 242, 124);
    w.add(NameEntry, rt::ControlKind::Entry).setPicture("@s255").setPosition(4, 132, 242, 12);
    w.add(NameDelete, rt::ControlKind::Button).setText("Delete").setPosition(4, 150, 50, 14);
    w.add(NameOk, rt::ControlKind::Button).setText("Ok").setPosition(142, 150, 50, 14);
    w.add(NameCancel, rt::ControlKind::Button).setText("Cancel").setPosition(196, 150, 50, 14);
    std::vector<QBEDefinitionEntry> entries;
    auto fill = [&] {
        entries = QBEDefinitionList(source);
        rt::ListData& data = w[NameList].editList();
        data.columns = {rt::ListColumn("Query Name", 140), rt::ListColumn("File Name", 100)};
        data.rows.clear();
        for (const auto& e : entries) {
            rt::ListCell file(e.QUERYFILE);
            if (e.missingSource) {
                file.fore = rt::rgb(255, 0, 0);
                file.selectedBack = rt::rgb(255, 0, 0);
            }
            data.rows.push_back({{rt::ListCell(e.QUERYNAME), file}});
        }
    };
    fill();
    std::string result;
    while (auto e = w.accept()) {
        if (e.control == NameList && (e.event == rt::Event::NewSelection || e.event == rt::Event::Accepted)) {
            const int row = w[NameList].selected();
            if (row >= 1 && static_cast<std::size_t>(row) <= entries.size())
                w[NameEntry].setValue(entries[static_cast<std::size_t>(row - 1)].QUERYNAME);
            if (e.event == rt::Event::NewSelection) continue;
        }
        if (e.event != rt::Event::Accepted) continue;
        const std::string name(rt::clip(rt::trimBlanks(w[NameEntry].value())));
        if (e.control == NameDelete && !name.empty()) {
            rt::beep();
            if (rt::message("    Do you want to delete the query:|    '" + name + "'", "Delete Query",
                            rt::MessageIcon::Question, rt::button::Yes | rt::button::No,
                            rt::button::No) == rt::button::Yes) {
                DeleteQBEDefinition(name);
                fill();
            }
        } else if ((e.control == NameOk || e.control == NameList) && !name.empty()) {
            result = QBEDefinitionName(name);
            w.post(rt::Event::CloseWindow);
        } else if (e.control == NameCancel) {
            w.post(rt::Event::CloseWindow);
        }
    }
    return result;
}

void QBEHelp() {
    static const char* const codes[] = {"Don't sort on field, don't include field in view/report.",
                                        "Sort field ascending, don't include field in view/report.",
                                        "Sort field descending, don't include field in view/report",
                                        "Don't sort on field, indlude field in view/report.",
                                        "Sort field ascending, include field in view/report.",
                                        "Sort field descending, include field in view/report.",
                                        "Insert calculated sum of field in report.",
                                        "Insert calculated count af field in report.",
                                        "Insert calculated avarage of field in report.",
                                        "Insert calculated minimum of field in report.",
                                        "Insert calculated maximum of field in report.",
                                        "Insert break in report. Calculations are reset if on same row as break."};
    static const char* const filters[] = {
        "Place your filter on the field you want to filter out.",
        "Place quotationmarks around text strings and dates.",
        "You can use: AND, OR, <, >, <=, >= and <> on the filter.",
        "If you don't specify a logical operator, a equal sign ( = ) are placed at the filter.",
        "All fields on a row are and'ed together. All rows are or'ed together.",
        "You can place up to 15 rows on a query.",
        "When you filter on a date, you have to use the same picture as in the report."};
    rt::Window w("QBEHelp", kHelpTitle);
    w.setPosition(0, 0, 330, 290).edit().centered = true;
    w.add(HelpOrder, rt::ControlKind::Group).setText("Order").setPosition(4, 4, 322, 160);
    w.add(HelpPicture, rt::ControlKind::Image, HelpOrder).setIcon("QbeOrder.bmp").setPosition(10, 16, 12, 144);
    for (int i = 0; i < 12; ++i)
        w.add(HelpCode + 1 + i, rt::ControlKind::String, HelpOrder)
            .setText(codes[i])
            .setPosition(28, 16 + i * 12, 294, 10);
    w.add(HelpFilter, rt::ControlKind::Group).setText("Filter").setPosition(4, 168, 322, 96);
    for (int i = 0; i < 7; ++i)
        w.add(HelpLine + 1 + i, rt::ControlKind::String, HelpFilter)
            .setText(filters[i])
            .setPosition(10, 180 + i * 12, 310, 10);
    w.add(HelpOk, rt::ControlKind::Button).setText("Ok").setPosition(276, 270, 50, 14);
    while (auto e = w.accept())
        if (e.event == rt::Event::Accepted && e.control == HelpOk) w.post(rt::Event::CloseWindow);
}

int QBECodePicker() {
    constexpr int kStep = 18, kBox = 16;
    rt::Window w(kPickerProcedure, "");
    w.setPosition(0, 0, 4 * kStep + 4, 3 * kStep + 4);
    w.edit().atMouse = true;
    w.edit().resizable = false;
    for (int code = 1; code <= 12; ++code) {
        const int bx = 3 + (code - 1) % 4 * kStep, by = 3 + (code - 1) / 4 * kStep;
        w.add(PickerBox + code, rt::ControlKind::Box).setPosition(bx, by, kBox, kBox);
        w[PickerBox + code].edit().background = rt::rgb(0xC0, 0xC0, 0xC0);
        w[PickerBox + code].edit().borderColor = rt::rgb(0xC0, 0xC0, 0xC0);
        w.add(PickerImage + code, rt::ControlKind::Image)
            .setIcon(codePicture(code))
            .setPosition(bx + 3, by + 3, 10, 10);
        w.add(PickerRegion + code, rt::ControlKind::Region).setPosition(bx, by, kBox, kBox).setImmediate(true);
        w[PickerRegion + code].edit().transparent = true;
    }
    int chosen = 0;
    while (auto e = w.accept()) {
        const int code = e.control - PickerRegion;
        if (code < 1 || code > 12) continue;
        // The region under the mouse turns green, and silver again when the mouse leaves.
        if (e.event == rt::Event::MouseIn || e.event == rt::Event::MouseOut) {
            const rt::Color color = e.event == rt::Event::MouseIn ? rt::rgb(0, 0x80, 0) : rt::rgb(0xC0, 0xC0, 0xC0);
            w[PickerBox + code].edit().background = color;
            w[PickerBox + code].edit().borderColor = color;
        } else if (e.event == rt::Event::Accepted && e.keyCode != rt::keys::MouseRight) {
            chosen = code;
            w.post(rt::Event::CloseWindow);
        }
    }
    return chosen;
}

void QueryByExample(const std::string& tableLabel) {
    const std::string label(rt::clip(tableLabel));
    if (!label.empty()) {
        // A caller's table: a saved definition of it printed straight away, without the grid.
        int number = 0;
        for (std::size_t i = 0; i < kQBESources.size(); ++i)
            if (kQBESources[i] == label) number = static_cast<int>(i) + 1;
        if (number == 0) return;
        LoadQBEOptions();
        const std::string name = QBEDefinitionWindow(false, label);
        if (name.empty()) return;
        // Only a name of the list shown, the caller's source: another source's definition would
        // print under the wrong headings.
        const auto listed = QBEDefinitionList(label);
        const bool shown =
            std::any_of(listed.begin(), listed.end(), [&](const QBEDefinitionEntry& e) { return e.QUERYNAME == name; });
        std::vector<QBEColumn> columns;
        int rows = 1;
        std::string stored;
        if (!shown ||
            !LoadQBEDefinition(name, static_cast<long>(QBESourceFields(label).size()), columns, rows, stored)) {
            rt::beep();
            rt::message("    It was not posible to find the query.", "Load Error");
            return;
        }
        QBEReport({kQBESources.begin(), kQBESources.end()}, columns, "", "", rows, number);
        return;
    }
    Grid grid;
    grid.run();
}
