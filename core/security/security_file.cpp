#include "core/security/security_file.h"

#include <filesystem>
#include <memory>

#include "core/security/halt.h"
#include "runtime/data/sql_store.h"
#include "runtime/data/table_driver.h"
#include "runtime/os/path.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"

thread_local UserListRecord USER;
thread_local ProcedureListRecord PRO;
thread_local ApplicationListRecord APP;

rt::CString<31>& UserListRecord::level(int n) {
    return const_cast<rt::CString<31>&>(static_cast<const UserListRecord&>(*this).level(n));
}

const rt::CString<31>& UserListRecord::level(int n) const {
    switch (n) {
    case 1: return LEVEL1;
    case 2: return LEVEL2;
    case 3: return LEVEL3;
    case 4: return LEVEL4;
    case 5: return LEVEL5;
    case 6: return LEVEL6;
    case 7: return LEVEL7;
    case 8: return LEVEL8;
    case 9: return LEVEL9;
    default: return LEVEL10;
    }
}

namespace security {
namespace {

using rt::Dup;
using rt::NoCase;
using rt::Opt;
using rt::Primary;
using rt::Unique;

rt::Shared<std::string> fileName{"SECURITY"};

}  // namespace

std::string securityFileName() { return fileName.get(); }

void setSecurityFileName(std::string name) { fileName.set(name.empty() ? "SECURITY" : std::move(name)); }

const rt::TableDef& UserList() {
    using R = UserListRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("USERLIST", "USER")
                                        .localFile(securityFileName)
                                        .create()
                                        .ownerOnly()
                                        .field(&R::USERID, "USERID", "@s30")
                                        .field(&R::USERNAME, "USERNAME", "@s100")
                                        .field(&R::PASSWORD, "PASSWORD", "@s30")
                                        .field(&R::SUPERVISOR, "SUPERVISOR", "@n3")
                                        .field(&R::SETUPDATE, "SETUPDATE", "@d17")
                                        .field(&R::CHANGEDATE, "CHANGEDATE", "@d17")
                                        .field(&R::LEVEL1, "LEVEL1", "@s30")
                                        .field(&R::LEVEL2, "LEVEL2", "@s30")
                                        .field(&R::LEVEL3, "LEVEL3", "@s30")
                                        .field(&R::LEVEL4, "LEVEL4", "@s30")
                                        .field(&R::LEVEL5, "LEVEL5", "@s30")
                                        .field(&R::LEVEL6, "LEVEL6", "@s30")
                                        .field(&R::LEVEL7, "LEVEL7", "@s30")
                                        .field(&R::LEVEL8, "LEVEL8", "@s30")
                                        .field(&R::LEVEL9, "LEVEL9", "@s30")
                                        .field(&R::LEVEL10, "LEVEL10", "@s30")
                                        .field(&R::LOGINCOUNT, "LOGINCOUNT", "@n-14")
                                        .field(&R::LOCKSCREEN, "LOCKSCREEN", "@n-7")
                                        .field(&R::MAXATTEMPTS, "MAXATTEMPTS", "@n-7")
                                        .field(&R::ILLEGALACCESSUSER, "ILLEGALACCESSUSER", "@n3")
                                        .field(&R::ILLEGALACCESSSUPERVISOR, "ILLEGALACCESSSUPERVISOR", "@n3")
                                        .field(&R::DATEILLEGALACCESS, "DATEILLEGALACCESS", "@d17")
                                        .field(&R::TIMEILLEGALACCESS, "TIMEILLEGALACCESS", "@t7")
                                        .field(&R::CHANGEPASSWORD, "CHANGEPASSWORD", "@s30")
                                        .field(&R::REPORTERROR, "REPORTERROR", "@s30")
                                        .field(&R::PASSWORDHISTORY, "PASSWORDHISTORY", "@s255")
                                        .key("KEYUSERID", {"USERID"}, Unique | Primary | NoCase | Opt)
                                        .key("KEYUSERNAME", {"USERNAME"}, Dup | NoCase | Opt)
                                        .build();
    return def;
}

const rt::TableDef& ProcedureList() {
    using R = ProcedureListRecord;
    static const rt::TableDef def =
        rt::TableBuilder<R>("PROCEDURELIST", "PRO")
            .localFile(securityFileName)
            .create()
            .ownerOnly()
            .field(&R::APPLICATION, "APPLICATION", "@s25")
            .field(&R::PROCEDURENAME, "PROCEDURENAME", "@s50")
            .field(&R::PROCEDURETEMPLATE, "PROCEDURETEMPLATE", "@s25")
            .field(&R::PROCEDUREDESCRIPTION, "PROCEDUREDESCRIPTION", "@s50")
            .field(&R::SECURITYLEVEL, "SECURITYLEVEL", "@n-7")
            .field(&R::NEWPROCEDURE, "NEWPROCEDURE", "@n3")
            .field(&R::OLDPROCEDURE, "OLDPROCEDURE", "@n3")
            .field(&R::NOTE, "NOTE", "@s255")
            .key("KEYAPPLICATION", {"APPLICATION"}, Dup | NoCase | Opt)
            .key("KEYPROCEDURE", {"APPLICATION", "PROCEDURENAME"}, Unique | Primary | NoCase | Opt)
            .key("KEYTEMPLATE", {"PROCEDURETEMPLATE"}, Dup | NoCase | Opt)
            .key("KEYSECURITYNIVEAU", {"SECURITYLEVEL"}, Dup | NoCase | Opt)
            .key("KEYNEWPROCEDURE", {"NEWPROCEDURE"}, Dup | NoCase | Opt)
            .key("KEYOLDPROCEDURE", {"OLDPROCEDURE"}, Dup | NoCase | Opt)
            .build();
    return def;
}

const rt::TableDef& ApplicationList() {
    using R = ApplicationListRecord;
    static const rt::TableDef def = rt::TableBuilder<R>("APPLICATIONLIST", "APP")
                                        .localFile(securityFileName)
                                        .create()
                                        .ownerOnly()
                                        .field(&R::APPLICATION, "APPLICATION", "@s25")
                                        .field(&R::UPDATEATSTART, "UPDATEATSTART", "@n3")
                                        .key("KEYAPPLICATION", {"APPLICATION"}, Unique | Primary | NoCase | Opt)
                                        .build();
    return def;
}

}  // namespace security

