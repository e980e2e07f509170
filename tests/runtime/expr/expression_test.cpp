#include "runtime/expr/expression.h"
#include "runtime/expr/order.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using namespace rt;

// A cube header buffer as the cube lists see it.
struct CubeKopf {
    std::int32_t ID = 0;
    std::uint8_t Activ = 0;
    std::uint8_t Intern = 0;
    String<50> CubeName;
    String<100> Beschreibung;
    Decimal<9, 2> Betrag;
    std::int32_t Datum = 0;
};

class ExprTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSystemFormats();
        fields.add("CUBK:ID", rec.ID)
            .add("CUBK:Activ", rec.Activ)
            .add("CUBK:Intern", rec.Intern)
            .add("CUBK:CubeName", rec.CubeName)
            .add("CUBK:Beschreibung", rec.Beschreibung)
            .add("CUBK:Betrag", rec.Betrag)
            .add("CUBK:Datum", rec.Datum);
        b.bindFields(fields);
        rec.ID = 5;
        rec.Activ = 1;
        rec.CubeName = "Umsatz Köln xyz";
        rec.Beschreibung = "Smith";
        rec.Betrag.set(std::string_view("12.50"));
        rec.Datum = dateFromYmd(2003, 2, 1);
    }

    Value eval(std::string_view text) {
        auto e = Expression::compile(text, b);
        EXPECT_TRUE(e.ok()) << text << ": " << (e.ok() ? "" : e.error().describe());
        if (!e) return Value();
        auto v = e.value().evaluate(b);
        EXPECT_TRUE(v.ok()) << text;
        return v.ok() ? v.value() : Value();
    }

    bool truth(std::string_view text) { return eval(text).isTrue(); }

    CubeKopf rec;
    RecordFields fields;
    Bindings b;
};

struct TruthCase {
    std::string_view text;
    bool expected;
};

// The conditions the query builder writes, one per operator, as they stand in QueryString
// (leading blank included); the cube's name is "Umsatz Köln xyz", its identifier 5.
TEST_F(ExprTest, QueryBuilderOperatorForms) {
    const TruthCase cases[] = {
        {" UPPER(CUBK:CubeName)='UMSATZ KÖLN XYZ'", true},  // German letters fold too
        {" UPPER(CUBK:CubeName)='Umsatz Köln xyz'", false},
        {" UPPER(CUBK:CubeName)<>'UMSATZ'", true},
        {" UPPER(CUBK:CubeName)<>'UMSATZ KÖLN XYZ'", false},
        {" INSTRING('XYZ',UPPER(CUBK:CubeName),1,1)", true},
        {" INSTRING('ABC',UPPER(CUBK:CubeName),1,1)", false},
        {" UPPER(CUBK:CubeName)<'V'", true},
        {" UPPER(CUBK:CubeName)<'UMSATZ'", false},
        {" UPPER(CUBK:CubeName)>'UMSATZ'", true},
        {" UPPER(CUBK:CubeName)<='UMSATZ KÖLN XYZ'", true},
        {" UPPER(CUBK:CubeName)>='UMSATZ KÖLN XYZ'", true},
        {" UPPER(CUBK:CubeName)>='V'", false},
        {" UPPER(CUBK:ID)='5'", true},  // a number's UPPER is its decimal text
        {" UPPER(CUBK:ID)='05'", false},
        {" UPPER(CUBK:ID)='5' AND UPPER(CUBK:CubeName)<>'X'", true},
        {" ( UPPER(CUBK:ID)='4' OR UPPER(CUBK:ID)='5' ) AND INSTRING('KÖLN',UPPER(CUBK:CubeName),1,1)", true},
        {" ( UPPER(CUBK:ID)='4' OR UPPER(CUBK:ID)='6' ) AND INSTRING('KÖLN',UPPER(CUBK:CubeName),1,1)", false},
    };
    for (const auto& c : cases) EXPECT_EQ(truth(c.text), c.expected) << c.text;

    // The builder's date values arrive as day numbers in quotes.
    const std::string dated = " UPPER(CUBK:Datum)='" + std::to_string(dateFromYmd(2003, 2, 1)) + "'";
    EXPECT_TRUE(truth(dated));
    EXPECT_EQ(eval(" INSTRING('XYZ',UPPER(CUBK:CubeName),1,1)").number(), DecimalValue(13));
}

