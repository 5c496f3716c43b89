// Hand-made report data for the report's tests: rosters shaped like the
// example plant's (teams, a day shift, weekend duties) in any size, rated
// constraints for every team and week, and an optimisation's trajectory.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report.h"

// Shift 1 on most weekdays, shifts 2 and 3 on some weekends.
inline CRosterGrid MakePlantGrid(int groups, int weeks) {
  CRosterGrid grid;
  grid.vShiftNames = {"Off", "Day", "WeekendDuty", "SaturdayPair"};
  grid.iWeeks = weeks;
  for (int g = 0; g < groups; ++g) {
    grid.vGroupNames.push_back("Team" + std::to_string(g));
    std::vector<int> row;
    for (int d = 0; d < 7 * weeks; ++d) {
      const int week = d / 7;
      const int weekday = d % 7;
      if (weekday < 5)
        row.push_back((g + d) % 5 != 0 ? 1 : 0);
      else if (weekday == 5)
        row.push_back((g + week) % 3 == 0 ? 3 : (g + week) % 3 == 1 ? 2 : 0);
      else
        row.push_back((g + week) % 2 == 0 ? 2 : 0);
    }
    grid.vCells.push_back(row);
  }
  return grid;
}

// A rating between 0 and 1 that varies from place to place.
inline float PlantRating(int seed) {
  return std::fmod(0.37f * static_cast<float>(seed) + 0.11f, 1.0f);
}

inline CRatedConstraint Rated(std::string branch, std::string name, std::string formula, int group,
                              int week, int day, int block, float value) {
  CRatedConstraint c;
  c.sBranch = std::move(branch);
  c.sName = std::move(name);
  c.sFormula = std::move(formula);
  c.iGroup = group;
  c.iWeek = week;
  c.iDay = day;
  c.iBlock = block;
  c.fValue = value;
  return c;
}

// The kinds of constraint the example script rates, for every team.
inline std::vector<CRatedConstraint> MakePlantConstraints(int groups, int weeks, int seed) {
  std::vector<CRatedConstraint> all;
  auto place = [](const char* word, int a, int b) {
    return std::string(word) + "[" + std::to_string(a) + "][" + std::to_string(b) + "]";
  };
  for (int g = 0; g < groups; ++g) {
    for (int w = 0; w < weeks; ++w)
      all.push_back(Rated("WORKINGHOURS", "hours_ok", place("week", g, w), g, w, -1, -1,
                          PlantRating(seed + 7 * g + 3 * w)));
    for (int w = 0; w + 1 < weeks; ++w)
      all.push_back(Rated("DIFFHOURS", "change_ok", place("change", g, w), g, w, -1, -1,
                          PlantRating(seed + 5 * g + 11 * w + 1)));
    for (int j = 0; j < 3; ++j)
      all.push_back(Rated("SHIFTBLOCKS", "block_ok", place("block", g, j), g, -1, -1, j,
                          PlantRating(seed + 13 * g + j + 2)));
    all.push_back(Rated("FREEWEEKENDS", "free_ok", place("free", g, 0), g, -1, -1, -1,
                        PlantRating(seed + g + 3)));
  }
  return all;
}

inline float SumOf(const std::vector<CRatedConstraint>& constraints) {
  float sum = 0;
  for (const CRatedConstraint& c : constraints) sum += c.fValue;
  return sum;
}

// The roster alone, as "domtarn report" shows it.
inline CReportData MakePlantReport(int groups, int weeks) {
  CReportData data;
  data.sTitle = "plant.dom";
  data.cBefore.cGrid = MakePlantGrid(groups, weeks);
  data.cBefore.vConstraints = MakePlantConstraints(groups, weeks, 0);
  data.cBefore.fEvaluation = SumOf(data.cBefore.vConstraints);
  return data;
}

// An optimisation: the after roster exchanges a few cells between teams on
// the same day, and the trajectory climbs with a noisy current evaluation.
inline CReportData MakePlantOptimisation(int groups, int weeks, std::size_t points) {
  CReportData data = MakePlantReport(groups, weeks);
  CReportRoster after = data.cBefore;
  for (int d = 2; groups > 1 && d < 7 * weeks; d += 9) {
    const int a = d % groups;
    const int b = (d + 1) % groups;
    std::swap(after.cGrid.vCells[a][d], after.cGrid.vCells[b][d]);
  }
  after.vConstraints = MakePlantConstraints(groups, weeks, 5);
  after.fEvaluation = SumOf(after.vConstraints);
  data.oAfter = after;
  const float start = data.cBefore.fEvaluation;
  const float gain = after.fEvaluation - start;
  float best = start;
  for (std::size_t i = 0; i < points; ++i) {
    CTrajectoryPoint p;
    p.iEvaluations = static_cast<std::int64_t>(i + 1);
    const float progress = static_cast<float>(i + 1) / static_cast<float>(points);
    p.fCurrent = start + gain * progress - 1.5f * PlantRating(static_cast<int>(i));
    if (p.fCurrent > best) best = p.fCurrent;
    p.fBest = best;
    data.vTrajectory.push_back(p);
  }
  return data;
}
