#include "core/splash/splash.h"

#include <filesystem>

#include "core/common/common_window.h"
#include "core/dictionary/globals.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/os/path.h"
#include "runtime/os/process.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/automation.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace splash;

namespace {

rt::Shared<std::function<void()>> gCockpit;
rt::Shared<int> gTimer{0};
constexpr int kSplashTimer = 1000;

// The control test: passed when the control can be created; else the registration is tried
// and its failure shown. Without a system folder for libraries the copy of the data engine is
// skipped, as on every machine without one.
void testPivotControl() {
    if (rt::createAutomationObject(kPivotProgId)) return;
    const rt::ProcessResult r = rt::startProcess("RegSvr32.exe", {"/s", "GNOVA3.OCX"}, true);
    if (!r.started || r.exitCode != 0)
        rt::message(r.started ? "RegSvr32.exe /s GNOVA3.OCX: " + std::to_string(r.exitCode) : r.errorText,
                    "Fehler GNOVA3.OCX", rt::MessageIcon::Exclamation);
}

}  // namespace

void SetSplashCockpit(std::function<void()> cockpit) { gCockpit.set(std::move(cockpit)); }
void SetSplashTimer(int hundredths) { gTimer.set(hundredths); }

std::string SplashPicture(const std::string& name) {
    if (std::filesystem::exists(name)) return name;
    const std::filesystem::path beside = std::filesystem::path(rt::programFolder()) / "pictures" / name;
    return std::filesystem::exists(beside) ? beside.string() : name;
}

void MySplash() {
    rt::Window w("MySplash", "");
    w.setCaption(false);
    w.setPosition(0, 0, 260, 160);
    w.edit().centered = true;
    w.edit().resizable = false;
    w.add(Background, rt::ControlKind::Image).setIcon(SplashPicture("wizBck05.jpg")).setPosition(0, 0, 260, 160);
    w.add(Frame, rt::ControlKind::Box).setPosition(8, 8, 244, 144);
    w[Frame].edit().borderColor = rt::rgb(255, 255, 255);
    w.add(Product, rt::ControlKind::String)
        .setText("VOQ-Kivorant für JTL-WAWI")
        .setFont(rt::Font("Arial", 14, 700))
        .setFontColor(rt::rgb(255, 255, 255))
        .setPosition(20, 16, 200, 16);
    w.add(Logo, rt::ControlKind::Image).setIcon(SplashPicture("VOQ01.bmp")).setPosition(20, 40, 32, 32);
    w.add(Line1, rt::ControlKind::String)
        .setText("Auswertungen und")
        .setFont(rt::Font("Arial", 11))
        .setFontColor(rt::rgb(255, 255, 255))
        .setPosition(60, 42, 180, 12);
    w.add(Line2, rt::ControlKind::String)
        .setText("Unternehmens-Cockpit")
        .setFont(rt::Font("Arial", 11))
        .setFontColor(rt::rgb(255, 255, 255))
        .setPosition(60, 56, 180, 12);
    w.add(Version, rt::ControlKind::String)
        .setText(std::string(rt::cutChars(GLO.INFO.get().clipped(), 40)))
        .setFontColor(rt::rgb(255, 255, 255))
        .setPosition(20, 96, 220, 10);
    w.add(Maker, rt::ControlKind::String)
        .setText("VOQ Software, Analyse-Werkzeuge")
        .setFontColor(rt::rgb(255, 255, 255))
        .setPosition(20, 110, 220, 10);
    // Clicks anywhere close the splash.
    w.add(Area, rt::ControlKind::Region).setPosition(0, 0, 260, 160);
    w.add(Ok, rt::ControlKind::Button).setText("OK").setPosition(200, 132, 44, 14).edit().defaultButton = true;
    const int timer = gTimer.get();
    w.setTimer(timer > 0 ? timer : kSplashTimer);

    rt::WindowController wc(w, "MySplash");
    CommonWindow common(wc);
    wc.setIniManager(nullptr);  // neither place nor size are kept
    wc.onOpened = testPivotControl;
    wc.onEvent = [&](const rt::EventInfo& e) {
        switch (e.event) {
        case rt::Event::Timer:
        case rt::Event::LoseFocus: wc.close(rt::response::Completed); return true;
        case rt::Event::Accepted:
        case rt::Event::MouseDown:
            if (e.control == Ok || e.control == Area) {
                wc.close(rt::response::Completed);
                return true;
            }
            return false;
        default: return false;
        }
    };
    wc.run();
    if (GLO.STARTCOCKPIT.get() == 1) {
        if (auto cockpit = gCockpit.get()) rt::startThread(cockpit);
    }
}