// The filters query by example builds in its run form, FN standing for the column's field.
TEST_F(ExprTest, QueryByExampleFilters) {
    struct Case {
        std::string_view text;
        std::string_view fn;  // FN's value: a text ...
        std::int64_t number;  // ... or, when fn is empty, a number
        bool expected;
    };
    const Case cases[] = {
        {"((FN = 'Smith')) ", "Smith", 0, true},
        {"((FN = 'Smith')) ", "Smith     ", 0, true},  // trailing blanks of the field do not count
        {"((FN = 'Smith')) ", "smith", 0, false},      // case counts
        {"((FN > 5 AND FN< 10)) ", "", 7, true},
        {"((FN > 5 AND FN< 10)) ", "", 10, false},
        {"((FN > 5 and FN< 10)) ", "", 6, true},   // a lower-case and is an AND
        {"((FN > 5 AND FN< 10)) ", "7", 0, true},  // a numeric text compares numerically
        {"((FN = 5 OR FN =7)) ", "", 7, true},
        {"((FN = 5 OR FN =7)) ", "", 6, false},
        {"((FN = 1)) OR ((FN = 2)) ", "", 2, true},                       // rows are or'ed
        {"((FN = 'Smith AND FN = Co')) ", "Smith AND FN = Co", 0, true},  // a name inserted in a literal
    };
    for (const auto& c : cases) {
        Bindings qbe;
        std::string text(c.fn);
        std::int64_t number = c.number;
        if (c.fn.empty())
            qbe.bindVariable("FN", number);
        else
            qbe.bindVariable("FN", text);
        auto e = Expression::compile(c.text, qbe);
        ASSERT_TRUE(e.ok()) << c.text << ": " << e.error().describe();
        auto r = e.value().test(qbe);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.value(), c.expected) << c.text << " with FN " << (c.fn.empty() ? std::to_string(c.number) : text);
    }

    // Cells of one row are and'ed, each in its own brackets.
    Bindings two;
    std::int64_t a = 1;
    String<20> bName("x");
    two.bindVariable("QBE:A", a);
    two.bindVariable("QBE:B", bName);
    const std::string rowText = "((QBE:A = 1) AND (QBE:B = 'x')) OR ((QBE:A = 3)) ";
    auto e = Expression::compile(rowText, two);
    ASSERT_TRUE(e.ok());
    EXPECT_TRUE(e.value().test(two).value());
    bName = "y";
    EXPECT_FALSE(e.value().test(two).value());
    a = 3;
    EXPECT_TRUE(e.value().test(two).value());
}

TEST_F(ExprTest, DeformatDates) {
    const DateNumber feb1 = dateFromYmd(2003, 2, 1);
    // What query by example runs for a date column with the picture @d6.
    EXPECT_TRUE(truth("((CUBK:Datum = DEFORMAT('01.02.03',@d6) ))"));
    EXPECT_TRUE(truth("((CUBK:Datum = DEFORMAT('01.02.2003',@D17) ))"));
    EXPECT_TRUE(truth("CUBK:Datum > DEFORMAT('31.01.03', '@d6')"));  // a picture in quotes works too

    struct Case {
        std::string_view text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"DEFORMAT('01.02.03',@d6)", feb1},
        {"DEFORMAT('01.02.03', @D6)", feb1},
        {"DEFORMAT('31.02.03',@d6)", 0},  // no such day
        {"DEFORMAT('abc',@d6)", 0},
        {"DEFORMAT('',@d17)", 0},
        {"DEFORMAT('17.05.2023',@d17)", dateFromYmd(2023, 5, 17)},
    };
    for (const auto& c : cases) {
        const Value v = eval(c.text);
        EXPECT_TRUE(v.isNumber()) << c.text;
        EXPECT_EQ(v.number(), DecimalValue(c.expected)) << c.text;
    }
    // The field's own text under a picture, worked out per record.
    rec.Beschreibung = "01.02.03";
    EXPECT_EQ(eval("DEFORMAT(CUBK:Beschreibung, @d6)").number(), DecimalValue(std::int64_t{feb1}));
}