namespace {

thread_local std::unique_ptr<rt::FileManager> userFile;
thread_local std::unique_ptr<rt::FileManager> procedureFile;
thread_local std::unique_ptr<rt::FileManager> applicationFile;

rt::FileManager& manager(std::unique_ptr<rt::FileManager>& slot, const rt::TableDef& def, void* buffer) {
    if (!slot) {
        slot = std::make_unique<rt::FileManager>(def, buffer);
        // Missing files are noticed first, so that a failed creation gets its own report.
        slot->setCreate(false);
    }
    return *slot;
}

// <err> of the reports: the driver's own text and code for driver errors.
std::string err() {
    if (rt::errorCode() == rt::ErrFileSystem && !rt::fileErrorCode().empty())
        return rt::fileErrorText() + " (" + rt::fileErrorCode() + ")";
    return rt::errorText() + " (" + std::to_string(rt::errorCode()) + ")";
}

void report(std::string_view title, std::string_view text) { rt::message(text, title, rt::MessageIcon::Information); }

// The report of a failed store; 1 for the caller to hand on.
int updateFailed() {
    report("Update Operation Error", "An error (" + err() +
                                         ") was experienced when attempting to update a record from the file.  "
                                         "Probable Cause: " +
                                         rt::errorText() + ".");
    return 1;
}

bool sameRecord(const rt::RecordDesc& desc, const void* a, const void* b) {
    for (std::size_t i = 0; i < desc.fieldCount(); ++i)
        if (desc.text(a, i) != desc.text(b, i)) return false;
    return true;
}

}  // namespace

