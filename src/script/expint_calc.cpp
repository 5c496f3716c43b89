// Formula calculator of the script language: the parser that builds a TExptree
// from formula text, its computation against a variable store and
// quoted-string codes. Indexed names are in expint_indexed.cpp.
//
// The formula language has no operator precedence: every bracket level holds
// at most one one-character operator, and text a level does not consume is
// left to the enclosing level (a+b+c computes a+b).
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <unordered_map>

#include "base_text.h"
#include "expint.h"

using script_limits::kFormulaChars;
using script_limits::kMaxCalcDepth;
using script_limits::kNameChars;

namespace {

void expression_error(const TVarlist& vars) {
  script_message(vars.output(), "\nDynaTARN++: error in expression!\n");
}

// The characters that separate names and numbers: operators, brackets,
// the list comma and the end of the text.
constexpr auto kDelimiters = [] {
  std::array<bool, 256> table{};
  for (char c : std::string_view("+-*/(){},?=<>!&|#")) table[static_cast<unsigned char>(c)] = true;
  table['\0'] = true;
  return table;
}();

}  // namespace

int is_delimiter(char c) {
  return kDelimiters[static_cast<unsigned char>(c)] ? 1 : 0;
}

float string_to_float(std::string_view exp_s) {
  if (!exp_s.empty() && exp_s.back() == '"') exp_s.remove_suffix(1);
  if (!exp_s.empty()) exp_s.remove_prefix(1);
  float value = 0;
  for (char c : exp_s) value = value * 256.0f + static_cast<float>(static_cast<unsigned char>(c));
  return value;
}

// Recursive-descent parser over the front of a formula text. Every nested
// operand consumes at least one character, and formulas are cut to their
// buffer size first, so the nesting depth is bounded by the text length.
class TFormulaParser {
 public:
  explicit TFormulaParser(std::string_view text) : rest(text) {}

  // A whole formula (`first` 0): one operand, optionally an operator and a second operand.
  void whole(TExptree& node) {
    if (!rest.empty()) binary_tail(node);
  }

  void operand(TExptree& node) {
    const std::string word = function_word(rest);
    if (at('?')) {
      node.type = 1;
      node.oper.assign(1, '?');
      node.func.assign(1, '?');
      drop(2);
      item_list(node);
    } else if (is_list_function(word)) {
      node.type = 1;
      node.func = word;
      drop(4);
      item_list(node);
    } else if (at('(')) {
      drop(1);
      if (at('-')) {
        node.sign = -1;
        drop(1);
      }
      binary_tail(node);
    } else if (is_one_argument_function(word)) {
      node.type = 1;
      node.func = word;
      drop(4);
      binary_tail(node);
    } else {
      primary(node);
    }
  }

  std::size_t remaining() const { return rest.size(); }

 private:
  std::string_view rest;

  bool at(char c) const { return !rest.empty() && rest.front() == c; }
  void drop(std::size_t n) { rest.remove_prefix(std::min(n, rest.size())); }

  // First operand, then either a closing bracket or an operator and a second operand.
  void binary_tail(TExptree& node) {
    node.left = std::make_unique<TExptree>();
    operand(*node.left);
    if (at(')')) {
      drop(1);
      return;
    }
    if (rest.empty()) return;
    node.type = 1;
    node.oper = std::string(1, rest.front());
    drop(1);
    node.right = std::make_unique<TExptree>();
    operand(*node.right);
    if (at(')')) drop(1);
  }

  // Items of a list or conditional up to '}'; each further item hangs on a new link.
  void item_list(TExptree& node) {
    TExptree* link = &node;
    while (!rest.empty() && !at('}')) {
      const std::size_t before = rest.size();
      link->left = std::make_unique<TExptree>();
      operand(*link->left);
      if (at(',')) drop(1);
      // An item that consumes nothing (a stray operator character) ends the list
      // instead of adding empty links forever.
      if (rest.size() == before) break;
      // The end of the text is no '}': a list left open ends in a link
      // without an item, which makes the whole list an error.
      if (!at('}')) {
        link->right = std::make_unique<TExptree>();
        link = link->right.get();
      }
    }
    if (at('}')) drop(1);
  }