TEST_F(ExprTest, Instring) {
    struct Case {
        std::string_view text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"INSTRING('b','abcabc',1,1)", 2},
        {"INSTRING('b','abcabc',1,3)", 5},    // from character 3 on; the position counts from the start
        {"INSTRING('abc','xxxabc',3,1)", 2},  // step 3: the second step
        {"INSTRING('bc','abcabc',3,1)", 0},   // only at steps 1, 4, 7, ...
        {"INSTRING('x','abc',1,1)", 0},
        {"INSTRING('','abc',1,1)", 0},   // nothing to find
        {"INSTRING('c','abc',0,1)", 0},  // a step below 1 finds nothing, never loops
        {"INSTRING('c','abc',1,9)", 0},
        {"INSTRING('a','abc',1,0)", 1},  // a start below 1 counts as 1
        {"INSTRING('ö','aöb',1,1)", 2},  // characters, not bytes
        {"INSTRING('b','aöb',1,1)", 3},
        {"INSTRING('b','abc')", 2},         // step and start default to 1
        {"INSTRING('5', 12345, 1, 1)", 5},  // a number is searched as its text
        {"INSTRING('Umsatz', CUBK:CubeName,1,1)", 1},
        {"INSTRING('umsatz', CUBK:CubeName,1,1)", 0},  // upper and lower case told apart
    };
    for (const auto& c : cases) EXPECT_EQ(eval(c.text).number(), DecimalValue(c.expected)) << c.text;
}

// The cube display list's filter button.
TEST_F(ExprTest, CubeDisplayListFilter) {
    const std::string filter = "CUBK:Activ <> 0 AND INSTRING('" + std::string("Köln") + "', CUBK:CubeName,1,1)";
    EXPECT_TRUE(truth(filter));
    rec.Activ = 0;
    EXPECT_FALSE(truth(filter));
    rec.Activ = 1;
    rec.CubeName = "Umsatz KÖLN";
    EXPECT_FALSE(truth(filter));
    EXPECT_TRUE(truth("CUBK:Activ <> 0"));
}

// The lists' filters of saved queries and field masks name the prefix in another case.
TEST_F(ExprTest, LabelsMatchWithoutCase) {
    struct SavedQuery {
        std::int32_t ID = 1;
        String<60> DESCRIPTION;
        String<1000> QUERY;
    } que;
    RecordFields queFields;
    queFields.add("QUE:ID", que.ID).add("QUE:DESCRIPTION", que.DESCRIPTION).add("QUE:QUERY", que.QUERY);
    Bindings lists;
    lists.bindFields(queFields);
    auto e = Expression::compile("INSTRING('CUBK:',UPPER(que:query),1,1)", lists);
    ASSERT_TRUE(e.ok()) << e.error().describe();
    que.QUERY = " UPPER(cubk:CubeName)='X'";
    EXPECT_TRUE(e.value().test(lists).value());
    que.QUERY = " UPPER(CUBG:GruppenName)='X'";
    EXPECT_FALSE(e.value().test(lists).value());
    EXPECT_EQ(e.value().names(), std::vector<std::string>{"que:query"});
}

// Deleting a saved definition: QueryName is bound to the definitions' name field.
TEST_F(ExprTest, BoundVariableFollowsItsField) {
    CString<256> queryName;
    Bindings defs;
    defs.bindVariable("QueryName", queryName);
    auto e = Expression::compile("QueryName = 'O\"Brien'", defs);
    ASSERT_TRUE(e.ok());
    queryName = "Test";
    EXPECT_FALSE(e.value().test(defs).value());
    queryName = "O\"Brien";
    EXPECT_TRUE(e.value().test(defs).value());
    EXPECT_TRUE(evaluateText("queryname = 'O\"Brien'", defs).value().isTrue());  // names ignore case

    // A doubled quote inside a literal is one quote; quoteLiteral writes such literals.
    queryName = "O'Brien";
    EXPECT_TRUE(evaluateText("QueryName = 'O''Brien'", defs).value().isTrue());
    EXPECT_EQ(quoteLiteral("O'Brien"), "'O''Brien'");
    EXPECT_TRUE(evaluateText("QueryName = " + quoteLiteral(queryName.str()), defs).value().isTrue());
    EXPECT_EQ(evaluateText(quoteLiteral("''x'"), defs).value().text(), "''x'");
}

