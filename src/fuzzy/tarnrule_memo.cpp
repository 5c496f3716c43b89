// The memory of rule evaluations: plans of the blocks an evaluation visits,
// interned contents, keys and the outcomes kept for them.
#include "tarnrule_memo.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

// Bounds: outcomes kept (all are forgotten when there are more), interned
// contents (all ids start afresh), and stamps remembered per interner.
constexpr std::size_t kMaxOutcomes = 1 << 14;
constexpr std::size_t kMaxIds = 1 << 16;
constexpr std::size_t kMaxStamps = 1 << 16;
// Plans kept per block index (see plan_of).
constexpr std::size_t kPlansPerBlock = 4;
// Key words before the nodes' words: the plan's signature and the
// operators.
constexpr std::size_t kKeyHead = 2;

std::uint32_t bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}

void put_word(std::string& out, std::uint32_t word) {
  char bytes[sizeof word];
  std::memcpy(bytes, &word, sizeof word);
  out.append(bytes, sizeof word);
}

// A text with its length in front, so that no two sequences of texts give
// the same bytes.
void put_text(std::string& out, std::string_view text) {
  put_word(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

std::uint64_t hash_of(const std::uint32_t* key, std::size_t size) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ key[i]) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

// Operators whose computations never print: the compensatory ones print
// for a gamma outside [0,1], and only centre of gravity (or no
// defuzzification at all) finds its value without a message.
bool quiet(const OperatorSet& ops) {
  const float gamma = ops.get_gamma();
  const defuzzification_operator d = ops.get_defuzzy_operator();
  return !(gamma < 0 || gamma > 1) && (d == cog || d == no_dfop);
}

}  // namespace

// The blocks and variables one evaluation visits, as found in one state of
// a rule set: the inputs and the blocks in the order the evaluation first
// reaches them, each block after the blocks it depends on, the evaluated
// one last.
struct RuleEvaluationMemo::Plan {
  struct Node {
    CombinedVariable* cv = nullptr;
    std::string name;  // cv's, to find the variable in another rule set
    int block = -1;    // -1: an input variable
    std::uint64_t block_stamp = 0;
    // A block variable's shape id, as last found, and its shape stamp then
    // (0: none): while the stamp stays, so does the id.
    std::uint32_t shape = 0;
    std::uint64_t shape_stamp = 0;
    // An input's last few term stamps and their ids (inputs mostly come
    // back with values fuzzified before, which bring their stamps back); a
    // block variable's, and their shape ids (the stamps of outcomes written
    // into it come back with the outcomes).
    static constexpr std::size_t kRecent = 4;
    std::array<std::uint64_t, kRecent> recent_stamps{};
    std::array<std::uint32_t, kRecent> recent_ids{};
    std::size_t next_recent = 0;
    std::uint32_t contents_id(RuleEvaluationMemo& memo) {
      const std::uint64_t stamp = cv->get_stamp();
      for (std::size_t i = 0; i < kRecent; ++i) {
        if (recent_stamps[i] == stamp) return recent_ids[i];
      }
      const std::uint32_t id = block < 0 ? memo.input_id(*cv) : memo.shape_id(*cv);
      recent_stamps[next_recent] = stamp;
      recent_ids[next_recent] = id;
      next_recent = (next_recent + 1) % kRecent;
      return id;
    }
  };
  const RuleSet* rules = nullptr;
  const CombinedVariable* root = nullptr;  // the variable evaluated
  std::uint64_t revision = 0;
  std::uint64_t generation = 0;
  std::uint64_t layout = 0;
  std::uint64_t bindings = 0;
  int blocks = 0;
  // The id of the operators last used, and their revision then (0: none).
  std::uint64_t operators_revision = 0;
  std::uint32_t operators = 0;
  std::uint64_t epoch = 0;
  bool usable = false;
  std::uint32_t signature = 0;
  std::vector<Node> nodes;
  int block_nodes = 0;
  std::vector<int> block_indices;  // of the block nodes, in order
};

struct RuleEvaluationMemo::Outcome {
  std::vector<std::uint32_t> key;
  // What each block variable of the plan holds, in the order of the nodes.
  std::vector<std::shared_ptr<const CombinedVariable>> results;
  bool has_defuzzified = false;
  float defuzzified = -1.0f;
  int earlier_of_hash = -1;  // the outcome before it of the same key hash
};

