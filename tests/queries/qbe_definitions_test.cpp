// Query by example: grid definitions saved to, listed from and loaded out of the local file.
#include "queries/qbe/qbe_definitions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "core/security/halt.h"
#include "runtime/data/file_manager.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"

namespace {

class QueryByExampleDefinitions : public coretest::WorkingFolderTest {
protected:
    // Runs body on a program thread, as the component does.
    static void onThread(std::function<void()> body) { rt::waitThread(rt::startThread(std::move(body))); }
    static long records() {
        long n = 0;
        onThread([&n] {
            QBEDefinitionRecord r;
            rt::FileManager f(QBEDefinitionsTable(), &r);
            ASSERT_EQ(f.open(), 0);
            n = static_cast<long>(f.records());
            f.close();
        });
        return n;
    }
    static std::vector<QBEColumn> columns(int count) {
        std::vector<QBEColumn> g{QBESetAllColumn()};
        for (int i = 1; i < count; ++i) {
            QBEColumn c;
            c.NUMBER = i;
            c.NAME = "CUBK:F" + std::to_string(i);
            c.HEADER = "F" + std::to_string(i);
            c.PICTURE = "@s20";
            c.JUSTIFY = "L";
            c.type(1) = i;
            c.source(2) = "'x" + std::to_string(i) + "'";
            g.push_back(c);
        }
        return g;
    }
};

TEST_F(QueryByExampleDefinitions, SavedReplacedListedAndLoaded) {
    onThread([] {
        ASSERT_EQ(SaveQBEDefinition("Test", "VOQCubeKopf", 2, columns(5)), 0);
        ASSERT_EQ(SaveQBEDefinition("O'Brien", "CrossTab", 1, columns(2)), 0);
    });
    EXPECT_EQ(records(), 80 + 32);
    onThread([] { ASSERT_EQ(SaveQBEDefinition("Test", "VOQCubeKopf", 3, columns(5)), 0); });
    EXPECT_EQ(records(), 80 + 32);

    onThread([] {
        auto all = QBEDefinitionList();
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0].QUERYNAME, "O\"Brien");
        EXPECT_EQ(all[0].QUERYFILE, "CrossTab");
        EXPECT_EQ(all[1].QUERYNAME, "Test");
        auto crossTabs = QBEDefinitionList("CrossTab");
        ASSERT_EQ(crossTabs.size(), 1u);
        EXPECT_EQ(crossTabs[0].QUERYNAME, "O\"Brien");

        std::vector<QBEColumn> g;
        int rows = 0;
        std::string source;
        ASSERT_TRUE(LoadQBEDefinition("Test", 4, g, rows, source));
        EXPECT_EQ(rows, 3);
        EXPECT_EQ(source, "VOQCubeKopf");
        ASSERT_EQ(g.size(), 5u);
        EXPECT_EQ(g[0].HEADER, "SET ALL");
        EXPECT_EQ(g[4].NAME, "CUBK:F4");
        EXPECT_EQ(g[4].NUMBER, 4);
        EXPECT_EQ(g[4].type(1), 4);
        EXPECT_EQ(g[4].source(2), "'x4'");
        // A source whose fields grew loads what was saved.
        ASSERT_TRUE(LoadQBEDefinition("O'Brien", 6, g, rows, source));
        EXPECT_EQ(g.size(), 2u);
        EXPECT_FALSE(LoadQBEDefinition("Unbekannt", 4, g, rows, source));
        EXPECT_EQ(g.size(), 2u);

        ASSERT_EQ(DeleteQBEDefinition("Test"), 0);
    });
    EXPECT_EQ(records(), 32);
}

TEST_F(QueryByExampleDefinitions, FirstRecordOfANameDecidesItsSource) {
    onThread([] {
        QBEDefinitionRecord r;
        rt::FileManager f(QBEDefinitionsTable(), &r);
        ASSERT_EQ(f.open(), 0);
        for (const char* source : {"VOQAlt", "VOQCubeGruppe"}) {
            r = {};
            r.QUERYNAME = "Doppelt";
            r.FILENAME = source;
            ASSERT_EQ(f.insert(), 0);
        }
        f.close();
        const auto list = QBEDefinitionList();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].QUERYFILE, "File not found");
        EXPECT_TRUE(list[0].missingSource);
        EXPECT_TRUE(QBEDefinitionList("VOQCubeGruppe").empty());
    });
}

