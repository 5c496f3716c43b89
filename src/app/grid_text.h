// The roster as text for the planner: the grid of shift codes with its
// legend, weekly hours and groups per shift against the operating plan
// ("show"), the differences from the plan ("check"), and the grid as CSV
// ("export").
#pragma once

#include <climits>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "roster_fill.h"
#include "roster_view.h"

// One short code per shift: the shortest common length of first characters
// that tells every shift apart ("Day", "Dawn", "Off" give "Day", "Daw",
// "Off"); a UTF-8 character counts as one and is never cut. Names that no
// length tells apart (the same name twice) get their index instead.
std::vector<std::string> ShiftCodes(const std::vector<std::string>& names);

// The weeks a view shows, counted from 0, first and last included; the
// default shows every week of any roster.
struct CWeekRange {
  int iFirst = 0;
  int iLast = INT_MAX;
  bool Holds(int week) const { return week >= iFirst && week <= iLast; }
};
// "3" or "3-5" (weeks counted from 1, the first not after the last) as a
// range; nothing for any other text.
std::optional<CWeekRange> ParseWeekRange(std::string_view text);

// The grid, one row per group and one column per day, weeks separated and
// weekends in brackets, with the legend above it.
void WriteGrid(std::ostream& out, const CRosterGrid& grid, const CWeekRange& weeks = {});
// Every group's hours in every week.
void WriteWeeklyHours(std::ostream& out, const CRosterGrid& grid, const CPlanFigures& figures,
                      const CWeekRange& weeks = {});
// For every group, the days of the cycle it works each shift against what
// the shift requires of every group; a count that differs is marked.
void WriteShiftDays(std::ostream& out, const CRosterGrid& grid, const CPlanFigures& figures);
// For every day, the groups on each shift against the plan's requirement;
// counts below and above it are marked, and days that fall short.
void WriteDayCover(std::ostream& out, const CRosterGrid& grid, const CPlanFigures& figures,
                   const CWeekRange& weeks = {});

// One difference from the plan: a day and shift whose group count differs
// from the operating plan (iGroup -1), or a group that works a shift on
// another number of days than the shift requires (iDay -1).
struct CPlanDifference {
  int iDay = -1;
  int iGroup = -1;
  int iShift = 0;
  int iCount = 0;
  int iRequired = 0;
};
std::vector<CPlanDifference> PlanDifferences(const CRosterGrid& grid, const CPlanFigures& figures);
// One line per difference, or "plan holds".
void WritePlanCheck(std::ostream& out, const CRosterGrid& grid,
                    const std::vector<CPlanDifference>& differences);

// The grid as CSV: a header row "group" and the day numbers 1 .. days, then
// one row per group with the shift names.
void WriteGridCsv(std::ostream& out, const CRosterGrid& grid);

// "week 2 Tue" for day 8 (days and weeks counted from 1 in the text).
std::string DayLabel(int day);
