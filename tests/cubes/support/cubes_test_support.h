#pragma once
// Set-up the window tests of the cube analysis share: every right granted, the program's tables
// on the client database, procedures on program threads of their own with their dictionary.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/sync/structure_update.h"
#include "runtime/thread/thread.h"
#include "tests/support/test_support.h"

namespace cubestest {

// Every right granted while the object lives.
class AllRights {
public:
    AllRights() {
        SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, [](std::string_view) {}});
    }
    ~AllRights() { SetRightsCheck({}); }
    AllRights(const AllRights&) = delete;
    AllRights& operator=(const AllRights&) = delete;
};

// Starts body on a program thread of its own with that thread's dictionary; the thread's number.
inline int startWithDictionary(std::function<void()> body) {
    return rt::startThread([body = std::move(body)] {
        InitDictionary();
        body();
        KillDictionary();
    });
}

// The same, waiting for the thread to end.
inline void runWithDictionary(std::function<void()> body) { rt::waitThread(startWithDictionary(std::move(body))); }

// The program's tables on the client database that GLO:ConnectString names, as start-up makes
// them.
inline void createProgramTables(const std::string& /*connect*/, bool /*pg*/) {
    runWithDictionary([] {
        StructureRun run;
        std::string error;
        EXPECT_TRUE(SynchroniseStructures(run, error)) << error;
    });
}

}  // namespace cubestest
