#pragma once
// Small text and path routines shared by the windows of every subsystem.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Replaces each of \ / : * ? " < > | by a blank and clips; at most 255 characters.
std::string CleanFileName(std::string_view name);

// Position of the last non-blank character; 0 for an empty or blank text.
long ClippedLength(std::string_view text);

// Replaces every occurrence of find (case-insensitive, used with its full length) in text by
// the clipped replacement; the result has the character length of the given text (padded or
// cut). Each search starts again at the beginning of the text, so what a replacement joins
// together is found too. No result when the replacement contains find: that could never end.
std::optional<std::string> ReplaceString(std::string_view replacement, std::string_view find, std::string_view text);

// One value for the placeholders of a statement (FillPlaceholders).
struct PlaceholderValue {
    std::string_view placeholder;  // found in any case of its ASCII letters
    std::string value;             // inserted as it stands
    // The value is a whole comparison (" BETWEEN ... AND ..."): the operator directly in front of
    // the placeholder (=, <, >, <=, >=, <>, blanks after it) goes.
    bool replacesComparison = false;
};

// Every occurrence of each placeholder replaced in one pass over the statement as written, so an
// inserted value is never searched again, whatever it holds.
std::string FillPlaceholders(std::string_view statement, const std::vector<PlaceholderValue>& values);

// A date answer (in the system's short date form, as the date window gives it) as the SQL
// literal that the back end behind connect reads alike; none when the text is no such date.
std::optional<std::string> DateAnswerLiteral(std::string_view answer, std::string_view connect);

// Points a connect string at currentDatabase: the old name (after the first "Database=", to the
// end, at most 50 characters) is removed wherever it stands and currentDatabase appended.
// Unchanged when the names are equal. At most 250 characters.
std::string ReplaceConnectDatabase(std::string_view connect, std::string_view currentDatabase);

// Splits text at a one-character separator into entries (empty parts between two separators
// give empty entries; a separator at the end gives no empty last entry).
std::vector<std::string> SplitToQueue(std::string_view separator, std::string_view text);

// Every character that is not 0-9 becomes a blank; clipped; at most 255 characters.
std::string DigitsOnly(std::string_view text);

// Splits a path at its last "\" (or "/"): nameFlag != 0 gives name "." extension, else mode 1 the
// name, 2 the extension, 3 the folder with its closing separator. Clipped.
std::string SplitPath(std::string_view path, int mode, int nameFlag);
