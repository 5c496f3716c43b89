// Tests of the domain: a stream or files that cannot be used, the script
// text and its limit, and the plan test. (Every way reading the domain data file can
// stop, with the state it leaves, exact written forms, records of other
// versions and over-long names are checked by the end-to-end cases read_*
// and write_*.)
#include "domtarn.h"
#include "domtarn_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "expint.h"

namespace {

// A bare stream names no file; files that cannot be opened are passed over.
TEST(DomainFiles, StreamsAndFilesThatCannotBeUsed) {
  CShiftSchedulingDomain domain;
  std::ostringstream capture;
  domain.SetOutput(capture, capture);
  std::istringstream in("0 CShiftSchedulingDomain 1");
  in >> domain;
  domain.Read(std::string("missing.dom"));
  domain.Write("no-such-folder/out.dom");
  EXPECT_EQ(capture.str(),
            "Domain data: expected the header line and the script file name, but the file ends\n");
  EXPECT_FALSE(std::filesystem::exists("no-such-folder"));
}

// The reader's stop line names the line of the file and the word it could
// not read there, or says that the file ends; records count from 1.
TEST(DomainFiles, ReaderStopsWithLineAndWord) {
  write_file("plant.scr", "EXIT\n");
  const std::string head = "0 CShiftSchedulingDomain 1\nplant.scr\nLengthOfCycle 1\n/* #: 2 */\n";
  const std::string long_word(60, 'x');
  const struct {
    std::string after_head;
    std::string problem;
  } cases[] = {
      // A word where a number belongs: the stream stands at it.
      {"0 CGroup 1\nTeam0 five\n", "line 6: expected group record 1, found 'five'"},
      // A number too large for its field is read whole before it fails.
      {"0 CGroup 1\nTeam0 5\n0 CGroup 1\nTeam1 99999999999999999999\n",
       "line 8: expected group record 2, found '99999999999999999999'"},
      // Letters glued to a number: the number is read, the letters are the fault.
      {"0 CGroup 1\nTeam0 5abc\n", "line 6: expected group record 2, found 'abc'"},
      {"0 CGroup 1\nTeam0 5\n", "expected group record 2, but the file ends"},
      {"0 CGroup 1\nTeam0 " + long_word + "\n",
       "line 6: expected group record 1, found '" + long_word.substr(0, 40) + "...'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after_head);
    CShiftSchedulingDomain domain;
    std::ostringstream capture;
    domain.SetOutput(capture, capture);
    std::istringstream in(head + c.after_head);
    domain.Read(in);
    EXPECT_EQ(capture.str(), "Domain data: " + c.problem + "\n");
  }
}

// Files are written in place over what they held: the domain data file and
// the variables file every evaluation writes end holding exactly the text,
// whether the old file was longer, shorter, alike, one byte shorter or missing,
// changed in place or replaced by another file under its name since the last
// write (the variables file stays open from one evaluation to the next).
TEST(DomainFiles, WritingReplacesTheWholeFile) {
  CShiftSchedulingDomain read;
  std::istringstream in("0 CShiftSchedulingDomain 1\nplant.scr\n1\n");
  read.Read(in);
  std::ostringstream domainText;
  read.Write(static_cast<std::ostream&>(domainText));
  domain_test::TestDomain evaluated(1, {0, 7.123456f, 1234567}, {"1200000", "0022000"});
  TVarlist vars;
  evaluated.InitializeVariables(&vars);
  std::ostringstream varsText;
  vars.write(varsText);
  const struct {
    const char* file;
    std::string text;
    std::function<void()> write;
  } writers[] = {
      {"replace.dom", domainText.str(), [&read] { read.Write(std::string("replace.dom")); }},
      {"test2.dat", varsText.str(), [&evaluated] { evaluated.Evaluate(); }},
  };
  for (const auto& w : writers) {
    ASSERT_GT(w.text.size(), 10u);
    for (const char* change : {"removed", "in place", "replaced", "renamed"}) {
      for (const std::string& old :
           {std::string(), std::string(w.text.size() * 3, 'x'), std::string("short"), w.text,
            std::string(w.text.size() - 1, 'y'), std::string("-")}) {
        SCOPED_TRACE(std::string(w.file) + " held " + std::to_string(old.size()) + " bytes, " +
                     change);
        const std::string_view how = change;
        if (how == "removed") std::filesystem::remove(w.file);
        // A file the user renamed keeps what it holds; the name gets the text.
        if (how == "renamed") {
          std::filesystem::rename(w.file, "kept.txt");
          write_file("kept.txt", "kept");
        }
        if (old != "-") write_file(how == "replaced" ? "other.txt" : w.file, old);
        if (how == "replaced" && old != "-") std::filesystem::rename("other.txt", w.file);
        w.write();
        EXPECT_EQ(read_file(w.file), w.text);
        if (how == "renamed") {
          EXPECT_EQ(read_file("kept.txt"), "kept");
        }
      }
    }
  }
}

// The buffer holds 65534 characters and its terminator; a longer text is
// refused as a whole and the earlier text stays.
TEST(DomainFiles, ScriptTextFitsTheBufferOrIsRefused) {
  const std::string fits(CDomainInstance::kStaticDataChars, 'a');
  const std::string tooLong(fits.size() + 1, 'b');
  const std::string longFile = "long.scr", scriptText = "PRINT \"x\"\r\n\t/* keep  layout */\n";
  write_file(longFile, tooLong);
  write_file("script.scr", scriptText);
  CShiftSchedulingDomain domain;
  std::ostringstream capture;
  domain.SetOutput(capture, capture);
  EXPECT_TRUE(domain.SetStaticData(fits));
  EXPECT_FALSE(domain.SetStaticData(tooLong));
  EXPECT_EQ(domain.GetStaticData(), fits);
  domain.SetStaticDataFileName(longFile);
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), fits);
  domain.SetStaticDataFileName("script.scr");
  EXPECT_TRUE(domain.ReadStaticData());
  domain.SetStaticDataFileName("missing.scr");
  EXPECT_FALSE(domain.ReadStaticData());
  EXPECT_EQ(domain.GetStaticData(), scriptText);
  EXPECT_EQ(capture.str(),
            "CDomainInstance: static data text holds more than 65534 characters\n"
            "CDomainInstance: static data file " +
                longFile +
                " holds more than 65534 characters\n"
                "CDomainInstance: couldn't find static data file\n");
}