void TIdIndex::put(std::uint64_t key, int id) {
  if ((used_ + 1) * 2 > slots_.size()) grow();
  for (std::size_t i = slot_of(key);; i = (i + 1) & (slots_.size() - 1)) {
    TSlot& slot = slots_[i];
    if (slot.id >= 0 && slot.key != key) continue;
    if (slot.id < 0) ++used_;
    slot = {key, id};
    return;
  }
}

// Doubles the table (at most half full, so probes stay short) and stores
// every entry again.
void TIdIndex::grow() {
  std::vector<TSlot> old(std::max<std::size_t>(64, slots_.size() * 2));
  old.swap(slots_);
  used_ = 0;
  for (const TSlot& slot : old) {
    if (slot.id >= 0) put(slot.key, slot.id);
  }
}

// The table keeps its room: an index that fills up once mostly fills up
// again.
void TIdIndex::clear() {
  if (used_ == 0) return;
  std::fill(slots_.begin(), slots_.end(), TSlot());
  used_ = 0;
}

RuleEvaluationMemo::RuleEvaluationMemo() = default;
RuleEvaluationMemo::~RuleEvaluationMemo() = default;

std::uint32_t RuleEvaluationMemo::Interner::intern(const std::string& content) {
  const auto [it, added] = ids.try_emplace(content, static_cast<std::uint32_t>(ids.size()));
  return it->second;
}

void RuleEvaluationMemo::clear() {
  plans_.clear();
  blocks_ = Interner();
  shapes_ = Interner();
  inputs_ = Interner();
  signatures_ = Interner();
  operators_ = Interner();
  forget_outcomes();
  ++epoch_;
  hits_ = 0;
}

void RuleEvaluationMemo::forget_outcomes() {
  outcomes_.clear();
  outcome_ids_.clear();
}

void RuleEvaluationMemo::bound_ids() {
  Interner* const interners[] = {&blocks_, &shapes_, &inputs_, &signatures_, &operators_};
  std::size_t ids = 0;
  for (Interner* interner : interners) {
    if (interner->by_stamp.size() > kMaxStamps) interner->by_stamp.clear();
    ids += interner->ids.size();
  }
  if (ids <= kMaxIds) return;
  for (Interner* interner : interners) *interner = Interner();
  forget_outcomes();
  ++epoch_;
}

// A block's rules, compared by value: for each rule its certainty (bits),
// aggregate operator, conclusion and premises (names and terms).
std::uint32_t RuleEvaluationMemo::block_id(const RuleBlock& block) {
  return blocks_.id_by_stamp(block.get_stamp(), scratch_, [&block](std::string& s) {
    for (int r = 0; r < block.get_number(); ++r) {
      const Rule& rule = *block.find(r);
      put_word(s, bits(rule.get_certainty()));
      put_word(s, static_cast<std::uint32_t>(rule.get_aggregate_operator_op()));
      put_text(s, rule.get_right_side_cv_name());
      put_text(s, rule.get_right_side_lt());
      const TList& premises = *rule.get_ls_t_list();
      put_word(s, static_cast<std::uint32_t>(premises.get_number()));
      for (int j = 0; j < premises.get_number(); ++j) {
        put_text(s, premises.find_cv_name(j));
        put_text(s, premises.find_lt(j));
      }
    }
  });
}

// Everything of the terms but their match values and clipped functions:
// what a block variable keeps through an evaluation, and all that an
// outcome written into it leaves as it was.
std::uint32_t RuleEvaluationMemo::shape_id(const CombinedVariable& cv) {
  return shapes_.id_by_stamp(cv.get_stamp(), scratch_, [&cv](std::string& s) {
    put_word(s, static_cast<std::uint32_t>(cv.get_number()));
    for (int k = 0; k < cv.get_number(); ++k) {
      const PlimFuzzySet& term = *cv.find(k);
      put_text(s, term.get_linguistic_term_view());
      put_word(s, bits(term.get_lower_support_end()));
      put_word(s, bits(term.get_upper_support_end()));
      put_word(s, static_cast<std::uint32_t>(term.get_fs_colour()));
      put_text(s, term.get_function());
      const std::vector<Point>& points = term.get_msf()->points();
      put_word(s, static_cast<std::uint32_t>(points.size()));
      s.append(reinterpret_cast<const char*>(points.data()), points.size() * sizeof(Point));
    }
  });
}

