// The program's spine: module initialisation, thread start and end, the main routine that
// prepares the process and calls the frame procedure Main, and module clean-up.
//
//   ProgramModuleInit();                     // process start
//   int t = rt::startThread([] { ProgramMain(); });   // thread 1
//   rt::waitThread(t);
//   ProgramModuleCleanUp();                  // process end
// or RunProgram(), which does the four steps.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/startup/module_objects.h"
#include "runtime/data/record.h"
#include "runtime/text/strings.h"

// ---- ProcedureTable ------------------------------------------------------------------------

struct ProcedureEntry {
    rt::String<50> Name;
    rt::String<25> Kind;
    rt::String<100> Description;
    // The entry as one row of 175 characters: name, kind, description.
    std::string row() const;
};

inline constexpr int kProcedureCount = 60;
inline constexpr int kProcedureWidth = 175;

// 60 entries, blanked at module initialisation; the main routine fills seven of them.
extern std::array<ProcedureEntry, kProcedureCount> ProcedureTable;

// Fills entries 15, 17, 19, 23, 25, 42 and 60 (counted from 1); the others are blanked.
void FillProcedureTable();

// ---- Interfaces filled by the frame and the security module --------------------------------

// The frame procedure Main; the main routine calls it and waits for it to return.
using MainProcedure = std::function<void()>;
void setMainProcedure(MainProcedure main);

// UpdateProcedureList of the security module: (row count, row width, the rows of exactly
// `row width` characters) -> 1 when it added procedures that were not yet known.
using ProcedureRegistration =
    std::function<rt::Byte(long rowCount, long rowWidth, const std::vector<std::string>& rows)>;
void setProcedureRegistration(ProcedureRegistration registration);

// Hands ProcedureTable to the registration; 1 when it added procedures (0 without one set).
rt::Byte RegisterProcedures();

// ---- Thread start and end ------------------------------------------------------------------

// Builds the dictionary of every thread but thread 1 (the main routine builds its own).
void InitDictionaryForThread();
// Releases the calling thread's dictionary.
void KillDictionaryForThread();

// ---- Run mode ------------------------------------------------------------------------------

// First character of the folder of the program file ("Q:\VOQ\VOQKivorant.exe" gives "Q",
// "\\server\share\x.exe" gives "\"); blank for a file without a folder.
rt::String<1> RunModeFromProgramPath(std::string_view programFile);
// The running program's full file name (the process's own, unless set for a test).
std::string ProgramFilePath();
void setProgramFilePath(std::string path);

// The icon every window of the process shows ("WWS.ICO" once the main routine has set it).
std::string ApplicationIcon();

// ---- Process -------------------------------------------------------------------------------

inline constexpr const char* kSettingsFile = ".\\VOQKIVORANT.INI";
inline constexpr const char* kNewProceduresTitle = "New Program Procedures";
inline constexpr const char* kNewProceduresText =
    "There has been added new procedures to the program. You must run run the Security program "
    "to set the security level for the new procedures.";

// Module initialisation: seeds the random numbers, blanks the module's variables, builds the
// module objects, hooks the trace switch to GLO:Trace and the dictionary to thread start and end.
void ProgramModuleInit();
// The main routine; runs on thread 1.
void ProgramMain();
// Module clean-up: releases the module objects and the thread hooks.
void ProgramModuleCleanUp();
// The whole process: module initialisation, the main routine on thread 1, clean-up. Returns 0.
int RunProgram();
