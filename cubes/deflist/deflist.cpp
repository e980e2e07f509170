#include "cubes/deflist/deflist.h"

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "cubes/definitions/definitions.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/data/view_manager.h"
#include "runtime/expr/bindings.h"
#include "runtime/expr/expression.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace cubeliste;

namespace {

void fillQbeFields() {
    QBEFieldList = std::array<rt::String<50>, 6>{rt::String<50>("CUBK:ID"),           rt::String<50>("CUBK:Intern"),
                                                 rt::String<50>("CUBG:GruppenName"),  rt::String<50>("CUBK:CubeName"),
                                                 rt::String<50>("CUBK:Beschreibung"), rt::String<50>("CUBK:TabName")};
    QBEFieldCount = 6;
    QBEQueryFilter = "INSTRING('CUBK:',UPPER(que:query),1,1)";
    QBESearchFilter = "INSTRING('CUBK:',UPPER(Sea:SearchField),1,1)";
}

std::string queryText() { return std::string(QueryString.get().clipped()); }

}  // namespace

CubeListReport CubeListReportData(const std::string& query) {
    CubeListReport report;
    const struct {
        const char* heading;
        int length;
    } columns[] = {{"ID", 8}, {"Intern", 6}, {"CubeName", 20}, {"Beschreibung", 65}};
    int number = 0;
    for (const auto& c : columns) {
        ListReportColumn column;
        column.number = ++number;
        column.heading = c.heading;
        column.maxLength = c.length;
        column.headingLength = c.length;
        column.width = std::to_string(c.length);
        report.columns.push_back(column);
    }
    std::string error;
    std::function<bool()> passes;
    if (!rt::clip(query).empty()) passes = rt::compileFilterPredicate(query, error);
    rt::FileManager& cubes = *Access.VOQCubeKopf;
    rt::FileManager& groups = *Access.VOQCubeGruppe;
    const auto saved = cubes.saveBuffer();
    const auto savedGroup = groups.saveBuffer();
    const bool groupsOpen = groups.open() == 0;
    if (cubes.open() == 0) {
        cubes.setOrder(-1);
        while (cubes.next() == 0) {
            // The query may name the group's fields, as the list's does: each cube with its group
            // (none when the group is missing, as the list's outer join gives it).
            CUBG = {};
            if (groupsOpen) {
                CUBG.ID = CUBK.ID_CUBG;
                if (groups.fetch("CUBG:KeyID") != 0) CUBG = {};
            }
            if (!rt::clip(query).empty() && (!passes || !passes())) continue;
            report.rows.push_back(
                {std::to_string(CUBK.ID), std::to_string(CUBK.Intern), CUBK.CubeName.str(), CUBK.Beschreibung.str()});
        }
        cubes.close();
    }
    if (groupsOpen) groups.close();
    cubes.restoreBuffer(saved);
    groups.restoreBuffer(savedGroup);
    return report;
}

