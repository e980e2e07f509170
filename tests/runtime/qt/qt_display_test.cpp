// The Qt display with real widgets on the offscreen platform: procedures run on program threads,
// the test acts as the user on the widgets and sees what the procedures receive.
#include "tests/runtime/qt/qt_display_fixture.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/qt/fonts.h"
#include "runtime/qt/gui_invoker.h"
#include "runtime/qt/list_model.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"
#include "tests/support/test_support.h"

namespace {

using namespace qttest;

enum {
    ENTRY = 1,
    CHECK,
    OPTION,
    RADIO1,
    RADIO2,
    DROP,
    SPIN,
    LIST,
    TREE,
    FILL,
    ASK,
    BUSY,
    SAVE,
    PROMPT,
    MENU,
    ITEM,
};

// A window with one control of the kinds the user changes.
void formProcedure(Log& log) {
    rt::Window w("QtForm", "Formular");
    w.setPosition(0, 0, 240, 160);
    w.add(PROMPT, rt::ControlKind::Prompt).setText("&Name:").setPosition(4, 6, 30, 10);
    w.add(ENTRY, rt::ControlKind::Entry).setPicture("@s20").setPosition(40, 4, 80, 11).setValue("alt");
    w.add(CHECK, rt::ControlKind::Check).setText("Aktiv").setPosition(4, 20, 60, 10).setValue("0");
    w.add(OPTION, rt::ControlKind::Option).setText("Wahl").setPosition(4, 32, 100, 30).setValue("a");
    w.add(RADIO1, rt::ControlKind::Radio, OPTION).setText("A").setRadioValue("a").setPosition(8, 42, 40, 10);
    w.add(RADIO2, rt::ControlKind::Radio, OPTION).setText("B").setRadioValue("b").setPosition(50, 42, 40, 10);
    w.add(DROP, rt::ControlKind::DropList).setFrom("GRUPPE|AGGREGAT|TREIBER").setPosition(4, 66, 80, 12).setSelected(1);
    w.add(SPIN, rt::ControlKind::Spin).setRange(1, 12).setPosition(90, 66, 30, 12).setValue("3");
    auto list = w.add(LIST, rt::ControlKind::List).setPosition(124, 4, 110, 80);
    list.setColumns({column("ID", 20), column("Name", 80)});
    list.setRows({row({"1", "eins"}), row({"2", "zwei"}), row({"3", "drei"})});
    list.setDragIds({"Feld"}).setDropIds({"Feld"});
    w.add(TREE, rt::ControlKind::Tree)
        .setPosition(4, 86, 110, 60)
        .setRows({row({"Wurzel"}, 1), row({"Ast"}, -2), row({"Blatt"}, 3), row({"Zweig"}, 2)});
    w.add(FILL, rt::ControlKind::Button).setText("&Füllen").setPosition(124, 90, 50, 14);
    w.add(ASK, rt::ControlKind::Button).setText("&Fragen").setPosition(180, 90, 50, 14);
    w.add(BUSY, rt::ControlKind::Button).setText("&Warten").setPosition(124, 108, 50, 14);
    w.add(SAVE, rt::ControlKind::Button).setText("&Sichern").setPosition(180, 108, 50, 14);
    w.alert(rt::keys::F1 + 1);
    w.add(MENU, rt::ControlKind::Menu).setText("&Ansicht");
    w.add(ITEM, rt::ControlKind::Item, MENU)
        .setText("&Raster")
        .setHelp("Raster zeigen")
        .setValue("1")
        .edit()
        .checkItem = true;
    w.setStatusZones({80, 0});
    w[ENTRY].setHelp("Name der Auswertung");
    while (auto e = w.accept()) {
        log.add(e);
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == FILL) {
            std::vector<rt::ListRow> rows;
            for (int i = 1; i <= 5; ++i) rows.push_back(row({std::to_string(i * 10), "neu " + std::to_string(i)}));
            w[LIST].setRows(rows);
            w[ENTRY].setValue("neu");
        } else if (e.control == ASK) {
            const int answer =
                rt::message("Zeile 1|Zeile 2", "Titel", rt::MessageIcon::Question, "&Weiter|&Stop|&Ende");
            log.note("answer " + std::to_string(answer));
        } else if (e.control == BUSY) {
            std::this_thread::sleep_for(1500ms);  // the thread is busy, not in accept()
            log.note("busy done");
        } else if (e.control == SAVE) {
            const auto r = rt::saveFileDialog("Export", "liste.csv", "CSV|*.csv|Alle Dateien|*.*", 2);
            log.note(std::string(r.ok ? "ok " : "cancel ") + r.path + " " + std::to_string(r.filterIndex));
        }
    }
}