  void primary(TExptree& node) {
    std::size_t end = 0;
    while (end < rest.size() && !is_delimiter(rest[end])) ++end;
    const std::string token(rest.substr(0, end));
    drop(end);
    if (!token.empty() && token[0] >= '0' && token[0] <= '9') {
      node.type = 2;
      node.value = static_cast<float>(std::atof(token.c_str()));
    } else {
      node.type = 3;
      node.variable = fit(token, kNameChars);
    }
  }
};

// Parsed formulas by their text. Parsing depends on the text alone, and cached
// trees are only read, so a formula computed again skips the parse. The texts
// lie one after the other in one string, and an open-addressing table of
// their hashes and places finds them: a lookup reads the table and the text,
// and nothing else, before it reaches the formula.
class TFormulaCache {
 public:
  // Null beyond the limit: formulas are then parsed per use instead of
  // growing the cache.
  TFormula* formula(std::string_view text) {
    const std::uint32_t hash = variable_name_hash(text);
    std::size_t i = hash & mask();
    for (; slots[i].formula != nullptr; i = (i + 1) & mask()) {
      const TSlot& slot = slots[i];
      if (slot.hash == hash && slot.size == text.size() &&
          same_bytes(texts.data() + slot.at, text.data(), text.size())) {
        return slot.formula;
      }
    }
    if (formulas.size() >= kLimit) return nullptr;
    TFormula* made = formulas.emplace_back(std::make_unique<TFormula>(text)).get();
    slots[i] = {hash, static_cast<std::uint32_t>(texts.size()),
                static_cast<std::uint32_t>(text.size()), made};
    texts += text;
    if (2 * formulas.size() > slots.size()) grow();
    return made;
  }

 private:
  static constexpr std::size_t kLimit = 8192;
  struct TSlot {
    std::uint32_t hash = 0;
    std::uint32_t at = 0;  // where the text starts in `texts`
    std::uint32_t size = 0;
    TFormula* formula = nullptr;  // null: empty
  };
  std::size_t mask() const { return slots.size() - 1; }
  // Doubles the table; it stays at most half full, so a search ends.
  void grow() {
    std::vector<TSlot> old(2 * slots.size());
    old.swap(slots);
    for (const TSlot& slot : old) {
      if (slot.formula == nullptr) continue;
      std::size_t i = slot.hash & mask();
      while (slots[i].formula != nullptr) i = (i + 1) & mask();
      slots[i] = slot;
    }
  }
  std::vector<TSlot> slots = std::vector<TSlot>(64);
  std::string texts;
  std::vector<std::unique_ptr<TFormula>> formulas;
};

namespace {

// The store's formula cache, made at first use; null when the store has no
// memory in use.
[[gnu::noinline]] void make_formula_cache(TFormulaMemory& memory) {
  memory.formulas = std::make_shared<TFormulaCache>();
}

TFormulaCache* formula_cache(const TVarlist& vars) {
  TFormulaMemory* const memory = vars.formula_memory();
  if (memory == nullptr || !memory->caching) return nullptr;
  if (memory->formulas == nullptr) make_formula_cache(*memory);
  return memory->formulas.get();
}

// The cached formula of a text; null when there is none.
TFormula* cached_formula(std::string_view formula, const TVarlist& vars) {
  TFormulaCache* cache = formula_cache(vars);
  return cache != nullptr ? cache->formula(formula) : nullptr;
}

}  // namespace

