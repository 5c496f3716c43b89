// The batch commands: the command line (read with CLI11) and what show,
// evaluate, check, export and report do with the domain file; optimize is
// in commands_optimize.cpp.
#include "commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "base_text.h"
#include "batch_run.h"
#include "commands_shared.h"
#include "grid_text.h"
#include "optimize.h"
#include "rating_text.h"
#include "report.h"
#include "roster_fill.h"
#include "text_join.h"

namespace {

namespace fs = std::filesystem;

using batch_commands::COutput;
using batch_commands::kProgram;
using batch_commands::kWorkerFolderPrefix;
using batch_commands::NoteScriptFiles;
using batch_commands::RepairedKindsText;
using batch_commands::ReportRoster;
using batch_commands::StartReport;
using batch_commands::WriteReport;

constexpr std::array<const char*, 6> kCommands = {"show",   "evaluate", "check",
                                                  "export", "report",   "optimize"};

// The end of every command's help: where the files go, and the exit status;
// optimize also says where the walks of --jobs write.
constexpr const char* kFilesHelp =
    "The evaluation script and rule table are looked for beside FILE. The files\n"
    "the evaluation and the optimizer write (test2.dat, c.dat, o.dat, the pass\n"
    "files o1, o2, ... and console.log, the console output of the script and the\n"
    "optimizer) go to a temporary folder that is removed at the end, or to DIR\n"
    "with --logs DIR.";
constexpr const char* kJobsHelp =
    " With --jobs N, walk 0 writes there as one walk does, and\n"
    "walk i (1 to N-1) into the folder worker<i> inside it.";
constexpr const char* kExitHelp =
    "\n\n"
    "Exit status: 0 success, 64 bad usage, 65 the file is not a usable domain\n"
    "or its script is too long, rates nothing or divides by zero, 66 a missing\n"
    "or unreadable input file, 71 the system refused memory or a thread, 73 an\n"
    "output that cannot be created, 74 the standard output cannot be written.";

std::string Title(const CBatchOptions& options) {
  return fs::path(options.sFile).filename().string();
}

// The first line of show: the file and the size of its roster.
void WriteRosterHeader(std::ostream& out, const CBatchOptions& options, const CRosterGrid& grid) {
  out << options.sFile << ": " << Counted(static_cast<long long>(grid.vGroupNames.size()), "group")
      << ", " << Counted(grid.iWeeks, "week") << ", "
      << Counted(static_cast<long long>(grid.vShiftNames.size()), "shift") << '\n';
}

// Whether two absolute paths name one file: the same file when both exist,
// otherwise the same path once symbolic links and dots are resolved.
bool SameFile(const fs::path& given_a, const fs::path& given_b) {
  // "dir/" names the folder "dir".
  const auto folder_as_file = [](const fs::path& path) {
    return path.has_filename() ? path : path.parent_path();
  };
  const fs::path a = folder_as_file(given_a);
  const fs::path b = folder_as_file(given_b);
  std::error_code code;
  if (fs::exists(a, code) && fs::exists(b, code)) return fs::equivalent(a, b, code) && !code;
  const fs::path resolved_a = fs::weakly_canonical(a, code);
  const fs::path resolved_b = code ? fs::path() : fs::weakly_canonical(b, code);
  if (code) return a.lexically_normal() == b.lexically_normal();
  return resolved_a == resolved_b;
}

// Whether a run writes a file of that name into the log folder or the folder
// of a walk: the optimizer's files and the console output.
bool IsRunFileName(std::string_view name) {
  return COptimize::WritesFileNamed(name) || name == kConsoleLogFile;
}

// Whether a run writes a file of that name into the log folder: those files
// and the folders of further walks.
bool IsLogFileName(std::string_view name) {
  return IsRunFileName(name) || numbered_name(name, kWorkerFolderPrefix);
}

// The paths in a folder; none when it cannot be read.
std::vector<fs::path> FolderEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code code;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    entries.push_back(it->path());
  }
  return entries;
}

