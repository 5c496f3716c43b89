// Tests of the formula calculator: parsing without precedence, every operator
// and function, lazy computation through the store, the error message, the
// division-by-zero exit, and the resolution of indexed names.
#include <gtest/gtest.h>

#include <cmath>

#include "capture.h"
#include "expint.h"

namespace {

const std::string kError = "\nDynaTARN++: error in expression!\n";

struct Computed {
  float value;
  std::string output;
};

Computed compute(TVarlist& store, const std::string& formula) {
  Capture out;
  const float v = compute_formula(formula, store);
  return {v, out.str()};
}

TEST(Calculator, FormulasComputeAsWrittenWithoutPrecedence) {
  TVarlist store;
  store.insert("a", "2", 2);
  store.insert("b", "3", 3);
  store.insert("x", "1", 1);
  struct Case {
    const char* formula;
    float value;
    int errors;
  } cases[] = {
      {"(2+3)", 5, 0},
      {"(2+3*4)", 20, 0},
      {"2+3+4", 5, 0},
      {"2-3", -1, 0},
      {"(-5)", -5, 0},
      {"(-a+b)", 1, 0},
      {"ABS((0-3))", 3, 0},
      {"SQR(3)", 9, 0},
      {"SRT(9)", 3, 0},
      {"srt(a*8)", 4, 0},
      {"LOG(1)", 0, 0},
      {"COS(0)", 1, 0},
      {"SIN((-x))", static_cast<float>(std::sin(-1.0)), 0},
      {"SUM{1,2,3}", 6, 0},
      {"MUL{2,a,b}", 12, 0},
      {"MIN{4,2,2,5}", 2, 0},
      {"MAX{(0-1),(0-5)}", -1, 0},
      {"MUL{}", 0, 1},
      {"?{(a>1),10,20}", 10, 0},
      {"?{(a<1),10,20}", 20, 0},
      {"?{1,5,unknown}", 5, 0},
      {"?{0,5}", 0, 1},
      {"(1=1)", 1, 0},
      {"(2!2)", 0, 0},
      {"(1<2)", 1, 0},
      {"(1&0)", 0, 0},
      {"(a&b)", 1, 0},
      {"(0|3)", 1, 0},
      {"0.5", 0.5f, 0},
      {"1e2", 100, 0},
      {".5", 0, 1},
      {"", 0, 1},
      {"()", 0, 1},
      {"(unknown+1)", 1, 1},
      {"(a,b)", 0, 1},
      {"(\"A\"=65)", 1, 0},
      {"(\"AB\"!\"AB\")", 0, 0},
      {"-a", -2, 1},
      {"SUM{a)b}", 2, 1},
  };
  for (const Case& c : cases) {
    const Computed r = compute(store, c.formula);
    EXPECT_FLOAT_EQ(r.value, c.value) << c.formula;
    std::string expected;
    for (int i = 0; i < c.errors; ++i) expected += kError;
    EXPECT_EQ(r.output, expected) << c.formula;
  }
}

TEST(Calculator, StringConstantsAreBase256Codes) {
  EXPECT_EQ(string_to_float("\"A\""), 65.0f);
  EXPECT_EQ(string_to_float("\"AB\""), 65.0f * 256 + 66);
  EXPECT_EQ(string_to_float("\""), 0.0f);
  EXPECT_EQ(string_to_float(""), 0.0f);
  // The first character goes whatever it is; only a closing quote is checked.
  EXPECT_EQ(string_to_float("ABC\""), 66.0f * 256 + 67);
  EXPECT_EQ(string_to_float("\"ABC"), (65.0f * 256 + 66) * 256 + 67);
}

TEST(Calculator, VariablesAreComputedOnceAndCached) {
  TVarlist store;
  store.insert("a", "(b+1)", 0);
  store.insert("b", "2", 2);
  store.insert("s", "\"A\"", 0);
  EXPECT_EQ(compute(store, "a").value, 3.0f);
  EXPECT_EQ(store.get_value("a"), 3.0f);
  EXPECT_EQ(store.get_comp("a"), 1);
  store.set_value("b", 10);
  EXPECT_EQ(compute(store, "(a+0)").value, 3.0f);
  store.set_comp("a", 0);
  EXPECT_EQ(compute(store, "(a+0)").value, 11.0f);
  EXPECT_EQ(compute(store, "s").value, 65.0f);
  EXPECT_EQ(store.get_comp("s"), 1);
}

TEST(Calculator, ATreeKeepsTheResultsOfTheVariablesItComputed) {
  TVarlist store;
  store.insert("a", "5", 0);
  store.insert("c", "1", 1);
  TExptree root(1, "", "", "", 0, nullptr, nullptr);
  std::string text = "(a+c)";
  root.insert_expr(text, 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(root.calculate(&store, 1), 6.0f);
  store.set_value("a", 100);
  store.set_value("c", 2);
  // a was computed from its formula and is now a number in the tree; c is read again.
  EXPECT_EQ(root.calculate(&store, 1), 7.0f);
  EXPECT_EQ(root.get_left()->get_left()->get_type(), 2);
  EXPECT_EQ(root.get_left()->get_right()->get_type(), 3);
}

TEST(Calculator, ParsingLeavesUnconsumedText) {
  struct Case {
    const char* text;
    const char* left;
  } cases[] = {{"a+b+c", "+c"}, {"1+2)", ""}, {"(a+b)*c)x", "x"}, {"x", ""}};
  for (const Case& c : cases) {
    TExptree root;
    std::string text = c.text;
    root.insert_expr(text, 0);
    EXPECT_EQ(text, c.left) << c.text;
  }
  std::string text = "abc";
  EXPECT_EQ(TExptree::get_next(text), "bc");
}

TEST(Calculator, BaseCalcZeroRecomputesEveryVariable) {
  TVarlist store;
  store.insert("a", "(1+1)", 7);
  TExptree root;
  std::string text = "(a*3)";
  root.insert_expr(text, 0);
  EXPECT_EQ(root.calculate(&store, 0), 6.0f);
  EXPECT_EQ(store.get_value("a"), 2.0f);
}

TEST(Calculator, CyclesAndDeepChainsEndWithTheErrorAndZero) {
  TVarlist store;
  store.insert("a", "(b+1)", 0);
  store.insert("b", "(a+1)", 0);
  Computed r = compute(store, "(a+5)");
  EXPECT_EQ(r.value, 0.0f);
  EXPECT_EQ(r.output, kError);
  EXPECT_EQ(store.get_comp("a"), 0);
  EXPECT_EQ(store.get_comp("b"), 0);

  TVarlist chain;
  const int n = 3 * script_limits::kMaxCalcDepth;
  auto name = [](int i) { return std::string(1, 'v').append(std::to_string(i)); };
  for (int i = 0; i < n; ++i) {
    chain.insert(name(i), std::string(1, '(').append(name(i + 1)).append("+1)"), 0);
  }
  chain.insert(name(n), "1", 1);
  r = compute(chain, "v0");
  EXPECT_EQ(r.value, 0.0f);
  EXPECT_EQ(r.output, kError);
}

TEST(Calculator, OverlongTokensAndFormulasAreCut) {
  TVarlist store;
  const std::string name(100, 'v');
  store.insert(name, "4", 4);
  EXPECT_EQ(compute(store, "(" + name + "+1)").value, 5.0f);
  // Text past the formula size is not read: the innermost operand is lost.
  const Computed deep = compute(store, std::string(200, '(') + "1");
  EXPECT_EQ(deep.value, 0.0f);
  EXPECT_EQ(deep.output, kError);
}

TEST(CalculatorDeathTest, DivisionByZeroEndsTheProgramWithStatusZero) {
  TVarlist store;
  store.insert("z", "0", 0);
  EXPECT_EXIT(
      {
        std::cout.rdbuf(std::cerr.rdbuf());
        compute_formula("(1/z)", store);
      },
      ::testing::ExitedWithCode(0), "ERROR: DIVISION BY ZERO! Program terminated\\.");
  EXPECT_EQ(compute(store, "?{0,(1/z),2}").value, 2.0f);
  EXPECT_EQ(compute(store, "(6/4)").value, 1.5f);
}

TEST(RealName, ResolvesEveryIndexExpression) {
  TVarlist store;
  store.insert("i", "2", 2);
  store.insert("j", "(5)", 0);  // stored value 0, taken without computing
  store.insert("neg", "0", -2.7f);
  const std::size_t size = script_limits::kFormulaChars;
  struct Case {
    std::string name;
    std::string resolved;
    int errors;
  } cases[] = {
      {"groups[i].members", "groups[2].members", 0},
      {"x[(i+1)]", "x[3]", 0},
      {"plain", "plain", 0},
      {"x[k]", "x[0]", 1},
      {"x[i", "x[", 0},
      {"x[j]", "x[0]", 0},
      {"c[i][(i*i)]", "c[2][4]", 0},
      {"x[neg]", "x[-2]", 0},
      {"x[]", "x[0]", 1},
      {"x[i][i", "x[2][", 0},
      {"a[1]]b[[i]", "a[1]]b[0]", 1},
      {"y[(i*100)]z[i]", "y[200]z[2]", 0},
      {"y[i].z[i]w", "y[2].z[2]w", 0},
      // Texts at and past the formula size are cut, with or without indices;
      // text after the last index is kept.
      {std::string(size, 'a'), std::string(size, 'a'), 0},
      {std::string(size + 5, 'b'), std::string(size, 'b'), 0},
      {"x[i]" + std::string(size, 'c'), "x[2]" + std::string(size - 4, 'c'), 0},
      {std::string(size - 3, 'd') + "[i]", std::string(size - 3, 'd') + "[2]", 0},
      {std::string(size - 2, 'e') + "[i]", std::string(size - 2, 'e') + "[2", 0},
  };
  for (const Case& c : cases) {
    Capture out;
    std::string name = c.name;
    EXPECT_EQ(store.real_name(name), c.resolved) << c.name;
    std::string expected;
    for (int i = 0; i < c.errors; ++i) expected += kError;
    EXPECT_EQ(out.str(), expected) << c.name;
  }
  EXPECT_EQ(store.get_comp("j"), 0);
}

}  // namespace
