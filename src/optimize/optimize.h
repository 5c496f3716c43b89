// The repair optimizer: improves the domain's schedule by repair moves.
#pragma once

#include <fstream>

#include "base.h"
#include "domtarn.h"

class COptimize : public CBase {
 public:
  // Works on `domain` for its whole life (not owned). Creates the log files
  // "c.dat" and "o.dat" anew, empty.
  explicit COptimize(CShiftSchedulingDomain* domain);

  void RepairDeep();
  void RepairRandom();

 private:
  CShiftSchedulingDomain* cDomain;
  float fBestEvaluation = 0;
  CIntMatrix cBestSchedule;
  std::ofstream file1;
  std::ofstream file2;
  int iTries = 0;
};
