#include "runtime/classlib/error_manager.h"

#include "runtime/data/errors.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"

namespace rt {

void ErrorManager::init() {
    std::lock_guard lock(mutex_);
    started_ = true;
}

void ErrorManager::kill() {
    std::lock_guard lock(mutex_);
    started_ = false;
}

bool ErrorManager::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

void ErrorManager::pushProcedure(std::string name) { pushProcedureName(std::move(name)); }
void ErrorManager::popProcedure() { popProcedureName(); }
std::string ErrorManager::procedure() { return currentProcedureName(); }
std::vector<std::string> ErrorManager::procedures() { return errorStatus().procedureNames; }

std::string ErrorManager::fileErrorMessage(int code, std::string_view table) {
    std::string name(table);
    switch (code) {
    case ErrDuplicateKey:
        return "Der Datensatz kann in " + name +
               " nicht gespeichert werden:|ein anderer Datensatz hat dieselben Schlüsselwerte.";
    case ErrRecordNotFound:
    case ErrRecordNotAvailable:
        return "Der Datensatz von " + name +
               " ist nicht mehr vorhanden;|ein anderer Benutzer hat ihn vielleicht geändert oder gelöscht.";
    case ErrRelatedRecords:
        return "Der Datensatz von " + name + " kann nicht gelöscht oder geändert werden:|es gibt abhängige Datensätze.";
    case ErrFileNotFound:
    case ErrPathNotFound: return "Die Datei " + name + " wurde nicht gefunden.";
    case ErrAccessDenied: return "Der Zugriff auf die Datei " + name + " wurde verweigert.";
    case ErrFileSystem: {
        std::string text = "Fehler bei der Datei " + name + ": " + errorText();
        if (!fileErrorCode().empty() || !fileErrorText().empty())
            text += "|(" + fileErrorCode() + ") " + fileErrorText();
        return text;
    }
    default: {
        std::string text = errorText().empty() ? dataErrorText(code) : errorText();
        return "Fehler (" + std::to_string(code) + ") bei der Datei " + name + ":|" + text;
    }
    }
}

int ErrorManager::throwFile(std::string_view table) { return throwFile(errorCode(), table); }

int ErrorManager::throwFile(int code, std::string_view table) {
    if (code == 0) return 0;
    report(fileErrorMessage(code, table));
    return code;
}

void ErrorManager::throwMessage(std::string_view text) { report(std::string(text)); }

int ErrorManager::throwMessage(OpenMessage number, std::string_view file) {
    // The error as the driver tells it, where it does.
    const std::string err = errorCode() == ErrFileSystem && !fileErrorCode().empty()
                                ? fileErrorText() + " (" + fileErrorCode() + ")"
                                : errorText() + " (" + std::to_string(errorCode()) + ")";
    const std::string name(file);
    std::string title, text;
    int buttons = button::Ok, preset = button::Ok;
    switch (number) {
    case CreateFailed:
        title = "File Creation Error";
        text = "Error: (" + err + ") creating " + name + ".";
        break;
    case OpenFailed:
        title = "File Access Error";
        text = "File (" + name + ") could not be opened.  Error: " + err + ".|Press OK to end this application.";
        buttons = button::Ok | button::Cancel;
        preset = button::Cancel;
        break;
    case RebuildFailed:
        title = "Key Rebuild Error";
        text = "Error: (" + err + ") repairing key for " + name + ".";
        break;
    case RebuildKey:
        title = "Invalid Key";
        text = name + " key file is invalid.  Do you want to rebuild the key?";
        buttons = button::Yes | button::No;
        preset = button::Yes;
        break;
    }
    std::function<void(const std::string&, const std::string&)> reporter;
    {
        std::lock_guard lock(mutex_);
        reporter = reporter_;
    }
    if (reporter) {
        reporter(title, text);
        return preset;
    }
    return message(text, title, MessageIcon::Exclamation, buttons, preset);
}

void ErrorManager::setReporter(std::function<void(const std::string&, const std::string&)> reporter) {
    std::lock_guard lock(mutex_);
    reporter_ = std::move(reporter);
}

void ErrorManager::report(const std::string& text) {
    std::function<void(const std::string&, const std::string&)> reporter;
    {
        std::lock_guard lock(mutex_);
        reporter = reporter_;
    }
    std::string title = procedure();
    if (reporter) {
        reporter(title, text);
        return;
    }
    message(text, title, MessageIcon::Exclamation, button::Ok);
}

}  // namespace rt
