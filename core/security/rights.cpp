#include <algorithm>

#include "core/dictionary/globals.h"
#include "core/security/security.h"
#include "core/security/security_file.h"
#include "runtime/ui/dialogs.h"

const std::vector<std::string>& RightNames() {
    static const std::vector<std::string> names{"NONE", "LOOK", "PRINT", "ADD", "CHANGE", "PROCESS", "DELETE"};
    return names;
}

const std::vector<std::string>& PasswordIntervals() {
    static const std::vector<std::string> names{"Never",     "Daily",       "Weekly", "Monthly",
                                                "Quarterly", "Half-yearly", "Yearly"};
    return names;
}

const std::vector<std::string>& ReportTargets() {
    static const std::vector<std::string> names{"User", "Supervisor", "Both"};
    return names;
}

int RightPosition(std::string_view right) {
    std::string r = rt::upper(rt::clip(right));
    const auto& names = RightNames();
    auto it = std::find(names.begin(), names.end(), r);
    return it == names.end() ? 0 : static_cast<int>(it - names.begin()) + 1;
}

std::string NoAccessText(std::string_view action) {
    switch (RightPosition(action)) {
    case 1: return "You have not access to this.";
    case 2: return "You have not access to look at this data.";
    case 3: return "You have not access to print this data.";
    case 4: return "You have not access to add this data.";
    case 5: return "You have not access to change this data.";
    case 6: return "You have not access to process this data.";
    case 7: return "You have not access to delete this data.";
    default: return {};
    }
}

void NoAccessMessage(std::string_view action) {
    rt::beep();
    rt::message(NoAccessText(action), "No Access", rt::MessageIcon::Information);
}

rt::Byte CheckProcedureAccess(std::string_view action, std::string_view procedureName) {
    rt::FileManager& procedures = ProcedureListFile();
    rt::FileManager& users = UserListFile();
    if (OpenSecurityFile(procedures) != 0) return 0;
    if (OpenSecurityFile(users) != 0) {
        procedures.close();
        return 0;
    }
    rt::Byte answer = 0;
    // The key ignores case, so the mixed-case name finds the records stored in upper case.
    PRO.APPLICATION = "VOQKivorant";
    PRO.PROCEDURENAME = rt::clip(procedureName);
    if (procedures.fetch("PRO:KEYPROCEDURE") == 0) {
        USER.USERID = rt::clip(GLO.LoginUser.get().str());
        if (users.fetch("USER:KEYUSERID") == 0 && PRO.SECURITYLEVEL >= 1 && PRO.SECURITYLEVEL <= 10) {
            int userRight = RightPosition(USER.level(PRO.SECURITYLEVEL).str());
            answer = userRight >= RightPosition(action) ? 1 : 0;
        }
    }
    users.close();
    procedures.close();
    return answer;
}

rt::Byte GetUserLockTime(rt::Long& lockTime) {
    rt::FileManager& users = UserListFile();
    if (OpenSecurityFile(users) != 0) return 0;
    rt::Byte result = 0;
    USER.USERID = rt::clip(GLO.LoginUser.get().str());
    if (users.fetch("USER:KEYUSERID") == 0) {
        lockTime = static_cast<rt::Long>(USER.LOCKSCREEN) * 6000;
        result = lockTime > 0 ? 1 : 0;
    }
    users.close();
    return result;
}
