// Schedule evaluation and repair starts: the script rates the exported
// schedule, the rated constraints are sorted and summed, and the worst of them
// name the cells at which repair moves are tried.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "domtarn.h"
#include "domtarn_text.h"
#include "domtarn_tree.h"
#include "evaltree.h"
#include "expint.h"
#include "inter.h"

namespace {

// Repair starts are derived from at most this many rated constraints.
constexpr int kMaxRepairLists = 10;
constexpr int kDaysPerWeek = 7;

// Room for the count line of a variables file.
constexpr std::size_t kCountLineChars = 32;
// Room for the parts of a line besides the name and the formula: the line
// end, two blanks and a value in the general notation ("-1.23457e+38").
constexpr std::size_t kLineChars = 24;

}  // namespace

// The variables file in one piece: the count line, then one "name formula
// value" line per variable with the value in the stream's default notation,
// no line end after the last one. An empty store gives an empty file.
std::size_t CDomainInstance::VariablesFileRoom(std::size_t variables) {
  constexpr std::size_t kLongestLine =
      script_limits::kNameChars + script_limits::kFormulaChars + kLineChars;
  return kCountLineChars + variables * kLongestLine;
}

char* CDomainInstance::PutCountLine(char* out, std::size_t variables) {
  if (variables == 0) return out;
  CTextBuffer count;
  count << "/* #: " << static_cast<int>(variables) << " */ ";
  return copy_text(out, count.View());
}

char* CDomainInstance::PutVariableLine(char* out, char* last, const TVariable& var) {
  *out++ = '\n';
  out = copy_text(out, var.name_text());
  *out++ = ' ';
  out = copy_text(out, var.formula_text());
  *out++ = ' ';
  return ToCharsGeneral(out, last, var.get_value()).ptr;
}

void CDomainInstance::WriteVariablesFileText(std::string_view text) {
  cVariablesFile.Replace(OutputPath(kVariablesFileName), text);
}

// The lines are written into a buffer sized for the longest lines a store of
// that many variables can give; the buffer only grows, from one evaluation to
// the next.
void CDomainInstance::WriteVariablesFile(const TVarlist& vars) {
  std::string& buffer = sVariablesFile;
  const std::size_t room = VariablesFileRoom(vars.number());
  if (buffer.size() < room) buffer.resize(room);
  char* const first = buffer.data();
  char* const last = first + buffer.size();
  char* out = PutCountLine(first, vars.number());
  for (std::size_t i = 0; i < vars.number(); ++i) out = PutVariableLine(out, last, vars.get(i));
  WriteVariablesFileText(std::string_view(first, static_cast<std::size_t>(out - first)));
}

namespace {

// A blank as isspace reads it in the C locale, the only one the program runs
// in: space, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads a bracketed index the way atoi does: leading blanks, an optional sign,
// then digits up to the first other character; no digits read as 0. A number
// too large for an int is refused.
std::optional<int> ReadIndex(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) return std::nullopt;
  }
  return static_cast<int>(negative ? -value : value);
}

struct CIndexPair {
  int first;
  int second;
};

// The position of the first `c` in `text` at or after `from` (npos: none).
// Formulas are short: a plain scan beats a call of memchr.
std::size_t Find(std::string_view text, char c, std::size_t from) {
  for (; from < text.size(); ++from) {
    if (text[from] == c) return from;
  }
  return std::string_view::npos;
}

// The first two bracketed indices of a formula, as in "c_diff[1][2]". A
// formula without two closed brackets has none.
std::optional<CIndexPair> ReadIndices(std::string_view formula) {
  const std::size_t open1 = Find(formula, '[', 0);
  if (open1 == std::string_view::npos) return std::nullopt;
  const std::size_t close1 = Find(formula, ']', open1 + 1);
  if (close1 == std::string_view::npos) return std::nullopt;
  const std::size_t open2 = Find(formula, '[', close1 + 1);
  if (open2 == std::string_view::npos) return std::nullopt;
  const std::size_t close2 = Find(formula, ']', open2 + 1);
  if (close2 == std::string_view::npos) return std::nullopt;
  const auto first = ReadIndex(formula.substr(open1 + 1, close1 - open1 - 1));
  const auto second = ReadIndex(formula.substr(open2 + 1, close2 - open2 - 1));
  if (!first || !second) return std::nullopt;
  return CIndexPair{*first, *second};
}

}  // namespace

