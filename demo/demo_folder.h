#pragma once
// The demo working folder: the demo ERP database, the client "Demo GmbH" chosen in the settings
// file, the program's own tables on that database, a few cube definitions over the sales view and
// the user "DEMO" (password "demo") with every right.
#include <string>

#include "demo/demo_database.h"

namespace demo {

inline constexpr const char* kDemoDatabase = "DemoERP";  // file in the folder; also its catalogue name
inline constexpr const char* kDemoClient = "Demo GmbH";
inline constexpr const char* kDemoUser = "DEMO";
inline constexpr const char* kDemoPassword = "demo";

// The client's connect string as the program builds it from the client record.
std::string demoConnectString();

// Prepares `folder` (created when missing). Returns an empty string on success, otherwise the
// reason. Runs its table work on a program thread of its own; the working folder is the given
// one while it runs and is restored afterwards.
std::string prepareDemoFolder(const std::string& folder, const DemoOptions& options = {});

// Cube definitions written by prepareDemoFolder, by name.
const char* const kDemoCubes[] = {"Umsatz Warengruppen", "Umsatz Plattformen", "Kunden je Ort"};
// The list cube written after them, whose long query runs into the query runner's list.
inline constexpr const char* kDemoListCube = "Umsatzliste";

}  // namespace demo
