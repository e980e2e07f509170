#include "runtime/text/strings.h"

#include <gtest/gtest.h>

namespace {

}  // namespace
