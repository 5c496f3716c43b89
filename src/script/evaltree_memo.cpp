// Interned contents of fuzzy variables and the remembered outcomes of
// combining them, with the rule-set state those outcomes depend on; and the
// remembered outcomes of evaluating variables from their rules.
#include "evaltree_memo.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Floats are compared and hashed by their bits: -0 and 0 may lead to
// different results, and a NaN matches only a NaN of the same bits.
std::uint32_t bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}

bool same(float a, float b) {
  return bits(a) == bits(b);
}

// A point is its two floats, so equal bytes are equal bits.
bool same_points(const PList& a, const PList& b) {
  const std::vector<Point>& p = a.points();
  const std::vector<Point>& q = b.points();
  return p.size() == q.size() && same_bytes(p.data(), q.data(), p.size() * sizeof(Point));
}

bool same_parameters(const ParameterSetBase& a, const ParameterSetBase& b) {
  return same(a.get_range_lower_end(), b.get_range_lower_end()) &&
         same(a.get_range_upper_end(), b.get_range_upper_end()) &&
         same(a.get_median(), b.get_median()) && same(a.get_distribution(), b.get_distribution()) &&
         same(a.get_dilatation(), b.get_dilatation()) &&
         same(a.get_importance(), b.get_importance());
}

// Everything of a term but its match value and clipped function.
bool same_term_shape(const PlimFuzzySet& a, const PlimFuzzySet& b) {
  return same_text(a.get_linguistic_term_view(), b.get_linguistic_term_view()) &&
         same(a.get_lower_support_end(), b.get_lower_support_end()) &&
         same(a.get_upper_support_end(), b.get_upper_support_end()) &&
         a.get_fs_colour() == b.get_fs_colour() &&
         std::strcmp(a.get_function(), b.get_function()) == 0 &&
         same_points(*a.get_msf(), *b.get_msf());
}

bool same_terms_shape(const PlimList& a, const PlimList& b) {
  if (a.get_number() != b.get_number()) return false;
  for (int k = 0; k < a.get_number(); ++k) {
    if (!same_term_shape(*a.find(k), *b.find(k))) return false;
  }
  return true;
}

bool same_content(const CombinedVariable& a, const CombinedVariable& b) {
  if (!same_parameters(a, b) || !same(a.get_crisp_value(), b.get_crisp_value())) return false;
  if (a.get_number() != b.get_number()) return false;
  for (int k = 0; k < a.get_number(); ++k) {
    if (!a.find(k)->same_bits_as(*b.find(k))) return false;
  }
  return true;
}

// A hash over the values that differ between contents of one variable: each
// value's bits are mixed in whole by a multiplication and a shift.
class THash {
 public:
  void add(float v) {
    value = (value ^ bits(v)) * 0x9E3779B97F4A7C15ull;
    value ^= value >> 29;
  }
  std::uint64_t value = 14695981039346656037ull;
};

// The clipped functions mostly follow from the terms and their match
// values, so they are left out: contents that differ in them alone share a
// hash and are told apart by comparing.
std::uint64_t hash_of(const CombinedVariable& cv) {
  THash h;
  h.add(cv.get_crisp_value());
  h.add(cv.get_importance());
  for (int k = 0; k < cv.get_number(); ++k) h.add(cv.find(k)->get_match_value());
  return h.value;
}

bool same_operators(const OperatorSet& a, const OperatorSet& b) {
  return a.get_importance_operator() == b.get_importance_operator() &&
         a.get_and_operator() == b.get_and_operator() &&
         a.get_or_operator() == b.get_or_operator() &&
         a.get_certainty_operator() == b.get_certainty_operator() &&
         a.get_inference_operator() == b.get_inference_operator() &&
         a.get_accumulate_operator() == b.get_accumulate_operator() &&
         a.get_defuzzy_operator() == b.get_defuzzy_operator() &&
         same(a.get_gamma(), b.get_gamma()) && a.get_accuracy() == b.get_accuracy();
}

// Operators that never print: the t-norms and t-conorms, and no operator.
bool quiet(fuzzy_operator op) {
  return op == minimum || op == maximum || op == product || op == sum || op == no_fop;
}

bool quiet_operators(const OperatorSet& ops) {
  return quiet(ops.get_importance_operator()) && quiet(ops.get_and_operator()) &&
         quiet(ops.get_or_operator()) && quiet(ops.get_certainty_operator()) &&
         ops.get_inference_operator() != no_fop && quiet(ops.get_inference_operator()) &&
         ops.get_defuzzy_operator() == cog;
}

