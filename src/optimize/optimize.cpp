// The repair optimizer: iterative-deepening search over sequences of repair
// moves, and a random walk over the moves of the worst cell.
//
// Every tried move costs one full evaluation, so the per-move console lines
// end with '\n' and are left to the stream's buffer; the console and the log
// files are flushed after every pass and at the end of every optimisation.
//
// Stopping early. Iterative deepening can search without end once single
// moves stop helping, and random repair takes long on big rosters, so the
// user can stop either with Ctrl-C, or bound them by evaluations or time.
// The stop is checked after every evaluation, so the evaluation in progress
// always completes. From then on the searches unwind without evaluating,
// without further "viol: " or "Iteration" lines, pass reports or pass files
// (the random walk still logs the completed try to "c.dat" and "o.dat", as
// every evaluated try is logged). The domain then gets back the best roster
// evaluated in this optimisation. If the domain does not hold it as its last
// evaluated roster, it is evaluated once more, so that the domain's results
// describe the kept roster; that rewrites "test2.dat", and whatever the
// script prints appears before the stop line.
#include "optimize.h"

#include <signal.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <string>

#include "base_text.h"

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

// Set by the Ctrl-C handler, polled after every evaluation by every
// optimizer; an atomic that is free of locks, so that the handler may set it
// and optimizers on other threads read it.
std::atomic<int> gInterrupted = 0;
// How many guards are alive (all on the thread that runs the optimisation):
// only the outermost installs the handler.
std::atomic<int> gGuards = 0;
// What Ctrl-C did when the guard was made, which the first Ctrl-C puts back.
// Written before the handler is installed; the handler only reads it.
struct sigaction gBeforeGuard {};

void OnInterrupt(int) {
  gInterrupted = 1;
  sigaction(SIGINT, &gBeforeGuard, nullptr);
}

// A rating that is not a number (a script computing the root of a negative
// value) must not hide every later real rating.
bool IsBetter(float value, float best) {
  return value > best || (std::isnan(best) && !std::isnan(value));
}

}  // namespace

