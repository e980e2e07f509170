#include "runtime/text/picture.h"

#include <gtest/gtest.h>

namespace {

}  // namespace
