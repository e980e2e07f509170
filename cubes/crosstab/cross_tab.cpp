#include "cubes/crosstab/cross_tab.h"

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "queries/qbe/query_by_example.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/classlib/request.h"
#include "runtime/data/view_manager.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace crosstab;

namespace {

// Set by "&Kopieren": the next insert starts with these parts of the highlighted definition.
struct CopiedParts {
    bool pending = false;
    CrossTabRecord record;
};
thread_local CopiedParts tCopy;

// The printout goes through the query-by-example component on the table "CrossTab".
bool printAvailable() { return true; }
void printCrossTabs() { QueryByExample("CrossTab"); }

}  // namespace

bool QuotesDoubled(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\'') continue;
        if (i + 1 >= text.size() || text[i + 1] != '\'') return false;
        ++i;
    }
    return true;
}

void EditCrossTab() {
    const CopiedParts copy = tCopy;
    tCopy.pending = false;
    rt::Window w("EditCrossTab", "Daten für DynamicCrossTab");
    w.setSize(300, 120);
    w.edit().centered = true;
    w.add(FormSheet, rt::ControlKind::Sheet).setPosition(4, 4, 292, 92);
    w.add(FormTab, rt::ControlKind::Tab, FormSheet).setText("&1) General");
    int y = 20;
    auto entry = [&](int prompt, int id, const char* label) {
        w.add(prompt, rt::ControlKind::Prompt, FormTab).setText(label).setPosition(10, y + 1, 60, 10);
        w.add(id, rt::ControlKind::Entry, FormTab).setPicture("@s100").setPosition(74, y, 214, 11);
        y += 14;
    };
    entry(TitlePrompt, Title, "Title:");
    entry(RowPrompt, Row, "Row Value:");
    entry(ColPrompt, Col, "Col Value:");
    entry(AggregatePrompt, Aggregate, "Aggregate:");
    entry(FromPrompt, From, "From Expression:");
    w.add(Ok, rt::ControlKind::Button)
        .setText("&OK")
        .setIcon("OK.ICO")
        .setTip("Daten sichern")
        .setPosition(134, 100, 50, 14)
        .edit()
        .defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button)
        .setText("&Abbrechen")
        .setIcon("Cancel.ico")
        .setTip("Bearbeitung abbrechen")
        .setPosition(188, 100, 54, 14);
    // There is no help file to show.
    w.add(Help, rt::ControlKind::Button)
        .setText("&Help")
        .setIcon("WAHELP.ICO")
        .setTip("See Help Window")
        .setPosition(246, 100, 50, 14)
        .disable();

    rt::FormController form(w, "EditCrossTab", *Relate.CrossTab);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(Title, "CRO:Title");
    form.bind(Row, "CRO:RowValue");
    form.bind(Col, "CRO:ColValue");
    form.bind(Aggregate, "CRO:Aggregate");
    form.bind(From, "CRO:FromExpression");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(Title);
    // A copy takes every part of the highlighted definition but its identifier and its title.
    form.onPrimed = [&copy] {
        if (!copy.pending) return;
        CRO.RowValue = copy.record.RowValue;
        CRO.ColValue = copy.record.ColValue;
        CRO.Aggregate = copy.record.Aggregate;
        CRO.FromExpression = copy.record.FromExpression;
    };
    // A stored part can never end the literal it is sent in.
    form.validate = [&] {
        const struct {
            int id;
            const char* name;
        } parts[] = {{Title, "Title"},
                     {Row, "Row Value"},
                     {Col, "Col Value"},
                     {Aggregate, "Aggregate"},
                     {From, "From Expression"}};
        for (const auto& part : parts) {
            if (QuotesDoubled(w[part.id].value())) continue;
            rt::message(std::string("\"") + part.name +
                            "\" enthält ein einfaches Hochkomma.|Ein Hochkomma wird verdoppelt eingegeben, wie in "
                            "cVertreterNr+'' ''+ cName.",
                        kQuoteTitle, rt::MessageIcon::Exclamation);
            w.select(part.id);
            return false;
        }
        return true;
    };
    form.onInit = [&] {
        if (form.mode() == rt::request::View)
            for (int id : {Title, Row, Col, Aggregate, From}) w[id].setReadOnly(true);
        return 0;
    };
    form.run();
}

void BrowseCrossTab() {
    rt::Window w("BrowseCrossTab", kListTitle);
    w.setPosition(0, 0, 440, 210);
    w.edit().mdiChild = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 432, 176);
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(TabTitle, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(Locator, rt::ControlKind::Entry, TabTitle).setPicture("@s100").setPosition(8, 164, 120, 11);
    w.add(List, rt::ControlKind::List).setPosition(8, 20, 424, 140).setHelp("Browsing the CrossTab file");
    w[List].editList().lineHeight = 12;
    const struct {
        int id;
        const char* text;
        const char* icon;
        const char* tip;
        int x;
    } buttons[] = {{Select, "&Auswahl", "SELECT.ICO", "Datensatz übernehmen", 4},
                   {Copy, "&Kopieren", "COPY.ICO", "", 58},
                   {Insert, "&Neu", "ADD.ICO", "Datensatz anlegen", 112},
                   {Change, "&Bearbeiten", "Edit.ICO", "Datensatz bearbeiten", 166},
                   {Delete, "&Löschen", "Delete.ICO", "Datensatz löschen", 220},
                   {Print, "&Drucken", "", "", 274},
                   {Close, "&Schließen", "Cancel.ico", "Schließen", 382}};
    for (const auto& b : buttons)
        w.add(b.id, rt::ControlKind::Button)
            .setText(b.text)
            .setIcon(b.icon)
            .setTip(b.tip)
            .setPosition(b.x, 186, 50, 14);
    w[Print].setEnabled(printAvailable());

    rt::WindowController wc(w, "BrowseCrossTab");
    CommonWindow common(wc);
    wc.addFile(*Relate.CrossTab);
    rt::ViewManager view(*Access.CrossTab);
    rt::BrowseManager list(wc, List, view);
    auto column = [&](const char* heading, const char* field) {
        list.addColumn(heading, 80, field, "@s100").justify = rt::Justify::Left;
    };
    column("Title", "CRO:Title");
    column("Row Value", "CRO:RowValue");
    column("Col Value", "CRO:ColValue");
    column("Aggregate", "CRO:Aggregate");
    column("From Expression", "CRO:FromExpression");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabId, "CRO:PKCROID", rt::Locator::Step, "CRO:ID"));
    list.addSortOrder(rt::sortByKey(TabTitle, "CRO:KEY_CROTITLE", rt::Locator::Entry, "CRO:Title", Locator));
    list.setButtons(Insert, Change, Delete, Select);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditCrossTab);
    list.setFormProcedure(1);
    list.popup().addItemMimic("Kopieren", Copy, "&Kopieren");
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == Copy) {
            if (list.rowsLoaded() == 0 || list.viewOnly()) return true;
            // The row's record as the list shows it; nothing is read from the file before the
            // new record is numbered.
            list.selectRow(list.selectedRow());
            tCopy = {true, CRO};
            rt::message(kCopiedText, kCopiedText, rt::MessageIcon::Information);
            list.ask(rt::request::Insert);
            tCopy.pending = false;
            list.refresh();
            return true;
        }
        if (e.control == Print) {
            printCrossTabs();
            list.refresh();
            return true;
        }
        return false;
    };
    CommonList commonList(common, list);
    wc.run();
}
