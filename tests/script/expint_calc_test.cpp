// Tests of the formula calculator: parsing without precedence, every operator
// and function, lazy computation through the store, the error message, the
// stop at a division by zero, and the resolution of indexed names.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "expint.h"

namespace {

// The error message, `n` times.
std::string errors(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += "\nDynaTARN++: error in expression!\n";
  return text;
}

struct Computed {
  float value;
  std::string output;
};

// Collects what computations in a store write, for as long as it lives.
class StoreOutput {
 public:
  explicit StoreOutput(TVarlist& store) : store_(store) { store_.set_output(&text_); }
  ~StoreOutput() { store_.set_output(nullptr); }
  StoreOutput(const StoreOutput&) = delete;
  StoreOutput& operator=(const StoreOutput&) = delete;
  std::string str() const { return text_.str(); }

 private:
  TVarlist& store_;
  std::ostringstream text_;
};

Computed compute(TVarlist& store, const std::string& formula) {
  StoreOutput out(store);
  const float v = compute_formula(formula, store);
  return {v, out.str()};
}

// Every formula computes alike as a text, parsed once and computed twice
// (as a tree and through its form), and built into a tree by insert_expr
// and calculated twice (the second time what its operator and function
// texts stand for is no longer read from the texts).
TEST(Calculator, FormulasComputeAsWrittenWithoutPrecedence) {
  TVarlist store;
  store.insert("a", "2", 2);
  store.insert("b", "3", 3);
  store.insert("x", "1", 1);
  store.insert("c", "(b+1)", 0);
  const float sin_minus_one = static_cast<float>(std::sin(-1.0));
  // clang-format off
  struct Case { const char* f; float v; int errs; } cases[] = {
      {"(2+3)", 5, 0}, {"(2+3*4)", 20, 0}, {"2+3+4", 5, 0}, {"2-3", -1, 0}, {"(-5)", -5, 0},
      {"(-a+b)", 1, 0}, {"ABS((0-3))", 3, 0}, {"SQR(3)", 9, 0}, {"SRT(9)", 3, 0},
      {"srt(a*8)", 4, 0}, {"LOG(1)", 0, 0}, {"COS(0)", 1, 0}, {"SIN((-x))", sin_minus_one, 0},
      {"TAN(0)", 0, 0}, {"SQR((1+2))", 9, 0}, {"(-2*3)", -6, 0}, {"(-a)", -2, 0},
      {"SUM{1,2,3}", 6, 0}, {"MUL{2,a,b}", 12, 0}, {"MIN{4,2,2,5}", 2, 0}, {"MUL{}", 0, 1},
      {"MAX{(0-1),(0-5)}", -1, 0}, {"?{(a>1),10,20}", 10, 0}, {"?{(a<1),10,20}", 20, 0},
      {"?{1,5,unknown}", 5, 0}, {"?{0,5}", 0, 1}, {"(1=1)", 1, 0}, {"(2!2)", 0, 0},
      {"(1<2)", 1, 0}, {"(1&0)", 0, 0}, {"(a&b)", 1, 0}, {"(0|3)", 1, 0}, {"0.5", 0.5f, 0},
      {"1e2", 100, 0}, {".5", 0, 1}, {"", 0, 1}, {"()", 0, 1}, {"(unknown+1)", 1, 1},
      {"(a,b)", 0, 1}, {"(\"A\"=65)", 1, 0}, {"(\"AB\"!\"AB\")", 0, 0}, {"-a", -2, 1},
      {"SUM{a)b}", 2, 1}, {"a", 2, 0}, {"unknown", 0, 1}, {"\"A\"", 65, 0}, {"c", 4, 0},
      {"(c+1)", 5, 0}, {"((a>1)|(b<1))", 1, 0}, {"((a>1)&(b<1))", 0, 0}, {"(-x|0)", 1, 0},
      {"((c>3)&(unknown=0))", 1, 1}, {"SUM{1,2", 0, 1}, {"MAX{1,", 0, 1}, {"SUM{}", 0, 1},
      {"MIN{b,a,x}", 1, 0}, {"(-SUM{a,b})", -5, 0}, {"SUM{unknown,1}", 1, 1},
      {"MAX{\"A\",a}", 65, 0}, {"MUL{c,a}", 8, 0}, {"((a+1)*2)", 6, 0}, {"(-(a+1)*b)", -9, 0},
      {"SQR((a+b))", 25, 0}, {"(SUM{a,b}*2)", 10, 0}, {"((a>1)&((b<1)|x))", 1, 0},
      {"((unknown+1)*2)", 2, 1}, {"(SQR(a)+\"A\")", 69, 0}, {"((c*2)-a)", 6, 0},
      {"(ABS((a-b))*(-x))", -1, 0}, {"MIN{(a*b),(b-a),c}", 1, 0},
      {"?{(a>1),?{(b>5),1,2},3}", 2, 0}, {"(?{x,a,b}+1)", 3, 0}, {"?{(unknown>1),1,2}", 2, 1},
      {"SUM{?{0,a,b},?{c,1,2}}", 4, 0}};
  // clang-format on
  for (const Case& c : cases) {
    const Computed r = compute(store, c.f);
    EXPECT_FLOAT_EQ(r.value, c.v) << c.f;
    EXPECT_EQ(r.output, errors(c.errs)) << c.f;
    const std::unique_ptr<TExptree> parsed = parse_formula(c.f);
    std::string text = c.f;
    TExptree inserted;
    inserted.insert_expr(text, 0);
    TFormula formula(c.f);
    for (int round = 0; round < 2; ++round) {
      StoreOutput out(store);
      EXPECT_EQ(compute_tree(*parsed, store), r.value) << c.f << " parsed, round " << round;
      EXPECT_EQ(formula.compute(store), r.value) << c.f << " formula, round " << round;
      EXPECT_FLOAT_EQ(inserted.calculate(&store, 1), c.v) << c.f << " inserted, round " << round;
      EXPECT_EQ(out.str(), errors(3 * c.errs)) << c.f << " round " << round;
    }
  }
  EXPECT_EQ(store.get_comp("c"), 1);
}

// A tree computes by its operator and function texts once they are changed,
// also after its first computation found it plain arithmetic.
TEST(Calculator, TreesComputeByTheirTextsAsChanged) {
  TVarlist store;
  // 3*3: the operator node under the root.
  std::string text = "(3*3)";
  TExptree tree;
  tree.insert_expr(text, 0);
  TExptree& square = *tree.get_left();
  EXPECT_FLOAT_EQ(compute_tree(tree, store), 9);
  // clang-format off
  struct Change { const char* oper; const char* function; float v; int errs; } changes[] = {
      {"", "ABS", 3, 0}, {"", "XYZ", 0, 1}, {",", "SQR", 0, 1}, {"", "SRT", std::sqrt(3.0f), 0}};
  // clang-format on
  for (const Change& c : changes) {
    square.set_oper(c.oper);
    square.set_function(c.function);
    StoreOutput out(store);
    EXPECT_FLOAT_EQ(compute_tree(tree, store), c.v) << c.oper << c.function;
    EXPECT_FLOAT_EQ(tree.calculate(&store, 1), c.v) << c.oper << c.function;
    EXPECT_EQ(out.str(), errors(2 * c.errs)) << c.oper << c.function;
  }
}

// The memory of parsed formulas gives what parsing gives: for texts that
// differ in one character or only in length, with formulas enough to grow
// its table many times and to pass its limit (formulas beyond it are parsed
// per use), each computed twice, the second time from the memory.
TEST(Calculator, RememberedFormulasComputeAsParsedOnes) {
  TFormulaMemory memory;
  TVarlist remembering;
  TVarlist plain;
  remembering.set_formula_memory(&memory);
  for (TVarlist* store : {&remembering, &plain}) {
    store->insert("a", "2", 2);
    store->insert("b", "(a*3)", 0);
  }
  constexpr int kFormulas = 9000;
  std::vector<std::string> texts;
  for (int i = 0; i < kFormulas; ++i) {
    const std::string n = std::to_string(i);
    texts.push_back(i % 3 == 0 ? "(b+" + n + ")" : i % 3 == 1 ? "(" + n + "*a)" : n);
  }
  for (int round = 0; round < 2; ++round) {
    for (const std::string& text : texts) {
      ASSERT_EQ(compute_formula(text, remembering), compute_formula(text, plain)) << text;
    }
  }
}

// A formula parsed once follows its store: a variable made uncomputed is
// computed from its formula, a missing one is an error (and 0), one made
// again elsewhere is found there, and a divisor that became 0 stops.
TEST(Calculator, ParsedFormulasFollowTheirStore) {
  TVarlist store;
  store.insert("a", "2", 2);
  store.insert("b", "(a*3)", 6);
  TFormula quotient("(b/a)");
  TFormula single("(-b)");
  TFormula number("7");
  StoreOutput out(store);
  EXPECT_EQ(quotient.compute(store), 3.0f);
  EXPECT_EQ(single.compute(store), -6.0f);
  store.set_value("a", 4);
  store.set_comp("b", 0);
  EXPECT_EQ(quotient.compute(store), 3.0f);  // b computed again: 12 / 4
  EXPECT_EQ(store.get_comp("b"), 1);
  store.remove("a");
  TFormula sum("(b+a)");
  EXPECT_EQ(sum.compute(store), 12.0f);
  EXPECT_EQ(out.str(), errors(1));
  store.insert("x", "1", 1);
  store.insert("a", "0", 0);
  EXPECT_EQ(single.compute(store), -12.0f);
  EXPECT_EQ(number.compute(store), 7.0f);
  EXPECT_EQ(quotient.compute(store), 0.0f);
  EXPECT_EQ(out.str(), errors(1) + "\nERROR: DIVISION BY ZERO! Program terminated.\n");
  EXPECT_EQ(number.compute(store), 0.0f);
}

TEST(Calculator, StringConstantsAreBase256Codes) {
  // The first character goes whatever it is; only a closing quote is checked.
  const std::pair<const char*, float> cases[] = {
      {"\"A\"", 65.0f}, {"\"AB\"", 65.0f * 256 + 66}, {"\"", 0.0f},
      {"", 0.0f},       {"ABC\"", 66.0f * 256 + 67},  {"\"ABC", (65.0f * 256 + 66) * 256 + 67}};
  for (const auto& [text, value] : cases) EXPECT_EQ(string_to_float(text), value) << text;
}

// A computed variable keeps its result until it is marked uncomputed, in
// the store and in a tree that computed it from its formula; a tree reads
// the other variables again, and base_calc 0 recomputes every variable.
TEST(Calculator, VariablesAreComputedOnceAndKept) {
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

  TVarlist tree_store;
  tree_store.insert("a", "5", 0);
  tree_store.insert("c", "1", 1);
  tree_store.insert("d", "(1+1)", 7);
  TExptree root(1, "", "", "", 0, nullptr, nullptr);
  std::string text = "(a+c)";
  root.insert_expr(text, 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(root.calculate(&tree_store, 1), 6.0f);
  tree_store.set_value("a", 100);
  tree_store.set_value("c", 2);
  EXPECT_EQ(root.calculate(&tree_store, 1), 7.0f);
  EXPECT_EQ(root.get_left()->get_left()->get_type(), 2);
  EXPECT_EQ(root.get_left()->get_right()->get_type(), 3);
  TExptree again;
  text = "(d*3)";
  again.insert_expr(text, 0);
  EXPECT_EQ(again.calculate(&tree_store, 0), 6.0f);
  EXPECT_EQ(tree_store.get_value("d"), 2.0f);
}

TEST(Calculator, ParsingLeavesUnconsumedText) {
  const std::pair<const char*, const char*> cases[] = {
      {"a+b+c", "+c"}, {"1+2)", ""}, {"(a+b)*c)x", "x"}, {"x", ""}};
  for (const auto& [in, left] : cases) {
    TExptree root;
    std::string text = in;
    root.insert_expr(text, 0);
    EXPECT_EQ(text, left) << in;
  }
}

TEST(Calculator, CyclesAndDeepChainsEndWithTheErrorAndZero) {
  TVarlist store;
  store.insert("a", "(b+1)", 0);
  store.insert("b", "(a+1)", 0);
  Computed r = compute(store, "(a+5)");
  EXPECT_EQ(r.value, 0.0f);
  EXPECT_EQ(r.output, errors(1));
  EXPECT_EQ(store.get_comp("a") + store.get_comp("b"), 0);

  TVarlist chain;
  const int n = 3 * script_limits::kMaxCalcDepth;
  auto name = [](int i) { return std::string(1, 'v').append(std::to_string(i)); };
  for (int i = 0; i < n; ++i)
    chain.insert(name(i), std::string(1, '(').append(name(i + 1)).append("+1)"), 0);
  chain.insert(name(n), "1", 1);
  r = compute(chain, "v0");
  EXPECT_EQ(r.value, 0.0f);
  EXPECT_EQ(r.output, errors(1));
}

TEST(Calculator, OverlongTokensAndFormulasAreCut) {
  TVarlist store;
  const std::string name(100, 'v');
  store.insert(name, "4", 4);
  EXPECT_EQ(compute(store, "(" + name + "+1)").value, 5.0f);
  // Text past the formula size is not read: the innermost operand is lost.
  const Computed deep = compute(store, std::string(200, '(') + "1");
  EXPECT_EQ(deep.value, 0.0f);
  EXPECT_EQ(deep.output, errors(1));
}

// A division by zero prints its message once and stops the store: that
// computation and every later one give 0 without a word, and the listener
// hears of it once. A zero divisor in a branch not taken divides nothing.
TEST(Calculator, DivisionByZeroStopsTheStore) {
  struct Listener : TDivisionByZeroListener {
    int told = 0;
    void divided_by_zero() override { ++told; }
  } listener;
  TVarlist store;
  store.insert("z", "0", 0);
  store.insert("a", "3", 3);
  store.insert("late", "(a*2)", 0);
  store.set_division_listener(&listener);
  EXPECT_EQ(compute(store, "?{0,(1/z),2}").value, 2.0f);
  EXPECT_EQ(compute(store, "(6/4)").value, 1.5f);
  EXPECT_FALSE(store.divided_by_zero());
  const Computed divided = compute(store, "(a+(1/z))");
  EXPECT_EQ(divided.value, 0.0f);
  EXPECT_EQ(divided.output, "\nERROR: DIVISION BY ZERO! Program terminated.\n");
  EXPECT_TRUE(store.divided_by_zero());
  EXPECT_EQ(listener.told, 1);
  for (const char* later : {"(6/4)", "a", "late", "(1/z)", "missing"}) {
    const Computed c = compute(store, later);
    EXPECT_EQ(c.value, 0.0f) << later;
    EXPECT_EQ(c.output, "") << later;
  }
  EXPECT_EQ(store.get_comp("late"), 0);
  EXPECT_EQ(listener.told, 1);
  // A formula parsed once stops at the zero divisor in the same way.
  TVarlist second;
  second.insert("z", "0", 0);
  second.insert("a", "3", 3);
  TFormula nested("(a+(1/z))");
  StoreOutput out(second);
  EXPECT_EQ(nested.compute(second), 0.0f);
  EXPECT_EQ(out.str(), "\nERROR: DIVISION BY ZERO! Program terminated.\n");
  EXPECT_TRUE(second.divided_by_zero());
}

// The store as MEMDUMP ALL shows it: names, formulas, values, computed flags.
std::string shown(const TVarlist& store) {
  std::ostringstream out;
  store.show(out);
  return out.str();
}

// An indexed name computes as its resolved text does: a name's variable
// that is not yet computed computes its formula and keeps the value, at the
// depth a formula of the name reaches it (chains of formulas around the
// depth limit), with its messages; names that parse otherwise (a bracket
// around the name, a list function) compute as formulas.
TEST(IndexedName, ComputesAsItsResolvedText) {
  const int limit = script_limits::kMaxCalcDepth;
  // A chain of variables c1 = c2, c2 = c3, ... ends in `end`.
  auto store_with = [](const std::string& formula, int chain, const char* end = "1") {
    auto store = std::make_unique<TVarlist>();
    store->insert("i", "2", 2);
    store->insert("z", "0", 0);
    store->insert("y", "(i+1)", 0);
    store->insert("x[2]", formula, 0);
    store->insert("(x[2])", "9", 9);
    store->insert("(-x[2])", "8", 8);
    store->insert("x[2])", "6", 0);
    store->insert("MINa[2]", "5", 5);
    auto link = [](int k) { return std::string(1, 'c').append(std::to_string(k)); };
    for (int k = 1; k <= chain; ++k) store->insert(link(k), k < chain ? link(k + 1) : end, 0);
    return store;
  };
  struct Case {
    const char* word;
    std::string formula;
    int chain;
    const char* end = "1";  // one level deeper as "(1)"
  };
  std::vector<Case> cases = {
      {"x[i]", "7", 0},     {"x[i]", "(y*2)", 0},   {"x[i]", "\"A\"", 0}, {"x[i]", "(x[2]+1)", 0},
      {"x[i]", "(1/z)", 0}, {"x[i]", "missing", 0}, {"x[(i+3)]", "7", 0}, {"(x[i])", "4", 0},
      {"(-x[i])", "4", 0},  {"x[i])", "4", 0},      {"MINa[i]", "4", 0},  {"x[i]", "-0.000000", 0},
      {"x[i]", "(0-0)", 0}};
  for (int chain = limit / 2 - 3; chain <= limit / 2 + 1; ++chain) {
    for (const char* end : {"1", "(1)"}) cases.push_back({"x[i]", "c1", chain, end});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.word) + " = " + c.formula + ", chain " + std::to_string(c.chain) +
                 " to " + c.end);
    const std::unique_ptr<TVarlist> by_name = store_with(c.formula, c.chain, c.end);
    const std::unique_ptr<TVarlist> by_text = store_with(c.formula, c.chain, c.end);
    TIndexedName name(c.word);
    const std::string text(name.resolve(*by_name));
    for (int again = 0; again < 2; ++again) {
      StoreOutput name_out(*by_name);
      const float named = name.compute(*by_name);
      const Computed computed = compute(*by_text, text);
      EXPECT_EQ(std::bit_cast<std::uint32_t>(named), std::bit_cast<std::uint32_t>(computed.value));
      EXPECT_EQ(name_out.str(), computed.output);
      EXPECT_EQ(shown(*by_name), shown(*by_text));
    }
  }
}