// The store goes to the interpreter, which frees it when its run ends.
float CDomainInstance::Evaluate() {
  auto vars = std::make_unique<TVarlist>();
  InitializeVariables(vars.get());
  WriteExportedVariablesFile(*vars);
  TRunStatus status = TRunStatus::kFinished;
  std::unique_ptr<TEvalTree> tree =
      interpret(*cEvalContext, GetStaticData(), std::move(vars), &status);
  bDividedByZero = status == TRunStatus::kDivisionByZero;
  if (bDividedByZero) return -1;
  if (tree != nullptr) {
    TakeSortedConstraints(std::move(tree), RatedConstraints);
    EvalDataPending = true;
  } else {
    // Without a tree the list of the evaluation before stays, sorted again.
    SortByRating(GetEvalData());
  }
  if (RatedCount() == 0) return -1;
  evaluation = 0;
  for (std::size_t k = 0; k < RatedCount(); ++k) evaluation += RatedValue(k);
  ComputeRepairStarts();
  return evaluation;
}

ConstraintEvaluations& CDomainInstance::GetEvalData() {
  if (EvalDataPending) RatedConstraints.write(EvalData);
  EvalDataPending = false;
  return EvalData;
}

std::size_t CDomainInstance::RatedCount() const {
  return EvalDataPending ? RatedConstraints.size() : EvalData.size();
}

float CDomainInstance::RatedValue(std::size_t k) const {
  return EvalDataPending ? RatedConstraints.value(k) : EvalData[k].GetValue();
}

std::string_view CDomainInstance::RatedBranch(std::size_t k) const {
  return EvalDataPending ? RatedConstraints.branch(k) : EvalData[k].GetBranch();
}

std::string_view CDomainInstance::RatedFormula(std::size_t k) const {
  return EvalDataPending ? RatedConstraints.formula(k) : EvalData[k].GetFormula();
}

// ---------------------------------------------------------- repair starts

void CShiftSchedulingDomain::ComputeRepairStarts() {
  using Kind = void (CShiftSchedulingDomain::*)(std::string_view);
  // One operation per entry of kRepairedKinds, in its order.
  static constexpr Kind kCompute[] = {
      &CShiftSchedulingDomain::ComputeRepairStart_DIFFHOURS,
      &CShiftSchedulingDomain::ComputeRepairStart_WORKINGHOURS,
      &CShiftSchedulingDomain::ComputeRepairStart_SHIFTBLOCKS,
      &CShiftSchedulingDomain::ComputeRepairStart_FREEWEEKENDS,
      &CShiftSchedulingDomain::ComputeRepairStart_BADWEEKENDS,
  };
  static_assert(std::size(kCompute) == std::size(kRepairedKinds));
  repairstarts.clear();
  // The draws of one pass share the generator with nothing else: while the
  // pass lasts, the last draw is kept for the next one.
  struct CPass {
    std::optional<CDraw>& draw;
    explicit CPass(std::optional<CDraw>& d) : draw(d) { draw = CDraw{}; }
    ~CPass() { draw.reset(); }
  } const pass(RepairDraw);
  int handled = 0;
  for (std::size_t k = 0; k < RatedCount(); ++k) {
    if (handled >= kMaxRepairLists) break;
    const std::string_view branch = RatedBranch(k);
    if (branch == "branch") continue;
    const auto kind = std::find(std::begin(kRepairedKinds), std::end(kRepairedKinds), branch);
    if (kind == std::end(kRepairedKinds)) {
      GetOutput() << kNoRepairKind << branch << '\n';
      continue;
    }
    (this->*kCompute[kind - std::begin(kRepairedKinds)])(RatedFormula(k));
    ++handled;
  }
}

