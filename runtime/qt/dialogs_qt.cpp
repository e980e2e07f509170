#include "runtime/qt/dialogs_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>

#include "runtime/qt/icons.h"
#include "runtime/qt/list_model.h"

namespace rt::qt {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

struct StandardButton {
    int flag;
    QMessageBox::StandardButton qt;
};

constexpr StandardButton kButtons[] = {
    {button::Ok, QMessageBox::Ok},         {button::Yes, QMessageBox::Yes},     {button::No, QMessageBox::No},
    {button::Abort, QMessageBox::Abort},   {button::Retry, QMessageBox::Retry}, {button::Ignore, QMessageBox::Ignore},
    {button::Cancel, QMessageBox::Cancel}, {button::Help, QMessageBox::Help},
};

// Paths of the program may use "\"; relative ones start in the working folder.
QString localPath(const std::string& path) {
    QString p = qs(path);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

// A short message must not cut its title: the window manager writes it in a bold face beside
// the window's icon and buttons, so the box is at least that wide.
void keepTitleWhole(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || box.windowTitle().isEmpty()) return;
    QFont bold = box.font();
    bold.setBold(true);
    const int wanted = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + 140;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

// A box stands in the middle of the window that asks, and never exactly over another box: the
// one below would hide its text.
void placeBox(QWidget& box, QWidget* centreOn) {
    if (centreOn && centreOn->isVisible()) {
        const QRect owner(centreOn->mapToGlobal(QPoint(0, 0)), centreOn->size());
        box.move(owner.center() - QPoint(box.width() / 2, box.height() / 2));
    }
    constexpr int kOffset = 24;
    for (int moved = 0; moved < 32; ++moved) {
        bool covers = false;
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != &box && other->isVisible() && other->property("rtPrompt").toBool() &&
                (other->pos() - box.pos()).manhattanLength() < kOffset)
                covers = true;
        if (!covers) return;
        box.move(box.pos() + QPoint(kOffset, kOffset));
    }
}

}  // namespace

void showMessageBox(QWidget* parent, const MessageBoxRequest& request, std::function<void(int)> answer,
                    QWidget* centreOn) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setProperty("rtPrompt", true);
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(qs(request.title));
    box->setTextFormat(Qt::PlainText);
    box->setText(qs(request.text));
    switch (request.icon) {
    case MessageIcon::Information: box->setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case MessageIcon::Question: box->setIcon(QMessageBox::Question); break;
    case MessageIcon::Hand: box->setIcon(QMessageBox::Critical); break;
    case MessageIcon::None: break;
    }
    if (!request.iconFile.empty()) {
        const QIcon icon = iconFor(qs(request.iconFile));
        if (!icon.isNull()) box->setIconPixmap(icon.pixmap(32, 32));
    }
    auto results = std::make_shared<std::map<QAbstractButton*, int>>();
    if (!request.buttonTexts.empty()) {
        // A list of own buttons: no escape, the box answers only by a button.
        int position = 1;
        for (const auto& text : request.buttonTexts) {
            QPushButton* b = box->addButton(qs(text), QMessageBox::ActionRole);
            (*results)[b] = position;
            if (position == (request.defaultButton > 0 ? request.defaultButton : 1)) box->setDefaultButton(b);
            ++position;
        }
    } else {
        int buttons = request.standardButtons ? request.standardButtons : button::Ok;
        QAbstractButton* first = nullptr;
        for (const auto& b : kButtons) {
            if (!(buttons & b.flag)) continue;
            QAbstractButton* qb = box->addButton(b.qt);
            (*results)[qb] = b.flag;
            if (!first) first = qb;
            if (request.defaultButton == b.flag) box->setDefaultButton(static_cast<QPushButton*>(qb));
        }
        if (!request.defaultButton && first) box->setDefaultButton(static_cast<QPushButton*>(first));
        for (int flag : {button::Cancel, button::No, button::Ok})
            if (buttons & flag) {
                for (auto& [qb, f] : *results)
                    if (f == flag) box->setEscapeButton(qb);
                break;
            }
    }
    keepTitleWhole(*box);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [results, answer](QAbstractButton* clicked) {
        auto it = results->find(clicked);
        answer(it != results->end() ? it->second : 0);
    });
    // Help and the like close the box without a click signal on some styles: answer anyway.
    QObject::connect(box, &QObject::destroyed, box, [answer] { answer(0); });
    box->show();
    placeBox(*box, centreOn);
    box->raise();
    box->activateWindow();
}

