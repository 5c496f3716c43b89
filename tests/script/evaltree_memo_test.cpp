// Tests of the evaluation memories: aggregations, and evaluations as EVAL
// makes them (through the memory of rule evaluations), whose inputs recur
// give exactly what computing afresh gives, whatever changes in place between
// them, and interned contents. (Trees and EVAL as scripts run them are
// compared with and without the memories by the script cases, the corpus
// runs and the fuzz replay.)
#include "evaltree_memo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iomanip>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "tarnrule_memo.h"
#include "tree_run.h"

namespace {

// Files named after the running test, so that no test reads what another left.
std::string own_file(const std::string& suffix) {
  return std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + suffix;
}

void write_memo_table() {
  write_file(own_file(".tab"),
             "CONCAT r r r\n"
             "AND bad bad bad bad neutral bad bad good neutral neutral bad bad\n"
             "neutral neutral neutral neutral good good good bad neutral good neutral good\n"
             "good good good\n"
             "OR bad bad bad bad neutral neutral bad good good neutral bad neutral\n"
             "neutral neutral neutral neutral good good good bad good good neutral good\n"
             "good good good\n");
}

// Everything of a variable, floats to the last bit.
std::string dump(const CombinedVariable* cv) {
  if (cv == nullptr) return "(none)";
  std::ostringstream out;
  out << std::setprecision(9);
  cv->write(out);
  return out.str();
}

// Adds a variable of the parameter set, as a script's FUZZYVAR does, and
// gives the list's own variable.
CombinedVariable* add_variable(RuleSet& rules, const ParameterSet& ps, const char* name) {
  const CombinedVariable generated(&ps, name);
  return rules.get_cv_list()->add(&generated);
}

// What evaluating y gives: value and contents.
std::string outcome(RuleSet& rules, CombinedVariable& y) {
  const float value = rules.evaluate(&y);
  return std::to_string(std::bit_cast<std::uint32_t>(value)) + dump(&y);
}

// An aggregation of k with a value into a branch through an operator.
struct TStep {
  float value;
  const char* branch;
  const char* oper;
};

// The memory the trees of this test program leave to each other, as the
// trees of one domain's runs do.
TTreeMemory& shared_memory() {
  static TTreeMemory memory;
  return memory;
}

// A rule set with the tree's combination rules, a tree with an and-branch
// and an or-branch, and a constraint variable k to aggregate.
struct TTree {
  ParameterSet ps = rating_set({"bad", "neutral", "good"});
  std::shared_ptr<RuleSet> rules = std::make_shared<RuleSet>();
  TreePtr tree;
  CombinedVariable* k = nullptr;

  // `memory`: what trees leave to the next (null: nothing remembered, the
  // reference computation).
  explicit TTree(TTreeMemory* memory = &shared_memory()) {
    TVarlist branches;
    branches.insert("DIFF", "AND", 0);
    branches.insert("WORK", "OR", 0);
    tree = std::make_unique<TEvalTree>("total", &ps, rules, &branches, memory);
    tree->insert_help_rules(TRuleTableCache().load(own_file(".tab")));
    k = add_variable(*rules, ps, "k");
  }

  void aggregate(const TStep& step) {
    k->set_value(step.value);
    tree->insert(k, step.branch, "p[0][0]", step.oper);
  }

  // The state an aggregation leaves in the tree: score and tree file.
  std::string tree_state(const std::string& file) const {
    tree->write(file);
    return std::to_string(std::bit_cast<std::uint32_t>(tree->get_score())) + '\n' + read_file(file);
  }

  // The four combination variables of the rule set.
  std::string variables_state() const {
    std::ostringstream text;
    for (const char* name : {"eval_in_1", "eval_in_2", "eval_out_and", "eval_out_or"}) {
      text << '\n' << dump(rules->get_cv(name));
    }
    return text.str();
  }

