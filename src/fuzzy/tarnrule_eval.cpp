// Rule evaluation: computes an output variable of a rule set from its
// fuzzified inputs, evaluating intermediate variables (outputs of other
// blocks used as premises) first and using their terms' match values.
#include "tarnrule.h"

#include <ostream>

#include "tarnrule_context.h"
#include "tarnrule_memo.h"

void RuleSet::report(const char* text) {
  ++reports_;
  report_line(FuzzyContext::errors(context_), text);
}

CombinedVariable* RuleSet::variable_of(const Term& t) const {
  if (context_ != nullptr && !context_->caching) return cv_list_->find_cv(t.cv_name_);
  const std::uint64_t generation = cv_list_->get_generation();
  if (t.found_cv_generation_ != generation) {
    t.found_cv_ = cv_list_->find_cv(t.cv_name_);
    t.found_cv_generation_ = generation;
  }
  return t.found_cv_;
}

int RuleSet::search(const CombinedVariable* cv) const {
  if (cv == nullptr) return -1;
  if (context_ != nullptr && !context_->caching) return search(cv->cv_name_);
  if (cv->found_block_generation_ != block_generation_) {
    cv->found_block_ = search(cv->cv_name_);
    cv->found_block_generation_ = block_generation_;
  }
  return cv->found_block_;
}

int RuleSet::block_of(const Term& t) const {
  if (context_ != nullptr && !context_->caching) return search(t.cv_name_);
  const CombinedVariable* v = variable_of(t);
  return v != nullptr ? search(v) : search(t.cv_name_);
}

CombinedVariable* RuleSet::own_variable(const CombinedVariable& cv) const {
  const bool caching = context_ == nullptr || context_->caching;
  if (caching && cv.owner_ == cv_list_.get() &&
      cv.first_of_name_bindings_ == cv_list_->get_bindings()) {
    // The list holds cv as a variable it may change.
    return const_cast<CombinedVariable*>(&cv);
  }
  CombinedVariable* found = get_cv(cv.get_cv_name_view());
  if (found == &cv) cv.first_of_name_bindings_ = cv_list_->get_bindings();
  return found;
}

float RuleSet::evaluate(const CombinedVariable* cv) {
  if (cv == nullptr) {
    internal_evaluate(nullptr);
    return -1;
  }
  return evaluate_variable(own_variable(*cv));
}

float RuleSet::evaluate(std::string_view name) {
  return evaluate_variable(get_cv(name));
}

float RuleSet::evaluate_variable(CombinedVariable* v) {
  float x = -1.0f;
  if (internal_evaluate(v, &x) >= 1) {
    v->set_crisp_value(x);
    return x;
  }
  return v != nullptr ? v->get_crisp_value() : -1.0f;
}

int RuleSet::internal_evaluate(CombinedVariable* v) {
  return internal_evaluate(v, nullptr);
}

// Rule blocks that depend on each other in a cycle would make the premise
// pass recurse without end; the block about to be entered a second time on
// the current path is reported once and the whole evaluation fails. With
// `defuzzified`, a successful evaluation also defuzzifies v into it.
int RuleSet::internal_evaluate(CombinedVariable* v, float* defuzzified) {
  if (evaluating_.empty()) {
    cycle_found_ = false;
    foreign_write_ = false;
    ++serial_;
  }
  if (v == nullptr) {
    report("NULL pointer cannot be evaluated");
    return -1;
  }
  v->set_crisp_value(-1);
  const int b = search(v);
  if (b < 0) {
    report("cv not in RuleSet");
    return -1;
  }
  for (int open : evaluating_) {
    if (open != b) continue;
    ++reports_;
    report_line(FuzzyContext::errors(context_),
                "Error: rule blocks depend on each other in a cycle through ", v->get_cv_name(),
                "; evaluation stopped!");
    cycle_found_ = true;
    return -1;
  }
  if (memo_ != nullptr) return remembered_evaluation(b, v, defuzzified);
  const int result = evaluate_block(b, v);
  if (result >= 1 && defuzzified != nullptr) *defuzzified = accumulate(v, operator_set_.get());
  return result;
}

int RuleSet::evaluate_block(int b, CombinedVariable* v) {
  const RuleBlock& block = *blocks_[static_cast<std::size_t>(b)].block;
  evaluating_.push_back(b);
  const int premises = premise_pass(block);
  evaluating_.pop_back();
  if (premises < 0) return -1;
  rule_pass(block, v);
  return 1;
}

