// The update-log list "DBUpdateLog": what the SQL object updater installed, one row per object
// version in ascending version, and its summary rows under "Update Log". Read only.
#pragma once

void BrowseDBUpdateLog();

namespace updatelog {
enum { Sheet = 1, TabName, List, Close };
}  // namespace updatelog
