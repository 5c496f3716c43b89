// The repair optimizer: iterative-deepening search over sequences of repair
// moves, and a random walk over the moves of the worst cell.
//
// Every tried move costs one full evaluation, so the per-move console lines
// end with '\n' and are left to the stream's buffer; the console and the log
// files are flushed after every pass and at the end of every optimisation.
#include "optimize.h"

#include <cstddef>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>

namespace {

// Longest sequence of moves the iterative deepening tries.
constexpr int kMaxDepth = 4;
// A search that finds the pass counter above this value ends the
// optimisation without a report, so at most kPassLimit + 1 passes are
// reported and saved (o1 .. o41) and kPassLimit + 2 searches run.
constexpr int kPassLimit = 40;
// Alternatives the random walk tries per pass; the last one is kept.
constexpr int kTriesPerPass = 10;
// Width of the line of asterisks under every pass report.
constexpr std::size_t kRuleWidth = 50;

constexpr const char* kMoveLogFile = "c.dat";
constexpr const char* kBestLogFile = "o.dat";
constexpr const char* kPassFilePrefix = "o";
constexpr const char* kErrorFile = "error.dat";

}  // namespace

COptimize::COptimize(CShiftSchedulingDomain* domain)
    : CBase("COptimize", 1), cDomain(domain), file1(kMoveLogFile), file2(kBestLogFile) {}

float COptimize::EvaluateDomain() {
  cDomain->Evaluate();
  return cDomain->GetEvaluation();
}

void COptimize::StartOptimisation() {
  fBestEvaluation = EvaluateDomain();
  cBestSchedule = cDomain->GetSchedule();
}

void COptimize::ReportPass(int pass) {
  std::cout << "Evaluation: " << fBestEvaluation << '\n' << std::string(kRuleWidth, '*') << '\n';
  std::string name = kPassFilePrefix;
  name += std::to_string(pass);
  cDomain->Write(name);
  Flush();
}

void COptimize::Flush() {
  std::cout.flush();
  file1.flush();
  file2.flush();
}

// ------------------------------------------------------ iterative deepening

void COptimize::RepairDeep() {
  StartOptimisation();
  int depth = 1;
  int pass = 0;
  while (depth <= kMaxDepth) {
    if (RepairTry(depth)) {
      fBestEvaluation = cDomain->GetEvaluation();
      cBestSchedule = cDomain->GetSchedule();
      depth = 1;
    } else {
      ++depth;
    }
    if (pass > kPassLimit) break;
    ++pass;
    ReportPass(pass);
  }
  Flush();
}

// Every evaluation below recomputes the domain's repair positions, and a
// restored schedule does not, so the lists and their sizes are read afresh at
// every step: after a failed deeper search the loops go on over the lists of
// the latest evaluation, which may be shorter or fewer than before.
bool COptimize::RepairTry(int depth) {
  if (depth <= 0) return cDomain->GetEvaluation() > fBestEvaluation;
  const CIntMatrix saved = cDomain->GetSchedule();
  const CPositionMatrix& lists = cDomain->GetRepairPositions();
  for (std::size_t list = 0; list < lists.size(); ++list) {
    for (std::size_t position = 0; list < lists.size() && position < lists[list].size();
         ++position) {
      if (RepairCell(list, position, depth, saved)) return true;
    }
  }
  return false;
}

// The cell is taken once; later evaluations may change the lists, but the
// moves of this cell are tried to the end.
bool COptimize::RepairCell(std::size_t list, std::size_t position, int depth,
                           const CIntMatrix& saved) {
  const CPosition cell = cDomain->GetRepairPositions()[list][position];
  int start = cell.day;
  int start2 = cell.day;
  int tries = 0;
  while (cDomain->Repair(cell.group, cell.day, start, start2)) {
    ++tries;
    EvaluateDomain();
    const bool improved = RepairTry(depth - 1);
    std::cout << "viol: " << list << " start: " << position << " repairtry: " << tries
              << " eval: " << cDomain->GetEvaluation() << '\n';
    if (improved) return true;
    cDomain->SetSchedule(saved);
  }
  return false;
}

// ------------------------------------------------------------ random repair

void COptimize::RepairRandom() {
  StartOptimisation();
  for (int pass = 0;; ++pass) {
    RepairTry2(1);
    if (pass > kPassLimit) break;
    ReportPass(pass + 1);
  }
  Flush();
}

// A domain without days (cycle length 0) offers no start day to draw, so
// its pass is treated like one without repair positions: nothing happens.
// An empty first list of repair positions counts as no repair positions.
void COptimize::RepairTry2(int depth) {
  if (depth <= 0) return;
  const CPositionMatrix& lists = cDomain->GetRepairPositions();
  const int days = 7 * cDomain->GetLengthOfCycle();
  if (lists.empty() || lists.front().empty() || days <= 0) return;
  const CIntMatrix saved = cDomain->GetSchedule();
  const CPosition cell = lists.front().front();

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  int start = std::rand() % days;
  int start2 = std::rand() % days;
  int tries = 0;
  float passBest = -1;
  while (cDomain->Repair(cell.group, cell.day, start, start2)) {
    ++tries;
    const float evaluation = EvaluateDomain();
    file1 << iTries << ' ' << evaluation << '\n';
    ++iTries;
    if (evaluation > fBestEvaluation) {
      fBestEvaluation = evaluation;
      file2 << iTries - 1 << ' ' << fBestEvaluation << '\n';
    }
    RepairTry2(depth - 1);
    std::cout << "viol: " << 0 << " start: " << 0 << " repairtry: " << tries
              << " eval: " << cDomain->GetEvaluation() << '\n';
    if (cDomain->GetEvaluation() > passBest) {
      passBest = cDomain->GetEvaluation();
      cBestSchedule = cDomain->GetSchedule();
      std::cout << "Iteration " << tries << " better. " << '\n';
    }
    if (tries == kTriesPerPass) return;
    start = std::rand() % days;
    start2 = std::rand() % days;
    cDomain->SetSchedule(saved);
  }
  std::cout << cell.group << ' ' << cell.day << ' ' << start << ' ' << start2 << '\n';
  cDomain->Write(kErrorFile);
}
