// The window controller's steps, the list's loading and locators, and the list-format manager,
// on a small local table.

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/error_manager.h"
#include "runtime/classlib/list_format_manager.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/data/dictionary.h"
#include "runtime/ini/ini_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"
#include "tests/support/test_support.h"

using namespace std::chrono_literals;

namespace {

struct NameRecord {
    rt::Long ID = 0;
    rt::CString<31> Name;
};
thread_local NameRecord NAM;
rt::Shared<std::string> namesFile;

const rt::TableDef& namesTable() {
    using R = NameRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("Names", "NAM")
                                        .localFile([] { return namesFile.get(); })
                                        .create()
                                        .field(&R::ID, "ID", "@n6")
                                        .field(&R::Name, "Name", "@s30")
                                        .key("KeyID", {"ID"}, rt::Unique | rt::Primary, {}, 1)
                                        .key("KeyName", {"Name"}, rt::Dup | rt::NoCase)
                                        .build();
    return def;
}

rt::RelationManager& names() {
    if (!rt::relationManager("Names")) rt::threadDictionary().add(namesTable(), &NAM);
    return *rt::relationManager("Names");
}

enum { LIST = 1, CLOSE, ENTRY };

class ClasslibTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rt::waitAllThreads(5s));
        namesFile.set(dir.file("NAMES.TPS"));
        auto& fm = names().file();
        fm.open();
        const char* list[] = {"Anton",  "Berta",    "Cäsar", "Dora",   "Emil",     "Friedrich",
                              "Gustav", "Heinrich", "Ida",   "Julius", "Kaufmann", "Ludwig"};
        int id = 10;
        for (const char* n : list) {
            NAM.ID = id;
            id += 10;
            NAM.Name = n;
            fm.insertAsIs();
        }
        fm.close();
    }
    void TearDown() override { display.shutdown(); }

    voq::test::TempDir dir;
    rt::HeadlessDisplay display;
    rt::TestDriver user{display, 5s};
};

// A list of the names with the given locator on the name order.
void namesList(rt::Locator locator, int pageSize, std::function<void(rt::BrowseManager&)> more = {}) {
    rt::Window w("NamesList", "Namen");
    w.setPosition(0, 0, 200, 120);
    w.add(LIST, rt::ControlKind::List).setPosition(4, 4, 150, 100);
    w.add(ENTRY, rt::ControlKind::Entry).setPosition(4, 106, 60, 10);
    w.add(CLOSE, rt::ControlKind::Button).setText("Close").setPosition(160, 100, 36, 14);
    rt::WindowController wc(w, "NamesList");
    wc.addFile(names());
    rt::ViewManager view(names().file());
    rt::BrowseManager list(wc, LIST, view);
    list.addColumn("ID", 30, "NAM:ID", "@n6", rt::Justify::Right);
    list.addColumn("Name", 100, "NAM:Name");
    list.addSortOrder(rt::sortByKey(0, "NAM:KeyName", locator, "NAM:Name", locator == rt::Locator::Entry ? ENTRY : 0));
    list.setCloseButton(CLOSE);
    list.setPageSize(pageSize);
    if (more) more(list);
    wc.run();
}

}  // namespace

TEST_F(ClasslibTest, StepsNameStackRequestAndChildProcedures) {
    std::vector<std::string> log;
    std::mutex m;
    auto note = [&](std::string s) {
        std::lock_guard lock(m);
        log.push_back(std::move(s));
    };
    int t = rt::startThread([&] {
        rt::ThreadRequest = rt::request::Change;
        rt::ThreadVcrRequest = 0;
        rt::Window w("Steps", "Schritte");
        w.add(1, rt::ControlKind::Button).setText("&Call");
        w.add(2, rt::ControlKind::Button).setText("Close");
        rt::WindowController wc(w, "Steps");
        wc.addCloseButton(2, rt::response::Completed);
        wc.setProcedure(1, [&] {
            note("child request " + std::to_string(rt::ThreadRequest) + " names " +
                 std::to_string(rt::ErrorManager::procedures().size()));
            rt::ThreadResponse = rt::response::Completed;
        });
        wc.onInit = [&] {
            note("init request " + std::to_string(wc.request()) + " thread " + std::to_string(rt::ThreadRequest) +
                 " name " + rt::ErrorManager::procedure());
            return 0;
        };
        wc.onOpened = [&] { note("opened"); };
        wc.addFilter([&](const rt::EventInfo& e) {
            if (e.event == rt::Event::Accepted && e.control == 1) {
                note("call answered " + std::to_string(wc.callProcedure(1, rt::request::Insert)));
                return true;  // taken: nothing after it sees the press
            }
            return false;
        });
        wc.onEvent = [&](const rt::EventInfo& e) {
            if (e.event == rt::Event::Accepted) note("own " + std::to_string(e.control));
            return false;
        };
        wc.run();
        note("end response " + std::to_string(rt::ThreadResponse) + " names " +
             std::to_string(rt::ErrorManager::procedures().size()));
    });
    auto w = user.waitWindow("Schritte");
    user.press(w, 1);
    user.press(w, 2);
    user.waitThreadEnd(t);
    EXPECT_EQ(log, (std::vector<std::string>{"init request 2 thread 0 name Steps", "opened", "child request 1 names 1",
                                             "call answered 1", "own 2", "end response 1 names 0"}));
}

