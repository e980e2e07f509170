// The icon files the windows name ("WAOK.ICO", "~BoxOn.ICO", ...) and the standard icons, shown
// with the freedesktop icon theme installed here.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace rt::qt {

// Picks an installed theme when the platform named none (must run after QApplication exists).
void setUpIconTheme();

// Theme names tried for an icon file name, best first; empty when the name is unknown.
// Case, a leading "~" and the extension do not matter.
QStringList themeNamesForIcon(const QString& iconFile);

// The icon for a name: an image file of that name in the working folder when there is one,
// else the theme icon, else the style's standard icon of the same meaning; a null icon when
// nothing fits.
QIcon iconFor(const QString& iconFile);

}  // namespace rt::qt
