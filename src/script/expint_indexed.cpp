// Indexed names of the script language: a name such as plan[g][d+1] taken
// apart once into its texts and index formulas, resolved at each use into
// the name the indices select ("plan[3][17]"), digits written in place where
// the numbers keep their length, and computed through hints by the index
// numbers, since loops name the same few variables in turn.
#include <charconv>
#include <climits>
#include <cmath>
#include <iterator>

#include "expint.h"

using script_limits::kFormulaChars;

namespace {

// An index value truncated toward zero, kept within the range of int.
int index_number(float v) {
  // One test for the values of int (NaN fails it too); the rest is rare.
  if (v > static_cast<float>(INT_MIN) && v < static_cast<float>(INT_MAX))
    return static_cast<int>(v);
  if (std::isnan(v)) return 0;
  return v > 0 ? INT_MAX : INT_MIN;
}

// The decimal digits of an index number into `digits`; gives their count.
std::size_t index_digits(int number, char (&digits)[16]) {
  // Most indices have one or two digits: days of a cycle, weeks, groups.
  if (number >= 0 && number < 10) {
    digits[0] = static_cast<char>('0' + number);
    return 1;
  }
  if (number >= 10 && number < 100) {
    digits[0] = static_cast<char>('0' + number / 10);
    digits[1] = static_cast<char>('0' + number % 10);
    return 2;
  }
  return static_cast<std::size_t>(std::to_chars(std::begin(digits), std::end(digits), number).ptr -
                                  digits);
}

// Whether a formula text parses into the root's bracket around one node
// that names a variable by the whole text: computing the formula computes
// that variable.
bool parses_as_one_name(std::string_view text) {
  const std::unique_ptr<TExptree> root = parse_formula(text);
  const TExptree* name = root->get_left();
  return root->get_type() == 1 && root->get_sign() == 1 && root->get_oper()[0] == '\0' &&
         root->get_function()[0] == '\0' && root->get_right() == nullptr && name != nullptr &&
         name->get_type() == 3 && name->get_variable()[0] != '"' &&
         std::string_view(name->get_variable()) == text;
}

}  // namespace

TIndexedName::TIndexedName(std::string_view word) {
  std::size_t from = 0;  // where the text not yet taken apart starts
  std::size_t open = word.find('[');
  std::string sample;  // the text with every index written as 0
  while (open != std::string_view::npos) {
    const std::size_t first = open + 1;
    const std::size_t close = word.find(']', first);
    if (close == std::string_view::npos) break;
    TIndex& index = indices.emplace_back();
    index.lead.assign(word.substr(from, first - from));
    index.text.assign(word.substr(first, close - first));
    index.formula = std::make_unique<TFormula>(index.text);
    sample += index.lead;
    sample += '0';
    from = close;
    open = word.find('[', close + 1);
  }
  // An unclosed bracket ends the text.
  tail.assign(
      word.substr(from, open == std::string_view::npos ? word.size() - from : open + 1 - from));
  sample += tail;
  // Digits in place of the zeros leave the names and operators where they
  // are: the texts parse as the sample does.
  one_name = parses_as_one_name(sample);
  bracket_bit_ = TVarlist::bracket_bit(fit(word, script_limits::kNameChars));
}

std::string_view TIndexedName::resolve(TVarlist& vars) {
  const TFormulaMemory* memory = vars.formula_memory();
  const bool hinted = memory != nullptr && memory->caching;
  bool negative = false;
  std::size_t key = 0;
  for (TIndex& index : indices) {
    const TVariable* var =
        hinted ? vars.find_named_or_absent(index.text, index.hint) : vars.find(index.text);
    const int number =
        index_number(var != nullptr ? var->get_value() : index.formula->compute(vars));
    negative = negative || number < 0;
    key = key * 8 + static_cast<std::size_t>(number);
    if (number != index.number) renumber(index, number);
  }
  name_key = key;
  if (!laid_out) lay_out();
  digits_only = laid_out && !negative;
  return text;
}

void TIndexedName::renumber(TIndex& index, int number) {
  index.number = number;
  if (!laid_out) return;
  char digits[16];
  if (index_digits(number, digits) != index.length) {
    laid_out = false;
    return;
  }
  // A plain loop: a library copy of one or two characters costs a call.
  for (std::size_t k = 0; k < index.length; ++k) text[index.at + k] = digits[k];
}

void TIndexedName::lay_out() {
  text.clear();
  for (TIndex& index : indices) {
    text += index.lead;
    char digits[16];
    index.at = text.size();
    index.length = index_digits(index.number, digits);
    text.append(digits, index.length);
  }
  text += tail;
  // Digits past the cut could not be written in place again.
  laid_out = text.size() <= kFormulaChars;
  if (!laid_out) text.resize(kFormulaChars);
}

float TIndexedName::compute(TVarlist& vars) {
  if (one_name && digits_only) {
    // What computing a formula of one name does.
    const TFormulaMemory* memory = vars.formula_memory();
    TVarlist::THint fresh;
    TVarlist::THint& hint =
        memory != nullptr && memory->caching ? name_hints[name_key % name_hints.size()] : fresh;
    if (TVariable* var = vars.find(text, hint)) {
      return var->get_comp() != 0 ? var->get_value() : compute_named(*var, vars);
    }
  }
  return compute_formula(text, vars);
}

std::string& TVarlist::real_name(std::string& expr) {
  if (expr.find('[') != std::string::npos) {
    expr = TIndexedName(expr).resolve(*this);
  } else if (expr.size() > kFormulaChars) {
    expr.resize(kFormulaChars);
  }
  return expr;
}
