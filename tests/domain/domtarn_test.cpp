// Tests of the domain: every way reading the domain data file can stop, the
// script text and its limit, and the stored records read with other versions
// or over-long names. (Exact written forms are checked by the
// end-to-end cases read_write_round_trip and write_empty_domain.)
#include "domtarn.h"
#include "domtarn_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace {

// Pieces of a domain data file in exactly the form the domain writes.
std::string Count(std::size_t n) {
  return "/* #: " + std::to_string(n) + " */ \n";
}

std::string Head(const std::string& script, int weeks) {
  return "0 CShiftSchedulingDomain 1\n" + script + "\nLengthOfCycle " + std::to_string(weeks) +
         "\n";
}

// `n` records of one kind, numbered by `field`.
template <class Field>
std::string Records(std::size_t n, Field field) {
  std::string text = Count(n);
  for (std::size_t i = 0; i < n; ++i) text += field(static_cast<int>(i));
  return text;
}

std::string Groups(int n) {
  return Records(n, [](int g) { return "0 CGroup 1\nG" + std::to_string(g) + " 1\n"; }) + "\n";
}
std::string Shifts(int n) {
  return Records(n, [](int k) { return "0 CShift 1\nS" + std::to_string(k) + " 7.5 2\n"; }) + "\n";
}
std::string Plan(int days) {
  return Records(
      days, [](int d) { return Count(1) + "0 COperating 1\n1 " + std::to_string(d) + " 3\n\n"; });
}
std::string Row(int entries) {
  return Records(entries, [](int d) { return std::to_string(d % 3) + " "; }) + "\n";
}
std::string Rows(int rows, int entries) {
  return Records(rows, [entries](int) { return Row(entries); });
}

class DomainTest : public ::testing::Test {
 protected:
  // Tests may run in parallel in one folder, so every file name carries the
  // name of the test that uses it.
  static std::string Scratch(const std::string& suffix) {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
  }
  void SetUp() override { write_file(script, scriptText); }

  const std::string script = Scratch(".scr");
  const std::string scriptText = "PRINT \"x\"\r\n\t/* keep  layout */\n";
};

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
  const std::string h1 = Head(script, 1);
  const std::string start2 = h1 + Groups(2) + Shifts(2);
  const struct {
    std::string text, message;
    int weeks, groups, shifts, planDays, rows;
  } cases[] = {
      {Head(script, 6) + Groups(2) + Shifts(2) + Plan(14) + Rows(2, 42), "", 6, 2, 2, 14, 2},
      {Head(script, 5) + Groups(2) + Shifts(2) + Plan(14) + Rows(2, 35), divisor, 5, 2, 2, 0, 3},
      {start2 + Plan(0) + Rows(2, 7), divisor, 1, 2, 2, 0, 3},
      {start2 + Plan(10) + Rows(2, 7), eachGroup, 1, 2, 2, 7, 0},
      {start2 + Plan(7) + Rows(1, 7), eachGroup, 1, 2, 2, 7, 0},
      {h1 + Groups(3) + Shifts(2) + Plan(7) + Count(3) + Row(7) + Row(7) + Row(6),
       "Shift schedule does not allocate for entire cycle length in group #2\n", 1, 3, 2, 7, 2},
      {"", problem("expected the header line and the script file name"), 2, 3, 3, 14, 3},
      {Head(script, 306783379),
       problem("cycle length 306783379 is not between 1 and 306783378 weeks"), 2, 3, 3, 14, 3},
      {h1 + Count(2) + "0 CGroup 1 G0 1 0 CGroup 1 G1", problem("expected group record #1"), 1, 1,
       3, 14, 3},
      {h1 + Count(2000000000) + "0 CGroup 1 G0 1", problem("expected group record #1"), 1, 1, 3, 14,
       3},
      {h1 + Groups(2) + "/* #: two */", problem("expected the number of shifts"), 1, 2, 0, 14, 3},
      {h1 + Groups(1) + Shifts(1) + Count(7) + Count(2) + "0 COperating 1 1 2 3 0 COperating 1 1 2",
       problem("expected cell #1 of operating plan day #0"), 1, 1, 1, 0, 3},
      {h1 + Groups(2) + Shifts(1) + Plan(7) + Count(2) + Row(7) + Count(7) + "1 1 1 x",
       problem("expected entry #3 of schedule row #1"), 1, 2, 1, 7, 1},
      {Head("no-such.scr", 1) + Groups(1) + Shifts(1) + Plan(7) + Rows(1, 7),
       "CDomainInstance: couldn't find static data file\nFailed to read StaticDataFile\n", 1, 1, 1,
       7, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
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

// A bare stream names no file; files that cannot be opened are passed over.
TEST_F(DomainTest, StreamsAndFilesThatCannotBeUsed) {
  CShiftSchedulingDomain domain;
  std::istringstream in("0 CShiftSchedulingDomain 1");
  Capture capture;
  in >> domain;
  domain.Read(Scratch("-missing.dom"));
  domain.Write("no-such-folder/" + Scratch(".dom"));
  EXPECT_EQ(capture.str(), "Domain data: expected the header line and the script file name\n");
  EXPECT_FALSE(std::filesystem::exists("no-such-folder"));
}

// The buffer holds 65534 characters and its terminator; a longer text is
// refused as a whole and the earlier text stays.
TEST_F(DomainTest, ScriptTextFitsTheBufferOrIsRefused) {
  const std::string fits(CDomainInstance::kStaticDataChars, 'a');
  const std::string tooLong(fits.size() + 1, 'b');
  const std::string longFile = Scratch("-long.scr");
  write_file(longFile, tooLong);
  CShiftSchedulingDomain domain;
  Capture capture;
  EXPECT_TRUE(domain.SetStaticData(fits));
  EXPECT_FALSE(domain.SetStaticData(tooLong));
  EXPECT_EQ(domain.GetStaticData(), fits);
  domain.SetStaticDataFileName(longFile);
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), fits);
  domain.SetStaticDataFileName(script);
  EXPECT_TRUE(domain.ReadStaticData());
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

// With a version other than 1 shifts and groups read no fields; the
// operating cell reads its three numbers whatever the version. A name longer
// than its field is cut, and the numbers after it still land in place.
TEST(RecordsTest, OtherVersionsAndLongNames) {
  std::istringstream in("0 CShift 2 Next 0 CGroup 2 Next 0 COperating 2 4 5 6 Next");
  CShift shift("Early", 8, 2);
  CGroup group("Team1", 3);
  COperating cell;
  std::string next[3];
  in >> shift >> next[0] >> group >> next[1] >> cell >> next[2];
  EXPECT_EQ(next[0] + next[1] + next[2], "NextNextNext");
  EXPECT_STREQ(shift.GetName(), "Early");
  EXPECT_EQ(shift.GetLength(), 8.0f);
  EXPECT_EQ(shift.GetShiftsRequired(), 2);
  EXPECT_STREQ(group.GetName(), "Team1");
  EXPECT_EQ(group.GetMembers(), 3);
  EXPECT_EQ(cell.GetShift(), 4);
  EXPECT_EQ(cell.GetNumber(), 6);

  const std::string longName(kNamestrChars + 50, 'x');
  std::istringstream named("0 CShift 1 " + longName + " 6 1 0 CGroup 1 " + longName + " 5");
  named >> shift >> group;
  EXPECT_EQ(std::string(shift.GetName()), longName.substr(0, kNamestrChars));
  EXPECT_EQ(shift.GetLength(), 6.0f);
  EXPECT_EQ(group.GetMembers(), 5);
}

}  // namespace
