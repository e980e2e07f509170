#include "queries/results/result_queues.h"

#include <string>

const rt::RecordDesc& queryResultDesc() {
    static const rt::RecordDesc desc = [] {
        rt::RecordBuilder<QueryResultEntry> b("LQQ");
        for (int c = 1; c <= kResultColumns; ++c)
            b.field(kResultColumnMembers[c - 1], "C" + std::to_string(c), "@s255");
        b.field(&QueryResultEntry::RECORDID, "RECORDID", "@n-14");
        return b.build();
    }();
    return desc;
}

const rt::RecordDesc& columnListDesc() {
    using E = ColumnListEntry;
    static const rt::RecordDesc desc = rt::RecordBuilder<E>("CLQ")
                                           .field(&E::COLUMNNUMBER, "COLUMNNUMBER", "@n3")
                                           .field(&E::COLUMNHEADER, "COLUMNHEADER", "@s60")
                                           .field(&E::MAXIMUMLENGTHDATA, "MAXIMUMLENGTHDATA", "@n3")
                                           .field(&E::LENGTHHEADER, "LENGTHHEADER", "@n3")
                                           .field(&E::COLUMNSWIDTH, "COLUMNSWIDTH", "@s7")
                                           .field(&E::JUSTIFICATION, "JUSTIFICATION", "@s7")
                                           .field(&E::EXTRACTVALUEOPTION, "EXTRACTVALUEOPTION", "@s60")
                                           .build();
    return desc;
}

ColumnListEntry* ColumnListQueue::column(int number) {
    std::size_t pos = lookup(&ColumnListEntry::COLUMNNUMBER, static_cast<rt::Byte>(number));
    return pos ? &get(pos) : nullptr;
}

const ColumnListEntry* ColumnListQueue::column(int number) const {
    std::size_t pos = lookup(&ColumnListEntry::COLUMNNUMBER, static_cast<rt::Byte>(number));
    return pos ? &get(pos) : nullptr;
}
