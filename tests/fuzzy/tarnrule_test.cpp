// Tests of the rule base: adding and removing rules, rule equality, the rule
// file, and what rule evaluation must notice of changes, cycles and shared
// blocks. (Evaluation with its operators, importance and missing terms is
// compared byte for byte by the script cases fuzzy_concat_*, evaltree_* and
// eval_*, and by the end-to-end cases cmd_evaluate_*.)
#include "tarnrule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "fuzzy_test_support.h"
#include "tarnrule_context.h"

namespace {

// Two-term variables on [0, 10] whose terms are the triangles (0,0) (0,1)
// (10,0) and (0,0) (10,1) (10,0): at 7.5 the first term holds 0.25 and the
// second 0.75.
class RuleSetTest : public ::testing::Test {
 protected:
  // The rule sets report to the console, where the tests capture it.
  RuleSetTest() { context.err = &std::cerr; }

  FuzzyContext context;
  ParameterSet in_ps = make_ps("in", 0, 10, 5, 1, 1, {"low", "high"});
  ParameterSet mid_ps = make_ps("mid", 0, 10, 5, 1, 1, {"lo", "hi"});
  ParameterSet out_ps = make_ps("out", 0, 10, 5, 1, 1, {"bad", "good"});
  CombinedVariable x{&in_ps, "X"};
  CombinedVariable z{&in_ps, "Z"};
  CombinedVariable m{&mid_ps, "M"};
  CombinedVariable y{&out_ps, "Y"};
  RuleSet rules{&context};

