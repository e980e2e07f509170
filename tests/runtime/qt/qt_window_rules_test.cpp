// The rules every window of the Qt display keeps: who owns a window on the screen, which widget
// a key belongs to, and that what the user typed reaches the procedure before anything acts.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <atomic>
#include <gtest/gtest.h>

#include "runtime/ui/dialogs.h"
#include "tests/runtime/qt/qt_display_fixture.h"

namespace {

using namespace qttest;

enum { ENTRY = 1, DROP, OK, CANCEL, SHEET, TAB1, TAB2, SPIN, TEXT, OTHER, ASK, LIST, TREE, EMPTY, COMBO };

// A form with a drop list, a default OK and a cancel button.
void keysProcedure(Log& log) {
    rt::Window w("QtKeys", "Tasten");
    w.setPosition(0, 0, 200, 80);
    w.add(ENTRY, rt::ControlKind::Entry).setPosition(4, 4, 80, 11);
    w.add(DROP, rt::ControlKind::DropList).setFrom("Alle|Shop|Filiale").setPosition(4, 20, 80, 12).setSelected(1);
    w.add(OK, rt::ControlKind::Button).setText("&OK").setPosition(100, 4, 40, 14).edit().defaultButton = true;
    w.add(CANCEL, rt::ControlKind::Button).setText("&Abbrechen").setPosition(100, 20, 40, 14).edit().cancelButton =
        true;
    while (auto e = w.accept()) log.add(e);
    log.note("closed");
}

bool actsOnTheForm(const rt::EventInfo& e) {
    return e.event == rt::Event::CloseWindow ||
           (e.event == rt::Event::Accepted && (e.control == OK || e.control == CANCEL));
}

TEST_F(QtDisplayTest, EnterAndEscBelongToTheOpenListMenuOrDialogThatHasThem) {
    Log& log = log_;
    rt::startThread([&log] { keysProcedure(log); });
    const rt::WindowId id = waitWindow("QtKeys");
    ASSERT_NE(id, 0u);
    auto* drop = widget<QComboBox>(id, DROP);
    ASSERT_TRUE(drop);

    // In the open list Down and Enter choose the row, nothing more.
    drop->showPopup();
    ASSERT_TRUE(pumpUntil([&] { return drop->view()->isVisible(); }));
    QTest::keyClick(drop->view(), Qt::Key_Down);
    QTest::keyClick(drop->view(), Qt::Key_Return);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Accepted && e.control == DROP && e.value == "Shop";
    }));
    // Esc closes the list only.
    drop->showPopup();
    ASSERT_TRUE(pumpUntil([&] { return drop->view()->isVisible(); }));
    QTest::keyClick(drop->view(), Qt::Key_Escape);
    EXPECT_TRUE(pumpUntil([&] { return !drop->view()->isVisible(); }));

    // A popup menu and a dialog of one of the window's widgets take their own Esc.
    QWidget* button = widget<QPushButton>(id, OK);
    auto* menu = new QMenu(button);
    menu->addAction("Filter…");
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    ASSERT_TRUE(pumpUntil([&] { return menu->isVisible(); }));
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_TRUE(pumpUntil([&] { return !menu->isVisible(); }));
    auto* dialog = new QDialog(button);
    dialog->show();
    ASSERT_TRUE(pumpUntil([&] { return dialog->isVisible(); }));
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(pumpUntil([&] { return !dialog->isVisible(); }));

    pumpUntil([] { return false; }, 200ms);
    EXPECT_FALSE(log.has(actsOnTheForm));
    EXPECT_TRUE(display_->windowWidget(id));
    EXPECT_TRUE(log.notes().empty());
}

