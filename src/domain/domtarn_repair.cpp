// Repair moves: exchanges of shifts between days and groups that keep every
// day's shift counts. Each of the four repair steps scans the cycle circularly
// for its next move; the scan position survives between calls in the step's
// own state, shared by all cells, so the optimizer can walk through the moves
// one call at a time.
//
// Scan positions are kept as days of the cycle (0 .. N - 1); a start beyond
// the cycle or a negative multiple of 7 is taken modulo N, which keeps its
// weekday. Cells, groups and partner groups outside the schedule are never
// read: a group without a partner never qualifies for a move that needs one.
#include <iostream>

#include "domtarn.h"

namespace {

constexpr int kDaysPerWeek = 7;
constexpr int kSaturday = 5;
constexpr int kSunday = 6;
constexpr int kUnset = -1;

using CScanState = CShiftSchedulingDomain::CScanState;
static_assert(kUnset == CScanState().iLoopBegin);

// Messages of the checks; each ends with a line break.
constexpr const char* kShiftOutOfRange = "Shift to repair out of range!\n";
constexpr const char* kDayOutOfRange = "Day to repair out of range!\n";
constexpr const char* kStartOutOfRange = "Repair start out of range!\n";
constexpr const char* kPairViolation = "No repair possible, violation must be a group!\n";

bool Fail(std::ostream& out, const char* message) {
  out << message;
  return false;
}

int Weekday(int day) {
  return day % kDaysPerWeek;
}

// The day a scan position stands for, in 0 .. days - 1.
int DayOf(int position, int days) {
  const int day = position % days;
  return day < 0 ? day + days : day;
}

// Opens the step's scan at `start` unless one is open; returns the first day.
// An end mark left by a longer cycle (a domain read since) could never be
// reached, so such a scan is opened anew.
int OpenScan(CScanState& state, int start, int days) {
  const int first = DayOf(start, days);
  if (state.iLoopBegin == kUnset || state.iLoopBegin >= days) {
    state.iLoopBegin = DayOf(first - 1, days);
  }
  return first;
}

// Closes the step's scan after its last day; the step has no further move.
bool CloseScan(CScanState& state) {
  state.iLoopBegin = kUnset;
  return false;
}

bool IsWeekend(int day) {
  return Weekday(day) == kSaturday || Weekday(day) == kSunday;
}

// The partner of group g (g + 1 for even g, g - 1 for odd g), or kUnset when
// the schedule has no such row.
int Partner(int g, int rows) {
  const int partner = g % 2 == 0 ? g + 1 : g - 1;
  return partner < rows ? partner : kUnset;
}

// Whether both groups of a pair exist and hold `shift` on `day`.
bool PairHolds(const CIntMatrix& s, int pair, int day, int shift) {
  const std::size_t first = 2 * static_cast<std::size_t>(pair);
  if (first + 1 >= s.size()) return false;
  return s[first][day] == shift && s[first + 1][day] == shift;
}

// The first complete pair from `from` on whose groups both hold `source` on
// the scan day j and `dest` on the repaired day, or kUnset.
int FindPair(const CIntMatrix& s, int from, int j, int day, int source, int dest) {
  const int pairs = static_cast<int>(s.size() / 2);
  for (int q = from; q < pairs; ++q) {
    if (PairHolds(s, q, j, source) && PairHolds(s, q, day, dest)) return q;
  }
  return kUnset;
}

// A partner group and the shift it must hold on the partner day.
struct CPartnerNeed {
  int group;
  int shift;
};

// The partner scan: the first day k on weekdays 0 to 2 on which both partners
// hold the shifts they need, from the day after the scan day j (first try) or
// from start2 (resumed), circularly up to j. Without such a day the next
// partner scan is a first try again.
int ScanPartnerDays(const CIntMatrix& s, CScanState& state, int days, int j, int start2,
                    CPartnerNeed a, CPartnerNeed b) {
  int k = DayOf(state.bFirstTry ? j + 1 : start2, days);
  state.bFirstTry = false;
  if (a.group != kUnset && b.group != kUnset) {
    for (; k != j; k = (k + 1) % days) {
      if (Weekday(k) <= 2 && s[a.group][k] == a.shift && s[b.group][k] == b.shift) return k;
    }
  }
  state.bFirstTry = true;
  return kUnset;
}

}  // namespace

void CShiftSchedulingDomain::ResetRepairState() {
  for (int step = 1; step <= 4; ++step) StepState(step) = CScanState();
}

