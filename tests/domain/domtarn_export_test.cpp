// Tests of the constraint variables (weekly hours and their changes, blocks
// of working days, free and worked weekends) and of their export with the
// rest of the domain: the store's names, formulas, values and order, and the
// domain variables file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "domtarn_test_support.h"
#include "expint.h"

namespace {

using domain_test::TestDomain;

// Six groups, three shifts, six weeks; groups 0 to 3 have two recorded blocks
// each, groups 4 and 5 one each: ten blocks in all.
TestDomain SixGroupDomain() {
  const std::string two = "1101100" + std::string(35, '0');
  const std::string one = "1000000" + std::string(35, '0');
  return TestDomain(6, {0, 8, 12}, {two, two, two, two, one, one});
}

std::vector<std::string> FileNames(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  std::vector<std::string> names;
  while (std::getline(in, line)) names.push_back(line.substr(0, line.find(' ')));
  return names;
}

TEST(VariableExport, StoreAndFileHoldEveryVariableInOneOrder) {
  TestDomain domain = SixGroupDomain();
  TVarlist vars;
  domain.InitializeVariables(&vars);
  ASSERT_EQ(vars.number(), 399u);
  const std::pair<std::size_t, const char*> positions[] = {
      {0, "LengthOfCycle"},
      {2, "groups[0].members"},
      {14, "shifts[0].length"},
      {61, "plan[1][0]"},
      {271, "c_diff[0][0]"},
      {336, "c_work[5][5]"},
      {341, "c_shiftblocks[0][1].size"},
      {357, "c_numberofblocks[4]"},
      {363, "c_freeweekends[0]"},
      {398, "c_badweekends[5][4]"},
  };
  for (const auto& [index, name] : positions) {
    EXPECT_STREQ(vars.get(index).get_name(), name) << "entry " << index;
  }

  std::ostringstream file;
  domain.WriteVariables(file);
  EXPECT_EQ(file.str().substr(0, file.str().find('\n') + 1), "/ #: 399 / \n");
  const std::vector<std::string> names = FileNames(file.str());
  ASSERT_EQ(names.size(), 399u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i], vars.get(i).get_name()) << "line " << i + 1;
  }
}

