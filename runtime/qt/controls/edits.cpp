// Entries and texts: one line and many lines typed by the user; the text cursor and selection of
// every control that takes text.
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/text/picture.h"

namespace rt::qt {

namespace {

// Qt counts positions in UTF-16 units, the procedure in characters.
int charsBefore(const QString& text, int units) {
    units = std::clamp(units, 0, static_cast<int>(text.size()));
    int chars = 0;
    for (int i = 0; i < units; ++i)
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())) ++chars;
    return chars;
}

int unitsBefore(const QString& text, int chars) {
    int i = 0;
    for (int n = 0; n < chars && i < text.size(); ++n)
        i += text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
    return i;
}

// The line a one-line control types into: the entry itself, a spin box's or a combo's.
QLineEdit* lineEditOf(const QtControl& c) {
    if (auto* edit = qobject_cast<QLineEdit*>(c.widget)) return edit;
    if (auto* combo = qobject_cast<QComboBox*>(c.widget)) return combo->lineEdit();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(c.widget)) return spin->findChild<QLineEdit*>();
    return nullptr;
}

// Without a text picture an entry takes as much as Qt allows.
constexpr int kUnlimitedEntry = 32767;

void createEntry(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    c.widget = edit;
    core.makeFocusable(c, edit);
    connectTextSelection(core, w, c);
    core.onInput(w, c, edit, &QLineEdit::editingFinished, [](Core& core, QtWindow& win, QtControl& ctl) {
        if (auto* e = qobject_cast<QLineEdit*>(ctl.widget); e && !e->isReadOnly())
            core.sendValue(win, ctl, Event::Accepted, e->text().toStdString());
    });
    core.onInput(w, c, edit, &QLineEdit::textEdited,
                 [](Core& core, QtWindow& win, QtControl& ctl, const QString& text) {
                     if (ctl.state.immediate || win.props.immediate)
                         core.sendValue(win, ctl, Event::NewSelection, text.toStdString());
                 });
}

void entryLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* edit = static_cast<QLineEdit*>(c.widget)) {
        edit->setReadOnly(s.readOnly);
        edit->setEchoMode(s.password ? QLineEdit::Password : QLineEdit::Normal);
        const PictureKind kind = pictureKind(s.picture);
        const int length = kind == PictureKind::Text ? pictureWidth(s.picture) : 0;
        edit->setMaxLength(length > 0 ? length : kUnlimitedEntry);
        edit->setAlignment(kind == PictureKind::Number ? Qt::AlignRight : Qt::AlignLeft);
    }
}

void entryValue(Core&, QtWindow&, QtControl& c) {
    const QString value = qs(c.state.value);
    auto* edit = static_cast<QLineEdit*>(c.widget);
    if (edit->text() == value) return;
    edit->setText(value);
    // A value longer than the field shows from its start, unless the user is in the field.
    if (!edit->hasFocus()) edit->setCursorPosition(0);
}

bool entryTyped(const QtControl& c, std::string& text) {
    text = static_cast<QLineEdit*>(c.widget)->text().toStdString();
    return true;
}

void createText(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    c.widget = edit;
    core.makeFocusable(c, edit);
    connectTextSelection(core, w, c);
    core.onInput(w, c, edit, &QPlainTextEdit::textChanged, [](Core& core, QtWindow& win, QtControl& ctl) {
        if (ctl.state.immediate || win.props.immediate)
            if (auto* e = qobject_cast<QPlainTextEdit*>(ctl.widget))
                core.sendValue(win, ctl, Event::NewSelection, e->toPlainText().toStdString());
    });
}

void textLook(Core&, QtWindow&, QtControl& c) {
    if (auto* edit = static_cast<QPlainTextEdit*>(c.widget)) {
        edit->setReadOnly(c.state.readOnly);
        edit->setLineWrapMode(c.state.wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    }
}

void textValue(Core&, QtWindow&, QtControl& c) {
    const QString value = qs(c.state.value);
    if (auto* edit = static_cast<QPlainTextEdit*>(c.widget); edit->toPlainText() != value) edit->setPlainText(value);
}

bool textTyped(const QtControl& c, std::string& text) {
    text = static_cast<QPlainTextEdit*>(c.widget)->toPlainText().toStdString();
    return true;
}

}  // namespace

bool shownTextSelection(const QtControl& c, TextSelection& selection) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(c.widget)) {
        // Plain text: the document's positions are those of its text.
        const QTextCursor cursor = edit->textCursor();
        const QString text = edit->toPlainText();
        selection = {charsBefore(text, cursor.anchor()), charsBefore(text, cursor.position())};
        return true;
    }
    QLineEdit* edit = lineEditOf(c);
    if (!edit) return false;
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    int anchor = cursor;
    if (edit->hasSelectedText()) {
        const int start = edit->selectionStart();
        anchor = cursor == start ? edit->selectionEnd() : start;
    }
    selection = {charsBefore(text, anchor), charsBefore(text, cursor)};
    return true;
}

void showTextSelection(QtControl& c) {
    const TextSelection& s = c.state.textSelection;
    if (auto* edit = qobject_cast<QPlainTextEdit*>(c.widget)) {
        if (!edit->hasFocus()) return;
        const QString text = edit->toPlainText();
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(unitsBefore(text, s.anchor));
        cursor.setPosition(unitsBefore(text, s.cursor), QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
        return;
    }
    QLineEdit* edit = lineEditOf(c);
    if (!edit || !(edit->hasFocus() || c.widget->hasFocus())) return;
    const QString text = edit->text();
    const int anchor = unitsBefore(text, s.anchor);
    const int cursor = unitsBefore(text, s.cursor);
    if (anchor == cursor)
        edit->setCursorPosition(cursor);
    else
        edit->setSelection(anchor, cursor - anchor);
}

void connectTextSelection(Core& core, QtWindow& w, QtControl& c) {
    auto report = [](Core& core, QtWindow& win, QtControl& ctl, auto&&...) { core.sendTextSelection(win, ctl); };
    if (auto* edit = qobject_cast<QPlainTextEdit*>(c.widget)) {
        core.onInput(w, c, edit, &QPlainTextEdit::cursorPositionChanged, report);
        core.onInput(w, c, edit, &QPlainTextEdit::selectionChanged, report);
    } else if (QLineEdit* line = lineEditOf(c)) {
        core.onInput(w, c, line, &QLineEdit::cursorPositionChanged, report);
        core.onInput(w, c, line, &QLineEdit::selectionChanged, report);
    }
}

const ControlKindOps kEntryOps{.create = createEntry, .look = entryLook, .value = entryValue, .typed = entryTyped};
const ControlKindOps kTextOps{.create = createText, .look = textLook, .value = textValue, .typed = textTyped};

}  // namespace rt::qt
