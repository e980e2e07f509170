#include "runtime/text/date_time.h"

#include <gtest/gtest.h>

namespace {

}  // namespace
