// Filter and order texts applied by the table layer's views to a local table file.
#include "runtime/data/expr_binding.h"

#include "runtime/data/dictionary.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/queue.h"
#include "runtime/data/table_def.h"
#include "runtime/data/view_manager.h"
#include "runtime/expr/expression.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread_state.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace rt;

struct CubeKopfRecord {
    Long ID = 0;
    Byte Activ = 0;
    CString<21> CubeName;
    Decimal<7, 2> Umsatz;
    Date Angelegt;
};

TableDef cubeKopfTable(std::string file) {
    using R = CubeKopfRecord;
    return TableBuilder<R>("VOQCubeKopf", "CUBK")
        .localFile(std::move(file))
        .create()
        .field(&R::ID, "ID", "@n8")
        .field(&R::Activ, "Activ", "@n1")
        .field(&R::CubeName, "CubeName", "@s20")
        .field(&R::Umsatz, "Umsatz", "@n-10.2")
        .field(&R::Angelegt, "Angelegt", "@d6")
        .key("KeyID", {"ID"}, Unique | Primary, "PK_CUBKID")
        .build();
}

class ViewFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setFilterCompiler(&compileFilterPredicate);
        threadBindings().clear();
        threadBindings().bindFields(fields);
        ASSERT_EQ(fm.open(), 0) << errorText();
        struct Row {
            Long id;
            Byte activ;
            const char* name;
            const char* umsatz;
            DateNumber angelegt;
        };
        const Row rows[] = {
            {1, 1, "Umsatz Nord", "100", dateFromYmd(2003, 2, 1)},  {2, 0, "Umsatz Süd", "7", dateFromYmd(2003, 2, 1)},
            {3, 1, "Lager", "8", dateFromYmd(2004, 1, 1)},          {4, 1, "umsatz", "9.5", dateFromYmd(2003, 2, 1)},
            {5, 1, "Artikel Umsatz", "6", dateFromYmd(2003, 2, 2)},
        };
        for (const Row& r : rows) {
            CUBK.ID = r.id;
            CUBK.Activ = r.activ;
            CUBK.CubeName = r.name;
            CUBK.Umsatz.set(std::string_view(r.umsatz));
            CUBK.Angelegt = r.angelegt;
            ASSERT_EQ(fm.insert(), 0) << errorText();
        }
    }
    void TearDown() override {
        fm.close();
        threadBindings().clear();
        setFilterCompiler({});
    }

    std::vector<Long> read(std::string_view filter, std::string_view order) {
        ViewManager view(fm);
        EXPECT_EQ(view.setFilter(filter), 0) << filter << ": " << errorText();
        EXPECT_EQ(view.setOrder(order), 0) << order;
        std::vector<Long> ids;
        if (view.open() != 0) return ids;
        while (view.next() == 0) ids.push_back(CUBK.ID);
        view.close();
        return ids;
    }

    voq::test::TempDir dir;
    TableDef def = cubeKopfTable(dir.file("CUBES.TPS"));
    CubeKopfRecord CUBK;
    FileManager fm{def, &CUBK};
    DescribedRecordFields fields{def.record, &CUBK};
};

TEST_F(ViewFilterTest, ListFiltersSelectRecords) {
    // The cube display list's filter button: active cubes whose name holds the text, in that case.
    EXPECT_EQ(read("CUBK:Activ <> 0 AND INSTRING('Umsatz', CUBK:CubeName,1,1)", "+CUBK:ID"), (std::vector<Long>{1, 5}));
    // The query builder's "Contains" on the upper-cased name.
    EXPECT_EQ(read(" INSTRING('UMSATZ',UPPER(CUBK:CubeName),1,1)", "-CUBK:ID"), (std::vector<Long>{5, 4, 2, 1}));
    // Query by example, two rows, with a date column of picture @d6.
    EXPECT_EQ(read("((CUBK:Angelegt = DEFORMAT('01.02.03',@d6) ) AND (CUBK:Activ = 1)) OR ((CUBK:Umsatz > 5 AND "
                   "CUBK:Umsatz< 9)) ",
                   "+CUBK:ID"),
              (std::vector<Long>{1, 2, 3, 4, 5}));
    EXPECT_EQ(read("((CUBK:Umsatz > 5 AND CUBK:Umsatz< 9)) ", "+CUBK:ID"), (std::vector<Long>{2, 3, 5}));
    // Blank filter: every record.
    EXPECT_EQ(read("  ", "+CUBK:ID"), (std::vector<Long>{1, 2, 3, 4, 5}));
}

TEST_F(ViewFilterTest, RejectedFilterIsError46WithTheEvaluatorsText) {
    // The view keeps the runtime's text for 46; the evaluator's message, with the position, is
    // the file error text.
    ViewManager view(fm);
    EXPECT_EQ(view.setFilter("CUBK:Activ <> 0 AND INSTRING('Umsatz', CUBK:CubeName,1,1"), ErrInvalidFilter);
    EXPECT_EQ(fileErrorText(), "Missing closing parenthesis at position 29");
    EXPECT_EQ(view.setFilter("CUBK:Nichts = 1"), ErrInvalidFilter);
    EXPECT_EQ(fileErrorText(), "Unknown name 'CUBK:Nichts' at position 1");
}

