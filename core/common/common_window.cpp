#include "core/common/common_window.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

// ---- Services ------------------------------------------------------------------------------

namespace {

struct Services {
    std::mutex mutex;
    rt::ErrorManager* errors = nullptr;
    rt::Translator* translator = nullptr;
    rt::IniManager* ini = nullptr;
    RightsCheck rights;
};

Services& services() {
    static Services* s = new Services;  // outlives detached threads at process end
    return *s;
}

rt::Shared<std::string> settingsFile{std::string(kWindowSettingsFile)};
rt::Shared<std::string> formatsFile{std::string(kListFormatsFile)};

}  // namespace

rt::ErrorManager& WindowErrorManager() {
    auto& s = services();
    std::lock_guard lock(s.mutex);
    return s.errors ? *s.errors : rt::defaultErrorManager();
}

rt::Translator& WindowTranslator() {
    static rt::Translator* own = new rt::Translator;
    auto& s = services();
    std::lock_guard lock(s.mutex);
    return s.translator ? *s.translator : *own;
}

rt::IniManager& WindowIniManager() {
    auto& s = services();
    std::lock_guard lock(s.mutex);
    if (s.ini) return *s.ini;
    static rt::IniManager* own = new rt::IniManager;  // outlives detached threads at process end
    const std::string file = settingsFile.get();
    if (own->fileName() != file) own->setFileName(file);
    return *own;
}

void SetWindowServices(rt::ErrorManager* errors, rt::Translator* translator, rt::IniManager* ini) {
    auto& s = services();
    std::lock_guard lock(s.mutex);
    s.errors = errors;
    s.translator = translator;
    s.ini = ini;
}

std::string WindowSettingsFile() { return settingsFile.get(); }
void SetWindowSettingsFile(std::string file) { settingsFile.set(std::move(file)); }
std::string ListFormatsFile() { return formatsFile.get(); }
void SetListFormatsFile(std::string file) { formatsFile.set(std::move(file)); }

// ---- Rights --------------------------------------------------------------------------------

void SetRightsCheck(RightsCheck check) {
    auto& s = services();
    std::lock_guard lock(s.mutex);
    s.rights = std::move(check);
}

int WindowRightsCheck(std::string_view action, std::string_view procedure) {
    std::function<int(std::string_view, std::string_view)> check;
    {
        auto& s = services();
        std::lock_guard lock(s.mutex);
        check = s.rights.checkProcedureAccess;
    }
    return check ? check(action, procedure) : 0;
}

void WindowNoAccessMessage(std::string_view action) {
    std::function<void(std::string_view)> show;
    {
        auto& s = services();
        std::lock_guard lock(s.mutex);
        show = s.rights.noAccessMessage;
    }
    if (show)
        show(action);
    else
        rt::message("No right: " + std::string(action), "Access", rt::MessageIcon::Exclamation);
}

namespace {
constexpr std::array<std::string_view, 5> kGatedLists = {"BrowseSQLScript", "BrowseWerte", "BrowseCubeKopf",
                                                         "BrowseProvKey", "BrowseDBUpdateLog"};
constexpr std::array<std::string_view, 9> kColouredLists = {"ListMandant",    "BrowseSQLScript",   "BrowseWerte",
                                                            "BrowseCubeKopf", "BrowseCubeAnzeige", "ListeSQL_QBE",
                                                            "QBEWindow",      "FieldMaskBrowse",   "UpdateCubeKopf"};
}  // namespace

bool IsRightsGatedList(std::string_view procedure) {
    return std::find(kGatedLists.begin(), kGatedLists.end(), procedure) != kGatedLists.end();
}

std::string RightForRequest(std::uint8_t request) {
    switch (request) {
    case rt::request::Insert: return "Add";
    case rt::request::Change: return "Change";
    case rt::request::Delete: return "Delete";
    default: return {};
    }
}

// ---- Form titles ---------------------------------------------------------------------------

