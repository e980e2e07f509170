// The test driver's actions come back only when the window's thread has really handled them.
// Each case repeats the action a few hundred times: a driver that returns early is caught by the
// check right after the action in some of the rounds.
#include "ui_test_util.h"

#include "runtime/ui/dialogs.h"

#include <atomic>

using namespace uitest;
using rt::ControlKind;
using rt::Event;

namespace {

constexpr int Rounds = 300;

enum { ASK = 1, COUNT };

// A window whose ASK button asks a question and notes the answer, and whose COUNT button counts.
void askingWindow(std::atomic<int>& asked, std::atomic<int>& answered, std::atomic<int>& counted, int timer) {
    rt::Window w("Fragen", "Fragen");
    w.add(ASK, ControlKind::Button).setText("&Fragen");
    w.add(COUNT, ControlKind::Button).setText("&Zählen");
    w.add(3, ControlKind::Progress);
    if (timer > 0) w.setTimer(timer);
    int ticks = 0;
    while (auto e = w.accept()) {
        if (e.event == Event::Timer) w[3].setValue(std::to_string(++ticks % 100));  // publishes on every tick
        if (e.event != Event::Accepted) continue;
        if (e.control == ASK) {
            int n = ++asked;
            int answer = rt::message("Frage " + std::to_string(n), "Frage", rt::MessageIcon::Question,
                                     rt::button::Yes | rt::button::No);
            answered = answer == rt::button::Yes ? n : -n;
        } else if (e.control == COUNT) {
            ++counted;
        }
    }
}

TEST_F(UiTest, AnActionThatOpensAMessageBoxReturnsWhenTheBoxIsShown) {
    std::atomic<int> asked{0}, answered{0}, counted{0};
    int t = rt::startThread([&] { askingWindow(asked, answered, counted, 0); });
    auto w = user.waitWindow("Fragen");
    for (int i = 1; i <= Rounds; ++i) {
        user.press(w, ASK);
        // The box is on the screen now: nothing left to wait for.
        auto shown = display.history();
        ASSERT_FALSE(shown.empty()) << "round " << i;
        ASSERT_EQ(shown.back().messageBox.text, "Frage " + std::to_string(i)) << "round " << i;
        ASSERT_FALSE(shown.back().answered) << "round " << i;
        user.answerMessageBox(rt::button::Yes);
        ASSERT_EQ(answered.load(), i) << "round " << i;
    }
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, AnActionWhoseMessageBoxTakesAQueuedAnswerReturnsAfterTheAnswerWasUsed) {
    std::atomic<int> asked{0}, answered{0}, counted{0};
    int t = rt::startThread([&] { askingWindow(asked, answered, counted, 0); });
    auto w = user.waitWindow("Fragen");
    for (int i = 1; i <= Rounds; ++i) {
        user.queueMessageBoxAnswer(i % 2 ? rt::button::Yes : rt::button::No);
        user.press(w, ASK);
        ASSERT_EQ(answered.load(), i % 2 ? i : -i) << "round " << i;
        ASSERT_EQ(user.lastMessageBox().text, "Frage " + std::to_string(i)) << "round " << i;
    }
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, ActionsOnAWindowWithARunningTimerReturnWhenTheirEventWasHandled) {
    std::atomic<int> asked{0}, answered{0}, counted{0};
    int t = rt::startThread([&] { askingWindow(asked, answered, counted, 1); });
    auto w = user.waitWindow("Fragen");
    for (int i = 1; i <= Rounds; ++i) {
        user.press(w, COUNT);
        ASSERT_EQ(counted.load(), i) << "round " << i;
    }
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, MessageBoxesOfAWindowWithARunningTimerAreShownWhenTheActionReturns) {
    std::atomic<int> asked{0}, answered{0}, counted{0};
    int t = rt::startThread([&] { askingWindow(asked, answered, counted, 1); });
    auto w = user.waitWindow("Fragen");
    for (int i = 1; i <= Rounds / 2; ++i) {
        user.queueMessageBoxAnswer(rt::button::Yes);
        user.press(w, ASK);
        ASSERT_EQ(answered.load(), 2 * i - 1) << "round " << i;
        user.press(w, ASK);
        ASSERT_EQ(user.lastMessageBox().text, "Frage " + std::to_string(2 * i)) << "round " << i;
        user.answerMessageBox(rt::button::No);
        ASSERT_EQ(answered.load(), -2 * i) << "round " << i;
    }
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, InputPostedWhileTheThreadIsBusyIsHandledBeforeTheActionReturns) {
    // The thread is kept busy by posted events of its own while the driver's input arrives.
    std::atomic<int> counted{0};
    std::atomic<int> busy{0};
    int t = rt::startThread([&] {
        rt::Window w("Beschäftigt", "Beschäftigt");
        w.add(COUNT, ControlKind::Button).setText("&Zählen");
        w.setTimer(1);
        while (auto e = w.accept()) {
            if (e.event == Event::Timer && ++busy % 3 == 0) w.post(userEvent(1));
            if (e.event == userEvent(1)) std::this_thread::yield();
            if (e.event == Event::Accepted && e.control == COUNT) ++counted;
        }
    });
    auto w = user.waitWindow("Beschäftigt");
    for (int i = 1; i <= Rounds; ++i) {
        user.press(w, COUNT);
        ASSERT_EQ(counted.load(), i) << "round " << i;
    }
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, AnActionWhoseInputAWindowOpenedMeanwhileHoldsBackReturnsWhenThatWindowWaits) {
    // The window's timer opens a form over it now and then: an input that came just before stays
    // queued until the form has closed, and the action comes back once the form waits.
    std::atomic<int> counted{0};
    std::atomic<bool> wantForm{false};
    int t = rt::startThread([&] {
        rt::Window w("Liste", "Liste");
        w.add(COUNT, ControlKind::Button).setText("&Zählen");
        w.setTimer(1);
        while (auto e = w.accept()) {
            if (e.event == Event::Timer && wantForm.exchange(false)) {
                rt::Window form("Formular", "Formular");
                while (form.accept()) {
                }
            }
            if (e.event == Event::Accepted && e.control == COUNT) ++counted;
        }
    });
    rt::TestDriver quick(display, 2s);
    auto w = quick.waitWindow("Liste");
    int pressed = 0;
    for (int i = 1; i <= 30; ++i) {
        wantForm = true;
        quick.press(w, COUNT);  // comes back either way, never by its time limit
        ++pressed;
        auto form = quick.waitWindow("Formular");
        quick.closeWindow(form);
        quick.settle(t);
        ASSERT_EQ(counted.load(), pressed) << "round " << i;
    }
    quick.closeWindow(w);
    quick.waitThreadEnd(t);
}

}  // namespace