TEST_F(QtDisplayTest, UserInputOnTheWidgetsReachesTheProcedureWithItsValue) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(display_->windowWidget(id)->windowTitle(), "Formular");

    auto* entry = widget<QLineEdit>(id, ENTRY);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text(), "alt");
    EXPECT_EQ(entry->maxLength(), 20);
    entry->clear();
    QTest::keyClicks(entry, "Hallo");
    QTest::keyClick(entry, Qt::Key_Return);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Accepted && e.control == ENTRY && e.value == "Hallo";
    }));

    auto* check = widget<QCheckBox>(id, CHECK);
    ASSERT_TRUE(check);
    check->click();
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Accepted && e.control == CHECK && e.value == "1";
    }));

    auto* radio = widget<QRadioButton>(id, RADIO2);
    ASSERT_TRUE(radio);
    EXPECT_TRUE(widget<QRadioButton>(id, RADIO1)->isChecked());
    radio->click();
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Accepted && e.control == OPTION && e.value == "b";
    }));
    EXPECT_FALSE(widget<QRadioButton>(id, RADIO1)->isChecked());
    // The radios' group goes with its box when the window closes.
    QPointer<QButtonGroup> group = widget<QWidget>(id, OPTION)->findChild<QButtonGroup*>();
    ASSERT_TRUE(group);

    auto* drop = widget<QComboBox>(id, DROP);
    ASSERT_TRUE(drop);
    ASSERT_EQ(drop->count(), 3);
    EXPECT_EQ(drop->currentText(), "GRUPPE");
    drop->setCurrentIndex(2);
    emit drop->activated(2);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Accepted && e.control == DROP && e.value == "TREIBER" && e.row == 3;
    }));

    auto* spin = widget<QSpinBox>(id, SPIN);
    ASSERT_TRUE(spin);
    EXPECT_EQ(spin->value(), 3);
    EXPECT_EQ(spin->maximum(), 12);
    spin->stepUp();
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::NewSelection && e.control == SPIN && e.value == "4";
    }));

    auto* list = widget<QTreeView>(id, LIST);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(list->model()->headerData(1, Qt::Horizontal).toString(), "Name");
    list->setCurrentIndex(list->model()->index(1, 0));
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::NewSelection && e.control == LIST && e.row == 2;
    }));
    emit list->header()->sectionClicked(1);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::HeaderPressed && e.control == LIST && e.column == 2;
    }));

    // The user's key of an alerted key comes as AlertKey with the control that had it.
    QTest::keyClick(entry, Qt::Key_F2);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::AlertKey && e.keyCode == rt::keys::F1 + 1 && e.control == ENTRY;
    }));

    // The procedure's new rows and value replace what is shown.
    widget<QPushButton>(id, FILL)->click();
    EXPECT_TRUE(pumpUntil([&] { return list->model()->rowCount() == 5 && entry->text() == "neu"; }));
    EXPECT_EQ(list->model()->index(4, 1).data().toString(), "neu 5");

    // The close box asks the procedure, which ends its loop.
    display_->windowWidget(id)->close();
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) { return e.event == rt::Event::CloseWindow; }));
    EXPECT_TRUE(pumpUntil([&] { return display_->windowWidget(id) == nullptr && rt::runningThreadCount() == 0; }));
    EXPECT_TRUE(pumpUntil([&] { return group.isNull(); }));
}

TEST_F(QtDisplayTest, WorkQueuedForADisplayThatIsGoneDoesNothing) {
    auto gone = std::make_unique<rt::qt::QtDisplay>();
    rt::WindowSnapshot snapshot;
    snapshot.window.id = 987654;
    snapshot.window.procedure = "QtGone";
    snapshot.window.title = "Verschwunden";
    gone->openWindow(snapshot);
    gone.reset();
    QCoreApplication::processEvents();
    for (QWidget* top : QApplication::topLevelWidgets()) EXPECT_NE(top->windowTitle(), "Verschwunden");
}

TEST_F(QtDisplayTest, RowDraggedOntoAnotherRowGivesDragAndDrop) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    auto* list = widget<QTreeView>(id, LIST);
    ASSERT_TRUE(list);
    QWidget* viewport = list->viewport();
    const QPoint first = list->visualRect(list->model()->index(0, 1)).center();
    const QPoint third = list->visualRect(list->model()->index(2, 1)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, third);
    EXPECT_TRUE(waitEvent(
        log, [](const rt::EventInfo& e) { return e.event == rt::Event::Drag && e.control == LIST && e.row == 1; }));
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Drop && e.control == LIST && e.row == 1 && e.dropRow == 3;
    }));
}

