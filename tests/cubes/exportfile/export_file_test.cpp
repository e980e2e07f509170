// The cube export file on both engines: a cube with fields and a script travels out and back in
// (name clash, another database, an unchanged script), into a client that lacks it (script asked
// for and run), a file that carries only a script, and files that cannot be read.
#include <filesystem>
#include <fstream>

#include "cubes/deflist/deflist.h"
#include "cubes/exportfile/export_file.h"
#include "runtime/classlib/request.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"

using cubeexport::ExportFileName;
using cubeexport::ImportCubeFile;

namespace {

const std::string kConnect = "DRIVER=SQL Server;SERVER=srv;UID=sa;PWD=x;Database=Zentrale";
const std::string kScript = "CREATE TABLE IMPEXTEST (A INT)";

class ExportFileTest : public cubetest::CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exported_ = ExportFileName("Umsatz");
        GLO.SCRIPT = file("Scripte.TPS");
        GLO.Database = "Filiale";
        addGroup(3, "Vertrieb", 1);
        addCube(16, 3, "Umsatz", "Umsatz je Kunde");
        addField(1, 16, 2, "menge");
        addField(2, 16, 5, "preis");
        addField(3, 15, 1, "fremd");  // another cube's
        onThread([] {
            CUBK.ID = 16;
            ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyID"), 0);
            CUBK.Connect = kConnect;
            CUBK.Query = std::string(120, 'q');
            CUBK.BigQuery = "SELECT * FROM umsatz";
            CUBK.Compress = 0;
            CUBK.Zeitraum = 3;
            CUBK.BerechtigterUser = "anna;bert";
            ASSERT_EQ(Access.VOQCubeKopf->update(), 0);
        });
        addScript("IMPEX", kScript);
    }

    static void addScript(const std::string& name, const std::string& text) {
        onThread([&] {
            SCR = {};
            SCR.Bezeichnung = name;
            SCR.Beschreibung = "Tabelle für den Cube";
            SCR.Script = text;
            ASSERT_EQ(Access.Scripte->insert(), 0) << rt::errorText();
        });
    }

    // Runs `body` on a program thread, giving the message boxes these answers in turn; the texts
    // of the boxes shown.
    std::vector<std::string> run(std::function<void()> body, std::vector<int> answers = {}) {
        const std::size_t before = user.messageBoxes().size();
        for (int a : answers) user.queueMessageBoxAnswer(a);
        user.waitThreadEnd(start(0, std::move(body)));
        std::vector<std::string> texts;
        auto boxes = user.messageBoxes();
        for (std::size_t i = before; i < boxes.size(); ++i) texts.push_back(boxes[i].text);
        return texts;
    }
    std::vector<std::string> exportCube(long id, std::vector<int> answers) {
        return run(
            [id] {
                CUBK.ID = static_cast<rt::Long>(id);
                ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyID"), 0);
                cubeexport::ExportCube();
            },
            std::move(answers));
    }
    std::vector<std::string> importFile(const std::string& path, std::vector<int> answers) {
        return run([path] { ImportCubeFile(path); }, std::move(answers));
    }
    std::vector<std::string> cube(const std::string& name) const {
        auto r = rows(
            "SELECT ID, ID_CUBG, BESCHREIBUNG, CONNECT, QUERY, BIGQUERY, COMPRESS, ZEITRAUM, PATCH, "
            "BERECHTIGTERUSER FROM " +
            table("VOQCUBEKOPF") + " WHERE CUBENAME = '" + name + "'");
        return r.empty() ? std::vector<std::string>{} : r[0];
    }
    bool scriptTableMade() const { return voq::test::execSql(connect_, "SELECT COUNT(*) FROM IMPEXTEST").empty(); }

    std::string exported_;
};

