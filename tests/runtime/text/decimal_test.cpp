#include "runtime/text/decimal.h"

#include <gtest/gtest.h>

namespace {

}  // namespace
