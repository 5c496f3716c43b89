// Tests of the repair moves: the exchanges each step finds, the lines Swap
// prints, the per-day shift counts, and the scan that continues with the
// returned start until it has gone once around the cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "domtarn_test_support.h"

namespace {

using domain_test::TestDomain;

// Groups on two-week rows; shift lengths play no part in repairs.
TestDomain TwoWeeks(const std::vector<std::string>& rows) {
  return TestDomain(2, {0, 8, 12, 8}, rows);
}

// The lines of two exchanges on days d and e: group g gives entry a for b,
// group h the reverse.
std::string Pair(int g, int h, int d, int e, int a, int b) {
  const auto line = [d, e](int group, int x, int y) {
    const std::string n = std::to_string(group);
    return "(" + n + "," + std::to_string(d) + ") <-> (" + n + "," + std::to_string(e) + ") " +
           std::to_string(x) + " " + std::to_string(y) + "\n";
  };
  return line(g, a, b) + line(h, b, a);
}

// Per day, the sorted shifts of all groups: a move must keep them.
std::vector<std::vector<int>> DayCounts(const CIntMatrix& schedule) {
  std::vector<std::vector<int>> columns(schedule.front().size());
  for (const std::vector<int>& row : schedule) {
    for (std::size_t d = 0; d < row.size(); ++d) columns[d].push_back(row[d]);
  }
  for (std::vector<int>& column : columns) std::sort(column.begin(), column.end());
  return columns;
}

// One expected call of Repair: the start values it ends with and the lines it
// prints; no lines means no move.
struct Call {
  int start, start2;
  std::string lines;
};

class RepairTest : public ::testing::Test {
 protected:
  // Calls Repair for one cell as the optimizer does: each move is checked and
  // undone, and the next call goes on with the returned start values.
  static void Walk(TestDomain& domain, int group, int day, int start, int start2,
                   const std::vector<Call>& calls) {
    const CIntMatrix saved = domain.GetSchedule();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      SCOPED_TRACE("call " + std::to_string(i + 1));
      Capture capture;
      const bool moved = domain.Repair(group, day, start, start2);
      EXPECT_EQ(capture.str(), calls[i].lines);
      EXPECT_EQ(moved, !calls[i].lines.empty());
      EXPECT_EQ(DayCounts(domain.GetSchedule()), DayCounts(saved));
      EXPECT_EQ(domain.GetSchedule() != saved, moved);
      if (moved) {
        EXPECT_EQ(start, calls[i].start);
        EXPECT_EQ(start2, calls[i].start2);
      }
      domain.SetSchedule(saved);
    }
  }
};

TEST_F(RepairTest, SwapPrintsTheEntriesBeforeTheExchange) {
  TestDomain domain = TwoWeeks({"12300000000000", "00000000000003"});
  Capture capture;
  domain.Swap(0, 2, 1, 13);
  domain.Swap(0, 0, 0, 1);
  domain.Swap(0, 0, 2, 0);
  domain.Swap(0, -1, 0, 0);
  EXPECT_EQ(capture.str(), "(0,2) <-> (1,13) 3 3\n(0,0) <-> (0,1) 1 2\n");
  EXPECT_EQ(domain.GetSchedule()[0], domain_test::Row("21300000000000"));
}

// Step 1: a Sunday cell on shift 2 moves its shift 2 to a weekend day on which
// the group is off; a group working 2 there and off on the Sunday takes it.
// The scan goes once around the cycle; the call after it opens a new one.
TEST_F(RepairTest, WeekendRepairWalksOnceAroundTheCycle) {
  TestDomain domain = TwoWeeks({"1111112 1111100", "1111100 1111121", "1111110 1111112"});
  const std::string first = Pair(0, 1, 6, 12, 2, 0), second = Pair(0, 2, 6, 13, 2, 0);
  Walk(domain, 0, 6, 6, 6, {{13, 6, first}, {14, 6, second}, {0, 0, ""}, {13, 6, first}});
  // The scan left open ends at its own end mark, whatever the next start.
  Walk(domain, 0, 6, 13, 0, {{0, 0, ""}, {14, 0, second}});
  // Saturday cells on shift 2 are weekend repairs too.
  TestDomain saturday = TwoWeeks({"1111121 1111101", "1111101 1111121", "1111110 1111110"});
  Walk(saturday, 0, 5, 5, 5, {{13, 5, Pair(0, 1, 5, 12, 2, 0)}});
  Walk(saturday, 2, 5, 5, 5, {{0, 0, ""}});  // shift 1 on a Saturday: no step
}

