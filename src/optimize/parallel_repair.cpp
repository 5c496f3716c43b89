// Random repair on several threads at once, in rounds that end at fixed
// numbers of evaluations, so that the result does not depend on the timing.
#include "parallel_repair.h"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// A rating that is not a number must not hide every later real rating.
bool IsBetter(float value, float best) {
  return value > best || (std::isnan(best) && !std::isnan(value));
}

}  // namespace

struct CParallelRepair::CWorker {
  explicit CWorker(CShiftSchedulingDomain* domain) : cOptimizer(domain) {}
  COptimize cOptimizer;
  // The evaluations of the current round, in the order made.
  std::vector<float> vRound;
};

CParallelRepair::CParallelRepair(std::vector<CShiftSchedulingDomain*> domains)
    : vDomains(std::move(domains)) {}

bool CParallelRepair::TimeUp() const {
  if (cLimits.dTimeLimit <= 0) return false;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - tStart;
  return elapsed.count() >= cLimits.dTimeLimit;
}

std::vector<std::int64_t> CParallelRepair::RoundBudgets() const {
  const auto workers = static_cast<std::int64_t>(vDomains.size());
  std::vector<std::int64_t> budgets(vDomains.size(), kRoundEvaluations);
  if (cLimits.iMaxEvaluations <= 0) return budgets;
  const std::int64_t left = cLimits.iMaxEvaluations - iEvaluations;
  if (left >= workers * kRoundEvaluations) return budgets;
  for (std::int64_t i = 0; i < workers; ++i) {
    budgets[static_cast<std::size_t>(i)] = left / workers + (i < left % workers ? 1 : 0);
  }
  return budgets;
}

void CParallelRepair::Progress(float current) {
  const std::lock_guard lock(mProgress);
  if (iLiveEvaluations == 0 || IsBetter(current, fLiveBest)) fLiveBest = current;
  ++iLiveEvaluations;
  if (cProgress) cProgress(iLiveEvaluations, fLiveBest, current);
}

void CParallelRepair::CollectRound(std::vector<std::unique_ptr<CWorker>>& workers) {
  for (const std::unique_ptr<CWorker>& each : workers) {
    CWorker& worker = *each;
    for (const float value : worker.vRound) {
      if (iEvaluations == 0 || IsBetter(value, fObservedBest)) fObservedBest = value;
      ++iEvaluations;
      if (cObserver) cObserver(iEvaluations, fObservedBest, value);
    }
    if (worker.cOptimizer.DividedByZero()) bDividedByZero = true;
    if (worker.vRound.empty()) continue;
    worker.vRound.clear();
    const float best = worker.cOptimizer.GetBestSeenEvaluation();
    if (!bHaveBest || IsBetter(best, fBest)) {
      fBest = best;
      cBest = worker.cOptimizer.GetBestSeenSchedule();
      bHaveBest = true;
    }
  }
}

// Worker 0 runs on the calling thread, the others each on a thread of their
// own for the whole run (the allocator keeps memory per thread, ready
// for the next round). Two waits at one barrier frame every round: after the
// first the workers read the budgets and the best roster, after the second
// only this thread reads their results and chooses the next round's start.
void CParallelRepair::Run() {
  const CInterruptGuard guard;
  tStart = std::chrono::steady_clock::now();
  const std::size_t count = vDomains.size();
  std::vector<std::unique_ptr<CWorker>> workers;
  for (std::size_t i = 0; i < count; ++i) {
    CWorker& worker = *workers.emplace_back(std::make_unique<CWorker>(vDomains[i]));
    const CSeedSource seeds =
        CSeedSource::Fixed(iSeed + static_cast<unsigned>(i), static_cast<unsigned>(count));
    vDomains[i]->SetSeedSource(seeds);
    worker.cOptimizer.SetSeedSource(seeds);
    worker.cOptimizer.SetLimits({0, cLimits.dTimeLimit});
    worker.cOptimizer.SetObserver([this, &worker](std::int64_t, float, float current) {
      worker.vRound.push_back(current);
      Progress(current);
    });
  }
  cBest = vDomains.front()->GetSchedule();
  std::vector<std::int64_t> budgets(count, 0);
  bool done = false;
  std::barrier sync(static_cast<std::ptrdiff_t>(count));
  const auto walk = [&](std::size_t i) {
    if (budgets[i] > 0) workers[i]->cOptimizer.RandomRound(cBest, budgets[i], tStart);
  };
  std::vector<std::jthread> threads;
  try {
    for (std::size_t i = 1; i < count; ++i) {
      threads.emplace_back([&sync, &done, &walk, i] {
        for (;;) {
          sync.arrive_and_wait();
          if (done) return;
          walk(i);
          sync.arrive_and_wait();
        }
      });
    }
  } catch (const std::system_error&) {
    // The system gives no more threads: the walks that have one go on alone,
    // and those that have none leave the barrier.
    const std::size_t started = threads.size() + 1;
    for (std::size_t i = started; i < count; ++i) sync.arrive_and_drop();
    workers.resize(started);
    vDomains.resize(started);
  }
  const bool bounded = cLimits.iMaxEvaluations > 0 || cLimits.dTimeLimit > 0;
  bool stopped = false;
  for (int round = 0; !done; ++round) {
    budgets = RoundBudgets();
    const std::int64_t before = iEvaluations;
    const auto running = static_cast<std::int64_t>(
        std::count_if(budgets.begin(), budgets.end(), [](std::int64_t b) { return b > 0; }));
    sync.arrive_and_wait();
    walk(0);
    sync.arrive_and_wait();
    CollectRound(workers);
    stopped = CInterruptGuard::Interrupted() || TimeUp() ||
              (cLimits.iMaxEvaluations > 0 && iEvaluations >= cLimits.iMaxEvaluations);
    // A round whose workers could only evaluate their start found no move.
    done = stopped || bDividedByZero || iEvaluations - before <= running ||
           (!bounded && round + 1 >= kUnboundedRounds);
  }
  sync.arrive_and_wait();
  threads.clear();
  CShiftSchedulingDomain& first = *vDomains.front();
  first.SetSchedule(cBest);
  first.Evaluate();
  if (!stopped) return;
  first.GetOutput() << "Optimization stopped: "
                    << (CInterruptGuard::Interrupted() ? "" : "limit reached, ")
                    << "best evaluation " << fBest << " kept." << '\n';
  first.GetOutput().flush();
}
