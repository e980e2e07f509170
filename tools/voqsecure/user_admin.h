// The user administration of VOQSECURE: what its command line and its window both do to the
// security file, and the window itself ("Benutzerverwaltung"). The tables are the calling
// thread's; the shared calls need them open (OpenSecurityFile), the window opens them itself.
//
//   UserAdministration("ADMIN");   // the window, for the user the program names with "\U="
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/security/security_file.h"

namespace voqsecure {

// A new user as the administration sets one up: the ID, no right at any level, three wrong
// passwords allowed, no password interval, illegal access reported to both, set up today.
UserListRecord NewUserRecord(std::string_view userId);

// Reads the user into USER; false when there is none.
bool FindUser(std::string_view userId);

// The administrator's new password: the history does not refuse it, the change counts as today's
// and the illegal-access flags are lifted.
void SetAdministratorPassword(UserListRecord& user, std::string_view password);

// Sets a procedure's security level; a procedure the program has not registered yet is
// registered here, so that a set-up can give levels before the first start. 0 stored.
int SetProcedureLevel(std::string_view procedureName, int level);

// Every user in the order of their IDs; every procedure of the application in name order.
std::vector<UserListRecord> AllUsers();
std::vector<ProcedureListRecord> ApplicationProcedures();

// The window "Benutzerverwaltung". adminId is the ID the program passed ("\U="), empty when
// started by hand; a listed user who is no supervisor is turned away while there are supervisors.
void UserAdministration(std::string_view adminId);

// Control numbers of the windows (for tests through the display).
enum AdminControl {
    ADMIN_USERS_PROMPT = 1,
    ADMIN_USERS,
    ADMIN_INSERT,
    ADMIN_CHANGE,
    ADMIN_DELETE,
    ADMIN_PROCEDURES_PROMPT,
    ADMIN_PROCEDURES,
    ADMIN_LEVEL,
    ADMIN_RIGHT,
    ADMIN_CLOSE
};
enum UserFormControl {
    USERFORM_ID_PROMPT = 1,
    USERFORM_ID,
    USERFORM_NAME_PROMPT,
    USERFORM_NAME,
    USERFORM_PASSWORD_PROMPT,
    USERFORM_PASSWORD,
    USERFORM_REPEAT_PROMPT,
    USERFORM_REPEAT,
    USERFORM_SUPERVISOR,
    USERFORM_LOCK_PROMPT,
    USERFORM_LOCK,
    USERFORM_ATTEMPTS_PROMPT,
    USERFORM_ATTEMPTS,
    USERFORM_INTERVAL_PROMPT,
    USERFORM_INTERVAL,
    USERFORM_REPORT_PROMPT,
    USERFORM_REPORT,
    USERFORM_LEVELS_GROUP,
    USERFORM_OK,
    USERFORM_CANCEL,
    USERFORM_LEVEL_PROMPT1 = 100,  // .. 109, Stufe 1 .. 10
    USERFORM_LEVEL1 = 110          // .. 119
};
enum LevelControl { LEVEL_PROCEDURE = 1, LEVEL_PROMPT, LEVEL_VALUE, LEVEL_NOTE, LEVEL_OK, LEVEL_CANCEL };
enum RightControl { RIGHT_USER = 1, RIGHT_PROCEDURE, RIGHT_PROMPT, RIGHT_VALUE, RIGHT_NOTE, RIGHT_OK, RIGHT_CANCEL };

// The window titles.
inline constexpr const char* kAdminTitle = "Benutzerverwaltung";
inline constexpr const char* kUserInsertTitle = "Benutzer anlegen";
inline constexpr const char* kUserChangeTitle = "Benutzer bearbeiten";
inline constexpr const char* kLevelTitle = "Sicherheitsstufe";
inline constexpr const char* kRightTitle = "Recht";

}  // namespace voqsecure