// A scan ends on the day before its start: started at day 0 it does not look
// at the last day of the cycle, but it does at the one before.
TEST_F(RepairTest, ScanFromDayZeroEndsBeforeTheLastDay) {
  TestDomain lastDay = TwoWeeks({"1111112 1111110", "1111110 1111112"});
  Walk(lastDay, 0, 6, 0, 0, {{0, 0, ""}});
  TestDomain dayBefore = TwoWeeks({"1111112 1111101", "1111110 1111121"});
  Walk(dayBefore, 0, 6, 0, 0, {{13, 0, Pair(0, 1, 6, 12, 2, 0)}});
}

// Step 2: both groups of the cell's pair move their Saturday entry to another
// Saturday and a pair with the opposite entries takes it. With an odd number
// of groups the last one has no partner: its pair never qualifies, and its
// day-off cell is refused like a split pair.
TEST_F(RepairTest, SaturdayPairRepair) {
  TestDomain domain =
      TwoWeeks({"1111130 1111100", "1111130 1111100", "1111100 1111130", "1111100 1111130"});
  Walk(domain, 1, 5, 5, 5,
       {{13, 5, Pair(0, 2, 5, 12, 3, 0) + Pair(1, 3, 5, 12, 3, 0)}, {0, 0, ""}});
  Walk(domain, 2, 5, 5, 5, {{13, 5, Pair(2, 0, 5, 12, 0, 3) + Pair(3, 1, 5, 12, 0, 3)}});

  TestDomain odd = TwoWeeks({"1111130 1111100", "1111130 1111100", "1111100 1111130"});
  Walk(odd, 0, 5, 5, 5, {{0, 0, ""}});
  Walk(odd, 2, 12, 12, 12, {{0, 0, ""}});
  Capture capture;
  int start = 5;
  EXPECT_FALSE(odd.Repair(2, 5, start, start));
  EXPECT_EQ(capture.str(), "No repair possible, violation must be a group!\n");
}

// Step 3: an exchange group on weekdays 0 to 2 gives a two-group move. A
// start that is a negative multiple of 7 stands for its day in the cycle.
TEST_F(RepairTest, EarlyWeekTwoGroupMoves) {
  TestDomain domain = TwoWeeks({"1011111 1011111", "0111111 0111111", "1111111 1111111"});
  const std::string second = Pair(0, 1, 0, 8, 1, 0);
  Walk(domain, 0, 0, 0, 0, {{2, 0, Pair(0, 1, 0, 1, 1, 0)}, {9, 0, second}, {0, 0, ""}});
  Walk(domain, 0, 0, -7, 0, {{9, 0, second}});
}

// Step 3 with the exchange group found on a Thursday: the partners of both
// groups balance the Thursday against an early day, the same Thursday is
// looked at again, and the partner scan resumes where it stopped.
TEST_F(RepairTest, EarlyWeekFourGroupMovesOnAThursday) {
  TestDomain domain =
      TwoWeeks({"1110111 1111111", "1110000 1100000", "0111100 1111100", "1111100 0011111"});
  const std::string at7 = Pair(0, 2, 0, 3, 1, 0) + Pair(1, 3, 3, 7, 0, 1);
  const std::string at8 = Pair(0, 2, 0, 3, 1, 0) + Pair(1, 3, 3, 8, 0, 1);
  Walk(domain, 0, 0, 0, 0, {{3, 8, at7}, {3, 9, at8}, {0, 0, ""}, {3, 8, at7}});
}

// A Thursday whose partner scans all fail leaves the group search of the next
// scan day to start again from the first group.
TEST_F(RepairTest, GroupSearchStartsOverOnEachDay) {
  TestDomain domain =
      TwoWeeks({"1110111 0111111", "0110111 1111111", "0111111 1111111", "1111111 1111111"});
  Walk(domain, 0, 0, 0, 0, {{8, 0, Pair(0, 1, 0, 7, 1, 0)}});
}

