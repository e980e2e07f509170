#include "core/dictionary/tables.h"

#include <mutex>
#include <string>

#include "core/dictionary/globals.h"
#include "runtime/text/date_time.h"

namespace dictionary {
namespace {

using rt::Dup;
using rt::NoCase;
using rt::Opt;
using rt::Primary;
using rt::Unique;

// Every server table is opened on the client's connect string of the moment.
std::string clientConnect() { return GLO.ConnectString.get().str(); }

std::string sqlQbeFile() { return std::string(GLO.SQL_QBE.get().clipped()); }
std::string scriptFile() { return std::string(GLO.SCRIPT.get().clipped()); }
std::string importFile() { return std::string(GLO.ImportFile.get().clipped()); }

template <class R>
rt::TableBuilder<R> serverTable(std::string label, std::string prefix, std::string name) {
    rt::TableBuilder<R> b(std::move(label), std::move(prefix));
    b.server(std::move(name), clientConnect);
    return b;
}

}  // namespace

// ---- Server tables -------------------------------------------------------------------------

const rt::TableDef& VOQCubeGruppe() {
    using R = VOQCubeGruppeRecord;
    static const rt::TableDef def = serverTable<R>("VOQCubeGruppe", "CUBG", "dbo.VOQCUBEGRUPPE")
                                        .field(&R::ID, "ID", "@n8")
                                        .field(&R::GruppenName, "GruppenName", "@s30")
                                        .field(&R::Beschreibung, "Beschreibung", "@s100")
                                        .field(&R::Activ, "Activ", "@n1")
                                        .key("KeyID", {"ID"}, Unique | Primary | NoCase | Opt, "PK_CUBGID", 1)
                                        .key("KeyGruppenName", {"GruppenName"}, Unique | NoCase | Opt, "K_CUBGNAME")
                                        .build();
    return def;
}

const rt::TableDef& VOQCubeKopf() {
    using R = VOQCubeKopfRecord;
    static const rt::TableDef def = serverTable<R>("VOQCubeKopf", "CUBK", "dbo.VOQCUBEKOPF")
                                        .create()
                                        .field(&R::ID, "ID", "@n8")
                                        .field(&R::ID_CUBG, "ID_CUBG", "@n8")
                                        .field(&R::CubeName, "CubeName", "@s20")
                                        .field(&R::Activ, "Activ", "@n1")
                                        .field(&R::Beschreibung, "Beschreibung", "@s100")
                                        .field(&R::Connect, "Connect", "@s255")
                                        .field(&R::Zugriff, "Zugriff", "@s20")
                                        .field(&R::Query, "Query", "@s250")
                                        .field(&R::QueryParameter, "QueryParameter", "@s250")
                                        .field(&R::Patch, "Patch", "@n1")
                                        .field(&R::TabName, "TabName", "@s50")
                                        .field(&R::Intern, "Intern", "@n1")
                                        .field(&R::BigQuery, "BigQuery", "@s255")
                                        .field(&R::ParameterName, "ParameterName", "@s50")
                                        .field(&R::Compress, "Compress", "@n3")
                                        .field(&R::Zeitraum, "Zeitraum", "@n_2")
                                        .field(&R::BerechtigterUser, "BerechtigterUser", "@s255")
                                        .key("KeyID", {"ID"}, Unique | Primary | NoCase | Opt, "PK_CUBKID", 1)
                                        .key("KeyCubeName", {"CubeName"}, Unique | NoCase | Opt, "K_CUBKNAME")
                                        .key("KeyCubeIDGrp", {"ID_CUBG"}, Dup | NoCase, "K_CUBKID_CUBG")
                                        .prime([](R& r) {
                                            r.Compress = 1;
                                            r.Zeitraum = 0;
                                        })
                                        .build();
    return def;
}

const rt::TableDef& VOQCubeDetail() {
    using R = VOQCubeDetailRecord;
    static const rt::TableDef def =
        serverTable<R>("VOQCubeDetail", "CUBD", "dbo.VOQCUBEDETAIL")
            .create()
            .field(&R::ID, "ID", "@N8")
            .field(&R::ID_CUBK, "ID_CUBK", "@N8")
            .field(&R::PosNr, "PosNr", "@n4")
            .field(&R::FeldName, "FeldName", "@s100")
            .field(&R::Feldname1, "Feldname1", "@s100")
            .field(&R::CubeFeldName, "CubeFeldName", "@s100")
            .field(&R::Picture, "Picture", "@s20")
            .field(&R::Aggregat, "Aggregat", "@s10")
            .field(&R::Gruppe, "Gruppe", "@s10")
            .field(&R::Gruppierung, "Gruppierung", "@n3")
            .key("KeyID", {"ID"}, Unique | Primary | NoCase | Opt, "PK_CUBDID", 1)
            .key("KeyID_CUBK", {"ID_CUBK", "PosNr"}, Dup | NoCase, "K_CUBDIDCUBK")
            .key("KeyTabName", {"FeldName"}, Dup | NoCase, "K_CUBDTABNAME")
            .key("KeyPosNr", {"ID_CUBK", "PosNr"}, Unique | NoCase | Opt, "K_CUBDIDCUBKPOSNR", 2, "ID-Kopf und PosNr")
            .prime([](R& r) { r.Gruppierung = 1; })
            .build();
    return def;
}

const rt::TableDef& VOQGNEquates() {
    using R = VOQGNEquatesRecord;
    static const rt::TableDef def = serverTable<R>("VOQGNEquates", "GNE", "dbo.VOQGNEQUATES")
                                        .create()
                                        .field(&R::ID, "ID", "@N4")
                                        .field(&R::FILTER, "FILTER", "@s10")
                                        .field(&R::Wert, "Wert", "@N2")
                                        .field(&R::Bezeichnung, "Bezeichnung", "@s20")
                                        .key("KeyID", {"ID"}, Unique | NoCase | Opt, "PL_GNEID", 1)
                                        .key("KeyBezeichnung", {"Bezeichnung"}, Unique | NoCase | Opt, "K_GNEBEZ")
                                        .key("KeyWert", {"FILTER", "Wert"}, Dup | NoCase | Opt, "K_GNEWERT")
                                        .build();
    return def;
}

const rt::TableDef& VOQProvKey() {
    using R = VOQProvKeyRecord;
    static const rt::TableDef def =
        serverTable<R>("VOQProvKey", "PROK", "dbo.VOQProvKey")
            .create()
            .field(&R::ID, "ID", "@N_4")
            .field(&R::Mitarbeiter, "Mitarbeiter", "@s40")
            .field(&R::Plattform, "Plattform", "@s40")
            .field(&R::Shop, "Shop", "@s40")
            .field(&R::Warengruppe, "Warengruppe", "@s40")
            .field(&R::PROVISIONSKEY, "PROVISIONSKEY", "@s120")
            .field(&R::Provision, "Provision", "@n-6.1")
            .key("ProK:VOQProK_ID", {"ID"}, Unique | Primary | NoCase, "PK_VOQProK_ID", 1)
            .key("ProK:VOQProK_ProvKey", {"PROVISIONSKEY"}, Unique | NoCase, "K_VOQProK_ProvKey")
            .build();
    return def;
}

const rt::TableDef& VOQQBEQUERY() {
    using R = VOQQBEQUERYRecord;
    static const rt::TableDef def = serverTable<R>("VOQQBEQUERY", "QUE", "dbo.VOQQBEQUERY")
                                        .create()
                                        .field(&R::ID, "ID", "@n-14")
                                        .field(&R::DESCRIPTION, "DESCRIPTION", "@s60")
                                        .field(&R::GRUPPE, "GRUPPE", "@s30")
                                        .field(&R::QUERY, "QUERY", "@s255")
                                        .key("PK_ID", {"ID"}, Unique | Primary | NoCase, "PK_QUEID", 1)
                                        .key("DESCRIPTIONKEY", {"DESCRIPTION"}, Dup | NoCase, "K_QUEDESCRIPTION")
                                        .key("GRUPPKEY", {"GRUPPE"}, Dup | NoCase, "K_QUEGRUPPE")
                                        .build();
    return def;
}

const rt::TableDef& VOQQBESEARCH() {
    using R = VOQQBESEARCHRecord;
    static const rt::TableDef def = serverTable<R>("VOQQBESEARCH", "SEA", "dbo.VOQQBESEARCH")
                                        .create()
                                        .field(&R::ID, "ID", "@n-14")
                                        .field(&R::SearchField, "SearchField", "@s35")
                                        .field(&R::FieldMask, "FieldMask", "@s35")
                                        .key("PK_SEAID", {"ID"}, Unique | Primary | NoCase, "PK_ID", 1)
                                        .key("MaskKey", {"FieldMask"}, Dup | NoCase, "K_SEAMASK")
                                        .key("SearchKey", {"SearchField"}, Unique | NoCase | Opt, "K_SEASEARCH")
                                        .build();
    return def;
}

const rt::TableDef& VOQSQLTBL() {
    using R = VOQSQLTBLRecord;
    static const rt::TableDef def = serverTable<R>("VOQSQLTBL", "SQL", "dbo.VOQSQLTBL")
                                        .create()
                                        .field(&R::f1, "f1", "@s255")
                                        .field(&R::f2, "f2", "@s255")
                                        .field(&R::f3, "f3", "@s255")
                                        .build();
    return def;
}

const rt::TableDef& ACQTBL() {
    using R = ACQTBLRecord;
    static const rt::TableDef def = serverTable<R>("ACQTBL", "AQRY", "dbo.ACQTBL")
                                        .field(&R::C01, "C01", "@s255")
                                        .field(&R::C02, "C02", "@s255")
                                        .field(&R::C03, "C03", "@s255")
                                        .field(&R::C04, "C04", "@s255")
                                        .field(&R::C05, "C05", "@s255")
                                        .field(&R::C06, "C06", "@s255")
                                        .field(&R::C07, "C07", "@s255")
                                        .field(&R::C08, "C08", "@s255")
                                        .field(&R::C09, "C09", "@s255")
                                        .field(&R::C10, "C10", "@s255")
                                        .field(&R::C11, "C11", "@s255")
                                        .field(&R::C12, "C12", "@s255")
                                        .field(&R::C13, "C13", "@s255")
                                        .field(&R::C14, "C14", "@s255")
                                        .field(&R::C15, "C15", "@s255")
                                        .field(&R::C16, "C16", "@s255")
                                        .field(&R::C17, "C17", "@s255")
                                        .field(&R::C18, "C18", "@s255")
                                        .field(&R::C19, "C19", "@s255")
                                        .field(&R::C20, "C20", "@s255")
                                        .field(&R::C21, "C21", "@s255")
                                        .field(&R::C22, "C22", "@s255")
                                        .field(&R::C23, "C23", "@s255")
                                        .field(&R::C24, "C24", "@s255")
                                        .build();
    return def;
}

// The server table holds one row per installed version of an object, so its key runs over the
// name and the version: a key over the name alone would make all versions one record.
const rt::TableDef& VOQDBUpdateLog() {
    using R = VOQDBUpdateLogRecord;
    static const rt::TableDef def =
        serverTable<R>("VOQDBUpdateLog", "VOQ", "dbo.VOQDBUpdateLog")
            .field(&R::DBU_TableName, "DBU_TableName", "@s50")
            .field(&R::DBU_Version, "DBU_Version", "@n_5")
            .field(&R::DBU_Type, "DBU_Type", "@s30")
            .dateTime("DBU_Updated", &R::DBU_Updated_Date, "DBU_Updated_Date", "@d17", &R::DBU_Updated_Time,
                      "DBU_Updated_Time", "@t7")
            .key("DBU_byTableName", {"DBU_TableName", "DBU_Version"}, Unique | Primary | NoCase)
            .build();
    return def;
}

const rt::TableDef& tversion() {
    using R = tversionRecord;
    static const rt::TableDef def =
        serverTable<R>("tversion", "TVE", "dbo.tversion").field(&R::cVersion, "cVersion", "@s8").build();
    return def;
}

const rt::TableDef& SQLFile() {
    using R = SQLFileRecord;
    static const rt::TableDef def = serverTable<R>("SQLFile", "SQLF", "dbo.syscolumns")
                                        .field(&R::F1, "F1", "@s255", "name")
                                        .field(&R::F2, "F2", "@s255", "name")
                                        .field(&R::F3, "F3", "@s255", "name")
                                        .field(&R::F4, "F4", "@s255", "name")
                                        .field(&R::F5, "F5", "@s255", "name")
                                        .field(&R::F6, "F6", "@s255", "name")
                                        .field(&R::F7, "F7", "@s255", "name")
                                        .field(&R::F8, "F8", "@s255", "name")
                                        .field(&R::F9, "F9", "@s255", "name")
                                        .field(&R::F10, "F10", "@s255", "name")
                                        .field(&R::F11, "F11", "@s255", "name")
                                        .field(&R::F12, "F12", "@s255", "name")
                                        .field(&R::F13, "F13", "@s255", "name")
                                        .field(&R::F14, "F14", "@s255", "name")
                                        .field(&R::F15, "F15", "@s255", "name")
                                        .build();
    return def;
}

const rt::TableDef& QueryFile() {
    using R = QueryFileRecord;
    static const rt::TableDef def = serverTable<R>("QueryFile", "QF", "QUERYFIL")
                                        .driverOptions("/TURBOSQL=TRUE")
                                        .field(&R::F1, "F1", "@s255")
                                        .field(&R::F2, "F2", "@s255")
                                        .field(&R::F3, "F3", "@s255")
                                        .field(&R::F4, "F4", "@s255")
                                        .field(&R::F5, "F5", "@s255")
                                        .field(&R::F6, "F6", "@s255")
                                        .field(&R::F7, "F7", "@s255")
                                        .field(&R::F8, "F8", "@s255")
                                        .field(&R::F9, "F9", "@s255")
                                        .field(&R::F10, "F10", "@s255")
                                        .field(&R::F11, "F11", "@s255")
                                        .field(&R::F12, "F12", "@s255")
                                        .field(&R::F13, "F13", "@s255")
                                        .field(&R::F14, "F14", "@s255")
                                        .field(&R::F15, "F15", "@s255")
                                        .build();
    return def;
}

// ---- Local table files ---------------------------------------------------------------------

const rt::TableDef& CrossTab() {
    using R = CrossTabRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("CrossTab", "CRO")
                                        .localFile("CROSSTAB")
                                        .create()
                                        .field(&R::ID, "ID", "@n-14")
                                        .field(&R::Title, "Title", "@s100")
                                        .field(&R::RowValue, "RowValue", "@s100")
                                        .field(&R::ColValue, "ColValue", "@s100")
                                        .field(&R::Aggregate, "Aggregate", "@s100")
                                        .field(&R::FromExpression, "FromExpression", "@s100")
                                        .key("PKCROID", {"ID"}, Unique | Primary | NoCase, {}, 1)
                                        .key("KEY_CROTITLE", {"Title"}, Unique | NoCase)
                                        .build();
    return def;
}

const rt::TableDef& Mandant() {
    using R = MandantRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("Mandant", "MAN")
                                        .localFile("MandantSQL.TPS")
                                        .create()
                                        .ownerOnly()
                                        .field(&R::ID, "ID", "@N4")
                                        .field(&R::Mandant, "Mandant", "@s40")
                                        .field(&R::Driver, "Driver", "@s60")
                                        .field(&R::Server, "Server", "@s60")
                                        .field(&R::Datenbank, "Datenbank", "@s60")
                                        .field(&R::Name, "Name", "@s40")
                                        .field(&R::Passwort, "Passwort", "@s40")
                                        .field(&R::Regional, "Regional", "@n3")
                                        .field(&R::Trusted, "Trusted", "@n3")
                                        .field(&R::Inaktiv, "Inaktiv", "@n1")
                                        .key("KeyID", {"ID"}, Unique | NoCase | Opt, {}, 1)
                                        .build();
    return def;
}

const rt::TableDef& SQLQuerries() {
    using R = SQLQuerriesRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("SQLQuerries", "SQLQBE")
                                        .localFile(sqlQbeFile)
                                        .create()
                                        .field(&R::ID, "ID", "@n-14")
                                        .field(&R::FileName, "FileName", "@s20")
                                        .field(&R::Datum, "Datum", "@d17")
                                        .field(&R::Name, "Name", "@s20")
                                        .field(&R::DESCRIPTION, "DESCRIPTION", "@s60")
                                        .field(&R::QUERY, "QUERY", "@s255")
                                        .field(&R::HeadLine, "HeadLine", "@s100")
                                        .key("Key_SQLID", {"ID"}, Unique | Primary | NoCase, {}, 1, "lfdNr für Query")
                                        .key("DESCRIPTIONKEY", {"DESCRIPTION"}, Dup | NoCase | Opt)
                                        .key("Key_FileNAme", {"FileName"}, Dup | NoCase | Opt)
                                        .prime([](R& r) { r.Datum = rt::today(); })
                                        .build();
    return def;
}

const rt::TableDef& SKRIPT() {
    using R = SKRIPTRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("SKRIPT", "UPD")
                                        .localFile(scriptFile)
                                        .create()
                                        .field(&R::ID, "ID", "@n-14")
                                        .field(&R::SETUPID, "SETUPID", "@n-14")
                                        .field(&R::VERSION, "VERSION", "@N4")
                                        .field(&R::FINALIZEDVERSION, "FINALIZEDVERSION", "@n-14")
                                        .field(&R::TYPE, "TYPE", "@s20")
                                        .field(&R::ORDERTOEXECUTE, "ORDERTOEXECUTE", "@n4")
                                        .field(&R::NAME, "NAME", "@s60")
                                        .field(&R::DESCRIPTION, "DESCRIPTION", "@s255")
                                        .field(&R::ADDNAME, "ADDNAME", "@s60")
                                        .field(&R::ADDEDDATE, "ADDEDDATE", "@n-14")
                                        .field(&R::ADDEDTIME, "ADDEDTIME", "@n-14")
                                        .field(&R::UPDATENAME, "UPDATENAME", "@s60")
                                        .field(&R::UPDATEDDATE, "UPDATEDDATE", "@n-14")
                                        .field(&R::UPDATEDTIME, "UPDATEDTIME", "@n-14")
                                        .field(&R::SCRIPT, "SCRIPT", "@s20")
                                        .key("BY_ID", {"ID"}, Unique | Primary | NoCase, {}, 1)
                                        .key("BY_TYPE", {"SETUPID", "ID", "TYPE", "NAME"}, Dup | NoCase)
                                        .key("BY_ORDERTOEXECUTE", {"SETUPID", "ORDERTOEXECUTE"}, Dup | NoCase)
                                        .key("BY_NAME", {"SETUPID", "NAME"}, Dup | NoCase)
                                        .build();
    return def;
}

const rt::TableDef& Scripte() {
    using R = ScripteRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("Scripte", "SCR")
                                        .localFile(scriptFile)
                                        .create()
                                        .field(&R::ID, "ID", "@N6")
                                        .field(&R::Bezeichnung, "Bezeichnung", "@s20")
                                        .field(&R::Beschreibung, "Beschreibung", "@s40")
                                        .field(&R::Tabelle, "Tabelle", "@s30")
                                        .field(&R::Script, "Script", "@s255")
                                        .key("KeyID", {"ID"}, Unique | NoCase | Opt, {}, 1)
                                        .key("KeyBezeichnung", {"Bezeichnung"}, Unique | NoCase | Opt)
                                        .build();
    return def;
}

const rt::TableDef& ImpFile01() {
    using R = ImpFile01Record;
    static const rt::TableDef def = rt::TableBuilder<R>("ImpFile01", "IMP1")
                                        .localFile(importFile)
                                        .create()
                                        .field(&R::Feld1, "Feld1", "@S1")
                                        .field(&R::Feld2, "Feld2", "@S20")
                                        .field(&R::Feld3, "Feld3", "@s100")
                                        .field(&R::Feld4, "Feld4", "@s100")
                                        .field(&R::Feld5, "Feld5", "@s100")
                                        .field(&R::Feld6, "Feld6", "@s100")
                                        .field(&R::Feld7, "Feld7", "@s100")
                                        .field(&R::Feld8, "Feld8", "@s50")
                                        .field(&R::Feld9, "Feld9", "@s100")
                                        .field(&R::Feld10, "Feld10", "@s100")
                                        .field(&R::Feld11, "Feld11", "@s255")
                                        .field(&R::Feld12, "Feld12", "@s35")
                                        .field(&R::Feld13, "Feld13", "@s50")
                                        .field(&R::Feld14, "Feld14", "@s1")
                                        .field(&R::Feld15, "Feld15", "@s1")
                                        .field(&R::Feld16, "Feld16", "@s1")
                                        .field(&R::Feld17, "Feld17", "@s20")
                                        .build();
    return def;
}

const rt::TableDef& ImpFile01_OLD() {
    using R = ImpFile01_OLDRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("ImpFile01_OLD", "IMP11")
                                        .localFile(importFile)
                                        .create()
                                        .field(&R::Feld1, "Feld1", "@S1")
                                        .field(&R::Feld2, "Feld2", "@S20")
                                        .field(&R::Feld3, "Feld3", "@s100")
                                        .field(&R::Feld4, "Feld4", "@s100")
                                        .field(&R::Feld5, "Feld5", "@s100")
                                        .field(&R::Feld6, "Feld6", "@s100")
                                        .field(&R::Feld7, "Feld7", "@s100")
                                        .field(&R::Feld8, "Feld8", "@s50")
                                        .field(&R::Feld9, "Feld9", "@s100")
                                        .field(&R::Feld10, "Feld10", "@s100")
                                        .field(&R::Feld11, "Feld11", "@s255")
                                        .build();
    return def;
}

const rt::TableDef& ImpFile() {
    using R = ImpFileRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("ImpFile", "IMP")
                                        .localFile(importFile)
                                        .create()
                                        .field(&R::Feld1, "Feld1", "@S1")
                                        .field(&R::Feld2, "Feld2", "@S20")
                                        .field(&R::Feld3, "Feld3", "@s100")
                                        .field(&R::Feld4, "Feld4", "@s100")
                                        .field(&R::Feld5, "Feld5", "@s100")
                                        .field(&R::Feld6, "Feld6", "@s100")
                                        .field(&R::Feld7, "Feld7", "@s100")
                                        .field(&R::Feld8, "Feld8", "@s50")
                                        .field(&R::Feld9, "Feld9", "@s100")
                                        .field(&R::Feld10, "Feld10", "@s100")
                                        .build();
    return def;
}

const rt::TableDef& MandantOLD() {
    using R = MandantOLDRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("MandantOLD", "MAN1")
                                        .localFile("MANDANTO")
                                        .create()
                                        .ownerOnly()
                                        .field(&R::ID, "ID", "@N4")
                                        .field(&R::Mandant, "Mandant", "@s40")
                                        .field(&R::Server, "Server", "@s40")
                                        .field(&R::Datenbank, "Datenbank", "@s40")
                                        .field(&R::Name, "Name", "@s40")
                                        .field(&R::Passwort, "Passwort", "@s40")
                                        .key("KeyID", {"ID"}, Unique | NoCase | Opt, {}, 1)
                                        .build();
    return def;
}

const rt::TableDef& QuerriesTPS() {
    using R = QuerriesTPSRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("QuerriesTPS", "QUE1")
                                        .localFile("QUERRIES")
                                        .create()
                                        .field(&R::DESCRIPTION, "DESCRIPTION", "@s60")
                                        .field(&R::QUERY, "QUERY", "@s255")
                                        .key("Que1:DESCRIPTIONKEY", {"DESCRIPTION"}, Dup | NoCase | Opt)
                                        .build();
    return def;
}

const rt::TableDef& SearchTPS() {
    using R = SearchTPSRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("SearchTPS", "SEA1")
                                        .localFile("SEARCHTP")
                                        .create()
                                        .field(&R::SearchField, "SearchField", "@s35")
                                        .field(&R::FieldMask, "FieldMask", "@s35")
                                        .key("Sea1:MaskKey", {"FieldMask"}, Dup | NoCase | Opt)
                                        .key("Sea1:SearchKey", {"SearchField"}, Unique | NoCase | Opt)
                                        .build();
    return def;
}

const rt::TableDef& Setup() {
    using R = SetupRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("Setup", "SEU")
                                        .localFile("DATEIEN\\GNSETUP.TPS")
                                        .create()
                                        .field(&R::ID, "ID", "@N2")
                                        .field(&R::ODBCDSN, "ODBCDSN", "@s50")
                                        .field(&R::ODBCTPSTreiber, "ODBCTPSTreiber", "@s50")
                                        .field(&R::NovaDLL, "NovaDLL", "@s50")
                                        .field(&R::NovaODBC, "NovaODBC", "@s50")
                                        .field(&R::NovaOCX, "NovaOCX", "@s50")
                                        .key("KeyID", {"ID"}, Unique | Primary | NoCase, {}, 1)
                                        .build();
    return def;
}

// ---- Catalogue -----------------------------------------------------------------------------

const std::vector<const rt::TableDef*>& tables() {
    static const std::vector<const rt::TableDef*> list = {
        &CrossTab(),       &Mandant(),       &VOQCubeGruppe(), &QueryFile(), &SQLQuerries(),
        &VOQDBUpdateLog(), &ImpFile01_OLD(), &VOQProvKey(),    &SKRIPT(),    &ACQTBL(),
        &tversion(),       &QuerriesTPS(),   &VOQQBEQUERY(),   &SearchTPS(), &VOQQBESEARCH(),
        &VOQSQLTBL(),      &Scripte(),       &MandantOLD(),    &ImpFile01(), &ImpFile(),
        &VOQGNEquates(),   &Setup(),         &VOQCubeDetail(), &SQLFile(),   &VOQCubeKopf(),
    };
    return list;
}

const rt::TableDef* findTable(std::string_view label) {
    for (const auto* t : tables()) {
        if (rt::equalsNoCase(t->label, label)) return t;
    }
    return nullptr;
}

void declareRelations() {
    static std::once_flag once;
    std::call_once(once, [] {
        rt::declareRelation({"VOQCubeGruppe",
                             "VOQCubeKopf",
                             "CUBK:KeyCubeIDGrp",
                             {{"ID", "ID_CUBG"}},
                             rt::RelationRule::Nothing,
                             rt::RelationRule::Nothing});
        rt::declareRelation({"VOQCubeKopf",
                             "VOQCubeDetail",
                             "CUBD:KeyID_CUBK",
                             {{"ID", "ID_CUBK"}},
                             rt::RelationRule::Cascade,
                             rt::RelationRule::Cascade});
    });
}

}  // namespace dictionary
