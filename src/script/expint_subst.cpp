// Index substitution of the script language: a macro step that turns indexed
// names such as x[i] into explicit lists of the present elements, and range
// counts such as #i into numbers, before a formula is parsed.
// Substitutions are remembered by the identity of the store's names
// (TStoreShapes), which is kept here too.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "expint.h"

using script_limits::kFormulaChars;
using script_limits::kIndexRanges;
using script_limits::kNameChars;

namespace {

// One index range of a list function, written (c=a:b) or (c=a).
struct Tindex {
  char name = '\0';
  unsigned int start = 0;
  unsigned int end = 32767;
  unsigned int real_found = 0;
};

// Work text of one substitution. Appends stop one character past the formula
// size: the result is cut to that size anyway, and an expansion over a large
// store must not grow without need.
struct SubstitutionOutput {
  std::string text;
  void append(std::string_view s) {
    const std::size_t room = kFormulaChars + 1 > text.size() ? kFormulaChars + 1 - text.size() : 0;
    text.append(s.substr(0, room));
  }
  void append(char c) { append(std::string_view(&c, 1)); }
};

// Texts whose substitutions are remembered, at most; past that, all are
// forgotten and found anew.
constexpr std::size_t kRememberedSubstitutions = 1024;

// The name of element j of an array: prefix, number and suffix, cut to a
// name's size.
std::string element_name(std::string_view prefix, unsigned int j, std::string_view suffix) {
  std::string name(prefix);
  name += std::to_string(j);
  name += suffix;
  name.resize(std::min(name.size(), kNameChars));
  return name;
}

// Digits of `text` from `from` up to the first of `stops` (or the end), read as atoi does.
unsigned int read_bound(std::string_view text, std::size_t from, std::string_view stops,
                        std::size_t& stop_at) {
  stop_at = text.find_first_of(stops, from);
  const std::size_t end = stop_at == std::string_view::npos ? text.size() : stop_at;
  const std::string digits(text.substr(from, end - from));
  return static_cast<unsigned int>(std::atoi(digits.c_str()));
}

// Reads the index range that follows a list function word at `pos` (the '(').
// Returns the position just past its ')'.
std::size_t read_range(std::string_view in, std::size_t pos, Tindex& range) {
  range.name = in[pos + 1];
  std::size_t stop = 0;
  range.start = read_bound(in, pos + 3, ":)", stop);
  if (stop != std::string_view::npos && in[stop] == ':') {
    range.end = read_bound(in, stop + 1, ")", stop);
  }
  return stop == std::string_view::npos ? in.size() : stop + 1;
}

// True when the name token, which starts at `at` in the formula, carries an
// index that is not a plain number. A bracket at the very start of the
// formula opens no index.
bool has_symbolic_index(std::string_view token, std::size_t at, std::size_t open,
                        std::size_t close) {
  if (open == std::string_view::npos || close == std::string_view::npos) return false;
  if (at + open == 0 || at + close == 0) return false;
  for (std::size_t i = open + 1; i < close; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(token[i]))) return true;
  }
  return false;
}

// The function word at `pos`, upper-cased; empty where none stands.
std::string function_word_at(std::string_view in, std::size_t pos) {
  std::string word = function_word(in.substr(pos));
  return is_one_argument_function(word) || is_list_function(word) ? word : std::string();
}

// Replaces #c by the number of elements found for the range named c.
std::string replace_counts(const std::string& text, const std::array<Tindex, kIndexRanges>& ranges,
                           int used) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Tindex* match = nullptr;
    if (text[i] == '#' && i + 1 < text.size()) {
      for (int r = 0; r < used && match == nullptr; ++r) {
        if (ranges[r].name == text[i + 1]) match = &ranges[r];
      }
    }
    if (match == nullptr) {
      out += text[i];
      continue;
    }
    out += std::to_string(match->real_found);
    ++i;
  }
  return out;
}

// True when substitution cannot change `text`: function words and indexed
// names need letters or a '[', and range counts exist only after a list
// function. Plain numbers, the bulk of the formulas, pass unchanged.
bool has_nothing_to_substitute(std::string_view text) {
  if (text.size() > kFormulaChars) return false;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u == '[' || (u | 0x20u) - 'a' < 26u) return false;
  }
  return true;
}

// Where the probe for a step from `from` by a name of hash `hash` starts.
std::size_t step_home(std::uint64_t from, std::uint32_t hash, std::size_t mask) {
  const std::uint64_t mixed = (from * 0x9E3779B97F4A7C15ull) ^ hash;
  return static_cast<std::size_t>(mixed ^ (mixed >> 29)) & mask;
}

}  // namespace

std::uint64_t TStoreShapes::step(std::uint64_t from, bool inserted, std::string_view name,
                                 std::uint32_t hash) {
  if (2 * (steps_taken_ + 1) > steps_.size()) grow_steps();
  const std::size_t mask = steps_.size() - 1;
  std::size_t i = step_home(from, hash, mask);
  for (; steps_[i].from != 0; i = (i + 1) & mask) {
    const TStep& taken = steps_[i];
    if (taken.from == from && taken.hash == hash && taken.inserted == inserted &&
        taken.name == name) {
      return taken.to;
    }
  }
  steps_[i] = TStep{from, fresh(), hash, inserted, std::string(name)};
  ++steps_taken_;
  return steps_[i].to;
}

void TStoreShapes::grow_steps() {
  std::vector<TStep> old(steps_.empty() || steps_taken_ >= kMaxSteps ? kMinSteps
                                                                     : 2 * steps_.size());
  old.swap(steps_);
  if (steps_taken_ >= kMaxSteps) {
    steps_taken_ = 0;
    return;
  }
  const std::size_t mask = steps_.size() - 1;
  for (TStep& taken : old) {
    if (taken.from == 0) continue;
    std::size_t i = step_home(taken.from, taken.hash, mask);
    while (steps_[i].from != 0) i = (i + 1) & mask;
    steps_[i] = std::move(taken);
  }
}

