// The saved SQL queries: the list "Query-Liste" over the file named by GLO:SQL_QBE, the form of
// one query, and the field list of the program's tables from which the form takes field names.
#pragma once

#include <string>
#include <string_view>

#include "runtime/text/strings.h"

// The list, in the request its caller set. Returns the statement of the query in the record
// buffer when it closes (the chosen one after "&Select"). Without a file named in GLO:SQL_QBE
// it asks for one first; cancelled, the list does not open and the answer is empty.
// The second tab shows only the queries whose table equals fileFilter.
std::string ListeSQL_QBE(std::string_view fileFilter);
// The form, in the request its caller set, on the SQLQuerries record buffer.
void UpdateSQL_QBE();
// The tables with their keys and fields; the chosen field as "table.field" (the three
// variables receive the table, the field and its picture). Left without a choice: the given
// table and field joined by "." when both are set, else empty.
std::string Fieldliste(rt::String<20>& table, rt::String<32>& field, rt::String<10>& picture);

// Controls (for tests through the display).
namespace sqlqueries {
enum ListControl {
    Sheet = 1,
    TabCreated,
    TabDescription,
    Locator,
    List,
    QueryView,
    Select,
    Insert,
    Change,
    Delete,
    Close
};
enum FormControl {
    NamePrompt = 20,
    Name,
    DatePrompt,
    Date,
    TablePrompt,
    Table,
    DescriptionPrompt,
    Description,
    HeadlinePrompt,
    Headline,
    QueryPrompt,
    Query,
    Fields,
    OpenParen,
    CloseParen,
    And,
    Or,
    Ok,
    Cancel,
};
enum FieldListControl { FieldSheet = 50, FieldTab, Tables, FieldRows };
inline constexpr const char* kListTitle = "Query-Liste";
inline constexpr const char* kFieldListTitle = "Fieldliste";
inline constexpr std::size_t kStoredQueryWidth = 1000;
}  // namespace sqlqueries