rt::FileManager& UserListFile() { return manager(userFile, security::UserList(), &USER); }
rt::FileManager& ProcedureListFile() { return manager(procedureFile, security::ProcedureList(), &PRO); }
rt::FileManager& ApplicationListFile() { return manager(applicationFile, security::ApplicationList(), &APP); }

int OpenSecurityFile(rt::FileManager& file) {
    rt::clearError();
    int rc = file.open();
    if (rc == 0 || rc == rt::ErrFileAlreadyOpen) return 0;
    const std::string name = file.name();
    if (rc == rt::ErrAccessDenied || rc == 32) {  // locked by another station: wait and retry
        file.send("Recover=10");
        rc = file.open();
        if (rc == 0) return 0;
    }
    // A missing file, or a file without this table yet (the tables are made one by one).
    if (rc == rt::ErrFileNotFound) {
        file.setCreate(true);
        rc = file.open();
        file.setCreate(false);
        if (rc == 0) return 0;
        if (!std::filesystem::exists(name)) {
            report("File Creation Error",
                   "Error: (" + err() + ") creating " + name + ".  Press OK to end this application.");
        } else {
            report("File Creation Error",
                   "Error: (" + err() + ") opening created file:" + name + ".  Press OK to end this application.");
        }
        HaltProgram("File Creation Error!");
        return rc;
    }
    if (rc == rt::ErrInvalidRecordDeclaration) {
        report("Invalid File", "Error: (" + err() + ") accessing " + name + ".  Press OK to end this application.");
        HaltProgram("Invalid File!");
        return rc;
    }
    report("File Access Error", "File (" + name + ") could not be opened.  Error: " + err() + ".");
    HaltProgram("Disk Error");
    return rc;
}

int SaveRecord(rt::FileManager& file, std::string_view tableName) {
    rt::TableDriver* driver = file.driver();
    const void* read = file.lastRead();
    if (!driver || !driver->isOpen() || !read) {
        rt::setError(rt::ErrFileNotOpen, rt::dataErrorText(rt::ErrFileNotOpen));
        return updateFailed();
    }
    rt::Store& store = *driver->store();
    store.setBusyTimeout(2);
    rt::StoreError e;
    if (!store.begin(e)) {
        rt::setFileError(rt::ErrFileSystem, rt::dataErrorText(rt::ErrFileSystem), e.state, e.text);
        report("Transaction Framing Error", "Error: (" + err() + ") attempting to frame the update transaction on " +
                                                std::string(tableName) + ".  Update transaction cancelled.");
        return 1;
    }
    const rt::RecordDesc& desc = file.desc();
    // The record as it was read, and as it is stored now.
    std::shared_ptr<void> asRead(desc.create(), desc.destroy);
    desc.copy(asRead.get(), read);
    rt::SavedBuffer wanted = file.saveBuffer();
    desc.copy(file.buffer(), asRead.get());
    int key = file.def().identifyingKey();
    int rc = file.fetch(key);
    bool changedElsewhere = rc != 0 || !sameRecord(desc, file.buffer(), asRead.get());
    file.restoreBuffer(wanted);
    if (!changedElsewhere) rc = file.update();
    if (changedElsewhere || rc != 0) {
        store.rollback();
        if (!changedElsewhere) return updateFailed();
        report("Update Operation Error", "This record was changed by another station.");
        return 1;
    }
    if (!store.commit(e)) {
        rt::setFileError(rt::ErrFileSystem, rt::dataErrorText(rt::ErrFileSystem), e.state, e.text);
        return updateFailed();
    }
    return 0;
}

int SaveUserRecord() { return SaveRecord(UserListFile(), kUserListName); }
int SaveProcedureRecord() { return SaveRecord(ProcedureListFile(), kProcedureListName); }

void ReportRetrievalError(std::string_view tableName) {
    report("Record Retrieval Error x", "Error: (" + err() + ") attempting to access a record from the " +
                                           std::string(tableName) + " file.  Returning to previous window.");
}
