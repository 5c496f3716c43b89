// Control-flow statements of the script language: IF/THEN/ELSE/ENDIF,
// FOR/TO/STEP/NEXT, LOOP/ENDLOOP/EXITLOOP, GOTO, CALL/RETURN and EXIT.
//
// There is no block structure in memory: the state of every open construct
// lives in entries of the control list named after the construct and its
// depth (IF:1, FORPOS:2, CALL:TOKENS:1, ...). Loops jump back by read
// position; GOTO, CALL and RETURN find their targets by reading from the start.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <iterator>
#include <ostream>

#include "inter_state.h"

using script_limits::kMaxNesting;

namespace {

using Kind = TControlKind;

// The words that name the entries of each kind, in the order of TControlKind.
constexpr std::string_view kKindWords[] = {
    "IF",
    "FOR",
    "STEP",
    "TO",
    "VAR",
    "FORPOS",
    "LOOP",
    "LOOPPOS",
    "EXITLOOP",
    "CALL:BRANCH",
    "CALL:IF_CASCADE",
    "CALL:FOR_CASCADE",
    "CALL:LOOP_CASCADE",
    "CALL:TOKENS",
};

}  // namespace

std::optional<TControlList::TKey> TControlList::key_of(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view word = name.substr(0, colon);
  const std::string_view digits = name.substr(colon + 1);
  const auto* kind = std::find(std::begin(kKindWords), std::end(kKindWords), word);
  if (kind == std::end(kKindWords)) return std::nullopt;
  // Only the digits an int is written with name a level: "01" or "-0" do not.
  int level = 0;
  const std::from_chars_result read =
      std::from_chars(digits.data(), digits.data() + digits.size(), level);
  if (read.ec != std::errc() || read.ptr != digits.data() + digits.size()) return std::nullopt;
  char written[16];
  const char* written_end = std::to_chars(std::begin(written), std::end(written), level).ptr;
  if (std::string_view(written, static_cast<std::size_t>(written_end - written)) != digits) {
    return std::nullopt;
  }
  return TKey{static_cast<Kind>(kind - std::begin(kKindWords)), level};
}

const TControlList::TQueue* TControlList::deep_queue(TKey key) const {
  const auto it = deep_queues.find(deep_key(key));
  return it != deep_queues.end() ? &it->second : nullptr;
}

TControlList::TQueue& TControlList::deep_queue_made(TKey key) {
  return deep_queues[deep_key(key)];
}

void TControlList::clear() {
  for (TQueue& q : shallow_queues) q.clear();
  deep_queues.clear();
  labels.clear();
  count = 0;
}

void TControlList::insert_label(std::string_view name) {
  name = fit(name, script_limits::kNameChars);
  if (const std::optional<TKey> key = key_of(name)) {
    queue_made(*key).push(TControlEntry{0, -1, "1"});
  } else {
    labels.emplace(name);
  }
  ++count;
}

bool TControlList::contains(std::string_view name) const {
  name = fit(name, script_limits::kNameChars);
  if (const std::optional<TKey> key = key_of(name)) return front(*key) != nullptr;
  return labels.find(name) != labels.end();
}