TEST_F(ExprTest, ComparisonRules) {
    const TruthCase cases[] = {
        // texts: case-sensitive, trailing blanks ignored, always as texts
        {"'abc  ' = 'abc'", true},
        {"'  abc' = 'abc'", false},
        {"'Abc' = 'abc'", false},
        {"'Abc' < 'abc'", true},
        {"'10' < '9'", true},
        {"'' = '   '", true},
        // text against number: numerically when the text is numeric ...
        {"'10' > 9", true},
        {"' 5 ' = 5", true},
        {"'5.0' = 5", true},
        {"'-3' < 2", true},
        {"CUBK:Betrag = '12.5'", true},
        // ... otherwise as texts, the number written as its decimal text
        {"'abc' > 5", true},
        {"'5x' = 5", false},
        {"'5x' > 5", true},
        {"'' = 0", false},  // a blank text is no number
        {"'' < 0", true},
        // numbers
        {"12.50 = 12.5", true},
        {"CUBK:Betrag = 12.5", true},
        {"CUBK:Betrag > 12.49", true},
        {"-5 < -4", true},
        {"- 5 = -5", true},
        {".5 = 0.5", true},
        {"2 + 3 * 4 = 14", true},
        {"(2 + 3) * 4 = 20", true},
        {"7 / 2 = 3.5", true},
        {"10 - 2 - 3 = 5", true},
        {"1 / 0 = 0", true},      // a division by zero gives 0
        {"'3' + '4' = 7", true},  // texts read as numbers in arithmetic
        {"'x' + 1 = 1", true},
        {"CUBK:ID * 2 - 1 = 9", true},
        // AND binds tighter than OR; case and spacing do not matter
        {"1 = 1 OR 1 = 2 AND 1 = 2", true},
        {"(1 = 1 OR 1 = 2) AND 1 = 2", false},
        {"1=1and 2=2", true},
        {"1 = 2 Or 2 = 2", true},
        {"CUBK:ID>=5AND CUBK:ID<=5", true},
        {"  UPPER  (  CUBK:CubeName  )  =  'UMSATZ KÖLN XYZ'  ", true},
        {"CUBK:ID\t=\r\n5", true},
        // truth: non-zero
        {"CUBK:ID", true},
        {"CUBK:ID - 5", false},
        {"'abc'", true},
        {"'0'", false},
        {"'0.00'", false},
        {"''", false},
        {"'   '", false},
        {"0.0", false},
        {"CUBK:CubeName", true},
        {"CUBK:Intern", false},
    };
    for (const auto& c : cases) EXPECT_EQ(truth(c.text), c.expected) << c.text;
}

TEST_F(ExprTest, ValuesOfResults) {
    EXPECT_EQ(eval("UPPER(12.50)").text(), "12.5");
    EXPECT_EQ(eval("UPPER(CUBK:Betrag)").text(), "12.5");
    EXPECT_EQ(eval("UPPER(-3)").text(), "-3");
    EXPECT_EQ(eval("UPPER('straße ä')").text(), "STRAßE Ä");
    EXPECT_EQ(eval("'It''s'").text(), "It's");
    EXPECT_EQ(eval("1 = 1").number(), DecimalValue(1));
    EXPECT_EQ(eval("1 = 2").number(), DecimalValue(0));
    EXPECT_EQ(eval("7 / 4").number().toString(), "1.75");
    EXPECT_EQ(eval("CUBK:Betrag * 2").number(), DecimalValue(25));
    EXPECT_EQ(eval("CUBK:CubeName").text(), rec.CubeName.str());  // the result owns its text

    // compareValues is the runtime's comparison for minimum and maximum too.
    EXPECT_LT(compareValues(Value::ofInt(9), Value::ofText("10")), 0);
    EXPECT_GT(compareValues(Value::ofText("9"), Value::ofText("10")), 0);
}