namespace {

// Kinds of structure nodes, by their operator and function texts.
enum TShape : std::uint8_t {
  kUnshaped = 0,
  kBracket,      // neither operator nor function
  kConditional,  // ?{condition,then,else}
  kLogical,      // & or |
  kList,         // SUM, MUL, MIN or MAX over a list
  kGeneral,      // arithmetic operator, function, both, or an operator without value
};
// Function codes of kGeneral nodes.
enum TFunctionCode : std::uint8_t {
  kNoFunction = 0,
  kSin,
  kCos,
  kTan,
  kSqr,
  kSrt,
  kAbs,
  kLog,
  kNotAFunction,  // a function text that names no one-argument function
};
// List codes of kList nodes.
enum TListCode : std::uint8_t { kSum = 1, kMul, kMin, kMax };

TFunctionCode function_code(std::string_view f) {
  if (f.empty()) return kNoFunction;
  if (f == "SIN") return kSin;
  if (f == "COS") return kCos;
  if (f == "TAN") return kTan;
  if (f == "SQR") return kSqr;
  if (f == "SRT") return kSrt;
  if (f == "ABS") return kAbs;
  if (f == "LOG") return kLog;
  return kNotAFunction;
}

TListCode list_code(std::string_view f) {
  if (f == "SUM") return kSum;
  if (f == "MUL") return kMul;
  return f == "MIN" ? kMin : kMax;
}

}  // namespace

// One computation of a tree against a store. Variables are computed on demand
// from their formulas and cached in the store. A variable met again while its
// own formula is being computed, or nesting deeper than kMaxCalcDepth, aborts
// the whole computation with the error message and the value 0.
class TCalculation {
 public:
  // `freeze`: variable nodes of the tree being computed keep their results
  // (a tree computed twice does not consult the store again for them).
  TCalculation(TVarlist& vars, int base_calc, bool freeze)
      : vars(vars), base_calc(base_calc), freeze(freeze) {}

  float result(TExptree& root) {
    if (vars.divided_by_zero_) return 0;
    const float v = value_of(root);
    return aborted ? 0.0f : v;
  }
  // result with base_calc 1 and nothing kept in the tree.
  static float computed(TExptree& root, TVarlist& vars);
  // The same for a formula, through its steps when it has them.
  static float formed(TFormula& formula, TVarlist& vars);
  // Compiles `node` into `steps` as value_of would compute it, with
  // `height` the values on the stack before it; false for a node the steps
  // cannot compute, or a formula that would hold more than kMaxStack values.
  static bool compile(TExptree& node, std::vector<TFormula::TStep>& steps, std::size_t& height);
  // The same for a formula that is just the name of `var`, a variable not
  // yet computed: the root's bracket holds the name's node, at depth 2,
  // which computes the variable's formula and keeps the value.
  static float named(TVariable& var, TVarlist& vars);

 private:
  // A number, or a variable found computed; false for any other variable.
  [[gnu::always_inline]] static bool operand_value(TFormula::TOperand& operand, TVarlist& vars,
                                                   float& v);
  // A formula's term of such operands; false when one is not, or for a
  // division by zero.
  [[gnu::always_inline]] static bool term_value(TFormula::TTerm& term, TVarlist& vars, float& v);

  // Runs a formula's steps into `v`; false as soon as a variable is not
  // found computed or a division would divide by zero.
  static bool run_steps(TFormula& formula, TVarlist& vars, float& v);
  static bool compile_conditional(TExptree& node, std::vector<TFormula::TStep>& steps,
                                  std::size_t& height);
  static TFormula::TStep& add_step(std::vector<TFormula::TStep>& steps, TFormula::TStep::TKind kind,
                                   std::uint8_t code, float value = 0);
  // Compiles the operands of a structure node and its operator.
  static bool compile_operator(TExptree& node, std::vector<TFormula::TStep>& steps,
                               std::size_t& height);

  TVarlist& vars;
  int base_calc;
  bool freeze;
  int depth = 0;
  bool aborted = false;

  void abort() {
    if (!aborted) expression_error(vars);
    aborted = true;
  }
  // Prints the message, stops this computation and every later one in the
  // store, and tells the store's listener.
  void divide_by_zero() {
    if (std::ostream* out = vars.output()) {
      *out << "\nERROR: DIVISION BY ZERO! Program terminated.\n";
      out->flush();
    }
    aborted = true;
    vars.divided_by_zero_ = true;
    if (vars.listener_ != nullptr) vars.listener_->divided_by_zero();
  }

