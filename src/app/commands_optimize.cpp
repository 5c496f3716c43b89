// The batch command optimize: random repair or iterative deepening on the
// domain file's roster, alone or in several walks (--jobs), stopped by its
// bounds or a signal, and what it writes and says at the end.
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "batch_run.h"
#include "commands.h"
#include "commands_shared.h"
#include "grid_text.h"
#include "optimize.h"
#include "parallel_repair.h"
#include "rating_text.h"
#include "report.h"
#include "roster_fill.h"
#include "text_join.h"

namespace batch_commands {
namespace {

namespace fs = std::filesystem;

// Constraints shown by optimize: the ten worst before and after, and the
// ten whose rating changed most.
constexpr std::size_t kOptimizeTop = 10;

// Refuses at once an output that could not be written at the end, so that a
// long optimisation is not run for nothing.
int CheckCreatable(const fs::path& path, const std::string& shown) {
  std::string error;
  if (path.empty() || CanCreateFileBeside(path, error)) return kExitSuccess;
  std::cerr << kProgram << ": cannot write " << shown << ": " << error << '\n';
  return kExitCannotCreate;
}

// The workers of a parallel optimisation after the first, which is the run's
// own domain: each reads the domain file again and works in a folder of its
// own inside the log folder, "worker1", "worker2", ..., where its console
// lines and its messages for standard error go to "console.log" (so that no
// two threads write to one stream).
struct CExtraWorkers {
  std::vector<std::unique_ptr<CShiftSchedulingDomain>> vDomains;
  std::vector<std::unique_ptr<CBoundedLog>> vLogs;
};

CExtraWorkers MakeExtraWorkers(CBatchRun& run, const CBatchOptions& options, std::size_t count) {
  CExtraWorkers workers;
  CDomainSettings settings = options.cSettings;
  settings.sInputFolder = run.InputFolder().string();
  for (std::size_t i = 1; i < count; ++i) {
    const fs::path folder = run.LogFolder() / std::to_string(i).insert(0, kWorkerFolderPrefix);
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    std::unique_ptr<CShiftSchedulingDomain> domain = CreateDomain(settings);
    domain->SetOutputFolder(folder.string());
    {
      // Its messages were shown when the run's own domain read the file.
      std::ostringstream silent;
      domain->SetOutput(silent, silent);
      domain->Read(run.FilePath().string());
    }
    workers.vLogs.push_back(std::make_unique<CBoundedLog>(folder / kConsoleLogFile));
    domain->SetOutput(*workers.vLogs.back(), *workers.vLogs.back());
    workers.vDomains.push_back(std::move(domain));
  }
  return workers;
}

// --jobs 0: one walk per processor the program may run on (`taskset`
// narrows them), else per processor of the machine.
std::size_t JobCount(const CBatchOptions& options) {
  if (options.iJobs > 0) return static_cast<std::size_t>(options.iJobs);
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
    return static_cast<std::size_t>(CPU_COUNT(&allowed));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

// Random repair on `count` workers, the run's own domain the first; the
// domain then holds the best roster of all, evaluated. Gives whether an
// evaluation divided by zero, which ended the search.
bool OptimiseInParallel(CBatchRun& run, const CBatchOptions& options, std::size_t count,
                        CProgressLine& progress, std::vector<CTrajectoryPoint>& trajectory) {
  CExtraWorkers extra = MakeExtraWorkers(run, options, count);
  std::vector<CShiftSchedulingDomain*> domains = {&run.Domain()};
  for (const auto& domain : extra.vDomains) domains.push_back(domain.get());
  CParallelRepair repair(domains);
  repair.SetLimits({options.iMaxEvaluations, options.dTimeLimit});
  const std::optional<unsigned>& seed = options.cSettings.oSeed;
  repair.SetSeed(seed ? *seed : static_cast<unsigned>(std::time(nullptr)));
  repair.SetProgressObserver([&progress](std::int64_t evaluations, float best, float current) {
    progress.Update(evaluations, best, current);
  });
  repair.SetObserver([&trajectory](std::int64_t evaluations, float best, float current) {
    trajectory.push_back({evaluations, best, current});
  });
  repair.Run();
  progress.Finish();
  if (repair.Workers() < count) {
    std::cerr << kProgram << ": warning: the system gave threads for " << repair.Workers()
              << " of the " << count << " walks\n";
  }
  return repair.DividedByZero();
}

// The first termination signal of an optimisation and who sent it, as one
// value (StopKey), and when it came (CLOCK_MONOTONIC, nanoseconds; 0 until
// noted): set in a signal handler, possibly on several threads at once.
std::atomic<std::uint64_t> gStopKey = 0;
std::atomic<std::int64_t> gStopTime = 0;
static_assert(std::atomic<std::uint64_t>::is_always_lock_free &&
                  std::atomic<std::int64_t>::is_always_lock_free,
              "set in signal handlers");

// `timeout` sends its signal to the program and then to the program's
// process group, and a supervisor may signal a process and its group alike:
// the program gets the signal twice at once, maybe on two threads. The same
// signal from the same sender within this time is one request to stop.
constexpr std::int64_t kRepeatedSignalNanoseconds = 100'000'000;

// A signal and its sender (the process that sent it with kill, 0 for one
// the kernel or the terminal sent) as one value.
std::uint64_t StopKey(int signal, const siginfo_t* info) {
  const bool sent = info != nullptr && info->si_code == SI_USER;
  const auto sender = sent ? static_cast<std::uint32_t>(info->si_pid) : 0u;
  return std::uint64_t{sender} << 32 | static_cast<std::uint32_t>(signal);
}

std::int64_t MonotonicNanoseconds() noexcept {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// SIGTERM and SIGHUP stop an optimisation as Ctrl-C does (after the current
// evaluation, the best roster still written), so that `timeout` or a closed
// terminal does not lose the run, also in a background job that ignores
// Ctrl-C. Another one (not the same one sent twice at once), or one after
// Ctrl-C, ends the program at once as a second Ctrl-C does, removing a
// temporary log folder. Only calls safe in a signal handler.
void PassOnAsInterrupt(int signal, siginfo_t* info, void*) {
  const std::uint64_t key = StopKey(signal, info);
  std::uint64_t first = 0;
  if (!CInterruptGuard::Interrupted() && gStopKey.compare_exchange_strong(first, key)) {
    gStopTime = MonotonicNanoseconds();
    CInterruptGuard::Interrupt();
    return;
  }
  if (first == 0) first = gStopKey.load();
  const std::int64_t noted = gStopTime.load();
  const bool repeated =
      first == key && (noted == 0 || MonotonicNanoseconds() - noted < kRepeatedSignalNanoseconds);
  if (!repeated) EndBySignal(signal);
}

// What stopped an optimisation early, for the line that says so.
const char* StopCause() {
  const auto signal = static_cast<int>(gStopKey.load() & 0xFFFFFFFFu);
  if (signal == SIGTERM) return "SIGTERM";
  if (signal == SIGHUP) return "SIGHUP";
  return "Ctrl-C";
}

// Runs the optimisation; the domain then holds the best roster evaluated,
// with its evaluation. Gives whether an evaluation divided by zero: the
// search ended there, and the roster kept is the best found before it,
// which the script rated without dividing. The run ends when there is none,
// or when rating it again divides too.
bool RunOptimizer(CBatchRun& run, const CBatchOptions& options,
                  std::vector<CTrajectoryPoint>& trajectory) {
  CShiftSchedulingDomain& domain = run.Domain();
  const std::size_t jobs = JobCount(options);
  if (jobs > 1) {
    CProgressLine progress(!options.bQuiet && ::isatty(STDERR_FILENO) != 0);
    const bool divided = OptimiseInParallel(run, options, jobs, progress, trajectory);
    if (domain.DividedByZero()) run.EndAtDivisionByZero();
    return divided;
  }
  COptimize optimizer(&domain);
  optimizer.SetLimits({options.iMaxEvaluations, options.dTimeLimit});
  optimizer.SetSeedSource(SeedSourceOf(options.cSettings));
  CProgressLine progress(!options.bQuiet && ::isatty(STDERR_FILENO) != 0);
  optimizer.SetObserver([&](std::int64_t evaluations, float best, float current) {
    trajectory.push_back({evaluations, best, current});
    progress.Update(evaluations, best, current);
  });
  if (options.sMethod == "deep") {
    optimizer.RepairDeep();
  } else {
    optimizer.RepairRandom();
  }
  progress.Finish();
  const bool divided = optimizer.DividedByZero();
  if (divided && optimizer.GetEvaluations() == 0) run.EndAtDivisionByZero();
  domain.SetSchedule(optimizer.GetBestSeenSchedule());
  domain.Evaluate();
  if (domain.DividedByZero()) run.EndAtDivisionByZero();
  return divided;
}

// The same with the console output of the optimisation in the log file.
bool Optimise(CBatchRun& run, const CBatchOptions& options,
              std::vector<CTrajectoryPoint>& trajectory) {
  CDomainToFile console(run.Domain(), kConsoleLogFile);
  const bool divided = RunOptimizer(run, options, trajectory);
  run.CheckLog(console);
  return divided;
}

// Where the domain's roster differs from the operating plan: days with a
// shift's count of groups, groups with a shift's count of days.
std::set<std::tuple<int, int, int>> PlanDepartures(CBatchRun& run) {
  std::set<std::tuple<int, int, int>> departures;
  for (const CPlanDifference& d : PlanDifferences(run.Grid(), MakePlanFigures(run.Domain()))) {
    departures.emplace(d.iDay, d.iGroup, d.iShift);
  }
  return departures;
}

// A repair move keeps the number of groups on each shift of the days it
// exchanges only where the groups it pairs hold what it looks for, so an
// optimised roster may leave the plan where the input kept it. The user
// hears of it.
void WarnOfNewDepartures(CBatchRun& run, const CBatchOptions& options,
                         const std::set<std::tuple<int, int, int>>& before) {
  const std::set<std::tuple<int, int, int>> after = PlanDepartures(run);
  if (std::includes(before.begin(), before.end(), after.begin(), after.end())) return;
  std::cerr << kProgram << ": warning: the roster written to " << options.sOut
            << " leaves the plan where " << options.sFile << " kept it; '" << kProgram << " check "
            << options.sOut << "' lists where\n";
}

// A script that divides by zero for some rosters ended the search at the
// first it met; the user hears of it, and of what was kept.
void WarnOfDivisionByZero(CBatchRun& run, const CBatchOptions& options) {
  std::cerr << kProgram << ": " << options.sFile << ": the evaluation script "
            << run.Domain().GetStaticDataFileName()
            << " divided by zero for a roster the optimizer tried; the search ended there, "
               "and the best roster found before is written to "
            << options.sOut << '\n';
}

// The domain file holds numbers as a stream writes them by default, to six
// significant digits: a shift length with more is written rounded, which
// the user hears of, with the value the file now holds.
void WarnOfRoundedLengths(const CShiftSchedulingDomain& domain, const CBatchOptions& options) {
  for (const CShift& shift : domain.GetShifts()) {
    std::ostringstream written;
    written << shift.GetLength();
    const float length = shift.GetLength();
    if (std::isnan(length) || std::strtof(written.str().c_str(), nullptr) == length) continue;
    std::cerr << kProgram << ": warning: the roster written to " << options.sOut
              << " holds the length of shift " << shift.GetName() << " to six digits, "
              << written.str() << '\n';
  }
}

// Whether the last evaluation gave the repair no cell at all to try.
bool NoCellToRepair(const CShiftSchedulingDomain& domain) {
  const CPositionMatrix& lists = domain.GetRepairPositions();
  return std::all_of(lists.begin(), lists.end(), [](const auto& list) { return list.empty(); });
}

// Why the evaluation gave the repair no cell: a script of the user's own
// may rate everything under branch names the repair does not know, which
// the optimizer otherwise seems to ignore without a reason.
std::string WhyNoCellToRepair(const CBatchRun& run) {
  for (const CRatedConstraint& rated : run.Ratings()) {
    if (CShiftSchedulingDomain::IsRepairedKind(rated.sBranch)) {
      return "the constraints it repairs named no cell of the roster (a group, week or block "
             "the roster does not have, or for DIFFHOURS a week without shift 1 or 3), so it had "
             "no cell to try";
    }
  }
  return "no rated constraint is in a branch the repair can place in the roster (" +
         RepairedKindsText() + "), so it had no cell to try";
}

// The optimizer repairs the constraints of some branches only: when the
// roster's other constraints give it cells to try, the user hears once of
// the branches it passes over (when none do, the end of the run says so).
void WarnOfUnrepairedBranches(const CBatchRun& run, const CBatchOptions& options,
                              const std::vector<CRatedConstraint>& ratings) {
  if (NoCellToRepair(run.Domain())) return;
  std::vector<std::string> passed_over;
  for (const CRatedConstraint& rated : ratings) {
    const std::string& branch = rated.sBranch;
    if (branch == "branch" || CShiftSchedulingDomain::IsRepairedKind(branch) ||
        std::find(passed_over.begin(), passed_over.end(), branch) != passed_over.end()) {
      continue;
    }
    passed_over.push_back(branch);
  }
  if (passed_over.empty()) return;
  std::cerr << kProgram << ": " << options.sFile << ": warning: the constraints of "
            << (passed_over.size() == 1 ? "the branch " : "the branches ")
            << NamesListed(passed_over)
            << " count in the evaluation, but the optimizer repairs only those of "
            << RepairedKindsText() << '\n';
}

// Whether a run of `made` evaluations in `seconds` reached a bound the
// command line set.
bool BoundReached(const CBatchOptions& options, std::int64_t made, double seconds) {
  return (options.iMaxEvaluations > 0 && made >= options.iMaxEvaluations) ||
         (options.dTimeLimit > 0 && seconds >= options.dTimeLimit);
}

// Why an optimisation that nothing stopped ended before the bound the user
// gave (or, without one, made no move at all), since it looks like one that
// found nothing better: a random walk makes at most 42 passes, iterative
// deepening at most 42 searches and none after one of four moves that
// fails, parallel walks end with a round in which no walk found a move. The
// repair moves exchange a day off with shift 1 on weekdays, 2 at weekends
// and 3 on Saturdays; for a cell that holds something else they write
// "Shift to repair out of range!" into the console log, counted here when
// no move was made.
void ExplainEarlyEnd(const CBatchRun& run, const CBatchOptions& options, std::size_t evaluations,
                     double seconds) {
  const auto walks = static_cast<std::int64_t>(JobCount(options));
  const auto made = static_cast<std::int64_t>(evaluations);
  const bool bounded = options.iMaxEvaluations > 0 || options.dTimeLimit > 0;
  const bool bound_reached = BoundReached(options, made, seconds);
  const bool moved = made > walks;
  if (CInterruptGuard::Interrupted() || bound_reached || (moved && !bounded)) return;
  std::cerr << kProgram << ": the optimizer ended by itself after " << Counted(made, "evaluation");
  if (!moved && NoCellToRepair(run.Domain())) {
    std::cerr << ": " << WhyNoCellToRepair(run);
  } else if (!moved) {
    std::ifstream log(run.LogFolder() / kConsoleLogFile);
    std::size_t unrepairable = 0;
    for (std::string line; std::getline(log, line);) {
      if (line == "Shift to repair out of range!") ++unrepairable;
    }
    std::cerr << ": no repair move applied to the cells it tried";
    if (unrepairable > 0) {
      std::cerr << " (the moves exchange a day off with shifts 1 to 3; \"Shift to repair out of "
                   "range!\" "
                << unrepairable << " times in " << kConsoleLogFile << ")";
    }
  } else if (walks > 1) {
    std::cerr << ": a round found no move to try in any walk";
  } else if (options.sMethod == "deep") {
    std::cerr << ": iterative deepening ends when no sequence of up to four moves finds a "
                 "better roster, or after 42 searches";
  } else {
    std::cerr << ": a random walk ends after at most 42 passes (with --jobs 2 or more the "
                 "walks go on while their rounds find moves)";
  }
  std::cerr << '\n';
}

// How the optimisation ran, for the report: the method, its seed and
// bounds, and how it ended.
std::string RunDescription(const CBatchOptions& options, bool divided, std::int64_t made,
                           double seconds) {
  std::string text = options.sMethod == "deep" ? "Iterative deepening" : "Random repair";
  if (const std::size_t walks = JobCount(options); walks > 1) text += Joined(", ", walks, " walks");
  const std::optional<unsigned>& seed = options.cSettings.oSeed;
  text += seed ? Joined(", seed ", *seed) : std::string(", seeded by the clock");
  if (options.iMaxEvaluations > 0) {
    text += Joined(", at most ", Counted(options.iMaxEvaluations, "evaluation"));
  }
  if (options.dTimeLimit > 0) {
    std::ostringstream limit;
    limit << ", at most " << options.dTimeLimit << " s";
    text += limit.str();
  }
  const bool bound_reached = BoundReached(options, made, seconds);
  if (divided) return text + "; ended where the script divided by zero.";
  if (CInterruptGuard::Interrupted()) return text + Joined("; stopped by ", StopCause(), ".");
  return text + (bound_reached ? "; ended at its bound." : "; ended by itself.");
}

}  // namespace

std::string RepairedKindsText() {
  const auto& kinds = CShiftSchedulingDomain::kRepairedKinds;
  return NamesListed({std::begin(kinds), std::end(kinds)}, std::size(kinds));
}

int RunOptimize(const CBatchOptions& options) {
  if (options.sMethod != "random" && JobCount(options) > 1) {
    std::cerr << kProgram << " optimize: --jobs needs --method random\n"
              << "Try '" << kProgram << " optimize --help' for more information.\n";
    return kExitUsage;
  }
  const fs::path out = CBatchRun::Absolute(options.sOut);
  const fs::path report = CBatchRun::Absolute(options.sReport);
  if (const int status = CheckCreatable(out, options.sOut)) return status;
  if (const int status = CheckCreatable(report, options.sReport)) return status;
  CBatchRun run(options);
  CReportData data;
  const std::vector<COutput> outputs = {{"-o", options.sOut, out, true},
                                        {"--report", options.sReport, report}};
  if (const int status = StartReport(run, options, outputs, data)) return status;
  if (const int status = run.ReserveOutput(out, options.sOut)) return status;
  WarnOfUnrepairedBranches(run, options, data.cBefore.vConstraints);
  const std::set<std::tuple<int, int, int>> departures = PlanDepartures(run);

  // From here until the outputs are written, a first stop signal lets the
  // run go on to write the best roster found; only a second ends it at once.
  // SA_RESTART: a script's INPUT that waits for a line keeps waiting.
  const CInterruptGuard guard;
  gStopKey = 0;
  gStopTime = 0;
  const CSignalHandlers stop_signals({SIGTERM, SIGHUP}, PassOnAsInterrupt, SA_RESTART);
  const auto started = std::chrono::steady_clock::now();
  const bool divided = Optimise(run, options, data.vTrajectory);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  data.oAfter = ReportRoster(run);
  data.sRun = RunDescription(options, divided, static_cast<std::int64_t>(data.vTrajectory.size()),
                             took.count());
  std::ostringstream roster;
  run.Domain().Write(roster);
  if (const int status = run.WriteReservedOutput(options.sOut, roster.str())) return status;
  // The roster is in place: what follows is said even when the report
  // cannot be written (it holds no room on the disk), with that status.
  const int status = report.empty() ? kExitSuccess : WriteReport(report, options.sReport, data);

  std::cout << "Evaluation before: " << data.cBefore.fEvaluation << '\n'
            << "Evaluation after:  " << data.oAfter->fEvaluation << '\n'
            << "Evaluations: " << data.vTrajectory.size() << '\n'
            << "Best roster written to " << options.sOut << "\n\n";
  if (divided) WarnOfDivisionByZero(run, options);
  WarnOfNewDepartures(run, options, departures);
  WarnOfRoundedLengths(run.Domain(), options);
  if (!divided) ExplainEarlyEnd(run, options, data.vTrajectory.size(), took.count());
  // The optimizer's stop line went to the console log with its other output.
  // A termination signal comes to the optimizer as Ctrl-C (PassOnAsInterrupt).
  if (CInterruptGuard::Interrupted()) {
    std::cerr << kProgram << ": stopped by " << StopCause()
              << "; the best roster found is written to " << options.sOut << '\n';
  }
  WriteRatingChanges(std::cout, {data.cBefore.vConstraints, data.cBefore.cGrid},
                     {data.oAfter->vConstraints, data.oAfter->cGrid}, kOptimizeTop);
  NoteScriptFiles(run, options);
  // The roster is written, but the script fails for some rosters: a chain
  // of commands is to stop here as after any other fault of the data.
  return divided && status == kExitSuccess ? kExitDataError : status;
}

}  // namespace batch_commands
