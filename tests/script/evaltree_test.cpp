// Tests of the evaluation tree and its statements that script cases cannot
// carry: the constraint list, the stopping errors, and what stays usable of
// a tree after its run. How results combine, and EVAL following the
// operators from run to run, are replayed from tests/script/cases
// (evaltree_*).
#include "evaltree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tree_run.h"

namespace {

// Ratings on [0, 1] with the terms bad and good, and rules to combine them.
const std::string kSetup =
    "TABLE tree.tab PARAMETERSET n: r l: 0 u: 1 m: 0.5 d: 1 g: 1 i: 1 t: bad good END FUZZYVAR k "
    "r ";

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

// The tree outlives its run; a second EVALTREE replaces the first. A place
// that names a variable stands for the variable's formula, also when its
// text before the '[' is longer than a name, which the cut name then holds.
TEST_F(EvalTree, ConstraintListHoldsEveryAggregationGroupedByBranch) {
  const std::string long_text(85, 'n');
  const ScriptRun run = run_tree_script(
      kSetup +
      "EVALTREE r first C AND END EVALTREE r total A AND B OR END LET g = 1 LET w = 2 "
      "LET c_diff[1][2] = 32 LET place = c_diff[g][w] LET " +
      long_text +
      " = 7 "
      "SET k = 0.3 AGGREGATE A AND k diff[g][w] SET k = 0.6 AGGREGATE B AND k place "
      "SET k = 0.8 AGGREGATE A AND k c_diff[g][w] AGGREGATE A AND k " +
      long_text + "[g]");
  ASSERT_NE(run.tree, nullptr);
  EXPECT_STREQ(run.tree->get_name(), "total");
  EXPECT_EQ(run.tree->get_rule_set(), nullptr);
  run.tree->write("after.txt");
  EXPECT_EQ(lines_starting("after.txt", "Branch: ").size(), 3u);  // the head and A and B
  EXPECT_TRUE(lines_starting("after.txt", "Branch: C").empty());
  const ConstraintEvaluations list = run.tree->GetConstraintList();
  ASSERT_EQ(list.size(), 4u);
  // clang-format off
  struct Expected { const char* branch; const char* formula; float value; } expected[] = {
      {"A", "diff[1][2]", 0.3f}, {"A", "32", 0.8f}, {"A", "7", 0.8f},
      {"B", "c_diff[1][2]", 0.6f}};
  // clang-format on
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_STREQ(list[i].GetName(), "k");
    EXPECT_STREQ(list[i].GetBranch(), expected[i].branch) << i;
    EXPECT_STREQ(list[i].GetFormula(), expected[i].formula) << i;
    EXPECT_EQ(list[i].GetValue(), expected[i].value) << i;
  }
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

// Operands the end of the text cuts off are empty words, in every run of
// the text: the second run reads the words its statements kept.
TEST_F(EvalTree, OperandsCutByTheEndReadTheSameInEveryRun) {
  const std::string before =
      kSetup + "EVALTREE r t A AND END SET k = 0.3 AGGREGATE A AND k p SET k = 0.7 ";
  const std::string unknown = "\nError: unknown FUZZYVAR !\n";
  // clang-format off
  struct Case { const char* script; std::string out; std::vector<std::string> places; } cases[] = {
      {"AGGREGATE A AND k", "", {"p", ""}},
      {"AGGREGATE A AND k ", "", {"p", ""}},
      {"AGGREGATE A AND", unknown, {"p"}},
      {"AGGREGATE", unknown, {"p"}},
      {"EVAL", unknown, {"p"}}};
  // clang-format on
  for (const Case& c : cases) {
    for (int run_number = 0; run_number < 2; ++run_number) {
      const ScriptRun run = run_tree_script(before + c.script);
      EXPECT_EQ(run.out, c.out) << c.script << ", run " << run_number;
      ASSERT_NE(run.tree, nullptr) << c.script;
      const ConstraintEvaluations list = run.tree->GetConstraintList();
      ASSERT_EQ(list.size(), c.places.size()) << c.script << ", run " << run_number;
      for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_STREQ(list[i].GetFormula(), c.places[i].c_str())
            << c.script << ", run " << run_number;
      }
    }
  }
}

// A tree's parameter set: ratings with the terms bad and good.
class EvalTreeScores : public ::testing::Test {
 protected:
  ParameterSet ratings = rating_set({"bad", "good"});
  ParameterSet* const ps = &ratings;
};

// A place is recorded cut to a formula's size; the constraint list reads
// names and places as C strings (up to a null character), the tree file
// writes them whole.
TEST_F(EvalTreeScores, PlacesAreCutAndReadAsTheirTextsAllow) {
  const std::string long_place(200, 'p');
  const std::string with_null("w[1]\0[2]", 9);
  // clang-format off
  struct Case { std::string place; std::string listed; std::string written; } cases[] = {
      {"w[1][2]", "w[1][2]", "w[1][2]"},
      {long_place, long_place.substr(0, 127), long_place.substr(0, 127)},
      {with_null, "w[1]", with_null}};
  // clang-format on
  for (const Case& c : cases) {
    TVarlist branches;
    branches.insert("A", "AND", 0);
    const auto tree = std::make_unique<TEvalTree>("total", ps, nullptr, &branches);
    CombinedVariable k(ps, "k");
    k.set_value(0.3f);
    tree->insert(&k, "A", c.place, "AND");
    const ConstraintEvaluations list = tree->GetConstraintList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].GetFormula(), c.listed);
    tree->write("places.txt");
    EXPECT_NE(read_file("places.txt").find("\nk " + c.written + " 0.3\n"), std::string::npos);
  }
}