namespace {

// Ends the run at the nesting limit.
[[gnu::noinline]] bool too_deep(TScriptRun& run, std::string_view what) {
  run.stop_at_token("Error: more than " + std::to_string(kMaxNesting) + " nested " +
                    std::string(what));
  return false;
}

// Opens one more level of a construct, or ends the run past the nesting limit.
bool open_level(TScriptRun& run, int& cascade, std::string_view what) {
  if (cascade >= kMaxNesting) return too_deep(run, what);
  ++cascade;
  return true;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The start of `word` that reads as a decimal number: a sign, digits with at
// most one point, an exponent. The rest of what atof reads (hexadecimal
// numbers, "inf", "nan") is no decimal number; empty when none stands there.
std::string_view decimal_part(std::string_view word) {
  std::size_t i = word.empty() || (word[0] != '+' && word[0] != '-') ? 0 : 1;
  std::size_t digits = 0;
  for (; i < word.size() && is_digit(word[i]); ++i) ++digits;
  if (i < word.size() && word[i] == '.') {
    for (++i; i < word.size() && is_digit(word[i]); ++i) ++digits;
  }
  if (digits == 0) return {};
  std::size_t end = i;
  if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
    std::size_t k = i + 1;
    if (k < word.size() && (word[k] == '+' || word[k] == '-')) ++k;
    const std::size_t exponent = k;
    while (k < word.size() && is_digit(word[k])) ++k;
    if (k > exponent) end = k;
  }
  return word.substr(0, end);
}

// A word read as a decimal number, 0 when it is none; the words' memories
// keep the values.
float decimal_value(std::string_view word) {
  const std::string_view number = decimal_part(word);
  return number.empty() ? 0.0f : static_cast<float>(std::atof(std::string(number).c_str()));
}

// The value word of a FOR, TO or STEP read and kept at the keyword, with the
// hint of its place; FOR reads its loop variable's name and the '=' first,
// and gives null when the '=' is missing (the run stops). Mostly the
// operands are kept already, so reading them is kept out of the statements.
[[gnu::noinline]] const TStatementOperands* read_loop_operands(TScriptRun& run, TWordMemory* memory,
                                                               bool for_keyword) {
  const int words_before = run.number_of_tokens;
  TStatementOperands& read = run.operands_read = {};
  if (for_keyword) {
    read.name = run.read_name_word();
    read.hint = &run.name_hint();
    const std::string_view equals = run.read_word();
    if (equals != "=") {
      run.stop_at_token("Error: '=' missing in FOR " + std::string(read.name.text) + " = " +
                        std::string(equals));
      return nullptr;
    }
  }
  read.formula = run.read_formula_word();
  read.value_hint = &run.name_hint();
  return &run.keep_operands(memory, words_before);
}

// The same as kept at the keyword, or read and kept there.
const TStatementOperands* loop_operands(TScriptRun& run, TWordMemory* memory, bool for_keyword) {
  if (const TStatementOperands* kept = run.kept_operands(memory)) return kept;
  return read_loop_operands(run, memory, for_keyword);
}

// Start, bound and step words: the stored value of a variable of that name,
// otherwise the word read as a decimal number (0 when it is none).
float word_value(TScriptRun& run, const TStatementOperands& operands) {
  const TNameWord& read = operands.formula;
  const std::string_view word = run.resolve_formula_view(read, run.rooms[0]);
  TVarlist::THint& hint = *operands.value_hint;
  const TVariable* var =
      read.may_hold_index ? run.Vars->find(word, hint) : run.Vars->find_named_or_absent(word, hint);
  if (var != nullptr) {
    return var->get_value();
  }
  // The number depends on the text alone: a word that resolves to itself
  // keeps it.
  if (!same_text(word, read.text)) return decimal_value(word);
  if (!operands.decimal) operands.decimal = decimal_value(word);
  return *operands.decimal;
}

// The one operand of an IF or EXITLOOP (a condition) or a NEXT (a name),
// read and kept at the keyword.
[[gnu::noinline]] const TStatementOperands& read_single_operand(TScriptRun& run,
                                                                TWordMemory* memory,
                                                                bool condition) {
  TStatementOperands& read = run.operands_read = {};
  (condition ? read.formula : read.name) =
      run.read_word_cut(condition ? script_limits::kFormulaChars : script_limits::kNameChars);
  if (!condition) read.hint = &run.name_hint();
  if (condition) run.keep_parse(read);
  return run.keep_operands(memory, run.number_of_tokens - 1);
}

// The same as kept at the keyword, or read and kept there.
const TStatementOperands& single_operand(TScriptRun& run, bool condition) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  if (const TStatementOperands* kept = run.kept_operands(memory)) return *kept;
  return read_single_operand(run, memory, condition);
}

// Reads a condition and computes it.
float condition_value(TScriptRun& run) {
  const TStatementOperands& condition = single_operand(run, true);
  // A condition kept with its parse has no index to resolve.
  if (condition.parsed != nullptr) return condition.parsed->compute(*run.Vars);
  return run.compute(condition, run.resolve_formula_view(condition.formula, run.rooms[0]));
}