TEST_F(QtDisplayTest, AWindowClosedWhileAMenuOfItsWidgetIsOpenGoesOnlyOnceTheMenuHasReturned) {
    Log& log = log_;
    rt::startThread([&log] { keysProcedure(log); });
    const rt::WindowId id = waitWindow("QtKeys");
    ASSERT_NE(id, 0u);
    QPointer<QWidget> button = widget<QPushButton>(id, OK);
    ASSERT_TRUE(button);
    std::atomic<bool> returned{false};
    bool buttonAfterMenu = false;
    // As a button's own menu does: its code waits in the menu's loop, the procedure closes the
    // window meanwhile.
    QTimer::singleShot(0, button, [&, id] {
        auto* menu = new QMenu(button);
        menu->addAction("Zusammenklappen");
        QTimer::singleShot(50, [id] { rt::post(rt::Event::CloseDown, 0, id); });
        menu->exec(button->mapToGlobal(QPoint(0, 0)));
        buttonAfterMenu = !button.isNull();
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    EXPECT_TRUE(buttonAfterMenu);
    EXPECT_TRUE(pumpUntil([&] { return button.isNull() && display_->windowWidget(id) == nullptr; }));
}

// A frame whose "open" starts a list of its own on the screen; the list opens a form and a
// child of the frame on its thread.
void ownersProcedure() {
    rt::Window f("QtOwnerFrame", "Rahmen");
    f.setFrame(true);
    while (auto e = f.accept()) {
        if (e.event != rt::Event::OpenWindow) continue;
        rt::startThread([] {
            rt::Window list("QtOwnList", "Liste");
            list.setPosition(0, 0, 120, 60);
            list.add(OK, rt::ControlKind::Button).setText("&Ändern").setPosition(4, 4, 50, 14);
            list.add(OTHER, rt::ControlKind::Button).setText("&Anzeigen").setPosition(4, 20, 50, 14);
            while (auto e = list.accept()) {
                if (e.event != rt::Event::Accepted) continue;
                rt::Window called(e.control == OK ? "QtOwnForm" : "QtOwnChild", "Aufgerufen");
                called.setPosition(0, 0, 100, 40).setMdiChild(e.control == OTHER);
                while (called.accept()) {
                }
            }
        });
    }
}

TEST_F(QtDisplayTest, EveryWindowOnTheScreenIsTransientForItsCallerAndStandsInFrontOfIt) {
    rt::startThread([] { ownersProcedure(); });
    const rt::WindowId listId = waitWindow("QtOwnList");
    ASSERT_NE(listId, 0u);
    QWidget* frame = display_->frameWidget();
    QWidget* list = display_->windowWidget(listId);
    ASSERT_TRUE(frame && list);
    // Only a dialog's type carries its owner to the window manager.
    EXPECT_EQ(list->windowType(), Qt::Dialog);
    ASSERT_TRUE(list->windowHandle());
    EXPECT_EQ(list->windowHandle()->transientParent(), frame->windowHandle());
    EXPECT_TRUE(list->windowFlags() & Qt::WindowMinMaxButtonsHint);

    for (int button : {OK, OTHER}) {
        widget<QPushButton>(listId, button)->click();
        const rt::WindowId calledId = waitWindow(button == OK ? "QtOwnForm" : "QtOwnChild");
        ASSERT_NE(calledId, 0u);
        QWidget* called = display_->windowWidget(calledId);
        // A child of the frame called from a window of its own stands before it, not in the
        // frame behind it.
        EXPECT_FALSE(qobject_cast<QMdiSubWindow*>(called));
        EXPECT_EQ(called->windowType(), Qt::Dialog);
        ASSERT_TRUE(called->windowHandle());
        EXPECT_EQ(called->windowHandle()->transientParent(), list->windowHandle());
        called->close();
        EXPECT_TRUE(pumpUntil([&] { return display_->windowWidget(calledId) == nullptr; }));
    }
}

std::vector<QMessageBox*> visibleBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(top); b && b->isVisible()) boxes.push_back(b);
    return boxes;
}

void askingProcedure(Log& log, const std::string& name) {
    rt::Window w(name, name);
    w.setPosition(40, 30, 160, 60);
    w.add(ASK, rt::ControlKind::Button).setText("&Löschen").setPosition(4, 4, 50, 14);
    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        const int answer = rt::message("Datensatz löschen?", "Datensatz löschen", rt::MessageIcon::Question,
                                       rt::button::Yes | rt::button::No);
        log.note(name + " " + std::to_string(answer));
    }
}

