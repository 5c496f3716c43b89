// Tests of the optimizer against a scripted domain: the pass structure and
// depth logic of iterative deepening, restoring the saved schedule, the
// random walk's tries, its log files and their numbering, and the pass files;
// and the main job on the bundled example.
#include "optimize.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "domtarn.h"
#include "optimize_test_support.h"

namespace {

using namespace optimize_test;

TEST_F(OptimizeTest, CreationEmptiesLogsAndRecordHoldsOnlyTheHeader) {
  for (const char* name : {"c.dat", "o.dat"}) std::ofstream(name) << "old\n";
  ScriptedDomain domain(1, nullptr, nullptr, nullptr);
  COptimize optimizer(&domain);
  EXPECT_EQ(read_file("c.dat"), "");
  EXPECT_EQ(read_file("o.dat"), "");

  std::ostringstream out;
  out << optimizer;
  EXPECT_EQ(out.str(), "0 COptimize 1\n");
  std::istringstream in("0 COptimize 1\n7");
  in >> optimizer;
  int next = 0;
  in >> next;
  EXPECT_EQ(next, 7);
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
  struct Case {
    int needed;
    std::vector<std::string> reports;
  };
  const Case cases[] = {
      {2, {"1", "3", "3", "3", "3", "3"}},
      {3, {"1", "1", "3", "3", "3", "3", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.needed);
    SetUp();
    ScriptedDomain domain(1, AllOrNothing(c.needed), FixedPositions(kOneCell), FlipMoves(c.needed));
    const std::string initial = domain.Text();
    COptimize optimizer(&domain);
    Capture capture;
    optimizer.RepairDeep();

    EXPECT_EQ(Reports(capture.str()), c.reports);
    for (int k = 0; k < c.needed; ++k) EXPECT_EQ(domain.GetSchedule()[0][k], 1);
    EXPECT_EQ(domain.GetSchedule()[0][static_cast<std::size_t>(c.needed)], 0);
    const int passes = static_cast<int>(c.reports.size());
    EXPECT_EQ(PassFiles(), passes);
    EXPECT_EQ(read_file("o1"), initial);
    EXPECT_EQ(read_file(PassFile(passes)), domain.Text());
  }
}

// Positions describe the schedule of the latest evaluation. Flipping entry 0
// shrinks them; after the restore the search must go on over the shrunken
// lists, not over the ones it started with.
TEST_F(OptimizeTest, DeepeningRereadsRepairPositionsAfterEveryEvaluation) {
  struct Case {
    const char* name;
    CPositionMatrix before;
    CPositionMatrix after;
    int violLines;
  };
  const Case cases[] = {
      {"second list vanishes", {{{0, 0}}, {{0, 0}}}, {{{0, 0}}}, 1},
      {"all lists vanish", {{{0, 0}, {0, 0}}}, {}, 1},
      {"a list grows", {{{0, 0}}}, {{{0, 0}, {0, 0}}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ScriptedDomain domain(
        1, [](const CIntMatrix&, int) { return 1.0f; },
        [&c](const CIntMatrix& schedule) { return schedule[0][0] == 0 ? c.before : c.after; },
        FlipMoves(1));
    COptimize optimizer(&domain);
    Capture capture;
    optimizer.RepairDeep();

    // Count the tried moves of the first search, the one of depth 1.
    int viol = 0;
    for (const std::string& line : Lines(capture.str())) {
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
      [](CIntMatrix& schedule, int, int&, int&) {
        ++schedule[0][0];
        return true;
      });
  COptimize optimizer(&domain);
  Capture capture;
  optimizer.RepairDeep();

  const std::vector<std::string> reports = Reports(capture.str());
  ASSERT_EQ(reports.size(), 41u);
  EXPECT_EQ(reports.back(), "41");
  EXPECT_EQ(PassFiles(), 41);
  EXPECT_EQ(domain.GetSchedule()[0][0], 42);
}

// Evaluation values by evaluation number; unlisted evaluations rate 1.
ScriptedDomain::Rating Rated(std::map<int, float> values) {
  return [values](const CIntMatrix&, int n) {
    const auto found = values.find(n);
    return found == values.end() ? 1.0f : found->second;
  };
}

// Adds one to entry 0 per move, so the entry counts the moves kept.
bool CountingMove(CIntMatrix& schedule, int, int&, int&) {
  ++schedule[0][0];
  return true;
}

TEST_F(OptimizeTest, RandomWalkKeepsTheTenthTryOfEveryPass) {
  ScriptedDomain domain(2, Rated({{0, 5}, {1, 4}, {2, 5}, {3, 6}, {4, 6}, {5, 7}}),
                        FixedPositions({{{0, 3}}}), CountingMove);
  COptimize optimizer(&domain);
  Capture capture;
  optimizer.RepairRandom();

  EXPECT_EQ(domain.GetSchedule()[0][0], 42);
  EXPECT_EQ(domain.calls.size(), 420u);
  for (const RepairCall& call : domain.calls) {
    EXPECT_EQ(call.group, 0);
    EXPECT_EQ(call.day, 3);
    EXPECT_TRUE(call.start >= 0 && call.start < 14 && call.start2 >= 0 && call.start2 < 14);
  }
  const std::vector<std::string> reports = Reports(capture.str());
  EXPECT_EQ(reports, std::vector<std::string>(41, "7"));
  EXPECT_EQ(PassFiles(), 41);
  EXPECT_FALSE(std::filesystem::exists("error.dat"));
}

// Passes that cannot try ten moves: a cell with fewer moves reports each
// pass with the cell and the start days of the failed call and leaves the
// schedule as the pass found it; a pass without a cell or days does nothing.
TEST_F(OptimizeTest, RandomPassesWithoutTenMoves) {
  struct Case {
    const char* name;
    int weeks;
    CPositionMatrix positions;
    int movesPerScan;
    std::size_t movesLogged;
    bool reported;
  };
  const Case cases[] = {
      {"no move at the cell", 1, {{{0, 5}}}, 0, 0, true},
      {"three moves per scan", 1, {{{0, 5}, {0, 1}}, {{0, 2}}}, 3, 126, true},
      {"no repair positions", 1, {}, 3, 0, false},
      {"empty first list", 1, {{}, {{0, 2}}}, 3, 0, false},
      {"cycle without days", 0, {{{0, 0}}}, 3, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    int left = c.movesPerScan;
    ScriptedDomain domain(
        c.weeks, [](const CIntMatrix&, int) { return 2.0f; }, FixedPositions(c.positions),
        [&left, &c](CIntMatrix& schedule, int, int&, int&) {
          if (left == 0) {
            left = c.movesPerScan;
            return false;
          }
          --left;
          ++schedule[0][0];
          return true;
        });
    const std::string initial = domain.Text();
    COptimize optimizer(&domain);
    Capture capture;
    optimizer.RepairRandom();

    EXPECT_EQ(domain.Text(), initial);
    EXPECT_EQ(Lines(read_file("c.dat")).size(), c.movesLogged);
    EXPECT_EQ(read_file("o.dat"), "");
    EXPECT_EQ(PassFiles(), 41);
    EXPECT_EQ(Reports(capture.str()), std::vector<std::string>(41, "2"));
    EXPECT_EQ(std::filesystem::exists("error.dat"), c.reported);
    if (!c.reported) {
      EXPECT_TRUE(domain.calls.empty());
      continue;
    }
    EXPECT_EQ(read_file("error.dat"), initial);
    std::vector<std::string> expected;
    for (const RepairCall& call : domain.calls) {
      if (call.applied) continue;
      expected.push_back(std::to_string(call.group) + " " + std::to_string(call.day) + " " +
                         std::to_string(call.start) + " " + std::to_string(call.start2));
    }
    ASSERT_EQ(expected.size(), 42u);
    std::vector<std::string> diagnostics;
    for (const std::string& line : Lines(capture.str())) {
      if (line.rfind("0 5 ", 0) == 0) diagnostics.push_back(line);
    }
    EXPECT_EQ(diagnostics, expected);
  }
}

}  // namespace
