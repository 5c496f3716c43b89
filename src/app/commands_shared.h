// What the two files of the batch commands share: commands.cpp reads the
// command line and runs the commands that read, show and evaluate a roster;
// commands_optimize.cpp runs optimize.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "batch_run.h"
#include "report.h"

namespace batch_commands {

inline constexpr const char* kProgram = "domtarn";
// The log folder of walk i of --jobs, i from 1: "worker<i>".
inline constexpr std::string_view kWorkerFolderPrefix = "worker";

// An output of a command line: its option, its name as typed and made
// absolute, and whether it may replace the domain file.
struct COutput {
  std::string sOption;
  std::string sShown;
  std::filesystem::path pPath;
  bool bMayReplaceFile = false;
};

// Files the evaluation script wrote under relative names (EXPORT ...) land
// in the folder the run works in; a temporary one is removed at the end, so
// the user hears of them and of --logs, which keeps them.
void NoteScriptFiles(const CBatchRun& run, const CBatchOptions& options);

// The roster of the domain as the report shows it, with its evaluation.
CReportRoster ReportRoster(CBatchRun& run);
// Writes the report page; gives the exit status.
int WriteReport(const std::filesystem::path& path, const std::string& shown,
                const CReportData& data);
// Opens the run, checks its outputs and evaluates its roster, the report's
// "before"; gives the exit status (0: go on).
int StartReport(CBatchRun& run, const CBatchOptions& options, const std::vector<COutput>& outputs,
                CReportData& data);

// The branches whose constraints the repair places in the roster, as a list
// in words: "DIFFHOURS, ... and BADWEEKENDS".
std::string RepairedKindsText();

int RunOptimize(const CBatchOptions& options);

}  // namespace batch_commands
