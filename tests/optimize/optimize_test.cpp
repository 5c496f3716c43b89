// Tests of the optimizer against a scripted domain: the pass structure and
// depth logic of iterative deepening, restoring the saved schedule, the
// random walk's passes that cannot try ten moves, and the pass files. (Whole
// runs with their logs are checked by the end-to-end cases opt_*.)
#include "optimize.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "optimize_test_support.h"

namespace {

using namespace optimize_test;

TEST_F(OptimizeTest, CreationEmptiesTheLogs) {
  for (const char* name : {"c.dat", "o.dat"}) std::ofstream(name) << "old\n";
  ScriptedDomain domain(1, nullptr, nullptr, nullptr);
  COptimize optimizer(&domain);
  EXPECT_EQ(read_file("c.dat") + read_file("o.dat"), "");
}

// The evaluation is 1 with no entry flipped, 3 with all of the first
// `needed` entries flipped and 0 in between: no shorter sequence helps.
ScriptedDomain::Rating AllOrNothing(int needed) {
  return [needed](const CIntMatrix& schedule, int) {
    int flipped = 0;
    for (int k = 0; k < needed; ++k) flipped += schedule[0][static_cast<std::size_t>(k)];
    if (flipped == 0) return 1.0f;
    return flipped == needed ? 3.0f : 0.0f;
  };
}

TEST_F(OptimizeTest, DeepeningFindsTheShortestImprovingSequenceAndRestartsAtDepthOne) {
  const std::pair<int, std::vector<std::string>> cases[] = {
      {2, {"1", "3", "3", "3", "3", "3"}},
      {3, {"1", "1", "3", "3", "3", "3", "3"}},
  };
  for (const auto& [needed, reports] : cases) {
    SCOPED_TRACE(needed);
    SetUp();
    ScriptedDomain domain(1, AllOrNothing(needed), FixedPositions(kOneCell), FlipMoves(needed));
    const std::string initial = domain.Text();
    EXPECT_EQ(Reports(Optimise(domain, true)), reports);
    std::vector<int> flipped(7, 0);
    std::fill_n(flipped.begin(), needed, 1);
    EXPECT_EQ(domain.GetSchedule()[0], flipped);
    const int passes = static_cast<int>(reports.size());
    EXPECT_EQ(PassFiles(), passes);
    EXPECT_EQ(read_file("o1"), initial);
    EXPECT_EQ(read_file(PassFile(passes)), domain.Text());
  }
}

// Positions describe the schedule of the latest evaluation. Flipping entry 0
// shrinks them; after the restore the search must go on over the shrunken
// lists, not over the ones it started with.
TEST_F(OptimizeTest, DeepeningRereadsRepairPositionsAfterEveryEvaluation) {
  const struct {
    CPositionMatrix before, after;
    int violLines;
  } cases[] = {
      {{{{0, 0}}, {{0, 0}}}, {{{0, 0}}}, 1},  // second list vanishes
      {{{{0, 0}, {0, 0}}}, {}, 1},            // all lists vanish
      {{{{0, 0}}}, {{{0, 0}, {0, 0}}}, 2},    // a list grows
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.violLines);
    SetUp();
    ScriptedDomain domain(
        1, Constant(1),
        [&c](const CIntMatrix& schedule) { return schedule[0][0] == 0 ? c.before : c.after; },
        FlipMoves(1));
    // Count the tried moves of the first search, the one of depth 1.
    int viol = 0;
    for (const std::string& line : Lines(Optimise(domain, true))) {
      if (line.rfind("Evaluation: ", 0) == 0) break;
      viol += line.rfind("viol: ", 0) == 0;
    }
    EXPECT_EQ(viol, c.violLines);
    EXPECT_EQ(domain.GetSchedule()[0][0], 0);
  }
}

TEST_F(OptimizeTest, DeepeningStopsAfterThePassLimit) {
  // Every move raises the evaluation, so every search succeeds at depth 1.
  ScriptedDomain domain(
      1, [](const CIntMatrix& schedule, int) { return static_cast<float>(schedule[0][0]); },
      FixedPositions(kOneCell),
      [](CIntMatrix& schedule, int, int&, int&) { return ++schedule[0][0] > 0; });
  const std::vector<std::string> reports = Reports(Optimise(domain, true));
  ASSERT_EQ(reports.size(), 41u);
  EXPECT_EQ(reports.back(), "41");
  EXPECT_EQ(PassFiles(), 41);
  EXPECT_EQ(domain.GetSchedule()[0][0], 42);
}

// Passes that cannot try ten moves: a cell with fewer moves reports each
// pass with the cell and the start days of the failed call and leaves the
// schedule as the pass found it; a pass without a cell or days does nothing.
TEST_F(OptimizeTest, RandomPassesWithoutTenMoves) {
  const struct {
    int weeks;
    CPositionMatrix positions;
    int movesPerScan;
    std::size_t movesLogged;
    bool reported;
  } cases[] = {
      {1, {{{0, 5}, {0, 1}}, {{0, 2}}}, 3, 126, true},  // three moves per scan
      {1, {}, 3, 0, false},                             // no repair positions
      {1, {{}, {{0, 2}}}, 3, 0, false},                 // empty first list
      {0, {{{0, 0}}}, 3, 0, false},                     // cycle without days
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.movesLogged);
    SetUp();
    int left = c.movesPerScan;
    ScriptedDomain domain(c.weeks, Constant(2), FixedPositions(c.positions),
                          [&left, &c](CIntMatrix& schedule, int, int&, int&) {
                            if (left-- > 0) return ++schedule[0][0] > 0;
                            left = c.movesPerScan;
                            return false;
                          });
    const std::string initial = domain.Text();
    const std::string out = Optimise(domain, false);
    EXPECT_EQ(domain.Text(), initial);
    EXPECT_EQ(Lines(read_file("c.dat")).size(), c.movesLogged);
    EXPECT_EQ(read_file("o.dat"), "");
    EXPECT_EQ(PassFiles(), 41);
    EXPECT_EQ(Reports(out), std::vector<std::string>(41, "2"));
    EXPECT_EQ(read_file("error.dat"), c.reported ? initial : "");
    std::vector<std::string> expected, diagnostics;
    for (const RepairCall& call : domain.calls) {
      if (call.applied) continue;
      expected.push_back(std::to_string(call.group) + " " + std::to_string(call.day) + " " +
                         std::to_string(call.start) + " " + std::to_string(call.start2));
    }
    for (const std::string& line : Lines(out)) {
      if (line.rfind("0 5 ", 0) == 0) diagnostics.push_back(line);
    }
    EXPECT_EQ(diagnostics, expected);
    EXPECT_EQ(expected.size(), c.reported ? 42u : 0u);
  }
}

}  // namespace
