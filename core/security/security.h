// The program's own users, passwords and rights, kept in the local security file that the user
// administration program edits: procedure registration at start, the login, the password change,
// the idle lock time and the rights questions of the lists.
//
//   if (UpdateProcedureList(rows.size(), 175, rows)) ...          // start-up
//   rt::String<30> id = GLO.LoginUser.get();
//   if (!LoginWindow(id)) ...                                     // the frame: refused
//   if (!CheckProcedureAccess("Look", "BrowseWerte")) { NoAccessMessage("Look"); ... }
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/record.h"
#include "runtime/text/date_time.h"
#include "runtime/text/strings.h"

// Registers the procedures of the table (rows of rowWidth characters: name 1-50, kind 51-75,
// description 76-175; blank names skipped) for the application "VOQKIVORANT" and marks the
// others as no longer registered. 1 when a procedure was added, else 0.
rt::Byte UpdateProcedureList(long rowCount, long rowWidth, const std::vector<std::string>& rows);

// The login window "Login". userId pre-fills the entry (upper case) when not blank and holds
// the typed ID afterwards. 1 logged in, 0 cancelled. An unknown user and too many wrong
// passwords end the program ("Missing user listing", "Wrong password").
rt::Byte LoginWindow(rt::String<30>& userId);

// The password change window "New Password" for one user.
void NewPasswordWindow(std::string_view userId);

// The logged-in user's (GLO:LoginUser) idle minutes in hundredths of a second. 1 when above 0;
// an unknown user leaves lockTime as it is and gives 0.
rt::Byte GetUserLockTime(rt::Long& lockTime);

// 1 when the logged-in user may perform the action ("Look", "Add", "Change", "Delete", any
// right in any case) in the procedure.
rt::Byte CheckProcedureAccess(std::string_view action, std::string_view procedureName);

// The refusal for an action, titled "No Access".
void NoAccessMessage(std::string_view action);

// ---- Rules, for the windows and the administration program ----------------------------------

// Position of a right in NONE (1) .. DELETE (7), any case, trailing blanks ignored; 0 otherwise.
int RightPosition(std::string_view right);
// The seven rights in order.
const std::vector<std::string>& RightNames();
// The refusal text of an action (empty for an unknown one).
std::string NoAccessText(std::string_view action);
// The password intervals "Never" .. "Yearly" and the report targets "User", "Supervisor", "Both".
const std::vector<std::string>& PasswordIntervals();
const std::vector<std::string>& ReportTargets();
// True when a login today must ask for a new password, by the interval and the day of the last
// change.
bool PasswordChangeDue(std::string_view interval, rt::DateNumber changeDate, rt::DateNumber today);
// True when the new password was used before: it occurs anywhere in the history text.
bool PasswordInHistory(std::string_view history, std::string_view password);
// The history with the replaced password appended; when it grows beyond 1,000 characters the
// oldest entries are dropped.
std::string AppendPasswordHistory(std::string_view history, std::string_view oldPassword);

// Control numbers of the windows (for tests through the display).
enum LoginControl {
    LOGIN_HEADING = 1,
    LOGIN_USERID_PROMPT,
    LOGIN_USERID,
    LOGIN_PASSWORD_PROMPT,
    LOGIN_PASSWORD,
    LOGIN_OK,
    LOGIN_CANCEL,
    LOGIN_NEWPASSWORD
};
enum NewPasswordControl {
    NEWPW_HEADING = 1,
    NEWPW_NEW_PROMPT,
    NEWPW_NEW,
    NEWPW_REPEAT_PROMPT,
    NEWPW_REPEAT,
    NEWPW_OK,
    NEWPW_CANCEL
};
enum ProgressControl { PROGRESS_EXISTING_PROMPT = 1, PROGRESS_EXISTING, PROGRESS_NEW_PROMPT, PROGRESS_NEW };
