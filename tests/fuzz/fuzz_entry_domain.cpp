// Entry function of the domain data file target.
#include <sstream>

#include "domtarn.h"
#include "fuzz_entry.h"

namespace fuzz {
namespace {

// The export computes every week of the cycle for every group, whether or not
// the schedule holds those weeks, so a read that stops after a huge cycle
// length makes it run for minutes and exhaust memory (the reproducer waits in
// regressions/pending/). Longer cycles are only read, not exported.
constexpr int kLongestExportedCycle = 100;

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
  if (domain.GetLengthOfCycle() <= kLongestExportedCycle) domain.WriteVariables(std::cout);
}

std::size_t script_chars() {
  return CDomainInstance::kStaticDataChars;
}

}  // namespace fuzz
