#include "cubes/exportfile/export_file.h"

#include <charconv>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/text_helpers.h"
#include "core/scripts/sql_scripts.h"
#include "runtime/data/errors.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"

namespace cubeexport {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kScriptName = "IMPEX";

fs::path exportFolder() { return fs::current_path() / "AUSWERT"; }

// A number written as decimal text, read back as its value (0 when the text holds none).
long long numberOf(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    long long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

template <class Field>
std::string clippedText(const Field& field) {
    return std::string(rt::clip(field.str()));
}

// A text longer than the file's field: named in the export's warning.
template <class Field>
void noteCut(std::vector<std::string>& cuts, std::string_view name, const Field& value, std::size_t width) {
    if (rt::charLength(rt::clip(value.str())) > width)
        cuts.push_back(std::string(name) + " (" + std::to_string(width) + " Zeichen)");
}

// The "K" record from the CUBK buffer.
ImpFile01Record headerRecord() {
    ImpFile01Record r;
    r.Feld1 = "K";
    r.Feld2 = clippedText(CUBK.CubeName);
    r.Feld3 = clippedText(CUBK.Beschreibung);
    r.Feld4 = clippedText(CUBK.Connect);
    r.Feld5 = clippedText(CUBK.Zugriff);
    r.Feld6 = clippedText(CUBK.Query);
    r.Feld7 = clippedText(CUBK.QueryParameter);
    r.Feld8 = clippedText(CUBK.TabName);
    r.Feld9 = std::to_string(CUBK.Activ);
    r.Feld11 = clippedText(CUBK.BigQuery);
    r.Feld13 = clippedText(CUBK.ParameterName);
    r.Feld14 = std::to_string(CUBK.Compress);
    r.Feld16 = std::to_string(CUBK.Intern);
    r.Feld17 = std::to_string(CUBK.Zeitraum);
    return r;
}

ImpFile01Record fieldRecord() {
    ImpFile01Record r;
    r.Feld1 = "D";
    r.Feld2 = std::to_string(CUBD.PosNr);
    r.Feld3 = clippedText(CUBD.FeldName);
    r.Feld4 = clippedText(CUBD.Feldname1);
    r.Feld5 = clippedText(CUBD.CubeFeldName);
    r.Feld6 = clippedText(CUBD.Picture);
    r.Feld7 = clippedText(CUBD.Aggregat);
    r.Feld8 = clippedText(CUBD.Gruppe);
    r.Feld15 = std::to_string(CUBD.Gruppierung);
    return r;
}

ImpFile01Record scriptRecord() {
    ImpFile01Record r;
    r.Feld1 = "V";
    r.Feld3 = clippedText(SCR.Bezeichnung);
    r.Feld4 = clippedText(SCR.Beschreibung);
    r.Feld5 = clippedText(SCR.Tabelle);
    r.Feld11 = clippedText(SCR.Script);
    return r;
}

// The cube's fields in position order, from position 1 on.
std::vector<ImpFile01Record> fieldRecords(rt::Long cubeId) {
    std::vector<ImpFile01Record> out;
    rt::FileManager& details = *Access.VOQCubeDetail;
    if (details.open() != 0) return out;
    const rt::SavedBuffer saved = details.saveBuffer();
    CUBD.ID_CUBK = cubeId;
    CUBD.PosNr = 1;
    details.setFrom("CUBD:KeyID_CUBK");
    while (details.next() == 0 && CUBD.ID_CUBK == cubeId) {
        if (CUBD.PosNr >= 1) out.push_back(fieldRecord());
    }
    details.restoreBuffer(saved);
    details.close();
    return out;
}

// The script "IMPEX" when the script file has it.
bool findExportScript(ImpFile01Record& record, std::vector<std::string>& cuts) {
    if (GLO.SCRIPT.get().empty()) return false;
    rt::FileManager& scripts = *Access.Scripte;
    if (scripts.open() != 0) return false;
    SCR.Bezeichnung = kScriptName;
    const bool found = scripts.fetch("SCR:KeyBezeichnung") == 0;
    if (found) {
        noteCut(cuts, "Script " + clippedText(SCR.Bezeichnung), SCR.Script, 8000);
        record = scriptRecord();
    }
    scripts.close();
    return found;
}

bool writeRecords(const std::vector<ImpFile01Record>& records, std::string& error) {
    rt::FileManager& file = *Access.ImpFile01;
    file.setCreate(true);
    if (file.open() != 0) {
        error = LastStatementError();
        return false;
    }
    bool ok = true;
    for (const auto& r : records) {
        IMP1 = r;
        if (file.insertAsIs() != 0) {
            error = LastStatementError();
            ok = false;
            break;
        }
    }
    file.close();
    return ok;
}

// ---- Import ----------------------------------------------------------------------------------

// The new cube from the "K" record in IMP1; false when it could not be stored.
bool insertHeader(std::string& importedName) {
    rt::FileManager& cubes = *Access.VOQCubeKopf;
    // The highest identifier, and the group and users of that last cube.
    rt::Long newId = 1;
    rt::Long group = 0;
    std::string users;
    cubes.setOrder("CUBK:KeyID");
    if (cubes.previous() == 0) {
        newId = CUBK.ID + 1 < 1 ? 1 : CUBK.ID + 1;
        group = CUBK.ID_CUBG;
        users = clippedText(CUBK.BerechtigterUser);
    }
    importedName = clippedText(IMP1.Feld2);
    std::string description = clippedText(IMP1.Feld3);
    std::string name = importedName;
    CUBK.CubeName = name;
    if (cubes.fetch("CUBK:KeyCubeName") == 0) {
        // The name is taken: the new cube is told apart by its identifier.
        name = importedName + std::to_string(newId);
        description = clippedText(CUBK.Beschreibung);
        group = CUBK.ID_CUBG;
        users = clippedText(CUBK.BerechtigterUser);
    }
    CUBK = {};
    CUBK.ID = newId;
    CUBK.ID_CUBG = group;
    CUBK.BerechtigterUser = users;
    CUBK.CubeName = name;
    CUBK.Beschreibung = description;
    CUBK.Connect = ReplaceConnectDatabase(IMP1.Feld4.clipped(), GLO.Database.get().clipped());
    CUBK.Zugriff = clippedText(IMP1.Feld5);
    CUBK.Query = clippedText(IMP1.Feld6);
    CUBK.QueryParameter = clippedText(IMP1.Feld7);
    CUBK.TabName = clippedText(IMP1.Feld8);
    CUBK.Activ = static_cast<rt::Byte>(numberOf(IMP1.Feld9.str()));
    CUBK.BigQuery = clippedText(IMP1.Feld11);
    CUBK.ParameterName = clippedText(IMP1.Feld13);
    CUBK.Compress = static_cast<rt::Byte>(numberOf(IMP1.Feld14.str()));
    CUBK.Intern = static_cast<rt::Byte>(numberOf(IMP1.Feld16.str()));
    CUBK.Zeitraum = static_cast<rt::Short>(numberOf(IMP1.Feld17.str()));
    CUBK.Patch = 0;
    return cubes.insert() == 0;
}

bool insertField(rt::Long cubeId) {
    CUBD = {};
    CUBD.ID_CUBK = cubeId;
    CUBD.FeldName = clippedText(IMP1.Feld3);
    CUBD.Feldname1 = clippedText(IMP1.Feld4);
    CUBD.CubeFeldName = clippedText(IMP1.Feld5);
    CUBD.Picture = clippedText(IMP1.Feld6);
    CUBD.Aggregat = clippedText(IMP1.Feld7);
    CUBD.Gruppe = clippedText(IMP1.Feld8);
    CUBD.Gruppierung = static_cast<rt::Byte>(numberOf(IMP1.Feld15.str()));
    return Access.VOQCubeDetail->insert() == 0;
}

// Takes back a cube whose fields could not all be read in.
void removeCube(rt::Long cubeId, const std::vector<rt::Long>& fieldIds) {
    for (rt::Long id : fieldIds) {
        CUBD.ID = id;
        if (Access.VOQCubeDetail->fetch("CUBD:KeyID") == 0) Access.VOQCubeDetail->deleteRecord();
    }
    CUBK.ID = cubeId;
    if (Access.VOQCubeKopf->fetch("CUBK:KeyID") == 0) Access.VOQCubeKopf->deleteRecord();
}

void runScript() {
    std::string error;
    if (SendScriptStatement(std::string(SCR.Script.clipped()), error))
        rt::message("Script " + clippedText(SCR.Bezeichnung) + " eingespielt", "SQL-Script anlegen");
    else
        rt::message(error);
}

// The "V" record in IMP1: stored and run when it differs from the stored script and the user
// agrees to run it on the client's database.
void importScript() {
    const std::string name = clippedText(IMP1.Feld3);
    const std::string text = clippedText(IMP1.Feld11);
    rt::FileManager& scripts = *Access.Scripte;
    if (scripts.open() != 0) {
        rt::message("Script " + name + " nicht eingespielt: " + LastStatementError(), "SQL-Script anlegen");
        return;
    }
    SCR.Bezeichnung = rt::upper(name);
    const bool found = scripts.fetch("SCR:KeyBezeichnung") == 0;
    if (found && clippedText(SCR.Script) == text) {
        scripts.close();
        return;
    }
    const int answer =
        rt::message("Das Script " + name + " der Importdatei auf der Datenbank " +
                        std::string(GLO.Database.get().clipped()) + " ausführen?",
                    "SQL-Script anlegen", rt::MessageIcon::Question, rt::button::Yes | rt::button::No, rt::button::No);
    if (answer != rt::button::Yes) {
        scripts.close();
        return;
    }
    if (!found) {
        rt::Long id = 1;
        scripts.setOrder("SCR:KeyID");
        if (scripts.previous() == 0) id = SCR.ID + 1;
        SCR = {};
        SCR.ID = id;
        SCR.Bezeichnung = name;
    }
    SCR.Beschreibung = clippedText(IMP1.Feld4);
    SCR.Tabelle = clippedText(IMP1.Feld5);
    SCR.Script = text;
    const int rc = found ? scripts.update() : scripts.insert();
    scripts.close();
    if (rc != 0) {
        rt::message("Script " + name + " nicht gespeichert: " + LastStatementError(), "SQL-Script anlegen");
        return;
    }
    runScript();
}

// Reads the open file; false after a failure the user has been told of.
bool readFile(rt::FileManager& file) {
    file.setOrder(-1);
    int rc = file.next();
    if (rc != 0 && rc != rt::ErrRecordNotAvailable) {
        rt::message("Dateilese-Fehler", "Fehler");
        return false;
    }
    std::string importedName;
    if (rc == 0 && IMP1.Feld1 == "K") {
        rt::FileManager& cubes = *Access.VOQCubeKopf;
        rt::FileManager& details = *Access.VOQCubeDetail;
        cubes.open();
        details.open();
        bool ok = insertHeader(importedName);
        std::string error = ok ? std::string() : LastStatementError();
        const rt::Long cubeId = CUBK.ID;
        std::vector<rt::Long> fieldIds;
        if (ok) {
            while ((rc = file.next()) == 0 && !(IMP1.Feld1 == "V")) {
                if (!insertField(cubeId)) {
                    error = LastStatementError();
                    ok = false;
                    break;
                }
                fieldIds.push_back(CUBD.ID);
            }
            if (ok && rc != 0 && rc != rt::ErrRecordNotAvailable) {
                error = LastStatementError();
                ok = false;
            }
            if (!ok) removeCube(cubeId, fieldIds);
        }
        details.close();
        cubes.close();
        if (!ok) {
            rt::message("Der Cube " + importedName + " wurde nicht eingelesen: " + error, "Import",
                        rt::MessageIcon::Exclamation);
            return false;
        }
    }
    if (rc == 0 && IMP1.Feld1 == "V") importScript();
    rt::message("Die Cube-Informationen für " + importedName + " wurden eingelesen.", "Import");
    return true;
}

}  // namespace

std::string ExportFileName(std::string_view cubeName) {
    return (exportFolder() / (std::string(cubeName) + ".GNF")).string();
}

rt::Byte ExportCube() {
    const std::string name = clippedText(CUBK.CubeName);
    const std::string path = ExportFileName(name);
    GLO.ImportFile = path;

    std::vector<std::string> cuts;
    noteCut(cuts, "Connect", CUBK.Connect, 100);
    noteCut(cuts, "Query", CUBK.Query, 100);
    noteCut(cuts, "QueryParameter", CUBK.QueryParameter, 100);
    std::vector<ImpFile01Record> records{headerRecord()};
    for (auto& r : fieldRecords(CUBK.ID)) records.push_back(std::move(r));
    ImpFile01Record script;
    if (findExportScript(script, cuts)) records.push_back(std::move(script));
    if (!cuts.empty()) {
        std::string text = "Diese Texte sind für die Exportdatei zu lang und werden gekürzt:";
        for (const auto& c : cuts) text += "|" + c;
        rt::message(text, "Export", rt::MessageIcon::Exclamation);
    }

    std::string error;
    bool ok = !name.empty() && name.find_first_of("/\\") == std::string::npos;
    if (!ok) error = "Der Cube-Name taugt nicht als Dateiname.";
    std::error_code ec;
    if (ok) {
        fs::create_directories(exportFolder(), ec);
        fs::remove(path, ec);
        ok = writeRecords(records, error);
        if (!ok) fs::remove(path, ec);
    }
    if (ok)
        rt::message("Exportdatei " + path + " erstellt", "Export");
    else
        rt::message("Exportdatei " + path + " nicht erstellt: " + error, "Export", rt::MessageIcon::Exclamation);
    GLO.ImportFile = "";
    return 0;
}

bool ImportCubeFile(const std::string& path) {
    GLO.ImportFile = path;
    rt::FileManager& file = *Access.ImpFile01;
    std::error_code ec;
    const bool create = file.createFlag();
    file.setCreate(false);  // a file that is not there is an error, not a new empty file
    const bool opened = fs::is_regular_file(path, ec) && file.open() == 0;
    file.setCreate(create);
    bool ok = opened;
    if (!opened) {
        rt::message("Dateilese-Fehler", "Fehler");
    } else {
        ok = readFile(file);
        file.close();
    }
    GLO.ImportFile = "";
    return ok;
}

rt::Byte ImportCube() {
    rt::FileDialogRequest request;
    request.kind = rt::FileDialogKind::Open;
    request.title = "Importdatei auswählen";
    request.folder = exportFolder().string();
    request.filters = rt::parseFileFilters("CubeImportFile|*.GNF");
    const rt::FileDialogResult chosen = rt::fileDialog(request);
    if (chosen.ok && !chosen.path.empty()) ImportCubeFile(chosen.path);
    GLO.ImportFile = "";
    return 0;
}

}  // namespace cubeexport
