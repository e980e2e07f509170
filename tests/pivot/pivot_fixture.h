#pragma once
// A small sales table for the pivot tests, written into a real database, and the control
// loaded with it through the data engine.

#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "pivot/nova_source.h"
#include "pivot/pivot_control.h"
#include "tests/support/test_support.h"

namespace pivottest {

struct Sale {
    const char* region;
    const char* gruppe;  // nullptr: NULL
    int jahr;
    const char* kanal;
    std::optional<double> umsatz;
    double ek;
};

// Two regions (one sorts by its umlaut), groups with a NULL, a cell of one row, a NULL amount,
// and a channel that the page filter leaves out.
inline const std::vector<Sale>& sales() {
    static const std::vector<Sale> rows = {
        {"Ährenfeld", "Tee", 2024, "Laden", 120.50, 80},
        {"Ährenfeld", "Tee", 2024, "Laden", 79.50, 50},
        {"Ährenfeld", "Tee", 2025, "Web", 300, 210},
        {"Ährenfeld", "Kaffee", 2025, "Laden", 55.25, 30},
        {"Ährenfeld", nullptr, 2024, "Laden", 10, 4},
        {"Ahorn", "Kaffee", 2024, "Laden", 200, 150},
        {"Ahorn", "Kaffee", 2024, "Web", std::nullopt, 20},
        {"Ahorn", "Kaffee", 2025, "Laden", 99.99, 60},
        {"Ahorn", "Tee", 2025, "Laden", 42, 40},
        {"Ahorn", "Tee", 2025, "Laden", 18, 9},
        {"Zeppelin", "Tee", 2024, "Messe", 500, 100},
        {"Zeppelin", "Kaffee", 2025, "Laden", 64, 32},
    };
    return rows;
}

inline std::string createSql(bool pg) {
    return std::string(
               "CREATE TABLE Verkauf (Region VARCHAR(30), Gruppe VARCHAR(30), Jahr INTEGER, Kanal VARCHAR(10), "
               "Umsatz DECIMAL(12,2), EK ") +
           (pg ? "DOUBLE PRECISION" : "DOUBLE") + ")";
}

inline void writeSales(const std::string& connect, bool pg = false) {
    ASSERT_EQ(voq::test::execSql(connect, createSql(pg)), "");
    for (const Sale& s : sales()) {
        std::string sql = "INSERT INTO Verkauf VALUES ('" + std::string(s.region) + "', " +
                          (s.gruppe ? "'" + std::string(s.gruppe) + "'" : "NULL") + ", " + std::to_string(s.jahr) +
                          ", '" + s.kanal + "', " + (s.umsatz ? std::to_string(*s.umsatz) : "NULL") + ", " +
                          std::to_string(s.ek) + ")";
        ASSERT_EQ(voq::test::execSql(connect, sql), "") << sql;
    }
}

inline std::shared_ptr<pivot::PivotControl> newControl() {
    pivot::setEngineLibrary(NOVA_ENGINE_PATH);
    pivot::registerPivotControl();
    return std::dynamic_pointer_cast<pivot::PivotControl>(rt::createAutomationObject("GridnovaLib.Gnova.3"));
}

// A control over the sales table of a new SQLite database in `dir`: the data source set, then
// the fields (name, caption, orientation) added and the data read.
struct SalesField {
    const char* name;
    const char* caption;
    int orientation;
};
inline std::shared_ptr<pivot::PivotControl> salesControl(const voq::test::TempDir& dir,
                                                         std::vector<SalesField> fields) {
    std::string connect = voq::test::sqliteConnectString((dir.path() / "sales.db").string());
    writeSales(connect);
    auto control = newControl();
    auto& c = *control;
    rt::automationSet(c, "GNConnectType", 3);
    rt::automationSet(c, "GNConnect", connect);
    rt::automationSet(c, "GNRecordSource", "SELECT * FROM Verkauf");
    for (auto& f : fields) rt::automationCall(c, "Fields.Add", {f.name, f.caption, f.orientation});
    rt::automationCall(c, "RefreshData");
    return control;
}

}  // namespace pivottest