TEST_F(QtDisplayTest, AMillionRowListShowsRowsReadFromItsSnapshotAsTheyComeIntoView) {
    constexpr std::size_t Million = 1'000'000;
    static std::atomic<std::size_t> rowsRead{0};
    rowsRead = 0;
    Log& log = log_;
    rt::startThread([&log] {
        rt::Window w("QtMillion", "Million");
        w.setPosition(0, 0, 200, 120);
        auto list = w.add(LIST, rt::ControlKind::List).setPosition(4, 4, 190, 100);
        list.setColumns({column("Nr", 40), column("Text", 120)});
        auto snapshot = [](std::string suffix) {
            return rt::makeVirtualRows(Million, [suffix](std::size_t first, std::size_t count) {
                rowsRead += count;
                std::vector<rt::ListRow> out;
                for (std::size_t i = first; i < first + count; ++i)
                    out.push_back(row({std::to_string(i + 1), "Zeile " + std::to_string(i + 1) + suffix}));
                return out;
            });
        };
        list.setVirtualRows(snapshot(""));
        w.add(FILL, rt::ControlKind::Button).setText("&Neu").setPosition(4, 106, 40, 12);
        while (auto e = w.accept()) {
            log.add(e);
            if (e.event == rt::Event::Accepted && e.control == FILL) w[LIST].setVirtualRows(snapshot(" neu"));
        }
    });
    const rt::WindowId id = waitWindow("QtMillion");
    ASSERT_NE(id, 0u);
    auto* list = widget<QTreeView>(id, LIST);
    ASSERT_TRUE(list);
    ASSERT_TRUE(pumpUntil([&] { return list->model()->rowCount() == int(Million); }));
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "Zeile 1");
    EXPECT_LT(rowsRead.load(), 4 * std::size_t(rt::qt::RowsModel::BlockRows)) << "only what is shown is read";

    list->scrollToBottom();
    QCoreApplication::processEvents();
    const QModelIndex last = list->indexAt(QPoint(2, list->viewport()->height() - 2));
    ASSERT_TRUE(last.isValid());
    EXPECT_GT(last.row(), int(Million) - 50);
    EXPECT_EQ(list->model()->index(int(Million) - 1, 1).data().toString(), "Zeile 1000000");
    EXPECT_LT(rowsRead.load(), 8 * std::size_t(rt::qt::RowsModel::BlockRows));

    list->setCurrentIndex(list->model()->index(int(Million) - 3, 0));
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::NewSelection && e.control == LIST && e.row == 999'998;
    }));

    // A new snapshot of as many rows replaces the texts; the view stays where it was.
    const int scroll = list->verticalScrollBar()->value();
    widget<QPushButton>(id, FILL)->click();
    EXPECT_TRUE(
        pumpUntil([&] { return list->model()->index(int(Million) - 1, 1).data().toString() == "Zeile 1000000 neu"; }));
    EXPECT_EQ(list->verticalScrollBar()->value(), scroll);
}

TEST_F(QtDisplayTest, RowsOfAListWithoutDragAndDropIdsAreNotDragged) {
    Log& log = log_;
    rt::startThread([&log] {
        rt::Window w("QtNoDrag", "Ohne Ziehen");
        w.setPosition(0, 0, 200, 100);
        w.add(LIST, rt::ControlKind::List)
            .setPosition(4, 4, 90, 90)
            .setRows({row({"eins"}), row({"zwei"}), row({"drei"})});
        w.add(TREE, rt::ControlKind::List)
            .setPosition(100, 4, 90, 90)
            .setRows({row({"eins"}), row({"zwei"}), row({"drei"})})
            .setDragIds({"Feld"})
            .setDropIds({"Gruppe"});
        w.add(FILL, rt::ControlKind::Button).setText("&Fertig").setPosition(4, 96, 40, 12);
        while (auto e = w.accept()) log.add(e);
    });
    const rt::WindowId id = waitWindow("QtNoDrag");
    ASSERT_NE(id, 0u);
    for (int control : {int(LIST), int(TREE)}) {
        auto* list = widget<QTreeView>(id, control);
        ASSERT_TRUE(list);
        const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
        const QPoint third = list->visualRect(list->model()->index(2, 0)).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, first);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, third);
    }
    // The button's event comes after whatever the lists sent.
    widget<QPushButton>(id, FILL)->click();
    ASSERT_TRUE(
        waitEvent(log, [](const rt::EventInfo& e) { return e.event == rt::Event::Accepted && e.control == FILL; }));
    EXPECT_FALSE(
        log.has([](const rt::EventInfo& e) { return e.event == rt::Event::Drag || e.event == rt::Event::Drop; }));
}

TEST_F(QtDisplayTest, HelpLinesGoToStatusZoneOneAndCheckItemsGiveTheirValue) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    auto* main = qobject_cast<QMainWindow*>(display_->windowWidget(id));
    ASSERT_TRUE(main);
    QList<QLabel*> zones = main->statusBar()->findChildren<QLabel*>();
    ASSERT_EQ(zones.size(), 2);
    QStatusTipEvent tip(QStringLiteral("Name der Auswertung"));
    QCoreApplication::sendEvent(widget<QLineEdit>(id, ENTRY), &tip);
    EXPECT_EQ(zones[0]->text(), "Name der Auswertung");
    EXPECT_TRUE(zones[1]->isVisible());

    QAction* item = nullptr;
    for (QAction* menu : main->menuBar()->actions())
        if (menu->menu())
            for (QAction* a : menu->menu()->actions())
                if (a->text() == "&Raster") item = a;
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_TRUE(item->isChecked());
    // The menu opened from the menu bar, the mouse over the item.
    QMenu* menu = qobject_cast<QMenu*>(item->parent());
    ASSERT_TRUE(menu);
    main->menuBar()->setActiveAction(menu->menuAction());
    ASSERT_TRUE(pumpUntil([&] { return menu->isVisible(); }));
    QTest::mouseMove(menu, menu->actionGeometry(item).center());
    EXPECT_TRUE(pumpUntil([&] { return zones[0]->text() == "Raster zeigen"; })) << zones[0]->text().toStdString();
    menu->hide();
    item->trigger();
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Accepted && e.control == ITEM && e.value == "0";
    }));
}