// What an earlier run left in a folder that keeps the logs, by an entry's
// name and kind (links not followed): a regular file or link of a name a run
// writes, a link of a worker folder's name, or (`withWorkers`) a worker
// folder, whose own log files go before it does.
enum class CEarlierLog { kNone, kFileOrLink, kWorkerFolder };
CEarlierLog EarlierLogKind(const std::string& name, const fs::file_status& status,
                           bool withWorkers) {
  const bool worker = withWorkers && numbered_name(name, kWorkerFolderPrefix);
  if (worker && fs::is_directory(status)) return CEarlierLog::kWorkerFolder;
  if ((worker || IsRunFileName(name)) && fs::is_symlink(status)) return CEarlierLog::kFileOrLink;
  if (IsRunFileName(name) && fs::is_regular_file(status)) return CEarlierLog::kFileOrLink;
  return CEarlierLog::kNone;
}

// Removes what an earlier run left in a folder that keeps the logs, so that
// the folder holds this run's files only (an earlier, longer run leaves more
// pass files; one with more walks, more worker folders): the regular files
// of the names a run writes, the same in worker folders, and a worker folder
// left empty by that. A symbolic link of such a name is removed, not what it
// leads to, so that the run does not write through it. Any other file stays,
// and the folder that holds it. Gives the number of entries removed.
std::size_t RemoveEarlierLogs(const fs::path& folder, bool withWorkers = true) {
  std::size_t removed = 0;
  for (const fs::path& path : FolderEntries(folder)) {
    std::error_code code;
    const CEarlierLog kind =
        EarlierLogKind(path.filename().string(), fs::symlink_status(path, code), withWorkers);
    // A worker folder goes only when removing its logs left it empty: one
    // that was empty already may be the user's, made for an output.
    if (kind == CEarlierLog::kWorkerFolder && RemoveEarlierLogs(path, false) == 0) continue;
    if (kind != CEarlierLog::kNone && fs::remove(path, code)) ++removed;
  }
  return removed;
}

// Marks a --logs folder as one the program keeps its logs in: only there
// are files of the log names taken for an earlier run's and removed. Files of
// those names in a folder without the mark (a menu run's, or the user's own)
// are the user's: the run is refused rather than remove them.
constexpr const char* kLogFolderMark = ".domtarn-logs";

