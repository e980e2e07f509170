#include "ui_test_util.h"

#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"

#include <algorithm>
#include <atomic>

using namespace uitest;
using rt::ControlKind;
using rt::Event;

namespace {

std::string describe(const rt::EventInfo& e) {
    std::string s = rt::eventName(e.event);
    if (e.control) s += " " + std::to_string(e.control);
    return s;
}

// A window that logs every event but OpenWindow under its title.
void loggingWindow(const std::string& title, Log& log,
                   std::function<void(rt::Window&, const rt::EventInfo&)> onEvent = {}) {
    rt::Window w(title, title);
    w.add(1, ControlKind::Button).setText("&Eins");
    w.add(2, ControlKind::Button).setText("&Zwei");
    while (auto e = w.accept()) {
        if (e.event != Event::OpenWindow) log.add(title + ": " + describe(e));
        if (onEvent) onEvent(w, e);
    }
}

TEST_F(UiTest, OpenWindowComesFirstThenPostedEventsInOrderAndClosingEndsTheLoop) {
    Log log;
    bool continued = false;
    int t = rt::startThread([&] {
        rt::Window w("Proc", "Titel");
        w.add(1, ControlKind::Button).setText("OK");
        w.post(Event::Accepted, 1);
        w.post(userEvent(2));
        w.post(Event::CloseWindow);
        w.post(Event::Accepted, 1);  // behind the close: never seen
        while (auto e = w.accept()) log.add(describe(e));
        continued = !w.isOpen() && w.wasOpened();
    });
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"OpenWindow", "Accepted 1", "User+", "CloseWindow"}));
    EXPECT_TRUE(continued);
}

TEST_F(UiTest, KeepOpenCancelsOneCloseRequest) {
    Log log;
    int t = rt::startThread([&] {
        int closes = 0;
        loggingWindow("Frage", log, [&](rt::Window& w, const rt::EventInfo& e) {
            if (e.event == Event::CloseWindow && ++closes == 1) w.keepOpen();
        });
    });
    auto w = user.waitWindow("Frage");
    user.closeWindow(w);
    EXPECT_TRUE(user.isOpen(w));
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_FALSE(user.isOpen(w));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Frage: CloseWindow", "Frage: CloseWindow"}));
}

TEST_F(UiTest, WindowIsFoundByTitleOrProcedureAndWaitsTimeOut) {
    int t = rt::startThread([&] {
        rt::Window w("BrowseWerte", "Werteliste");
        while (w.accept()) {
        }
    });
    auto byTitle = user.waitWindow("Werteliste");
    EXPECT_EQ(user.waitWindow("BrowseWerte"), byTitle);
    EXPECT_EQ(user.window(byTitle).thread, t);

    rt::TestDriver impatient(display, 50ms);
    EXPECT_THROW(impatient.waitWindow("Gibt es nicht"), rt::TestDriverError);
    EXPECT_THROW(impatient.waitMessageBox(), rt::TestDriverError);
    EXPECT_THROW(impatient.waitThreadEnd(t), rt::TestDriverError);

    user.closeWindow(byTitle);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, ModalChildOnTheSameThreadBlocksItsParentUntilItCloses) {
    Log log;
    int t = rt::startThread([&] {
        loggingWindow("Liste", log, [&](rt::Window&, const rt::EventInfo& e) {
            if (e.event == Event::Accepted && e.control == 1) loggingWindow("Formular", log);
        });
    });
    auto parent = user.waitWindow("Liste");
    user.press(parent, 1);
    auto child = user.waitWindow("Formular");
    EXPECT_EQ(user.window(child).owner, parent);
    EXPECT_EQ(rt::topWindow(t), child);

    try {
        user.press(parent, 2);
        ADD_FAILURE() << "the covered window took input";
    } catch (const rt::TestDriverError& e) {
        EXPECT_NE(std::string(e.what()).find("\"Formular\""), std::string::npos) << e.what();
    }
    EXPECT_FALSE(rt::sendInput(parent, rt::UserInput{Event::CloseWindow}));
    user.press(child, 2);
    user.closeWindow(child);
    EXPECT_EQ(rt::topWindow(t), parent);
    user.press(parent, 2);
    user.closeWindow(parent);
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"Liste: Accepted 1", "Formular: Accepted 2", "Formular: CloseWindow",
                                        "Liste: Accepted 2", "Liste: CloseWindow"}));
}

