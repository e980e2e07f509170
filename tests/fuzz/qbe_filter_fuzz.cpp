// The query-by-example filters: the builder's conditions and the grid's filter and order,
// compiled by the expression evaluator as the lists do.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "queries/builder/qbe_window.h"
#include "queries/qbe/qbe_grid.h"
#include "runtime/expr/expression.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto p = fuzz::parts(data, size, 6);
    static const char* const symbols[] = {"=", "<>", "~", "<", ">", "<=", ">=", ""};
    const char* symbol = symbols[p[1].empty() ? 7 : static_cast<unsigned char>(p[1][0]) % 8];
    std::string error;
    if (!QBEMissingPart(p[0], symbol, p[2])) {
        const std::string condition = QBECondition(p[0], symbol, p[2]);
        rt::compileFilterPredicate(condition, error);
    }
    rt::compileFilterPredicate(p[3], error);

    std::vector<QBEColumn> columns{QBESetAllColumn()};
    for (int c = 0; c < 2; ++c) {
        QBEColumn col;
        col.NUMBER = c + 1;
        col.NAME = c == 0 ? "CUBK:CubeName" : "CUBK:ID";
        col.HEADER = c == 0 ? "Name" : "ID";
        for (int r = 1; r <= 3; ++r) {
            col.source(r) = p[static_cast<std::size_t>(3 + c)].substr(0, 40 * static_cast<std::size_t>(r));
            col.type(r) = p[5].size() > static_cast<std::size_t>(r) ? static_cast<unsigned char>(p[5][r]) % 13 : 0;
        }
        columns.push_back(col);
    }
    const int rows = p[5].empty() ? 1 : 1 + static_cast<unsigned char>(p[5][0]) % 3;
    std::string filter, order;
    if (BuildQBEFilter(columns, rows, true, filter).ok) rt::compileFilterPredicate(filter, error);
    BuildQBEOrder(columns, rows, true, order);
    return 0;
}
