// What the files of the HTML report share: report.cpp assembles the page,
// report_grid.cpp draws the roster grids and report_chart.cpp the trajectory
// chart; report_html.cpp holds the helpers they all use.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "roster_view.h"

namespace report_html {

// The grid's columns come in weeks of seven days, Monday first.
inline constexpr int kDaysPerWeek = 7;

// Text from the data, safe in element content and in quoted attributes, and
// valid UTF-8 whatever bytes the data holds (ValidUtf8).
std::string Escape(std::string_view text);

// A group name as the page shows it: cut to kGroupNameChars as Shorten
// cuts it, unless that makes it look like another name of the roster cut
// so (names such as "Night-coverage-team-01-North-Wing" that differ in the
// middle): then the part of the name around the first character where it
// departs from such a name, so that every group keeps a label of its own.
std::string ShownGroupName(const CRosterGrid& grid, const std::string& name);

// `value` with `decimals` decimals; "nan", "inf" or "-inf" when not finite.
std::string Fixed(double value, int decimals);
// `value` as printf's %g writes it.
std::string General(double value);

// The colour "#rrggbb" of the three components (0 to 255).
std::string HexColour(int red, int green, int blue);
// Whether text on this colour reads better in white than in black.
bool IsDark(const std::string& colour);

// `count` (at least 1) in parts of at most `most`, as even as they come: the
// size of each.
int EvenPart(int count, int most);

// The days of the grid's cycle and the number of its groups (rows).
inline int DayCount(const CRosterGrid& grid) {
  return std::max(grid.iWeeks, 0) * kDaysPerWeek;
}

inline int GroupCount(const CRosterGrid& grid) {
  return static_cast<int>(grid.vCells.size());
}

// The shift at a cell, -1 where the row is too short.
inline int CellAt(const CRosterGrid& grid, int group, int day) {
  if (group < 0 || group >= GroupCount(grid)) return -1;
  const std::vector<int>& row = grid.vCells[group];
  return day >= 0 && day < static_cast<int>(row.size()) ? row[day] : -1;
}

// The name of a group, or "group <n>" (n counted from 1) for one the roster
// gives no name.
inline std::string GroupName(const CRosterGrid& grid, int group) {
  if (group >= 0 && group < static_cast<int>(grid.vGroupNames.size()))
    return grid.vGroupNames[group];
  return "group " + std::to_string(std::int64_t{group} + 1);
}

// The grid (report_grid.cpp).

// The highest shift index shown on the page, from the names and the cells.
int HighestShift(const CRosterGrid& grid);

// One rule per shift colour, for SVG cells (fill) and legend swatches.
void WriteShiftStyle(std::ostream& out, int highest);

// The legend of a grid's shift colours and of the weekend shading; with
// `showChanged` also of the outline of a changed cell.
void WriteLegend(std::ostream& out, const CRosterGrid& grid, bool showChanged);

// The grid as one drawing. A roster of more than kPrintWeeks weeks or
// kPrintGroups groups would print too small to read on a page; for print it
// is drawn again in tiles of at most that many weeks and groups, as even as
// they come: for each run of weeks every band of groups in turn. Only print
// shows the tiles, and only the screen the whole drawing then.
void WriteGrid(std::ostream& out, const CRosterGrid& grid,
               const std::vector<std::pair<int, int>>& changed);

// The trajectory chart (report_chart.cpp).

// A page of its own with the chart of an optimisation's best and current
// evaluation against the number of evaluations.
void WriteTrajectoryPage(std::ostream& out, const std::vector<CTrajectoryPoint>& points);

}  // namespace report_html
