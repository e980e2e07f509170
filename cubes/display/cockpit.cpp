#include "cubes/display/cockpit.h"

#include <cstdlib>

#include "core/common/common_window.h"
#include "core/dictionary/globals.h"
#include "cubes/display/viewer_link.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/ini/profile.h"
#include "runtime/ui/window.h"

using namespace cockpit;

namespace {

constexpr const char* kNotDefined = "nicht definiert";
constexpr const char* kIcons[6] = {"CHART8.ICO",  "CHART03.ICO",  "CHART05.ICO",
                                   "CHART13.ICO", "CHEKLIST.ICO", "CHART6.ICO"};
constexpr const char* kTextPrompts[6] = {"Cube-Beschreibung 1:", "Cube-Beschreibung 2:",  "Cube-Beschreibung  3:",
                                         "Cube-Beschreibung 4:", "Cube-Beschreibung  5:", "Cube-Beschreibung  6:"};
constexpr const char* kCubePrompts[6] = {
    "CubeID 1:", "CubeID  2:", "CubeID 3:", "CubeID 4:", "CubeID  5:", "CubeID  6:"};

std::string iniFile() {
    const std::string f(GLO.IniFile.get().clipped());
    return f.empty() ? std::string(".\\VOQKivorant6.INI") : f;
}

}  // namespace

CockpitSettings ReadCockpitSettings(const std::string& file, const std::string& database) {
    CockpitSettings s;
    for (int n = 0; n < 6; ++n) {
        const std::string k = std::to_string(n + 1);
        s.cube[n] = std::string(rt::cutChars(rt::getProfileString(file, database, "Cube" + k, ""), 20));
        s.text[n] = std::string(rt::cutChars(rt::getProfileString(file, database, "Text" + k, kNotDefined), 30));
    }
    return s;
}

void ControllingCockpit() {
    rt::Window w("ControllingCockpit", "Controlling Cockpit");
    w.setMdiChild(true);
    w.setPosition(0, 0, 390, 170);
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 382, 140);
    w.add(TabButtons, rt::ControlKind::Tab, Sheet).setText("Auswertungen");
    w.add(TabSetup, rt::ControlKind::Tab, Sheet).setText("Setup");
    for (int n = 0; n < 6; ++n) {
        const int x = 12 + (n % 3) * 122, y = 26 + (n / 3) * 56;
        w.add(Button1 + n, rt::ControlKind::Button, TabButtons)
            .setText("leer")
            .setIcon(kIcons[n])
            .setPosition(x, y, 113, 46);
    }
    for (int n = 0; n < 6; ++n) {
        const int x = 12 + (n / 3) * 186, y = 24 + (n % 3) * 34;
        w.add(PromptText1 + n, rt::ControlKind::Prompt, TabSetup).setText(kTextPrompts[n]).setPosition(x, y, 80, 10);
        w.add(EntryText1 + n, rt::ControlKind::Entry, TabSetup).setPicture("@s30").setPosition(x + 82, y, 96, 10);
        w.add(PromptCube1 + n, rt::ControlKind::Prompt, TabSetup)
            .setText(kCubePrompts[n])
            .setPosition(x, y + 14, 80, 10);
        w.add(EntryCube1 + n, rt::ControlKind::Entry, TabSetup).setPicture("@s20").setPosition(x + 82, y + 14, 60, 10);
    }
    w.add(StartCheck, rt::ControlKind::Check, TabSetup)
        .setText("Cockpit beim Programmstart öffnen")
        .setPosition(12, 126, 160, 10);
    w.add(Save, rt::ControlKind::Button, TabSetup).setText("Sichern").setPosition(320, 122, 50, 14);
    w.add(Close, rt::ControlKind::Button).setText("Schließen").setPosition(341, 150, 45, 14);

    rt::WindowController wc(w, "ControllingCockpit");
    CommonWindow common(wc);
    wc.setIniManager(nullptr);  // the window's place and size are not kept
    wc.addCloseButton(Close, rt::response::Completed);
    wc.setFirstField(Button1);

    const std::string file = iniFile();
    const std::string database(GLO.Database.get().clipped());
    const CockpitSettings settings = ReadCockpitSettings(file, database);
    for (int n = 0; n < 6; ++n) {
        w[EntryText1 + n].setValue(settings.text[n]);
        w[EntryCube1 + n].setValue(settings.cube[n]);
        w[Button1 + n].setText(settings.text[n]);
        if (!CubeViewerAvailable()) w[Button1 + n].disable();
    }
    w[StartCheck].setValue(GLO.STARTCOCKPIT.get() ? "1" : "0");

    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == StartCheck) {
            GLO.STARTCOCKPIT = static_cast<rt::Byte>(w[StartCheck].value() == "1");
            return true;
        }
        if (e.control >= Button1 && e.control <= Button6) {
            const int n = e.control - Button1;
            ShowCubeInViewer(std::atol(std::string(rt::clip(w[EntryCube1 + n].value())).c_str()));
            return true;
        }
        if (e.control == Save) {
            for (int n = 0; n < 6; ++n) {
                const std::string k = std::to_string(n + 1);
                rt::writeProfileString(file, database, "Cube" + k, rt::cutChars(w[EntryCube1 + n].value(), 20));
                rt::writeProfileString(file, database, "Text" + k, rt::cutChars(w[EntryText1 + n].value(), 30));
            }
            rt::writeProfileString(file, database, "StartCockpit", std::to_string(int(GLO.STARTCOCKPIT.get())));
            for (int n = 0; n < 6; ++n)
                w[Button1 + n].setText(std::string(rt::cutChars(w[EntryText1 + n].value(), 30)));
            return true;
        }
        return false;
    };
    wc.run();
}
