// The repair optimizer. The search strategies are placeholders for now.
#include "optimize.h"

COptimize::COptimize(CShiftSchedulingDomain* domain)
    : CBase("COptimize", 1), cDomain(domain), file1("c.dat"), file2("o.dat") {}

void COptimize::RepairDeep() {}

void COptimize::RepairRandom() {}
