#include "ui_test_util.h"

#include "runtime/ui/automation.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

using namespace uitest;
using rt::AutomationError;
using rt::AutomationObject;
using rt::AutoValue;

namespace {

// A small stand-in for a hosted control with a field collection.
class FakeField : public AutomationObject {
public:
    std::string name;
    std::map<std::string, AutoValue> props;
    std::vector<int> details;
    AutoValue get(std::string_view member, const std::vector<AutoValue>&) override {
        if (member == "Name") return name;
        auto it = props.find(std::string(member));
        if (it == props.end()) throw AutomationError("unknown property " + std::string(member));
        return it->second;
    }
    void set(std::string_view member, const AutoValue& v, const std::vector<AutoValue>&) override {
        props[std::string(member)] = v;
    }
    AutoValue call(std::string_view method, const std::vector<AutoValue>& args) override {
        if (method != "ShowDetail" || args.size() != 1) throw AutomationError("unknown method " + std::string(method));
        details.push_back(static_cast<int>(args[0].toInt()));
        return {};
    }
};

class FakeFields : public AutomationObject {
public:
    std::vector<std::shared_ptr<FakeField>> items;
    AutoValue get(std::string_view member, const std::vector<AutoValue>& args) override {
        if (member == "Count") return static_cast<int>(items.size());
        if (member == "Item" && args.size() == 1) return item(args[0].toInt());
        throw AutomationError("unknown property " + std::string(member));
    }
    void set(std::string_view member, const AutoValue&, const std::vector<AutoValue>&) override {
        throw AutomationError("read-only " + std::string(member));
    }
    AutoValue call(std::string_view method, const std::vector<AutoValue>& args) override {
        if (method == "Item" && args.size() == 1) return item(args[0].toInt());
        if (method != "Add" || args.size() != 3) throw AutomationError("unknown method " + std::string(method));
        auto f = std::make_shared<FakeField>();
        f->name = args[0].toText();
        f->props["Caption"] = args[1];
        f->props["Orientation"] = args[2];
        items.push_back(f);
        return std::shared_ptr<AutomationObject>(f);
    }
    std::shared_ptr<AutomationObject> item(std::int64_t i) {
        if (i < 0 || i >= static_cast<std::int64_t>(items.size())) throw AutomationError("index out of range");
        return items[static_cast<std::size_t>(i)];
    }
};

class FakePivot : public AutomationObject {
public:
    std::shared_ptr<FakeFields> fields = std::make_shared<FakeFields>();
    std::shared_ptr<FakeField> font = std::make_shared<FakeField>();
    std::map<std::string, AutoValue> props;
    AutoValue get(std::string_view member, const std::vector<AutoValue>& args) override {
        if (member == "Fields") {
            if (args.size() == 1) return fields->item(args[0].toInt());
            return std::shared_ptr<AutomationObject>(fields);
        }
        if (member == "FilteredFieldFont") return std::shared_ptr<AutomationObject>(font);
        auto it = props.find(std::string(member));
        if (it == props.end()) throw AutomationError("unknown property " + std::string(member));
        return it->second;
    }
    void set(std::string_view member, const AutoValue& v, const std::vector<AutoValue>&) override {
        if (member == "Locked") throw AutomationError("Eigenschaft ist schreibgeschützt");
        props[std::string(member)] = v;
    }
    AutoValue call(std::string_view method, const std::vector<AutoValue>&) override {
        if (method == "RefreshData") return true;
        throw AutomationError("unknown method " + std::string(method));
    }
};

TEST(AutoValueTest, ConvertsAsAContainerDoes) {
    struct Case {
        AutoValue v;
        std::int64_t i;
        double d;
        std::string text;
        bool b;
    };
    const std::vector<Case> cases = {
        {AutoValue("12"), 12, 12.0, "12", true},
        {AutoValue(" 7 "), 7, 7.0, " 7 ", true},
        {AutoValue("abc"), 0, 0.0, "abc", false},
        {AutoValue("TRUE"), 0, 0.0, "TRUE", true},
        {AutoValue(2.5), 3, 2.5, "2.5", true},
        {AutoValue(12.0), 12, 12.0, "12", true},
        {AutoValue(0x808080), 0x808080, 8421504.0, "8421504", true},
        {AutoValue(true), 1, 1.0, "1", true},
        {AutoValue(), 0, 0.0, "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.v.toInt(), c.i) << c.text;
        EXPECT_DOUBLE_EQ(c.v.toDouble(), c.d) << c.text;
        EXPECT_EQ(c.v.toText(), c.text);
        EXPECT_EQ(c.v.toBool(), c.b) << c.text;
    }
    EXPECT_EQ(AutoValue(std::make_shared<FakeField>()).type(), AutoValue::Type::Object);
    EXPECT_EQ(AutoValue("x").toObject(), nullptr);
}

TEST(AutomationTest, FactoryCreatesByProgIdWhateverTheCase) {
    int made = 0;
    rt::registerControlFactory("GridnovaLib.Gnova.3", [&] {
        ++made;
        return std::make_shared<FakePivot>();
    });
    EXPECT_NE(rt::createAutomationObject("GridnovaLib.Gnova.3"), nullptr);
    EXPECT_NE(rt::createAutomationObject("gridnovalib.gnova.3"), nullptr);
    EXPECT_EQ(rt::createAutomationObject("Other.Control"), nullptr);
    EXPECT_EQ(made, 2);
    rt::registerControlFactory("Failing.Control",
                               []() -> std::shared_ptr<AutomationObject> { throw std::runtime_error("no"); });
    EXPECT_EQ(rt::createAutomationObject("Failing.Control"), nullptr);
    rt::unregisterControlFactory("GRIDNOVALIB.GNOVA.3");
    rt::unregisterControlFactory("Failing.Control");
    EXPECT_EQ(rt::createAutomationObject("GridnovaLib.Gnova.3"), nullptr);
}

TEST(AutomationTest, DottedPathsWalkSubObjectsAndLiteralIndexes) {
    FakePivot pivot;
    auto added = rt::automationCall(pivot, "Fields.Add", {"\"a.cName\"", "\"Name\"", 2}).toObject();
    ASSERT_NE(added, nullptr);
    rt::automationCall(pivot, "Fields.Add", {"b.nId", "Id", 3});
    rt::automationSet(*added, "NumberFormat", "#,##0.00");
    EXPECT_EQ(rt::automationGet(pivot, "Fields.Count").toInt(), 2);
    EXPECT_EQ(rt::automationGet(pivot, "Fields(1).Name").toText(), "b.nId");
    EXPECT_EQ(rt::automationGet(pivot, "Fields.Item(0).NumberFormat").toText(), "#,##0.00");
    rt::automationSet(pivot, "FilteredFieldFont.Italic", 1);
    EXPECT_EQ(pivot.font->props["Italic"].toInt(), 1);
    for (int i = 0; i < 2; ++i) rt::automationCall(pivot, "Fields.Item(" + std::to_string(i) + ").ShowDetail", {0});
    EXPECT_EQ(pivot.fields->items[0]->details, std::vector<int>{0});
    EXPECT_EQ(pivot.fields->items[1]->details, std::vector<int>{0});
    rt::automationSet(pivot, "FooterCaption", "- Seite &P of  &PP -");
    EXPECT_EQ(pivot.props["FooterCaption"].toText(), "- Seite &P of  &PP -");
    EXPECT_THROW(rt::automationGet(pivot, "FooterCaption.Bold"), AutomationError);  // text is no object
    EXPECT_THROW(rt::automationGet(pivot, "Fields(7).Name"), AutomationError);
}

TEST_F(UiTest, OleContainerHostsTheControlAndReportsFailuresOnlyWhenAskedTo) {
    rt::registerControlFactory("GridnovaLib.Gnova.3", [] { return std::make_shared<FakePivot>(); });
    enum { PIVOT = 1, MISSING };
    std::vector<bool> results;
    std::shared_ptr<AutomationObject> hosted;
    user.queueMessageBoxAnswer(rt::button::Ok);  // the reported failure comes before the window opens
    int t = rt::startThread([&] {
        rt::Window w("AnzeigeCube", "Cube");
        w.add(PIVOT, rt::ControlKind::Ole);
        w.add(MISSING, rt::ControlKind::Ole);
        hosted = w[PIVOT].createObject("GridnovaLib.Gnova.3");
        EXPECT_EQ(w[MISSING].createObject("Nicht.Registriert"), nullptr);
        EXPECT_TRUE(w[MISSING].oleGet("Anything").isEmpty());
        w[PIVOT].setReportErrors(true);
        results.push_back(w[PIVOT].oleSet("AutoDatRefresh", 0));
        results.push_back(w[PIVOT].oleSet("Locked", 1));  // reported
        w[PIVOT].setReportErrors(false);
        results.push_back(w[PIVOT].oleSet("Locked", 1));  // silent
        results.push_back(w[PIVOT].oleCall("RefreshData").toBool());
        while (w.accept()) {
        }
    });
    auto w = user.waitWindow("AnzeigeCube");
    auto shown = user.control(w, PIVOT);
    EXPECT_EQ(shown.progId, "GridnovaLib.Gnova.3");
    EXPECT_EQ(shown.object, hosted);
    EXPECT_EQ(results, (std::vector<bool>{true, false, false, true}));
    ASSERT_EQ(user.messageBoxes().size(), 1u);
    EXPECT_EQ(user.lastMessageBox().text, "Eigenschaft ist schreibgeschützt");
    user.closeWindow(w);
    user.waitThreadEnd(t);
    rt::unregisterControlFactory("GridnovaLib.Gnova.3");
}

}  // namespace

namespace {

// Where a hosted control ended: the program thread number (0 for any other thread).
struct Ending {
    std::mutex m;
    std::condition_variable cv;
    bool ended = false;
    int thread = -1;
};

class Tracked : public AutomationObject {
public:
    explicit Tracked(Ending& ending) : ending_(ending) {}
    ~Tracked() override {
        std::lock_guard lock(ending_.m);
        ending_.ended = true;
        ending_.thread = rt::threadNumber();
        ending_.cv.notify_all();
    }
    AutoValue get(std::string_view, const std::vector<AutoValue>&) override { return {}; }
    void set(std::string_view, const AutoValue&, const std::vector<AutoValue>&) override {}
    AutoValue call(std::string_view, const std::vector<AutoValue>&) override { return {}; }

private:
    Ending& ending_;
};

// A display that, like a GUI's event queue, keeps the copies it was handed until its own
// thread is done with them.
class HoldingDisplay : public rt::HeadlessDisplay {
public:
    void openWindow(const rt::WindowSnapshot& window) override {
        HeadlessDisplay::openWindow(window);
        std::lock_guard lock(m_);
        held_.push_back(window.controls);
    }
    void updateWindow(const rt::WindowUpdate& update) override {
        HeadlessDisplay::updateWindow(update);
        std::lock_guard lock(m_);
        held_.push_back(update.changed);
    }
    // Drops the copies on a thread of the display's own.
    void dropCopies() {
        std::thread([this] {
            std::vector<std::vector<rt::ControlState>> gone;
            std::lock_guard lock(m_);
            gone.swap(held_);
        }).join();
    }

private:
    std::mutex m_;
    std::vector<std::vector<rt::ControlState>> held_;
};

class HostedRelease : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rt::waitAllThreads(5s));
        rt::registerControlFactory("Test.Tracked.1", [this] { return std::make_shared<Tracked>(ending); });
    }
    void TearDown() override {
        display.shutdown();
        rt::unregisterControlFactory("Test.Tracked.1");
    }
    bool waitEnded() {
        std::unique_lock lock(ending.m);
        return ending.cv.wait_for(lock, 5s, [&] { return ending.ended; });
    }

    Ending ending;
    HoldingDisplay display;
    rt::TestDriver user{display, 5s};
};