TEST_F(QtDisplayTest, EscGivesAMessageBoxItsCancelAnswerAndASecondBoxStandsOffTheFirst) {
    Log& log = log_;
    rt::startThread([&log] { askingProcedure(log, "QtAskOne"); });
    rt::startThread([&log] { askingProcedure(log, "QtAskTwo"); });
    const rt::WindowId one = waitWindow("QtAskOne");
    const rt::WindowId two = waitWindow("QtAskTwo");
    ASSERT_TRUE(one && two);
    widget<QPushButton>(one, ASK)->click();
    ASSERT_TRUE(pumpUntil([] { return visibleBoxes().size() == 1; }));
    QMessageBox* first = visibleBoxes()[0];
    // In the middle of the window that asks.
    QWidget* asking = display_->windowWidget(one);
    const QPoint middle = asking->mapToGlobal(QPoint(asking->width() / 2, asking->height() / 2));
    EXPECT_LE((first->geometry().center() - middle).manhattanLength(), 4);
    widget<QPushButton>(two, ASK)->click();
    ASSERT_TRUE(pumpUntil([] { return visibleBoxes().size() == 2; }));
    QMessageBox* second = visibleBoxes()[0] == first ? visibleBoxes()[1] : visibleBoxes()[0];
    EXPECT_GE((second->pos() - first->pos()).manhattanLength(), 24);

    for (QMessageBox* box : {first, second}) QTest::keyClick(box, Qt::Key_Escape);
    const std::string no = std::to_string(rt::button::No);
    EXPECT_TRUE(pumpUntil([&] { return log.notes().size() == 2; }));
    const auto notes = log.notes();
    EXPECT_NE(std::find(notes.begin(), notes.end(), "QtAskOne " + no), notes.end());
    EXPECT_NE(std::find(notes.begin(), notes.end(), "QtAskTwo " + no), notes.end());
}

// A form with tabs: a line, a spin box and a text box on the first page, OK outside the sheet.
void sheetProcedure(Log& log) {
    rt::Window w("QtSheetForm", "Cube");
    w.setPosition(0, 0, 200, 120);
    w.add(SHEET, rt::ControlKind::Sheet).setPosition(4, 4, 150, 100);
    w.add(TAB1, rt::ControlKind::Tab, SHEET).setText("Cube");
    w.add(TAB2, rt::ControlKind::Tab, SHEET).setText("CubeDetail");
    w.add(ENTRY, rt::ControlKind::Entry, TAB1).setPosition(8, 20, 80, 11).setValue("alt");
    w.add(SPIN, rt::ControlKind::Spin, TAB1).setRange(0, 999).setPosition(8, 34, 40, 12).setValue("1");
    w.add(TEXT, rt::ControlKind::Text, TAB1).setPosition(8, 50, 120, 30).setValue("");
    w.add(COMBO, rt::ControlKind::DropCombo, TAB1).setFrom("Alle|Shop").setPosition(60, 34, 60, 12);
    w.add(OTHER, rt::ControlKind::Entry, TAB2).setPosition(8, 20, 80, 11);
    w.add(OK, rt::ControlKind::Button).setText("&OK").setPosition(160, 4, 36, 14);
    while (auto e = w.accept()) {
        log.add(e);
        if (e.event == rt::Event::Accepted && e.control == OK)
            log.note(w[ENTRY].state().value + "|" + w[SPIN].state().value + "|" + w[TEXT].state().value + "|" +
                     w[COMBO].state().value);
    }
}

