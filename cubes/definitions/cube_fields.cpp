// The checks against the server's column catalogue, the field expression, the copy of a
// cube's fields and the reordering of its field list.
#include <algorithm>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "cubes/catalogue/catalogue_sql.h"
#include "cubes/definitions/definitions.h"
#include "runtime/data/errors.h"
#include "runtime/ui/dialogs.h"

namespace {

// Names are compared as the server names them, whatever their case: a back end that folds
// unquoted names (PostgreSQL to lower case) keeps tUmsatzX as tumsatzx in its catalogue.
std::string sameName(std::string_view column, std::string_view name) {
    return "UPPER(" + std::string(column) + ") = UPPER(" + SqlQuoted(rt::clip(name)) + ")";
}

std::string columnCountStatement(std::string_view tabName) {
    return "SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE " + sameName("TABLE_NAME", tabName);
}

long fieldCount(std::string_view tabName, std::string_view feldName) {
    long count = 0;  // every check counts afresh
    CatalogueCount(columnCountStatement(tabName) + " AND " + sameName("COLUMN_NAME", feldName), count);
    return count;
}

}  // namespace

bool IsComputedField(std::string_view expression) { return expression.find_first_of("+-*/") != std::string_view::npos; }

std::string AppendFieldChoice(std::string_view expression, std::string_view choice) {
    if (rt::clip(choice).empty()) return std::string(expression);
    const std::string_view begun = rt::trimBlanks(expression);
    if (rt::charLength(begun) >= 2 && IsComputedField(begun)) return std::string(begun) + std::string(rt::clip(choice));
    return std::string(rt::clip(choice));
}

std::string TableCheck(std::string_view tabName) {
    const std::string statement = columnCountStatement(tabName);
    rt::setClipboard(statement);
    long count = 0;  // every check counts afresh
    CatalogueCount(statement, count);
    return count == 0 ? "Tabelle/ Sicht nicht vorhanden" : "Tabelle/ Sicht vorhanden";
}

std::string FieldCheck(std::string_view tabName, std::string_view feldName) {
    if (fieldCount(tabName, feldName) == 1) return "Feld vorhanden";
    return IsComputedField(feldName) ? "Rechenfeld" : "Feld nicht vorhanden";
}

std::string FieldStatus(std::string_view tabName, std::string_view feldName) {
    if (fieldCount(tabName, feldName) == 1) return "View OK";
    return IsComputedField(feldName) ? "Rechenfeld" : "View not OK";
}

std::vector<std::string> ColumnChoices(std::string_view tabName) {
    std::vector<std::string> choices;
    rt::FileManager& sql = *Access.VOQSQLTBL;
    const std::string statement =
        "SELECT column_name FROM INFORMATION_SCHEMA.COLUMNS WHERE " + sameName("TABLE_NAME", tabName);
    if (sql.open() == 0) {
        if (sql.setSql(BackEndSql(statement)) == 0) {
            while (sql.next() == 0) choices.push_back(SQL.f1.str());
        }
        sql.close();
    }
    for (const char* op : {"+", "-", "/", "*"}) choices.emplace_back(op);
    return choices;
}

// ---- Copy ----------------------------------------------------------------------------------

CubeCopy& PendingCubeCopy() {
    thread_local CubeCopy copy;
    return copy;
}

namespace {

// The cube's fields in position order, read before anything is written: the writes must not move
// the walk through them.
std::vector<VOQCubeDetailRecord> fieldsOfCube(rt::FileManager& fields, long cubeId) {
    std::vector<VOQCubeDetailRecord> list;
    CUBD = {};
    CUBD.ID_CUBK = static_cast<rt::Long>(cubeId);
    fields.setFrom("CUBD:KeyPosNr");
    while (fields.next() == 0 && CUBD.ID_CUBK == cubeId) list.push_back(CUBD);
    return list;
}

}  // namespace

bool CopyCubeFields(long sourceId, long targetId) {
    rt::FileManager& fields = *Access.VOQCubeDetail;
    if (fields.open() != 0) return false;
    const auto saved = fields.saveBuffer();
    const std::vector<VOQCubeDetailRecord> source = fieldsOfCube(fields, sourceId);
    bool ok = fields.beginTransaction() == 0;
    for (std::size_t i = 0; ok && i < source.size(); ++i) {
        CUBD = source[i];
        CUBD.ID_CUBK = static_cast<rt::Long>(targetId);
        ok = fields.insert() == 0;
    }
    if (ok)
        ok = fields.commit() == 0;
    else
        fields.rollback();
    fields.restoreBuffer(saved);
    fields.close();
    return ok;
}

// ---- Reorder -------------------------------------------------------------------------------

bool ReorderCubeFields(long cubeId, int source, int target) {
    rt::FileManager& fields = *Access.VOQCubeDetail;
    if (fields.open() != 0) return false;
    const auto saved = fields.saveBuffer();
    std::vector<long> positions;
    for (const auto& field : fieldsOfCube(fields, cubeId)) positions.push_back(field.PosNr);
    const int rows = static_cast<int>(positions.size());
    if (target == 0)
        target = 1;
    else if (target < 0)
        target = rows;
    bool ok = true;
    if (target > 0 && target != source && source >= 1 && source <= rows && target <= rows) {
        // Fetches the field at a position and stores it at another; a field that cannot be
        // fetched is skipped.
        auto move = [&](long from, long to) {
            CUBD.ID_CUBK = static_cast<rt::Long>(cubeId);
            CUBD.PosNr = static_cast<rt::Long>(from);
            if (fields.fetch("CUBD:KeyPosNr") != 0) return true;
            CUBD.PosNr = static_cast<rt::Long>(to);
            return fields.update() == 0;
        };
        ok = fields.beginTransaction() == 0;
        long freePosition = positions[static_cast<std::size_t>(source) - 1];
        if (ok) ok = move(freePosition, kPlaceholderPosition);
        const int step = target > source ? 1 : -1;
        for (int row = source + step; ok; row += step) {
            const long position = positions[static_cast<std::size_t>(row) - 1];
            ok = move(position, freePosition);
            freePosition = position;
            if (row == target) break;
        }
        if (ok) ok = move(kPlaceholderPosition, freePosition);
        if (ok)
            ok = fields.commit() == 0;
        else
            fields.rollback();
    }
    fields.restoreBuffer(saved);
    fields.close();
    return ok;
}