  float value_of(TExptree& node) {
    if (aborted) return 0;
    if (depth >= kMaxCalcDepth) {
      abort();
      return 0;
    }
    ++depth;
    float v = 0;
    if (node.type == 2) {
      v = node.value;
    } else if (node.type == 3) {
      v = variable(node);
    } else {
      v = structure(node);
    }
    --depth;
    return v;
  }

  // A missing operand gives the error message and 0.
  float operand(TExptree* node) {
    if (node == nullptr) {
      expression_error(vars);
      return 0;
    }
    return value_of(*node);
  }

  float variable(TExptree& node);
  float formula_of(TVariable& var);
  float structure(TExptree& node);
  float binary(char op, float l, float r);
  // An arithmetic operator but a division by zero.
  [[gnu::always_inline]] static float arithmetic(char op, float l, float r);
  // A one-argument function by its code (TFunctionCode).
  static float function(std::uint8_t code, float arg);
  // Takes the next item of a list into its value so far.
  static void fold(std::uint8_t code, float& acc, bool first_item, float v);
  // Works out the shape codes of a structure node from its texts.
  static void shape_of(TExptree& node);
  float list(TExptree& node);
  float conditional(TExptree& node);
};

float TCalculation::variable(TExptree& node) {
  if (!node.variable.empty() && node.variable.front() == '"') {
    const float v = string_to_float(node.variable);
    if (freeze) {
      node.type = 2;
      node.value = v;
    }
    return v;
  }
  TVariable* var = vars.find_named(node.variable, node.hint);
  if (var == nullptr) {
    expression_error(vars);
    return 0;
  }
  if (var->get_comp() != 0 && base_calc == 1) {
    if (freeze) node.value = var->get_value();
    return var->get_value();
  }
  const float v = formula_of(*var);
  if (aborted) return 0;
  if (freeze) {
    node.type = 2;
    node.value = v;
  }
  var->set_value(v);
  var->set_comp(1);
  return v;
}

// Value of a variable's formula: a quoted string's code, or the formula computed.
float TCalculation::formula_of(TVariable& var) {
  const std::string_view formula = var.get_formula();
  if (!formula.empty() && formula.front() == '"') return string_to_float(formula);
  if (var.in_progress) {
    abort();
    return 0;
  }
  std::unique_ptr<TExptree> uncached;
  TFormula* cached = cached_formula(formula, vars);
  TExptree& tree = cached != nullptr ? cached->tree() : *(uncached = parse_formula(formula));
  var.in_progress = true;
  const bool outer_freeze = freeze;
  freeze = false;
  const float v = value_of(tree);
  freeze = outer_freeze;
  var.in_progress = false;
  return v;
}

float TCalculation::binary(char op, float l, float r) {
  if (op == '/' && r == 0.0f) {
    divide_by_zero();
    return 0;
  }
  return arithmetic(op, l, r);
}

inline float TCalculation::arithmetic(char op, float l, float r) {
  switch (op) {
    case '=':
      return l == r ? 1.0f : 0.0f;
    case '<':
      return l < r ? 1.0f : 0.0f;
    case '>':
      return l > r ? 1.0f : 0.0f;
    case '!':
      return l != r ? 1.0f : 0.0f;
    case '+':
      return l + r;
    case '-':
      return l - r;
    case '*':
      return l * r;
    default:
      return l / r;
  }
}

float TCalculation::function(std::uint8_t code, float arg) {
  const double x = arg;
  switch (code) {
    case kSin:
      return static_cast<float>(std::sin(x));
    case kCos:
      return static_cast<float>(std::cos(x));
    case kTan:
      return static_cast<float>(std::tan(x));
    case kSqr:
      return arg * arg;
    case kSrt:
      return static_cast<float>(std::sqrt(x));
    case kAbs:
      return static_cast<float>(std::fabs(x));
    default:
      return static_cast<float>(std::log(x));
  }
}

