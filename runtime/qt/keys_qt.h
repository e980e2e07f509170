// Qt keys as the runtime's key codes.
#pragma once

#include <QKeyEvent>

namespace rt::qt {

int modifierBits(Qt::KeyboardModifiers modifiers);
// 0 for keys the runtime has no code for (lone modifiers).
int keyCodeOf(const QKeyEvent* event);

}  // namespace rt::qt
