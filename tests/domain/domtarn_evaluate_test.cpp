// Tests of the schedule evaluation (sorting, summing, keeping the previous
// list, the variables file of every evaluation) and of the repair starts
// derived from the rated constraints.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "domtarn_test_support.h"
#include "expint.h"

namespace {

using domain_test::Cells;
using domain_test::CellsOf;
using domain_test::CoutCapture;
using domain_test::TestDomain;

ConstraintEvaluation Rated(const char* branch, const char* formula, float value) {
  ConstraintEvaluation entry;
  entry.SetName("c");
  entry.SetBranch(branch);
  entry.SetFormula(formula);
  entry.SetValue(value);
  return entry;
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The line of a variables file that holds the variable `name`.
std::string LineOf(const std::string& text, const std::string& name) {
  const std::size_t at = text.find('\n' + name + ' ');
  if (at == std::string::npos) return "";
  return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

// Two weeks; every group works shift 1 on weekdays and is off at weekends.
TestDomain WeekdayDomain(int groups) {
  return TestDomain(2, {0, 8, 12, 8}, std::vector<std::string>(groups, "1111100 1111100"));
}

// ------------------------------------------------------------- evaluation

// A script that builds no tree leaves the list of the previous evaluation,
// which is sorted and summed again.
TEST(Evaluate, WithoutATreeThePreviousListIsSortedAndSummed) {
  TestDomain domain = WeekdayDomain(3);
  EXPECT_EQ(domain.Evaluate(), -1);
  EXPECT_EQ(domain.GetEvaluation(), 0);
  EXPECT_TRUE(domain.GetRepairPositions().empty());

  domain.GetEvalData() = {Rated("WORKINGHOURS", "w[0][0]", 0.5f),
                          Rated("WORKINGHOURS", "w[1][0]", 0.2f),
                          Rated("WORKINGHOURS", "w[2][1]", 0.9f)};
  const float sum = (0.2f + 0.5f) + 0.9f;
  EXPECT_EQ(domain.Evaluate(), sum);
  EXPECT_EQ(domain.GetEvaluation(), sum);
  const ConstraintEvaluations& list = domain.GetEvalData();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].GetValue(), 0.2f);
  EXPECT_EQ(list[1].GetValue(), 0.5f);
  EXPECT_EQ(list[2].GetValue(), 0.9f);
  ASSERT_EQ(domain.GetRepairPositions().size(), 3u);
  EXPECT_EQ(domain.GetRepairPositions()[0].front().group, 1);
  EXPECT_EQ(domain.GetRepairPositions()[2].front().day, 7);

  // A new schedule changes nothing until the next evaluation.
  CIntMatrix other = domain.GetSchedule();
  other[0][0] = 0;
  domain.SetSchedule(other);
  EXPECT_EQ(domain.GetEvaluation(), sum);
  EXPECT_EQ(domain.GetEvalData().size(), 3u);
  EXPECT_EQ(domain.GetRepairPositions().size(), 3u);
}

// The variables file of every evaluation holds the store as exported, in the
// store's own file format.
TEST(Evaluate, EveryEvaluationRewritesTheVariablesFile) {
  TestDomain domain = WeekdayDomain(2);
  domain.GetShifts()[2].SetLength(7.123456f);
  domain.GetShifts()[3].SetLength(1234567.0f);
  std::remove("test2.dat");
  domain.Evaluate();
  TVarlist vars;
  domain.InitializeVariables(&vars);
  std::ostringstream expected;
  vars.write(expected);
  EXPECT_EQ(ReadFile("test2.dat"), expected.str());

  domain.GetSchedule()[1][3] = 2;
  domain.Evaluate();
  const std::string text = ReadFile("test2.dat");
  EXPECT_EQ(LineOf(text, "plan[1][3]"), "plan[1][3] 2 2");
  EXPECT_EQ(LineOf(text, "shifts[3].length"), "shifts[3].length 1234567.000000 1.23457e+06");
  const std::string work = LineOf(text, "c_work[1][0]");
  EXPECT_EQ(work.substr(work.rfind(' ')), " 39.1235");
}

// A script that rates three constraints with fixed values through a tree of
// two branches.
const char* const kTreeScript =
    "TABLE tree.tab\n"
    "PARAMETERSET n: r l: 0 u: 1 m: 0.5 d: 1 g: 1 i: 1 t: bad good END\n"
    "FUZZYVAR k r\n"
    "EVALTREE r total WORKINGHOURS AND DIFFHOURS OR END\n"
    "SET k = 0.5 AGGREGATE WORKINGHOURS AND k week[0][1]\n"
    "SET k = 0.2 AGGREGATE DIFFHOURS AND k change[1][0]\n"
    "SET k = 0.9 AGGREGATE WORKINGHOURS AND k week[1][0]\n";

void WriteTreeTable() {
  std::ofstream("tree.tab") << "CONCAT r r r\n"
                               "AND bad bad bad bad good bad good bad bad good good good\n"
                               "OR bad bad bad bad good good good bad good good good good\n";
}

TEST(Evaluate, TheScriptsTreeIsSortedSummedAndRepaired) {
  WriteTreeTable();
  TestDomain domain = WeekdayDomain(2);
  domain.GetSchedule()[1] = domain_test::Row("1111100 1111120");
  domain.SetStaticData(kTreeScript);
  CoutCapture capture;
  const float sum = (0.2f + 0.5f) + 0.9f;
  EXPECT_EQ(domain.Evaluate(), sum);
  EXPECT_EQ(capture.Text(), "");
  EXPECT_EQ(domain.GetEvaluation(), sum);
  const ConstraintEvaluations& list = domain.GetEvalData();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_STREQ(list[0].GetBranch(), "DIFFHOURS");
  EXPECT_STREQ(list[0].GetFormula(), "change[1][0]");
  EXPECT_STREQ(list[0].GetName(), "k");
  EXPECT_EQ(list[1].GetValue(), 0.5f);
  EXPECT_STREQ(list[2].GetFormula(), "week[1][0]");
  const CPositionMatrix& starts = domain.GetRepairPositions();
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].size(), 5u);  // days 7 to 11 of the heavier second week
  EXPECT_EQ(starts[0][1].day, 8);
  EXPECT_EQ(CellsOf(starts[1]).front(), std::make_pair(0, 7));
  EXPECT_EQ(CellsOf(starts[2]).back(), std::make_pair(1, 6));

  // A tree without constraints empties the list; the evaluation and the
  // repair starts of the last list stay.
  domain.SetStaticData(
      "TABLE tree.tab PARAMETERSET n: r l: 0 u: 1 m: 0.5 d: 1 g: 1 i: 1 t: bad good END "
      "EVALTREE r total WORKINGHOURS AND END");
  EXPECT_EQ(domain.Evaluate(), -1);
  EXPECT_TRUE(domain.GetEvalData().empty());
  EXPECT_EQ(domain.GetEvaluation(), sum);
  EXPECT_EQ(domain.GetRepairPositions().size(), 3u);
}