void TCalculation::shape_of(TExptree& node) {
  const std::string& f = node.func;
  const char op = node.oper.size() == 1 ? node.oper[0] : '\0';
  node.shape_op = '\0';
  node.shape_fn = kNoFunction;
  if (node.oper.empty() && f.empty()) {
    node.shape = kBracket;
  } else if (op == '?') {
    node.shape = kConditional;
  } else if (op == '&' || op == '|') {
    node.shape = kLogical;
    node.shape_op = op;
  } else if (is_list_function(f)) {
    node.shape = kList;
    node.shape_fn = list_code(f);
  } else {
    node.shape = kGeneral;
    const bool arithmetic =
        op != '\0' && std::string_view("=<>!+-*/").find(op) != std::string_view::npos;
    // An operator that is not arithmetic is kept as '\0' with shape_fn
    // kNotAFunction: it makes the node an error whatever the function is.
    if (arithmetic) {
      node.shape_op = op;
      node.shape_fn = function_code(f);
    } else {
      node.shape_fn = node.oper.empty() ? function_code(f) : kNotAFunction;
    }
  }
}

float TCalculation::structure(TExptree& node) {
  if (node.shape == kUnshaped) shape_of(node);
  if (node.shape == kBracket) {
    if (node.left == nullptr) {
      expression_error(vars);
      return 0;
    }
    return static_cast<float>(node.sign) * value_of(*node.left);
  }
  if (node.shape == kConditional) return conditional(node);
  // A bracket written with a leading minus, as in (-a+b), negates its first operand.
  const float first_sign = static_cast<float>(node.sign);
  const char op = node.shape_op;
  if (node.shape == kLogical) {
    const float l = first_sign * operand(node.left.get());
    const float r = operand(node.right.get());
    const bool truth = op == '&' ? (l != 0 && r != 0) : (l != 0 || r != 0);
    return truth ? 1.0f : 0.0f;
  }
  if (node.shape == kList) return list(node);
  const bool arithmetic = op != '\0';
  float intermediate = 0;
  if (arithmetic) {
    const float l = first_sign * operand(node.left.get());
    const float r = operand(node.right.get());
    if (aborted) return 0;
    intermediate = binary(op, l, r);
  }
  // Any other operator character (',' or '#' after an operand) has no value,
  // nor has a function text that names no function.
  const std::uint8_t fn = node.shape_fn;
  if (fn == kNotAFunction) {
    expression_error(vars);
    return 0;
  }
  if (fn == kNoFunction) return intermediate;
  if (arithmetic) return function(fn, intermediate);
  if (node.left == nullptr) {
    expression_error(vars);
    return 0;
  }
  return function(fn, value_of(*node.left));
}

float TCalculation::list(TExptree& node) {
  const std::uint8_t code = node.shape_fn;
  float acc = code == kMul ? 1.0f : 0.0f;
  bool first_item = true;
  for (TExptree* link = &node; link != nullptr; link = link->right.get()) {
    if (link->left == nullptr) {
      expression_error(vars);
      return 0;
    }
    fold(code, acc, first_item, value_of(*link->left));
    first_item = false;
  }
  return acc;
}

void TCalculation::fold(std::uint8_t code, float& acc, bool first_item, float v) {
  if (code == kSum) {
    acc += v;
  } else if (code == kMul) {
    acc *= v;
  } else if (first_item || (code == kMin ? v < acc : v > acc)) {
    acc = v;
  }
}

TFormula::TStep& TCalculation::add_step(std::vector<TFormula::TStep>& steps,
                                        TFormula::TStep::TKind kind, std::uint8_t code,
                                        float value) {
  TFormula::TStep& step = steps.emplace_back();
  step.kind = kind;
  step.code = code;
  step.value = value;
  return step;
}

