// Placeholder bodies for the domain's evaluation, variable export and repair
// operations, so the program links and runs before they are built.
#include <fstream>

#include "domtarn.h"

float CDomainInstance::Evaluate() {
  return -1;
}

bool CShiftSchedulingDomain::Repair(int, int, int&, int&) {
  return false;
}

void CShiftSchedulingDomain::InitializeVariables(TVarlist*) {}

void CShiftSchedulingDomain::ComputeRepairStarts() {}

void CShiftSchedulingDomain::WriteVariables(const std::string& filename) {
  std::ofstream file(filename);
  if (!file) return;
  WriteVariables(static_cast<std::ostream&>(file));
}

void CShiftSchedulingDomain::WriteVariables(std::ostream&) {}
