// The Qt display's dialogs with real widgets on the offscreen platform: the file, folder and colour
// choosers as the user answers them, the clipboard and the mouse pointer.
#include "tests/runtime/qt/qt_display_fixture.h"

namespace {

using namespace qttest;

TEST_F(QtDisplayTest, FolderAndColourDialogsClipboardAndPointer) {
    voq::test::TempDir temp;
    const std::string start = temp.path().string();
    std::atomic<bool> done{false};
    rt::FileDialogResult folder;
    rt::ColorDialogResult colour;
    std::string clip;
    rt::startThread([&] {
        folder = rt::folderDialog("Verzeichnis für Excel-Exportdatei", start);
        colour = rt::colorDialog("Farbe", rt::rgb(206, 255, 206));
        rt::setClipboard("DRIVER=SQLite3;Database=demo.db");
        clip = rt::clipboard();
        rt::setPointer(rt::Pointer::Busy);
        done = true;
    });
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) dialog = d;
        return dialog != nullptr;
    }));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath().toStdString(),
              QDir(QString::fromStdString(start)).canonicalPath().toStdString());
    static_cast<QDialog*>(dialog)->accept();

    QColorDialog* colours = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QColorDialog*>(top); d && d->isVisible()) colours = d;
        return colours != nullptr;
    }));
    EXPECT_EQ(colours->currentColor(), QColor(206, 255, 206));
    colours->setCurrentColor(QColor(64, 0, 64));
    colours->accept();
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    EXPECT_TRUE(folder.ok);
    EXPECT_EQ(QDir(QString::fromStdString(folder.path)).canonicalPath().toStdString(),
              QDir(QString::fromStdString(start)).canonicalPath().toStdString());
    EXPECT_TRUE(colour.ok);
    EXPECT_EQ(colour.color, rt::rgb(64, 0, 64));
    EXPECT_EQ(clip, "DRIVER=SQLite3;Database=demo.db");
    EXPECT_TRUE(pumpUntil([] { return QApplication::overrideCursor() != nullptr; }));
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    rt::qt::GuiInvoker::post([] { rt::display().setPointer(rt::Pointer::Arrow); });
    EXPECT_TRUE(pumpUntil([] { return QApplication::overrideCursor() == nullptr; }));
}

// A file that is opened or made takes a name that does not exist yet.
TEST_F(QtDisplayTest, AnOpenOrNewFileDialogTakesANewName) {
    voq::test::TempDir temp;
    Log& log = log_;
    rt::startThread([&log] {
        const auto r = rt::openOrNewFileDialog("SQL-Query-Datei", "", "SQL-Query|SQL*.TPS");
        log.note(std::string(r.ok ? "ok " : "cancel ") + r.path);
    });
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) dialog = d;
        return dialog != nullptr;
    }));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    // An open dialog for existing files only would refuse the name with a box of its own.
    ASSERT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    const QString folder = QString::fromStdString(temp.path().string());
    dialog->setDirectory(folder);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(name);
    name->setText("SQLNEU.TPS");                  // as the user types it
    QMetaObject::invokeMethod(dialog, "accept");  // with the dialog's own checks of the name
    ASSERT_TRUE(pumpUntil([&] { return !log.notes().empty(); }));
    EXPECT_EQ(log.notes().back(), "ok " + (folder + "/SQLNEU.TPS").toStdString());
}

}  // namespace