TEST_F(ClasslibTest, AFailingSetUpEndsTheProcedureWithoutAWindow) {
    struct Failing : rt::WindowComponent {
        int init() override { return 47; }
    };
    std::atomic<int> response{-1};
    std::atomic<std::size_t> names{99};
    int t = rt::startThread([&] {
        rt::Window w("Fails", "Fails");
        rt::WindowController wc(w, "Fails");
        rt::IniManager state;
        state.setFileName(dir.file("STATE.INI"));
        wc.setIniManager(&state);
        Failing f;
        wc.addComponent(f);
        response = wc.run();
        names = rt::ErrorManager::procedures().size();
    });
    user.waitThreadEnd(t);
    EXPECT_EQ(response, rt::response::Cancelled);
    EXPECT_EQ(names, 0u);
    EXPECT_TRUE(display.shownWindows().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("STATE.INI")));
}

TEST_F(ClasslibTest, PagesLoadAsTheSelectionNearsTheirEnd) {
    int t = rt::startThread([] { namesList(rt::Locator::None, 4); });
    auto w = user.waitWindow("Namen");
    EXPECT_EQ(user.rows(w, LIST).size(), 4u);
    EXPECT_EQ(user.cell(w, LIST, 1, 2), "Anton");
    EXPECT_EQ(user.cell(w, LIST, 1, 1), "10");
    user.selectRow(w, LIST, 3);
    EXPECT_EQ(user.rows(w, LIST).size(), 8u);
    user.selectRow(w, LIST, 8);
    EXPECT_EQ(user.rows(w, LIST).size(), 12u);
    user.selectRow(w, LIST, 12);
    EXPECT_EQ(user.rows(w, LIST).size(), 12u);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(ClasslibTest, LocatorsStepIncrementalAndEntry) {
    struct Case {
        rt::Locator locator;
        std::vector<int> keysTyped;  // or, for the entry locator, one text
        std::string entryText;
        std::string expected;
    } cases[] = {
        {rt::Locator::Step, {'H'}, "", "Heinrich"},
        {rt::Locator::Step, {'H', 'E'}, "", "Emil"},  // each character starts again
        {rt::Locator::Incremental, {'H', 'E'}, "", "Heinrich"},
        {rt::Locator::Incremental, {'J', 'U', rt::keys::Backspace}, "", "Julius"},
        {rt::Locator::Incremental, {'C', 'A'}, "", "Cäsar"},
        {rt::Locator::Incremental, {'Z'}, "", "Ludwig"},  // beyond the last: the last row
        {rt::Locator::Entry, {}, "kau", "Kaufmann"},
        {rt::Locator::Entry, {}, "fz", "Gustav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        int t = rt::startThread([locator = c.locator] { namesList(locator, 3); });
        auto w = user.waitWindow("Namen");
        if (c.locator == rt::Locator::Entry) {
            user.setValue(w, ENTRY, c.entryText);
        } else {
            user.focus(w, LIST);
            for (int k : c.keysTyped) user.key(w, LIST, k);
        }
        int row = user.selected(w, LIST);
        ASSERT_GT(row, 0);
        EXPECT_EQ(user.cell(w, LIST, row, 2), c.expected);
        user.press(w, CLOSE);
        user.waitThreadEnd(t);
    }
}

TEST_F(ClasslibTest, ResetKeepsTheCurrentRecordAfterOthersChanged) {
    int t = rt::startThread([] {
        namesList(rt::Locator::None, 20, [](rt::BrowseManager& list) {
            list.popup().addItem("&Refresh", "Refresh");
            list.onPopupItem = [&list](const std::string& name) {
                if (name != "Refresh") return;
                // Another user adds a name before the selected one.
                auto& fm = names().file();
                NameRecord keep = NAM;
                NAM.ID = 5;
                NAM.Name = "Aaron";
                fm.insertAsIs();
                NAM = keep;
                list.reset(true);
            };
        });
    });
    auto w = user.waitWindow("Namen");
    user.selectRow(w, LIST, 3);
    EXPECT_EQ(user.cell(w, LIST, 3, 2), "Cäsar");
    user.queuePopupAnswer(1);
    user.key(w, LIST, rt::keys::MouseRight, 3);
    EXPECT_EQ(user.rows(w, LIST).size(), 13u);
    EXPECT_EQ(user.selected(w, LIST), 4);
    EXPECT_EQ(user.cell(w, LIST, 4, 2), "Cäsar");
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(ClasslibTest, TheListsFilterAndTheOrdersFilterApplyTogether) {
    int t = rt::startThread([] {
        namesList(rt::Locator::None, 20, [](rt::BrowseManager& list) {
            list.setFilter([] { return NAM.ID >= 50; });
            auto second = rt::sortByKey(0, "NAM:KeyID");
            second.filter = [] { return NAM.ID % 20 == 0; };
            list.addSortOrder(second);
            list.popup().addItem("Second", "Second");
            list.popup().addItem("Off", "Off");
            list.onPopupItem = [&list](const std::string& name) {
                if (name == "Second") list.setSortOrder(2);
                if (name == "Off") {
                    list.setFilter({});
                    list.reset(false);
                }
            };
        });
    });
    auto w = user.waitWindow("Namen");
    EXPECT_EQ(user.rows(w, LIST).size(), 8u);  // 50 .. 120
    EXPECT_EQ(user.cell(w, LIST, 1, 2), "Emil");
    user.queuePopupAnswer(1);
    user.key(w, LIST, rt::keys::MouseRight, 1);
    EXPECT_EQ(user.rows(w, LIST).size(), 4u);  // 60, 80, 100, 120
    EXPECT_EQ(user.cell(w, LIST, 1, 1), "60");
    user.queuePopupAnswer(2);
    user.key(w, LIST, rt::keys::MouseRight, 1);
    EXPECT_EQ(user.rows(w, LIST).size(), 6u);  // the order's filter alone
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(ClasslibTest, ListFormatsSeparateInMemorySharedInTheFile) {
    std::string formats = dir.file("Formats.FDB");
    rt::IniManager settings;
    settings.setFileName(dir.file("APP.INI"));
    rt::IniManager* ini = &settings;
    std::atomic<int> step{0};
    std::vector<std::string> seenByB;
    std::atomic<int> widthB{0}, widthA{0};
    auto make = [&](rt::Window& w) {
        w.add(LIST, rt::ControlKind::List).setColumns({rt::ListColumn("A", 20), rt::ListColumn("B", 30)});
    };
    int a = rt::startThread([&] {
        rt::Window w("L", "L");
        make(w);
        auto& m = rt::ListFormatManager::forThread("L");
        EXPECT_EQ(m.init("L", "App", w, LIST, formats, ini), 0);
        w.control(LIST).editList().columns[0].width = 5;
        m.setSortOrder(2);
        EXPECT_EQ(m.sortOrderNote(), "SortOrder2");
        EXPECT_TRUE(m.saveFormat("Eng"));
        step = 1;
        while (step < 2) std::this_thread::yield();
        widthA = w.control(LIST).list().columns[0].width;
        EXPECT_EQ(m.kill(), 0);
    });
    int b = rt::startThread([&] {
        rt::Window w("L", "L");
        make(w);
        auto& m = rt::ListFormatManager::forThread("L");
        m.init("L", "App", w, LIST, formats, ini);
        int switched = 0;
        m.onSortOrder = [&](int order) { switched = order; };
        while (step < 1) std::this_thread::yield();
        seenByB = m.storedFormats();
        EXPECT_TRUE(m.applyFormat("Eng"));
        EXPECT_EQ(switched, 2);
        widthB = w.control(LIST).list().columns[0].width;
        EXPECT_TRUE(m.applyFormat(rt::ListFormatManager::DefaultFormat));
        EXPECT_EQ(w.control(LIST).list().columns[0].width, 20);
        // Another application's layouts are not this list's.
        auto& other = rt::ListFormatManager::forThread("Other");
        other.init("L", "AnotherApp", w, LIST, formats, ini);
        EXPECT_TRUE(other.storedFormats().empty());
        // Nor another list's.
        auto& otherList = rt::ListFormatManager::forThread("M");
        otherList.init("M", "App", w, LIST, formats, ini);
        EXPECT_TRUE(otherList.storedFormats().empty());
        step = 2;
        EXPECT_EQ(m.kill(), 0);
    });
    rt::waitThread(a);
    rt::waitThread(b);
    EXPECT_EQ(seenByB, (std::vector<std::string>{"Eng"}));
    EXPECT_EQ(widthB, 5);
    EXPECT_EQ(widthA, 5);  // B's switch back did not touch A's list
}

TEST_F(ClasslibTest, ListFormatManagerWithoutAUsableFileKeepsTheDesign) {
    std::filesystem::create_directory(dir.file("Formats.FDB"));
    int t = rt::startThread([&] {
        rt::Window w("L", "L");
        w.add(LIST, rt::ControlKind::List).setColumns({rt::ListColumn("A", 20)});
        auto& m = rt::ListFormatManager::forThread("L");
        EXPECT_NE(m.init("L", "App", w, LIST, dir.file("Formats.FDB"), nullptr), 0);
        EXPECT_FALSE(m.works());
        EXPECT_FALSE(m.saveFormat("X"));
        EXPECT_TRUE(m.storedFormats().empty());
        EXPECT_NE(m.kill(), 0);
    });
    rt::waitThread(t);
}
