// Entry function of the domain data file target.
#include <sstream>

#include "domtarn.h"
#include "fuzz_entry.h"

namespace fuzz {

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

std::size_t script_chars() {
  return CDomainInstance::kStaticDataChars;
}

}  // namespace fuzz
