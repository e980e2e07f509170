#include "runtime/ui/headless_display.h"

#include <algorithm>
#include <cstdio>

#include "runtime/thread/thread.h"
#include "runtime/ui/ui_registry.h"
#include "runtime/ui/window.h"

namespace rt {

namespace {
HeadlessDisplay::Prompt promptOf(HeadlessDisplay::PromptKind kind) {
    HeadlessDisplay::Prompt p;
    p.kind = kind;
    return p;
}

int askingThread(const HeadlessDisplay::Prompt& p) {
    switch (p.kind) {
    case HeadlessDisplay::PromptKind::MessageBox: return p.messageBox.thread;
    case HeadlessDisplay::PromptKind::FileDialog: return p.fileDialog.thread;
    case HeadlessDisplay::PromptKind::ColorDialog: return p.colorDialog.thread;
    case HeadlessDisplay::PromptKind::PrinterDialog: return p.printerDialog.thread;
    case HeadlessDisplay::PromptKind::PopupMenu: return p.popupMenu.thread;
    }
    return 0;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// HeadlessDisplay

HeadlessDisplay::HeadlessDisplay(bool install) : installed_(install) {
    worker_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        for (;;) {
            workChanged_.wait(lock, [&] { return stopWorker_ || !work_.empty(); });
            if (work_.empty()) return;
            auto f = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            f();
            lock.lock();
        }
    });
    if (install) setDisplay(this);
}

HeadlessDisplay::~HeadlessDisplay() {
    shutdown();
    {
        std::lock_guard lock(mutex_);
        stopWorker_ = true;
        workChanged_.notify_all();
    }
    worker_.join();
    if (installed_) setDisplay(nullptr);
}

void HeadlessDisplay::notifyAll() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

void HeadlessDisplay::openWindow(const WindowSnapshot& window) {
    std::lock_guard lock(mutex_);
    Shown s;
    s.window = window.window;
    s.controls = window.controls;
    windows_[window.window.id] = std::move(s);
    std::erase(openOrder_, window.window.id);
    openOrder_.push_back(window.window.id);
    changed_.notify_all();
}

void HeadlessDisplay::updateWindow(const WindowUpdate& update) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(update.id);
    if (it == windows_.end()) return;
    Shown& s = it->second;
    if (update.windowChanged) s.window = update.window;
    for (int id : update.removed) std::erase_if(s.controls, [&](const ControlState& c) { return c.id == id; });
    for (const auto& c : update.changed) {
        auto at =
            std::find_if(s.controls.begin(), s.controls.end(), [&](const ControlState& x) { return x.id == c.id; });
        if (at != s.controls.end())
            *at = c;
        else
            s.controls.push_back(c);
    }
    ++s.updates;
    changed_.notify_all();
}

std::optional<ControlState> HeadlessDisplay::showInput(WindowId window, const UserInput& in) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end() || in.control == 0) return std::nullopt;
    auto& controls = it->second.controls;
    auto c = std::find_if(controls.begin(), controls.end(), [&](const ControlState& x) { return x.id == in.control; });
    if (c == controls.end()) return std::nullopt;
    const ControlState was = *c;
    applyUserInput(*c, in);
    return was;
}

void HeadlessDisplay::restoreControl(WindowId window, const ControlState& was) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    for (auto& c : it->second.controls)
        if (c.id == was.id) c = was;
}

void HeadlessDisplay::closeWindow(WindowId id) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(id);
    if (it != windows_.end()) {
        it->second.open = false;
        // A closed window's hosted controls are nothing the screen shows any more.
        for (auto& c : it->second.controls) c.object.reset();
    }
    std::erase(openOrder_, id);
    changed_.notify_all();
}