TEST_F(UiTest, EventsPostedFromAnotherThreadArriveWithTheirControl) {
    Log log;
    int a = rt::startThread([&] { loggingWindow("A", log); });
    auto wa = user.waitWindow("A");
    int b = rt::startThread([&] {
        EXPECT_TRUE(rt::postToThread(Event::Accepted, 2, a));
        EXPECT_TRUE(rt::post(userEvent(5), 1, wa));
        EXPECT_FALSE(rt::postToThread(Event::Accepted, 2, 63));  // no window there
    });
    user.waitThreadEnd(b);
    user.settle(a);
    user.closeWindow(wa);
    user.waitThreadEnd(a);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"A: Accepted 2", "A: User+ 1", "A: CloseWindow"}));
}

TEST_F(UiTest, CloseRequestsReachTheTopWindowOfAThreadOneAtATime) {
    // As the frame's idle close does it: each post closes the thread's current top window.
    Log log;
    int t = rt::startThread([&] {
        loggingWindow("Liste", log, [&](rt::Window&, const rt::EventInfo& e) {
            if (e.event == Event::Accepted && e.control == 1) loggingWindow("Formular", log);
        });
        log.add("procedure ended");
    });
    auto parent = user.waitWindow("Liste");
    user.press(parent, 1);
    auto child = user.waitWindow("Formular");

    ASSERT_TRUE(rt::postToThread(Event::CloseWindow, 0, t));
    user.waitClosed(child);
    user.settle(t);
    EXPECT_TRUE(user.isOpen(parent));
    ASSERT_TRUE(rt::postToThread(Event::CloseWindow, 0, t));
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Liste: Accepted 1", "Formular: CloseWindow", "Liste: CloseWindow",
                                                     "procedure ended"}));
    EXPECT_FALSE(rt::postToThread(Event::CloseWindow, 0, t));
}

TEST_F(UiTest, EventPostedToACoveredWindowWaitsUntilItIsOnTopAgain) {
    Log log;
    int t = rt::startThread([&] {
        loggingWindow("Liste", log, [&](rt::Window&, const rt::EventInfo& e) {
            if (e.event == Event::Accepted && e.control == 1) loggingWindow("Formular", log);
        });
    });
    auto parent = user.waitWindow("Liste");
    user.press(parent, 1);
    auto child = user.waitWindow("Formular");
    ASSERT_TRUE(rt::post(Event::CloseDown, 0, parent));
    user.settle(t);
    EXPECT_TRUE(user.isOpen(child));
    EXPECT_TRUE(user.isOpen(parent));
    user.closeWindow(child);
    user.waitThreadEnd(t);  // the parent took its CloseDown as soon as it was on top
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"Liste: Accepted 1", "Formular: CloseWindow", "Liste: CloseDown"}));
}

TEST_F(UiTest, TimerEventsComeWhileTheQueueIsEmpty) {
    std::vector<std::string> seen;
    int t = rt::startThread([&] {
        rt::Window w("Fortschritt", "Progress...");
        w.setTimer(1);
        for (int i = 0; i < 3; ++i) w.post(userEvent(i));
        int ticks = 0;
        while (auto e = w.accept()) {
            seen.push_back(rt::eventName(e.event));
            if (e.event == Event::Timer && ++ticks == 3) {
                w.setTimer(0);
                w.post(Event::CloseWindow);
            }
        }
    });
    user.waitThreadEnd(t);
    EXPECT_EQ(seen, (std::vector<std::string>{"OpenWindow", "User", "User+", "User+", "Timer", "Timer", "Timer",
                                              "CloseWindow"}));
}

