// Tests of the fuzzy operators: the two-value, list and fuzzy-set forms,
// the functions applying an operator set, defuzzification and the
// operator-set text.
#include "tarnoper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fuzzy_test_support.h"
#include "tarnrule_context.h"

namespace {

using Flat = std::vector<float>;

FList list_of(std::initializer_list<float> values) {
  FList list;
  for (float v : values) list.add(v);
  return list;
}

float atan_product(float a, float b) {
  const double pi = std::numbers::pi;
  return static_cast<float>(std::atan(std::tan(a * pi / 2) * std::tan(b * pi / 2)));
}

// A set on [0, 6] with flanks of 2 at the given match value.
PlimFuzzySet* trapezoid(PlimList* sets, float mv) {
  PlimFuzzySet* set = sets->add("t", 0, 6, 2, 2, blue);
  set->set_match_value(mv);
  return set;
}

TEST(OperatorTest, TwoValueAndListForms) {
  const float quarter_pi = static_cast<float>(std::numbers::pi / 4);
  const FList none;
  const FList values = list_of({0.5f, 0.25f, 0.75f});
  const FList with_negative = list_of({0.5f, -0.3f});
  std::ostringstream err;
  const std::tuple<const char*, float, float> cases[] = {
      // what, result, expected
      {"prod", TNorm::prod(0.5f, 0.25f), 0.125f},
      {"addition limited", TCoNorm::addition(0.7f, 0.6f), 1},
      {"addition", TCoNorm::addition(0.25f, 0.5f), 0.75f},
      {"fuzzy_and gamma 1", CompOp::fuzzy_and(0.2f, 0.6f, 1), 0.2f},
      {"fuzzy_and gamma 0", CompOp::fuzzy_and(0.2f, 0.6f, 0), 0.4f},
      {"fuzzy_and gamma 0.5", CompOp::fuzzy_and(0.2f, 0.6f, 0.5f), 0.3f},
      {"fuzzy_or gamma 0.5", CompOp::fuzzy_or(0.2f, 0.6f, 0.5f), 0.5f},
      {"fuzzy_and gamma above 1", CompOp::fuzzy_and(0.2f, 0.6f, 1.5f, &err), -1},
      {"fuzzy_or gamma below 0", CompOp::fuzzy_or(0.2f, 0.6f, -0.5f, &err), -1},
      {"list fuzzy_and gamma above 1", CompOp::fuzzy_and(&values, 2, &err), -1},
      {"list fuzzy_or gamma below 0", CompOp::fuzzy_or(&values, -1, &err), -1},
      {"ass_comp_and", CompOp::ass_comp_and(0.5f, 0.5f), quarter_pi},
      {"ass_comp_or", CompOp::ass_comp_or(0.5f, 0.5f), 1 - quarter_pi},
      {"ass_comp_and at 1", CompOp::ass_comp_and(1, 0.3f), 0},
      {"ass_comp_or at 0", CompOp::ass_comp_or(0.4f, 0.0f), 0},
      {"ass_comp_and above 1", CompOp::ass_comp_and(1.2f, 0.3f), -1},
      {"ass_comp_or below 0", CompOp::ass_comp_or(0.5f, -0.1f), -1},
      // Not scaled back into [0, 1].
      {"ass_comp_and unscaled", CompOp::ass_comp_and(0.9f, 0.9f), atan_product(0.9f, 0.9f)},
      {"min of nothing", TNorm::min(&none), 1},
      {"prod of nothing", TNorm::prod(&none), 1},
      {"max of nothing", TCoNorm::max(&none), 0},
      {"addition of nothing", TCoNorm::addition(&none), 0},
      {"list prod", TNorm::prod(&values), 0.09375f},
      {"list addition limited", TCoNorm::addition(&values), 1},
      {"list fuzzy_and", CompOp::fuzzy_and(&values, 0.5f), 0.5f * 0.25f + 0.5f * 0.5f},
      {"list fuzzy_or", CompOp::fuzzy_or(&values, 0), 0.5f},
      {"ass_comp_and folds in order", CompOp::ass_comp_and(&values),
       atan_product(atan_product(0.5f, 0.25f), 0.75f)},
      {"negative counts as 0", CompOp::ass_comp_and(&with_negative), 0},
      {"ass_comp_or of nothing", CompOp::ass_comp_or(&none), 0},
  };
  for (const auto& [what, got, expected] : cases) EXPECT_FLOAT_EQ(got, expected) << what;
  EXPECT_GT(CompOp::ass_comp_and(0.9f, 0.9f), 1.5f);
  std::string expected;
  for (int i = 0; i < 4; ++i) expected += "gamma not in [0,1]!\n";
  EXPECT_EQ(err.str(), expected);
}

// Each step changes the match value of one set, in order.
TEST(OperatorTest, FuzzySetFormsSetTheMatchValueAndClip) {
  PlimList sets;
  PlimFuzzySet* set = trapezoid(&sets, 0);
  using Step = void (*)(PlimFuzzySet*, FuzzyContext*);
  const std::pair<Step, float> steps[] = {
      {[](PlimFuzzySet* s, FuzzyContext*) { TNorm::min(0.4f, s); }, 0.4f},  // a set at 0 takes it
      {[](PlimFuzzySet* s, FuzzyContext*) { TNorm::min(0.7f, s); }, 0.4f},
      {[](PlimFuzzySet* s, FuzzyContext*) { TNorm::min(0.0f, s); }, 0.4f},  // zero leaves the set
      {[](PlimFuzzySet* s, FuzzyContext*) { TNorm::prod(0.5f, s); }, 0.2f},
      {[](PlimFuzzySet* s, FuzzyContext*) { TCoNorm::max(0.5f, s); }, 0.5f},
      {[](PlimFuzzySet* s, FuzzyContext*) { TCoNorm::addition(0.75f, s); }, 1},
      {[](PlimFuzzySet* s, FuzzyContext* c) { CompOp::fuzzy_or(0.5f, s, 0.5f, c); }, 0.875f},
      // gamma: reported to the context's error stream
      {[](PlimFuzzySet* s, FuzzyContext* c) { CompOp::fuzzy_and(0.9f, s, 3, c); }, 0.875f},
  };
  FuzzyContext context;
  context.caching = false;
  std::ostringstream err;
  context.err = &err;
  for (const auto& [step, expected] : steps) {
    step(set, &context);
    EXPECT_EQ(set->get_match_value(), expected);
  }
  EXPECT_EQ(err.str(), "gamma not in [0,1]!\n");
  EXPECT_EQ(points_of(*set->get_imsf()), Flat({0, 0, 1.75f, 0.875f, 4.25f, 0.875f, 6, 0}));
}

TEST(DefuzzificationTest, IntegrateWeightsTrapezoidsByTheirEndPoints) {
  const std::pair<Flat, float> cases[] = {
      {{0, 0, 2, 1, 4, 0}, 2},       {{0, 1, 4, 1}, 2},
      {{0, 0, 1, 1, 4, 0}, 1},  // not the centroid 5/3
      {{0, 0, 3, 0, 5, 0}, -1},      {{2, 1}, -1},
      {{0, 0, 0, 1, 2, 1, 2, 0}, 1},  // vertical edges add nothing
  };
  for (const auto& [line, expected] : cases) {
    const PList p = polyline(line);
    EXPECT_EQ(DefOp::integrate(&p), expected);
  }
  EXPECT_EQ(DefOp::integrate(nullptr), -1);
}

// A variable whose terms carry the given clipped functions.
void give_imsf(CombinedVariable* cv, const std::vector<Flat>& functions) {
  for (const Flat& f : functions) *cv->add()->get_imsf() = polyline(f);
}

// The default operators are applied through the rule-set tests; here the
// other choices and the missing ones.
TEST(OperatorSetTest, ApplyingTheChosenOperators) {
  OperatorSet ops;
  ops.set_importance_operator(product);
  ops.set_and_operator(fuzzy_and);
  ops.set_or_operator(no_fop);
  ops.set_certainty_operator(no_fop);
  ops.set_inference_operator(no_fop);
  ops.set_gamma(0.5f);
  const FList values = list_of({0.2f, 0.6f});
  EXPECT_EQ(join_mv_with_importance(0.6f, 0.5f, &ops), 0.3f);
  EXPECT_EQ(certify(0.6f, 0.8f, &ops), -1);
  EXPECT_FLOAT_EQ(aggregate(&values, AND, &ops), 0.3f);
  EXPECT_EQ(aggregate(&values, c_or, &ops), -1);
  EXPECT_EQ(aggregate(&values, no_cop, &ops), -1);
  PlimList sets;
  PlimFuzzySet* set = trapezoid(&sets, 0.25f);
  inference(0.75f, set, &ops);
  EXPECT_EQ(set->get_match_value(), 0.25f);
}

TEST(OperatorSetTest, AccumulateDefuzzifiesByTheChosenOperator) {
  // Cover (0,0) (2,1) (3,0.5) (4,1) (6,0): area 2+1.5+1.5+2, moment 4+3.5+5.5+8.
  CombinedVariable cv;
  give_imsf(&cv, {{0, 0, 2, 1, 4, 0}, {2, 0, 4, 1, 6, 0}});
  CombinedVariable flat;  // no area: every point is a maximum
  give_imsf(&flat, {{1, 0, 6, 0}, {0, 0, 4, 0}});
  CombinedVariable none;
  OperatorSet ops;
  const std::tuple<defuzzification_operator, float, float> cases[] = {
      {cog, 3, -1}, {fimax, 2, 1}, {mom, 3, 2.75f}, {no_dfop, -1, -1}};
  for (const auto& [op, value, flat_value] : cases) {
    ops.set_defuzzy_operator(op);
    cv.set_crisp_value(42);
    EXPECT_EQ(accumulate(&cv, &ops), value) << op;
    EXPECT_EQ(cv.get_crisp_value(), op == no_dfop ? 42 : value) << op;
    EXPECT_EQ(accumulate(&flat, &ops), flat_value) << op;
    EXPECT_EQ(accumulate(&none, &ops), -1) << op;
  }
}

// calculate() joins two variables term by term: each result term's match
// value is the inference of the aggregated (importance-weighted) match
// values, its function clipped there, and a new stamp tells memories of the
// change; a missing operand makes the result a copy of the other, and
// mismatches are refused with a message.
TEST(OperatorSetTest, CalculateJoinsTwoVariablesTermByTerm) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 1, {"low", "high"});
  CombinedVariable a(&ps, "A");
  CombinedVariable b(&ps, "B");
  a.fuzzify(2.5f);  // low 0.75, high 0.25
  b.fuzzify(5.0f);  // low 0.5, high 0.5
  OperatorSet ops;  // minimum throughout
  const auto run = [&](CombinedVariable* result, const CombinedVariable* x,
                       const CombinedVariable* y) {
    Capture err(std::cerr);
    const int r = calculate(result, x, y, AND, &ops, &std::cerr);
    return std::make_pair(r, err.str());
  };
  CombinedVariable result(&ps, "R");
  const std::uint64_t stamp = result.get_stamp();
  EXPECT_EQ(run(&result, &a, &b), std::make_pair(1, std::string()));
  EXPECT_EQ(result.get_fs_match_value(0), 0.5f);
  EXPECT_EQ(result.get_fs_match_value(1), 0.25f);
  float top = 0;
  for (const Point& p : result.find(1)->get_imsf()->points()) top = std::max(top, p.get_y());
  EXPECT_EQ(top, 0.25f);  // clipped at its match value
  EXPECT_NE(result.get_stamp(), stamp);
  EXPECT_EQ(result.get_crisp_value(), -1);

  CombinedVariable copy;
  EXPECT_EQ(run(&copy, nullptr, &a).first, 1);
  EXPECT_EQ(copy.get_fs_match_value(0), 0.75f);
  EXPECT_EQ(copy.get_crisp_value(), -1);

  const ParameterSet three = make_ps("q", 0, 10, 5, 1, 1, {"l", "m", "h"});
  CombinedVariable other(&three, "O");
  EXPECT_EQ(run(&result, &a, &other),
            std::make_pair(-1, std::string("Variables have different number of terms!\n")));
  EXPECT_EQ(run(&result, nullptr, nullptr),
            std::make_pair(-1, std::string("Nothing to calclute!\n")));
  EXPECT_EQ(run(nullptr, &a, &b),
            std::make_pair(-1, std::string("Cannot do calclutions for Null pointer!\n")));
}

TEST(OperatorSetTest, ReadWordsAndWriteThemBack) {
  OperatorSet ops;
  // Words are case-sensitive: an unknown one reads as no_fop.
  std::istringstream in("sum fuzzy_or PRODUCT ass_comp_and product maximum mom 0.25 3");
  EXPECT_TRUE(ops.read(in));
  std::ostringstream out;
  ops.write(out);
  EXPECT_EQ(out.str(), "\nsum fuzzy_or no_fop ass_comp_and product maximum mom 0.25 3\n\n");
}

}  // namespace