void CShiftSchedulingDomain::Swap(int group1, int day1, int group2, int day2) {
  const auto inside = [this](int g, int d) {
    return g >= 0 && static_cast<std::size_t>(g) < schedule.size() && d >= 0 &&
           static_cast<std::size_t>(d) < schedule[g].size();
  };
  if (!inside(group1, day1) || !inside(group2, day2)) return;
  int& first = schedule[group1][day1];
  int& second = schedule[group2][day2];
  GetOutput() << "(" << group1 << "," << day1 << ") <-> (" << group2 << "," << day2 << ") " << first
              << " " << second << '\n';
  std::swap(first, second);
}

// A schedule that does not cover the cycle in every row has no move; the
// domain reader has already reported such a file.
bool CShiftSchedulingDomain::IsRepairableCell(int group, int day) const {
  const int days = kDaysPerWeek * LengthOfCycle;
  if (days <= 0 || day < 0 || day >= days) return false;
  if (group < 0 || static_cast<std::size_t>(group) >= schedule.size()) return false;
  for (const std::vector<int>& row : schedule) {
    if (row.size() < static_cast<std::size_t>(days)) return false;
  }
  return true;
}

bool CShiftSchedulingDomain::Repair(int group, int day, int& start, int& start2) {
  if (!IsRepairableCell(group, day)) return false;
  switch (Weekday(day)) {
    case 0:
    case 1:
    case 2:
      return RepairStep3(group, day, start, start2);
    case 3:
    case 4:
      return RepairStep4(group, day, start, start2);
    case kSaturday: {
      const int entry = schedule[group][day];
      if (entry == 2) return RepairStep1(group, day, start);
      if (entry == 0 || entry == 3) return RepairStep2(group, day, start);
      return false;
    }
    default:
      return RepairStep1(group, day, start);
  }
}

// Weekend repair of shift 2: the cell's group moves its day off (or its
// shift 2) to another weekend day, and a group with the opposite entries on
// the two days makes the opposite exchange.
bool CShiftSchedulingDomain::RepairStep1(int group, int day, int& start) {
  if (!IsRepairableCell(group, day)) return false;
  const int source = schedule[group][day];
  if (source != 2 && source != 0) return Fail(GetOutput(), kShiftOutOfRange);
  if (!IsWeekend(day)) return Fail(GetOutput(), kDayOutOfRange);
  if (start % kDaysPerWeek < 0) return Fail(GetOutput(), kStartOutOfRange);
  const int dest = source == 0 ? 2 : 0;
  const int days = kDaysPerWeek * LengthOfCycle;
  const int rows = static_cast<int>(schedule.size());
  CScanState& state = StepState(1);
  for (int j = OpenScan(state, start, days); j != state.iLoopBegin; j = (j + 1) % days) {
    if (!IsWeekend(j) || schedule[group][j] != dest) continue;
    for (int h = 0; h < rows; ++h) {
      if (schedule[h][j] != source || schedule[h][day] != dest) continue;
      Swap(group, day, group, j);
      Swap(h, day, h, j);
      start = j + 1;
      return true;
    }
  }
  return CloseScan(state);
}

// Saturday repair of shift 3 for group pairs: both groups of the cell's pair
// move their entry to another Saturday, and a pair with the opposite entries
// makes the opposite exchange.
bool CShiftSchedulingDomain::RepairStep2(int group, int day, int& start) {
  if (!IsRepairableCell(group, day)) return false;
  const int source = schedule[group][day];
  if (source != 0 && source != 3) return Fail(GetOutput(), kShiftOutOfRange);
  const int pair = group / 2;
  if (source == 0 && !PairHolds(schedule, pair, day, source))
    return Fail(GetOutput(), kPairViolation);
  if (Weekday(day) != kSaturday) return Fail(GetOutput(), kDayOutOfRange);
  if (start % kDaysPerWeek < 0) return Fail(GetOutput(), kStartOutOfRange);
  const int dest = source == 0 ? 3 : 0;
  const int days = kDaysPerWeek * LengthOfCycle;
  CScanState& state = StepState(2);
  for (int j = OpenScan(state, start, days); j != state.iLoopBegin; j = (j + 1) % days) {
    if (Weekday(j) != kSaturday || !PairHolds(schedule, pair, j, dest)) continue;
    const int other = FindPair(schedule, 0, j, day, source, dest);
    if (other == kUnset) continue;
    SwapPairs(pair, other, day, j);
    start = j + 1;
    return true;
  }
  return CloseScan(state);
}

