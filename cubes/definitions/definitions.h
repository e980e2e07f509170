// Cube definitions: the cube form UpdateCubeKopf with the cube's fields, the field form
// UpdateCubeDetail, the report DruckeCube, and the checks against the server's column
// catalogue that both forms offer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/record.h"

// The form of the current VOQCubeKopf record in the caller's request.
void UpdateCubeKopf();
// The form of the current VOQCubeDetail record; a new field belongs to the current cube header.
void UpdateCubeDetail();
// "Cube-Beschreibung" of the current cube header.
void DruckeCube();
// The same for a cube named by its identifier (the report started on a thread of its own).
void DruckeCube(long cubeId);

// What the next insert of UpdateCubeKopf does with the buffer: the cube list's copy.
struct CubeCopy {
    bool keepBuffer = false;     // the buffer holds the source cube; only the name is emptied
    bool fieldsPending = false;  // the source cube's fields are to be copied
    bool restore = false;        // the saved values go back after priming
    std::string sourceId;        // the source cube's identifier, as text
    rt::Byte compress = 0;       // CUBK:Compress of the selected cube
    rt::Short zeitraum = 0;      // CUBK:Zeitraum of the selected cube
};
// The calling thread's copy state (read and cleared by the next insert).
CubeCopy& PendingCubeCopy();
// Copies the fields of cube `sourceId` to cube `targetId` in the source's order, numbered 1, 2,
// 3 ... in the new cube, all or none. False (and nothing copied) when a field cannot be stored.
bool CopyCubeFields(long sourceId, long targetId);

// An operator of a computed field stands in the expression.
bool IsComputedField(std::string_view expression);
// The expression after a choice in the field form's column list: appended to an expression
// begun as a formula (at least two characters, trimmed, with an operator), else in its place.
std::string AppendFieldChoice(std::string_view expression, std::string_view choice);

// The table check: "Tabelle/ Sicht vorhanden" or "Tabelle/ Sicht nicht vorhanden" (the
// statement goes to the clipboard too). A failing statement is reported first.
std::string TableCheck(std::string_view tabName);
// The field check: "Feld vorhanden", "Rechenfeld" or "Feld nicht vorhanden".
std::string FieldCheck(std::string_view tabName, std::string_view feldName);
// The list's field status: "View OK", "Rechenfeld" or "View not OK".
std::string FieldStatus(std::string_view tabName, std::string_view feldName);
// The table's columns in the server's order, then "+", "-", "/", "*".
std::vector<std::string> ColumnChoices(std::string_view tabName);

// Moves the field in list row `source` of the cube to list row `target` (rows of the cube's
// fields in position order; 0 counts as 1, a negative target as the last row). The positions
// between shift by one. All in one transaction: a failure leaves the old positions. False on a
// failure; true also when nothing was to move.
bool ReorderCubeFields(long cubeId, int source, int target);

// Window equates, for tests.
namespace cubekopf {
enum {
    Sheet = 1,
    TabGeneral,
    TabUsers,
    TabQuery,
    TabFields,
    PromptId,
    EntryId,
    PromptName,
    EntryName,
    PromptDescription,
    EntryDescription,
    PromptConnect,
    EntryConnect,
    ConnectButton,
    PromptZugriff,
    EntryZugriff,
    ZugriffName,
    PromptQuery,
    EntryQuery,
    QueryHelp1,
    QueryHelp2,
    QueryHelp3,
    PromptParameter,
    EntryParameter,
    ParameterHelp1,
    ParameterHelp2,
    ParameterHelp3,
    PromptTabName,
    EntryTabName,
    TabNameHelp,
    CheckTable,
    CheckIntern,
    CheckPatch,
    CheckActiv,
    PrintButton,
    PromptParameterName,
    EntryParameterName,
    CheckCompress,
    OptionZeitraum,
    RadioYear,
    RadioPrevious,
    RadioBoth,
    RadioNone,
    PromptGroup,
    EntryGroup,
    GroupName,
    GroupHelp,
    PromptUsers,
    TextUsers,
    QueryNote,
    TextBigQuery,
    QueryNote2,
    FieldList,
    FieldInsert,
    FieldChange,
    FieldDelete,
    Ok,
    Cancel,
    Button2,
    // field form
    DSheet = 100,
    DTabGeneral,
    DPromptId,
    DEntryId,
    DPromptCube,
    DEntryCube,
    DPromptPos,
    DEntryPos,
    DPromptFeld,
    DEntryFeld,
    DColumnList,
    DClear,
    DPromptText,
    DEntryText,
    DCheck,
    DPromptCubeFeld,
    DEntryCubeFeld,
    DCubeFeldNote,
    DPromptPicture,
    DEntryPicture,
    DPromptAggregat,
    DPromptJustification,
    DAggregat,
    DAggregatName,
    DOptionGruppe,
    DRadioPage,
    DRadioColumn,
    DRadioHidden,
    DRadioRow,
    DRadioData,
    DCheckGruppierung,
    DOk,
    DCancel,
};
}  // namespace cubekopf

inline constexpr const char* kCubeFormTitle = "CubeKopf bearbeiten";
inline constexpr const char* kFieldFormTitle = "CubeDetail bearbeiten";
inline constexpr long kPlaceholderPosition = 2147483647;
