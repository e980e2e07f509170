// The input box and the shell open through the headless display.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/helpers/input_box.h"
#include "core/helpers/shell_helpers.h"
#include "runtime/os/process.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"
#include "tests/support/test_support.h"

namespace {

class UiHelpers : public ::testing::Test {
protected:
    void TearDown() override {
        rt::setShellOpenProgram("");
        display.shutdown();
    }
    // Runs InputBox on a program thread; the answer lands in `answer`.
    int startBox(std::string value, std::string prompt, std::string caption, std::string message, int hideMessage,
                 int keepCaption, int hidePrompt, int noValue) {
        return rt::startThread([=, this] {
            answer = InputBox(value, prompt, caption, message, hideMessage, keepCaption, hidePrompt, noValue);
        });
    }

    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
    std::string answer = "unset";
};

TEST_F(UiHelpers, InputBoxRefusesABlankEntryAndReturnsTheClippedOne) {
    int t = startBox("alt", "Jahr", "Parameter", "Bitte das Jahr", 0, 0, 0, 1);
    auto w = user.waitWindow("Parameter");
    EXPECT_EQ(user.text(w, INPUTBOX_MESSAGE), "Bitte das Jahr");
    EXPECT_EQ(user.text(w, INPUTBOX_PROMPT), "Jahr");
    EXPECT_EQ(user.value(w, INPUTBOX_ENTRY), "");  // noValue
    user.press(w, INPUTBOX_OK);
    EXPECT_TRUE(user.isOpen(w));
    EXPECT_EQ(display.beeps().size(), 1u);
    user.setValue(w, INPUTBOX_ENTRY, "2024   ");
    user.press(w, INPUTBOX_OK);
    user.waitThreadEnd(t);
    EXPECT_EQ(answer, "2024");
}

TEST_F(UiHelpers, InputBoxCancelAndCloseReturnNothing) {
    int t = startBox("vorgabe", "P", "C", "M", 0, 0, 0, 0);
    auto w = user.waitWindow("C");
    EXPECT_EQ(user.value(w, INPUTBOX_ENTRY), "vorgabe");
    user.press(w, INPUTBOX_CANCEL);
    user.waitThreadEnd(t);
    EXPECT_EQ(answer, "");

    t = startBox("vorgabe", "P", "C", "M", 0, 0, 0, 0);
    w = user.waitWindow("C");
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(answer, "");
}

TEST_F(UiHelpers, InputBoxOptionsHideTheMessageAndThePromptAndKeepTheTitle) {
    int t = startBox("x", "Prompt", "Titel", "Nachricht", 1, 1, 1, 0);
    auto w = user.waitWindow("Input Box");
    EXPECT_EQ(user.text(w, INPUTBOX_MESSAGE), "");
    EXPECT_EQ(user.text(w, INPUTBOX_PROMPT), "");
    auto entry = user.control(w, INPUTBOX_ENTRY);
    auto message = user.control(w, INPUTBOX_MESSAGE);
    EXPECT_EQ(entry.x, message.x);
    EXPECT_EQ(entry.width, message.width);
    user.press(w, INPUTBOX_OK);
    user.waitThreadEnd(t);
    EXPECT_EQ(answer, "x");
}

TEST_F(UiHelpers, ShellOpenOfAMissingFileShowsTheTableText) {
    voq::test::TempDir dir;
    rt::setShellOpenProgram("true");
    const std::string missing = dir.file("fehlt.csv");
    int t = rt::startThread([&] { ShellOpenFile(missing + "   "); });
    auto box = user.waitMessageBox();
    EXPECT_EQ(box.text, "File not found\r\n" + missing);
    EXPECT_EQ(box.title, "");
    user.answerMessageBox(rt::button::Ok);
    user.waitThreadEnd(t);
    EXPECT_EQ(LastShellOpenFile(), missing);

    std::ofstream(dir.file("da.csv")) << "x";
    t = rt::startThread([&] { RunShellExecute(0, dir.file("da.csv")); });
    user.waitThreadEnd(t);
    EXPECT_EQ(user.messageBoxes().size(), 1u);
}

TEST_F(UiHelpers, AFileNoProgramOpensShowsTheNoAssociationText) {
    voq::test::TempDir dir;
    std::ofstream(dir.file("Umsatz.csv")) << "x";
    rt::setShellOpenProgram("false");
    int t = rt::startThread([&] { ShellOpenFile(dir.file("Umsatz.csv")); });
    auto box = user.waitMessageBox();
    EXPECT_EQ(box.text, "No program associated with this file\r\n" + dir.file("Umsatz.csv"));
    user.answerMessageBox(rt::button::Ok);
    user.waitThreadEnd(t);
}

TEST_F(UiHelpers, AnOpenerThatFailsOnlyAfterAMomentIsStillTold) {
    voq::test::TempDir dir;
    std::ofstream(dir.file("Umsatz.XLS")) << "x";
    // As the desktop opener does on a busy machine: it takes longer to find that nothing opens
    // the file than the caller waits.
    const std::string slow = dir.file("opener.sh");
    std::ofstream(slow) << "#!/bin/sh\nsleep 3\nexit 3\n";
    std::filesystem::permissions(slow, std::filesystem::perms::owner_all);
    rt::setShellOpenProgram(slow);
    int t = rt::startThread([&] { RunShellExecute(0, dir.file("Umsatz.XLS")); });
    user.waitThreadEnd(t);
    EXPECT_TRUE(user.messageBoxes().empty());  // the caller went on
    auto box = user.waitMessageBox();
    EXPECT_EQ(box.text, "No program associated with this file\r\n" + dir.file("Umsatz.XLS"));
    user.answerMessageBox(rt::button::Ok);
    ASSERT_TRUE(rt::waitAllThreads(std::chrono::seconds(5)));
}

TEST_F(UiHelpers, ShellErrorTexts) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {{0, "Out of memory or file is corrupt when running program"},
                          {3, "Path not found"},
                          {11, "Invalid program file.  Non Windows or corrupt .exe file"},
                          {16, "This program is already running and can only have one instance running"},
                          {31, "No program associated with this file"},
                          {1, ""},
                          {4, ""},
                          {32, ""}};
    for (const auto& c : cases) EXPECT_EQ(ShellErrorText(c.code), c.text) << c.code;
}

}  // namespace
