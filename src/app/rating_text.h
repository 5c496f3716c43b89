// A roster's ratings for the planner: the evaluation, the rated constraints
// worst first with their places and a subtotal per branch (as text and as
// JSON), and the constraints whose rating an optimisation changed most.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "roster_view.h"

// The sum of the ratings of one branch and how many there are.
struct CBranchTotal {
  std::string sBranch;
  float fSubtotal = 0;
  int iCount = 0;
};
// By branch name; each subtotal summed in the order of `constraints`.
std::vector<CBranchTotal> BranchTotals(const std::vector<CRatedConstraint>& constraints);

// The evaluation, the first `top` constraints (all when top is 0) in the
// order given, and the subtotals of all of them.
void WriteRatings(std::ostream& out, float evaluation,
                  const std::vector<CRatedConstraint>& constraints, const CRosterGrid& grid,
                  std::size_t top);
// The same as one JSON document; indices in it count from 0, and a
// coordinate the formula does not give is null.
void WriteRatingsJson(std::ostream& out, const std::string& file, float evaluation,
                      const std::vector<CRatedConstraint>& constraints, const CRosterGrid& grid,
                      std::size_t top);

// A roster's rated constraints with the grid they were rated on.
struct CRatedRoster {
  const std::vector<CRatedConstraint>& constraints;
  const CRosterGrid& grid;
};

// The `top` constraints found before and after (same branch, name and
// formula; a block the same group's block from the same day) whose rating
// changed most, largest change first ("No rating changed." when none did),
// and how many were found on one side only.
void WriteRatingChanges(std::ostream& out, const CRatedRoster& before, const CRatedRoster& after,
                        std::size_t top);
