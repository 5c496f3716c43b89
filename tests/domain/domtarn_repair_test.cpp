// Tests of the repair moves: the exchanges each step finds, the lines Swap
// prints, the per-day shift counts, and the scan that continues with the
// returned start until it has gone once around the cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "domtarn_test_support.h"

namespace {

using domain_test::TestDomain;

// Groups on two-week rows; shift lengths play no part in repairs.
const std::vector<float> kLengths = {0, 8, 12, 8};
TestDomain TwoWeeks(const std::vector<std::string>& rows) {
  return TestDomain(2, kLengths, rows);
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

// Walks of one cell by every step. 1: a weekend cell's shift 2 goes to a
// group off there; the scan goes once around the cycle and a scan started at
// day 0 skips the last day. 2: a Saturday pair trades with the opposite pair
// (with an odd number of groups the last has no partner). 3: an exchange
// group early in the week, balanced by the partners when found on a Thursday
// (a start of -7 stands for day 0). 4: Thursday pairs and partners.
TEST_F(RepairTest, MovesOfEveryStep) {
  const std::vector<std::string> pairs = {"1111130 1111100", "1111130 1111100", "1111100 1111130",
                                          "1111100 1111130"};
  const std::vector<std::string> odd(pairs.begin(), pairs.end() - 1);
  const std::string first = Pair(0, 1, 6, 12, 2, 0), second = Pair(0, 2, 6, 13, 2, 0);
  const std::string at7 = Pair(0, 2, 0, 3, 1, 0) + Pair(1, 3, 3, 7, 0, 1);
  const std::string at8 = Pair(0, 2, 0, 3, 1, 0) + Pair(1, 3, 3, 8, 0, 1);
  const struct {
    const char* what;
    std::vector<std::string> rows;
    int group, day, start, start2;
    std::vector<Call> calls;
  } cases[] = {
      // clang-format off
      {"weekend", {"1111112 1111100", "1111100 1111121", "1111110 1111112"}, 0, 6, 6, 6,
       {{13, 6, first}, {14, 6, second}, {0, 0, ""}, {13, 6, first}}},
      {"weekend scan left open", {}, 0, 6, 13, 0, {{0, 0, ""}, {14, 0, second}}},
      {"Saturday on shift 2", {"1111121 1111101", "1111101 1111121", "1111110 1111110"}, 0, 5, 5, 5,
       {{13, 5, Pair(0, 1, 5, 12, 2, 0)}}},
      {"Saturday on shift 1", {}, 2, 5, 5, 5, {{0, 0, ""}}},
      {"last day", {"1111112 1111110", "1111110 1111112"}, 0, 6, 0, 0, {{0, 0, ""}}},
      {"day before the last", {"1111112 1111101", "1111110 1111121"}, 0, 6, 0, 0,
       {{13, 0, Pair(0, 1, 6, 12, 2, 0)}}},
      {"pair", pairs, 1, 5, 5, 5,
       {{13, 5, Pair(0, 2, 5, 12, 3, 0) + Pair(1, 3, 5, 12, 3, 0)}, {0, 0, ""}}},
      {"pair, second half", {}, 2, 5, 5, 5,
       {{13, 5, Pair(2, 0, 5, 12, 0, 3) + Pair(3, 1, 5, 12, 0, 3)}}},
      {"odd groups", odd, 0, 5, 5, 5, {{0, 0, ""}}},
      {"odd groups, day off", {}, 2, 12, 12, 12, {{0, 0, ""}}},
      {"early week", {"1011111 1011111", "0111111 0111111", "1111111 1111111"}, 0, 0, 0, 0,
       {{2, 0, Pair(0, 1, 0, 1, 1, 0)}, {9, 0, Pair(0, 1, 0, 8, 1, 0)}, {0, 0, ""}}},
      {"early week, start -7", {}, 0, 0, -7, 0, {{9, 0, Pair(0, 1, 0, 8, 1, 0)}}},
      {"early week on a Thursday",
       {"1110111 1111111", "1110000 1100000", "0111100 1111100", "1111100 0011111"}, 0, 0, 0, 0,
       {{3, 8, at7}, {3, 9, at8}, {0, 0, ""}, {3, 8, at7}}},
      {"group search starts over",
       {"1110111 0111111", "0110111 1111111", "0111111 1111111", "1111111 1111111"}, 0, 0, 0, 0,
       {{8, 0, Pair(0, 1, 0, 7, 1, 0)}}},
      {"late week pairs",
       {"2220222 2221222", "2220222 2221222", "2221222 2220222", "2221222 2220222"}, 0, 3, 3, 3,
       {{11, 3, Pair(0, 2, 3, 10, 0, 1) + Pair(1, 3, 3, 10, 0, 1)}, {0, 0, ""}}},
      {"late week groups",
       {"2220222 1222222", "2220222 2122222", "2221222 0222222", "2221222 2022222"}, 0, 3, 3, 3,
       {{7, 9, Pair(0, 2, 3, 7, 0, 1) + Pair(1, 3, 3, 8, 0, 1)}, {0, 0, ""}}},
      // clang-format on
  };
  // No rows: the domain of the case before, with the scan it left open.
  std::unique_ptr<TestDomain> domain;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.rows.empty()) domain = std::make_unique<TestDomain>(2, kLengths, c.rows);
    Walk(*domain, c.group, c.day, c.start, c.start2, c.calls);
  }
  domain = std::make_unique<TestDomain>(2, kLengths, odd);
  Capture capture;
  int start = 5;
  EXPECT_FALSE(domain->Repair(2, 5, start, start));
  EXPECT_EQ(capture.str(), "No repair possible, violation must be a group!\n");
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