TEST_F(QtDisplayTest, WhatWasTypedOnAPageReachesTheProcedureBeforeThePageTurns) {
    Log& log = log_;
    rt::startThread([&log] { sheetProcedure(log); });
    const rt::WindowId id = waitWindow("QtSheetForm");
    ASSERT_NE(id, 0u);
    auto* sheet = widget<QTabWidget>(id, SHEET);
    auto* entry = widget<QLineEdit>(id, ENTRY);
    auto* spin = widget<QSpinBox>(id, SPIN);
    auto* text = widget<QPlainTextEdit>(id, TEXT);
    auto* combo = widget<QComboBox>(id, COMBO);
    ASSERT_TRUE(sheet && entry && spin && text && combo);
    QTabBar* tabs = sheet->tabBar();
    auto turnTo = [&](int page) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
        ASSERT_TRUE(pumpUntil([&] { return sheet->currentIndex() == page; }));
    };
    const struct {
        QWidget* field;
        const char* typed;
    } fields[] = {{entry, "Umsatz"}, {spin, "42"}, {text, "Notiz"}, {combo, "Filiale"}};
    for (const auto& f : fields) {
        f.field->setFocus();
        ASSERT_TRUE(pumpUntil([&] { return f.field->hasFocus(); }));
        QTest::keyClick(f.field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f.field, f.typed);
        turnTo(1);
        turnTo(0);
    }
    widget<QPushButton>(id, OK)->click();
    EXPECT_TRUE(pumpUntil([&] { return !log.notes().empty(); }));
    ASSERT_FALSE(log.notes().empty());
    EXPECT_EQ(log.notes().back(), "Umsatz|42|Notiz|Filiale");
    // The line's value came before the page turn.
    const auto events = log.events();
    int typedAt = -1, turnedAt = -1;
    for (int i = 0; i < int(events.size()); ++i) {
        if (typedAt < 0 && events[i].control == ENTRY && events[i].value == "Umsatz") typedAt = i;
        if (turnedAt < 0 && events[i].control == SHEET) turnedAt = i;
    }
    EXPECT_GE(typedAt, 0);
    EXPECT_LT(typedAt, turnedAt);
}

// A list whose rows are dragged, a tree of groups, a drop list the procedure empties.
void listsProcedure(Log& log) {
    rt::Window w("QtLists", "Listen");
    w.setPosition(0, 0, 240, 140);
    w.add(LIST, rt::ControlKind::List)
        .setPosition(4, 4, 100, 120)
        .setRows({row({"Jahr"}), row({"Monat"}), row({"Shop"})})
        .setDragIds({"Feld"})
        .setDropIds({"Feld"});
    // A group with cubes not loaded yet, and one without cubes.
    w.add(TREE, rt::ControlKind::Tree).setPosition(110, 4, 100, 60).setRows({row({"Vertrieb"}, -1), row({"Leer"}, 1)});
    w.add(DROP, rt::ControlKind::DropList).setFrom("Maske|Contains").setPosition(110, 70, 80, 12).setSelected(2);
    w.add(EMPTY, rt::ControlKind::Button).setText("&AND").setPosition(110, 90, 40, 14);
    while (auto e = w.accept()) {
        log.add(e);
        if (e.event == rt::Event::Accepted && e.control == EMPTY) w[DROP].setValue("");
    }
}

TEST_F(QtDisplayTest, ListsShowTheProceduresStateAndReportDropsBelowTheLastRowAndExpandingUnloadedRows) {
    Log& log = log_;
    rt::startThread([&log] { listsProcedure(log); });
    const rt::WindowId id = waitWindow("QtLists");
    ASSERT_NE(id, 0u);

    // The drop list shows the value the procedure gave it, an emptied one too.
    auto* drop = widget<QComboBox>(id, DROP);
    ASSERT_TRUE(drop);
    EXPECT_EQ(drop->currentText(), "Contains");
    widget<QPushButton>(id, EMPTY)->click();
    EXPECT_TRUE(pumpUntil([&] { return drop->currentText().isEmpty(); })) << drop->currentText().toStdString();

    // A contracted row has an expander before its rows are loaded; a row without any has none.
    auto* tree = widget<QTreeView>(id, TREE);
    ASSERT_TRUE(tree);
    const QModelIndex group = tree->model()->index(0, 0);
    EXPECT_TRUE(tree->model()->hasChildren(group));
    EXPECT_FALSE(tree->model()->hasChildren(tree->model()->index(1, 0)));
    tree->setFocus();
    tree->setCurrentIndex(group);
    QTest::keyClick(tree, Qt::Key_Plus);
    EXPECT_TRUE(waitEvent(
        log, [](const rt::EventInfo& e) { return e.event == rt::Event::Expanded && e.control == TREE && e.row == 1; }));

    // A row dropped below the last one: the target is negative.
    auto* list = widget<QTreeView>(id, LIST);
    ASSERT_TRUE(list);
    QWidget* viewport = list->viewport();
    const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
    const QPoint below(first.x(), viewport->height() - 4);
    ASSERT_FALSE(list->indexAt(below).isValid());
    QTest::mousePress(viewport, Qt::LeftButton, {}, first);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, below);
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) {
        return e.event == rt::Event::Drop && e.control == LIST && e.row == 1 && e.dropRow < 0;
    }));
}

