// The one place where a run's domain is made, for the menu and for the batch
// commands alike, with the settings the command line gives.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "domtarn.h"

struct CDomainSettings {
  // Seed of the random choices; the clock when absent.
  std::optional<unsigned> oSeed;
  // Evaluate without the engine's caches (--no-cache).
  bool bNoCache = false;
  // Folder of the domain file, where files the domain reads are also looked
  // for; empty for the menu, which reads from the working folder only.
  std::string sInputFolder;
};

// The seed source the settings ask for.
CSeedSource SeedSourceOf(const CDomainSettings& settings);

std::unique_ptr<CShiftSchedulingDomain> CreateDomain(const CDomainSettings& settings);

// Ends the program after an evaluation script divided by zero (the message
// is out already): at once, with `status` (the menu's 0). Called where the
// division is seen, so that nothing the program holds is written or closed
// on the way: open log files keep unwritten what they buffered, while the
// console and the C streams are flushed.
[[noreturn]] void EndAtDivisionByZero(int status = 0);