// The per-kind operations below read the group and the week or block from the
// formula; indices that name no row, week or block of the tables give no list.

// The cells of the heavier of weeks w and w + 1 (week w when both weigh the
// same) that hold shift 1 or 3. The first cell is replaced by a randomly
// chosen one. The generator is seeded and drawn even when no cell qualifies,
// so the random sequence after a repair start does not depend on the cells.
void CShiftSchedulingDomain::ComputeRepairStart_DIFFHOURS(std::string_view formula) {
  const auto indices = ReadIndices(formula);
  if (!indices) return;
  const auto [g, w] = *indices;
  if (g < 0 || static_cast<std::size_t>(g) >= schedule.size()) return;
  if (w < 0 || w >= LengthOfCycle - 1) return;
  const auto group = static_cast<std::size_t>(g);
  const int week = HoursOfWeek(group, w) < HoursOfWeek(group, w + 1) ? w + 1 : w;
  const std::vector<int>& row = schedule[group];
  std::vector<CPosition> cells;
  cells.reserve(kDaysPerWeek);
  for (int d = kDaysPerWeek * week; d < kDaysPerWeek * (week + 1); ++d) {
    if (static_cast<std::size_t>(d) >= row.size()) break;
    if (row[d] == 1 || row[d] == 3) cells.push_back(CPosition{g, d});
  }
  const int r = SeededDraw(Seeds.Next());
  if (cells.empty()) return;
  cells.front().day = cells[static_cast<std::size_t>(r) % cells.size()].day;
  repairstarts.push_back(std::move(cells));
}

// Seeding again with the seed of the draw before, with no other draw in
// between, gives that draw again and leaves the generator as it was after
// it: the seeding, which costs far more than a draw, is skipped then.
int CShiftSchedulingDomain::SeededDraw(unsigned seed) {
  if (RepairDraw && RepairDraw->drawn && RepairDraw->seed == seed) return RepairDraw->value;
  Draws.Seed(seed);
  const int value = Draws.Draw();
  if (RepairDraw) *RepairDraw = CDraw{true, seed, value};
  return value;
}

void CShiftSchedulingDomain::ComputeRepairStart_WORKINGHOURS(std::string_view formula) {
  const auto indices = ReadIndices(formula);
  if (!indices) return;
  const auto [g, w] = *indices;
  if (g < 0 || static_cast<std::size_t>(g) >= schedule.size()) return;
  if (w < 0 || w >= LengthOfCycle) return;
  std::vector<CPosition> cells;
  cells.reserve(kDaysPerWeek);
  for (int d = kDaysPerWeek * w; d < kDaysPerWeek * (w + 1); ++d) cells.push_back(CPosition{g, d});
  repairstarts.push_back(std::move(cells));
}

void CShiftSchedulingDomain::ComputeRepairStart_SHIFTBLOCKS(std::string_view formula) {
  const auto indices = ReadIndices(formula);
  if (!indices) return;
  const auto [g, b] = *indices;
  if (g < 0 || static_cast<std::size_t>(g) >= c_shiftblocks.size()) return;
  const std::vector<CShiftBlock>& blocks = c_shiftblocks[static_cast<std::size_t>(g)];
  if (b < 0 || static_cast<std::size_t>(b) >= blocks.size()) return;
  const CShiftBlock& block = blocks[static_cast<std::size_t>(b)];
  std::vector<CPosition> cells;
  cells.reserve(static_cast<std::size_t>(std::max(block.size, 0)));
  for (int i = 0; i < block.size; ++i) cells.push_back(CPosition{g, block.start + i});
  repairstarts.push_back(std::move(cells));
}

// Weekend constraints have no cells of their own yet: the formula is not read
// and the repair starts at the first cell of the schedule.
void CShiftSchedulingDomain::ComputeRepairStart_FREEWEEKENDS(std::string_view) {
  repairstarts.push_back({CPosition{0, 0}});
}

void CShiftSchedulingDomain::ComputeRepairStart_BADWEEKENDS(std::string_view) {
  repairstarts.push_back({CPosition{0, 0}});
}
