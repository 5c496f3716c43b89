// Tests of the evaluation context each domain owns: two domains evaluate on
// two threads at once as they do one after the other, and evaluations
// without the engine's caches give what evaluations with them give.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "domtarn_test_support.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSourceRoot = fs::path(__FILE__).parent_path().parent_path().parent_path();

// The example (six teams, the plant script and table) and a small domain of
// another shape with another script and table.
struct TDomainFile {
  const char* name;
  fs::path folder;
};
const TDomainFile kDomains[] = {
    {"plant.dom", kSourceRoot / "examples"},
    {"walk.dom", kSourceRoot / "tests/e2e/cases/opt_random_two_runs/files"},
};

// What one evaluation gives that does not depend on the random generator
// (the repair starts do): the evaluation and the sorted constraint list,
// floats by their bits.
std::string Outcome(CShiftSchedulingDomain& domain) {
  const float evaluation = domain.Evaluate();
  std::string text = std::to_string(std::bit_cast<std::uint32_t>(evaluation));
  for (const ConstraintEvaluation& entry : domain.GetEvalData()) {
    text += '\n';
    text += entry.GetBranch();
    text += ' ';
    text += entry.GetName();
    text += ' ';
    text += entry.GetFormula();
    text += ' ';
    text += std::to_string(std::bit_cast<std::uint32_t>(entry.GetValue()));
  }
  return text;
}

// The outcomes of a walk through neighbouring rosters, as the optimizer's
// moves make them: each step exchanges two days of one row, and every few
// steps the walk returns to the roster it started from.
std::vector<std::string> Walk(CShiftSchedulingDomain& domain, int steps) {
  const CIntMatrix start = domain.GetSchedule();
  std::vector<std::string> outcomes;
  for (int k = 0; k < steps; ++k) {
    if (k % 7 == 6) {
      domain.SetSchedule(start);
    } else {
      CIntMatrix& schedule = domain.GetSchedule();
      std::vector<int>& row = schedule[static_cast<std::size_t>(k) % schedule.size()];
      const std::size_t day = (static_cast<std::size_t>(k) * 5) % (row.size() - 1);
      std::swap(row[day], row[day + 1]);
    }
    outcomes.push_back(Outcome(domain));
  }
  return outcomes;
}

class EvalContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const TDomainFile& d : kDomains) domain_test::CopyFiles(d.folder);
  }

  static void Load(CShiftSchedulingDomain& domain, const TDomainFile& file) {
    domain.Read(file.name);
    ASSERT_FALSE(domain.GetSchedule().empty()) << file.name;
  }
};

constexpr int kSteps = 40;

// Each domain's walk, run again and again on its own thread while the other
// domain walks on another, gives what it gives alone. Each thread makes its
// domain anew for every round, so contexts are made and dropped meanwhile too.
TEST_F(EvalContextTest, TwoDomainsOnTwoThreadsEvaluateAsOneAfterTheOther) {
  std::vector<std::string> alone[2];
  for (int i = 0; i < 2; ++i) {
    CShiftSchedulingDomain domain;
    Load(domain, kDomains[i]);
    alone[i] = Walk(domain, kSteps);
  }
  ASSERT_NE(alone[0].front(), alone[1].front());
  constexpr int kRounds = 4;
  std::vector<std::string> together[2][kRounds];
  std::vector<std::thread> threads;
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([i, &together] {
      for (int round = 0; round < kRounds; ++round) {
        CShiftSchedulingDomain domain;
        domain.Read(kDomains[i].name);
        domain.SetCaching(round != 2);  // one round without caches
        together[i][round] = Walk(domain, kSteps);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 2; ++i) {
    for (int round = 0; round < kRounds; ++round) {
      ASSERT_EQ(together[i][round], alone[i]) << kDomains[i].name << ", round " << round;
    }
  }
}

// A domain evaluates the same with its caches switched off and on again in
// the middle of a walk. (With them off from the start: round 2 of the test
// above.)
TEST_F(EvalContextTest, CachesSwitchedDuringAWalkChangeNothing) {
  for (const TDomainFile& file : kDomains) {
    SCOPED_TRACE(file.name);
    CShiftSchedulingDomain switched;
    Load(switched, file);
    CShiftSchedulingDomain reference;
    Load(reference, file);
    for (const bool caching : {true, false, true}) {
      switched.SetCaching(caching);
      EXPECT_EQ(Walk(switched, kSteps / 2), Walk(reference, kSteps / 2)) << caching;
    }
  }
}

}  // namespace
