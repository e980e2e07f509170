#include "runtime/qt/keys_qt.h"

#include "runtime/ui/event.h"

namespace rt::qt {

int modifierBits(Qt::KeyboardModifiers modifiers) {
    int bits = 0;
    if (modifiers & Qt::ShiftModifier) bits |= keys::Shift;
    if (modifiers & Qt::ControlModifier) bits |= keys::Ctrl;
    if (modifiers & Qt::AltModifier) bits |= keys::Alt;
    return bits;
}

int keyCodeOf(const QKeyEvent* event) {
    const int key = event->key();
    int code = 0;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        code = 'A' + (key - Qt::Key_A);
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
        code = '0' + (key - Qt::Key_0);
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        code = keys::F1 + (key - Qt::Key_F1);
    else {
        switch (key) {
        case Qt::Key_Backspace: code = keys::Backspace; break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: code = keys::Tab; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: code = keys::Enter; break;
        case Qt::Key_Escape: code = keys::Esc; break;
        case Qt::Key_Space: code = keys::Space; break;
        case Qt::Key_PageUp: code = keys::PgUp; break;
        case Qt::Key_PageDown: code = keys::PgDn; break;
        case Qt::Key_End: code = keys::End; break;
        case Qt::Key_Home: code = keys::Home; break;
        case Qt::Key_Left: code = keys::Left; break;
        case Qt::Key_Up: code = keys::Up; break;
        case Qt::Key_Right: code = keys::Right; break;
        case Qt::Key_Down: code = keys::Down; break;
        case Qt::Key_Insert: code = keys::Insert; break;
        case Qt::Key_Delete: code = keys::Delete; break;
        case Qt::Key_Menu: code = keys::Apps; break;
        case Qt::Key_Plus: code = (event->modifiers() & Qt::KeypadModifier) ? keys::KeypadPlus : 0; break;
        case Qt::Key_Minus: code = (event->modifiers() & Qt::KeypadModifier) ? keys::KeypadMinus : 0; break;
        default: return 0;
        }
    }
    if (code == 0) return 0;
    Qt::KeyboardModifiers modifiers = event->modifiers();
    if (key == Qt::Key_Backtab) modifiers |= Qt::ShiftModifier;
    return code | modifierBits(modifiers);
}

}  // namespace rt::qt