const std::string* TStoreShapes::substitution(std::string_view text, std::uint64_t shape) const {
  const auto found = substitutions_.find(text);
  if (found == substitutions_.end()) return nullptr;
  const TRemembered& remembered = found->second;
  for (std::size_t i = 0; i < kShapesPerText; ++i) {
    if (remembered.shapes[i] == shape) return &remembered.texts[i];
  }
  return nullptr;
}

void TStoreShapes::remember(std::string_view text, std::uint64_t shape,
                            const std::string& substituted) {
  auto found = substitutions_.find(text);
  if (found == substitutions_.end()) {
    if (substitutions_.size() >= kRememberedSubstitutions) substitutions_.clear();
    found = substitutions_.emplace(text, TRemembered{}).first;
  }
  TRemembered& remembered = found->second;
  remembered.shapes[remembered.next] = shape;
  remembered.texts[remembered.next] = substituted;
  remembered.next = (remembered.next + 1) % kShapesPerText;
}

std::vector<unsigned int> TVarlist::present_elements(std::string_view prefix,
                                                     std::string_view suffix,
                                                     unsigned int last) const {
  std::vector<unsigned int> found;
  // Names cut to a name's size could match other variables than the whole
  // names: such elements are looked up one number at a time.
  if (prefix.size() + std::to_string(last).size() + suffix.size() > kNameChars) {
    for (unsigned int j = 0; j <= last; ++j) {
      if (in_list(element_name(prefix, j, suffix)) != 0) found.push_back(j);
    }
    return found;
  }
  // One pass over the store: every name of the form prefix, number as
  // std::to_string writes it, suffix. Names repeat, so numbers are made
  // unique after sorting.
  for (const TVariable& v : vars) {
    if (v.name_size <= prefix.size() + suffix.size()) continue;
    const std::string_view name = v.name_text();
    // The bracket at the end of the prefix and the first letter turn away
    // nearly every other name before the texts are compared.
    if (!prefix.empty() && (name[prefix.size() - 1] != prefix.back() || name[0] != prefix[0])) {
      continue;
    }
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
    const std::string_view digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 1 && digits.front() == '0') continue;
    unsigned long long number = 0;
    bool numeric = digits.size() <= 10;
    for (std::size_t i = 0; numeric && i < digits.size(); ++i) {
      const auto d = static_cast<unsigned char>(digits[i]) - static_cast<unsigned>('0');
      if (d > 9) numeric = false;
      number = number * 10 + d;
    }
    if (!numeric || number > last) continue;
    found.push_back(static_cast<unsigned int>(number));
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

std::string& TVarlist::substitute(std::string& expr) const {
  if (has_nothing_to_substitute(expr)) return expr;
  TStoreShapes* const remembering = remembering_shapes();
  if (remembering != nullptr) {
    if (const std::string* known = remembering->substitution(expr, shape)) {
      expr = *known;
      return expr;
    }
  }
  const std::string in(fit(expr, kFormulaChars));
  SubstitutionOutput out;
  std::array<Tindex, kIndexRanges> ranges{};
  int used = 0;
  std::size_t pos = 0;
  while (pos < in.size()) {
    while (pos < in.size() && is_delimiter(in[pos])) out.append(in[pos++]);
    const std::string word = function_word_at(in, pos);
    if (!word.empty()) {
      out.append(word);
      pos += 3;
      if (is_list_function(word) && pos + 2 < in.size() && in[pos] == '(' && in[pos + 2] == '=') {
        // Ranges past the last record are read and ignored.
        Tindex ignored;
        pos = read_range(in, pos, used < kIndexRanges ? ranges[used] : ignored);
        if (used < kIndexRanges) ++used;
      }
      if (pos < in.size()) out.append(in[pos++]);
      continue;
    }
    std::size_t end = pos;
    while (end < in.size() && !is_delimiter(in[end])) ++end;
    const std::string_view token = std::string_view(in).substr(pos, end - pos);
    if (token.empty()) break;
    const std::size_t open = token.rfind('[');
    const std::size_t close = token.rfind(']');
    const bool symbolic = has_symbolic_index(token, pos, open, close);
    pos = end;
    if (!symbolic) {
      out.append(token);
      continue;
    }
    // Every present element of the indexed name, within the latest range if any.
    const std::string_view prefix = token.substr(0, open + 1);
    const std::string_view suffix = token.substr(close);
    Tindex* range = used > 0 ? &ranges[used - 1] : nullptr;
    std::string expansion;
    const unsigned int last = get_entries();
    for (const unsigned int j : present_elements(prefix, suffix, last)) {
      if (range != nullptr) {
        if (j < range->start || j > range->end) continue;
        ++range->real_found;
      }
      if (expansion.size() <= kFormulaChars) expansion += element_name(prefix, j, suffix) + ",";
    }
    if (!expansion.empty() && expansion.back() == ',') expansion.pop_back();
    out.append(expansion);
  }
  std::string result = replace_counts(out.text, ranges, used);
  result.resize(std::min(result.size(), kFormulaChars));
  if (remembering != nullptr) remembering->remember(expr, shape, result);
  expr = std::move(result);
  return expr;
}

void TVarlist::substitute_all() {
  std::string formula;
  for (TVariable& v : vars) {
    if (has_nothing_to_substitute(v.formula_text())) continue;
    formula = v.formula_text();
    set_formula(v, substitute(formula));
  }
}