TEST_F(UiTest, OnlyAlertedKeysReachTheProcedure) {
    Log log;
    int t = rt::startThread([&] {
        rt::Window w("Kalender", "Kalender");
        w.add(1, ControlKind::Region);
        w.alert(rt::keys::Enter).alert(rt::keys::MouseRight).alert(rt::keys::Ctrl | rt::keys::MouseLeft);
        while (auto e = w.accept())
            if (e.event == Event::AlertKey) log.add(std::to_string(e.keyCode) + "@" + std::to_string(e.control));
    });
    auto w = user.waitWindow("Kalender");
    EXPECT_EQ(user.window(w).alertKeys.size(), 3u);
    user.key(w, 0, rt::keys::Esc);
    user.key(w, 0, rt::keys::Enter);
    user.key(w, 1, rt::keys::MouseLeft);
    user.key(w, 1, rt::keys::MouseRight);
    user.key(w, 1, rt::keys::Ctrl | rt::keys::MouseLeft);
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"13@0", "514@1", "8705@1"}));
}

TEST_F(UiTest, WindowEventsUpdateTheWindowState) {
    Log log;
    int t = rt::startThread([&] {
        rt::Window w("RunQuery", "Query =>");
        w.setPosition(10, 20, 235, 110).setMinSize(235, 110);
        while (auto e = w.accept()) {
            if (e.event == Event::Sized)
                log.add("sized " + std::to_string(w.props().width) + "x" + std::to_string(w.props().height));
            if (e.event == Event::Maximized) log.add(w.props().maximized ? "maximised" : "?");
            if (e.event == Event::GainFocus) log.add(rt::activeWindow() == w.id() ? "active" : "?");
        }
    });
    auto w = user.waitWindow("RunQuery");
    EXPECT_EQ(user.window(w).minWidth, 235);
    user.resize(w, 300, 200);
    user.maximize(w);
    user.activate(w);
    EXPECT_EQ(rt::activeWindowThread(), t);
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(rt::activeWindow(), 0u);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"sized 300x200", "maximised", "active"}));
}

TEST_F(UiTest, AModalWindowBlocksOnlyItsCaller) {
    Log log;
    int a = rt::startThread([&] { loggingWindow("A", log); });
    auto wa = user.waitWindow("A");
    int b = rt::startThread([&] {
        loggingWindow("B", log, [&](rt::Window&, const rt::EventInfo& e) {
            if (e.event != Event::Accepted || e.control != 1) return;
            rt::Window w("Eigenschaften", "Eigenschaften");
            w.setModal(true);
            while (w.accept()) {
            }
        });
    });
    auto wb = user.waitWindow("B");
    user.press(wb, 1);
    auto modal = user.waitWindow("Eigenschaften");
    EXPECT_THROW(user.press(wb, 2), rt::TestDriverError);
    user.press(wa, 1);  // another thread's window goes on
    user.closeWindow(modal);
    user.press(wb, 2);
    user.closeWindow(wa);
    user.waitThreadEnd(a);
    user.closeWindow(wb);
    user.waitThreadEnd(b);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"B: Accepted 1", "A: Accepted 1", "B: Accepted 2",
                                                     "A: CloseWindow", "B: CloseWindow"}));
}

TEST_F(UiTest, WindowsTakeNoInputWhileTheirThreadWaitsInAMessageBox) {
    Log log;
    int t = rt::startThread([&] {
        loggingWindow("A", log, [&](rt::Window&, const rt::EventInfo& e) {
            if (e.event == Event::Accepted && e.control == 1)
                log.add("answer " + std::to_string(rt::message("Sicher?", "Frage", rt::MessageIcon::Question,
                                                               rt::button::Yes | rt::button::No)));
        });
    });
    auto w = user.waitWindow("A");
    user.press(w, 1);
    user.waitMessageBox();
    EXPECT_THROW(user.press(w, 2), rt::TestDriverError);
    user.answerMessageBox(rt::button::No);
    user.press(w, 2);
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"A: Accepted 1", "answer 4", "A: Accepted 2", "A: CloseWindow"}));
}

