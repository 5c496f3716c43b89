// Entry functions of the targets that read a domain data file: reading it
// back, and optimizing the roster it holds.
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "domtarn.h"
#include "fuzz_entry.h"
#include "inter_context.h"
#include "optimize.h"
#include "seed_source.h"

namespace fuzz {
namespace {

// Evaluations of each of the two optimizations per input: under the
// sanitizers an evaluation without the caches takes a good part of a
// second, and a few moves reach every part of a repair.
constexpr std::int64_t kEvaluations = 6;

// Bounds of each script run, a few times what the example script needs on
// the largest roster an input of a few kilobytes holds (some forty teams: a
// few hundred statements a team). A domain whose read stopped may leave a
// cycle of millions of weeks for a script's loops to walk; such an input
// shows all it can within these bounds and keeps the fuzzer quick.
constexpr TRunLimits kRunLimits = {
    .statements = 50'000, .variables = 20'000, .fuzzy_entries = 1'000, .constraints = 5'000};

// Reads the domain file, then improves its roster by random repair and by
// iterative deepening, with the caches on or off and a fixed seed, the
// console quiet. Gives what the domain printed and the roster it ended with.
std::string optimize(std::string_view input, bool caching) {
  std::ostringstream out;
  TQuietConsole quiet;
  CShiftSchedulingDomain domain;
  domain.SetOutput(out, out);
  domain.SetCaching(caching);
  domain.SetRunLimits(kRunLimits);
  domain.SetSeedSource(CSeedSource::Fixed(1));
  std::istringstream in{std::string(input)};
  domain.Read(in);
  COptimize optimizer(&domain);
  optimizer.SetLimits({kEvaluations, 0});
  optimizer.SetSeedSource(CSeedSource::Fixed(1));
  optimizer.RepairRandom();
  if (!optimizer.DividedByZero()) optimizer.RepairDeep();
  out << "\n-- roster\n";
  domain.Write(out);
  return out.str();
}

}  // namespace

void run_domain(std::string_view input) {
  if (!stays_inside(input)) return;
  std::istringstream in{std::string(input)};
  TQuietConsole quiet;
  CShiftSchedulingDomain domain;
  domain.Read(in);
  // Writing the domain back and exporting its variables (menu items 2 and 5)
  // must cope with whatever the reader accepted.
  domain.Write(std::cout);
  domain.WriteVariables(std::cout);
}

void run_optimize(std::string_view input) {
  if (!stays_inside(input)) return;
  note_files_written();
  const TCacheMode mode = cache_mode();
  const std::string first = optimize(input, mode != TCacheMode::kOff);
  if (mode != TCacheMode::kCompare) return;
  note_files_written();
  const std::string computed = optimize(input, false);
  if (first == computed) return;
  std::cerr << "optimizations with and without the caches differ\n-- cached\n"
            << first << "\n-- uncached\n"
            << computed << '\n';
  std::abort();
}

std::size_t script_chars() {
  return CDomainInstance::kStaticDataChars;
}

}  // namespace fuzz
