// Tests of the constraint variables (weekly hours and their changes, blocks
// of working days, free and worked weekends) and of the variable store filled
// from the domain. (The domain variables file, which shares the store's
// names and order, is checked by the end-to-end case write_domain_variables.)
#include <gtest/gtest.h>

#include <string>

#include "domtarn_test_support.h"
#include "expint.h"

namespace {

using domain_test::TestDomain;

// A name too long for a formula text is cut so that both quotes stay.
TEST(VariableExport, FormulasValuesAndComputedFlags) {
  TestDomain domain(2, {0, 7.5f}, {"1100000 1111100", "0000000 0000011"});
  domain.GetGroups()[0].SetName("Team1");
  domain.GetGroups()[1].SetName(std::string(200, 'n'));
  TVarlist vars;
  domain.InitializeVariables(&vars);
  const std::string cut = '"' + std::string(125, 'n') + '"';
  const struct {
    const char* name;
    std::string formula;
    float value;
    int computed;
  } cases[] = {
      {"LengthOfCycle", "2", 2, 1},
      {"groups[0].name", "\"Team1\"", 0, 0},
      {"groups[1].name", cut, 0, 0},
      {"shifts[1].length", "7.500000", 7.5f, 1},
      {"plan[1][0]", "0", 0, 0},
      {"c_diff[0][0]", "22.500000", 22.5f, 1},
      {"c_work[0][0]", "15.000000", 15, 1},
      {"c_numberofblocks[0]", "2", 2, 1},
      {"c_shiftblocks[0][1].size", "5", 5, 1},
      {"c_numberofblocks[1]", "0", 0, 0},
      {"c_freeweekends[1]", "0.500000", 0.5f, 1},
      {"c_badweekends[1][0]", "2", 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(vars.in_list(c.name), 1);
    EXPECT_EQ(vars.get_formula(c.name), c.formula);
    EXPECT_EQ(vars.get_value(c.name), c.value);
    EXPECT_EQ(vars.get_comp(c.name), c.computed);
  }
}

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
  const struct {
    std::string row;  // seven days a week
    std::vector<float> work, diff;
    std::vector<Block> blocks;
    float freeWeekends;
    std::vector<int> badWeekends;
  } cases[] = {
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
  for (const auto& c : cases) {
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
