// The saved SQL queries through the headless display: the choice of the file, the list's two
// tabs, the form's field list and its store limit.
#include "cubes/sqlqueries/sql_queries.h"

#include <gtest/gtest.h>

#include <string>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/request.h"
#include "runtime/os/files.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace sqlqueries;

class SavedQueries : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        GLO.SQL_QBE = "SQL_QBE.TPS";
        cubestest::runWithDictionary([] {
            Access.SQLQuerries->open();
            const struct {
                int id;
                const char *table, *description, *query;
            } rows[] = {{1, "", "Alle Kunden", "SELECT * FROM tKunde"},
                        {2, "tArtikel", "Artikel", "SELECT * FROM tArtikel"},
                        {3, "", "Plattformen", "SELECT cName FROM tPlattform"}};
            for (const auto& r : rows) {
                SQLQBE = {};
                SQLQBE.ID = r.id;
                SQLQBE.FileName = r.table;
                SQLQBE.DESCRIPTION = r.description;
                SQLQBE.QUERY = r.query;
                Access.SQLQuerries->insertAsIs();
            }
            Access.SQLQuerries->close();
        });
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    int startList(std::uint8_t request, std::string* answer) {
        return cubestest::startWithDictionary([request, answer] {
            rt::ThreadRequest = request;
            *answer = ListeSQL_QBE("");
        });
    }

    cubestest::AllRights rights_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(SavedQueries, WithoutAFileTheCancelledChoiceOpensNoList) {
    GLO.SQL_QBE = "";
    rt::FileDialogResult cancelled;
    user_.queueFileDialogAnswer(cancelled);
    user_.queueMessageBoxAnswer(rt::button::Ok);
    std::string answer = "untouched";
    user_.waitThreadEnd(startList(rt::request::Select, &answer));
    EXPECT_EQ(answer, "");
    ASSERT_EQ(user_.fileDialogs().size(), 1u);
    EXPECT_EQ(user_.fileDialogs()[0].title, "SQL-Query-Datei");
    EXPECT_EQ(user_.lastMessageBox().text, "Keine Datei ausgewählt");
    EXPECT_EQ(user_.lastMessageBox().title, "Abbruch");
}

// In a folder without a file of saved queries a new name is taken and the file is made.
TEST_F(SavedQueries, ANewFileNameMakesTheFile) {
    GLO.SQL_QBE = "";
    rt::FileDialogResult chosen;
    chosen.ok = true;
    chosen.path = file("SQLNEU.TPS");
    ASSERT_FALSE(rt::fileExists(chosen.path));
    user_.queueFileDialogAnswer(chosen);
    std::string answer;
    const int t = startList(rt::request::Select, &answer);
    auto w = user_.waitWindow(kListTitle);
    ASSERT_EQ(user_.fileDialogs().size(), 1u);
    EXPECT_EQ(user_.fileDialogs()[0].kind, rt::FileDialogKind::OpenOrNew);
    EXPECT_EQ(user_.rowCount(w, List), 0u);
    user_.press(w, Close);
    user_.waitThreadEnd(t);
    EXPECT_TRUE(rt::fileExists(chosen.path));
    EXPECT_EQ(std::string(GLO.SQL_QBE.get().clipped()), chosen.path);
}

