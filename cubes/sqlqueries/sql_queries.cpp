#include "cubes/sqlqueries/sql_queries.h"

#include <algorithm>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/classlib/request.h"
#include "runtime/data/view_manager.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace sqlqueries;

// ---- The field list --------------------------------------------------------------------------

namespace {

struct FieldRow {
    std::string name;
    std::string picture;
    std::string type;
    bool key = false;
};

// A table's keys, then its fields, as the program declares them.
std::vector<FieldRow> fieldRows(const rt::TableDef& def) {
    std::vector<FieldRow> rows;
    for (const auto& key : def.keys) {
        const auto colon = key.label.find(':');
        rows.push_back({colon == std::string::npos ? key.label : key.label.substr(colon + 1), "", "Key", true});
    }
    // A column that other fields are laid over (a date-time's date and time) shows as those
    // fields: neither the column nor its group is a field one writes in a statement.
    const auto& fields = def.record.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i];
        const bool laidOver = i + 1 < fields.size() && fields[i + 1].type == rt::FieldType::Group;
        if (f.type == rt::FieldType::Group || laidOver) continue;
        rows.push_back({f.name, f.picture, rt::fieldTypeName(f.type), false});
    }
    return rows;
}

// Every table label, sorted without regard to case.
std::vector<std::string> tableLabels() {
    std::vector<std::string> labels;
    for (const auto* def : dictionary::tables()) labels.push_back(def->label);
    std::sort(labels.begin(), labels.end(),
              [](const std::string& a, const std::string& b) { return rt::upper(a) < rt::upper(b); });
    return labels;
}

}  // namespace

std::string Fieldliste(rt::String<20>& table, rt::String<32>& field, rt::String<10>& picture) {
    const std::vector<std::string> labels = tableLabels();
    std::vector<FieldRow> shown;
    int shownTable = 0;

    rt::Window w("Fieldliste", kFieldListTitle);
    w.setSize(220, 200);
    w.edit().centered = true;
    w.add(FieldSheet, rt::ControlKind::Sheet).setPosition(4, 4, 212, 192);
    w.add(FieldTab, rt::ControlKind::Tab, FieldSheet).setText("Fields");
    {
        rt::ListData data;
        data.columns = {rt::ListColumn("Tables", 70)};
        for (const auto& l : labels) data.rows.push_back({{rt::ListCell(l)}});
        w.add(Tables, rt::ControlKind::List, FieldTab).setPosition(8, 20, 74, 170).setListData(std::move(data));
    }
    w.add(FieldRows, rt::ControlKind::List, FieldTab).setPosition(86, 20, 126, 170);
    w.alert(rt::keys::Enter);
    w.alert(rt::keys::MouseLeft2);

    auto fill = [&](int row) {
        shownTable = row;
        shown = row > 0 ? fieldRows(*dictionary::findTable(labels[static_cast<std::size_t>(row) - 1]))
                        : std::vector<FieldRow>{};
        rt::ListData data;
        data.columns = {rt::ListColumn("Field", 90), rt::ListColumn("Picture", 32)};
        data.columns[0].picture = "@s40";
        data.columns[1].picture = "@s10";
        for (const auto& r : shown) {
            rt::ListRow lr{{rt::ListCell(r.name), rt::ListCell(r.picture)}};
            const bool system = r.type == "ULONG" && rt::upper(r.name).rfind("SYS", 0) == 0;
            if (r.key || system)
                for (auto& cell : lr.cells) {
                    cell.fore = r.key ? rt::rgb(0, 0, 255) : rt::rgb(0, 128, 0);
                    cell.selectedFore = r.key ? rt::rgb(0, 255, 255) : rt::rgb(0, 255, 0);
                }
            data.rows.push_back(std::move(lr));
        }
        w[FieldRows].setListData(std::move(data));
        w[FieldRows].setSelected(shown.empty() ? 0 : 1);
    };
    const std::string wanted(table.clipped());
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (rt::upper(labels[i]) == rt::upper(wanted)) fill(static_cast<int>(i) + 1);
    w[Tables].setSelected(shownTable);
    w.select(Tables);

    std::string result;
    bool chosen = false;
    while (auto e = w.accept()) {
        if (e.control == Tables && e.event == rt::Event::Accepted) {
            fill(w[Tables].selected());
        } else if (e.control == Tables && e.event == rt::Event::NewSelection) {
            fill(w[Tables].selected());
        } else if (e.control == FieldRows && (e.event == rt::Event::AlertKey || e.event == rt::Event::Accepted)) {
            const int row = w[FieldRows].selected();
            if (row < 1 || row > static_cast<int>(shown.size()) || shownTable < 1) continue;
            const FieldRow& r = shown[static_cast<std::size_t>(row) - 1];
            table = labels[static_cast<std::size_t>(shownTable) - 1];
            field = r.name;
            picture = r.picture;
            result = std::string(table.clipped()) + "." + std::string(field.clipped());
            chosen = true;
            w.post(rt::Event::CloseWindow);
        }
    }
    if (!chosen && !table.clipped().empty() && !field.clipped().empty())
        result = std::string(table.clipped()) + "." + std::string(field.clipped());
    return result;
}