// Opening the file: a damaged, missing or locked file as the user meets it.
class QueryByExampleFileOpen : public coretest::HaltingTest {
protected:
    void TearDown() override {
        display_.shutdown();
        coretest::HaltingTest::TearDown();
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> t;
        for (const auto& b : user_.messageBoxes()) t.push_back(b.title);
        return t;
    }
    std::string sql(const std::string& statement) {
        return voq::test::execSql(voq::test::sqliteConnectString(file("VOQKivorant.qbs")), statement);
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(QueryByExampleFileOpen, DamagedMissingAndRefusedFiles) {
    namespace fs = std::filesystem;
    const auto saveOne = [] {
        ASSERT_EQ(SaveQBEDefinition("Alle", "CrossTab", 1, {QBESetAllColumn(), QBESetAllColumn()}), 0);
    };
    struct Case {
        const char* what;
        std::function<void()> make;
        std::vector<int> answers;
        std::vector<std::string> titles;
        bool listed;  // the saved definition is listed afterwards
        bool halted;  // the program ended with "Disk Error"
    };
    const Case cases[] = {
        {"keys lost, made again",
         [&] {
             saveOne();
             ASSERT_EQ(sql("DROP INDEX \"QBEFile$KEYFILENAME\""), "");
         },
         {rt::button::Yes},
         {"Invalid Key"},
         true,
         false},
        {"keys lost, not made again",
         [&] {
             saveOne();
             ASSERT_EQ(sql("DROP INDEX \"QBEFile$KEYFILENAME\""), "");
         },
         {rt::button::No, rt::button::Cancel},
         {"Invalid Key", "File Access Error"},
         false,
         false},
        {"keys that cannot be made",
         [&] {
             saveOne();
             ASSERT_EQ(sql("DROP INDEX \"QBEFile$KEYFILENAME\""), "");
             ASSERT_EQ(sql("CREATE VIEW \"QBEFile$KEYFILENAME\" AS SELECT 1"), "");
         },
         {rt::button::Yes, rt::button::Ok, rt::button::Ok, rt::button::Ok},
         {"Invalid Key", "Key Rebuild Error", "File Access Error", "Halt"},
         false,
         true},
        {"no table file",
         [] { std::ofstream("VOQKivorant.qbs") << "QBE definitions, but not a table file\n"; },
         {rt::button::Ok, rt::button::Ok},
         {"File Access Error", "Halt"},
         false,
         true},
        {"a folder in its place",
         [] { fs::create_directory("VOQKivorant.qbs"); },
         {rt::button::Cancel},
         {"File Access Error"},
         false,
         false},
        {"cannot be made",
         [] { fs::create_symlink("gone/VOQKivorant.qbs", "VOQKivorant.qbs"); },
         {rt::button::Ok, rt::button::Cancel},
         {"File Creation Error", "File Access Error"},
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all("VOQKivorant.qbs");
        c.make();
        const std::string before = fs::is_regular_file("VOQKivorant.qbs") ? slurp("VOQKivorant.qbs") : "";
        const std::size_t shown = user_.messageBoxes().size();
        for (int a : c.answers) user_.queueMessageBoxAnswer(a);
        std::vector<QBEDefinitionEntry> list;
        EXPECT_EQ(coretest::haltCode([&] { list = QBEDefinitionList("CrossTab"); }), c.halted ? kHaltErrorCode : -1);
        auto t = titles();
        EXPECT_EQ(std::vector<std::string>(t.begin() + static_cast<long>(shown), t.end()), c.titles);
        if (c.halted) {
            EXPECT_EQ(user_.lastMessageBox().text, "Disk Error");
        }
        EXPECT_EQ(list.size(), c.listed ? 1u : 0u);
        // What the file held is still there: made good, or left as it was.
        if (!c.listed && !before.empty()) {
            EXPECT_EQ(slurp("VOQKivorant.qbs"), before);
        }
    }
}

TEST_F(QueryByExampleFileOpen, ASaveWaitsForAnotherStationsWrite) {
    ASSERT_EQ(SaveQBEDefinition("Alt", "CrossTab", 1, {QBESetAllColumn()}), 0);
    std::promise<void> holding;
    std::thread other([&] {
        QBEDefinitionRecord r;
        rt::FileManager f(QBEDefinitionsTable(), &r);
        ASSERT_EQ(f.beginTransaction(), 0);
        r.QUERYNAME = "Andere";
        r.FILENAME = "VOQCubeGruppe";
        ASSERT_EQ(f.insert(), 0);
        holding.set_value();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        f.commit();
        f.close();
    });
    holding.get_future().wait();
    EXPECT_EQ(SaveQBEDefinition("Alt", "CrossTab", 2, {QBESetAllColumn()}), 0);
    other.join();
    EXPECT_TRUE(user_.messageBoxes().empty());
    const auto list = QBEDefinitionList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].QUERYNAME, "Alt");
    EXPECT_EQ(list[1].QUERYNAME, "Andere");
}

}  // namespace

TEST_F(QueryByExampleFileOpen, ASaveThatCannotOpenTheFileIsReportedOnce) {
    std::filesystem::create_directory("VOQKivorant.qbs");
    user_.queueMessageBoxAnswer(rt::button::Cancel);
    EXPECT_EQ(SaveQBEDefinition("Alt", "CrossTab", 1, {QBESetAllColumn()}), kQBEFileNotOpened);
    EXPECT_EQ(titles(), std::vector<std::string>{"File Access Error"});
}