const std::vector<FormTitles>& FormTitleTable() {
    static const std::vector<FormTitles> table = {
        {"EditSQLScripte", "View Record", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditSkript1", "View Record", "Record Will Be Added", "Record Will Be Changed"},
        {"EditMandant", "", "", "", true},
        {"UpdateSavedQuery", "View Record", "Record Will Be Added", "Record Will Be Changed"},
        {"EditFieldNames", "DS anzeigen", "Neuen Datensatz anlegen", "Datensatz bearbeiten"},
        {"UpdateCubeKopf", "View Record", "Neuen Datensatz anlegen", "Datensatz bearbeiten"},
        {"UpdateCubeDetail", "View Record", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditCubeGruppe", "Datensatz anschauen", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditWerte", "View Record", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditProvKey", "Datensatz anzeigen", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditCrossTab", "Datensatz anschauen", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"UpdateSQL_QBE", "View Record", "Adding a SFLQUERY Record", "Changing a saved query"},
    };
    return table;
}

std::optional<std::string> FormTitle(std::string_view form, std::uint8_t mode) {
    for (const auto& t : FormTitleTable()) {
        if (t.form != form) continue;
        if (t.keepsTitle) return std::nullopt;
        switch (mode) {
        case rt::request::View: return std::string(t.view);
        case rt::request::Insert: return std::string(t.insert);
        case rt::request::Change: return std::string(t.change);
        default: return std::string();
        }
    }
    return std::nullopt;
}

// ---- Row colours ---------------------------------------------------------------------------

void ColourRow(rt::ListRow& row, long long loadCount) {
    rt::Color back = loadCount % 2 == 1 ? rt::ColorNone : kRowAlternateBack;
    for (auto& cell : row.cells) {
        cell.fore = kRowText;
        cell.back = back;
        cell.selectedFore = kRowText;
        cell.selectedBack = kRowSelectedBack;
    }
}

bool ColoursRows(std::string_view procedure) {
    return std::find(kColouredLists.begin(), kColouredLists.end(), procedure) != kColouredLists.end();
}

// ---- Threads -------------------------------------------------------------------------------

ThreadPlan ThreadPlanOf(std::string_view procedure) {
    static constexpr std::array<std::string_view, 12> own25k = {
        "ControllingCockpit", "BrowseCubeAnzeige", "CubeTreeAnzeige", "BrowseCubeGruppe",
        "BrowseWerte",        "BrowseSQLSkript1",  "BrowseSQLScript", "BrowseDBUpdateLog",
        "SQLQueryResult_N",   "BrowseProvKey",     "DruckeCube",      "ControllingCockpit"};
    if (procedure == "BrowseCubeKopf" || procedure == "ThumbnailWindow") return {true, 50'000};
    if (procedure == "MySplash") return {true, 0};
    if (std::find(own25k.begin(), own25k.end(), procedure) != own25k.end()) return {true, 25'000};
    return {false, 0};
}

int StartProcedure(std::string_view procedure, std::function<void()> body) {
    if (ThreadPlanOf(procedure).ownThread) return rt::startThread(std::move(body));
    body();
    return 0;
}

// ---- Window set-up -------------------------------------------------------------------------

CommonWindow::CommonWindow(rt::WindowController& controller)
    : wc_(controller), highlighter_(std::make_unique<FocusHighlighter>(controller.window())) {
    wc_.setIniManager(&WindowIniManager());
    wc_.setErrorManager(&WindowErrorManager());
    wc_.setTranslator(&WindowTranslator());
    // Made, switched off for the touch keyboard, and set up with the settings of all windows.
    highlighter_->ENABLEOSK = 1;
    highlighter_->Init();
    SetupCommonHighlighter(*highlighter_);
    FocusHighlighter* h = highlighter_.get();
    rt::Window* w = &controller.window();
    wc_.addFilter([h, w](const rt::EventInfo& e) {
        if (e.event == rt::Event::OpenWindow && w->focus()) {
            // The first field has the focus as the window opens.
            rt::EventInfo selected;
            selected.event = rt::Event::Selected;
            selected.control = w->focus();
            h->TakeEvent(selected);
        }
        h->TakeEvent(e);
        return false;
    });
}

CommonWindow::~CommonWindow() { highlighter_->Kill(); }

void UseFormTitles(rt::FormController& form) {
    std::string name = form.procedure();
    form.modeTitle = [name](std::uint8_t mode) { return FormTitle(name, mode); };
}

CommonList::CommonList(CommonWindow& window, rt::BrowseManager& list)
    : wc_(window.controller()), list_(list), gated_(IsRightsGatedList(window.controller().procedure())) {
    wc_.addComponent(*this);
    rt::ListFormatManager* formats = &rt::ListFormatManager::forThread(wc_.procedure());
    formats_ = formats;
    wc_.addFilter([formats](const rt::EventInfo& e) { return formats->takeEvent(e); });
    if (ColoursRows(wc_.procedure())) list_.onRowLoaded = ColourRow;
    if (gated_) {
        auto before = list_.beforeForm;
        list_.beforeForm = [this, before](std::uint8_t request) {
            if (before && !before(request)) return false;
            return gate(request);
        };
        auto opened = wc_.onOpened;
        wc_.onOpened = [this, opened] {
            if (opened) opened();
            wc_.window().setImmediateAll(true);
            if (WindowRightsCheck("Look", wc_.procedure()) != 1) {
                lookRefused_ = true;
                WindowNoAccessMessage("Look");
                wc_.close(rt::response::Cancelled);
            }
        };
    }
}

CommonList::~CommonList() { wc_.removeComponent(*this); }

bool CommonList::gate(std::uint8_t request) {
    std::string right = RightForRequest(request);
    if (right.empty()) return true;
    if (WindowRightsCheck(right, wc_.procedure()) == 1) return true;
    WindowNoAccessMessage(right);
    wc_.close(rt::response::Cancelled);
    return false;
}

int CommonList::init() {
    // After the list's own set-up, so that its columns are there.
    started_ = true;
    formats_->init(wc_.procedure(), std::string(kApplicationName), wc_.window(), list_.listControl(), ListFormatsFile(),
                   &WindowIniManager());
    list_.setListFormats(formats_);
    formats_->setSortOrder(list_.sortOrder());
    formats_->reset();
    return 0;
}

void CommonList::kill() {
    if (!started_) return;
    started_ = false;
    if (formats_->kill() != 0) {
        // The list closes; other windows may hold unsaved work, so the program goes on.
        WindowErrorManager().throwMessage(rt::ListFormatManager::BrokenMessage);
    }
}

bool ConfirmScriptFits(std::string_view text, std::size_t limit) {
    const std::size_t chars = rt::charLength(text);
    if (chars <= limit) return true;
    auto grouped = [](std::size_t n) { return rt::formatPicture(static_cast<std::int64_t>(n), "@N10."); };
    return rt::message("Das Skript hat " + grouped(chars) + " Zeichen. Gespeichert werden nur die ersten " +
                           grouped(limit) + " Zeichen, der Rest geht verloren.|Trotzdem speichern?",
                       "Skript zu lang", rt::MessageIcon::Question, rt::button::Yes | rt::button::No,
                       rt::button::No) == rt::button::Yes;
}