// One order text, one order: the view (keys computed from the table's buffer) and a queue of the
// same records (keys computed from each entry) agree, for fields alone and for expressions.
TEST_F(ViewFilterTest, ViewAndQueueSortedByOneTextAgree) {
    struct Extra {
        Long id;
        const char* name;
        const char* umsatz;
    };
    for (const Extra& r : {Extra{6, "alpha", "8"}, Extra{7, "Beta", "8"}, Extra{8, "Lager", "7"}}) {
        CUBK.ID = r.id;
        CUBK.Activ = 1;
        CUBK.CubeName = r.name;
        CUBK.Umsatz.set(std::string_view(r.umsatz));
        ASSERT_EQ(fm.insert(), 0) << errorText();
    }
    // The queue holds the records the other way round, so that neither order is given for free.
    Queue<CubeKopfRecord> queue(&def.record);
    {
        ViewManager all(fm);
        ASSERT_EQ(all.open(), 0);
        while (all.previous() == 0) queue.add(CUBK);
    }
    auto queueIds = [&] {
        std::vector<Long> ids;
        for (const auto& r : queue) ids.push_back(r.ID);
        return ids;
    };

    const std::string_view orders[] = {
        "-CUBK:Umsatz*2,+UPPER(CUBK:CubeName)",
        "+UPPER(CUBK:CubeName),-CUBK:ID",
        "-CUBK:Activ,+CUBK:Angelegt,-INSTRING('a',CUBK:CubeName,1,1),+CUBK:ID",
        "+CUBK:CubeName,+CUBK:ID",
    };
    for (std::string_view order : orders) {
        const std::vector<Long> fromView = read("", order);
        CUBK = CubeKopfRecord{};  // the queue must not read the table's buffer
        ASSERT_TRUE(queue.sort(order)) << order;
        EXPECT_EQ(queueIds(), fromView) << order;
        EXPECT_EQ(fromView.size(), 8u) << order;
    }
    EXPECT_EQ(read("", orders[0]), (std::vector<Long>{1, 4, 6, 7, 3, 8, 2, 5}));
    // Fields compared in place order as the evaluator does.
    const std::pair<std::string_view, std::string_view> same[] = {
        {"+UPPER(CUBK:CubeName),-CUBK:ID", "+UPPER(CUBK:CubeName),-CUBK:ID*1"},
        {"-CUBK:Umsatz,+CUBK:Angelegt,+CUBK:CubeName,+CUBK:ID",
         "-CUBK:Umsatz*1,+CUBK:Angelegt+0,+CUBK:CubeName,+CUBK:ID"},
    };
    for (const auto& [fields, expression] : same) EXPECT_EQ(read("", fields), read("", expression)) << expression;

    // Rejected texts: 46 with the evaluator's message on the view, false on the queue (unsorted).
    const std::vector<Long> before = queueIds();
    for (std::string_view bad : {"+CUBK:ID,-CUBK:Nichts*2", "-(CUBK:ID", "+CUBK:ID,-"}) {
        ViewManager view(fm);
        EXPECT_EQ(view.setOrder(bad), ErrInvalidFilter) << bad;
        EXPECT_FALSE(queue.sort(bad)) << bad;
        EXPECT_EQ(queueIds(), before) << bad;
    }
    ViewManager view(fm);
    EXPECT_EQ(view.setOrder("+CUBK:ID,-CUBK:Nichts*2"), ErrInvalidFilter);
    EXPECT_EQ(fileErrorText(), "Unknown name 'CUBK:Nichts' at position 11");
    // The queue's bindings are gone after the sort: the table's buffer is what the thread sees.
    CUBK.ID = 42;
    EXPECT_EQ(DecimalValue::compare(evaluateText("CUBK:ID").value().number(), DecimalValue(42)), 0);
}

// A thread's dictionary binds its buffers itself, and views compile filter texts without any
// compiler installed: a list on a new thread filters by field labels at once.
TEST(ThreadDictionaryBindings, TablesAddedToTheThreadAreKnownToFilters) {
    voq::test::TempDir dir;
    const TableDef def = cubeKopfTable(dir.file("CUBES.TPS"));
    CubeKopfRecord CUBK;
    threadBindings().clear();
    threadDictionary().add(def, &CUBK);
    FileManager& fm = *fileManager("VOQCubeKopf");
    for (Long id : {1, 2, 3}) {
        CUBK.ID = id;
        CUBK.CubeName = id == 2 ? "Umsatz" : "Lager";
        ASSERT_EQ(fm.insert(), 0) << errorText();
    }
    std::vector<Long> ids;
    {
        ViewManager view(fm);
        ASSERT_EQ(view.setFilter("cubk:cubename = 'Umsatz' OR CUBK:ID = 3"), 0) << fileErrorText();
        ASSERT_EQ(view.open(), 0);
        while (view.next() == 0) ids.push_back(CUBK.ID);
    }
    EXPECT_EQ(ids, (std::vector<Long>{2, 3}));
    threadDictionary().release();
    FileManager plain(def, &CUBK);
    ViewManager other(plain);  // released: the labels are unknown again
    EXPECT_EQ(other.setFilter("CUBK:ID = 3"), ErrInvalidFilter);
}

}  // namespace
