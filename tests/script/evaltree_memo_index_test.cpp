// Tests of the flat key-to-id index behind the memory of combinations: ids
// stay findable through growth, replacement and keys whose probes collide.
#include <gtest/gtest.h>

#include <cstdint>

#include "evaltree_memo.h"

namespace {

TEST(IdIndex, FindsEveryKeyThroughGrowthAndReplacement) {
  TIdIndex index;
  EXPECT_EQ(index.find(7), -1);
  // Keys that differ only in high bits, and key 0, probe into each other's
  // neighbourhoods; a thousand entries make the table grow several times.
  constexpr int kKeys = 1000;
  for (int i = 0; i < kKeys; ++i) index.put(static_cast<std::uint64_t>(i) << 40, i);
  index.put(0, 5000);
  for (int i = 1; i < kKeys; ++i) {
    ASSERT_EQ(index.find(static_cast<std::uint64_t>(i) << 40), i) << i;
  }
  EXPECT_EQ(index.find(0), 5000);
  EXPECT_EQ(index.find(1), -1);
  EXPECT_EQ(index.find(static_cast<std::uint64_t>(kKeys) << 40), -1);

  index.clear();
  EXPECT_EQ(index.find(static_cast<std::uint64_t>(3) << 40), -1);
  index.put(3, 1);
  EXPECT_EQ(index.find(3), 1);
}

}  // namespace