// ---- The form ----------------------------------------------------------------------------------

void UpdateSQL_QBE() {
    rt::Window w("UpdateSQL_QBE", "Query bearbeiten");
    w.setSize(320, 210);
    w.edit().centered = true;
    int y = 6;
    auto row = [&](int prompt, int id, const char* label, rt::ControlKind kind, const char* picture, int width,
                   const char* tip) {
        w.add(prompt, rt::ControlKind::Prompt).setText(label).setPosition(6, y + 1, 54, 10);
        w.add(id, kind).setPicture(picture).setTip(tip).setPosition(62, y, width, 11);
        y += 14;
    };
    row(NamePrompt, Name, "Name", rt::ControlKind::Entry, "@s20", 90, "wer ?");
    row(DatePrompt, Date, "Erstellt am", rt::ControlKind::String, "@d17", 60, "");
    row(TablePrompt, Table, "Tabelle", rt::ControlKind::Entry, "@s20", 90, "Tabelle für Query");
    row(DescriptionPrompt, Description, "Beschreibung", rt::ControlKind::Entry, "@s60", 250, "Description");
    row(HeadlinePrompt, Headline, "Headline", rt::ControlKind::Entry, "@s100", 250,
        "Kopfzeile für Browse oder Exportfile");
    w.add(QueryPrompt, rt::ControlKind::Prompt).setText("QBE String").setPosition(6, y + 1, 54, 10);
    // Reports every change: OK and the append buttons work on what was typed.
    w.add(Query, rt::ControlKind::Text).setPosition(62, y, 250, 90).setImmediate(true);
    y += 94;
    const struct {
        int id;
        const char* text;
        int x, width;
    } buttons[] = {{Fields, "Feldliste", 62, 44}, {OpenParen, "(", 110, 16}, {CloseParen, ")", 130, 16},
                   {And, "AND", 150, 24},         {Or, "OR", 178, 24},       {Ok, "&OK", 206, 50},
                   {Cancel, "&Cancel", 262, 50}};
    for (const auto& b : buttons) w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(b.x, y, b.width, 14);
    w[Ok].edit().defaultButton = true;
    w.setSize(320, y + 20);

    rt::FormController form(w, "UpdateSQL_QBE", *Relate.SQLQuerries);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(Name, "SQLQBE:Name");
    form.bind(Date, "SQLQBE:Datum");
    form.bind(Table, "SQLQBE:FileName");
    form.bind(Description, "SQLQBE:DESCRIPTION");
    form.bind(Headline, "SQLQBE:HeadLine");
    form.bind(Query, "SQLQBE:QUERY");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(Name);
    // The table keeps 1,000 characters of a statement: a longer one is not cut off unnoticed.
    form.validate = [&] {
        const std::size_t length = rt::charLength(rt::clip(w[Query].value()));
        if (length <= kStoredQueryWidth) return true;
        rt::message("Die Query ist " + std::to_string(length) + " Zeichen lang.|Gespeichert werden höchstens " +
                        std::to_string(kStoredQueryWidth) + " Zeichen.",
                    "Query bearbeiten", rt::MessageIcon::Exclamation);
        w.select(Query);
        return false;
    };
    auto append = [&](const std::string& text) { w[Query].setValue(std::string(rt::clip(w[Query].value())) + text); };
    form.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case Fields: {
            rt::String<20> table("ARCHIVK");
            rt::String<32> field;
            rt::String<10> picture;
            append(Fieldliste(table, field, picture));
            return true;
        }
        case OpenParen: append("("); return true;
        case CloseParen: append(")"); return true;
        case And: append(" AND"); return true;
        case Or: append(" OR"); return true;
        default: return false;
        }
    };
    form.run();
}

