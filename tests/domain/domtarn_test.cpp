// Tests of the domain: the domain data file (written form, round trip, every
// way reading can stop), the script text, the plan test, and the records the
// file holds.
#include "domtarn.h"
#include "domtarn_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

using domain_test::TestDomain;

// Pieces of a domain data file in exactly the form the domain writes.
std::string Count(std::size_t n) {
  return "/* #: " + std::to_string(n) + " */ \n";
}

std::string Head(const std::string& script, int weeks) {
  return "0 CShiftSchedulingDomain 1\n" + script + "\nLengthOfCycle " + std::to_string(weeks) +
         "\n";
}

std::string Groups(int n) {
  std::string text = Count(n);
  for (int g = 0; g < n; ++g) {
    text += "0 CGroup 1\nG" + std::to_string(g) + " " + std::to_string(g + 1) + "\n";
  }
  return text + "\n";
}

std::string Shifts(int n) {
  std::string text = Count(n);
  for (int k = 0; k < n; ++k) text += "0 CShift 1\nS" + std::to_string(k) + " 7.5 2\n";
  return text + "\n";
}

std::string Plan(int days) {
  std::string text = Count(days);
  for (int d = 0; d < days; ++d)
    text += Count(1) + "0 COperating 1\n1 " + std::to_string(d) + " 3\n\n";
  return text;
}

std::string Row(int entries) {
  std::string text = Count(entries);
  for (int d = 0; d < entries; ++d) text += std::to_string(d % 3) + " ";
  return text + "\n";
}

std::string Rows(int rows, int entries) {
  std::string text = Count(rows);
  for (int r = 0; r < rows; ++r) text += Row(entries);
  return text;
}

// The text form of a domain or of one of its records.
template <class Record>
std::string Written(const Record& record) {
  std::ostringstream out;
  out << record;
  return out.str();
}

class DomainTest : public ::testing::Test {
 protected:
  // Tests may run in parallel in one folder, so every file name carries the
  // name of the test that uses it.
  static std::string Scratch(const std::string& suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->name()) + suffix;
  }
  void SetUp() override { write_file(script, scriptText); }

  const std::string script = Scratch(".scr");
  const std::string scriptText = "PRINT \"x\"\r\n\t/* keep  layout */\n";
};

TEST_F(DomainTest, WrittenFileReadsBackUnchanged) {
  const std::string text = Head(script, 2) + Groups(3) + Shifts(2) + Plan(14) + Rows(3, 14);
  const std::string file = Scratch(".dom");
  write_file(file, text);
  CShiftSchedulingDomain domain;
  Capture capture;
  domain.Read(file);
  EXPECT_EQ(capture.str(), "");
  EXPECT_EQ(domain.GetLengthOfCycle(), 2);
  EXPECT_EQ(domain.GetGroups().size(), 3u);
  EXPECT_EQ(domain.GetShifts()[1].GetLength(), 7.5f);
  EXPECT_EQ(domain.GetOperating()[13][0].GetLevel(), 13);
  EXPECT_EQ(domain.GetSchedule()[2][13], 1);
  EXPECT_EQ(domain.GetStaticData(), scriptText);
  EXPECT_EQ(Written(domain), text);
}

