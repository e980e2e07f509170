#include "cubes/definitions/definitions.h"

#include <cstdlib>

#include "core/clients/clients.h"
#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "cubes/groups/groups.h"
#include "cubes/values/values.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/data/errors.h"
#include "runtime/data/view_manager.h"
#include "runtime/expr/bindings.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace cubekopf;

namespace {

// Looks a code up in a value list; when it is missing, the value list opens to choose one.
// False when the user cancelled the choice.
bool lookupValue(const char* filter, rt::CString<21>& code) {
    if (!ValueName(filter, std::string_view(code.str())).empty()) return true;
    const auto savedRequest = rt::ThreadRequest;
    rt::ThreadRequest = rt::request::Select;
    BrowseWerte();
    const bool chosen = rt::ThreadResponse == rt::response::Completed;
    rt::ThreadRequest = savedRequest;
    if (chosen) code = std::to_string(GNE.Wert);
    return chosen;
}

// The name of the cube's group into CUBG:GruppenName; true when the group exists.
bool fetchGroup() {
    rt::FileManager& groups = *Access.VOQCubeGruppe;
    if (groups.open() != 0) return false;
    CUBG.ID = CUBK.ID_CUBG;
    const bool found = groups.fetch("CUBG:KeyID") == 0;
    if (!found) CUBG.GruppenName = "";
    groups.close();
    return found;
}

}  // namespace

// ---- The cube form -------------------------------------------------------------------------

