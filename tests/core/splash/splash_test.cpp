// The splash window: its four closing causes, the cockpit start rule and the control test.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/splash/splash.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/automation.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"

namespace {

class NoControl : public rt::AutomationObject {
public:
    rt::AutoValue get(std::string_view, const std::vector<rt::AutoValue>&) override { return {}; }
    void set(std::string_view, const rt::AutoValue&, const std::vector<rt::AutoValue>&) override {}
    rt::AutoValue call(std::string_view, const std::vector<rt::AutoValue>&) override { return {}; }
};

class Splash : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        SetSplashCockpit([this] { ++cockpits_; });
        rt::registerControlFactory(kPivotProgId, [] { return std::make_shared<NoControl>(); });
    }
    void TearDown() override {
        display_.shutdown();
        SetSplashCockpit({});
        SetSplashTimer(0);
        rt::unregisterControlFactory(kPivotProgId);
        WorkingFolderTest::TearDown();
    }
    int start() {
        return rt::startThread([] {
            InitDictionary();
            MySplash();
            KillDictionary();
        });
    }
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    std::atomic<int> cockpits_{0};
};

TEST_F(Splash, EveryClosingCauseEndsItAndTheCockpitStartsOnlyWhenSet) {
    GLO.INFO = "Version 6.0.0 Stand 10.12.2026";
    enum Cause { OkButton, Click, FocusLost, Timer };
    const struct {
        Cause cause;
        rt::Byte startCockpit;
    } cases[] = {{OkButton, 1}, {Click, 0}, {FocusLost, 1}, {Timer, 0}};
    int expected = 0;
    for (const auto& c : cases) {
        GLO.STARTCOCKPIT = c.startCockpit;
        SetSplashTimer(c.cause == Timer ? 5 : 100000);
        int t = start();
        auto w = user_.waitWindow("MySplash");
        EXPECT_FALSE(user_.window(w).caption);
        EXPECT_EQ(user_.text(w, splash::Version), "Version 6.0.0 Stand 10.12.2026");
        switch (c.cause) {
        case OkButton: user_.press(w, splash::Ok); break;
        case Click: user_.press(w, splash::Area); break;
        case FocusLost: user_.send(w, rt::UserInput(rt::Event::LoseFocus, 0)); break;
        case Timer: break;
        }
        rt::waitThread(t);
        expected += c.startCockpit;
        for (int i = 0; i < 200 && cockpits_ != expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(cockpits_, expected) << int(c.cause);
    }
    EXPECT_TRUE(user_.messageBoxes().empty());  // the control is there: nothing to register
}

TEST_F(Splash, WithoutTheControlTheRegistrationIsTriedAndItsFailureShown) {
    rt::unregisterControlFactory(kPivotProgId);
    GLO.STARTCOCKPIT = 0;
    int t = start();
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "Fehler GNOVA3.OCX");
    user_.answerMessageBox(rt::button::Ok);
    auto w = user_.waitWindow("MySplash");
    user_.press(w, splash::Ok);
    rt::waitThread(t);
}

}  // namespace
