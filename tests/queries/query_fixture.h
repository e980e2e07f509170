// Set-up shared by the query tests: a working folder, the client database on either engine with
// the program's tables and a small customer table, cubes written through the dictionary, and the
// runner on a program thread of its own, driven through the headless display.
#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "queries/runner/query_runner.h"
#include "runtime/os/process.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace querytest {

struct Field {
    std::string expression{}, alias{}, picture{}, aggregate{};
};

struct Cube {
    std::string name = "Kunden";
    std::string description = "Kunden je Ort";
    std::string query{}, parameter{}, bigQuery{};
    std::vector<Field> fields{};
};

class QueryTest : public coretest::WorkingFolderTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg_, connect_)) return;
        GLO.ConnectString = connect_;
        SetWindowSettingsFile(file("VOQKIVORANT.INI"));
        rt::setShellOpenProgram("true");
        const std::string byte = pg() ? "SMALLINT" : "TINYINT";
        exec("CREATE TABLE " + coretest::serverTable(pg(), "VOQCUBEKOPF") +
             " (ID INT NOT NULL PRIMARY KEY, ID_CUBG INT, CUBENAME VARCHAR(20), ACTIV " + byte +
             ", BESCHREIBUNG VARCHAR(100), CONNECT VARCHAR(255), ZUGRIFF VARCHAR(20), QUERY VARCHAR(250), "
             "QUERYPARAMETER VARCHAR(250), PATCH " +
             byte + ", TABNAME VARCHAR(50), INTERN " + byte +
             ", BIGQUERY VARCHAR(8000), PARAMETERNAME VARCHAR(50), COMPRESS " + byte +
             ", ZEITRAUM SMALLINT, "
             "BERECHTIGTERUSER VARCHAR(511))");
        exec("CREATE TABLE " + coretest::serverTable(pg(), "VOQCUBEGRUPPE") +
             " (ID INT NOT NULL PRIMARY KEY, GRUPPENNAME VARCHAR(30), BESCHREIBUNG VARCHAR(100), ACTIV " + byte + ")");
        exec("CREATE TABLE " + coretest::serverTable(pg(), "VOQCUBEDETAIL") +
             " (ID INT NOT NULL PRIMARY KEY, ID_CUBK INT, POSNR INT, FELDNAME VARCHAR(100), FELDNAME1 VARCHAR(100), "
             "CUBEFELDNAME VARCHAR(100), PICTURE VARCHAR(20), AGGREGAT VARCHAR(10), GRUPPE VARCHAR(10), GRUPPIERUNG " +
             byte + ")");
        exec("CREATE TABLE kunden (nr INT, name VARCHAR(40), ort VARCHAR(40), umsatz DECIMAL(12,2))");
        exec(
            "INSERT INTO kunden VALUES (1, 'Meier', 'Köln', 1234.5), (2, 'Schmidt', 'D''dorf', 80), "
            "(3, 'Albers', 'Bonn', -7.25), (10, 'Zander', 'Aachen', 0)");
    }
    void TearDown() override {
        display.shutdown();
        rt::setShellOpenProgram("");
        SetWindowSettingsFile(std::string(kWindowSettingsFile));
        WorkingFolderTest::TearDown();
    }
    bool pg() const { return GetParam() == "pg"; }
    void exec(const std::string& sql) const { ASSERT_EQ(voq::test::execSql(connect_, sql), "") << sql; }

    // Runs body on a program thread with its dictionary and waits for it.
    static void onThread(const std::function<void()>& body) {
        int t = rt::startThread([&] {
            InitDictionary();
            body();
            KillDictionary();
        });
        rt::waitThread(t);
    }

    rt::Long addCube(const Cube& cube) const {
        rt::Long id = 0;
        onThread([&] {
            ASSERT_EQ(Relate.VOQCubeKopf->open(), 0);
            ASSERT_EQ(Relate.VOQCubeKopf->primeRecord(), 0);
            CUBK.CubeName = cube.name;
            CUBK.Beschreibung = cube.description;
            CUBK.Activ = 1;
            CUBK.Query = cube.query;
            CUBK.QueryParameter = cube.parameter;
            CUBK.BigQuery = cube.bigQuery;
            ASSERT_EQ(Access.VOQCubeKopf->update(), 0);
            id = CUBK.ID;
            rt::Long pos = 0;
            for (const Field& f : cube.fields) {
                CUBD = {};
                CUBD.ID_CUBK = id;
                ASSERT_EQ(Access.VOQCubeDetail->primeRecord(true), 0);
                CUBD.PosNr = ++pos;
                CUBD.FeldName = f.expression;
                CUBD.Feldname1 = f.alias;
                CUBD.Picture = f.picture;
                CUBD.Aggregat = f.aggregate;
                ASSERT_EQ(Access.VOQCubeDetail->update(), 0);
            }
            Relate.VOQCubeKopf->close();
        });
        return id;
    }

    // Starts the runner on a cube; the window once it waits for the user (after any input box).
    int startRunner(rt::Long id) {
        return rt::startThread([id] {
            InitDictionary();
            RunQuery(id);
            KillDictionary();
        });
    }
    rt::WindowId waitRunner() { return user.waitWindow("RunQuery"); }

    // The list's rows, the first n cells of each.
    std::vector<std::vector<std::string>> listRows(rt::WindowId w, int n) const {
        std::vector<std::vector<std::string>> out;
        for (const rt::ListRow& r : user.rows(w, RUNQUERY_LIST)) {
            std::vector<std::string> cells;
            for (int c = 0; c < n; ++c) cells.push_back(c < static_cast<int>(r.cells.size()) ? r.cells[c].text : "");
            out.push_back(cells);
        }
        return out;
    }
    std::vector<std::string> headings(rt::WindowId w, int n) const {
        std::vector<std::string> out;
        const auto state = user.control(w, RUNQUERY_LIST);
        for (int c = 0; c < n; ++c) out.push_back(state.list->columns.at(c).heading);
        return out;
    }
    void closeRunner(rt::WindowId w, int thread) {
        user.press(w, RUNQUERY_CLOSE);
        user.waitThreadEnd(thread);
    }

    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
};

inline std::string engineName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace querytest
