// The row a list's locator finds for a typed text.
#include <gtest/gtest.h>

#include "runtime/ui/model.h"

namespace {

rt::ListData rowsOf(std::initializer_list<const char*> cells) {
    rt::ListData list;
    for (const char* c : cells) list.rows.push_back(rt::ListRow{{rt::ListCell("x"), rt::ListCell(c)}});
    return list;
}

TEST(ListLocator, FindsByBeginningThenByPlaceInTheOrder) {
    const rt::ListData names = rowsOf({"Sum", "Bestand", "Rohertrag", "Umsatz"});
    const rt::ListData numbers = rowsOf({"2", "9", "10", "25"});
    const rt::ListData falling = rowsOf({"Umsatz", "Rohertrag", "Bestand"});
    struct Case {
        const rt::ListData& list;
        const char* typed;
        int first;
        bool descending;
        int row;
    } cases[] = {
        {names, "ROH", 1, false, 3},                               // case-blind beginning
        {names, "s", 1, false, 1},                                 // from the first row asked for ...
        {names, "s", 2, false, 4},                                 // ... and not before it
        {names, "C", 2, false, 3},                                 // no beginning: the first at or after it
        {names, "Z", 2, false, 0},                                 // nothing after it
        {names, "", 1, false, 0},                                  // nothing typed
        {numbers, "3", 1, false, 2},                               // numbers as numbers, not "3" > "25"
        {numbers, "10", 1, false, 3}, {falling, "Q", 1, true, 3},  // descending: the first at or before it
        {names, "Um", 1, false, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rt::locateRow(c.list, 2, c.typed, c.first, c.descending), c.row) << c.typed << " from " << c.first;
    EXPECT_EQ(rt::locateRow(names, 3, "S"), 0);  // a column the rows do not have
}

}  // namespace
