#include "core/updater/update_scripts.h"

#include <filesystem>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/data/view_manager.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/shared.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace skript;

namespace {

rt::Shared<std::function<std::unique_ptr<StatementChannel>()>> gChannelFactory;

std::unique_ptr<KRUUpdater> makeUpdater() {
    const auto factory = gChannelFactory.get();
    return std::make_unique<KRUUpdater>(factory ? factory() : MakeOdbcStatementChannel());
}

// The value of `key=` in a connect string, case ignored; empty when absent.
std::string connectValue(std::string_view connect, std::string_view key) {
    const std::string up = rt::upper(connect);
    const std::string k = rt::upper(key) + "=";
    std::size_t pos = 0;
    while ((pos = up.find(k, pos)) != std::string::npos) {
        if (pos == 0 || up[pos - 1] == ';') {
            const std::size_t from = pos + k.size();
            const std::size_t end = connect.find(';', from);
            return std::string(connect.substr(from, end == std::string_view::npos ? connect.npos : end - from));
        }
        pos += k.size();
    }
    return {};
}

// Asks for the update-script file; empty when the user gives none.
std::string chooseScriptFile() {
    rt::FileDialogResult r = rt::openFileDialog("Skriptdatei", "", "Skripte|Skript*.TPS");
    if (r.ok && !r.path.empty()) return r.path;
    const int answer = rt::message("Keine Skript-Datei ausgewählt. Soll eine leere Datei erzeugt werden?|",
                                   "Skript-Datei", rt::MessageIcon::Information, "Ja|Nein");
    if (answer != 1) return {};
    return (std::filesystem::current_path() / "Skript.TPS").string();
}

bool differs(const rt::RecordDesc& desc, const void* a, const void* b) {
    for (std::size_t i = 0; i < desc.fieldCount(); ++i)
        if (desc.text(a, i) != desc.text(b, i)) return true;
    return false;
}

}  // namespace

void SetUpdaterChannelFactory(std::function<std::unique_ptr<StatementChannel>()> factory) {
    gChannelFactory.set(std::move(factory));
}

ClientConnection ClientConnectionOf(std::string_view connectString) {
    ClientConnection c;
    c.driver = connectValue(connectString, "DRIVER");
    const std::string trusted = rt::upper(connectValue(connectString, "Trusted_Connection"));
    c.trusted = trusted == "TRUE" || trusted == "YES";
    return c;
}

// ---- The form ------------------------------------------------------------------------------

void EditSkript1() {
    rt::Window w("EditSkript1", "Form SKRIPT");
    w.setPosition(0, 0, 360, 230);
    w.edit().centered = true;
    w.add(FormSheet, rt::ControlKind::Sheet).setPosition(4, 4, 352, 200);
    w.add(TabGeneral, rt::ControlKind::Tab, FormSheet).setText("&1) General");
    w.add(TabSql, rt::ControlKind::Tab, FormSheet).setText("&2) SQL");
    int y = 24;
    auto entry = [&](int prompt, int id, const char* label, const char* picture, int width) {
        w.add(prompt, rt::ControlKind::Prompt, TabGeneral).setText(label).setPosition(10, y, 90, 10);
        w.add(id, rt::ControlKind::Entry, TabGeneral).setPicture(picture).setPosition(104, y, width, 10);
        y += 16;
    };
    entry(PromptId, EntryId, "ID", "@n4", 40);
    entry(PromptSetup, EntrySetup, "SetupID", "@n4", 40);
    entry(PromptVersion, EntryVersion, "Version", "@n4", 40);
    entry(PromptFinal, EntryFinal, "finalisierte Version", "@n4", 40);
    w.add(PromptType, rt::ControlKind::Prompt, TabGeneral).setText("Typ").setPosition(10, y, 90, 10);
    w.add(DropType, rt::ControlKind::DropList, TabGeneral)
        .setFrom("Procedure|Function|Trigger|View|Library")
        .setPosition(104, y, 100, 10);
    y += 16;
    entry(PromptOrder, EntryOrder, "Ausführungsreihenfolge", "@n4", 40);
    entry(PromptName, EntryName, "Name", "@s60", 240);
    entry(PromptDescription, EntryDescription, "Beschreibung", "@s255", 240);
    w.add(TextScript, rt::ControlKind::Text, TabSql).setPosition(10, 24, 340, 174);
    w.add(Ok, rt::ControlKind::Button)
        .setText("&OK")
        .setTip("Accept data and close the window")
        .setPosition(190, 210, 50, 14)
        .edit()
        .defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("&Cancel").setTip("Cancel operation").setPosition(246, 210, 50, 14);
    w.add(FormHelp, rt::ControlKind::Button)
        .setText("&Help")
        .setTip("See Help Window")
        .setPosition(302, 210, 50, 14)
        .disable();

    rt::FormController form(w, "EditSkript1", *Relate.SKRIPT);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(EntryId, "UPD:ID");
    form.bind(EntrySetup, "UPD:SETUPID");
    form.bind(EntryVersion, "UPD:VERSION");
    form.bind(EntryFinal, "UPD:FINALIZEDVERSION");
    form.bind(DropType, "UPD:TYPE");
    form.bind(EntryOrder, "UPD:ORDERTOEXECUTE");
    form.bind(EntryName, "UPD:NAME");
    form.bind(EntryDescription, "UPD:DESCRIPTION");
    for (int c : {EntryId, EntrySetup, EntryVersion, EntryFinal, DropType, EntryOrder, EntryName, EntryDescription})
        form.addHistory(c);
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(EntryId);

    SKRIPTRecord remembered;
    form.onPrimed = [] {
        UPD.TYPE = "View";
        UPD.ADDEDDATE = rt::today();
        UPD.ADDEDTIME = rt::clockTime();
        UPD.ADDNAME = GLO.UserName.get().str();
    };
    form.onOpened = [&] {
        remembered = UPD;
        w[TextScript].setValue(UPD.SCRIPT.str());
        if (form.mode() == rt::request::View) w[TextScript].setReadOnly(true).disable();
    };
    form.validate = [&] {
        // A text longer than the record holds is cut only when the user agrees.
        if (!ConfirmScriptFits(w[TextScript].value(), kScriptTextLimit)) return false;
        const std::string text(rt::cutChars(w[TextScript].value(), kScriptTextLimit));
        UPD.SCRIPT = text;  // an empty text leaves a BLOB of size 0
        // A changed record is stamped.
        SKRIPTRecord now = UPD;
        now.UPDATEDDATE = remembered.UPDATEDDATE;
        now.UPDATEDTIME = remembered.UPDATEDTIME;
        const bool changed =
            form.mode() == rt::request::Insert || differs(dictionary::SKRIPT().record, &now, &remembered);
        if (changed) {
            UPD.UPDATEDDATE = rt::today();
            UPD.UPDATEDTIME = rt::clockTime();
        }
        return true;
    };
    form.run();
}

