// Update scripts: the list "SQL-Skripte" over one update-script file ("Skript.TPS" and the like),
// its form "Form SKRIPT", and "Lade Skripte", which runs the SQL object updater over the file.
#pragma once

#include <functional>
#include <memory>

#include "core/updater/updater.h"

void BrowseSQLSkript1();
void EditSkript1();

// The channel the list's updater sends through (tests put a scripted one in place; empty: ODBC).
void SetUpdaterChannelFactory(std::function<std::unique_ptr<StatementChannel>()> factory);

// The driver and the trusted flag of a client's connect string, for the updater's connection.
struct ClientConnection {
    std::string driver;
    bool trusted = false;
};
ClientConnection ClientConnectionOf(std::string_view connectString);

inline constexpr int kScriptTextLimit = 64000;

namespace skript {
enum {
    Sheet = 1,
    TabName,
    TabOrder,
    List,
    FileName,
    Insert,
    Change,
    Delete,
    Load,
    Force,
    Close,
    Help,
    // form
    FormSheet = 30,
    TabGeneral,
    TabSql,
    PromptId,
    EntryId,
    PromptSetup,
    EntrySetup,
    PromptVersion,
    EntryVersion,
    PromptFinal,
    EntryFinal,
    PromptType,
    DropType,
    PromptOrder,
    EntryOrder,
    PromptName,
    EntryName,
    PromptDescription,
    EntryDescription,
    TextScript,
    Ok,
    Cancel,
    FormHelp,
};
}  // namespace skript
