#include "cubes/values/values.h"

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/text_helpers.h"
#include "cubes/catalogue/catalogue_sql.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/data/view_manager.h"
#include "runtime/text/picture.h"
#include "runtime/ui/window.h"

using namespace werte;

// ---- Standard rows and names ---------------------------------------------------------------

const std::vector<std::string>& StandardValueStatements() {
    static const std::vector<std::string> list = {
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (2,'GRUPPE',0,'GNHidden'  )",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (3,'GRUPPE',1,'GNColumn')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (4,'GRUPPE',2,'GNRow')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (5,'GRUPPE',3,'GNData')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (6,'GRUPPE',4,'GNPage')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (7,'AGGREGAT',0,'GNSum')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (8,'AGGREGAT',1,'GNCount')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (9,'AGGREGAT',2,'GNAverage')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (10,'AGGREGAT',3,'GNMax')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (11,'AGGREGAT',4,'GNMin')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (12,'AGGREGAT',5,'GNStDev')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (13,'AGGREGAT',6,'GNStDevP')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (14,'AGGREGAT',7,'GNVar')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (15,'AGGREGAT',8,'GNVarP')",
        "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (16,'TREIBER',3,'ODBC')",
    };
    return list;
}

bool SeedStandardValues() {
    rt::FileManager& fm = *Access.VOQGNEquates;
    if (fm.open() != 0) return false;  // the list reports it when it opens the table
    const bool empty = fm.records() == 0;
    if (empty) {
        for (const auto& statement : StandardValueStatements()) fm.setSql(BackEndSql(statement));
    }
    fm.close();
    return empty;
}

std::string ValueName(std::string_view filter, long code) {
    rt::FileManager& fm = *Access.VOQGNEquates;
    const auto saved = fm.saveBuffer();
    std::string name;
    if (fm.open() == 0) {
        GNE.FILTER = filter;
        GNE.Wert = static_cast<rt::Short>(code);
        if (fm.fetch("GNE:KeyWert") == 0) name = GNE.Bezeichnung.str();
        fm.close();
    }
    fm.restoreBuffer(saved);
    return name;
}

std::string ValueName(std::string_view filter, std::string_view code) {
    if (rt::trimBlanks(code).empty()) return {};
    return ValueName(filter, std::atol(std::string(rt::trimBlanks(code)).c_str()));
}

// ---- Printout ------------------------------------------------------------------------------

ValueListReport ValueListReportData() {
    ValueListReport report;
    const struct {
        const char* heading;
        const char* picture;
    } columns[] = {{"ID", "@N4"}, {"Filter", "@s10"}, {"Wert", "@N2"}, {"Bezeichnung", "@s20"}};
    int number = 0;
    for (const auto& c : columns) {
        ListReportColumn column;
        column.number = ++number;
        column.heading = c.heading;
        column.maxLength = std::atoi(DigitsOnly(c.picture).c_str());
        report.columns.push_back(column);
    }
    // The list sets no filter of its own, so its printout shows every entry.
    rt::FileManager& fm = *Access.VOQGNEquates;
    const auto saved = fm.saveBuffer();
    if (fm.open() == 0) {
        fm.setOrder(-1);
        while (fm.next() == 0) {
            report.rows.push_back({rt::formatPicture(std::int64_t(GNE.ID), "@N4"),
                                   std::string(rt::cutChars(GNE.FILTER.str(), 10)),
                                   rt::formatPicture(std::int64_t(GNE.Wert), "@N2"),
                                   std::string(rt::cutChars(GNE.Bezeichnung.str(), 20))});
        }
        fm.close();
    }
    fm.restoreBuffer(saved);
    return report;
}

namespace {

void printValueList() {
    const ValueListReport report = ValueListReportData();
    PrintListReport("Auswahlwerte", report.columns, report.rows);
}

}  // namespace

// ---- The form ------------------------------------------------------------------------------

void EditWerte() {
    rt::Window w("EditWerte", kWerteFormTitle);
    w.setPosition(0, 0, 190, 110);
    w.edit().centered = true;
    w.add(FormSheet, rt::ControlKind::Sheet).setPosition(4, 4, 182, 80);
    w.add(FormTab, rt::ControlKind::Tab, FormSheet).setText("General");
    int y = 22;
    auto prompt = [&](int id, const char* text) {
        w.add(id, rt::ControlKind::Prompt, FormTab).setText(text).setPosition(10, y, 50, 10);
    };
    prompt(PromptId, "&ID:");
    w.add(EntryId, rt::ControlKind::Entry, FormTab).setPicture("@N4").setPosition(64, y, 30, 10).setReadOnly(true);
    y += 14;
    prompt(PromptFilter, "&Filter");
    w.add(DropFilter, rt::ControlKind::DropList, FormTab).setFrom("GRUPPE|AGGREGAT|TREIBER").setPosition(64, y, 70, 10);
    y += 14;
    prompt(PromptWert, "&Wert");
    w.add(EntryWert, rt::ControlKind::Entry, FormTab).setPicture("@N2").setPosition(64, y, 24, 10);
    y += 14;
    prompt(PromptName, "&Bezeichnung");
    w.add(EntryName, rt::ControlKind::Entry, FormTab).setPicture("@s20").setPosition(64, y, 90, 10);
    w.add(Ok, rt::ControlKind::Button)
        .setText("OK")
        .setIcon("WAOK.ICO")
        .setPosition(78, 90, 50, 14)
        .edit()
        .defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("Abbrechen").setIcon("WACANCEL.ICO").setPosition(132, 90, 54, 14);

    rt::FormController form(w, "EditWerte", *Relate.VOQGNEquates);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(EntryId, "GNE:ID");
    form.bind(DropFilter, "GNE:FILTER");
    form.bind(EntryWert, "GNE:Wert");
    form.bind(EntryName, "GNE:Bezeichnung");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(DropFilter);
    form.run();
}

// ---- The list ------------------------------------------------------------------------------

void BrowseWerte() {
    QueryString = "";
    SeedStandardValues();

    rt::Window w("BrowseWerte", kWerteTitle);
    w.setPosition(0, 0, 260, 200);
    w.edit().centered = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 190, 190);
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(List, rt::ControlKind::List).setPosition(8, 20, 182, 170);
    w[List].setHelp("Browsing Records");
    const struct {
        int id;
        const char* text;
    } buttons[] = {{Insert, "&Insert"},           {Change, "&Change"}, {Delete, "&Delete"}, {Select, "&Select"},
                   {PrintScreen, "&PrintScreen"}, {Close, "Close"},    {Help, "Help"}};
    int y = 20;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(200, y, 54, 14);
        y += b.id == PrintScreen ? 40 : 18;
    }
    w[PrintScreen].setEnabled(ListReportsAvailable());

    rt::WindowController wc(w, "BrowseWerte");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQGNEquates);
    rt::ViewManager view(*Access.VOQGNEquates);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("ID", 21, "GNE:ID", "@N4");
    list.addColumn("Filter", 40, "GNE:FILTER", "@s10");
    list.addColumn("Wert", 21, "GNE:Wert", "@N2");
    list.addColumn("Bezeichnung", 80, "GNE:Bezeichnung", "@s20");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabId, "GNE:KeyID", rt::Locator::Step, "GNE:ID"));
    list.setButtons(Insert, Change, Delete, Select);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditWerte);
    list.setFormProcedure(1);
    list.popup().addItemMimic("PrintScreen", PrintScreen, "&PrintScreen");
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::Accepted && e.control == PrintScreen) {
            if (ListReportsAvailable()) printValueList();
            return true;
        }
        return false;
    };
    CommonList commonList(common, list);
    wc.run();
}
