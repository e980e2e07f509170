#include "core/startup/module_objects.h"

#include <cassert>
#include <fstream>
#include <memory>

#include "core/dictionary/globals.h"
#include "cubes/odbc/odbc_class.h"
#include "runtime/os/path.h"

// ---- Kept globals --------------------------------------------------------------------------

namespace {
constexpr std::string_view kPreserved = rt::IniManager::kPreservedSection;

rt::Byte byteOf(long long value) { return static_cast<rt::Byte>(value); }
}  // namespace

void VoqIniManager::fetchPreserved() {
    rt::IniManager::fetchPreserved();
    GLO.Excelpfad = rt::CString<256>(fetch(kPreserved, "GLO:Excelpfad"));
    GLO.ForceUpdate = byteOf(fetchNumber(kPreserved, "GLO:ForceUpdate"));
    GLO.SQL_QBE = rt::CString<256>(fetch(kPreserved, "GLO:SQL_QBE"));
    GLO.ConnectGlobal = byteOf(fetchNumber(kPreserved, "GLO:ConnectGlobal"));
}

void VoqIniManager::savePreserved() {
    rt::IniManager::savePreserved();
    update(kPreserved, "GLO:Excelpfad", GLO.Excelpfad.get().str());
    update(kPreserved, "GLO:ForceUpdate", static_cast<long long>(GLO.ForceUpdate.get()));
    update(kPreserved, "GLO:SQL_QBE", GLO.SQL_QBE.get().str());
    update(kPreserved, "GLO:ConnectGlobal", static_cast<long long>(GLO.ConnectGlobal.get()));
}

// ---- The objects ---------------------------------------------------------------------------

namespace {

struct ModuleObjects {
    std::unique_ptr<DateUtility> dateUtility;
    std::unique_ptr<OdbcConnection> sqlResultConnection;
    std::unique_ptr<OdbcDataSet> sqlResultDataSet;
    std::unique_ptr<Translator> translator;
    std::unique_ptr<FuzzyMatcher> fuzzyMatcher;
    std::unique_ptr<ErrorManager> errorManager;
    std::unique_ptr<VoqIniManager> iniManager;
};

ModuleObjects& objects() {
    static ModuleObjects* o = new ModuleObjects;  // outlives detached threads at process end
    return *o;
}

template <class T>
T& checked(const std::unique_ptr<T>& p) {
    assert(p && "module objects are not built");
    return *p;
}

}  // namespace

VoqIniManager& GlobalIniManager() { return checked(objects().iniManager); }
ErrorManager& GlobalErrorManager() { return checked(objects().errorManager); }
Translator& GlobalTranslator() { return checked(objects().translator); }
FuzzyMatcher& GlobalFuzzyMatcher() { return checked(objects().fuzzyMatcher); }
DateUtility& GlobalDateUtility() { return checked(objects().dateUtility); }
OdbcConnection& SqlResultConnection() { return checked(objects().sqlResultConnection); }
OdbcDataSet& SqlResultDataSet() { return checked(objects().sqlResultDataSet); }

void constructModuleObjects() {
    auto& o = objects();
    assert(!o.iniManager && "module objects built twice");
    o.dateUtility = std::make_unique<DateUtility>();
    o.sqlResultConnection = std::make_unique<OdbcConnection>();
    o.sqlResultDataSet = std::make_unique<OdbcDataSet>();
    o.translator = std::make_unique<Translator>();
    o.fuzzyMatcher = std::make_unique<FuzzyMatcher>();
    o.errorManager = std::make_unique<ErrorManager>();
    o.iniManager = std::make_unique<VoqIniManager>();
}

void destroyModuleObjects() {
    auto& o = objects();
    o.iniManager.reset();
    o.errorManager.reset();
    o.translator.reset();
    o.sqlResultDataSet.reset();
    o.sqlResultConnection.reset();
    o.fuzzyMatcher.reset();
    o.dateUtility.reset();
}

bool moduleObjectsBuilt() { return objects().iniManager != nullptr; }