// The names of what RemoveEarlierLogs takes for an earlier run's in
// `folder`, sorted.
std::vector<std::string> EarlierLogNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::path& path : FolderEntries(folder)) {
    std::string name = path.filename().string();
    std::error_code code;
    if (EarlierLogKind(name, fs::symlink_status(path, code), true) != CEarlierLog::kNone) {
      names.push_back(std::move(name));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Says that an output would replace `what`; gives the exit status of that.
int RefuseOutput(const COutput& output, const std::string& what) {
  std::cerr << kProgram << ": " << output.sOption << " " << output.sShown << " would replace "
            << what << "; choose another file\n";
  return kExitUsage;
}

// A file the evaluation script reads: its name as the script gives it, and
// where it is.
struct CScriptFile {
  std::string sName;
  fs::path pPath;
};

// The files a script names for reading, known from its text alone: the word
// after TABLE, and after IMPORT and its kind, found beside the domain file.
std::vector<CScriptFile> NamedInputFiles(CBatchRun& run) {
  const char* text = run.Domain().GetStaticData();
  std::istringstream words{std::string(text != nullptr ? text : "")};
  std::vector<CScriptFile> files;
  std::string word;
  std::string previous;
  std::string before;
  while (words >> word) {
    if (previous == "TABLE" || before == "IMPORT") {
      files.push_back(
          {word, fs::path(word).is_absolute() ? fs::path(word) : run.InputFolder() / word});
    }
    before = std::exchange(previous, word);
  }
  return files;
}

// Refuses an output that would replace a file the script reads. Only a
// roster that may replace the domain file may replace it.
int CheckOutputsApartFromScriptFiles(const CBatchRun& run, const std::vector<COutput>& outputs,
                                     const std::vector<CScriptFile>& files) {
  for (const CScriptFile& file : files) {
    for (const COutput& output : outputs) {
      if (output.pPath.empty() || !SameFile(output.pPath, file.pPath)) continue;
      if (output.bMayReplaceFile && SameFile(file.pPath, run.FilePath())) continue;
      return RefuseOutput(output, "the file " + file.sName + " that the evaluation script reads");
    }
  }
  return kExitSuccess;
}

// Whether a file is one that a run keeping its logs in `logs` writes (or
// marks the folder with), which the next such run removes: a log file of
// the folder or of a walk's folder worker<i> in it. The run has entered the
// log folder: a relative --logs names it from the folder the program started
// in, as the paths of the run do.
bool TakenByLogs(const fs::path& path, const fs::path& logs) {
  const std::string name = path.filename().string();
  const fs::path folder = path.parent_path();
  if (SameFile(folder, logs)) return IsLogFileName(name) || name == kLogFolderMark;
  return IsRunFileName(name) && numbered_name(folder.filename().string(), kWorkerFolderPrefix) &&
         SameFile(folder.parent_path(), logs);
}

// The log folder marked by an earlier run with --logs whose next such run
// would remove the file at `path` as a log of its own (TakenByLogs), or
// nothing.
std::optional<fs::path> MarkedLogFolderTaking(const fs::path& path) {
  for (const fs::path& folder : {path.parent_path(), path.parent_path().parent_path()}) {
    std::error_code code;
    if (!folder.empty() && fs::exists(folder / kLogFolderMark, code) && TakenByLogs(path, folder))
      return folder;
  }
  return std::nullopt;
}

// Refuses, before anything is done, an output that would replace a file the
// run reads (the domain file, its evaluation script, the files the script
// names for reading, beside the domain file) or another output of
// the same run, so that no file the user had is lost. The roster that
// optimize writes may replace the domain file: -o naming it asks for that.
int CheckOutputsApart(CBatchRun& run, const CBatchOptions& options,
                      const std::vector<COutput>& outputs) {
  const std::string script = run.Domain().GetStaticDataFileName();
  const fs::path script_path =
      fs::path(script).is_absolute() ? fs::path(script) : run.InputFolder() / script;
  const std::vector<CScriptFile> named = NamedInputFiles(run);
  if (const int status = CheckOutputsApartFromScriptFiles(run, outputs, named)) {
    return status;
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const COutput& output = outputs[i];
    if (output.pPath.empty()) continue;
    if (!output.bMayReplaceFile && SameFile(output.pPath, run.FilePath())) {
      return RefuseOutput(output, "the domain file");
    }
    if (!script.empty() && SameFile(output.pPath, script_path)) {
      return RefuseOutput(output, "the evaluation script " + script);
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (!outputs[j].pPath.empty() && SameFile(output.pPath, outputs[j].pPath)) {
        return RefuseOutput(output, "the output of " + outputs[j].sOption);
      }
    }
  }
  for (const COutput& output : outputs) {
    std::string error;
    if (output.pPath.empty()) continue;
    const std::optional<fs::path> marked =
        MarkedLogFolderTaking(OutputDestination(output.pPath, error));
    if (!marked || (!options.sLogs.empty() && SameFile(*marked, run.LogFolder()))) continue;
    std::cerr << kProgram << ": " << output.sOption << " " << output.sShown
              << " has the name of a log file in a folder that keeps the logs of --logs ("
              << kLogFolderMark << "), where the next such run removes it; choose another name\n";
    return kExitUsage;
  }
  if (options.sLogs.empty()) return kExitSuccess;
  const fs::path& logs = run.LogFolder();
  std::vector<std::pair<fs::path, std::string>> inputs = {{run.FilePath(), "the domain file"},
                                                          {script_path, "the evaluation script"}};
  for (const CScriptFile& file : named) {
    inputs.emplace_back(file.pPath, "the file the evaluation script reads,");
  }
  for (const auto& [input, what] : inputs) {
    if (!TakenByLogs(input, logs)) continue;
    std::cerr << kProgram << ": --logs " << options.sLogs << ": a log file would replace " << what
              << " " << input.filename().string() << "; choose another folder\n";
    return kExitUsage;
  }
  for (const COutput& output : outputs) {
    std::string error;
    if (output.pPath.empty() || !TakenByLogs(OutputDestination(output.pPath, error), logs)) {
      continue;
    }
    std::cerr << kProgram << ": " << output.sOption << " " << output.sShown
              << " would be a log file of --logs " << options.sLogs << "; choose another name\n";
    return kExitUsage;
  }
  return kExitSuccess;
}

// Refuses, once the first evaluation has shown which other files the script
// reads (its rule table, imported files), an output that would replace one
// of them.
int CheckOutputsApartFromReads(CBatchRun& run, const std::vector<COutput>& outputs) {
  std::vector<CScriptFile> files;
  for (const std::string& name : run.Domain().GetFilesRead()) {
    files.push_back({name, CBatchRun::Absolute(name)});
  }
  return CheckOutputsApartFromScriptFiles(run, outputs, files);
}

// Checks the outputs as CheckOutputsApart does; the log folder being safe to
// write then, removes what an earlier run left in a --logs folder, before
// this run writes there.
int PrepareLogFolder(CBatchRun& run, const CBatchOptions& options,
                     const std::vector<COutput>& outputs) {
  if (const int status = CheckOutputsApart(run, options, outputs)) return status;
  if (options.sLogs.empty()) return kExitSuccess;
  const fs::path& folder = run.LogFolder();
  std::error_code code;
  if (!fs::exists(folder / kLogFolderMark, code)) {
    if (const std::vector<std::string> found = EarlierLogNames(folder); !found.empty()) {
      std::cerr << kProgram << ": --logs " << options.sLogs << " holds files a run would replace ("
                << NamesListed(found) << ") and is no folder a run with --logs kept; choose an "
                << "empty or new folder, or remove them\n";
      return kExitUsage;
    }
    std::ofstream(folder / kLogFolderMark)
        << "The log files of " << kProgram << " runs with --logs; the next such run here "
        << "replaces them.\n";
  }
  RemoveEarlierLogs(folder);
  return kExitSuccess;
}

// Refuses, before the log folder is made, an output that names it.
int CheckLogFolderApart(const CBatchOptions& options, const std::vector<COutput>& outputs) {
  if (options.sLogs.empty()) return kExitSuccess;
  const fs::path logs = CBatchRun::Absolute(options.sLogs);
  for (const COutput& output : outputs) {
    if (output.pPath.empty() || !SameFile(output.pPath, logs)) continue;
    std::cerr << kProgram << ": " << output.sOption << " " << output.sShown
              << " would be the log folder of --logs; choose another file\n";
    return kExitUsage;
  }
  return kExitSuccess;
}

// ----------------------------------------------------------------- commands

int RunShow(const CBatchOptions& options) {
  CBatchRun run(options);
  if (const int status = run.Open(false)) return status;
  const CRosterGrid grid = run.Grid();
  // The option's text was checked when the command line was read.
  const CWeekRange weeks = options.sWeeks.empty() ? CWeekRange{} : *ParseWeekRange(options.sWeeks);
  if (!options.sWeeks.empty() && weeks.iLast >= grid.iWeeks) {
    std::cerr << kProgram << " show: --weeks " << options.sWeeks << ": the roster has "
              << Counted(grid.iWeeks, "week") << "\nTry '" << kProgram
              << " show --help' for more information.\n";
    return kExitUsage;
  }
  const CPlanFigures figures = MakePlanFigures(run.Domain());
  WriteRosterHeader(std::cout, options, grid);
  WriteGrid(std::cout, grid, weeks);
  std::cout << '\n';
  WriteWeeklyHours(std::cout, grid, figures, weeks);
  std::cout << '\n';
  WriteShiftDays(std::cout, grid, figures);
  std::cout << '\n';
  WriteDayCover(std::cout, grid, figures, weeks);
  return kExitSuccess;
}

}  // namespace

namespace batch_commands {

void NoteScriptFiles(const CBatchRun& run, const CBatchOptions& options) {
  if (!options.sLogs.empty()) return;
  std::vector<std::string> written;
  for (const fs::path& path : FolderEntries(run.LogFolder())) {
    std::string name = path.filename().string();
    if (!IsLogFileName(name)) written.push_back(std::move(name));
  }
  if (written.empty()) return;
  std::sort(written.begin(), written.end());
  std::cerr << kProgram << ": the evaluation script wrote " << NamesListed(written)
            << " into the temporary log folder, which is removed at the end; --logs DIR keeps "
            << (written.size() == 1 ? "it" : "them") << " in DIR\n";
}

}  // namespace batch_commands

namespace {

int RunEvaluate(const CBatchOptions& options) {
  CBatchRun run(options);
  if (const int status = run.Open(true)) return status;
  if (const int status = PrepareLogFolder(run, options, {})) return status;
  if (const int status = run.Evaluate()) return status;
  const CRosterGrid grid = run.Grid();
  const float evaluation = run.Domain().GetEvaluation();
  if (options.bJson) {
    WriteRatingsJson(std::cout, options.sFile, evaluation, run.Ratings(), grid,
                     static_cast<std::size_t>(options.iTop));
  } else {
    WriteRatings(std::cout, evaluation, run.Ratings(), grid,
                 static_cast<std::size_t>(options.iTop));
  }
  NoteScriptFiles(run, options);
  return kExitSuccess;
}

int RunCheck(const CBatchOptions& options) {
  CBatchRun run(options);
  if (const int status = run.Open(false)) return status;
  const CRosterGrid grid = run.Grid();
  const std::vector<CPlanDifference> differences =
      PlanDifferences(grid, MakePlanFigures(run.Domain()));
  WritePlanCheck(std::cout, grid, differences);
  return differences.empty() ? kExitSuccess : kExitPlanDiffers;
}

// "--csv -" writes to standard output, as tools that write a file do.
constexpr std::string_view kStandardOutputName = "-";

int RunExport(const CBatchOptions& options) {
  if (options.sCsv == kStandardOutputName) {
    CBatchRun run(options);
    if (const int status = run.Open(false)) return status;
    WriteGridCsv(std::cout, run.Grid());
    return kExitSuccess;
  }
  const fs::path csv = CBatchRun::Absolute(options.sCsv);
  if (const int status = CheckLogFolderApart(options, {{"--csv", options.sCsv, csv}})) {
    return status;
  }
  CBatchRun run(options);
  if (const int status = run.Open(false)) return status;
  if (const int status = CheckOutputsApart(run, options, {{"--csv", options.sCsv, csv}})) {
    return status;
  }
  std::ostringstream text;
  WriteGridCsv(text, run.Grid());
  return CBatchRun::WriteOutput(csv, options.sCsv, text.str());
}

}  // namespace

namespace batch_commands {

CReportRoster ReportRoster(CBatchRun& run) {
  const CRosterGrid grid = run.Grid();
  const std::size_t departures = PlanDifferences(grid, MakePlanFigures(run.Domain())).size();
  return {grid, run.Domain().GetEvaluation(), run.Ratings(), departures};
}

int WriteReport(const fs::path& path, const std::string& shown, const CReportData& data) {
  std::ostringstream page;
  WriteHtmlReport(page, data);
  return CBatchRun::WriteOutput(path, shown, page.str());
}

int StartReport(CBatchRun& run, const CBatchOptions& options, const std::vector<COutput>& outputs,
                CReportData& data) {
  if (const int status = CheckLogFolderApart(options, outputs)) return status;
  if (const int status = run.Open(true)) return status;
  if (const int status = PrepareLogFolder(run, options, outputs)) return status;
  if (const int status = run.Evaluate()) return status;
  if (const int status = CheckOutputsApartFromReads(run, outputs)) return status;
  data.sTitle = Title(options);
  data.cBefore = ReportRoster(run);
  return 0;
}

}  // namespace batch_commands

namespace {

int RunReport(const CBatchOptions& options) {
  const fs::path out = CBatchRun::Absolute(options.sOut);
  CBatchRun run(options);
  CReportData data;
  if (const int status = StartReport(run, options, {{"-o", options.sOut, out}}, data)) {
    return status;
  }
  NoteScriptFiles(run, options);
  return WriteReport(out, options.sOut, data);
}

// ------------------------------------------------------------- command line

void AddFile(CLI::App& command, CBatchOptions& options) {
  command.add_option("FILE", options.sFile, "the domain file")->required()->type_name("");
}

// Seconds as the menu's --time-limit takes them: a finite number above 0.
std::string CheckSeconds(std::string& text) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, seconds);
  if (error == std::errc() && rest == end && std::isfinite(seconds) && seconds > 0) return {};
  return "expected a number of seconds greater than 0, not '" + text + "'";
}

