// The demo working folder: client, settings, the program's tables and the cubes.
#include "demo/demo_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/security/security.h"
#include "core/sync/structure_update.h"
#include "runtime/ini/profile.h"
#include "runtime/thread/thread.h"
#include "tests/support/test_support.h"

namespace {

std::string scalar(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    std::string out = "?";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

TEST(DemoFolder, HoldsTheChosenClientTheTablesAndTheCubesOnce) {
    voq::test::TempDir dir;
    const std::string folder = dir.file("work");
    demo::DemoOptions o;
    o.salesLines = 2000;
    ASSERT_EQ(demo::prepareDemoFolder(folder, o), "");
    ASSERT_EQ(demo::prepareDemoFolder(folder, o), "");  // a second run adds nothing
    const std::string db = folder + "/" + demo::kDemoDatabase;
    EXPECT_EQ(scalar(db, "SELECT count(*) FROM tUmsatzPos"), "2000");
    EXPECT_EQ(scalar(db, "SELECT group_concat(CUBENAME, '|') FROM (SELECT CUBENAME FROM VOQCUBEKOPF ORDER BY ID)"),
              "Umsatz Warengruppen|Umsatz Plattformen|Kunden je Ort|Umsatzliste");
    EXPECT_EQ(scalar(db, "SELECT count(*) FROM VOQCUBEDETAIL WHERE ID_CUBK = 1"), "6");
    EXPECT_EQ(scalar(db, "SELECT max(POSNR) FROM VOQCUBEDETAIL WHERE ID_CUBK = 3"), "5");
    EXPECT_EQ(scalar(db, "SELECT GRUPPENNAME FROM VOQCUBEGRUPPE"), "Vertrieb");
    // A cross-tab query, and a saved query-by-example definition for each of the three sources.
    EXPECT_EQ(scalar(folder + "/CROSSTAB.TPS", "SELECT count(*) FROM CrossTab"), "1");
    EXPECT_EQ(scalar(folder + "/VOQKivorant.qbs",
                     "SELECT count(*) || ' ' || count(DISTINCT QUERYNAME || FILENAME) FROM QBEFile"),
              "480 3");
    // The view answers every cube field.
    EXPECT_NE(scalar(db,
                     "SELECT count(cWarengruppe || cArtikel || nJahr || cPlattform || fUmsatz || fDeckungsbeitrag "
                     "|| cShop || nMonat || fMenge || cOrt || cKunde || kUmsatzPos) FROM vDemoUmsatz"),
              "0");
    EXPECT_EQ(rt::getProfileString(folder + "/VOQKivorant6.INI", "MANDANT", "Kivorant", ""), "1");
    // The cockpit offers the pivot cubes only; a button an earlier set-up gave the list cube is freed.
    const std::string ini = folder + "/VOQKivorant6.INI";
    EXPECT_EQ(rt::getProfileString(ini, demo::kDemoDatabase, "Cube3", ""), "3");
    EXPECT_EQ(rt::getProfileString(ini, demo::kDemoDatabase, "Text3", ""), "Kunden je Ort");
    EXPECT_EQ(rt::getProfileString(ini, demo::kDemoDatabase, "Cube4", "-"), "-");
    rt::writeProfileString(ini, demo::kDemoDatabase, "Cube4", "4");
    rt::writeProfileString(ini, demo::kDemoDatabase, "Text4", demo::kDemoListCube);
    ASSERT_EQ(demo::prepareDemoFolder(folder, o), "");
    EXPECT_EQ(rt::getProfileString(ini, demo::kDemoDatabase, "Cube4", "-"), "");
    EXPECT_EQ(rt::getProfileString(ini, demo::kDemoDatabase, "Text4", ""), "nicht definiert");
    EXPECT_EQ(rt::getProfileString(ini, demo::kDemoDatabase, "Cube1", ""), "1");
    // The demo user, and no procedure without a level.
    EXPECT_EQ(scalar(folder + "/SECURITY.TPS", "SELECT count(*) FROM sqlite_master WHERE type = 'table'") != "0", true);

    // The program's first start finds nothing to do.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    resetGlobals();
    GLO.ConnectString = demo::demoConnectString();
    GLO.Database = demo::kDemoDatabase;
    StructureRun run;
    std::string error, client;
    int rights = 0;
    int t = rt::startThread([&] {
        InitDictionary();
        SynchroniseStructures(run, error);
        Access.Mandant->open();
        MAN.ID = 1;
        if (Access.Mandant->fetch("MAN:KeyID") == 0) client = MAN.Mandant.str() + "/" + MAN.Driver.str();
        GLO.LoginUser = demo::kDemoUser;
        for (const char* p : {"Main", "BrowseWerte", "BrowseCubeKopf"})
            for (const char* a : {"Look", "Add", "Change", "Delete"}) rights += CheckProcedureAccess(a, p);
        KillDictionary();
    });
    rt::waitThread(t);
    std::filesystem::current_path(previous);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(run.logged.empty());
    EXPECT_EQ(client, "Demo GmbH/SQLite3");
    EXPECT_EQ(rights, 12);
}

}  // namespace
