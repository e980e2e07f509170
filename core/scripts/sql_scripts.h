// SQL script tables: the list "SQL-Scripte" over a script file the user chooses (GLO:SCRIPT),
// the form that edits a script, runs it on the client's database and loads or saves it as a
// text file, and the report of the file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

void BrowseSQLScript();
void EditSQLScripte();
void DruckeScripte();

// The batches of a script: lines holding only "GO" separate them; empty batches are dropped.
std::vector<std::string> SplitGoBatches(std::string_view script);
// Every whole word CREATE (any case) becomes ALTER; names and words that contain it stay.
std::string CreateWordsToAlter(std::string_view script);

inline constexpr std::size_t kScriptMemoLimit = 64000;

// A name for a copy of the script `name` that no script of the open file has: the name, cut to
// make room, with " (2)", " (3)", ... The record buffer stays as it was.
std::string FreeScriptName(std::string_view name);

// Sends one statement through the ad-hoc SQL table on the client's connection; on failure
// `error` holds the driver's message (driver errors) or the runtime's text.
bool SendScriptStatement(const std::string& sql, std::string& error);
// Runs the batches of a script in order on one connection of the ad-hoc SQL table; the first
// failing batch stops the run: false, with `failed` its number (from 1) and `error` its message.
bool SendScriptBatches(const std::vector<std::string>& batches, std::string& error, std::size_t& failed);
// The calling thread's last error: the driver's message for driver errors, else the runtime's text.
std::string LastStatementError();

namespace sqlscript {
enum {
    Sheet = 1,
    TabName,
    TabId,
    List,
    FileName,
    Insert,
    Change,
    Delete,
    Print,
    Copy,
    NewFile,
    PrintMemo,
    Select,
    Close,
    Help,
    LocatorName,
    // form
    MenuEditor = 30,
    MenuFile,
    ItemOpen,
    ItemSaveAs,
    MenuEdit,
    ItemCut,
    ItemCopy,
    ItemPaste,
    ItemWordWrap,
    FormSheet,
    TabGeneral,
    PromptId,
    EntryId,
    PromptName,
    EntryName,
    PromptTable,
    EntryTable,
    PromptDescription,
    EntryDescription,
    TextScript,
    Run,
    Replace,
    Ok,
    Cancel,
};
}  // namespace sqlscript