void UpdateCubeKopf() {
    CubeCopy copy = PendingCubeCopy();
    PendingCubeCopy() = {};
    const bool inserting = rt::ThreadRequest == rt::request::Insert;
    if (!inserting) copy = {};
    // The copy keeps the source's record; its name must go before the record is reserved.
    if (copy.keepBuffer) CUBK.CubeName = "";

    rt::Window w("UpdateCubeKopf", kCubeFormTitle);
    w.setPosition(0, 0, 420, 302);
    w.edit().centered = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 412, 272);
    w.add(TabGeneral, rt::ControlKind::Tab, Sheet).setText("General");
    int y = 22;
    auto prompt = [&](int id, const char* text, int x = 10) {
        w.add(id, rt::ControlKind::Prompt, TabGeneral).setText(text).setPosition(x, y, 60, 10);
    };
    auto entry = [&](int id, const char* picture, int width, int x = 74) {
        return w.add(id, rt::ControlKind::Entry, TabGeneral).setPicture(picture).setPosition(x, y, width, 10);
    };
    auto help = [&](int id, const char* text, int x, int width = 200) {
        w.add(id, rt::ControlKind::String, TabGeneral).setText(text).setPosition(x, y, width, 10);
    };
    prompt(PromptId, "&ID");
    entry(EntryId, "@n8", 40).setReadOnly(true);
    y += 13;
    prompt(PromptName, "&Cube Name");
    entry(EntryName, "@s20", 90);
    y += 13;
    prompt(PromptDescription, "&Beschreibung");
    entry(EntryDescription, "@s100", 320);
    y += 13;
    prompt(PromptConnect, "&Connect");
    entry(EntryConnect, "@s255", 300);
    w.add(ConnectButton, rt::ControlKind::Button, TabGeneral).setText("...").setPosition(378, y, 16, 10);
    y += 13;
    prompt(PromptZugriff, "Zugriff");
    entry(EntryZugriff, "@s20", 40);
    help(ZugriffName, "", 120, 100);
    y += 13;
    prompt(PromptQuery, "Query");
    entry(EntryQuery, "@s250", 320);
    y += 11;
    help(QueryHelp1, "Größere Abfragen bitte unter dem Reiter Abfrage", 74, 180);
    help(QueryHelp3, "Query auf Basis einfacher Abfrage", 260, 140);
    y += 9;
    help(QueryHelp2, "erstellen", 74, 100);
    y += 13;
    prompt(PromptParameter, "QueryParameter");
    entry(EntryParameter, "@s250", 320).setTip("Queryparameter eingeben");
    y += 11;
    help(ParameterHelp1, "Hier kann ein Query-Parameter eingetragen werden.", 74, 320);
    y += 9;
    help(ParameterHelp2, "Die Platzhalter #cParameter# und #nParameter# öffnen", 74, 330);
    y += 9;
    help(ParameterHelp3, "eine Inputbox. Der eingegebene Wert wird in der Datenbank gesucht.", 74, 330);
    y += 13;
    prompt(PromptTabName, "Tabellen-Name");
    entry(EntryTabName, "@s50", 120).setTip("Tabellen oder Viewname");
    w.add(CheckTable, rt::ControlKind::Button, TabGeneral)
        .setText("Prüfen")
        .setTip("Prüfen, ob Tabelle/ View in DB vorhanden ist")
        .setPosition(200, y, 40, 11);
    y += 15;
    auto check = [&](int id, const char* text, const char* tip, int x) {
        w.add(id, rt::ControlKind::Check, TabGeneral).setText(text).setTip(tip).setPosition(x, y, 70, 10);
    };
    check(CheckIntern, "Pivotanzeige", "Pivottabelle (Ein) oder Listanzeige bei Query-Funktion (Aus)", 74);
    check(CheckPatch, "Dezimal-Patch", "Patch für Dezimalanzeige (Ein = Anzeige erfolgt mi Dezimalpunkt)", 150);
    check(CheckActiv, "Activ", "Aktiver Cube", 226);
    w.add(PrintButton, rt::ControlKind::Button, TabGeneral).setText("Drucken").setPosition(350, y, 44, 12);
    y += 13;
    prompt(PromptParameterName, "Parameter Name");
    entry(EntryParameterName, "@s50", 120)
        .setTip("Bei Parameterabfage kann hier ein Name für die Dialogbox eingetragen werden");
    check(CheckCompress, "Compress", "Auswertung komprimiert (Standard) oder aufgerissen anzeigen", 226);
    y += 13;
    w.add(OptionZeitraum, rt::ControlKind::Option, TabGeneral).setText("Auswertezeitraum:").setPosition(10, y, 390, 22);
    const struct {
        int id;
        const char* text;
        const char* value;
    } periods[] = {{RadioYear, "aktuelles Jahr", "1"},
                   {RadioPrevious, "Vorjahr", "2"},
                   {RadioBoth, "aktuelles Jahr + Vorjahr", "3"},
                   {RadioNone, "ohne", "4"}};
    int x = 16;
    for (const auto& p : periods) {
        w.add(p.id, rt::ControlKind::Radio, OptionZeitraum)
            .setText(p.text)
            .setRadioValue(p.value)
            .setPosition(x, y + 9, 90, 10);
        x += 94;
    }
    y += 26;
    prompt(PromptGroup, "&Gruppe");
    entry(EntryGroup, "@n8", 40);
    help(GroupName, "", 120, 120);
    help(GroupHelp, "Relation zur CubeGruppe (für Treedarstellung", 244, 160);

    w.add(TabUsers, rt::ControlKind::Tab, Sheet).setText("berechtigte Benutzer");
    w.add(PromptUsers, rt::ControlKind::Prompt, TabUsers).setText("Berechtigter User:").setPosition(10, 22, 80, 10);
    w.add(TextUsers, rt::ControlKind::Text, TabUsers).setPosition(10, 34, 396, 220);

    w.add(TabQuery, rt::ControlKind::Tab, Sheet).setText("Abfrage");
    w.add(QueryNote, rt::ControlKind::String, TabQuery)
        .setText("Ein Eintrag hier hat Vorrang vor der Variable Query.")
        .setPosition(10, 22, 300, 10);
    w.add(TextBigQuery, rt::ControlKind::Text, TabQuery)
        .setTip("Query-Definition incl. kpl. Abfrage")
        .setPosition(10, 34, 396, 206);
    w.add(QueryNote2, rt::ControlKind::String, TabQuery)
        .setText("Platzhalter #FELDLISTE# wird bei Query-Funktion zur Laufzeit mit Feldnamen ersetzt")
        .setPosition(10, 244, 396, 10);

    w.add(TabFields, rt::ControlKind::Tab, Sheet).setText("CubeDetail");
    w.add(FieldList, rt::ControlKind::List, TabFields).setPosition(8, 22, 404, 220);
    w.add(FieldInsert, rt::ControlKind::Button, TabFields).setText("&Insert").setPosition(250, 246, 50, 14);
    w.add(FieldChange, rt::ControlKind::Button, TabFields).setText("&Change").setPosition(304, 246, 50, 14);
    w.add(FieldDelete, rt::ControlKind::Button, TabFields).setText("&Delete").setPosition(358, 246, 50, 14);
    w[FieldList].setDragIds({"CubeDetail"}).setDropIds({"CubeDetail"});

    w.add(Ok, rt::ControlKind::Button).setText("OK").setPosition(254, 282, 50, 14).edit().defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("Cancel").setPosition(308, 282, 50, 14);
    w.add(Button2, rt::ControlKind::Button).setText("Button2").setPosition(362, 282, 50, 14);

    rt::FormController form(w, "UpdateCubeKopf", *Relate.VOQCubeKopf);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(EntryId, "CUBK:ID");
    form.bind(EntryName, "CUBK:CubeName");
    form.bind(EntryDescription, "CUBK:Beschreibung");
    form.bind(EntryConnect, "CUBK:Connect");
    form.bind(EntryZugriff, "CUBK:Zugriff");
    form.bind(EntryQuery, "CUBK:Query");
    form.bind(EntryParameter, "CUBK:QueryParameter");
    form.bind(EntryTabName, "CUBK:TabName");
    form.bind(CheckIntern, "CUBK:Intern");
    form.bind(CheckPatch, "CUBK:Patch");
    form.bind(CheckActiv, "CUBK:Activ");
    form.bind(EntryParameterName, "CUBK:ParameterName");
    form.bind(CheckCompress, "CUBK:Compress");
    form.bind(OptionZeitraum, "CUBK:Zeitraum");
    form.bind(EntryGroup, "CUBK:ID_CUBG");
    form.bind(TextUsers, "CUBK:BerechtigterUser");
    form.bind(TextBigQuery, "CUBK:BigQuery");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(EntryName);
    form.setKeepBuffer(copy.keepBuffer);

    // Names beside the codes, whenever the form shows the record again.
    auto redisplay = [&] {
        form.showRecord();
        w[ZugriffName].setText(ValueName("TREIBER", std::string_view(CUBK.Zugriff.str())));
        fetchGroup();
        w[GroupName].setText(CUBG.GruppenName.str());
    };

    form.onPrimed = [&] {
        if (!copy.keepBuffer) {
            CUBK.Zugriff = "3";
            CUBK.Patch = 0;
        }
        if (copy.restore && copy.fieldsPending) {
            copy.fieldsPending = false;
            if (CopyCubeFields(std::atol(copy.sourceId.c_str()), CUBK.ID)) {
                rt::message("DS kopiert", "DS kopiert");
            } else {
                // Nothing half copied: the new header goes again with the form's cancel.
                rt::message("Die Felder des Cubes konnten nicht kopiert werden.|" + rt::errorText(), "DS kopiert",
                            rt::MessageIcon::Exclamation);
                form.close(rt::response::Cancelled);
            }
        }
        if (copy.restore) {
            CUBK.Compress = copy.compress;
            CUBK.Zeitraum = copy.zeitraum;
            copy.restore = false;
        }
    };

    // The cube's fields.
    rt::ViewManager fieldView(*Access.VOQCubeDetail);
    rt::BrowseManager fields(form, FieldList, fieldView);
    fields.addColumn("Pos Nr", 24, "CUBD:PosNr", "@n4", rt::Justify::Right);
    fields.addColumn("Feldname", 80, "CUBD:FeldName", "@s100");
    fields.addColumn("Bezeichnung", 80, "CUBD:Feldname1", "@s100");
    fields.addColumn("G", 12, [] { return std::string(); });
    fields.addColumn("Picture", 40, "CUBD:Picture", "@s20");
    fields.addColumn("Aggregat", 30, "CUBD:Aggregat", "@s10");
    fields.addColumn("Feldstatus", 50, [] { return FieldStatus(CUBK.TabName.str(), CUBD.FeldName.str()); });
    fields.addColumn("Gruppe", 24, "CUBD:Gruppe", "@s10");
    fields.addColumn("ID", 30, "CUBD:ID", "@N8", rt::Justify::Right);
    fields.addColumn("ID CUBK", 30, "CUBD:ID_CUBK", "@N8", rt::Justify::Right);
    rt::BrowseSortOrder order = rt::sortByKey(0, "CUBD:KeyPosNr");
    order.filter = [] { return CUBD.ID_CUBK == CUBK.ID; };
    fields.addSortOrder(order);
    fields.setButtons(FieldInsert, FieldChange, FieldDelete);
    form.setProcedure(1, UpdateCubeDetail);
    fields.setFormProcedure(1);
    CommonList commonFields(common, fields);
    const auto colour = fields.onRowLoaded;
    fields.onRowLoaded = [colour](rt::ListRow& row, long long loadCount) {
        if (row.cells.size() > 3) row.cells[3].icon = CUBD.Gruppierung == 1 ? 1 : 2;
        if (colour) colour(row, loadCount);
    };
    if (form.request() == rt::request::View) {
        w[FieldInsert].disable();
        w[FieldChange].disable();
        w[FieldDelete].disable();
    }

    // The row's status and names, for the list formats the user keeps.
    struct RowNames {
        RowNames() {
            auto& names = rt::threadBindings();
            names.bindValue("LOC:FeldStatus",
                            [](rt::Value& v) { v.setText(FieldStatus(CUBK.TabName.str(), CUBD.FeldName.str())); });
            names.bindValue("LOC:Gruppe",
                            [](rt::Value& v) { v.setText(ValueName("GRUPPE", std::string_view(CUBD.Gruppe.str()))); });
            names.bindValue("LOC:Aggregat", [](rt::Value& v) {
                v.setText(ValueName("AGGREGAT", std::string_view(CUBD.Aggregat.str())));
            });
        }
        ~RowNames() {
            for (const char* name : {"LOC:FeldStatus", "LOC:Gruppe", "LOC:Aggregat"}) rt::threadBindings().unbind(name);
        }
    } rowNames;

    form.onOpened = [&] {
        auto& data = w[FieldList].editList();
        data.lineHeight = 12;
        data.icons = {"~BoxOn.ICO", "~BoxOff.ICO"};
        if (data.columns.size() > 3) data.columns[3].hasIcon = true;
        redisplay();
    };
    int focusBack = 0;
    form.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::Selected && e.control == EntryZugriff) {
            form.readControls();
            if (!rt::clip(CUBK.Zugriff.str()).empty()) lookupValue("TREIBER", CUBK.Zugriff);
            redisplay();
            return false;
        }
        if (e.event == rt::Event::Selected && e.control == EntryGroup) {
            form.readControls();
            if (!fetchGroup()) {
                const auto savedRequest = rt::ThreadRequest;
                rt::ThreadRequest = rt::request::Select;
                BrowseCubeGruppe();
                if (rt::ThreadResponse == rt::response::Completed) CUBK.ID_CUBG = CUBG.ID;
                rt::ThreadRequest = savedRequest;
            }
            redisplay();
            return false;
        }
        if (e.event == rt::Event::Drop && e.control == FieldList) {
            int target = e.dropRow;
            if (target < 0) target = fields.rowsLoaded();
            if (target == 0) target = 1;
            if (target != e.row && ReorderCubeFields(CUBK.ID, e.row, target)) {
                fields.reset(false);
                fields.selectRow(target);
            } else if (target != e.row) {
                rt::message(rt::errorText(), "CubeDetail", rt::MessageIcon::Exclamation);
                fields.reset(false);
            }
            return true;
        }
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case EntryZugriff:
            form.readControls();
            if (!rt::clip(CUBK.Zugriff.str()).empty() && !lookupValue("TREIBER", CUBK.Zugriff))
                focusBack = EntryZugriff;
            redisplay();
            if (focusBack) {
                w.select(focusBack);
                focusBack = 0;
            }
            return true;
        case ConnectButton:
            form.readControls();
            src_CreateConnectStringDriver(CUBK.Connect.str());
            redisplay();
            return true;
        case CheckTable: {
            form.readControls();
            const std::string result = TableCheck(CUBK.TabName.str());
            rt::message(result, "DB-Check", rt::MessageIcon::Information);
            return true;
        }
        case PrintButton: {
            form.readControls();
            const long id = CUBK.ID;
            // The form stays usable while the report runs.
            StartProcedure("DruckeCube", [id] { DruckeCube(id); });
            redisplay();
            return true;
        }
        case Button2: {
            const std::string connect = CUBK.Connect.str();
            rt::message(std::to_string(rt::charLength(rt::clip(connect))), "LengthOfString");
            rt::message(std::to_string(rt::charLength(connect)), "LEN");
            return true;
        }
        default: return false;
        }
    };
    form.run();
}

