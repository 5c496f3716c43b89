// Tests of the roster as text: shift codes, columns that line up for names
// in UTF-8, the CSV form, the differences from the plan and the weekly hours. (Whole outputs of the
// commands are checked by the end-to-end cases cmd_*.)
#include "grid_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(GridTextTest, ShiftCodesAreTheShortestUniqueFirstLetters) {
  const struct {
    Names names, codes;
  } cases[] = {
      {{"Off", "Day", "WeekendDuty", "SaturdayPair"}, {"O", "D", "W", "S"}},
      {{"Off", "Day", "Dawn"}, {"Off", "Day", "Daw"}},
      {{"A", "AB"}, {"A", "AB"}},
      {{"Early", "Early"}, {"0", "1"}},
      // Letters of two bytes count as one and are never cut in half.
      {{"\u00dcber", "Uhr"}, {"\u00dc", "U"}},
      {{"Frei", "Day", "Fr\u00fch"}, {"Fre", "Day", "Fr\u00fc"}},
      {{"Off"}, {"O"}},
      {{}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ShiftCodes(c.names), c.codes);
}

CRosterGrid TwoGroups() {
  CRosterGrid grid;
  grid.vGroupNames = {"North", "South, East"};
  grid.vShiftNames = {"Off", "Day", "Night"};
  grid.iWeeks = 1;
  grid.vCells = {{1, 1, 2, 0, 0, 0, 0}, {0, 1, 1, 1, 0, 2, 0}};
  return grid;
}

// A group and shifts whose names hold letters of two bytes ("\u00eb" and
// "\u00fc" take one column each): the grid, the weekly hours and the groups per
// shift line up as they do for ASCII names.
TEST(GridTextTest, ColumnsCountCharactersNotBytes) {
  CRosterGrid grid;
  grid.vGroupNames = {"T\u00ebam0", "Team1"};
  grid.vShiftNames = {"Frei", "Day", "Fr\u00fch"};
  grid.iWeeks = 1;
  grid.vCells = {{1, 2, 0, 1, 1, 2, 0}, {0, 1, 1, 0, 2, 0, 2}};
  CPlanFigures figures;
  figures.vShiftLengths = {0, 8, 6};
  std::ostringstream out;
  WriteGrid(out, grid);
  WriteWeeklyHours(out, grid, figures);
  WriteDayCover(out, grid, figures);
  EXPECT_EQ(out.str(),
            "Legend: Fre = Frei, Day = Day, Fr\u00fc = Fr\u00fch; weekends in [ ], ? = no such "
            "shift\n"
            "\n"
            "      | week 1\n"
            "      | M   T   W   T   F   [S   S  ]\n"
            "T\u00ebam0 | Day Fr\u00fc Fre Day Day [Fr\u00fc Fre]\n"
            "Team1 | Fre Day Day Fre Fr\u00fc [Fre Fr\u00fc]\n"
            "Weekly hours |   w1\n"
            "T\u00ebam0        |   36\n"
            "Team1        |   28\n"
            "Groups per shift     Frei      Day     Fr\u00fch   (no operating plan)\n"
            "week 1 Mon              1        1        0\n"
            "week 1 Tue              0        1        1\n"
            "week 1 Wed              1        1        0\n"
            "week 1 Thu              1        1        0\n"
            "week 1 Fri              0        1        1\n"
            "week 1 Sat              1        0        1\n"
            "week 1 Sun              1        0        1\n");
}

TEST(GridTextTest, CsvHasDayNumbersAndShiftNamesQuotedWhereNeeded) {
  std::ostringstream out;
  WriteGridCsv(out, TwoGroups());
  EXPECT_EQ(out.str(),
            "group,1,2,3,4,5,6,7\n"
            "North,Day,Day,Night,Off,Off,Off,Off\n"
            "\"South, East\",Off,Day,Day,Day,Off,Night,Off\n");
}

TEST(GridTextTest, PlanDifferencesNameEveryDayShiftAndGroupThatDiffer) {
  CPlanFigures figures;
  figures.vShiftLengths = {0, 8, 10};
  figures.vShiftsRequired = {4, 2, 1};
  // Two groups on the day shift every weekday, none at the weekend.
  figures.vRequired.assign(7, {0, 2, 0});
  figures.vRequired[5] = {2, 0, 0};
  figures.vRequired[6] = {2, 0, 0};
  const std::vector<CPlanDifference> differences = PlanDifferences(TwoGroups(), figures);
  std::ostringstream out;
  WritePlanCheck(out, TwoGroups(), differences);
  EXPECT_EQ(out.str(),
            "week 1 Mon (day 1): Off 1 group, plan 0\n"
            "week 1 Mon (day 1): Day 1 group, plan 2\n"
            "week 1 Wed (day 3): Day 1 group, plan 2\n"
            "week 1 Wed (day 3): Night 1 group, plan 0\n"
            "week 1 Thu (day 4): Off 1 group, plan 0\n"
            "week 1 Thu (day 4): Day 1 group, plan 2\n"
            "week 1 Fri (day 5): Off 2 groups, plan 0\n"
            "week 1 Fri (day 5): Day 0 groups, plan 2\n"
            "week 1 Sat (day 6): Off 1 group, plan 2\n"
            "week 1 Sat (day 6): Night 1 group, plan 0\n"
            "South, East: Off on 3 days, required 4\n"
            "South, East: Day on 3 days, required 2\n"
            "plan does not hold\n");

  figures.vRequired.clear();  // no operating plan: only the required shifts
  figures.vShiftsRequired = {4, 2, 1};
  CRosterGrid holds = TwoGroups();
  holds.vCells[1] = {0, 1, 1, 0, 0, 2, 0};
  std::ostringstream held;
  WritePlanCheck(held, holds, PlanDifferences(holds, figures));
  EXPECT_EQ(held.str(), "plan holds\n");
}

TEST(GridTextTest, WeeklyHoursAddTheDayOffsLengthToo) {
  CRosterGrid grid = TwoGroups();
  grid.iWeeks = 2;
  grid.vCells[0].resize(14, 1);
  grid.vCells[1].resize(14, 0);
  const std::vector<std::vector<float>> hours = WeeklyHours(grid, {0.5F, 8, 10});
  EXPECT_EQ(hours, (std::vector<std::vector<float>>{{28, 56}, {35.5F, 3.5F}}));
}

}  // namespace
