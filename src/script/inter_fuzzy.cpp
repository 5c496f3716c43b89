// Fuzzy statements of the script language: file transfer (IMPORT, EXPORT),
// parameter sets, fuzzy variables and their crisp values (PARAMETERSET,
// FUZZYVAR, SET), the rule table and the rules generated from it (TABLE,
// FUZZYCONCAT, FUZZYCOMPARE), and the operator set (OPERATORSET).
//
// A fuzzy variable lives twice under one name: in the rule set, and in the
// variable store with its parameter set's name as formula and its last crisp
// value as value. The rule-generating statements find a variable's parameter
// set through that formula.
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <type_traits>
#include <vector>

#include "evaltree.h"
#include "inter_context.h"
#include "inter_fuzzy_table.h"
#include "inter_state.h"
#include "read_path.h"

namespace {

bool has_name(const ParameterSet& ps, std::string_view name) {
  return ps.get_ps_name() == name_view(name);
}

const ParameterSet* first_set_named(RuleSet& rules, std::string_view name) {
  const PSList& sets = *rules.get_ps_list();
  for (int i = 0; i < sets.get_number(); ++i) {
    if (has_name(*sets.find(i), name)) return sets.find(i);
  }
  return nullptr;
}

// ------------------------------------------------------------ IMPORT, EXPORT

// An import may add many entries at once: the sizes are checked at once,
// not only at the next regular check, so that imports in a loop cannot pile
// up.
void stop_past_size_limits(TScriptRun& run) {
  if (const std::optional<std::string> over = run.size_limit_passed()) {
    run.stop_at_token(*over);
  }
}

void statement_import(TScriptRun& run) {
  const std::string_view kind = run.read_word();
  const std::string file_name = run.read_name();
  const std::string path = run.read_path(file_name);
  if (kind == "VARIABLES") {
    // Past the limit one more is enough to end the run below.
    run.Vars->read(path, run.Context.limits.variables + 1);
    run.Vars->substitute_all();
    stop_past_size_limits(run);
    return;
  }
  if (kind != "RULESET" && kind != "PARAMETERSET" && kind != "PSLIST") return;
  // The new rule set stays empty when the file cannot be read.
  if (kind == "RULESET") run.use_rules(std::make_shared<RuleSet>(&run.Context.unshared_fuzzy));
  std::ifstream in;
  if (is_input_file(path)) in.open(path);
  if (!in.is_open()) {
    run.stop("Error: Unknown " + std::string(kind) + "-file " + file_name + "!");
    return;
  }
  if (kind == "RULESET") {
    run.Rules->read(in);
  } else if (kind == "PARAMETERSET") {
    ParameterSet ps;
    ps.read(in);
    run.Rules->get_ps_list()->add(&ps, run.errors());
  } else {
    run.Rules->get_ps_list()->read(in, run.errors());
  }
  stop_past_size_limits(run);
}

void export_parameter_sets(TScriptRun& run, std::string_view set_name) {
  const std::string file_name = run.read_name();
  std::ostringstream out;
  const PSList& sets = *run.Rules->get_ps_list();
  for (int i = 0; i < sets.get_number(); ++i) {
    if (has_name(*sets.find(i), set_name)) sets.find(i)->write(out);
  }
  write_text_file(run.write_path(file_name), out.str());
}

// Files that cannot be written are passed over silently.
void statement_export(TScriptRun& run) {
  // The file written may be the rule table.
  run.table.reset();
  const std::string_view kind = run.read_word();
  const std::string word = run.read_name();
  std::ostringstream out;
  if (kind == "RULESET") {
    run.Rules->write(out);
  } else if (kind == "EVALTREE") {
    if (run.Evals != nullptr) run.Evals->write(run.write_path(word));
    return;
  } else if (kind == "PSLIST") {
    run.Rules->get_ps_list()->write(out);
  } else if (kind == "PARAMETERSET") {
    export_parameter_sets(run, word);
    return;
  } else if (kind == "VARIABLES") {
    run.Vars->write(out);
  } else {
    return;
  }
  write_text_file(run.write_path(word), out.str());
}

// ------------------------------------------------- parameter sets, variables

// Reads the operands of PARAMETERSET (the words before the numbers are
// labels for the reader and are not examined); false (the run stopped) when a number
// or the terms are missing.
bool read_parameter_set(TScriptRun& run, TParameterSetOperands& operands) {
  const int words_before = run.number_of_tokens;
  run.read_word();
  operands.name = run.read_name();
  for (float& value : operands.values) {
    run.read_word();
    const std::optional<float> number = run.read_number();
    if (!number) {
      // The text no longer reads as words after a failed number extraction.
      run.stop("Error: number expected in PARAMETERSET " + operands.name + "!");
      return false;
    }
    value = *number;
  }
  run.read_word();
  for (std::string_view word = run.read_word(); word != "END" && !word.empty();
       word = run.read_word()) {
    operands.terms.add(word);
  }
  if (operands.terms.get_number() == 0) {
    run.stop("Error: no linguistic terms defined for ParameterSet " + operands.name + "!");
    return false;
  }
  operands.after = run.reader.place();
  operands.words_read = run.number_of_tokens - words_before;
  return true;
}

// PARAMETERSET label name label lower label upper label median label
// distribution label dilatation label importance label terms... END. The
// operands are read once per place in the text; later runs of the same
// text take them over and continue where reading them ended.
void statement_parameterset(TScriptRun& run) {
  TWordMemory* const place = run.reader.memory_of_last_word();
  const TParameterSetOperands* operands =
      place != nullptr ? run.kept(place->parameter_set) : nullptr;
  TParameterSetOperands read;
  if (operands == nullptr) {
    if (!read_parameter_set(run, read)) return;
    if (place != nullptr) place->parameter_set = std::make_unique<TParameterSetOperands>(read);
    operands = &read;
  }
  const float* values = operands->values;
  const CList colours(operands->terms.get_number());
  run.Rules->get_ps_list()->add(ParameterSet(operands->name, values[0], values[1], values[2],
                                             values[3], values[4], values[5], &colours,
                                             &operands->terms, run.errors()));
}

// Ends the run with the message naming what is unknown; rarely called, so
// kept out of the statements.
[[gnu::noinline]] void stop_at_unknown(TScriptRun& run, std::string_view message,
                                       std::string_view name) {
  run.stop(std::string(message) + std::string(name) + "!");
}

// FUZZYVAR name set. The fuzzy variable's name is cut to the fuzzy library's
// name size; lookups by the longer name find it all the same.
void statement_fuzzyvar(TScriptRun& run) {
  std::string storage;
  const std::string name(run.resolve_name_view(run.read_name_word(), storage));
  const std::string set_name = run.read_name();
  const ParameterSet* ps = first_set_named(*run.Rules, set_name);
  if (ps == nullptr) {
    run.stop("Error: unknown PARAMETERSET " + set_name + " for " + name + "!");
    return;
  }
  run.Rules->get_cv_list()->add(ps, name);
  TVariable* var = run.Vars->find(name);
  if (var == nullptr) {
    run.Vars->insert(name, set_name, 0);
    return;
  }
  run.Vars->set_formula(*var, set_name);
  var->set_comp(1);
  var->set_value(0);
}

// SET x = y for a fuzzy variable y: x becomes a copy of y. The copy is
// appended under x's name; a fuzzy variable x made earlier stays first.
void copy_fuzzy_variable(TScriptRun& run, std::string_view name, std::string_view source_name,
                         const CombinedVariable& source) {
  run.Vars->remove(name);
  run.Rules->get_cv_list()->add(&source, name);
  // The formula is copied: inserting may move the store's entries.
  const char* source_formula = run.Vars->get_formula(source_name);
  const std::string formula(source_formula != nullptr ? source_formula : "");
  run.Vars->insert(name, formula, source.get_crisp_value());
  run.Vars->set_comp(name, 1);
}

// SET name = formula (or : formula): computes the formula and fuzzifies the
// variable with it, or copies the fuzzy variable the formula names.
void statement_set(TScriptRun& run) {
  const TStatementOperands* set = run.kept_operands(run.reader.memory_of_last_word());
  if (set == nullptr) set = read_assignment_operands(run, "SET ", " =|: ");
  if (set == nullptr) return;
  const TNameWord& name_word = set->name;
  const TNameWord& formula_word = set->formula;
  const std::string_view name = run.resolve_name_view(name_word, run.rooms[0]);
  // A substituted formula's text is kept from one SET to the next: most are
  // too long for a string's own room and would be allocated every time.
  std::string& formula_text = run.Context.set_formula;
  std::string_view formula;
  if (set->resolve) {
    formula = run.resolve_formula_view(formula_word, formula_text);
  } else {
    formula_text.assign(formula_word.text);
    formula = run.Vars->substitute(formula_text);
  }
  TVariable* var = run.find_named(name_word, name, *set->hint);
  if (var == nullptr) {
    stop_at_unknown(run, "Error: unknown FUZZYVAR ", name);
    return;
  }
  var->set_comp(1);
  // Only a formula that fits a fuzzy variable's name can name one.
  const CombinedVariable* source =
      formula.size() <= ::kNameChars ? run.Rules->get_cv(formula) : nullptr;
  if (source != nullptr) {
    copy_fuzzy_variable(run, name, formula, *source);
    return;
  }
  const float value = run.compute(*set, formula);
  // Computing adds no variables, so the store's entries stay where they were.
  var->set_value(value);
  var->set_comp(1);
  // The variable's formula names its parameter set again, as a C text. While
  // the formula was computed it could have held that formula instead: no
  // computation reads the formula of a variable marked computed, and copying
  // removes the variable first, so that is left out.
  run.Vars->set_formula(*var, var->get_formula());
  CombinedVariable* cv = run.Rules->get_cv(name, *set->fuzzy_hint);
  if (cv == nullptr) {
    stop_at_unknown(run, "Error: unknown FUZZYVAR ", name);
    return;
  }
  cv->set_value(value);
}

// ------------------------------------------------------------- rule table

// TABLE name: the rule table, found beside the domain file when it is not in
// the working folder; the message names it as the script does.
void statement_table(TScriptRun& run) {
  const std::string name = run.read_name();
  TReadFile file = run.locate_read_file(name);
  run.table = run.Context.tables.load(file);
  run.tablename = name;
  run.table_path = std::move(file.path);
  if (!run.table->readable()) {
    run.stop("Error: Unknown TABLE " + name + "!");
  }
}

bool table_defined(TScriptRun& run) {
  if (run.tablename != "empty") return true;
  run.stop("Error: no TABLE defined for generation of rules!");
  return false;
}

// The store's variable of that name, looked up through the hint of the
// word the name was read from; when there is none, the run stops with the
// message.
const TVariable* require_store_variable(TScriptRun& run, const TNameWord& word,
                                        std::string_view name, TVarlist::THint& hint,
                                        std::string_view message) {
  if (const TVariable* var = run.find_named(word, name, hint)) return var;
  stop_at_unknown(run, message, name);
  return nullptr;
}

// The operands of FUZZYCOMPARE (constraint w variable operator formula)
// or FUZZYCONCAT (constraint w first operator second) read after the
// keyword. An operator that is not `valid` stops the run with the message
// `invalid` (null is returned); operands with a valid one are kept at the
// keyword's place, when there is one. Mostly the operands are kept
// already, so reading them is kept out of the statements.
[[gnu::noinline]] const TFuzzyOperands* read_fuzzy_operands(TScriptRun& run, TWordMemory* place,
                                                            bool formula_last,
                                                            bool (*valid)(std::string_view),
                                                            std::string_view invalid) {
  TFuzzyOperands& read = run.fuzzy_operands_read = {};
  const int words_before = run.number_of_tokens;
  for (int i = 0; i < 3; ++i) {
    read.words[i] = i == 2 && formula_last ? run.read_formula_word() : run.read_name_word();
    read.hints[i] = run.reader.hint_of_last_word();
    read.fuzzy_hints[i] = run.reader.fuzzy_hint_of_last_word();
    if (i == 0) run.read_word();
    if (i == 1) read.oper = run.read_word();
  }
  read.after = run.reader.place();
  read.words_read = run.number_of_tokens - words_before;
  if (!valid(read.oper)) {
    run.stop(invalid);
    return nullptr;
  }
  if (place == nullptr) return &read;
  place->fuzzy_operands = std::make_unique<TFuzzyOperands>(read);
  return place->fuzzy_operands.get();
}

// The same as kept at the keyword's place, the reader moved past them, or
// else read.
const TFuzzyOperands* fuzzy_operands(TScriptRun& run, TWordMemory* place, bool formula_last,
                                     bool (*valid)(std::string_view), std::string_view invalid) {
  if (place != nullptr && place->fuzzy_operands != nullptr) return run.kept(place->fuzzy_operands);
  return read_fuzzy_operands(run, place, formula_last, valid, invalid);
}

// Whether the statement at `place` added rules last for this table, these
// variables and sets. The operator is the place's own word, and so are the
// names when they are `fixed` (words without an index): those match.
bool concat_matches(const TWordMemory* place, const std::shared_ptr<const TRuleTable>& table,
                    const std::string_view (&names)[3], const std::string_view (&sets)[3],
                    bool fixed) {
  if (place == nullptr || place->concat == nullptr) return false;
  const TConcatMemory& kept = *place->concat;
  if (kept.table != table) return false;
  for (int i = 0; i < 3; ++i) {
    if (!same_text(kept.sets[i], sets[i])) return false;
    if (!fixed && !same_text(kept.names[i], names[i])) return false;
  }
  return true;
}

// Whether, besides, the constraint's block still holds those rules: adding
// them again would skip every one as a duplicate, and the rule set's name
// was taken out of its default by the first.
bool concat_kept(const TWordMemory* place, const std::shared_ptr<const TRuleTable>& table,
                 const std::string_view (&names)[3], const std::string_view (&sets)[3], bool fixed,
                 const RuleSet& rules, const CombinedVariable* output) {
  if (!concat_matches(place, table, names, sets, fixed) || place->concat->block_stamp == 0) {
    return false;
  }
  if (std::string_view(rules.get_rs_name()) == "empty_rule_set") return false;
  const int b = output != nullptr ? rules.search(output) : rules.search(names[2]);
  return b >= 0 && rules.find(b)->get_stamp() == place->concat->block_stamp;
}

// Notes what the statement added rules for and the stamp of the
// constraint's block after, with the block when the rules made it
// (`whole`), or else when they were added to the block with stamp `before`
// (not 0). The blocks noted for the same rules before are kept.
void keep_concat(TWordMemory* place, const std::shared_ptr<const TRuleTable>& table,
                 const std::string_view (&names)[3], const std::string_view (&sets)[3], bool fixed,
                 const RuleSet& rules, bool whole, std::uint64_t before) {
  if (place == nullptr) return;
  if (!concat_matches(place, table, names, sets, fixed)) {
    place->concat = std::make_unique<TConcatMemory>();
    TConcatMemory& kept = *place->concat;
    kept.table = table;
    for (int i = 0; i < 3; ++i) {
      kept.names[i] = names[i];
      kept.sets[i] = sets[i];
    }
  }
  TConcatMemory& kept = *place->concat;
  const int b = rules.search(names[2]);
  kept.block_stamp = b >= 0 ? rules.find(b)->get_stamp() : 0;
  if (b < 0) return;
  if (whole) kept.generated = rules.share(b);
  if (before != 0) {
    kept.added = rules.share(b);
    kept.added_to = before;
  }
}

bool is_concat_operator(std::string_view word) {
  return word == "AND" || word == "OR";
}

// FUZZYCONCAT constraint w first AND|OR second: rules for the constraint from
// the CONCAT entry of the three variables' parameter sets. A statement that
// added its rules before finds them still there, mostly, and adds nothing.
void statement_fuzzyconcat(TScriptRun& run) {
  if (!table_defined(run)) return;
  TWordMemory* const place = run.reader.memory_of_last_word();
  const TFuzzyOperands* const kept_or_read =
      fuzzy_operands(run, place, false, is_concat_operator,
                     "Error: fuzzy operator [AND|OR] expected in FUZZYCONCAT statement!");
  if (kept_or_read == nullptr) return;
  const TFuzzyOperands& operands = *kept_or_read;
  const std::string_view oper = operands.oper;
  // The operands are the constraint, the first and the second input; here
  // the inputs come first. The hints of their places let a statement met
  // again find its variables at once.
  const auto at = [](int i) { return (i + 1) % 3; };
  // Each name is resolved into its own room, so the views stay valid.
  std::string storage[3];
  std::string_view names[3], sets[3];
  for (int i = 0; i < 3; ++i) names[i] = run.resolve_name_view(operands.words[at(i)], storage[i]);
  const bool fixed = !(operands.words[0].may_hold_index || operands.words[1].may_hold_index ||
                       operands.words[2].may_hold_index);
  for (int i = 0; i < 3; ++i) {
    TVarlist::THint fresh;
    TVarlist::THint* hint = operands.hints[at(i)];
    const TVariable* var =
        require_store_variable(run, operands.words[at(i)], names[i], hint ? *hint : fresh,
                               "Error: unknown FUZZY VARIABLE ");
    if (var == nullptr) return;
    sets[i] = var->get_formula();
  }
  const std::shared_ptr<const TRuleTable>& words = run.rule_table();
  RuleSet& rules = *run.Rules;
  const auto fuzzy = [&](int i) {
    CVList::Hint* hint = operands.fuzzy_hints[at(i)];
    return hint ? rules.get_cv(names[i], *hint) : rules.get_cv(names[i]);
  };
  const CombinedVariable* output = fuzzy(2);
  // A kept statement found its table entry before: the table's words never
  // change.
  const bool kept = concat_kept(place, words, names, sets, fixed, rules, output);
  TTableReader table(words);
  if (!kept && !table.find_entry("CONCAT", {sets[0], sets[1], sets[2]})) {
    run.stop("Error: no entry in TABLE for FUZZYCONCAT " + std::string(names[2]) + " " +
             std::string(names[0]) + " " + std::string(oper) + " " + std::string(names[1]) + "!");
    return;
  }
  const CombinedVariable* inputs[2] = {fuzzy(0), fuzzy(1)};
  for (int i = 0; i < 2; ++i) {
    if (inputs[i] != nullptr) continue;
    run.stop("Error: FUZZY VARIABLE " + std::string(names[i]) + " not in RuleSet for FUZZYCONCAT " +
             std::string(names[2]) + "!");
    return;
  }
  if (output == nullptr) {
    const std::string constraint(names[2]);
    run.stop("Error: FUZZY VARIABLE " + constraint + " no longer in RuleSet for FUZZYCONCAT " +
             constraint + "!");
    return;
  }
  if (kept) return;
  const bool whole = takes_block_whole(rules, output->get_cv_name_view());
  if (whole && concat_matches(place, words, names, sets, fixed) && place->concat->generated) {
    // The rules this statement made in an earlier run, as a block.
    rules.add(place->concat->generated);
    const int b = rules.search(names[2]);
    place->concat->block_stamp = b >= 0 ? rules.find(b)->get_stamp() : 0;
    return;
  }
  const int b = whole ? -1 : rules.search(output);
  const std::uint64_t before = b >= 0 ? rules.find(b)->get_stamp() : 0;
  if (before != 0 && concat_matches(place, words, names, sets, fixed) && place->concat->added &&
      place->concat->added_to == before) {
    rules.replace_rules(b, *place->concat->added);
    place->concat->block_stamp = rules.find(b)->get_stamp();
    return;
  }
  table.skip_to(oper);
  add_section_rules(table, rules, *inputs[0], *inputs[1], *output, oper == "OR" ? OR : AND);
  keep_concat(place, words, names, sets, fixed, rules, whole, before);
}

// The value the comparison variable carries: the compared value x moved so
// that the comparison value c lands on the median m.
float shifted_difference(float m, float x, float c) {
  if (x < 0 && c < 0) return m - x + c;
  return m + x - c;
}

// The comparison variable's name constraint:variable<operator>, cut to the
// fuzzy library's name size. Valid until the next call.
std::string_view comparison_name(std::string& composed, std::string_view constraint,
                                 const CombinedVariable& compared, std::string_view oper) {
  composed.assign(constraint);
  composed += ':';
  composed += compared.get_cv_name_view();
  composed += oper;
  return name_view(composed);
}

// The rule-set variables of one comparison: the compared variable, the
// comparison variable and the constraint's variable.
struct TComparisonVariables {
  const CombinedVariable* compared = nullptr;
  CombinedVariable* comparison = nullptr;
  const CombinedVariable* target = nullptr;
};

bool is_compare_operator(std::string_view word) {
  return word == "=" || word == "#" || word == "<" || word == ">";
}

// The median is read as from the checked copy of the compared variable's
// parameters, with its warnings of the ones out of range (as a variable read
// from a file may hold), every time.
void set_comparison_value(TScriptRun& run, const CombinedVariable& compared,
                          CombinedVariable& comparison, float c) {
  if (!compared.in_checked_ranges()) compared.warn_out_of_range(run.errors());
  const float median = compared.get_median();
  comparison.set_value(shifted_difference(median, compared.get_crisp_value(), c));
}

// What a comparison's place memory is keyed by (see TComparisonMemory),
// besides the variable list's generation. The operator is a word of the text
// after the place's keyword, the same every time.
struct TComparisonKey {
  const std::shared_ptr<const TRuleTable>& table;
  std::string_view compared_set;
  std::string_view constraint_set;
  std::string_view constraint;
  std::string_view variable;
};

// Names that are `fixed` (words without an index) are the place's own and
// match.
bool comparison_kept(const TComparisonMemory& memory, const TComparisonKey& key, const CVList& list,
                     bool fixed) {
  return memory.generation == list.get_generation() && memory.table == key.table &&
         same_text(memory.compared_set, key.compared_set) &&
         same_text(memory.constraint_set, key.constraint_set) &&
         (fixed || (same_text(memory.constraint, key.constraint) &&
                    same_text(memory.variable, key.variable)));
}

// Keeps what a comparison found in its place's memory: never for a
// comparison variable of the evaluation tree, which would have to be
// reached again by its name.
void keep_comparison(TWordMemory* place, const TComparisonKey& key, const CVList& list,
                     const TComparisonVariables& found) {
  if (place == nullptr) return;
  if (place->comparison == nullptr) place->comparison = std::make_unique<TComparisonMemory>();
  TComparisonMemory& memory = *place->comparison;
  memory.table = key.table;
  memory.compared_set = key.compared_set;
  memory.constraint_set = key.constraint_set;
  memory.generation = list.get_generation();
  memory.constraint = key.constraint;
  memory.variable = key.variable;
  memory.compared = found.compared;
  memory.comparison = found.comparison;
}

// Adds the rules of the rest of the section: pairs of the comparison's term
// and the constraint's term.
void add_comparison_rules(TTableReader& table, RuleSet& rules, const TComparisonVariables& vars) {
  std::vector<RuleSet::TermPair> pairs;
  while (!table.at_end()) {
    const std::string_view term = table.next();
    if (term.empty() || is_table_keyword(term)) break;
    const std::string_view rating = table.next();
    if (!rating.empty()) pairs.push_back({term, rating});
  }
  rules.add_BasicRules(vars.comparison, vars.target, pairs, 1);
}

// What a generated comparison block is kept by (see TGeneratedBlock).
struct TGeneratedKey {
  const std::shared_ptr<const TRuleTable>& table;
  std::string_view sets[2];
  std::string_view names[2];  // the comparison variable, the constraint
};

bool generated_matches(const TWordMemory* place, const TGeneratedKey& key) {
  if (place == nullptr || place->compare_block == nullptr) return false;
  const TGeneratedBlock& kept = *place->compare_block;
  if (kept.table != key.table) return false;
  for (int i = 0; i < 2; ++i) {
    if (!same_text(kept.sets[i], key.sets[i]) || !same_text(kept.names[i], key.names[i])) {
      return false;
    }
  }
  return true;
}

// Keeps the block the rules just made for the constraint, when they made
// one.
void keep_generated(TWordMemory* place, const TGeneratedKey& key, const RuleSet& rules) {
  if (place == nullptr) return;
  const int b = rules.search(key.names[1]);
  if (b < 0) return;
  if (place->compare_block == nullptr) place->compare_block = std::make_unique<TGeneratedBlock>();
  TGeneratedBlock& kept = *place->compare_block;
  kept.table = key.table;
  for (int i = 0; i < 2; ++i) {
    kept.sets[i] = key.sets[i];
    kept.names[i] = key.names[i];
  }
  kept.block = rules.share(b);
}

// FUZZYCOMPARE constraint w variable =|#|<|> formula: the comparison variable
// constraint:variable<operator> carries the shifted difference; its rules,
// from the COMPARE entry of the two parameter sets, are made once.
void statement_fuzzycompare(TScriptRun& run) {
  if (!table_defined(run)) return;
  TWordMemory* const place = run.reader.memory_of_last_word();
  const TFuzzyOperands* const kept_or_read =
      fuzzy_operands(run, place, true, is_compare_operator,
                     "Error: compare operator [=|#|<|>] expected in FUZZYCOMPARE statement!");
  if (kept_or_read == nullptr) return;
  const TFuzzyOperands& operands = *kept_or_read;
  const std::string_view oper = operands.oper;
  TVarlist::THint unplaced[2];
  TVarlist::THint& constraint_hint = operands.hints[0] ? *operands.hints[0] : unplaced[0];
  TVarlist::THint& variable_hint = operands.hints[1] ? *operands.hints[1] : unplaced[1];
  const std::string_view constraint = run.resolve_name_view(operands.words[0], run.rooms[0]);
  const std::string_view variable = run.resolve_name_view(operands.words[1], run.rooms[1]);
  const std::string_view formula = run.resolve_formula_view(operands.words[2], run.rooms[2]);
  const TVariable* compared_var = require_store_variable(
      run, operands.words[1], variable, variable_hint, "Error: unknown (FUZZY) VARIABLE ");
  if (compared_var == nullptr) return;
  const TVariable* constraint_var = require_store_variable(
      run, operands.words[0], constraint, constraint_hint, "Error: unknown FUZZY VARIABLE ");
  if (constraint_var == nullptr) return;
  // Computing adds no variables, so both stay where they are.
  const float c = run.compute(formula, operands.words[2].indexed);
  // Nothing below loads another table or writes a file, so the run keeps
  // its table while the comparison lasts.
  const std::shared_ptr<const TRuleTable>& table_words = run.rule_table();
  const TComparisonKey key{table_words, compared_var->formula_text(),
                           constraint_var->formula_text(), constraint, variable};
  RuleSet& rules = *run.Rules;
  if (place != nullptr && place->comparison != nullptr &&
      comparison_kept(*place->comparison, key, *rules.get_cv_list(),
                      !operands.words[0].may_hold_index && !operands.words[1].may_hold_index)) {
    set_comparison_value(run, *place->comparison->compared, *place->comparison->comparison, c);
    return;
  }
  TTableReader table(table_words);
  if (!table.find_entry("COMPARE", {compared_var->get_formula(), constraint_var->get_formula()})) {
    run.stop("Error: no entry in TABLE for FUZZYCOMPARE " + std::string(constraint) + " " +
             std::string(variable) + " " + std::string(oper) + " " + std::string(formula) + "!");
    return;
  }
  TComparisonVariables found;
  found.compared = rules.get_cv(variable);
  if (found.compared == nullptr) {
    run.stop("Error: unknown (FUZZY) VARIABLE " + std::string(variable) + "!");
    return;
  }
  const std::string_view name =
      comparison_name(run.Context.comparison_name, constraint, *found.compared, oper);
  found.comparison = rules.get_cv(name);
  const bool fresh = found.comparison == nullptr;
  if (fresh) found.comparison = rules.get_cv_list()->add(found.compared, name);
  found.target = rules.get_cv(constraint);
  if (found.target == nullptr) {
    run.stop("Error: unknown (FUZZY) VARIABLE " + std::string(constraint) + "!");
    return;
  }
  set_comparison_value(run, *found.compared, *found.comparison, c);
  if (fresh) {
    const TGeneratedKey generated_key{
        table_words,
        {compared_var->formula_text(), constraint_var->formula_text()},
        {name, found.target->get_cv_name_view()}};
    const bool whole = takes_block_whole(rules, found.target->get_cv_name_view());
    if (whole && generated_matches(place, generated_key)) {
      rules.add(place->compare_block->block);
    } else {
      if (table.skip_to(oper)) add_comparison_rules(table, rules, found);
      if (whole) keep_generated(place, generated_key, rules);
    }
  }
  keep_comparison(place, key, *rules.get_cv_list(), found);
}

// --------------------------------------------------------------- operators

fuzzy_operator fuzzy_operator_of(std::string_view word) {
  static constexpr std::pair<std::string_view, fuzzy_operator> kWords[] = {
      {"MINIMUM", minimum},   {"MAXIMUM", maximum},           {"FUZZY_AND", fuzzy_and},
      {"FUZZY_OR", fuzzy_or}, {"ASS_COMP_AND", ass_comp_and}, {"ASS_COMP_OR", ass_comp_or},
  };
  for (const auto& [text, op] : kWords) {
    if (word == text) return op;
  }
  return no_fop;
}

// A label word and a number: gamma by the stream's decimal extraction, the
// accuracy by its integer extraction. A word that is no number ends the run,
// since the script text could not be read on from there.
template <class TNumber>
std::optional<TNumber> labelled_number(TScriptRun& run) {
  run.read_word();
  std::optional<TNumber> number;
  if constexpr (std::is_same_v<TNumber, int>) {
    number = run.read_integer();
  } else {
    number = run.read_number();
  }
  if (!number) run.stop("Error: number expected in OPERATORSET!");
  return number;
}

// OPERATORSET w importance w and w or w certainty w inference w accumulate
// w defuzzification w gamma w accuracy w.
void statement_operatorset(TScriptRun& run) {
  fuzzy_operator ops[6] = {};
  for (fuzzy_operator& op : ops) {
    run.read_word();
    op = fuzzy_operator_of(run.read_word());
  }
  run.read_word();
  const defuzzification_operator defuzzy = run.read_word() == "COG" ? cog : no_dfop;
  const std::optional<float> gamma = labelled_number<float>(run);
  if (!gamma) return;
  const std::optional<int> accuracy = labelled_number<int>(run);
  if (!accuracy) return;
  run.read_word();
  OperatorSet& set = *run.Rules->get_operator_set();
  set.set_importance_operator(ops[0]);
  set.set_and_operator(ops[1]);
  set.set_or_operator(ops[2]);
  set.set_certainty_operator(ops[3]);
  set.set_inference_operator(ops[4]);
  set.set_accumulate_operator(ops[5]);
  set.set_defuzzy_operator(defuzzy);
  set.set_gamma(*gamma);
  set.set_accuracy(*accuracy);
}

constexpr TStatement kFuzzyStatements[] = {
    {"IMPORT", statement_import},
    {"EXPORT", statement_export},
    {"PARAMETERSET", statement_parameterset},
    {"FUZZYVAR", statement_fuzzyvar},
    {"SET", statement_set},
    {"TABLE", statement_table},
    {"FUZZYCONCAT", statement_fuzzyconcat},
    {"FUZZYCOMPARE", statement_fuzzycompare},
    {"OPERATORSET", statement_operatorset},
};

}  // namespace

const std::shared_ptr<const TRuleTable>& TScriptRun::rule_table() {
  if (table == nullptr || !Context.caching()) table = Context.tables.load(table_path);
  return table;
}

std::span<const TStatement> fuzzy_statements() {
  return kFuzzyStatements;
}
