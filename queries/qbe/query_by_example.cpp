#include "queries/qbe/query_by_example.h"

#include <algorithm>
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

constexpr int kMaxColumns = 24;
constexpr int kColumnWidth = 60;
constexpr int kRowHeight = 24;

// The code entries of a cell, in code order (entry n is code n).
const std::vector<std::string>& codeNames() {
    static const std::vector<std::string> names = {"Off", "Off, up", "Off, down", "On",      "On, up",  "On, down",
                                                   "Sum", "Count",   "Average",   "Minimum", "Maximum", "Break"};
    return names;
}

void fillList(rt::ControlRef list, const std::vector<std::string>& texts, int width) {
    rt::ListData& data = list.editList();
    data.columns = {rt::ListColumn("", width)};
    data.rows.clear();
    for (const auto& t : texts) data.rows.push_back({{rt::ListCell(t)}});
    data.lineHeight = 10;
}

class Grid {
public:
    Grid();
    void run();

private:
    void chooseSource(int number);
    void layout();
    void takeCells();
    bool build(bool runForm, std::string& filter, std::string& order);
    void showSource(const std::string& filter, const std::string& order);
    void load();
    void save(bool as);

    rt::Window w_;
    std::vector<QBEColumn> columns_;
    int source_ = 0;
    int rows_ = 1;
    std::string name_;
    bool modified_ = false;
    // Asks to save a modified grid; false when the user cancels the action.
    bool askToSave();
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
                {MenuView, 0, "&View", ""},
                {ItemViewSource, MenuView, "View &Source", "View Query Source"},
                {ItemExecute, MenuView, "&Execute QBE", "Execute the Query"},
                {MenuHelp, 0, "&Help", ""},
                {ItemHelp, MenuHelp, "&Help on Order and Filter", "Help on use of Order and Filter"}};
    for (const auto& m : menu)
        w_.add(m.id, m.parent ? rt::ControlKind::Item : rt::ControlKind::Menu, m.parent).setText(m.text).setTip(m.tip);
    w_.add(SourcePrompt, rt::ControlKind::Prompt).setText("Select file:").setPosition(4, 6, 40, 10);
    w_.add(SourceList, rt::ControlKind::DropList).setPosition(46, 4, 100, 12);
    std::vector<std::string> sources(kQBESources.begin(), kQBESources.end());
    fillList(w_[SourceList], sources, 100);
    w_.add(ExecutionList, rt::ControlKind::DropList).setPosition(152, 4, 50, 12);
    fillList(w_[ExecutionList], {"View", "Report"}, 50);
    w_[ExecutionList].setValue("View");
    const struct {
        int id;
        const char* text;
        const char* icon;
        int x;
    } buttons[] = {{AddRow, "Add row", "QbeAddRow.ico", 208},         {DeleteRow, "Delete row", "QbeDelRow.ico", 264},
                   {ViewSource, "View source", "QbeSource.ico", 320}, {Execute, "Execute", "QbeExecute.ico", 376},
                   {Options, "Options", "QbeOptions.ico", 432},       {ExitButton, "Exit", "QbeExitApp.ico", 562}};
    for (const auto& b : buttons)
        w_.add(b.id, rt::ControlKind::Button).setText(b.text).setIcon(b.icon).setPosition(b.x, 3, 54, 14);
    const struct {
        int id;
        const char* icon;
        const char* tip;
        int x;
    } files[] = {{LoadButton, "QbeOpen.ico", "Open stored query", 488},
                 {SaveButton, "QbeSave.ico", "Save current query", 506},
                 {NewButton, "QbeNew.ico", "Create new query", 524}};
    for (const auto& f : files)
        w_.add(f.id, rt::ControlKind::Button).setIcon(f.icon).setTip(f.tip).setPosition(f.x, 3, 16, 14);
    for (int r = 1; r <= kQBEMaxRows; ++r)
        w_.add(RowLabel + r, rt::ControlKind::String)
            .setText(std::to_string(r) + ".")
            .setPosition(4, 32 + r * kRowHeight, 12, 10)
            .hide();
    for (int c = 0; c < kMaxColumns; ++c) {
        const int x = 18 + c * (kColumnWidth + 2);
        w_.add(Heading + c, rt::ControlKind::Entry).setPosition(x, 24, kColumnWidth, 11).setReadOnly(true).hide();
        w_[Heading + c].edit().background = rt::rgb(255, 255, 0);
        for (int r = 1; r <= kQBEMaxRows; ++r) {
            const int y = 30 + r * kRowHeight;
            w_.add(cellId(c, r), rt::ControlKind::Entry).setPicture("@S255").setPosition(x, y, kColumnWidth, 9).hide();
            w_.add(codeId(c, r), rt::ControlKind::DropList).setPosition(x, y + 10, kColumnWidth, 11).hide();
            fillList(w_[codeId(c, r)], codeNames(), kColumnWidth);
        }
    }
    for (int id : {AddRow, DeleteRow, ViewSource, Execute, SaveButton, NewButton, ItemSave, ItemSaveAs, ItemNew,
                   ItemViewSource, ItemExecute, ItemInsertRow, ItemDeleteRow})
        w_[id].disable();
    w_.setImmediateAll(true);
}

