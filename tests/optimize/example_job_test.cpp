// The main job on the bundled example: a bounded iterative deepening must hand
// back a roster that keeps every day's and every team's shift counts and rates
// higher than the roster it started from.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "domtarn.h"
#include "optimize.h"
#include "optimize_test_support.h"

namespace {

namespace fs = std::filesystem;
using optimize_test::OptimizeTest;

class ExampleDomain : public CShiftSchedulingDomain {
 public:
  using CShiftSchedulingDomain::CheckPlan;
};

using Counts = std::map<int, int>;

// How often each shift occurs in every row (team) and in every column (day).
std::vector<Counts> TeamCounts(const CIntMatrix& schedule) {
  std::vector<Counts> counts;
  for (const std::vector<int>& row : schedule) {
    Counts& team = counts.emplace_back();
    for (int shift : row) ++team[shift];
  }
  return counts;
}

std::vector<Counts> DayCounts(const CIntMatrix& schedule) {
  std::vector<Counts> counts(schedule.empty() ? 0 : schedule[0].size());
  for (const std::vector<int>& row : schedule) {
    for (std::size_t d = 0; d < row.size() && d < counts.size(); ++d) ++counts[d][row[d]];
  }
  return counts;
}

using ExampleJobTest = OptimizeTest;

TEST_F(ExampleJobTest, BoundedDeepeningKeepsTheCountsAndImprovesTheRoster) {
  for (const char* name : {"plant.dom", "plant.scr", "plant.tab"}) {
    fs::copy_file(fs::path(DOMTARN_EXAMPLES_DIR) / name, name,
                  fs::copy_options::overwrite_existing);
  }
  CShiftSchedulingDomain::ResetRepairState();
  ExampleDomain domain;
  domain.Read(std::string("plant.dom"));
  const CIntMatrix start = domain.GetSchedule();
  const float before = domain.Evaluate();

  {
    Capture quiet;  // a line per move: not checked here
    COptimize optimizer(&domain);
    optimizer.SetLimits(COptimizeLimits{300, 0});
    optimizer.RepairDeep();
  }

  const CIntMatrix& result = domain.GetSchedule();
  EXPECT_NE(result, start);
  EXPECT_EQ(TeamCounts(result), TeamCounts(start));
  EXPECT_EQ(DayCounts(result), DayCounts(start));
  EXPECT_TRUE(domain.CheckPlan());
  EXPECT_GT(domain.Evaluate(), before);
}

}  // namespace
