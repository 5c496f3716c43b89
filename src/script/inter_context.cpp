// The evaluation context: making it, and switching its caches.
#include "inter_context.h"

#include "inter_state.h"

TEvalContext::TEvalContext() = default;
TEvalContext::~TEvalContext() = default;

void TEvalContext::set_caching(bool enabled) {
  if (enabled == caching_) return;
  caching_ = enabled;
  fuzzy.caching = enabled;
  formulas.caching = enabled;
  tables.caching = enabled;
  trees.caching = enabled;
  // Nothing gathered before is used after the switch.
  fuzzy.known_values.clear();
  fuzzy.clips = ClipMemory();
  fuzzy.defuzzified = DefuzzMemory();
  formulas.formulas.reset();
  tables.clear();
  trees.memo = TCombinationMemo();
  trees.help_table.reset();
  trees.help_set_name.clear();
  trees.help_rules.reset();
  evaluations = TEvaluationMemo();
  rule_evaluations.clear();
  words.reset();
  fuzzy_statements.reset();
  score_texts = {};
}