  std::string written() const {
    std::ostringstream out;
    rules.write(out);
    return out.str();
  }
  float mv(const char* var, int k) { return rules.get_cv(var)->get_fs_match_value(k); }
  void set(const char* var, float value) { rules.get_cv(var)->set_value(value); }
};

// A rule set keeps one copy per variable name, in the order premises first,
// then conclusion; rules whose terms name no variable are refused.
TEST_F(RuleSetTest, AddingRulesCopiesTheirVariables) {
  {
    Capture err(std::cerr);
    EXPECT_EQ(rules.add_BasicRule(nullptr, "low", &y, "bad", 1), -1);
    EXPECT_EQ(rules.add_BasicRule(&x, "low", nullptr, "bad", 1), -1);
    EXPECT_NE(err.str().find("rule not added"), std::string::npos);
  }
  EXPECT_EQ(rules.get_number(), 0);
  EXPECT_EQ(rules.add_BasicRule(&x, "low", &y, "bad", 1), 1);
  EXPECT_EQ(rules.add_ComplexRule(&x, "high", &z, "low", &m, "hi", OR, 1), 1);
  x.set_value(1);
  rules.add_BasicRule(&x, "high", &y, "good", 1);  // X is present: not replaced
  EXPECT_EQ(rules.get_cv("X")->get_crisp_value(), -1);
  const CVList* vars = rules.get_cv_list();
  ASSERT_EQ(vars->get_number(), 4);
  const char* names[] = {"X", "Y", "Z", "M"};
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(vars->find(i)->get_cv_name(), names[i]);
  EXPECT_EQ(rules.get_left_side_cv(1, 0, 1), rules.get_cv("Z"));
  EXPECT_EQ(rules.search(&m), 1);
  EXPECT_EQ(rules.search(&x), -1);
}

TEST_F(RuleSetTest, RemovingAVariableAndItsApproaches) {
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  rules.add_BasicRule(&x, "high", &y, "good", 1);
  rules.add_ComplexRule(&x, "high", &z, "low", &m, "hi", AND, 1);
  rules.add_BasicRule(&z, "high", &m, "lo", 1);
  rules.add_BasicRule(&m, "lo", &x, "low", 1);
  rules.remove_cv_and_its_approaches(&x);
  // Y's block lost both rules; M's complex rule kept its Z premise; X's own
  // block and copy are gone.
  ASSERT_EQ(rules.get_number(), 1);
  EXPECT_EQ(rules.search(&m), 0);
  EXPECT_EQ(rules.get_operand_number(0, 0), 1);
  EXPECT_STREQ(rules.find(0)->get_left_side_cv_name(0, 0), "Z");
  EXPECT_EQ(rules.get_cv("X"), nullptr);
  EXPECT_NE(rules.get_cv("Y"), nullptr);
}

// A rule equals another only when every part does; a block keeps one of
// equal rules, whether it copies them or takes them over.
TEST(RuleTest, EqualityTakesEveryPart) {
  using Parts =
      std::tuple<const char*, const char*, const char*, const char*, int, float, concat_operator>;
  const auto make = [](const Parts& p) {
    const auto& [in, in_lt, out, out_lt, premises, certainty, op] = p;
    Term premise;
    premise.set_cv_name(in);
    premise.set_lt(in_lt);
    TList list;
    for (int j = 0; j < premises; ++j) list.add(premise);
    Term conclusion;
    conclusion.set_cv_name(out);
    conclusion.set_lt(out_lt);
    return Rule(list, conclusion, op, certainty);
  };
  const Rule base = make({"speed", "fast", "risk", "high", 2, 0.5f, AND});
  const Parts others[] = {
      {"speeds", "fast", "risk", "high", 2, 0.5f, AND},
      {"speed", "fasT", "risk", "high", 2, 0.5f, AND},
      {"speed", "fast", "risk", "high", 1, 0.5f, AND},
      {"speed", "fast", "Risk", "high", 2, 0.5f, AND},
      {"speed", "fast", "risk", "high_", 2, 0.5f, AND},
      {"speed", "fast", "risk", "high", 2, 0.25f, AND},
      {"speed", "fast", "risk", "high", 2, 0.5f, OR},
  };
  RuleBlock block;
  ASSERT_NE(block.add(&base), nullptr);
  for (const Parts& p : others) {
    Rule other = make(p);
    EXPECT_EQ(Rule::compare(&base, &other), 0) << std::get<0>(p) << std::get<1>(p);
    EXPECT_NE(block.add(std::move(other)), nullptr);
  }
  Rule same = make({"speed", "fast", "risk", "high", 2, 0.5f, AND});
  EXPECT_EQ(Rule::compare(&base, &same), 1);
  EXPECT_EQ(block.add(&same), nullptr);
  EXPECT_EQ(block.add(std::move(same)), nullptr);
  EXPECT_EQ(block.get_number(), 8);
}

// ------------------------------------------------------------- rule file

// Rules are grouped by conclusion; a rule equal to one present is skipped,
// also when its operator is the other spelling of the same.
TEST_F(RuleSetTest, RuleLinesAndFullStops) {
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  rules.add_ComplexRule(&x, "high", &z, "low", &m, "hi", c_and, 0);
  rules.add_BasicRule(&x, "high", &y, "good", 0.8f);
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  rules.add_ComplexRule(&x, "high", &z, "low", &m, "hi", AND, 0);
  rules.add_BasicRule(&z, "high", &m, "lo", 2);
  rules.add_BasicRule(&z, "high", &m, "lo", 0.5f);
  const std::string text = written();
  const std::string tail =
      "nameless_rule_set\n/* #: 2 */\n"
      "/* #: 2 */\n"
      "IF /* #: 1 */ X IS low THEN Y IS bad WITH CERTAINTY 1.\n"
      "IF /* #: 1 */ X IS high THEN Y IS good WITH CERTAINTY 0.8.\n"
      "/* #: 3 */\n"
      "IF /* #: 2 */ X IS high AND Z IS low THEN M IS hi WITH CERTAINTY 0.\n"
      "IF /* #: 1 */ Z IS high THEN M IS lo WITH CERTAINTY 2.\n"
      "IF /* #: 1 */ Z IS high THEN M IS lo WITH CERTAINTY 0.5.\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(text.substr(0, 13), "/* #: 0 */ \n\n");
  EXPECT_NE(text.find("\nno_fop minimum maximum minimum minimum minimum cog 1 10\n\n"),
            std::string::npos);
  RuleSet again;
  std::istringstream in(text);
  EXPECT_EQ(again.read(in), 1);
  std::ostringstream second;
  again.write(second);
  EXPECT_EQ(second.str(), text);
}

// A rule file whose last rule lacks its full stop keeps that rule, whatever
// white space ends the text.
TEST_F(RuleSetTest, TheLastFullStopMayBeMissing) {
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  rules.add_BasicRule(&x, "high", &y, "good", 0.5f);
  const std::string text = written();
  const std::string whole = text.substr(0, text.rfind("0.5.") + 3);
  for (const std::string end : {"", "\n", " \n\n"}) {
    RuleSet again(&context);
    std::istringstream in(whole + end);
    Capture err(std::cerr);
    EXPECT_EQ(again.read(in), 1);
    std::ostringstream second;
    again.write(second);
    EXPECT_EQ(second.str(), text);
    EXPECT_EQ(err.str(), "");
  }
}

TEST_F(RuleSetTest, BrokenRuleFilesStopCleanly) {
  rules.add_BasicRule(&x, "low", &y, "bad", 0.5f);
  rules.add_ComplexRule(&x, "high", &z, "low", &m, "hi", c_and, 1);
  const std::string text = written();
  for (std::size_t cut = 0; cut + 4 <= text.size(); cut += 7) {
    RuleSet again(&context);
    std::istringstream in(text.substr(0, cut));
    Capture err(std::cerr);
    EXPECT_EQ(again.read(in), 2) << "cut at " << cut;
    EXPECT_NE(err.str().find("reading stopped"), std::string::npos) << "cut at " << cut;
  }
  // A rule on an unknown variable ends reading; what was read stays: the
  // rules before it, and the rule itself without its conclusion in its
  // block, counted but not written.
  std::string unknown = text;
  const std::size_t second_block = unknown.rfind("/* #: 1 */\nIF");
  unknown[unknown.rfind("X IS high")] = 'Q';
  RuleSet again(&context);
  std::istringstream in(unknown);
  Capture err(std::cerr);
  EXPECT_EQ(again.read(in), 2);
  EXPECT_EQ(err.str(), "CombinedVariable in Rule not in cv_list!\n");
  ASSERT_EQ(again.get_number(), 2);
  EXPECT_EQ(again.find(0)->get_number(), 1);
  EXPECT_EQ(again.find(1)->get_number(), 1);
  std::ostringstream kept;
  again.write(kept);
  EXPECT_EQ(kept.str(), text.substr(0, second_block) + "/* #: 1 */\n");
  // The block without a conclusion concludes on nothing.
  EXPECT_EQ(again.evaluate("M"), -1);
  EXPECT_EQ(err.str(), "CombinedVariable in Rule not in cv_list!\ncv not in RuleSet\n");
}

// ------------------------------------------------------------- evaluation

// Evaluation remembers what each term's name resolved to; every change of
// the variables or blocks must be seen by the next evaluation.
TEST_F(RuleSetTest, LookupsFollowChangesOfVariablesAndBlocks) {
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  set("X", 7.5f);
  rules.evaluate(&y);
  EXPECT_EQ(mv("Y", 0), 0.25f);

  rules.get_cv("X")->set_cv_name("old");  // a renamed variable no longer answers to X
  CombinedVariable* fresh = rules.get_cv_list()->add(&x);
  fresh->set_value(2.5f);
  rules.evaluate(&y);
  EXPECT_EQ(mv("Y", 0), 0.75f);

  rules.get_cv_list()->remove(rules.get_cv_list()->find_cv_by_pointer(fresh));
  Capture err(std::cerr);
  EXPECT_EQ(rules.evaluate(&y), -1);
  EXPECT_EQ(err.str(), "NULL pointer cannot be evaluated\n");

  rules.get_cv("old")->set_cv_name("X");
  rules.add_BasicRule(&m, "lo", &x, "low", 1);  // X becomes an intermediate variable
  set("M", 0);                                  // every M term at 0: X's rule does not fire
  rules.evaluate(&y);
  EXPECT_EQ(mv("X", 0), 0);
  EXPECT_EQ(mv("Y", 0), 0);
}

// Watchers of one block follow its stamp and the set's layout. A change of
// the block's rules moves its stamp alone; appending blocks moves neither
// and leaves every name's block where it was; what may move a block or
// give a name another block moves the layout.
TEST_F(RuleSetTest, BlockStampsAndLayoutFollowTheirChanges) {
  using R = RuleSet;
  // A rule on the rule set's own variables, by name.
  static const auto rule = [](R& r, const char* in, const char* out) {
    r.add_BasicRule(r.get_cv(in), "low", r.get_cv(out), "bad", 1);
  };
  // clang-format off
  struct TCase { const char* what; bool stamp; bool layout; void (*change)(R&); } const cases[] = {
      {"rule added", true, false, [](R& r) { rule(r, "Z", "Y"); }},
      {"equal rule", false, false, [](R& r) { rule(r, "X", "Y"); }},
      {"certainty", true, false, [](R& r) { r.set_certainty(0, 0, 0.5f); }},
      {"premise term", true, false, [](R& r) { r.set_left_side_lt(0, 0, 0, "high"); }},
      {"premise variable", true, false, [](R& r) { r.set_left_side_cv(0, 0, 0, r.get_cv("Z")); }},
      {"operator", true, false, [](R& r) { r.set_aggregate_operator(0, 0, OR); }},
      {"block appended", false, false, [](R& r) { rule(r, "X", "Z"); }},
      {"own block appended", false, false, [](R& r) { r.add(std::as_const(r).find(1)); }},
      {"empty block appended", false, false, [](R& r) { r.add(nullptr); }},
      {"other conclusion", false, true, [](R& r) { r.set_right_side_cv(1, 0, r.get_cv("Y")); }},
      {"other block removed", false, true, [](R& r) { r.remove(1); }},
      {"operators replaced", false, true, [](R& r) { r.set_operator_set(nullptr); }},
      {"variable removed", true, true, [](R& r) { const CombinedVariable* z = r.get_cv("Z");
                                                  r.remove_cv_and_its_approaches(z); }}};
  // clang-format on
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    RuleSet rs;
    rs.add_BasicRule(&x, "low", &y, "bad", 1);
    rs.add_ComplexRule(&x, "high", &z, "low", &m, "hi", AND, 1);
    rs.add_BasicRule(&z, "high", &y, "good", 1);
    const std::uint64_t stamp = rs.find(0)->get_stamp();
    const std::uint64_t layout = rs.get_layout();
    c.change(rs);
    EXPECT_EQ(rs.find(0)->get_stamp() != stamp, c.stamp);
    EXPECT_EQ(rs.get_layout() != layout, c.layout);
    if (!c.layout) {
      EXPECT_EQ(rs.search("Y"), 0);
      EXPECT_EQ(rs.search("M"), 1);
    }
  }
}