TEST_F(UiTest, TheFramesCloseClosesTheWindowsOfEveryOtherThread) {
    Log log;
    int a = rt::startThread([&] { loggingWindow("A", log); });
    int b = rt::startThread([&] {
        loggingWindow("B", log, [&](rt::Window&, const rt::EventInfo& e) {
            if (e.event == Event::Accepted && e.control == 1) loggingWindow("B-Form", log);
        });
    });
    user.waitWindow("A");
    auto wb = user.waitWindow("B");
    user.press(wb, 1);
    user.waitWindow("B-Form");
    bool allClosed = false;
    int frame = rt::startThread([&] {
        rt::Window w("Main", "Frame");
        w.setFrame(true);
        w.open();
        allClosed = rt::closeOtherThreads(5s);
        w.close();
    });
    user.waitThreadEnd(frame);
    EXPECT_TRUE(allClosed);
    user.waitThreadEnd(a);
    user.waitThreadEnd(b);
    auto lines = log.lines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"A: CloseDown", "B-Form: CloseDown", "B: Accepted 1", "B: CloseDown"}));
}

TEST_F(UiTest, ShutdownEndsThreadsThatStillWaitForTheUser) {
    int t = rt::startThread([&] {
        rt::Window w("Vergessen", "Vergessen");
        while (auto e = w.accept()) {
            if (e.event == Event::OpenWindow) rt::message("Niemand antwortet");
        }
    });
    user.waitMessageBox();
    display.shutdown(2s);
    EXPECT_FALSE(rt::threadRunning(t));
}

}  // namespace

namespace {

// The pattern every list and form follows: the caller puts its request into the thread's
// ThreadRequest, the form takes it over, and answers in ThreadResponse.
enum { OK_BUTTON = 1, CANCEL_BUTTON, CHANGE_BUTTON = 1 };

void EditWerte() {
    int request = rt::ThreadRequest;
    rt::ThreadRequest = 0;
    rt::ThreadResponse = 0;
    rt::Window w("EditWerte", "Werte");
    w.add(OK_BUTTON, ControlKind::Button).setText("&OK");
    w.add(CANCEL_BUTTON, ControlKind::Button).setText("&Abbrechen");
    int response = 2;
    while (auto e = w.accept()) {
        if (e.event == Event::OpenWindow) w.setTitle(request == 2 ? "Datensatz bearbeiten" : "View Record");
        if (e.event == Event::Accepted && e.control == OK_BUTTON) {
            response = request == 6 ? 2 : 1;
            w.post(Event::CloseWindow);
        }
        if (e.event == Event::Accepted && e.control == CANCEL_BUTTON) w.post(Event::CloseWindow);
    }
    rt::ThreadResponse = static_cast<std::uint8_t>(response);
}

TEST_F(UiTest, AListCallsItsFormOnItsOwnThreadAndReadsTheResponse) {
    Log log;
    int t = rt::startThread([&] {
        rt::Window w("BrowseWerte", "Werteliste");
        w.add(CHANGE_BUTTON, ControlKind::Button).setText("&Ändern");
        while (auto e = w.accept()) {
            if (e.event == Event::Accepted && e.control == CHANGE_BUTTON) {
                rt::ThreadRequest = 2;
                EditWerte();
                log.add("response " + std::to_string(rt::ThreadResponse));
            }
        }
    });
    auto list = user.waitWindow("Werteliste");
    user.press(list, CHANGE_BUTTON);
    auto form = user.waitWindow("Datensatz bearbeiten");  // the form's title by its mode
    EXPECT_EQ(rt::ThreadRequest, 0) << "the test body's own request is untouched";
    user.press(form, OK_BUTTON);
    user.press(list, CHANGE_BUTTON);
    user.press(user.waitWindow("EditWerte"), CANCEL_BUTTON);
    user.closeWindow(list);
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"response 1", "response 2"}));
}

}  // namespace
