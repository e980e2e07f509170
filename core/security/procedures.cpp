#include "core/security/halt.h"
#include "core/security/security.h"
#include "core/security/security_file.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {

// Characters [from, from + count) of a row (1-based), clipped.
std::string rowPart(std::string_view row, std::size_t from, std::size_t count) {
    return std::string(rt::clip(rt::subChars(row, from - 1, count)));
}

class ProgressWindow {
public:
    ProgressWindow() : w_("UpdateProcedureList", "Updating Program [VOQKivorant]") {
        w_.setSize(200, 60);
        w_.add(PROGRESS_EXISTING_PROMPT, rt::ControlKind::Prompt)
            .setText("Existing Procedures")
            .setPosition(6, 6, 188, 10);
        w_.add(PROGRESS_EXISTING, rt::ControlKind::Progress).setRange(0, 100).setValue("0").setPosition(6, 16, 188, 8);
        w_.add(PROGRESS_NEW_PROMPT, rt::ControlKind::Prompt).setText("New Procedures").setPosition(6, 30, 188, 10);
        w_.add(PROGRESS_NEW, rt::ControlKind::Progress).setRange(0, 100).setValue("0").setPosition(6, 40, 188, 8);
        w_.open();
        rt::setPointer(rt::Pointer::Busy);
    }
    ~ProgressWindow() {
        w_.close();
        rt::setPointer(rt::Pointer::Arrow);
    }
    void set(int bar, long percent) {
        w_.control(bar).setValue(std::to_string(percent));
        w_.flush();
    }

private:
    rt::Window w_;
};

}  // namespace

rt::Byte UpdateProcedureList(long rowCount, long rowWidth, const std::vector<std::string>& rows) {
    rt::FileManager& applications = ApplicationListFile();
    if (OpenSecurityFile(applications) != 0) return 0;

    APP = ApplicationListRecord{};
    APP.APPLICATION = kSecurityApplication;
    APP.UPDATEATSTART = 1;
    if (applications.insertAsIs() != 0) {
        APP.APPLICATION = kSecurityApplication;
        if (applications.fetch("APP:KEYAPPLICATION") != 0) {
            ReportRetrievalError(kProcedureListName);
            applications.close();
            HaltProgram("Error at reading the application information");
            return 0;
        }
    }
    if (APP.UPDATEATSTART == 0) {
        applications.close();
        return 0;
    }

    rt::FileManager& procedures = ProcedureListFile();
    if (OpenSecurityFile(procedures) != 0) {
        applications.close();
        return 0;
    }
    rt::Byte result = 0;
    {
        ProgressWindow progress;

        // Every procedure of the application is old until the program registers it again.
        long long total = procedures.records();
        long count = 0;
        PRO = ProcedureListRecord{};
        PRO.APPLICATION = kSecurityApplication;
        procedures.setFrom("PRO:KEYAPPLICATION");
        std::vector<rt::Position> ours;
        while (procedures.next() == 0) {
            if (!rt::equalsNoCase(PRO.APPLICATION.str(), kSecurityApplication)) break;
            ours.push_back(procedures.position());
        }
        for (const auto& at : ours) {
            procedures.resetTo(procedures.keyIndex("PRO:KEYAPPLICATION"), at);
            if (procedures.next() != 0) continue;
            PRO.OLDPROCEDURE = 1;
            SaveProcedureRecord();
            ++count;
            if (total > 0) progress.set(PROGRESS_EXISTING, static_cast<long>(count * 100 / total));
        }

        for (long i = 1; i <= rowCount && i <= static_cast<long>(rows.size()); ++i) {
            progress.set(PROGRESS_NEW, i * 100 / rowCount);
            std::string row(rt::cutChars(rows[static_cast<std::size_t>(i - 1)], static_cast<std::size_t>(rowWidth)));
            std::string name = rowPart(row, 1, 50);
            if (name.empty()) continue;
            PRO = ProcedureListRecord{};
            PRO.APPLICATION = kSecurityApplication;
            PRO.PROCEDURENAME = name;
            PRO.PROCEDURETEMPLATE = rowPart(row, 51, 25);
            PRO.PROCEDUREDESCRIPTION = rowPart(row, 76, 50);
            PRO.SECURITYLEVEL = 0;
            PRO.NEWPROCEDURE = 1;
            PRO.OLDPROCEDURE = 0;
            int rc = procedures.insertAsIs();
            if (rc == 0) {
                result = 1;
            } else if (rc == rt::ErrDuplicateKey && procedures.fetch("PRO:KEYPROCEDURE") == 0) {
                PRO.OLDPROCEDURE = 0;
                SaveProcedureRecord();
            }
        }
    }
    procedures.close();
    applications.close();
    return result;
}