// A folder name as --logs takes it: an empty one, as an unset variable in a
// script gives, would keep no logs without a word.
std::string CheckFolderName(std::string& text) {
  return text.empty() ? "expected a folder, not ''" : "";
}

// The same for the name of a file to write (-o, --csv, --report): an empty
// one would be dropped or refused only at write time, with no name to show.
std::string CheckFileName(std::string& text) {
  return text.empty() ? "expected a file name, not ''" : "";
}

// Weeks as show's --weeks takes them; whether the roster has them is
// known only once it is read.
std::string CheckWeeks(std::string& text) {
  if (ParseWeekRange(text)) return {};
  return "expected a week N or weeks N-M, counted from 1 and N not after M, not '" + text + "'";
}

// A validator of whole numbers from `least` to `most` that an int64 holds;
// the message names the text, which may also be too large.
CLI::Validator WholeNumber(std::int64_t least, std::int64_t most = INT64_MAX) {
  const std::string expected = "expected a whole number from " + std::to_string(least) +
                               (most == INT64_MAX ? " up" : " to " + std::to_string(most));
  return CLI::Validator(
      [least, most, expected](std::string& text) -> std::string {
        std::int64_t number = 0;
        const char* end = text.data() + text.size();
        const auto [rest, error] = std::from_chars(text.data(), end, number);
        if (error == std::errc() && rest == end && number >= least && number <= most) return {};
        if (error == std::errc::result_out_of_range) return "too large a number: " + text;
        return expected + ", not '" + text + "'";
      },
      most == INT64_MAX ? ""
                        : "INT in [" + std::to_string(least) + " - " + std::to_string(most) + "]",
      "N");
}