bool TCalculation::compile(TExptree& node, std::vector<TFormula::TStep>& steps,
                           std::size_t& height) {
  using TKind = TFormula::TStep::TKind;
  if (node.type == 2 || node.type == 3) {
    if (height == TFormula::kMaxStack) return false;
    ++height;
    TFormula::TStep& step = steps.emplace_back();
    if (node.type == 2) {
      step.value = node.value;
    } else if (!node.variable.empty() && node.variable.front() == '"') {
      step.value = string_to_float(node.variable);
    } else {
      // A node without a name is an error the walk reports.
      step.kind = TKind::kVariable;
      step.name = node.variable;
      return !step.name.empty();
    }
    return true;
  }
  if (node.shape == kUnshaped) shape_of(node);
  if (node.shape == kBracket) {
    if (node.left == nullptr || !compile(*node.left, steps, height)) return false;
    if (node.sign != 1) add_step(steps, TKind::kSign, 0, static_cast<float>(node.sign));
    return true;
  }
  if (node.shape == kConditional) return compile_conditional(node, steps, height);
  if (node.shape == kList) {
    std::uint16_t items = 0;
    for (TExptree* link = &node; link != nullptr; link = link->right.get()) {
      if (link->left == nullptr || !compile(*link->left, steps, height)) return false;
      ++items;
    }
    height -= items - 1u;
    add_step(steps, TKind::kList, node.shape_fn).items = items;
    return true;
  }
  return compile_operator(node, steps, height);
}

// ?{condition,then,else}: the condition, a jump to the else part when it is
// 0, the then part and a jump past the else part. A conditional that lacks a
// part is an error the walk reports.
bool TCalculation::compile_conditional(TExptree& node, std::vector<TFormula::TStep>& steps,
                                       std::size_t& height) {
  using TKind = TFormula::TStep::TKind;
  TExptree* const then_link = node.right.get();
  TExptree* const else_link = then_link != nullptr ? then_link->right.get() : nullptr;
  if (node.left == nullptr || then_link == nullptr || then_link->left == nullptr ||
      else_link == nullptr || else_link->left == nullptr) {
    return false;
  }
  if (!compile(*node.left, steps, height)) return false;
  --height;
  const std::size_t to_else = steps.size();
  add_step(steps, TKind::kJumpIfZero, 0);
  if (!compile(*then_link->left, steps, height)) return false;
  --height;
  const std::size_t to_end = steps.size();
  add_step(steps, TKind::kJump, 0);
  steps[to_else].items = static_cast<std::uint16_t>(steps.size());
  if (!compile(*else_link->left, steps, height)) return false;
  steps[to_end].items = static_cast<std::uint16_t>(steps.size());
  return true;
}

// Logical and arithmetic operators, and functions: the first operand carries
// the node's sign when an operator joins two.
bool TCalculation::compile_operator(TExptree& node, std::vector<TFormula::TStep>& steps,
                                    std::size_t& height) {
  using TKind = TFormula::TStep::TKind;
  const bool logical = node.shape == kLogical;
  const bool arithmetic = node.shape == kGeneral && node.shape_op != '\0';
  // A node with neither operator nor function the walk computes as 0.
  if (node.shape_fn == kNotAFunction || (!logical && !arithmetic && node.shape_fn == kNoFunction)) {
    return false;
  }
  if (node.left == nullptr || !compile(*node.left, steps, height)) return false;
  if (logical || arithmetic) {
    if (node.sign != 1) add_step(steps, TKind::kSign, 0, static_cast<float>(node.sign));
    if (node.right == nullptr || !compile(*node.right, steps, height)) return false;
    --height;
    const auto op = static_cast<std::uint8_t>(node.shape_op);
    add_step(steps, logical ? TKind::kLogical : TKind::kBinary, op);
  }
  if (!logical && node.shape_fn != kNoFunction) {
    add_step(steps, TKind::kFunction, node.shape_fn);
  }
  return true;
}

