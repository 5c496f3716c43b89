// Reading a rated constraint's place from its formula: which group and which
// week, day or block of the roster the constraint rates, and the same place
// as a short text for the planner.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "roster_view.h"

// The coordinates a formula names; -1 where it names none.
struct CPlace {
  int iGroup = -1;
  int iWeek = -1;
  int iDay = -1;
  int iBlock = -1;
};

// The decimal numbers in brackets, in order ("block[2][13]" gives 2, 13).
// A bracket that holds no number ends the list.
std::vector<int> BracketedIndices(std::string_view formula);

// The place a constraint of branch `branch` rates. The first index is the
// group. The second is a week for WORKINGHOURS, DIFFHOURS and BADWEEKENDS, a
// block for SHIFTBLOCKS and nothing for FREEWEEKENDS; for other branches the
// formula's name decides: one holding "week", "day" or "block" gives that
// coordinate.
CPlace DecodePlace(std::string_view branch, std::string_view formula);

// The blocks of consecutive working days of one row, counted as the domain
// counts them for the evaluation: a block reaching the row's last day is
// not counted.
struct CBlockSpan {
  int iStart = 0;
  int iSize = 0;
};
std::vector<CBlockSpan> BlocksOfRow(const std::vector<int>& row);

// The days of the block a constraint rates, in the grid's row of its group;
// nothing when it rates no block or the row has no such block.
std::optional<CBlockSpan> BlockOf(const CRatedConstraint& constraint, const CRosterGrid& grid);

// The place of a rated constraint as text, weeks, days and blocks counted
// from 1: "week 3", "weeks 3-4" (a change or a pair of weekends), "block 2
// (days 8-12)" (the days taken from the grid's row), "day 17 (week 3)";
// empty when the formula names nothing beyond the group.
std::string DescribePlace(const CRatedConstraint& constraint, const CRosterGrid& grid);

// The weeks a constraint concerns, counted from 0: its week (a change or a
// pair of weekends, "weeks 3-4", the week and the one after it), the weeks
// its block's days fall in, or the week of its day; none (-1, -1) when its
// place names none of these.
struct CWeekSpan {
  int iFirst = -1;
  int iLast = -1;
};
CWeekSpan WeeksOf(const CRatedConstraint& constraint, const CRosterGrid& grid);

// The group's name, or its index in brackets when the roster has no such
// group; "-" when the constraint names none.
std::string GroupLabel(const CRatedConstraint& constraint, const CRosterGrid& grid);
