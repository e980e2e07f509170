// The local security file "SECURITY" with its tables of users, procedures and applications,
// shared with the user administration program. Each thread has its own record buffers (USER,
// PRO, APP) and its own managers, opened on first use and counted per thread.
//
//   if (OpenSecurityFile(UserListFile()) != 0) return;  // reported (and halted) already
//   USER.USERID = "ADMIN";
//   if (UserListFile().fetch("USER:KEYUSERID") == 0) ...
//   UserListFile().close();
#pragma once

#include <string>
#include <string_view>

#include "runtime/data/file_manager.h"
#include "runtime/data/record.h"
#include "runtime/data/table_def.h"
#include "runtime/text/strings.h"

struct UserListRecord {
    rt::CString<31> USERID;
    rt::CString<101> USERNAME;
    rt::CString<31> PASSWORD;
    rt::Byte SUPERVISOR = 0;
    rt::Long SETUPDATE = 0;
    rt::Long CHANGEDATE = 0;
    rt::CString<31> LEVEL1, LEVEL2, LEVEL3, LEVEL4, LEVEL5, LEVEL6, LEVEL7, LEVEL8, LEVEL9, LEVEL10;
    rt::Long LOGINCOUNT = 0;
    rt::Short LOCKSCREEN = 0;
    rt::Short MAXATTEMPTS = 0;
    rt::Byte ILLEGALACCESSUSER = 0;
    rt::Byte ILLEGALACCESSSUPERVISOR = 0;
    rt::Long DATEILLEGALACCESS = 0;
    rt::Long TIMEILLEGALACCESS = 0;
    rt::CString<31> CHANGEPASSWORD;
    rt::CString<31> REPORTERROR;
    rt::Memo<1000> PASSWORDHISTORY;

    // LEVEL1 .. LEVEL10 by number (1-based).
    rt::CString<31>& level(int n);
    const rt::CString<31>& level(int n) const;
};

struct ProcedureListRecord {
    rt::CString<26> APPLICATION;
    rt::CString<51> PROCEDURENAME;
    rt::CString<26> PROCEDURETEMPLATE;
    rt::CString<51> PROCEDUREDESCRIPTION;
    rt::Short SECURITYLEVEL = 0;
    rt::Byte NEWPROCEDURE = 0;
    rt::Byte OLDPROCEDURE = 0;
    rt::Memo<1000> NOTE;
};

struct ApplicationListRecord {
    rt::CString<26> APPLICATION;
    rt::Byte UPDATEATSTART = 0;
};

// The calling thread's record buffers.
extern thread_local UserListRecord USER;
extern thread_local ProcedureListRecord PRO;
extern thread_local ApplicationListRecord APP;

// The application name the program registers and looks up under.
inline constexpr const char* kSecurityApplication = "VOQKIVORANT";

// Names the error messages give the tables.
inline constexpr const char* kUserListName = "Secure::UserList";
inline constexpr const char* kProcedureListName = "Secure::ProcedureList";
inline constexpr const char* kApplicationListName = "Secure::ApplicationList";

namespace security {
const rt::TableDef& UserList();
const rt::TableDef& ProcedureList();
const rt::TableDef& ApplicationList();

// The file the three tables lie in: "SECURITY" (".TPS" added) in the working folder unless set
// (the administration program's option, tests). Takes effect at the next open of a thread.
std::string securityFileName();
void setSecurityFileName(std::string name);
}  // namespace security

// The calling thread's managers, made on first use.
rt::FileManager& UserListFile();
rt::FileManager& ProcedureListFile();
rt::FileManager& ApplicationListFile();

// Opens a table of the security file shared for reading and writing, creating the file when it
// is missing. 0 when open; otherwise the failure was reported and the program halted.
int OpenSecurityFile(rt::FileManager& file);

// Stores the record read last, in a transaction of its own with a lock wait of 2 seconds; a
// record another station changed since it was read is reported, not overwritten. 0 stored,
// 1 failed (reported).
int SaveUserRecord();
int SaveProcedureRecord();
int SaveRecord(rt::FileManager& file, std::string_view tableName);

// The report of a failed read ("Record Retrieval Error x").
void ReportRetrievalError(std::string_view tableName);
