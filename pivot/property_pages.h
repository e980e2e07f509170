#pragma once
// The control's property pages (verb -7): each field's caption, orientation, aggregate and
// number format, in a modal window on the calling thread.

#include "pivot/pivot_control.h"

namespace pivot {

void showPropertyPages(PivotControl& control);

}  // namespace pivot