  std::string state(const std::string& file) const { return tree_state(file) + variables_state(); }
  // The rules concluding the and-output or the or-output.
  int and_rules() const { return rules->search("eval_out_and"); }
  int or_rules() const { return rules->search("eval_out_or"); }
  OperatorSet& ops() const { return *rules->get_operator_set(); }
};

// Memories pass from tree to tree and follow rule sets of equal contents;
// the reference is a tree without a memory, which computes every
// combination afresh.

// Values on the terms' peaks and crossings make the same combinations recur.
const std::vector<TStep> kSteps = {
    {0.25f, "DIFF", "AND"}, {0.75f, "WORK", "OR"},  {0.25f, "DIFF", "AND"}, {0.5f, "WORK", "OR"},
    {0.25f, "DIFF", "OR"},  {0.75f, "WORK", "AND"}, {0.25f, "DIFF", "AND"}, {0.75f, "WORK", "OR"},
    {0.1f, "DIFF", "AND"},  {0.25f, "WORK", "OR"},  {0.25f, "DIFF", "AND"}, {0.75f, "WORK", "OR"},
};

class EvalTreeMemo : public ::testing::Test {
 protected:
  void SetUp() override { write_memo_table(); }

  // Runs the steps on a tree with its memory and on a reference without
  // one; `change` runs on both before step `at`.
  void expect_same_as_afresh(void (*change)(TTree&), std::size_t at) {
    TTree memo;
    TTree fresh(nullptr);
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
      if (i == at) {
        change(memo);
        change(fresh);
      }
      Capture out;
      Capture err_memo(std::cerr);
      memo.aggregate(kSteps[i]);
      const std::string memo_err = err_memo.str();
      Capture err_fresh(std::cerr);
      fresh.aggregate(kSteps[i]);
      ASSERT_EQ(memo_err, err_fresh.str()) << "step " << i;
      ASSERT_EQ(memo.state(own_file(".memo")), fresh.state(own_file(".fresh"))) << "step " << i;
    }
  }
};

// Changes of the rules and operators, each applied to both trees under test.
// Messages are printed at every use, remembered outcome or not.
struct TChange {
  const char* what;
  void (*change)(TTree&);
};
// clang-format off
const TChange kChanges[] = {
    {"same rules", [](TTree&) {}},
    {"and-certainty", [](TTree& t) { t.rules->set_certainty(t.and_rules(), 3, 0.4f); }},
    {"or-certainty -0", [](TTree& t) { t.rules->set_certainty(t.or_rules(), 2, -0.0f); }},
    {"or-premise", [](TTree& t) { t.rules->set_left_side_lt(t.or_rules(), 1, 0, "good"); }},
    {"and-conclusion", [](TTree& t) { t.rules->set_right_side_lt(t.and_rules(), 0, "good"); }},
    {"or-conclusion", [](TTree& t) { t.rules->set_right_side_lt(t.or_rules(), 4, "bad"); }},
    {"inference by product", [](TTree& t) { t.ops().set_inference_operator(product); }},
    {"and by maximum", [](TTree& t) { t.ops().set_and_operator(maximum); }},
    {"and-output moved", [](TTree& t) { t.rules->get_cv("eval_out_and")->set_msf_x(2, 1, 0.9f); }},
    {"or-output moved", [](TTree& t) { t.rules->get_cv("eval_out_or")->set_msf_x(1, 1, 0.4f); }},
    {"missing term", [](TTree& t) { t.rules->set_right_side_lt(t.and_rules(), 0, "awful"); }},
    // Inference by an operator that reports its gamma outside [0, 1] at every use.
    {"printing inference", [](TTree& t) {
       t.ops().set_inference_operator(fuzzy_and);
       t.ops().set_gamma(2);
     }},
};
// clang-format on

// Recurring combinations give what computing afresh gives, messages
// included, also when the rules or operators change between aggregations.
// Each script run builds a new tree and rule set; the outcomes one run
// remembered serve the next when the rule sets' contents are equal, and are
// dropped when they differ: the changes also come before the first step of
// a tree that follows one left with the same rules.
TEST_F(EvalTreeMemo, ChangedRulesAndOperatorsAreFollowed) {
  for (const TChange& c : kChanges) {
    SCOPED_TRACE(c.what);
    expect_same_as_afresh(c.change, 5);
    expect_same_as_afresh([](TTree&) {}, 0);
    expect_same_as_afresh(c.change, 0);
  }
}