int HeadlessDisplay::ask(Prompt& prompt) {
    std::unique_lock lock(mutex_);
    auto p = std::make_shared<Prompt>(prompt);
    history_.push_back(p);
    auto queued = std::find_if(queued_.begin(), queued_.end(), [&](const Prompt& q) { return q.kind == p->kind; });
    auto resolveText = [&](Prompt& a) {
        if (a.kind == PromptKind::MessageBox && !a.buttonText.empty()) {
            const auto& texts = p->messageBox.buttonTexts;
            auto at = std::find(texts.begin(), texts.end(), a.buttonText);
            a.result = at == texts.end() ? 0 : static_cast<int>(at - texts.begin()) + 1;
        }
    };
    if (queued != queued_.end()) {
        Prompt a = *queued;
        queued_.erase(queued);
        resolveText(a);
        p->answered = true;
        p->result = a.result;
        p->fileResult = a.fileResult;
        p->colorResult = a.colorResult;
        p->printerResult = a.printerResult;
    } else if (!shuttingDown_) {
        pending_.push_back(p);
        // Still under the lock: no answer can come between showing and reporting it shown.
        promptShown(askingThread(*p));
        changed_.notify_all();
        changed_.wait(lock, [&] { return p->answered || shuttingDown_; });
        std::erase(pending_, p);
    }
    if (!p->answered) {  // shutting down: the default answer, dialogs cancelled
        p->answered = true;
        p->result = p->kind == PromptKind::MessageBox ? p->messageBox.defaultButton : 0;
    }
    changed_.notify_all();
    prompt = *p;
    return p->result;
}

int HeadlessDisplay::messageBox(const MessageBoxRequest& request) {
    auto p = promptOf(PromptKind::MessageBox);
    p.messageBox = request;
    return ask(p);
}

FileDialogResult HeadlessDisplay::fileDialog(const FileDialogRequest& request) {
    auto p = promptOf(PromptKind::FileDialog);
    p.fileDialog = request;
    ask(p);
    return p.fileResult;
}

ColorDialogResult HeadlessDisplay::colorDialog(const ColorDialogRequest& request) {
    auto p = promptOf(PromptKind::ColorDialog);
    p.colorDialog = request;
    ask(p);
    return p.colorResult;
}

PrinterDialogResult HeadlessDisplay::printerDialog(const PrinterDialogRequest& request) {
    auto p = promptOf(PromptKind::PrinterDialog);
    p.printerDialog = request;
    ask(p);
    return p.printerResult;
}

int HeadlessDisplay::popupMenu(const PopupMenuRequest& request) {
    auto p = promptOf(PromptKind::PopupMenu);
    p.popupMenu = request;
    return ask(p);
}

void HeadlessDisplay::setClipboard(const std::string& text) {
    std::lock_guard lock(mutex_);
    clipboard_ = text;
}

std::string HeadlessDisplay::clipboard() {
    std::lock_guard lock(mutex_);
    return clipboard_;
}

void HeadlessDisplay::beep(Beep kind) {
    std::lock_guard lock(mutex_);
    beeps_.push_back(kind);
}

void HeadlessDisplay::setPointer(Pointer pointer) {
    std::lock_guard lock(mutex_);
    pointer_ = pointer;
}

void HeadlessDisplay::arrangeWindows(WindowId frame, Arrangement how) {
    std::lock_guard lock(mutex_);
    arrangements_.emplace_back(frame, how);
}

void HeadlessDisplay::runOnDisplayThread(std::function<void()> f) {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(f));
    workChanged_.notify_all();
}

void HeadlessDisplay::shutdown(std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(mutex_);
        for (const auto& p : pending_) {
            if (p->answered) continue;
            if (p->kind == PromptKind::MessageBox)
                std::fprintf(stderr, "headless display: message box \"%s\" \"%s\" was never answered\n",
                             p->messageBox.title.c_str(), p->messageBox.text.c_str());
            else
                std::fprintf(stderr, "headless display: a dialog or popup menu was never answered\n");
        }
        shuttingDown_ = true;
        changed_.notify_all();
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    // Windows below a modal one see their CloseDown only when it has gone: post again and again.
    while (runningThreadCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        for (const auto& w : openWindows()) post(Event::CloseDown, 0, w.id);
        waitAllThreads(std::chrono::milliseconds(50));
    }
    std::lock_guard lock(mutex_);
    shuttingDown_ = false;
}

std::optional<HeadlessDisplay::Shown> HeadlessDisplay::shown(WindowId id) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(id);
    if (it == windows_.end()) return std::nullopt;
    return it->second;
}

std::vector<HeadlessDisplay::Shown> HeadlessDisplay::shownWindows() const {
    std::lock_guard lock(mutex_);
    std::vector<Shown> out;
    for (WindowId id : openOrder_) out.push_back(windows_.at(id));
    return out;
}