TEST(RealName, ResolvesEveryIndexExpression) {
  TVarlist store;
  store.insert("i", "2", 2);
  store.insert("j", "(5)", 0);  // stored value 0, taken without computing
  store.insert("neg", "0", -2.7f);
  const std::size_t n = script_limits::kFormulaChars;
  const std::string s = "x[i]";
  // Texts at and past the formula size are cut, with or without indices;
  // text after the last index is kept.
  // clang-format off
  struct Case { std::string name; std::string resolved; int errs; } cases[] = {
      {"groups[i].members", "groups[2].members", 0}, {"x[(i+1)]", "x[3]", 0},
      {"plain", "plain", 0}, {"x[k]", "x[0]", 1}, {"x[i", "x[", 0}, {"x[j]", "x[0]", 0},
      {"c[i][(i*i)]", "c[2][4]", 0}, {"x[neg]", "x[-2]", 0}, {"x[]", "x[0]", 1},
      {"x[i][i", "x[2][", 0}, {"a[1]]b[[i]", "a[1]]b[0]", 1}, {"b[a[i]]", "b[0]]", 1},
      {"y[(i*100)]z[i]", "y[200]z[2]", 0}, {"y[i].z[i]w", "y[2].z[2]w", 0},
      {"x[(i+7)]", "x[9]", 0}, {"x[(i+8)]", "x[10]", 0}, {"x[(i-2)]", "x[0]", 0},
      {std::string(n, 'a'), std::string(n, 'a'), 0},
      {std::string(n + 5, 'b'), std::string(n, 'b'), 0},
      {s + std::string(n, 'c'), "x[2]" + std::string(n - 4, 'c'), 0},
      {std::string(n - 3, 'd') + "[i]", std::string(n - 3, 'd') + "[2]", 0},
      {std::string(n - 2, 'e') + "[i]", std::string(n - 2, 'e') + "[2", 0}};
  // clang-format on
  for (const Case& c : cases) {
    StoreOutput out(store);
    std::string name = c.name;
    EXPECT_EQ(store.real_name(name), c.resolved) << c.name;
    EXPECT_EQ(out.str(), errors(c.errs)) << c.name;
  }
  EXPECT_EQ(store.get_comp("j"), 0);
}

}  // namespace
