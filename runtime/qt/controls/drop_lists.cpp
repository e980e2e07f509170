// Drop lists and drop combos: a choice from a list, the combo also taking free text.
#include <QComboBox>
#include <QLineEdit>
#include <vector>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

namespace {

void createDropList(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(c.state.kind == ControlKind::DropCombo);
    combo->setInsertPolicy(QComboBox::NoInsert);
    c.widget = combo;
    core.makeFocusable(c, combo);
    core.onInput(w, c, combo, &QComboBox::activated, [](Core& core, QtWindow& win, QtControl& ctl, int index) {
        if (auto* cb = qobject_cast<QComboBox*>(ctl.widget)) {
            core.sendValue(win, ctl, Event::NewSelection, cb->itemText(index).toStdString(), index + 1);
            core.sendValue(win, ctl, Event::Accepted, cb->itemText(index).toStdString(), index + 1);
        }
    });
    if (combo->lineEdit()) {
        core.watchControlWidget(combo->lineEdit(), c.state.id);
        connectTextSelection(core, w, c);
        core.onInput(w, c, combo->lineEdit(), &QLineEdit::editingFinished,
                     [](Core& core, QtWindow& win, QtControl& ctl) {
                         if (auto* cb = qobject_cast<QComboBox*>(ctl.widget)) {
                             const std::string text = cb->currentText().toStdString();
                             if (text != ctl.sentValue)
                                 core.sendValue(win, ctl, Event::Accepted, text, cb->findText(cb->currentText()) + 1);
                         }
                     });
    }
}

void dropListValue(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    const QString value = qs(s.value);
    auto* combo = static_cast<QComboBox*>(c.widget);
    int index = s.selected - 1;
    if (index < 0 || index >= combo->count()) index = combo->findText(value.trimmed());
    combo->setCurrentIndex(index);
    if (s.kind == ControlKind::DropCombo && combo->currentText() != value) combo->setEditText(value);
}

void dropListList(Core&, QtWindow& w, QtControl& c) {
    const ControlState& s = c.state;
    auto data = s.list ? s.list : std::make_shared<const ListData>();
    auto* combo = static_cast<QComboBox*>(c.widget);
    combo->clear();
    std::vector<QIcon> icons;
    for (const auto& file : data->icons) icons.push_back(iconFor(qs(file)));
    for (const auto& row : data->rows) {
        const QString text = row.cells.empty() ? QString() : qs(row.cells[0].text);
        int icon = 0;
        for (const auto& cell : row.cells)
            if (cell.icon > 0) {
                icon = cell.icon;
                break;
            }
        if (icon > 0 && icon <= int(icons.size()))
            combo->addItem(icons[icon - 1], text);
        else
            combo->addItem(text);
    }
}

// A combo's free text, as typed (a drop list takes no text).
bool dropComboTyped(const QtControl& c, std::string& text) {
    auto* combo = static_cast<QComboBox*>(c.widget);
    if (!combo->isEditable()) return false;
    text = combo->currentText().toStdString();
    return true;
}

}  // namespace

const ControlKindOps kDropListOps{
    .create = createDropList, .value = dropListValue, .list = dropListList, .typed = dropComboTyped};

}  // namespace rt::qt
