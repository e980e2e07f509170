#include "core/startup/startup.h"

#include <cstdlib>
#include <mutex>
#include <utility>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/log_helpers.h"
#include "core/helpers/text_helpers.h"
#include "runtime/os/path.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"

std::array<ProcedureEntry, kProcedureCount> ProcedureTable;

namespace {

rt::Shared<MainProcedure> mainProcedure;
rt::Shared<ProcedureRegistration> procedureRegistration;
rt::Shared<std::string> programFileOverride;
rt::Shared<std::string> applicationIcon;

std::mutex hookMutex;
int startHookId = 0;
int endHookId = 0;

void setEntry(int number, std::string_view name, std::string_view kind, std::string_view description) {
    ProcedureEntry& e = ProcedureTable.at(static_cast<std::size_t>(number - 1));
    e.Name = name;
    e.Kind = kind;
    e.Description = description;
}

}  // namespace

std::string ProcedureEntry::row() const { return Name.str() + Kind.str() + Description.str(); }

void FillProcedureTable() {
    ProcedureTable = {};
    setEntry(15, "ListMandant01", "Window", "Liste der Mandanten");
    setEntry(17, "BrowseProvKey", "Window", "Liste der Provisionsschlüssel (kundenspezifisch)");
    setEntry(19, "BrowseCubeKopf", "Window", "Liste der Auswertungen");
    setEntry(23, "BrowseDBUpdateLog", "Window", "VOQDBUpdateLog anzeigen");
    setEntry(25, "BrowseSQLScript", "Window", "xxxxxxxxx INAKTIV xxxxxxxxxxxxxSQL-Scripte verwalten");
    setEntry(42, "BrowseWerte", "Window", "Auswahltabelle");
    setEntry(60, "Main", "Frame", "Auswerte-Tool für SQL-Datenbanken (mit automatischem Skript-Updater) (07.2018)");
}

void setMainProcedure(MainProcedure main) { mainProcedure.set(std::move(main)); }

void setProcedureRegistration(ProcedureRegistration registration) {
    procedureRegistration.set(std::move(registration));
}

rt::Byte RegisterProcedures() {
    ProcedureRegistration registration = procedureRegistration.get();
    if (!registration) return 0;
    std::vector<std::string> rows;
    rows.reserve(ProcedureTable.size());
    for (const auto& e : ProcedureTable) rows.push_back(e.row());
    return registration(kProcedureCount, kProcedureWidth, rows);
}

void InitDictionaryForThread() {
    if (rt::threadNumber() != 1) InitDictionary();
}

void KillDictionaryForThread() { KillDictionary(); }

rt::String<1> RunModeFromProgramPath(std::string_view programFile) {
    std::string folder = SplitPath(programFile, 3, 0);
    return rt::String<1>(rt::cutChars(folder, 1));
}

std::string ProgramFilePath() {
    std::string path = programFileOverride.get();
    return path.empty() ? rt::programPath() : path;
}

void setProgramFilePath(std::string path) { programFileOverride.set(std::move(path)); }

std::string ApplicationIcon() { return applicationIcon.get(); }

void ProgramModuleInit() {
    std::srand(static_cast<unsigned>(rt::today()) * 8640001u + static_cast<unsigned>(rt::clockTime()));
    resetGlobals();
    ProcedureTable = {};
    applicationIcon.set({});
    constructModuleObjects();
    SetDebugTraceSwitch([] { return GLO.Trace.get() == 1; });
    std::lock_guard lock(hookMutex);
    if (!startHookId) startHookId = rt::addThreadStartHook(InitDictionaryForThread);
    if (!endHookId) endHookId = rt::addThreadEndHook(KillDictionaryForThread);
}

void ProgramMain() {
    // 1. The class library's services.
    GlobalErrorManager().init();
    GlobalTranslator().init();
    GlobalFuzzyMatcher().init();
    GlobalFuzzyMatcher().setOption(1, true);
    GlobalFuzzyMatcher().setOption(2, false);
    // Every window reports, translates and keeps its state through them.
    SetWindowServices(&GlobalErrorManager(), &GlobalTranslator(), &GlobalIniManager());
    // 2. The settings file; naming it loads the kept globals.
    GlobalIniManager().init(kSettingsFile);
    // 3. The main thread's dictionary.
    InitDictionary();
    // 4. The icon of every window.
    applicationIcon.set("WWS.ICO");
    // 5. Run mode: the drive of the program file.
    GLO.RunMode = RunModeFromProgramPath(ProgramFilePath());
    // 6. The file that collects texts without a translation.
    GlobalTranslator().setExtractFileName("Extract.trn");
    // 7. The procedures known to the security module.
    FillProcedureTable();
    if (RegisterProcedures() == 1) {
        rt::message(kNewProceduresText, kNewProceduresTitle, rt::MessageIcon::None, rt::button::Ok);
    }
    // 8. The frame; all further start-up work happens inside it.
    if (MainProcedure main = mainProcedure.get()) main();
    // 9. Closing steps.
    GlobalIniManager().savePreserved();
    GlobalIniManager().close();
    GlobalFuzzyMatcher().kill();
    GlobalTranslator().kill();
    SetWindowServices(nullptr, nullptr);
}

void ProgramModuleCleanUp() {
    {
        std::lock_guard lock(hookMutex);
        if (startHookId) rt::removeThreadHook(startHookId);
        if (endHookId) rt::removeThreadHook(endHookId);
        startHookId = endHookId = 0;
    }
    SetDebugTraceSwitch({});
    destroyModuleObjects();
}

int RunProgram() {
    ProgramModuleInit();
    int thread = rt::startThread([] { ProgramMain(); });
    rt::waitThread(thread);
    ProgramModuleCleanUp();
    return 0;
}
