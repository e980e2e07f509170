#include "core/scripts/sql_scripts.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/data/errors.h"
#include "runtime/data/view_manager.h"
#include "runtime/os/files.h"
#include "runtime/report/report_controller.h"
#include "runtime/text/picture.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace sqlscript;

namespace {

// Set by the list's "C&opy": the next insert keeps the buffer's values.
thread_local bool tCopyPending = false;

// The thread of the running list; 0 when none runs.
std::atomic<int> gRunningList{0};

bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '@' ||
           c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Asks for the script file; empty when the user cancelled (and was told so).
std::string chooseScriptFile() {
    rt::FileDialogResult r = rt::openFileDialog("Scriptdatei", "", "Scripte|Script*.TPS");
    if (r.ok && !r.path.empty()) return r.path;
    rt::message("Keine Scriptdatei ausgewählt", "Abbruch", rt::MessageIcon::Information);
    return {};
}

}  // namespace

std::string FreeScriptName(std::string_view name) {
    constexpr std::size_t kNameChars = 20;
    rt::FileManager& fm = *Access.Scripte;
    const rt::SavedBuffer saved = fm.saveBuffer();
    // A copy of a copy counts on from the original's name: "Anlage (2)" gives "Anlage (3)".
    std::string_view base = rt::clip(name);
    if (const std::size_t open = base.rfind(" (");
        open != std::string_view::npos && base.back() == ')' && open + 3 < base.size() &&
        base.substr(open + 2, base.size() - open - 3).find_first_not_of("0123456789") == std::string_view::npos)
        base = base.substr(0, open);
    std::string candidate;
    for (int n = 2;; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        candidate = std::string(rt::clip(rt::cutChars(base, kNameChars - suffix.size()))) + suffix;
        SCR.Bezeichnung = candidate;
        const int rc = fm.fetch("SCR:KeyBezeichnung");
        if (rc != 0 || n > 9999) break;  // free (or the file cannot tell)
    }
    fm.restoreBuffer(saved);
    return candidate;
}

std::string LastStatementError() {
    return rt::errorCode() == rt::ErrFileSystem && !rt::fileErrorText().empty() ? rt::fileErrorText() : rt::errorText();
}

bool SendScriptStatement(const std::string& sql, std::string& error) {
    rt::FileManager& fm = *Access.VOQSQLTBL;
    fm.setConnectString(GLO.ConnectString.get().str());
    if (fm.open() != 0) {
        error = LastStatementError();
        return false;
    }
    const bool ok = fm.setSql(sql) == 0;
    if (!ok) error = LastStatementError();
    fm.close();
    return ok;
}

bool SendScriptBatches(const std::vector<std::string>& batches, std::string& error, std::size_t& failed) {
    failed = 0;
    rt::FileManager& fm = *Access.VOQSQLTBL;
    fm.setConnectString(GLO.ConnectString.get().str());
    // Open once for all batches: the table holds the connection, so what a batch leaves in the
    // session (temporary tables, SET, USE) is there for the next one.
    if (fm.open() != 0) {
        error = LastStatementError();
        failed = batches.empty() ? 0 : 1;
        return false;
    }
    for (std::size_t i = 0; i < batches.size(); ++i) {
        if (fm.setSql(batches[i]) != 0) {
            error = LastStatementError();
            failed = i + 1;
            break;
        }
    }
    fm.close();
    return failed == 0;
}

// ---- Script texts --------------------------------------------------------------------------

