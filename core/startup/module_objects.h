// The program module's objects that exist once per process: the settings file's INI manager
// with the kept globals, the error manager, the translator, the fuzzy matcher, the date utility
// and the connection and data set of the SQL query and cross-tab results.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>

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

// Small stand-ins for the class library's objects: start-up starts and closes them, nothing
// else of the program relies on more than what they offer here.
class ErrorManager {
public:
    void init();
    void kill();
    bool started() const { return started_; }

private:
    bool started_ = false;
};

// Collects the window texts it is asked to translate (there are no translations) and writes
// them, one per line, sorted, to its extract file when it is closed.
class Translator {
public:
    void init();
    void kill();  // writes the extract file anew when its name is not blank
    void setExtractFileName(std::string name);
    std::string extractFileName() const;
    std::string translateText(std::string_view text);

private:
    mutable std::mutex mutex_;
    std::string extractFile_;
    std::set<std::string> collected_;
};

class FuzzyMatcher {
public:
    void init();
    void kill();
    void setOption(int option, bool on);
    bool option(int option) const;

private:
    bool options_[3] = {false, false, false};
};

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
