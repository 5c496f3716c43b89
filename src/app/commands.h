// The batch commands: show, evaluate, check, export, report and optimize
// work on one domain file from the command line, without the menu.
#pragma once

#include <string_view>

// Exit statuses of the batch commands (those of sysexits.h).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitPlanDiffers = 1;    // check: the roster differs from the plan
inline constexpr int kExitUsage = 64;         // the command line cannot be used
inline constexpr int kExitDataError = 65;     // the file is not a usable domain
inline constexpr int kExitNoInput = 66;       // an input file is missing
inline constexpr int kExitOsError = 71;       // the system refused memory or a thread
inline constexpr int kExitCannotCreate = 73;  // an output cannot be created
inline constexpr int kExitIoError = 74;       // the standard output cannot be written

// Whether the program's first argument names a batch command.
bool IsCommandName(std::string_view word);

// Runs the command named by argv[1]; returns the exit status.
int RunCommand(int argc, char* argv[]);