void AddOptimizeOptions(CLI::App& command, CBatchOptions& options) {
  command.add_option("-o,--output", options.sOut, "where to write the best roster")
      ->required()
      ->check(CLI::Validator(CheckFileName, "", ""))
      ->type_name("OUT");
  command.add_option("--method", options.sMethod, "deep (iterative deepening) or random")
      ->check(CLI::IsMember({"deep", "random"}))
      ->type_name("METHOD")
      ->capture_default_str();
  command.add_option("--max-evaluations", options.iMaxEvaluations, "stop after N evaluations")
      ->check(WholeNumber(1))
      ->type_name("N");
  command.add_option("--time-limit", options.dTimeLimit, "stop after SECONDS of wall time")
      ->check(CLI::Validator(CheckSeconds, "", "SECONDS"))
      ->type_name("SECONDS");
  command.add_option("--seed", options.iSeed, "seed the random choices with N, not the clock")
      ->check(WholeNumber(0, UINT32_MAX))
      ->type_name("N");
  command.add_option("--report", options.sReport, "also write an HTML report of the run")
      ->check(CLI::Validator(CheckFileName, "", ""))
      ->type_name("REPORT.html");
  command.add_flag("--quiet", options.bQuiet, "no progress line on standard error");
  command
      .add_option("--jobs", options.iJobs,
                  "random repair by N walks at once, one per thread (0: one per core)")
      ->check(WholeNumber(0, 1024))
      ->type_name("N")
      ->capture_default_str();
}

