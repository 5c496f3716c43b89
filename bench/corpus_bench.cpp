// Random repair over the benchmark corpus (bench/corpus): one benchmark per
// entry, registered from the folders found there. Each runs whole random
// optimisations, bounded in evaluations, in a scratch copy of its entry, and
// reports full evaluations per second of processor time and the number of
// rated constraints of one evaluation (counter "rated").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "domtarn.h"
#include "optimize.h"

namespace {

namespace fs = std::filesystem;

// Evaluations of one optimisation: enough for the walk to move away from the
// starting roster, few enough that an iteration stays short.
constexpr std::int64_t kEvaluationsPerRun = 100;

// The domain as the optimizer sees it, counting its evaluations.
class CCountingDomain : public CShiftSchedulingDomain {
 public:
  float Evaluate() override {
    ++iEvaluations;
    return CShiftSchedulingDomain::Evaluate();
  }
  std::int64_t iEvaluations = 0;
};

// The corpus entries: every folder of the corpus, by name.
std::vector<std::string> CorpusEntries() {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(DOMTARN_CORPUS_DIR, error)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The domain data file of a folder: its only file ending in ".dom".
std::string DomainFile(const fs::path& folder) {
  std::string found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".dom") {
      if (!found.empty()) return {};
      found = entry.path().filename().string();
    }
  }
  return found;
}

// Works in a folder for its lifetime and silences the console; both are put
// back afterwards.
class CWorkingFolder {
 public:
  explicit CWorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
    console_ = std::cout.rdbuf(silent_.rdbuf());
  }
  CWorkingFolder(const CWorkingFolder&) = delete;
  CWorkingFolder& operator=(const CWorkingFolder&) = delete;
  ~CWorkingFolder() {
    std::cout.rdbuf(console_);
    std::error_code error;
    fs::current_path(previous_, error);
  }

 private:
  fs::path previous_;
  std::ostringstream silent_;
  std::streambuf* console_ = nullptr;
};

void BM_CorpusRepair(benchmark::State& state, const std::string& entry) {
  const std::string folder =
      bench::CopyIntoScratch((fs::path(DOMTARN_CORPUS_DIR) / entry).string(), "corpus-" + entry);
  const std::string domain_file = folder.empty() ? std::string() : DomainFile(folder);
  if (domain_file.empty()) {
    state.SkipWithError("the corpus entry has no single domain data file");
    return;
  }
  CWorkingFolder working(folder);
  COptimizeLimits limits;
  limits.iMaxEvaluations = kEvaluationsPerRun;
  std::int64_t evaluations = 0;
  std::size_t rated = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto domain = std::make_unique<CCountingDomain>();
    domain->Read(domain_file);
    auto optimizer = std::make_unique<COptimize>(domain.get());
    optimizer->SetLimits(limits);
    state.ResumeTiming();
    optimizer->RepairRandom();
    state.PauseTiming();
    evaluations += domain->iEvaluations;
    rated = domain->GetEvalData().size();
    optimizer.reset();
    domain.reset();
    state.ResumeTiming();
  }
  if (rated == 0) {
    state.SkipWithError("the corpus entry does not evaluate");
    return;
  }
  state.SetItemsProcessed(evaluations);
  state.counters["rated"] = static_cast<double>(rated);
}

const bool kCorpusRegistered = [] {
  for (const std::string& entry : CorpusEntries()) {
    benchmark::RegisterBenchmark((bench::kCorpusPrefix + entry).c_str(), BM_CorpusRepair, entry)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
