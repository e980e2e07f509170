// Filters and orders over record buffers laid out by the table layer's record descriptors.
#include "runtime/data/expr_binding.h"

#include "runtime/expr/order.h"
#include "runtime/text/date_time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace rt;

struct CubeKopfRecord {
    Long ID = 0;
    Byte Activ = 0;
    String<20> CubeName;
    CString<101> Beschreibung;
    Decimal<7, 2> Umsatz;
    Date Angelegt;
    Short Zeitraum = 0;
};

const RecordDesc& cubeKopfDesc() {
    using R = CubeKopfRecord;
    static const RecordDesc desc = RecordBuilder<R>("CUBK")
                                       .field(&R::ID, "ID", "@n8")
                                       .field(&R::Activ, "Activ", "@n1")
                                       .field(&R::CubeName, "CubeName", "@s20")
                                       .field(&R::Beschreibung, "Beschreibung", "@s100")
                                       .field(&R::Umsatz, "Umsatz", "@n-10.2")
                                       .field(&R::Angelegt, "Angelegt", "@d6")
                                       .field(&R::Zeitraum, "Zeitraum", "@n3")
                                       .build();
    return desc;
}

class DescribedRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        threadBindings().clear();
        threadBindings().bindFields(fields);
    }
    void TearDown() override { threadBindings().clear(); }

    void fill(Long id, Byte activ, std::string_view name, std::string_view text, std::string_view umsatz,
              DateNumber angelegt) {
        CUBK.ID = id;
        CUBK.Activ = activ;
        CUBK.CubeName = name;
        CUBK.Beschreibung = text;
        CUBK.Umsatz.set(umsatz);
        CUBK.Angelegt = angelegt;
    }

    CubeKopfRecord CUBK;  // the thread's record buffer
    DescribedRecordFields fields{cubeKopfDesc(), &CUBK};
};

TEST_F(DescribedRecordTest, FieldTypesAsTheEvaluatorSeesThem) {
    fill(5, 1, "Umsatz", "Köln", "12.50", dateFromYmd(2003, 2, 1));
    struct Case {
        std::string_view text;
        bool expected;
    };
    const Case cases[] = {
        {"CUBK:ID = 5", true},
        {"cubk:id = '5'", true},
        {"CUBK:Activ <> 0", true},
        {"CUBK:CubeName = 'Umsatz'", true},  // STRING(20): padded, trailing blanks ignored
        {"CUBK:Beschreibung = 'Köln'", true},
        {"UPPER(CUBK:Beschreibung) = 'KÖLN'", true},
        {"CUBK:Umsatz = 12.5", true},
        {"UPPER(CUBK:Umsatz) = '12.5'", true},
        {"CUBK:Angelegt = DEFORMAT('01.02.03',@d6)", true},
        {"CUBK:Zeitraum = 0", true},
        {"CUBK:Zeitraum", false},
    };
    for (const auto& c : cases) {
        auto e = Expression::compile(c.text);
        ASSERT_TRUE(e.ok()) << c.text << ": " << e.error().describe();
        EXPECT_EQ(e.value().test().value(), c.expected) << c.text;
    }
    EXPECT_FALSE(Expression::compile("CUBK:NoSuch = 1").ok());
    EXPECT_FALSE(Expression::compile("CubeName = 'Umsatz'").ok());  // labels, not bare names
}

// A view's pass over its records: the query-by-example filter, then the order.
TEST_F(DescribedRecordTest, ViewFilterAndOrderOverBuffers) {
    struct Row {
        Long id;
        Byte activ;
        const char* name;
        const char* text;
        const char* umsatz;
        DateNumber angelegt;
    };
    const Row rows[] = {
        {1, 1, "Umsatz Nord", "Smith", "100", dateFromYmd(2003, 2, 1)},
        {2, 0, "Umsatz Süd", "Smith", "7", dateFromYmd(2003, 2, 1)},
        {3, 1, "Lager", "Jones", "8", dateFromYmd(2004, 1, 1)},
        {4, 1, "Kunden", "Smith", "9.5", dateFromYmd(2003, 2, 1)},
        {5, 1, "Artikel", "Brown", "6", dateFromYmd(2003, 2, 2)},
    };

    std::string error;
    auto predicate = compileFilterPredicate(
        "((CUBK:Beschreibung = 'Smith') AND (CUBK:Angelegt = DEFORMAT('01.02.03',@d6) )) OR ((CUBK:Umsatz > 5 AND "
        "CUBK:Umsatz< 9)) ",
        error);
    ASSERT_TRUE(predicate) << error;
    auto order = Order::compile("-CUBK:Activ,+CUBK:CubeName");
    ASSERT_TRUE(order.ok()) << order.error().describe();

    std::vector<std::pair<std::vector<Value>, Long>> passed;
    for (const Row& r : rows) {
        fill(r.id, r.activ, r.name, r.text, r.umsatz, r.angelegt);
        if (predicate()) passed.emplace_back(order.value().keyValues().value(), CUBK.ID);
    }
    std::stable_sort(passed.begin(), passed.end(),
                     [&](const auto& a, const auto& b) { return order.value().compare(a.first, b.first) < 0; });
    std::vector<Long> ids;
    for (const auto& p : passed) ids.push_back(p.second);
    EXPECT_EQ(ids, (std::vector<Long>{5, 4, 3, 1, 2}));

    // A rejected text gives the view no predicate and a message with the position.
    EXPECT_FALSE(compileFilterPredicate("((CUBK:Beschreibung = 'Smith)", error));
    EXPECT_EQ(error, "Missing closing quote at position 23");
    EXPECT_FALSE(compileFilterPredicate("CUBK:Activ <> 0 AND INSTR('a', CUBK:CubeName)", error));
    EXPECT_EQ(error, "Unknown function 'INSTR' at position 21");
}

// The value-list and cube-list print: records for which QueryString evaluates to 0 are skipped.
TEST_F(DescribedRecordTest, PrintSkipsRecordsWhereTheQueryIsZero) {
    const std::string queryString = " UPPER(CUBK:CubeName)<>'LAGER' AND INSTRING('SMI',UPPER(CUBK:Beschreibung),1,1)";
    auto query = Expression::compile(queryString);
    ASSERT_TRUE(query.ok());
    std::vector<Long> printed;
    const char* names[] = {"Umsatz", "Lager", "Kunden"};
    for (Long id = 1; id <= 3; ++id) {
        fill(id, 1, names[id - 1], "smith", "0", 0);
        if (query.value().test().value()) printed.push_back(id);
    }
    EXPECT_EQ(printed, (std::vector<Long>{1, 3}));
}

}  // namespace