// --------------------------------------------------------- repair starts

TEST(RepairStarts, TenWorstConstraintsOfKnownKinds) {
  TestDomain domain = WeekdayDomain(6);
  ConstraintEvaluations& list = domain.GetEvalData();
  list.push_back(Rated("branch", "x[0][0]", 0));
  list.push_back(Rated("OVERTIME", "x[0][0]", 0));
  for (int i = 0; i < 12; ++i) {
    const std::string place =
        "c_work[" + std::to_string(i % 6) + "][" + std::to_string(i / 6) + "]";
    list.push_back(Rated("WORKINGHOURS", place.c_str(), static_cast<float>(i)));
  }
  list.insert(list.begin() + 5, Rated("OVERTIME", "x[0][0]", 0));
  CoutCapture capture;
  domain.ComputeRepairStarts();
  EXPECT_EQ(capture.Text(),
            "No repair positions function for constraint: OVERTIME\n"
            "No repair positions function for constraint: OVERTIME\n");
  const CPositionMatrix& starts = domain.GetRepairPositions();
  ASSERT_EQ(starts.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(starts[i].front().group, i % 6);
    EXPECT_EQ(starts[i].front().day, 7 * (i / 6));
  }
}

TEST(RepairStarts, CellsPerKind) {
  struct Case {
    const char* branch;
    const char* formula;
    Cells cells;
  };
  const Case cases[] = {
      {"WORKINGHOURS",
       "c_work[2][1]",
       {{2, 7}, {2, 8}, {2, 9}, {2, 10}, {2, 11}, {2, 12}, {2, 13}}},
      {"WORKINGHOURS", "[ 1 ] then [+0]", {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}}},
      {"SHIFTBLOCKS", "c_shiftblocks[1][1].size", {{1, 10}, {1, 11}, {1, 12}}},
      {"FREEWEEKENDS", "anything", {{0, 0}}},
      {"BADWEEKENDS", "c_badweekends[2][0]", {{0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.branch) + " " + c.formula);
    TestDomain domain(2, {0, 8}, {"1111100 1111100", "1100000 0001110", "0000000 0000000"});
    domain.ComputeConstraintVars();
    domain.GetEvalData() = {Rated(c.branch, c.formula, 0)};
    domain.ComputeRepairStarts();
    ASSERT_EQ(domain.GetRepairPositions().size(), 1u);
    EXPECT_EQ(CellsOf(domain.GetRepairPositions()[0]), c.cells);
  }
}