// A rule set whose output y is ruled by two inputs, x and z: one rule each,
// and one rule joining both; a block before y's rules another output, v. The
// rule set evaluates through `memory` when one is given.
struct TRatedVariable {
  ParameterSet ps = rating_set({"bad", "neutral", "good"});
  // The rule set reports to the console, where tests capture it.
  FuzzyContext context;
  RuleSet rules{&context};
  CombinedVariable* x = nullptr;
  CombinedVariable* z = nullptr;
  CombinedVariable* y = nullptr;
  CombinedVariable* v = nullptr;

  explicit TRatedVariable(RuleEvaluationMemo* memory = nullptr) {
    context.err = &std::cerr;
    rules.set_evaluation_memo(memory);
    for (const char* name : {"x", "z", "y", "v"}) add_variable(rules, ps, name);
    x = rules.get_cv("x");
    z = rules.get_cv("z");
    y = rules.get_cv("y");
    v = rules.get_cv("v");
    rules.add_BasicRule(z, "bad", v, "good", 1);
    rules.add_BasicRule(x, "bad", y, "good", 1);
    rules.add_BasicRule(z, "good", y, "bad", 0.8f);
    TList both;
    both.add(x, "neutral");
    both.add(z, "neutral");
    const Term conclusion(y, "neutral");
    rules.add_Rule(&both, &conclusion, AND, 1);
  }

  // Fuzzifies the inputs and evaluates y.
  std::string step(float xv, float zv) {
    x->set_value(xv);
    z->set_value(zv);
    Capture err(std::cerr);
    return outcome(rules, *y) + err.str();
  }
  OperatorSet& ops() { return *rules.get_operator_set(); }
};

struct TRatedChange {
  const char* what;
  void (*change)(TRatedVariable&);
};

// Runs the pairs of x and z through one memory and directly, on two new rule
// sets per change, which both get the change before step `at`; the memory
// is never told of it.
void expect_same_as_direct(std::span<const TRatedChange> changes, std::span<const float[2]> values,
                           std::size_t at) {
  RuleEvaluationMemo memo;
  for (const TRatedChange& c : changes) {
    SCOPED_TRACE(c.what);
    TRatedVariable remembered(&memo);
    TRatedVariable direct;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i == at) {
        c.change(remembered);
        c.change(direct);
      }
      ASSERT_EQ(remembered.step(values[i][0], values[i][1]),
                direct.step(values[i][0], values[i][1]))
          << "step " << i;
    }
  }
  EXPECT_GT(memo.hits(), changes.size() * values.size() / 2);
}

// A variable w on which x gets a rule of its own.
void give_x_rules(TRatedVariable& t) {
  CombinedVariable* w = add_variable(t.rules, t.ps, "w");
  w->set_value(0.9f);
  t.rules.add_BasicRule(w, "good", t.x, "neutral", 1);
}

// A new variable takes x's place and name; the old one is renamed or removed
// (after the new one is there, so that the new one has another address).
void replace_x(TRatedVariable& t, bool remove) {
  CVList& vars = *t.rules.get_cv_list();
  CombinedVariable* old = t.x;
  t.x = add_variable(t.rules, t.ps, "x");
  if (remove) {
    vars.remove(vars.find_cv_by_pointer(old));
  } else {
    old->set_cv_name("old");
  }
}