std::vector<std::string> SplitGoBatches(std::string_view script) {
    std::vector<std::string> batches;
    std::string current;
    auto flush = [&] {
        if (current.find_first_not_of(" \t\r\n") != std::string::npos) batches.push_back(current);
        current.clear();
    };
    std::size_t pos = 0;
    while (pos <= script.size()) {
        std::size_t end = script.find('\n', pos);
        if (end == std::string_view::npos) end = script.size();
        std::string_view line = script.substr(pos, end - pos);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\r' || bare.back() == ' ' || bare.back() == '\t'))
            bare.remove_suffix(1);
        while (!bare.empty() && (bare.front() == ' ' || bare.front() == '\t')) bare.remove_prefix(1);
        if (rt::equalsNoCase(bare, "GO") && bare.size() == 2) {
            flush();
        } else {
            current.append(line);
            if (end < script.size()) current += '\n';
        }
        pos = end + 1;
    }
    flush();
    return batches;
}

std::string CreateWordsToAlter(std::string_view script) {
    const std::string up = rt::upper(script);
    std::string out;
    out.reserve(script.size());
    std::size_t i = 0;
    while (i < script.size()) {
        if (up.compare(i, 6, "CREATE") == 0 && (i == 0 || !isWordChar(script[i - 1])) &&
            (i + 6 >= script.size() || !isWordChar(script[i + 6]))) {
            out += "ALTER";
            i += 6;
        } else {
            out += script[i++];
        }
    }
    return out;
}

// ---- The form ------------------------------------------------------------------------------