TEST_F(QtDisplayTest, TreeShowsLevelsAndReportsExpandAndContract) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    auto* tree = widget<QTreeView>(id, TREE);
    ASSERT_TRUE(tree);
    QAbstractItemModel* model = tree->model();
    ASSERT_EQ(model->rowCount(), 1);  // "Wurzel" holds the others
    const QModelIndex root = model->index(0, 0);
    ASSERT_EQ(model->rowCount(root), 2);
    const QModelIndex branch = model->index(0, 0, root);
    EXPECT_EQ(branch.data().toString(), "Ast");
    EXPECT_EQ(model->index(0, 0, branch).data().toString(), "Blatt");
    EXPECT_TRUE(tree->isExpanded(root));
    EXPECT_FALSE(tree->isExpanded(branch));  // published contracted

    tree->expand(branch);
    EXPECT_TRUE(waitEvent(
        log, [](const rt::EventInfo& e) { return e.event == rt::Event::Expanded && e.control == TREE && e.row == 2; }));
    tree->collapse(root);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Contracted && e.control == TREE && e.row == 1;
    }));
}

TEST_F(QtDisplayTest, MessageBoxShowsLinesAndButtonsAndBlocksOnlyItsThread) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    widget<QPushButton>(id, ASK)->click();

    QMessageBox* box = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(top); b && b->isVisible()) box = b;
        return box != nullptr;
    }));
    EXPECT_EQ(box->text(), "Zeile 1\nZeile 2");
    EXPECT_EQ(box->windowTitle(), "Titel");
    QStringList texts;
    QAbstractButton* stop = nullptr;
    for (QAbstractButton* b : box->buttons()) {
        texts << b->text();
        if (b->text() == "&Stop") stop = b;
    }
    EXPECT_EQ(texts.size(), 3);
    EXPECT_TRUE(texts.contains("&Weiter") && texts.contains("&Ende"));
    // While the box waits, the thread's window takes no input; the GUI goes on.
    QTest::mouseClick(widget<QPushButton>(id, FILL), Qt::LeftButton);
    QTest::keyClick(widget<QLineEdit>(id, ENTRY), Qt::Key_F2);
    pumpUntil([] { return false; }, 100ms);
    EXPECT_FALSE(log.has([](const rt::EventInfo& e) { return e.control == FILL || e.event == rt::Event::AlertKey; }));
    ASSERT_TRUE(stop);
    stop->click();
    EXPECT_TRUE(pumpUntil([&] {
        const auto notes = log.notes();
        return !notes.empty() && notes.back() == "answer 2";
    }));
    QTest::mouseClick(widget<QPushButton>(id, FILL), Qt::LeftButton);
    EXPECT_TRUE(
        waitEvent(log, [](const rt::EventInfo& e) { return e.event == rt::Event::Accepted && e.control == FILL; }));
}

TEST_F(QtDisplayTest, WindowOfABusyThreadStaysPainted) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    widget<QPushButton>(id, BUSY)->click();
    // The procedure sleeps; the GUI thread keeps answering at once and the window still paints.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const QPixmap picture = display_->windowWidget(id)->grab();
        EXPECT_FALSE(picture.isNull());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_TRUE(log.notes().empty());
    EXPECT_TRUE(pumpUntil([&] { return !log.notes().empty(); }, 10s));
}

TEST_F(QtDisplayTest, FileDialogAnswersPathAndFilterAndLeavesTheWorkingFolder) {
    voq::test::TempDir temp;
    const QString before = QDir::currentPath();
    QDir(QString::fromStdString(temp.path().string())).mkpath("export");
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    widget<QPushButton>(id, SAVE)->click();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) dialog = d;
        return dialog != nullptr;
    }));
    EXPECT_EQ(dialog->windowTitle(), "Export");
    EXPECT_EQ(dialog->nameFilters().size(), 2);
    EXPECT_EQ(dialog->selectedNameFilter(), "Alle Dateien (*.*)");
    const QString folder = QString::fromStdString(temp.path().string()) + "/export";
    dialog->setDirectory(folder);
    dialog->selectFile(folder + "/liste.csv");
    static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    ASSERT_TRUE(pumpUntil([&] { return !log.notes().empty(); }));
    EXPECT_EQ(log.notes().back(), "ok " + (folder + "/liste.csv").toStdString() + " 2");
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST_F(QtDisplayTest, PromptsDismissedAtTheEndLetTheirThreadsGoOn) {
    std::atomic<int> answer{-1};
    std::atomic<bool> fileOk{true};
    rt::startThread([&] {
        answer = rt::message("Wirklich beenden?", "Frage", rt::MessageIcon::Question, rt::button::Yes | rt::button::No);
        fileOk = rt::openFileDialog("Laden", "", "Alle|*.*").ok;
    });
    ASSERT_TRUE(pumpUntil([] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(top) && top->isVisible()) return true;
        return false;
    }));
    display_->dismissPrompts();
    EXPECT_TRUE(pumpUntil([&] { return answer.load() != -1; }));
    EXPECT_NE(answer.load(), rt::button::Yes);
    ASSERT_TRUE(pumpUntil([] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<QFileDialog*>(top) && top->isVisible()) return true;
        return false;
    }));
    display_->dismissPrompts();
    EXPECT_TRUE(pumpUntil([] { return rt::runningThreadCount() == 0; }));
    EXPECT_FALSE(fileOk.load());
}

