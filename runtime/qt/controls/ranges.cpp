// Spin boxes and progress bars: a number within a range.
#include <QProgressBar>
#include <QSpinBox>
#include <algorithm>

#include "runtime/qt/controls/control_kind.h"

namespace rt::qt {

namespace {

void createSpin(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    c.widget = spin;
    core.makeFocusable(c, spin);
    connectTextSelection(core, w, c);
    core.onInput(w, c, spin, &QSpinBox::valueChanged, [](Core& core, QtWindow& win, QtControl& ctl, int value) {
        core.sendValue(win, ctl, Event::NewSelection, std::to_string(value));
    });
    core.onInput(w, c, spin, &QSpinBox::editingFinished, [](Core& core, QtWindow& win, QtControl& ctl) {
        if (auto* sp = qobject_cast<QSpinBox*>(ctl.widget))
            core.sendValue(win, ctl, Event::Accepted, std::to_string(sp->value()));
    });
}

void spinLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* spin = static_cast<QSpinBox*>(c.widget)) {
        spin->setRange(std::min(s.rangeLow, s.rangeHigh), std::max(s.rangeLow, s.rangeHigh));
        spin->setSingleStep(std::max(1, s.step));
        spin->setReadOnly(s.readOnly);
    }
}

void spinValue(Core&, QtWindow&, QtControl& c) {
    static_cast<QSpinBox*>(c.widget)->setValue(qs(c.state.value).trimmed().toInt());
}

void createProgress(Core&, QtWindow&, QtControl& c, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setTextVisible(false);
    c.widget = bar;
}

void progressLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* bar = static_cast<QProgressBar*>(c.widget))
        bar->setRange(std::min(s.rangeLow, s.rangeHigh), std::max(s.rangeLow, s.rangeHigh));
}

void progressValue(Core&, QtWindow&, QtControl& c) {
    static_cast<QProgressBar*>(c.widget)->setValue(qs(c.state.value).trimmed().toInt());
}

}  // namespace

const ControlKindOps kSpinOps{.create = createSpin, .look = spinLook, .value = spinValue};
const ControlKindOps kProgressOps{.create = createProgress, .look = progressLook, .value = progressValue};

}  // namespace rt::qt
