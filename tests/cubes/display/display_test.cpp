// The cube display list's filter and viewer call, and the cockpit's settings per database.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/sync/structure_update.h"
#include "cubes/display/cockpit.h"
#include "cubes/display/cube_display.h"
#include "cubes/display/viewer_link.h"
#include "runtime/ini/profile.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace {

class Display : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        SetCubeViewer([this](long id) { shown_.push_back(id); });
    }
    void TearDown() override {
        display_.shutdown();
        SetCubeViewer({});
        WorkingFolderTest::TearDown();
    }
    void onThread(const std::function<void()>& body) {
        int t = rt::startThread([&] {
            InitDictionary();
            body();
            KillDictionary();
        });
        rt::waitThread(t);
    }
    int start(void (*procedure)()) {
        return rt::startThread([procedure] {
            InitDictionary();
            procedure();
            KillDictionary();
        });
    }
    std::vector<std::string> names(rt::WindowId w) {
        std::vector<std::string> out;
        for (const auto& r : user_.rows(w, cubedisplay::List)) out.push_back(r.cells.at(2).text);
        return out;
    }
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    std::vector<long> shown_;
};

// On the embedded client and on a fresh PostgreSQL database as the server makes it.
class DisplayList : public Display, public ::testing::WithParamInterface<const char*> {};

TEST_P(DisplayList, TheFilterKeepsActiveCubesWhoseNameHoldsTheTextAndAnzeigeOpensTheViewer) {
    std::unique_ptr<voq::test::PgDatabase> pg;
    std::string connect;
    if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg, connect)) return;
    GLO.ConnectString = connect;
    onThread([] {
        // The program's tables, as its first start makes them.
        StructureRun run;
        std::string error;
        ASSERT_TRUE(SynchroniseStructures(run, error)) << error;
        ASSERT_EQ(Relate.VOQCubeKopf->open(), 0) << rt::errorText();
        const struct {
            long id;
            const char* name;
            rt::Byte active;
        } cubes[] = {{1, "Umsatz", 1}, {2, "Kosten", 0}, {3, "umsatzX", 1}, {4, "O'Brien", 1}};
        for (const auto& c : cubes) {
            CUBK = {};
            CUBK.ID = c.id;
            CUBK.CubeName = c.name;
            CUBK.Activ = c.active;
            ASSERT_EQ(Access.VOQCubeKopf->insertAsIs(), 0) << rt::errorText();
        }
        Relate.VOQCubeKopf->close();
    });
    int t = start(BrowseCubeAnzeige);
    auto w = user_.waitWindow("CubeAnzeige");
    using Names = std::vector<std::string>;
    EXPECT_EQ(names(w), (Names{"Kosten", "O'Brien", "Umsatz", "umsatzX"}));  // inactive ones too
    const struct {
        const char* text;
        Names expected;
    } cases[] = {
        {"", {"O'Brien", "Umsatz", "umsatzX"}},
        {"   ", {"O'Brien", "Umsatz", "umsatzX"}},
        {"Ums", {"Umsatz"}},
        {"O'B", {"O'Brien"}},
        {"Kost", {}},
    };
    for (const auto& c : cases) {
        user_.setValue(w, cubedisplay::EntryName, c.text);
        user_.press(w, cubedisplay::Filter);
        EXPECT_EQ(names(w), c.expected) << "'" << c.text << "'";
    }
    user_.setValue(w, cubedisplay::EntryName, "umsatz");
    user_.press(w, cubedisplay::Filter);
    user_.press(w, cubedisplay::Show);
    user_.press(w, cubedisplay::Close);
    rt::waitThread(t);
    EXPECT_EQ(shown_, std::vector<long>{3});
}

INSTANTIATE_TEST_SUITE_P(Engines, DisplayList, ::testing::Values("sqlite", "pg-fresh"));

TEST_F(Display, TheCockpitKeepsItsButtonsPerDatabase) {
    const std::string ini = file("VOQKivorant6.INI");
    GLO.IniFile = ini;
    GLO.Database = "ErsteDB";
    GLO.STARTCOCKPIT = 0;
    rt::writeProfileString(ini, "ZweiteDB", "Cube2", "17");
    rt::writeProfileString(ini, "ZweiteDB", "Text2", std::string(40, 'x'));
    rt::writeProfileString(ini, "ZweiteDB", "StartCockpit", "0");

    // No section for the database: every button is undefined and opens cube 0.
    int t = start(ControllingCockpit);
    auto w = user_.waitWindow("Controlling Cockpit");
    for (int n = 0; n < 6; ++n) EXPECT_EQ(user_.text(w, cockpit::Button1 + n), "nicht definiert");
    user_.press(w, cockpit::Button4);
    // Ticking the box without "Sichern" writes nothing.
    user_.check(w, cockpit::StartCheck, true);
    user_.press(w, cockpit::Close);
    rt::waitThread(t);
    EXPECT_EQ(shown_, std::vector<long>{0});
    EXPECT_EQ(GLO.STARTCOCKPIT.get(), 1);
    EXPECT_EQ(rt::getProfileString(ini, "ErsteDB", "StartCockpit", "-"), "-");

    // Another client database: its own buttons, the caption cut at 30; "Sichern" writes only there.
    GLO.Database = "ZweiteDB";
    t = start(ControllingCockpit);
    w = user_.waitWindow("Controlling Cockpit");
    EXPECT_EQ(user_.text(w, cockpit::Button2), std::string(30, 'x'));
    user_.press(w, cockpit::Button2);
    user_.setValue(w, cockpit::EntryText1, "Umsatz je Monat");
    user_.setValue(w, cockpit::EntryCube1, "5");
    user_.press(w, cockpit::Save);
    EXPECT_EQ(user_.text(w, cockpit::Button1), "Umsatz je Monat");
    user_.press(w, cockpit::Close);
    rt::waitThread(t);
    EXPECT_EQ(shown_, (std::vector<long>{0, 17}));
    const CockpitSettings second = ReadCockpitSettings(ini, "ZweiteDB");
    EXPECT_EQ(second.cube[0], "5");
    EXPECT_EQ(second.text[0], "Umsatz je Monat");
    EXPECT_EQ(rt::getProfileString(ini, "ZweiteDB", "StartCockpit", "-"), "1");
    EXPECT_EQ(rt::getProfileString(ini, "ErsteDB", "Cube1", "-"), "-");
}

}  // namespace
