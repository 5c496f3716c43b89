// The evaluation context: making it, and switching its caches.
#include "inter_context.h"

#include "inter_state.h"

TEvalContext::TEvalContext() {
  unshared_fuzzy.caching = false;
}
TEvalContext::~TEvalContext() = default;

void TEvalContext::set_output(std::ostream& out, std::ostream& err) {
  given_out_ = &out;
  given_err_ = &err;
  use_output(out, err);
}

void TEvalContext::mute_output() {
  use_output(dropped_, dropped_);
}

void TEvalContext::restore_output() {
  use_output(*given_out_, *given_err_);
}

void TEvalContext::use_output(std::ostream& out, std::ostream& err) {
  out_ = &out;
  err_ = &err;
  for (FuzzyContext* context : {&fuzzy, &unshared_fuzzy}) {
    context->out = &out;
    context->err = &err;
  }
  trees.out = &out;
  trees.err = &err;
}

void TEvalContext::set_caching(bool enabled) {
  if (enabled == caching_) return;
  caching_ = enabled;
  fuzzy.caching = enabled;
  formulas.caching = enabled;
  tables.caching = enabled;
  trees.caching = enabled;
  // Nothing gathered before is used after the switch.
  fuzzy.known_values.clear();
  formulas.formulas.reset();
  formulas.shapes.reset();
  tables.clear();
  trees.memo = TCombinationMemo();
  trees.help_table.reset();
  trees.help_set_name.clear();
  trees.help_rules.reset();
  rule_evaluations.clear();
  words.reset();
  score_texts = {};
}
