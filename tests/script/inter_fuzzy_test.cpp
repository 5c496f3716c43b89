// Tests of the fuzzy statements that script cases cannot carry: permissions
// of exported files, rule tables changed between runs, and entry searches in
// rule tables. What the statements print and write is
// replayed from tests/script/cases (fuzzy_*, fuzzyvar_*).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "inter_fuzzy_table.h"
#include "tree_run.h"

namespace {

const std::string kP = "PARAMETERSET n: p l: 0 u: 10 m: 5 d: 1 g: 1 i: 1 t: low high END ";

// Exported files replace what was there and are readable by the group
// whatever the umask.
TEST(FuzzyStatements, ExportedFilesAreReplacedWithFixedPermissions) {
  const mode_t mask = ::umask(077);
  write_file("ps.txt", "old");
  ::chmod("ps.txt", 0600);
  run_tree_script(kP + "EXPORT PARAMETERSET p ps.txt EXPORT PSLIST list.txt " +
                  "EVALTREE p t END EXPORT EVALTREE tree.txt");
  ::umask(mask);
  EXPECT_EQ(read_file("ps.txt"), "p\n0 10 5 1 1 1\n/* #: 2 */ blue red \n/* #: 2 */ low high \n\n");
  for (const char* file : {"ps.txt", "list.txt", "tree.txt"}) {
    struct stat info {};
    ASSERT_EQ(::stat(file, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0664u) << file;
  }
}

// A PARAMETERSET met again in a later run of the same text takes over what
// the first reading gave, and the reader and the word count go on from the
// same place: a number read from inside a word (1e1m:), the set exported, and
// the word count an error after it reports, stay the same run after run.
TEST(FuzzyStatements, ParameterSetsReadTheSameInEveryRun) {
  const std::string script =
      "PARAMETERSET n: q l: -1 u: 1e1m: 2 d: 1 g: 1 i: 0.5 t: a b END "
      "EXPORT PARAMETERSET q q.txt NEXT i";
  for (int run = 0; run < 3; ++run) {
    EXPECT_EQ(run_tree_script(script).out, "\nError: NEXT without FOR at token #25\n") << run;
    EXPECT_EQ(read_file("q.txt"), "q\n-1 10 2 1 1 0.5\n/* #: 2 */ blue red \n/* #: 2 */ a b \n\n")
        << run;
  }
}

// Rule lines of the rule set a script exports last.
std::vector<std::string> exported_rules(const std::string& script) {
  run_tree_script(script + " EXPORT RULESET rules.txt");
  return lines_starting("rules.txt", "IF ");
}

TEST(FuzzyStatements, RuleTablesAreReadAgainWhenTheFileChanges) {
  const std::string script = "TABLE change.tab " + kP + "FUZZYVAR a p FUZZYVAR b p FUZZYVAR c p " +
                             "FUZZYCONCAT c = a AND b";
  write_file("change.tab", "CONCAT p p p AND low low high");
  EXPECT_EQ(exported_rules(script).size(), 1u);
  write_file("change.tab", "CONCAT p p p AND low low high high high high");
  EXPECT_EQ(exported_rules(script).size(), 2u);
  std::filesystem::remove("change.tab");
  EXPECT_EQ(run_tree_script(script).out, "\nError: Unknown TABLE change.tab!\n");
}

// Tests of entry searches in rule tables: a search from the start gives the
// same answer and reader position every time, also when the answer comes
// from what an earlier search found; a search from inside the table starts
// there. Words may hold any byte but white space: lists of words that read
// alike when run together are still different entries. (A changed file is
// searched anew: see RuleTablesAreReadAgainWhenTheFileChanges.)
TEST(RuleTable, RepeatedSearchesFindWhatTheFirstFound) {
  using namespace std::literals;
  write_file("entries.tab",
             "COMPARE a r = low bad high good\n"
             "COMPARE a COMPARE b r = x y\n"
             "CONCAT r r r AND bad bad bad\n"
             "COMPARE a r = v w COMPARE a\0b c = x COMPARE a b\0c = y\n"
             "COMPARE z r"s);
  using R = TTableReader;
  // The search, whether it finds an entry, and the word after the entry.
  // clang-format off
  struct TSearch { const char* what; bool (*find)(R&); bool found; const char* next; };
  const TSearch searches[] = {
      {"first entry", [](R& r) { return r.find_entry("COMPARE", {"a", "r"}); }, true, "="},
      {"after a broken match", [](R& r) { return r.find_entry("COMPARE", {"b", "r"}); }, true, "="},
      {"three names", [](R& r) { return r.find_entry("CONCAT", {"r", "r", "r"}); }, true, "AND"},
      {"from inside", [](R& r) { return r.find_entry("COMPARE", {"a", "r"}) &&
                                        r.find_entry("COMPARE", {"a", "r"}) && r.next() == "="; },
       true, "v"},
      {"null in the first word",
       [](R& r) { return r.find_entry("COMPARE", {"a\0b"sv, "c"}) && r.next() == "="; }, true, "x"},
      {"null in the second word",
       [](R& r) { return r.find_entry("COMPARE", {"a", "b\0c"sv}) && r.next() == "="; }, true, "y"},
      {"entry at the end", [](R& r) { return r.find_entry("COMPARE", {"z", "r"}); }, true, ""},
      {"missing entry", [](R& r) { return r.find_entry("COMPARE", {"q", "r"}); }, false, ""}};
  // clang-format on
  // The same with the table and its searches kept, as the engine keeps
  // them, and read anew every time.
  for (const bool caching : {true, false}) {
    TRuleTableCache tables;
    tables.caching = caching;
    for (int round = 0; round < 3; ++round) {
      for (const TSearch& s : searches) {
        TTableReader reader(tables.load("entries.tab"));
        EXPECT_EQ(s.find(reader), s.found) << s.what << ", round " << round << ", " << caching;
        EXPECT_EQ(reader.next(), s.next) << s.what << ", round " << round << ", " << caching;
      }
    }
  }
}

// More entries than the table keeps at hand, asked for in turn.
TEST(RuleTable, ManyEntriesAskedInTurnKeepTheirAnswers) {
  const std::vector<std::string> names = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j",
                                          "k", "l", "m", "n", "o", "p", "q", "r", "s", "t"};
  std::string text;
  for (const std::string& name : names) text += "COMPARE " + name + " r = " + name + " ";
  write_file("many.tab", text);
  TRuleTableCache tables;
  for (int round = 0; round < 3; ++round) {
    for (const std::string& name : names) {
      TTableReader reader(tables.load("many.tab"));
      ASSERT_TRUE(reader.find_entry("COMPARE", {name, "r"})) << name;
      EXPECT_EQ(reader.next(), "=");
      EXPECT_EQ(reader.next(), name);
    }
    TTableReader reader(tables.load("many.tab"));
    EXPECT_FALSE(reader.find_entry("COMPARE", {"u", "r"}));
  }
}

}  // namespace
