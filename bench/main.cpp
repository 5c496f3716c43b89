// Entry of the benchmark program. It copies the bundled example into a fresh
// scratch folder and works there (every evaluation writes "test2.dat" into
// the working folder; benchmarks of the corpus copy each entry into a folder
// of its own below it), runs the registered checks, then the benchmarks, and
// closes with a summary: the medians of the main figures, the ratios
// between our fuzzy engine and its peer, and one line per corpus entry.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string>& SummaryLines() {
  static std::vector<std::string> lines;
  return lines;
}

std::vector<std::pair<const char*, bench::CheckFunction>>& Checks() {
  static std::vector<std::pair<const char*, bench::CheckFunction>> checks;
  return checks;
}

// A fresh folder under the system's temporary folder holding a copy of the
// example; it is removed when the program ends normally.
class CScratchFolder {
 public:
  CScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "domtarn-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
    std::error_code error;
    fs::copy(DOMTARN_EXAMPLES_DIR, path_, fs::copy_options::recursive, error);
    if (error) {
      std::cerr << "Cannot copy the example from " << DOMTARN_EXAMPLES_DIR << ": "
                << error.message() << '\n';
      path_.clear();
      return;
    }
    previous_ = fs::current_path();
    fs::current_path(path_);
  }
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;
  ~CScratchFolder() {
    if (path_.empty()) return;
    std::error_code error;
    fs::current_path(previous_, error);
    fs::remove_all(path_, error);
  }
  bool Ready() const { return !path_.empty(); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
  fs::path previous_;
};

// Console output as usual; besides, remembers the median (or, without
// repetitions, the single run) of every benchmark's rate counters.
class CSummaryReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that saved output stays plain text.
  CSummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      std::string name = run.run_name.str();
      if (!median && medians_.count(name) > 0) continue;
      std::map<std::string, double>& figures = medians_[name];
      for (const auto& [counter, value] : run.counters) figures[counter] = value.value;
      figures["real_time_us"] = run.GetAdjustedRealTime() *
                                benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond) /
                                benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }
  // The figures of every benchmark whose name starts with prefix, by the rest
  // of the name, in name order.
  std::vector<std::pair<std::string, std::map<std::string, double>>> WithPrefix(
      std::string_view prefix) const {
    std::vector<std::pair<std::string, std::map<std::string, double>>> found;
    for (const auto& [name, figures] : medians_) {
      if (name.compare(0, prefix.size(), prefix) == 0) {
        found.emplace_back(name.substr(prefix.size()), figures);
      }
    }
    return found;
  }
  // The figure of a benchmark whose name starts with prefix; 0 when absent.
  double Figure(std::string_view prefix, const std::string& counter) const {
    for (const auto& [name, figures] : medians_) {
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      const auto found = figures.find(counter);
      if (found != figures.end()) return found->second;
    }
    return 0;
  }

 private:
  std::map<std::string, std::map<std::string, double>> medians_;
};

void PrintSummary(const CSummaryReporter& reporter) {
  std::cout << "\nSummary (medians):\n";
  const double evaluations = reporter.Figure("BM_Evaluate/", "items_per_second");
  if (evaluations > 0) std::cout << "  full evaluations per second: " << evaluations << '\n';
  const double neighbours = reporter.Figure("BM_EvaluateNeighbours/", "items_per_second");
  if (neighbours > 0) {
    std::cout << "  full evaluations per second, changing rosters: " << neighbours << '\n';
  }
  const double ours = reporter.Figure("BM_RuleBase/ours", "items_per_second");
  const double peer = reporter.Figure("BM_RuleBase/fuzzylite", "items_per_second");
  if (ours > 0) std::cout << "  rule evaluations per second (our fuzzy library): " << ours << '\n';
  if (peer > 0) {
    std::cout << "  rule evaluations per second (fuzzylite): " << peer << '\n'
              << "  ratio ours / fuzzylite: " << ours / peer << '\n';
  }
  for (const std::string& line : SummaryLines()) std::cout << "  " << line << '\n';
  for (const auto& [entry, figures] : reporter.WithPrefix(bench::kCorpusPrefix)) {
    const auto rate = figures.find("items_per_second");
    const auto rated = figures.find("rated");
    std::cout << "  corpus " << entry << ": " << (rate != figures.end() ? rate->second : 0.0)
              << " evaluations/s, " << (rated != figures.end() ? rated->second : 0.0)
              << " rated constraints\n";
  }
}

fs::path& ScratchRoot() {
  static fs::path root;
  return root;
}

// Defaults that make the figures medians of several runs; arguments given on
// the command line come later and win.
std::vector<char*> WithDefaults(int argc, char** argv) {
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  std::vector<char*> args{argv[0], repetitions, aggregates};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  return args;
}

}  // namespace

namespace bench {

void AddSummaryLine(std::string line) {
  SummaryLines().push_back(std::move(line));
}

bool RegisterCheck(const char* name, CheckFunction check) {
  Checks().emplace_back(name, check);
  return true;
}

std::string CopyIntoScratch(const std::string& source, const std::string& name) {
  if (ScratchRoot().empty()) return {};
  const fs::path target = ScratchRoot() / name;
  std::error_code error;
  fs::remove_all(target, error);
  fs::create_directories(target, error);
  if (!error) fs::copy(source, target, fs::copy_options::recursive, error);
  if (error) {
    std::cerr << "Cannot copy " << source << " to " << target.string() << ": " << error.message()
              << '\n';
    return {};
  }
  return target.string();
}

}  // namespace bench

int main(int argc, char** argv) {
  CScratchFolder scratch;
  if (!scratch.Ready()) return 1;
  ScratchRoot() = scratch.Path();
  std::vector<char*> args = WithDefaults(argc, argv);
  int count = static_cast<int>(args.size()) - 1;
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

  bool checks_passed = true;
  for (const auto& [name, check] : Checks()) {
    std::cout << "Check: " << name << '\n';
    if (!check()) checks_passed = false;
  }
  std::cout << std::endl;

  CSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintSummary(reporter);
  return checks_passed ? 0 : 1;
}
