// The program's globals, shared by all threads: GLO:Name is GLO.Name, read with get() and written
// with set() (or =), each under its own lock. Every value keeps the width of its declaration.
#pragma once

#include <array>

#include "runtime/data/record.h"
#include "runtime/text/strings.h"
#include "runtime/thread/shared.h"

struct Globals {
    // Kept between runs in section "Preserved" of ".\VOQKIVORANT.INI".
    rt::Shared<rt::CString<256>> Excelpfad;
    rt::Shared<rt::Byte> ForceUpdate;
    rt::Shared<rt::CString<256>> SQL_QBE;  // also names the file of SQLQuerries
    rt::Shared<rt::Byte> ConnectGlobal;

    // File names of the tables named at open time.
    rt::Shared<rt::CString<256>> SCRIPT;      // Scripte and SKRIPT
    rt::Shared<rt::CString<256>> ImportFile;  // ImpFile01, ImpFile01_OLD, ImpFile

    // Set during start-up.
    rt::Shared<rt::String<1>> RunMode;
    rt::Shared<rt::CString<100>> INFO;
    rt::Shared<rt::CString<150>> FrameTitle;
    rt::Shared<rt::CString<21>> ProgramFile;
    rt::Shared<rt::CString<101>> IniFile;
    rt::Shared<rt::CString<51>> StartParameter;

    // The current client.
    rt::Shared<rt::CString<256>> ConnectString;
    rt::Shared<rt::CString<256>> Server;
    rt::Shared<rt::CString<101>> Database;
    rt::Shared<rt::CString<101>> MANDANTENNAME;
    rt::Shared<rt::CString<41>> DbUser;
    rt::Shared<rt::CString<41>> DbPassword;

    rt::Shared<rt::Byte> STARTCOCKPIT;
    rt::Shared<rt::Byte> Trace;
    rt::Shared<rt::Byte> DIAGNOSE;
    rt::Shared<rt::Byte> PRINTMEMO;

    // The logged-in user.
    rt::Shared<rt::String<30>> LoginUser;
    rt::Shared<rt::CString<31>> SecureUserId;
    rt::Shared<rt::CString<41>> UserName;
    rt::Shared<rt::Long> LockTime;
    rt::Shared<rt::Long> LastActivity;
};

extern Globals GLO;

// The program module's own shared variables.
extern rt::Shared<rt::String<1000>> QueryString;
extern rt::Shared<rt::String<60>> QueryDescription;
extern rt::Shared<std::array<rt::String<50>, 6>> QBEFieldList;
extern rt::Shared<rt::Long> QBEFieldCount;
extern rt::Shared<rt::CString<69>> QBEQueryFilter;
extern rt::Shared<rt::CString<75>> QBESearchFilter;

// Puts every global back to blank or 0 (module initialisation; tests).
void resetGlobals();
