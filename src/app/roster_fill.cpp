// Filling the planner's records from a domain.
#include "roster_fill.h"

#include <algorithm>

#include "analysis.h"
#include "base.h"
#include "text_width.h"

namespace {

constexpr int kDaysPerWeek = 7;

// A name as the planner's view shows it, valid UTF-8 in every text, CSV,
// JSON and HTML output: a name that the reader's byte limit cut inside a
// character loses what is left of that character, and bytes of another
// encoding become the Latin-1 letters they are (ValidUtf8). Only a name of
// the limit's length can be cut: a shorter one that ends in a Latin-1
// letter keeps it.
std::string ShownName(std::string_view name) {
  return ValidUtf8(name.size() >= kNamestrChars ? WholeCharacters(name) : name);
}

}  // namespace

CRosterGrid MakeRosterGrid(const CShiftSchedulingDomain& domain) {
  CRosterGrid grid;
  for (const CGroup& group : domain.GetGroups())
    grid.vGroupNames.push_back(ShownName(group.GetName()));
  for (const CShift& shift : domain.GetShifts())
    grid.vShiftNames.push_back(ShownName(shift.GetName()));
  grid.vCells = domain.GetSchedule();
  grid.iWeeks = domain.GetLengthOfCycle();
  return grid;
}

std::vector<CRatedConstraint> MakeRatedConstraints(const ConstraintEvaluations& list) {
  std::vector<CRatedConstraint> rated;
  rated.reserve(list.size());
  for (const ConstraintEvaluation& entry : list) {
    CRatedConstraint c;
    c.sBranch = entry.GetBranch();
    c.sName = entry.GetName();
    c.sFormula = entry.GetFormula();
    const CPlace place = DecodePlace(c.sBranch, c.sFormula);
    c.iGroup = place.iGroup;
    c.iWeek = place.iWeek;
    c.iDay = place.iDay;
    c.iBlock = place.iBlock;
    c.fValue = entry.GetValue();
    rated.push_back(std::move(c));
  }
  return rated;
}

// Cells of one plan day naming the same shift add up; cells naming no shift
// of the domain are left out.
CPlanFigures MakePlanFigures(const CShiftSchedulingDomain& domain) {
  CPlanFigures figures;
  for (const CShift& shift : domain.GetShifts()) {
    figures.vShiftLengths.push_back(shift.GetLength());
    figures.vShiftsRequired.push_back(shift.GetShiftsRequired());
  }
  const COperatingMatrix& plan = domain.GetOperating();
  if (plan.empty()) return figures;
  const std::size_t shifts = figures.vShiftLengths.size();
  const std::size_t days = static_cast<std::size_t>(kDaysPerWeek * domain.GetLengthOfCycle());
  figures.vRequired.assign(days, std::vector<int>(shifts, 0));
  for (std::size_t day = 0; day < days; ++day) {
    for (const COperating& cell : plan[day % plan.size()]) {
      const auto shift = static_cast<std::size_t>(cell.GetShift());
      if (cell.GetShift() >= 0 && shift < shifts) figures.vRequired[day][shift] += cell.GetNumber();
    }
  }
  return figures;
}

std::vector<std::vector<float>> WeeklyHours(const CRosterGrid& grid,
                                            const std::vector<float>& lengths) {
  std::vector<std::vector<float>> hours;
  for (const std::vector<int>& row : grid.vCells) {
    std::vector<float> weeks(static_cast<std::size_t>(std::max(grid.iWeeks, 0)), 0.0F);
    for (std::size_t day = 0; day < row.size(); ++day) {
      const auto week = day / kDaysPerWeek;
      const auto shift = static_cast<std::size_t>(row[day]);
      if (week < weeks.size() && row[day] >= 0 && shift < lengths.size()) {
        weeks[week] += lengths[shift];
      }
    }
    hours.push_back(std::move(weeks));
  }
  return hours;
}

std::vector<std::vector<int>> GroupsPerShift(const CRosterGrid& grid) {
  const std::size_t days = static_cast<std::size_t>(kDaysPerWeek * std::max(grid.iWeeks, 0));
  std::vector<std::vector<int>> counts(days, std::vector<int>(grid.vShiftNames.size(), 0));
  for (const std::vector<int>& row : grid.vCells) {
    for (std::size_t day = 0; day < row.size() && day < days; ++day) {
      const auto shift = static_cast<std::size_t>(row[day]);
      if (row[day] >= 0 && shift < grid.vShiftNames.size()) ++counts[day][shift];
    }
  }
  return counts;
}
