// Tests of the memory of rule evaluations where scripts cannot reach: a rule
// set evaluating through it ends, after every evaluation, in exactly the
// state (bit for bit, messages included) of a rule set that computes
// everything, when blocks depend on each other in a cycle or are missing, and
// when rule sets are built anew from blocks moved, dropped or changed. (Rule
// sets as scripts build them are compared with and without the memory by the
// script cases and the corpus runs.)
#include "tarnrule_memo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fuzzy_test_support.h"
#include "tarnrule_context.h"

namespace {

void put_points(std::ostringstream& out, const PList& line) {
  for (const Point& p : line.points()) out << bits(p.get_x()) << ',' << bits(p.get_y()) << ' ';
  out << '|';
}

// Every variable of the rule set with every float as its bits.
std::string state_of(RuleSet& rules) {
  std::ostringstream out;
  const CVList& vars = *rules.get_cv_list();
  for (int i = 0; i < vars.get_number(); ++i) {
    const CombinedVariable& cv = *vars.find(i);
    out << cv.get_cv_name() << ' ' << bits(cv.get_crisp_value()) << ' ' << bits(cv.get_importance())
        << '\n';
    for (int k = 0; k < cv.get_number(); ++k) {
      const PlimFuzzySet& term = *cv.find(k);
      out << "  " << term.get_linguistic_term() << ' ' << bits(term.get_match_value()) << ' ';
      put_points(out, *term.get_msf());
      put_points(out, *term.get_imsf());
      out << '\n';
    }
  }
  return out.str();
}

// Inputs X and Z; M from X and Z, N from Z, Y from M and N, all through
// two-premise rules, so that the evaluation of Y meets M and N in several
// premises; W from Y (a third level).
class RuleMemoTest : public ::testing::Test {
 protected:
  ParameterSet in_ps = make_ps("in", 0, 10, 5, 1, 1, {"low", "mid", "high"});
  ParameterSet out_ps = make_ps("out", 0, 10, 5, 1, 0.5f, {"bad", "fair", "good"}, 0.8f);

  // Builds the rules into a rule set.
  void build(RuleSet& rules) {
    const CombinedVariable x(&in_ps, "X");
    const CombinedVariable z(&in_ps, "Z");
    const CombinedVariable m(&out_ps, "M");
    const CombinedVariable n(&out_ps, "N");
    const CombinedVariable y(&out_ps, "Y");
    const CombinedVariable w(&out_ps, "W");
    const char* in_terms[] = {"low", "mid", "high"};
    const char* out_terms[] = {"bad", "fair", "good"};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        const char* t = out_terms[(i + j) % 3];
        rules.add_ComplexRule(&x, in_terms[i], &z, in_terms[j], &m, t, AND, 1);
        rules.add_ComplexRule(&z, in_terms[i], &z, in_terms[j], &n, t, OR, 0.9f);
        rules.add_ComplexRule(&m, out_terms[i], &n, out_terms[j], &y, out_terms[(i * j) % 3],
                              i == j ? AND : OR, 1);
      }
      rules.add_BasicRule(&y, out_terms[i], &w, out_terms[2 - i], 1);
    }
  }

  // Runs `change` on both rule sets, evaluates the variable in both and
  // compares results, messages and states.
  void step(const std::function<void(RuleSet&)>& change, const char* evaluated,
            bool internal = false) {
    SCOPED_TRACE(std::string("evaluating ") + evaluated);
    std::string messages[2];
    float results[2] = {0, 0};
    RuleSet* sets[2] = {&plain, &cached};
    for (int s = 0; s < 2; ++s) {
      change(*sets[s]);
      Capture err(std::cerr);
      CombinedVariable* cv = sets[s]->get_cv(evaluated);
      results[s] = internal ? static_cast<float>(sets[s]->internal_evaluate(cv))
                            : sets[s]->evaluate(evaluated);
      messages[s] = err.str();
    }
    EXPECT_EQ(bits(results[0]), bits(results[1]));
    EXPECT_EQ(messages[0], messages[1]);
    EXPECT_EQ(state_of(plain), state_of(cached));
  }

  static std::function<void(RuleSet&)> inputs(float x, float z) {
    return [x, z](RuleSet& rs) {
      rs.get_cv("X")->set_value(x);
      rs.get_cv("Z")->set_value(z);
    };
  }

  void SetUp() override {
    // Messages go to the console, where each step captures them; no shared
    // memory is lent.
    context.caching = false;
    context.err = &std::cerr;
    build(plain);
    build(cached);
    cached.set_evaluation_memo(&memo);
  }

  RuleEvaluationMemo memo;
  FuzzyContext context;
  RuleSet plain{&context};
  RuleSet cached{&context};
};