// The operators an evaluation applies, field by field.
std::uint32_t RuleEvaluationMemo::operators_id(const OperatorSet& ops) {
  return operators_.id_by_stamp(ops.get_revision(), scratch_, [&ops](std::string& s) {
    put_word(s, static_cast<std::uint32_t>(ops.get_importance_operator()));
    put_word(s, static_cast<std::uint32_t>(ops.get_and_operator()));
    put_word(s, static_cast<std::uint32_t>(ops.get_or_operator()));
    put_word(s, static_cast<std::uint32_t>(ops.get_certainty_operator()));
    put_word(s, static_cast<std::uint32_t>(ops.get_inference_operator()));
    put_word(s, static_cast<std::uint32_t>(ops.get_defuzzy_operator()));
    put_word(s, bits(ops.get_gamma()));
  });
}

// What an evaluation reads of an input variable's terms: their names and
// match values.
std::uint32_t RuleEvaluationMemo::input_id(const CombinedVariable& cv) {
  return inputs_.id_by_stamp(cv.get_stamp(), scratch_, [&cv](std::string& s) {
    put_word(s, static_cast<std::uint32_t>(cv.get_number()));
    for (int k = 0; k < cv.get_number(); ++k) {
      const PlimFuzzySet& term = *cv.find(k);
      put_text(s, term.get_linguistic_term_view());
      put_word(s, bits(term.get_match_value()));
    }
  });
}

// The plans of a block index are kept most recently used first. A block
// mostly passes through the same few states in every run (rules added to it
// in steps), so a plan for each state is kept, up to a few.
RuleEvaluationMemo::Plan* RuleEvaluationMemo::plan_of(const RuleSet& rules, int b,
                                                      const CombinedVariable& v) {
  const std::size_t at = static_cast<std::size_t>(b);
  if (plans_.size() <= at) plans_.resize(at + 1);
  std::vector<std::unique_ptr<Plan>>& kept = plans_[at];
  // Mostly the block is evaluated again as the last time, in the rule set
  // of the last time, which has not changed since.
  if (!kept.empty() && kept.front()->root == &v && unchanged(*kept.front(), rules)) {
    return kept.front().get();
  }
  const auto first = [&kept](std::size_t i) {
    std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(i),
                kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return kept.front().get();
  };
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (kept[i]->root == &v && plan_holds(*kept[i], rules)) return first(i);
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (carry_plan(*kept[i], rules, b, v)) return first(i);
  }
  if (kept.size() < kPlansPerBlock) kept.push_back(std::make_unique<Plan>());
  build_plan(*kept.back(), rules, b, v);
  return first(kept.size() - 1);
}

// Whether the plan still describes the evaluation. Nothing changed in the
// rule set (equal counters; they are never reused, also across rule sets),
// or only in ways that leave the plan's blocks and variables as they were:
// no block removed or moved (layout), no name bound to another variable
// (bindings), the plan's blocks with their rules (stamps), and the inputs
// still without rules (only appended blocks can have given them some).
bool RuleEvaluationMemo::unchanged(const Plan& plan, const RuleSet& rules) const {
  return plan.rules == &rules && plan.epoch == epoch_ && plan.revision == rules.get_revision() &&
         plan.generation == rules.get_cv_list()->get_generation();
}

bool RuleEvaluationMemo::plan_holds(Plan& plan, const RuleSet& rules) const {
  if (plan.rules != &rules || plan.epoch != epoch_) return false;
  const std::uint64_t generation = rules.get_cv_list()->get_generation();
  if (plan.revision == rules.get_revision() && plan.generation == generation) return true;
  // An unusable plan may have met a variable that was missing then.
  if (!plan.usable) return false;
  if (plan.layout != rules.get_layout() || plan.bindings != rules.get_cv_list()->get_bindings()) {
    return false;
  }
  for (const Plan::Node& node : plan.nodes) {
    if (node.block >= 0 && rules.find(node.block)->get_stamp() != node.block_stamp) return false;
  }
  if (plan.blocks != rules.get_number()) {
    for (const Plan::Node& node : plan.nodes) {
      if (node.block < 0 && rules.search(node.cv) >= 0) return false;
    }
  }
  plan.revision = rules.get_revision();
  plan.generation = generation;
  plan.blocks = rules.get_number();
  return true;
}

