// Helpers for the tests of evaluation, variable export and repair: a domain
// built in code, schedule rows written as digit strings, and a capture of the
// console output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "domtarn.h"

namespace domain_test {

class CoutCapture {
 public:
  CoutCapture() : saved(std::cout.rdbuf(buffer.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved); }
  std::string Text() const { return buffer.str(); }
  // The text printed so far; the capture starts over.
  std::string Take() {
    std::string text = buffer.str();
    buffer.str("");
    return text;
  }

 private:
  std::ostringstream buffer;
  std::streambuf* saved;
};

// One schedule row from its digits, one day each; blanks group the weeks.
inline std::vector<int> Row(const std::string& digits) {
  std::vector<int> row;
  for (char c : digits) {
    if (c != ' ') row.push_back(c - '0');
  }
  return row;
}

// A domain built in code, with its protected parts opened to the tests.
class TestDomain : public CShiftSchedulingDomain {
 public:
  // Groups G0, G1, ... (one per row), shifts S0, S1, ... of the given lengths.
  TestDomain(int weeks, const std::vector<float>& lengths, const std::vector<std::string>& rows) {
    LengthOfCycle = weeks;
    for (float length : lengths) {
      GetShifts().emplace_back(Numbered('S', GetShifts().size()).c_str(), 0, 1);
      GetShifts().back().SetLength(length);
    }
    for (const std::string& digits : rows) {
      GetGroups().emplace_back(Numbered('G', GetGroups().size()).c_str(), 3);
      schedule.push_back(Row(digits));
    }
  }

  static std::string Numbered(char letter, std::size_t number) {
    std::string name(1, letter);
    name += std::to_string(number);
    return name;
  }

  using CShiftSchedulingDomain::ComputeConstraintVars;
  using CShiftSchedulingDomain::ComputeRepairStart_BADWEEKENDS;
  using CShiftSchedulingDomain::ComputeRepairStart_DIFFHOURS;
  using CShiftSchedulingDomain::ComputeRepairStart_FREEWEEKENDS;
  using CShiftSchedulingDomain::ComputeRepairStart_SHIFTBLOCKS;
  using CShiftSchedulingDomain::ComputeRepairStart_WORKINGHOURS;
  using CShiftSchedulingDomain::RepairStep1;
  using CShiftSchedulingDomain::RepairStep2;
  using CShiftSchedulingDomain::RepairStep3;
  using CShiftSchedulingDomain::RepairStep4;

  const CFloatMatrix& Diff() const { return c_diff; }
  const CFloatMatrix& Work() const { return c_work; }
  const CShiftBlockMatrix& Blocks() const { return c_shiftblocks; }
  const CFloatVector& FreeWeekends() const { return c_freeweekends; }
  const CIntMatrix& BadWeekends() const { return c_badweekends; }
  void SetCycle(int weeks) { LengthOfCycle = weeks; }
};

// Cells as (group, day) pairs, for comparing repair starts.
using Cells = std::vector<std::pair<int, int>>;

inline Cells CellsOf(const std::vector<CPosition>& list) {
  Cells cells;
  for (const CPosition& p : list) cells.emplace_back(p.group, p.day);
  return cells;
}

// Per day, how many groups hold each shift: a repair move must keep these.
inline std::vector<std::vector<int>> DayCounts(const CIntMatrix& schedule) {
  std::vector<std::vector<int>> columns;
  for (std::size_t d = 0; !schedule.empty() && d < schedule.front().size(); ++d) {
    std::vector<int> column;
    for (const std::vector<int>& row : schedule) column.push_back(row[d]);
    std::sort(column.begin(), column.end());
    columns.push_back(column);
  }
  return columns;
}

}  // namespace domain_test
