#include "runtime/classlib/window_controller.h"

#include <algorithm>

#include "runtime/classlib/error_manager.h"
#include "runtime/classlib/translator.h"
#include "runtime/data/relation_manager.h"
#include "runtime/ini/ini_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/window.h"

namespace rt {

ErrorManager& defaultErrorManager() {
    static ErrorManager* errors = new ErrorManager;  // outlives detached threads at process end
    return *errors;
}

WindowController::WindowController(Window& window, std::string procedure)
    : window_(window), procedure_(std::move(procedure)) {}

WindowController::~WindowController() {
    if (initialised_ && !killed_) kill();
}

void WindowController::setIniManager(IniManager* ini) { ini_ = ini; }
void WindowController::setErrorManager(ErrorManager* errors) { errors_ = errors; }
ErrorManager& WindowController::errors() const { return errors_ ? *errors_ : defaultErrorManager(); }
void WindowController::setTranslator(Translator* translator) { translator_ = translator; }
void WindowController::setFirstField(int control) { firstField_ = control; }
void WindowController::addCloseButton(int control, std::uint8_t response) {
    closeButtons_[control] = response;
    // Esc presses the button that cancels.
    if (response == response::Cancelled && window_.has(control)) window_.control(control).edit().cancelButton = true;
}
void WindowController::addFile(RelationManager& file) { files_.push_back(&file); }

void WindowController::addComponent(WindowComponent& component) {
    if (std::find(components_.begin(), components_.end(), &component) == components_.end())
        components_.push_back(&component);
}

void WindowController::removeComponent(WindowComponent& component) { std::erase(components_, &component); }
void WindowController::addFilter(EventFilter filter) { filters_.push_back(std::move(filter)); }

void WindowController::setProcedure(int number, std::function<void()> procedure) {
    procedures_[number] = std::move(procedure);
}

bool WindowController::hasProcedure(int number) const { return procedures_.count(number) != 0; }

int WindowController::init() {
    // 1. The name for error messages, and the caller's request.
    ErrorManager::pushProcedure(procedure_);
    namePushed_ = true;
    initialised_ = true;
    request_ = ThreadRequest;
    // 3. The first field takes the focus; the request is taken over.
    if (firstField_) window_.select(firstField_);
    ThreadRequest = request::None;
    ThreadResponse = response::None;
    // 4. The files; a file that does not open is reported and the window does not run.
    for (RelationManager* rm : files_) {
        if (rm->open() != 0) {
            int code = errorCode();
            errors().throwFile(code, rm->label());
            for (RelationManager* opened : files_) {
                if (opened == rm) break;
                opened->close();
            }
            return code ? code : -1;
        }
    }
    filesOpened_ = !files_.empty();
    // 5. Lists and forms.
    for (WindowComponent* c : components_) {
        if (int rc = c->init(); rc != 0) return rc;
    }
    if (onInit) {
        if (int rc = onInit(); rc != 0) return rc;
    }
    // 6. The texts; the window opens with the first event.
    if (translator_) translator_->translateWindow(window_);
    // 7. The size and place the window had last time.
    resizer_.init(window_);
    restoreWindowState();
    resizer_.resize();
    return 0;
}

void WindowController::kill() {
    if (killed_) return;
    killed_ = true;
    if (onKill) onKill();
    for (auto it = components_.rbegin(); it != components_.rend(); ++it) (*it)->kill();
    if (filesOpened_) {
        for (auto it = files_.rbegin(); it != files_.rend(); ++it) (*it)->close();
        filesOpened_ = false;
    }
    bool opened = window_.wasOpened();  // close() marks a never shown window as done
    window_.close();
    if (opened) saveWindowState();
    if (namePushed_) {
        ErrorManager::popProcedure();
        namePushed_ = false;
    }
    ThreadResponse = response_;
}

std::uint8_t WindowController::run() {
    if (init() != 0) {
        killed_ = true;  // nothing of the window was shown
        if (filesOpened_) {
            for (auto it = files_.rbegin(); it != files_.rend(); ++it) (*it)->close();
            filesOpened_ = false;
        }
        for (auto it = components_.rbegin(); it != components_.rend(); ++it) (*it)->kill();
        window_.close();
        if (namePushed_) {
            ErrorManager::popProcedure();
            namePushed_ = false;
        }
        response_ = response::Cancelled;
        ThreadResponse = response_;
        return response_;
    }
    while (EventInfo e = window_.accept()) takeEvent(e);
    kill();
    return response_;
}

bool WindowController::takeEvent(const EventInfo& event) {
    // The controls take their places first, so that everything after sees them there.
    resizer_.takeEvent(event);
    for (auto& f : filters_)
        if (f(event)) return true;
    if (event.event == Event::OpenWindow) {
        if (onOpened) onOpened();
        if (closing_ || !window_.isOpen()) return true;
        for (WindowComponent* c : components_) c->opened();
    }
    if (onEvent && onEvent(event)) return true;
    if (toolbar_.takeEvent(event)) return true;
    for (WindowComponent* c : std::vector<WindowComponent*>(components_))
        if (c->takeEvent(event)) return true;
    if (event.event == Event::Accepted) return takeAccepted(event);
    if (!isFieldEvent(event.event)) return takeWindowEvent(event);
    return false;
}

bool WindowController::takeWindowEvent(const EventInfo&) { return false; }

bool WindowController::takeAccepted(const EventInfo& event) {
    auto it = closeButtons_.find(event.control);
    if (it == closeButtons_.end()) return false;
    close(it->second);
    return true;
}

void WindowController::close(std::uint8_t response) {
    response_ = response;
    closing_ = true;
    window_.post(Event::CloseWindow);
}

std::uint8_t WindowController::callProcedure(int number, std::uint8_t request) {
    auto it = procedures_.find(number);
    if (it == procedures_.end()) return response::None;
    auto proc = it->second;  // the callee may change the table
    ThreadRequest = request;
    ThreadResponse = response::None;
    proc();
    std::uint8_t r = ThreadResponse;
    ThreadRequest = request::None;
    ThreadResponse = response::None;
    return r;
}

namespace {
constexpr const char* kYes = "Yes";
constexpr const char* kNo = "No";
}  // namespace

void WindowController::restoreWindowState() {
    if (!ini_) return;
    auto x = ini_->tryFetch(procedure_, "XPos");
    if (!x) return;
    long long px = profileNumber(*x);
    long long py = ini_->fetchNumber(procedure_, "YPos", 0);
    long long w = ini_->fetchNumber(procedure_, "Width", 0);
    long long h = ini_->fetchNumber(procedure_, "Height", 0);
    const WindowProps& p = window_.props();
    int width = w > 0 ? static_cast<int>(w) : p.width;
    int height = h > 0 ? static_cast<int>(h) : p.height;
    if (p.resizable) {
        width = std::max(width, p.minWidth);
        height = std::max(height, p.minHeight);
    } else {
        width = p.width;
        height = p.height;
    }
    window_.setPosition(static_cast<int>(px), static_cast<int>(py), width, height);
    auto yes = [&](const char* key) { return equalsNoCase(trimBlanks(ini_->fetch(procedure_, key, kNo)), kYes); };
    if (yes("Maximize"))
        window_.setMaximized(true);
    else if (yes("Minimize"))
        window_.setMinimized(true);
}

void WindowController::saveWindowState() {
    if (!ini_) return;
    const WindowProps& p = window_.props();
    ini_->update(procedure_, "Maximize", p.maximized ? kYes : kNo);
    ini_->update(procedure_, "Minimize", p.minimized ? kYes : kNo);
    ini_->update(procedure_, "XPos", static_cast<long long>(p.x));
    ini_->update(procedure_, "YPos", static_cast<long long>(p.y));
    ini_->update(procedure_, "Width", static_cast<long long>(p.width));
    ini_->update(procedure_, "Height", static_cast<long long>(p.height));
}

}  // namespace rt