// A second Ctrl-C does at once what Ctrl-C did before the optimisation, even
// while the stop is under way: the first puts that action back. SA_RESETHAND
// gives the default action (the program ends) from the first Ctrl-C on, so
// that a second one that comes before the handler has put the earlier action
// back ends the program as well. SA_RESTART lets a script's INPUT that waits
// for a line keep waiting rather than fail. A program started with Ctrl-C
// ignored (a background job of a script) keeps ignoring it. A guard made
// while another lives changes nothing: a caller that guards a longer stretch
// (setting up, optimising, writing the result) keeps a stop that came
// before the optimizer's own guard.
CInterruptGuard::CInterruptGuard() {
  if (gGuards++ > 0) return;
  gInterrupted = 0;
  if (sigaction(SIGINT, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
  gBeforeGuard = previous;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  installed = sigaction(SIGINT, &action, nullptr) == 0;
}

CInterruptGuard::~CInterruptGuard() {
  --gGuards;
  if (installed) sigaction(SIGINT, &previous, nullptr);
}

bool CInterruptGuard::Interrupted() {
  return gInterrupted != 0;
}

// Ctrl-C is raised, so that it does what it does now (the guard's handler
// then makes the next one end the program as a second Ctrl-C does). Where
// Ctrl-C is ignored (a background job of a script), raising it would do
// nothing: the stop is noted directly. sigaction and raise may be called
// from a signal handler.
void CInterruptGuard::Interrupt() {
  struct sigaction now {};
  if (sigaction(SIGINT, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) {
    gInterrupted = 1;
    return;
  }
  std::raise(SIGINT);
}

bool COptimize::WritesFileNamed(std::string_view name) {
  for (const std::string_view log :
       {kMoveLogFile, kBestLogFile, kErrorFile, CShiftSchedulingDomain::kVariablesFileName}) {
    if (name == log) return true;
  }
  return numbered_name(name, kPassFilePrefix);
}

COptimize::COptimize(CShiftSchedulingDomain* domain)
    : CBase("COptimize", 1),
      cDomain(domain),
      file1(domain->OutputPath(kMoveLogFile)),
      file2(domain->OutputPath(kBestLogFile)) {}

float COptimize::EvaluateDomain() {
  cDomain->Evaluate();
  if (cDomain->DividedByZero()) {
    eStop = StopReason::kDivisionByZero;
    return cDomain->GetEvaluation();
  }
  const float value = cDomain->GetEvaluation();
  ++iEvaluations;
  bLastWasBest = iEvaluations == 1 || IsBetter(value, fBestSeen);
  if (bLastWasBest) {
    fBestSeen = value;
    cBestSeenSchedule = cDomain->GetSchedule();
  }
  if (cObserver) cObserver(iEvaluations, fBestSeen, value);
  if (CInterruptGuard::Interrupted()) {
    eStop = StopReason::kInterrupted;
  } else if (LimitReached()) {
    eStop = StopReason::kLimit;
  }
  return value;
}

bool COptimize::LimitReached() const {
  if (cLimits.iMaxEvaluations > 0 && iEvaluations >= cLimits.iMaxEvaluations) return true;
  if (cLimits.dTimeLimit <= 0) return false;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - tStart;
  return elapsed.count() >= cLimits.dTimeLimit;
}

void COptimize::StartOptimisation() {
  eStop = StopReason::kNone;
  iEvaluations = 0;
  tStart = std::chrono::steady_clock::now();
  fBestEvaluation = EvaluateDomain();
  cBestSchedule = cDomain->GetSchedule();
}

// A Ctrl-C that arrives after the last evaluation still counts: the user
// asked for the best roster, which the last one need not be.
void COptimize::FinishOptimisation() {
  if (DividedByZero()) return;
  if (eStop == StopReason::kNone && CInterruptGuard::Interrupted()) {
    eStop = StopReason::kInterrupted;
  }
  if (Stopping()) KeepBestSeen();
  Flush();
}

void COptimize::KeepBestSeen() {
  if (!bLastWasBest || cDomain->GetSchedule() != cBestSeenSchedule) {
    cDomain->SetSchedule(cBestSeenSchedule);
    cDomain->Evaluate();
  }
  fBestEvaluation = fBestSeen;
  cBestSchedule = cBestSeenSchedule;
  cDomain->GetOutput() << "Optimization stopped: "
                       << (eStop == StopReason::kLimit ? "limit reached, " : "")
                       << "best evaluation " << fBestSeen << " kept." << '\n';
}

void COptimize::ReportPass(int pass) {
  cDomain->GetOutput() << "Evaluation: " << fBestEvaluation << '\n'
                       << std::string(kRuleWidth, '*') << '\n';
  std::string name = kPassFilePrefix;
  name += std::to_string(pass);
  cDomain->Write(cDomain->OutputPath(name));
  Flush();
}

void COptimize::Flush() {
  cDomain->GetOutput().flush();
  file1.flush();
  file2.flush();
}

// ------------------------------------------------------ iterative deepening

void COptimize::RepairDeep() {
  const CInterruptGuard guard;
  StartOptimisation();
  int depth = 1;
  int pass = 0;
  while (depth <= kMaxDepth && !Stopping()) {
    const bool found = RepairTry(depth);
    if (Stopping()) break;
    if (found) {
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
  FinishOptimisation();
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
      if (Stopping()) return false;
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
    if (Stopping()) return false;
    const bool improved = RepairTry(depth - 1);
    if (Stopping()) return false;
    cDomain->GetOutput() << "viol: " << list << " start: " << position << " repairtry: " << tries
                         << " eval: " << cDomain->GetEvaluation() << '\n';
    if (improved) return true;
    cDomain->SetSchedule(saved);
  }
  return false;
}

// ------------------------------------------------------------ random repair

void COptimize::RepairRandom() {
  const CInterruptGuard guard;
  StartOptimisation();
  for (int pass = 0; !Stopping(); ++pass) {
    RepairTry2(1);
    if (Stopping() || pass > kPassLimit) break;
    ReportPass(pass + 1);
  }
  FinishOptimisation();
}

// A walk whose passes stop finding moves begins again from the round's
// start while the round has evaluations left: its own draws take it
// elsewhere, and the worker does not wait idle for the others until the
// round ends. A walk that could only evaluate its start ends the round.
void COptimize::RandomRound(const CIntMatrix& start, std::int64_t evaluations,
                            std::chrono::steady_clock::time_point started) {
  cLimits.iMaxEvaluations = evaluations;
  eStop = StopReason::kNone;
  iEvaluations = 0;
  tStart = started;
  for (;;) {
    const std::int64_t before = iEvaluations;
    RandomWalk(start);
    if (Stopping() || iEvaluations - before <= 1) break;
  }
  if (!DividedByZero()) Flush();
}

// Passes without a single evaluation (no move found from their start days)
// are reported like the others; so many of them in a row end the walk.
void COptimize::RandomWalk(const CIntMatrix& start) {
  cDomain->SetSchedule(start);
  fBestEvaluation = EvaluateDomain();
  cBestSchedule = cDomain->GetSchedule();
  int idle = 0;
  while (!Stopping() && idle <= kPassLimit) {
    const std::int64_t before = iEvaluations;
    RepairTry2(1);
    if (Stopping()) break;
    idle = iEvaluations == before ? idle + 1 : 0;
    cDomain->GetOutput() << "Evaluation: " << fBestEvaluation << '\n'
                         << std::string(kRuleWidth, '*') << '\n';
  }
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

  CRandomDraws& draws = cDomain->GetRandomDraws();
  draws.Seed(cSeeds.Next());
  int start = draws.Draw() % days;
  int start2 = draws.Draw() % days;
  int tries = 0;
  float passBest = -1;
  while (cDomain->Repair(cell.group, cell.day, start, start2)) {
    ++tries;
    const float evaluation = EvaluateDomain();
    if (DividedByZero()) return;
    file1 << iTries << ' ' << evaluation << '\n';
    ++iTries;
    if (evaluation > fBestEvaluation) {
      fBestEvaluation = evaluation;
      file2 << iTries - 1 << ' ' << fBestEvaluation << '\n';
    }
    if (Stopping()) return;
    RepairTry2(depth - 1);
    cDomain->GetOutput() << "viol: " << 0 << " start: " << 0 << " repairtry: " << tries
                         << " eval: " << cDomain->GetEvaluation() << '\n';
    if (cDomain->GetEvaluation() > passBest) {
      passBest = cDomain->GetEvaluation();
      cBestSchedule = cDomain->GetSchedule();
      cDomain->GetOutput() << "Iteration " << tries << " better. " << '\n';
    }
    if (tries == kTriesPerPass) return;
    start = draws.Draw() % days;
    start2 = draws.Draw() % days;
    cDomain->SetSchedule(saved);
  }
  cDomain->GetOutput() << cell.group << ' ' << cell.day << ' ' << start << ' ' << start2 << '\n';
  cDomain->Write(cDomain->OutputPath(kErrorFile));
}