// A frame with one child that restores itself when it is told to come back (as a list chosen
// again from the menu does).
void minimisedProcedure(Log& log) {
    rt::Window f("QtMinFrame", "Rahmen");
    f.setFrame(true);
    while (auto e = f.accept()) {
        if (e.event != rt::Event::OpenWindow) continue;
        rt::startThread([&log] {
            rt::Window c("QtMinChild", "Liste");
            c.setMdiChild(true).setPosition(10, 10, 120, 60);
            while (auto e = c.accept()) {
                log.add(e);
                if (e.event == rt::Event::Accepted && e.control == 0) c.setMinimized(false);
            }
        });
    }
}

TEST_F(QtDisplayTest, AChildTheUserMinimisedIsRestoredWhenItsProcedureSaysSo) {
    Log& log = log_;
    rt::startThread([&log] { minimisedProcedure(log); });
    const rt::WindowId id = waitWindow("QtMinChild");
    ASSERT_NE(id, 0u);
    auto* sub = qobject_cast<QMdiSubWindow*>(display_->windowWidget(id));
    ASSERT_TRUE(sub);
    sub->showMinimized();
    EXPECT_TRUE(waitEvent(log, [](const rt::EventInfo& e) { return e.event == rt::Event::Iconized; }));
    rt::post(rt::Event::Accepted, 0, id);
    EXPECT_TRUE(pumpUntil([&] { return !sub->isMinimized(); }));
}

// A form whose field looks its value up when it is left: an unknown value opens a list on the
// form's thread; the list cancelled, the focus goes back into the field.
void lookupProcedure(Log& log) {
    rt::Window w("QtLookupForm", "Cube");
    w.setPosition(0, 0, 160, 60);
    w.add(ENTRY, rt::ControlKind::Entry).setPosition(4, 4, 60, 11).setValue("3");
    w.add(OTHER, rt::ControlKind::Entry).setPosition(4, 20, 60, 11);
    bool back = false;
    while (auto e = w.accept()) {
        if (back) log.add(e);
        if (e.event != rt::Event::Accepted || e.control != ENTRY || e.value == "3") continue;
        std::this_thread::sleep_for(300ms);  // the look-up reads the table meanwhile
        {
            rt::Window list("QtLookupList", "Werteliste");
            list.setPosition(0, 0, 80, 40);
            while (list.accept()) {
            }
        }
        w.select(ENTRY);
        back = true;
        log.note("back");
    }
}

TEST_F(QtDisplayTest, ACancelledLookUpPutsTheFocusBackIntoItsField) {
    Log& log = log_;
    rt::startThread([&log] { lookupProcedure(log); });
    const rt::WindowId id = waitWindow("QtLookupForm");
    ASSERT_NE(id, 0u);
    auto* entry = widget<QLineEdit>(id, ENTRY);
    auto* other = widget<QLineEdit>(id, OTHER);
    ASSERT_TRUE(entry && other);
    display_->windowWidget(id)->activateWindow();
    entry->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return entry->hasFocus(); }));
    QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(entry, "99");
    QTest::keyClick(entry, Qt::Key_Tab);  // leaves the field: it is accepted, the next one entered
    const rt::WindowId listId = waitWindow("QtLookupList");
    ASSERT_NE(listId, 0u);
    display_->windowWidget(listId)->close();
    ASSERT_TRUE(pumpUntil([&] { return !log.notes().empty(); }));
    pumpUntil([] { return false; }, 200ms);
    EXPECT_EQ(display_->windowWidget(id)->focusWidget(), entry);
    // The field entered before the look-up is not reported as the focus any more.
    EXPECT_FALSE(log.has([](const rt::EventInfo& e) { return e.event == rt::Event::Selected && e.control == OTHER; }));
}

}  // namespace
