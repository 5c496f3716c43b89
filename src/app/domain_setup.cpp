// The one place where a run's domain is made.
#include "domain_setup.h"

#include <cstdlib>
#include <iostream>

CSeedSource SeedSourceOf(const CDomainSettings& settings) {
  return settings.oSeed ? CSeedSource::Fixed(*settings.oSeed) : CSeedSource();
}

std::unique_ptr<CShiftSchedulingDomain> CreateDomain(const CDomainSettings& settings) {
  auto domain = std::make_unique<CShiftSchedulingDomain>();
  domain->SetOutput(std::cout, std::cerr);
  domain->SetSeedSource(SeedSourceOf(settings));
  domain->SetInputFolder(settings.sInputFolder);
  domain->SetCaching(!settings.bNoCache);
  return domain;
}

void EndAtDivisionByZero(int status) {
  std::exit(status);
}
