// Shared by the optimizer tests: a domain whose evaluation, repair positions
// and moves are given by the test, a run of one optimisation with its console
// output, and readers of the files the optimizer writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "optimize.h"

namespace optimize_test {

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
    LengthOfCycle = weeks;
    schedule.assign(1, std::vector<int>(static_cast<std::size_t>(7 * weeks), 0));
  }

  float Evaluate() override {
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
  std::vector<RepairCall> calls;

 private:
  Rating rating;
  Positions positions;
  Mover mover;
};

// `count` moves per scan of the cell: move k flips entry k of row 0. The scan
// position is start - day, so every search level begins its own scan.
inline ScriptedDomain::Mover FlipMoves(int count) {
  return [count](CIntMatrix& schedule, int day, int& start, int&) {
    const int move = start - day;
    if (move >= count) return false;
    schedule[0][static_cast<std::size_t>(move)] ^= 1;
    ++start;
    return true;
  };
}

inline ScriptedDomain::Positions FixedPositions(CPositionMatrix lists) {
  return [lists](const CIntMatrix&) { return lists; };
}

inline ScriptedDomain::Rating Constant(float value) {
  return [value](const CIntMatrix&, int) { return value; };
}

inline const CPositionMatrix kOneCell = {{{0, 0}}};

// Runs one optimisation, iterative deepening or the random walk, and returns
// what it printed.
inline std::string Optimise(ScriptedDomain& domain, bool deep, COptimizeLimits limits = {}) {
  COptimize optimizer(&domain);
  optimizer.SetLimits(limits);
  Capture capture;
  deep ? optimizer.RepairDeep() : optimizer.RepairRandom();
  return capture.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The "Evaluation: " values reported, in order.
inline std::vector<std::string> Reports(const std::string& out) {
  std::vector<std::string> values;
  for (const std::string& line : Lines(out)) {
    if (line.rfind("Evaluation: ", 0) == 0) values.push_back(line.substr(12));
  }
  return values;
}

inline std::string PassFile(int pass) {
  std::ostringstream name;
  name << 'o' << pass;
  return name.str();
}

inline int PassFiles() {
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

}  // namespace optimize_test