// Rules are compared as Rule::compare does, certainties also by their bits.
// Equal stamps vouch for equal rules: blocks copied from one another, as the
// evaluation tree's generated blocks are in every run, need no comparing.
bool same_rules(const RuleBlock& a, const RuleBlock& b) {
  if (a.get_stamp() == b.get_stamp()) return true;
  if (a.get_number() != b.get_number()) return false;
  for (int r = 0; r < a.get_number(); ++r) {
    if (Rule::compare(a.find(r), b.find(r)) != 1) return false;
    if (!same(a.get_certainty(r), b.get_certainty(r))) return false;
  }
  return true;
}

// Whether the block the rule set has for cv equals `kept`, or neither exists.
bool same_block(const std::optional<RuleBlock>& kept, const RuleSet& rs,
                const CombinedVariable& cv) {
  const int b = rs.search(&cv);
  if (b < 0 || !kept) return b < 0 && !kept;
  return same_rules(*kept, *rs.find(b));
}

// The combination variables in the order the environment keeps them.
std::array<const CombinedVariable*, 4> variables_of(const TCombinationVariables& vars) {
  return {vars.in1, vars.in2, vars.out[0], vars.out[1]};
}

}  // namespace

void TVariableShape::take(const CombinedVariable& cv) {
  parameters_.copy(&cv);
  terms_ = std::make_unique<CombinedVariable>();
  terms_->copy_PlimList(&cv);
  equal_ = {};
}

bool TVariableShape::same_as(const CombinedVariable& cv) const {
  const TStamps stamps{cv.get_parameter_stamp(), cv.get_shape_stamp()};
  for (const TStamps& e : equal_) {
    if (e.parameters == stamps.parameters && e.shape == stamps.shape) return true;
  }
  if (terms_ == nullptr || !same_parameters(parameters_, cv) || !same_terms_shape(*terms_, cv)) {
    return false;
  }
  equal_[next_equal_] = stamps;
  next_equal_ = (next_equal_ + 1) % equal_.size();
  return true;
}

// Notes the terms of every rule of the output's block, when each rule reads
// only the two inputs, on which no block concludes, and concludes on the
// output itself; false otherwise. An output without a block is never
// evaluated.
bool TCombinationMemo::note_rules(const TCombinationVariables& vars, int output,
                                  std::vector<TRuleTerms>& terms) {
  const RuleSet& rs = *vars.rules;
  const int b = rs.search(vars.out[output]);
  if (b < 0) return true;
  for (int r = 0; r < rs.find(b)->get_number(); ++r) {
    if (rs.get_right_side_cv(b, r) != vars.out[output]) return false;
    TRuleTerms& rule = terms.emplace_back();
    rule.conclusion = rs.get_right_side_lt(b, r);
    for (int j = 0; j < rs.get_operand_number(b, r); ++j) {
      const CombinedVariable* p = rs.get_left_side_cv(b, r, j);
      if (p != vars.in1 && p != vars.in2) return false;
      rule.premises.emplace_back(p == vars.in1 ? 0 : 1, rs.get_left_side_lt(b, r, j));
    }
  }
  return !inputs_concluded(vars);
}

bool TCombinationMemo::inputs_concluded(const TCombinationVariables& vars) {
  const RuleSet& rs = *vars.rules;
  return rs.search(vars.in1) >= 0 || rs.search(vars.in2) >= 0;
}

int TCombinationMemo::intern(const CombinedVariable& cv) {
  if (const int known = find_stamped(cv); known >= 0) return known;
  const std::uint64_t h = hash_of(cv);
  const int newest = newest_by_hash_.find(h);
  int found = -1;
  for (int id = newest; id >= 0 && found < 0; id = older_same_hash_[static_cast<std::size_t>(id)]) {
    if (same_content(content(id), cv)) found = id;
  }
  if (found < 0) found = add_content(cv, h, newest);
  note_stamp(cv, found);
  return found;
}

int TCombinationMemo::store(const CombinedVariable& cv) {
  const std::uint64_t h = hash_of(cv);
  return add_content(cv, h, newest_by_hash_.find(h));
}

int TCombinationMemo::find_stamped(const CombinedVariable& cv) const {
  const int id = by_stamp_.find(cv.get_stamp());
  if (id < 0) return -1;
  const CombinedVariable& known = content(id);
  return same(known.get_crisp_value(), cv.get_crisp_value()) && same_parameters(known, cv) ? id
                                                                                           : -1;
}

// Every fuzzification stamps its variable anew, so the index may fill with
// stamps that never recur; it starts over when it holds too many.
void TCombinationMemo::note_stamp(const CombinedVariable& cv, int id) {
  constexpr std::size_t kMaxStamps = 1 << 16;
  if (by_stamp_.size() >= kMaxStamps) by_stamp_.clear();
  by_stamp_.put(cv.get_stamp(), id);
}

