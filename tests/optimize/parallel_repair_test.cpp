// Tests of random repair on several threads, on scripted domains: the bound
// on evaluations holds for all workers together and is met exactly, and the
// best roster of all is kept with ties going to the lowest worker. (Runs of
// the bundled example that repeat exactly for the same seed and number of
// workers, each worker's files apart: the end-to-end test parallel_repeat.)
#include "parallel_repair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"

namespace {

namespace fs = std::filesystem;

// Every move flips the cell of the drawn start day; the rating counts the
// cells set, capped at `cap`, so that many rosters tie at the cap. With
// `stuckAt` cells set no move is found any more.
class FlipDomain : public CShiftSchedulingDomain {
 public:
  FlipDomain(int weeks, int cap) : cap(cap) {
    LengthOfCycle = weeks;
    schedule.assign(1, std::vector<int>(static_cast<std::size_t>(7 * weeks), 0));
  }
  float Evaluate() override {
    ++evaluations;
    bDividedByZero = evaluations == divideAt;
    if (bDividedByZero) return -1;
    int set = 0;
    for (const int cell : schedule[0]) set += cell;
    evaluation = static_cast<float>(std::min(set, cap));
    if (firstAtCap.empty() && set >= cap) firstAtCap = schedule;
    repairstarts = {{{0, 0}}};
    return evaluation;
  }
  bool Repair(int, int, int& start, int&) override {
    if (std::count(schedule[0].begin(), schedule[0].end(), 1) >= stuckAt) return false;
    schedule[0][static_cast<std::size_t>(start) % schedule[0].size()] ^= 1;
    return true;
  }
  void ComputeRepairStarts() override {}

