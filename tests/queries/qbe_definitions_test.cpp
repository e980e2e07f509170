// Query by example: grid definitions saved to, listed from and loaded out of the local file.
#include "queries/qbe/qbe_definitions.h"

#include <gtest/gtest.h>

#include "runtime/data/file_manager.h"
#include "runtime/thread/thread.h"
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

}  // namespace
