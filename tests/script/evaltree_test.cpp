// Tests of the evaluation tree and its statements: aggregation with the
// combination rules, the constraint list, the stopping errors, and what stays
// usable of a tree after its run. The tree file, the tree variable and
// deleting the tree are replayed from tests/script/cases (evaltree_*).
#include "evaltree.h"

#include <gtest/gtest.h>

#include "tree_run.h"

namespace {

// Ratings on [0, 1] with the terms bad (1 - x) and good (x). Every and-rule
// concludes good and every or-rule bad, so a result combined through the
// and-rules lies above 0.5 and one combined through the or-rules below.
const std::string kSetup =
    "TABLE tree.tab " + parameter_set("r", "0 1 0.5", "bad good") + "FUZZYVAR k r ";

void write_tree_table() {
  write_file("tree.tab",
             "COMPARE r r = bad good\n"
             "CONCAT r r r\n"
             "AND bad bad good bad good good good bad good good good good\n"
             "OR bad bad bad bad good bad good bad bad good good bad\n");
}

class EvalTree : public ::testing::Test {
 protected:
  void SetUp() override { write_tree_table(); }
};

// The crisp value the tree file gives for a branch.
float branch_value(const std::string& file, const std::string& branch) {
  const auto lines = lines_starting(file, "Branch: " + branch + "  Crisp value: ");
  EXPECT_EQ(lines.size(), 1u) << branch;
  return lines.empty() ? -2.0f : std::stof(lines[0].substr(lines[0].rfind(' ') + 1));
}

TEST_F(EvalTree, ResultsCombineThroughTheRulesTheirOperatorsName) {
  struct Case {
    std::string script;
    bool branch_good;  // the branch A ends above 0.5
    bool head_good;
  } cases[] = {
      // The operator word of AGGREGATE chooses the rules of the branch step,
      // the branch's word in EVALTREE those of the head step.
      {"EVALTREE r t A AND END AGGREGATE A AND k p AGGREGATE A OR k p", false, true},
      {"EVALTREE r t A AND END AGGREGATE A AND k p AGGREGATE A AND k p", true, true},
      {"EVALTREE r t A OR END AGGREGATE A AND k p AGGREGATE A AND k p", true, false},
      // A default branch joins the head through the or-rules.
      {"EVALTREE r t END AGGREGATE A AND k p AGGREGATE A AND k p", true, false},
      // The head is folded with every branch in branch order at every step:
      // the last fold is with B, through the or-rules.
      {"EVALTREE r t A AND B OR END AGGREGATE B AND k p AGGREGATE A AND k p", false, false},
  };
  for (const Case& c : cases) {
    const ScriptRun run =
        run_tree_script(kSetup + "SET k = 0.4 " + c.script + " EXPORT EVALTREE comb.txt");
    ASSERT_NE(run.tree, nullptr) << c.script;
    EXPECT_EQ(branch_value("comb.txt", "A") > 0.5f, c.branch_good) << c.script;
    EXPECT_EQ(run.tree->get_score() > 0.5f, c.head_good) << c.script;
    EXPECT_FLOAT_EQ(branch_value("comb.txt", "t"), run.tree->get_score()) << c.script;
  }
}

TEST_F(EvalTree, TheNewerResultIsTheFirstInputOfACombination) {
  // These and-rules conclude the term of their first input.
  write_file("first.tab", "CONCAT r r r AND bad bad bad bad good bad good bad good good good good");
  const ScriptRun run =
      run_tree_script("TABLE first.tab " + parameter_set("r", "0 1 0.5", "bad good") +
                      "FUZZYVAR k r EVALTREE r t A AND END SET k = 0.2 AGGREGATE A AND k p "
                      "SET k = 0.9 AGGREGATE A AND k p EXPORT EVALTREE first.txt");
  ASSERT_NE(run.tree, nullptr);
  // The branch leans towards the new constraint, the head towards its own
  // earlier, worse value.
  const float branch = branch_value("first.txt", "A");
  EXPECT_GT(branch, 0.5f);
  EXPECT_LT(run.tree->get_score(), branch);
}

TEST_F(EvalTree, ConstraintListHoldsEveryAggregationGroupedByBranch) {
  const ScriptRun run = run_tree_script(
      kSetup +
      "EVALTREE r total A AND B OR END LET g = 1 LET w = 2 LET c_diff[1][2] = 32 "
      "LET place = c_diff[g][w] "
      "SET k = 0.3 AGGREGATE A AND k diff[g][w] SET k = 0.6 AGGREGATE B AND k place "
      "SET k = 0.8 AGGREGATE A AND k c_diff[g][w]");
  ASSERT_NE(run.tree, nullptr);
  const ConstraintEvaluations list = run.tree->GetConstraintList();
  ASSERT_EQ(list.size(), 3u);
  struct Expected {
    const char* branch;
    const char* formula;
    float value;
  } expected[] = {{"A", "diff[1][2]", 0.3f}, {"A", "32", 0.8f}, {"B", "c_diff[1][2]", 0.6f}};
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_STREQ(list[i].GetName(), "k");
    EXPECT_STREQ(list[i].GetBranch(), expected[i].branch) << i;
    EXPECT_STREQ(list[i].GetFormula(), expected[i].formula) << i;
    EXPECT_EQ(list[i].GetValue(), expected[i].value) << i;
  }
  // The first aggregation is copied unchanged into its branch and the head.
  const ScriptRun first = run_tree_script(kSetup +
                                          "EVALTREE r t A AND END SET k = 0.3 "
                                          "AGGREGATE A AND k p");
  EXPECT_EQ(first.tree->get_score(), 0.3f);
}

