// The Qt display with real widgets: the frame, its children in its area and the windows that
// stand over others, as the window manager and the user see them.
#include "tests/runtime/qt/qt_display_fixture.h"

namespace {

using namespace qttest;

class QtWindowsTest : public QtDisplayTest {};

std::atomic<int> gChildX{0}, gChildY{0}, gChildWidth{0}, gFrameWidth{0};

void frameProcedure(std::atomic<int>& childThread) {
    rt::Window f("QtFrame", "Rahmen");
    f.setFrame(true);
    f.setStatusZones({60, 0});
    f.add(1, rt::ControlKind::Menu).setText("&Window");
    f.add(2, rt::ControlKind::Item, 1).setText("T&ile").setHelp("Make all open windows visible");
    f.add(3, rt::ControlKind::Item, 1).setText("&Neu");
    std::vector<int> more;
    while (auto e = f.accept()) {
        if (e.event == rt::Event::OpenWindow) {
            childThread = rt::startThread([] {
                rt::Window c("QtChild", "Kind");
                c.setMdiChild(true).setPosition(10, 10, 120, 60);
                c.add(1, rt::ControlKind::String).setText("im Rahmen").setPosition(4, 4);
                while (auto e = c.accept()) {
                    if (e.event == rt::Event::Moved || e.event == rt::Event::Sized) {
                        gChildX = c.props().x;
                        gChildY = c.props().y;
                        gChildWidth = c.props().width;
                    }
                }
            });
        } else if (e.event == rt::Event::Sized) {
            gFrameWidth = f.props().width;
        } else if (e.event == rt::Event::Accepted && e.control == 2) {
            rt::display().arrangeWindows(f.id(), rt::Arrangement::Tile);
        } else if (e.event == rt::Event::Accepted && e.control == 3) {
            // A child that leaves its place to the frame's area.
            more.push_back(rt::startThread([] {
                rt::Window c("QtPlaced", "Neu");
                c.setMdiChild(true).setPosition(0, 0, 200, 100);
                c.add(1, rt::ControlKind::String).setText("wo Platz ist").setPosition(4, 4);
                while (c.accept()) {
                }
            }));
        }
    }
}

TEST_F(QtWindowsTest, ChildOfAnotherThreadStandsInTheFramesMdiArea) {
    std::atomic<int> child{0};
    rt::startThread([&child] { frameProcedure(child); });
    const rt::WindowId frameId = waitWindow("QtFrame");
    const rt::WindowId childId = waitWindow("QtChild");
    ASSERT_NE(frameId, 0u);
    ASSERT_NE(childId, 0u);
    auto* frame = qobject_cast<QMainWindow*>(display_->frameWidget());
    ASSERT_TRUE(frame);
    auto* mdi = qobject_cast<QMdiArea*>(frame->centralWidget());
    ASSERT_TRUE(mdi);
    auto* sub = qobject_cast<QMdiSubWindow*>(display_->windowWidget(childId));
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->mdiArea(), mdi);
    EXPECT_EQ(sub->windowTitle(), "Kind");
    // The frame's own size reaches its procedure: the size it opened with, then the user's.
    EXPECT_TRUE(pumpUntil([&] { return gFrameWidth > 0; }));
    const int opened = gFrameWidth;
    frame->resize(frame->width() + 120, frame->height());
    EXPECT_TRUE(pumpUntil([&] { return gFrameWidth > opened; })) << opened << " " << gFrameWidth;
    // A child that opens is the active window; activating one tells the runtime too.
    EXPECT_TRUE(pumpUntil([&] { return rt::activeWindow() == childId; }));
    mdi->setActiveSubWindow(nullptr);
    mdi->setActiveSubWindow(sub);
    EXPECT_TRUE(pumpUntil([&] { return rt::activeWindow() == childId; }));
    EXPECT_EQ(rt::activeWindowThread(), child.load());

