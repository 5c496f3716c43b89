// Helpers for the domain tests: a domain built in code from schedule rows
// written as digit strings, with its protected parts opened to the tests, and
// copying a folder's files into the working folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "domtarn.h"

namespace domain_test {

// One schedule row from its digits, one day each; blanks group the weeks.
inline std::vector<int> Row(const std::string& digits) {
  std::vector<int> row;
  for (char c : digits) {
    if (c != ' ') row.push_back(c - '0');
  }
  return row;
}

// Shifts S0, S1, ... of the given lengths, one group G0, G1, ... per row.
// It writes to the console, where the tests capture it.
class TestDomain : public CShiftSchedulingDomain {
 public:
  TestDomain() { SetOutput(std::cout, std::cerr); }
  TestDomain(int weeks, const std::vector<float>& lengths, const std::vector<std::string>& rows)
      : TestDomain() {
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

  using CShiftSchedulingDomain::CheckPlan;
  using CShiftSchedulingDomain::ComputeConstraintVars;
  using CShiftSchedulingDomain::RepairStep1;
  using CShiftSchedulingDomain::RepairStep2;
  using CShiftSchedulingDomain::RepairStep3;
  using CShiftSchedulingDomain::RepairStep4;

  const CFloatMatrix& Work() const { return c_work; }
  const CFloatMatrix& Diff() const { return c_diff; }
  const CShiftBlockMatrix& Blocks() const { return c_shiftblocks; }
  const CFloatVector& FreeWeekends() const { return c_freeweekends; }
  const CIntMatrix& BadWeekends() const { return c_badweekends; }
  void SetCycle(int weeks) { LengthOfCycle = weeks; }

 private:
  static std::string Numbered(char letter, std::size_t number) {
    std::string name(1, letter);
    return name += std::to_string(number);
  }
};

// Cells as (group, day) pairs.
using Cells = std::vector<std::pair<int, int>>;

inline Cells CellsOf(const std::vector<CPosition>& list) {
  Cells cells;
  for (const CPosition& p : list) cells.emplace_back(p.group, p.day);
  return cells;
}

// Copies the files of a folder into the working folder.
inline void CopyFiles(const std::filesystem::path& from) {
  for (const auto& entry : std::filesystem::directory_iterator(from)) {
    if (entry.is_regular_file()) {
      std::filesystem::copy_file(entry.path(), entry.path().filename(),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
}

}  // namespace domain_test