// Notes on a plan the rule set and variable it describes now, with the
// rule set's state that plan_holds compares.
void RuleEvaluationMemo::note_rule_set(Plan& plan, const RuleSet& rules,
                                       const CombinedVariable& v) {
  plan.rules = &rules;
  plan.root = &v;
  plan.revision = rules.get_revision();
  plan.generation = rules.get_cv_list()->get_generation();
  plan.layout = rules.get_layout();
  plan.bindings = rules.get_cv_list()->get_bindings();
  plan.blocks = rules.get_number();
}

// Whether a plan made for another state of the blocks, mostly of another
// rule set (each script run builds its rules anew), describes the evaluation
// of block b now; it then takes the rule set's variables. The walk that made
// it follows names only: it goes the same way when every block it visited
// holds the same rules (stamps) at the same index and every variable it met
// is there, found at the same block (or none) by the search.
bool RuleEvaluationMemo::carry_plan(Plan& plan, const RuleSet& rules, int b,
                                    const CombinedVariable& v) const {
  if (!plan.usable || plan.epoch != epoch_ || plan.nodes.empty()) return false;
  const Plan::Node& top = plan.nodes.back();
  if (top.block != b || top.name != v.get_cv_name_view()) return false;
  for (Plan::Node& node : plan.nodes) {
    CombinedVariable* cv = rules.get_cv(node.name);
    if (cv == nullptr || rules.search(cv) != node.block) return false;
    if (node.block >= 0 && rules.find(node.block)->get_stamp() != node.block_stamp) return false;
    node.cv = cv;
  }
  if (top.cv != &v) return false;
  note_rule_set(plan, rules, v);
  return true;
}

// Walks the blocks as the evaluation's premise passes do. The plan is
// unusable when the walk meets what makes an evaluation print or reach
// beyond its variables: a missing variable, a cycle, a rule concluding on
// another variable than its block's.
void RuleEvaluationMemo::build_plan(Plan& plan, const RuleSet& rules, int b,
                                    const CombinedVariable& v) {
  plan = Plan();
  note_rule_set(plan, rules, v);
  plan.epoch = epoch_;
  CombinedVariable* const root = rules.get_cv(v.get_cv_name_view());
  if (root != &v) return;
  // Per block: 0 not met, 1 on the path, 2 done.
  std::vector<char> state(static_cast<std::size_t>(rules.get_number()), 0);
  std::string signature;
  bool usable = true;
  struct Frame {
    int block;
    CombinedVariable* cv;
    int rule;
    int premise;
  };
  std::vector<Frame> path;
  path.push_back({b, root, 0, 0});
  state[static_cast<std::size_t>(b)] = 1;
  while (usable && !path.empty()) {
    Frame& f = path.back();
    const RuleBlock& block = *rules.find(f.block);
    if (f.rule >= block.get_number()) {
      state[static_cast<std::size_t>(f.block)] = 2;
      Plan::Node node;
      node.cv = f.cv;
      node.name = f.cv->get_cv_name_view();
      node.block = f.block;
      node.block_stamp = block.get_stamp();
      const std::uint32_t id = block_id(block);
      signature.push_back('B');
      put_text(signature, f.cv->get_cv_name_view());
      put_word(signature, id);
      plan.nodes.push_back(node);
      plan.block_indices.push_back(f.block);
      ++plan.block_nodes;
      path.pop_back();
      continue;
    }
    const Rule& rule = *block.find(f.rule);
    if (f.premise == 0 && rules.variable_of(*rule.get_rs_term()) != f.cv) {
      usable = false;
      break;
    }
    const TList& premises = *rule.get_ls_t_list();
    if (f.premise >= premises.get_number()) {
      ++f.rule;
      f.premise = 0;
      continue;
    }
    CombinedVariable* p = rules.variable_of(*premises.get(f.premise++));
    if (p == nullptr) {
      usable = false;
      break;
    }
    const int pb = rules.search(p);
    if (pb < 0) {
      bool known = false;
      for (const Plan::Node& node : plan.nodes) known = known || node.cv == p;
      if (known) continue;
      Plan::Node node;
      node.cv = p;
      node.name = p->get_cv_name_view();
      signature.push_back('I');
      put_text(signature, p->get_cv_name_view());
      plan.nodes.push_back(node);
      continue;
    }
    const char s = state[static_cast<std::size_t>(pb)];
    if (s == 1) {
      usable = false;
    } else if (s == 0) {
      state[static_cast<std::size_t>(pb)] = 1;
      path.push_back({pb, p, 0, 0});
    }
  }
  if (!usable || kKeyHead + 2 * plan.nodes.size() > kMaxKeyWords) {
    plan.nodes.clear();
    plan.block_indices.clear();
    plan.block_nodes = 0;
    return;
  }
  plan.signature = signatures_.intern(signature);
  plan.usable = true;
}