    // The user moves and sizes the child: the procedure learns it in dialog units.
    sub->move(120, 90);
    sub->resize(sub->width() + 60, sub->height() + 40);
    EXPECT_TRUE(pumpUntil([&] { return gChildX > 10 && gChildY > 10 && gChildWidth > 120; }));
    // A menu item of the frame: its procedure tiles the children.
    QAction* tile = nullptr;
    for (QAction* menu : frame->menuBar()->actions())
        if (menu->menu())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == "T&ile") tile = item;
    ASSERT_TRUE(tile);
    sub->move(300, 200);
    tile->trigger();
    EXPECT_TRUE(pumpUntil([&] { return sub->pos() == QPoint(0, 0); }));
    // With too little free space left, a child placed by the area still opens where it is seen
    // whole (the area would put it beside the first one, past its right edge).
    const QRect room = mdi->viewport()->rect();
    sub->setGeometry(0, 0, room.width() * 3 / 4, room.height());
    QAction* open = nullptr;
    for (QAction* menu : frame->menuBar()->actions())
        if (menu->menu())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == "&Neu") open = item;
    ASSERT_TRUE(open);
    open->trigger();
    const rt::WindowId placedId = waitWindow("QtPlaced");
    auto* placed = qobject_cast<QMdiSubWindow*>(display_->windowWidget(placedId));
    ASSERT_TRUE(placed);
    QCoreApplication::processEvents();
    ASSERT_LE(placed->width(), room.width());
    ASSERT_GT(placed->width(), room.width() / 4);
    EXPECT_TRUE(room.contains(placed->geometry()))
        << placed->geometry().x() << "," << placed->geometry().y() << " " << placed->width() << "x" << placed->height()
        << " in " << room.width() << "x" << room.height();
}

// The frame opens at the size its procedure gives, however large, and that size comes back as
// it was given: what the frame saves at its end opens it alike at the next start.
std::atomic<int> gSizedWidth{0}, gSizedHeight{0};

void sizedFrame(int width, int height) {
    rt::Window f("QtSizedFrame", "Rahmen");
    f.setFrame(true);
    f.setPosition(8, 8, width, height);
    while (auto e = f.accept()) {
        if (e.event == rt::Event::Sized) {
            gSizedWidth = f.props().width;
            gSizedHeight = f.props().height;
        }
    }
}

TEST_F(QtWindowsTest, TheFrameKeepsTheSizeItIsGivenFromRunToRun) {
    const rt::qt::FontUnits units(rt::qt::defaultWindowFont());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Larger than two thirds of the screen, within it.
    int width = units.toX(screen.width() * 9 / 10), height = units.toY(screen.height() * 9 / 10);
    const QSize pixels(units.x(width), units.y(height));
    for (int run = 0; run < 3; ++run) {
        gSizedWidth = 0;
        gSizedHeight = 0;
        const int t = rt::startThread([width, height] { sizedFrame(width, height); });
        ASSERT_NE(waitWindow("QtSizedFrame"), 0u);
        auto* frame = display_->frameWidget();
        ASSERT_TRUE(frame);
        pumpUntil([&] { return frame->isVisible(); });
        QCoreApplication::processEvents();
        EXPECT_EQ(frame->size(), pixels) << "run " << run;
        // The model keeps the size it gave; a size reported back is that same size.
        pumpUntil([] { return gSizedWidth != 0; }, 300ms);
        if (gSizedWidth != 0) {
            EXPECT_EQ(gSizedWidth.load(), width) << "run " << run;
            EXPECT_EQ(gSizedHeight.load(), height) << "run " << run;
        }
        for (const auto& w : rt::openWindows()) rt::post(rt::Event::CloseDown, 0, w.id);
        pumpUntil([t] { return !rt::threadRunning(t); });
    }
}

// Children larger than the frame's area: the one that may shrink opens within the area, the
// one of a fixed size scrolls; tiling keeps both within it, and the "&Window" menu lists them.
void bigChild(const char* procedure, const char* title, bool resizable) {
    rt::Window c(procedure, title);
    c.setMdiChild(true).setPosition(0, 0, 2000, 1500);
    if (!resizable) c.edit().resizable = false;
    c.add(1, rt::ControlKind::Button).setText("&Schließen").setPosition(1900, 1470, 60, 14);
    while (c.accept()) {
    }
}

