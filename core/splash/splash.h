// The splash window after the login: product line and version for ten seconds at most, the
// check that the pivot-table control can be created (with the registration attempt when it
// cannot), and the cockpit started when it closes and "StartCockpit" is set.
#pragma once

#include <functional>
#include <string>

#include "cubes/viewer/anzeige_cube.h"  // the ProgID of the control the splash tests

void MySplash();

// What the splash starts when it closes with GLO:STARTCOCKPIT 1 (the program names the cockpit).
void SetSplashCockpit(std::function<void()> cockpit);
// The splash's timer in hundredths of a second (tests shorten it); 0 restores the ten seconds.
void SetSplashTimer(int hundredths);

// Where a picture of the splash is found: the working folder, else the program's pictures.
std::string SplashPicture(const std::string& name);

namespace splash {
enum { Background = 1, Frame, Product, Logo, Line1, Line2, Version, Maker, Ok, Area };
}  // namespace splash