int TCombinationMemo::add_content(const CombinedVariable& cv, std::uint64_t hash, int newest) {
  auto copy = std::make_shared<CombinedVariable>();
  copy->copy_PSB(&cv);
  copy->copy_PlimList(&cv);
  copy->set_crisp_value(cv.get_crisp_value());
  const int id = static_cast<int>(contents_.size());
  contents_.push_back(std::move(copy));
  older_same_hash_.push_back(newest);
  newest_by_hash_.put(hash, id);
  return id;
}

void TCombinationMemo::clear() {
  contents_.clear();
  newest_by_hash_.clear();
  older_same_hash_.clear();
  by_stamp_.clear();
  outcomes_.clear();
  ++epoch_;
}

// Whether the rule set and its variables are the very objects the
// remembered outcomes were computed with, unchanged since.
bool TCombinationMemo::same_environment(const TCombinationVariables& vars) const {
  const TEnvironment& e = *environment_;
  if (e.rules != vars.rules || e.revision != vars.rules->get_revision() ||
      e.variables != vars.rules->get_cv_list()->get_generation()) {
    return false;
  }
  return e.vars == variables_of(vars) && same_settings(vars);
}

// The operators and the outputs' parameters and terms, which may change
// without a new revision of the rules. The kept operators carry the
// revision of the set they were copied from: while the set keeps it, they
// are equal without comparing.
bool TCombinationMemo::same_settings(const TCombinationVariables& vars) const {
  const TEnvironment& e = *environment_;
  const OperatorSet& operators = *vars.rules->get_operator_set();
  if (e.operators.get_revision() != operators.get_revision() &&
      !same_operators(e.operators, operators)) {
    return false;
  }
  return e.shapes[0].same_as(*vars.out[0]) && e.shapes[1].same_as(*vars.out[1]);
}

// Whether another rule set (or this one, rebuilt) holds what the outcomes
// depend on: the settings, the outputs' blocks rule for rule, and no block on
// either input. The combination variables are found by their fixed names,
// and rules name variables, so equal blocks read and write the same
// variables.
bool TCombinationMemo::same_environment_content(const TCombinationVariables& vars) const {
  const TEnvironment& e = *environment_;
  if (!same_settings(vars) || e.inputs_concluded != inputs_concluded(vars)) return false;
  for (int o = 0; o < 2; ++o) {
    if (!same_block(e.blocks[o], *vars.rules, *vars.out[o])) return false;
  }
  return true;
}

// Takes on the identity of an environment of equal content (or, new, of
// the one it is made from), keeping the outcomes.
void TCombinationMemo::follow_environment(const TCombinationVariables& vars) {
  TEnvironment& e = *environment_;
  e.rules = vars.rules;
  e.revision = vars.rules->get_revision();
  e.variables = vars.rules->get_cv_list()->get_generation();
  e.vars = variables_of(vars);
}

void TCombinationMemo::take_environment(const TCombinationVariables& vars) {
  outcomes_.clear();
  ++epoch_;
  environment_ = std::make_unique<TEnvironment>();
  follow_environment(vars);
  TEnvironment& e = *environment_;
  e.operators = *vars.rules->get_operator_set();
  for (int o = 0; o < 2; ++o) e.shapes[o].take(*vars.out[o]);
  for (int o = 0; o < 2; ++o) {
    const int b = vars.rules->search(vars.out[o]);
    if (b >= 0) e.blocks[o].emplace().copy(vars.rules->find(b));
  }
  e.inputs_concluded = inputs_concluded(vars);
  e.usable = quiet_operators(e.operators) && note_rules(vars, 0, e.rules_of[0]) &&
             note_rules(vars, 1, e.rules_of[1]);
}

bool TCombinationMemo::usable(const TCombinationVariables& vars) {
  if (!environment_) {
    take_environment(vars);
  } else if (!same_environment(vars)) {
    same_environment_content(vars) ? follow_environment(vars) : take_environment(vars);
  }
  return environment_->usable;
}

bool TCombinationMemo::runs_quietly(const TCombinationVariables& vars, int output) const {
  if (vars.in1->check_match() < 0 || vars.in2->check_match() < 0) return false;
  if (vars.rules->search(vars.out[output]) < 0) return false;
  const CombinedVariable* inputs[2] = {vars.in1, vars.in2};
  for (const TRuleTerms& rule : environment_->rules_of[output]) {
    if (vars.out[output]->get_fs_index(rule.conclusion) < 0) return false;
    for (const auto& [input, term] : rule.premises) {
      if (inputs[input]->get_fs_index(term) < 0) return false;
    }
  }
  return true;
}

void TCombinationMemo::remember(int output, int first, int second, int outcome) {
  outcomes_.put(outcome_key(output, first, second), outcome);
}
