#include "demo/demo_folder.h"

#include <filesystem>
#include <vector>

#include "core/clients/clients.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/security/security.h"
#include "core/startup/startup.h"
#include "core/sync/structure_update.h"
#include "queries/qbe/qbe_definitions.h"
#include "queries/qbe/qbe_options.h"
#include "runtime/ini/profile.h"
#include "runtime/os/process.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"

namespace demo {
namespace {

struct FieldDef {
    const char* column;
    const char* caption;
    const char* picture;
    const char* aggregate;  // value list AGGREGAT: 0 sum
    const char* group;      // value list GRUPPE: 1 column, 2 row, 3 data, 4 page
};

struct CubeDef {
    const char* name;
    const char* description;
    std::vector<FieldDef> fields;
    // A list cube's long query: it runs into the query runner's list instead of the pivot viewer
    // (its fields' pictures are then value formats and their aggregates alignments).
    const char* bigQuery = nullptr;
};

const std::vector<CubeDef>& cubes() {
    static const std::vector<CubeDef> list = {
        {kDemoCubes[0],
         "Umsatz und Deckungsbeitrag je Warengruppe und Jahr",
         {{"cWarengruppe", "Warengruppe", "@s30", "0", "2"},
          {"cArtikel", "Artikel", "@s40", "0", "2"},
          {"nJahr", "Jahr", "@n4", "0", "1"},
          {"cPlattform", "Plattform", "@s30", "0", "4"},
          {"fUmsatz", "Umsatz", "@n-14.2", "0", "3"},
          {"fDeckungsbeitrag", "Deckungsbeitrag", "@n-14.2", "0", "3"}}},
        {kDemoCubes[1],
         "Umsatz je Plattform und Shop nach Monaten",
         {{"cPlattform", "Plattform", "@s30", "0", "2"},
          {"cShop", "Shop", "@s30", "0", "2"},
          {"nMonat", "Monat", "@n2", "0", "1"},
          {"nJahr", "Jahr", "@n4", "0", "4"},
          {"fUmsatz", "Umsatz", "@n-14.2", "0", "3"},
          {"fMenge", "Menge", "@n-10", "0", "3"}}},
        {kDemoCubes[2],
         "Kunden je Ort mit Umsatz und Anzahl der Positionen",
         {{"cOrt", "Ort", "@s40", "0", "2"},
          {"cKunde", "Kunde", "@s60", "0", "2"},
          {"nJahr", "Jahr", "@n4", "0", "1"},
          {"fUmsatz", "Umsatz", "@n-14.2", "0", "3"},
          {"kUmsatzPos", "Positionen", "@n8", "1", "3"}}},
        {kDemoListCube,
         "Auftragspositionen mit Kunde, Artikel und Umsatz",
         {{"kUmsatzPos", "Position", "RecordID", "Right", ""},
          {"dDatum", "Datum", "Date", "Left", ""},
          {"cKunde", "Kunde", "", "", ""},
          {"cOrt", "Ort", "", "", ""},
          {"cArtikel", "Artikel", "", "", ""},
          {"fMenge", "Menge", "", "Right", ""},
          {"fUmsatz", "Umsatz", "Money", "Right", ""}},
         "SELECT #FELDLISTE# FROM vDemoUmsatz"},
    };
    return list;
}

// The procedures as the program registers them at its start, so that the user administration
// can give them their level.
void registerProcedures() {
    FillProcedureTable();
    std::vector<std::string> rows;
    for (const auto& e : ProcedureTable) rows.push_back(e.row());
    UpdateProcedureList(kProcedureCount, kProcedureWidth, rows);
}

// The demo user with every right on every procedure, made by the user administration program.
std::string writeSecurity() {
    auto run = [](std::vector<std::string> args) { return rt::startProcess("VOQSECURE", args, true); };
    rt::ProcessResult r = run({"SETALLLEVELS", "1"});
    if (!r.started) return "VOQSECURE cannot be started: " + r.errorText;
    if (r.exitCode != 0) return "VOQSECURE SETALLLEVELS failed (" + std::to_string(r.exitCode) + ")";
    const std::vector<std::string> fields = {"PASSWORD=" + std::string(kDemoPassword), "NAME=Demo Benutzer",
                                             "SUPERVISOR=1", "RIGHTS=DELETE", "INTERVAL=Never"};
    std::vector<std::string> add = {"ADDUSER", kDemoUser};
    add.insert(add.end(), fields.begin(), fields.end());
    if (run(add).exitCode == 0) return {};
    std::vector<std::string> change = {"CHANGEUSER", kDemoUser};  // made by an earlier run
    change.insert(change.end(), fields.begin(), fields.end());
    r = run(change);
    return r.exitCode == 0 ? std::string() : "VOQSECURE could not set up the user " + std::string(kDemoUser);
}

// The demo client as the client list holds it.
MandantRecord demoClient() {
    MandantRecord c;
    c.ID = 1;
    c.Mandant = kDemoClient;
    c.Driver = "SQLite3";
    c.Datenbank = kDemoDatabase;
    return c;
}

// On the calling program thread, with its dictionary.
std::string writeTables() {
    GLO.ConnectString = demoConnectString();
    GLO.Database = kDemoDatabase;

    // The client, chosen as the current one.
    rt::FileManager& clients = *Access.Mandant;
    if (clients.open() != 0) return "client file: " + rt::errorText() + " " + rt::fileErrorText();
    MAN = {};
    MAN.ID = 1;
    if (clients.fetch("MAN:KeyID") != 0) {
        MAN = demoClient();
        if (clients.insertAsIs() != 0) return "client file: " + rt::errorText();
    }
    clients.close();
    if (!rt::writeProfileNumber(".\\VOQKivorant6.INI", "MANDANT", "Kivorant", 1))
        return "cannot write VOQKivorant6.INI";

    // The program's own tables, as its first start would make them.
    StructureRun run;
    std::string error;
    if (!SynchroniseStructures(run, error)) return error;

    // A group and the cubes.
    rt::RelationManager& headers = *Relate.VOQCubeKopf;
    if (headers.open() != 0) return "cube headers: " + rt::errorText() + " " + rt::fileErrorText();
    if (Access.VOQCubeKopf->records() == 0) {
        if (Access.VOQCubeGruppe->primeRecord() != 0) return "cube groups: " + rt::errorText();
        CUBG.GruppenName = "Vertrieb";
        CUBG.Beschreibung = "Auswertungen der Verkaufsdaten";
        CUBG.Activ = 1;
        if (Access.VOQCubeGruppe->update() != 0) return "cube groups: " + rt::errorText();
        const rt::Long group = CUBG.ID;
        for (const CubeDef& cube : cubes()) {
            if (headers.primeRecord() != 0) return "cube headers: " + rt::errorText();
            CUBK.ID_CUBG = group;
            CUBK.CubeName = cube.name;
            CUBK.Beschreibung = cube.description;
            CUBK.Activ = 1;
            CUBK.Zugriff = "3";
            CUBK.Connect = demoConnectString();  // the pivot control reads the cube through it
            CUBK.Query = "SELECT * FROM vDemoUmsatz";
            CUBK.TabName = "vDemoUmsatz";
            CUBK.Intern = cube.bigQuery ? 0 : 1;
            if (cube.bigQuery) CUBK.BigQuery = cube.bigQuery;
            CUBK.Compress = 1;
            CUBK.Zeitraum = 4;
            if (Access.VOQCubeKopf->update() != 0) return "cube headers: " + rt::errorText();
            const rt::Long header = CUBK.ID;
            for (const FieldDef& f : cube.fields) {
                CUBD = {};
                CUBD.ID_CUBK = header;
                if (Access.VOQCubeDetail->primeRecord(true) != 0) return "cube fields: " + rt::errorText();
                CUBD.FeldName = f.column;
                CUBD.Feldname1 = f.caption;
                CUBD.CubeFeldName = f.column;
                CUBD.Picture = f.picture;
                CUBD.Aggregat = f.aggregate;
                CUBD.Gruppe = f.group;
                CUBD.Gruppierung = 1;
                if (Access.VOQCubeDetail->update() != 0) return "cube fields: " + rt::errorText();
            }
        }
    }
    headers.close();

    // A cross-tab query over the sales view.
    rt::FileManager& crossTabs = *Access.CrossTab;
    if (crossTabs.open() != 0) return "cross-tab queries: " + rt::errorText() + " " + rt::fileErrorText();
    if (crossTabs.records() == 0) {
        if (crossTabs.primeRecord() != 0) return "cross-tab queries: " + rt::errorText();
        CRO.Title = "Umsatz je Monat und Jahr";
        CRO.RowValue = "nMonat";
        CRO.ColValue = "nJahr";
        CRO.Aggregate = "SUM(fUmsatz)";
        CRO.FromExpression = "vDemoUmsatz";
        if (crossTabs.update() != 0) return "cross-tab queries: " + rt::errorText();
    }
    crossTabs.close();

    // A script file and an update-script file for the lists that open them.
    GLO.SCRIPT = (std::filesystem::current_path() / "Scripte.TPS").string();
    rt::FileManager& scripts = *Access.Scripte;
    if (scripts.open() != 0) return "script file: " + rt::errorText();
    if (scripts.records() == 0) {
        const struct {
            const char* name;
            const char* description;
            const char* text;
        } demoScripts[] = {
            {"Umsatz je Monat", "Umsatz und Deckungsbeitrag je Monat",
             "SELECT nJahr, nMonat, SUM(fUmsatz) AS Umsatz,\n"
             "       SUM(fDeckungsbeitrag) AS DB\nFROM vDemoUmsatz\nGROUP BY nJahr, nMonat\nORDER BY nJahr, nMonat"},
            {"Kunden je Ort", "Anzahl der Kunden je Ort", "SELECT cOrt, COUNT(*) AS Kunden FROM tKunde GROUP BY cOrt"},
        };
        for (const auto& d : demoScripts) {
            if (scripts.primeRecord() != 0) return "script file: " + rt::errorText();
            SCR.Bezeichnung = d.name;
            SCR.Beschreibung = d.description;
            SCR.Tabelle = "vDemoUmsatz";
            SCR.Script = d.text;
            if (scripts.update() != 0) return "script file: " + rt::errorText();
        }
    }
    scripts.close();
    GLO.SCRIPT = (std::filesystem::current_path() / "Skript.TPS").string();
    rt::FileManager& updates = *Access.SKRIPT;
    if (updates.open() != 0) return "update-script file: " + rt::errorText();
    if (updates.records() == 0) {
        UPD = {};
        UPD.ID = 1;
        UPD.VERSION = 2;
        UPD.TYPE = "View";
        UPD.ORDERTOEXECUTE = 1;
        UPD.NAME = "vDemoUmsatz";
        UPD.DESCRIPTION = "Verkaufszeilen mit Kunde, Artikel, Plattform und Shop";
        UPD.ADDNAME = "Demo Benutzer";
        UPD.ADDEDDATE = rt::dateFromYmd(2026, 3, 2);
        UPD.SCRIPT = "CREATE VIEW vDemoUmsatz AS SELECT * FROM tUmsatzPos";
        if (updates.insertAsIs() != 0) return "update-script file: " + rt::errorText();
    }
    updates.close();
    GLO.SCRIPT = "";

    // The cockpit of the demo database opens the pivot cubes; a list cube runs in the query
    // runner's list, never in the viewer. A button an earlier set-up gave the list cube is freed.
    const char* ini = ".\\VOQKivorant6.INI";
    const bool fresh = rt::getProfileString(ini, kDemoDatabase, "Cube1", "").empty();
    std::size_t button = 0;
    for (std::size_t n = 0; n < cubes().size() && button < 6; ++n) {
        if (cubes()[n].bigQuery) {
            for (int b = 1; b <= 6; ++b) {
                const std::string k = std::to_string(b);
                if (rt::getProfileString(ini, kDemoDatabase, "Cube" + k, "") == std::to_string(n + 1)) {
                    rt::writeProfileString(ini, kDemoDatabase, "Cube" + k, "");
                    rt::writeProfileString(ini, kDemoDatabase, "Text" + k, "nicht definiert");
                }
            }
            continue;
        }
        const std::string k = std::to_string(++button);
        if (!fresh) continue;
        rt::writeProfileString(ini, kDemoDatabase, "Cube" + k, std::to_string(n + 1));
        rt::writeProfileString(ini, kDemoDatabase, "Text" + k, cubes()[n].name);
    }

    // The fields query by example offers for its three sources, in record order.
    if (!std::filesystem::exists("VOQKivorant.qbe")) {
        const struct {
            const char* source;
            std::vector<const char*> fields;
        } sources[] = {
            {"CrossTab",
             {"CRO:ID, ID, @n-14, R", "CRO:Title, Titel, @s100, L", "CRO:RowValue, Zeilenwert, @s100, L",
              "CRO:ColValue, Spaltenwert, @s100, L", "CRO:Aggregate, Aggregat, @s100, L",
              "CRO:FromExpression, From-Ausdruck, @s100, L"}},
            {"VOQCubeGruppe",
             {"CUBG:ID, ID, @n-14, R", "CUBG:GruppenName, Gruppe, @s30, L", "CUBG:Beschreibung, Beschreibung, @s100, L",
              "CUBG:Activ, Aktiv, @n3, R"}},
            {"VOQCubeKopf",
             {"CUBK:ID, ID, @n-14, R", "CUBK:ID_CUBG, Gruppe, @n-14, R", "CUBK:CubeName, Cube, @s20, L",
              "CUBK:Activ, Aktiv, @n3, R", "CUBK:Beschreibung, Beschreibung, @s100, L",
              "CUBK:Connect, Connect, @s60, L", "CUBK:Zugriff, Zugriff, @s20, L", "CUBK:Query, Query, @s100, L",
              "CUBK:QueryParameter, Query-Parameter, @s100, L", "CUBK:Patch, Patch, @n3, R",
              "CUBK:TabName, Tabelle, @s50, L", "CUBK:Intern, Intern, @n3, R", "CUBK:BigQuery, Abfrage, @s100, L",
              "CUBK:ParameterName, Parameter, @s50, L", "CUBK:Compress, Komprimiert, @n3, R",
              "CUBK:Zeitraum, Zeitraum, @n-7, R", "CUBK:BerechtigterUser, Berechtigte Benutzer, @s100, L"}},
        };
        for (const auto& s : sources) {
            rt::writeProfileNumber(".\\VOQKivorant.qbe", s.source, "FIELDS", static_cast<long long>(s.fields.size()));
            for (std::size_t i = 0; i < s.fields.size(); ++i)
                rt::writeProfileString(".\\VOQKivorant.qbe", s.source, "FIELD" + std::to_string(i + 1), s.fields[i]);
        }
    }

    // A saved definition per source: the lists' "&Drucken" prints through the one of its table.
    if (QBEDefinitionList().empty()) {
        const struct {
            const char* source;
            const char* name;
            long shown;  // the first fields are printed, the second sorted
        } saved[] = {{"CrossTab", "Alle Kreuztabellen", 6},
                     {"VOQCubeGruppe", "Alle Cube-Gruppen", 4},
                     {"VOQCubeKopf", "Alle Cubes", 5}};
        for (const auto& d : saved) {
            std::vector<QBEColumn> columns{QBESetAllColumn()};
            for (QBEColumn c : QBESourceFields(d.source)) {
                c.type(1) = c.NUMBER > d.shown ? qbecode::Off : c.NUMBER == 2 ? qbecode::OnUp : qbecode::On;
                columns.push_back(std::move(c));
            }
            // Built once, as the grid does before it saves: the report reads the summary slot.
            std::string order;
            if (!BuildQBEOrder(columns, 1, true, order).ok || SaveQBEDefinition(d.name, d.source, 1, columns) != 0)
                return "query-by-example definitions: " + rt::errorText();
        }
    }
    return {};
}

}  // namespace

std::string demoConnectString() { return ConnectString(demoClient()); }

std::string prepareDemoFolder(const std::string& folder, const DemoOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder, ec);
    if (ec) return "cannot enter " + folder + ": " + ec.message();
    std::string error;
    if (!std::filesystem::exists(kDemoDatabase)) error = writeDemoDatabase(kDemoDatabase, options);
    if (error.empty()) {
        int t = rt::startThread([&error] {
            InitDictionary();
            error = writeTables();
            if (error.empty()) registerProcedures();
            KillDictionary();
        });
        if (t == 0) error = "no program thread";
        rt::waitThread(t);
    }
    if (error.empty()) error = writeSecurity();
    std::filesystem::current_path(previous, ec);
    return error;
}

}  // namespace demo
