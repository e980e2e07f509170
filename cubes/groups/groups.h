// Cube groups: the group list BrowseCubeGruppe (also the cube form's lookup), the group form
// EditCubeGruppe with the group's cubes, and the cube tree CubeTreeAnzeige, from which a cube
// opens in the pivot viewer.
#pragma once

#include <string>
#include <vector>

void BrowseCubeGruppe();
void EditCubeGruppe();
void CubeTreeAnzeige();

// One row of the cube tree (CubeTreeQueue).
struct CubeTreeRow {
    std::string display;  // M_DISPLAY
    long level = 0;       // 0 root, 1 group, 2 cube; negative while collapsed with children
    long loaded = 0;      // 1 when the row's children are in the rows
    int instance = 0;     // 0 root, 1 group, 2 cube
    long groupId = 0;     // the group a group row stands for (its position in CUBG:KeyID)
    // The cube-header buffer when the row was made.
    long cubeGroup = 0;    // CUBK:ID_CUBG
    std::string cubeName;  // CUBK:CubeName
    long cubeId = 0;       // CUBK:ID
};

// The tree's rows and their rules, on the calling thread's VOQCubeGruppe and VOQCubeKopf.
// Rows are numbered from 1.
class CubeTree {
public:
    // Both set as the window opens: it shows every active group expanded.
    bool expandAll = true;
    bool forgetExpanded = true;

    // Reads the tree anew; false on a read error other than the end of a table.
    bool load();
    // The tree's expander, the plus key, "E&xpand Level"; false on a read error.
    bool expand(int row);
    // The tree's expander, the minus key, "Con&tract Level"; false on a read error.
    bool contract(int row);

    const std::vector<CubeTreeRow>& rows() const { return rows_; }
    int count() const { return static_cast<int>(rows_.size()); }
    const CubeTreeRow& row(int row) const { return rows_[static_cast<std::size_t>(row) - 1]; }
    // The groups the user has expanded (CubeTreeLoadedQueue), by identifier.
    const std::vector<long>& expandedGroups() const { return expanded_; }

    // Toolbar navigation from a row: the row to go to (the same row when there is no move).
    int nextGroup(int row);          // last record
    int groupOf(int row) const;      // first record
    int nextSameLevel(int row);      // next page
    int previousSameLevel(int row);  // previous page
    int down(int row);               // next record
    int up(int row);                 // previous record

private:
    bool readCubes(long groupId, bool& hasCubes);
    bool rereadGroup(long groupId, bool& found, bool& hasCubes);
    int insertCubes(int afterRow, long groupId);
    void remember(long groupId);
    void forget(long groupId);
    bool remembered(long groupId) const;

    std::vector<CubeTreeRow> rows_;
    std::vector<long> expanded_;
    bool failed_ = false;
};

// Window equates, for tests.
namespace cubegruppe {
enum {
    List = 1,
    Sheet,
    TabId,
    TabName,
    LocatorName,
    Insert,
    Change,
    Delete,
    Print,
    Select,
    Close,
    // form
    FormSheet = 20,
    TabGeneral,
    TabCubes,
    PromptId,
    EntryId,
    PromptName,
    EntryName,
    PromptDescription,
    EntryDescription,
    CheckActive,
    CubeList,
    CubeNew,
    CubeChange,
    CubeDelete,
    Ok,
    Cancel,
    Help,
    // tree
    TreeOk = 50,
    TreeCancel,
    Tree,
    Execute,
};
}  // namespace cubegruppe

inline constexpr const char* kGroupListTitle = "CubeGruppen";
inline constexpr const char* kGroupFormTitle = "Cube-Gruppen";
inline constexpr const char* kTreeTitle = "Cube-Treeanzeige";