void EditSQLScripte() {
    rt::Window w("EditSQLScripte", "SQL-Scripte anlegen/ bearbeiten");
    w.setPosition(0, 0, 420, 280);
    w.edit().centered = true;
    w.add(MenuEditor, rt::ControlKind::Menu).setText("&Script-Editor");
    w.add(MenuFile, rt::ControlKind::Menu, MenuEditor).setText("&File");
    w.add(ItemOpen, rt::ControlKind::Item, MenuFile).setText("&Open");
    w.add(ItemSaveAs, rt::ControlKind::Item, MenuFile).setText("&Save As");
    w.add(MenuEdit, rt::ControlKind::Menu, MenuEditor).setText("&Edit");
    w.add(ItemCut, rt::ControlKind::Item, MenuEdit).setText("Cu&t");
    w.add(ItemCopy, rt::ControlKind::Item, MenuEdit).setText("&Copy");
    w.add(ItemPaste, rt::ControlKind::Item, MenuEdit).setText("&Paste");
    w.add(ItemWordWrap, rt::ControlKind::Item, MenuEditor).setText("&Word Wrap");
    w.add(FormSheet, rt::ControlKind::Sheet).setPosition(4, 4, 412, 248);
    w.add(TabGeneral, rt::ControlKind::Tab, FormSheet).setText("General");
    int y = 22;
    auto entry = [&](int prompt, int id, const char* label, const char* picture, int width) {
        w.add(prompt, rt::ControlKind::Prompt, TabGeneral).setText(label).setPosition(10, y, 60, 10);
        w.add(id, rt::ControlKind::Entry, TabGeneral).setPicture(picture).setPosition(74, y, width, 10);
        y += 14;
    };
    entry(PromptId, EntryId, "&ID:", "@n6", 40);
    entry(PromptName, EntryName, "Bezeichnung", "@s20", 100);
    entry(PromptTable, EntryTable, "Tabelle", "@s30", 140);
    entry(PromptDescription, EntryDescription, "Beschreibung", "@s40", 200);
    w.add(TextScript, rt::ControlKind::Text, TabGeneral).setFont(rt::Font("Fixedsys")).setPosition(10, y, 400, 244 - y);
    w[TextScript].edit().wordWrap = false;
    w.add(Run, rt::ControlKind::Button)
        .setText("Aktualisieren")
        .setTip("In SQL-Datenbank aktualisieren")
        .setPosition(4, 258, 64, 14);
    w.add(Replace, rt::ControlKind::Button).setText("Replace").setPosition(72, 258, 50, 14);
    w.add(Ok, rt::ControlKind::Button).setText("OK").setPosition(310, 258, 50, 14).edit().defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("Cancel").setPosition(366, 258, 50, 14);

    const bool copy = tCopyPending;
    tCopyPending = false;
    rt::FormController form(w, "EditSQLScripte", *Relate.Scripte);
    form.setKeepBuffer(copy);
    CommonWindow common(form);
    UseFormTitles(form);
    form.bind(EntryId, "SCR:ID");
    form.bind(EntryName, "SCR:Bezeichnung");
    form.bind(EntryTable, "SCR:Tabelle");
    form.bind(EntryDescription, "SCR:Beschreibung");
    form.bind(TextScript, "SCR:Script");
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(EntryId);

    auto script = [&] { return std::string(rt::cutChars(w[TextScript].value(), kScriptMemoLimit)); };
    // A text longer than the record holds is cut only when the user agrees.
    form.validate = [&] { return ConfirmScriptFits(w[TextScript].value(), kScriptMemoLimit); };
    auto openFile = [&] {
        rt::FileDialogResult r = rt::openFileDialog(
            "Open File", "", "SQL-Scripte|*.SQL|Text Files|*.txt|CLW Files|*.clw|INC Files|*.inc|All Files|*.*");
        if (!r.ok) return;
        std::optional<std::string> text = rt::readFile(r.path);
        if (!text) {
            rt::message("Error Opening: " + r.path + "||" + std::strerror(errno));
            return;
        }
        // The whole text, up to what the record holds; a file in the ANSI code page is decoded.
        w[TextScript].setValue(std::string(rt::cutChars(rt::textFromFile(*text), kScriptMemoLimit)));
        w.setTitle(r.path);
    };
    auto saveFile = [&] {
        rt::FileDialogResult r = rt::saveFileDialog(
            "Save As....", "", "SQL-Script|*.SQL|Text Files|*.txt|CLW Files|*.clw|INC Files|*.inc|All Files|*.*");
        if (!r.ok) return;
        std::string error;
        if (!rt::writeFileReplacing(r.path, rt::clip(script()), &error)) {
            rt::message("Error Saving: " + r.path + "||" + error);
            return;
        }
        w.setTitle(r.path);
    };
    auto run = [&] {
        const std::vector<std::string> batches = SplitGoBatches(script());
        std::string error;
        std::size_t failed = 0;
        if (!SendScriptBatches(batches, error, failed)) {
            // The first failing batch stops the run and is named.
            const std::string where = batches.size() > 1 ? "Batch " + std::to_string(failed) + " von " +
                                                               std::to_string(batches.size()) + ":||"
                                                         : std::string();
            rt::message(where + error);
            return;
        }
        rt::message("Script " + std::string(rt::clip(SCR.Bezeichnung.str())) + " eingespielt", "SQL-Script");
    };
    auto replace = [&] {
        const std::string text = script();
        std::string error;
        if (!SendScriptStatement(text, error)) rt::message(error);
        rt::message(text);
        const std::string altered = CreateWordsToAlter(text);
        if (!SendScriptStatement(altered, error)) rt::message(error);
        rt::message(altered);
    };
    form.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case ItemOpen: openFile(); return true;
        case ItemSaveAs:
            form.readControls();
            saveFile();
            return true;
        case ItemCut:
        case ItemCopy:
        case ItemPaste:
            // The standard commands on the script's selection; a paste keeps within what the record holds.
            rt::editControl(w, TextScript,
                            e.control == ItemCut    ? rt::EditCommand::Cut
                            : e.control == ItemCopy ? rt::EditCommand::Copy
                                                    : rt::EditCommand::Paste,
                            kScriptMemoLimit);
            return true;
        case ItemWordWrap: {
            auto& c = w[TextScript].edit();
            c.wordWrap = !c.wordWrap;
            return true;
        }
        case Run:
            form.readControls();
            run();
            return true;
        case Replace:
            form.readControls();
            replace();
            return true;
        default: return false;
        }
    };
    form.run();
}

// ---- The report ----------------------------------------------------------------------------