// Evaluations through the memory give what evaluating directly gives, value,
// contents and messages, whatever changes between them; each change runs on
// both rule sets before a step, and the memory is never told of it: it
// notices the changes by the stamps of the operators, the rules and the
// variables' parameters and terms. The memory serves every case: each new
// rule set of the first contents uses what earlier ones remembered.
TEST(EvaluationMemo, ChangesTheMemoryIsNotToldOfAreFollowed) {
  using T = TRatedVariable;
  // clang-format off
  const TRatedChange changes[] = {
      {"nothing", [](T&) {}},
      {"certainty", [](T& t) { t.rules.set_certainty(1, 1, 0.3f); }},
      {"conclusion", [](T& t) { t.rules.set_right_side_lt(1, 0, "neutral"); }},
      {"conclusion on an input", [](T& t) { t.rules.set_right_side_lt(1, 0, "zz"); }},
      {"inference by product", [](T& t) { t.ops().set_inference_operator(product); }},
      {"printing inference", [](T& t) { t.ops().set_inference_operator(fuzzy_and);
                                        t.ops().set_gamma(2); }},
      {"output term moved", [](T& t) { t.y->set_msf_x(2, 1, 0.9f); }},
      {"input term moved", [](T& t) { t.x->set_msf_x(0, 1, 0.3f); }},
      {"input term renamed", [](T& t) { t.z->find(2)->set_linguistic_term("great"); }},
      {"input importance", [](T& t) { t.z->set_importance(0.5f); }},
      {"output median", [](T& t) { t.y->set_median(0.7f); }},
      {"output range", [](T& t) { t.y->set_range_upper_end(2); }},
      {"input range", [](T& t) { t.x->set_range_lower_end(-1); }},
      {"input dilatation", [](T& t) { t.z->set_dilatation(0.5f); }},
      {"output parameters copied", [](T& t) { ParameterSetBase p(0, 2, 1, 0.5f, 0.2f, 1);
                                              t.y->copy_PSB(&p); }},
      {"input parameters copied", [](T& t) { ParameterSetBase p(0, 1, 0.4f, 0.95f, 0, 0.7f);
                                             t.x->copy_PSB(&p); }},
      {"output terms of another", [](T& t) { t.y->copy_PlimList(t.v); t.y->set_msf_y(0, 0, 0.5f); }},
      {"input term added", [](T& t) { t.x->add("huge", 0.5f, 1, 0.2f, 0.2f, white); }},
      {"input terms removed", [](T& t) { t.z->remove_all(); }},
      {"output term point added", [](T& t) { t.y->add_msf_point(1, 0.45f, 0.5f); }},
      {"input support end", [](T& t) { t.x->set_fs_upper_support_end(0, 0.6f); }}};
  // clang-format on
  const float kValues[][2] = {{0.25f, 0.75f}, {0.5f, 0.5f},   {0.25f, 0.75f}, {0.1f, 0.9f},
                              {0.5f, 0.5f},   {0.25f, 0.75f}, {0.5f, 0.5f},   {0.1f, 0.9f}};
  expect_same_as_direct(changes, kValues, 5);

  // Changes of the rule set and its variables. After the change, x takes
  // values that differ from its last one while z repeats an earlier pair's:
  // outcomes found by the inputs as they were, or by a variable that no
  // longer answers to x, would be wrong.
  // clang-format off
  const TRatedChange rule_changes[] = {
      {"block appended for another output",
       [](T& t) { t.rules.add_BasicRule(t.x, "good", t.rules.get_cv_list()->add(t.v, "u"),
                                        "bad", 1); }},
      {"rule added to the output's block",
       [](T& t) { t.rules.add_BasicRule(t.z, "neutral", t.y, "good", 0.5f); }},
      {"certainty", [](T& t) { t.rules.set_certainty(1, 0, 0.25f); }},
      {"premise on another variable", [](T& t) { t.rules.set_left_side_cv(1, 0, 0, t.z); }},
      {"earlier block concludes on the output",
       [](T& t) { t.rules.set_right_side_cv(0, 0, t.y); }},
      {"input given rules", give_x_rules},
      {"input renamed", [](T& t) { replace_x(t, false); }},
      {"input removed", [](T& t) { replace_x(t, true); }},
      {"operators replaced", [](T& t) {
         auto ops = std::make_unique<OperatorSet>(*t.rules.get_operator_set());
         ops->set_and_operator(product);
         t.rules.set_operator_set(std::move(ops)); }}};
  // clang-format on
  const float kRuleValues[][2] = {{0.25f, 0.75f}, {0.5f, 0.5f},   {0.25f, 0.75f}, {0.5f, 0.5f},
                                  {0.25f, 0.5f},  {0.25f, 0.75f}, {0.5f, 0.5f}};
  expect_same_as_direct(rule_changes, kRuleValues, 4);
}

