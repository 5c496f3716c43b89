// Tests of the roster as text: names cut inside a letter, shift codes, the
// CSV form, the plan check without an operating plan and the weekly hours.
// (Whole outputs of the commands, columns that line up for names in UTF-8
// included, are checked by the end-to-end cases cmd_*, cmd_show_utf8_names
// among them.)
#include "grid_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "text_width.h"

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

// A name the reader cut inside a letter loses what is left of it; whole
// letters of two to four bytes, ASCII and bytes that are no UTF-8 stay.
TEST(GridTextTest, NamesCutInsideALetterLoseIt) {
  const struct {
    std::string text, whole;
  } cases[] = {
      {"Team", "Team"},
      {"", ""},
      {"T\u00e4", "T\u00e4"},
      {"T\xc3", "T"},
      {"\u65e5\u65e5", "\u65e5\u65e5"},
      {"\u65e5\xe6\x97", "\u65e5"},
      {"\u65e5\xe6", "\u65e5"},
      {"a\U0001F600", "a\U0001F600"},
      {"a\xf0\x9f\x98", "a"},
      {"a\x80\x80", "a\x80\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(WholeCharacters(c.text), c.whole) << c.text;
}

// Columns: a CJK character or an emoji takes two, a combining mark none and
// stays with the letter before it, a byte that is no UTF-8 one.
TEST(GridTextTest, TextWidthCountsTerminalColumns) {
  const struct {
    std::string text;
    std::size_t width, characters;
    std::string first2, last2;
  } cases[] = {
      {"Team", 4, 4, "Te", "am"},
      {"", 0, 0, "", ""},
      {"T\u00eb", 2, 2, "T\u00eb", "T\u00eb"},
      {"\u6771\u4eac\u30c1", 6, 3, "\u6771\u4eac", "\u4eac\u30c1"},
      {"Cafe\u0301s", 5, 5, "Ca", "e\u0301s"},
      {"e\u0301\u0302x", 2, 2, "e\u0301\u0302x", "e\u0301\u0302x"},
      {"a\U0001F600b", 4, 3, "a\U0001F600", "\U0001F600b"},
      {"\uFF21\uFF22", 4, 2, "\uFF21\uFF22", "\uFF21\uFF22"},
      {"a\xff\xc3", 3, 3, "a\xff", "\xff\xc3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextWidth(c.text), c.width);
    EXPECT_EQ(CharacterCount(c.text), c.characters);
    EXPECT_EQ(FirstCharacters(c.text, 2), c.first2);
    EXPECT_EQ(LastCharacters(c.text, 2), c.last2);
  }
}

// Bytes of another encoding become the Latin-1 characters they are, or the
// replacement character for Latin-1's control bytes; UTF-8 stays.
TEST(GridTextTest, ValidUtf8ReadsForeignBytesAsLatin1) {
  const struct {
    std::string text, valid;
  } cases[] = {
      {"M\xFCller", "M\u00fcller"},
      {"Ren\xE9", "Ren\u00e9"},
      {"a\x80"
       "b",
       "a\uFFFD"
       "b"},
      {"Caf\u00e9 \u6771 \U0001F600", "Caf\u00e9 \u6771 \U0001F600"},
      {"\xC3", "\u00c3"},
      {"\xC0\xAF", "\u00c0\u00af"},
      {"\xED\xA0\x80", "\u00ed\u00a0\uFFFD"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.text), c.valid) << c.text;
}

// Rows of names of wide characters and combining marks line up.
TEST(GridTextTest, WideNamesLineUp) {
  CRosterGrid grid = TwoGroups();
  grid.vGroupNames = {"\u6771\u4eac", "Cafe\u0301"};
  grid.vShiftNames = {"Off", "\u65e5\u52e4", "Night"};
  std::ostringstream out;
  WriteGrid(out, grid);
  WriteWeeklyHours(out, grid, {{0, 8, 10}, {}, {}});
  std::istringstream lines(out.str());
  std::vector<std::size_t> bars;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t bar = line.find(" | ");
    if (bar != std::string::npos) bars.push_back(TextWidth(line.substr(0, bar)));
  }
  // The grid's two title lines and two rows, the hours' title and two rows.
  ASSERT_EQ(bars.size(), 7u);
  EXPECT_EQ(std::count(bars.begin(), bars.begin() + 4, bars[0]), 4);
  EXPECT_EQ(std::count(bars.begin() + 4, bars.end(), bars[4]), 3);
  EXPECT_NE(out.str().find("| O  \u65e5 \u65e5 \u65e5 O  [N  O ]\n"), std::string::npos);
}

TEST(GridTextTest, CsvHasDayNumbersAndShiftNamesQuotedWhereNeeded) {
  std::ostringstream out;
  WriteGridCsv(out, TwoGroups());
  EXPECT_EQ(out.str(),
            "group,1,2,3,4,5,6,7\n"
            "North,Day,Day,Night,Off,Off,Off,Off\n"
            "\"South, East\",Off,Day,Day,Day,Off,Night,Off\n");
}

// Names a spreadsheet would take for formulas are written as text.
TEST(GridTextTest, CsvNamesThatReadAsFormulasStayText) {
  CRosterGrid grid = TwoGroups();
  grid.vGroupNames = {"=HYPERLINK(\"x\")", "+1", "-night", "@SUM(A1)"};
  grid.vShiftNames = {"Off", "=1+1", "Night"};
  grid.vCells = {{1, 0, 0, 0, 0, 0, 0}, {0}, {0}, {0}};
  std::ostringstream out;
  WriteGridCsv(out, grid);
  EXPECT_EQ(out.str(),
            "group,1,2,3,4,5,6,7\n"
            "\"'=HYPERLINK(\"\"x\"\")\",\"'=1+1\",Off,Off,Off,Off,Off,Off\n"
            "\"'+1\",Off\n\"'-night\",Off\n\"'@SUM(A1)\",Off\n");
}

// Without an operating plan the day cover shows the groups alone, and the
// plan check compares only the shifts each group must work. (With a plan:
// the end-to-end cases cmd_show_example and cmd_check_*.)
TEST(GridTextTest, WithoutAnOperatingPlanOnlyRequiredShiftsCount) {
  CPlanFigures figures;
  figures.vShiftLengths = {0, 8, 10};
  figures.vShiftsRequired = {4, 2, 1};
  std::ostringstream cover;
  WriteDayCover(cover, TwoGroups(), figures);
  EXPECT_EQ(cover.str().substr(0, cover.str().find("Tue")),
            "Groups per shift      Off      Day    Night   (no operating plan)\n"
            "week 1 Mon              1        1        0\nweek 1 ");
  // show marks what check lists.
  const struct {
    std::vector<int> south;
    std::string check;
    std::string south_days;
  } cases[] = {
      {{0, 1, 1, 1, 0, 2, 0},
       "South, East: Off on 3 days, required 4\n"
       "South, East: Day on 3 days, required 2\nplan does not hold\n",
       "South, East        3/4!     3/2!      1/1\n"},
      {{0, 1, 1, 0, 0, 2, 0}, "plan holds\n", "South, East         4/4      2/2      1/1\n"},
  };
  for (const auto& c : cases) {
    CRosterGrid grid = TwoGroups();
    grid.vCells[1] = c.south;
    std::ostringstream out;
    WritePlanCheck(out, grid, PlanDifferences(grid, figures));
    EXPECT_EQ(out.str(), c.check);
    std::ostringstream days;
    WriteShiftDays(days, grid, figures);
    EXPECT_EQ(days.str(),
              "Days per shift      Off      Day    Night   (days in the cycle/required, ! = not as "
              "required)\n"
              "North               4/4      2/2      1/1\n" +
                  c.south_days);
  }
}

// A cell wider than its shift's name widens the column, so the columns
// after it stay in line.
TEST(GridTextTest, WideCellsWidenTheirColumn) {
  CPlanFigures figures;
  figures.vShiftLengths = {0, 8, 10};
  figures.vShiftsRequired = {4, 1000000, 1};
  std::ostringstream days;
  WriteShiftDays(days, TwoGroups(), figures);
  EXPECT_EQ(days.str(),
            "Days per shift      Off         Day    Night   (days in the cycle/required, ! = not "
            "as required)\n"
            "North               4/4  2/1000000!      1/1\n"
            "South, East        3/4!  3/1000000!      1/1\n");
}

// Weeks are counted from 1 in the text and from 0 in the range. (What show
// prints for a range: the end-to-end cases cmd_show_weeks and
// cmd_usage_weeks_beyond.)
TEST(GridTextTest, WeekRangesReadOneWeekOrFirstToLast) {
  const struct {
    const char* text;
    std::optional<std::pair<int, int>> range;
  } cases[] = {
      {"3", std::pair{2, 2}},        {"2-5", std::pair{1, 4}},
      {"4-4", std::pair{3, 3}},      {"5-2", std::nullopt},
      {"0", std::nullopt},           {"0-2", std::nullopt},
      {"-3", std::nullopt},          {"3-", std::nullopt},
      {"1-2-3", std::nullopt},       {"", std::nullopt},
      {"+2", std::nullopt},          {"2 ", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<CWeekRange> range = ParseWeekRange(c.text);
    ASSERT_EQ(range.has_value(), c.range.has_value()) << c.text;
    if (range) {
      EXPECT_EQ(std::pair(range->iFirst, range->iLast), *c.range) << c.text;
    }
  }
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
