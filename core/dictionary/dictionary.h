// The data dictionary as each thread sees it: the record buffers of the 25 tables (CUBK.CubeName
// is the calling thread's CUBK:CubeName), and the thread's table and relation managers, reached
// by table label: Access.VOQCubeKopf (FileManager), Relate.VOQCubeKopf (RelationManager), or by
// text through rt::fileManager("VOQCubeKopf") / rt::relationManager(...).
//
//   InitDictionary();                       // at thread start (start-up's thread hooks)
//   Relate.VOQCubeKopf->open();             // with VOQCubeGruppe and VOQCubeDetail
//   CUBK.ID = 7;
//   if (Access.VOQCubeKopf->fetch("CUBK:KeyID") == 0) ... CUBK.CubeName ...
//   KillDictionary();                       // at thread end
#pragma once

#include "core/dictionary/records.h"
#include "core/dictionary/tables.h"
#include "runtime/data/dictionary.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/relation_manager.h"

// X(label, prefix) for the 25 tables in the order of the thread's table list.
#define VOQ_DICTIONARY_TABLES(X) \
    X(CrossTab, CRO)             \
    X(Mandant, MAN)              \
    X(VOQCubeGruppe, CUBG)       \
    X(QueryFile, QF)             \
    X(SQLQuerries, SQLQBE)       \
    X(VOQDBUpdateLog, VOQ)       \
    X(ImpFile01_OLD, IMP11)      \
    X(VOQProvKey, PROK)          \
    X(SKRIPT, UPD)               \
    X(ACQTBL, AQRY)              \
    X(tversion, TVE)             \
    X(QuerriesTPS, QUE1)         \
    X(VOQQBEQUERY, QUE)          \
    X(SearchTPS, SEA1)           \
    X(VOQQBESEARCH, SEA)         \
    X(VOQSQLTBL, SQL)            \
    X(Scripte, SCR)              \
    X(MandantOLD, MAN1)          \
    X(ImpFile01, IMP1)           \
    X(ImpFile, IMP)              \
    X(VOQGNEquates, GNE)         \
    X(Setup, SEU)                \
    X(VOQCubeDetail, CUBD)       \
    X(SQLFile, SQLF)             \
    X(VOQCubeKopf, CUBK)

// The calling thread's record buffers.
#define VOQ_DECLARE_BUFFER(label, prefix) extern thread_local label##Record prefix;
VOQ_DICTIONARY_TABLES(VOQ_DECLARE_BUFFER)
#undef VOQ_DECLARE_BUFFER

// The calling thread's managers; null before InitDictionary and after KillDictionary.
struct DictionaryAccess {
#define VOQ_ACCESS_MEMBER(label, prefix) rt::FileManager* label = nullptr;
    VOQ_DICTIONARY_TABLES(VOQ_ACCESS_MEMBER)
#undef VOQ_ACCESS_MEMBER
};
struct DictionaryRelate {
#define VOQ_RELATE_MEMBER(label, prefix) rt::RelationManager* label = nullptr;
    VOQ_DICTIONARY_TABLES(VOQ_RELATE_MEMBER)
#undef VOQ_RELATE_MEMBER
};
// constinit: read directly, without the initialisation wrapper of a thread-local object (the
// sanitizer build mistakes that wrapper's answer for a null pointer).
extern thread_local constinit DictionaryAccess Access;
extern thread_local constinit DictionaryRelate Relate;

// Builds the calling thread's dictionary: 25 table managers and 25 relation managers, none of
// them opened. A second call on a thread that has its dictionary does nothing.
void InitDictionary();
// Releases the calling thread's dictionary: closes what is open, frees all 50 managers.
void KillDictionary();
// True when the calling thread's dictionary is built.
bool DictionaryBuilt();