bool RuleEvaluationMemo::probe(const RuleSet& rules, int b, const CombinedVariable& v,
                               Probe& probe) {
  probe.outcome = nullptr;
  const OperatorSet& ops = *rules.get_operator_set();
  if (!quiet(ops)) return false;
  Plan* plan = plan_of(rules, b, v);
  if (!plan->usable) return false;
  probe.plan = plan;
  probe.epoch = epoch_;
  std::uint32_t* key = probe.key.data();
  std::size_t n = 0;
  key[n++] = plan->signature;
  if (plan->operators_revision != ops.get_revision()) {
    plan->operators = operators_id(ops);
    plan->operators_revision = ops.get_revision();
  }
  key[n++] = plan->operators;
  for (Plan::Node& node : plan->nodes) {
    key[n++] = bits(node.cv->get_importance());
    if (node.block < 0) {
      key[n++] = node.contents_id(*this);
      continue;
    }
    if (node.shape_stamp == 0 || node.cv->get_shape_stamp() != node.shape_stamp) {
      node.shape = node.contents_id(*this);
      node.shape_stamp = node.cv->get_shape_stamp();
    }
    key[n++] = node.shape;
  }
  probe.key_size = n;
  probe.hash = hash_of(key, n);
  for (int id = outcome_ids_.find(probe.hash); id >= 0;) {
    Outcome& outcome = *outcomes_[static_cast<std::size_t>(id)];
    if (outcome.key.size() == n && same_bytes(outcome.key.data(), key, n * sizeof *key)) {
      probe.outcome = &outcome;
      ++hits_;
      return true;
    }
    id = outcome.earlier_of_hash;
  }
  return true;
}

void RuleEvaluationMemo::apply(const Probe& probe) {
  std::size_t r = 0;
  for (const Plan::Node& node : probe.plan->nodes) {
    if (node.block < 0) continue;
    const std::shared_ptr<const CombinedVariable>& result = probe.outcome->results[r++];
    node.cv->set_crisp_value(-1);
    if (node.cv->get_stamp() != result->get_stamp()) node.cv->take_terms_later(result);
  }
}

const std::vector<int>& RuleEvaluationMemo::blocks_of(const Probe& probe) const {
  return probe.plan->block_indices;
}

float RuleEvaluationMemo::defuzzified(const Probe& probe, CombinedVariable& v,
                                      const OperatorSet* ops) {
  Outcome& outcome = *probe.outcome;
  if (!outcome.has_defuzzified) {
    outcome.defuzzified = accumulate(&v, ops);
    outcome.has_defuzzified = true;
  }
  return outcome.defuzzified;
}

void RuleEvaluationMemo::remember(const Probe& probe, const float* defuzzified) {
  // Ids grow only where keys are made, and are bounded here, where
  // outcomes are added.
  bound_ids();
  if (probe.plan == nullptr || probe.epoch != epoch_) return;
  if (outcomes_.size() >= kMaxOutcomes) forget_outcomes();
  auto outcome = std::make_unique<Outcome>();
  outcome->key.assign(probe.key.data(), probe.key.data() + probe.key_size);
  outcome->results.reserve(static_cast<std::size_t>(probe.plan->block_nodes));
  for (const Plan::Node& node : probe.plan->nodes) {
    if (node.block < 0) continue;
    auto result = std::make_shared<CombinedVariable>();
    result->copy_PlimList(node.cv);
    // The copy carries the variable's stamp: a variable that takes it over
    // later is known to have its shape.
    shapes_.by_stamp.put(result->get_stamp(), static_cast<int>(node.shape));
    outcome->results.push_back(std::move(result));
  }
  if (defuzzified != nullptr) {
    outcome->has_defuzzified = true;
    outcome->defuzzified = *defuzzified;
  }
  outcome->earlier_of_hash = outcome_ids_.find(probe.hash);
  outcome_ids_.put(probe.hash, static_cast<int>(outcomes_.size()));
  outcomes_.push_back(std::move(outcome));
}
