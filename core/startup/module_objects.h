// The program module's objects that exist once per process: the settings file's INI manager
// with the kept globals, the error manager, the translator, the fuzzy matcher, the date utility
// and the connection and data set of the SQL query and cross-tab results.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "runtime/classlib/error_manager.h"
#include "runtime/classlib/fuzzy_matcher.h"
#include "runtime/classlib/translator.h"
#include "runtime/ini/ini_manager.h"

class OdbcConnection;
class OdbcDataSet;

// The settings file ".\VOQKIVORANT.INI". Its preserved hooks load and save the four kept
// globals of section "Preserved" (GLO:Excelpfad, GLO:ForceUpdate, GLO:SQL_QBE,
// GLO:ConnectGlobal); a missing key loads as blank or 0, a non-numeric number as 0.
class VoqIniManager : public rt::IniManager {
public:
    void fetchPreserved() override;  // FetchPreserved
    void savePreserved() override;   // SavePreserved
};

// The class library's objects serve the whole program.
using ErrorManager = rt::ErrorManager;
using Translator = rt::Translator;
using FuzzyMatcher = rt::FuzzyMatcher;

class DateUtility {};

// The objects; each asserts that module initialisation has run and clean-up has not.
VoqIniManager& GlobalIniManager();
ErrorManager& GlobalErrorManager();
Translator& GlobalTranslator();
FuzzyMatcher& GlobalFuzzyMatcher();
DateUtility& GlobalDateUtility();
OdbcConnection& SqlResultConnection();
OdbcDataSet& SqlResultDataSet();

// Constructs the objects in the module's order (date utility, result connection, result data
// set, translator, fuzzy matcher, error manager, INI manager); releasing them goes the other
// way. Called by module initialisation and clean-up.
void constructModuleObjects();
void destroyModuleObjects();
bool moduleObjectsBuilt();
