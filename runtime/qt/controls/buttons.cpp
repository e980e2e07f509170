// Buttons, check boxes, option groups with their radios, and group boxes.
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

namespace {

void createButton(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* button = new QPushButton(parent);
    c.widget = button;
    core.makeFocusable(c, button);
    core.onInput(w, c, button, &QPushButton::clicked, [](Core& core, QtWindow& win, QtControl& ctl, bool) {
        core.flushFocused(win);
        core.send(win, inputOf(Event::Accepted, ctl.state.id));
    });
}

void buttonLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* button = static_cast<QPushButton*>(c.widget)) {
        const QString text = qs(s.text);
        button->setText(text);
        const QIcon icon = iconFor(qs(s.icon));
        button->setIcon(icon);
        if (!icon.isNull() && text.isEmpty()) button->setIconSize(QSize(16, 16));
        button->setDefault(s.defaultButton);
        button->setAutoDefault(false);
        button->setFlat(s.flat);
    }
}

void createCheck(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    c.widget = box;
    core.makeFocusable(c, box);
    core.onInput(w, c, box, &QCheckBox::clicked, [](Core& core, QtWindow& win, QtControl& ctl, bool checked) {
        core.sendValue(win, ctl, Event::Accepted, checked ? "1" : "0");
    });
}

void checkLook(Core&, QtWindow&, QtControl& c) { static_cast<QCheckBox*>(c.widget)->setText(qs(c.state.text)); }

void checkValue(Core&, QtWindow&, QtControl& c) {
    static_cast<QCheckBox*>(c.widget)->setChecked(c.state.value == "1" || c.state.value == "true");
}

void createGroup(Core&, QtWindow&, QtControl& c, QWidget* parent) { c.widget = new QGroupBox(parent); }

void createOption(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    createGroup(core, w, c, parent);
    c.buttons = new QButtonGroup(c.widget);  // goes with its group box
    c.buttons->setExclusive(true);
}

void groupLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* box = static_cast<QGroupBox*>(c.widget)) {
        const QString text = qs(s.text);
        box->setTitle(text);
        // An option without a caption is only a holder of its radios.
        box->setFlat(text.isEmpty() && s.kind == ControlKind::Option);
        if (text.isEmpty() && s.kind == ControlKind::Option)
            box->setStyleSheet(QStringLiteral("QGroupBox{border:0;margin:0;padding:0}"));
        else if (!text.isEmpty())
            // The frame runs through the middle of the caption, as the window's coordinates
            // expect: controls placed a line below the group's top stand inside it, not on it.
            box->setStyleSheet(
                QStringLiteral("QGroupBox{border:1px solid palette(mid);border-radius:2px;"
                               "margin-top:0.55em}"
                               "QGroupBox::title{subcontrol-origin:margin;left:6px;top:0;"
                               "padding:0 2px}"));
        else
            box->setStyleSheet(QString());
    }
}

void optionValue(Core&, QtWindow& w, QtControl& c) {
    const ControlState& s = c.state;
    // An exclusive group cannot lose its checked button: a value no radio gives clears all.
    if (c.buttons) c.buttons->setExclusive(false);
    for (auto& [id, other] : w.controls)
        if (other.state.kind == ControlKind::Radio && other.state.parent == s.id && other.widget)
            static_cast<QRadioButton*>(other.widget)->setChecked(other.state.radioValue == s.value);
    if (c.buttons) c.buttons->setExclusive(true);
}

void createRadio(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* radio = new QRadioButton(parent);
    c.widget = radio;
    core.makeFocusable(c, radio);
    radio->setAutoExclusive(false);
    if (QtControl* option = core.controlOf(w, c.state.parent); option && option->buttons)
        option->buttons->addButton(radio);
    core.onInput(w, c, radio, &QRadioButton::clicked, [](Core& core, QtWindow& win, QtControl& ctl, bool) {
        if (auto* r = qobject_cast<QRadioButton*>(ctl.widget)) r->setChecked(true);
        // The option takes the value the radio gives it.
        QtControl* option = core.controlOf(win, ctl.state.parent);
        if (option && option->state.kind == ControlKind::Option)
            core.sendValue(win, *option, Event::Accepted, ctl.state.radioValue);
        else
            core.sendValue(win, ctl, Event::Accepted, "1");
    });
}

void radioLook(Core&, QtWindow&, QtControl& c) { static_cast<QRadioButton*>(c.widget)->setText(qs(c.state.text)); }

void radioValue(Core& core, QtWindow& w, QtControl& c) {
    const ControlState& s = c.state;
    if (QtControl* option = core.controlOf(w, s.parent); option && option->state.kind == ControlKind::Option) {
        if (option->buttons) option->buttons->setExclusive(false);
        static_cast<QRadioButton*>(c.widget)->setChecked(option->state.value == s.radioValue);
        if (option->buttons) option->buttons->setExclusive(true);
    }
}

}  // namespace

const ControlKindOps kButtonOps{.create = createButton, .look = buttonLook};
const ControlKindOps kCheckOps{.create = createCheck, .look = checkLook, .value = checkValue};
const ControlKindOps kOptionOps{.create = createOption, .look = groupLook, .value = optionValue};
const ControlKindOps kGroupOps{.create = createGroup, .look = groupLook};
const ControlKindOps kRadioOps{.create = createRadio, .look = radioLook, .value = radioValue};

}  // namespace rt::qt
