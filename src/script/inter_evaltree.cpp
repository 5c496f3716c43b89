// Evaluation-tree statements of the script language: EVALTREE builds the
// tree, EVAL computes a fuzzy variable from its rules, AGGREGATE records a
// rated constraint in a branch of the tree.
#include <charconv>
#include <iostream>

#include "evaltree.h"
#include "inter_state.h"

namespace {

// The tree's variable in the store, which carries the overall score.
constexpr const char* kOverallFormula = "OVERALL_EVALUATION";

// The parameter set a tree is built from: the last of that name.
const ParameterSet* last_set_named(RuleSet& rules, std::string_view name) {
  const PSList& sets = *rules.get_ps_list();
  for (int i = sets.get_number() - 1; i >= 0; --i) {
    if (sets.find(i)->get_ps_name() == name_view(name)) return sets.find(i);
  }
  return nullptr;
}

// EVALTREE set tree branch op ... END: the branches are pairs of a name and
// the operator word that joins the branch to the head.
void statement_evaltree(TScriptRun& run) {
  const std::string set_name = run.read_name();
  const std::string tree_name = run.read_name();
  run.Vars->insert(tree_name, kOverallFormula, 0);
  TVarlist branches;
  for (std::string name = run.read_name(); name != "END" && !name.empty(); name = run.read_name()) {
    branches.insert(name, run.read_word(), 0);
  }
  const ParameterSet* ps = last_set_named(*run.Rules, set_name);
  if (ps == nullptr) {
    run.stop("Error: Unknown ParameterSet " + set_name + "!");
    return;
  }
  auto tree = std::make_unique<TEvalTree>(tree_name, ps, run.Rules, &branches);
  // A tree built earlier in the run is replaced; nothing refers to it any more.
  if (run.Evals != nullptr) run.Evals->clean_up();
  run.Evals = tree.release();
  run.Evals->insert_help_rules(run.tablename);
}

// EVAL name: the rules concluding on the fuzzy variable give its value.
void statement_eval(TScriptRun& run) {
  std::string name = run.read_name();
  run.resolve_name(name);
  const CombinedVariable* cv = run.Rules->get_cv(name);
  if (cv == nullptr) {
    run.stop("Error: unknown FUZZYVAR " + name + "!");
    return;
  }
  const float value = run.Rules->evaluate(cv);
  if (TVariable* var = run.Vars->find(name)) {
    var->set_value(value);
    var->set_comp(1);
  }
}

// The score as printf's "%f" writes it; to_chars with a precision rounds as
// printf does and needs no format parsing.
std::string six_decimals(float v) {
  char text[64];
  const std::to_chars_result r =
      std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 6);
  return std::string(text, r.ptr);
}

// AGGREGATE branch op constraint place. The place names where the constraint
// sits (a word such as diff[1][2] after its indices are resolved, or a
// variable whose formula is such a word).
void statement_aggregate(TScriptRun& run) {
  std::string branch = run.read_name();
  const std::string oper(run.read_word());
  std::string name = run.read_name();
  std::string place = run.read_formula();
  run.resolve_name(branch);
  run.resolve_formula(place);
  if (const char* formula = run.Vars->get_formula(place)) place = formula;
  run.resolve_name(name);
  const CombinedVariable* cv = run.Rules->get_cv(name);
  if (cv == nullptr) {
    run.stop("Error: unknown FUZZYVAR " + name + "!");
    return;
  }
  if (run.Evals == nullptr) {
    run.stop("Error: Your first have to create a EVALTREE before inserting " + name + "!");
    return;
  }
  TEvalTree& tree = *run.Evals;
  if (!tree.insert(cv, branch, place, oper) && !run.uncombined_reported) {
    run.uncombined_reported = true;
    std::cout << "\nWarning: combination rules of EVALTREE " << tree.get_name()
              << " are missing, its results stay uncombined ...\n";
  }
  run.Vars->set_comp(name, 1);
  const float score = tree.get_score();
  if (TVariable* var = run.Vars->find(tree.get_name())) {
    var->set_formula(six_decimals(score));
    var->set_value(score);
    var->set_comp(1);
  }
}

constexpr TStatement kEvaltreeStatements[] = {
    {"EVALTREE", statement_evaltree},
    {"EVAL", statement_eval},
    {"AGGREGATE", statement_aggregate},
};

}  // namespace

std::span<const TStatement> evaltree_statements() {
  return kEvaltreeStatements;
}

bool delete_evaltree(TScriptRun& run) {
  if (run.Evals == nullptr) return false;
  run.Vars->remove(run.Evals->get_name());
  run.Evals->clean_up();
  run.Evals = nullptr;
  return true;
}