bool TCalculation::run_steps(TFormula& formula, TVarlist& vars, float& v) {
  using TKind = TFormula::TStep::TKind;
  float stack[TFormula::kMaxStack];
  std::size_t top = 0;
  TFormula::TStep* const first = formula.steps.data();
  TFormula::TStep* const end = first + formula.steps.size();
  // A jump lands on the step before its target, which the loop then takes.
  for (TFormula::TStep* at = first; at != end; ++at) {
    TFormula::TStep& step = *at;
    switch (step.kind) {
      case TKind::kNumber:
        stack[top++] = step.value;
        break;
      case TKind::kVariable: {
        const TVariable* var = vars.find_named(step.name, step.hint);
        if (var == nullptr || var->get_comp() == 0) return false;
        stack[top++] = var->get_value();
        break;
      }
      case TKind::kSign:
        stack[top - 1] = step.value * stack[top - 1];
        break;
      case TKind::kBinary: {
        const float r = stack[--top];
        if (step.code == '/' && r == 0.0f) return false;
        stack[top - 1] = arithmetic(static_cast<char>(step.code), stack[top - 1], r);
        break;
      }
      case TKind::kLogical: {
        const float r = stack[--top];
        const float l = stack[top - 1];
        const bool truth = step.code == '&' ? l != 0 && r != 0 : l != 0 || r != 0;
        stack[top - 1] = truth ? 1.0f : 0.0f;
        break;
      }
      case TKind::kFunction:
        stack[top - 1] = function(step.code, stack[top - 1]);
        break;
      case TKind::kList: {
        top -= step.items;
        float acc = step.code == kMul ? 1.0f : 0.0f;
        for (std::size_t i = 0; i < step.items; ++i) fold(step.code, acc, i == 0, stack[top + i]);
        stack[top++] = acc;
        break;
      }
      case TKind::kJumpIfZero:
        if (stack[--top] == 0) at = first + step.items - 1;
        break;
      case TKind::kJump:
        at = first + step.items - 1;
        break;
    }
  }
  v = stack[0];
  return true;
}

float TCalculation::conditional(TExptree& node) {
  const float condition = operand(node.left.get());
  TExptree* link = node.right.get();
  if (condition == 0 && link != nullptr) link = link->right.get();
  if (link == nullptr || link->left == nullptr) {
    expression_error(vars);
    return 0;
  }
  return value_of(*link->left);
}

TExptree::TExptree(int t, std::string_view op, std::string_view f, std::string_view v, float val,
                   std::unique_ptr<TExptree> l, std::unique_ptr<TExptree> r)
    : type(t),
      oper(fit(op, script_limits::kOperChars)),
      func(fit(f, script_limits::kOperChars)),
      value(val),
      variable(fit(v, kNameChars)),
      left(std::move(l)),
      right(std::move(r)) {}

void TExptree::insert_expr(std::string& expr, int first) {
  if (expr.size() > kFormulaChars) expr.resize(kFormulaChars);
  shape = 0;
  TFormulaParser parser(expr);
  if (first == 0) {
    parser.whole(*this);
  } else {
    parser.operand(*this);
  }
  expr.erase(0, expr.size() - parser.remaining());
}

std::string& TExptree::get_next(std::string& expr) {
  if (!expr.empty()) expr.erase(0, 1);
  return expr;
}

float TExptree::calculate(TVarlist* var_list, int base_calc) {
  TVarlist none;
  return TCalculation(var_list != nullptr ? *var_list : none, base_calc, true).result(*this);
}

inline bool TCalculation::operand_value(TFormula::TOperand& operand, TVarlist& vars, float& v) {
  if (operand.name.empty()) {
    v = operand.value;
    return true;
  }
  const TVariable* var = vars.find_named(operand.name, operand.hint);
  if (var == nullptr || var->get_comp() == 0) return false;
  v = var->get_value();
  return true;
}

inline bool TCalculation::term_value(TFormula::TTerm& term, TVarlist& vars, float& v) {
  if (!operand_value(term.first, vars, v)) return false;
  if (term.single) return true;
  float r = 0;
  if (!operand_value(term.second, vars, r) || (term.op == '/' && r == 0.0f)) return false;
  v = arithmetic(term.op, term.first_sign * v, r);
  return true;
}

