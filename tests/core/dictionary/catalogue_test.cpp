// The declarations of the 25 tables: what other parts and the schema synchroniser read.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/dictionary/tables.h"
#include "runtime/data/table_def.h"

namespace {

struct CatalogueRow {
    const char* label;
    const char* prefix;
    rt::StoreKind store;
    const char* physicalName;  // empty: named by a global
    bool create;
    std::size_t fields;  // declared fields (the date-time pair counts as its four entries)
    std::size_t keys;
};

constexpr auto L = rt::StoreKind::LocalFile;
constexpr auto S = rt::StoreKind::Server;

const CatalogueRow kCatalogue[] = {
    {"CrossTab", "CRO", L, "CROSSTAB", true, 6, 2},
    {"Mandant", "MAN", L, "MandantSQL.TPS", true, 10, 1},
    {"VOQCubeGruppe", "CUBG", S, "dbo.VOQCUBEGRUPPE", false, 4, 2},
    {"QueryFile", "QF", S, "QUERYFIL", false, 15, 0},
    {"SQLQuerries", "SQLQBE", L, "", true, 7, 3},
    {"VOQDBUpdateLog", "VOQ", S, "dbo.VOQDBUpdateLog", false, 7, 1},
    {"ImpFile01_OLD", "IMP11", L, "", true, 11, 0},
    {"VOQProvKey", "PROK", S, "dbo.VOQProvKey", true, 7, 2},
    {"SKRIPT", "UPD", L, "", true, 15, 4},
    {"ACQTBL", "AQRY", S, "dbo.ACQTBL", false, 24, 0},
    {"tversion", "TVE", S, "dbo.tversion", false, 1, 0},
    {"QuerriesTPS", "QUE1", L, "QUERRIES", true, 2, 1},
    {"VOQQBEQUERY", "QUE", S, "dbo.VOQQBEQUERY", true, 4, 3},
    {"SearchTPS", "SEA1", L, "SEARCHTP", true, 2, 2},
    {"VOQQBESEARCH", "SEA", S, "dbo.VOQQBESEARCH", true, 3, 3},
    {"VOQSQLTBL", "SQL", S, "dbo.VOQSQLTBL", true, 3, 0},
    {"Scripte", "SCR", L, "", true, 5, 2},
    {"MandantOLD", "MAN1", L, "MANDANTO", true, 6, 1},
    {"ImpFile01", "IMP1", L, "", true, 17, 0},
    {"ImpFile", "IMP", L, "", true, 10, 0},
    {"VOQGNEquates", "GNE", S, "dbo.VOQGNEQUATES", true, 4, 3},
    {"Setup", "SEU", L, "DATEIEN\\GNSETUP.TPS", true, 6, 1},
    {"VOQCubeDetail", "CUBD", S, "dbo.VOQCUBEDETAIL", true, 10, 4},
    {"SQLFile", "SQLF", S, "dbo.syscolumns", false, 15, 0},
    {"VOQCubeKopf", "CUBK", S, "dbo.VOQCUBEKOPF", true, 17, 3},
};

TEST(Catalogue, TwentyFiveTablesInTheOrderOfTheTableList) {
    const auto& tables = dictionary::tables();
    ASSERT_EQ(tables.size(), std::size(kCatalogue));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto& t = *tables[i];
        const auto& row = kCatalogue[i];
        SCOPED_TRACE(row.label);
        EXPECT_EQ(t.label, row.label);
        EXPECT_EQ(t.prefix(), row.prefix);
        EXPECT_EQ(t.store, row.store);
        EXPECT_EQ(t.physicalName, row.physicalName);
        EXPECT_EQ(bool(t.nameSource), std::string(row.physicalName).empty());
        EXPECT_EQ(t.createFlag, row.create);
        EXPECT_EQ(t.record.fieldCount(), row.fields);
        EXPECT_EQ(t.keys.size(), row.keys);
        EXPECT_EQ(t.store == S, bool(t.connectSource));
        EXPECT_EQ(dictionary::findTable(row.label), &t);
    }
    EXPECT_EQ(dictionary::findTable("voqcubekopf"), &dictionary::VOQCubeKopf());
    EXPECT_EQ(dictionary::findTable("ARCHIVK"), nullptr);
    EXPECT_EQ(dictionary::QueryFile().driverOptions, "/TURBOSQL=TRUE");
}

