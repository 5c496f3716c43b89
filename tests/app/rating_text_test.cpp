// Tests of the list of ratings an optimisation changed: constraints are
// matched by branch, name and formula, the largest changes come first, and
// those found on one side only are counted.
#include "rating_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "analysis.h"

namespace {

CRatedConstraint Rated(const char* formula, float value) {
  CRatedConstraint c;
  c.sBranch = "WORKINGHOURS";
  c.sName = "hours_ok";
  c.sFormula = formula;
  const CPlace place = DecodePlace(c.sBranch, formula);
  c.iGroup = place.iGroup;
  c.iWeek = place.iWeek;
  c.fValue = value;
  return c;
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
    WriteRatingChanges(out, before, c.after, grid, c.top);
    EXPECT_EQ(out.str(), c.expected);
  }
}

}  // namespace
