#include "tests/core/common/example_procedures.h"

#include "core/common/common_window.h"
#include "runtime/data/dictionary.h"
#include "runtime/data/view_manager.h"
#include "runtime/thread/shared.h"
#include "runtime/ui/window.h"

namespace example {

thread_local WertRecord GNE;
std::atomic<int> formCalls{0};
std::atomic<int> printCalls{0};

namespace {
rt::Shared<std::string> tableFile;
}

void setTableFile(std::string file) { tableFile.set(std::move(file)); }

const rt::TableDef& werteTable() {
    using R = WertRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("Werte", "GNE")
                                        .localFile([] { return tableFile.get(); })
                                        .create()
                                        .field(&R::ID, "ID", "@N4")
                                        .field(&R::FILTER, "FILTER", "@s10")
                                        .field(&R::Wert, "Wert", "@N2")
                                        .field(&R::Bezeichnung, "Bezeichnung", "@s20")
                                        .key("KeyID", {"ID"}, rt::Unique | rt::Primary, {}, 1)
                                        .key("KeyBezeichnung", {"Bezeichnung"}, rt::Unique | rt::NoCase)
                                        .build();
    return def;
}

void ensureTable() {
    if (!rt::relationManager("Werte")) rt::threadDictionary().add(werteTable(), &GNE);
}

void addRecord(int id, const std::string& filter, int wert, const std::string& name) {
    ensureTable();
    rt::FileManager& fm = *rt::fileManager("Werte");
    fm.open();
    GNE = WertRecord{};
    GNE.ID = id;
    GNE.FILTER = filter;
    GNE.Wert = static_cast<rt::Short>(wert);
    GNE.Bezeichnung = name;
    fm.insertAsIs();
    fm.close();
}

int recordCount() {
    ensureTable();
    rt::FileManager& fm = *rt::fileManager("Werte");
    fm.open();
    int n = static_cast<int>(fm.records());
    fm.close();
    return n;
}

std::string nameOf(int id) {
    ensureTable();
    rt::FileManager& fm = *rt::fileManager("Werte");
    fm.open();
    GNE.ID = id;
    std::string out = fm.fetch("KeyID") == 0 ? std::string(rt::clip(GNE.Bezeichnung.str())) : std::string();
    fm.close();
    return out;
}

void ExampleList(const std::string& procedure, const std::string& formName) {
    ensureTable();
    rt::Window w(procedure, kListTitle);
    w.setPosition(0, 0, 300, 190);
    w.add(SHEET, rt::ControlKind::Sheet).setPosition(2, 2, 234, 150);
    w.add(TAB_ID, rt::ControlKind::Tab, SHEET).setText("ID");
    w.add(TAB_NAME, rt::ControlKind::Tab, SHEET).setText("Bezeichnung");
    w.add(LOCATOR, rt::ControlKind::Entry, TAB_NAME).setPicture("@s20").setPosition(8, 136, 80, 10);
    w.add(LIST, rt::ControlKind::List).setPosition(6, 18, 226, 114);
    w.add(INSERT, rt::ControlKind::Button).setText("&Insert").setPosition(244, 10, 50, 14);
    w.add(CHANGE, rt::ControlKind::Button).setText("&Change").setPosition(244, 28, 50, 14);
    w.add(DELETE, rt::ControlKind::Button).setText("&Delete").setPosition(244, 46, 50, 14);
    w.add(SELECT, rt::ControlKind::Button).setText("&Select").setPosition(244, 64, 50, 14);
    w.add(PRINT, rt::ControlKind::Button).setText("&PrintScreen").setPosition(244, 82, 50, 14);
    w.add(CLOSE, rt::ControlKind::Button).setText("Close").setPosition(244, 170, 50, 14);

    rt::WindowController wc(w, procedure);
    CommonWindow common(wc);
    wc.addFile(*rt::relationManager("Werte"));
    rt::ViewManager view(*rt::fileManager("Werte"));
    rt::BrowseManager list(wc, LIST, view);
    list.addColumn("ID", 21, "GNE:ID", "@N4");
    list.addColumn("Filter", 40, "GNE:FILTER", "@s10");
    list.addColumn("Wert", 21, "GNE:Wert", "@N2");
    list.addColumn("Bezeichnung", 80, "GNE:Bezeichnung", "@s20");
    list.setSheet(SHEET);
    list.addSortOrder(rt::sortByKey(TAB_ID, "GNE:KeyID", rt::Locator::Incremental, "GNE:ID"));
    list.addSortOrder(rt::sortByKey(TAB_NAME, "GNE:KeyBezeichnung", rt::Locator::Entry, "GNE:Bezeichnung", LOCATOR));
    list.setButtons(INSERT, CHANGE, DELETE, SELECT);
    list.setCloseButton(CLOSE);
    list.setPageSize(5);
    wc.setProcedure(1, [formName] { ExampleForm(formName); });
    list.setFormProcedure(1);
    wc.setProcedure(2, [] { ++printCalls; });
    list.setPrintButton(PRINT, 2);
    list.popup().addItemMimic("PrintScreen", PRINT);
    CommonList commonList(common, list);
    wc.run();
}

void ExampleForm(const std::string& procedure) {
    ++formCalls;
    ensureTable();
    rt::Window w(procedure, kFormTitle);
    w.setPosition(0, 0, 200, 100);
    w.add(ID_PROMPT, rt::ControlKind::Prompt).setText("&ID:").setPosition(4, 4, 40, 10);
    w.add(ID_ENTRY, rt::ControlKind::Entry).setPicture("@N4").setPosition(60, 4, 40, 10).setReadOnly(true);
    w.add(FILTER_LIST, rt::ControlKind::DropList).setFrom("GRUPPE|AGGREGAT|TREIBER").setPosition(60, 18, 60, 10);
    w.add(WERT_ENTRY, rt::ControlKind::Entry).setPicture("@N2").setPosition(60, 32, 30, 10);
    w.add(NAME_PROMPT, rt::ControlKind::Prompt).setText("&Bezeichnung").setPosition(4, 46, 50, 10);
    w.add(NAME_ENTRY, rt::ControlKind::Entry).setPicture("@s20").setPosition(60, 46, 90, 10);
    w.add(OK, rt::ControlKind::Button).setText("OK").setPosition(90, 80, 50, 14);
    w.add(CANCEL, rt::ControlKind::Button).setText("Abbrechen").setPosition(144, 80, 50, 14);

    rt::FormController form(w, procedure, *rt::relationManager("Werte"));
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(ID_ENTRY, "GNE:ID");
    form.bind(FILTER_LIST, "GNE:FILTER");
    form.bind(WERT_ENTRY, "GNE:Wert");
    form.bind(NAME_ENTRY, "GNE:Bezeichnung");
    form.addHistory(FILTER_LIST);
    form.addHistory(WERT_ENTRY);
    form.addHistory(NAME_ENTRY);
    form.setOkButton(OK);
    form.setCancelButton(CANCEL);
    form.setFirstField(NAME_ENTRY);
    form.run();
}

}  // namespace example
