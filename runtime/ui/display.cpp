#include "runtime/ui/display.h"

#include <atomic>
#include <mutex>

namespace rt {
namespace {

// Stands in while no display is set (or after it went): shows nothing and answers every
// question with its default, so a program thread never blocks on a missing screen.
class NullDisplay final : public Display {
public:
    void openWindow(const WindowSnapshot&) override {}
    void updateWindow(const WindowUpdate&) override {}
    void closeWindow(WindowId) override {}
    int messageBox(const MessageBoxRequest& r) override {
        if (r.defaultButton != 0) return r.defaultButton;
        if (!r.buttonTexts.empty()) return 1;
        return r.standardButtons & -r.standardButtons;  // the lowest button given
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
    ColorDialogResult colorDialog(const ColorDialogRequest&) override { return {}; }
    PrinterDialogResult printerDialog(const PrinterDialogRequest&) override { return {}; }
    int popupMenu(const PopupMenuRequest&) override { return 0; }
    void setClipboard(const std::string& text) override {
        std::lock_guard lock(m_);
        clip_ = text;
    }
    std::string clipboard() override {
        std::lock_guard lock(m_);
        return clip_;
    }
    void beep(Beep) override {}
    void setPointer(Pointer) override {}
    void arrangeWindows(WindowId, Arrangement) override {}
    void runOnDisplayThread(std::function<void()> f) override { f(); }

private:
    std::mutex m_;
    std::string clip_;
};

NullDisplay& nullDisplay() {
    static NullDisplay* d = new NullDisplay;
    return *d;
}

std::atomic<Display*> current{nullptr};

}  // namespace

void setDisplay(Display* display) { current.store(display); }

Display& display() {
    Display* d = current.load();
    return d ? *d : nullDisplay();
}

bool hasDisplay() { return current.load() != nullptr; }

}  // namespace rt
