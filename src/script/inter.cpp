// Interpreter of the evaluation script language: reading the script text,
// the run's shared operations, the preliminary pass over labels and
// procedures, and the main pass that dispatches every word to its statement.
#include "inter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <istream>
#include <iterator>
#include <optional>
#include <ostream>
#include <streambuf>
#include <utility>

#include "evaltree.h"
#include "inter_context.h"
#include "inter_state.h"
#include "read_path.h"

namespace {

// A read-only stream buffer over part of the script text, for number extraction.
class TViewBuffer : public std::streambuf {
 public:
  explicit TViewBuffer(std::string_view view) {
    // The buffer is only read; the stream interface wants non-const pointers.
    char* begin = const_cast<char*>(view.data());
    setg(begin, begin, begin + view.size());
  }
  std::size_t consumed() const { return static_cast<std::size_t>(gptr() - eback()); }
};

using TDispatchTable = std::unordered_map<std::string_view, const TStatement*>;

const TDispatchTable& dispatch_table() {
  static const TDispatchTable table = [] {
    TDispatchTable t;
    for (auto family :
         {core_statements(), control_statements(), fuzzy_statements(), evaltree_statements()}) {
      for (const TStatement& s : family) t.emplace(s.keyword, &s);
    }
    return t;
  }();
  return table;
}

// Pairs every comment's opening word with the word that closes it.
void note_comments(TScriptWords& words) {
  words.comment_close.assign(words.cut.size(), -1);
  std::vector<int> open;
  for (std::size_t i = 0; i < words.cut.size(); ++i) {
    if (words.cut[i] == "/*") {
      open.push_back(static_cast<int>(i));
    } else if (words.cut[i] == "*/" && !open.empty()) {
      words.comment_close[static_cast<std::size_t>(open.back())] = static_cast<int>(i);
      open.pop_back();
    }
  }
}

// A text with a '[' taken apart at its indices; null for other texts.
std::unique_ptr<TIndexedName> taken_apart(std::string_view text) {
  if (text.find('[') == std::string_view::npos) return nullptr;
  return std::make_unique<TIndexedName>(text);
}

// Splits a text into its words and notes the statement each word starts.
std::shared_ptr<TScriptWords> split_words(std::string_view text) {
  auto words = std::make_shared<TScriptWords>();
  words->text.assign(text);
  const TDispatchTable& table = dispatch_table();
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_space(text[i])) ++i;
    if (i == text.size()) break;
    const std::size_t start = i;
    while (i < text.size() && !is_space(text[i])) ++i;
    words->starts.push_back(static_cast<std::uint32_t>(start));
    words->ends.push_back(static_cast<std::uint32_t>(i));
    const std::string_view word =
        fit(std::string_view(words->text).substr(start, i - start), script_limits::kFormulaChars);
    words->cut.push_back(word);
    const std::string_view name = fit(word, script_limits::kNameChars);
    words->indexed.push_back(taken_apart(word));
    words->indexed_names.push_back(name.size() < word.size() ? taken_apart(name) : nullptr);
    const auto statement = table.find(word);
    words->statements.push_back(statement != table.end() ? statement->second : nullptr);
  }
  note_comments(*words);
  words->hints.resize(words->cut.size());
  words->formulas.resize(words->cut.size());
  words->if_part_ends.assign(words->cut.size(), -2);
  words->fuzzy_hints.resize(words->cut.size());
  words->memories.resize(words->cut.size());
  return words;
}

}  // namespace

TScriptReader::TScriptReader(std::string_view text, std::shared_ptr<TScriptWords>& last,
                             bool caching)
    : words(last != nullptr && last->text == text ? last : (last = split_words(text))),
      text(words->text),
      ends(words->ends),
      cut(words->cut),
      statements(words->statements),
      memories(caching ? std::span<TWordMemory>(words->memories) : std::span<TWordMemory>()),
      remembering(caching) {}