float TCalculation::formed(TFormula& formula, TVarlist& vars) {
  if (vars.divided_by_zero_) return 0;
  float l = 0;
  float r = 0;
  if (formula.form == TFormula::TForm::kTerm) {
    if (term_value(formula.terms[0], vars, l)) return formula.outer_sign * l;
  } else if (formula.form == TFormula::TForm::kLogical) {
    if (term_value(formula.terms[0], vars, l) && term_value(formula.terms[1], vars, r)) {
      l *= formula.logical_sign;
      const bool truth = formula.logical == '&' ? l != 0 && r != 0 : l != 0 || r != 0;
      return formula.outer_sign * (truth ? 1.0f : 0.0f);
    }
  } else if (!formula.steps.empty() && run_steps(formula, vars, l)) {
    return l;
  }
  return computed(*formula.root, vars);
}

float TCalculation::computed(TExptree& root, TVarlist& vars) {
  return TCalculation(vars, 1, false).result(root);
}

float TCalculation::named(TVariable& var, TVarlist& vars) {
  if (vars.divided_by_zero_) return 0;
  TCalculation calculation(vars, 1, false);
  calculation.depth = 2;
  const float v = calculation.formula_of(var);
  if (calculation.aborted) return 0;
  var.set_value(v);
  var.set_comp(1);
  return v;
}

float compute_named(TVariable& var, TVarlist& vars) {
  return TCalculation::named(var, vars);
}

float compute_formula(std::string_view formula, TVarlist& vars) {
  formula = fit(formula, kFormulaChars);
  if (TFormula* cached = cached_formula(formula, vars)) return cached->compute(vars);
  return TCalculation::computed(*parse_formula(formula), vars);
}

std::unique_ptr<TExptree> parse_formula(std::string_view formula) {
  auto tree = std::make_unique<TExptree>();
  TFormulaParser(fit(formula, kFormulaChars)).whole(*tree);
  return tree;
}

float compute_tree(TExptree& tree, TVarlist& vars) {
  return TCalculation::computed(tree, vars);
}

namespace {

// A number, or a variable named (not a quoted text).
bool is_operand(const TExptree* node) {
  if (node == nullptr) return false;
  if (node->get_type() == 2) return true;
  const char first = node->get_variable()[0];
  return node->get_type() == 3 && first != '\0' && first != '"';
}

// A node with neither operator nor function.
bool is_bracket(const TExptree& node) {
  return node.get_type() == 1 && node.get_oper()[0] == '\0' && node.get_function()[0] == '\0';
}

}  // namespace

bool TFormula::TOperand::take(const TExptree* node) {
  if (!is_operand(node)) return false;
  if (node->type == 2) {
    value = node->value;
  } else {
    name = node->variable;
  }
  return true;
}

bool TFormula::TTerm::take(const TExptree* node) {
  if (first.take(node)) return true;
  // An operator node as shape_of works it out: one arithmetic operator
  // character and no function.
  const std::string& oper = node->oper;
  if (node->type != 1 || oper.size() != 1 || !node->func.empty() ||
      std::string_view("=<>!+-*/").find(oper[0]) == std::string_view::npos ||
      !is_operand(node->left.get()) || !is_operand(node->right.get())) {
    return false;
  }
  op = oper[0];
  first_sign = static_cast<float>(node->sign);
  first.take(node->left.get());
  second.take(node->right.get());
  single = false;
  return true;
}

TFormula::TFormula(std::string_view formula) : root(parse_formula(formula)) {
  TExptree* node = root.get();
  if (is_bracket(*node)) {
    outer_sign = static_cast<float>(node->sign);
    node = node->left.get();
    if (node == nullptr) return;
  }
  if (terms[0].take(node)) {
    form = TForm::kTerm;
    return;
  }
  // A logical operator takes no function, whatever the function text.
  const std::string& oper = node->oper;
  if (node->type == 1 && oper.size() == 1 && (oper[0] == '&' || oper[0] == '|') &&
      node->left != nullptr && node->right != nullptr && terms[0].take(node->left.get()) &&
      terms[1].take(node->right.get())) {
    form = TForm::kLogical;
    logical = oper[0];
    logical_sign = static_cast<float>(node->sign);
    return;
  }
  std::size_t height = 0;
  if (!TCalculation::compile(*root, steps, height)) steps.clear();
}

float TFormula::compute(TVarlist& vars) {
  return TCalculation::formed(*this, vars);
}
