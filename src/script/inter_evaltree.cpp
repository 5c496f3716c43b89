// Evaluation-tree statements of the script language: EVALTREE builds the
// tree, EVAL computes a fuzzy variable from its rules, AGGREGATE records a
// rated constraint in a branch of the tree.
#include <array>
#include <bit>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "evaltree.h"
#include "inter_context.h"
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

// The score as the tree's variable shows it, six decimals. Most scores
// recur, run after run: a text made before is found by the score's bits.
std::string_view score_text(TEvalContext& context, float score) {
  const auto bits = std::bit_cast<std::uint32_t>(score);
  TEvalContext::TScoreText& slot = context.score_texts[(bits * 0x9E3779B1u) >> 24];
  if (!context.caching()) slot.used = false;
  if (!slot.used || slot.bits != bits) {
    slot.bits = bits;
    slot.used = true;
    slot.text = fixed_decimals(score, 6);
  }
  return slot.text;
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
  auto tree = std::make_unique<TEvalTree>(tree_name, ps, run.Rules, &branches, &run.Context.trees);
  // A tree built earlier in the run is replaced; nothing refers to it any more.
  if (run.Evals != nullptr) run.Evals->clean_up();
  run.Evals = std::move(tree);
  // The tree's help rules come from the run's table, which the run has
  // mostly loaded already; without a table named the tree reports it.
  run.Evals->insert_help_rules(run.tablename == "empty" ? nullptr : run.rule_table());
}

// The operands of an EVAL or (`aggregate`) an AGGREGATE, whose place is
// its formula word, read and kept at the keyword.
[[gnu::noinline]] const TStatementOperands& read_tree_operands(TScriptRun& run, TWordMemory* memory,
                                                               bool aggregate) {
  const int words_before = run.number_of_tokens;
  TStatementOperands& read = run.operands_read = {};
  if (aggregate) {
    read.branch = run.read_name_word();
    read.oper = run.read_word();
  }
  read.name = run.read_name_word();
  read.hint = &run.name_hint();
  read.fuzzy_hint = &run.fuzzy_name_hint();
  if (aggregate) read.formula = run.read_formula_word();
  return run.keep_operands(memory, words_before);
}

// The same as kept at the keyword, or read and kept there.
const TStatementOperands& tree_operands(TScriptRun& run, bool aggregate) {
  TWordMemory* memory = run.reader.memory_of_last_word();
  if (const TStatementOperands* kept = run.kept_operands(memory)) return *kept;
  return read_tree_operands(run, memory, aggregate);
}

// The rule set's fuzzy variable the constraint word names. A word without
// an index names the same variable while the list keeps its generation.
CombinedVariable* constraint_variable(TScriptRun& run, const TStatementOperands& operands,
                                      std::string_view name) {
  CVList::Hint& hint = *operands.fuzzy_hint;
  if (!operands.name.may_hold_index && hint.cv != nullptr &&
      hint.generation == run.Rules->get_cv_list()->get_generation()) {
    return hint.cv;
  }
  return run.Rules->get_cv(name, hint);
}

// EVAL name: the rules concluding on the fuzzy variable give its value.
void statement_eval(TScriptRun& run) {
  const TStatementOperands& operands = tree_operands(run, false);
  const std::string_view name = run.resolve_name_view(operands.name, run.rooms[0]);
  CombinedVariable* cv = constraint_variable(run, operands, name);
  if (cv == nullptr) {
    run.stop("Error: unknown FUZZYVAR " + std::string(name) + "!");
    return;
  }
  const float value = run.Rules->evaluate(cv);
  if (TVariable* var = run.find_named(operands.name, name, *operands.hint)) {
    var->set_value(value);
    var->set_comp(1);
  }
}

// AGGREGATE branch op constraint place. The place names where the constraint
// sits: a word such as diff[1][2], indices resolved, or a variable whose
// formula is such a word.
void statement_aggregate(TScriptRun& run) {
  const TStatementOperands& operands = tree_operands(run, true);
  const std::string_view branch = run.resolve_name_view(operands.branch, run.rooms[0]);
  std::string& place_text = run.rooms[1];
  std::string_view place = run.resolve_formula_view(operands.formula, place_text);
  const TIndexedName* indexed = operands.formula.indexed;
  const std::size_t bit = indexed != nullptr && place.data() == indexed->resolved().data()
                              ? indexed->bracket_bit()
                              : TVarlist::bracket_bit(fit(place, script_limits::kNameChars));
  if (const TVariable* var = run.Vars->find_rare(place, bit)) {
    // The variable's formula is copied: the store may move its entries.
    place_text = var->get_formula();
    place = place_text;
  }
  const std::string_view name = run.resolve_name_view(operands.name, run.rooms[2]);
  const CombinedVariable* cv = constraint_variable(run, operands, name);
  if (cv == nullptr) {
    run.stop("Error: unknown FUZZYVAR " + std::string(name) + "!");
    return;
  }
  if (run.Evals == nullptr) {
    run.stop("Error: Your first have to create a EVALTREE before inserting " + std::string(name) +
             "!");
    return;
  }
  TEvalTree& tree = *run.Evals;
  if (!tree.insert(cv, branch, place, operands.oper) && !run.uncombined_reported) {
    run.uncombined_reported = true;
    run.out() << "\nWarning: combination rules of EVALTREE " << tree.get_name()
              << " are missing, its results stay uncombined ...\n";
  }
  if (TVariable* var = run.find_named(operands.name, name, *operands.hint)) var->set_comp(1);
  const float score = tree.get_score();
  if (TVariable* var = run.Vars->find_named(tree.name_view(), tree.variable_hint())) {
    run.Vars->set_formula(*var, score_text(run.Context, score));
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
