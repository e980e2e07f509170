#include "runtime/qt/qt_display.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>

#include "runtime/qt/dialogs_qt.h"
#include "runtime/qt/display_core.h"
#include "runtime/qt/fonts.h"
#include "runtime/qt/gui_invoker.h"

namespace rt::qt {

// The program side: hands work to the GUI thread.

QtDisplay::QtDisplay() : core_(std::make_shared<Core>()) {}

QtDisplay::~QtDisplay() = default;

void QtDisplay::openWindow(const WindowSnapshot& window) {
    GuiInvoker::post([weak = std::weak_ptr<Core>(core_), window] {
        if (auto core = weak.lock()) core->open(window);
    });
}

void QtDisplay::updateWindow(const WindowUpdate& update) {
    GuiInvoker::post([weak = std::weak_ptr<Core>(core_), update] {
        if (auto core = weak.lock()) core->update(update);
    });
}

void QtDisplay::closeWindow(WindowId id) {
    GuiInvoker::post([weak = std::weak_ptr<Core>(core_), id] {
        if (auto core = weak.lock()) core->close(id);
    });
}

void QtDisplay::arrangeWindows(WindowId frame, Arrangement how) {
    GuiInvoker::post([weak = std::weak_ptr<Core>(core_), frame, how] {
        if (auto core = weak.lock()) core->arrange(frame, how);
    });
}

void QtDisplay::runOnDisplayThread(std::function<void()> f) { GuiInvoker::post(std::move(f)); }

DialogUnits QtDisplay::dialogUnits() const {
    const rt::qt::FontUnits units(defaultWindowFont());
    return {units.baseX() / 4.0, units.baseY() / 8.0};
}

int QtDisplay::messageBox(const MessageBoxRequest& request) {
    return askOnGui<int>(
        request.thread,
        [weak = std::weak_ptr<Core>(core_), request](std::function<void(int)> answer) {
            auto core = weak.lock();
            if (!core) return;  // the display is gone: the caller gets its fallback
            core->beginThreadModal(request.thread);
            QtWindow* asking = core->find(request.owner);
            showMessageBox(
                core->dialogParent(request.owner), request,
                [core, request, answer](int result) {
                    core->endThreadModal(request.thread);
                    answer(result);
                },
                asking ? asking->top() : nullptr);
        },
        request.buttonTexts.empty() ? button::Cancel : 0);
}

FileDialogResult QtDisplay::fileDialog(const FileDialogRequest& request) {
    return askOnGui<FileDialogResult>(
        request.thread,
        [weak = std::weak_ptr<Core>(core_), request](std::function<void(FileDialogResult)> answer) {
            auto core = weak.lock();
            if (!core) return;  // the display is gone: the caller gets its fallback
            core->beginThreadModal(request.thread);
            showFileDialog(core->dialogParent(request.owner), request, [core, request, answer](FileDialogResult r) {
                core->endThreadModal(request.thread);
                answer(std::move(r));
            });
        },
        FileDialogResult{});
}

ColorDialogResult QtDisplay::colorDialog(const ColorDialogRequest& request) {
    return askOnGui<ColorDialogResult>(
        request.thread,
        [weak = std::weak_ptr<Core>(core_), request](std::function<void(ColorDialogResult)> answer) {
            auto core = weak.lock();
            if (!core) return;  // the display is gone: the caller gets its fallback
            core->beginThreadModal(request.thread);
            showColorDialog(core->dialogParent(request.owner), request, [core, request, answer](ColorDialogResult r) {
                core->endThreadModal(request.thread);
                answer(r);
            });
        },
        ColorDialogResult{});
}

PrinterDialogResult QtDisplay::printerDialog(const PrinterDialogRequest& request) {
    return askOnGui<PrinterDialogResult>(
        request.thread,
        [weak = std::weak_ptr<Core>(core_), request](std::function<void(PrinterDialogResult)> answer) {
            auto core = weak.lock();
            if (!core) return;  // the display is gone: the caller gets its fallback
            core->beginThreadModal(request.thread);
            showPrinterDialog(core->dialogParent(request.owner), request,
                              [core, request, answer](PrinterDialogResult r) {
                                  core->endThreadModal(request.thread);
                                  answer(std::move(r));
                              });
        },
        PrinterDialogResult{});
}

int QtDisplay::popupMenu(const PopupMenuRequest& request) {
    return askOnGui<int>(
        request.thread,
        [weak = std::weak_ptr<Core>(core_), request](std::function<void(int)> answer) {
            auto core = weak.lock();
            if (!core) return;  // the display is gone: the caller gets its fallback
            QPoint at = QCursor::pos();
            QtWindow* w = core->find(request.owner);
            if (w && request.x >= 0 && request.y >= 0)
                at = w->canvas->mapToGlobal(QPoint(w->units.x(request.x), w->units.y(request.y)));
            showPopupMenu(w ? w->main : core->dialogParent(0), at, request, answer);
        },
        0);
}

void QtDisplay::setClipboard(const std::string& text) {
    GuiInvoker::post([text] { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); });
}

std::string QtDisplay::clipboard() {
    return GuiInvoker::callValue<std::string>([] { return QGuiApplication::clipboard()->text().toStdString(); });
}

void QtDisplay::beep(Beep) {
    GuiInvoker::post([] { QApplication::beep(); });
}

void QtDisplay::setPointer(Pointer pointer) {
    GuiInvoker::post([pointer] {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        switch (pointer) {
        case Pointer::Arrow: break;
        case Pointer::Busy: QApplication::setOverrideCursor(Qt::WaitCursor); break;
        case Pointer::Cross: QApplication::setOverrideCursor(Qt::CrossCursor); break;
        case Pointer::IBeam: QApplication::setOverrideCursor(Qt::IBeamCursor); break;
        case Pointer::Hand:
        case Pointer::Zoom: QApplication::setOverrideCursor(Qt::PointingHandCursor); break;
        case Pointer::SizeAll: QApplication::setOverrideCursor(Qt::SizeAllCursor); break;
        }
    });
}

QWidget* QtDisplay::windowWidget(WindowId id) const {
    QtWindow* w = core_->find(id);
    return w && w->shown ? w->top() : nullptr;
}

void QtDisplay::dismissPrompts() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->property("rtPrompt").toBool()) delete top;
}

QWidget* QtDisplay::frameWidget() const {
    QtWindow* f = core_->frame();
    return f ? f->main : nullptr;
}

QWidget* QtDisplay::controlWidget(WindowId id, int control) const {
    QtWindow* w = core_->find(id);
    if (!w) return nullptr;
    QtControl* c = core_->controlOf(*w, control);
    return c ? c->widget : nullptr;
}

}  // namespace rt::qt
