// Declarations of the 25 dictionary tables: store, physical name, fields, keys and priming.
// Each is built once per process and shared, read-only, by every thread's managers.
#pragma once

#include <string_view>
#include <vector>

#include "core/dictionary/records.h"
#include "runtime/data/table_def.h"

namespace dictionary {

const rt::TableDef& CrossTab();
const rt::TableDef& Mandant();
const rt::TableDef& VOQCubeGruppe();
const rt::TableDef& QueryFile();
const rt::TableDef& SQLQuerries();
const rt::TableDef& VOQDBUpdateLog();
const rt::TableDef& ImpFile01_OLD();
const rt::TableDef& VOQProvKey();
const rt::TableDef& SKRIPT();
const rt::TableDef& ACQTBL();
const rt::TableDef& tversion();
const rt::TableDef& QuerriesTPS();
const rt::TableDef& VOQQBEQUERY();
const rt::TableDef& SearchTPS();
const rt::TableDef& VOQQBESEARCH();
const rt::TableDef& VOQSQLTBL();
const rt::TableDef& Scripte();
const rt::TableDef& MandantOLD();
const rt::TableDef& ImpFile01();
const rt::TableDef& ImpFile();
const rt::TableDef& VOQGNEquates();
const rt::TableDef& Setup();
const rt::TableDef& VOQCubeDetail();
const rt::TableDef& SQLFile();
const rt::TableDef& VOQCubeKopf();

// All 25 in the order of the thread's table list (CrossTab first, VOQCubeKopf last).
const std::vector<const rt::TableDef*>& tables();
// The table with this label (case-insensitive); null when there is none.
const rt::TableDef* findTable(std::string_view label);

// The relations between cube groups, cube headers and cube fields (declared once per process).
void declareRelations();

}  // namespace dictionary
