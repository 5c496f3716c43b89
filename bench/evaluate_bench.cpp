// Full evaluations of the bundled example roster, the optimizer's unit of
// work, and the same evaluation split into its steps: export of the domain
// into a variable store, writing "test2.dat", the script run, and turning the
// script's tree into the sorted constraint list with its repair starts.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "domtarn.h"
#include "domtarn_tree.h"
#include "evaltree.h"
#include "expint.h"
#include "inter.h"
#include "inter_context.h"

namespace {

constexpr const char* kExampleDomain = "plant.dom";
constexpr const char* kVariablesFile = "test2.dat";

// Seconds of processor time spent in each step, summed over the evaluations of
// one benchmark. Processor time rather than wall time, because the machine is
// shared and wall time counts the other processes' turns as well.
struct CStepTimes {
  double export_s = 0;
  double write_s = 0;
  double script_s = 0;
  double list_s = 0;
};

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The example domain, with an evaluation that runs the steps of Evaluate one
// by one and times each. The check below makes sure both give the same
// result and the same variables file.
class CTimedDomain : public CShiftSchedulingDomain {
 public:
  bool Load() {
    Read(kExampleDomain);
    return GetSchedule().size() > 0 && GetStaticData()[0] != '\0';
  }

  float TimedEvaluate(CStepTimes& times) {
    const double start = ThreadSeconds();
    auto vars = std::make_unique<TVarlist>();
    InitializeVariables(vars.get());
    const double exported = ThreadSeconds();
    WriteExportedVariablesFile(*vars);
    const double written = ThreadSeconds();
    std::unique_ptr<TEvalTree> tree = interpret(*cEvalContext, GetStaticData(), std::move(vars));
    const double interpreted = ThreadSeconds();
    if (tree != nullptr) {
      TakeSortedConstraints(std::move(tree), RatedConstraints);
      EvalDataPending = true;
    }
    float result = -1;
    if (RatedCount() > 0) {
      evaluation = 0;
      for (std::size_t k = 0; k < RatedCount(); ++k) evaluation += RatedValue(k);
      ComputeRepairStarts();
      result = evaluation;
    }
    const double listed = ThreadSeconds();
    times.export_s += exported - start;
    times.write_s += written - exported;
    times.script_s += interpreted - written;
    times.list_s += listed - interpreted;
    return result;
  }
};

std::string FileText(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void BM_Evaluate(benchmark::State& state) {
  CTimedDomain domain;
  if (!domain.Load() || domain.Evaluate() < 0) {
    state.SkipWithError("the example does not evaluate");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(domain.Evaluate());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Evaluate)->Name("BM_Evaluate/example")->Unit(benchmark::kMicrosecond);

// The same without the engine's caches (--no-cache).
void BM_EvaluateUncached(benchmark::State& state) {
  CTimedDomain domain;
  domain.SetCaching(false);
  if (!domain.Load() || domain.Evaluate() < 0) {
    state.SkipWithError("the example does not evaluate");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(domain.Evaluate());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateUncached)->Name("BM_Evaluate/example_nocache")->Unit(benchmark::kMicrosecond);

// Rosters that differ from the example as the optimizer's moves make them
// differ: in each, one team exchanges the shifts of two neighbouring days.
std::vector<CIntMatrix> NeighbouringRosters(const CIntMatrix& example) {
  constexpr std::size_t kRosters = 16;
  std::vector<CIntMatrix> rosters;
  for (std::size_t k = 0; k < kRosters; ++k) {
    CIntMatrix roster = example;
    std::vector<int>& row = roster[k % roster.size()];
    if (row.size() > 1) std::swap(row[k % (row.size() - 1)], row[k % (row.size() - 1) + 1]);
    rosters.push_back(std::move(roster));
  }
  return rosters;
}

// Evaluations of changing rosters, so that no two evaluations in a row see
// the same one; closer to the optimizer's work than evaluating one roster.
void BM_EvaluateNeighbours(benchmark::State& state) {
  CTimedDomain domain;
  if (!domain.Load() || domain.Evaluate() < 0) {
    state.SkipWithError("the example does not evaluate");
    return;
  }
  const std::vector<CIntMatrix> rosters = NeighbouringRosters(domain.GetSchedule());
  std::size_t next = 0;
  for (auto _ : state) {
    domain.SetSchedule(rosters[next]);
    next = (next + 1) % rosters.size();
    benchmark::DoNotOptimize(domain.Evaluate());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateNeighbours)
    ->Name("BM_EvaluateNeighbours/example")
    ->Unit(benchmark::kMicrosecond);

void BM_EvaluateSteps(benchmark::State& state) {
  CTimedDomain domain;
  CStepTimes times;
  if (!domain.Load() || domain.TimedEvaluate(times) < 0) {
    state.SkipWithError("the example does not evaluate");
    return;
  }
  times = CStepTimes{};
  for (auto _ : state) benchmark::DoNotOptimize(domain.TimedEvaluate(times));
  using benchmark::Counter;
  state.counters["export_us"] = Counter(times.export_s * 1e6, Counter::kAvgIterations);
  state.counters["write_us"] = Counter(times.write_s * 1e6, Counter::kAvgIterations);
  state.counters["script_us"] = Counter(times.script_s * 1e6, Counter::kAvgIterations);
  state.counters["list_us"] = Counter(times.list_s * 1e6, Counter::kAvgIterations);
}
BENCHMARK(BM_EvaluateSteps)->Name("BM_EvaluateSteps/example")->Unit(benchmark::kMicrosecond);

// The timed steps must do what Evaluate does: same evaluation, same file.
bool CheckStepsMatchEvaluate() {
  CTimedDomain domain;
  if (!domain.Load()) {
    std::printf("  cannot read %s\n", kExampleDomain);
    return false;
  }
  const float whole = domain.Evaluate();
  const std::string whole_file = FileText(kVariablesFile);
  CStepTimes times;
  const float steps = domain.TimedEvaluate(times);
  const std::string steps_file = FileText(kVariablesFile);
  const bool same = whole == steps && whole_file == steps_file;
  std::ostringstream line;
  line << "example evaluation " << whole << " (steps: " << steps << "), " << kVariablesFile << ' '
       << (whole_file == steps_file ? "identical" : "DIFFERENT") << " (" << whole_file.size()
       << " bytes)";
  std::printf("  %s\n", line.str().c_str());
  bench::AddSummaryLine(line.str());
  return same && whole >= 0;
}
const bool kStepsCheckRegistered =
    bench::RegisterCheck("evaluation steps vs Evaluate", CheckStepsMatchEvaluate);

}  // namespace
