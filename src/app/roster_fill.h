// Filling the planner's records from a domain: the roster grid, the rated
// constraints of the latest evaluation with their places, and what the plan
// asks for (shift lengths, required shifts per group, groups per day).
#pragma once

#include <string>
#include <vector>

#include "domtarn.h"
#include "roster_view.h"

// The grid of the domain's schedule, group and shift names included.
CRosterGrid MakeRosterGrid(const CShiftSchedulingDomain& domain);

// Rated constraints in the given order, each with the place its formula names.
std::vector<CRatedConstraint> MakeRatedConstraints(const ConstraintEvaluations& list);

// What a roster is held against, beside the grid.
struct CPlanFigures {
  std::vector<float> vShiftLengths;  // hours, by shift index
  std::vector<int> vShiftsRequired;  // days per cycle every group works the shift
  // vRequired[day][shift]: groups the operating plan asks for on that day of
  // the cycle (the plan repeats over the cycle); empty without a plan.
  std::vector<std::vector<int>> vRequired;
};
CPlanFigures MakePlanFigures(const CShiftSchedulingDomain& domain);

// vHours[group][week]: hours worked, summed in day order as the evaluation
// sums them (a day off adds the length of shift 0).
std::vector<std::vector<float>> WeeklyHours(const CRosterGrid& grid,
                                            const std::vector<float>& lengths);

// vCounts[day][shift]: groups working each shift on each day.
std::vector<std::vector<int>> GroupsPerShift(const CRosterGrid& grid);