void Grid::chooseSource(int number) {
    source_ = number;
    columns_.assign(1, QBESetAllColumn());
    for (auto& c : QBESourceFields(kQBESources[static_cast<std::size_t>(number - 1)])) columns_.push_back(std::move(c));
    rows_ = 1;
    modified_ = false;
    layout();
}

void Grid::layout() {
    for (int c = 0; c < kMaxColumns; ++c) {
        const bool used = c < static_cast<int>(columns_.size());
        w_[Heading + c].setHidden(!used);
        if (used) w_[Heading + c].setValue(columns_[static_cast<std::size_t>(c)].HEADER);
        for (int r = 1; r <= kQBEMaxRows; ++r) {
            const bool shown = used && r <= rows_;
            w_[cellId(c, r)].setHidden(!shown);
            w_[codeId(c, r)].setHidden(!shown);
            if (!shown) {
                w_[cellId(c, r)].setValue("");
                continue;
            }
            QBEColumn& col = columns_[static_cast<std::size_t>(c)];
            w_[cellId(c, r)].setValue(col.source(r));
            const int code = col.type(r);
            w_[codeId(c, r)].setValue(codeNames()[static_cast<std::size_t>(code >= 1 && code <= 12 ? code - 1 : 0)]);
        }
    }
    // The "SET ALL" cells show the built row text; they take no input.
    for (int r = 1; r <= kQBEMaxRows; ++r) {
        w_[RowLabel + r].setHidden(r > rows_ || columns_.empty());
        w_[cellId(0, r)].setReadOnly(true);
    }
    const bool chosen = !columns_.empty();
    for (int id : {ItemSave, ItemSaveAs, ItemNew, ItemViewSource, ItemExecute}) w_[id].setEnabled(chosen);
    w_[ItemInsertRow].setEnabled(chosen && rows_ < kQBEMaxRows);
    w_[ItemDeleteRow].setEnabled(chosen && rows_ >= 2);
    w_[SaveButton].setEnabled(chosen);
    w_[NewButton].setEnabled(chosen);
    w_[ViewSource].setEnabled(chosen);
    w_[Execute].setEnabled(chosen);
    w_[AddRow].setEnabled(chosen && rows_ < kQBEMaxRows);
    w_[DeleteRow].setEnabled(chosen && rows_ >= 2);
}

void Grid::takeCells() {
    for (std::size_t c = 1; c < columns_.size() && c < static_cast<std::size_t>(kMaxColumns); ++c)
        for (int r = 1; r <= rows_; ++r) columns_[c].source(r) = w_[cellId(static_cast<int>(c), r)].value();
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
    w_[SourceList].setValue(std::string(kQBESources[static_cast<std::size_t>(number - 1)]));
    columns_ = std::move(loaded);
    rows_ = std::clamp(rows, 1, kQBEMaxRows);
    name_ = name;
    modified_ = false;
    layout();
}