// A block that lent a rule cannot vouch for it by stamp: a rule set taking
// its rules again after a write through the kept pointer takes the write.
TEST_F(RuleSetTest, RulesWrittenThroughALentPointerReachTheRuleSet) {
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  RuleBlock block;
  block.copy(rules.find(0));
  Rule* lent = block.find(0);
  rules.replace_rules(0, block);
  lent->set_certainty(0.5f);
  rules.replace_rules(0, block);
  EXPECT_EQ(rules.get_certainty(0, 0), 0.5f);
}

TEST_F(RuleSetTest, CyclicBlocksAreReportedOnceAndFail) {
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  rules.add_BasicRule(&y, "bad", &m, "lo", 1);
  rules.add_BasicRule(&m, "lo", &y, "good", 1);
  set("X", 2);
  for (int run = 0; run < 2; ++run) {
    Capture err(std::cerr);
    EXPECT_EQ(rules.evaluate(&y), -1);
    EXPECT_EQ(
        err.str(),
        "Error: rule blocks depend on each other in a cycle through Y; evaluation stopped!\n");
  }
  rules.remove(&m);
  set("M", 5);  // now an input
  EXPECT_GT(rules.evaluate(&y), 0);
}

// Adding a batch of basic rules gives what adding them one by one gives:
// the same blocks, rules, variables and messages, also with a repeated rule,
// an existing block, an empty block that hides new blocks from searches,
// and a variable missing; a rule added afterwards lands alike.
TEST_F(RuleSetTest, BatchOfBasicRulesEqualsSingleAdds) {
  const RuleSet::TermPair pairs[] = {{"low", "bad"}, {"high", "good"}, {"low", "bad"}};
  struct Case {
    const char* name;
    bool known_rule;
    bool empty_block;
    bool missing_input;
  };
  const Case cases[] = {{"fresh", false, false, false},
                        {"existing block", true, false, false},
                        {"empty block ahead", false, true, false},
                        {"missing variable", false, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CombinedVariable* in = c.missing_input ? nullptr : &x;
    auto run = [&](bool batch) {
      RuleSet set;
      if (c.known_rule) set.add_BasicRule(&x, "high", &y, "good", 1);
      if (c.empty_block) set.add(static_cast<const RuleBlock*>(nullptr));
      testing::internal::CaptureStderr();
      if (batch) {
        set.add_BasicRules(in, &y, pairs, 1);
      } else {
        for (const auto& [in_lt, out_lt] : pairs) set.add_BasicRule(in, in_lt, &y, out_lt, 1);
      }
      std::string messages = testing::internal::GetCapturedStderr();
      set.add_BasicRule(&z, "low", &y, "good", 1);
      std::ostringstream out;
      set.write(out);
      return std::make_pair(out.str(), messages);
    };
    EXPECT_EQ(run(true), run(false));
  }
}

// A block appended to a rule set keeps the stamp of the block it copies,
// telling equal rules, unless a rule referred to a variable: the set's copy
// drops the references, and so holds other rules.
TEST_F(RuleSetTest, AppendedBlocksKeepTheStampOfRulesWithoutReferences) {
  for (const bool refers : {false, true}) {
    SCOPED_TRACE(refers ? "references" : "no references");
    RuleSet source;
    source.add_BasicRule(&x, "low", &y, "bad", 1);
    RuleBlock block;
    block.copy(source.find(0));
    if (refers) block.find(0)->set_right_side_cv(&y);
    RuleSet target;
    target.add(&block);
    const RuleBlock& appended = *target.find(0);
    EXPECT_EQ(appended.get_stamp() == block.get_stamp(), !refers);
    EXPECT_FALSE(appended.find(0)->refers_to_cvs());
  }
}

// A block added shared is one block in two sets until either changes it:
// the changing set copies it first, so the other keeps its rules and stamp,
// whichever set changes and by whichever operation. A block that lent a
// rule or refers to variables is copied at once, as add(const RuleBlock*).
TEST_F(RuleSetTest, SharedBlocksAreCopiedBeforeAChange) {
  using R = RuleSet;
  // clang-format off
  struct TCase { const char* what; void (*change)(R&); } const cases[] = {
      {"rule added", [](R& r) { r.add_BasicRule(r.get_cv("Z"), "low", r.get_cv("Y"), "bad", 1); }},
      {"certainty", [](R& r) { r.set_certainty(0, 0, 0.5f); }},
      {"premise term", [](R& r) { r.set_left_side_lt(0, 0, 0, "high"); }},
      {"rules replaced", [](R& r) { RuleSet other;
                                    other.add_BasicRule(r.get_cv("X"), "high", r.get_cv("Y"), "good", 1);
                                    r.replace_rules(0, *other.find(0)); }},
      {"variable removed", [](R& r) { r.remove_cv_and_its_approaches(r.get_cv("X")); }}};
  // clang-format on
  const auto text = [](const RuleSet& r) {
    std::ostringstream out;
    r.make_ShortString(out);
    return out.str();
  };
  for (const TCase& c : cases) {
    for (const bool change_source : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (change_source ? ", in the source" : ", in the sharer"));
      RuleSet source;
      source.add_BasicRule(&x, "low", &y, "bad", 1);
      source.add_BasicRule(&z, "high", &y, "good", 1);
      RuleSet sharer;
      sharer.get_cv_list()->add(source.get_cv_list());
      sharer.add(source.share(0));
      ASSERT_EQ(sharer.find(0), source.find(0));
      RuleSet& changed = change_source ? source : sharer;
      const RuleSet& kept = change_source ? sharer : source;
      const std::string before = text(kept);
      const std::uint64_t stamp = kept.find(0)->get_stamp();
      c.change(changed);
      EXPECT_NE(text(changed), before);
      EXPECT_EQ(text(kept), before);
      EXPECT_EQ(kept.find(0)->get_stamp(), stamp);
    }
  }
  rules.add_BasicRule(&x, "low", &y, "bad", 1);
  for (const bool lent : {false, true}) {
    auto block = std::make_shared<RuleBlock>();
    block->copy(rules.find(0));
    if (lent) block->find(0);
    RuleSet sharer;
    sharer.add(std::shared_ptr<const RuleBlock>(block));
    EXPECT_EQ(sharer.find(0) == block.get(), !lent);
  }
}

}  // namespace