// The word list gives the next word without scanning the text, unless the
// position lies inside a word (after a number was read from its front) or no
// word is left.
std::string_view TScriptReader::search_word() {
  const auto k = static_cast<std::size_t>(words_before(pos));
  if (k < ends.size() && words->starts[k] >= pos) {
    pass_word(k);
    return words->cut[k];
  }
  last_whole = false;
  while (pos < text.size() && is_space(text[pos])) ++pos;
  const std::size_t start = pos;
  while (pos < text.size() && !is_space(text[pos])) ++pos;
  end = pos == text.size();
  return fit(text.substr(start, pos - start), script_limits::kFormulaChars);
}

TFormula* TScriptReader::parse_word(std::size_t i) const {
  words->formulas[i] = std::make_unique<TFormula>(words->cut[i]);
  return words->formulas[i].get();
}

std::optional<int> TScriptReader::skip_closed_comment() {
  if (!last_whole) return std::nullopt;
  const std::size_t open = following - 1;
  const int close = words->comment_close[open];
  if (close < 0) return std::nullopt;
  const auto last = static_cast<std::size_t>(close);
  pos = words->ends[last];
  following = last + 1;
  end = pos == text.size();
  return static_cast<int>(last - open);
}

std::optional<TScriptReader::TSkipped> TScriptReader::skip_if_part() {
  const std::size_t k = following;
  const std::size_t n = words->ends.size();
  if (end || k == 0 || k >= n || words->ends[k - 1] != pos) return std::nullopt;
  int& last = words->if_part_ends[k];
  if (last == -2) {
    last = -1;
    for (std::size_t m = k, open = 1; m < n && last < 0; ++m) {
      const std::string_view w = words->cut[m];
      if (w == "IF") ++open;
      if ((w == "ELSE" && open == 1) || w == "ENDIF") --open;
      if (open == 0) last = static_cast<int>(m);
    }
  }
  if (last < 0) return std::nullopt;
  const auto m = static_cast<std::size_t>(last);
  pass_word(m);
  return TSkipped{words->cut[m], static_cast<int>(m - k + 1)};
}

// A plain decimal word, an optional minus, digits and an optional fraction,
// followed by white space or the end of the text: stream extraction takes
// exactly the word, and its conversion rounds correctly as from_chars does.
// Other words (signs, exponents, hexadecimal, inf, nan, values out of range)
// go through the stream.
std::optional<float> TScriptReader::plain_number() {
  std::size_t start = pos;
  while (start < text.size() && is_space(text[start])) ++start;
  std::size_t stop = start;
  if (stop < text.size() && text[stop] == '-') ++stop;
  const std::size_t digits = stop;
  while (stop < text.size() && text[stop] >= '0' && text[stop] <= '9') ++stop;
  if (stop == digits) return std::nullopt;
  if (stop < text.size() && text[stop] == '.') {
    ++stop;
    while (stop < text.size() && text[stop] >= '0' && text[stop] <= '9') ++stop;
  }
  if (stop < text.size() && !is_space(text[stop])) return std::nullopt;
  float value = 0;
  const std::from_chars_result r = std::from_chars(text.data() + start, text.data() + stop, value);
  if (r.ec != std::errc() || r.ptr != text.data() + stop) return std::nullopt;
  pos = stop;
  end = pos == text.size();
  return value;
}

// A number by the stream's extraction of that type, from the read position.
template <class TNumber>
std::optional<TNumber> TScriptReader::extracted() {
  TViewBuffer buffer(text.substr(pos));
  std::istream input(&buffer);
  TNumber value = 0;
  input >> value;
  pos += buffer.consumed();
  end = input.eof() || pos == text.size();
  if (input.fail()) return std::nullopt;
  return value;
}

std::optional<float> TScriptReader::next_number() {
  if (const std::optional<float> value = plain_number()) return value;
  return extracted<float>();
}

std::optional<int> TScriptReader::next_integer() {
  return extracted<int>();
}

