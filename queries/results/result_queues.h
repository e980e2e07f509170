#pragma once
// The two structures that carry a query result to the lists, the exports and the list reports:
// the rows (up to 15 text columns, already formatted for display) and the column layout.
//
//   QueryResultQueue rows;
//   QueryResultEntry row;
//   row.C1 = "Meier";
//   row.RECORDID = 1;
//   rows.add(row);
//   ColumnListQueue columns;
//   columns.add(ColumnListEntry{.COLUMNNUMBER = 1, .COLUMNHEADER = "Name", .MAXIMUMLENGTHDATA = 5, .LENGTHHEADER = 4});
//   PrintReportQueryQ("Kunden", rows, columns);
#include <array>
#include <string_view>

#include "runtime/data/queue.h"
#include "runtime/data/record.h"
#include "runtime/text/strings.h"

inline constexpr int kResultColumns = 15;

struct QueryResultEntry {
    rt::CString<256> C1, C2, C3, C4, C5, C6, C7, C8, C9, C10, C11, C12, C13, C14, C15;
    rt::Long RECORDID = 0;
};

// Column c (1 .. 15) of a row.
using ResultColumnMember = rt::CString<256> QueryResultEntry::*;
inline constexpr std::array<ResultColumnMember, kResultColumns> kResultColumnMembers = {
    &QueryResultEntry::C1,  &QueryResultEntry::C2,  &QueryResultEntry::C3,  &QueryResultEntry::C4,
    &QueryResultEntry::C5,  &QueryResultEntry::C6,  &QueryResultEntry::C7,  &QueryResultEntry::C8,
    &QueryResultEntry::C9,  &QueryResultEntry::C10, &QueryResultEntry::C11, &QueryResultEntry::C12,
    &QueryResultEntry::C13, &QueryResultEntry::C14, &QueryResultEntry::C15};
inline rt::CString<256>& resultColumn(QueryResultEntry& row, int c) { return row.*kResultColumnMembers.at(c - 1); }
inline const rt::CString<256>& resultColumn(const QueryResultEntry& row, int c) {
    return row.*kResultColumnMembers.at(c - 1);
}

struct ColumnListEntry {
    rt::Byte COLUMNNUMBER = 0;
    rt::CString<61> COLUMNHEADER{};
    rt::Byte MAXIMUMLENGTHDATA = 0;  // longest formatted value, blanks at either end not counted
    rt::Byte LENGTHHEADER = 0;
    rt::CString<8> COLUMNSWIDTH{};   // filled by some callers; the reports do not read it
    rt::CString<8> JUSTIFICATION{};  // "Left", "Center", "Right", "Decimal"; else the default
    rt::CString<61> EXTRACTVALUEOPTION{};
};

// Descriptors with the labels "LQQ:C1" .. "LQQ:RECORDID" and "CLQ:COLUMNNUMBER" ..., so the
// queues sort by order texts and show in the inspection window.
const rt::RecordDesc& queryResultDesc();
const rt::RecordDesc& columnListDesc();

class QueryResultQueue : public rt::Queue<QueryResultEntry> {
public:
    QueryResultQueue() : rt::Queue<QueryResultEntry>(&queryResultDesc()) {}
};

class ColumnListQueue : public rt::Queue<ColumnListEntry> {
public:
    ColumnListQueue() : rt::Queue<ColumnListEntry>(&columnListDesc()) {}
    // The entry of a column number; null when there is none.
    ColumnListEntry* column(int number);
    const ColumnListEntry* column(int number) const;
};

// The width in characters a column of the layout needs: the longer of its data and heading.
inline int columnChars(const ColumnListEntry& c) {
    return c.MAXIMUMLENGTHDATA > c.LENGTHHEADER ? c.MAXIMUMLENGTHDATA : c.LENGTHHEADER;
}