// clean_up empties the tree and hands its score storage back to the memory
// it came from, once: the next tree takes it, and destroying the emptied tree
// gives nothing back a second time.
TEST_F(EvalTreeScores, CleanUpEmptiesTheTreeAndReturnsItsStorageOnce) {
  TVarlist branches;
  branches.insert("A", "AND", 0);
  TTreeMemory memory;
  CombinedVariable k(ps, "k");
  k.set_value(0.3f);
  auto tree = std::make_unique<TEvalTree>("total", ps, nullptr, &branches, &memory);
  tree->insert(&k, "A", "w[1][2]", "AND");
  ASSERT_EQ(tree->GetConstraintList().size(), 1u);
  tree->clean_up();
  EXPECT_STREQ(tree->get_name(), "empty");
  EXPECT_FLOAT_EQ(tree->get_score(), -1.0f);
  EXPECT_TRUE(tree->GetConstraintList().empty());
  tree->write("emptied.txt");
  EXPECT_FALSE(std::ifstream("emptied.txt").is_open());
  const std::size_t kept = memory.scores.capacity();
  EXPECT_GE(kept, 1u);
  tree.reset();
  EXPECT_EQ(memory.scores.capacity(), kept);
  // The next tree starts on the storage, empty.
  auto next = std::make_unique<TEvalTree>("total", ps, nullptr, &branches, &memory);
  EXPECT_EQ(memory.scores.capacity(), 0u);
  EXPECT_TRUE(next->GetConstraintList().empty());
}

// The sorted constraints are the tree's list sorted by std::sort, ties in
// the same order, and read as its entries read them, a place with a null
// character cut there. They come from trees one after the other, whose
// memory passes the score storage on, into one TRatedConstraints, and are
// written over lists of whatever they held before: longer or shorter, with
// longer texts. Constraints without a name are not listed.
TEST_F(EvalTreeScores, SortedConstraintsAreTheListSorted) {
  TVarlist branches;
  for (const char* branch : {"A", "BRANCH", "C"}) branches.insert(branch, "AND", 0);
  CombinedVariable rated[] = {{ps, "k"}, {ps, "a_longer_name"}, {ps, ""}};
  const ConstraintEvaluation before(std::string(100, 'n'), std::string(100, 'b'),
                                    std::string(200, 'f'), -1);
  std::mt19937 random(5);
  TTreeMemory memory;
  TRatedConstraints sorted;
  // Constraints aggregated, distinct ratings (few: many ties), entries held before.
  for (const auto& [aggregated, ratings, held] :
       {std::tuple{0, 1, 3}, {1, 1, 0}, {17, 2, 40}, {60, 3, 5}, {300, 5, 300}, {2, 1, 9}}) {
    auto tree = std::make_unique<TEvalTree>("total", ps, nullptr, &branches, &memory);
    std::uniform_int_distribution<int> rating(0, ratings - 1);
    for (int i = 0; i < aggregated; ++i) {
      CombinedVariable& cv = rated[i % 3];
      cv.set_value(rating(random) / 4.0f);
      Capture quiet;
      std::string place = "w[" + std::to_string(i) + "][0]";
      if (i % 4 == 0) place.insert(3, 1, '\0');
      tree->insert(&cv, branches.get(i % 3 == 1 ? 2 : i % 2).name_text(), place, "AND");
    }
    ConstraintEvaluations expected = tree->GetConstraintList();
    std::sort(expected.begin(), expected.end());
    tree->TakeSortedConstraints(sorted);
    EXPECT_TRUE(tree->GetConstraintList().empty());
    tree.reset();
    ConstraintEvaluations list(static_cast<std::size_t>(held), before);
    sorted.write(list);
    ASSERT_EQ(list.size(), expected.size()) << aggregated;
    ASSERT_EQ(sorted.size(), expected.size()) << aggregated;
    EXPECT_EQ(list.size(), static_cast<std::size_t>(aggregated - aggregated / 3));
    for (std::size_t i = 0; i < list.size(); ++i) {
      EXPECT_STREQ(list[i].GetName(), expected[i].GetName()) << aggregated << ": " << i;
      EXPECT_STREQ(list[i].GetBranch(), expected[i].GetBranch()) << aggregated << ": " << i;
      EXPECT_STREQ(list[i].GetFormula(), expected[i].GetFormula()) << aggregated << ": " << i;
      EXPECT_EQ(list[i].GetValue(), expected[i].GetValue()) << aggregated << ": " << i;
      EXPECT_EQ(sorted.branch(i), list[i].GetBranch());
      EXPECT_EQ(sorted.formula(i), list[i].GetFormula());
      EXPECT_EQ(sorted.value(i), list[i].GetValue());
    }
  }
}

}  // namespace