// Step 4: on a Thursday the cell's pair exchanges with a pair holding the
// opposite entries; an exchange group found on an early day is balanced by
// the partners, which exchange the repaired day against a day k.
TEST_F(RepairTest, LateWeekMoves) {
  TestDomain pairs =
      TwoWeeks({"2220222 2221222", "2220222 2221222", "2221222 2220222", "2221222 2220222"});
  Walk(pairs, 0, 3, 3, 3, {{11, 3, Pair(0, 2, 3, 10, 0, 1) + Pair(1, 3, 3, 10, 0, 1)}, {0, 0, ""}});
  TestDomain groups =
      TwoWeeks({"2220222 1222222", "2220222 2122222", "2221222 0222222", "2221222 2022222"});
  Walk(groups, 0, 3, 3, 3, {{7, 9, Pair(0, 2, 3, 7, 0, 1) + Pair(1, 3, 3, 8, 0, 1)}, {0, 0, ""}});
}

// Checks come before any scan: the entry first, then (step 2) the pair, the
// weekday and the start. A failed check changes nothing.
TEST_F(RepairTest, CheckMessages) {
  const std::string shift = "Shift to repair out of range!\n";
  const std::string weekday = "Day to repair out of range!\n";
  const std::string start = "Repair start out of range!\n";
  TestDomain domain = TwoWeeks({"2103023 3000001", "3100012 3000001"});
  const struct {
    int step, group, day, start;  // step 0: Repair itself
    std::string message;
  } cases[] = {
      {1, 0, 1, 0, shift},   {1, 0, 0, 0, weekday},
      {1, 0, 5, -3, start},  {2, 0, 1, 0, shift},
      {2, 0, 3, 0, weekday}, {2, 0, 12, -1, start},
      {3, 0, 0, 0, shift},   {3, 0, 1, -8, start},
      {4, 1, 0, 0, shift},   {4, 0, 2, 0, weekday},
      {4, 0, 4, -13, start}, {0, 0, 6, 0, shift},
      {0, 0, -7, 0, ""},     {0, 0, 14, 0, ""},
      {0, 2, 1, 0, ""},      {2, 1, 3, 0, "No repair possible, violation must be a group!\n"},
  };
  const CIntMatrix saved = domain.GetSchedule();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.step) + " " + std::to_string(c.day));
    int begin = c.start;
    int begin2 = c.start;
    Capture capture;
    const bool moved = c.step == 1   ? domain.RepairStep1(c.group, c.day, begin)
                       : c.step == 2 ? domain.RepairStep2(c.group, c.day, begin)
                       : c.step == 3 ? domain.RepairStep3(c.group, c.day, begin, begin2)
                       : c.step == 4 ? domain.RepairStep4(c.group, c.day, begin, begin2)
                                     : domain.Repair(c.group, c.day, begin, begin2);
    EXPECT_FALSE(moved);
    EXPECT_EQ(capture.str(), c.message);
    EXPECT_EQ(begin, c.start);
    EXPECT_EQ(domain.GetSchedule(), saved);
  }
}

// A schedule whose rows do not cover the cycle offers no moves. A scan left
// open on a longer cycle ends on a shorter one too.
TEST_F(RepairTest, ScheduleChanges) {
  TestDomain incomplete = TwoWeeks({"1011111 1011111", "0111111"});
  Walk(incomplete, 0, 0, 0, 0, {{0, 0, ""}});
  incomplete.SetCycle(0);
  Walk(incomplete, 0, 0, 0, 0, {{0, 0, ""}});

  TestDomain longer = TwoWeeks({"1011111 1011111", "0111111 0111111"});
  Walk(longer, 0, 0, 0, 0, {{2, 0, Pair(0, 1, 0, 1, 1, 0)}});
  TestDomain shorter(1, {0, 8}, {"1111111", "0111111"});
  Walk(shorter, 0, 0, 2, 0, {{0, 0, ""}});
}

}  // namespace
