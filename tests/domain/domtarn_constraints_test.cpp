// Tests of the constraint variables: weekly hours and their changes, blocks of
// working days, free and worked weekends.
#include <gtest/gtest.h>

#include "domtarn_test_support.h"

namespace {

using domain_test::TestDomain;

struct Block {
  int start, size;
  bool operator==(const Block&) const = default;
};

std::vector<Block> BlocksOf(const std::vector<CShiftBlock>& row) {
  std::vector<Block> blocks;
  for (const CShiftBlock& b : row) blocks.push_back({b.start, b.size});
  return blocks;
}

// Shift 0 is the day off with a length of its own, which still counts as
// hours; shift 9 lies outside the shift list.
TEST(ConstraintVars, RowsOfOneGroup) {
  struct Case {
    std::string row;  // seven days a week
    std::vector<float> work;
    std::vector<float> diff;
    std::vector<Block> blocks;
    float freeWeekends;
    std::vector<int> badWeekends;
  };
  const Case cases[] = {
      {"1102220", {53}, {}, {{0, 2}, {3, 3}}, 0, {}},
      {"1111111", {56}, {}, {}, 0, {}},  // no day off: no block
      // The last day worked: the last block is left out.
      {"0011000 1100011", {18.5f, 33.5f}, {15}, {{2, 2}, {7, 2}}, 0.5f, {2}},
      {"0000111 1100000", {26, 18.5f}, {-7.5f}, {{4, 5}}, 0.5f, {2}},  // into the next week
      // Weekends worked, then free.
      {"0000011 0000022 0000000",
       {18.5f, 26.5f, 3.5f},
       {8, -23},
       {{5, 2}, {12, 2}},
       1 / 3.0f,
       {4, 2}},
      {"1919191", {32}, {}, {{0, 1}, {2, 1}, {4, 1}}, 0, {}},  // shift 9 is a day off
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    const int weeks = static_cast<int>(domain_test::Row(c.row).size() / 7);
    TestDomain domain(weeks, {0.5f, 8, 12}, {c.row});
    domain.ComputeConstraintVars();
    ASSERT_EQ(domain.Work().size(), 1u);
    EXPECT_EQ(domain.Work()[0], c.work);
    EXPECT_EQ(domain.Diff()[0], c.diff);
    EXPECT_EQ(BlocksOf(domain.Blocks()[0]), c.blocks);
    EXPECT_EQ(domain.FreeWeekends()[0], c.freeWeekends);
    EXPECT_EQ(domain.BadWeekends()[0], c.badWeekends);
  }
}

// A recomputation replaces what an earlier one left. A schedule that does not
// match its groups and cycle is read without going past it: a row yields the
// weeks it reaches into, its missing days count as free days of no hours, and
// weeks missing from a row count as free weekends.
TEST(ConstraintVars, RecomputedWithoutReadingOutsideTheSchedule) {
  TestDomain domain(1, {0, 8}, {"1101100", "1111100"});
  domain.ComputeConstraintVars();
  domain.SetCycle(2);
  domain.GetSchedule() = {domain_test::Row("1111111 11"), domain_test::Row("1")};
  domain.GetGroups().emplace_back("Extra", 1);
  domain.ComputeConstraintVars();
  EXPECT_EQ(domain.Work(), (CFloatMatrix{{56, 16}, {8}, {}}));
  EXPECT_EQ(BlocksOf(domain.Blocks()[0]), (std::vector<Block>{{0, 9}}));
  EXPECT_EQ(BlocksOf(domain.Blocks()[1]), (std::vector<Block>{{0, 1}}));
  EXPECT_EQ(domain.BadWeekends(), (CIntMatrix{{2}, {}, {}}));
  EXPECT_EQ(domain.FreeWeekends(), (CFloatVector{0.5f, 1, 1}));

  // A cycle length left from a read that stopped early costs nothing.
  TestDomain huge(214748364, {0, 8}, {"1111100"});
  huge.ComputeConstraintVars();
  EXPECT_EQ(huge.Work(), (CFloatMatrix{{40}}));
  EXPECT_EQ(huge.FreeWeekends(), (CFloatVector{1}));

  TestDomain empty(0, {}, {});
  empty.GetGroups().emplace_back("Lonely", 1);
  empty.ComputeConstraintVars();
  EXPECT_EQ(empty.FreeWeekends(), (CFloatVector{0}));
  EXPECT_TRUE(empty.Work()[0].empty());
}

}  // namespace