TEST_F(QtDisplayTest, ControlsMadeAtRunTimeTabsAndGroupsShowAsTheProcedureSays) {
    enum { SHEET = 1, TAB1, TAB2, ON_TAB2, GROUP, IN_GROUP, ADD, REMOVE, OFF };
    std::atomic<int> made{0};
    Log& log = log_;
    rt::startThread([&made, &log] {
        rt::Window w("QtDynamic", "Dynamisch");
        w.setPosition(0, 0, 200, 120);
        w.add(SHEET, rt::ControlKind::Sheet).setPosition(4, 4, 100, 60);
        w.add(TAB1, rt::ControlKind::Tab, SHEET).setText("&Eins");
        w.add(TAB2, rt::ControlKind::Tab, SHEET).setText("&Zwei");
        w.add(ON_TAB2, rt::ControlKind::Entry, TAB2).setPosition(10, 24, 60, 11);
        w.add(GROUP, rt::ControlKind::Group).setText("Gruppe").setPosition(110, 4, 80, 40);
        w.add(IN_GROUP, rt::ControlKind::Button, GROUP).setText("Innen").setPosition(116, 16, 50, 14);
        w.add(ADD, rt::ControlKind::Button).setText("Neu").setPosition(4, 70, 40, 14);
        w.add(REMOVE, rt::ControlKind::Button).setText("Weg").setPosition(50, 70, 40, 14);
        w.add(OFF, rt::ControlKind::Button).setText("Aus").setPosition(96, 70, 40, 14);
        while (auto e = w.accept()) {
            if (e.control == SHEET) log.note(std::string(rt::eventName(e.event)) + " " + std::to_string(e.row));
            if (e.event != rt::Event::Accepted) continue;
            if (e.control == ADD) {
                const int id = w.create(rt::ControlKind::Button);
                w[id].setText("Laufzeit").setPosition(140, 70, 50, 14);
                made = id;
            } else if (e.control == REMOVE && made) {
                w.destroy(made);
            } else if (e.control == OFF) {
                w[GROUP].disable();
                w[SHEET].setSelected(2);
            }
        }
    });
    const rt::WindowId id = waitWindow("QtDynamic");
    ASSERT_NE(id, 0u);
    QWidget* onTab2 = display_->controlWidget(id, ON_TAB2);
    ASSERT_TRUE(onTab2);
    EXPECT_FALSE(onTab2->isVisible());  // its tab is not the current one
    auto* sheet = widget<QTabWidget>(id, SHEET);
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->count(), 2);
    EXPECT_EQ(sheet->tabText(1), "&Zwei");
    sheet->setCurrentIndex(1);  // as the user does: the procedure hears of the page left first
    EXPECT_TRUE(onTab2->isVisible());
    sheet->setCurrentIndex(0);
    EXPECT_TRUE(pumpUntil([&] { return log.notes().size() >= 4; }));
    EXPECT_EQ(log.notes(),
              (std::vector<std::string>{"TabChanging 1", "NewSelection 2", "TabChanging 2", "NewSelection 1"}));

    widget<QPushButton>(id, ADD)->click();
    ASSERT_TRUE(pumpUntil([&] { return made.load() && display_->controlWidget(id, made.load()); }));
    QPointer<QWidget> runTime = display_->controlWidget(id, made.load());
    EXPECT_EQ(qobject_cast<QPushButton*>(runTime.data())->text(), "Laufzeit");
    widget<QPushButton>(id, REMOVE)->click();
    EXPECT_TRUE(pumpUntil([&] { return display_->controlWidget(id, made.load()) == nullptr && runTime.isNull(); }));

    // A disabled group disables what stands in it; the procedure's tab choice shows its page.
    widget<QPushButton>(id, OFF)->click();
    EXPECT_TRUE(pumpUntil([&] { return !display_->controlWidget(id, IN_GROUP)->isEnabled(); }));
    EXPECT_TRUE(pumpUntil([&] { return sheet->currentIndex() == 1 && onTab2->isVisible(); }));
    EXPECT_EQ(log.notes().size(), 4u);  // the procedure's own choice is not reported back
}

