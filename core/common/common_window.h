// What every window of the program does alike, as the program configures the class library:
// the settings file for window state, the list formats, the error manager and translator, the
// focus highlighter with the common settings, the rights gate of five lists, the form titles,
// the row colours and which procedures run on a thread of their own.
//
//   void BrowseWerte() {
//       rt::Window window("BrowseWerte", "Werteliste");
//       ...
//       rt::WindowController wc(window, "BrowseWerte");
//       CommonWindow common(wc);                  // settings file, services, highlighter
//       rt::BrowseManager list(wc, LIST, view);
//       ...
//       CommonList commonList(common, list);      // list formats, rights gate, row colours
//       wc.run();
//   }
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/focus_highlighter.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/error_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/classlib/list_format_manager.h"
#include "runtime/classlib/translator.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/ini/ini_manager.h"

inline constexpr std::string_view kWindowSettingsFile = ".\\VOQKIVORANT.INI";
inline constexpr std::string_view kApplicationName = "VOQKivorant";
inline constexpr std::string_view kListFormatsFile = "Formats.FDB";

// ---- Services ------------------------------------------------------------------------------

// The error manager, translator and settings manager the windows name; start-up names its own
// objects.
rt::ErrorManager& WindowErrorManager();
rt::Translator& WindowTranslator();
rt::IniManager& WindowIniManager();
void SetWindowServices(rt::ErrorManager* errors, rt::Translator* translator, rt::IniManager* ini = nullptr);
// The settings file of window state and list formats while start-up has named no settings
// manager (tests point it elsewhere).
std::string WindowSettingsFile();
void SetWindowSettingsFile(std::string file);
std::string ListFormatsFile();
void SetListFormatsFile(std::string file);

// ---- Rights --------------------------------------------------------------------------------

// The security module's two calls (CheckProcedureAccess, NoAccessMessage), named here by the
// program's start: SetRightsCheck({CheckProcedureAccess, NoAccessMessage}). Until then every
// action is refused.
struct RightsCheck {
    std::function<int(std::string_view action, std::string_view procedure)> checkProcedureAccess;
    std::function<void(std::string_view action)> noAccessMessage;
};
void SetRightsCheck(RightsCheck check);
// Through the named calls: 1 when the action is allowed.
int WindowRightsCheck(std::string_view action, std::string_view procedure);
void WindowNoAccessMessage(std::string_view action);

// The lists that test "Look" before they show and the action's right before their form.
bool IsRightsGatedList(std::string_view procedure);
// "Add", "Change", "Delete" for the requests insert, change, delete; empty for the others.
std::string RightForRequest(std::uint8_t request);

// ---- Form titles ---------------------------------------------------------------------------

struct FormTitles {
    std::string_view form;
    std::string_view view, insert, change;
    bool keepsTitle = false;
};
const std::vector<FormTitles>& FormTitleTable();
// The caption a form shows in a mode; nullopt: it keeps its window's title. Delete (and any
// mode other than view, insert, change) gives an empty title.
std::optional<std::string> FormTitle(std::string_view form, std::uint8_t mode);

// ---- Row colours ---------------------------------------------------------------------------

inline constexpr rt::Color kRowText = rt::rgb(64, 0, 64);
inline constexpr rt::Color kRowSelectedBack = rt::rgb(151, 180, 20);
inline constexpr rt::Color kRowAlternateBack = rt::rgb(206, 255, 206);
// Colours a row by its load count (from 1): odd counts the normal background, even light green.
// Before a script text is stored in a record that holds fewer characters: says so and asks
// whether to store it cut (true) or go back to the form (false). True when the text fits.
bool ConfirmScriptFits(std::string_view text, std::size_t limit);

void ColourRow(rt::ListRow& row, long long loadCount);
bool ColoursRows(std::string_view procedure);

// ---- Threads -------------------------------------------------------------------------------

struct ThreadPlan {
    bool ownThread = false;
    int stackBytes = 0;  // as designed; the runtime uses its default
};
ThreadPlan ThreadPlanOf(std::string_view procedure);
// Runs a procedure as its plan says: on a new program thread (its number), or on the calling
// thread (0, after it has returned).
int StartProcedure(std::string_view procedure, std::function<void()> body);

// ---- Window set-up -------------------------------------------------------------------------

// The common steps of every window: settings file, error manager, translator, and the focus
// highlighter with the common settings, which sees every event first and goes with the window.
class CommonWindow {
public:
    explicit CommonWindow(rt::WindowController& controller);
    ~CommonWindow();
    CommonWindow(const CommonWindow&) = delete;
    CommonWindow& operator=(const CommonWindow&) = delete;

    rt::WindowController& controller() const { return wc_; }
    FocusHighlighter& highlighter() { return *highlighter_; }

private:
    rt::WindowController& wc_;
    std::unique_ptr<FocusHighlighter> highlighter_;
};

// A form's caption from the title table.
void UseFormTitles(rt::FormController& form);

// The common parts of a list: the list-format manager of this thread and list (its events come
// right after the highlighter's), the rights gate for the gated lists, the row colours for the
// coloured ones.
class CommonList : public rt::WindowComponent {
public:
    CommonList(CommonWindow& window, rt::BrowseManager& list);
    ~CommonList() override;

    rt::ListFormatManager& formats() const { return *formats_; }
    // True when the list refused to show for want of "Look".
    bool lookRefused() const { return lookRefused_; }

    int init() override;
    void kill() override;

private:
    bool gate(std::uint8_t request);

    rt::WindowController& wc_;
    rt::BrowseManager& list_;
    rt::ListFormatManager* formats_ = nullptr;
    bool gated_ = false;
    bool lookRefused_ = false;
    bool started_ = false;
};