// ---- The list ------------------------------------------------------------------------------

void BrowseSQLSkript1() {
    const std::string file = chooseScriptFile();
    if (file.empty()) return;
    GLO.SCRIPT = file;

    rt::Window w("BrowseSQLSkript1", "SQL-Skripte");
    w.setMdiChild(true);
    w.setPosition(0, 0, 500, 240);
    w.add(FileName, rt::ControlKind::String).setText(file).setPosition(6, 4, 488, 10);
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 16, 492, 196);
    w.add(TabName, rt::ControlKind::Tab, Sheet).setText("Bezeichnung");
    w.add(TabOrder, rt::ControlKind::Tab, Sheet).setText("Ausführungsreihenfolge");
    w.add(List, rt::ControlKind::List, Sheet).setPosition(8, 32, 484, 176);
    const struct {
        int id;
        const char* text;
        int width;
    } buttons[] = {{Insert, "&Insert", 42},    {Change, "&Change", 42},  {Delete, "&Delete", 42},
                   {Load, "Lade Skripte", 56}, {Close, "Schließen", 50}, {Help, "Help", 40}};
    int x = 4;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(x, 218, b.width, 14);
        x += b.width + 4;
    }
    w.add(Force, rt::ControlKind::Check).setText("Update ohne Versionsvergleich").setPosition(x + 4, 220, 130, 10);
    w[Force].setValue(GLO.ForceUpdate.get() ? "1" : "0");
    w[Help].disable();

    // The list owns its updater for its lifetime.
    std::unique_ptr<KRUUpdater> updater = makeUpdater();

    rt::WindowController wc(w, "BrowseSQLSkript1");
    CommonWindow common(wc);
    wc.addFile(*Relate.SKRIPT);
    rt::ViewManager view(*Access.SKRIPT);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("Version", 38, "UPD:VERSION", "@n4");
    list.addColumn("Typ", 80, "UPD:TYPE", "@s20");
    list.addColumn("Name", 240, "UPD:NAME", "@s60");
    list.addColumn("Angelegt", 53, "UPD:ADDEDDATE", "@d17");
    list.addColumn("Bearbeitet", 53, "UPD:UPDATEDDATE", "@d17");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabName, "UPD:BY_NAME"));
    list.addSortOrder(rt::sortByKey(TabOrder, "UPD:BY_ORDERTOEXECUTE"));
    list.setButtons(Insert, Change, Delete);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditSkript1);
    list.setFormProcedure(1);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == Force) {
            GLO.ForceUpdate = static_cast<rt::Byte>(w[Force].value() == "1");
            return true;
        }
        if (e.control != Load) return false;
        GLO.ForceUpdate = static_cast<rt::Byte>(w[Force].value() == "1");
        const ClientConnection client = ClientConnectionOf(GLO.ConnectString.get().str());
        UpdaterArgs args;
        args.file = file;  // this list's own file
        args.server = GLO.Server.get().str();
        args.user = GLO.DbUser.get().str();
        args.password = GLO.DbPassword.get().str();
        args.database = GLO.Database.get().str();
        args.trusted = client.trusted ? 1 : 0;
        args.force = GLO.ForceUpdate.get();
        args.traceMode = 1;
        args.showWindow = 1;
        args.driver = client.driver;
        updater->VOQUpdater(args);
        return true;
    };
    CommonList commonList(common, list);
    wc.run();
}
