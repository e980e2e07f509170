// Registration of the program's procedures in the security file.
#include "tests/core/security/security_fixture.h"

namespace {

using sectest::SecurityTest;

std::string row(const std::string& name, const std::string& kind, const std::string& description) {
    return rt::padChars(name, 50) + rt::padChars(kind, 25) + rt::padChars(description, 100);
}

// The table of 60 rows the program entry hands over, with procedures at a few places.
std::vector<std::string> table(const std::vector<std::string>& names) {
    std::vector<std::string> rows(60, std::string(175, ' '));
    std::size_t at = 3;
    for (const auto& n : names) {
        rows[at] = row(n, n == "Main" ? "Frame" : "Window", "Beschreibung von " + n);
        at += 7;
    }
    return rows;
}

class Registration : public SecurityTest {
protected:
    rt::Byte run(const std::vector<std::string>& rows) {
        std::atomic<int> result{-1};
        int t = rt::startThread([&] { result = UpdateProcedureList(60, 175, rows); });
        userDriver.waitThreadEnd(t);
        return static_cast<rt::Byte>(result.load());
    }
    std::vector<ProcedureListRecord> procedures() {
        std::vector<ProcedureListRecord> out;
        EXPECT_EQ(OpenSecurityFile(ProcedureListFile()), 0);
        ProcedureListFile().setOrder("PRO:KEYPROCEDURE");
        while (ProcedureListFile().next() == 0) out.push_back(PRO);
        ProcedureListFile().close();
        return out;
    }
    ProcedureListRecord procedure(const std::string& name) {
        for (const auto& p : procedures())
            if (p.PROCEDURENAME == name) return p;
        ADD_FAILURE() << name << " not registered";
        return {};
    }
};

TEST_F(Registration, AFreshFileGetsEveryProcedureAsNewWithoutLevel) {
    EXPECT_FALSE(std::filesystem::exists("SECURITY.TPS"));
    auto rows = table({"ListMandant01", "BrowseCubeKopf", "Main"});
    rows[59] = row("BrowseWerte", "Window", std::string(60, 'd') + "REST");
    EXPECT_EQ(run(rows), 1);
    EXPECT_TRUE(std::filesystem::exists("SECURITY.TPS"));
    // It holds the users' passwords: only its owner may read it.
    EXPECT_EQ(std::filesystem::status("SECURITY.TPS").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    auto list = procedures();
    ASSERT_EQ(list.size(), 4u);
    for (const auto& p : list) {
        EXPECT_EQ(p.APPLICATION, "VOQKIVORANT");
        EXPECT_EQ(p.SECURITYLEVEL, 0);
        EXPECT_EQ(p.NEWPROCEDURE, 1);
        EXPECT_EQ(p.OLDPROCEDURE, 0);
    }
    EXPECT_EQ(procedure("Main").PROCEDURETEMPLATE, "Frame");
    EXPECT_EQ(procedure("BrowseCubeKopf").PROCEDUREDESCRIPTION, "Beschreibung von BrowseCubeKopf");
    // Only the first 50 characters of a description are kept.
    EXPECT_EQ(procedure("BrowseWerte").PROCEDUREDESCRIPTION, std::string(50, 'd'));
    EXPECT_EQ(display.pointer(), rt::Pointer::Arrow);
    // The application is stored to be registered at every start.
    ASSERT_EQ(OpenSecurityFile(ApplicationListFile()), 0);
    APP.APPLICATION = "voqkivorant";
    ASSERT_EQ(ApplicationListFile().fetch("APP:KEYAPPLICATION"), 0);
    EXPECT_EQ(APP.UPDATEATSTART, 1);
    ApplicationListFile().close();
}

TEST_F(Registration, ASecondRunAddsNothingAndKeepsTheAdministratorsSettings) {
    auto rows = table({"ListMandant01", "BrowseCubeKopf", "Main"});
    ASSERT_EQ(run(rows), 1);
    // The administrator sets a level and has seen the procedure.
    ASSERT_EQ(OpenSecurityFile(ProcedureListFile()), 0);
    PRO.APPLICATION = "VOQKIVORANT";
    PRO.PROCEDURENAME = "BrowseCubeKopf";
    ASSERT_EQ(ProcedureListFile().fetch("PRO:KEYPROCEDURE"), 0);
    PRO.SECURITYLEVEL = 5;
    PRO.NEWPROCEDURE = 0;
    PRO.PROCEDUREDESCRIPTION = "vom Verwalter";
    ASSERT_EQ(SaveProcedureRecord(), 0);
    ProcedureListFile().close();

    EXPECT_EQ(run(rows), 0);
    auto p = procedure("BrowseCubeKopf");
    EXPECT_EQ(p.SECURITYLEVEL, 5);
    EXPECT_EQ(p.NEWPROCEDURE, 0);
    EXPECT_EQ(p.PROCEDUREDESCRIPTION, "vom Verwalter");
    EXPECT_EQ(procedures().size(), 3u);
}

TEST_F(Registration, ANewVersionAddsItsProcedureOnceAndMarksTheDroppedOnes) {
    ASSERT_EQ(run(table({"ListMandant01", "BrowseCubeKopf"})), 1);
    addProcedure("ForeignProc", 3, "OTHERAPP");
    EXPECT_EQ(run(table({"BrowseCubeKopf", "BrowseWerte"})), 1);
    EXPECT_EQ(procedure("ListMandant01").OLDPROCEDURE, 1);
    EXPECT_EQ(procedure("BrowseCubeKopf").OLDPROCEDURE, 0);
    EXPECT_EQ(procedure("BrowseWerte").NEWPROCEDURE, 1);
    // Another application's procedures are left alone.
    EXPECT_EQ(procedure("ForeignProc").OLDPROCEDURE, 0);
    EXPECT_EQ(run(table({"BrowseCubeKopf", "BrowseWerte"})), 0);
}

TEST_F(Registration, UpdateAtStartOffRegistersNothing) {
    ASSERT_EQ(OpenSecurityFile(ApplicationListFile()), 0);
    APP.APPLICATION = "VOQKIVORANT";
    APP.UPDATEATSTART = 0;
    ASSERT_EQ(ApplicationListFile().insertAsIs(), 0);
    ApplicationListFile().close();
    EXPECT_EQ(run(table({"ListMandant01", "Main"})), 0);
    EXPECT_TRUE(procedures().empty());
}

TEST_F(Registration, TheProgressWindowShowsBothBars) {
    ASSERT_EQ(run(table({"A1", "A2"})), 1);
    // The display keeps what it showed, closed windows included.
    EXPECT_EQ(run(table({"A1", "A2", "A3"})), 1);
    std::optional<rt::HeadlessDisplay::Shown> last;
    for (rt::WindowId id = 1; id < 1000; ++id) {
        auto s = display.shown(id);
        if (s && s->window.title == "Updating Program [VOQKivorant]") last = s;
    }
    ASSERT_TRUE(last);
    EXPECT_FALSE(last->open);
    std::vector<std::string> prompts;
    for (const auto& c : last->controls) {
        if (c.kind == rt::ControlKind::Prompt) prompts.push_back(c.text);
        if (c.kind == rt::ControlKind::Progress) {
            EXPECT_EQ(c.value, "100");
        }
    }
    EXPECT_EQ(prompts, (std::vector<std::string>{"Existing Procedures", "New Procedures"}));
}

}  // namespace
