// Tests of the evaluation of a schedule: the constraint variables computed
// from a schedule that does not match its groups and cycle; sorting, summing
// and keeping the previous list, the variables file of every evaluation; the
// order of equally rated constraints, and the repair starts derived from the
// ratings. (The constraint variables of well-formed rosters and their export
// are checked byte for byte by the end-to-end cases write_*_variables and
// read_record_versions; the variables file written in place, by the domain
// file tests. The DIFFHOURS starts seeded once per entry from the clock or
// from --seed, by the end-to-end cases opt_*, div_zero_* and
// cmd_optimize_seed.)
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "domtarn_test_support.h"
#include "domtarn_tree.h"
#include "expint.h"

namespace {

using domain_test::Cells;
using domain_test::CellsOf;
using domain_test::TestDomain;

struct Block {
  int start, size;
  bool operator==(const Block&) const = default;
};

std::vector<Block> BlocksOf(const std::vector<CShiftBlock>& row) {
  std::vector<Block> blocks;
  for (const CShiftBlock& b : row) blocks.push_back({b.start, b.size});
  return blocks;
}

// A recomputation replaces what an earlier one left. A schedule that does not
// match its groups and cycle is read without going past it: a row yields the
// weeks it reaches into, its missing days count as free days of no hours, and
// weeks missing from a row count as free weekends.
TEST(ConstraintVars, RecomputedWithoutReadingOutsideTheSchedule) {
  TestDomain domain(1, {0, 8}, {"1101100", "1111100"});
  domain.ComputeConstraintVars();
  domain.SetCycle(2);
  domain.GetSchedule() = {domain_test::Row("1111111 11"), domain_test::Row("1")};
  domain.GetGroups().emplace_back("Extra", 1);
  domain.ComputeConstraintVars();
  EXPECT_EQ(domain.Work(), (CFloatMatrix{{56, 16}, {8}, {}}));
  EXPECT_EQ(BlocksOf(domain.Blocks()[0]), (std::vector<Block>{{0, 9}}));
  EXPECT_EQ(BlocksOf(domain.Blocks()[1]), (std::vector<Block>{{0, 1}}));
  EXPECT_EQ(domain.BadWeekends(), (CIntMatrix{{2}, {}, {}}));
  EXPECT_EQ(domain.FreeWeekends(), (CFloatVector{0.5f, 1, 1}));

  // A cycle length left from a read that stopped early costs nothing.
  TestDomain huge(214748364, {0, 8}, {"1111100"});
  huge.ComputeConstraintVars();
  EXPECT_EQ(huge.Work(), (CFloatMatrix{{40}}));
  EXPECT_EQ(huge.FreeWeekends(), (CFloatVector{1}));

  TestDomain empty(0, {}, {});
  empty.GetGroups().emplace_back("Lonely", 1);
  empty.ComputeConstraintVars();
  EXPECT_EQ(empty.FreeWeekends(), (CFloatVector{0}));
  EXPECT_TRUE(empty.Work()[0].empty());
}

// Computing again after a change gives what a domain computing the changed
// schedule once gives, though only changed rows are walked again: a row
// changed, another shift length, the caching switched off.
TEST(ConstraintVars, ComputedAgainAfterAChangeAsFromScratch) {
  const std::vector<std::string> rows = {"1101100 1111100", "0011111 1100011", "1111000 0001111"};
  const auto values = [](const TestDomain& d) {
    std::vector<std::vector<Block>> blocks;
    for (const auto& row : d.Blocks()) blocks.push_back(BlocksOf(row));
    return std::make_tuple(d.Work(), d.Diff(), blocks, d.FreeWeekends(), d.BadWeekends());
  };
  struct TCase {
    const char* what;
    void (*change)(TestDomain&);
  } const cases[] = {
      {"row", [](TestDomain& d) { d.GetSchedule()[1] = domain_test::Row("1111111 0000011"); }},
      {"shift length", [](TestDomain& d) { d.GetShifts()[1].SetLength(6); }},
      {"caching off",
       [](TestDomain& d) {
         d.SetCaching(false);
         d.GetSchedule()[2] = domain_test::Row("0000000 1111111");
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TestDomain domain(2, {0, 8}, rows);
    domain.ComputeConstraintVars();
    c.change(domain);
    domain.ComputeConstraintVars();
    TestDomain fresh(2, {0, 8}, rows);
    c.change(fresh);
    fresh.ComputeConstraintVars();
    EXPECT_EQ(values(domain), values(fresh));
  }
}

ConstraintEvaluation Rated(const std::string& branch, const std::string& formula, float value,
                           const std::string& name = "c") {
  ConstraintEvaluation entry;
  entry.SetName(name);
  entry.SetBranch(branch);
  entry.SetFormula(formula);
  entry.SetValue(value);
  return entry;
}

// Two weeks; every group works shift 1 on weekdays and is off at weekends.
TestDomain WeekdayDomain(int groups) {
  return TestDomain(2, {0, 8, 12, 8}, std::vector<std::string>(groups, "1111100 1111100"));
}

// The store's variables file.
std::string VariablesFileOf(const TVarlist& vars) {
  std::ostringstream out;
  vars.write(out);
  return out.str();
}

// The store as a text: the variables file and every computed flag.
std::string StoreText(const TVarlist& vars) {
  std::ostringstream out;
  out << VariablesFileOf(vars);
  for (std::size_t i = 0; i < vars.number(); ++i) out << ' ' << vars.get(i).get_comp();
  return out.str();
}

// Exports into empty stores reuse what earlier exports of the same table
// sizes built; each must hold exactly what the first export of its domain
// holds, whatever was exported before and whatever the script did to it, and
// each evaluation's variables file must show it.
TEST(Export, EveryExportMatchesAFirstExport) {
  const std::vector<std::string> two = {"1111100 1111100", "0011111 1100000"};
  struct Step {
    std::vector<std::string> rows;
    const char* group_name;
    float shift_length;
    int members;
  } const steps[] = {
      {two, "G0", 8, 3},
      {two, "G0", 8, 3},
      {{"1111100 1111100", "0001111 1110000"}, "G0", 8, 3},  // one group moved, same sizes
      {{"1111100 1111100", "0001111 1110000"}, "G0", 7, 3},  // the same rows, other hours
      {two, "G0", 8, 3},
      {{"1111100 1111100", "0022222 2200000"}, "sinus", 0, 3},  // other values, same sizes
      {two, "sinus", -0.0f, 3},                                 // a zero of the other sign
      {two, "G0", 8, 16777217},                                 // ints rounded to one float
      {two, "G0", 8, 16777216},
      {{"1101100 1111100", "0011111 1100000"}, "G0", 8, 3},  // one more block
      {two, "plan[i]", -2.5f, 3},
      {two, "G0", 8, 3},
      {{"1111100 1111100", "0011111 1100000", "2222200 0000000"}, "G0", 8, 3},  // one more group
      {{"1111100", "0011111"}, "G0", 8, 3},                                     // shorter rows
  };
  TestDomain reused(2, {0, 8, 8}, steps[0].rows);
  for (const Step& step : steps) {
    TestDomain fresh(2, {0, step.shift_length, 8}, step.rows);
    fresh.GetGroups()[0].SetName(step.group_name);
    fresh.GetGroups()[0].SetMembers(step.members);
    reused.GetGroups() = fresh.GetGroups();
    reused.GetShifts() = fresh.GetShifts();
    reused.SetSchedule(fresh.GetSchedule());
    TVarlist expected;
    fresh.InitializeVariables(&expected);
    reused.Evaluate();
    EXPECT_EQ(read_file("test2.dat"), VariablesFileOf(expected))
        << step.group_name << " " << step.members;
    TVarlist vars;
    reused.InitializeVariables(&vars);
    EXPECT_EQ(StoreText(vars), StoreText(expected)) << step.group_name << " " << step.members;
    EXPECT_EQ(vars.get_value("plan[1][3]"), expected.get_value("plan[1][3]"));
    vars.get(0).set_value(99);
    vars.set_formula("plan[0][0]", "7");
    vars.insert("extra", "1", 1);
    vars.remove("c_work[0][0]");
  }
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

TEST(Evaluate, TheListIsSortedSummedAndRepaired) {
  write_file("tree.tab",
             "CONCAT r r r\n"
             "AND bad bad bad bad good bad good bad bad good good good\n"
             "OR bad bad bad bad good good good bad good good good good\n");
  TestDomain domain = WeekdayDomain(2);
  domain.GetSchedule()[1] = domain_test::Row("1111100 1111120");
  domain.SetStaticData(kTreeScript);
  Capture capture;
  const float sum = (0.2f + 0.5f) + 0.9f;
  EXPECT_EQ(domain.Evaluate(), sum);
  EXPECT_EQ(capture.str(), "");
  const ConstraintEvaluations& list = domain.GetEvalData();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_STREQ(list[0].GetBranch(), "DIFFHOURS");
  EXPECT_STREQ(list[0].GetFormula(), "change[1][0]");
  EXPECT_STREQ(list[2].GetFormula(), "week[1][0]");
  const CPositionMatrix& starts = domain.GetRepairPositions();
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0].size(), 5u);  // days 7 to 11 of the heavier second week
  EXPECT_EQ(CellsOf(starts[1]).front(), std::make_pair(0, 7));

  // Right after an evaluation, before its list is asked for, a script that
  // builds no tree keeps that list (sorted, summed and repaired again).
  std::string lower = kTreeScript;
  lower.replace(lower.find("0.9"), 3, "0.1");
  domain.SetStaticData(lower);
  domain.Evaluate();
  domain.SetStaticData("");
  EXPECT_EQ(domain.Evaluate(), (0.1f + 0.2f) + 0.5f);
  EXPECT_EQ(domain.GetRepairPositions().size(), 3u);
  EXPECT_STREQ(domain.GetEvalData().at(0).GetFormula(), "week[1][0]");
  domain.SetStaticData(kTreeScript);
  domain.Evaluate();

  // A tree without constraints empties the list; the evaluation and the
  // repair starts of the last list stay.
  domain.SetStaticData(
      "TABLE tree.tab PARAMETERSET n: r l: 0 u: 1 m: 0.5 d: 1 g: 1 i: 1 t: bad good END "
      "EVALTREE r total WORKINGHOURS AND END");
  EXPECT_EQ(domain.Evaluate(), -1);
  EXPECT_TRUE(domain.GetEvalData().empty());
  EXPECT_EQ(domain.GetEvaluation(), sum);
  EXPECT_EQ(domain.GetRepairPositions().size(), 3u);

  // A script that builds no tree leaves the list as it is; it is sorted,
  // summed and repaired again.
  domain.SetStaticData("");
  domain.GetEvalData() = {Rated("WORKINGHOURS", "w[0][0]", 0.5f),
                          Rated("WORKINGHOURS", "w[1][1]", 0.25f)};
  EXPECT_EQ(domain.Evaluate(), 0.75f);
  EXPECT_STREQ(domain.GetEvalData().at(0).GetFormula(), "w[1][1]");
  ASSERT_EQ(domain.GetRepairPositions().size(), 2u);
  EXPECT_EQ(CellsOf(domain.GetRepairPositions()[0]).front(), std::make_pair(1, 7));
}

// Repair starts are taken from the front of the sorted list, so entries of
// equal rating must come out in the very order sorting the list gives.
TEST(SortByRating, GivesTheOrderOfSortingTheEntriesThemselves) {
  std::mt19937 random(11);
  // Entries and distinct ratings (few: many ties).
  for (const auto& [entries, ratings] :
       {std::pair{0, 1}, {1, 1}, {2, 1}, {5, 2}, {16, 3}, {17, 3}, {40, 40}, {150, 4}, {600, 7}}) {
    for (int round = 0; round < 5; ++round) {
      std::uniform_int_distribution<int> rating(0, ratings - 1);
      ConstraintEvaluations list;
      for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        list.push_back(Rated("b", "place[" + n + "][0]", rating(random) / 4.0f, "entry" + n));
      }
      ConstraintEvaluations expected = list;
      std::sort(expected.begin(), expected.end());
      SortByRating(list);
      for (std::size_t i = 0; i < list.size(); ++i) {
        ASSERT_STREQ(list[i].GetName(), expected[i].GetName()) << entries << " entries, " << i;
        EXPECT_STREQ(list[i].GetFormula(), expected[i].GetFormula());
        EXPECT_EQ(list[i].GetValue(), expected[i].GetValue());
      }
    }
  }
}

TEST(RepairStarts, TenWorstConstraintsOfKnownKinds) {
  TestDomain domain = WeekdayDomain(6);
  ConstraintEvaluations& list = domain.GetEvalData();
  list = {Rated("branch", "x[0][0]", 0), Rated("OVERTIME", "x[0][0]", 0)};
  for (int i = 0; i < 12; ++i) {
    const std::string place =
        "c_work[" + std::to_string(i % 6) + "][" + std::to_string(i / 6) + "]";
    list.push_back(Rated("WORKINGHOURS", place, static_cast<float>(i)));
  }
  list.insert(list.begin() + 5, Rated("OVERTIME", "x[0][0]", 0));
  Capture capture;
  domain.ComputeRepairStarts();
  EXPECT_EQ(capture.str(),
            "No repair positions function for constraint: OVERTIME\n"
            "No repair positions function for constraint: OVERTIME\n");
  const CPositionMatrix& starts = domain.GetRepairPositions();
  ASSERT_EQ(starts.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(CellsOf(starts[i]).front(), std::make_pair(i % 6, 7 * (i / 6))) << i;
  }
}

// Formulas without two bracketed indices, or with indices outside the
// schedule, the cycle or the block list, give no list.
TEST(RepairStarts, CellsPerKind) {
  const auto second_week = [](int g) {
    Cells cells;
    for (int d = 7; d < 14; ++d) cells.emplace_back(g, d);
    return cells;
  };
  const Cells week = second_week(2);
  const struct {
    const char *branch, *formula;
    Cells cells;
  } cases[] = {
      {"WORKINGHOURS", "c_work[2][1]", week},
      {"WORKINGHOURS", "[ 2 ] then [+1]", week},
      // Blanks before an index are skipped; other control characters end it.
      {"WORKINGHOURS", "[\t\n\v\f\r 2][1]", week},
      {"WORKINGHOURS", "[\b2][1]", second_week(0)},
      {"WORKINGHOURS",
       "[\x0e"
       "2][1]",
       second_week(0)},
      {"SHIFTBLOCKS", "c_shiftblocks[1][1].size", {{1, 10}, {1, 11}, {1, 12}}},
      {"FREEWEEKENDS", "anything", {{0, 0}}},
      {"BADWEEKENDS", "c_badweekends[2][0]", {{0, 0}}},
      {"WORKINGHOURS", "c_work[2]", {}},
      {"WORKINGHOURS", "c_work[3][0]", {}},
      {"WORKINGHOURS", "c_work[0][2]", {}},
      {"WORKINGHOURS", "c_work[99999999999][0]", {}},
      {"DIFFHOURS", "c_diff[-1][0]", {}},
      {"SHIFTBLOCKS", "c_shiftblocks[1][2]", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.branch) + " " + c.formula);
    TestDomain domain(2, {0, 8}, {"1111100 1111100", "1100000 0001110", "0000000 0000000"});
    domain.ComputeConstraintVars();
    domain.GetEvalData() = {Rated(c.branch, c.formula, 0)};
    domain.ComputeRepairStarts();
    const CPositionMatrix& starts = domain.GetRepairPositions();
    EXPECT_EQ(starts.empty() ? Cells() : CellsOf(starts.at(0)), c.cells);
  }
}

