// The date filter through the headless display: its answers, the refused ranges and the
// calendar behind its buttons.
#include "cubes/datefilter/input_date_box.h"

#include <gtest/gtest.h>
#include <string>

#include "core/calendar/calendar.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"

namespace {

using namespace datefilter;

class InputDateBoxTest : public coretest::WorkingFolderTest {
protected:
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    rt::WindowId open() {
        thread_ = rt::startThread([this] { answer_ = InputDateBox("Lieferdatum"); });
        return user_.waitWindow(kTitle);
    }
    std::string answer() {
        user_.waitThreadEnd(thread_);
        return answer_;
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    std::string answer_ = "untouched";
    int thread_ = 0;
};

TEST_F(InputDateBoxTest, TheAnswerIsEmptyOneDateOrARange) {
    const struct {
        const char* from;
        const char* to;
        const char* answer;
    } cases[] = {
        {"", "", ""},
        {"31.01.2024", "31.01.2024", "31.01.2024"},
        {"01.01.2024", "31.01.2024", "01.01.2024;31.01.2024"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + "|" + c.to);
        auto w = open();
        EXPECT_EQ(user_.text(w, Message), "Lieferdatum");
        user_.setValue(w, FromDate, c.from);
        user_.setValue(w, ToDate, c.to);
        user_.press(w, Ok);
        EXPECT_EQ(answer(), c.answer);
    }
}

TEST_F(InputDateBoxTest, AnIncompleteOrReversedRangeIsRefusedAndCleared) {
    const struct {
        const char* from;
        const char* to;
    } cases[] = {{"01.02.2024", ""}, {"", "01.02.2024"}, {"02.02.2024", "01.02.2024"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + "|" + c.to);
        auto w = open();
        user_.setValue(w, FromDate, c.from);
        user_.setValue(w, ToDate, c.to);
        user_.queueMessageBoxAnswer(rt::button::Ok);
        user_.press(w, Ok);
        EXPECT_EQ(user_.lastMessageBox().title, kErrorTitle);
        EXPECT_EQ(user_.lastMessageBox().text, kErrorText);
        EXPECT_TRUE(user_.isOpen(w));
        EXPECT_EQ(user_.value(w, FromDate), "");
        EXPECT_EQ(user_.value(w, ToDate), "");
        EXPECT_EQ(user_.window(w).focus, FromDate);
        user_.press(w, Cancel);
        EXPECT_EQ(answer(), "");
    }
}

TEST_F(InputDateBoxTest, ADateThatCannotBeReadIsRefusedNamingItsEntry) {
    const struct {
        const char* from;
        const char* to;
        int entry;
        const char* text;
    } cases[] = {
        {"32.13.2024", "", FromDate, "Kein gültiges Datum in \"von Datum\": 32.13.2024"},
        {"abc", "", FromDate, "Kein gültiges Datum in \"von Datum\": abc"},
        {"01.02.2024", "31.02.2024", ToDate, "Kein gültiges Datum in \"Bis Datum\": 31.02.2024"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + "|" + c.to);
        auto w = open();
        user_.setValue(w, FromDate, c.from);
        user_.setValue(w, ToDate, c.to);
        user_.queueMessageBoxAnswer(rt::button::Ok);
        user_.press(w, Ok);
        EXPECT_EQ(user_.lastMessageBox().title, kErrorTitle);
        EXPECT_EQ(user_.lastMessageBox().text, c.text);
        EXPECT_TRUE(user_.isOpen(w));
        EXPECT_EQ(user_.window(w).focus, c.entry);
        EXPECT_EQ(user_.value(w, FromDate), c.from);
        // Mended, the window goes on as usual.
        user_.setValue(w, FromDate, "01.02.2024");
        user_.setValue(w, ToDate, "29.02.2024");
        user_.press(w, Ok);
        EXPECT_EQ(answer(), "01.02.2024;29.02.2024");
    }
}

TEST_F(InputDateBoxTest, TheCalendarButtonsFillTheirEntries) {
    auto w = open();
    user_.setValue(w, FromDate, "15.01.2024");
    user_.press(w, FromCalendar);
    auto cal = user_.waitWindow(calendar::kProcedure);
    EXPECT_EQ(user_.window(cal).title, "Januar 2024");
    user_.key(cal, 0, rt::keys::Right);
    user_.key(cal, 0, rt::keys::Enter);
    user_.waitClosed(cal);
    EXPECT_EQ(user_.value(w, FromDate), "16.01.2024");

    rt::setTestClock(rt::dateFromYmd(2024, 3, 5), 1);
    user_.press(w, ToCalendar);
    cal = user_.waitWindow(calendar::kProcedure);
    EXPECT_EQ(user_.window(cal).title, "März 2024");
    user_.key(cal, 0, rt::keys::Enter);
    user_.waitClosed(cal);
    rt::clearTestClock();
    user_.press(w, Ok);
    EXPECT_EQ(answer(), "16.01.2024;05.03.2024");
}

}  // namespace
