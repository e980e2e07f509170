// The application frame Main: start-up on the client's database, login, menu, toolbar, status
// bar, idle time-out and the command line that opens one cube directly.
//
//   setCommandLine({"\\U=DEMO"});
//   setFrameHooks(hooks);          // login, splash, cube viewer, user name
//   registerFrameProcedure("BrowseWerte", [](const std::string&) { BrowseWerte(); });
//   setMainProcedure(Main);        // the main routine calls it on thread 1
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/record.h"
#include "runtime/text/strings.h"

// ---- Command line --------------------------------------------------------------------------

// The program's arguments (without the program itself).
void setCommandLine(std::vector<std::string> arguments);
// The value of a parameter written name "=" value ("\ID=12", also "/ID=12"; the name in any
// case). Empty when absent; an empty value counts as absent.
std::string CommandParameter(std::string_view name);

// ---- What the frame calls that lives elsewhere ---------------------------------------------

// Unset, the login, the lock time and the user name come from the security module.
struct FrameHooks {
    // LoginWindow: the user ID in and out; 1 logged in.
    std::function<rt::Byte(rt::String<30>& userId)> login;
    // GetUserLockTime of the logged-in user (hundredths of a second); 1 when above 0.
    std::function<rt::Byte(rt::Long& lockTime)> lockTime;
    // The logged-in user's full name for the status bar.
    std::function<std::string(std::string_view userId)> userName;
    // MySplash, run on a thread of its own.
    std::function<void()> splash;
    // AnzeigeCube with a cube identifier, on the frame's thread.
    std::function<void(long cubeId)> showCube;
};
void setFrameHooks(FrameHooks hooks);

// The procedures of the menu, by name; a menu item whose procedure is not registered is shown
// disabled. The argument is the item's parameter ("0" or "1" for SQLQueryResult_N).
using FrameProcedure = std::function<void(const std::string& parameter)>;
void registerFrameProcedure(std::string name, FrameProcedure procedure);
void clearFrameProcedures();

// The clock of the idle time-out: hundredths of a second, rising steadily (never back at
// midnight). Tests put their own in place; empty restores the real one.
void setFrameClock(std::function<long long()> clock);
long long frameClock();
// What counts as the user's activity: a number that rises with every input of the user in any
// window of the program (the real one: rt::lastUserInputTime). Tests put their own in place;
// empty restores the real one.
void setActivityProbe(std::function<std::uint64_t()> probe);

// ---- Start-up pieces -----------------------------------------------------------------------

inline constexpr const char* kMinimumErpVersion = "0.9.9661";
// True when the ERP version text sorts before the minimum (as text, trailing blanks ignored).
bool ErpVersionTooLow(std::string_view version);
// The check of start-up step 12 on the client's database: false when the version is too low
// (the message is the caller's). A database without "tversion" passes.
bool CheckErpVersion();

// The program's version text and the frame's caption.
std::string ProgramVersionText();

// ---- The idle time-out ---------------------------------------------------------------------

class IdleWatch {
public:
    enum class Step { None, CloseWindows, Login };
    // lockTime in hundredths of a second; 0: no idle handling.
    void start(long lockTime, long long now);
    // The user did something: counts only while no close-down is under way.
    void activity(long long now);
    // On a frame event: what to do now.
    Step check(long long now);
    // After the login asked for again.
    void loggedIn(long long now) { last_ = now; }
    int counter() const { return counter_; }
    long long lastActivity() const { return last_; }
    long lockTime() const { return lock_; }

private:
    long lock_ = 0;
    long long last_ = 0;
    int counter_ = 0;
};

// ---- The frame -----------------------------------------------------------------------------

inline constexpr const char* kStartupTitle = "Datenbank initialisieren";
inline constexpr const char* kVersionTitle = "Version";
inline constexpr const char* kVersionText =
    "JTL-WAWI-Version ist zu niedrig||Das VOQAddOn benötigt mindestens die Version 0.9.9661.|Das Programm wird "
    "beendet.";

void Main();

// Frame equates (the toolbar buttons are rt::toolbar's).
namespace frame {
enum {
    MenuFile = 1,
    ItemPrintSetup,
    ItemSepFile,
    ItemExit,
    MenuListen,
    ItemCockpit,
    ItemSep1,
    ItemCubeAnzeige,
    ItemCubeTree,
    ItemSep2,
    ItemCubeKopf,
    ItemCubeGruppe,
    ItemWerte,
    ItemSep3,
    ItemSkriptAuto,
    ItemSqlScript,
    ItemUpdateLog,
    ItemSep4,
    ItemSqlResult,
    ItemCrossTab,
    ItemQbe,
    ItemSep5,
    ItemProvKey,
    MenuSetup,
    ItemMandanten,
    ItemOdbcAdmin,
    MenuBenutzer,
    ItemBenutzer,
    MenuWindow,
    ItemTile,
    ItemCascade,
    ItemArrange,
    MenuHelp,
    ItemContents,
    ItemSearch,
    ItemHowTo,
    ToolClient = 100,
    ToolConnectGlobal,
    // start-up window
    StartLine1 = 200,
    StartLine2,
};
}  // namespace frame

// The menu items that start a procedure: item, procedure name, parameter, own thread.
struct FrameMenuTarget {
    int item;
    const char* procedure;
    const char* parameter;
    bool ownThread;
};
const std::vector<FrameMenuTarget>& frameMenuTargets();
