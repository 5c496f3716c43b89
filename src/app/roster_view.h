// The planner's view of a roster: the grid of shifts, the rated constraints
// with the place each concerns, and an optimisation's trajectory. Filled from
// a domain by the batch commands; read by the text, CSV and HTML outputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A roster as a grid: one row per group, one column per day of the cycle.
struct CRosterGrid {
  std::vector<std::string> vGroupNames;  // one per row
  // Shift names by shift index; index 0 is the day off.
  std::vector<std::string> vShiftNames;
  // vCells[group][day]: the shift index worked, 0 = day off.
  std::vector<std::vector<int>> vCells;
  int iWeeks = 0;  // the cycle's length in weeks; days = 7 * iWeeks
};

// One rated constraint and the place it concerns, decoded from its formula;
// -1 where the formula does not give that coordinate.
struct CRatedConstraint {
  std::string sBranch;   // the evaluation-tree branch, e.g. "WORKINGHOURS"
  std::string sName;     // the constraint's fuzzy variable
  std::string sFormula;  // the place text the script gave
  int iGroup = -1;
  int iWeek = -1;
  int iDay = -1;
  int iBlock = -1;
  float fValue = 0;  // the rating; lower is worse
};

// One evaluation of an optimisation: how many so far, the best evaluation so
// far and the one just made.
struct CTrajectoryPoint {
  std::int64_t iEvaluations = 0;
  float fBest = 0;
  float fCurrent = 0;
};
