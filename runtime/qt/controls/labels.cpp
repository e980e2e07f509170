// Prompts and strings: text the user reads, not edits.
#include <QLabel>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/text/picture.h"

namespace rt::qt {

namespace {

void createLabel(Core&, QtWindow&, QtControl& c, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    c.widget = label;
}

void promptLook(Core&, QtWindow&, QtControl& c) {
    if (auto* label = static_cast<QLabel*>(c.widget)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(qs(c.state.text));
    }
}

void stringLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* label = static_cast<QLabel*>(c.widget)) {
        QString shown = s.text.empty() ? qs(s.value) : qs(s.text);
        // A "&&" shows one ampersand; a lone one marks nothing in a string.
        shown.replace(QLatin1String("&&"), QLatin1String("&"));
        label->setText(shown);
        // A border draws a plain frame round the text in the text's colour (a sheet of paper).
        label->setFrameStyle(s.borderColor != ColorNone ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
        if (s.picture.size() > 1 && pictureKind(s.picture) == PictureKind::Number)
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}

// A string shows its value when it has no text of its own.
void stringValue(Core& core, QtWindow& w, QtControl& c) { core.applyLook(w, c); }

}  // namespace

const ControlKindOps kPromptOps{.create = createLabel, .look = promptLook};
const ControlKindOps kStringOps{.create = createLabel, .look = stringLook, .value = stringValue};

}  // namespace rt::qt