QString qtNameFilter(const FileFilter& filter) {
    QStringList patterns;
    for (const QString& p : qs(filter.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        patterns << t;
        // File names here are case-sensitive: offer the other case too.
        if (t.toLower() != t && !patterns.contains(t.toLower())) patterns << t.toLower();
        if (t.toUpper() != t && !patterns.contains(t.toUpper())) patterns << t.toUpper();
    }
    QString name = qs(filter.name).trimmed();
    if (name.isEmpty()) name = patterns.join(QLatin1Char(' '));
    return name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

void showFileDialog(QWidget* parent, const FileDialogRequest& request, std::function<void(FileDialogResult)> answer) {
    // The dialog's folder is its own: the process's working folder is never changed.
    QString folder = localPath(request.folder);
    const QString file = localPath(request.file);
    if (folder.isEmpty() && !file.isEmpty()) {
        const QFileInfo info(file);
        if (request.kind == FileDialogKind::Folder && info.isDir())
            folder = info.absoluteFilePath();
        else if (file.contains(QLatin1Char('/')))
            folder = info.absolutePath();
    }
    if (folder.isEmpty()) folder = QDir::currentPath();
    folder = QFileInfo(folder).absoluteFilePath();

    auto* dialog = new QFileDialog(parent, qs(request.title), folder);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setProperty("rtPrompt", true);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::NonModal);
    QStringList filters;
    for (const auto& f : request.filters) filters << qtNameFilter(f);
    switch (request.kind) {
    case FileDialogKind::Open:
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogKind::Save:
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialogKind::OpenOrNew:
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialogKind::Folder:
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (!filters.isEmpty() && request.kind != FileDialogKind::Folder) {
        dialog->setNameFilters(filters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size() ? request.filterIndex : 1;
        dialog->selectNameFilter(filters[index - 1]);
    }
    if (!file.isEmpty() && request.kind != FileDialogKind::Folder) dialog->selectFile(QFileInfo(file).fileName());
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, filters, answer](int result) {
        FileDialogResult r;
        r.ok = result == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
        if (r.ok) r.path = QDir::toNativeSeparators(dialog->selectedFiles().first()).toStdString();
        const int index = filters.indexOf(dialog->selectedNameFilter());
        r.filterIndex = index >= 0 ? index + 1 : 1;
        answer(r);
    });
    dialog->show();
}

void showColorDialog(QWidget* parent, const ColorDialogRequest& request,
                     std::function<void(ColorDialogResult)> answer) {
    auto* dialog = new QColorDialog(toQColor(request.color, Qt::white), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setProperty("rtPrompt", true);
    dialog->setOption(QColorDialog::DontUseNativeDialog);
    if (!request.title.empty()) dialog->setWindowTitle(qs(request.title));
    QObject::connect(dialog, &QColorDialog::finished, dialog, [dialog, answer](int result) {
        ColorDialogResult r;
        r.ok = result == QDialog::Accepted;
        r.color = r.ok ? fromQColor(dialog->currentColor()) : ColorNone;
        answer(r);
    });
    dialog->show();
}

void showPrinterDialog(QWidget* parent, const PrinterDialogRequest& request,
                       std::function<void(PrinterDialogResult)> answer) {
    auto printer = std::make_shared<QPrinter>();
    if (!request.printer.empty()) printer->setPrinterName(qs(request.printer));
    auto* dialog = new QPrintDialog(printer.get(), parent);
    if (request.setupOnly) {
        // The set-up chooses the printer and, through its properties, paper and orientation;
        // pages and copies belong to each job.
        dialog->setOptions(QAbstractPrintDialog::PrintDialogOptions());
        if (auto* buttons = dialog->findChild<QDialogButtonBox*>())
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
                ok->setText(QDialogButtonBox(QDialogButtonBox::Ok).button(QDialogButtonBox::Ok)->text());
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setProperty("rtPrompt", true);
    if (!request.title.empty()) dialog->setWindowTitle(qs(request.title));
    QObject::connect(dialog, &QDialog::finished, dialog, [printer, answer](int result) {
        PrinterDialogResult r;
        r.ok = result == QDialog::Accepted;
        r.printer = printer->printerName().toStdString();
        r.copies = printer->copyCount();
        r.landscape = printer->pageLayout().orientation() == QPageLayout::Landscape;
        answer(r);
    });
    dialog->show();
}

void showPopupMenu(QWidget* parent, QPoint at, const PopupMenuRequest& request, std::function<void(int)> answer) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setProperty("rtPrompt", true);
    int position = 0;
    for (const auto& item : request.items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(qs(item.text));
        action->setData(++position);
        action->setCheckable(item.checkable);
        action->setChecked(item.checked);
        action->setEnabled(item.enabled);
    }
    QObject::connect(menu, &QMenu::triggered, menu, [answer](QAction* action) { answer(action->data().toInt()); });
    // The menu hides before it reports the item: answer "nothing" only after that.
    QObject::connect(menu, &QMenu::aboutToHide, menu, [answer] { QTimer::singleShot(0, [answer] { answer(0); }); });
    menu->popup(at);
}

}  // namespace rt::qt
