// Tests of reading a rated constraint's place from its formula and the place
// as the planner reads it, with the blocks of a row as the evaluation counts
// them (a block ends at a free day inside the row).
#include "analysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(AnalysisTest, DecodesThePlaceByBranch) {
  const struct {
    const char* branch;
    const char* formula;
    int group, week, day, block;
  } cases[] = {
      {"WORKINGHOURS", "week[2][3]", 2, 3, -1, -1},
      {"DIFFHOURS", "change[0][4]", 0, 4, -1, -1},
      {"BADWEEKENDS", "weekends[5][1]", 5, 1, -1, -1},
      {"SHIFTBLOCKS", "block[5][12]", 5, -1, -1, 12},
      {"FREEWEEKENDS", "free[3][0]", 3, -1, -1, -1},
      // The branch decides, not the name in front of the brackets.
      {"WORKINGHOURS", "block[1][2]", 1, 2, -1, -1},
      // Other branches: the name decides.
      {"NIGHTS", "day[1][17]", 1, -1, 17, -1},
      {"NIGHTS", "myweek[1][2]", 1, 2, -1, -1},
      {"NIGHTS", "run_block[4][0]", 4, -1, -1, 0},
      {"NIGHTS", "other[1][2]", 1, -1, -1, -1},
      // Text around and after the brackets is ignored.
      {"WORKINGHOURS", "c_work[2][3]+1", 2, 3, -1, -1},
      {"WORKINGHOURS", "week[7]", 7, -1, -1, -1},
      {"WORKINGHOURS", "week", -1, -1, -1, -1},
      {"WORKINGHOURS", "", -1, -1, -1, -1},
      // A bracket without a number ends the reading.
      {"WORKINGHOURS", "week[g][1]", -1, -1, -1, -1},
      {"WORKINGHOURS", "week[1][]", 1, -1, -1, -1},
      {"WORKINGHOURS", "week[1][2", 1, -1, -1, -1},
      {"WORKINGHOURS", "week[-1][2]", -1, 2, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.branch) + " " + c.formula);
    const CPlace place = DecodePlace(c.branch, c.formula);
    EXPECT_EQ(place.iGroup, c.group);
    EXPECT_EQ(place.iWeek, c.week);
    EXPECT_EQ(place.iDay, c.day);
    EXPECT_EQ(place.iBlock, c.block);
  }
}

TEST(AnalysisTest, DescribesThePlaceCountingFromOne) {
  CRosterGrid grid;
  grid.vGroupNames = {"Team0", "Team1"};
  grid.iWeeks = 1;
  grid.vCells = {{1, 1, 0, 2, 0, 1, 0}, {0, 0, 0, 0, 0, 0, 0}};
  const auto rated = [](const char* branch, const char* formula) {
    CRatedConstraint c;
    c.sBranch = branch;
    c.sFormula = formula;
    const CPlace place = DecodePlace(branch, formula);
    c.iGroup = place.iGroup;
    c.iWeek = place.iWeek;
    c.iDay = place.iDay;
    c.iBlock = place.iBlock;
    return c;
  };
  const struct {
    CRatedConstraint constraint;
    std::string place, group;
  } cases[] = {
      {rated("WORKINGHOURS", "week[0][0]"), "week 1", "Team0"},
      {rated("DIFFHOURS", "change[1][2]"), "weeks 3-4", "Team1"},
      {rated("BADWEEKENDS", "weekends[1][0]"), "weeks 1-2", "Team1"},
      {rated("SHIFTBLOCKS", "block[0][0]"), "block 1 (days 1-2)", "Team0"},
      {rated("SHIFTBLOCKS", "block[0][1]"), "block 2 (day 4)", "Team0"},
      // Day 6 is followed by a free day, so its block counts; no fourth block.
      {rated("SHIFTBLOCKS", "block[0][2]"), "block 3 (day 6)", "Team0"},
      {rated("SHIFTBLOCKS", "block[0][3]"), "block 4", "Team0"},
      {rated("SHIFTBLOCKS", "block[1][0]"), "block 1", "Team1"},
      {rated("NIGHTS", "day[0][9]"), "day 10 (week 2)", "Team0"},
      {rated("FREEWEEKENDS", "free[1][0]"), "", "Team1"},
      {rated("FREEWEEKENDS", "free[4][0]"), "", "group 5"},
      {rated("FREEWEEKENDS", "free[2147483647][0]"), "", "group 2147483648"},
      {rated("OTHER", "total"), "", "-"},
      // The largest index a script may give still counts from 1.
      {rated("DIFFHOURS", "change[1][2147483647]"), "weeks 2147483648-2147483649", "Team1"},
      {rated("NIGHTS", "day[0][2147483647]"), "day 2147483648 (week 306783379)", "Team0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.constraint.sFormula);
    EXPECT_EQ(DescribePlace(c.constraint, grid), c.place);
    EXPECT_EQ(GroupLabel(c.constraint, grid), c.group);
  }
}

}  // namespace