// The procedure: a window hosting the control, then (when asked) a plain one.
void hostingProcedure(bool thenAnother) {
    {
        rt::Window w("Gastgeber", "Gastgeber");
        w.add(1, rt::ControlKind::Ole).createObject("Test.Tracked.1");
        w.add(2, rt::ControlKind::Button).setText("&Ändern");
        while (auto e = w.accept())
            if (e.event == rt::Event::Accepted) w[2].setText("geändert");  // one more publication
    }
    if (!thenAnother) return;
    rt::Window next("Danach", "Danach");
    while (next.accept()) {
    }
}

TEST_F(HostedRelease, AControlTheDisplayHeldLastEndsOnItsOwnThreadWhileThatWaitsForTheUser) {
    int t = rt::startThread([] { hostingProcedure(true); });
    auto w = user.waitWindow("Gastgeber");
    user.press(w, 2);
    user.closeWindow(w);
    auto next = user.waitWindow("Danach");
    {
        std::lock_guard lock(ending.m);
        EXPECT_FALSE(ending.ended) << "the display still holds the control";
    }
    display.dropCopies();
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(ending.thread, t);
    user.closeWindow(next);
    user.waitThreadEnd(t);
}

TEST_F(HostedRelease, AControlTheDisplayHeldLastEndsOnItsOwnThreadWhenThatEnds) {
    int t = rt::startThread([] { hostingProcedure(false); });
    auto w = user.waitWindow("Gastgeber");
    // Not through the driver, which would wait for the thread's end.
    ASSERT_TRUE(rt::sendInput(w, rt::UserInput(rt::Event::CloseWindow)));
    user.waitClosed(w);
    std::this_thread::sleep_for(50ms);  // the procedure is at its end by now
    display.dropCopies();
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(ending.thread, t);
    user.waitThreadEnd(t);
}

}  // namespace
