// Random repair on several threads at once: every worker is a random walk on
// a domain of its own, and the walks meet after every round to go on from
// the best roster any of them found.
//
// A round is a fixed number of evaluations per worker, never a time, so that
// a run with a given seed and number of workers gives the same roster and the
// same log files whatever the timing: after a round every worker's best is
// compared in worker order, a strictly better one replaces the best so far
// (ties go to the earlier round and then to the lowest worker number), and
// every worker starts the next round from it. Worker i draws with the seeds
// seed + i, seed + i + N, seed + i + 2N, ... (N workers), so no two workers
// ever make the same draws.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "domtarn.h"
#include "optimize.h"

// Told after every evaluation, on the worker's thread but one at a time:
// the evaluations of all workers so far, the best evaluation any of them
// made and the one just made. For a live display; the order of the calls
// depends on the timing.
using CProgressObserver = std::function<void(std::int64_t evaluations, float best, float current)>;

class CParallelRepair {
 public:
  // Evaluations every worker makes per round, its start's included.
  static constexpr std::int64_t kRoundEvaluations = 100;
  // Rounds of a run with no bound on evaluations or time.
  static constexpr int kUnboundedRounds = 5;

  // One worker per domain (not owned), which writes its console lines to
  // the domain's output. Every domain must hold the same roster, read from
  // one file, and have output streams and an output folder of its own; it
  // must not be used by anything else while the run lasts.
  explicit CParallelRepair(std::vector<CShiftSchedulingDomain*> domains);

  // Bounds of the whole run: evaluations of all workers together, and its
  // wall time. 0: unbounded, and without either bound the run makes
  // kUnboundedRounds rounds.
  void SetLimits(const COptimizeLimits& limits) { cLimits = limits; }
  // The seed of worker 0; the others take the numbers after it. The run sets
  // the domains' seed sources accordingly.
  void SetSeed(unsigned seed) { iSeed = seed; }
  void SetProgressObserver(CProgressObserver observer) { cProgress = std::move(observer); }
  // Told after every round of every evaluation of the round, worker by
  // worker, on the thread of Run, as the evaluation's number among all,
  // the best evaluation so far in this order and the evaluation itself: the
  // same calls on every run of the same seed and workers.
  void SetObserver(CEvaluationObserver observer) { cObserver = std::move(observer); }

  // Runs the rounds until a bound is reached, Ctrl-C arrives (every worker
  // stops after its current evaluation) or a round finds nothing to try.
  // Afterwards the first domain holds the best roster, evaluated, and its
  // output has the stop line when the run was stopped. When the system
  // gives fewer threads than workers, the workers that got one do the run.
  void Run();
  // How many workers did the last run (all, unless threads were refused).
  std::size_t Workers() const { return vDomains.size(); }
  // Whether a worker's evaluation divided by zero. That worker stopped at
  // once, the others at the end of the round; the run then ended with the
  // first domain holding the best roster evaluated before, as after a bound.
  bool DividedByZero() const { return bDividedByZero; }

  const CIntMatrix& GetBestSchedule() const { return cBest; }
  float GetBestEvaluation() const { return fBest; }
  std::int64_t GetEvaluations() const { return iEvaluations; }

 private:
  struct CWorker;

  // Each worker's evaluations for the next round: the round's number, or
  // shares of what the bound on evaluations leaves, the first workers taking
  // one more when it does not divide evenly.
  std::vector<std::int64_t> RoundBudgets() const;
  bool TimeUp() const;
  // Takes the workers' best rosters of the round in worker order and tells
  // the observer about their evaluations.
  void CollectRound(std::vector<std::unique_ptr<CWorker>>& workers);
  // Counts one evaluation of any worker and tells the progress observer.
  void Progress(float current);

  std::vector<CShiftSchedulingDomain*> vDomains;
  COptimizeLimits cLimits;
  unsigned iSeed = 0;
  CProgressObserver cProgress;
  CEvaluationObserver cObserver;
  std::chrono::steady_clock::time_point tStart;

  CIntMatrix cBest;
  float fBest = 0;
  bool bHaveBest = false;
  bool bDividedByZero = false;
  std::int64_t iEvaluations = 0;
  // The observer's running best, in the order it is told.
  float fObservedBest = 0;

  // What the progress observer is told, shared by the workers' threads.
  std::mutex mProgress;
  std::int64_t iLiveEvaluations = 0;
  float fLiveBest = 0;
};