// Every table of the field list with its keys, then its fields with their pictures.
TEST_F(SavedQueries, TheFieldListShowsEachTablesKeysAndFields) {
    const struct {
        const char* table;
        const char* keys;    // ", " between them
        const char* fields;  // "name picture" with "; " between them
    } expected[] = {
        {"ACQTBL", "",
         "C01 @s255; C02 @s255; C03 @s255; C04 @s255; C05 @s255; C06 @s255; C07 @s255; C08 @s255; C09 @s255; C10 "
         "@s255; C11 @s255; C12 @s255; C13 @s255; C14 @s255; C15 @s255; C16 @s255; C17 @s255; C18 @s255; C19 @s255; "
         "C20 @s255; C21 @s255; C22 @s255; C23 @s255; C24 @s255"},
        {"CrossTab", "PKCROID, KEY_CROTITLE",
         "ID @n-14; Title @s100; RowValue @s100; ColValue @s100; Aggregate @s100; FromExpression @s100"},
        {"ImpFile", "",
         "Feld1 @S1; Feld2 @S20; Feld3 @s100; Feld4 @s100; Feld5 @s100; Feld6 @s100; Feld7 @s100; Feld8 @s50; Feld9 "
         "@s100; Feld10 @s100"},
        {"ImpFile01", "",
         "Feld1 @S1; Feld2 @S20; Feld3 @s100; Feld4 @s100; Feld5 @s100; Feld6 @s100; Feld7 @s100; Feld8 @s50; Feld9 "
         "@s100; Feld10 @s100; Feld11 @s255; Feld12 @s35; Feld13 @s50; Feld14 @s1; Feld15 @s1; Feld16 @s1; Feld17 "
         "@s20"},
        {"ImpFile01_OLD", "",
         "Feld1 @S1; Feld2 @S20; Feld3 @s100; Feld4 @s100; Feld5 @s100; Feld6 @s100; Feld7 @s100; Feld8 @s50; Feld9 "
         "@s100; Feld10 @s100; Feld11 @s255"},
        {"Mandant", "KeyID",
         "ID @N4; Mandant @s40; Driver @s60; Server @s60; Datenbank @s60; Name @s40; Passwort @s40; Regional @n3; "
         "Trusted @n3; Inaktiv @n1"},
        {"MandantOLD", "KeyID", "ID @N4; Mandant @s40; Server @s40; Datenbank @s40; Name @s40; Passwort @s40"},
        {"QuerriesTPS", "DESCRIPTIONKEY", "DESCRIPTION @s60; QUERY @s255"},
        {"QueryFile", "",
         "F1 @s255; F2 @s255; F3 @s255; F4 @s255; F5 @s255; F6 @s255; F7 @s255; F8 @s255; F9 @s255; F10 @s255; F11 "
         "@s255; F12 @s255; F13 @s255; F14 @s255; F15 @s255"},
        {"Scripte", "KeyID, KeyBezeichnung", "ID @N6; Bezeichnung @s20; Beschreibung @s40; Tabelle @s30; Script @s255"},
        {"SearchTPS", "MaskKey, SearchKey", "SearchField @s35; FieldMask @s35"},
        {"Setup", "KeyID", "ID @N2; ODBCDSN @s50; ODBCTPSTreiber @s50; NovaDLL @s50; NovaODBC @s50; NovaOCX @s50"},
        {"SKRIPT", "BY_ID, BY_TYPE, BY_ORDERTOEXECUTE, BY_NAME",
         "ID @n-14; SETUPID @n-14; VERSION @N4; FINALIZEDVERSION @n-14; TYPE @s20; ORDERTOEXECUTE @n4; NAME @s60; "
         "DESCRIPTION @s255; ADDNAME @s60; ADDEDDATE @n-14; ADDEDTIME @n-14; UPDATENAME @s60; UPDATEDDATE @n-14; "
         "UPDATEDTIME @n-14; SCRIPT @s20"},
        {"SQLFile", "",
         "F1 @s255; F2 @s255; F3 @s255; F4 @s255; F5 @s255; F6 @s255; F7 @s255; F8 @s255; F9 @s255; F10 @s255; F11 "
         "@s255; F12 @s255; F13 @s255; F14 @s255; F15 @s255"},
        {"SQLQuerries", "Key_SQLID, DESCRIPTIONKEY, Key_FileNAme",
         "ID @n-14; FileName @s20; Datum @d17; Name @s20; DESCRIPTION @s60; QUERY @s255; HeadLine @s100"},
        {"tversion", "", "cVersion @s8"},
        {"VOQCubeDetail", "KeyID, KeyID_CUBK, KeyTabName, KeyPosNr",
         "ID @N8; ID_CUBK @N8; PosNr @n4; FeldName @s100; Feldname1 @s100; CubeFeldName @s100; Picture @s20; Aggregat "
         "@s10; Gruppe @s10; Gruppierung @n3"},
        {"VOQCubeGruppe", "KeyID, KeyGruppenName", "ID @n8; GruppenName @s30; Beschreibung @s100; Activ @n1"},
        {"VOQCubeKopf", "KeyID, KeyCubeName, KeyCubeIDGrp",
         "ID @n8; ID_CUBG @n8; CubeName @s20; Activ @n1; Beschreibung @s100; Connect @s255; Zugriff @s20; Query @s250; "
         "QueryParameter @s250; Patch @n1; TabName @s50; Intern @n1; BigQuery @s255; ParameterName @s50; Compress @n3; "
         "Zeitraum @n_2; BerechtigterUser @s255"},
        {"VOQDBUpdateLog", "DBU_byTableName",
         "DBU_TableName @s50; DBU_Version @n_5; DBU_Type @s30; DBU_Updated_Date @d17; DBU_Updated_Time @t7"},
        {"VOQGNEquates", "KeyID, KeyBezeichnung, KeyWert", "ID @N4; FILTER @s10; Wert @N2; Bezeichnung @s20"},
        {"VOQProvKey", "VOQProK_ID, VOQProK_ProvKey",
         "ID @N_4; Mitarbeiter @s40; Plattform @s40; Shop @s40; Warengruppe @s40; PROVISIONSKEY @s120; Provision "
         "@n-6.1"},
        {"VOQQBEQUERY", "PK_ID, DESCRIPTIONKEY, GRUPPKEY", "ID @n-14; DESCRIPTION @s60; GRUPPE @s30; QUERY @s255"},
        {"VOQQBESEARCH", "PK_SEAID, MaskKey, SearchKey", "ID @n-14; SearchField @s35; FieldMask @s35"},
        {"VOQSQLTBL", "", "f1 @s255; f2 @s255; f3 @s255"},
    };
    rt::String<20> table("ARCHIVK");
    rt::String<32> field;
    rt::String<10> picture;
    const int t = cubestest::startWithDictionary([&] { Fieldliste(table, field, picture); });
    auto w = user_.waitWindow(kFieldListTitle);
    const auto tables = user_.rows(w, Tables);
    ASSERT_EQ(tables.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(e.table);
        int row = 0;
        for (std::size_t i = 0; i < tables.size(); ++i)
            if (tables[i].cells[0].text == e.table) row = static_cast<int>(i) + 1;
        ASSERT_GT(row, 0);
        user_.activateRow(w, Tables, row);
        std::string keys, fields;
        for (const auto& r : user_.rows(w, FieldRows)) {
            if (r.cells[1].text.empty()) {
                keys += (keys.empty() ? "" : ", ") + r.cells[0].text;
            } else {
                fields += (fields.empty() ? "" : "; ") + r.cells[0].text + " " + r.cells[1].text;
            }
        }
        EXPECT_EQ(keys, e.keys);
        EXPECT_EQ(fields, e.fields);
    }
    user_.closeWindow(w);
    user_.waitThreadEnd(t);
}