// Every read starts from the same loaded domain, so the table also shows
// which parts a stop replaces, empties or leaves alone.
TEST_F(DomainTest, ReadingStopsAtTheFirstProblem) {
  const std::string file = Scratch(".dom");
  const std::string preload = Head(script, 2) + Groups(3) + Shifts(3) + Plan(14) + Rows(3, 14);
  const auto problem = [&](const std::string& text) {
    return "Domain file " + file + ": " + text + "\n";
  };
  const std::string divisor =
      "Operation plan cycle should be divisor of the shift schedule cycle\n";
  const std::string eachGroup = "Shift schedule does not allocate for each group\n";
  const std::string seven = "1 1 1 1 1 1 1 ";
  struct Case {
    const char* label;
    std::string text;
    std::string message;
    int weeks, groups, shifts, planDays, rows;
  };
  const Case cases[] = {
      {"plan weeks divide the cycle",
       Head(script, 6) + Groups(2) + Shifts(2) + Plan(14) + Rows(2, 42), "", 6, 2, 2, 14, 2},
      {"plan weeks do not divide the cycle",
       Head(script, 5) + Groups(2) + Shifts(2) + Plan(14) + Rows(2, 35), divisor, 5, 2, 2, 0, 3},
      {"empty plan", Head(script, 1) + Groups(2) + Shifts(2) + Plan(0) + Rows(2, 7), divisor, 1, 2,
       2, 0, 3},
      {"plan of part weeks", Head(script, 1) + Groups(2) + Shifts(2) + Plan(10) + Rows(2, 7),
       eachGroup, 1, 2, 2, 7, 0},
      {"row missing", Head(script, 1) + Groups(2) + Shifts(2) + Plan(7) + Rows(1, 7), eachGroup, 1,
       2, 2, 7, 0},
      {"third row short",
       Head(script, 1) + Groups(3) + Shifts(2) + Plan(7) + Count(3) + Row(7) + Row(7) + Row(6),
       "Shift schedule does not allocate for entire cycle length in group #2\n", 1, 3, 2, 7, 2},
      {"empty file", "", problem("expected the header line and the script file name"), 2, 3, 3, 14,
       3},
      {"cycle of no weeks", Head(script, 0) + Groups(1),
       problem("cycle length 0 is not between 1 and 306783378 weeks"), 2, 3, 3, 14, 3},
      {"cycle too long", Head(script, 306783379),
       problem("cycle length 306783379 is not between 1 and 306783378 weeks"), 2, 3, 3, 14, 3},
      {"group record cut short", Head(script, 1) + Count(2) + "0 CGroup 1 G0 1 0 CGroup 1 G1",
       problem("expected group record #1"), 1, 1, 3, 14, 3},
      {"absurd group count", Head(script, 1) + Count(2000000000) + "0 CGroup 1 G0 1",
       problem("expected group record #1"), 1, 1, 3, 14, 3},
      {"shift count not a number", Head(script, 1) + Groups(2) + "/* #: two */",
       problem("expected the number of shifts"), 1, 2, 0, 14, 3},
      {"plan cell cut short",
       Head(script, 1) + Groups(1) + Shifts(1) + Count(7) + Count(2) +
           "0 COperating 1 1 2 3 0 COperating 1 1 2",
       problem("expected cell #1 of operating plan day #0"), 1, 1, 1, 0, 3},
      {"entry not a number",
       Head(script, 1) + Groups(2) + Shifts(1) + Plan(7) + Count(2) + Count(7) + seven + Count(7) +
           "1 1 1 x",
       problem("expected entry #3 of schedule row #1"), 1, 2, 1, 7, 1},
      {"script missing", Head("no-such.scr", 1) + Groups(1) + Shifts(1) + Plan(7) + Rows(1, 7),
       "CDomainInstance: couldn't find static data file\nFailed to read StaticDataFile\n", 1, 1, 1,
       7, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CShiftSchedulingDomain domain;
    write_file(file, preload);
    domain.Read(file);
    write_file(file, c.text);
    Capture capture;
    domain.Read(file);
    EXPECT_EQ(capture.str(), c.message);
    EXPECT_EQ(domain.GetLengthOfCycle(), c.weeks);
    EXPECT_EQ(domain.GetGroups().size(), static_cast<std::size_t>(c.groups));
    EXPECT_EQ(domain.GetShifts().size(), static_cast<std::size_t>(c.shifts));
    EXPECT_EQ(domain.GetOperating().size(), static_cast<std::size_t>(c.planDays));
    EXPECT_EQ(domain.GetSchedule().size(), static_cast<std::size_t>(c.rows));
    EXPECT_EQ(domain.GetStaticData(), scriptText);
  }
}

TEST_F(DomainTest, ReadingABareStreamNamesNoFile) {
  CShiftSchedulingDomain domain;
  std::istringstream in("0 CShiftSchedulingDomain 1");
  Capture capture;
  in >> domain;
  EXPECT_EQ(capture.str(), "Domain data: expected the header line and the script file name\n");
}

TEST_F(DomainTest, FilesThatCannotBeOpenedArePassedOverSilently) {
  CShiftSchedulingDomain domain;
  Capture capture;
  domain.Read(Scratch("-missing.dom"));
  domain.Write("no-such-folder/" + Scratch(".dom"));
  EXPECT_EQ(capture.str(), "");
  EXPECT_FALSE(std::filesystem::exists("no-such-folder"));
  EXPECT_EQ(domain.GetLengthOfCycle(), 0);
}

// The buffer holds 65534 characters and its terminator; a longer text is
// refused as a whole and the earlier text stays.
TEST_F(DomainTest, ScriptTextFitsTheBufferOrIsRefused) {
  const std::size_t limit = CDomainInstance::kStaticDataChars;
  const std::string fits(limit, 'a');
  const std::string tooLong(limit + 1, 'b');
  CShiftSchedulingDomain domain;
  EXPECT_STREQ(domain.GetStaticData(), "");
  Capture capture;
  EXPECT_TRUE(domain.SetStaticData(fits));
  EXPECT_FALSE(domain.SetStaticData(tooLong));
  EXPECT_EQ(domain.GetStaticData(), fits);

  const std::string longFile = Scratch("-long.scr");
  write_file(longFile, tooLong);
  domain.SetStaticDataFileName(longFile);
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), fits);

  domain.SetStaticDataFileName(script);
  EXPECT_TRUE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), scriptText);

  domain.SetStaticDataFileName(Scratch("-missing.scr"));
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), scriptText);
  EXPECT_EQ(capture.str(),
            "CDomainInstance: static data text holds more than 65534 characters\n"
            "CDomainInstance: static data file " +
                longFile +
                " holds more than 65534 characters\n"
                "CDomainInstance: couldn't find static data file\n");
}

