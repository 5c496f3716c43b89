// Shared pieces of the benchmark program: the scratch working folder that
// holds a copy of the bundled example (and, in folders of their own, the
// corpus entries), and the closing summary to which benchmarks and checks
// add their lines.
#pragma once

#include <string>

namespace bench {

// Adds a line to the summary printed after all benchmarks have run.
void AddSummaryLine(std::string line);

// Copies the folder `source` into a fresh folder `name` of the scratch
// folder, replacing an earlier copy; returns its path, or "" after printing
// why it failed.
std::string CopyIntoScratch(const std::string& source, const std::string& name);

// Names of the corpus benchmarks begin with this; the summary lists their
// evaluations per second and rated constraints (counter "rated") per entry.
inline constexpr const char* kCorpusPrefix = "BM_CorpusRepair/";

// Checks run once before the benchmarks (for example, that two engines agree);
// each prints its own findings and returns false when they fail.
using CheckFunction = bool (*)();
// Registers a check; returns true so that it can initialise a static.
bool RegisterCheck(const char* name, CheckFunction check);

}  // namespace bench