// Formulas without two bracketed indices, or with indices outside the
// schedule, the cycle or the block list, give no cells.
TEST(RepairStarts, FormulasThatNameNoCellGiveNoList) {
  const char* kinds[] = {"DIFFHOURS", "WORKINGHOURS", "SHIFTBLOCKS"};
  const char* formulas[] = {
      "c_diff",        "c_diff[0]",     "c_diff[0][1",  "c_diff[3][0]",
      "c_diff[-1][0]", "c_diff[0][-1]", "c_diff[0][9]", "c_diff[99999999999][0]",
      "c_diff[0][2]"};
  for (const char* kind : kinds) {
    for (const char* formula : formulas) {
      SCOPED_TRACE(std::string(kind) + " " + formula);
      TestDomain domain(2, {0, 8}, {"1111100 1111100", "1100000 0001110", "0000000 0000000"});
      domain.ComputeConstraintVars();
      domain.GetEvalData() = {Rated(kind, formula, 0)};
      domain.ComputeRepairStarts();
      EXPECT_TRUE(domain.GetRepairPositions().empty());
    }
  }
}

// The cells with shift 1 or 3 of the heavier week, the first of them replaced
// by a randomly chosen one.
TEST(RepairStarts, DiffHoursTakesTheHeavierWeek) {
  struct Case {
    const char* label;
    std::string row;
    std::vector<int> candidates;
  };
  const Case cases[] = {
      {"second week heavier", "1111100 1111120", {7, 8, 9, 10, 11}},
      {"equal weeks take the first", "3101100 1101100", {0, 1, 3, 4}},
      {"one candidate", "0000000 0003000", {10}},
      {"no candidate", "0000000 0002000", {}},
      {"first week heavier", "1301120 1101100", {0, 1, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TestDomain domain(2, {0, 8, 8, 8}, {"0000000 0000000", c.row});
    domain.GetEvalData() = {Rated("DIFFHOURS", "c_diff[1][0]", 0)};
    domain.ComputeRepairStarts();
    if (c.candidates.empty()) {
      EXPECT_TRUE(domain.GetRepairPositions().empty());
      continue;
    }
    ASSERT_EQ(domain.GetRepairPositions().size(), 1u);
    const std::vector<CPosition>& cells = domain.GetRepairPositions()[0];
    ASSERT_EQ(cells.size(), c.candidates.size());
    EXPECT_NE(std::find(c.candidates.begin(), c.candidates.end(), cells[0].day),
              c.candidates.end());
    for (std::size_t i = 0; i < cells.size(); ++i) {
      EXPECT_EQ(cells[i].group, 1);
      if (i > 0) {
        EXPECT_EQ(cells[i].day, c.candidates[i]);
      }
    }
  }
}

// The generator is seeded with the time in seconds, so two computations in
// the same second choose the same cell. A heavier week without candidates
// yields no list but still counts towards the ten.
TEST(RepairStarts, DiffHoursChoiceDependsOnTheSecond) {
  TestDomain domain(2, {0, 8, 8, 8}, {"1111100 1111100", "2000000 0000000"});
  domain.GetEvalData() = {Rated("DIFFHOURS", "c_diff[0][0]", 0)};
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    domain.ComputeRepairStarts();
    const Cells first = CellsOf(domain.GetRepairPositions().at(0));
    domain.ComputeRepairStarts();
    const Cells second = CellsOf(domain.GetRepairPositions().at(0));
    if (std::time(nullptr) != before) continue;
    EXPECT_EQ(first, second);
    break;
  }

  domain.GetEvalData().clear();
  for (int i = 0; i < 10; ++i)
    domain.GetEvalData().push_back(Rated("DIFFHOURS", "c_diff[1][0]", 0));
  domain.GetEvalData().push_back(Rated("WORKINGHOURS", "c_work[0][0]", 1));
  domain.ComputeRepairStarts();
  EXPECT_TRUE(domain.GetRepairPositions().empty());
}

}  // namespace
