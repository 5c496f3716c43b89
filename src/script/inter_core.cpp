// Core statements of the script language: comments, LET, PRINT, INPUT,
// DELETE and MEMDUMP.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>

#include "inter_context.h"
#include "inter_state.h"

namespace {

void warn_not_a_variable(TScriptRun& run, std::string_view name) {
  run.out() << "\nWarning: " << name << " is not a valid variable\n";
}

// LET name = formula: the formula's index expressions are resolved first, so
// x[i] names the element the current i selects. LET name : formula: indexed
// names with a symbolic index stand for the list of all present elements.
void assign(TScriptRun& run, const TStatementOperands& let) {
  const TNameWord& name_word = let.name;
  const TNameWord& formula_word = let.formula;
  const bool resolve = let.resolve;
  TVarlist::THint& hint = *let.hint;
  const std::string_view name = run.resolve_name_view(name_word, run.rooms[0]);
  std::string& formula_text = run.rooms[1];
  std::string_view formula =
      resolve ? run.resolve_formula_view(formula_word, formula_text) : formula_word.text;
  TVarlist& vars = *run.Vars;
  TVariable* found = run.find_named(name_word, name, hint);
  if (found == nullptr) {
    vars.insert(name, formula, 0);
    found = run.find_named(name_word, name, hint);
  } else {
    vars.set_formula(*found, formula);
    found->set_comp(1);
  }
  TVariable& var = *found;
  if (!resolve) {
    formula_text = var.get_formula();
    formula = vars.substitute(formula_text);
    vars.set_formula(var, formula);
  }
  const float value = run.compute(let, formula);
  // Computing may not add variables, so `var` still refers to the same entry.
  var.set_value(value);
  var.set_comp(1);
}

void statement_let(TScriptRun& run) {
  const TStatementOperands* let = run.kept_operands(run.reader.memory_of_last_word());
  if (let == nullptr) let = read_assignment_operands(run, "LET ", " =|:");
  if (let != nullptr) assign(run, *let);
}

// Prints a quoted text that may span several words; white space between the
// words becomes one blank. No line break follows.
void print_text(TScriptRun& run, std::string_view word) {
  if (word == "\"") {
    run.out() << ' ';
    word = run.read_word();
  } else {
    word.remove_prefix(1);
  }
  while (!word.empty() && word.back() != '"') {
    run.out() << word << ' ';
    word = run.read_word();
  }
  if (word.empty() || word == "\"") return;
  if (word.front() == '"') word.remove_prefix(1);
  word.remove_suffix(1);
  run.out() << word;
}

void statement_print(TScriptRun& run) {
  const std::string_view word = run.read_word();
  if (!word.empty() && word.front() == '"') {
    print_text(run, word);
    return;
  }
  if (word == "CR") {
    run.out() << '\n';
    return;
  }
  std::string name_text;
  const std::string_view name =
      run.resolve_name_view({fit(word, script_limits::kNameChars), true,
                             run.reader.indexed_last_word(script_limits::kNameChars)},
                            name_text);
  const TVariable* var = run.Vars->find(name);
  if (var == nullptr) {
    run.out() << "\nDynaTARN++: Warning: variable " << name << " does not exist.";
    return;
  }
  const std::string_view formula = var->get_formula();
  if (!formula.empty() && formula.front() == '"') {
    run.out() << formula.substr(1, formula.size() >= 2 ? formula.size() - 2 : 0);
  } else {
    run.out() << var->get_value();
  }
}

// INPUT name: one word from standard input. A quoted word is a text; a word
// with any letter counts as 0; anything else is read as a decimal number.
void statement_input(TScriptRun& run) {
  const std::string name = run.read_name();
  std::string typed;
  std::cin >> typed;
  if (typed.size() > script_limits::kFormulaChars) typed.resize(script_limits::kFormulaChars);
  const bool text = !typed.empty() && typed.front() == '"';
  const bool letters = !text && std::any_of(typed.begin(), typed.end(),
                                            [](unsigned char c) { return std::isalpha(c) != 0; });
  const float value = text || letters ? 0.0f : static_cast<float>(std::atof(typed.c_str()));
  std::string formula = letters ? std::string(1, '0') : typed;
  run.Vars->real_name(formula);
  TVarlist& vars = *run.Vars;
  if (vars.in_list(name) == 0) {
    vars.insert(name, formula, value);
    return;
  }
  vars.set_formula(name, formula);
  vars.set_value(name, value);
  vars.set_comp(name, 1);
}

void statement_delete(TScriptRun& run) {
  std::string storage;
  const std::string name(run.resolve_name_view(run.read_name_word(), storage));
  if (name == "RULESET") {
    // The replacement carries the rule set's default name.
    run.use_rules(std::make_unique<RuleSet>(&run.Context.unshared_fuzzy));
    return;
  }
  if (name == "EVALTREE" && delete_evaltree(run)) return;
  if (name == "ALL") {
    run.Vars = std::make_unique<TVarlist>();
    run.Vars->set_output(&run.out());
    run.Vars->set_division_listener(&run);
    return;
  }
  if (run.Vars->in_list(name) == 0) {
    warn_not_a_variable(run, name);
    return;
  }
  run.Vars->remove(name);
  if (const CombinedVariable* cv = run.Rules->get_cv(name)) {
    run.Rules->remove_cv_and_its_approaches(cv);
  }
}

void statement_memdump(TScriptRun& run) {
  const TScriptRun::TNameWord word = run.read_name_word();
  if (word.text == "ALL") {
    run.Vars->show(run.out());
    return;
  }
  std::string storage;
  const std::string name(run.resolve_name_view(word, storage));
  if (const CombinedVariable* cv = run.Rules->get_cv(name)) {
    cv->show(run.out());
    return;
  }
  if (run.Vars->in_list(name) != 0) {
    run.Vars->show(run.out(), name);
    return;
  }
  warn_not_a_variable(run, name);
}

// The core statements: comments, LET, PRINT, INPUT, DELETE and MEMDUMP.
constexpr TStatement kCoreStatements[] = {
    {"/*", skip_comment},       {"LET", statement_let},       {"PRINT", statement_print},
    {"INPUT", statement_input}, {"DELETE", statement_delete}, {"MEMDUMP", statement_memdump},
};

}  // namespace

const TStatementOperands* read_assignment_operands(TScriptRun& run, std::string_view keyword,
                                                   std::string_view separator) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  const int words_before = run.number_of_tokens;
  TStatementOperands& read = run.operands_read = {};
  read.name = run.read_name_word();
  read.hint = &run.name_hint();
  read.fuzzy_hint = &run.fuzzy_name_hint();
  const std::string_view word = run.read_word();
  if (word != "=" && word != ":") {
    run.stop_at_token("Error: '= or :' missing in " + std::string(keyword) +
                      std::string(read.name.text) + std::string(separator) + std::string(word));
    return nullptr;
  }
  read.resolve = word == "=";
  read.formula = run.read_formula_word();
  if (read.resolve) run.keep_parse(read);
  return &run.keep_operands(memory, words_before);
}

std::span<const TStatement> core_statements() {
  return kCoreStatements;
}