// ---- The field form ------------------------------------------------------------------------

void UpdateCubeDetail() {
    if (rt::ThreadRequest == rt::request::Insert) {
        // A new field belongs to the cube of the list; its position is numbered within it.
        CUBD = {};
        CUBD.ID_CUBK = CUBK.ID;
        // Chosen until the user picks another: a field without an orientation stands hidden.
        CUBD.Gruppe = "0";
    }
    const bool pivot = CUBK.Intern == 1;
    const std::string tabName = CUBK.TabName.str();

    rt::Window w("UpdateCubeDetail", kFieldFormTitle);
    w.setPosition(0, 0, 330, 230);
    w.edit().centered = true;
    w.add(DSheet, rt::ControlKind::Sheet).setPosition(4, 4, 322, 202);
    w.add(DTabGeneral, rt::ControlKind::Tab, DSheet).setText("General");
    int y = 22;
    auto prompt = [&](int id, const char* text, int x = 10) {
        w.add(id, rt::ControlKind::Prompt, DTabGeneral).setText(text).setPosition(x, y, 56, 10);
    };
    auto entry = [&](int id, const char* picture, int width, int x = 70) {
        return w.add(id, rt::ControlKind::Entry, DTabGeneral).setPicture(picture).setPosition(x, y, width, 10);
    };
    prompt(DPromptId, "ID");
    entry(DEntryId, "@N8", 36).setReadOnly(true);
    prompt(DPromptCube, "ID_CUBK", 110);
    entry(DEntryCube, "@N8", 36, 160).setReadOnly(true);
    prompt(DPromptPos, "PosNr.", 200);
    entry(DEntryPos, "@n4", 24, 240).setReadOnly(true);
    y += 14;
    prompt(DPromptFeld, "&Feldname");
    entry(DEntryFeld, "@s100", 150);
    w.add(DClear, rt::ControlKind::Button, DTabGeneral)
        .setText("Leeren")
        .setTip("Feldinhalt kpl. löschen")
        .setPosition(224, y, 30, 10);
    w.add(DCheck, rt::ControlKind::Button, DTabGeneral).setText("Prüfen").setPosition(258, y, 30, 10);
    y += 12;
    w.add(DColumnList, rt::ControlKind::List, DTabGeneral).setPosition(70, y, 150, 50);
    y += 54;
    prompt(DPromptText, "&Cubetext");
    entry(DEntryText, "@s100", 150).setTip("Zeilen- oder Spaltentexte");
    y += 14;
    prompt(DPromptCubeFeld, "&Cubefeldname:");
    entry(DEntryCubeFeld, "@s100", 150);
    w.add(DCubeFeldNote, rt::ControlKind::String, DTabGeneral).setText("für Berechnungen").setPosition(224, y, 80, 10);
    y += 14;
    prompt(DPromptPicture, "Picture");
    entry(DEntryPicture, "@s20", 60);
    y += 14;
    prompt(DPromptAggregat, "Aggregat");
    prompt(DPromptJustification, "Justification");
    w.add(DAggregat, rt::ControlKind::DropCombo, DTabGeneral)
        .setPosition(70, y, 60, 10)
        .setFrom(pivot ? "0|1|2|3|4|5|6|7|8" : "Left|Center|Right|Decimal|Money");
    w.add(DAggregatName, rt::ControlKind::String, DTabGeneral).setPosition(136, y, 80, 10);
    w[DPromptAggregat].setHidden(!pivot);
    w[DAggregatName].setHidden(!pivot);
    w[DPromptJustification].setHidden(pivot);
    y += 14;
    w.add(DOptionGruppe, rt::ControlKind::Option, DTabGeneral)
        .setText("Gruppierung")
        .setTip("Gruppierung der auszuwertenden Daten")
        .setPosition(10, y, 250, 22);
    const struct {
        int id;
        const char* text;
        const char* value;
    } groups[] = {{DRadioHidden, "Versteckt", "0"},
                  {DRadioPage, "Seite", "4"},
                  {DRadioColumn, "Spalte", "1"},
                  {DRadioRow, "Zeile", "2"},
                  {DRadioData, "Daten", "3"}};
    int x = 16;
    for (const auto& g : groups) {
        w.add(g.id, rt::ControlKind::Radio, DOptionGruppe)
            .setText(g.text)
            .setRadioValue(g.value)
            .setPosition(x, y + 9, 46, 10);
        x += 48;
    }
    w.add(DCheckGruppierung, rt::ControlKind::Check, DTabGeneral)
        .setText("Gruppierung")
        .setTip("Gruppensumme ein-/ ausschalten (Standard = Ein)")
        .setPosition(264, y + 9, 56, 10);
    w.add(DOk, rt::ControlKind::Button).setText("OK").setPosition(220, 212, 50, 14).edit().defaultButton = true;
    w.add(DCancel, rt::ControlKind::Button).setText("Cancel").setPosition(274, 212, 50, 14);

    // The table's columns and the four operators.
    {
        rt::ListData data;
        data.lineHeight = 12;
        for (const auto& c : ColumnChoices(tabName)) data.rows.push_back(rt::ListRow{{rt::ListCell(c)}});
        w[DColumnList].setListData(data);
        w[DAggregat].editList().lineHeight = 12;
    }

    rt::FormController form(w, "UpdateCubeDetail", *Relate.VOQCubeDetail);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(DEntryId, "CUBD:ID");
    form.bind(DEntryCube, "CUBD:ID_CUBK");
    form.bind(DEntryPos, "CUBD:PosNr");
    form.bind(DEntryFeld, "CUBD:FeldName");
    form.bind(DEntryText, "CUBD:Feldname1");
    form.bind(DEntryCubeFeld, "CUBD:CubeFeldName");
    form.bind(DEntryPicture, "CUBD:Picture");
    form.bind(DAggregat, "CUBD:Aggregat");
    form.bind(DOptionGruppe, "CUBD:Gruppe");
    form.bind(DCheckGruppierung, "CUBD:Gruppierung");
    form.setOkButton(DOk);
    form.setCancelButton(DCancel);
    form.setFirstField(DEntryFeld);
    form.setKeepBuffer(true);  // the cube set above

    auto showAggregat = [&] {
        w[DAggregatName].setText(pivot ? ValueName("AGGREGAT", std::string_view(CUBD.Aggregat.str())) : std::string());
    };
    form.onOpened = showAggregat;
    form.onEvent = [&](const rt::EventInfo& e) {
        if (e.control == DColumnList && e.event == rt::Event::NewSelection) {
            form.readControls();
            const int row = w[DColumnList].selected();
            const auto& rows = w[DColumnList].list().rows;
            if (row >= 1 && row <= static_cast<int>(rows.size()) && !rows[row - 1].cells.empty()) {
                CUBD.FeldName = AppendFieldChoice(CUBD.FeldName.str(), rows[row - 1].cells[0].text);
                form.showRecord();
            }
            return true;
        }
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case DEntryFeld:
            form.readControls();
            if (rt::clip(CUBD.CubeFeldName.str()).empty()) {
                CUBD.CubeFeldName = CUBD.FeldName.str();
                form.showRecord();
            }
            return true;
        case DClear:
            form.readControls();
            CUBD.FeldName = "";
            form.showRecord();
            return true;
        case DCheck:
            form.readControls();
            rt::message(FieldCheck(tabName, CUBD.FeldName.str()), "DB-Check", rt::MessageIcon::Information);
            return true;
        case DAggregat:
            form.readControls();
            showAggregat();
            return true;
        default: return false;
        }
    };
    form.run();
}
