#pragma once
// The fixture of the window tests: a headless display, a fresh folder for the table, the
// settings file and the list formats, and a rights check the test controls.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/common/common_window.h"
#include "runtime/ini/profile.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/common/example_procedures.h"
#include "tests/support/test_support.h"

namespace commontest {

using namespace std::chrono_literals;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rt::waitAllThreads(5s));
        example::setTableFile(dir.file("WERTE.TPS"));
        SetWindowSettingsFile(dir.file("VOQKIVORANT.INI"));
        SetListFormatsFile(dir.file("Formats.FDB"));
        example::addRecord(2, "GRUPPE", 0, "GNHidden");
        example::addRecord(3, "GRUPPE", 1, "GNColumn");
        example::addRecord(4, "GRUPPE", 2, "GNRow");
        example::formCalls = 0;
        example::printCalls = 0;
        SetRightsCheck(
            {[this](std::string_view action, std::string_view procedure) {
                 std::lock_guard lock(m);
                 checks.emplace_back(action, procedure);
                 return refused.count(std::string(action)) ? 0 : 1;
             },
             [](std::string_view action) { rt::message("Keine Berechtigung: " + std::string(action), "Zugriff"); }});
    }
    void TearDown() override {
        display.shutdown();
        EXPECT_EQ(rt::runningThreadCount(), 0);
        SetRightsCheck({});
    }

    // Starts a procedure with a request on a program thread; its response lands in `response`.
    int start(std::uint8_t request, std::function<void()> body) {
        response = -1;
        return rt::startThread([this, request, body] {
            rt::ThreadRequest = request;
            body();
            response = rt::ThreadResponse;
        });
    }
    int startList(std::uint8_t request = 0, std::string name = "BrowseWerte") {
        return start(request, [name] { example::ExampleList(name); });
    }
    std::string ini(const std::string& section, const std::string& key) {
        return rt::getProfileString(dir.file("VOQKIVORANT.INI"), section, key, "<none>");
    }
    std::vector<std::pair<std::string, std::string>> checked() {
        std::lock_guard lock(m);
        return checks;
    }
    void refuse(std::set<std::string> actions) {
        std::lock_guard lock(m);
        refused = std::move(actions);
    }
    std::vector<std::string> texts(const std::vector<rt::PopupItem>& items) {
        std::vector<std::string> out;
        for (const auto& i : items) out.push_back(i.separator ? "-" : i.text);
        return out;
    }

    voq::test::TempDir dir;
    rt::HeadlessDisplay display;
    rt::TestDriver user{display, 5s};
    std::atomic<int> response{-1};
    std::mutex m;
    std::vector<std::pair<std::string, std::string>> checks;
    std::set<std::string> refused;
};

}  // namespace commontest
