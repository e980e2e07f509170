#pragma once
// The fixture of the cube catalogue's tests: the client database on the SQLite ODBC driver or
// on PostgreSQL with the program's tables, a headless display,
// a working folder of its own, and a rights check that the test controls.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/dictionary/dictionary_fixture.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace cubetest {

using namespace std::chrono_literals;
using Rows = dicttest::Rows;

class CatalogueTest : public coretest::WorkingFolderTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        ASSERT_TRUE(rt::waitAllThreads(5s));
        WorkingFolderTest::SetUp();
        SetWindowSettingsFile(file("VOQKIVORANT.INI"));
        SetListFormatsFile(file("Formats.FDB"));
        if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg_, connect_)) return;
        GLO.ConnectString = connect_;
        // The group table by hand (the table layer does not make it); the others as the table
        // layer makes them on first use.
        exec("CREATE TABLE " + table("VOQCUBEGRUPPE") + " (ID INT NOT NULL PRIMARY KEY, GRUPPENNAME VARCHAR(30), " +
             "BESCHREIBUNG VARCHAR(100), ACTIV " + (pg() ? "SMALLINT" : "TINYINT") + ")");
        onThread([] {
            for (rt::FileManager* fm :
                 {Access.VOQCubeKopf, Access.VOQCubeDetail, Access.VOQGNEquates, Access.VOQSQLTBL}) {
                ASSERT_EQ(fm->open(), 0) << fm->label() << ": " << rt::errorText() << " " << rt::fileErrorText();
                fm->close();
            }
        });
        SetRightsCheck(
            {[this](std::string_view action, std::string_view) {
                 std::lock_guard lock(m_);
                 return refused_.count(std::string(action)) ? 0 : 1;
             },
             [](std::string_view action) { rt::message("Keine Berechtigung: " + std::string(action), "Zugriff"); }});
    }
    void TearDown() override {
        display.shutdown();
        EXPECT_EQ(rt::runningThreadCount(), 0);
        SetRightsCheck({});
        WorkingFolderTest::TearDown();
    }

    bool pg() const { return GetParam() == "pg"; }
    std::string table(const std::string& name) const { return coretest::serverTable(pg(), name); }
    void exec(const std::string& sql) const { ASSERT_EQ(voq::test::execSql(connect_, sql), "") << sql; }
    Rows rows(const std::string& sql) const { return dicttest::query(connect_, sql); }

    // Runs `body` on a program thread with its dictionary and waits for it.
    static void onThread(const std::function<void()>& body) {
        int t = rt::startThread([&body] {
            InitDictionary();
            body();
            KillDictionary();
        });
        rt::waitThread(t);
    }
    // Starts a procedure with a request on a program thread; its response lands in `response`.
    int start(std::uint8_t request, std::function<void()> body) {
        response = -1;
        return rt::startThread([this, request, body] {
            InitDictionary();
            rt::ThreadRequest = request;
            body();
            response = rt::ThreadResponse;
            KillDictionary();
        });
    }
    // Records stored as they are, on a thread of their own.
    static void addGroup(long id, const std::string& name, int active) {
        onThread([&] {
            CUBG = {};
            CUBG.ID = static_cast<rt::Long>(id);
            CUBG.GruppenName = name;
            CUBG.Activ = static_cast<rt::Byte>(active);
            ASSERT_EQ(Access.VOQCubeGruppe->insertAsIs(), 0) << rt::errorText() << rt::fileErrorText();
        });
    }
    static void addCube(long id, long group, const std::string& name, const std::string& description, int active = 1,
                        const std::string& tabName = "", int intern = 1) {
        onThread([&] {
            CUBK = {};
            CUBK.ID = static_cast<rt::Long>(id);
            CUBK.ID_CUBG = static_cast<rt::Long>(group);
            CUBK.CubeName = name;
            CUBK.Beschreibung = description;
            CUBK.Activ = static_cast<rt::Byte>(active);
            CUBK.TabName = tabName;
            CUBK.Intern = static_cast<rt::Byte>(intern);
            CUBK.Zugriff = "3";
            ASSERT_EQ(Access.VOQCubeKopf->insertAsIs(), 0) << rt::errorText() << rt::fileErrorText();
        });
    }
    static void addField(long id, long cube, long position, const std::string& feldName) {
        onThread([&] {
            CUBD = {};
            CUBD.ID = static_cast<rt::Long>(id);
            CUBD.ID_CUBK = static_cast<rt::Long>(cube);
            CUBD.PosNr = static_cast<rt::Long>(position);
            CUBD.FeldName = feldName;
            CUBD.Aggregat = "0";
            CUBD.Gruppe = "3";
            CUBD.Gruppierung = 1;
            ASSERT_EQ(Access.VOQCubeDetail->insertAsIs(), 0) << rt::errorText() << rt::fileErrorText();
        });
    }
    // The cube's fields as "position:name", in position order.
    std::vector<std::string> fieldsOf(long cube) const {
        std::vector<std::string> out;
        for (const auto& r : rows("SELECT POSNR, FELDNAME FROM " + table("VOQCUBEDETAIL") +
                                  " WHERE ID_CUBK = " + std::to_string(cube) + " ORDER BY POSNR"))
            out.push_back(r[0] + ":" + r[1]);
        return out;
    }
    int count(const std::string& tableName, const std::string& where = "1=1") const {
        auto r = rows("SELECT COUNT(*) FROM " + table(tableName) + " WHERE " + where);
        return r.empty() ? -1 : std::stoi(r[0][0]);
    }
    void refuse(std::set<std::string> actions) {
        std::lock_guard lock(m_);
        refused_ = std::move(actions);
    }

    rt::HeadlessDisplay display;
    rt::TestDriver user{display, 10s};
    std::atomic<int> response{-1};
    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;

private:
    std::mutex m_;
    std::set<std::string> refused_;
};

inline std::string engineName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace cubetest

#define CATALOGUE_ENGINES(suite) \
    INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::Values("sqlite", "pg"), ::cubetest::engineName)
