// Query by example: the grid's columns and the filter and order built from their cells. Cells
// of a row are joined with AND, rows with OR; a bare value compares for equality. The run form
// names each column by its NAME (for the expression evaluator), the display form by its HEADER.
#pragma once

#include <array>
#include <string>
#include <vector>

inline constexpr int kQBESlots = 16;  // 15 condition rows and the summary slot
inline constexpr int kQBEMaxRows = 15;
inline constexpr const char* kQBESetAll = "SET ALL";

// Order codes of a cell.
namespace qbecode {
enum : int {
    Off = 1,
    OffUp,
    OffDown,
    On,
    OnUp,
    OnDown,
    Sum,
    Count,
    Average,
    Minimum,
    Maximum,
    Break,
};
}

struct QBEColumn {
    long NUMBER = 0;  // the field's place in the source's record, from 1
    std::string NAME;
    std::string HEADER;
    std::string PICTURE;
    std::string JUSTIFY;  // "L", "R", "C" or "D"
    long FILTERBREAK = 0;
    std::array<int, kQBESlots> FILTERTYPE{};  // slot r at index r - 1
    std::array<std::string, kQBESlots> FILTERSOURCE;

    int& type(int slot) { return FILTERTYPE[static_cast<std::size_t>(slot - 1)]; }
    std::string& source(int slot) { return FILTERSOURCE[static_cast<std::size_t>(slot - 1)]; }
    int summary() const { return FILTERTYPE[kQBESlots - 1]; }
};

// The grid's first column: the "SET ALL" pseudo-column.
QBEColumn QBESetAllColumn();

// The outcome of a build; on an error the message the user sees (beep first).
struct QBEBuild {
    bool ok = true;
    std::string title;
    std::string message;
};

// The filter from the cells of rows 1..rows; each row's text also goes to the "SET ALL" cell.
QBEBuild BuildQBEFilter(std::vector<QBEColumn>& columns, int rows, bool runForm, std::string& filter);
// The order; sets each column's FILTERBREAK and summary slot.
QBEBuild BuildQBEOrder(std::vector<QBEColumn>& columns, int rows, bool runForm, std::string& order);