void framedBigChildren() {
    rt::Window f("QtFitFrame", "Rahmen");
    f.setFrame(true);
    f.setPosition(0, 0, 400, 260);
    f.add(1, rt::ControlKind::Menu).setText("&Window").edit().windowList = true;
    f.add(2, rt::ControlKind::Item, 1).setText("T&ile");
    while (auto e = f.accept()) {
        if (e.event == rt::Event::OpenWindow) {
            rt::startThread([] { bigChild("QtBigFixed", "Fest & groß", false); });
            rt::startThread([] { bigChild("QtBigSized", "Groß", true); });
        } else if (e.event == rt::Event::Accepted && e.control == 2) {
            rt::display().arrangeWindows(f.id(), rt::Arrangement::Tile);
        }
    }
}

TEST_F(QtWindowsTest, ChildrenFitTheFramesAreaAndTheWindowMenuListsThem) {
    rt::startThread(framedBigChildren);
    const rt::WindowId fixedId = waitWindow("QtBigFixed"), sizedId = waitWindow("QtBigSized");
    ASSERT_NE(fixedId, 0u);
    ASSERT_NE(sizedId, 0u);
    auto* frame = qobject_cast<QMainWindow*>(display_->frameWidget());
    auto* mdi = qobject_cast<QMdiArea*>(frame->centralWidget());
    auto* fixed = qobject_cast<QMdiSubWindow*>(display_->windowWidget(fixedId));
    auto* sized = qobject_cast<QMdiSubWindow*>(display_->windowWidget(sizedId));
    ASSERT_TRUE(fixed && sized);
    pumpUntil([&] { return fixed->isVisible() && sized->isVisible(); });
    QCoreApplication::processEvents();
    const QRect room = mdi->viewport()->rect();
    auto inside = [&](QMdiSubWindow* sub) {
        return room.contains(sub->geometry()) ? ::testing::AssertionSuccess()
                                              : ::testing::AssertionFailure()
                                                    << sub->geometry().width() << "x" << sub->geometry().height()
                                                    << " at " << sub->x() << "," << sub->y() << " in " << room.width()
                                                    << "x" << room.height();
    };
    EXPECT_TRUE(inside(fixed));
    EXPECT_TRUE(inside(sized));
    // The fixed one scrolls to its far button.
    auto* host = fixed->widget()->findChild<QScrollArea*>();
    ASSERT_TRUE(host);
    EXPECT_GT(host->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(host->horizontalScrollBar()->maximum(), 0);

    QMenu* window = nullptr;
    for (QAction* menu : frame->menuBar()->actions())
        if (menu->menu() && menu->text() == "&Window") window = menu->menu();
    ASSERT_TRUE(window);
    QAction* tile = window->actions().value(0);
    ASSERT_TRUE(tile);
    tile->trigger();
    pumpUntil([&] { return inside(fixed) && inside(sized) && fixed->pos() != sized->pos(); }, 2s);
    EXPECT_TRUE(inside(fixed));
    EXPECT_TRUE(inside(sized));

    // The open windows after the menu's items: choosing one brings it to the front.
    fixed->showMinimized();
    QCoreApplication::processEvents();
    emit window->aboutToShow();
    QStringList titles;
    QAction* fixedEntry = nullptr;
    for (QAction* a : window->actions())
        if (a->property("rtWindowEntry").toBool() && !a->isSeparator()) {
            titles << a->text();
            if (a->text().contains("Fest")) fixedEntry = a;
        }
    EXPECT_EQ(titles.size(), 2) << titles.join(", ").toStdString();
    ASSERT_TRUE(fixedEntry);
    EXPECT_TRUE(fixedEntry->text().endsWith("Fest && groß")) << fixedEntry->text().toStdString();
    fixedEntry->trigger();
    EXPECT_TRUE(pumpUntil([&] { return !fixed->isMinimized() && mdi->activeSubWindow() == fixed; }));
    emit window->aboutToShow();  // again: the list is made anew, not added to
    int entries = 0;
    for (QAction* a : window->actions()) entries += a->property("rtWindowEntry").toBool() && !a->isSeparator();
    EXPECT_EQ(entries, 2);
}

// A window placed beside its owner stands where the owner stands, not at the screen's edge.
void ownerWithNeighbour(std::atomic<bool>& openNeighbour) {
    rt::Window owner("QtNearOwner", "Datumsbereich");
    owner.setPosition(0, 0, 160, 80);
    owner.edit().centered = true;
    owner.setTimer(5);
    while (auto e = owner.accept()) {
        if (e.event != rt::Event::Timer || !openNeighbour.exchange(false)) continue;
        rt::Window near("QtNearWindow", "Kalender");
        near.setPosition(0, 40, 100, 60);
        near.edit().nearOwner = true;
        while (near.accept()) {
        }
    }
}

TEST_F(QtWindowsTest, AWindowBesideItsOwnerOpensWhereTheOwnerStands) {
    std::atomic<bool> openNeighbour{false};
    rt::startThread([&openNeighbour] { ownerWithNeighbour(openNeighbour); });
    const rt::WindowId ownerId = waitWindow("QtNearOwner");
    ASSERT_NE(ownerId, 0u);
    QWidget* owner = display_->windowWidget(ownerId);
    pumpUntil([&] { return owner->isVisible(); });
    owner->move(300, 200);  // the user put it elsewhere
    QCoreApplication::processEvents();
    openNeighbour = true;
    const rt::WindowId nearId = waitWindow("QtNearWindow");
    ASSERT_NE(nearId, 0u);
    QWidget* near = display_->windowWidget(nearId);
    pumpUntil([&] { return near->isVisible(); });
    QCoreApplication::processEvents();
    const rt::qt::FontUnits units(rt::qt::defaultWindowFont());
    auto* ownerMain = qobject_cast<QMainWindow*>(owner);
    ASSERT_TRUE(ownerMain);
    const QPoint expected = ownerMain->centralWidget()->mapToGlobal(QPoint(0, units.y(40)));
    EXPECT_LE((near->pos() - expected).manhattanLength(), 2)
        << near->x() << "," << near->y() << " not " << expected.x() << "," << expected.y();
}

void callerProcedure(Log& log) {
    rt::Window list("QtCaller", "Liste");
    list.setPosition(0, 0, 120, 60);
    list.add(1, rt::ControlKind::Button).setText("&Ändern").setPosition(4, 4, 50, 14);
    while (auto e = list.accept()) {
        if (e.event == rt::Event::Accepted && e.control == 1) {
            // The form runs on the caller's thread, modal to it.
            rt::Window form("QtCalledForm", "Datensatz bearbeiten");
            form.setPosition(0, 0, 100, 40);
            form.add(1, rt::ControlKind::Entry).setPosition(4, 4, 80, 11);
            while (auto f = form.accept()) log.add(f);
            log.note("form closed");
        }
    }
}

TEST_F(QtWindowsTest, FormOnTheCallersThreadStandsAboveItAndBlocksIt) {
    Log& log = log_;
    rt::startThread([&log] { callerProcedure(log); });
    const rt::WindowId callerId = waitWindow("QtCaller");
    ASSERT_NE(callerId, 0u);
    widget<QPushButton>(callerId, 1)->click();
    const rt::WindowId formId = waitWindow("QtCalledForm");
    ASSERT_NE(formId, 0u);
    QWidget* caller = display_->windowWidget(callerId);
    QWidget* form = display_->windowWidget(formId);
    EXPECT_EQ(form->parentWidget(), caller);  // stays above its caller
    EXPECT_TRUE(form->isEnabled());
    // The caller takes no input meanwhile; the form does.
    QTest::mouseClick(widget<QPushButton>(callerId, 1), Qt::LeftButton);
    QTest::keyClicks(widget<QLineEdit>(formId, 1), "x");
    QTest::keyClick(widget<QLineEdit>(formId, 1), Qt::Key_Return);
    EXPECT_TRUE(
        waitEvent(log, [](const rt::EventInfo& e) { return e.event == rt::Event::Accepted && e.value == "x"; }));
    form->close();
    EXPECT_TRUE(pumpUntil([&] {
        const auto notes = log.notes();
        return !notes.empty() && notes.back() == "form closed";
    }));
    EXPECT_TRUE(pumpUntil([&] { return display_->windowWidget(formId) == nullptr; }));
    EXPECT_EQ(log.notes().size(), 1u);  // the press meanwhile opened no second form
}

TEST_F(QtWindowsTest, EscPressesTheCancelButtonElseClosesAndReadOnlyFieldsLookSo) {
    Log& log = log_;
    for (bool withCancel : {true, false}) {
        rt::startThread([&log, withCancel] {
            rt::Window w("QtEsc", "Esc");
            w.setPosition(0, 0, 120, 40);
            w.add(1, rt::ControlKind::Entry).setPosition(4, 4, 80, 11);
            w.add(2, rt::ControlKind::Entry).setPosition(4, 18, 80, 11).setReadOnly(true);
            if (withCancel) w.add(3, rt::ControlKind::Button).setText("Abbrechen").edit().cancelButton = true;
            w.add(4, rt::ControlKind::Check).setText("TrustedConnection").setPosition(4, 30, 20, 10);
            while (auto e = w.accept()) log.add(e);
        });
        const rt::WindowId id = waitWindow("QtEsc");
        ASSERT_NE(id, 0u);
        auto* editable = widget<QLineEdit>(id, 1);
        EXPECT_NE(editable->palette().color(QPalette::Base), widget<QLineEdit>(id, 2)->palette().color(QPalette::Base));
        auto* check = widget<QCheckBox>(id, 4);
        EXPECT_GE(check->width(), check->sizeHint().width());  // the whole text, not cut
        QTest::keyClick(editable, Qt::Key_Escape);
        EXPECT_TRUE(waitEvent(log, [withCancel](const rt::EventInfo& e) {
            return withCancel ? e.event == rt::Event::Accepted && e.control == 3 : e.event == rt::Event::CloseWindow;
        }));
        if (withCancel) display_->windowWidget(id)->close();
        EXPECT_TRUE(pumpUntil([] { return rt::runningThreadCount() == 0; }));
    }
}

TEST_F(QtWindowsTest, ChildOfAHiddenFrameIsAWindowOfItsOwn) {
    rt::startThread([] {
        rt::Window f("QtHiddenFrame", "Rahmen");
        f.setFrame(true).setHidden(true);
        while (auto e = f.accept()) {
            if (e.event == rt::Event::OpenWindow) {
                rt::Window viewer("QtViewer", "Cube");
                viewer.setMdiChild(true).setPosition(0, 0, 100, 50);
                while (viewer.accept()) {
                }
                f.post(rt::Event::CloseWindow);
            }
        }
    });
    const rt::WindowId viewerId = waitWindow("QtViewer");
    ASSERT_NE(viewerId, 0u);
    QWidget* viewer = display_->windowWidget(viewerId);
    EXPECT_FALSE(qobject_cast<QMdiSubWindow*>(viewer));
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(display_->frameWidget()->isVisible());
    viewer->close();
    EXPECT_TRUE(pumpUntil([] { return rt::runningThreadCount() == 0; }));
}

TEST_F(QtWindowsTest, WindowAboveAnotherThreadsWindowOutlivesItsClose) {
    // A window of thread B opened while thread A's window is below it in the stacking, then A's
    // window closes: B's window stays shown and usable.
    std::atomic<int> stage{0};
    rt::startThread([&stage] {
        rt::Window a("QtLower", "Unten");
        a.setPosition(0, 0, 100, 50);
        a.open();
        while (stage.load() < 1) std::this_thread::sleep_for(5ms);
        a.close();
        stage = 2;
    });
    const rt::WindowId lower = waitWindow("QtLower");
    ASSERT_NE(lower, 0u);
    rt::startThread([] {
        rt::Window b("QtUpper", "Oben");
        b.setPosition(0, 0, 100, 50);
        while (b.accept()) {
        }
    });
    const rt::WindowId upper = waitWindow("QtUpper");
    ASSERT_NE(upper, 0u);
    // Put B's widget under A's, as a window opened over it would be.
    QPointer<QWidget> upperTop = display_->windowWidget(upper);
    upperTop->setParent(display_->windowWidget(lower), upperTop->windowFlags() | Qt::Window);
    upperTop->show();
    stage = 1;
    ASSERT_TRUE(pumpUntil([&] { return stage.load() == 2 && display_->windowWidget(lower) == nullptr; }));
    pumpUntil([] { return false; }, 50ms);
    ASSERT_FALSE(upperTop.isNull());
    EXPECT_TRUE(upperTop->isVisible());
    EXPECT_EQ(display_->windowWidget(upper), upperTop.data());
}

}  // namespace
