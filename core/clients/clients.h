// Client connections ("Mandanten"): the connect string of a client record, the take-over of a
// client into the program's globals, the connection test of the start-up, the client list and
// form, and the "Connect-String" window of the cube form.
//
//   TakeOverClient(id);          // client globals and GLO:ConnectString from record `id`
//   CheckMandantConnection();    // on failure: message, client list, take-over of the choice
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/dictionary/records.h"

// The ODBC connect string of a client record (at most 255 characters).
std::string ConnectString(const MandantRecord& client);
// Why a value cannot go into a connect string (it holds a "}"); empty when it can.
std::string ConnectValueRefused(std::string_view value);

// The local computer's name, "\" and the ERP's named SQL Server instance.
std::string DefaultClientServer();
inline constexpr const char* kErpInstance = "ERP";

// Clears the thread's client buffer, reads record `id` by MAN:KeyID (a missing record leaves it
// blank) and sets GLO:DbUser, GLO:DbPassword, GLO:Database, GLO:MANDANTENNAME, GLO:Server and
// GLO:ConnectString.
void TakeOverClient(long id);

// Tests GLO:ConnectString by connecting the thread's work table; on a driver error shows
// "Verbindungs-Fehler", opens the client list to choose and takes the chosen client over.
void CheckMandantConnection();

// The text of the "Verbindungs-Fehler" box for the thread's error status.
std::string ConnectionErrorText();

// Writes the client's identifier as the current client into ".\VOQKivorant6.INI" and restarts
// the program; returns only when the restart failed.
void SwitchClient(long id);

// The client list "Mandanten" (ThreadRequest 4: select). When it returns without restarting,
// the record current in the list is in the thread's MAN buffer.
void ListMandant();
// The client form "Mandant", for insert, change and view (ThreadRequest); answers in
// ThreadResponse.
void EditMandant();

// The drivers the form offers: "SQL Server" first, then those unixODBC knows.
std::vector<std::string> OdbcDriverNames();

// The "Connect-String" window: splits `connect` by position, shows the parts and, on OK, writes
// the rebuilt string into the thread's CUBK:Connect.
void src_CreateConnectStringDriver(std::string_view connect);

// The parts as the window takes them from a connect text.
struct ConnectStringParts {
    std::string work;  // the text split (the default when the given one is blank)
    std::string driver, server, user, password, database, regional;
};
ConnectStringParts SplitConnectString(std::string_view connect);
// The string rebuilt from the parts (";Regional=" only for exactly "Yes"), at most 511 characters.
std::string BuildConnectString(const ConnectStringParts& parts);

// Window equates, for tests.
namespace mandant {
enum {
    List = 1,
    Select,
    Copy,
    Insert,
    Change,
    Delete,
    Close,
    // form
    PromptName = 20,
    EntryName,
    PromptDriver,
    DropDriver,
    PromptServer,
    EntryServer,
    PromptDatabase,
    EntryDatabase,
    PromptUser,
    EntryUser,
    PromptPassword,
    EntryPassword,
    CheckInactive,
    CheckRegional,
    CheckTrusted,
    Ok,
    Cancel,
    // connect-string window
    PromptConnect = 40,
    EntryConnect,
    PromptCsDriver,
    EntryCsDriver,
    PromptCsServer,
    EntryCsServer,
    PromptCsUser,
    EntryCsUser,
    PromptCsPassword,
    EntryCsPassword,
    PromptCsDatabase,
    EntryCsDatabase,
    PromptCsRegional,
    EntryCsRegional,
    CsOk,
    CsCancel,
};
}  // namespace mandant

inline constexpr const char* kClientIniFile = ".\\VOQKivorant6.INI";
