// Cube definitions for the viewer's tests, stored in the client database the way the cube
// forms store them.
#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "runtime/thread/thread.h"

namespace viewertest {

struct FieldSpec {
    const char* name;
    const char* caption;
    const char* picture;
    const char* aggregate;
    const char* group;
    int grouping;
};

struct CubeSpec {
    std::string name = "Umsatz";
    std::string description = "Umsatz je Gruppe";
    std::string query = "SELECT * FROM tUmsatz";
    std::string parameterText;
    std::string bigQuery;
    std::string connect = "DSN=eigener";
    std::string tabName = "tUmsatz";
    int compress = 0;
    int zeitraum = 0;
    std::vector<FieldSpec> fields = {
        {"cGruppe", "Gruppe", "@s30", "0", "2", 1},    {"nJahr", "Jahr", "@n4", "0", "1", 0},
        {"fUmsatz", "Umsatz", "@n-14.2", "0", "3", 1}, {"fDB", "DB %", "@n6.1", "2", "3", 1},
        {"fMenge", "Menge", "", "", "3", 1},
    };
};

// Runs body on a program thread of its own with the thread's dictionary, and waits for it.
inline void onProgramThread(const std::function<void()>& body) {
    rt::waitThread(rt::startThread([&] {
        InitDictionary();
        body();
        KillDictionary();
    }));
}

// Stores the cube with its fields (on a thread with its dictionary); its identifier in id.
inline void storeCube(const CubeSpec& spec, long& id) {
    ASSERT_EQ(Relate.VOQCubeKopf->open(), 0);
    ASSERT_EQ(Relate.VOQCubeKopf->primeRecord(), 0);
    CUBK.CubeName = spec.name;
    CUBK.Beschreibung = spec.description;
    CUBK.Activ = 1;
    CUBK.Zugriff = "3";
    CUBK.Connect = spec.connect;
    CUBK.Query = spec.query;
    CUBK.QueryParameter = spec.parameterText;
    CUBK.BigQuery = spec.bigQuery;
    CUBK.TabName = spec.tabName;
    CUBK.Compress = static_cast<rt::Byte>(spec.compress);
    CUBK.Zeitraum = static_cast<rt::Short>(spec.zeitraum);
    ASSERT_EQ(Access.VOQCubeKopf->update(), 0);
    id = CUBK.ID;
    for (const FieldSpec& f : spec.fields) {
        CUBD = {};
        CUBD.ID_CUBK = CUBK.ID;
        ASSERT_EQ(Access.VOQCubeDetail->primeRecord(true), 0);
        CUBD.FeldName = f.name;
        CUBD.Feldname1 = f.caption;
        CUBD.Picture = f.picture;
        CUBD.Aggregat = f.aggregate;
        CUBD.Gruppe = f.group;
        CUBD.Gruppierung = static_cast<rt::Byte>(f.grouping);
        ASSERT_EQ(Access.VOQCubeDetail->update(), 0);
    }
    Relate.VOQCubeKopf->close();
}

}  // namespace viewertest
