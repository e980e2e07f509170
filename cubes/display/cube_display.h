// The cube display list "CubeAnzeige": every cube definition, read only, narrowed to the active
// ones whose name holds a text, and "Anzeige" opening the selected cube in the pivot viewer.
#pragma once

#include <string>
#include <string_view>

void BrowseCubeAnzeige();

// The filter the filter button sets: active cubes, and with a name text those whose name holds
// it (case told apart). The text is quoted as a literal, so an apostrophe filters too.
std::string CubeDisplayFilter(std::string_view nameText);

namespace cubedisplay {
enum { List = 1, Sheet, TabName, TabId, PromptName, EntryName, Filter, Show, Close };
}  // namespace cubedisplay
