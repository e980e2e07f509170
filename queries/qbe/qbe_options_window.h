// Query by example: the options window ("Options") over the process-wide options. Its fields
// change the options at once; OK takes the colours from the regions and writes the file, Cancel
// writes nothing and drops the colours picked.
#pragma once

void QBEOptions();

namespace qbeoptions {
enum Control {
    Sheet = 1,
    SizeTab,
    ColorTab,
    TextTab,
    ViewTab,
    Ok,
    Cancel,
    DefaultSize,
    DefaultColor,
    DefaultText,
    DefaultView,
    Number = 100,       // + place in the number table, prompts at + 50
    Text = 200,         // + report text (0..7), prompts at + 20
    Check = 240,        // + 0 source, + 1 break
    ColorPrompt = 300,  // + colour (0..13): ten report colours, then four view colours
    ColorRegion = 320,
    ColorButton = 340,
};
inline constexpr const char* kTitle = "Options";
}  // namespace qbeoptions