TEST_F(EvalTree, EvalComputesAVariableFromItsRules) {
  const ScriptRun run =
      run_tree_script(kSetup +
                      "FUZZYVAR ok r SET k = 0.5 FUZZYCOMPARE ok = k = 0.5 EVAL ok PRINT ok "
                      "EVALTREE r t A AND END AGGREGATE A AND ok p EVAL k PRINT CR PRINT k");
  ASSERT_NE(run.tree, nullptr);
  const ConstraintEvaluations list = run.tree->GetConstraintList();
  ASSERT_EQ(list.size(), 1u);
  const float value = list[0].GetValue();
  EXPECT_GT(value, 0.0f);
  EXPECT_LT(value, 1.0f);
  std::ostringstream printed;
  printed << value << "\n-1";
  EXPECT_EQ(run.out, printed.str());
  // k is concluded by no rule.
  EXPECT_EQ(run.err, "cv not in RuleSet\n");
}

// EVAL remembers outcomes from run to run; a change of the operators, within
// a run or from one run to the next, is followed.
TEST_F(EvalTree, EvalFollowsTheOperators) {
  const std::string rate = "FUZZYVAR ok r SET k = 0.3 FUZZYCOMPARE ok = k = 0.5 EVAL ok PRINT ok ";
  const std::string by_maximum_certainty =
      "OPERATORSET importance: MINIMUM and: MINIMUM or: MAXIMUM certainty: MAXIMUM "
      "inference: MINIMUM accumulate: MAXIMUM defuzzification: COG gamma: 0.5 accuracy: 10 . ";
  const std::string alone = run_tree_script(kSetup + by_maximum_certainty + rate).out;
  const std::string by_minimum_certainty = run_tree_script(kSetup + rate).out;
  EXPECT_NE(alone, by_minimum_certainty);
  EXPECT_EQ(run_tree_script(kSetup + rate + by_maximum_certainty + "PRINT CR EVAL ok PRINT ok").out,
            by_minimum_certainty + "\n" + alone);
  EXPECT_EQ(run_tree_script(kSetup + by_maximum_certainty + rate).out, alone);
}

TEST_F(EvalTree, StoppingErrorsKeepTheTreeBuiltSoFar) {
  const std::string no_tree = "Your first have to create a EVALTREE before inserting k!";
  // clang-format off
  struct Case { std::string script; std::string message; bool tree; } cases[] = {
      {"AGGREGATE A AND k p", no_tree, false},
      {"EVALTREE r t A AND END AGGREGATE A AND nothing p", "unknown FUZZYVAR nothing!", true},
      {"EVALTREE r t A AND END EVAL nothing", "unknown FUZZYVAR nothing!", true},
      {"EVALTREE zz t A AND END", "Unknown ParameterSet zz!", false}};
  // clang-format on
  for (const Case& c : cases) {
    const ScriptRun run = run_tree_script(kSetup + c.script + " PRINT \"after\"");
    EXPECT_EQ(run.out, "\nError: " + c.message + "\n") << c.script;
    EXPECT_EQ(run.tree != nullptr, c.tree) << c.script;
  }
}

TEST_F(EvalTree, MissingCombinationRulesLeaveResultsUncombined) {
  write_file("nocat.tab", "CONCAT s s s AND bad bad bad");
  const std::string warning =
      "\nWarning: combination rules of EVALTREE t are missing, its results stay uncombined ...\n";
  struct Case {
    std::string before;  // statements before the tree
    std::string after;   // statements between the tree and the aggregations
    std::string out;
  } cases[] = {
      {parameter_set("r", "0 1 0.5", "bad good") + "FUZZYVAR k r", "",
       "\nError: no TABLE defined for generation of rules!\n" + warning},
      {"TABLE nocat.tab " + parameter_set("r", "0 1 0.5", "bad good") + "FUZZYVAR k r", "",
       "\nError: no entry in TABLE for generation of rules!\n" + warning},
      // The tree's link to a replaced rule set lapses.
      {kSetup, "DELETE RULESET " + parameter_set("r", "0 1 0.5", "bad good") + "FUZZYVAR k r",
       warning},
  };
  for (const Case& c : cases) {
    const ScriptRun run =
        run_tree_script(c.before + " EVALTREE r t A AND END " + c.after +
                        " SET k = 0.3 AGGREGATE A AND k p SET k = 0.9 AGGREGATE A AND k p "
                        "AGGREGATE A AND k p");
    EXPECT_EQ(run.out, c.out) << c.before << c.after;
    ASSERT_NE(run.tree, nullptr);
    EXPECT_EQ(run.tree->get_score(), 0.3f);
    EXPECT_EQ(run.tree->GetConstraintList().size(), 3u);
  }
}

TEST_F(EvalTree, TheTreeOutlivesItsRunAndCanBeReplaced) {
  const ScriptRun run = run_tree_script(kSetup +
                                        "EVALTREE r first A AND END EVALTREE r second B AND END "
                                        "SET k = 0.3 AGGREGATE B AND k p");
  ASSERT_NE(run.tree, nullptr);
  EXPECT_STREQ(run.tree->get_name(), "second");
  EXPECT_EQ(run.tree->get_rule_set(), nullptr);
  run.tree->write("after.txt");
  EXPECT_EQ(lines_starting("after.txt", "Branch: ").size(), 2u);
  EXPECT_EQ(run.tree->GetConstraintList().size(), 1u);
}

}  // namespace