TEST_F(ExprTest, Errors) {
    struct Case {
        std::string_view text;
        std::size_t position;
        std::string_view message;
    };
    const Case cases[] = {
        {"CUBK:CubeName = 'Smith", 17, "Missing closing quote"},
        {"((CUBK:ID = 1)", 1, "Missing closing parenthesis"},
        {"(CUBK:ID = 1))", 14, "Unexpected ')'"},
        {"INSTRING('a', UPPER(CUBK:CubeName),1,1", 9, "Missing closing parenthesis"},
        {"INSTRING('a', UPPER(CUBK:CubeName,1,1)", 15, "UPPER takes 1 arguments, not 3"},
        {"FOO(CUBK:ID)", 1, "Unknown function 'FOO'"},
        {"CUBK:ID = CUBK:NoSuch", 11, "Unknown name 'CUBK:NoSuch'"},
        {"CUBK:ID = ", 11, "Operand missing"},
        {" UPPER(CUBK:ID)='5' AND", 24, "Operand missing"},  // the builder's pending connector
        {"", 1, "Expression is empty"},
        {"   ", 1, "Expression is empty"},
        {"CUBK:ID = = 1", 11, "Unexpected '='"},
        {"CUBK:ID 5", 9, "Unexpected number 5"},
        {"CUBK:ID = 5 CUBK:Activ", 13, "Unexpected name 'CUBK:Activ'"},
        {"UPPER(CUBK:ID, 1)", 1, "UPPER takes 1 arguments, not 2"},
        {"INSTRING('a')", 1, "INSTRING takes 2 to 4 arguments, not 1"},
        {"DEFORMAT('01.02.03')", 1, "DEFORMAT takes 2 arguments"},
        {"CUBK:Datum = @d6", 14, "picture"},
        {"CUBK:ID # 1", 9, "Unexpected character '#'"},
        {"'ää' = ä#", 9, "Unexpected character '#'"},  // positions count characters
        {"()", 2, "Unexpected ')'"},
        {"1 = 123456789012345678901234567890123456789", 5, "Number out of range"},
    };
    for (const auto& c : cases) {
        auto e = Expression::compile(c.text, b);
        ASSERT_FALSE(e.ok()) << c.text;
        EXPECT_EQ(e.error().position, c.position) << c.text << ": " << e.error().describe();
        EXPECT_NE(e.error().message.find(c.message), std::string::npos) << c.text << ": " << e.error().describe();
    }
    auto e = Expression::compile("CUBK:ID = CUBK:NoSuch", b);
    EXPECT_EQ(e.error().describe(), "Unknown name 'CUBK:NoSuch' at position 11");
}

TEST_F(ExprTest, HostileInputEndsCleanly) {
    auto deep = Expression::compile(std::string(100000, '(') + "1" + std::string(100000, ')'), b);
    ASSERT_FALSE(deep.ok());
    EXPECT_NE(deep.error().message.find("too deeply nested"), std::string::npos);

    std::string sum = "1";
    for (int i = 0; i < 5000; ++i) sum += "+1";
    EXPECT_FALSE(Expression::compile(sum, b).ok());

    std::string minus(5000, '-');
    EXPECT_FALSE(Expression::compile(minus + "1", b).ok());

    // Long chains of conditions, as big query-by-example grids make them, are fine.
    std::string chain = "(CUBK:ID = 0)";
    for (int i = 1; i < 2000; ++i) chain += (i % 2 ? " OR (CUBK:ID = " : " AND (CUBK:ID = ") + std::to_string(i) + ")";
    auto many = Expression::compile(chain, b);
    ASSERT_TRUE(many.ok()) << many.error().describe();
    EXPECT_TRUE(many.value().test(b).ok());

    for (std::string_view junk : {"'", "@", "(", ")", ",", "AND", "OR OR", "UPPER(", "UPPER)", "'a''"}) {
        auto r = Expression::compile(junk, b);
        EXPECT_FALSE(r.ok()) << junk;
    }
}

TEST_F(ExprTest, BindingsChangeAfterCompiling) {
    auto e = Expression::compile("CUBK:ID = 5", b);
    ASSERT_TRUE(e.ok());
    EXPECT_TRUE(e.value().test(b).value());

    // Another buffer bound later wins; the compiled form looks its names up again.
    CubeKopf other;
    other.ID = 6;
    RecordFields otherFields;
    otherFields.add("CUBK:ID", other.ID);
    b.bindFields(otherFields);
    EXPECT_FALSE(e.value().test(b).value());
    b.unbindFields(otherFields);
    EXPECT_TRUE(e.value().test(b).value());

    // A variable hides a field of the same label.
    std::int64_t seven = 7;
    b.bindVariable("cubk:id", seven);
    EXPECT_FALSE(e.value().test(b).value());
    b.unbind("CUBK:ID");
    EXPECT_TRUE(e.value().test(b).value());

    // Dropping all names: the compiled expression reports the name, never reads a stale buffer.
    b.clear();
    auto r = e.value().test(b);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "Unknown name 'CUBK:ID'");
    EXPECT_EQ(r.error().position, 1u);
    EXPECT_FALSE(Expression::compile("CUBK:ID = 5", b).ok());

    // A getter binding (a shared global read under its lock, for instance).
    std::string global = "abc";
    b.bindValue("QueryString", [&](Value& v) { v.setOwnedText(global); });
    auto q = Expression::compile("QueryString = 'abc'", b);
    ASSERT_TRUE(q.ok());
    EXPECT_TRUE(q.value().test(b).value());
    global = "x";
    EXPECT_FALSE(q.value().test(b).value());

    // A copy evaluates on its own.
    Expression copy = q.value();
    global = "abc";
    EXPECT_TRUE(copy.test(b).value());
}