int TScriptReader::words_before(std::size_t position) const {
  // Word ends are strictly increasing: when the word before `following`
  // ends at the position, exactly `following` words end at or before it.
  // That holds right after reading on, so the search is mostly skipped.
  const std::vector<std::uint32_t>& ends = words->ends;
  const std::size_t k = following;
  if (k > 0 && k <= ends.size() && ends[k - 1] == position) return static_cast<int>(k);
  return static_cast<int>(std::upper_bound(ends.begin(), ends.end(), position) - ends.begin());
}

void TScriptReader::skip_from_start(int count) {
  if (count <= 0) {
    seek(0);
    return;
  }
  if (static_cast<std::size_t>(count) > words->ends.size()) {
    pos = text.size();
    end = true;
    return;
  }
  pos = words->ends[static_cast<std::size_t>(count) - 1];
  following = static_cast<std::size_t>(count);
  end = pos == text.size();
}

TDeclarationPlace TScriptReader::declaration_place(std::string_view keyword,
                                                   std::string_view name) {
  auto entry = words->declarations.find(keyword);
  const bool fresh = entry == words->declarations.end();
  if (fresh) entry = words->declarations.try_emplace(std::string(keyword)).first;
  auto& targets = entry->second;
  if (fresh) {
    // One scan pairs every keyword with the word after it, as a search from the
    // start would; the first pair of each name is the one a search finds.
    const std::size_t n = words->ends.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (words->cut[i] != keyword || i + 1 >= n) continue;
      targets.try_emplace(words->cut[i + 1], static_cast<int>(i + 2));
      ++i;
    }
  }
  const auto found = targets.find(fit(name, script_limits::kFormulaChars));
  if (found == targets.end()) return {static_cast<int>(words->ends.size()), false};
  return {found->second, true};
}

void TScriptReader::move_past(const TDeclarationPlace& declaration) {
  skip_from_start(declaration.words);
  if (!declaration.found) {
    pos = text.size();
    end = true;
  }
}

// The control list a finished run leaves, emptied, for the next one: its
// queues keep their room, so a run does not allocate them anew.
TScriptRun::TScriptRun(TEvalContext& context, std::string_view text, std::unique_ptr<TVarlist> vars)
    : Context(context),
      Vars(vars != nullptr ? std::move(vars) : std::make_unique<TVarlist>()),
      Controls(context.spare_controls != nullptr ? std::move(context.spare_controls)
                                                 : std::make_unique<TControlList>()),
      reader(text, context.words, context.caching()) {
  Vars->set_formula_memory(&context.formulas);
  Vars->set_output(&context.out());
  Vars->set_division_listener(this);
}

void TScriptRun::divided_by_zero() {
  if (division) return;
  division = true;
  halted = true;
  Context.mute_output();
}

std::ostream& TScriptRun::out() const {
  return Context.out();
}

std::ostream* TScriptRun::errors() const {
  return &Context.err();
}

void TScriptRun::use_rules(std::shared_ptr<RuleSet> rules) {
  Rules = std::move(rules);
  Rules->set_evaluation_memo(Context.caching() ? &Context.rule_evaluations : nullptr);
}

std::string TScriptRun::read_path(const std::string& name) const {
  return locate_read_file(name).path;
}

TReadFile TScriptRun::locate_read_file(const std::string& name) const {
  TReadFile file = ::locate_read_file(name, Context.input_folder, Context.output_folder);
  Context.note_file_read(file.path);
  return file;
}

std::string TScriptRun::write_path(const std::string& name) const {
  return resolve_write_path(name, Context.output_folder);
}

std::optional<float> TScriptRun::read_number() {
  ++number_of_tokens;
  return reader.next_number();
}

std::optional<int> TScriptRun::read_integer() {
  ++number_of_tokens;
  return reader.next_integer();
}

