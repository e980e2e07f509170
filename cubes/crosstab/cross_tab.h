// The cross-tab definitions: the list "Daten für spDynamicCrossTab" over the local file
// CROSSTAB and the form of one definition. The results window chooses the cross tab it runs
// through the list in the request "select"; the choice stays in the CRO record buffer.
#pragma once

#include <string_view>

void BrowseCrossTab();
// The form, in the request its caller set.
void EditCrossTab();

// True when every single quote of text is one of a doubled pair (''). Each part of a definition
// goes as it is between the quotes of a text parameter of the server procedure, so a single
// quote would end it there.
bool QuotesDoubled(std::string_view text);

// Controls (for tests through the display).
namespace crosstab {
enum ListControl {
    Sheet = 1,
    TabId,
    TabTitle,
    Locator,
    List,
    Select,
    Copy,
    Insert,
    Change,
    Delete,
    Print,
    Close,
};
enum FormControl {
    FormSheet = 30,
    FormTab,
    TitlePrompt,
    Title,
    RowPrompt,
    Row,
    ColPrompt,
    Col,
    AggregatePrompt,
    Aggregate,
    FromPrompt,
    From,
    Ok,
    Cancel,
    Help,
};
inline constexpr const char* kListTitle = "Daten für spDynamicCrossTab";
inline constexpr const char* kCopiedText = "DS kopiert!";
inline constexpr const char* kQuoteTitle = "Hochkomma";
}  // namespace crosstab
