// The window's record of one control, shared by the window and its control handles.
#pragma once

#include <cstdint>

#include "runtime/ui/window.h"

namespace rt {

struct Window::ControlEntry {
    ControlState state;
    std::uint64_t sequence = 0;  // creation order
    bool queued = false;         // in changed_
    const ListSource* source = nullptr;
    std::uint64_t sourceRevision = 0;
    bool sourceDirty = false;
    bool reportErrors = false;
};

// The list of a control that has none.
const ListData& emptyListData();

}  // namespace rt
