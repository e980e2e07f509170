// The data set's result shown in the queue inspection window.
#include "cubes/odbc/odbc_class.h"

#include <algorithm>
#include <limits>

#include "cubes/odbc/debug_queue.h"

namespace {

struct ResultSetColsEntry {
    rt::CString<64> NAME;
    rt::CString<64> KEY;
    rt::Long TYPE = 0;
    rt::Long SIZE = 0;
    rt::Short DECIMALS = 0;
    rt::Short NULLABLE = 0;
    rt::Long TARGETSIZE = 0;
};

struct ResultSetEntry {
    rt::Long ROW = 0;
    rt::Long COLUMN = 0;
    rt::Long LENGTH = 0;
    rt::CString<256> VALUE;
};

const rt::RecordDesc& colsDesc() {
    static const rt::RecordDesc d = rt::RecordBuilder<ResultSetColsEntry>("RESULTSETCOLS")
                                        .field(&ResultSetColsEntry::NAME, "NAME", "@s64")
                                        .field(&ResultSetColsEntry::KEY, "KEY", "@s64")
                                        .field(&ResultSetColsEntry::TYPE, "TYPE", "@n-7")
                                        .field(&ResultSetColsEntry::SIZE, "SIZE", "@n-11")
                                        .field(&ResultSetColsEntry::DECIMALS, "DECIMALS", "@n-7")
                                        .field(&ResultSetColsEntry::NULLABLE, "NULLABLE", "@n-7")
                                        .field(&ResultSetColsEntry::TARGETSIZE, "TARGETSIZE", "@n-11")
                                        .build();
    return d;
}

const rt::RecordDesc& cellsDesc() {
    static const rt::RecordDesc d = rt::RecordBuilder<ResultSetEntry>("RESULTSET")
                                        .field(&ResultSetEntry::ROW, "ROW", "@n-11")
                                        .field(&ResultSetEntry::COLUMN, "COLUMN", "@n-11")
                                        .field(&ResultSetEntry::LENGTH, "LENGTH", "@n-11")
                                        .field(&ResultSetEntry::VALUE, "VALUE", "@s255")
                                        .build();
    return d;
}

}  // namespace

void OdbcDataSet::InspectResult() {
    auto r = snapshot();
    rt::Queue<ResultSetColsEntry> cols(&colsDesc());
    for (const OdbcColumn& c : r->columns()) {
        ResultSetColsEntry e;
        e.NAME = c.NAME;
        e.KEY = c.KEY;
        e.TYPE = c.TYPE;
        e.SIZE = static_cast<rt::Long>(std::min<std::int64_t>(c.SIZE, std::numeric_limits<rt::Long>::max()));
        e.DECIMALS = c.DECIMALS;
        e.NULLABLE = c.NULLABLE;
        e.TARGETSIZE = c.TARGETSIZE;
        cols.add(e);
    }
    debugQueue(cols, 1, 1, 1, 1, 1, "", "", "");

    rt::Queue<ResultSetEntry> cells(&cellsDesc());
    for (int row = 1; row <= r->rowCount(); ++row)
        for (int col = 1; col <= r->colCount(); ++col) {
            if (!r->hasCell(row, col)) continue;
            ResultSetEntry e;
            e.ROW = row;
            e.COLUMN = col;
            e.LENGTH = r->length(row, col);
            e.VALUE = r->cell(row, col);
            cells.add(e);
        }
    debugQueue(cells, 1, 1, 1, 1, 1, "", "", "");
}
