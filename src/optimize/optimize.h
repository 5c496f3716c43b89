// The repair optimizer: improves the domain's schedule by sequences of repair
// moves, either by iterative deepening or by a random walk, and logs its
// progress to the console, to "c.dat" and "o.dat" and to pass files "o1", ...
// An optimisation can be stopped early, by Ctrl-C or by a bound on its
// evaluations or its time; it then keeps the best roster it evaluated.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>

#include <signal.h>

#include "base.h"
#include "domtarn.h"

// Bounds of every optimisation; 0 means unbounded.
struct COptimizeLimits {
  // Evaluations of one optimisation, the one of the starting roster included.
  std::int64_t iMaxEvaluations = 0;
  // Wall time of one optimisation, in seconds.
  double dTimeLimit = 0;
};

// Told after every evaluation of an optimisation: how many evaluations it
// has made so far, the best evaluation so far and the one just made.
using CEvaluationObserver =
    std::function<void(std::int64_t evaluations, float best, float current)>;

// Routes Ctrl-C to the optimizers' stop flag for as long as it lives and puts
// the earlier disposition back afterwards, so Ctrl-C at the menu ends the
// program as the terminal would. The first Ctrl-C already puts it back: a
// second one does what Ctrl-C did before the optimisation (by default, it
// ends the program at once). Every optimisation holds one; optimizers that
// work together share the one of the run that drives them. Guards nest: an
// inner one changes nothing, so a caller may guard a longer stretch than
// the optimisation (its set-up, the writing of the result).
class CInterruptGuard {
 public:
  CInterruptGuard();
  ~CInterruptGuard();
  CInterruptGuard(const CInterruptGuard&) = delete;
  CInterruptGuard& operator=(const CInterruptGuard&) = delete;

  // Whether Ctrl-C arrived since the outermost guard was made.
  static bool Interrupted();
  // Stops the optimisation as Ctrl-C does, from the handler of another
  // signal, also when Ctrl-C itself is ignored.
  static void Interrupt();

 private:
  struct sigaction previous {};
  bool installed = false;
};

class COptimize : public CBase {
 public:
  // Works on `domain` for its whole life (not owned). Creates the log files
  // "c.dat" and "o.dat" anew, empty. Read and Write of the record base
  // handle the header only; the optimizer has no stored fields.
  explicit COptimize(CShiftSchedulingDomain* domain);

  // Whether an optimisation writes a file of that name into the domain's
  // output folder: its logs "c.dat", "o.dat", "error.dat", the pass files
  // o1, o2, ... and the evaluations' variables file.
  static bool WritesFileNamed(std::string_view name);

  // Applies to every later optimisation.
  void SetLimits(const COptimizeLimits& limits) { cLimits = limits; }
  // Where the seeds of the random walk's start days come from; the clock
  // unless set.
  void SetSeedSource(const CSeedSource& source) { cSeeds = source; }
  // Called after every evaluation of every later optimisation; none by
  // default. The observer must not change the domain.
  void SetObserver(CEvaluationObserver observer) { cObserver = std::move(observer); }
  // The best roster the latest optimisation evaluated (the starting one
  // included), which a random walk need not end with, and its evaluation.
  const CIntMatrix& GetBestSeenSchedule() const { return cBestSeenSchedule; }
  float GetBestSeenEvaluation() const { return fBestSeen; }
  // Whether the latest optimisation ended at an evaluation that divided by
  // zero. It then stopped at once: nothing more was printed, written to the
  // log files (what they buffered is not flushed either) or kept, and the
  // domain holds the roster of that evaluation. The program is to end.
  bool DividedByZero() const { return eStop == StopReason::kDivisionByZero; }

  // Both optimisations stop early when Ctrl-C arrives (the evaluation in
  // progress completes first) or a limit is reached. The domain then gets
  // back the best roster evaluated in this optimisation, the starting one
  // included, and one line reports its evaluation; see optimize.cpp.

  // Iterative deepening: searches for a sequence of 1, 2, 3 or 4 moves that
  // raises the evaluation, keeps it and starts again at one move.
  void RepairDeep();
  // Tries every sequence of exactly `depth` moves from the current schedule
  // and keeps the first whose final evaluation beats the best so far. On
  // failure the schedule is the one the search started from.
  bool RepairTry(int depth);

  // Random walk: every pass tries ten moves at the worst cell from random
  // start days and goes on with the tenth, whatever its value.
  void RepairRandom();
  // One pass of the random walk; depth 0 does nothing.
  void RepairTry2(int depth);

  // One round of a random walk that several optimizers take turns to share
  // (parallel_repair.h): puts `start` into the domain, evaluates it and walks
  // on from it until `evaluations` evaluations in all, the start's included,
  // or until Ctrl-C or the time limit, whose clock started at `started`.
  // Every pass is reported to the console, but no pass file is written and
  // no Ctrl-C handler installed (the caller holds a CInterruptGuard). A walk
  // whose passes stop finding moves begins again from `start`; one that finds
  // no move from `start` ends the round early, and so does an evaluation that
  // divides by zero (DividedByZero()). The best roster of the round is
  // GetBestSeenSchedule() afterwards.
  void RandomRound(const CIntMatrix& start, std::int64_t evaluations,
                   std::chrono::steady_clock::time_point started);
  // Evaluations of the latest optimisation or round.
  std::int64_t GetEvaluations() const { return iEvaluations; }

 private:
  enum class StopReason { kNone, kInterrupted, kLimit, kDivisionByZero };

  // Every evaluation of the search goes through here; returns the domain's
  // evaluation afterwards. Records the best roster seen and decides whether
  // the optimisation has to stop.
  float EvaluateDomain();
  // Starts the clock and the counts, evaluates the domain and takes its
  // evaluation and schedule as the best.
  void StartOptimisation();
  // Ends either optimisation: after a stop, puts the best roster seen back
  // and reports it; flushes the console and the log files.
  void FinishOptimisation();
  // Puts the best roster seen back into the domain and prints the stop line.
  void KeepBestSeen();
  // Puts `start` into the domain, evaluates it and walks on from it until a
  // stop or until kPassLimit + 1 passes in a row find no move.
  void RandomWalk(const CIntMatrix& start);
  bool LimitReached() const;
  bool Stopping() const { return eStop != StopReason::kNone; }
  // Tries the moves at one repair cell, each followed by a search one level
  // shallower; `saved` is the schedule to go back to after a failed move.
  bool RepairCell(std::size_t list, std::size_t position, int depth, const CIntMatrix& saved);
  // Prints the best evaluation, writes the domain to the pass file and
  // flushes the console and the log files.
  void ReportPass(int pass);
  // Writes everything buffered so far to the console and the log files.
  void Flush();

  CShiftSchedulingDomain* cDomain;
  float fBestEvaluation = 0;
  CIntMatrix cBestSchedule;
  std::ofstream file1;
  std::ofstream file2;
  int iTries = 0;

  COptimizeLimits cLimits;
  CSeedSource cSeeds;
  CEvaluationObserver cObserver;
  // Why the current optimisation stops; once set, the searches return at
  // once without evaluating, printing or writing pass files.
  StopReason eStop = StopReason::kNone;
  std::int64_t iEvaluations = 0;
  std::chrono::steady_clock::time_point tStart;
  // The best roster evaluated in the current optimisation and its value;
  // bLastWasBest tells whether the latest evaluation was of that roster.
  float fBestSeen = 0;
  CIntMatrix cBestSeenSchedule;
  bool bLastWasBest = false;
};
