// The repair optimizer: improves the domain's schedule by sequences of repair
// moves, either by iterative deepening or by a random walk, and logs its
// progress to the console, to "c.dat" and "o.dat" and to pass files "o1", ...
#pragma once

#include <cstddef>
#include <fstream>

#include "base.h"
#include "domtarn.h"

class COptimize : public CBase {
 public:
  // Works on `domain` for its whole life (not owned). Creates the log files
  // "c.dat" and "o.dat" anew, empty. Read and Write of the record base
  // handle the header only; the optimizer has no stored fields.
  explicit COptimize(CShiftSchedulingDomain* domain);

  // Iterative deepening: searches for a sequence of 1, 2, 3 or 4 moves that
  // raises the evaluation, keeps it and starts again at one move.
  void RepairDeep();
  // Tries every sequence of exactly `depth` moves from the current schedule
  // and keeps the first whose final evaluation beats the best so far. On
  // failure the schedule is the one the search started from.
  bool RepairTry(int depth);

  // Random walk: every pass tries ten moves at the worst cell from random
  // start days and goes on with the tenth, whatever its value.
  void RepairRandom();
  // One pass of the random walk; depth 0 does nothing.
  void RepairTry2(int depth);

 private:
  // Every evaluation of the search goes through here; returns the domain's
  // evaluation afterwards.
  float EvaluateDomain();
  // Evaluates the domain and takes its evaluation and schedule as the best.
  void StartOptimisation();
  // Tries the moves at one repair cell, each followed by a search one level
  // shallower; `saved` is the schedule to go back to after a failed move.
  bool RepairCell(std::size_t list, std::size_t position, int depth, const CIntMatrix& saved);
  // Prints the best evaluation, writes the domain to the pass file and
  // flushes the console and the log files.
  void ReportPass(int pass);
  // Writes everything buffered so far to the console and the log files.
  void Flush();

  CShiftSchedulingDomain* cDomain;
  float fBestEvaluation = 0;
  CIntMatrix cBestSchedule;
  std::ofstream file1;
  std::ofstream file2;
  int iTries = 0;
};