class NoMembers : public rt::AutomationObject {
public:
    rt::AutoValue get(std::string_view, const std::vector<rt::AutoValue>&) override { return {}; }
    void set(std::string_view, const rt::AutoValue&, const std::vector<rt::AutoValue>&) override {}
    rt::AutoValue call(std::string_view, const std::vector<rt::AutoValue>&) override { return {}; }
};

TEST_F(QtDisplayTest, HostedControlShowsTheViewRegisteredForItsProgId) {
    rt::registerControlFactory("Test.Hosted.1", [] { return std::make_shared<NoMembers>(); });
    std::atomic<bool> viewGotObject{false};
    rt::qt::registerOleView("TEST.HOSTED.1", [&](std::shared_ptr<rt::AutomationObject> object, QWidget* parent) {
        viewGotObject = object != nullptr;
        return new QLabel(QStringLiteral("hosted view"), parent);
    });
    rt::startThread([] {
        rt::Window w("QtOle", "Ole");
        w.setPosition(0, 0, 150, 80);
        auto ole = w.add(1, rt::ControlKind::Ole).setPosition(4, 4, 140, 60);
        ole.createObject("Test.Hosted.1");
        w.add(2, rt::ControlKind::Ole).setPosition(4, 66, 140, 10).edit().progId = "Nobody.Knows.1";
        while (w.accept()) {
        }
    });
    const rt::WindowId id = waitWindow("QtOle");
    ASSERT_NE(id, 0u);
    auto* view = widget<QLabel>(id, 1);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->text(), "hosted view");
    EXPECT_TRUE(viewGotObject.load());
    auto* placeholder = widget<QLabel>(id, 2);
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->text(), "Nobody.Knows.1");
    rt::unregisterControlFactory("Test.Hosted.1");
}

TEST_F(QtDisplayTest, DialogUnitsGiveWindowAndControlSizesInPixels) {
    Log& log = log_;
    rt::startThread([&log] { formProcedure(log); });
    const rt::WindowId id = waitWindow("QtForm");
    ASSERT_NE(id, 0u);
    const rt::qt::FontUnits units(rt::qt::defaultWindowFont());
    auto* main = qobject_cast<QMainWindow*>(display_->windowWidget(id));
    ASSERT_TRUE(main);
    EXPECT_EQ(main->centralWidget()->size(), QSize(units.x(240), units.y(160)));
    QWidget* entry = display_->controlWidget(id, ENTRY);
    EXPECT_EQ(entry->geometry(), QRect(units.x(40), units.y(4), units.x(80), units.y(11)));
    const rt::DialogUnits published = display_->dialogUnits();
    EXPECT_NEAR(published.pixelsX * 4, units.baseX(), 1e-9);
    EXPECT_NEAR(published.pixelsY * 8, units.baseY(), 1e-9);
}

TEST_F(QtDisplayTest, EntriesTakeTheirLengthAndAlignmentFromThePicture) {
    const struct {
        const char* picture;
        int maxLength;
        Qt::Alignment alignment;
    } cases[] = {{"@s12", 12, Qt::AlignLeft},
                 {"S5", 5, Qt::AlignLeft},
                 {"@n-10.2", 32767, Qt::AlignRight},
                 {"@d17", 32767, Qt::AlignLeft},
                 {"", 32767, Qt::AlignLeft}};
    rt::startThread([cases] {
        rt::Window w("QtPictures", "Bilder");
        w.setPosition(0, 0, 120, 80);
        int control = 0;
        for (const auto& c : cases) {
            ++control;
            w.add(control, rt::ControlKind::Entry).setPicture(c.picture).setPosition(4, control * 12, 80, 10);
        }
        while (w.accept()) {
        }
    });
    const rt::WindowId id = waitWindow("QtPictures");
    ASSERT_NE(id, 0u);
    int control = 0;
    for (const auto& c : cases) {
        auto* entry = widget<QLineEdit>(id, ++control);
        ASSERT_TRUE(entry) << c.picture;
        EXPECT_EQ(entry->maxLength(), c.maxLength) << c.picture;
        EXPECT_EQ(entry->alignment() & Qt::AlignHorizontal_Mask, c.alignment) << c.picture;
    }
}

TEST_F(QtDisplayTest, ButtonsGrowByWhatTheirTextNeedsOnly) {
    rt::startThread([] {
        rt::Window w("QtButtonWidths", "Knöpfe");
        w.setPosition(0, 0, 200, 40);
        w.add(1, rt::ControlKind::Button).setText("...").setPosition(4, 4, 12, 12);
        w.add(2, rt::ControlKind::Check).setText("Excel starten").setPosition(18, 4, 56, 10);
        w.add(3, rt::ControlKind::Button).setText("Verzeichnis wählen").setPosition(4, 20, 20, 14);
        while (w.accept()) {
        }
    });
    const rt::WindowId id = waitWindow("QtButtonWidths");
    ASSERT_NE(id, 0u);
    auto* narrow = widget<QPushButton>(id, 1);
    auto* check = widget<QCheckBox>(id, 2);
    auto* wide = widget<QPushButton>(id, 3);
    ASSERT_TRUE(narrow && check && wide);
    // The narrow button keeps its place beside the check box; the long text is shown whole.
    EXPECT_LE(narrow->geometry().right(), check->geometry().left());
    EXPECT_GE(wide->width(), wide->fontMetrics().horizontalAdvance("Verzeichnis wählen"));
}