// The formula a loop variable gets for its start or step: name+(value).
// The statement's keyword keeps the last one it made, and gives it again for
// the same name and the same value bits; without a keyword memory the run's
// room for formulas holds it.
std::string_view loop_formula(TScriptRun& run, TWordMemory* memory, std::string_view name,
                              float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  if (memory != nullptr && !memory->formula.empty() && memory->formula_value_bits == bits &&
      memory->formula_name_size == name.size() &&
      same_bytes(memory->formula.data(), name.data(), name.size())) {
    return memory->formula;
  }
  std::string& text = memory != nullptr ? memory->formula : run.built_formula;
  text.assign(name);
  text += "+(";
  append_fixed_decimals(text, value, 3);
  text += ')';
  if (memory != nullptr) {
    memory->formula_name_size = name.size();
    memory->formula_value_bits = bits;
  }
  return text;
}

// Skips to the end of the current IF part. Returns the word that ended the
// skip ("ELSE" or "ENDIF"), or an empty word at the end of the text.
std::string_view skip_if_part(TScriptRun& run) {
  if (const auto skipped = run.reader.skip_if_part()) {
    run.number_of_tokens += skipped->words;
    return skipped->word;
  }
  int open = 1;
  while (!run.reader.at_end()) {
    const std::string_view w = run.read_word();
    if (w == "IF") ++open;
    if ((w == "ELSE" && open == 1) || w == "ENDIF") --open;
    if (open == 0) return w;
  }
  return {};
}

void skip_open_loop(TScriptRun& run) {
  int open = 1;
  while (open > 0 && !run.reader.at_end()) {
    const std::string_view w = run.read_word();
    if (w == "LOOP") ++open;
    if (w == "ENDLOOP") --open;
  }
}

void close_if(TScriptRun& run) {
  run.Controls->remove(Kind::If, run.if_cascade);
  --run.if_cascade;
  if (run.if_cascade > 0) {
    run.branch = run.Controls->value(Kind::If, run.if_cascade) != 0 ? 1 : -1;
  } else {
    run.branch = 0;
  }
}

void statement_if(TScriptRun& run) {
  if (!open_level(run, run.if_cascade, "IFs")) return;
  run.Controls->insert(Kind::If, run.if_cascade, 0);
  const float value = condition_value(run);
  // The value goes to the oldest entry of the level, which is an older one
  // than that inserted above when a RETURN left one behind.
  run.Controls->find(Kind::If, run.if_cascade)->value = value;
  run.branch = value != 0 ? 1 : -1;
}

// THEN skips its part when the condition failed (-1), ELSE when it held (1).
template <int kSkippedBranch>
void skip_branch(TScriptRun& run) {
  if (run.branch != kSkippedBranch) return;
  if (skip_if_part(run) == "ENDIF") close_if(run);
}

void statement_endif(TScriptRun& run) {
  close_if(run);
}

// FOR name = start: the loop variable gets the formula name+(start) and the
// start value; the bound and step take their defaults until TO and STEP.
void statement_for(TScriptRun& run) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  if (!open_level(run, run.for_cascade, "FORs")) return;
  const int d = run.for_cascade;
  TControlList& controls = *run.Controls;
  controls.insert(Kind::For, d, 0);
  const TStatementOperands* loop = loop_operands(run, memory, true);
  if (loop == nullptr) return;
  const std::string_view name = loop->name.text;
  TVarlist::THint& hint = *loop->hint;
  const float start = word_value(run, *loop);
  const std::string_view formula = loop_formula(run, memory, name, start);
  TVarlist& vars = *run.Vars;
  TVariable* var = vars.find_named(name, hint);
  if (var == nullptr) {
    vars.insert(name, formula, start);
    var = vars.find_named(name, hint);
  } else {
    var->set_value(start);
    vars.set_formula(*var, formula);
  }
  var->set_comp(1);
  controls.insert(Kind::Step, d, 1);
  controls.insert(Kind::To, d, 2147483648.0f);
  controls.insert(Kind::Var, d, start, name);
}

void set_value(TControlList& controls, Kind kind, int level, float value) {
  if (TControlEntry* entry = controls.find(kind, level)) entry->value = value;
}

void statement_to(TScriptRun& run) {
  const float bound = word_value(run, *loop_operands(run, run.reader.memory_of_last_word(), false));
  set_value(*run.Controls, Kind::To, run.for_cascade, bound);
}

