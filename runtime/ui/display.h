#pragma once
// The display: the one place where windows become visible and the user answers. The Qt front
// end and the headless test display implement it. The process main thread runs the display;
// program threads call it.
//
// Threading contract for implementations:
// - Every method may be called from any program thread, several at once.
// - openWindow/updateWindow/closeWindow/beep/setPointer/setClipboard/arrangeWindows only
//   hand over work and return; they must not call back into rt::Window.
// - messageBox, the dialogs and popupMenu block the calling program thread until the user has
//   answered; meanwhile no window of that thread takes input. Once the prompt is shown and waits
//   for the user, they call rt::promptShown(request.thread).
// - User input goes back through rt::sendInput(windowId, input), from any thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/ui/event.h"
#include "runtime/ui/model.h"

namespace rt {

// Standard message box buttons; a message box result is one of these for standard buttons,
// or the 1-based position for a button list such as "&Weiter|&Stop|&Ende".
namespace button {
inline constexpr int Ok = 1;
inline constexpr int Yes = 2;
inline constexpr int No = 4;
inline constexpr int Abort = 8;
inline constexpr int Retry = 16;
inline constexpr int Ignore = 32;
inline constexpr int Cancel = 64;
inline constexpr int Help = 128;
}  // namespace button

enum class MessageIcon { None, Information, Exclamation, Question, Hand };

struct MessageBoxRequest {
    std::string title;  // empty: no caption
    std::string text;   // lines separated by '\n'
    MessageIcon icon = MessageIcon::None;
    std::string iconFile;                  // instead of icon, when set
    int standardButtons = button::Ok;      // used when buttonTexts is empty
    std::vector<std::string> buttonTexts;  // custom buttons, with "&" mnemonics
    int defaultButton = 0;                 // a button flag, or a 1-based position for buttonTexts
    int thread = 0;                        // asking program thread
    WindowId owner = 0;                    // the asking thread's top window, 0 none
};

struct FileFilter {
    std::string name;      // "Excel"
    std::string patterns;  // "*.XLS" (several separated by ';')
    bool operator==(const FileFilter&) const = default;
};

// OpenOrNew: an existing file or a new name, with no question about replacing a file (a file
// that the program opens, or makes when it is not there yet).
enum class FileDialogKind { Open, Save, Folder, OpenOrNew };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    std::string title;
    std::string file;    // proposed file name or start path
    std::string folder;  // start folder; empty: the working folder
    std::vector<FileFilter> filters;
    int filterIndex = 1;  // 1-based
    int thread = 0;
    WindowId owner = 0;
};

struct FileDialogResult {
    bool ok = false;      // false: cancelled
    std::string path;     // chosen file or folder
    int filterIndex = 1;  // filter in use when the user answered
};

struct ColorDialogRequest {
    std::string title;
    Color color = ColorNone;
    int thread = 0;
    WindowId owner = 0;
};

struct ColorDialogResult {
    bool ok = false;
    Color color = ColorNone;
};

struct PrinterDialogRequest {
    std::string title;
    std::string printer;     // current printer name, empty: default
    bool setupOnly = false;  // printer set-up rather than print dialog
    int thread = 0;
    WindowId owner = 0;
};

struct PrinterDialogResult {
    bool ok = false;
    std::string printer;
    int copies = 1;
    bool landscape = false;
};

struct PopupItem {
    std::string text;  // with "&" mnemonic
    bool separator = false;
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
    bool operator==(const PopupItem&) const = default;
};

struct PopupMenuRequest {
    std::vector<PopupItem> items;
    int x = -1, y = -1;  // dialog units in the owner window; -1: at the mouse
    int thread = 0;
    WindowId owner = 0;
};

enum class Beep { Default, Asterisk, Exclamation, Hand, Question, Ok };
enum class Pointer { Arrow, Busy, Cross, IBeam, Hand, SizeAll, Zoom };
enum class Arrangement { Tile, Cascade, ArrangeIcons };

// Pixels per dialog unit: a dialog unit is a quarter of the average character width and an
// eighth of the character height of the window's font.
struct DialogUnits {
    double pixelsX = 1.5;
    double pixelsY = 1.625;
};

class Display {
public:
    virtual ~Display() = default;

    virtual void openWindow(const WindowSnapshot& window) = 0;
    virtual void updateWindow(const WindowUpdate& update) = 0;
    virtual void closeWindow(WindowId id) = 0;

    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual FileDialogResult fileDialog(const FileDialogRequest& request) = 0;
    virtual ColorDialogResult colorDialog(const ColorDialogRequest& request) = 0;
    virtual PrinterDialogResult printerDialog(const PrinterDialogRequest& request) = 0;
    // 0 when nothing was chosen, else the 1-based position among the non-separator items.
    virtual int popupMenu(const PopupMenuRequest& request) = 0;

    virtual void setClipboard(const std::string& text) = 0;
    virtual std::string clipboard() = 0;
    virtual void beep(Beep kind) = 0;
    virtual void setPointer(Pointer pointer) = 0;
    // The platform's arrangement of the frame's child windows.
    virtual void arrangeWindows(WindowId frame, Arrangement how) = 0;

    // Runs f on the display thread, later; returns at once.
    virtual void runOnDisplayThread(std::function<void()> f) = 0;

    virtual DialogUnits dialogUnits() const { return {}; }
    // The window system's id of the frame's window (X11), for other programs' windows that
    // stand over it; 0 when there is none.
    virtual std::uint64_t frameNativeId() const { return 0; }
};

// The process's display. Set once by main() (or a test) before any program thread opens a
// window; the display must outlive every program thread.
void setDisplay(Display* display);
// Without one, a stand-in shows nothing and answers every question with its default.
Display& display();
bool hasDisplay();

// For displays: the prompt a program thread asked for (message box, dialog, popup menu) is on the
// screen and waits for the user. Until a display reports it, the asking thread counts as busy,
// not as waiting for the user; a prompt answered at once needs no report.
void promptShown(int thread);

// Input for a window, from the display (any thread). False when the window is not open or takes
// no input now (a window of its thread above it, or its thread waits in a modal call); the
// input is then dropped.
bool sendInput(WindowId id, const UserInput& input);

// When the user last did something in a window of the program, on the steady clock: the newest
// input the display reported through sendInput, taken by its window or not (a click on a window
// that is blocked is the user's doing too). Events the program posts do not count, nor do focus
// changes (GainFocus, LoseFocus, Selected): the display reports those also when the program
// opens or closes a window. Before the first input: the clock's epoch (a zero time_point).
std::chrono::steady_clock::time_point lastUserInputTime();

}  // namespace rt
