// Constraint variables of the shift-scheduling domain: weekly hours and their
// changes, blocks of consecutive working days, free and worked weekends.
//
// The computations read the schedule only through HoursOfWeek and Works, which
// keep every access inside the schedule and the shift list: a missing row or
// day, and an entry that names no shift, count as a free day of no hours.
// They run over the weeks a group's row holds (WeeksHeld), so a cycle length
// left from a read that stopped early never makes them walk weeks that do not
// exist; for a complete schedule that is the whole cycle.
//
// Random repair changes one or two rows between evaluations, so an
// evaluation computes only the groups whose row differs from the one the
// values were computed from (NoteChangedRows); the others keep theirs.
#include "domtarn.h"

#include <utility>

namespace {

constexpr int kDaysPerWeek = 7;
constexpr int kSaturday = 5;

}  // namespace

float CShiftSchedulingDomain::HoursOfWeek(std::size_t g, int week) const {
  float hours = 0;
  if (g >= schedule.size()) return hours;
  const std::vector<int>& row = schedule[g];
  const std::size_t first = static_cast<std::size_t>(week) * kDaysPerWeek;
  for (std::size_t d = first; d < first + kDaysPerWeek && d < row.size(); ++d) {
    const int entry = row[d];
    if (entry >= 0 && static_cast<std::size_t>(entry) < shifts.size()) {
      hours += shifts[entry].GetLength();
    }
  }
  return hours;
}

int CShiftSchedulingDomain::WeeksHeld(std::size_t g) const {
  if (g >= schedule.size() || LengthOfCycle <= 0) return 0;
  const std::size_t weeks = (schedule[g].size() + kDaysPerWeek - 1) / kDaysPerWeek;
  return weeks < static_cast<std::size_t>(LengthOfCycle) ? static_cast<int>(weeks) : LengthOfCycle;
}

bool CShiftSchedulingDomain::Works(std::size_t g, int day) const {
  if (g >= schedule.size() || day < 0) return false;
  const std::vector<int>& row = schedule[g];
  if (static_cast<std::size_t>(day) >= row.size()) return false;
  const int entry = row[day];
  return entry > 0 && static_cast<std::size_t>(entry) < shifts.size();
}

void CShiftSchedulingDomain::NoteChangedGroups(CGroupInputs& kept,
                                               const std::vector<float>& lengths, bool all,
                                               std::vector<bool>& changed) const {
  all = all || lengths != kept.lengths || LengthOfCycle != kept.cycle ||
        kept.rows.size() != groups.size();
  kept.lengths = lengths;
  kept.cycle = LengthOfCycle;
  kept.rows.resize(groups.size());
  changed.assign(groups.size(), all);
  static const std::vector<int> kNoRow;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::vector<int>& row = g < schedule.size() ? schedule[g] : kNoRow;
    if (all || kept.rows[g] != row) {
      changed[g] = true;
      kept.rows[g] = row;
    }
  }
}

void CShiftSchedulingDomain::NoteChangedRows() {
  std::vector<float> lengths;
  for (const CShift& shift : shifts) lengths.push_back(shift.GetLength());
  NoteChangedGroups(Computed, lengths, !GetCaching(), ChangedRows);
}

void CShiftSchedulingDomain::ComputeConstraintVars() {
  NoteChangedRows();
  ComputeConstraintVars_WORKINGHOURS();
  ComputeConstraintVars_DIFFHOURS();
  ComputeConstraintVars_SHIFTBLOCKS();
  ComputeConstraintVars_FREEWEEKENDS();
  ComputeConstraintVars_BADWEEKENDS();
  ChangedRows.clear();
}

// The changes between the weekly hours of c_work, which is computed first.
void CShiftSchedulingDomain::ComputeConstraintVars_DIFFHOURS() {
  c_diff.resize(groups.size());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!RowChanged(g)) continue;
    std::vector<float>& row = c_diff[g];
    row.clear();
    const std::vector<float>& hours = c_work[g];
    for (std::size_t w = 1; w < hours.size(); ++w) row.push_back(hours[w] - hours[w - 1]);
  }
}

void CShiftSchedulingDomain::ComputeConstraintVars_WORKINGHOURS() {
  c_work.resize(groups.size());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!RowChanged(g)) continue;
    std::vector<float>& row = c_work[g];
    row.clear();
    const int weeks = WeeksHeld(g);
    for (int w = 0; w < weeks; ++w) row.push_back(HoursOfWeek(g, w));
  }
}

// Only blocks followed by a free day inside the row are recorded: the row does
// not wrap around, and a block that runs up to the last day is left out.
void CShiftSchedulingDomain::ComputeConstraintVars_SHIFTBLOCKS() {
  c_shiftblocks.resize(groups.size());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!RowChanged(g)) continue;
    const int days = kDaysPerWeek * WeeksHeld(g);
    std::vector<CShiftBlock>& blocks = c_shiftblocks[g];
    blocks.clear();
    int j = 0;
    for (;;) {
      while (j < days && !Works(g, j)) ++j;
      int size = 0;
      while (j < days && Works(g, j)) {
        ++size;
        ++j;
      }
      if (j >= days) break;
      blocks.push_back(CShiftBlock{j - size, size});
    }
  }
}

// A domain without a cycle length has no weekends; its fraction is taken as 0
// rather than divided by zero. Weeks missing from a row count as free.
void CShiftSchedulingDomain::ComputeConstraintVars_FREEWEEKENDS() {
  c_freeweekends.resize(groups.size());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!RowChanged(g)) continue;
    const int weeks = WeeksHeld(g);
    int free = LengthOfCycle - weeks;
    for (int w = 0; w < weeks; ++w) {
      const int saturday = kDaysPerWeek * w + kSaturday;
      if (!Works(g, saturday) && !Works(g, saturday + 1)) ++free;
    }
    const float fraction =
        LengthOfCycle > 0 ? static_cast<float>(free) / static_cast<float>(LengthOfCycle) : 0.0f;
    c_freeweekends[g] = fraction;
  }
}

void CShiftSchedulingDomain::ComputeConstraintVars_BADWEEKENDS() {
  c_badweekends.resize(groups.size());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!RowChanged(g)) continue;
    const int lastWeekStart = kDaysPerWeek * (WeeksHeld(g) - 1);
    std::vector<int>& row = c_badweekends[g];
    row.clear();
    for (int j = kSaturday; j < lastWeekStart; j += kDaysPerWeek) {
      const int worked = Works(g, j) + Works(g, j + 1) + Works(g, j + kDaysPerWeek) +
                         Works(g, j + kDaysPerWeek + 1);
      row.push_back(worked);
    }
  }
}