// STEP records the step and the start of the loop body, the read position
// just after the step word.
void statement_step(TScriptRun& run) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  const int d = run.for_cascade;
  const float step = word_value(run, *loop_operands(run, memory, false));
  const TControlEntry* var = run.Controls->find(Kind::Var, d);
  const std::string_view name = var != nullptr ? var->text : std::string_view();
  TVarlist::THint fresh;
  TVarlist::THint& hint = memory != nullptr ? memory->loop_variable : fresh;
  if (TVariable* counter = run.Vars->find(name, hint)) {
    run.Vars->set_formula(*counter, loop_formula(run, memory, name, step));
  }
  set_value(*run.Controls, Kind::Step, d, step);
  const std::size_t body = run.reader.position();
  // NEXT jumps to the body with the word count known, found here once.
  run.Controls->insert(Kind::ForPos, d, static_cast<float>(body)).words =
      run.reader.words_before(body);
}

// Continues reading at the position a loop entry holds.
void jump_to_entry(TScriptRun& run, const TControlEntry& entry) {
  const auto position = static_cast<std::size_t>(entry.value);
  if (entry.words >= 0) {
    run.jump_to(position, entry.words);
  } else {
    run.jump_to(position);
  }
}

void end_for(TScriptRun& run, int d) {
  for (Kind kind : {Kind::For, Kind::To, Kind::Step, Kind::Var, Kind::ForPos}) {
    run.Controls->remove(kind, d);
  }
  --run.for_cascade;
}

// NEXT name: adds the step while the result stays within the bound, and runs
// the body again; the variable keeps the last value within the bound.
void statement_next(TScriptRun& run) {
  const TStatementOperands& next = single_operand(run, false);
  const TNameWord& word = next.name;
  TVarlist::THint& hint = *next.hint;
  const std::string_view name = run.resolve_name_view(word, run.rooms[0]);
  const int d = run.for_cascade;
  TControlList& controls = *run.Controls;
  if (d <= 0 || controls.find(Kind::For, d) == nullptr) {
    run.stop_at_token("Error: NEXT without FOR");
    return;
  }
  TVariable* counter = run.find_named(word, name, hint);
  const float v = counter != nullptr ? counter->get_value() : 0.0f;
  const float step = controls.value(Kind::Step, d);
  const float bound = controls.value(Kind::To, d);
  const bool upward = step > 0;
  const float w = v + step;
  if (counter != nullptr && (upward ? w <= bound : w >= bound)) counter->set_value(w);
  if (upward ? w > bound : w < bound) {
    end_for(run, d);
    return;
  }
  const TControlEntry* body = controls.find(Kind::ForPos, d);
  if (body == nullptr) {
    run.stop_at_token("Error: FOR without STEP");
    return;
  }
  jump_to_entry(run, *body);
}

void statement_loop(TScriptRun& run) {
  if (!open_level(run, run.loop_cascade, "LOOPs")) return;
  const int d = run.loop_cascade;
  const std::size_t body = run.reader.position();
  run.Controls->insert(Kind::Loop, d, 0);
  run.Controls->insert(Kind::LoopPos, d, static_cast<float>(body)).words =
      run.reader.words_before(body);
}

void statement_endloop(TScriptRun& run) {
  const TControlEntry* start = run.Controls->find(Kind::LoopPos, run.loop_cascade);
  if (start == nullptr) {
    run.stop_at_token("Error: ENDLOOP without LOOP");
    return;
  }
  jump_to_entry(run, *start);
}

void statement_exitloop(TScriptRun& run) {
  const int d = run.loop_cascade;
  // The condition's entry lives while the condition is computed, which
  // reads no control entry: it counts for nothing.
  const float value = condition_value(run);
  if (value == 0) return;
  skip_open_loop(run);
  run.Controls->remove(Kind::Loop, d);
  run.Controls->remove(Kind::LoopPos, d);
  --run.loop_cascade;
}