TEST_F(ExprTest, EachThreadHasItsOwnBindings) {
    std::int64_t x = 1;
    threadBindings().clear();
    threadBindings().bindVariable("X", x);
    EXPECT_TRUE(Expression::compile("X = 1").ok());
    bool otherSees = true;
    std::thread t([&] { otherSees = Expression::compile("X = 1").ok(); });
    t.join();
    EXPECT_FALSE(otherSees);
    threadBindings().clear();
}

TEST_F(ExprTest, FilterPassesAllWhenBlank) {
    auto f = Filter::compile("  ", b);
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE(f.value().isEmpty());
    EXPECT_TRUE(f.value().matches(b).value());

    auto g = Filter::compile("CUBK:Activ <> 0", b);
    ASSERT_TRUE(g.ok());
    EXPECT_TRUE(g.value().matches(b).value());
    rec.Activ = 0;
    EXPECT_FALSE(g.value().matches(b).value());
    EXPECT_FALSE(Filter::compile("CUBK:Activ <>", b).ok());
}

// A view reading record after record into the same buffer.
TEST_F(ExprTest, FilterOverRecords) {
    struct Row {
        std::int32_t id;
        std::uint8_t activ;
        const char* name;
    };
    const Row rows[] = {
        {1, 1, "Umsatz"}, {2, 0, "Umsatz alt"}, {3, 1, "Lager"}, {4, 1, "Umsatz Nord"}, {5, 1, "umsatz"}};
    auto f = Filter::compile("CUBK:Activ <> 0 AND INSTRING('Umsatz', CUBK:CubeName,1,1)", b);
    ASSERT_TRUE(f.ok());
    std::vector<std::int32_t> passed;
    for (const Row& r : rows) {
        rec.ID = r.id;
        rec.Activ = r.activ;
        rec.CubeName = r.name;
        if (f.value().matches(b).value()) passed.push_back(rec.ID);
    }
    EXPECT_EQ(passed, (std::vector<std::int32_t>{1, 4}));
}

TEST_F(ExprTest, Orders) {
    auto keys = parseOrder("+CUBK:CubeName,-CUBK:ID");
    ASSERT_TRUE(keys.ok());
    ASSERT_EQ(keys.value().size(), 2u);
    EXPECT_EQ(keys.value()[0].expression, "CUBK:CubeName");
    EXPECT_FALSE(keys.value()[0].descending);
    EXPECT_TRUE(keys.value()[0].isName);
    EXPECT_EQ(keys.value()[1].expression, "CUBK:ID");
    EXPECT_TRUE(keys.value()[1].descending);
    EXPECT_EQ(keys.value()[1].position, 16u);

    struct Case {
        std::string_view text;
        std::size_t count;
    };
    const Case counts[] = {
        {"", 0}, {"  ", 0}, {"CUBK:ID", 1}, {"+a,-b,", 2}, {" + a , , - b ", 2}, {"-INSTRING('a,b', x, 1, 1),+y", 2}};
    for (const auto& c : counts) {
        auto k = parseOrder(c.text);
        ASSERT_TRUE(k.ok()) << c.text;
        EXPECT_EQ(k.value().size(), c.count) << c.text;
    }
    EXPECT_FALSE(parseOrder("+a,-").ok());
    EXPECT_FALSE(parseOrder("-UPPER(CUBK:CubeName)").value()[0].isName);

    auto bad = Order::compile("+CUBK:ID,-NOSUCH", b);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().position, 11u);

    // Sorting records by name ascending, then identifier descending.
    auto order = Order::compile("+CUBK:CubeName,-CUBK:ID", b);
    ASSERT_TRUE(order.ok());
    struct Row {
        std::int32_t id;
        const char* name;
    };
    const Row rows[] = {{1, "B"}, {2, "A"}, {3, "B"}, {4, "a"}};
    std::vector<std::pair<std::vector<Value>, std::int32_t>> keyed;
    for (const Row& r : rows) {
        rec.ID = r.id;
        rec.CubeName = r.name;
        keyed.emplace_back(order.value().keyValues(b).value(), r.id);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const auto& x, const auto& y) { return order.value().compare(x.first, y.first) < 0; });
    std::vector<std::int32_t> ids;
    for (const auto& k : keyed) ids.push_back(k.second);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{2, 3, 1, 4}));  // case-sensitive: "a" after "B"
}

}  // namespace