namespace {
std::string ScriptReportText(std::string_view script) {
    // Tabs to blanks, so that indented lines keep their indent on paper.
    std::string out;
    out.reserve(script.size());
    for (char c : rt::clip(script)) {
        if (c == '\t')
            out += "    ";
        else
            out += c;
    }
    return out;
}
}  // namespace

void DruckeScripte() {
    enum { Header = 1, Title, HeadId, HeadName, HeadTable, Detail, Id, Name, Table, MemoBand, Memo, Footer, Page };
    rt::Report report("Report der Tabelle Scripte");
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(30, 80, 535, 710);
    auto& head = report.addBand(Header, rt::BandKind::PageHeader).setPosition(30, 24, 535, 50);
    head.addString(Title, 0, 0, 400, 16).setText("Report der Tabelle Scripte");
    head.addString(HeadId, 0, 32, 50, 12).setText("ID");
    head.addString(HeadName, 60, 32, 190, 12).setText("Bezeichnung");
    head.addString(HeadTable, 260, 32, 275, 12).setText("Tabelle");
    // Every text prints whole: what is wider than its column goes on over more lines, and the
    // script text over as many lines and pages as it needs.
    auto& detail = report.addBand(Detail, rt::BandKind::Detail).setSize(535, 14);
    detail.addString(Id, 0, 0, 50, 12).setUse([] { return rt::formatPicture(std::int64_t(SCR.ID), "@n6"); });
    detail.addText(Name, 60, 0, 190, 12).setResize().setUse([] {
        return std::string(rt::clip(SCR.Bezeichnung.str()));
    });
    detail.addText(Table, 260, 0, 275, 12).setResize().setUse([] { return std::string(rt::clip(SCR.Tabelle.str())); });
    auto& memo = report.addBand(MemoBand, rt::BandKind::Detail).setSize(535, 16);
    memo.addText(Memo, 20, 0, 515, 12).setResize().setFont({"Courier New", 9}).setUse([] {
        return ScriptReportText(SCR.Script.str());
    });
    auto& foot = report.addBand(Footer, rt::BandKind::PageFooter).setPosition(30, 800, 535, 20);
    foot.addString(Page, 400, 2, 135, 11).setPageNumber("@pSeite <<<#p");

    rt::FileManager& fm = *Access.Scripte;
    if (fm.open() != 0) return;
    fm.setOrder("SCR:KeyID");
    rt::RecordProcessor records(
        [&] {
            const int rc = fm.next();
            return rc == 0                           ? rt::RecordStep::Record
                   : rc == rt::ErrRecordNotAvailable ? rt::RecordStep::End
                                                     : rt::RecordStep::Failed;
        },
        fm.records());
    rt::ProgressWindowOptions options;
    options.procedure = "DruckeScripte";
    options.timer = 10;
    rt::ReportController controller(report, options);
    const bool withMemo = GLO.PRINTMEMO.get() == 1;
    controller.setOnRecord([&] {
        report.print(Detail);
        if (withMemo) report.print(MemoBand);
    });
    controller.run(records);
    fm.close();
}

// ---- The list ------------------------------------------------------------------------------

