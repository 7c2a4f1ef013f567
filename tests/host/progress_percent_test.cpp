// The progress percentage of the installation run: done * 100 / total without 32-bit overflow.
#include <gtest/gtest.h>

#include "install/progress_weights.h"

namespace {

struct PercentCase {
  uint32_t done;
  uint32_t total;
  uint32_t percent;
};

// Totals around and far above 42,949,672 bytes, where done * 100 no longer fits 32 bits.
constexpr PercentCase percentCases[] = {
    {0, 32735563, 0},
    {32735563 - 425, 32735563, 99},       // the catalogue's last entry, if it were the smallest
    {32735563, 32735563, 100},
    {42949672, 42949672, 100},            // the largest total a 32-bit product handles
    {42949673, 42949673, 100},            // one byte more: 32-bit arithmetic gives 0
    {42949673 / 2, 42949673, 49},
    {99000000, 100000000, 99},            // 32-bit arithmetic gives 13
    {50000000, 100000000, 50},
    {1, 100000000, 0},
    {4294967294u, 4294967295u, 99},       // the largest total
    {4294967295u, 4294967295u, 100},
    {2147483648u, 4294967295u, 50},
    {3, 7, 42},                           // rounded down
    {0, 0, 0},                            // an empty catalogue does not divide by zero
};

TEST(ProgressPercent, HoldsForTotalsBeyond32BitProducts) {
  for (const PercentCase& c : percentCases) {
    SCOPED_TRACE(testing::Message() << c.done << " of " << c.total);
    EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent);
  }
}

TEST(ProgressPercent, NeverFallsAsBytesAccumulate) {
  // Fixed-seed sizes summing to nearly 4 GiB; each step's percentage is at least the last.
  uint32_t state = 12345;
  uint32_t sizes[300];
  uint64_t sum = 0;
  for (uint32_t& size : sizes) {
    state = state * 1664525u + 1013904223u;
    size = state % 14000000u;
    sum += size;
  }
  ASSERT_LT(sum, uint64_t{1} << 32);
  const uint32_t total = static_cast<uint32_t>(sum);
  uint32_t done = 0, last = 0;
  for (uint32_t size : sizes) {
    uint32_t percent = ProgressPercent(done, total);
    EXPECT_GE(percent, last);
    EXPECT_EQ(percent, static_cast<uint32_t>(static_cast<double>(done) * 100 / total));
    last = percent;
    done += size;
  }
  EXPECT_EQ(ProgressPercent(done, total), 100u);
}

}  // namespace
