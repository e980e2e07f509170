// The controlling cockpit: six large buttons that each open a chosen cube in the pivot viewer;
// captions and cubes kept per client database in the application INI file.
#pragma once

#include <array>
#include <string>

void ControllingCockpit();

// The six buttons as kept for a database: cube identifiers as text and captions.
struct CockpitSettings {
    std::array<std::string, 6> cube;
    std::array<std::string, 6> text;
};
CockpitSettings ReadCockpitSettings(const std::string& iniFile, const std::string& database);

namespace cockpit {
enum {
    Sheet = 1,
    TabButtons,
    TabSetup,
    Button1,
    Button2,
    Button3,
    Button4,
    Button5,
    Button6,
    PromptText1 = 20,
    EntryText1 = 26,
    PromptCube1 = 32,
    EntryCube1 = 38,
    StartCheck = 50,
    Save,
    Close,
};
}  // namespace cockpit