void BrowseSQLScript() {
    // One list per program run: a second start brings the running one to the front.
    const int running = gRunningList.load();
    if (running != 0 && rt::ThreadRequest != rt::request::Select) {
        rt::postToThread(rt::Event::GainFocus, 0, running);
        return;
    }
    std::string file = chooseScriptFile();
    if (file.empty()) return;
    GLO.SCRIPT = file;
    gRunningList = rt::threadNumber();
    struct ClearMark {
        ~ClearMark() { gRunningList = 0; }
    } clearMark;

    rt::Window w("BrowseSQLScript", "SQL-Scripte");
    w.setMdiChild(true);
    w.setPosition(0, 0, 420, 250);
    w.add(FileName, rt::ControlKind::String).setText(file).setPosition(6, 4, 408, 10);
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 16, 412, 196);
    w.add(TabName, rt::ControlKind::Tab, Sheet).setText("Bezeichnung");
    w.add(TabId, rt::ControlKind::Tab, Sheet).setText("ID");
    w.add(LocatorName, rt::ControlKind::Entry, TabName).setPicture("@s20").setPosition(10, 34, 100, 10);
    w.add(List, rt::ControlKind::List, Sheet).setPosition(8, 48, 404, 160);
    const struct {
        int id;
        const char* text;
        int width;
    } buttons[] = {{Insert, "&Insert", 38}, {Change, "&Change", 38}, {Delete, "&Delete", 38},
                   {Print, "&Print", 34},   {Copy, "C&opy", 34},     {NewFile, "neue Datei", 46},
                   {Select, "&Select", 36}, {Close, "Close", 34},    {Help, "Help", 30}};
    int x = 4;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(x, 216, b.width, 14);
        x += b.width + 3;
    }
    w.add(PrintMemo, rt::ControlKind::Check).setText("mit Memo-Feld").setPosition(4, 234, 80, 10);
    w[PrintMemo].setValue(GLO.PRINTMEMO.get() ? "1" : "0");
    w[Help].disable();

    rt::WindowController wc(w, "BrowseSQLScript");
    CommonWindow common(wc);
    wc.addFile(*Relate.Scripte);
    rt::ViewManager view(*Access.Scripte);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("ID", 27, "SCR:ID", "@n6", rt::Justify::Right);
    list.addColumn("Bezeichnung", 84, "SCR:Bezeichnung", "@s20");
    list.addColumn("Beschreibung", 160, "SCR:Beschreibung", "@s40");
    list.addColumn("Tabelle", 120, "SCR:Tabelle", "@s30");
    list.setSheet(Sheet);
    list.addSortOrder(rt::sortByKey(TabName, "SCR:KeyBezeichnung", rt::Locator::Entry, "SCR:Bezeichnung", LocatorName));
    list.addSortOrder(rt::sortByKey(TabId, "SCR:KeyID", rt::Locator::Step, "SCR:ID"));
    list.setButtons(Insert, Change, Delete, Select);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditSQLScripte);
    wc.setProcedure(2, DruckeScripte);
    list.setFormProcedure(1);
    list.setPrintButton(Print, 2);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::GainFocus) {
            w.setMinimized(false);
            return false;
        }
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == PrintMemo) {
            GLO.PRINTMEMO = static_cast<rt::Byte>(w[PrintMemo].value() == "1");
            return true;
        }
        if (e.control == Copy) {
            // The new script starts with the highlighted one's texts, under a number and a name of
            // its own: the insert stores the record at once to reserve its number.
            if (list.rowsLoaded() == 0 || list.fetchSelected() != 0) return true;
            SCR.Bezeichnung = FreeScriptName(SCR.Bezeichnung.clipped());
            tCopyPending = true;
            list.ask(rt::request::Insert);
            tCopyPending = false;
            list.refresh();
            return true;
        }
        if (e.control == NewFile) {
            std::string other = chooseScriptFile();
            if (other.empty()) return true;  // the list keeps its file
            // The controller and the list's view both hold the table: both let go, so that the
            // next open takes the file's name anew.
            list.closeView();
            Relate.Scripte->close();
            GLO.SCRIPT = other;
            if (Relate.Scripte->open() != 0) {
                rt::message("Die Scriptdatei " + other + " kann nicht geöffnet werden.||" + LastStatementError(),
                            "Scriptdatei", rt::MessageIcon::Exclamation);
                GLO.SCRIPT = file;
                Relate.Scripte->open();
            } else {
                file = other;
                w[FileName].setText(other);
            }
            if (list.reopenView() != 0) wc.errors().throwFile(Access.Scripte->label());
            return true;
        }
        return false;
    };
    CommonList commonList(common, list);
    wc.run();
}
