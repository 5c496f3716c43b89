// Tests of the domain variable export: the store's names, formulas, values and
// order, and the domain variables file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "domtarn_test_support.h"
#include "expint.h"

namespace {

using domain_test::CoutCapture;
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
      {1, "groups[0].name"},
      {2, "groups[0].members"},
      {12, "groups[5].members"},
      {13, "shifts[0].name"},
      {14, "shifts[0].length"},
      {19, "plan[0][0]"},
      {60, "plan[0][41]"},
      {61, "plan[1][0]"},
      {270, "plan[5][41]"},
      {271, "c_diff[0][0]"},
      {300, "c_diff[5][4]"},
      {301, "c_work[0][0]"},
      {336, "c_work[5][5]"},
      {337, "c_numberofblocks[0]"},
      {338, "c_shiftblocks[0][0].start"},
      {339, "c_shiftblocks[0][0].size"},
      {341, "c_shiftblocks[0][1].size"},
      {342, "c_numberofblocks[1]"},
      {357, "c_numberofblocks[4]"},
      {362, "c_shiftblocks[5][0].size"},
      {363, "c_freeweekends[0]"},
      {369, "c_badweekends[0][0]"},
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
      {"groups[0].members", "4", 4, 1},
      {"shifts[0].length", "0.000000", 0, 0},
      {"shifts[1].length", "7.500000", 7.5f, 1},
      {"plan[0][1]", "1", 1, 1},
      {"plan[1][0]", "0", 0, 0},
      {"c_diff[0][0]", "22.500000", 22.5f, 1},
      {"c_diff[1][0]", "15.000000", 15, 1},
      {"c_work[0][0]", "15.000000", 15, 1},
      {"c_numberofblocks[0]", "2", 2, 1},
      {"c_shiftblocks[0][1].start", "7", 7, 1},
      {"c_shiftblocks[0][1].size", "5", 5, 1},
      {"c_numberofblocks[1]", "0", 0, 0},
      {"c_freeweekends[0]", "1.000000", 1, 1},
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

// A name too long for a formula text is cut so that both quotes stay.
TEST(VariableExport, LongNamesKeepTheirQuotes) {
  TestDomain domain(1, {0}, {"0000000"});
  domain.GetGroups()[0].SetName(std::string(200, 'n'));
  TVarlist vars;
  domain.InitializeVariables(&vars);
  const std::string formula = vars.get_formula("groups[0].name");
  EXPECT_EQ(formula, '"' + std::string(125, 'n') + '"');

  std::ostringstream file;
  domain.WriteVariables(file);
  EXPECT_NE(file.str().find("groups[0].name " + formula + " 0\n"), std::string::npos);
}

TEST(VariableExport, FileIsWrittenByteForByte) {
  TestDomain domain(2, {0.5f, 7.5f, 12}, {"1100000 1111102", "2000000 0000011"});
  domain.GetGroups()[1].SetName("Night");
  domain.GetShifts()[1].SetLength(-8);
  std::ostringstream file;
  domain.WriteVariables(file);
  std::string expected =
      "/ #: 57 / \n"
      "LengthOfCycle 2 2\n"
      "groups[0].name \"G0\" 0\n"
      "groups[0].members 3 3\n"
      "groups[1].name \"Night\" 0\n"
      "groups[1].members 3 3\n"
      "shifts[0].name \"S0\" 0\n"
      "shifts[0].length 0.5 0.5\n"
      "shifts[1].name \"S1\" 0\n"
      "shifts[1].length -8 -8\n"
      "shifts[2].name \"S2\" 0\n"
      "shifts[2].length 12 12\n";
  const char* rows[] = {"11000001111102", "20000000000011"};
  for (int g = 0; g < 2; ++g) {
    for (int d = 0; d < 14; ++d) {
      const std::string name = "plan[" + std::to_string(g) + "][" + std::to_string(d) + "]";
      expected += name + " " + rows[g][d] + " " + rows[g][d] + "\n";
    }
  }
  expected +=
      "c_diff[0][0] -14 -14\n"
      "c_diff[1][0] -28.5 -28.5\n"
      "c_work[0][0] -13.5 -13.5\n"
      "c_work[0][1] -27.5 -27.5\n"
      "c_work[1][0] 15 15\n"
      "c_work[1][1] -13.5 -13.5\n"
      "c_numberofblocks[0] 2 2\n"
      "c_shiftblocks[0][0].start 0 0\n"
      "c_shiftblocks[0][0].size 2 2\n"
      "c_shiftblocks[0][1].start 7 7\n"
      "c_shiftblocks[0][1].size 5 5\n"
      "c_numberofblocks[1] 1 1\n"
      "c_shiftblocks[1][0].start 0 0\n"
      "c_shiftblocks[1][0].size 1 1\n"
      "c_freeweekends[0] 0.5 0.5\n"
      "c_freeweekends[1] 0.5 0.5\n"
      "c_badweekends[0][0] 1 1\n"
      "c_badweekends[1][0] 2 2\n";
  EXPECT_EQ(file.str(), expected);
}

// The file's head line and lines are what a variable store reads, so the
// file loads back into the same variables.
TEST(VariableExport, FileLoadsIntoAVariableStore) {
  TestDomain domain = SixGroupDomain();
  domain.GetShifts()[1].SetLength(7.25f);
  TVarlist exported;
  domain.InitializeVariables(&exported);
  std::stringstream file;
  domain.WriteVariables(file);
  TVarlist loaded;
  loaded.read(file);
  ASSERT_EQ(loaded.number(), exported.number());
  for (std::size_t i = 0; i < loaded.number(); ++i) {
    EXPECT_STREQ(loaded.get(i).get_name(), exported.get(i).get_name());
    EXPECT_EQ(loaded.get(i).get_value(), exported.get(i).get_value());
  }
}

TEST(VariableExport, FileByName) {
  TestDomain domain(1, {0}, {"0000000"});
  CoutCapture capture;
  const std::string name = "FileByName.var";
  domain.WriteVariables(name);
  std::ifstream in(name);
  std::string head;
  std::getline(in, head);
  EXPECT_EQ(head, "/ #: 15 / ");

  const std::string unwritable = "no-such-folder/FileByName.var";
  domain.WriteVariables(unwritable);
  EXPECT_FALSE(std::filesystem::exists(unwritable));
  EXPECT_EQ(capture.Text(), "");
}

}  // namespace
