#include "TextHelpers.h"

#include <gtest/gtest.h>

namespace vandreth {
namespace {

TEST(Smoke, PercentEncodeSpace) { EXPECT_EQ(percentEncode("a b"), "a+b"); }

}  // namespace
}  // namespace vandreth
