#pragma once
// The class library's window controller: the steps every window procedure goes through.
//
//   void BrowseSomething() {
//     rt::Window window("BrowseSomething", "Something");
//     ... controls ...
//     rt::WindowController wc(window, "BrowseSomething");
//     wc.setIniManager(&settings);             // window state: a section per procedure
//     wc.addCloseButton(CLOSE, rt::response::Completed);
//     wc.addFile(*rt::relationManager("Something"));
//     rt::BrowseManager list(wc, LIST, view);   // a component: set up, events, close
//     wc.run();                                 // the response is in ThreadResponse afterwards
//   }
//
// init: pushes the procedure name, takes over ThreadRequest and clears it and ThreadResponse,
// opens the files, sets up the components, goes over the texts with the translator, sets up
// the resizer and restores the window state. The loop: filters see every event first (a filter
// that takes one ends its handling), then the procedure's own handler, then the toolbar, the
// components, the close buttons. kill: the components, the files, the window, the window state
// (only when the window was opened), the name; the response goes into ThreadResponse.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/classlib/request.h"
#include "runtime/classlib/toolbar.h"
#include "runtime/classlib/window_resizer.h"
#include "runtime/ui/event.h"

namespace rt {

class Window;
class ErrorManager;
class IniManager;
class Translator;
class RelationManager;
class WindowController;

// A part of a window that the controller sets up, feeds with events and closes: a list, the
// form's field handling, a highlighter.
class WindowComponent {
public:
    virtual ~WindowComponent() = default;
    virtual int init() { return 0; }                            // before the window opens; non-zero fails the set-up
    virtual void opened() {}                                    // the window has opened, before its first event
    virtual bool takeEvent(const EventInfo&) { return false; }  // true: taken
    virtual void kill() {}
};

using EventFilter = std::function<bool(const EventInfo&)>;

class WindowController {
public:
    WindowController(Window& window, std::string procedure);
    virtual ~WindowController();
    WindowController(const WindowController&) = delete;
    WindowController& operator=(const WindowController&) = delete;

    Window& window() const { return window_; }
    const std::string& procedure() const { return procedure_; }

    // ---- Set-up (before run) ----
    // Window state goes through the settings manager, so its list of written sections holds
    // the window's section; none keeps no state.
    void setIniManager(IniManager* ini);
    IniManager* iniManager() const { return ini_; }
    void setErrorManager(ErrorManager* errors);
    ErrorManager& errors() const;  // the named one, else a process-wide default
    void setTranslator(Translator* translator);
    void setFirstField(int control);
    void addCloseButton(int control, std::uint8_t response);
    void addFile(RelationManager& file);  // opened at set-up, closed at the end
    void addComponent(WindowComponent& component);
    void removeComponent(WindowComponent& component);
    void addFilter(EventFilter filter);  // in the order added
    // Child procedures a list or a button calls (its form, its report), by number.
    void setProcedure(int number, std::function<void()> procedure);
    bool hasProcedure(int number) const;

    // The procedure's own parts.
    std::function<int()> onInit;                    // after the components' set-up; non-zero fails
    std::function<void()> onOpened;                 // the window opened, before the components hear it
    std::function<bool(const EventInfo&)> onEvent;  // true: taken
    std::function<void()> onKill;                   // first thing of the closing steps

    Toolbar& toolbar() { return toolbar_; }
    WindowResizer& resizer() { return resizer_; }

    // ---- State ----
    std::uint8_t request() const { return request_; }
    std::uint8_t response() const { return response_; }
    void setResponse(std::uint8_t response) { response_ = response; }
    bool filesOpened() const { return filesOpened_; }
    bool initialised() const { return initialised_; }
    bool closing() const { return closing_; }  // close() was asked for

    // ---- Steps ----
    virtual int init();  // 0 when the window can run
    virtual void kill();
    // init, the event loop, kill. Returns the response (also left in ThreadResponse).
    std::uint8_t run();
    // One event through filters, handler, toolbar, components and close buttons; true when taken.
    virtual bool takeEvent(const EventInfo& event);
    // Calls a child procedure with a request on this thread; its response (0 when unknown).
    virtual std::uint8_t callProcedure(int number, std::uint8_t request);
    // Asks the window to close with a response.
    void close(std::uint8_t response);

    // Window state in the settings file, section = procedure name.
    void restoreWindowState();
    void saveWindowState();

protected:
    virtual bool takeWindowEvent(const EventInfo& event);
    virtual bool takeAccepted(const EventInfo& event);

private:
    Window& window_;
    std::string procedure_;
    IniManager* ini_ = nullptr;
    ErrorManager* errors_ = nullptr;
    Translator* translator_ = nullptr;
    int firstField_ = 0;
    std::map<int, std::uint8_t> closeButtons_;
    std::vector<RelationManager*> files_;
    std::vector<WindowComponent*> components_;
    std::vector<EventFilter> filters_;
    std::map<int, std::function<void()>> procedures_;
    Toolbar toolbar_;
    WindowResizer resizer_;
    std::uint8_t request_ = request::None;
    std::uint8_t response_ = response::Cancelled;
    bool namePushed_ = false;
    bool filesOpened_ = false;
    bool initialised_ = false;
    bool killed_ = false;
    bool closing_ = false;
};

// The error manager controllers use when none is named.
ErrorManager& defaultErrorManager();

}  // namespace rt