// A schedule may hold as many cells (groups × days) as a script run may hold
// variables, since every evaluation exports each cell as one: one week more
// than the limit allows is refused before the rows are read.
TEST(DomainFiles, SchedulesBeyondTheCellLimitAreRefused) {
  write_file("plant.scr", "EXIT\n");
  const auto read = [](int groups, int weeks) {
    std::ostringstream text;
    text << "0 CShiftSchedulingDomain 1\nplant.scr\nLengthOfCycle " << weeks << "\n/* #: " << groups
         << " */\n";
    for (int g = 0; g < groups; ++g) text << "0 CGroup 1\nTeam" << g << " 1\n";
    text << "/* #: 1 */\n0 CShift 1\nOff 0 0\n/* #: 7 */\n";
    for (int day = 0; day < 7; ++day) text << "/* #: 0 */\n";
    text << "/* #: " << groups << " */\n";
    CShiftSchedulingDomain domain;
    std::ostringstream capture;
    domain.SetOutput(capture, capture);
    std::istringstream in(text.str());
    domain.Read(in);
    return capture.str();
  };
  const std::size_t limit = script_limits::kMaxVariables;
  const int weeks = static_cast<int>(limit / 7);  // one group: the most weeks allowed
  EXPECT_EQ(read(1, weeks),
            "Domain data: expected the number of entries of schedule row 1, but the file ends\n");
  EXPECT_EQ(read(1, weeks + 1), "Domain data: a schedule of 1 x " + std::to_string(7 * weeks + 7) +
                                    " cells (groups x days) is larger than the " +
                                    std::to_string(limit) + " cells a domain may hold\n");
}

// The plan test, on a one-week plan for six groups that meets every rule:
// shift 0 twice and shift 1 five times per group, one group off on Monday
// to Wednesday, a pair off on Thursday and on Friday.
TEST(DomainPlan, CheckPlanTestsCountsCoverAndPairs) {
  const CIntMatrix valid = {
      {1, 1, 0, 0, 1, 1, 1}, {1, 1, 1, 0, 1, 0, 1}, {1, 1, 1, 1, 0, 0, 1},
      {1, 1, 1, 1, 0, 0, 1}, {0, 1, 1, 1, 1, 0, 1}, {1, 0, 1, 1, 1, 0, 1},
  };
  domain_test::TestDomain domain(1, {0, 8}, std::vector<std::string>(6, "0000000"));
  domain.GetShifts()[0].SetShiftsRequired(2);
  domain.GetShifts()[1].SetShiftsRequired(5);
  struct Change {
    std::size_t group, day;
    int entry;
  };
  const auto changed = [&valid](std::initializer_list<Change> changes) {
    CIntMatrix schedule = valid;
    for (const Change& c : changes) schedule[c.group][c.day] = c.entry;
    return schedule;
  };
  CIntMatrix rowShort = valid;
  rowShort[5].pop_back();
  const std::pair<const char*, CIntMatrix> failing[] = {
      {"shift worked too often", changed({{0, 5, 0}})},
      {"Monday uncovered", changed({{4, 0, 1}, {4, 6, 0}})},
      // Groups 0 and 2 are off on Thursday: counts and cover hold, pairs do not.
      {"pair split", changed({{1, 3, 1}, {1, 6, 0}, {2, 3, 0}, {2, 5, 1}})},
      {"unknown shift", changed({{3, 6, 9}})},
      {"negative shift", changed({{5, 0, -1}})},
      {"row short", rowShort},
      {"row missing", CIntMatrix(valid.begin(), valid.end() - 1)},
  };
  domain.SetSchedule(valid);
  EXPECT_TRUE(domain.CheckPlan());
  for (const auto& [label, schedule] : failing) {
    domain.SetSchedule(schedule);
    EXPECT_FALSE(domain.CheckPlan()) << label;
  }
}

}  // namespace
