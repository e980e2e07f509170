#include "core/dictionary/dictionary.h"

#define VOQ_DEFINE_BUFFER(label, prefix) thread_local label##Record prefix;
VOQ_DICTIONARY_TABLES(VOQ_DEFINE_BUFFER)
#undef VOQ_DEFINE_BUFFER

thread_local DictionaryAccess Access;
thread_local DictionaryRelate Relate;

namespace {

thread_local bool built = false;

template <class R>
rt::RelationManager& addTable(const rt::TableDef& def, R& buffer) {
    rt::RelationManager& relate = rt::threadDictionary().add(def, &buffer);
    rt::FileManager& file = relate.file();
    file.setCreate(def.createFlag);
    file.setLockRecover(10);
    return relate;
}

}  // namespace

void InitDictionary() {
    if (built) return;
    dictionary::declareRelations();
    // Reverse of the table list: VOQCubeKopf first, CrossTab last.
#define VOQ_ADD_TABLE(label, prefix)                                     \
    {                                                                    \
        rt::RelationManager& rm = addTable(dictionary::label(), prefix); \
        Relate.label = &rm;                                              \
        Access.label = &rm.file();                                       \
    }
    VOQ_ADD_TABLE(VOQCubeKopf, CUBK)
    VOQ_ADD_TABLE(SQLFile, SQLF)
    VOQ_ADD_TABLE(VOQCubeDetail, CUBD)
    VOQ_ADD_TABLE(Setup, SEU)
    VOQ_ADD_TABLE(VOQGNEquates, GNE)
    VOQ_ADD_TABLE(ImpFile, IMP)
    VOQ_ADD_TABLE(ImpFile01, IMP1)
    VOQ_ADD_TABLE(MandantOLD, MAN1)
    VOQ_ADD_TABLE(Scripte, SCR)
    VOQ_ADD_TABLE(VOQSQLTBL, SQL)
    VOQ_ADD_TABLE(VOQQBESEARCH, SEA)
    VOQ_ADD_TABLE(SearchTPS, SEA1)
    VOQ_ADD_TABLE(VOQQBEQUERY, QUE)
    VOQ_ADD_TABLE(QuerriesTPS, QUE1)
    VOQ_ADD_TABLE(tversion, TVE)
    VOQ_ADD_TABLE(ACQTBL, AQRY)
    VOQ_ADD_TABLE(SKRIPT, UPD)
    VOQ_ADD_TABLE(VOQProvKey, PROK)
    VOQ_ADD_TABLE(ImpFile01_OLD, IMP11)
    VOQ_ADD_TABLE(VOQDBUpdateLog, VOQ)
    VOQ_ADD_TABLE(SQLQuerries, SQLQBE)
    VOQ_ADD_TABLE(QueryFile, QF)
    VOQ_ADD_TABLE(VOQCubeGruppe, CUBG)
    VOQ_ADD_TABLE(Mandant, MAN)
    VOQ_ADD_TABLE(CrossTab, CRO)
#undef VOQ_ADD_TABLE
    built = true;
}

void KillDictionary() {
    if (!built) return;
    rt::threadDictionary().release();
    Access = DictionaryAccess{};
    Relate = DictionaryRelate{};
    built = false;
}

bool DictionaryBuilt() { return built; }
