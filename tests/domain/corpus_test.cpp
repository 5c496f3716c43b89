// Tests of the benchmark corpus (bench/corpus): every entry's roster keeps
// its operating plan and shift counts, and every entry's script evaluates it
// without a message into the expected number of rated constraints, each in a
// known branch with a place that names a team and a week or block of the
// roster. The entry "example" stays a copy of the bundled example.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "domtarn_test_support.h"

namespace {

namespace fs = std::filesystem;

struct CorpusEntry {
  const char* name;
  const char* domain_file;
  int teams;
  int weeks;
  // Bounds of the rated constraints of one evaluation of the entry's roster.
  std::size_t min_rated;
  std::size_t max_rated;
};

const std::vector<CorpusEntry>& Entries() {
  static const std::vector<CorpusEntry> entries = {
      {"example", "plant.dom", 6, 6, 140, 160},   {"concat", "concat.dom", 6, 6, 130, 160},
      {"tree", "tree.dom", 6, 6, 140, 160},       {"control", "control.dom", 6, 6, 140, 160},
      {"indexed", "indexed.dom", 6, 6, 140, 170}, {"twelve", "twelve.dom", 12, 8, 380, 460},
  };
  return entries;
}

// Reads a fresh copy of the entry in the current folder.
void ReadCopy(const CorpusEntry& entry, CShiftSchedulingDomain& domain) {
  domain_test::CopyFiles(fs::path(DOMTARN_CORPUS_DIR) / entry.name);
  domain.Read(entry.domain_file);
}

TEST(Corpus, EveryEntryIsInTheTable) {
  std::vector<std::string> folders;
  for (const fs::directory_entry& folder : fs::directory_iterator(DOMTARN_CORPUS_DIR)) {
    if (folder.is_directory()) folders.push_back(folder.path().filename().string());
  }
  EXPECT_EQ(folders.size(), Entries().size());
  for (const std::string& folder : folders) {
    bool listed = false;
    for (const CorpusEntry& entry : Entries()) listed = listed || folder == entry.name;
    EXPECT_TRUE(listed) << folder;
  }
}

TEST(Corpus, ExampleIsACopyOfTheBundledExample) {
  for (const char* name : {"plant.dom", "plant.scr", "plant.tab"}) {
    EXPECT_EQ(read_file(fs::path(DOMTARN_CORPUS_DIR) / "example" / name),
              read_file(fs::path(DOMTARN_EXAMPLES_DIR) / name))
        << name;
  }
}

// Every day the teams hold the shifts that the operating plan asks for;
// every team works each shift on as many days as the shift requires;
// partners share the shift on Thursdays and Fridays and the Saturday pair
// shift, as the repair moves expect.
TEST(Corpus, RostersKeepTheirPlans) {
  for (const CorpusEntry& entry : Entries()) {
    SCOPED_TRACE(entry.name);
    CShiftSchedulingDomain domain;
    Capture console;
    ReadCopy(entry, domain);
    EXPECT_EQ(console.str(), "");
    const CIntMatrix& roster = domain.GetSchedule();
    ASSERT_EQ(static_cast<int>(roster.size()), entry.teams);
    ASSERT_EQ(domain.GetLengthOfCycle(), entry.weeks);
    const COperatingMatrix& plan = domain.GetOperating();
    ASSERT_FALSE(plan.empty());
    const int days = 7 * entry.weeks;
    for (int d = 0; d < days; ++d) {
      std::map<int, int> held;
      for (const std::vector<int>& row : roster) ++held[row.at(d)];
      std::map<int, int> asked;
      for (const COperating& cell : plan[d % plan.size()])
        asked[cell.GetShift()] += cell.GetNumber();
      EXPECT_EQ(held, asked) << "day " << d;
      const int weekday = d % 7;
      for (int g = 0; g + 1 < entry.teams; g += 2) {
        if (weekday == 3 || weekday == 4) {
          EXPECT_EQ(roster[g][d], roster[g + 1][d]) << g << ' ' << d;
        }
        if (weekday == 5) {
          EXPECT_EQ(roster[g][d] == 3, roster[g + 1][d] == 3) << g << ' ' << d;
        }
      }
    }
    const CShiftVector& shifts = domain.GetShifts();
    for (int g = 0; g < entry.teams; ++g) {
      for (std::size_t k = 0; k < shifts.size(); ++k) {
        int count = 0;
        for (int value : roster[g]) count += value == static_cast<int>(k) ? 1 : 0;
        EXPECT_EQ(count, shifts[k].GetShiftsRequired()) << "team " << g << " shift " << k;
      }
    }
  }
}

// The two bracketed numbers of a place, as the repair starts read them.
bool PlaceIndices(const std::string& place, int& first, int& second) {
  return std::sscanf(place.c_str(), "%*[^[][%d][%d]", &first, &second) == 2;
}

TEST(Corpus, ScriptsRateEveryTeamInKnownBranches) {
  const std::vector<std::string> branches = {"WORKINGHOURS", "DIFFHOURS", "SHIFTBLOCKS",
                                             "FREEWEEKENDS", "BADWEEKENDS"};
  for (const CorpusEntry& entry : Entries()) {
    SCOPED_TRACE(entry.name);
    CShiftSchedulingDomain domain;
    ReadCopy(entry, domain);
    Capture console;
    Capture errors(std::cerr);
    const float evaluation = domain.Evaluate();
    EXPECT_EQ(console.str(), "");
    EXPECT_EQ(errors.str(), "");
    EXPECT_GT(evaluation, 0);
    const ConstraintEvaluations& rated = domain.GetEvalData();
    EXPECT_GE(rated.size(), entry.min_rated);
    EXPECT_LE(rated.size(), entry.max_rated);
    std::map<std::string, std::vector<int>> teams_rated;
    float lowest = 1, highest = 0;
    for (const ConstraintEvaluation& constraint : rated) {
      const std::string branch = constraint.GetBranch();
      int team = -1, index = -1;
      EXPECT_NE(std::find(branches.begin(), branches.end(), branch), branches.end()) << branch;
      ASSERT_TRUE(PlaceIndices(constraint.GetFormula(), team, index)) << constraint.GetFormula();
      EXPECT_GE(team, 0);
      EXPECT_LT(team, entry.teams) << constraint.GetFormula();
      EXPECT_GE(index, 0);
      EXPECT_LT(index, 7 * entry.weeks) << constraint.GetFormula();
      EXPECT_GE(constraint.GetValue(), 0) << constraint.GetFormula();
      EXPECT_LE(constraint.GetValue(), 1) << constraint.GetFormula();
      lowest = std::min(lowest, constraint.GetValue());
      highest = std::max(highest, constraint.GetValue());
      std::vector<int>& seen = teams_rated[branch];
      if (std::find(seen.begin(), seen.end(), team) == seen.end()) seen.push_back(team);
    }
    // Every branch rates every team, and the ratings differ.
    EXPECT_EQ(teams_rated.size(), branches.size());
    for (const auto& [branch, seen] : teams_rated) {
      EXPECT_EQ(static_cast<int>(seen.size()), entry.teams) << branch;
    }
    EXPECT_LT(lowest, highest);
  }
}

}  // namespace
