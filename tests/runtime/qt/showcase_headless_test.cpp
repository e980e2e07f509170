// The showcase, written against the window model, runs unchanged on the headless display.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "runtime/qt/showcase.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"

namespace {

using namespace rt::qt::showcase;
using namespace std::chrono_literals;

// A frame's toolbar button reaches the child through a post of the frame's thread, which the
// driver does not wait for: look again until the text is there.
template <typename F>
std::string eventually(F read, const std::string& wanted) {
    std::string seen;
    for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
        seen = read();
        if (seen == wanted) break;
        std::this_thread::sleep_for(5ms);
    }
    return seen;
}

TEST(ShowcaseHeadless, FrameChildControlsAndPromptsWorkWithoutAScreen) {
    rt::HeadlessDisplay display;
    rt::TestDriver user(display);
    const int thread = rt::startThread([] { rt::qt::runShowcase(); });

    const rt::WindowId frame = user.waitWindow(rt::qt::kShowcaseFrameProcedure);
    const rt::WindowId child = user.waitWindow(rt::qt::kShowcaseProcedure);
    EXPECT_TRUE(user.window(frame).frame);
    EXPECT_TRUE(user.window(child).mdiChild);
    EXPECT_NE(user.window(child).thread, user.window(frame).thread);
    EXPECT_EQ(user.statusText(frame, 4), "Datenbank : demo");

    // Every control kind of the model stands in the showcase.
    std::set<rt::ControlKind> kinds;
    for (rt::WindowId id : {frame, child}) {
        const auto shown = display.shown(id);
        ASSERT_TRUE(shown);
        for (const auto& c : shown->controls) kinds.insert(c.kind);
    }
    for (auto kind :
         {rt::ControlKind::Prompt, rt::ControlKind::String,   rt::ControlKind::Entry,     rt::ControlKind::Text,
          rt::ControlKind::Button, rt::ControlKind::Check,    rt::ControlKind::Option,    rt::ControlKind::Radio,
          rt::ControlKind::Group,  rt::ControlKind::DropList, rt::ControlKind::DropCombo, rt::ControlKind::Spin,
          rt::ControlKind::List,   rt::ControlKind::Tree,     rt::ControlKind::Sheet,     rt::ControlKind::Tab,
          rt::ControlKind::Box,    rt::ControlKind::Line,     rt::ControlKind::Panel,     rt::ControlKind::Image,
          rt::ControlKind::Region, rt::ControlKind::Progress, rt::ControlKind::Ole,       rt::ControlKind::Menu,
          rt::ControlKind::Item})
        EXPECT_TRUE(kinds.count(kind)) << rt::controlKindName(kind);

    // The list colours of the coloured lists: first row normal, second light green.
    const auto rows = user.rows(child, ListCubes);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells[1].back, rt::ColorNone);
    EXPECT_EQ(rows[1].cells[1].back, rt::rgb(206, 255, 206));
    EXPECT_EQ(rows[0].cells[1].fore, rt::rgb(64, 0, 64));

    // The child's timer runs all the while; each action still comes back only when the child
    // has handled it.
    for (int round = 0; round < 20; ++round) {
        user.selectRow(child, ListCubes, 3 + round % 2);
        EXPECT_EQ(user.statusText(child, 1), "Zeile " + std::to_string(3 + round % 2));
    }
    user.mouseIn(child, RegionMouse);
    EXPECT_EQ(user.text(child, StringMouse), "Maus: drinnen");

    user.queueMessageBoxAnswer("&Stop");
    user.press(child, ButtonMessage);
    EXPECT_EQ(user.statusText(child, 1), "Antwort 2");
    EXPECT_EQ(user.lastMessageBox().title, "Hinweis");
    EXPECT_EQ(user.lastMessageBox().text, "Das ist eine Meldung.\nSie hat zwei Zeilen.");

    // A toolbar button of the frame goes to the active window of the other thread.
    user.activate(child);
    user.press(frame, TbDown);
    const std::string tool = "Symbolleiste " + std::to_string(TbDown - TbInsert + 1);
    EXPECT_EQ(eventually([&] { return user.statusText(child, 2); }, tool), tool);

    user.press(frame, ItemExit);
    user.waitThreadEnd(thread);
    EXPECT_FALSE(user.isOpen(child));
}

}  // namespace
