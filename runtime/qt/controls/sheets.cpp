// Sheets and their tabs: one page of controls shown at a time.
#include <memory>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

namespace {

void createSheet(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* tabs = new QTabWidget(parent);
    c.widget = tabs;
    c.sheet = tabs;
    core.makeFocusable(c, tabs);
    auto shown = std::make_shared<int>(-1);  // the page shown before the change
    QObject::connect(tabs, &QTabWidget::currentChanged, &core,
                     [&core, wid = w.props.id, id = c.state.id, shown](int index) {
                         const int left = *shown;
                         *shown = index;
                         // The controls of the page shown change also when the procedure turns the page.
                         QtWindow* win = core.find(wid);
                         if (!win) return;
                         // What the user typed on the page being left reaches the procedure
                         // before the page's fields are hidden and before the page turn.
                         if (!core.applying()) core.flushFocused(*win);
                         core.refreshVisibility(*win);
                         if (core.applying() || index < 0) return;
                         // The user turned the page: first the page being left, then the new one.
                         if (left >= 0 && left != index) {
                             UserInput leaving = inputOf(Event::TabChanging, id);
                             leaving.row = left + 1;
                             core.send(*win, leaving);
                         }
                         UserInput input = inputOf(Event::NewSelection, id);
                         input.row = index + 1;
                         input.value = std::to_string(index + 1);
                         core.send(*win, input);
                     });
}

void sheetValue(Core&, QtWindow&, QtControl& c) {
    if (c.state.selected >= 1 && c.state.selected <= c.sheet->count()) c.sheet->setCurrentIndex(c.state.selected - 1);
}

void createTab(Core& core, QtWindow& w, QtControl& c, QWidget*) {
    QtControl* sheet = core.controlOf(w, c.state.parent);
    if (sheet && sheet->sheet) {
        c.sheet = sheet->sheet;
        auto* page = new QWidget;
        page->setProperty("rtTab", c.state.id);
        Core::Applying applying(core);
        c.sheet->addTab(page, QString());
    }
}

void tabLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (c.sheet)
        for (int i = 0; i < c.sheet->count(); ++i)
            if (c.sheet->widget(i)->property("rtTab").toInt() == s.id) {
                c.sheet->setTabText(i, qs(s.text));
                c.sheet->setTabToolTip(i, qs(s.tip));
                c.sheet->setTabEnabled(i, s.enabled);
                if (!s.icon.empty()) c.sheet->setTabIcon(i, iconFor(qs(s.icon)));
            }
}

void tabRemove(QtControl& c) {
    if (!c.sheet) return;
    // Its page goes; the sheet keeps the other tabs.
    for (int i = 0; i < c.sheet->count(); ++i)
        if (c.sheet->widget(i)->property("rtTab").toInt() == c.state.id) {
            QWidget* page = c.sheet->widget(i);
            c.sheet->removeTab(i);
            delete page;
            break;
        }
}

}  // namespace

const ControlKindOps kSheetOps{.create = createSheet, .value = sheetValue};
const ControlKindOps kTabOps{.create = createTab, .look = tabLook, .remove = tabRemove};

}  // namespace rt::qt
