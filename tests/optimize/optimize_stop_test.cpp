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
ScriptedDomain::Rating DeepRating() {
  return [](const CIntMatrix& schedule, int) {
    const std::string head = Head(schedule);
    if (head == "000") return 1.0f;
    return head == "010" ? 2.5f : 0.0f;
  };
}

// The random walk at one cell: move n of the run adds one to entry 0 and
// writes n mod 10 into entry 1, so pass p leaves "p9" and the fourth try of
// the first pass, "13", is the only roster above the start; it rates 9.
struct RandomWalk {
  int moves = 0;
  ScriptedDomain::Mover Mover() {
    return [this](CIntMatrix& schedule, int, int&, int&) {
      ++schedule[0][0];
      schedule[0][1] = moves++ % 10;
      return true;
    };
  }
  static ScriptedDomain::Rating Rating() {
    return [](const CIntMatrix& schedule, int) {
      return schedule[0][0] == 1 && schedule[0][1] == 3 ? 9.0f : 1.0f;
    };
  }
};

// Raises Ctrl-C inside evaluation number `at`, like a user pressing it while
// the script runs.
ScriptedDomain::Rating InterruptedAt(ScriptedDomain::Rating rating, int at, int signals = 1) {
  return [rating, at, signals](const CIntMatrix& schedule, int evaluation) {
    if (evaluation == at) {
      for (int count = 0; count < signals; ++count) std::raise(SIGINT);
    }
    return rating(schedule, evaluation);
  };
}

void (*CurrentInterruptAction())(int) {
  struct sigaction action {};
  sigaction(SIGINT, nullptr, &action);
  return action.sa_handler;
}

class OptimizeStopTest : public OptimizeTest {};

struct StopCase {
  const char* name;
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
};

TEST_F(OptimizeStopTest, StopKeepsTheBestRosterEvaluatedAndWritesNothingMore) {
  const std::string limit = "Optimization stopped: limit reached, best evaluation ";
  const std::string interrupt = "Optimization stopped: best evaluation ";
  const StopCase cases[] = {
      {"deep, limit at the start", true, 1, -1, limit + "1 kept.", 1, "000", 1, 0, 0, ""},
      {"deep, limit after a worse move", true, 2, -1, limit + "1 kept.", 3, "000", 1, 0, 0, ""},
      {"deep, limit after a later pass", true, 5, -1, limit + "2.5 kept.", 6, "010", 2.5f, 1, 0,
       "Evaluation: 2.5\n" + kRule + "\nviol: 0 start: 0 repairtry: 1 eval: 0\n"},
      {"deep, Ctrl-C at the start", true, 0, 0, interrupt + "1 kept.", 1, "000", 1, 0, 0, ""},
      {"deep, Ctrl-C on the best roster", true, 0, 2, interrupt + "2.5 kept.", 3, "010", 2.5f, 0, 0,
       "viol: 0 start: 0 repairtry: 1 eval: 0\n"},
      {"deep, Ctrl-C before the limit", true, 5, 3, interrupt + "2.5 kept.", 5, "010", 2.5f, 1, 0,
       "Evaluation: 2.5\n" + kRule + "\n"},
      {"random, limit in the second pass", false, 15, -1, limit + "9 kept.", 16, "130", 9, 1, 14,
       "Evaluation: 9\n" + kRule + "\nviol: 0 start: 0 repairtry: 1 eval: 1\n" +
           "Iteration 1 better. \nviol: 0 start: 0 repairtry: 2 eval: 1\n" +
           "viol: 0 start: 0 repairtry: 3 eval: 1\n"},
      {"random, Ctrl-C in the first pass", false, 0, 6, interrupt + "9 kept.", 8, "130", 9, 0, 6,
       "viol: 0 start: 0 repairtry: 5 eval: 1\n"},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    RandomWalk walk;
    ScriptedDomain::Rating rating = c.deep ? DeepRating() : RandomWalk::Rating();
    if (c.interruptAt >= 0) rating = InterruptedAt(rating, c.interruptAt);
    ScriptedDomain domain(2, rating, FixedPositions(c.deep ? kOneCell : CPositionMatrix{{{0, 3}}}),
                          c.deep ? FlipMoves(3) : walk.Mover());
    COptimize optimizer(&domain);
    optimizer.SetLimits({c.maxEvaluations, 0});
    Capture capture;
    if (c.deep) {
      optimizer.RepairDeep();
    } else {
      optimizer.RepairRandom();
    }

    const std::string out = capture.str();
    const std::string expectedEnd = c.lastLines + c.stopLine + "\n";
    ASSERT_GE(out.size(), expectedEnd.size());
    EXPECT_EQ(out.substr(out.size() - expectedEnd.size()), expectedEnd);
    EXPECT_EQ(domain.evaluations, c.evaluations);
    EXPECT_EQ(Head(domain.GetSchedule()), c.keptHead);
    EXPECT_EQ(domain.GetEvaluation(), c.keptEvaluation);
    EXPECT_EQ(PassFiles(), c.passFiles);
    if (!c.deep) {
      // Every evaluated try is logged, the one the stop came after included.
      EXPECT_EQ(Lines(read_file("c.dat")).size(), c.triesLogged);
      EXPECT_EQ(read_file("o.dat"), "3 9\n");
    }
  }
}