// The cells with shift 1 or 3 of the heavier week (the first week when both
// weigh the same); the first of them gives way to a randomly chosen one.
TEST(RepairStarts, DiffHoursTakesTheHeavierWeek) {
  const std::pair<std::string, std::vector<int>> cases[] = {
      {"1111100 1111120", {7, 8, 9, 10, 11}},
      {"3101100 1101100", {0, 1, 3, 4}},
      {"1301120 1101100", {0, 1, 3, 4}},
      {"0000000 0003000", {10}},
      {"0000000 0002000", {}},
  };
  for (const auto& [row, candidates] : cases) {
    SCOPED_TRACE(row);
    TestDomain domain(2, {0, 8, 8, 8}, {"0000000 0000000", row});
    domain.GetEvalData() = {Rated("DIFFHOURS", "c_diff[1][0]", 0)};
    domain.ComputeRepairStarts();
    const CPositionMatrix& starts = domain.GetRepairPositions();
    ASSERT_EQ(starts.size(), candidates.empty() ? 0u : 1u);
    if (candidates.empty()) continue;
    std::vector<int> days;
    for (const CPosition& p : starts[0]) days.push_back(p.group == 1 ? p.day : -1);
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), days[0]), candidates.end());
    days[0] = candidates[0];
    EXPECT_EQ(days, candidates);
  }
  // A heavier week without candidates yields no list but still counts
  // towards the ten.
  TestDomain domain(2, {0, 8, 8, 8}, {"1111100 1111100", "2000000 0000000"});
  domain.GetEvalData().assign(10, Rated("DIFFHOURS", "c_diff[1][0]", 0));
  domain.GetEvalData().push_back(Rated("WORKINGHOURS", "c_work[0][0]", 1));
  domain.ComputeRepairStarts();
  EXPECT_TRUE(domain.GetRepairPositions().empty());
}

}  // namespace
