// Shared pieces of the benchmark program: the scratch working folder that
// holds a copy of the bundled example, and the closing summary to which
// benchmarks and checks add their lines.
#pragma once

#include <string>

namespace bench {

// Adds a line to the summary printed after all benchmarks have run.
void AddSummaryLine(std::string line);

// Checks run once before the benchmarks (for example, that two engines agree);
// each prints its own findings and returns false when they fail.
using CheckFunction = bool (*)();
// Registers a check; returns true so that it can initialise a static.
bool RegisterCheck(const char* name, CheckFunction check);

}  // namespace bench