const TStatementOperands& TScriptRun::keep_operands(TWordMemory* memory, int words_before) {
  // Reading on from a whole word gives whole words up to the end of the text.
  if (memory == nullptr || !reader.place().last_whole) return operands_read;
  memory->operands = std::make_unique<TStatementOperands>(operands_read);
  memory->operands->after = reader.place();
  memory->operands->words_read = number_of_tokens - words_before;
  return *memory->operands;
}

void TScriptRun::jump_to(std::size_t position) {
  jump_to(position, reader.words_before(position));
}

// A float times a power of ten up to 10^6 is exact in double (24 bits of
// mantissa and at most 14 of 5^6), and rounding that product to an integer,
// ties to even, is how printf rounds the exact value. Infinities, NaN and
// products beyond the exact integers of double take the general path.
void append_fixed_decimals(std::string& text, float v, int decimals) {
  static constexpr double kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const double scaled = static_cast<double>(v) * kPowers[decimals];
  char digits[64];
  char* const end = std::end(digits);
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 0x1p53) {
    const std::to_chars_result r =
        std::to_chars(digits, end, v, std::chars_format::fixed, decimals);
    text.append(digits, r.ptr);
    return;
  }
  auto units = static_cast<std::uint64_t>(std::fabs(std::nearbyint(scaled)));
  char* p = end;
  for (int d = 0; d < decimals; ++d, units /= 10) *--p = static_cast<char>('0' + units % 10);
  if (decimals > 0) *--p = '.';
  do {
    *--p = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units != 0);
  if (std::signbit(v)) *--p = '-';
  text.append(p, end);
}

std::string fixed_decimals(float v, int decimals) {
  std::string text;
  append_fixed_decimals(text, v, decimals);
  return text;
}

void TScriptRun::stop_at_token(std::string_view message) {
  stop(std::string(message) + " at token #" + std::to_string(number_of_tokens));
}

void TScriptRun::stop() {
  halted = true;
}

void TScriptRun::stop(std::string_view message) {
  out() << '\n' << message << '\n';
  halted = true;
}

void skip_comment(TScriptRun& run) {
  if (const std::optional<int> words = run.reader.skip_closed_comment()) {
    run.number_of_tokens += *words;
    return;
  }
  int open = 1;
  while (open > 0 && !run.reader.at_end()) {
    const std::string_view w = run.read_word();
    if (w == "/*") ++open;
    if (w == "*/") --open;
  }
}

namespace {

// Reads the whole text for its label and procedure declarations.
std::vector<TDeclaration> read_declarations(TScriptRun& run) {
  std::vector<TDeclaration> declared;
  while (!run.reader.at_end()) {
    const std::string_view w = run.read_word();
    if (w == "/*") {
      skip_comment(run);
      continue;
    }
    if (w != "LABEL" && w != "PROCEDURE") continue;
    const bool label = w == "LABEL";
    declared.push_back(TDeclaration{label, run.read_name()});
  }
  return declared;
}

// Records every label and procedure name in the control list before the run.
// Labels and procedures share one name space; the first declaration counts.
// The declarations depend on the text alone: they are read once per text.
void preliminary_pass(TScriptRun& run) {
  std::optional<std::vector<TDeclaration>>& declared = run.reader.declared();
  if (!declared) declared = read_declarations(run);
  for (const TDeclaration& d : *declared) {
    if (!run.Controls->contains(d.name)) {
      run.Controls->insert_label(d.name);
      continue;
    }
    run.out() << (d.label ? "\nWarning: Label " : "\nWarning: Procedure ") << d.name
              << " does exitst more than one time ...\n";
  }
}

// Every run starts with a new, empty rule set of this name.
std::unique_ptr<RuleSet> new_rule_set(FuzzyContext& context) {
  auto rules = std::make_unique<RuleSet>(&context);
  rules->set_rs_name("RULESET");
  return rules;
}

}  // namespace