// ---- The list ----------------------------------------------------------------------------------

std::string ListeSQL_QBE(std::string_view fileFilter) {
    if (GLO.SQL_QBE.get().clipped().empty()) {
        // A new name makes a new file of saved queries: a fresh folder has none to choose.
        const rt::FileDialogResult file = rt::openOrNewFileDialog("SQL-Query-Datei", "", "SQL-Query|SQL*.TPS");
        GLO.SQL_QBE = file.ok ? file.path : std::string();
        if (!file.ok) {
            rt::message("Keine Datei ausgewählt", "Abbruch", rt::MessageIcon::Information);
            rt::ThreadRequest = rt::request::None;
            rt::ThreadResponse = rt::response::Cancelled;
            return {};
        }
    }

    rt::Window w("ListeSQL_QBE", kListTitle);
    w.setPosition(0, 0, 420, 240);
    w.edit().centered = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 412, 192);
    w.add(TabCreated, rt::ControlKind::Tab, Sheet).setText("Erstellt am");
    w.add(TabDescription, rt::ControlKind::Tab, Sheet).setText("Beschreibung");
    w.add(Locator, rt::ControlKind::Entry, TabCreated).setPicture("@s60").setPosition(8, 180, 160, 11);
    w.add(List, rt::ControlKind::List).setPosition(8, 20, 404, 110).setHelp("Browsing Records");
    w[List].editList().lineHeight = 12;
    w.add(QueryView, rt::ControlKind::Text).setReadOnly(true).setPosition(8, 134, 404, 42);
    const struct {
        int id;
        const char* text;
        int x;
    } buttons[] = {{Select, "&Select", 4},
                   {Insert, "&Insert", 58},
                   {Change, "&Change", 112},
                   {Delete, "&Delete", 166},
                   {Close, "Close", 366}};
    for (const auto& b : buttons) w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(b.x, 202, 50, 14);

    rt::WindowController wc(w, "ListeSQL_QBE");
    CommonWindow common(wc);
    wc.addFile(*Relate.SQLQuerries);
    rt::ViewManager view(*Access.SQLQuerries);
    rt::BrowseManager list(wc, List, view);
    auto column = [&](const char* heading, int width, const char* field, const char* picture) {
        list.addColumn(heading, width, field, picture);
    };
    column("Beschreibung", 240, "SQLQBE:DESCRIPTION", "@s60");
    column("Name", 80, "SQLQBE:Name", "@s20");
    column("Datum", 46, "SQLQBE:Datum", "@d17");
    column("Tabelle", 40, "SQLQBE:FileName", "@s20");
    list.setSheet(Sheet);
    list.addSortOrder(
        rt::sortByKey(TabCreated, "SQLQBE:DESCRIPTIONKEY", rt::Locator::Entry, "SQLQBE:DESCRIPTION", Locator));
    rt::BrowseSortOrder byId = rt::sortByKey(TabDescription, "SQLQBE:Key_SQLID", rt::Locator::Step, "SQLQBE:ID");
    const std::string filter(rt::clip(fileFilter));
    byId.filter = [filter] { return SQLQBE.FileName.clipped() == filter; };
    list.addSortOrder(std::move(byId));
    list.setButtons(Insert, Change, Delete, Select);
    list.setCloseButton(Close);
    wc.setProcedure(1, UpdateSQL_QBE);
    list.setFormProcedure(1);

    // The text box shows the statement of the highlighted query.
    auto showQuery = [&] {
        if (list.rowsLoaded() > 0 && list.fetchSelected() == 0)
            w[QueryView].setValue(std::string(SQLQBE.QUERY.clipped()));
        else
            w[QueryView].setValue("");
    };
    struct AfterEvents : rt::WindowComponent {
        rt::WindowController& wc;
        std::function<void()> then;
        AfterEvents(rt::WindowController& controller, std::function<void()> f) : wc(controller), then(std::move(f)) {
            wc.addComponent(*this);
        }
        ~AfterEvents() override { wc.removeComponent(*this); }
        void opened() override { then(); }
        bool takeEvent(const rt::EventInfo&) override {
            then();
            return false;
        }
    } afterEvents(wc, showQuery);
    list.afterForm = [&](std::uint8_t, std::uint8_t) { showQuery(); };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.control == List && e.event == rt::Event::NewSelection) showQuery();
        return false;
    };
    CommonList commonList(common, list);
    wc.run();
    return std::string(SQLQBE.QUERY.clipped());
}
