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
