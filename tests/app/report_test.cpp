// Tests of the HTML report's text: data escaped, changed cells outlined
// exactly where the rosters differ, the ten worst constraints in order with
// their places in the words of "evaluate", the heat table's lowest rating per
// group and week, a thinned trajectory, and a whole page for empty and large
// inputs.
#include "report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis.h"
#include "report_data.h"

namespace {

std::string Html(const CReportData& data) {
  std::ostringstream out;
  WriteHtmlReport(out, data);
  return out.str();
}

std::size_t Count(const std::string& text, const std::string& word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    ++count;
  return count;
}

// Every match of the first group of `pattern`, in order.
std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex expression(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), expression);
       it != std::sregex_iterator(); ++it)
    found.push_back((*it)[1]);
  return found;
}

// The text between the first `begin` and the `end` after it.
std::string Between(const std::string& text, const std::string& begin, const std::string& end) {
  const std::size_t from = text.find(begin);
  if (from == std::string::npos) return {};
  const std::size_t to = text.find(end, from);
  return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

TEST(ReportTest, EscapesEveryTextFromTheData) {
  const std::string nasty = "<b>A&B \"q\" 'x'</b>";
  CReportData data = MakePlantOptimisation(2, 1, 3);
  data.sTitle = nasty;
  data.cBefore.cGrid.vGroupNames[0] = nasty;
  data.cBefore.cGrid.vShiftNames[1] = nasty;
  data.cBefore.vConstraints = {Rated(nasty, nasty, nasty, 0, 0, -1, -1, 0.1f)};
  const std::string html = Html(data);
  EXPECT_EQ(Count(html, "<b>"), 0u);
  EXPECT_EQ(Count(html, "A&B"), 0u);
  const std::string escaped = "&lt;b&gt;A&amp;B &quot;q&quot; &#39;x&#39;&lt;/b&gt;";
  // Title and heading; legend; group row in the grid and its name column, in
  // the heat table and in the worst list; branch, name and formula in the
  // worst list and in the heat cell's tooltip.
  EXPECT_EQ(Count(html, escaped), 13u) << html;
}

// Bytes that are no UTF-8 in any text of the data (a domain file in
// Latin-1, a script's place text) reach the page as the characters they
// are in Latin-1 (ValidUtf8), escaped.
TEST(ReportTest, BytesThatAreNoUtf8BecomeCharacters) {
  CReportData data = MakePlantOptimisation(2, 1, 3);
  data.cBefore.cGrid.vGroupNames[0] = "M\xFCller";
  data.cBefore.vConstraints = {Rated("B", "n", "<\xE9\x80>", 0, 0, -1, -1, 0.1f)};
  const std::string html = Html(data);
  EXPECT_NE(html.find(">M\u00fcller<"), std::string::npos);
  EXPECT_NE(html.find("&lt;\u00e9\uFFFD&gt;"), std::string::npos);
  EXPECT_EQ(html.find('\xFC'), std::string::npos);
}

// Changed cells are outlined in both grids, each once; the cells of a group
// only the after roster has, in the after grid alone.
TEST(ReportTest, OutlinesExactlyTheCellsThatDiffer) {
  const struct {
    const char* what;
    std::vector<std::pair<int, int>> swaps;  // (group, day): exchanged with group + 1
    std::set<std::string> expected;
    bool newGroup = false;
  } cases[] = {
      {"identical rosters", {}, {}},
      {"one exchange", {{0, 0}}, {"0,0", "1,0"}},
      {"exchanges on several days", {{0, 3}, {1, 13}}, {"0,3", "1,3", "1,13", "2,13"}},
      {"a new group", {{0, 3}}, {"0,3", "1,3"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CReportData data = MakePlantReport(3, 2);
    data.cBefore.cGrid.vCells = {{1, 1, 1, 1, 1, 2, 0, 1, 1, 1, 1, 1, 3, 0},
                                 {0, 1, 1, 0, 1, 0, 2, 1, 1, 0, 1, 1, 0, 3},
                                 {1, 0, 1, 1, 0, 3, 0, 0, 1, 1, 1, 0, 2, 0}};
    CReportRoster after = data.cBefore;
    for (const auto& [group, day] : c.swaps)
      std::swap(after.cGrid.vCells[group][day], after.cGrid.vCells[group + 1][day]);
    std::multiset<std::string> expected;
    for (const std::string& cell : c.expected) expected.insert({cell, cell});  // both grids
    if (c.newGroup) {
      after.cGrid.vGroupNames.push_back("New");
      after.cGrid.vCells.push_back(std::vector<int>(14, 1));
      for (int day = 0; day < 14; ++day) expected.insert("3," + std::to_string(day));
    }
    data.oAfter = after;
    const std::vector<std::string> outlined = Matches(Html(data), "data-cell=\"([0-9,]+)\"");
    EXPECT_EQ(std::multiset<std::string>(outlined.begin(), outlined.end()), expected);
  }
}

// A grid of up to eight weeks and twenty groups is one drawing for screen
// and print; a larger one is drawn whole for the screen and again for print
// in tiles of at most eight weeks and twenty groups, as even as they come,
// each with the cells of its days and groups and their outlines, all of one
// size.
TEST(ReportTest, LargeRostersPrintInTilesOfWeeksAndGroups) {
  const struct {
    int groups;
    int weeks;
    std::vector<std::string> tiles;  // the weeks and groups of each printed tile
  } cases[] = {
      {3, 1, {}},
      {20, 8, {}},
      {3, 9, {"weeks 1 to 5", "weeks 6 to 9"}},
      {3, 20, {"weeks 1 to 7", "weeks 8 to 14", "weeks 15 to 20"}},
      {21, 2, {"groups 1 to 11", "groups 12 to 21"}},
      {30,
       9,
       {"weeks 1 to 5, groups 1 to 15", "weeks 1 to 5, groups 16 to 30",
        "weeks 6 to 9, groups 1 to 15", "weeks 6 to 9, groups 16 to 30"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.groups) + " groups, " + std::to_string(c.weeks) + " weeks");
    CReportData data = MakePlantReport(c.groups, c.weeks);
    CReportRoster after = data.cBefore;
    const int lastDay = 7 * c.weeks - 1;
    const int last = c.groups - 1;
    std::swap(after.cGrid.vCells[last - 1][lastDay], after.cGrid.vCells[last][lastDay]);
    data.oAfter = after;
    const std::string html = Html(data);
    const bool tiled = !c.tiles.empty();
    const std::size_t drawings = tiled ? 2 : 1;  // per roster that show the last cell
    EXPECT_EQ(Count(html, "<svg class=\"rg\""), tiled ? 0u : 2u);
    EXPECT_EQ(Count(html, "<svg class=\"rg screen\""), tiled ? 2u : 0u);
    const std::string print = "<svg class=\"rg print\"[^>]*";
    std::vector<std::string> expected = c.tiles;
    expected.insert(expected.end(), c.tiles.begin(), c.tiles.end());
    EXPECT_EQ(Matches(html, print + " weeks, ([^\"]+)\""), expected);
    const std::vector<std::string> sizes =
        Matches(html, print + " (width=\"[0-9]+\" height=\"[0-9]+\")");
    EXPECT_EQ(std::set<std::string>(sizes.begin(), sizes.end()).size(), tiled ? 1u : 0u);
    // The tiles together hold every cell once, as the screen's drawing does.
    const std::string whole = Between(html, "<svg class=\"rg", "</svg>");
    EXPECT_EQ(Count(html, "<rect class=\"s"), 2 * drawings * Count(whole, "<rect class=\"s"));
    // Every drawing of the last cells outlines the two changed ones; only
    // the screen's marks them.
    EXPECT_EQ(Count(html, "<rect class=\"chg\""), 2 * drawings * 2);
    EXPECT_EQ(
        Count(html, "data-cell=\"" + std::to_string(last) + "," + std::to_string(lastDay) + "\""),
        2u);
  }
}

// A heat table of more than 24 weeks is too wide for a printed page: print
// shows its weeks in parts of at most 24, as even as they come, the column
// of constraints without a week in the last; the screen the whole table.
TEST(ReportTest, WideHeatTablesPrintInPartsOfWeeks) {
  const struct {
    int weeks;
    std::vector<std::string> parts;  // the first and last week of each printed part
  } cases[] = {
      {24, {}},
      {25, {"W1-W13", "W14-W25"}},
      {52, {"W1-W18", "W19-W36", "W37-W52"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weeks);
    CReportData data = MakePlantReport(2, c.weeks);
    const std::string html = Html(data);
    const bool parted = !c.parts.empty();
    EXPECT_EQ(Count(html, "<table class=\"heat\">"), parted ? 0u : 1u);
    EXPECT_EQ(Count(html, "<table class=\"heat screen\">"), parted ? 1u : 0u);
    std::vector<std::string> parts;
    std::vector<std::size_t> withoutWeek;
    for (std::size_t at = html.find("<table class=\"heat print\">"); at != std::string::npos;
         at = html.find("<table class=\"heat print\">", at + 1)) {
      const std::string table = html.substr(at, html.find("</table>", at) - at);
      const std::vector<std::string> weeks = Matches(table, "<th>(W[0-9]+)</th>");
      parts.push_back(weeks.front() + "-" + weeks.back());
      withoutWeek.push_back(Count(table, "<th>no week</th>"));
      // Every group's row holds a cell for each column.
      EXPECT_EQ(Count(table, "<td"), 2 * (weeks.size() + withoutWeek.back()));
    }
    EXPECT_EQ(parts, c.parts);
    if (parted) {
      EXPECT_EQ(withoutWeek.back(), 1u);
      EXPECT_EQ(Count(html, "<th>no week</th>"), 2u);  // the screen's table and the last part
    }
  }
}

TEST(ReportTest, ListsTheTenWorstLowestFirst) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  CReportData data = MakePlantReport(2, 2);
  const float values[] = {0.9f, nan, 0.3f, 0.5f, 0.1f, 0.7f, 0.3f, 0.8f, 0.2f, 0.6f, 0.4f, 0.3f};
  data.cBefore.vConstraints.clear();
  for (int i = 0; i < static_cast<int>(std::size(values)); ++i) {
    std::string name = "c";  // appended to: GCC 12 warns wrongly of "c" + std::to_string(i)
    name += std::to_string(i);
    data.cBefore.vConstraints.push_back(Rated("B", name, "f", i % 2, -1, i, -1, values[i]));
  }
  const std::string table = Between(Html(data), "<table class=\"worst\">", "</table>");
  const std::vector<std::string> names = Matches(table, "<td>B</td><td>(c[0-9]+)</td>");
  // A rating that is not a number comes first; equal ratings keep their
  // order; the ratings 0.8 and 0.9 fall off.
  EXPECT_EQ(names, (std::vector<std::string>{"c1", "c4", "c8", "c2", "c6", "c11", "c10", "c3", "c9",
                                             "c5"}));
  EXPECT_EQ(Matches(table, "<td class=\"r\" style=\"[^\"]*\">([0-9.]+)</td>").front(), "0.100");
}

// The worst list names every place as "evaluate" does; blocks with their
// days from the roster's row. (The terminal's and the JSON's place columns:
// the end-to-end cases cmd_evaluate_example and cmd_evaluate_json.)
TEST(ReportTest, WorstListGivesThePlaceAsTheTerminalDoes) {
  CReportData data = MakePlantReport(2, 2);
  // Team0 works days 2-10 and 12-13; it has no third block.
  const struct {
    const char* branch;
    const char* formula;
    const char* place;
  } cases[] = {
      {"WORKINGHOURS", "week[0][1]", "week 2"},
      {"DIFFHOURS", "change[0][0]", "weeks 1-2"},
      {"BADWEEKENDS", "weekends[0][0]", "weeks 1-2"},
      {"SHIFTBLOCKS", "block[0][0]", "block 1 (days 2-10)"},
      {"SHIFTBLOCKS", "block[0][1]", "block 2 (days 12-13)"},
      {"SHIFTBLOCKS", "block[0][2]", "block 3"},
      {"FREEWEEKENDS", "free[0][0]", ""},
      {"NIGHTS", "day[0][4]", "day 5 (week 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formula);
    const CPlace place = DecodePlace(c.branch, c.formula);
    data.cBefore.vConstraints = {
        Rated(c.branch, "ok", c.formula, place.iGroup, place.iWeek, place.iDay, place.iBlock, 0)};
    const std::string shown = *c.place != '\0' ? c.place : "\u2013";
    EXPECT_NE(Html(data).find(std::string("<td>Team0</td><td>") + shown + "</td><td>" + c.formula +
                              "</td>"),
              std::string::npos);
  }
}

TEST(ReportTest, HeatTableShowsTheLowestRatingPerGroupAndWeek) {
  CReportData data = MakePlantReport(2, 2);
  // Group 1 works days 6 to 10, a block in both weeks.
  data.cBefore.cGrid.vCells[1] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0};
  data.cBefore.vConstraints = {
      Rated("A", "a", "", 0, 0, -1, -1, 0.8f), Rated("A", "a", "", 0, 0, -1, -1, 0.25f),
      // No week: the week of the day.
      Rated("A", "a", "", 0, -1, 12, -1, 0.5f), Rated("A", "a", "", 1, -1, 3, -1, 0.75f),
      // A change of hours: its week and the next; a block: the weeks of its days.
      Rated("DIFFHOURS", "a", "", 0, 0, -1, -1, 0.3f), Rated("A", "a", "", 1, -1, -1, 0, 0.6f),
      // Neither week, day nor block: the column of constraints without a week.
      Rated("A", "a", "", 1, -1, -1, -1, 0.1f),
      // No group, or one outside the roster: not in the table.
      Rated("A", "a", "", -1, 0, -1, -1, 0.0f), Rated("A", "a", "", 7, 0, -1, -1, 0.0f)};
  const std::string table = Between(Html(data), "<table class=\"heat\">", "</table>");
  const std::vector<std::string> cells = Matches(table, "<td[^>]*>([^<]*)</td>");
  EXPECT_EQ(cells, (std::vector<std::string>{"0.25", "0.30", "\u2013", "0.60", "0.60", "0.10"}));
  EXPECT_NE(table.find("<th>no week</th>"), std::string::npos);
  // Worst is red, best green.
  data.cBefore.vConstraints = {Rated("A", "a", "", 0, 0, -1, -1, 0.0f),
                               Rated("A", "a", "", 0, 1, -1, -1, 1.0f)};
  const std::string colours = Between(Html(data), "<table class=\"heat\">", "</table>");
  EXPECT_EQ(Matches(colours, "background:(#[0-9a-f]+)"),
            (std::vector<std::string>{"#d73027", "#1a9850"}));
  EXPECT_EQ(Count(colours, "no week"), 0u);
}

// The grid's column of group names is as wide as the longest name shown
// (cut to 18 characters and an ellipsis), at 12 pixels a Latin character and
// 16 any other, so that no name runs off the picture; the cells start right
// of it.
TEST(ReportTest, NameColumnFitsTheLongestName) {
  const struct {
    std::string name;
    int head;  // the width of the name column
  } cases[] = {{"Team0", 140},
               {std::string(15, 'W'), 15 * 12 + 12},
               {std::string(40, 'W'), 18 * 12 + 16 + 12},
               // Wide letters and the ellipsis are given a third more.
               {"\u00c4" + std::string(14, 'W'), 15 * 12 + 12},
               {std::string(6, 'W') + "\u0416\u0416\u0416\u65e5", 6 * 12 + 4 * 16 + 12},
               {"\u0416" + std::string(39, 'W'), 17 * 12 + 2 * 16 + 12}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CReportData data = MakePlantReport(2, 1);
    data.cBefore.cGrid.vGroupNames[1] = c.name;
    const std::string html = Html(data);
    EXPECT_EQ(Matches(html, "<text class=\"gn\" x=\"([0-9]+)\"")[1], std::to_string(c.head - 6));
    EXPECT_EQ(Matches(html, "<rect class=\"ln\" x=\"([0-9]+)\"")[0], std::to_string(c.head));
  }
}

// A name cut to fit keeps its beginning and its end, where names of one
// roster differ, and the whole name as its tooltip, in the drawing and in
// the tables; a name that fits has none.
TEST(ReportTest, CutNamesKeepBothEndsAndTheWholeNameAsTooltip) {
  CReportData data = MakePlantReport(2, 1);
  const std::string long_name = "Ward North " + std::string(20, 'W') + " Team \u00e41";
  data.cBefore.cGrid.vGroupNames[1] = long_name;
  // One character more than fits is no wider than its cut form: it stays.
  const std::string one_more = "ABCDEFGHIJKLMNOPQRS";
  data.cBefore.cGrid.vGroupNames[0] = one_more;
  const std::string html = Html(data);
  EXPECT_GE(Count(html, "<th>" + one_more + "</th>"), 1u);
  EXPECT_EQ(Count(html, "title=\"" + one_more + "\""), 0u);
  EXPECT_GE(Count(html, "<title>" + long_name + "</title>"), 1u);
  EXPECT_GE(Count(html, "<th title=\"" + long_name + "\">Ward Nort\u2026W Team \u00e41</th>"), 1u);
}

// Names that differ only in their middle would look alike cut at both
// ends; each then shows the part around where it departs from the others,
// and keeps the whole name as its tooltip.
TEST(ReportTest, NamesAlikeAtBothEndsKeepLabelsOfTheirOwn) {
  CReportData data = MakePlantReport(3, 1);
  const auto name = [](int team) {
    return "Night-and-weekend-coverage-team-0" + std::to_string(team) + "-North-Wing";
  };
  for (int team = 0; team < 3; ++team) data.cBefore.cGrid.vGroupNames[team] = name(team);
  const std::string html = Html(data);
  for (int team = 0; team < 3; ++team) {
    SCOPED_TRACE(team);
    const std::string label = "\u2026e-team-0" + std::to_string(team) + "-North-\u2026";
    EXPECT_EQ(Count(html, "<th title=\"" + name(team) + "\">" + label + "</th>"), 1u);
    // In the grid and in its name column.
    EXPECT_EQ(Count(html, ">" + label + "<title>" + name(team) + "</title>"), 2u);
  }
}

// The page says where the roster shown last leaves the operating plan.
TEST(ReportTest, SaysWhenTheRosterLeavesThePlan) {
  const struct {
    bool optimised;
    std::size_t before, after;
    std::string said;  // empty: nothing said
  } cases[] = {
      {false, 0, 0, ""},
      {false, 1, 0, "The roster departs from the operating plan in 1 place"},
      {true, 3, 0, ""},
      {true, 0, 44, "The optimised roster departs from the operating plan in 44 places"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    CReportData data = c.optimised ? MakePlantOptimisation(2, 1, 3) : MakePlantReport(2, 1);
    data.cBefore.iPlanDepartures = c.before;
    if (data.oAfter) data.oAfter->iPlanDepartures = c.after;
    const std::string html = Html(data);
    EXPECT_EQ(Count(html, "<p class=\"warn\">"), c.said.empty() ? 0u : 1u);
    if (!c.said.empty()) {
      EXPECT_EQ(Count(html, c.said), 1u);
    }
  }
}

TEST(ReportTest, ThinsALongTrajectoryAndKeepsItsPeaks) {
  CReportData data = MakePlantOptimisation(12, 8, 100000);
  for (CTrajectoryPoint& p : data.vTrajectory) p.fCurrent = 0;
  data.vTrajectory[31415].fCurrent = -100;
  data.vTrajectory[71828].fCurrent = 100;
  const std::string html = Html(data);
  EXPECT_LT(html.size(), 250'000u);
  const std::string line = Between(html, "<polyline class=\"cur\" points=\"", "\"/>");
  const std::vector<std::string> ys = Matches(line, ",([0-9.]+)");
  EXPECT_LE(ys.size(), 2002u);
  std::vector<double> values;
  for (const std::string& y : ys) values.push_back(std::stod(y));
  // The two peaks are the extremes of the chart's range, 5% inside its edges.
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  EXPECT_GT(*high - *low, 0.85 * (380 - 40 - 56));
}

// An optimisation's page says how it ran; a report of a roster alone has
// no such line.
TEST(ReportTest, SaysHowTheOptimisationRan) {
  CReportData data = MakePlantOptimisation(2, 1, 3);
  data.sRun = "Random repair, seed 7, at most 3 evaluations; ended at its bound.";
  EXPECT_EQ(Count(Html(data), "<p class=\"note\">" + data.sRun + "</p>"), 1u);
  data.sRun.clear();
  EXPECT_EQ(Count(Html(data), "Random repair"), 0u);
}

// The trajectory page says when the best evaluation was first reached, not
// only how long the run went on.
TEST(ReportTest, TrajectorySaysWhenTheBestWasReached) {
  CReportData data = MakePlantOptimisation(2, 1, 3);
  data.vTrajectory = {{1, 80, 80}, {2, 85, 85}, {3, 90, 90}, {4, 90, 70}, {5, 90, 88}};
  const std::string html = Html(data);
  EXPECT_NE(html.find("<p>5 evaluations; best 90, first reached at evaluation 3.</p>"),
            std::string::npos);
  // The best so far is drawn as steps: it changes at an evaluation; the
  // evaluations are counted whole on the axis.
  const std::vector<std::string> best =
      Matches(Between(html, "<polyline class=\"best\" points=\"", "\"/>"), "([0-9.]+,[0-9.]+)");
  ASSERT_EQ(best.size(), 7u);
  EXPECT_EQ(best[1].substr(0, best[1].find(',')), best[2].substr(0, best[2].find(',')));
  EXPECT_EQ(best[0].substr(best[0].find(',')), best[1].substr(best[1].find(',')));
  for (const std::string& tick : Matches(html, "text-anchor=\"middle\">([0-9.]+)</text>")) {
    EXPECT_EQ(tick.find('.'), std::string::npos) << tick;
  }
}

TEST(ReportTest, SummaryShowsTheGainAsTheEvaluationsShowIt) {
  const struct {
    float before;
    float after;
    const char* expected;
  } cases[] = {{110.06f, 110.86f, "Evaluation 110.06 before, 110.86 after (+0.8)"},
               {41.59f, 41.59f, "Evaluation 41.59 before, 41.59 after (+0)"},
               {3.5f, 1.25f, "Evaluation 3.5 before, 1.25 after (-2.25)"},
               {0.0f, 0.0f, "Evaluation 0 before, 0 after (+0)"}};
  for (const auto& c : cases) {
    CReportData data = MakePlantOptimisation(2, 1, 0);
    data.cBefore.fEvaluation = c.before;
    data.oAfter->fEvaluation = c.after;
    EXPECT_NE(Html(data).find(c.expected), std::string::npos) << c.expected;
  }
}

TEST(ReportTest, EmptyInputsGiveAWholePage) {
  CReportData empty;
  CReportData noCells = MakePlantOptimisation(3, 0, 0);
  CReportData noGroups = MakePlantOptimisation(0, 2, 1);
  CReportData shortRows = MakePlantOptimisation(2, 2, 2);
  shortRows.cBefore.cGrid.vCells[1].resize(3);
  shortRows.cBefore.cGrid.vShiftNames.clear();
  shortRows.cBefore.cGrid.vGroupNames.clear();
  shortRows.vTrajectory[0].fCurrent = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* what;
    const CReportData& data;
    std::size_t pages;
  } cases[] = {{"default data", empty, 1},
               {"no weeks, no trajectory", noCells, 3},
               {"no groups, one point", noGroups, 3},
               {"short rows, no names, nan", shortRows, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string html = Html(c.data);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
    EXPECT_EQ(html.substr(html.size() - 16), "</body>\n</html>\n");
    EXPECT_EQ(Count(html, "<section class=\"page\">"), c.pages);
    for (const char* tag : {"section", "svg", "table", "div", "tr", "p"})
      EXPECT_EQ(
          Count(html, std::string("<") + tag + ">") + Count(html, std::string("<") + tag + " "),
          Count(html, std::string("</") + tag + ">"))
          << tag;
    EXPECT_EQ(Count(html, "nan"), 0u);
  }
}

}  // namespace
