// Hosted controls: the view registered for the ProgID, else a sunken area naming it.
#include <QLabel>
#include <map>
#include <mutex>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/text/strings.h"

namespace rt::qt {

namespace {

std::mutex gOleMutex;
std::map<std::string, OleViewFactory>& oleViews() {
    static std::map<std::string, OleViewFactory> views;
    return views;
}

OleViewFactory oleViewFor(const std::string& progId) {
    std::lock_guard lock(gOleMutex);
    auto it = oleViews().find(rt::lower(progId));
    return it != oleViews().end() ? it->second : OleViewFactory{};
}

void createOle(Core&, QtWindow&, QtControl& c, QWidget* parent) {
    const ControlState& s = c.state;
    QWidget* view = nullptr;
    const OleViewFactory factory = oleViewFor(s.progId);
    if (factory && s.object) view = factory(s.object, parent);
    if (!view) {
        // No view for this control here: a sunken area naming what it would host.
        auto* frame = new QLabel(QString::fromStdString(s.progId), parent);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setAlignment(Qt::AlignCenter);
        frame->setEnabled(false);
        view = frame;
    }
    c.widget = view;
}

}  // namespace

void registerOleView(const std::string& progId, OleViewFactory factory) {
    std::lock_guard lock(gOleMutex);
    oleViews()[rt::lower(progId)] = std::move(factory);
}
const ControlKindOps kOleOps{.create = createOle};

}  // namespace rt::qt