// The commands and their options; `chosen` gets the command's function.
void DefineCommands(CLI::App& app, CBatchOptions& options, int (*&chosen)(const CBatchOptions&)) {
  app.require_subcommand(1);
  CLI::App* show = app.add_subcommand("show",
                                      "print the roster as a grid, the weekly hours "
                                      "and the groups per shift against the plan");
  show->add_option("--weeks", options.sWeeks, "show only week N, or weeks N to M")
      ->check(CLI::Validator(CheckWeeks, "", "N[-M]"))
      ->type_name("N[-M]");
  CLI::App* evaluate = app.add_subcommand(
      "evaluate", "evaluate the roster and print every rated constraint, worst first");
  evaluate->add_option("--top", options.iTop, "print only the N worst constraints (0: all)")
      ->check(WholeNumber(0))
      ->type_name("N");
  evaluate->add_flag("--json", options.bJson, "print the evaluation as one JSON document");
  CLI::App* check = app.add_subcommand(
      "check", "compare the roster with the plan; exit status 1 when it does not hold");
  CLI::App* exporter = app.add_subcommand("export", "write the roster as CSV");
  exporter->add_option("--csv", options.sCsv, "the CSV file to write ('-': standard output)")
      ->required()
      ->check(CLI::Validator(CheckFileName, "", ""))
      ->type_name("OUT");
  CLI::App* report = app.add_subcommand("report", "write an HTML report of the roster");
  report->add_option("-o,--output", options.sOut, "the HTML file to write")
      ->required()
      ->check(CLI::Validator(CheckFileName, "", ""))
      ->type_name("REPORT.html");
  CLI::App* optimize =
      app.add_subcommand("optimize",
                         "improve the roster and write the best one found; Ctrl-C stops early "
                         "and still writes it");
  AddOptimizeOptions(*optimize, options);

  const std::array<std::pair<CLI::App*, int (*)(const CBatchOptions&)>, 6> table = {{
      {show, RunShow},
      {evaluate, RunEvaluate},
      {check, RunCheck},
      {exporter, RunExport},
      {report, RunReport},
      {optimize, batch_commands::RunOptimize},
  }};
  for (const auto& [command, run] : table) {
    AddFile(*command, options);
    // The commands that evaluate write log files, which --logs keeps; the
    // others end their help with the exit status alone.
    const bool evaluates = command == evaluate || command == report || command == optimize;
    if (evaluates) {
      command->add_option("--logs", options.sLogs, "keep the log files in DIR")
          ->check(CLI::Validator(CheckFolderName, "", "DIR"))
          ->type_name("DIR");
    }
    // The others run no script, so the switch changes nothing there; they
    // take it without listing it, for a caller that passes it to every command.
    CLI::Option* no_cache =
        command->add_flag("--no-cache", options.cSettings.bNoCache,
                          "evaluate without the engine's caches (slower; for checking)");
    if (!evaluates) no_cache->group("");
    command->footer(evaluates ? std::string(kFilesHelp).append(kExitHelp) : kExitHelp + 2);
    command->callback([&chosen, function = run] { chosen = function; });
  }
  optimize->footer(std::string(kFilesHelp)
                       .append(kJobsHelp)
                       .append("\n\nThe optimizer looks for moves at the worst rated constraints "
                               "of the branches\n")
                       .append(RepairedKindsText())
                       .append("; those of\nother branches count in the evaluation but give it "
                               "no cell to try.")
                       .append(kExitHelp));
}