TEST_F(QtDisplayTest, ImagesShowAtTheirOwnOrTheShownSize) {
    voq::test::TempDir temp;
    const std::string png = temp.file("logo.png");
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(QString::fromStdString(png)));
    const std::string svg = temp.file("page1.svg");
    {
        QFile file(QString::fromStdString(svg));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "<svg xmlns='http://www.w3.org/2000/svg' width='210' height='297'>"
            "<rect x='10' y='10' width='190' height='277' fill='white' stroke='black'/></svg>");
    }
    std::atomic<bool> loaded{false};
    rt::startThread([&] {
        rt::Window w("QtImages", "Bilder");
        w.setPosition(0, 0, 200, 200);
        auto logo = w.add(1, rt::ControlKind::Image).setPosition(4, 4, 0, 0);
        auto page = w.add(2, rt::ControlKind::Image).setPosition(60, 4, 100, 150);
        loaded = logo.loadImage(png) && page.loadImage(svg);
        page.edit().virtualWidth = 105;
        page.edit().virtualHeight = 148;
        while (w.accept()) {
        }
    });
    const rt::WindowId id = waitWindow("QtImages");
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(loaded.load());
    auto* logo = widget<QLabel>(id, 1);
    auto* page = widget<QLabel>(id, 2);
    ASSERT_TRUE(logo && page);
    EXPECT_EQ(logo->pixmap().size(), QSize(40, 20));
    EXPECT_EQ(logo->size(), QSize(40, 20));  // a picture without a size keeps its own
    const rt::qt::FontUnits units(rt::qt::defaultWindowFont());
    EXPECT_EQ(page->pixmap().size(), QSize(units.x(105), units.y(148)));
}

TEST_F(QtDisplayTest, AScrollingAreaCarriesItsControlsAndReportsTheUsersScrolling) {
    enum { AREA = 1, FAR, TO_START };
    rt::startThread([this] {
        rt::Window w("QtArea", "Fläche");
        w.setPosition(0, 0, 200, 120);
        auto area = w.add(AREA, rt::ControlKind::Panel).setPosition(4, 4, 150, 60);
        area.edit().hscroll = true;
        area.edit().virtualWidth = 600;
        w.add(FAR, rt::ControlKind::Entry, AREA).setPosition(520, 4, 60, 11).setValue("alt");
        w.add(TO_START, rt::ControlKind::Button).setText("Anfang").setPosition(4, 80, 50, 14);
        while (auto e = w.accept()) {
            if (e.control == AREA && e.event == rt::Event::NewSelection) log_.add(e);
            if (e.control == TO_START && e.event == rt::Event::Accepted) {
                w[AREA].edit().scrollX = 0;
                // Made again under the same equate: a new control, not the old one's value.
                w.destroy(FAR);
                w.add(FAR, rt::ControlKind::Entry, AREA).setPosition(520, 4, 60, 11).setValue("neu");
            }
        }
    });
    const rt::WindowId id = waitWindow("QtArea");
    ASSERT_NE(id, 0u);
    auto* area = widget<QScrollArea>(id, AREA);
    ASSERT_TRUE(area);
    const rt::qt::FontUnits units(rt::qt::defaultWindowFont());
    // The control stands on the area's content, from its origin, beyond what the area shows.
    QWidget* far = display_->controlWidget(id, FAR);
    ASSERT_TRUE(far);
    EXPECT_EQ(far->parentWidget(), area->widget());
    EXPECT_EQ(far->pos(), QPoint(units.x(520), units.y(4)));
    EXPECT_EQ(area->widget()->width(), units.x(600));
    QScrollBar* bar = area->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());  // as the user does
    EXPECT_TRUE(waitEvent(log_, [&](const rt::EventInfo& e) { return e.x == units.toX(bar->maximum()) && e.y == 0; }));
    widget<QPushButton>(id, TO_START)->click();
    EXPECT_TRUE(pumpUntil([&] { return bar->value() == 0; }));
    EXPECT_TRUE(pumpUntil([&] {
        auto* edit = widget<QLineEdit>(id, FAR);
        return edit && edit->text() == "neu";
    }));
}