// A one-week plan for six groups that meets every rule: shift 0 twice and
// shift 1 five times per group, one group off on Monday to Wednesday, a
// pair off on Thursday and on Friday.
const CIntMatrix kValidWeek = {
    {1, 1, 0, 0, 1, 1, 1}, {1, 1, 1, 0, 1, 0, 1}, {1, 1, 1, 1, 0, 0, 1},
    {1, 1, 1, 1, 0, 0, 1}, {0, 1, 1, 1, 1, 0, 1}, {1, 0, 1, 1, 1, 0, 1},
};

TEST_F(DomainTest, CheckPlanTestsCountsCoverAndPairs) {
  const std::string file = Scratch(".dom");
  write_file(file, Head(script, 1) + Groups(6) + Count(2) +
                       "0 CShift 1 Off 0 2 0 CShift 1 Day 8 5" + Plan(7) + Rows(6, 7));
  TestDomain domain;
  domain.Read(file);
  struct Change {
    std::size_t group, day;
    int entry;
  };
  const auto changed = [](std::initializer_list<Change> changes) {
    CIntMatrix schedule = kValidWeek;
    for (const Change& c : changes) schedule[c.group][c.day] = c.entry;
    return schedule;
  };
  CIntMatrix rowShort = kValidWeek;
  rowShort[5].pop_back();
  const CIntMatrix rowMissing(kValidWeek.begin(), kValidWeek.end() - 1);
  const std::pair<const char*, CIntMatrix> failing[] = {
      {"shift worked too often", changed({{0, 5, 0}})},
      {"Monday uncovered", changed({{4, 0, 1}, {4, 6, 0}})},
      // Groups 0 and 2 are off on Thursday: counts and cover hold, pairs do not.
      {"pair split", changed({{1, 3, 1}, {1, 6, 0}, {2, 3, 0}, {2, 5, 1}})},
      {"unknown shift", changed({{3, 6, 9}})},
      {"negative shift", changed({{5, 0, -1}})},
      {"row short", rowShort},
      {"row missing", rowMissing},
  };
  domain.SetSchedule(kValidWeek);
  EXPECT_TRUE(domain.CheckPlan());
  for (const auto& [label, schedule] : failing) {
    SCOPED_TRACE(label);
    domain.SetSchedule(schedule);
    EXPECT_FALSE(domain.CheckPlan());
  }
}

// Tests of the domain's stored records: their text form, reading with other
// versions, over-long names and streams that run dry.

COperating Cell(int shift, int level, int number) {
  COperating cell;
  cell.SetShift(shift);
  cell.SetLevel(level);
  cell.SetNumber(number);
  return cell;
}

TEST(RecordsTest, WriteHeaderAndFieldLine) {
  CShift halfHour("Late", 0, 3);
  halfHour.SetLength(7.5f);
  EXPECT_EQ(Written(CShift("Early", 8, 2)), "0 CShift 1\nEarly 8 2\n");
  EXPECT_EQ(Written(halfHour), "0 CShift 1\nLate 7.5 3\n");
  EXPECT_EQ(Written(CGroup("Team1", 4)), "0 CGroup 1\nTeam1 4\n");
  EXPECT_EQ(Written(Cell(1, 2, 3)), "0 COperating 1\n1 2 3\n");
}

// With a version other than 1 shifts and groups read no fields; the
// operating cell reads its three numbers whatever the version.
TEST(RecordsTest, OtherVersionSkipsFieldsExceptOperatingCell) {
  std::istringstream in("0 CShift 2 Next 0 CGroup 2 Next 0 COperating 2 4 5 6 Next");
  CShift shift("Early", 8, 2);
  CGroup group("Team1", 3);
  COperating cell = Cell(1, 1, 1);
  std::string next;
  in >> shift >> next;
  EXPECT_EQ(next, "Next");
  in >> group >> next;
  EXPECT_EQ(next, "Next");
  in >> cell >> next;
  EXPECT_EQ(next, "Next");
  EXPECT_STREQ(shift.GetName(), "Early");
  EXPECT_EQ(shift.GetLength(), 8.0f);
  EXPECT_EQ(shift.GetShiftsRequired(), 2);
  EXPECT_STREQ(group.GetName(), "Team1");
  EXPECT_EQ(group.GetMembers(), 3);
  EXPECT_EQ(cell.GetShift(), 4);
  EXPECT_EQ(cell.GetNumber(), 6);
}

// A name longer than its field is cut, and the numbers after it still land
// in the right fields.
TEST(RecordsTest, LongNamesAreCutAndReadingStaysInStep) {
  const std::string longName(kNamestrChars + 50, 'x');
  std::istringstream in("0 CShift 1 " + longName + " 6 1 0 CGroup 1 " + longName + " 5");
  CShift shift("NONAME", 0, 0);
  CGroup group("NONAME", 0);
  in >> shift >> group;
  EXPECT_EQ(std::string(shift.GetName()), longName.substr(0, kNamestrChars));
  EXPECT_EQ(shift.GetLength(), 6.0f);
  EXPECT_EQ(group.GetMembers(), 5);
}

}  // namespace