TEST_P(ExportFileTest, RoundTripInTheSameClientNamesTheCopyByItsIdentifier) {
    const int ok = rt::button::Ok;
    auto shown = exportCube(16, {ok, ok});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].find("Query (100 Zeichen)"), std::string::npos) << shown[0];
    EXPECT_EQ(shown[0].find("Connect"), std::string::npos);
    EXPECT_EQ(shown[1], "Exportdatei " + exported_ + " erstellt");
    ASSERT_TRUE(std::filesystem::exists(exported_));
    EXPECT_EQ(GLO.ImportFile.get().clipped(), "");
    // Exporting again replaces the file.
    ASSERT_EQ(exportCube(16, {ok, ok}).size(), 2u);

    // The script in the file equals the stored one: neither stored again nor run.
    shown = importFile(exported_, {ok});
    EXPECT_EQ(shown, (std::vector<std::string>{"Die Cube-Informationen für Umsatz wurden eingelesen."}));
    auto copy = cube("Umsatz17");
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(copy, (std::vector<std::string>{
                        "17", "3", "Umsatz je Kunde", "DRIVER=SQL Server;SERVER=srv;UID=sa;PWD=x;Database=Filiale",
                        std::string(100, 'q'), "SELECT * FROM umsatz", "0", "3", "0", "anna;bert"}));
    EXPECT_EQ(fieldsOf(17), (std::vector<std::string>{"1:menge", "2:preis"}));
    EXPECT_FALSE(scriptTableMade());
    EXPECT_EQ(GLO.ImportFile.get().clipped(), "");
}

TEST_P(ExportFileTest, ImportIntoAClientWithoutTheCubeRunsTheScriptWhenAllowed) {
    const int ok = rt::button::Ok;
    exportCube(16, {ok, ok});
    exec("DELETE FROM " + table("VOQCUBEDETAIL"));
    exec("DELETE FROM " + table("VOQCUBEKOPF"));
    // The client's script file lacks the script: it is asked for, stored under its own name and run.
    GLO.SCRIPT = file("Andere.TPS");
    auto shown = importFile(exported_, {rt::button::Yes, ok, ok});
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_NE(shown[0].find("IMPEX"), std::string::npos);
    EXPECT_EQ(shown[1], "Script IMPEX eingespielt");
    EXPECT_EQ(shown[2], "Die Cube-Informationen für Umsatz wurden eingelesen.");
    auto imported = cube("Umsatz");
    ASSERT_FALSE(imported.empty());
    EXPECT_EQ(imported[0], "1");
    EXPECT_EQ(imported[2], "Umsatz je Kunde");
    EXPECT_EQ(fieldsOf(1), (std::vector<std::string>{"1:menge", "2:preis"}));
    EXPECT_TRUE(scriptTableMade());
    onThread([] {
        SCR.Bezeichnung = "IMPEX";
        ASSERT_EQ(Access.Scripte->fetch("SCR:KeyBezeichnung"), 0);
        EXPECT_EQ(SCR.ID, 1);
        EXPECT_EQ(SCR.Script.clipped(), kScript);
    });
}

TEST_P(ExportFileTest, AFileWithOnlyAScriptStoresAndRunsItUnlessRefused) {
    // A file whose first record is a changed "impex" script.
    GLO.ImportFile = file("Nur.GNF");
    onThread([] {
        IMP1 = {};
        IMP1.Feld1 = "V";
        IMP1.Feld3 = "impex";
        IMP1.Feld4 = "neu";
        IMP1.Feld11 = kScript + " ";
        ASSERT_EQ(Access.ImpFile01->insertAsIs(), 0) << rt::errorText();
        Access.ImpFile01->close();
    });
    GLO.ImportFile = "";
    onThread([] {
        SCR.Bezeichnung = "IMPEX";
        ASSERT_EQ(Access.Scripte->fetch("SCR:KeyBezeichnung"), 0);
        SCR.Script = "SELECT 1";
        ASSERT_EQ(Access.Scripte->update(), 0);
    });
    const int ok = rt::button::Ok;
    // Refused: the stored script stays as it was and nothing runs.
    auto shown = importFile(file("Nur.GNF"), {rt::button::No, ok});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], "Die Cube-Informationen für  wurden eingelesen.");
    EXPECT_FALSE(scriptTableMade());

    shown = importFile(file("Nur.GNF"), {rt::button::Yes, ok, ok});
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1], "Script IMPEX eingespielt");
    EXPECT_TRUE(scriptTableMade());
    EXPECT_EQ(count("VOQCUBEKOPF"), 1);
    onThread([] {
        SCR.Bezeichnung = "IMPEX";
        ASSERT_EQ(Access.Scripte->fetch("SCR:KeyBezeichnung"), 0);
        EXPECT_EQ(SCR.Beschreibung.clipped(), "neu");
        EXPECT_EQ(SCR.Script.clipped(), kScript);
    });
}