// An evaluation through the memory. A block settled earlier in the same
// top-level evaluation holds what evaluating it gives. Otherwise the
// memory is asked for an outcome of the same key; a computed evaluation that
// printed nothing is kept there, and settles its block.
int RuleSet::remembered_evaluation(int b, CombinedVariable* v, float* defuzzified) {
  if (settled_.size() < blocks_.size()) settled_.resize(blocks_.size(), 0);
  const std::size_t at = static_cast<std::size_t>(b);
  if (defuzzified == nullptr && !foreign_write_ && settled_[at] == serial_) return 1;
  RuleEvaluationMemo::Probe probe;
  const bool usable = memo_->probe(*this, b, *v, probe);
  if (usable && probe.outcome != nullptr) {
    memo_->apply(probe);
    for (int settled : memo_->blocks_of(probe))
      settled_[static_cast<std::size_t>(settled)] = serial_;
    if (defuzzified != nullptr) *defuzzified = memo_->defuzzified(probe, *v, operator_set_.get());
    return 1;
  }
  const std::uint64_t reports = reports_;
  const int result = evaluate_block(b, v);
  if (result < 1) return result;
  const bool quiet = usable && reports_ == reports && !cycle_found_ && !foreign_write_;
  if (quiet) settled_[at] = serial_;
  float x = -1.0f;
  if (defuzzified != nullptr) {
    x = accumulate(v, operator_set_.get());
    *defuzzified = x;
  }
  if (quiet) memo_->remember(probe, defuzzified != nullptr ? &x : nullptr);
  return result;
}

// Checks that every input variable was fuzzified and evaluates every
// intermediate variable, each time it occurs. A failure inside an
// intermediate variable leaves its terms as they were and does not stop this
// evaluation, unless it was a cycle.
int RuleSet::premise_pass(const RuleBlock& block) {
  const int rules = block.get_number();
  for (int r = 0; r < rules; ++r) {
    const TList* premises = block.find(r)->get_ls_t_list();
    const int count = premises->get_number();
    for (int j = 0; j < count; ++j) {
      const Term& premise = *premises->get(j);
      CombinedVariable* p = variable_of(premise);
      if (p == nullptr) {
        report("NULL pointer cannot be evaluated");
        return -1;
      }
      if (block_of(premise) < 0) {
        if (p->check_match() < 0) {
          report("not instanciated cv");
          return -1;
        }
        continue;
      }
      internal_evaluate(p);
      if (cycle_found_) return -1;
    }
  }
  return 1;
}

// The strength of a rule's premises: the aggregate of the importance-joined
// match values for several premises, the plain match value for one. A rule
// naming a term its variable lacks (or without premises) does not fire and
// is reported.
bool RuleSet::rule_strength(const Rule& rule, float* strength) {
  const TList* premises = rule.get_ls_t_list();
  const int count = premises->get_number();
  if (count == 0) return false;
  values_.remove_all();
  for (int j = 0; j < count; ++j) {
    const Term& premise = *premises->get(j);
    const CombinedVariable* p = variable_of(premise);
    const int k = p != nullptr ? p->get_fs_index(premise.lt_) : -1;
    if (k < 0) {
      ++reports_;
      report_line(FuzzyContext::errors(context_), "Warning: ", premises->find_cv_name(j),
                  " has no linguistic term ", premises->find_lt(j), "; rule skipped!");
      return false;
    }
    const float mv = p->find(k)->get_match_value();
    if (count == 1) {
      *strength = mv;
      return true;
    }
    values_.add(join_mv_with_importance(mv, p->get_importance(), operator_set_.get(),
                                        FuzzyContext::errors(context_)));
  }
  *strength = aggregate(&values_, rule.get_aggregate_operator_op(), operator_set_.get(),
                        FuzzyContext::errors(context_));
  return true;
}

// Resets the output's terms to 0, then lets every firing rule shape its
// conclusion. When the inference operator only changes match values, each
// term's clipped function, which nothing reads during the pass, is built
// once at its end.
void RuleSet::rule_pass(const RuleBlock& block, CombinedVariable* v) {
  const OperatorSet* ops = operator_set_.get();
  float probe = 0.0f;
  const bool deferred = inferred_match_value(0, 0, ops, &probe);
  if (!deferred) {
    v->set_all_mvs(0);
  } else {
    shaped_.clear();
    for (int k = 0; k < v->get_number(); ++k) {
      PlimFuzzySet* set = v->term_for_change(k);
      set->set_match_value(0);
      shaped_.push_back(set);
    }
  }
  const int rules = block.get_number();
  for (int r = 0; r < rules; ++r) {
    const Rule& rule = *block.find(r);
    float a = 0.0f;
    if (!rule_strength(rule, &a)) continue;
    CombinedVariable* out = variable_of(*rule.get_rs_term());
    if (out != v) foreign_write_ = true;
    const int k = out != nullptr ? out->get_fs_index(rule.get_rs_term()->lt_) : -1;
    if (k < 0) {
      ++reports_;
      report_line(FuzzyContext::errors(context_), "Warning: ", rule.get_right_side_cv_name(),
                  " has no linguistic term ", rule.get_right_side_lt(), "; rule skipped!");
      continue;
    }
    PlimFuzzySet* set = out->term_for_change(k);
    const float c = certify(a, rule.get_certainty(), ops, FuzzyContext::errors(context_));
    if (!deferred) {
      inference(c, set, ops, context_);
      continue;
    }
    float mv = 0.0f;
    inferred_match_value(c, set->get_match_value(), ops, &mv);
    set->set_match_value(mv);
    if (out != v) shaped_.push_back(set);
  }
  if (!deferred) return;
  for (PlimFuzzySet* set : shaped_) set->build_imsf();
}