// Whether the target of a CALL or GOTO is declared, and where its
// declaration after `keyword` (PROCEDURE or LABEL) is. Both depend on the
// text alone when the name does (it was resolved from no `word` with an
// index) and is spelled like no control entry's name: the keyword then
// keeps them.
TWordMemory::TJumpTarget jump_target(TScriptRun& run, TWordMemory* memory, std::string_view keyword,
                                     std::string_view name, std::string_view word = {}) {
  if (memory != nullptr && memory->jump_target) return *memory->jump_target;
  TWordMemory::TJumpTarget target;
  target.declared = run.Controls->contains(name);
  if (target.declared) target.place = run.reader.declaration_place(keyword, name);
  const bool text_alone = word.find('[') == std::string_view::npos;
  if (memory != nullptr && text_alone && !TControlList::spelled_like_entry(name)) {
    memory->jump_target = target;
  }
  return target;
}

// Reads on after the declaration a jump goes to; the count becomes the words
// read up to its name.
void jump_past(TScriptRun& run, const TDeclarationPlace& declaration) {
  run.reader.move_past(declaration);
  run.number_of_tokens = declaration.words;
}

// GOTO label: reading goes on after the label's declaration (the first
// LABEL followed by that word), or at the end of the text when there is
// none; an undeclared label is passed over.
void statement_goto(TScriptRun& run) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  const std::string_view label = run.read_word();
  const TWordMemory::TJumpTarget target = jump_target(run, memory, "LABEL", label);
  if (target.declared) jump_past(run, target.place);
}

// CALL records the counters and the word count after the procedure name, so
// that RETURN can restore them and read on right after the CALL.
void statement_call(TScriptRun& run) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  const TScriptRun::TNameWord word = run.read_formula_word();
  const int count = run.number_of_tokens;
  if (!open_level(run, run.proc_cascade, "CALLs")) return;
  const int p = run.proc_cascade;
  // The word is cut to the formula size; a name is cut shorter.
  std::string storage;
  const std::string_view name =
      fit(run.resolve_formula_view(word, storage), script_limits::kNameChars);
  const TWordMemory::TJumpTarget target = jump_target(run, memory, "PROCEDURE", name, word.text);
  if (!target.declared) {
    run.out() << "\nError: no PROCEDURE " << name << " defined!\n";
    return;
  }
  jump_past(run, target.place);
  TControlList& controls = *run.Controls;
  controls.insert(Kind::CallBranch, p, static_cast<float>(run.branch));
  controls.insert(Kind::CallIfCascade, p, static_cast<float>(run.if_cascade));
  controls.insert(Kind::CallForCascade, p, static_cast<float>(run.for_cascade));
  controls.insert(Kind::CallLoopCascade, p, static_cast<float>(run.loop_cascade));
  controls.insert(Kind::CallTokens, p, static_cast<float>(count));
}

// Reads and removes one saved counter of a call.
int take_saved(TControlList& controls, Kind kind, int p) {
  const int value = static_cast<int>(controls.value(kind, p));
  controls.remove(kind, p);
  return value;
}

void statement_return(TScriptRun& run) {
  const int p = run.proc_cascade;
  TControlList& controls = *run.Controls;
  if (controls.find(Kind::CallTokens, p) == nullptr) {
    run.stop_at_token("Error: RETURN without CALL");
    return;
  }
  run.branch = take_saved(controls, Kind::CallBranch, p);
  run.if_cascade = take_saved(controls, Kind::CallIfCascade, p);
  run.for_cascade = take_saved(controls, Kind::CallForCascade, p);
  run.loop_cascade = take_saved(controls, Kind::CallLoopCascade, p);
  const int count = take_saved(controls, Kind::CallTokens, p);
  --run.proc_cascade;
  run.reader.skip_from_start(count);
  run.number_of_tokens = count;
}

void statement_exit(TScriptRun& run) {
  run.stop();
}

// Control flow works on the variable store and the control list only.
constexpr TStatement kControlStatements[] = {
    {"IF", statement_if},           {"THEN", skip_branch<-1>},        {"ELSE", skip_branch<1>},
    {"ENDIF", statement_endif},     {"FOR", statement_for},           {"TO", statement_to},
    {"STEP", statement_step},       {"NEXT", statement_next},         {"LOOP", statement_loop},
    {"ENDLOOP", statement_endloop}, {"EXITLOOP", statement_exitloop}, {"GOTO", statement_goto},
    {"CALL", statement_call},       {"RETURN", statement_return},     {"EXIT", statement_exit},
};

}  // namespace

std::span<const TStatement> control_statements() {
  return kControlStatements;
}
