// Tests of the list of ratings an optimisation changed: constraints are
// matched by branch, name and formula (blocks by their first day), the
// largest changes come first, and those found on one side only are counted.
#include "rating_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis.h"

namespace {

// A rated constraint of a branch, its place read from the formula.
CRatedConstraint RatedIn(const char* branch, const char* name, const char* formula, float value) {
  CRatedConstraint c;
  c.sBranch = branch;
  c.sName = name;
  c.sFormula = formula;
  const CPlace place = DecodePlace(c.sBranch, formula);
  c.iGroup = place.iGroup;
  c.iWeek = place.iWeek;
  c.iBlock = place.iBlock;
  c.fValue = value;
  return c;
}

CRatedConstraint Rated(const char* formula, float value) {
  return RatedIn("WORKINGHOURS", "hours_ok", formula, value);
}

CRatedConstraint RatedBlock(const char* formula, float value) {
  return RatedIn("SHIFTBLOCKS", "block_ok", formula, value);
}

TEST(RatingTextTest, ChangesLargestFirstAndOneSidedCounted) {
  CRosterGrid grid;
  grid.vGroupNames = {"Team0"};
  grid.iWeeks = 3;
  const std::vector<CRatedConstraint> before = {Rated("week[0][0]", 0.5f), Rated("week[0][1]", 1),
                                                Rated("week[0][2]", 1)};
  const struct {
    const char* what;
    std::vector<CRatedConstraint> after;
    std::size_t top;
    std::string expected;
  } cases[] = {
      {"nothing changed",
       {Rated("week[0][0]", 0.5f), Rated("week[0][1]", 1), Rated("week[0][2]", 1)},
       10,
       "No rating changed.\n"},
      {"a change too small to show",
       {Rated("week[0][0]", std::nextafter(0.5f, 1.0f)), Rated("week[0][1]", 1),
        Rated("week[0][2]", 1)},
       10,
       "No rating changed.\n"},
      {"nothing changed, one constraint gone",
       {Rated("week[0][0]", 0.5f), Rated("week[0][1]", 1)},
       10,
       "No rating changed.\nRated only before: 1, only after: 0\n"},
      {"two changes, the larger first, the top one shown",
       {Rated("week[0][0]", 0.75f), Rated("week[0][1]", 0), Rated("week[0][2]", 1)},
       1,
       "Ratings that changed most (1 of 2 changed):\n"
       "change  before  after  branch        group  place\n"
       "    -1       1      0  WORKINGHOURS  Team0  week 2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ostringstream out;
    WriteRatingChanges(out, {before, grid}, {c.after, grid}, c.top);
    EXPECT_EQ(out.str(), c.expected);
  }
}

// Ratings a unit in the last place apart, where six digits round apart
// (0.619047 and 0.619048), are no change; ratings further apart are.
TEST(RatingTextTest, LastBitsOfARatingAreNoChange) {
  CRosterGrid grid;
  grid.vGroupNames = {"Team0"};
  grid.iWeeks = 1;
  const std::vector<CRatedConstraint> before = {Rated("week[0][0]", 0.619047463f)};
  std::ostringstream same;
  WriteRatingChanges(same, {before, grid}, {{Rated("week[0][0]", 0.619047523f)}, grid}, 10);
  EXPECT_EQ(same.str(), "No rating changed.\n");
  std::ostringstream changed;
  WriteRatingChanges(changed, {before, grid}, {{Rated("week[0][0]", 0.61905f)}, grid}, 10);
  EXPECT_NE(changed.str().find("1 of 1 changed"), std::string::npos);
}

// A script may rate one place more than once under one name; such
// constraints pair in list order, so that an unchanged roster shows no
// change and every constraint counts on one side at most once.
TEST(RatingTextTest, RepeatedPlacesPairedInOrder) {
  CRosterGrid grid;
  grid.vGroupNames = {"Team0"};
  grid.iWeeks = 1;
  const std::vector<CRatedConstraint> before = {Rated("week[0][0]", 0), Rated("week[0][0]", 0.5f),
                                                Rated("week[0][0]", 1)};
  const struct {
    const char* what;
    std::vector<CRatedConstraint> after;
    std::string expected;
  } cases[] = {
      {"the same ratings", before, "No rating changed.\n"},
      {"the middle one better",
       {Rated("week[0][0]", 0), Rated("week[0][0]", 0.75f), Rated("week[0][0]", 1)},
       "Ratings that changed most (1 of 1 changed):\n"
       "change  before  after  branch        group  place\n"
       " +0.25     0.5   0.75  WORKINGHOURS  Team0  week 1\n"},
      {"one fewer",
       {Rated("week[0][0]", 0), Rated("week[0][0]", 0.5f)},
       "No rating changed.\nRated only before: 1, only after: 0\n"},
      {"one more",
       {Rated("week[0][0]", 0), Rated("week[0][0]", 0.5f), Rated("week[0][0]", 1),
        Rated("week[0][0]", 1)},
       "No rating changed.\nRated only before: 0, only after: 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ostringstream out;
    WriteRatingChanges(out, {before, grid}, {c.after, grid}, 10);
    EXPECT_EQ(out.str(), c.expected);
  }
}

// A block is the same block when it starts on the same day, whatever its
// index: a new block before it moves the index, not the block.
TEST(RatingTextTest, BlocksMatchedByTheirFirstDay) {
  CRosterGrid before_grid;
  before_grid.vGroupNames = {"Team0"};
  before_grid.iWeeks = 2;
  before_grid.vCells = {{1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0}};
  const std::vector<CRatedConstraint> before = {RatedBlock("block[0][0]", 1),
                                                RatedBlock("block[0][1]", 1)};
  const struct {
    const char* what;
    std::vector<int> row;
    std::vector<CRatedConstraint> after;
    std::string expected;
  } cases[] = {
      {"a new one-day block before the long one",
       {1, 1, 0, 1, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0},
       {RatedBlock("block[0][0]", 1), RatedBlock("block[0][1]", 0.5f),
        RatedBlock("block[0][2]", 1)},
       "No rating changed.\nRated only before: 0, only after: 1\n"},
      {"the long block one day longer",
       {1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0},
       {RatedBlock("block[0][0]", 1), RatedBlock("block[0][1]", 0.5f)},
       "Ratings that changed most (1 of 1 changed):\n"
       "change  before  after  branch       group  place\n"
       "  -0.5       1    0.5  SHIFTBLOCKS  Team0  block 2 (days 6-11)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CRosterGrid after_grid = before_grid;
    after_grid.vCells = {c.row};
    std::ostringstream out;
    WriteRatingChanges(out, {before, before_grid}, {c.after, after_grid}, 10);
    EXPECT_EQ(out.str(), c.expected);
  }
}

}  // namespace