// A usage error names the command and where its help is, in the form the
// menu's options use.
std::string UsageFailure(const CLI::App* app, const CLI::Error& error) {
  std::string command = kProgram;
  for (const CLI::App* sub : app->get_subcommands()) command += " " + sub->get_name();
  return command + ": " + error.what() + "\nTry '" + command + " --help' for more information.\n";
}

// What a command printed must have reached its reader: a full disk or a
// closed standard output is an error, not a success.
int CheckedOutput(int status) {
  std::cout.flush();
  if (std::cout) return status;
  std::cerr << kProgram << ": cannot write the standard output\n";
  return status == kExitSuccess || status == kExitPlanDiffers ? kExitIoError : status;
}

}  // namespace

bool IsCommandName(std::string_view word) {
  for (const char* command : kCommands) {
    if (word == command) return true;
  }
  return false;
}

int RunCommand(int argc, char* argv[]) {
  CLI::App app("Batch commands of the shift roster optimizer.", kProgram);
  app.failure_message(UsageFailure);
  CBatchOptions options;
  int (*chosen)(const CBatchOptions&) = nullptr;
  DefineCommands(app, options, chosen);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // CLI11 checks required arguments before it looks at what is left over,
    // so `check -q` would be told that FILE is required; an argument the
    // command does not know is the first thing to tell. Help stays help.
    const std::vector<std::string> unknown = app.remaining(true);
    const bool success = error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success);
    const int status =
        success || unknown.empty() ? app.exit(error) : app.exit(CLI::ExtrasError(unknown));
    // Help goes to the standard output, which must take it like any output.
    return CheckedOutput(status == 0 ? kExitSuccess : kExitUsage);
  }
  if (options.iSeed >= 0) options.cSettings.oSeed = static_cast<unsigned>(options.iSeed);
  if (chosen == nullptr) return CheckedOutput(kExitUsage);
  // What the system refuses (memory, a thread) ends the command with a
  // message; leaving by the exception removes its temporary files.
  try {
    return CheckedOutput(chosen(options));
  } catch (const std::bad_alloc&) {
    std::cerr << kProgram << ": out of memory\n";
  } catch (const std::system_error& error) {
    std::cerr << kProgram << ": " << error.what() << '\n';
  }
  return kExitOsError;
}
