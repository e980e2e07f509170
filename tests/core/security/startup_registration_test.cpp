// The program entry's procedure table through the security module's registration.
#include "core/startup/startup.h"
#include "tests/core/security/security_fixture.h"

namespace {

using ProgramEntry = sectest::SecurityTest;

TEST_F(ProgramEntry, TheProgramsSevenProceduresAreRegisteredOnce) {
    setProcedureRegistration(UpdateProcedureList);
    FillProcedureTable();
    std::atomic<int> first{-1}, second{-1};
    int t = rt::startThread([&] {
        first = RegisterProcedures();
        second = RegisterProcedures();
    });
    userDriver.waitThreadEnd(t);
    setProcedureRegistration({});
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);

    std::vector<ProcedureListRecord> list;
    ASSERT_EQ(OpenSecurityFile(ProcedureListFile()), 0);
    ProcedureListFile().setOrder("PRO:KEYPROCEDURE");
    while (ProcedureListFile().next() == 0) list.push_back(PRO);
    ProcedureListFile().close();
    ASSERT_EQ(list.size(), 7u);
    std::vector<std::string> names;
    for (const auto& p : list) names.push_back(p.PROCEDURENAME.str());
    EXPECT_EQ(names, (std::vector<std::string>{"BrowseCubeKopf", "BrowseDBUpdateLog", "BrowseProvKey",
                                               "BrowseSQLScript", "BrowseWerte", "ListMandant01", "Main"}));
    for (const auto& p : list) {
        if (p.PROCEDURENAME == "Main") {
            EXPECT_EQ(p.PROCEDURETEMPLATE, "Frame");
            // 50 characters of the description, the umlaut counting as one.
            EXPECT_EQ(p.PROCEDUREDESCRIPTION, "Auswerte-Tool für SQL-Datenbanken (mit automatisch");
        }
    }
}

}  // namespace
