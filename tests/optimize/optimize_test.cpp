// Tests of the optimizer against a domain whose evaluation, repair positions
// and moves are given by the test: the pass structure and depth logic of
// iterative deepening, restoring the saved schedule, the random walk's passes
// that cannot try ten moves, the pass files, and stopping early by the
// evaluation limit or Ctrl-C. A stopped optimisation keeps the best roster it
// evaluated, reports it in one line and writes nothing more. (Whole runs with
// their logs, the time limit, and deepening that restarts at depth one after
// every improving sequence of up to four moves, are checked by the
// end-to-end cases opt_deep_*, stop_* and stop_limits_not_reached.)
#include "optimize.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"

namespace {

struct RepairCall {
  int group, day, start, start2;
  bool applied;
};

// Positions are recomputed at every evaluation only, like the real domain's,
// so restoring a schedule leaves them as the last evaluation set.
class ScriptedDomain : public CShiftSchedulingDomain {
 public:
  using Rating = std::function<float(const CIntMatrix& schedule, int evaluations)>;
  using Positions = std::function<CPositionMatrix(const CIntMatrix& schedule)>;
  using Mover = std::function<bool(CIntMatrix& schedule, int day, int& start, int& start2)>;

  ScriptedDomain(int weeks, Rating rating, Positions positions, Mover mover)
      : rating(std::move(rating)), positions(std::move(positions)), mover(std::move(mover)) {
    SetOutput(std::cout, std::cerr);
    LengthOfCycle = weeks;
    schedule.assign(1, std::vector<int>(static_cast<std::size_t>(7 * weeks), 0));
  }

  float Evaluate() override {
    bDividedByZero = evaluations == divideAt;
    if (bDividedByZero) {
      ++evaluations;
      dividedSchedule = schedule;
      return -1;
    }
    evaluation = rating(schedule, evaluations++);
    repairstarts = positions(schedule);
    return evaluation;
  }
  bool Repair(int group, int day, int& start, int& start2) override {
    calls.push_back({group, day, start, start2, false});
    return calls.back().applied = mover(schedule, day, start, start2);
  }
  void ComputeRepairStarts() override {}

  std::string Text() const {
    std::ostringstream out;
    out << *this;
    return out.str();
  }

  int evaluations = 0;
  // The evaluation (counted from 0) whose script divides by zero; -1: none.
  int divideAt = -1;
  CIntMatrix dividedSchedule;
  std::vector<RepairCall> calls;

 private:
  Rating rating;
  Positions positions;
  Mover mover;
};

// `count` moves per scan of the cell: move k flips entry k of row 0. The scan
// position is start - day, so every search level begins its own scan.
ScriptedDomain::Mover FlipMoves(int count) {
  return [count](CIntMatrix& schedule, int day, int& start, int&) {
    const int move = start - day;
    if (move >= count) return false;
    schedule[0][static_cast<std::size_t>(move)] ^= 1;
    ++start;
    return true;
  };
}

ScriptedDomain::Positions FixedPositions(CPositionMatrix lists) {
  return [lists](const CIntMatrix&) { return lists; };
}

ScriptedDomain::Rating Constant(float value) {
  return [value](const CIntMatrix&, int) { return value; };
}

const CPositionMatrix kOneCell = {{{0, 0}}};

// Runs one optimisation, iterative deepening or the random walk, and returns
// what it printed.
std::string Optimise(ScriptedDomain& domain, bool deep, COptimizeLimits limits = {}) {
  COptimize optimizer(&domain);
  optimizer.SetLimits(limits);
  Capture capture;
  deep ? optimizer.RepairDeep() : optimizer.RepairRandom();
  return capture.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The "Evaluation: " values reported, in order.
std::vector<std::string> Reports(const std::string& out) {
  std::vector<std::string> values;
  for (const std::string& line : Lines(out)) {
    if (line.rfind("Evaluation: ", 0) == 0) values.push_back(line.substr(12));
  }
  return values;
}

std::string PassFile(int pass) {
  std::ostringstream name;
  name << 'o' << pass;
  return name.str();
}

int PassFiles() {
  int count = 0;
  while (std::filesystem::exists(PassFile(count + 1))) ++count;
  return count;
}

// The optimizer writes fixed file names into the working folder (every test
// process has a scratch folder of its own); SetUp clears them, and may be
// called again to clear them between the cases of a table.
class OptimizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int pass = 1; pass <= 50; ++pass) std::remove(PassFile(pass).c_str());
    for (const char* name : {"c.dat", "o.dat", "error.dat"}) std::remove(name);
  }
};

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
    // Logs left by an earlier run are emptied when the optimizer is made.
    for (const char* name : {"c.dat", "o.dat"}) write_file(name, "old\n");
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