TEST_F(OptimizeStopTest, EveryOptimisationCountsItsOwnEvaluations) {
  ScriptedDomain domain(1, DeepRating(), FixedPositions(kOneCell), FlipMoves(3));
  COptimize optimizer(&domain);
  optimizer.SetLimits({2, 0});
  Capture capture;
  optimizer.RepairDeep();
  optimizer.RepairDeep();

  // Each run: the start, one move, and the start roster evaluated again.
  EXPECT_EQ(domain.evaluations, 6);
  const std::string line = "Optimization stopped: limit reached, best evaluation 1 kept.\n";
  EXPECT_EQ(capture.str(), line + line);
}

// A starting roster whose rating is not a number (a script taking the root
// of a negative value) must not keep the first real rating from counting.
TEST_F(OptimizeStopTest, ARatingThatIsNotANumberIsNeverKeptOverARealOne) {
  ScriptedDomain domain(
      1,
      [](const CIntMatrix& schedule, int evaluation) {
        return evaluation == 0 ? std::nanf("") : DeepRating()(schedule, evaluation);
      },
      FixedPositions(kOneCell), FlipMoves(3));
  COptimize optimizer(&domain);
  optimizer.SetLimits({2, 0});
  Capture capture;
  optimizer.RepairDeep();

  EXPECT_EQ(capture.str(), "Optimization stopped: limit reached, best evaluation 0 kept.\n");
  EXPECT_EQ(Head(domain.GetSchedule()), "100");
  EXPECT_EQ(domain.evaluations, 2);
}

// Ctrl-C after the last evaluation, while the last passes find no move,
// still ends with the best roster and the stop line.
TEST_F(OptimizeStopTest, CtrlCAfterTheLastEvaluationStillKeepsTheBest) {
  int calls = 0;
  ScriptedDomain domain(
      1, [](const CIntMatrix&, int) { return 4.0f; }, FixedPositions({{{0, 3}}}),
      [&calls](CIntMatrix&, int, int&, int&) {
        if (++calls == 42) std::raise(SIGINT);
        return false;
      });
  COptimize optimizer(&domain);
  Capture capture;
  optimizer.RepairRandom();

  EXPECT_EQ(Reports(capture.str()).size(), 41u);
  EXPECT_EQ(Lines(capture.str()).back(), "Optimization stopped: best evaluation 4 kept.");
  EXPECT_EQ(domain.evaluations, 1);
}

// The handler is there only while an optimisation runs; before and after,
// Ctrl-C has the disposition the program found. An ignored Ctrl-C stays
// ignored.
TEST_F(OptimizeStopTest, CtrlCIsCaughtOnlyDuringAnOptimisation) {
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
          return DeepRating()(schedule, evaluation);
        },
        FixedPositions(kOneCell), FlipMoves(3));
    COptimize optimizer(&domain);
    Capture capture;
    optimizer.RepairDeep();

    ASSERT_FALSE(during.empty());
    for (void (*action)(int) : during) {
      if (before == SIG_IGN) {
        EXPECT_EQ(action, SIG_IGN);
      } else {
        EXPECT_TRUE(action != SIG_DFL && action != SIG_IGN);
      }
    }
    EXPECT_EQ(CurrentInterruptAction(), before);
    EXPECT_EQ(capture.str().find("Optimization stopped"), std::string::npos);
  }
  std::signal(SIGINT, SIG_DFL);
}

class OptimizeStopDeathTest : public OptimizeTest {};

TEST_F(OptimizeStopDeathTest, SecondCtrlCEndsTheProgram) {
  EXPECT_EXIT(
      {
        ScriptedDomain domain(1, InterruptedAt(DeepRating(), 1, 2), FixedPositions(kOneCell),
                              FlipMoves(3));
        COptimize optimizer(&domain);
        Capture capture;
        optimizer.RepairDeep();
      },
      ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