struct KeyRow {
    const rt::TableDef& (*table)();
    const char* label;
    std::vector<std::string> components;
    unsigned flags;
    const char* serverName;
    int autoComponent;
    const char* description;  // empty: the label
};

TEST(Catalogue, KeysWithFlagsServerNamesAutoComponentsAndDescriptions) {
    using namespace rt;
    const KeyRow rows[] = {
        {dictionary::VOQCubeGruppe, "CUBG:KeyID", {"ID"}, Unique | Primary | NoCase | Opt, "PK_CUBGID", 1, ""},
        {dictionary::VOQCubeGruppe, "CUBG:KeyGruppenName", {"GruppenName"}, Unique | NoCase | Opt, "K_CUBGNAME", 0, ""},
        {dictionary::VOQCubeKopf, "CUBK:KeyID", {"ID"}, Unique | Primary | NoCase | Opt, "PK_CUBKID", 1, ""},
        {dictionary::VOQCubeKopf, "CUBK:KeyCubeName", {"CubeName"}, Unique | NoCase | Opt, "K_CUBKNAME", 0, ""},
        {dictionary::VOQCubeKopf, "CUBK:KeyCubeIDGrp", {"ID_CUBG"}, NoCase, "K_CUBKID_CUBG", 0, ""},
        {dictionary::VOQCubeDetail, "CUBD:KeyID", {"ID"}, Unique | Primary | NoCase | Opt, "PK_CUBDID", 1, ""},
        {dictionary::VOQCubeDetail, "CUBD:KeyID_CUBK", {"ID_CUBK", "PosNr"}, NoCase, "K_CUBDIDCUBK", 0, ""},
        {dictionary::VOQCubeDetail, "CUBD:KeyTabName", {"FeldName"}, NoCase, "K_CUBDTABNAME", 0, ""},
        {dictionary::VOQCubeDetail,
         "CUBD:KeyPosNr",
         {"ID_CUBK", "PosNr"},
         Unique | NoCase | Opt,
         "K_CUBDIDCUBKPOSNR",
         2,
         "ID-Kopf und PosNr"},
        {dictionary::VOQGNEquates, "GNE:KeyID", {"ID"}, Unique | NoCase | Opt, "PL_GNEID", 1, ""},
        {dictionary::VOQGNEquates, "GNE:KeyWert", {"FILTER", "Wert"}, NoCase | Opt, "K_GNEWERT", 0, ""},
        {dictionary::VOQProvKey, "ProK:VOQProK_ID", {"ID"}, Unique | Primary | NoCase, "PK_VOQProK_ID", 1, ""},
        {dictionary::VOQProvKey,
         "ProK:VOQProK_ProvKey",
         {"PROVISIONSKEY"},
         Unique | NoCase,
         "K_VOQProK_ProvKey",
         0,
         ""},
        {dictionary::VOQQBESEARCH, "SEA:PK_SEAID", {"ID"}, Unique | Primary | NoCase, "PK_ID", 1, ""},
        {dictionary::VOQDBUpdateLog,
         "VOQ:DBU_byTableName",
         {"DBU_TableName", "DBU_Version"},
         Unique | Primary | NoCase,
         "",
         0,
         ""},
        {dictionary::SQLQuerries, "SQLQBE:Key_SQLID", {"ID"}, Unique | Primary | NoCase, "", 1, "lfdNr für Query"},
        {dictionary::SQLQuerries, "SQLQBE:Key_FileNAme", {"FileName"}, NoCase | Opt, "", 0, ""},
        {dictionary::SKRIPT, "UPD:BY_TYPE", {"SETUPID", "ID", "TYPE", "NAME"}, NoCase, "", 0, ""},
        {dictionary::Mandant, "MAN:KeyID", {"ID"}, Unique | NoCase | Opt, "", 1, ""},
        {dictionary::QuerriesTPS, "Que1:DESCRIPTIONKEY", {"DESCRIPTION"}, NoCase | Opt, "", 0, ""},
        {dictionary::SearchTPS, "Sea1:SearchKey", {"SearchField"}, Unique | NoCase | Opt, "", 0, ""},
        {dictionary::Setup, "SEU:KeyID", {"ID"}, Unique | Primary | NoCase, "", 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const auto& t = row.table();
        int k = t.findKey(row.label);
        ASSERT_GE(k, 0);
        const auto& key = t.keys[static_cast<std::size_t>(k)];
        EXPECT_EQ(key.label, row.label);
        ASSERT_EQ(key.components.size(), row.components.size());
        for (std::size_t c = 0; c < row.components.size(); ++c)
            EXPECT_EQ(t.record.field(static_cast<std::size_t>(key.components[c])).name, row.components[c]);
        EXPECT_EQ(key.flags, row.flags);
        EXPECT_EQ(key.serverName, row.serverName);
        EXPECT_EQ(key.autoComponent, row.autoComponent);
        EXPECT_EQ(key.description, *row.description ? std::string(row.description) : key.label);
    }
}

TEST(Catalogue, FieldTypesSizesPicturesAndColumns) {
    const auto& kopf = dictionary::VOQCubeKopf().record;
    const auto& big = kopf.field(static_cast<std::size_t>(kopf.find("CUBK:BigQuery")));
    EXPECT_EQ(big.type, rt::FieldType::CString);
    EXPECT_EQ(big.size, 8000u);  // stored at full length, shown as "@s255"
    EXPECT_EQ(big.picture, "@s255");
    const auto& zeitraum = kopf.field(static_cast<std::size_t>(kopf.find("CUBK:Zeitraum")));
    EXPECT_EQ(zeitraum.type, rt::FieldType::Short);
    EXPECT_EQ(zeitraum.picture, "@n_2");

    const auto& prov = dictionary::VOQProvKey().record;
    const auto& p = prov.field(static_cast<std::size_t>(prov.find("PROK:Provision")));
    EXPECT_EQ(p.type, rt::FieldType::Decimal);
    EXPECT_EQ(p.size, 5u);
    EXPECT_EQ(p.places, 1);
    EXPECT_EQ(p.picture, "@n-6.1");

    // DBU_Updated: one STRING(8) column with a group holding the DATE and the TIME over it.
    const auto& log = dictionary::VOQDBUpdateLog().record;
    const char* labels[] = {"VOQ:DBU_TableName",     "VOQ:DBU_Version",      "VOQ:DBU_Type",        "VOQ:DBU_Updated",
                            "VOQ:DBU_Updated_Group", "VOQ:DBU_Updated_Date", "VOQ:DBU_Updated_Time"};
    const rt::FieldType types[] = {rt::FieldType::CString, rt::FieldType::Long,  rt::FieldType::CString,
                                   rt::FieldType::String,  rt::FieldType::Group, rt::FieldType::Date,
                                   rt::FieldType::Time};
    for (std::size_t i = 0; i < log.fieldCount(); ++i) {
        EXPECT_EQ(log.field(i).label, labels[i]);
        EXPECT_EQ(log.field(i).type, types[i]);
    }
    EXPECT_EQ(log.field(3).size, 8u);

    for (const auto& f : dictionary::SQLFile().record.fields()) EXPECT_EQ(f.columnName(), "name");
    const auto& scr = dictionary::Scripte().record;
    EXPECT_EQ(scr.field(4).type, rt::FieldType::Memo);
    EXPECT_EQ(scr.field(4).size, 64000u);
    EXPECT_EQ(dictionary::SKRIPT().record.field(14).type, rt::FieldType::Blob);

    // The declared-only import tables are the first eleven and ten fields of ImpFile01.
    const auto& imp1 = dictionary::ImpFile01().record;
    for (const auto* t : {&dictionary::ImpFile01_OLD(), &dictionary::ImpFile()}) {
        for (std::size_t i = 0; i < t->record.fieldCount(); ++i) {
            EXPECT_EQ(t->record.field(i).name, imp1.field(i).name);
            EXPECT_EQ(t->record.field(i).size, imp1.field(i).size);
        }
    }
}

TEST(Catalogue, PrimingValues) {
    VOQCubeKopfRecord kopf;
    dictionary::VOQCubeKopf().primeValues(&kopf);
    EXPECT_EQ(kopf.Compress, 1);
    EXPECT_EQ(kopf.Zeitraum, 0);
    VOQCubeDetailRecord detail;
    dictionary::VOQCubeDetail().primeValues(&detail);
    EXPECT_EQ(detail.Gruppierung, 1);
    std::set<std::string> primed;
    for (const auto* t : dictionary::tables())
        if (t->primeValues) primed.insert(t->label);
    EXPECT_EQ(primed, (std::set<std::string>{"VOQCubeKopf", "VOQCubeDetail", "SQLQuerries"}));
}

}  // namespace
