// Random repair on one and on two workers (CParallelRepair), on the bundled
// example and on the twelve-team corpus roster: evaluations per second of
// wall time, which is what more workers are meant to raise. One worker runs
// the same rounds as two, so the ratio of the two figures is what the second
// core adds. bench/parallel runs these alternately and prints the table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "domtarn.h"
#include "parallel_repair.h"

namespace {

namespace fs = std::filesystem;

// Rounds of one run per worker: long enough that starting and joining the
// threads of a round do not count.
constexpr std::int64_t kRoundsPerRun = 10;

struct CEntry {
  const char* name;
  const char* file;
};

void BM_ParallelRepair(benchmark::State& state, CEntry entry) {
  const std::string folder = bench::CopyIntoScratch(
      (fs::path(DOMTARN_CORPUS_DIR) / entry.name).string(), std::string("parallel-") + entry.name);
  if (folder.empty()) {
    state.SkipWithError("cannot copy the corpus entry");
    return;
  }
  const auto workers = static_cast<std::size_t>(state.range(0));
  std::int64_t evaluations = 0;
  unsigned seed = 1;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::unique_ptr<CShiftSchedulingDomain>> domains;
    std::vector<CShiftSchedulingDomain*> pointers;
    std::vector<std::unique_ptr<std::ostringstream>> consoles;
    for (std::size_t i = 0; i < workers; ++i) {
      const fs::path out = fs::path(folder) / ("worker" + std::to_string(i));
      fs::create_directories(out);
      domains.push_back(std::make_unique<CShiftSchedulingDomain>());
      domains.back()->SetInputFolder(folder);
      domains.back()->SetOutputFolder(out.string());
      domains.back()->Read((fs::path(folder) / entry.file).string());
      pointers.push_back(domains.back().get());
      consoles.push_back(std::make_unique<std::ostringstream>());
      domains.back()->SetOutput(*consoles.back(), *consoles.back());
    }
    CParallelRepair repair(pointers);
    const auto bound =
        static_cast<std::int64_t>(workers) * kRoundsPerRun * CParallelRepair::kRoundEvaluations;
    repair.SetLimits({bound, 0});
    repair.SetSeed(seed++);
    state.ResumeTiming();
    repair.Run();
    evaluations += repair.GetEvaluations();
  }
  state.SetItemsProcessed(evaluations);
}

const bool kParallelRegistered = [] {
  for (const CEntry entry : {CEntry{"example", "plant.dom"}, CEntry{"twelve", "twelve.dom"}}) {
    benchmark::RegisterBenchmark((std::string("BM_ParallelRepair/") + entry.name).c_str(),
                                 BM_ParallelRepair, entry)
        ->ArgName("jobs")
        ->Arg(1)
        ->Arg(2)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