TEST_F(QtDisplayTest, TheEditMenuCutsAndPastesWhereTheUserSelected) {
    enum { NAME = 1, SCRIPT, EDIT, CUT, PASTE };
    rt::startThread([this] {
        rt::Window w("QtEdit", "Bearbeiten");
        w.setPosition(0, 0, 200, 120);
        w.add(NAME, rt::ControlKind::Entry).setPosition(4, 4, 120, 11).setValue("Grüße aus Köln");
        w.add(SCRIPT, rt::ControlKind::Text).setPosition(4, 20, 150, 60).setValue("SELECT 𝄞 a FROM t");
        w.add(EDIT, rt::ControlKind::Menu).setText("&Edit");
        w.add(CUT, rt::ControlKind::Item, EDIT).setText("Cu&t");
        w.add(PASTE, rt::ControlKind::Item, EDIT).setText("&Paste");
        while (auto e = w.accept()) {
            if (e.event != rt::Event::Accepted || e.control < CUT) continue;
            rt::editFocused(w, e.control == CUT ? rt::EditCommand::Cut : rt::EditCommand::Paste);
            log_.add(e);
        }
    });
    const rt::WindowId id = waitWindow("QtEdit");
    auto* main = qobject_cast<QMainWindow*>(display_->windowWidget(id));
    auto* name = widget<QLineEdit>(id, NAME);
    auto* script = widget<QPlainTextEdit>(id, SCRIPT);
    ASSERT_TRUE(main && name && script);
    QAction* cut = nullptr;
    QAction* paste = nullptr;
    for (QAction* menu : main->menuBar()->actions())
        if (menu->menu())
            for (QAction* a : menu->menu()->actions()) (a->text() == "Cu&t" ? cut : paste) = a;
    ASSERT_TRUE(cut && paste);
    main->activateWindow();

    // "aus " selected backwards and cut: the rest stays, the cursor where the word was.
    name->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == name; }));
    name->setSelection(10, -4);
    cut->trigger();
    ASSERT_TRUE(pumpUntil([&] { return name->text() == "Grüße Köln"; })) << name->text().toStdString();
    EXPECT_EQ(name->cursorPosition(), 6);
    EXPECT_FALSE(name->hasSelectedText());
    EXPECT_EQ(QApplication::clipboard()->text(), "aus ");

    // Pasted at the cursor behind a character of two UTF-16 units.
    script->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == script; }));
    QTextCursor at = script->textCursor();
    at.setPosition(10);
    script->setTextCursor(at);
    paste->trigger();
    ASSERT_TRUE(pumpUntil([&] { return script->toPlainText() == "SELECT 𝄞 aus a FROM t"; }))
        << script->toPlainText().toStdString();
    EXPECT_EQ(script->textCursor().position(), 14);
}

TEST_F(QtDisplayTest, PopupMenuAnswersThePositionAmongItems) {
    std::atomic<int> answer{-1};
    rt::startThread([&answer] {
        rt::Window w("QtPopup", "Popup");
        w.setPosition(0, 0, 100, 50);
        w.open();
        answer = rt::popup("&Neu|&Ändern|-|List &Formats");
        w.close();
    });
    QMenu* menu = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(top); m && m->isVisible()) menu = m;
        return menu != nullptr;
    }));
    QList<QAction*> items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) items << a;
    ASSERT_EQ(items.size(), 3);
    items[2]->trigger();
    menu->hide();
    EXPECT_TRUE(pumpUntil([&] { return answer.load() == 3; }));
}

// A list that the procedure leaves without a selection reports no row when it gets the focus;
// a row the user clicks is reported.
TEST_F(QtDisplayTest, AListGivenTheFocusWithoutSelectionReportsNoRow) {
    Log& log = log_;
    rt::startThread([&log] {
        rt::Window w("QtNoRow", "Ohne Zeile");
        w.setPosition(0, 0, 200, 100);
        w.add(ENTRY, rt::ControlKind::Entry).setPicture("@s20").setPosition(100, 4, 80, 11);
        w.add(LIST, rt::ControlKind::List)
            .setPosition(4, 4, 90, 90)
            .setRows({row({"eins"}), row({"zwei"}), row({"drei"})})
            .setSelected(0);
        w.add(FILL, rt::ControlKind::Button).setText("&Fertig").setPosition(100, 40, 40, 12);
        w.select(LIST);
        while (auto e = w.accept()) log.add(e);
    });
    const rt::WindowId id = waitWindow("QtNoRow");
    ASSERT_NE(id, 0u);
    auto* list = widget<QTreeView>(id, LIST);
    ASSERT_TRUE(list);
    list->window()->activateWindow();
    widget<QLineEdit>(id, ENTRY)->setFocus(Qt::TabFocusReason);
    list->setFocus(Qt::TabFocusReason);
    pumpUntil([&] { return list->hasFocus(); }, 2s);
    widget<QPushButton>(id, FILL)->click();
    ASSERT_TRUE(
        waitEvent(log, [](const rt::EventInfo& e) { return e.event == rt::Event::Accepted && e.control == FILL; }));
    EXPECT_FALSE(
        log.has([](const rt::EventInfo& e) { return e.event == rt::Event::NewSelection && e.control == LIST; }));

    const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::NewSelection && e.control == LIST && e.row == 2;
    }));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::NewSelection && e.control == LIST && e.row == 3;
    }));
}

}  // namespace
