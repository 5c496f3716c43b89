// Tests of the command line: the bounds and their values, help and version,
// and the faults that end the program with a usage error (the texts printed
// are checked by the end-to-end cases stop_help and stop_unknown_option).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"

namespace {

using Action = CProgramOptions::Action;

TEST(OptionsTest, ReadsBoundsHelpAndVersion) {
  const struct {
    std::vector<std::string_view> args;
    Action action;
    std::int64_t maxEvaluations;
    double timeLimit;
    bool noCache = false;
    std::optional<unsigned> seed = std::nullopt;
  } cases[] = {
      {{}, Action::kRun, 0, 0},
      {{"--no-cache"}, Action::kRun, 0, 0, true},
      {{"--max-evaluations", "5", "--no-cache", "--no-cache"}, Action::kRun, 5, 0, true},
      {{"--max-evaluations", "500"}, Action::kRun, 500, 0},
      {{"--max-evaluations=1"}, Action::kRun, 1, 0},
      {{"--max-evaluations", "9223372036854775807"}, Action::kRun, INT64_MAX, 0},
      {{"--time-limit", "30"}, Action::kRun, 0, 30},
      {{"--time-limit=0.25"}, Action::kRun, 0, 0.25},
      {{"--time-limit", "1e-3"}, Action::kRun, 0, 0.001},
      {{"--time-limit", "2", "--max-evaluations", "7"}, Action::kRun, 7, 2},
      // A repeated bound replaces the earlier one.
      {{"--max-evaluations", "3", "--max-evaluations", "4"}, Action::kRun, 4, 0},
      // Help and version act at once; what follows is not read.
      {{"--help"}, Action::kHelp, 0, 0},
      {{"--version"}, Action::kVersion, 0, 0},
      {{"--help", "--bogus"}, Action::kHelp, 0, 0},
      {{"--version", "--help"}, Action::kVersion, 0, 0},
      {{"--max-evaluations", "9", "--version", "--max-evaluations"}, Action::kVersion, 9, 0},
      // --seed, which the menu shares with the batch commands.
      {{"--seed", "0"}, Action::kRun, 0, 0, false, 0U},
      {{"--seed=4294967295", "--no-cache"}, Action::kRun, 0, 0, true, 4294967295U},
      {{"--no-cache", "--max-evaluations", "3", "--seed", "7"}, Action::kRun, 3, 0, true, 7U},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const CProgramOptions options = ParseOptions(c.args);
    EXPECT_EQ(options.eAction, c.action);
    EXPECT_EQ(options.iMaxEvaluations, c.maxEvaluations);
    EXPECT_DOUBLE_EQ(options.dTimeLimit, c.timeLimit);
    EXPECT_EQ(options.bNoCache, c.noCache);
    EXPECT_EQ(options.oSeed, c.seed);
    EXPECT_EQ(options.sError, "");
  }
}

TEST(OptionsTest, RefusesUnknownOptionsAndBadValues) {
  const std::string evaluations = "': expected a whole number from 1 to 9223372036854775807";
  const std::string seconds = "': expected a number of seconds greater than 0";
  const std::string seed = "': expected a whole number from 0 to 4294967295";
  const struct {
    std::vector<std::string_view> args;
    std::string error;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--max-evaluations=5", "--time-limit=1", "--fast=yes"}, "unknown option '--fast=yes'"},
      {{"plant.dom"}, "unexpected argument 'plant.dom'"},
      {{"--max-evaluations"}, "option '--max-evaluations' needs a value"},
      {{"--time-limit", "5", "--time-limit"}, "option '--time-limit' needs a value"},
      {{"--help=yes"}, "option '--help' takes no value"},
      {{"--no-cache=1"}, "option '--no-cache' takes no value"},
      {{"--max-evaluations", "0"}, "invalid value '0' for '--max-evaluations" + evaluations},
      {{"--max-evaluations", "-5"}, "invalid value '-5' for '--max-evaluations" + evaluations},
      {{"--max-evaluations", "+5"}, "invalid value '+5' for '--max-evaluations" + evaluations},
      {{"--max-evaluations", "12x"}, "invalid value '12x' for '--max-evaluations" + evaluations},
      {{"--max-evaluations", " 12"}, "invalid value ' 12' for '--max-evaluations" + evaluations},
      {{"--max-evaluations", "9223372036854775808"},
       "invalid value '9223372036854775808' for '--max-evaluations" + evaluations},
      {{"--max-evaluations="}, "invalid value '' for '--max-evaluations" + evaluations},
      {{"--time-limit", "0"}, "invalid value '0' for '--time-limit" + seconds},
      {{"--time-limit", "-1"}, "invalid value '-1' for '--time-limit" + seconds},
      {{"--time-limit", "inf"}, "invalid value 'inf' for '--time-limit" + seconds},
      {{"--time-limit", "nan"}, "invalid value 'nan' for '--time-limit" + seconds},
      {{"--time-limit", "1e999"}, "invalid value '1e999' for '--time-limit" + seconds},
      {{"--time-limit", "10s"}, "invalid value '10s' for '--time-limit" + seconds},
      {{"--time-limit", "--help"}, "invalid value '--help' for '--time-limit" + seconds},
      {{"--seed", "4294967296"}, "invalid value '4294967296' for '--seed" + seed},
      {{"--seed", "-1"}, "invalid value '-1' for '--seed" + seed},
      {{"--seed"}, "option '--seed' needs a value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    const CProgramOptions options = ParseOptions(c.args);
    EXPECT_EQ(options.eAction, Action::kUsageError);
    EXPECT_EQ(options.sError, c.error);
  }
}

}  // namespace