// A rule block that depends on itself through another, and a variable
// without rules: the failures and their messages are the same.
TEST_F(RuleMemoTest, CyclesAndMissingBlocksFailAlike) {
  const auto cycle = [this](RuleSet& rs) {
    const CombinedVariable y(&out_ps, "Y");
    const CombinedVariable x(&in_ps, "X");
    rs.add_BasicRule(&y, "good", &x, "high", 1);
  };
  step(inputs(2, 7), "Y");
  step(cycle, "Y");
  step(inputs(3, 7), "W");
  step([](RuleSet&) {}, "Z");
}

// R's key holds the inputs A, B and C in the order its rules name them:
// evaluations that differ in C alone, the last of them, get outcomes of
// their own, and each is found again.
TEST_F(RuleMemoTest, OutcomesThatDifferInTheLastInputAreToldApart) {
  const auto add_r = [this](RuleSet& rs) {
    const CombinedVariable a(&in_ps, "A");
    const CombinedVariable b(&in_ps, "B");
    const CombinedVariable c(&in_ps, "C");
    const CombinedVariable r(&out_ps, "R");
    rs.add_ComplexRule(&a, "low", &b, "low", &r, "bad", AND, 1);
    rs.add_BasicRule(&c, "high", &r, "good", 1);
    rs.get_cv("A")->set_value(2);
    rs.get_cv("B")->set_value(3);
    rs.get_cv("C")->set_value(1);
  };
  const auto c_at = [](float c) { return [c](RuleSet& rs) { rs.get_cv("C")->set_value(c); }; };
  step(add_r, "R");
  for (float c : {9.0f, 1.0f, 9.0f}) step(c_at(c), "R");
  EXPECT_GT(memo.hits(), 0u);
}

// Rule sets built anew from kept blocks (as script runs do: copied rules keep
// their stamps) take over the plans of those before only where the blocks
// and variables a plan met are as they were: a block moved, missing or
// changed, an input given rules or a variable missing must change what the
// evaluation reads.
TEST_F(RuleMemoTest, PlansCarriedToTheNextRuleSetOnlyWhileTheirBlocksHold) {
  RuleSet source;
  build(source);
  const CombinedVariable z(&in_ps, "Z");
  const CombinedVariable x(&in_ps, "X");
  source.add_BasicRule(&z, "low", &x, "high", 1);  // block 4, on X
  RuleBlock changed_n;
  changed_n.copy(source.find(1));
  changed_n.find(4)->set_certainty(0.25f);  // Z IS mid OR Z IS mid: fires
  struct Variant {
    const char* name;
    std::vector<const RuleBlock*> blocks;
    bool without_z;
  };
  const auto block = [&source](int b) { return source.find(b); };
  const Variant same{"same", {block(0), block(1), block(2), block(3)}, false};
  const Variant variants[] = {
      {"blocks moved", {block(1), block(0), block(2), block(3)}, false},
      {"N without rules", {block(0), block(2), block(3)}, false},
      {"N's rules changed", {block(0), &changed_n, block(2), block(3)}, false},
      {"X given rules", {block(0), block(1), block(2), block(3), block(4)}, false},
      {"Z missing", {block(0), block(1), block(2), block(3)}, true},
  };
  const auto rebuild = [&source](const Variant& v) {
    return [&source, &v](RuleSet& rs) {
      rs.remove_all();
      rs.set_cv_list(nullptr);
      const CVList& vars = *source.get_cv_list();
      for (int i = 0; i < vars.get_number(); ++i) {
        if (!v.without_z || vars.find(i)->get_cv_name_view() != "Z")
          rs.get_cv_list()->add(vars.find(i));
      }
      for (const RuleBlock* b : v.blocks) rs.add(b);
      if (rs.get_cv("X") != nullptr) rs.get_cv("X")->set_value(2);
      if (rs.get_cv("Z") != nullptr) rs.get_cv("Z")->set_value(7);
    };
  };
  const auto none = [](RuleSet&) {};
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    for (const Variant* run : {&same, &v, &same, &v}) {
      step(rebuild(*run), "W");
      step(none, "Y");
      step(none, "N", true);
    }
  }
  EXPECT_GT(memo.hits(), 0u);
}

}  // namespace
