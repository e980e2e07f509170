// The query builder: a filter for a list composed field by field from the names its caller
// offers, kept as saved queries and picked again; beside it the field masks (readable labels for
// field names) with their list and form.
#pragma once

#include <string>
#include <string_view>

// The builder, on the caller's thread. The caller sets QBEFieldList, QBEFieldCount,
// QBEQueryFilter and QBESearchFilter first and reads QueryString (empty: no query) and
// QueryDescription afterwards.
void QBEWindow();
// The form of one saved query, in the request its list set.
void UpdateSavedQuery();
// The list of field masks, filtered by QBESearchFilter.
void FieldMaskBrowse();
// The form of one field mask.
void EditFieldNames();

// The search value as a condition quotes it: trimmed and cut to 60 characters; a whole
// month/day/year date becomes its day number and a whole time with AM or PM its time value;
// upper case; quotes doubled so that the literal stays one literal.
std::string QBESearchValue(std::string_view value);
// One condition, with its leading blank: " UPPER(field)<symbol>'VALUE'", or for "~"
// " INSTRING('VALUE',UPPER(field),1,1)". Empty for an unknown symbol.
std::string QBECondition(std::string_view field, std::string_view symbol, std::string_view value);
// What a condition still lacks (the message's second part), or null when it is whole: a field,
// an operator and, for "Contains", a search value.
const char* QBEMissingPart(std::string_view field, std::string_view symbol, std::string_view value);

// Controls (for tests through the display).
namespace qbe {
enum BuilderControl {
    Sheet = 1,
    QueryTab,
    SavedList,
    Select,
    Insert,
    Change,
    Delete,
    EditAll,
    Close,
    BuildTab,
    FieldPrompt,
    FieldNames,
    FieldMasks,
    OperatorPrompt,
    Operators,
    ValuePrompt,
    Value,
    QueryShown,
    And,
    Or,
    Write,
    Open,
    Shut,
    Save,
    Cut,
    Run,
    Cancel,
    UseNames,
    UseMasks,
    EditMasks,
};
enum SavedQueryControl {
    DescriptionPrompt = 40,
    Description,
    GroupPrompt,
    Group,
    QueryPrompt,
    Query,
    QueryOk,
    QueryCancel,
    QueryHelp,
};
enum MaskListControl {
    MaskSheet = 60,
    FieldTab,
    IdTab,
    MaskList,
    MaskInsert,
    MaskChange,
    MaskDelete,
    MaskHelp,
    MaskClose,
    LoadFields,
};
enum MaskFormControl {
    MaskIdPrompt = 80,
    MaskId,
    SearchFieldPrompt,
    SearchField,
    FieldMaskPrompt,
    FieldMask,
    MaskOk,
    MaskCancel,
    MaskFormHelp,
};
inline constexpr const char* kBuilderTitle = "Query By Example";
inline constexpr const char* kSavedQueryTitle = "Query bearbeiten";
inline constexpr const char* kMaskListTitle = "Liste der Abfragen";
inline constexpr const char* kMaskFormTitle = "Feldnamen";
inline constexpr const char* kNothingToSave = "No Query String to Save, Please Build Query First.";
}  // namespace qbe
