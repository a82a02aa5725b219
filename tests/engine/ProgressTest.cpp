#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/FileCopy.h"

namespace installer {
namespace {

TEST(ProgressUnitsTest, RoundsToNearestThousandWithHalvesToEven) {
  const struct {
    int64_t bytes;
    int32_t units;
  } cases[] = {
      {0, 0},       {1, 0},       {499, 0},     {500, 0},    {501, 1},
      {1499, 1},    {1500, 2},    {2500, 2},    {2501, 3},   {3500, 4},
      {4500, 4},    {5500, 6},    {999'999, 1000},
      {int64_t{2147483647} * 1000, 2147483647},
      // Beyond what 32 bits hold the value stays at the largest one rather than wrapping.
      {int64_t{1} << 62, std::numeric_limits<int32_t>::max()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressUnits(c.bytes), c.units) << c.bytes << " bytes";
  }
}

}  // namespace
}  // namespace installer
