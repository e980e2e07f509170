// Entries and texts: one line and many lines typed by the user.
#include <QLineEdit>
#include <QPlainTextEdit>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/text/picture.h"

namespace rt::qt {

namespace {

// Without a text picture an entry takes as much as Qt allows.
constexpr int kUnlimitedEntry = 32767;

void createEntry(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    c.widget = edit;
    core.makeFocusable(c, edit);
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

const ControlKindOps kEntryOps{.create = createEntry, .look = entryLook, .value = entryValue, .typed = entryTyped};
const ControlKindOps kTextOps{.create = createText, .look = textLook, .value = textValue, .typed = textTyped};

}  // namespace rt::qt
