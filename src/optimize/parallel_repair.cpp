// Random repair on several threads at once, in rounds that end at fixed
// numbers of evaluations, so that the result does not depend on the timing.
#include "parallel_repair.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
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

// Every round starts its threads afresh and joins them: the join is the
// barrier after which the best roster is chosen, and no worker's state is
// read while its thread runs.
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
  const bool bounded = cLimits.iMaxEvaluations > 0 || cLimits.dTimeLimit > 0;
  bool stopped = false;
  for (int round = 0; bounded || round < kUnboundedRounds; ++round) {
    const std::vector<std::int64_t> budgets = RoundBudgets();
    const std::int64_t before = iEvaluations;
    std::int64_t running = 0;
    {
      std::vector<std::jthread> threads;
      for (std::size_t i = 0; i < count; ++i) {
        if (budgets[i] <= 0) continue;
        ++running;
        threads.emplace_back([this, &worker = *workers[i], budget = budgets[i]] {
          worker.cOptimizer.RandomRound(cBest, budget, tStart);
        });
      }
    }
    CollectRound(workers);
    stopped = CInterruptGuard::Interrupted() || TimeUp() ||
              (cLimits.iMaxEvaluations > 0 && iEvaluations >= cLimits.iMaxEvaluations);
    // A round whose workers could only evaluate their start found no move.
    if (stopped || iEvaluations - before <= running) break;
  }
  CShiftSchedulingDomain& first = *vDomains.front();
  first.SetSchedule(cBest);
  first.Evaluate();
  if (!stopped) return;
  first.GetOutput() << "Optimization stopped: "
                    << (CInterruptGuard::Interrupted() ? "" : "limit reached, ")
                    << "best evaluation " << fBest << " kept." << '\n';
  first.GetOutput().flush();
}