// Early-week repair between day off and shift 1. An exchange group found on
// weekdays 0 to 2 makes a two-group move; one found on Thursday or Friday
// needs the partners of both groups to balance the scan day against an early
// day k, and the same scan day is looked at again on the next call.
bool CShiftSchedulingDomain::RepairStep3(int group, int day, int& start, int& start2) {
  if (!IsRepairableCell(group, day)) return false;
  const int source = schedule[group][day];
  if (source != 0 && source != 1) return Fail(GetOutput(), kShiftOutOfRange);
  if (start % kDaysPerWeek < 0) return Fail(GetOutput(), kStartOutOfRange);
  const int dest = source == 0 ? 1 : 0;
  const int days = kDaysPerWeek * LengthOfCycle;
  const int rows = static_cast<int>(schedule.size());
  CScanState& state = StepState(3);
  for (int j = OpenScan(state, start, days); j != state.iLoopBegin; j = (j + 1) % days) {
    for (int h = state.iLastGroup; schedule[group][j] == dest && h < rows; ++h) {
      if (schedule[h][j] != source || schedule[h][day] != dest || IsWeekend(j)) continue;
      if (Weekday(j) <= 2) {
        Swap(group, day, group, j);
        Swap(h, day, h, j);
        start = j + 1;
        state.iLastGroup = 0;
        return true;
      }
      const int g2 = Partner(group, rows);
      const int h2 = Partner(h, rows);
      const int k = ScanPartnerDays(schedule, state, days, j, start2, {g2, source}, {h2, dest});
      if (k != kUnset) {
        Swap(group, day, group, j);
        Swap(h, day, h, j);
        Swap(g2, j, g2, k);
        Swap(h2, j, h2, k);
        start = j;
        start2 = k + 1;
        return true;
      }
      state.iLastGroup = h + 1;
    }
    state.iLastGroup = 0;
  }
  return CloseScan(state);
}

// Late-week repair between day off and shift 1. On Thursdays and Fridays the
// cell's pair first looks for a pair with the opposite entries; then, on
// weekdays 0 to 3, an exchange group is balanced by the partners of both
// groups, which exchange the repaired day against an early day k.
bool CShiftSchedulingDomain::RepairStep4(int group, int day, int& start, int& start2) {
  if (!IsRepairableCell(group, day)) return false;
  const int source = schedule[group][day];
  if (source != 0 && source != 1) return Fail(GetOutput(), kShiftOutOfRange);
  if (Weekday(day) != 3 && Weekday(day) != 4) return Fail(GetOutput(), kDayOutOfRange);
  if (start % kDaysPerWeek < 0) return Fail(GetOutput(), kStartOutOfRange);
  const int dest = source == 0 ? 1 : 0;
  const int pair = group / 2;
  const int days = kDaysPerWeek * LengthOfCycle;
  const int rows = static_cast<int>(schedule.size());
  CScanState& state = StepState(4);
  for (int j = OpenScan(state, start, days); j != state.iLoopBegin; j = (j + 1) % days) {
    const int weekday = Weekday(j);
    if ((weekday == 3 || weekday == 4) && PairHolds(schedule, pair, j, dest)) {
      const int other = FindPair(schedule, state.iLastGroup, j, day, source, dest);
      if (other != kUnset) {
        SwapPairs(pair, other, day, j);
        start = j + 1;
        state.iLastGroup = 0;
        return true;
      }
    }
    for (int h = state.iLastGroup; weekday <= 3 && schedule[group][j] == dest && h < rows; ++h) {
      if (schedule[h][j] != source || schedule[h][day] != dest) continue;
      const int g2 = Partner(group, rows);
      const int h2 = Partner(h, rows);
      const int k = ScanPartnerDays(schedule, state, days, j, start2, {g2, dest}, {h2, source});
      if (k != kUnset) {
        Swap(group, day, group, j);
        Swap(h, day, h, j);
        Swap(g2, day, g2, k);
        Swap(h2, day, h2, k);
        start = j;
        start2 = k + 1;
        return true;
      }
      state.iLastGroup = h + 1;
    }
    state.iLastGroup = 0;
  }
  return CloseScan(state);
}

void CShiftSchedulingDomain::SwapPairs(int pair, int other, int day, int j) {
  for (int k = 0; k < 2; ++k) {
    Swap(2 * pair + k, day, 2 * pair + k, j);
    Swap(2 * other + k, day, 2 * other + k, j);
  }
}
