// Tests of the batch command lines: which fault a usage error reports when
// a command line has several (the texts of single faults are checked by the
// end-to-end cases cmd_usage_*).
#include "commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.h"

namespace {

// Runs a batch command line; `err` gets what it printed on standard error,
// `out` (when given) what it printed on standard output.
int RunLine(std::vector<std::string> args, std::string& err, std::string* out = nullptr) {
  args.insert(args.begin(), "domtarn");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const Capture output(std::cout);
  const Capture error(std::cerr);
  const int status = RunCommand(static_cast<int>(args.size()), argv.data());
  err = error.str();
  if (out != nullptr) *out = output.str();
  return status;
}

// An option the command does not know is reported as such, also when the
// command line lacks FILE or a required option, whatever the order; nothing
// is read (plant.dom does not exist here).
TEST(CommandsTest, UnknownOptionIsReportedBeforeMissingArguments) {
  const struct {
    const char* command;
    std::vector<std::string> required;  // what the command needs besides FILE
  } commands[] = {
      {"show", {}},
      {"evaluate", {}},
      {"check", {}},
      {"export", {"--csv", "out.csv"}},
      {"report", {"-o", "report.html"}},
      {"optimize", {"-o", "best.dom"}},
  };
  for (const auto& c : commands) {
    const std::string expected = std::string("domtarn ") + c.command +
                                 ": The following argument was not expected: -q\nTry 'domtarn " +
                                 c.command + " --help' for more information.\n";
    const std::vector<std::vector<std::string>> lines = {
        {c.command, "-q"},
        {c.command, "-q", "plant.dom"},
        {c.command, "plant.dom", "-q"},
        {c.command, "--no-cache", "-q"},
    };
    for (const std::vector<std::string>& line : lines) {
      SCOPED_TRACE(testing::PrintToString(line));
      std::string err;
      EXPECT_EQ(RunLine(line, err), kExitUsage);
      EXPECT_EQ(err, expected);
    }
    if (!c.required.empty()) {
      std::vector<std::string> line = {c.command, "-q"};
      line.insert(line.end(), c.required.begin(), c.required.end());
      SCOPED_TRACE(testing::PrintToString(line));
      std::string err;
      EXPECT_EQ(RunLine(line, err), kExitUsage);
      EXPECT_EQ(err, expected);
    }
  }
}

// Without an unknown option the missing argument is still what is reported,
// and help asked for beside an unknown option is still given.
TEST(CommandsTest, MissingArgumentsAndHelpAreReportedAsBefore) {
  std::string err;
  EXPECT_EQ(RunLine({"check"}, err), kExitUsage);
  EXPECT_EQ(err,
            "domtarn check: FILE is required\nTry 'domtarn check --help' for more information.\n");
  EXPECT_EQ(RunLine({"export", "plant.dom"}, err), kExitUsage);
  EXPECT_EQ(
      err,
      "domtarn export: --csv is required\nTry 'domtarn export --help' for more information.\n");
  EXPECT_EQ(RunLine({"check", "--help", "-q"}, err), kExitSuccess);
  EXPECT_EQ(err, "");
}

// --no-cache is listed by the commands that run the script; the others take
// it (a caller may pass it to every command) without listing it.
TEST(CommandsTest, HelpListsNoCacheWhereAScriptRuns) {
  for (const std::string command : {"show", "evaluate", "check", "export", "report", "optimize"}) {
    SCOPED_TRACE(command);
    const bool runs_script = command == "evaluate" || command == "report" || command == "optimize";
    std::string err;
    std::string help;
    EXPECT_EQ(RunLine({command, "--help"}, err, &help), kExitSuccess);
    EXPECT_EQ(help.find("--no-cache") != std::string::npos, runs_script);
    EXPECT_EQ(RunLine({command, "--no-cache"}, err), kExitUsage);
    EXPECT_EQ(err.find("no-cache"), std::string::npos) << err;
  }
}

}  // namespace