// An evaluation that divides by zero stops either optimisation at once: up
// to that evaluation it prints and writes what a run bounded to end with
// that evaluation does; after it, nothing: no stop line, pass file, log line
// of the try or observer call, and the domain keeps the roster of the
// evaluation that divided.
TEST_F(OptimizeTest, DivisionByZeroStopsAtOnceWithoutAWordMore) {
  const std::string stopped = "Optimization stopped: limit reached, best evaluation ";
  for (const bool deep : {true, false}) {
    for (const int at : {0, 1, 2, 5, 6, 14, 30}) {
      SCOPED_TRACE(std::string(deep ? "deep" : "random") + " at " + std::to_string(at));
      SetUp();
      int moves = 0;
      ScriptedDomain bounded = StopDomain(deep, deep ? DeepRating : WalkRating, moves);
      std::string limited = Optimise(bounded, deep, {at + 1, 0});
      const int limitedPasses = PassFiles();
      std::vector<std::string> limitedLog = Lines(read_file("c.dat"));
      const std::size_t line = limited.rfind(stopped);
      ASSERT_NE(line, std::string::npos);
      limited.erase(line);
      // The random walk logs each try after its evaluation.
      if (!deep && at > 0) limitedLog.pop_back();

      SetUp();
      moves = 0;
      ScriptedDomain domain = StopDomain(deep, deep ? DeepRating : WalkRating, moves);
      domain.divideAt = at;
      int observed = 0;
      std::string out;
      {
        COptimize optimizer(&domain);
        optimizer.SetObserver([&](std::int64_t, float, float) { ++observed; });
        Capture capture;
        deep ? optimizer.RepairDeep() : optimizer.RepairRandom();
        out = capture.str();
        EXPECT_TRUE(optimizer.DividedByZero());
      }
      EXPECT_EQ(out, limited);
      EXPECT_EQ(PassFiles(), limitedPasses);
      EXPECT_EQ(Lines(read_file("c.dat")), limitedLog);
      EXPECT_EQ(domain.evaluations, at + 1);
      EXPECT_EQ(observed, at);
      EXPECT_TRUE(domain.DividedByZero());
      EXPECT_EQ(domain.GetSchedule(), domain.dividedSchedule);
    }
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

// A second Ctrl-C does at once what Ctrl-C did before the optimisation: by
// default it ends the program; a handler the program had installed runs (the
// batch commands' removes their temporary folder).
TEST_F(OptimizeStopDeathTest, SecondCtrlCDoesWhatCtrlCDidBefore) {
  for (const bool deep : {true, false}) {
    SCOPED_TRACE(deep ? "deep" : "random");
    int moves = 0;
    ScriptedDomain domain =
        StopDomain(deep, InterruptedAt(deep ? DeepRating : WalkRating, 1, 2), moves);
    EXPECT_EXIT(Optimise(domain, deep), ::testing::KilledBySignal(SIGINT), "");
    std::signal(SIGINT, [](int) { std::_Exit(7); });
    EXPECT_EXIT(Optimise(domain, deep), ::testing::ExitedWithCode(7), "");
    std::signal(SIGINT, SIG_DFL);
  }
}

}  // namespace