TEST(VariableExport, FormulasValuesAndComputedFlags) {
  TestDomain domain(2, {0, 7.5f}, {"1100000 1111100", "0000000 0000011"});
  domain.GetGroups()[0].SetName("Team1");
  domain.GetGroups()[0].SetMembers(4);
  TVarlist vars;
  domain.InitializeVariables(&vars);
  struct Case {
    const char* name;
    const char* formula;
    float value;
    int computed;
  };
  const Case cases[] = {
      {"LengthOfCycle", "2", 2, 1},
      {"groups[0].name", "\"Team1\"", 0, 0},
      {"shifts[1].length", "7.500000", 7.5f, 1},
      {"plan[1][0]", "0", 0, 0},
      {"c_diff[0][0]", "22.500000", 22.5f, 1},
      {"c_work[0][0]", "15.000000", 15, 1},
      {"c_numberofblocks[0]", "2", 2, 1},
      {"c_shiftblocks[0][1].size", "5", 5, 1},
      {"c_numberofblocks[1]", "0", 0, 0},
      {"c_freeweekends[1]", "0.500000", 0.5f, 1},
      {"c_badweekends[1][0]", "2", 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(vars.in_list(c.name), 1);
    EXPECT_STREQ(vars.get_formula(c.name), c.formula);
    EXPECT_EQ(vars.get_value(c.name), c.value);
    EXPECT_EQ(vars.get_comp(c.name), c.computed);
  }
}

TEST(VariableExport, FileIsWrittenByteForByte) {
  TestDomain domain(2, {0.5f, -8}, {"1100000 1011101"});
  domain.GetGroups()[0].SetName("Night");
  std::ostringstream file;
  domain.WriteVariables(file);
  std::string expected =
      "/ #: 33 / \n"
      "LengthOfCycle 2 2\n"
      "groups[0].name \"Night\" 0\n"
      "groups[0].members 3 3\n"
      "shifts[0].name \"S0\" 0\n"
      "shifts[0].length 0.5 0.5\n"
      "shifts[1].name \"S1\" 0\n"
      "shifts[1].length -8 -8\n";
  const std::string row = "11000001011101";
  for (int d = 0; d < 14; ++d) {
    expected += "plan[0][" + std::to_string(d) + "] " + row[d] + " " + row[d] + "\n";
  }
  expected +=
      "c_diff[0][0] -25.5 -25.5\n"
      "c_work[0][0] -13.5 -13.5\n"
      "c_work[0][1] -39 -39\n"
      "c_numberofblocks[0] 3 3\n"
      "c_shiftblocks[0][0].start 0 0\n"
      "c_shiftblocks[0][0].size 2 2\n"
      "c_shiftblocks[0][1].start 7 7\n"
      "c_shiftblocks[0][1].size 1 1\n"
      "c_shiftblocks[0][2].start 9 9\n"
      "c_shiftblocks[0][2].size 3 3\n"
      "c_freeweekends[0] 0.5 0.5\n"
      "c_badweekends[0][0] 1 1\n";
  EXPECT_EQ(file.str(), expected);
}

// A name too long for a formula text is cut so that both quotes stay. A file
// that cannot be created is passed over without a message.
TEST(VariableExport, LongNamesAndFileNames) {
  TestDomain domain(1, {0}, {"0000000"});
  domain.GetGroups()[0].SetName(std::string(200, 'n'));
  TVarlist vars;
  domain.InitializeVariables(&vars);
  const std::string quoted = '"' + std::string(125, 'n') + '"';
  EXPECT_EQ(vars.get_formula("groups[0].name"), quoted);

  Capture capture;
  domain.WriteVariables(std::string("LongNames.var"));
  const std::string head = "/ #: 15 / \nLengthOfCycle 1 1\ngroups[0].name " + quoted + " 0\n";
  EXPECT_EQ(read_file("LongNames.var").rfind(head, 0), 0u);
  domain.WriteVariables(std::string("no-such-folder/LongNames.var"));
  EXPECT_FALSE(std::filesystem::exists("no-such-folder/LongNames.var"));
  EXPECT_EQ(capture.str(), "");
}

// Tests of the constraint variables: weekly hours and their changes, blocks of
// working days, free and worked weekends.

struct Block {
  int start, size;
  bool operator==(const Block&) const = default;
};

std::vector<Block> BlocksOf(const std::vector<CShiftBlock>& row) {
  std::vector<Block> blocks;
  for (const CShiftBlock& b : row) blocks.push_back({b.start, b.size});
  return blocks;
}

// Shift 0 is the day off with a length of its own, which still counts as
// hours; shift 9 lies outside the shift list.
TEST(ConstraintVars, RowsOfOneGroup) {
  struct Case {
    std::string row;  // seven days a week
    std::vector<float> work;
    std::vector<float> diff;
    std::vector<Block> blocks;
    float freeWeekends;
    std::vector<int> badWeekends;
  };
  const Case cases[] = {
      {"1102220", {53}, {}, {{0, 2}, {3, 3}}, 0, {}},
      {"1111111", {56}, {}, {}, 0, {}},  // no day off: no block
      // The last day worked: the last block is left out.
      {"0011000 1100011", {18.5f, 33.5f}, {15}, {{2, 2}, {7, 2}}, 0.5f, {2}},
      {"0000111 1100000", {26, 18.5f}, {-7.5f}, {{4, 5}}, 0.5f, {2}},  // into the next week
      // Weekends worked, then free.
      {"0000011 0000022 0000000",
       {18.5f, 26.5f, 3.5f},
       {8, -23},
       {{5, 2}, {12, 2}},
       1 / 3.0f,
       {4, 2}},
      {"1919191", {32}, {}, {{0, 1}, {2, 1}, {4, 1}}, 0, {}},  // shift 9 is a day off
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    const int weeks = static_cast<int>(domain_test::Row(c.row).size() / 7);
    TestDomain domain(weeks, {0.5f, 8, 12}, {c.row});
    domain.ComputeConstraintVars();
    ASSERT_EQ(domain.Work().size(), 1u);
    EXPECT_EQ(domain.Work()[0], c.work);
    EXPECT_EQ(domain.Diff()[0], c.diff);
    EXPECT_EQ(BlocksOf(domain.Blocks()[0]), c.blocks);
    EXPECT_EQ(domain.FreeWeekends()[0], c.freeWeekends);
    EXPECT_EQ(domain.BadWeekends()[0], c.badWeekends);
  }
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

}  // namespace
