// Replays the seed and regression corpora of every fuzz target through the
// same entry functions the fuzzers call, and tests the harness itself: the
// file-name guard, the working directory and the lowered statement limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "capture.h"
#include "expint.h"
#include "fuzz_entry.h"
#include "inter.h"
#include "inter_context.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = DOMTARN_FUZZ_DIR;

// The files of a corpus folder, in name order; none when it does not exist.
std::vector<fs::path> inputs_in(const fs::path& dir) {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

const char* mode_suffix(fuzz::TCacheMode mode) {
  switch (mode) {
    case fuzz::TCacheMode::kOff:
      return "_nocache";
    case fuzz::TCacheMode::kCompare:
      return "_compare";
    default:
      return "";
  }
}

// Every target with the engine's caches on and off; the interpreter also
// with both compared.
class CorpusReplay : public ::testing::TestWithParam<std::tuple<fuzz::TTarget, fuzz::TCacheMode>> {
};

TEST_P(CorpusReplay, EverySeedAndRegressionInputRunsCleanly) {
  const fuzz::TTarget& target = std::get<0>(GetParam());
  const std::vector<fs::path> seeds = inputs_in(kFuzzDir / "corpus" / target.name);
  EXPECT_FALSE(seeds.empty()) << "no seeds for " << target.name;
  std::vector<fs::path> inputs = seeds;
  for (const fs::path& p : inputs_in(kFuzzDir / "regressions" / target.name)) inputs.push_back(p);

  fuzz::TWorkspace workspace(fuzz::default_fixtures(), std::get<1>(GetParam()));
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.string());
    target.run(read_file(input));
    EXPECT_EQ(fs::current_path(), workspace.path());
  }
}

std::string replay_name(
    const ::testing::TestParamInfo<std::tuple<fuzz::TTarget, fuzz::TCacheMode>>& info) {
  return std::string(std::get<0>(info.param).name) + mode_suffix(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay,
                         ::testing::Combine(::testing::ValuesIn(fuzz::targets()),
                                            ::testing::Values(fuzz::TCacheMode::kOn,
                                                              fuzz::TCacheMode::kOff)),
                         replay_name);
// Only script runs and optimizations depend on the caches.
INSTANTIATE_TEST_SUITE_P(Compared, CorpusReplay,
                         ::testing::Combine(::testing::Values(*fuzz::find_target("interpret"),
                                                              *fuzz::find_target("optimize")),
                                            ::testing::Values(fuzz::TCacheMode::kCompare)),
                         replay_name);

TEST(CorpusLayout, RegressionFoldersNameTargets) {
  for (const auto& entry : fs::directory_iterator(kFuzzDir / "regressions")) {
    const std::string name = entry.path().filename().string();
    if (name == "pending") continue;
    EXPECT_NE(fuzz::find_target(name), nullptr) << name;
  }
  EXPECT_EQ(fuzz::find_target("nothing"), nullptr);
}

TEST(FileNameGuard, InputsThatCouldNameFilesOutsideAreRefused) {
  struct Case {
    std::string_view input;
    bool inside;
  };
  const Case cases[] = {
      {"EXPORT VARIABLES out.dat", true},
      {"/* comment */ LET x = (a/b)", true},
      {"/*", true},
      {"a\t/*\n", true},
      {"LET x = 1/0", true},
      {"EXPORT VARIABLES /etc/passwd", false},
      {"/tmp/x", false},
      {"TABLE\n/x", false},
      {"/**/", false},
      {"/*x", false},
      {"EXPORT VARIABLES ../x", false},
      {"IMPORT RULESET a/../../b", false},
  };
  for (const Case& c : cases) EXPECT_EQ(fuzz::stays_inside(c.input), c.inside) << c.input;
}

TEST(Workspace, RunsStartFromTheFixturesAndTheDomainStore) {
  const fs::path before = fs::current_path();
  fs::path dir;
  {
    fuzz::TWorkspace workspace(fuzz::default_fixtures());
    dir = workspace.path();
    EXPECT_EQ(fs::current_path(), dir);
    const std::string table = read_file("plant.tab");
    ASSERT_FALSE(table.empty());
    EXPECT_FALSE(fs::exists("domain.vars"));

    const fuzz::TTarget* interpret = fuzz::find_target("interpret");
    interpret->run("EXPORT VARIABLES plant.tab EXPORT VARIABLES new.dat");
    const std::string exported = read_file("new.dat");
    EXPECT_EQ(exported.rfind("/* #: 475 */ \nLengthOfCycle 6 6\n", 0), 0u) << exported;
    EXPECT_EQ(read_file("plant.tab"), exported);

    interpret->run("PRINT CR");
    EXPECT_EQ(read_file("plant.tab"), table);
    EXPECT_FALSE(fs::exists("new.dat"));

    // A refused input runs nothing, so it writes nothing.
    interpret->run("EXPORT VARIABLES ../escaped.dat");
    EXPECT_FALSE(fs::exists(dir.parent_path() / "escaped.dat"));
  }
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_FALSE(fs::exists(dir));
}

TEST(Workspace, EndlessScriptsStopAtTheLoweredStatementLimit) {
  fuzz::TWorkspace workspace(fuzz::default_fixtures());
  Capture out;
  EXPECT_EQ(interpret(workspace.context(), "LABEL a GOTO a", std::make_unique<TVarlist>()),
            nullptr);
  EXPECT_EQ(out.str().rfind("\nError: more than 10000 statements at token #", 0), 0u) << out.str();
}

TEST(Workspace, EntriesLeaveTheConsoleAsTheyFoundIt) {
  fuzz::TWorkspace workspace(fuzz::default_fixtures());
  Capture out;
  const std::ios::fmtflags flags = std::cout.flags();
  for (const fuzz::TTarget& target : fuzz::targets()) {
    target.run("PRINT \"x\" PRINT CR 0 CShiftSchedulingDomain 1 garbage /* #: 1 */ p");
  }
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(std::cout.flags(), flags);
  EXPECT_TRUE(std::cout.good());
}

}  // namespace
