// The demo as its user meets it: every cube the cockpit of the demo database offers opens in the
// pivot viewer with the real control, without a single message box; the list cube, which only
// the query runner can fill, is refused with one message naming its placeholder.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "cubes/display/cockpit.h"
#include "cubes/display/viewer_link.h"
#include "cubes/viewer/anzeige_cube.h"
#include "demo/demo_folder.h"
#include "pivot/nova_source.h"
#include "pivot/pivot_control.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/support/test_support.h"

namespace {

class DemoCockpit : public ::testing::Test {
protected:
    void SetUp() override {
        demo::DemoOptions o;
        o.salesLines = 2000;
        ASSERT_EQ(demo::prepareDemoFolder(dir_.file("work"), o), "");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.file("work"));
        resetGlobals();
        GLO.ConnectString = demo::demoConnectString();
        GLO.Database = demo::kDemoDatabase;
        pivot::setEngineLibrary(NOVA_ENGINE_PATH);
        pivot::registerPivotControl();
        SetCubeViewer(AnzeigeCube);
    }
    void TearDown() override {
        display_.shutdown();
        SetCubeViewer({});
        std::filesystem::current_path(previous_);
    }
    int start(void (*procedure)()) {
        return rt::startThread([procedure] {
            InitDictionary();
            procedure();
            KillDictionary();
        });
    }
    voq::test::TempDir dir_;
    std::filesystem::path previous_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_, std::chrono::seconds(30)};
};

TEST_F(DemoCockpit, EveryCubeItOffersOpensWithoutAnErrorBox) {
    const int t = start(ControllingCockpit);
    const rt::WindowId w = user_.waitWindow("Controlling Cockpit");
    int opened = 0;
    for (int n = 0; n < 6; ++n) {
        const std::string cube = user_.value(w, cockpit::EntryCube1 + n);
        SCOPED_TRACE(user_.text(w, cockpit::Button1 + n));
        if (cube.empty()) {
            EXPECT_EQ(user_.text(w, cockpit::Button1 + n), "nicht definiert");
            continue;
        }
        user_.press(w, cockpit::Button1 + n);
        const rt::WindowId viewer = user_.waitWindow("AnzeigeCube");
        EXPECT_EQ(user_.window(viewer).title.rfind(demo::kDemoCubes[opened], 0), 0u) << user_.window(viewer).title;
        auto control = std::dynamic_pointer_cast<pivot::PivotControl>(user_.control(viewer, anzeige::Pivot).object);
        ASSERT_TRUE(control);
        EXPECT_GT(control->table()->lineCount(), 2u);
        user_.press(viewer, anzeige::Ok);
        user_.waitClosed(viewer);
        ++opened;
    }
    EXPECT_EQ(opened, 3);  // the three pivot cubes
    EXPECT_TRUE(user_.messageBoxes().empty());
    user_.press(w, cockpit::Close);
    user_.waitThreadEnd(t);
}

TEST_F(DemoCockpit, TheListCubeIsRefusedWithOneMessage) {
    const int t = rt::startThread([] {
        InitDictionary();
        AnzeigeCube(4);
        KillDictionary();
    });
    const auto box = user_.waitMessageBox();
    EXPECT_NE(box.text.find("#FELDLISTE#"), std::string::npos) << box.text;
    user_.answerMessageBox(rt::button::Ok);
    user_.waitThreadEnd(t);
    EXPECT_EQ(user_.messageBoxes().size(), 1u);
}

}  // namespace