void BrowseCubeKopf() {
    // The query text, as the query builder's filters name it.
    struct QueryName {
        QueryName() {
            rt::threadBindings().bindValue("QueryString",
                                           [](rt::Value& v) { v.setText(std::string(QueryString.get().clipped())); });
        }
        ~QueryName() { rt::threadBindings().unbind("QueryString"); }
    } queryName;
    QueryString = "";
    fillQbeFields();

    rt::Window w("BrowseCubeKopf", kCubeListTitle);
    w.setPosition(0, 0, 470, 260);
    w.setMinSize(358, 250);
    w.edit().centered = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 390, 230);
    w.add(TabName, rt::ControlKind::Tab, Sheet).setText("CubeName");
    w.add(LocatorName, rt::ControlKind::Entry, TabName).setPicture("@s20").setPosition(8, 218, 90, 10);
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(List, rt::ControlKind::List).setPosition(8, 20, 382, 194);
    const struct {
        int id;
        const char* text;
    } buttons[] = {{Insert, "&Insert"}, {Change, "&Change"}, {Delete, "&Delete"},
                   {Show, "Anzeigen"},  {Copy, "C&opy"},     {Import, "&Import"},
                   {Export, "&Export"}, {Print, "&Print"},   {PrintScreen, "&Print Screen"}};
    int y = 20;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(400, y, 64, 14);
        y += 17;
    }
    w.add(Diagnose, rt::ControlKind::Check)
        .setText("Diagnose")
        .setTip("Diagnose einschalten beim Aufruf von Auswertungen")
        .setPosition(400, y + 2, 64, 10);
    w.add(QueryBuilder, rt::ControlKind::Button)
        .setIcon("qkqbe.ico")
        .setTip("Abfrage-Tool starten")
        .setPosition(4, 240, 16, 16);
    w.add(QueryReset, rt::ControlKind::Button)
        .setIcon("WIZDITTO.ICO")
        .setTip("Abfrage-Ergebnis zurücksetzen")
        .setPosition(22, 240, 16, 16);
    w.add(QueryPrint, rt::ControlKind::Button)
        .setIcon("PRINT.ICO")
        .setTip("Abfrage-Ergebnis drucken")
        .setPosition(40, 240, 16, 16);
    w.add(QueryOn, rt::ControlKind::String).setPosition(62, 244, 60, 10);
    w.add(Close, rt::ControlKind::Button).setText("Close").setPosition(346, 240, 56, 14);
    w.add(Help, rt::ControlKind::Button).setText("Help").setPosition(408, 240, 56, 14);
    w[Diagnose].setValue(GLO.DIAGNOSE.get() == 1 ? "1" : "0");
    w[Show].setEnabled(PivotViewerAvailable() || QueryRunnerAvailable());
    w[Import].setEnabled(CubeExportAvailable());
    w[Export].setEnabled(CubeExportAvailable());
    w[PrintScreen].setEnabled(ListReportsAvailable());
    w[QueryBuilder].setEnabled(QueryBuilderAvailable());
    w[QueryReset].disable();

    rt::WindowController wc(w, "BrowseCubeKopf");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQCubeKopf);
    wc.addFile(*Relate.VOQCubeGruppe);
    rt::ViewManager view(*Access.VOQCubeKopf);
    // An outer join: a cube whose group is missing is listed all the same.
    view.join(*Access.VOQCubeGruppe, Access.VOQCubeGruppe->keyIndex("CUBG:KeyID"), {{"ID_CUBG", "ID"}}, false);
    rt::BrowseManager list(wc, List, view);
    list.addBufferFile(*Access.VOQCubeGruppe);
    list.addColumn("ID", 27, "CUBK:ID", "@n8", rt::Justify::Right).headingJustify = rt::Justify::Center;
    list.addColumn("I", 8, "CUBK:Intern", "@n1", rt::Justify::Right).headingJustify = rt::Justify::Center;
    list.addColumn("Gruppenname", 57, "CUBG:GruppenName", "@s30");
    list.addColumn("CubeName", 91, "CUBK:CubeName", "@s20");
    list.addColumn("Beschreibung", 181, "CUBK:Beschreibung", "@s100");
    list.addColumn("Tabellen-Name", 200, "CUBK:TabName", "@s50");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabName, "CUBK:KeyCubeName", rt::Locator::Entry, "CUBK:CubeName", LocatorName));
    list.addSortOrder(rt::sortByKey(TabId, "CUBK:KeyID", rt::Locator::Step, "CUBK:ID"));
    list.setButtons(Insert, Change, Delete);
    list.setCloseButton(Close);
    wc.setProcedure(1, UpdateCubeKopf);
    list.setFormProcedure(1);
    wc.setProcedure(2, [] { DruckeCube(); });
    list.setPrintButton(Print, 2);
    list.popup().addItemMimic("Print", PrintScreen, "Print");

    // Every insert notes the selected cube's compressed display and period; a copy puts them back.
    list.beforeForm = [&](std::uint8_t request) {
        if (request == rt::request::Insert && list.rowsLoaded() > 0) {
            const rt::SavedBuffer saved = Access.VOQCubeKopf->saveBuffer();
            if (list.fetchSelected() == 0) {
                PendingCubeCopy().compress = CUBK.Compress;
                PendingCubeCopy().zeitraum = CUBK.Zeitraum;
            }
            // A copy goes on with the source cube in the buffer.
            if (!PendingCubeCopy().keepBuffer) Access.VOQCubeKopf->restoreBuffer(saved);
        }
        return true;
    };
    list.afterForm = [](std::uint8_t, std::uint8_t) { PendingCubeCopy() = {}; };

    // False when the query cannot be compiled: the user is told why and it is dropped, never
    // shown as on while every row stays.
    auto applyQuery = [&] {
        std::string query = queryText();
        std::string error;
        rt::ViewPredicate filter;
        if (!query.empty()) filter = rt::compileFilterPredicate(query, error);
        const bool broken = !query.empty() && !filter;
        if (broken) {
            rt::message("Die Abfrage kann nicht angewendet werden:|" + error + "||" + query, "Query",
                        rt::MessageIcon::Exclamation);
            QueryString = "";
            QueryDescription = "";
            query.clear();
        }
        list.setFilter(filter);
        w[QueryOn].setText(query.empty() ? "" : "Query is on!");
        list.reset(false);
        return !broken;
    };

    wc.onOpened = [&] { GLO.Trace = GLO.DIAGNOSE.get() == 1 ? 1 : 0; };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case Show:
            if (list.rowsLoaded() == 0 || list.fetchSelected() != 0) return true;
            if (CUBK.Intern == 1) {
                if (PivotViewerAvailable()) OpenPivotViewer(CUBK.ID);
            } else if (!rt::clip(CUBK.BigQuery.str()).empty()) {
                if (QueryRunnerAvailable()) OpenQueryRunner(CUBK.ID);
            } else {
                rt::message("Keine Query definiert", "Query");
            }
            list.refresh();
            return true;
        case Copy: {
            if (list.rowsLoaded() == 0 || list.fetchSelected() != 0) return true;
            CubeCopy& copy = PendingCubeCopy();
            copy.keepBuffer = true;
            copy.fieldsPending = true;
            copy.restore = true;
            copy.sourceId = std::to_string(CUBK.ID);
            list.ask(rt::request::Insert);
            PendingCubeCopy() = {};
            return true;
        }
        case Import:
        case Export:
            if (!CubeExportAvailable()) return true;
            if (e.control == Export) {
                if (list.rowsLoaded() == 0 || list.fetchSelected() != 0) return true;
                ExportCube();
            } else {
                ImportCube();
            }
            list.refresh();
            return true;
        case PrintScreen: {
            if (!ListReportsAvailable()) return true;
            const std::string query = queryText();
            if (!query.empty()) {
                if (!applyQuery()) return true;
                rt::message(query, "Querystring");
            }
            const CubeListReport report = CubeListReportData(query);
            PrintListReport("Auswertungen", report.columns, report.rows);
            return true;
        }
        case Diagnose:
            GLO.DIAGNOSE = w[Diagnose].value() == "1" ? 1 : 0;
            GLO.Trace = GLO.DIAGNOSE.get();
            list.refresh();
            return true;
        case QueryBuilder:
            if (!QueryBuilderAvailable()) return true;
            fillQbeFields();
            OpenQueryBuilder();
            applyQuery();
            w[QueryReset].enable();
            return true;
        case QueryReset:
            QueryString = "";
            QueryDescription = "";
            applyQuery();
            w[QueryReset].disable();
            return true;
        case QueryPrint:
            if (queryText().empty()) {
                rt::message("No query string to print, Please run query First.");
            } else if (list.rowsLoaded() > 0 && list.fetchSelected() == 0) {
                DruckeCube();
            }
            return true;
        default: return false;
        }
    };
    CommonList commonList(common, list);
    wc.run();
}