TEST_F(SavedQueries, TheListShowsTheStatementAndItsSecondTabOnlyQueriesWithoutTable) {
    std::string answer;
    const int t = startList(rt::request::Select, &answer);
    auto w = user_.waitWindow(kListTitle);
    ASSERT_EQ(user_.rowCount(w, List), 3u);
    EXPECT_EQ(user_.cell(w, List, 1, 1), "Alle Kunden");  // by description
    EXPECT_EQ(user_.value(w, QueryView), "SELECT * FROM tKunde");
    user_.selectTab(w, Sheet, 2);
    ASSERT_EQ(user_.rowCount(w, List), 2u);
    EXPECT_EQ(user_.cell(w, List, 2, 1), "Plattformen");
    user_.selectRow(w, List, 2);
    EXPECT_EQ(user_.value(w, QueryView), "SELECT cName FROM tPlattform");
    user_.press(w, Select);
    user_.waitThreadEnd(t);
    EXPECT_EQ(answer, "SELECT cName FROM tPlattform");
}

TEST_F(SavedQueries, TheFormAppendsAChosenFieldAndRefusesMoreThanItsTableKeeps) {
    std::string answer;
    const int t = startList(rt::request::None, &answer);
    auto list = user_.waitWindow(kListTitle);
    user_.press(list, Change);
    auto form = user_.waitTopWindow(t);
    user_.setValue(form, Query, "SELECT * FROM tKunde WHERE   ");

    // Left without a choice, the field list adds nothing.
    user_.press(form, Fields);
    auto fields = user_.waitWindow(kFieldListTitle);
    const auto tables = user_.rows(fields, Tables);
    ASSERT_EQ(tables.size(), 25u);
    for (std::size_t i = 1; i < tables.size(); ++i)
        EXPECT_LT(rt::upper(tables[i - 1].cells[0].text), rt::upper(tables[i].cells[0].text));
    EXPECT_EQ(user_.rowCount(fields, FieldRows), 0u);  // the form names no table of the list
    user_.closeWindow(fields);
    EXPECT_EQ(user_.value(form, Query), "SELECT * FROM tKunde WHERE");

    user_.press(form, Fields);
    fields = user_.waitWindow(kFieldListTitle);
    int row = 0;
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (tables[i].cells[0].text == "SQLQuerries") row = static_cast<int>(i) + 1;
    user_.activateRow(fields, Tables, row);
    int field = 0;
    const auto names = user_.rows(fields, FieldRows);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].cells[0].text == "QUERY") field = static_cast<int>(i) + 1;
    ASSERT_GT(field, 0);
    EXPECT_EQ(names[0].cells[0].text, "Key_SQLID");
    user_.selectRow(fields, FieldRows, field);
    user_.key(fields, FieldRows, rt::keys::Enter);
    user_.waitClosed(fields);
    EXPECT_EQ(user_.value(form, Query), "SELECT * FROM tKunde WHERESQLQuerries.QUERY");

    user_.setValue(form, Query, std::string(1001, 'x'));
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(form, Ok);
    EXPECT_NE(user_.lastMessageBox().text.find("1000"), std::string::npos);
    EXPECT_TRUE(user_.isOpen(form));
    user_.press(form, Cancel);
    user_.press(list, Close);
    user_.waitThreadEnd(t);
}

}  // namespace