// Evaluating works on the rule set's own variable of the name: a variable
// of that name from elsewhere is left as it is, remembered outcome or not.
TEST(EvaluationMemo, AStrangerNamedLikeTheOutputTakesNothing) {
  RuleEvaluationMemo memo;
  TRatedVariable t(&memo);
  t.step(0.25f, 0.75f);
  CombinedVariable stranger(&t.ps, "y");
  const std::string before = dump(&stranger);
  t.rules.evaluate(&stranger);
  EXPECT_EQ(dump(&stranger), before);
}

// Inputs that were never fuzzified are reported at every evaluation.
TEST(EvaluationMemo, UnfuzzifiedInputsAreReportedEveryTime) {
  RuleEvaluationMemo memo;
  TRatedVariable t(&memo);
  for (int i = 0; i < 2; ++i) {
    Capture err(std::cerr);
    t.rules.evaluate(t.y);
    EXPECT_EQ(err.str(), "not instanciated cv\n") << i;
  }
}

TEST(CombinationMemo, EqualContentsShareAnIdWhateverTheirNames) {
  const ParameterSet ps = rating_set({"bad", "neutral", "good"});
  CombinedVariable a(&ps, "a");
  CombinedVariable b(&ps, "b");
  a.set_value(0.3f);
  b.set_value(0.3f);
  TCombinationMemo memo;
  const int id = memo.intern(a);
  EXPECT_EQ(memo.intern(b), id);
  const CombinedVariable& content = memo.content(id);
  ASSERT_EQ(content.get_number(), a.get_number());
  for (int k = 0; k < a.get_number(); ++k) {
    EXPECT_EQ(content.find(k)->get_match_value(), a.find(k)->get_match_value());
  }

  using V = CombinedVariable;
  // clang-format off
  struct TCase { const char* what; void (*change)(V&); } const cases[] = {
      {"crisp value", [](V& v) { v.set_crisp_value(0.31f); }},
      {"negative zero", [](V& v) { v.set_fs_match_value(2, -0.0f); }},
      {"match value", [](V& v) { v.set_fs_match_value(1, 0.5f); }},
      {"clipped function", [](V& v) { v.find(0)->get_imsf()->find(0)->set_y(0.01f); }},
      {"membership function", [](V& v) { v.set_msf_x(1, 1, 0.45f); }},
      {"term name", [](V& v) { v.find(2)->set_linguistic_term("great"); }},
      {"term colour", [](V& v) { v.find(1)->set_fs_colour(violet); }},
      {"importance", [](V& v) { v.set_importance(0.5f); }}};
  // clang-format on
  for (const TCase& c : cases) {
    CombinedVariable changed(&ps, "c");
    changed.set_value(0.3f);
    c.change(changed);
    EXPECT_NE(memo.intern(changed), id) << c.what;
  }
  // Interned once, a variable's terms are known by their stamp; what the
  // stamp does not cover must still tell contents apart, and a copy of a
  // variable is known by its source's stamp.
  CombinedVariable copy(&ps, "copy");
  copy.copy(&a);
  EXPECT_EQ(memo.intern(copy), id);
  a.set_crisp_value(0.31f);
  EXPECT_NE(memo.intern(a), id) << "crisp value";
  a.set_crisp_value(0.3f);
  EXPECT_EQ(memo.intern(a), id);
  a.set_importance(0.5f);
  EXPECT_NE(memo.intern(a), id) << "importance";
  a.set_importance(1);
  a.set_range_upper_end(2);
  EXPECT_NE(memo.intern(a), id) << "range";
}

}  // namespace
