// Tests of the fuzzy statements: every stopping error, parameter sets and
// fuzzy variables with their store twins, rule generation from a rule table,
// comparisons, the operator set, the file transfers, and entry searches in
// rule tables.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "inter_fuzzy_table.h"
#include "tree_run.h"

namespace {

const std::string kP = parameter_set("p", "0 10 5", "low high");
const std::string kQ = parameter_set("q", "0 10 5", "low high");

void write_error_table() {
  write_file("err.tab", "CONCAT p p p AND low low low\nCOMPARE p p = low low high high\n");
}

TEST(FuzzyStatements, EveryStoppingErrorEndsTheRunWithItsMessage) {
  write_error_table();
  const std::string table = "TABLE err.tab ";
  // Errors that need no rule table are replayed from tests/script/cases.
  const std::pair<std::string, std::string> cases[] = {
      {table + "FUZZYCONCAT c = a XOR b",
       "fuzzy operator [AND|OR] expected in FUZZYCONCAT statement!"},
      {table + kP + "FUZZYVAR a p FUZZYVAR c p FUZZYCONCAT c = a AND b",
       "unknown FUZZY VARIABLE b!"},
      {table + kP + kQ + "FUZZYVAR a p FUZZYVAR b q FUZZYVAR c p FUZZYCONCAT c = a AND b",
       "no entry in TABLE for FUZZYCONCAT c a AND b!"},
      {table + kP + "FUZZYVAR a p DELETE RULESET " + kP +
           "FUZZYVAR b p FUZZYVAR c p FUZZYCONCAT c = a AND b",
       "FUZZY VARIABLE a not in RuleSet for FUZZYCONCAT c!"},
      {table + kP + "FUZZYVAR c p DELETE RULESET " + kP +
           "FUZZYVAR a p FUZZYVAR b p FUZZYCONCAT c = a AND b",
       "FUZZY VARIABLE c no longer in RuleSet for FUZZYCONCAT c!"},
      {table + "FUZZYCOMPARE c = x ! 3",
       "compare operator [=|#|<|>] expected in FUZZYCOMPARE statement!"},
      {table + kP + "FUZZYVAR c p FUZZYCOMPARE c = x = 3", "unknown (FUZZY) VARIABLE x!"},
      {table + kP + "FUZZYVAR x p FUZZYCOMPARE c = x = 3", "unknown FUZZY VARIABLE c!"},
      {table + kP + kQ + "FUZZYVAR x q FUZZYVAR c p FUZZYCOMPARE c = x = 3",
       "no entry in TABLE for FUZZYCOMPARE c x = 3!"},
      {table + kP + "FUZZYVAR x p FUZZYVAR c p DELETE RULESET FUZZYCOMPARE c = x = 3",
       "unknown (FUZZY) VARIABLE x!"},
      {table + kP + "FUZZYVAR c p DELETE RULESET " + kP + "FUZZYVAR x p FUZZYCOMPARE c = x = 3",
       "unknown (FUZZY) VARIABLE c!"},
  };
  for (const auto& [script, message] : cases) {
    const ScriptRun run = run_tree_script(script + " PRINT \"after\"");
    EXPECT_EQ(run.out, "\nError: " + message + "\n") << script;
    EXPECT_EQ(run.tree, nullptr);
  }
}

TEST(FuzzyStatements, ParameterSetsAreExportedByNameAndReadBack) {
  const mode_t mask = ::umask(077);
  write_file("ps.txt", "old");
  ::chmod("ps.txt", 0600);
  run_tree_script(kP + parameter_set("other", "0 1 0.5", "a b c") +
                  parameter_set("p", "-1 1 0", "x y", "0.5 0 1") +
                  "EXPORT PARAMETERSET p ps.txt EXPORT PSLIST list.txt");
  ::umask(mask);
  EXPECT_EQ(read_file("ps.txt"),
            "p\n0 10 5 1 1 1\n/* #: 2 */ blue red \n/* #: 2 */ low high \n\n"
            "p\n-1 1 0 0.5 0 1\n/* #: 2 */ blue red \n/* #: 2 */ x y \n\n");
  for (const char* file : {"ps.txt", "list.txt"}) {
    struct stat info {};
    ASSERT_EQ(::stat(file, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0664u) << file;
  }
  run_tree_script("IMPORT PSLIST list.txt EXPORT PSLIST list2.txt");
  EXPECT_EQ(read_file("list2.txt"), read_file("list.txt"));
  // A parameter-set file holds one set; the first of the two is read.
  run_tree_script("IMPORT PARAMETERSET ps.txt EXPORT PSLIST one.txt");
  EXPECT_EQ(read_file("one.txt"),
            "/* #: 1 */ \n\np\n0 10 5 1 1 1\n/* #: 2 */ blue red \n/* #: 2 */ low high \n\n\n");
}

// What the store twin prints is replayed from tests/script/cases (fuzzyvar_*);
// its file line keeps the set's name as formula.
TEST(FuzzyStatements, FuzzyVariablesKeepTheirStoreTwinInStep) {
  run_tree_script(kP + "FUZZYVAR x p SET x = 4 LET y = 0 SET y = x EXPORT VARIABLES v.txt");
  EXPECT_EQ(read_file("v.txt"), "/* #: 2 */ \nx p 4\ny p 4");
  EXPECT_EQ(run_tree_script(kP + "FUZZYVAR x p SET x = 20").err, "Crisp input out of range!\n");
}

// Rule lines of the rule set a script exports last.
std::vector<std::string> exported_rules(const std::string& script) {
  run_tree_script(script + " EXPORT RULESET rules.txt");
  return lines_starting("rules.txt", "IF ");
}

TEST(FuzzyStatements, ConcatenationRulesComeFromTheMatchingEntryAndSection) {
  // The first line holds no entry: after the mismatching inner CONCAT the
  // search goes on behind it. The third entry matches; its AND section is used.
  write_file("concat.tab",
             "CONCAT p CONCAT p p p AND low low high\n"
             "CONCAT p p q AND low low low\n"
             "CONCAT p p p OR high high low AND low low high low high high OR x x x\n");
  const std::string setup = "TABLE concat.tab " + kP + "FUZZYVAR a p FUZZYVAR b p FUZZYVAR c p ";
  EXPECT_EQ(exported_rules(setup + "FUZZYCONCAT c = a AND b"),
            (std::vector<std::string>{
                "IF /* #: 2 */ a IS low AND b IS low THEN c IS high WITH CERTAINTY 1.",
                "IF /* #: 2 */ a IS low AND b IS high THEN c IS high WITH CERTAINTY 1.",
            }));
  EXPECT_EQ(exported_rules(setup + "FUZZYCONCAT c = a OR b"),
            (std::vector<std::string>{
                "IF /* #: 2 */ a IS high OR b IS high THEN c IS low WITH CERTAINTY 1.",
            }));
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

TEST(FuzzyStatements, ComparisonsCarryTheShiftedDifference) {
  write_file("compare.tab", "COMPARE w r = low bad high good # low good high bad");
  const std::string setup = "TABLE compare.tab " + parameter_set("w", "-20 20 5", "low high") +
                            parameter_set("r", "0 1 0.5", "bad good") +
                            "FUZZYVAR x w FUZZYVAR ok r ";
  // clang-format off
  struct Case { const char* x; const char* c; const char* shifted; } cases[] = {
      {"8", "6", "7"}, {"-8", "-6", "7"}, {"8", "-6", "19"}, {"0", "6", "-1"}, {"-8", "6", "-9"}};
  // clang-format on
  for (const Case& c : cases) {
    const std::string script =
        setup + "SET x = " + c.x + " LET t = " + c.c + " FUZZYCOMPARE ok = x = t MEMDUMP ok:x=";
    const ScriptRun run = run_tree_script(script);
    EXPECT_NE(run.out.find("  cv_name: ok:x=\ncrisp_value: " + std::string(c.shifted) + "\t"),
              std::string::npos)
        << script << run.out;
  }
  // Each comparison variable gets the rules of its operator's section.
  EXPECT_EQ(exported_rules(setup + "SET x = 1 FUZZYCOMPARE ok = x = 0 FUZZYCOMPARE ok = x # 0 "
                                   "FUZZYCOMPARE ok = x = 2"),
            (std::vector<std::string>{
                "IF /* #: 1 */ ok:x= IS low THEN ok IS bad WITH CERTAINTY 1.",
                "IF /* #: 1 */ ok:x= IS high THEN ok IS good WITH CERTAINTY 1.",
                "IF /* #: 1 */ ok:x# IS low THEN ok IS good WITH CERTAINTY 1.",
                "IF /* #: 1 */ ok:x# IS high THEN ok IS bad WITH CERTAINTY 1.",
            }));
  // A composed name too long for a fuzzy variable is cut to fit.
  const std::string lng(38, 'k');
  const ScriptRun run = run_tree_script(setup + "FUZZYVAR " + lng + " r FUZZYCOMPARE " + lng +
                                        " = x = 0 MEMDUMP " + lng + ":x=");
  EXPECT_NE(run.out.find("  cv_name: " + lng + ":\n"), std::string::npos) << run.out;
}

TEST(FuzzyStatements, OperatorSetWordsChooseTheOperators) {
  // The number words count like every other word: SET's message names its token.
  const ScriptRun run = run_tree_script(
      "OPERATORSET a: MAXIMUM b: PRODUCT c: FUZZY_OR d: ASS_COMP_AND e: FUZZY_AND "
      "f: ASS_COMP_OR g: MOM h: 0.25 i: 7 . EXPORT RULESET ops.txt SET x 1");
  EXPECT_EQ(run.out, "\nError: '= or :' missing in SET x =|: 1 at token #26\n");
  EXPECT_NE(read_file("ops.txt").find("maximum no_fop fuzzy_or ass_comp_and fuzzy_and "
                                      "ass_comp_or no_dfop 0.25 7\n"),
            std::string::npos)
      << read_file("ops.txt");
}

TEST(FuzzyStatements, FilesRoundTripThroughExportAndImport) {
  write_file("rt.tab", "CONCAT p p p AND low low high high high low");
  run_tree_script("TABLE rt.tab " + kP +
                  "FUZZYVAR a p FUZZYVAR b p FUZZYVAR c p FUZZYCONCAT c = a AND b "
                  "EXPORT RULESET rs1.txt");
  run_tree_script("IMPORT RULESET rs1.txt EXPORT RULESET rs2.txt");
  EXPECT_EQ(read_file("rs2.txt"), read_file("rs1.txt"));
  EXPECT_EQ(lines_starting("rs2.txt", "IF ").size(), 2u);

  // Imported variables get their formulas expanded by the index substitution.
  write_file("in.vars", "/* #: 3 */ \nv[0] 1 1\nv[1] 2 2\ns SUM{v[i]} 0");
  run_tree_script("IMPORT VARIABLES in.vars IMPORT VARIABLES none.vars EXPORT VARIABLES out.vars");
  EXPECT_EQ(read_file("out.vars"), "/* #: 3 */ \nv[0] 1 1\nv[1] 2 2\ns SUM{v[0],v[1]} 0");

  // Unknown kinds do nothing but take their word.
  std::filesystem::remove("f.txt");
  EXPECT_EQ(run_tree_script("EXPORT FOO f.txt IMPORT FOO f.txt EXPORT EVALTREE f.txt PRINT CR").out,
            "\n");
  EXPECT_FALSE(std::filesystem::exists("f.txt"));
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
  for (int round = 0; round < 3; ++round) {
    for (const TSearch& s : searches) {
      TTableReader reader(TRuleTable::load("entries.tab"));
      EXPECT_EQ(s.find(reader), s.found) << s.what << ", round " << round;
      EXPECT_EQ(reader.next(), s.next) << s.what << ", round " << round;
    }
  }
}

TEST(RuleTable, SearchesFromInsideTheTableStartThere) {
  write_file("inside.tab", "COMPARE a r = x y COMPARE a r = v w");
  TTableReader first(TRuleTable::load("inside.tab"));
  ASSERT_TRUE(first.find_entry("COMPARE", {"a", "r"}));
  ASSERT_TRUE(first.find_entry("COMPARE", {"a", "r"}));
  EXPECT_EQ(first.next(), "=");
  EXPECT_EQ(first.next(), "v");
}

}  // namespace
