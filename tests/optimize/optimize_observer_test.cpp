// Tests of the optimizer's settings for batch runs: a fixed seed makes the
// random walk's choices repeat, and the observer sees every evaluation with
// the best value so far, without changing what the optimizer does. (The best
// roster seen, which a batch run writes, is checked by the end-to-end case
// cmd_optimize_seed and the parallel repair's tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "optimize.h"

namespace {

// Every move succeeds and flips the cell of the drawn start day; the rating
// is the evaluation's number modulo 5, so best and current differ.
class WalkDomain : public CShiftSchedulingDomain {
 public:
  explicit WalkDomain(int weeks) {
    LengthOfCycle = weeks;
    schedule.assign(1, std::vector<int>(static_cast<std::size_t>(7 * weeks), 0));
  }
  float Evaluate() override {
    evaluation = static_cast<float>(evaluations++ % 5);
    repairstarts = {{{0, 0}}};
    return evaluation;
  }
  bool Repair(int, int, int& start, int& start2) override {
    starts.emplace_back(start, start2);
    schedule[0][static_cast<std::size_t>(start) % schedule[0].size()] ^= 1;
    return true;
  }
  void ComputeRepairStarts() override {}

  int evaluations = 0;
  std::vector<std::pair<int, int>> starts;
};

struct Walk {
  std::vector<std::pair<int, int>> starts;
  std::string console;
};

Walk RandomWalk(const CSeedSource& seeds, CEvaluationObserver observer = nullptr) {
  WalkDomain domain(5);
  COptimize optimizer(&domain);
  optimizer.SetSeedSource(seeds);
  optimizer.SetObserver(std::move(observer));
  Capture capture;
  optimizer.RepairRandom();
  return {domain.starts, capture.str()};
}

// A walk with the same fixed seed repeats, observed or not; another seed
// walks otherwise.
TEST(OptimizeObserverTest, FixedSeedRepeatsTheWalkAndTheObserverSeesEveryEvaluation) {
  struct Seen {
    std::int64_t evaluations;
    float best, current;
  };
  std::vector<Seen> seen;
  const Walk observed = RandomWalk(CSeedSource::Fixed(7), [&](std::int64_t n, float b, float c) {
    seen.push_back({n, b, c});
  });
  const Walk plain = RandomWalk(CSeedSource::Fixed(7));
  const Walk other = RandomWalk(CSeedSource::Fixed(8));
  ASSERT_EQ(plain.starts.size(), 420U);
  EXPECT_EQ(observed.console, plain.console);
  EXPECT_EQ(observed.starts, plain.starts);
  EXPECT_NE(other.starts, plain.starts);
  // Each pass seeds anew with the next number, so passes do not all draw the
  // same start days, as they would within one second of the clock.
  EXPECT_NE(plain.starts[0], plain.starts[10]);

  ASSERT_EQ(seen.size(), 421U);  // the starting roster and 42 passes of 10 moves
  float best = 0;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].evaluations, static_cast<std::int64_t>(i + 1));
    EXPECT_EQ(seen[i].current, static_cast<float>(i % 5));
    best = i == 0 ? seen[i].current : std::max(best, seen[i].current);
    EXPECT_EQ(seen[i].best, best);
  }
}

}  // namespace
