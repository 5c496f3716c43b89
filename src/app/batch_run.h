// One batch command's run on a domain file: the paths of the command line
// made absolute, the working folder for the files the evaluation writes,
// the domain read and checked, and its evaluations with their console
// output kept in the log folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch_io.h"
#include "domain_setup.h"
#include "domtarn.h"
#include "roster_view.h"

// Everything a batch command line can give; each command reads its part.
struct CBatchOptions {
  std::string sFile;    // the domain file, as typed
  std::string sOut;     // -o: the roster or report to write
  std::string sCsv;     // --csv
  std::string sReport;  // --report
  std::string sLogs;    // --logs: keep the log files there
  std::string sWeeks;   // show --weeks: "N" or "N-M"; empty: every week
  std::string sMethod = "random";
  std::int64_t iTop = 0;  // 0: all
  bool bJson = false;
  bool bQuiet = false;
  std::int64_t iMaxEvaluations = 0;
  double dTimeLimit = 0;
  std::int64_t iSeed = -1;  // --seed; -1: the clock
  std::int64_t iJobs = 1;   // --jobs; 0: one per core
  CDomainSettings cSettings;
};

// The file the evaluations' console output goes to, in the log folder.
inline constexpr const char* kConsoleLogFile = "console.log";

class CBatchRun {
 public:
  explicit CBatchRun(const CBatchOptions& options) : cOptions(options) {}

  // Reads the domain file and, for a command that evaluates (`needScript`),
  // first enters the log folder. Returns the exit status of a failure, with
  // its message on standard error, or 0. Without `needScript` a missing
  // evaluation script is only reported.
  int Open(bool needScript);

  CShiftSchedulingDomain& Domain() { return *pDomain; }
  const CShiftSchedulingDomain& Domain() const { return *pDomain; }
  // The domain file's absolute path.
  const std::filesystem::path& FilePath() const { return pFile; }
  // Where the domain's script and the files it reads are found: FILE's
  // folder, or for a FILE that is a link, the folder of the file it leads
  // to when the script is there and not beside the link.
  const std::filesystem::path& InputFolder() const { return pInputFolder; }
  // The folder the run works in, where its log files go.
  const std::filesystem::path& LogFolder() const { return cFolder.Path(); }
  // A path of the command line made absolute against the folder the
  // program started in.
  static std::filesystem::path Absolute(const std::string& path);

  // Evaluates the domain with its console output in the log file, and shows
  // the messages of the evaluation script on standard error. Returns the
  // exit status of a failure (no rated constraint) or 0.
  int Evaluate();
  // Says once, on standard error, that the log files may be incomplete,
  // when `log` lost some of what the run wrote into it or the disk they are
  // on has no room left.
  void CheckLog(CDomainToFile& log);
  // Ends the program after an evaluation script divided by zero, as the
  // menu does but with status 65, having written nothing; says so on
  // standard error and removes a temporary log folder.
  [[noreturn]] void EndAtDivisionByZero();
  // The roster and ratings of the latest evaluation.
  CRosterGrid Grid() const;
  std::vector<CRatedConstraint> Ratings() const;

  // Writes an output whole or not at all; 0 or the exit status of a failure
  // with its message, which names the output as typed (`shown`).
  static int WriteOutput(const std::filesystem::path& path, const std::string& shown,
                         const std::string& text);
  // Takes room on the disk for the roster the run writes to `path` at its
  // end: as much as the roster's text takes now, and a margin. So a disk
  // that fills while the optimizer works does not lose its result. 0 or the
  // exit status of a failure (the output cannot be written, or the disk has
  // not that much room), with its message, as WriteOutput.
  int ReserveOutput(const std::filesystem::path& path, const std::string& shown);
  // Writes the roster into the room taken; as WriteOutput.
  int WriteReservedOutput(const std::string& shown, const std::string& text);

 private:
  // Reads FILE into a new domain that finds its files in `folder`; the
  // reader's messages go to `messages`.
  std::unique_ptr<CShiftSchedulingDomain> ReadDomain(const std::filesystem::path& folder,
                                                     std::string& messages) const;
  // After the script was not found beside FILE: reads FILE again with the
  // folder of the file a link leads to, and keeps that when the script is
  // there (`messages` then holds that reading's messages).
  void ReadBesideLinkTarget(std::string& messages);
  // Reports a domain that cannot be used; the reader's messages first.
  int Refuse(int status, const std::string& messages, const std::string& fault) const;
  // Shows on standard error what the evaluation wrote into the console log
  // `log` from byte `from` on.
  void ShowScriptMessages(const std::filesystem::path& log, std::uintmax_t from) const;
  // Warns of a byte-order mark before the text of the script or of a file
  // it read.
  void WarnOfByteOrderMarks() const;

  CBatchOptions cOptions;
  std::filesystem::path pFile;
  std::filesystem::path pInputFolder;
  CLogFolder cFolder;
  std::unique_ptr<CShiftSchedulingDomain> pDomain;
  COutputFile cReservedOutput;
  bool bLogLossSaid = false;
};

// What makes a domain unusable for the commands (no groups, no days, a
// schedule that does not cover every group and day, a shift index out of
// range); empty when it is usable.
std::string DomainFault(CShiftSchedulingDomain& domain);