TEST_P(ExportFileTest, AFieldTheDatabaseRefusesTakesTheWholeCubeBack) {
    exportCube(16, {rt::button::Ok, rt::button::Ok});
    if (pg())
        exec("ALTER TABLE " + table("VOQCUBEDETAIL") +
             " ADD CONSTRAINT KEIN_PREIS CHECK (FELDNAME <> 'preis') NOT VALID");
    else
        exec("CREATE TRIGGER KEIN_PREIS BEFORE INSERT ON " + table("VOQCUBEDETAIL") +
             " WHEN NEW.FELDNAME = 'preis' BEGIN SELECT RAISE(ABORT, 'kein preis'); END");
    auto shown = importFile(exported_, {rt::button::Ok});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Der Cube Umsatz wurde nicht eingelesen: ", 0), 0u) << shown[0];
    EXPECT_EQ(count("VOQCUBEKOPF"), 1);
    EXPECT_EQ(count("VOQCUBEDETAIL"), 3);
}

TEST_P(ExportFileTest, UnreadableFilesImportNothing) {
    std::ofstream(file("Text.GNF")) << "K;Umsatz;kein Cube\n";
    for (const std::string& path : {file("Fehlt.GNF"), file("Text.GNF")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(importFile(path, {rt::button::Ok}), (std::vector<std::string>{"Dateilese-Fehler"}));
        EXPECT_EQ(count("VOQCUBEKOPF"), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(file("Fehlt.GNF")));
}

TEST_P(ExportFileTest, TheImportDialogStartsInTheExportFolderAndLeavesTheWorkingFolder) {
    const auto working = std::filesystem::current_path();
    user.queueFileDialogAnswer({true, exported_, 1});
    exportCube(16, {rt::button::Ok, rt::button::Ok});
    auto shown = run([] { cubeexport::ImportCube(); }, {rt::button::Ok});
    ASSERT_EQ(user.fileDialogs().size(), 1u);
    EXPECT_EQ(user.fileDialogs()[0].title, "Importdatei auswählen");
    EXPECT_EQ(std::filesystem::path(user.fileDialogs()[0].folder), working / "AUSWERT");
    EXPECT_EQ(std::filesystem::current_path(), working);
    EXPECT_EQ(shown, (std::vector<std::string>{"Die Cube-Informationen für Umsatz wurden eingelesen."}));
    EXPECT_FALSE(cube("Umsatz17").empty());
}

TEST_P(ExportFileTest, TheCubeListExportsTheSelectedCubeAndImportsAFile) {
    using namespace cubeliste;
    int t = start(rt::request::None, BrowseCubeKopf);
    auto w = user.waitWindow(kCubeListTitle);
    user.settle(t);
    ASSERT_EQ(user.rowCount(w, List), 1u);
    user.selectRow(w, List, 1);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, Export);
    user.settle(t);
    EXPECT_EQ(user.lastMessageBox().text, "Exportdatei " + exported_ + " erstellt");
    user.queueFileDialogAnswer({true, exported_, 1});
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, Import);
    user.settle(t);
    EXPECT_EQ(user.rowCount(w, List), 2u);
    user.press(w, Close);
    user.waitThreadEnd(t);
    EXPECT_FALSE(cube("Umsatz17").empty());
}

CATALOGUE_ENGINES(ExportFileTest);

}  // namespace