WindowId HeadlessDisplay::waitForWindow(const std::function<bool(const Shown&)>& match,
                                        std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    WindowId found = 0;
    changed_.wait_for(lock, timeout, [&] {
        for (auto it = openOrder_.rbegin(); it != openOrder_.rend(); ++it) {
            if (match(windows_.at(*it))) {
                found = *it;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool HeadlessDisplay::waitForClosed(WindowId id, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        auto it = windows_.find(id);
        return it == windows_.end() || !it->second.open;
    });
}

std::vector<Beep> HeadlessDisplay::beeps() const {
    std::lock_guard lock(mutex_);
    return beeps_;
}

Pointer HeadlessDisplay::pointer() const {
    std::lock_guard lock(mutex_);
    return pointer_;
}

std::vector<std::pair<WindowId, Arrangement>> HeadlessDisplay::arrangements() const {
    std::lock_guard lock(mutex_);
    return arrangements_;
}

void HeadlessDisplay::queueAnswer(Prompt answer) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(answer));
}

std::optional<HeadlessDisplay::Prompt> HeadlessDisplay::waitPrompt(PromptKind kind, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    std::shared_ptr<Prompt> found;
    changed_.wait_for(lock, timeout, [&] {
        for (auto& p : pending_)
            if (p->kind == kind && !p->answered) {
                found = p;
                return true;
            }
        return false;
    });
    if (!found) return std::nullopt;
    return *found;
}

bool HeadlessDisplay::answer(const Prompt& a) {
    std::lock_guard lock(mutex_);
    for (auto& p : pending_) {
        if (p->kind != a.kind || p->answered) continue;
        p->result = a.result;
        if (a.kind == PromptKind::MessageBox && !a.buttonText.empty()) {
            const auto& texts = p->messageBox.buttonTexts;
            auto at = std::find(texts.begin(), texts.end(), a.buttonText);
            if (at == texts.end()) return false;
            p->result = static_cast<int>(at - texts.begin()) + 1;
        }
        p->fileResult = a.fileResult;
        p->colorResult = a.colorResult;
        p->printerResult = a.printerResult;
        p->answered = true;
        changed_.notify_all();
        return true;
    }
    return false;
}

std::vector<HeadlessDisplay::Prompt> HeadlessDisplay::history() const {
    std::lock_guard lock(mutex_);
    std::vector<Prompt> out;
    for (auto& p : history_) out.push_back(*p);
    return out;
}

void HeadlessDisplay::clearHistory() {
    std::lock_guard lock(mutex_);
    history_.clear();
}

// ---------------------------------------------------------------------------------------------
// TestDriver

TestDriver::TestDriver(HeadlessDisplay& display, std::chrono::milliseconds timeout)
    : display_(display), timeout_(timeout) {}

WindowId TestDriver::waitWindow(const std::string& name) {
    WindowId found = display_.waitForWindow(
        [&](const HeadlessDisplay::Shown& s) { return s.window.title == name || s.window.procedure == name; },
        timeout_);
    if (found == 0) throw TestDriverError("no window \"" + name + "\" opened in time");
    int thread = window(found).thread;
    if (thread != 0 && !waitThreadIdle(thread, 0, timeout_))
        throw TestDriverError("window \"" + name + "\" did not wait for input in time");
    return found;
}

void TestDriver::waitClosed(WindowId window) {
    if (!display_.waitForClosed(window, timeout_)) throw TestDriverError("window did not close in time");
}

bool TestDriver::isOpen(WindowId window) const {
    auto s = display_.shown(window);
    return s && s->open;
}

const HeadlessDisplay::Shown& TestDriver::mustBeShown(const std::optional<HeadlessDisplay::Shown>& shown,
                                                      WindowId window) const {
    if (!shown) throw TestDriverError("window " + std::to_string(window) + " was never shown");
    return *shown;
}

WindowProps TestDriver::window(WindowId window) const {
    auto s = display_.shown(window);
    return mustBeShown(s, window).window;
}

WindowId TestDriver::waitTopWindow(int thread) {
    auto deadline = std::chrono::steady_clock::now() + timeout_;
    for (;;) {
        WindowId top = topWindow(thread);
        if (top != 0 && display_.shown(top)) {
            if (!waitThreadIdle(thread, 0, timeout_)) throw TestDriverError("thread did not wait for input in time");
            if (topWindow(thread) == top) return top;
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw TestDriverError("thread " + std::to_string(thread) + " opened no window in time");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

ControlState TestDriver::control(WindowId window, int id) const {
    auto s = display_.shown(window);
    const auto& shown = mustBeShown(s, window);
    for (const auto& c : shown.controls)
        if (c.id == id) return c;
    throw TestDriverError("window shows no control " + std::to_string(id));
}

std::string TestDriver::text(WindowId window, int id) const { return control(window, id).text; }
std::string TestDriver::value(WindowId window, int id) const { return control(window, id).value; }
bool TestDriver::enabled(WindowId window, int id) const { return control(window, id).enabled; }
bool TestDriver::hidden(WindowId window, int id) const { return control(window, id).hidden; }
int TestDriver::selected(WindowId window, int id) const { return control(window, id).selected; }

std::vector<ListRow> TestDriver::rows(WindowId window, int id) const {
    auto c = control(window, id);
    if (c.virtualRows) return c.virtualRows->rows(0, c.virtualRows->rowCount());
    return c.list ? c.list->rows : std::vector<ListRow>{};
}

std::size_t TestDriver::rowCount(WindowId window, int id) const {
    auto c = control(window, id);
    if (c.virtualRows) return c.virtualRows->rowCount();
    return c.list ? c.list->rows.size() : 0;
}

std::vector<ListRow> TestDriver::rows(WindowId window, int id, std::size_t first, std::size_t count) const {
    if (first < 1) throw TestDriverError("rows are counted from 1");
    auto c = control(window, id);
    if (c.virtualRows) return c.virtualRows->rows(first - 1, count);
    std::vector<ListRow> out;
    if (!c.list) return out;
    for (std::size_t i = first - 1; i < c.list->rows.size() && out.size() < count; ++i) out.push_back(c.list->rows[i]);
    return out;
}

std::string TestDriver::cell(WindowId window, int id, int row, int column) const {
    auto r = row < 1 ? std::vector<ListRow>{} : rows(window, id, static_cast<std::size_t>(row), 1);
    if (r.empty()) throw TestDriverError("list has no row " + std::to_string(row));
    const auto& cells = r.front().cells;
    if (column < 1 || static_cast<std::size_t>(column) > cells.size()) return {};
    return cells[column - 1].text;
}

std::string TestDriver::statusText(WindowId window, int zone) const {
    auto w = this->window(window);
    if (zone < 1 || static_cast<std::size_t>(zone) > w.status.size()) return {};
    return w.status[zone - 1].text;
}

bool TestDriver::send(WindowId window, const UserInput& input) {
    auto s = display_.shown(window);
    int thread = s ? s->window.thread : 0;
    const auto was = display_.showInput(window, input);
    std::uint64_t serial = sendInputSerial(window, input);
    if (serial == 0) {
        if (was) display_.restoreControl(window, *was);
        return false;
    }
    // The thread may wake and wait again for other reasons (its timer, posted events) before it
    // takes this input: wait for this input itself.
    if (thread != 0 && !waitInputHandled(window, thread, serial, timeout_))
        throw TestDriverError("the window's thread did not come back for input in time");
    return true;
}

void TestDriver::act(WindowId window, const UserInput& input) {
    if (send(window, input)) return;
    std::string why = inputRefusal(window);
    throw TestDriverError("the window takes no input now" + (why.empty() ? std::string() : ": " + why));
}

void TestDriver::settle(int thread) {
    if (thread != 0 && !waitThreadIdle(thread, 0, timeout_))
        throw TestDriverError("thread " + std::to_string(thread) + " did not wait for input in time");
}

namespace {
UserInput input(Event e, int control) {
    UserInput in;
    in.event = e;
    in.control = control;
    return in;
}

// A control is operable when it and everything it stands in (menu, tab, group) is enabled and
// visible.
void mustBeOperable(const TestDriver& d, WindowId window, int id) {
    for (int c = id; c != 0;) {
        auto s = d.control(window, c);
        if (!s.enabled || s.hidden)
            throw TestDriverError("control " + std::to_string(id) + " is disabled or hidden" +
                                  (c == id ? std::string() : " (by " + std::to_string(c) + ")"));
        c = s.parent;
    }
}
}  // namespace

void TestDriver::press(WindowId window, int id) {
    mustBeOperable(*this, window, id);
    act(window, input(Event::Accepted, id));
}

void TestDriver::click(WindowId window, int id, int keyCode) {
    mustBeOperable(*this, window, id);
    auto in = input(Event::Accepted, id);
    in.keyCode = keyCode;
    act(window, in);
}

void TestDriver::scroll(WindowId window, int id, int x, int y) {
    mustBeOperable(*this, window, id);
    if (!scrolledByUser(control(window, id)))
        throw TestDriverError("control " + std::to_string(id) + " is no scrolling area");
    auto in = input(Event::NewSelection, id);
    in.x = x;
    in.y = y;
    act(window, in);
}

void TestDriver::setValue(WindowId window, int id, const std::string& value) {
    mustBeOperable(*this, window, id);
    if (control(window, id).readOnly) throw TestDriverError("control " + std::to_string(id) + " is read-only");
    auto in = input(Event::Accepted, id);
    in.value = value;
    act(window, in);
}

void TestDriver::select(WindowId window, int id, int anchor, int cursor) {
    mustBeOperable(*this, window, id);
    if (!takesText(control(window, id).kind)) throw TestDriverError("control " + std::to_string(id) + " takes no text");
    auto in = input(Event::None, id);
    in.textSelection = TextSelection{anchor, cursor};
    act(window, in);
}

bool TestDriver::heldBack(WindowId window, int id, Event event) const {
    auto s = display_.shown(window);
    const auto& shown = mustBeShown(s, window);
    if (shown.window.immediate) return false;
    auto c = control(window, id);
    if (c.immediate) return false;
    switch (c.kind) {
    case ControlKind::Entry:
    case ControlKind::Text: return event == Event::NewSelection;
    case ControlKind::Region:
        return event == Event::MouseIn || event == Event::MouseOut || event == Event::MouseDown ||
               event == Event::MouseUp;
    default: return false;
    }
}

void TestDriver::type(WindowId window, int id, const std::string& value) {
    if (heldBack(window, id, Event::NewSelection)) return;
    auto in = input(Event::NewSelection, id);
    in.value = value;
    act(window, in);
}

void TestDriver::check(WindowId window, int id, bool on) {
    mustBeOperable(*this, window, id);
    auto in = input(Event::Accepted, id);
    in.value = on ? "1" : "0";
    act(window, in);
}

void TestDriver::choose(WindowId window, int radioId) {
    auto radio = control(window, radioId);
    if (radio.kind != ControlKind::Radio) throw TestDriverError("control is no radio button");
    mustBeOperable(*this, window, radioId);
    auto in = input(Event::Accepted, radio.parent);
    in.value = radio.radioValue.empty() ? radio.text : radio.radioValue;
    act(window, in);
}

void TestDriver::selectRow(WindowId window, int id, int row) {
    auto in = input(Event::NewSelection, id);
    in.row = row;
    act(window, in);
}

void TestDriver::activateRow(WindowId window, int id, int row) {
    auto in = input(Event::Accepted, id);
    in.row = row;
    in.keyCode = keys::MouseLeft2;
    act(window, in);
}

void TestDriver::chooseEntry(WindowId window, int id, int row) {
    mustBeOperable(*this, window, id);
    auto c = control(window, id);
    std::size_t n = c.list ? c.list->rows.size() : 0;
    if (row < 1 || static_cast<std::size_t>(row) > n)
        throw TestDriverError("drop list has no entry " + std::to_string(row));
    auto in = input(Event::Accepted, id);
    in.row = row;
    act(window, in);
}

void TestDriver::selectTab(WindowId window, int sheetId, int tab) {
    // As the user turns a page: first the page being left (the first one when none was chosen).
    if (const int left = std::max(1, control(window, sheetId).selected); left != tab) {
        auto leaving = input(Event::TabChanging, sheetId);
        leaving.row = left;
        act(window, leaving);
    }
    auto in = input(Event::NewSelection, sheetId);
    in.row = tab;
    act(window, in);
}

void TestDriver::headerClick(WindowId window, int id, int column) {
    auto in = input(Event::HeaderPressed, id);
    in.column = column;
    in.keyCode = keys::MouseLeft;
    act(window, in);
}

void TestDriver::expand(WindowId window, int id, int row) {
    auto in = input(Event::Expanded, id);
    in.row = row;
    act(window, in);
}

void TestDriver::contract(WindowId window, int id, int row) {
    auto in = input(Event::Contracted, id);
    in.row = row;
    act(window, in);
}

void TestDriver::key(WindowId window, int id, int keyCode, int row, int column) {
    auto in = input(Event::AlertKey, id);
    in.keyCode = keyCode;
    in.row = row;
    in.column = column;
    act(window, in);
}

void TestDriver::escape(WindowId window) {
    auto s = display_.shown(window);
    const auto& shown = mustBeShown(s, window);
    const auto& alerts = shown.window.alertKeys;
    if (std::find(alerts.begin(), alerts.end(), keys::Esc) != alerts.end()) {
        key(window, shown.window.focus, keys::Esc);
        return;
    }
    if (shown.window.frame) return;
    act(window, escapeInput(shown.controls, [&](const ControlState& c) {
            for (int p = c.parent; p != 0;) {
                auto parent = control(window, p);
                if (!parent.enabled || parent.hidden) return false;
                p = parent.parent;
            }
            return true;
        }));
}

void TestDriver::mouseIn(WindowId window, int id) {
    if (!heldBack(window, id, Event::MouseIn)) act(window, input(Event::MouseIn, id));
}

void TestDriver::mouseOut(WindowId window, int id) {
    if (!heldBack(window, id, Event::MouseOut)) act(window, input(Event::MouseOut, id));
}

void TestDriver::mouseDown(WindowId window, int id, int keyCode) {
    if (heldBack(window, id, Event::MouseDown)) return;
    auto in = input(Event::MouseDown, id);
    in.keyCode = keyCode;
    act(window, in);
}

void TestDriver::mouseUp(WindowId window, int id, int keyCode) {
    if (heldBack(window, id, Event::MouseUp)) return;
    auto in = input(Event::MouseUp, id);
    in.keyCode = keyCode;
    act(window, in);
}

void TestDriver::drag(WindowId window, int id, int fromRow, int toRow) {
    auto list = control(window, id);
    if (!dropAccepted(list, list))
        throw TestDriverError("list " + std::to_string(id) +
                              " takes no part in dragging rows within it (no matching drag and drop ids)");
    auto d = input(Event::Drag, id);
    d.row = fromRow;
    act(window, d);
    auto p = input(Event::Drop, id);
    p.row = fromRow;
    p.dropRow = toRow;
    act(window, p);
}

void TestDriver::focus(WindowId window, int id) { act(window, input(Event::Selected, id)); }
void TestDriver::activate(WindowId window) { act(window, input(Event::GainFocus, 0)); }
void TestDriver::closeWindow(WindowId window) { act(window, input(Event::CloseWindow, 0)); }

void TestDriver::resize(WindowId window, int width, int height) {
    auto w = this->window(window);
    auto in = input(Event::Sized, 0);
    in.x = w.x;
    in.y = w.y;
    in.width = width;
    in.height = height;
    act(window, in);
}

void TestDriver::move(WindowId window, int x, int y) {
    auto in = input(Event::Moved, 0);
    in.x = x;
    in.y = y;
    act(window, in);
}

void TestDriver::maximize(WindowId window) { act(window, input(Event::Maximized, 0)); }

void TestDriver::queueMessageBoxAnswer(int result) {
    auto p = promptOf(HeadlessDisplay::PromptKind::MessageBox);
    p.result = result;
    display_.queueAnswer(p);
}

void TestDriver::queueMessageBoxAnswer(const std::string& buttonText) {
    auto p = promptOf(HeadlessDisplay::PromptKind::MessageBox);
    p.buttonText = buttonText;
    display_.queueAnswer(p);
}

void TestDriver::queueFileDialogAnswer(FileDialogResult result) {
    auto p = promptOf(HeadlessDisplay::PromptKind::FileDialog);
    p.fileResult = std::move(result);
    display_.queueAnswer(p);
}

void TestDriver::queueColorDialogAnswer(ColorDialogResult result) {
    auto p = promptOf(HeadlessDisplay::PromptKind::ColorDialog);
    p.colorResult = result;
    display_.queueAnswer(p);
}

void TestDriver::queuePrinterDialogAnswer(PrinterDialogResult result) {
    auto p = promptOf(HeadlessDisplay::PromptKind::PrinterDialog);
    p.printerResult = std::move(result);
    display_.queueAnswer(p);
}

void TestDriver::queuePopupAnswer(int position) {
    auto p = promptOf(HeadlessDisplay::PromptKind::PopupMenu);
    p.result = position;
    display_.queueAnswer(p);
}

MessageBoxRequest TestDriver::waitMessageBox() {
    auto p = display_.waitPrompt(HeadlessDisplay::PromptKind::MessageBox, timeout_);
    if (!p) throw TestDriverError("no message box was shown in time");
    return p->messageBox;
}

namespace {
void answerAndSettle(HeadlessDisplay& d, HeadlessDisplay::Prompt a, int thread, std::chrono::milliseconds timeout) {
    std::uint64_t before = threadWaitSerial(thread);
    if (!d.answer(a)) throw TestDriverError("nothing to answer");
    if (thread != 0 && !waitThreadIdle(thread, before, timeout))
        throw TestDriverError("the thread did not come back for input in time");
}
}  // namespace

void TestDriver::answerMessageBox(int result) {
    auto r = waitMessageBox();
    auto p = promptOf(HeadlessDisplay::PromptKind::MessageBox);
    p.result = result;
    answerAndSettle(display_, p, r.thread, timeout_);
}

void TestDriver::answerMessageBox(const std::string& buttonText) {
    auto r = waitMessageBox();
    if (std::find(r.buttonTexts.begin(), r.buttonTexts.end(), buttonText) == r.buttonTexts.end())
        throw TestDriverError("the message box has no button \"" + buttonText + "\"");
    auto p = promptOf(HeadlessDisplay::PromptKind::MessageBox);
    p.buttonText = buttonText;
    answerAndSettle(display_, p, r.thread, timeout_);
}

FileDialogRequest TestDriver::waitFileDialog() {
    auto p = display_.waitPrompt(HeadlessDisplay::PromptKind::FileDialog, timeout_);
    if (!p) throw TestDriverError("no file dialog was shown in time");
    return p->fileDialog;
}

void TestDriver::answerFileDialog(FileDialogResult result) {
    auto r = waitFileDialog();
    auto p = promptOf(HeadlessDisplay::PromptKind::FileDialog);
    p.fileResult = std::move(result);
    answerAndSettle(display_, p, r.thread, timeout_);
}

PopupMenuRequest TestDriver::waitPopup() {
    auto p = display_.waitPrompt(HeadlessDisplay::PromptKind::PopupMenu, timeout_);
    if (!p) throw TestDriverError("no popup menu was shown in time");
    return p->popupMenu;
}

void TestDriver::answerPopup(int position) {
    auto r = waitPopup();
    auto p = promptOf(HeadlessDisplay::PromptKind::PopupMenu);
    p.result = position;
    answerAndSettle(display_, p, r.thread, timeout_);
}

std::vector<MessageBoxRequest> TestDriver::messageBoxes() const {
    std::vector<MessageBoxRequest> out;
    for (const auto& p : display_.history())
        if (p.kind == HeadlessDisplay::PromptKind::MessageBox) out.push_back(p.messageBox);
    return out;
}

MessageBoxRequest TestDriver::lastMessageBox() const {
    auto all = messageBoxes();
    if (all.empty()) throw TestDriverError("no message box was shown");
    return all.back();
}

std::vector<FileDialogRequest> TestDriver::fileDialogs() const {
    std::vector<FileDialogRequest> out;
    for (const auto& p : display_.history())
        if (p.kind == HeadlessDisplay::PromptKind::FileDialog) out.push_back(p.fileDialog);
    return out;
}

std::string TestDriver::clipboard() const { return display_.clipboard(); }

void TestDriver::waitThreadEnd(int thread) {
    if (!waitThread(thread, timeout_))
        throw TestDriverError("thread " + std::to_string(thread) + " did not end in time");
}

}  // namespace rt
