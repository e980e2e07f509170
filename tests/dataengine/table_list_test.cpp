#include "dataengine/table_list.h"
#include "runtime/ole/ole.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> tables(const char* sql) {
    auto list = novaodbc::tableList(rt::ole::utf8ToUtf16(sql));
    std::vector<std::string> out;
    if (!list) return {"(none)"};
    for (auto& t : *list) out.push_back(rt::ole::utf16ToUtf8(t));
    return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(TableList, NamesTheTablesOfTheFromClause) {
    struct Case {
        const char* sql;
        V expected;
    };
    const Case cases[] = {
        {"SELECT x.k, y.k FROM A x INNER JOIN B y ON x.i = y.i", {"A", "B"}},
        {"select a from T1, T2 where T1.a = T2.a", {"T1", "T2"}},
        {"SELECT * FROM dbo.A a LEFT OUTER JOIN dbo.B b ON a.i = b.i ORDER BY 1", {"dbo.A", "dbo.B"}},
        {"SELECT FROMDATE FROM CONTACTS c, ORDERS o", {"CONTACTS", "ORDERS"}},
        {"SELECT a, count(*) FROM T GROUP BY a HAVING count(*) > 1", {"T"}},
        {"SELECT a FROM\tT\t", {"T"}},
        {"SELECT 1", {"(none)"}},
        {"SELECT a FROM Kunden k WHERE k.Ort = 'München'", {"Kunden"}},
    };
    for (const auto& c : cases) EXPECT_EQ(tables(c.sql), c.expected) << c.sql;
}
