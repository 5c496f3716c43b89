// Command-line options of the program: bounds on every optimisation of the
// run, usage and version texts. Without arguments the program only shows its
// menu, as it always did.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kProgramName = "DomTARN++";
inline constexpr const char* kProgramVersion = "1.0.0";
// Name of the executable in usage texts.
inline constexpr const char* kCommandName = "domtarn";
// Exit status of a command line that cannot be used (EX_USAGE).
inline constexpr int kUsageErrorStatus = 64;

// The menu items, in order: shown by the menu and listed by the usage text.
inline constexpr std::array<const char*, 6> kMenuItems = {
    "1> Read domain data",
    "2> Write domain data",
    "3> Optimize with iterative deepening",
    "4> Optimize with random repair",
    "5> Write domain variables",
    "6> Quit",
};

struct CProgramOptions {
  enum class Action { kRun, kHelp, kVersion, kUsageError };

  Action eAction = Action::kRun;
  // Evaluations allowed to one optimisation; 0 means unbounded.
  std::int64_t iMaxEvaluations = 0;
  // Wall time allowed to one optimisation, in seconds; 0 means unbounded.
  double dTimeLimit = 0;
  // "--no-cache": evaluate without the engine's caches.
  bool bNoCache = false;
  // What is wrong with the command line, for kUsageError.
  std::string sError;
};

// Reads the arguments that follow the program name. Options are
// "--max-evaluations N", "--time-limit SECONDS" (either also as
// "--option=value"), "--no-cache", "--help" and "--version". They are taken in order: a
// repeated bound replaces the earlier one, "--help" and "--version" act at
// once and leave the rest unread, and the first fault ends the reading.
CProgramOptions ParseOptions(const std::vector<std::string_view>& args);

// The text of "--help": usage line, options and menu items.
void WriteUsage(std::ostream& out);
// The text of "--version": program name and version.
void WriteVersion(std::ostream& out);
// A usage error: the fault, the usage line and where to find help.
void WriteUsageError(std::ostream& out, const std::string& error);
