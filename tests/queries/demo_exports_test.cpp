// The demo's list cube run in the query runner and exported in each form; the files are read
// back by Python's csv module and an HTML parser and hold the list as it is shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "demo/demo_folder.h"
#include "queries/runner/query_runner.h"
#include "runtime/os/files.h"
#include "runtime/os/process.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/command_output.h"

namespace {

// One JSON list per row, as the reader printed it.
std::string jsonRow(const std::vector<std::string>& cells) {
    std::string out = "[";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) out += ", ";
        out += '"';
        for (char c : cells[i]) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + "]\n";
}

class DemoExports : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        ASSERT_EQ(demo::prepareDemoFolder(dir_.path().string(), {.salesLines = 300}), "");
        GLO.ConnectString = demo::demoConnectString();
        GLO.Database = demo::kDemoDatabase;
        GLO.Excelpfad = dir_.path().string();
        GLO.SecureUserId = demo::kDemoUser;
        SetWindowSettingsFile(file("VOQKIVORANT.INI"));
        SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, [](std::string_view) {}});
        rt::setShellOpenProgram("true");
    }
    void TearDown() override {
        display_.shutdown();
        rt::setShellOpenProgram("");
        SetRightsCheck({});
        WorkingFolderTest::TearDown();
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(DemoExports, EachExportOfTheListCubeReadsBackWhole) {
    const int t = rt::startThread([] {
        InitDictionary();
        Relate.VOQCubeKopf->open();
        CUBK.CubeName = demo::kDemoListCube;
        const bool found = Access.VOQCubeKopf->fetch("CUBK:KeyCubeName") == 0;
        const rt::Long id = CUBK.ID;
        Relate.VOQCubeKopf->close();
        if (found) RunQuery(id);
        KillDictionary();
    });
    const auto w = user_.waitWindow("RunQuery");
    constexpr int kColumns = 7;
    std::vector<std::string> headings;
    for (int c = 0; c < kColumns; ++c) headings.push_back(user_.control(w, RUNQUERY_LIST).list->columns.at(c).heading);
    std::vector<std::vector<std::string>> rows;
    for (const rt::ListRow& r : user_.rows(w, RUNQUERY_LIST)) {
        rows.emplace_back();
        for (int c = 0; c < kColumns; ++c) rows.back().push_back(r.cells.at(c).text);
    }
    ASSERT_EQ(rows.size(), 300u);
    EXPECT_EQ(headings.front(), "Position");

    const struct {
        int item;  // of the popup menu
        const char* kind;
        const char* reader;
    } exports[] = {{2, "CSV", "csv"}, {3, "HTML", "html"}, {4, "TXT", ""}};
    for (const auto& e : exports) {
        SCOPED_TRACE(e.kind);
        user_.queuePopupAnswer(e.item);
        user_.key(w, RUNQUERY_LIST, rt::keys::MouseRight, 1, 1);
        const std::string written = file(std::string(demo::kDemoListCube) + "." + e.kind);
        ASSERT_TRUE(rt::fileExists(written));
        if (*e.reader) {
            std::string expected;
            const bool csv = std::string(e.kind) == "CSV";
            auto line = [&](std::vector<std::string> cells) {
                if (csv) cells.push_back("");  // after the last cell's semicolon
                expected += jsonRow(cells);
            };
            line(headings);
            for (const auto& r : rows) line(r);
            EXPECT_EQ(voq::test::commandOutput("python3 '" VOQ_READ_BACK "' " + std::string(e.reader) + " '" + written +
                                               "' 2>&1"),
                      expected);
        } else {
            // Three head lines, the headings, one line per row: no value splits its row.
            const std::string text = rt::fromCp1252(rt::readFile(written).value_or(""));
            std::size_t lines = 0;
            for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
            EXPECT_EQ(lines, 4 + rows.size());
        }
    }
    EXPECT_TRUE(user_.messageBoxes().empty());
    user_.press(w, RUNQUERY_CLOSE);
    user_.waitThreadEnd(t);
}

}  // namespace
