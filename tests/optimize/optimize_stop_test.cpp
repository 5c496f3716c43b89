// Tests of stopping an optimisation early: by the evaluation limit and by
// Ctrl-C (the time limit is checked at the same place; its end-to-end test
// runs the program). A stopped optimisation keeps the best roster it
// evaluated, reports it in one line and writes nothing more.
#include <gtest/gtest.h>

#include <signal.h>

#include <cmath>
#include <csignal>
#include <string>
#include <vector>

#include "optimize.h"
#include "optimize_test_support.h"

namespace {

using namespace optimize_test;

// The first three entries of row 0 as a text such as "010".
std::string Head(const CIntMatrix& schedule) {
  std::string head;
  for (std::size_t day = 0; day < 3; ++day) head += std::to_string(schedule[0][day]);
  return head;
}

// Iterative deepening over three flips: the start "000" rates 1, "010" rates
// 2.5 and is found as the second move of the first search; every other
// roster rates 0. Evaluations: #0 "000", #1 "100", #2 "010", then from "010"
// #3 "110", #4 "000", #5 "011".
float DeepRating(const CIntMatrix& schedule, int) {
  const std::string head = Head(schedule);
  return head == "000" ? 1.0f : head == "010" ? 2.5f : 0.0f;
}

// The random walk at one cell: move n of the run adds one to entry 0 and
// writes n mod 10 into entry 1, so pass p leaves "p9" and the fourth try of
// the first pass, "13", is the only roster above the start; it rates 9.
float WalkRating(const CIntMatrix& schedule, int) {
  return schedule[0][0] == 1 && schedule[0][1] == 3 ? 9.0f : 1.0f;
}

// Raises Ctrl-C `signals` times inside evaluation number `at`, like a user
// pressing it while the script runs.
ScriptedDomain::Rating InterruptedAt(ScriptedDomain::Rating rating, int at, int signals = 1) {
  return [rating, at, signals](const CIntMatrix& schedule, int evaluation) {
    for (int count = 0; evaluation == at && count < signals; ++count) std::raise(SIGINT);
    return rating(schedule, evaluation);
  };
}

void (*CurrentInterruptAction())(int) {
  struct sigaction action {};
  sigaction(SIGINT, nullptr, &action);
  return action.sa_handler;
}

// A deep run over DeepRating or a random walk over WalkRating.
ScriptedDomain StopDomain(bool deep, ScriptedDomain::Rating rating, int& moves) {
  if (deep) return ScriptedDomain(2, rating, FixedPositions(kOneCell), FlipMoves(3));
  return ScriptedDomain(2, rating, FixedPositions({{{0, 3}}}),
                        [&moves](CIntMatrix& schedule, int, int&, int&) {
                          ++schedule[0][0];
                          schedule[0][1] = moves++ % 10;
                          return true;
                        });
}

TEST_F(OptimizeTest, StopKeepsTheBestRosterEvaluatedAndWritesNothingMore) {
  const std::string limit = "Optimization stopped: limit reached, best evaluation ";
  const std::string interrupt = "Optimization stopped: best evaluation ";
  const std::string rule = "\n" + std::string(50, '*') + "\n";
  const std::string viol = "viol: 0 start: 0 repairtry: ";
  const struct {
    bool deep;  // iterative deepening, else the random walk
    std::int64_t maxEvaluations;
    int interruptAt;  // -1: no Ctrl-C
    std::string stopLine;
    int evaluations;  // the domain's, the one of the kept roster included
    std::string keptHead;
    float keptEvaluation;
    int passFiles;
    std::size_t triesLogged;  // lines of "c.dat"
    std::string lastLines;    // the end of the console output
  } cases[] = {
      {true, 1, -1, limit + "1 kept.", 1, "000", 1, 0, 0, ""},
      {true, 2, -1, limit + "1 kept.", 3, "000", 1, 0, 0, ""},
      {true, 5, -1, limit + "2.5 kept.", 6, "010", 2.5f, 1, 0,
       "Evaluation: 2.5" + rule + viol + "1 eval: 0\n"},
      {true, 0, 0, interrupt + "1 kept.", 1, "000", 1, 0, 0, ""},
      {true, 0, 2, interrupt + "2.5 kept.", 3, "010", 2.5f, 0, 0, viol + "1 eval: 0\n"},
      {true, 5, 3, interrupt + "2.5 kept.", 5, "010", 2.5f, 1, 0, "Evaluation: 2.5" + rule},
      {false, 15, -1, limit + "9 kept.", 16, "130", 9, 1, 14,
       "Evaluation: 9" + rule + viol + "1 eval: 1\nIteration 1 better. \n" + viol + "2 eval: 1\n" +
           viol + "3 eval: 1\n"},
      {false, 0, 6, interrupt + "9 kept.", 8, "130", 9, 0, 6, viol + "5 eval: 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stopLine + " " + std::to_string(c.evaluations));
    SetUp();
    ScriptedDomain::Rating rating = c.deep ? DeepRating : WalkRating;
    if (c.interruptAt >= 0) rating = InterruptedAt(rating, c.interruptAt);
    int moves = 0;
    ScriptedDomain domain = StopDomain(c.deep, rating, moves);
    const std::string out = Optimise(domain, c.deep, {c.maxEvaluations, 0});
    const std::string expectedEnd = c.lastLines + c.stopLine + "\n";
    ASSERT_GE(out.size(), expectedEnd.size());
    EXPECT_EQ(out.substr(out.size() - expectedEnd.size()), expectedEnd);
    EXPECT_EQ(domain.evaluations, c.evaluations);
    EXPECT_EQ(Head(domain.GetSchedule()), c.keptHead);
    EXPECT_EQ(domain.GetEvaluation(), c.keptEvaluation);
    EXPECT_EQ(PassFiles(), c.passFiles);
    // Every evaluated try is logged, the one the stop came after included.
    EXPECT_EQ(Lines(read_file("c.dat")).size(), c.triesLogged);
    EXPECT_EQ(read_file("o.dat"), c.deep ? "" : "3 9\n");
  }
}

// Each run counts its own evaluations: the start, one move, and the start
// roster evaluated again. A starting rating that is not a number (a script
// taking the root of a negative value) is never kept over a real one.
TEST_F(OptimizeTest, EveryOptimisationCountsItsOwnEvaluations) {
  const std::string line = "Optimization stopped: limit reached, best evaluation ";
  ScriptedDomain domain(1, DeepRating, FixedPositions(kOneCell), FlipMoves(3));
  EXPECT_EQ(Optimise(domain, true, {2, 0}) + Optimise(domain, true, {2, 0}),
            line + "1 kept.\n" + line + "1 kept.\n");
  EXPECT_EQ(domain.evaluations, 6);

  ScriptedDomain notANumber(
      1,
      [](const CIntMatrix& schedule, int evaluation) {
        return evaluation == 0 ? std::nanf("") : DeepRating(schedule, evaluation);
      },
      FixedPositions(kOneCell), FlipMoves(3));
  EXPECT_EQ(Optimise(notANumber, true, {2, 0}), line + "0 kept.\n");
  EXPECT_EQ(Head(notANumber.GetSchedule()), "100");
  EXPECT_EQ(notANumber.evaluations, 2);
}

// Ctrl-C after the last evaluation, while the last passes find no move,
// still ends with the best roster and the stop line.
TEST_F(OptimizeTest, CtrlCAfterTheLastEvaluationStillKeepsTheBest) {
  int calls = 0;
  ScriptedDomain domain(1, Constant(4), FixedPositions({{{0, 3}}}),
                        [&calls](CIntMatrix&, int, int&, int&) {
                          if (++calls == 42) std::raise(SIGINT);
                          return false;
                        });
  const std::string out = Optimise(domain, false);
  EXPECT_EQ(Reports(out).size(), 41u);
  EXPECT_EQ(Lines(out).back(), "Optimization stopped: best evaluation 4 kept.");
  EXPECT_EQ(domain.evaluations, 1);
}

// The handler is there only while an optimisation runs; before and after,
// Ctrl-C has the disposition the program found. An ignored Ctrl-C stays
// ignored.
TEST_F(OptimizeTest, CtrlCIsCaughtOnlyDuringAnOptimisation) {
  for (void (*before)(int) : {SIG_DFL, SIG_IGN}) {
    SCOPED_TRACE(before == SIG_IGN ? "ignored" : "default");
    SetUp();
    std::signal(SIGINT, before);
    std::vector<void (*)(int)> during;
    ScriptedDomain domain(
        1,
        [&during](const CIntMatrix& schedule, int evaluation) {
          during.push_back(CurrentInterruptAction());
          if (evaluation == 1 && during.back() == SIG_IGN) std::raise(SIGINT);
          return DeepRating(schedule, evaluation);
        },
        FixedPositions(kOneCell), FlipMoves(3));
    EXPECT_EQ(Optimise(domain, true).find("Optimization stopped"), std::string::npos);
    ASSERT_FALSE(during.empty());
    for (void (*action)(int) : during) {
      EXPECT_TRUE(before == SIG_IGN ? action == SIG_IGN : action != SIG_DFL && action != SIG_IGN);
    }
    EXPECT_EQ(CurrentInterruptAction(), before);
  }
  std::signal(SIGINT, SIG_DFL);
}

using OptimizeStopDeathTest = OptimizeTest;

TEST_F(OptimizeStopDeathTest, SecondCtrlCEndsTheProgram) {
  ScriptedDomain domain(1, InterruptedAt(DeepRating, 1, 2), FixedPositions(kOneCell), FlipMoves(3));
  EXPECT_EXIT(Optimise(domain, true), ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