// Fuzzy variables are also store variables, so the store comes last: the
// message names the more telling kind.
std::optional<std::string> TScriptRun::size_limit_passed() const {
  const TScriptRun& run = *this;
  struct TCount {
    std::size_t held;
    std::size_t limit;
    std::string_view what;
  };
  const TRunLimits& limits = run.Context.limits;
  RuleSet& rules = *run.Rules;
  // The fuzzy library counts in int.
  const auto size = [](int held) { return static_cast<std::size_t>(held); };
  const TCount counts[] = {
      {size(rules.get_cv_list()->get_number()), limits.fuzzy_entries, "fuzzy variables"},
      {size(rules.get_ps_list()->get_number()), limits.fuzzy_entries, "parameter sets"},
      {size(rules.get_number()), limits.fuzzy_entries, "rule blocks"},
      {run.Evals != nullptr ? run.Evals->constraint_count() : 0, limits.constraints,
       "aggregated constraints"},
      {run.Vars->number(), limits.variables, "variables"},
  };
  for (const TCount& count : counts) {
    if (count.held <= count.limit) continue;
    return "Error: more than " + std::to_string(count.limit) + " " + std::string(count.what);
  }
  return std::nullopt;
}

namespace {

// Before the statement whose keyword was just read, the `statements`-th of
// the run, when it may pass a limit (the statement limit, a size check every
// kSizeCheckStatements statements, the control entries): ends the run with
// a message when it would. The messages give the token count as it stands,
// the keyword counted, as the nesting limits' messages do. Rarely called,
// so kept out of the loop.
[[gnu::noinline]] bool within_limits(TScriptRun& run, long statements) {
  const long statement_limit = run.Context.limits.statements;
  const auto stop_at_keyword = [&](const std::string& message) {
    run.stop_at_token(message);
    return false;
  };
  if (statements > statement_limit) {
    return stop_at_keyword("Error: more than " + std::to_string(statement_limit) + " statements");
  }
  if (statements % script_limits::kSizeCheckStatements == 0) {
    if (const std::optional<std::string> over = run.size_limit_passed()) {
      return stop_at_keyword(*over);
    }
  }
  if (run.Controls->number() > script_limits::kMaxControlEntries) {
    return stop_at_keyword("Error: more than " + std::to_string(script_limits::kMaxControlEntries) +
                           " control entries");
  }
  return true;
}

void main_pass(TScriptRun& run) {
  const TDispatchTable& table = dispatch_table();
  const long statement_limit = run.Context.limits.statements;
  long statements = 0;
  while (!run.stopped() && !run.reader.at_end()) {
    // Unknown words, declarations and their names are passed over: they are
    // no statements and count toward no limit.
    const TStatement* statement = nullptr;
    std::string_view word;
    if (!run.read_statement(statement, word)) {
      const auto it = table.find(word);
      statement = it != table.end() ? it->second : nullptr;
    }
    if (statement == nullptr) continue;
    ++statements;
    if (statements > statement_limit || statements % script_limits::kSizeCheckStatements == 0 ||
        run.Controls->number() > script_limits::kMaxControlEntries) {
      if (!within_limits(run, statements)) return;
    }
    statement->run(run);
  }
}

}  // namespace

std::unique_ptr<TEvalTree> interpret(TEvalContext& context, const char* pText,
                                     std::unique_ptr<TVarlist> importvars, TRunStatus* status) {
  TScriptRun run(context, pText != nullptr ? std::string_view(pText) : std::string_view(),
                 std::move(importvars));
  preliminary_pass(run);
  run.tablename = "empty";
  run.use_rules(new_rule_set(context.fuzzy));
  run.reader.seek(0);
  run.number_of_tokens = 0;
  main_pass(run);
  run.Controls->clear();
  context.spare_controls = std::move(run.Controls);
  context.store_size = run.Vars->number();
  run.Vars.reset();
  run.Rules.reset();
  if (status != nullptr) {
    *status = run.divided() ? TRunStatus::kDivisionByZero : TRunStatus::kFinished;
  }
  if (!run.divided()) return std::move(run.Evals);
  run.Evals.reset();
  context.restore_output();
  return nullptr;
}
