// Tests of the fuzzy statements that script cases cannot carry: permissions
// of exported files, the error stream, rule tables changed between runs, and
// entry searches in rule tables. What the statements print and write is
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

TEST(FuzzyStatements, OutOfRangeInputsAreReportedOnTheErrorStream) {
  EXPECT_EQ(run_tree_script(kP + "FUZZYVAR x p SET x = 20").err, "Crisp input out of range!\n");
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

// One comparison met again after what it depends on changed answers as a
// comparison met for the first time would: its names by their indices, the
// variables made anew, the rule table and the sets the variables stand for.
TEST(FuzzyStatements, ComparisonsMetAgainSeeWhatChanged) {
  write_file("place.tab", "COMPARE w r = low bad high good # low good high bad");
  write_file("other.tab", "COMPARE r r = low bad");
  const std::string head =
      "TABLE place.tab "
      "PARAMETERSET n: w l: -20 u: 20 m: 5 d: 1 g: 1 i: 1 t: low high END "
      "PARAMETERSET n: r l: 0 u: 1 m: 0.5 d: 1 g: 1 i: 1 t: bad good END "
      "FUZZYVAR x w FUZZYVAR ok r SET x = 2 FUZZYVAR x[0] w FUZZYVAR x[1] w SET x[0] = 2 "
      "SET x[1] = 9 FUZZYVAR ok[0] r FUZZYVAR ok[1] r ";
  const std::string compare =
      " EXIT PROCEDURE compare FUZZYCOMPARE ok = x = 0 EVAL ok PRINT ok PRINT CR RETURN";
  const std::string first = "0.533926\n";
  const std::string error = "\nError: no entry in TABLE for FUZZYCOMPARE ok x = 0!\n";
  struct Case {
    const char* what;
    std::string script;
    std::string out;
  } cases[] = {
      {"indexed variable",
       "FOR i = 0 TO 1 STEP 1 FUZZYCOMPARE ok = x[i] = 0 EVAL ok PRINT ok PRINT CR NEXT i",
       "0.533926\n0.616167\n"},
      {"indexed constraint",
       "FOR i = 0 TO 1 STEP 1 FUZZYCOMPARE ok[i] = x = i EVAL ok[i] PRINT ok[i] PRINT CR NEXT i",
       "0.533926\n0.516741\n"},
      {"variable made anew",
       "CALL compare DELETE x FUZZYVAR y w FUZZYVAR x w SET x = 3 CALL compare" + compare,
       "0.533926\n0.552\n"},
      {"other table", "CALL compare TABLE other.tab CALL compare" + compare, first + error},
      {"compared set", "CALL compare LET x = 3 CALL compare" + compare, first + error},
      {"constraint set", "CALL compare LET ok = 1 CALL compare" + compare, first + error},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_tree_script(head + c.script).out, c.out) << c.what;
  }
}

// SET leaves the formula of the variable it sets as the C text it was: an
// imported formula with a NUL in it ends there afterwards.
TEST(FuzzyStatements, SetLeavesTheFormulaAsCText) {
  using namespace std::literals;
  write_file("nul.tab", "COMPARE p p = low low");
  write_file("nul.vars", "/* #: 1 */\nok:x= a\0b 0\n"s);
  run_tree_script("TABLE nul.tab " + kP + "FUZZYVAR x p FUZZYVAR ok p FUZZYCOMPARE ok = x = 0 " +
                  "IMPORT VARIABLES nul.vars SET ok:x= = 3 EXPORT VARIABLES out.vars");
  EXPECT_EQ(lines_starting("out.vars", "ok:x="), std::vector<std::string>{"ok:x= a 3"});
}

// Tests of entry searches in rule tables: a search from the start gives the
// same answer and reader position every time, also when the answer comes
// from what an earlier search found. (A changed file is searched anew: see
// RuleTablesAreReadAgainWhenTheFileChanges.)

TEST(RuleTable, RepeatedSearchesFindWhatTheFirstFound) {
  write_file("entries.tab",
             "COMPARE a r = low bad high good\n"
             "COMPARE a COMPARE b r = x y\n"
             "CONCAT r r r AND bad bad bad\n"
             "COMPARE z r");
  using R = TTableReader;
  // The search, whether it finds an entry, and the word after the entry.
  // clang-format off
  struct TSearch { const char* what; bool (*find)(R&); bool found; const char* next; };
  const TSearch searches[] = {
      {"first entry", [](R& r) { return r.find_entry("COMPARE", {"a", "r"}); }, true, "="},
      {"after a broken match", [](R& r) { return r.find_entry("COMPARE", {"b", "r"}); }, true, "="},
      {"three names", [](R& r) { return r.find_entry("CONCAT", {"r", "r", "r"}); }, true, "AND"},
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

// Words may hold any byte but white space; lists of words that read alike
// when run together are still different entries.
TEST(RuleTable, EntriesAreToldApartByTheirWordsNotTheirJoinedText) {
  using namespace std::literals;
  write_file("joined.tab", "COMPARE a\0b c = x COMPARE a b\0c = y"s);
  TRuleTableCache tables;
  for (int round = 0; round < 2; ++round) {
    TTableReader first(tables.load("joined.tab"));
    ASSERT_TRUE(first.find_entry("COMPARE", {"a\0b"sv, "c"}));
    EXPECT_EQ(first.next(), "=");
    EXPECT_EQ(first.next(), "x");
    TTableReader second(tables.load("joined.tab"));
    ASSERT_TRUE(second.find_entry("COMPARE", {"a", "b\0c"sv}));
    EXPECT_EQ(second.next(), "=");
    EXPECT_EQ(second.next(), "y");
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

TEST(RuleTable, SearchesFromInsideTheTableStartThere) {
  write_file("inside.tab", "COMPARE a r = x y COMPARE a r = v w");
  TRuleTableCache tables;
  TTableReader first(tables.load("inside.tab"));
  ASSERT_TRUE(first.find_entry("COMPARE", {"a", "r"}));
  ASSERT_TRUE(first.find_entry("COMPARE", {"a", "r"}));
  EXPECT_EQ(first.next(), "=");
  EXPECT_EQ(first.next(), "v");
}

}  // namespace