  int cap;
  int stuckAt = 1000;
  std::int64_t divideAt = -1;  // the evaluation whose script divides by zero
  std::int64_t evaluations = 0;
  CIntMatrix firstAtCap;
};

struct Outcome {
  std::int64_t evaluations = 0;
  float best = 0;
  CIntMatrix roster;
  std::vector<std::string> consoles;
  std::vector<float> observed;
  bool divided = false;
};

// How the scripted workers behave: the rating's cap, the cells set at which
// moves run out, and the evaluation of worker 1 that divides by zero.
struct FlipSetup {
  int cap = 1000;
  int stuckAt = 1000;
  std::int64_t divideAt = -1;
};

// Runs `workers` scripted workers, each with its output folder under the
// test's working folder.
Outcome RunFlips(std::size_t workers, const COptimizeLimits& limits, const FlipSetup& setup = {},
                 std::vector<std::unique_ptr<FlipDomain>>* kept = nullptr) {
  std::vector<std::unique_ptr<FlipDomain>> domains;
  std::vector<std::unique_ptr<std::ostringstream>> consoles;
  std::vector<CShiftSchedulingDomain*> pointers;
  for (std::size_t i = 0; i < workers; ++i) {
    const fs::path folder = "flip" + std::to_string(i);
    fs::create_directories(folder);
    domains.push_back(std::make_unique<FlipDomain>(3, setup.cap));
    domains.back()->stuckAt = setup.stuckAt;
    if (i == 1) domains.back()->divideAt = setup.divideAt;
    domains.back()->SetOutputFolder(folder.string());
    consoles.push_back(std::make_unique<std::ostringstream>());
    domains.back()->SetOutput(*consoles.back(), *consoles.back());
    pointers.push_back(domains.back().get());
  }
  CParallelRepair repair(pointers);
  repair.SetLimits(limits);
  repair.SetSeed(5);
  Outcome outcome;
  repair.SetObserver([&](std::int64_t n, float, float current) {
    EXPECT_EQ(n, static_cast<std::int64_t>(outcome.observed.size()) + 1);
    outcome.observed.push_back(current);
  });
  repair.Run();
  outcome.evaluations = repair.GetEvaluations();
  outcome.best = repair.GetBestEvaluation();
  outcome.roster = repair.GetBestSchedule();
  outcome.divided = repair.DividedByZero();
  for (const auto& console : consoles) outcome.consoles.push_back(console->str());
  std::int64_t made = 0;
  for (const auto& domain : domains) made += domain->evaluations;
  // Every evaluation is counted, the one that divided by zero included, and
  // the first domain once more at the end.
  EXPECT_EQ(made, outcome.evaluations + (outcome.divided ? 2 : 1));
  EXPECT_EQ(domains.front()->GetSchedule(), outcome.roster);
  if (kept != nullptr) *kept = std::move(domains);
  return outcome;
}

TEST(ParallelRepair, BoundOnEvaluationsHoldsForAllWorkersTogether) {
  struct Case {
    std::size_t workers;
    std::int64_t bound;
  };
  // Whole rounds, a last round shared unevenly, fewer evaluations than
  // workers, and one worker.
  for (const Case c : {Case{2, 400}, Case{2, 251}, Case{3, 7}, Case{3, 2}, Case{1, 150}}) {
    SCOPED_TRACE(std::to_string(c.workers) + " workers, bound " + std::to_string(c.bound));
    const Outcome outcome = RunFlips(c.workers, {c.bound, 0});
    EXPECT_EQ(outcome.evaluations, c.bound);
    EXPECT_EQ(static_cast<std::int64_t>(outcome.observed.size()), c.bound);
    EXPECT_NE(outcome.consoles.front().find("Optimization stopped: limit reached, best evaluation"),
              std::string::npos);
  }
}

TEST(ParallelRepair, UnboundedRunMakesItsRoundsAndKeepsTheBestOfAll) {
  const Outcome outcome = RunFlips(2, {});
  EXPECT_EQ(outcome.evaluations,
            2 * CParallelRepair::kUnboundedRounds * CParallelRepair::kRoundEvaluations);
  float best = outcome.observed.front();
  for (const float value : outcome.observed) best = std::max(best, value);
  EXPECT_EQ(outcome.best, best);
  EXPECT_GT(outcome.best, 0.0F);
  EXPECT_EQ(outcome.consoles.front().find("Optimization stopped"), std::string::npos);
}

// With a cap of 1 every roster with a cell set ties; both workers reach one
// on their first move, and worker 0's first is kept.
TEST(ParallelRepair, TiesGoToTheLowestWorker) {
  std::vector<std::unique_ptr<FlipDomain>> domains;
  const Outcome outcome = RunFlips(3, {300, 0}, {.cap = 1}, &domains);
  EXPECT_EQ(outcome.best, 1.0F);
  ASSERT_FALSE(domains[0]->firstAtCap.empty());
  EXPECT_EQ(outcome.roster, domains[0]->firstAtCap);
  EXPECT_NE(domains[1]->firstAtCap, domains[0]->firstAtCap);
}

// Walks get stuck at three cells set and begin again from the round's
// start, so the first round makes all its evaluations; the second starts
// stuck, makes only its starts and ends the run.
TEST(ParallelRepair, StuckWalksBeginAgainUntilTheRoundIsDone) {
  std::vector<std::unique_ptr<FlipDomain>> domains;
  const Outcome outcome = RunFlips(2, {}, {.stuckAt = 3}, &domains);
  EXPECT_EQ(outcome.evaluations, 2 * CParallelRepair::kRoundEvaluations + 2);
  EXPECT_EQ(outcome.best, 3.0F);
  for (const auto& domain : domains) {
    EXPECT_GT(std::count(domain->GetSchedule()[0].begin(), domain->GetSchedule()[0].end(), 1), 0);
  }
}

// A division by zero in worker 1's 30th evaluation ends the run after the
// first round: worker 0 completes it, nothing more is searched, and the
// first domain gets the best roster of the round, with no stop line.
TEST(ParallelRepair, DivisionByZeroEndsTheRunAfterTheRoundKeepingItsBest) {
  std::vector<std::unique_ptr<FlipDomain>> domains;
  const Outcome outcome = RunFlips(2, {100000, 0}, {.divideAt = 30}, &domains);
  EXPECT_TRUE(outcome.divided);
  EXPECT_EQ(domains[0]->evaluations, CParallelRepair::kRoundEvaluations + 1);
  EXPECT_EQ(domains[1]->evaluations, 30);
  EXPECT_EQ(outcome.evaluations, CParallelRepair::kRoundEvaluations + 29);
  float best = outcome.observed.front();
  for (const float value : outcome.observed) best = std::max(best, value);
  EXPECT_EQ(outcome.best, best);
  EXPECT_EQ(domains[0]->GetEvaluation(), best);
  EXPECT_EQ(outcome.consoles.front().find("Optimization stopped"), std::string::npos);
}

}  // namespace