void Grid::save(bool as) {
    if (columns_.empty()) return;
    if (as) name_.clear();
    if (name_.empty()) name_ = QBEDefinitionWindow(true);
    if (name_.empty()) return;
    takeCells();
    if (int rc = SaveQBEDefinition(name_, kQBESources[static_cast<std::size_t>(source_ - 1)], rows_, columns_); rc != 0)
        WindowErrorManager().throwFile(rc, "QBEFile");
    else
        modified_ = false;
}

void Grid::run() {
    rt::WindowController wc(w_, "QueryByExample");
    CommonWindow common(wc);
    wc.onInit = [] {
        LoadQBEOptions();
        return 0;
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        // Closing a modified grid asks first; its Cancel keeps the window open.
        if (e.event == rt::Event::CloseWindow) return !askToSave();
        if (e.event != rt::Event::Accepted) return false;
        if (e.control >= Cell && e.control < Cell + kMaxColumns * 16) {
            modified_ = true;
            return true;
        }
        if (e.control >= Code && e.control < Code + kMaxColumns * 16) {
            modified_ = true;
            const int c = (e.control - Code) / 16, r = (e.control - Code) % 16;
            const auto& names = codeNames();
            int code = 0;
            for (std::size_t i = 0; i < names.size(); ++i)
                if (rt::clip(w_[e.control].value()) == names[i]) code = static_cast<int>(i) + 1;
            // A code in the "SET ALL" column goes to every column of its row.
            if (c == 0)
                for (auto& col : columns_) col.type(r) = code;
            else if (static_cast<std::size_t>(c) < columns_.size())
                columns_[static_cast<std::size_t>(c)].type(r) = code;
            takeCells();
            layout();
            return true;
        }
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
        case SourceList: {
            if (!askToSave()) {
                w_[SourceList].setValue(std::string(source_ ? kQBESources[static_cast<std::size_t>(source_ - 1)] : ""));
                return true;
            }
            const std::string chosen(rt::clip(w_[SourceList].value()));
            for (std::size_t i = 0; i < kQBESources.size(); ++i)
                if (kQBESources[i] == chosen) chooseSource(static_cast<int>(i) + 1);
            name_.clear();
            return true;
        }
        case AddRow:
            modified_ = true;
            takeCells();
            if (rows_ < kQBEMaxRows) ++rows_;
            layout();
            return true;
        case DeleteRow:
            modified_ = true;
            takeCells();
            if (rows_ >= 2) {
                for (auto& col : columns_) {
                    col.source(rows_).clear();
                    col.type(rows_) = 0;
                }
                --rows_;
            }
            layout();
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
            name_.clear();
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
    w.add(HelpOrder + 100, rt::ControlKind::Image, HelpOrder).setIcon("QbeOrder.bmp").setPosition(10, 16, 14, 140);
    for (int i = 0; i < 12; ++i)
        w.add(HelpOrder + 101 + i, rt::ControlKind::String, HelpOrder)
            .setText(codes[i])
            .setPosition(28, 16 + i * 12, 294, 10);
    w.add(HelpFilter, rt::ControlKind::Group).setText("Filter").setPosition(4, 168, 322, 96);
    for (int i = 0; i < 7; ++i)
        w.add(HelpFilter + 101 + i, rt::ControlKind::String, HelpFilter)
            .setText(filters[i])
            .setPosition(10, 180 + i * 12, 310, 10);
    w.add(HelpOk, rt::ControlKind::Button).setText("Ok").setPosition(276, 270, 50, 14);
    while (auto e = w.accept())
        if (e.event == rt::Event::Accepted && e.control == HelpOk) w.post(rt::Event::CloseWindow);
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
        std::vector<QBEColumn> columns;
        int rows = 1;
        std::string stored;
        if (!LoadQBEDefinition(name, static_cast<long>(QBESourceFields(label).size()), columns, rows, stored)) {
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
