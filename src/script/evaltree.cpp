// Evaluation tree: construction with its branches, the combination rules from
// the rule table, aggregation of rated constraints, the constraint list and
// the tree file.
#include "evaltree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <sstream>
#include <utility>

#include "inter_fuzzy_table.h"

namespace {

// The combination variables, generated from the tree's parameter set.
constexpr std::string_view kIn1 = "eval_in_1";
constexpr std::string_view kIn2 = "eval_in_2";
constexpr std::string_view kOutAnd = "eval_out_and";
constexpr std::string_view kOutOr = "eval_out_or";
// The two outputs by index, as the memo of combinations numbers them.
constexpr std::string_view kOutputs[2] = {kOutAnd, kOutOr};

// Interned contents are dropped beyond this many: a long run's memory is bounded.
constexpr std::size_t kMaxInternedContents = 100'000;

constexpr mode_t kFileMode = 0664;

// Aggregations a tree's score storage may hold to be kept for the next tree.
constexpr std::size_t kMaxKeptScores = 1 << 16;

// Makes `target` hold what `source` holds: parameters, terms with their
// match values, and crisp value. The target keeps its own name.
void take_over(CombinedVariable& target, const CombinedVariable& source) {
  if (&target == &source) return;
  target.copy_PSB(&source);
  target.copy_PlimList(&source);
  target.set_crisp_value(source.get_crisp_value());
}

// The same, the terms taken when first looked at if they have the target's
// shape (take_terms_later), so not computed again before they are read:
// after the aggregation an input keeps what it was given, and so does the
// output no combination evaluates next (case evaltree_held_terms_written).
void take_over_later(CombinedVariable& target,
                     const std::shared_ptr<const CombinedVariable>& source) {
  // Equal parameter stamps mean equal parameters.
  if (target.get_parameter_stamp() != source->get_parameter_stamp()) target.copy_PSB(source.get());
  target.set_crisp_value(source->get_crisp_value());
  if (target.get_stamp() == source->get_stamp()) return;
  if (target.get_shape_stamp() != source->get_shape_stamp()) {
    target.copy_PlimList(source.get());
  } else {
    target.take_terms_later(source);
  }
}

// The stamps of the outputs' parameters and terms.
std::array<std::uint64_t, 4> output_stamps(const TCombinationVariables& vars) {
  return {vars.out[0]->get_parameter_stamp(), vars.out[0]->get_shape_stamp(),
          vars.out[1]->get_parameter_stamp(), vars.out[1]->get_shape_stamp()};
}

}  // namespace

bool write_text_file(const std::string& file_name, std::string_view text) {
  const int file = ::open(file_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
  if (file < 0) return false;
  // The mode given to open is narrowed by the file mode mask, and a replaced
  // file keeps its old bits; both are set explicitly.
  ::fchmod(file, kFileMode);
  bool ok = true;
  while (ok && !text.empty()) {
    const ssize_t written = ::write(file, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) text.remove_prefix(static_cast<std::size_t>(written));
  }
  ::close(file);
  return ok;
}

TEvalTree::TEvalTree() {
  TEntry& head = entries_.emplace_back();
  head.name = "empty";
}

TEvalTree::TEvalTree(std::string_view n, const ParameterSet* ps, const std::shared_ptr<RuleSet>& rs,
                     const TVarlist* bl, TTreeMemory* memory)
    : memory_(memory), rules(rs), rules_at_(rs.get()) {
  if (caching()) {
    memo_ = std::exchange(memory_->memo, TCombinationMemo());
    scores_ = std::move(memory_->scores);
    scores_.clear();
    score_text_ = std::move(memory_->score_text);
    score_text_.clear();
  }
  if (ps != nullptr) {
    paras = std::make_unique<ParameterSet>(*ps);
    results_warn_ = CombinedVariable::generation_warns(*paras);
  }
  add_branch(n, no_cop);
  entries = 1;
  if (bl == nullptr) return;
  // A store without variables stands for one branch without a name.
  if (bl->number() == 0) {
    add_branch("", c_or);
    ++entries;
  }
  for (std::size_t i = 0; i < bl->number(); ++i) {
    const TVariable& var = bl->get(i);
    add_branch(var.get_name(), std::string_view(var.get_formula()) == "AND" ? c_and : c_or);
    ++entries;
  }
}

TEvalTree::~TEvalTree() {
  clean_up();
}

TEvalTree::TEntry& TEvalTree::add_branch(std::string_view name, concat_operator c_op) {
  TEntry& entry = entries_.emplace_back();
  entry.name = fit(name, script_limits::kNameChars);
  entry.output = c_op == c_and ? 0 : 1;
  // The result is made when the branch gets its first one: until then only
  // its crisp value, -1, is read. A variable whose making prints warnings
  // (too few terms, parameters out of range) is made at once, for them.
  if (results_warn_) {
    entry.result = std::make_unique<CombinedVariable>(paras.get(), entry.name, message_errors());
  }
  return entry;
}

namespace {

// The combination variables a tree's rules are generated for.
struct THelpVariables {
  const CombinedVariable& in1;
  const CombinedVariable& in2;
  const CombinedVariable& out_and;
  const CombinedVariable& out_or;
};

// Adds the rules of the CONCAT entry the table reader stands after: sections
// of triples, each led by AND or OR (the first one by OR or else AND).
void add_entry_rules(TTableReader& table, RuleSet& rs, const THelpVariables& vars) {
  concat_operator op = table.next() == "OR" ? OR : AND;
  for (;;) {
    const CombinedVariable& out = op == OR ? vars.out_or : vars.out_and;
    const std::string_view end = add_section_rules(table, rs, vars.in1, vars.in2, out, op);
    if (end == "AND") {
      op = AND;
    } else if (end == "OR") {
      op = OR;
    } else {
      return;
    }
  }
}

}  // namespace

void TEvalTree::insert_help_rules(std::shared_ptr<const TRuleTable> words) {
  RuleSet* const rs = live_rules();
  if (rs == nullptr || paras == nullptr) return;
  const CombinedVariable in1(paras.get(), kIn1, message_errors());
  const CombinedVariable in2(paras.get(), kIn2, message_errors());
  const CombinedVariable out_and(paras.get(), kOutAnd, message_errors());
  const CombinedVariable out_or(paras.get(), kOutOr, message_errors());
  if (words == nullptr) {
    script_message(message_output(), "\nError: no TABLE defined for generation of rules!\n");
    return;
  }
  const THelpVariables vars{in1, in2, out_and, out_or};
  const std::string_view set = paras->get_ps_name();
  const bool known = caching() && memory_->help_table == words && memory_->help_set_name == set;
  TTableReader table(words);
  if (!known && !table.find_entry("CONCAT", {set, set, set})) {
    script_message(message_output(), "\nError: no entry in TABLE for generation of rules!\n");
    return;
  }
  for (const CombinedVariable* cv : {&in1, &in2, &out_and, &out_or}) rs->get_cv_list()->add(cv);
  if (!caching()) {
    add_entry_rules(table, *rs, vars);
    return;
  }
  if (!known) {
    // The generated blocks are kept in a set of their own.
    auto generated = std::make_unique<RuleSet>();
    add_entry_rules(table, *generated, vars);
    memory_->help_table = words;
    memory_->help_set_name = set;
    memory_->help_rules = std::move(generated);
  }
  // The kept blocks, appended, give what adding the rules one by one would.
  if (!takes_block_whole(*rs, kOutAnd) || !takes_block_whole(*rs, kOutOr)) {
    TTableReader entry(words);
    entry.find_entry("CONCAT", {set, set, set});
    add_entry_rules(entry, *rs, vars);
    return;
  }
  const RuleSet& kept = *memory_->help_rules;
  for (int b = 0; b < kept.get_number(); ++b) rs->add(kept.share(b));
}

// Writes what the combination variables are to hold, unless their rule set is gone.
void TEvalTree::write_held() {
  const TCombinationVariables& vars = lookup_.vars;
  RuleSet* const rs = live_rules();
  if (rs != nullptr && rs == vars.rules) {
    CombinedVariable* const targets[4] = {vars.in1, vars.in2, vars.out[0], vars.out[1]};
    for (int k = 0; k < 4; ++k) {
      if (held_[k] >= 0 && targets[k] != nullptr) {
        take_over_later(*targets[k], memo_.shared_content(held_[k]));
      }
    }
  }
  held_[0] = held_[1] = held_[2] = held_[3] = -1;
}

TEvalTree::TLookup& TEvalTree::look_up(RuleSet* rs) {
  TLookup& l = lookup_;
  const std::uint64_t generation = rs->get_cv_list()->get_generation();
  if (caching() && l.vars.rules == rs && l.revision == rs->get_revision() &&
      l.generation == generation) {
    return l;
  }
  l.memo_known = false;
  settled_.count = 0;
  l.revision = rs->get_revision();
  l.generation = generation;
  l.vars.rules = rs;
  l.vars.in1 = rs->get_cv(kIn1);
  l.vars.in2 = rs->get_cv(kIn2);
  for (int o = 0; o < 2; ++o) {
    l.vars.out[o] = rs->get_cv(kOutputs[o]);
    l.output_ruled[o] = rs->search(kOutputs[o]) >= 0;
  }
  return l;
}

// An aggregation's combinations go by the lookup itself, valid from one to
// the next until the rule set or the outputs change: mostly nothing is copied.
const TEvalTree::TLookup& TEvalTree::begin_pass(RuleSet* rs) {
  if (rs == nullptr) return no_pass_;
  TLookup& lookup = look_up(rs);
  const TCombinationVariables& vars = lookup.vars;
  if (!caching() || vars.in1 == nullptr || vars.in2 == nullptr || vars.out[0] == nullptr ||
      vars.out[1] == nullptr) {
    lookup.memo = false;
    return lookup;
  }
  if (!lookup.memo_known || lookup.output_stamps != output_stamps(vars)) {
    lookup.memo = memo_.usable(vars);
  }
  return lookup;
}

void TEvalTree::end_pass(const TLookup& pass) {
  write_held();
  if (caching() && pass.vars.out[0] != nullptr && pass.vars.out[1] != nullptr) {
    lookup_.memo_known = true;
    lookup_.output_stamps = output_stamps(pass.vars);
  }
  if (memo_.size() <= kMaxInternedContents) return;
  for (TEntry& entry : entries_) {
    if (entry.stale) take_over(*entry.result, memo_.content(entry.state));
    entry.stale = false;
    entry.state = -1;
  }
  memo_.clear();
}

int TEvalTree::contents_id(const CombinedVariable& cv) {
  return caching() ? memo_.intern(cv) : memo_.store(cv);
}

int TEvalTree::state_of(TEntry& entry) {
  if (entry.state < 0) entry.state = contents_id(*entry.result);
  return entry.state;
}

// Outside combining only the results' crisp values are read (score, tree
// file); the full contents stay in the memory until it is cleared.
void TEvalTree::set_state(TEntry& entry, int state) {
  entry.state = state;
  entry.stale = true;
  if (entry.result == nullptr) entry.result = std::make_unique<CombinedVariable>();
  entry.result->set_crisp_value(memo_.content(state).get_crisp_value());
}

// Combines two results (interned contents) through the combination rules
// into the target's result: the first goes into eval_in_1, the second into
// eval_in_2, the output is evaluated and the target takes it over (from the
// memo when computed before in the same rule-set state). Without the rule
// set, a combination variable or the output's rules the target keeps its
// result and false is returned.
bool TEvalTree::combine(const TLookup& pass, int first, int second, int output, TEntry& target) {
  const TCombinationVariables& vars = pass.vars;
  CombinedVariable* out = vars.out[output];
  if (vars.rules == nullptr || vars.in1 == nullptr || vars.in2 == nullptr || out == nullptr ||
      !pass.output_ruled[output]) {
    return false;
  }
  if (pass.memo) {
    if (const int outcome = memo_.outcome(output, first, second); outcome >= 0) {
      held_[kFirstInput] = first;
      held_[kSecondInput] = second;
      held_[kAndOutput + output] = outcome;
      set_state(target, outcome);
      return true;
    }
  }
  // The evaluation may read any variable: all get what they are to hold.
  write_held();
  take_over(*vars.in1, memo_.content(first));
  take_over(*vars.in2, memo_.content(second));
  const bool remember = pass.memo && memo_.runs_quietly(vars, output);
  vars.rules->evaluate(out);
  const int outcome = contents_id(*out);
  if (remember) memo_.remember(output, first, second, outcome);
  set_state(target, outcome);
  return true;
}

// The first branch of that name. Branches are never renamed nor added for a
// name one has, so the branch found last (aggregations come in runs) stays it.
TEvalTree::TEntry* TEvalTree::find_branch(std::string_view name) {
  if (last_branch_ > 0 && same_text(entries_[last_branch_].name, name)) {
    return &entries_[last_branch_];
  }
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    if (same_text(entries_[i].name, name)) {
      last_branch_ = i;
      return &entries_[i];
    }
  }
  return nullptr;
}

// Mostly the head is settled (settled_). When since then only `changed` got
// another state and its step, going in as then, gives what it gave then, the
// fold ends where it started again. False when the full fold is needed.
bool TEvalTree::fold_settled(TEntry& changed) {
  const int start = entries_.front().state;
  if (settled_.count != entries_.size() || settled_.state != start || start < 0 ||
      fold_epoch_ != memo_.epoch() || changed.fold_first < 0) {
    return false;
  }
  const int second = state_of(changed);
  if (changed.fold_second != second) {
    if (memo_.outcome(changed.output, changed.fold_first, second) != changed.fold_outcome) {
      return false;
    }
    changed.fold_second = second;
  }
  hold_fold(settled_);
  return true;
}

// The combination variables hold what the fold's last step and each
// output's last step combined.
void TEvalTree::hold_fold(const TFold& fold) {
  held_[kFirstInput] = fold.last->fold_first;
  held_[kSecondInput] = fold.last->fold_second;
  for (int o = 0; o < 2; ++o) {
    if (fold.last_of_output[o] != nullptr) {
      held_[kAndOutput + o] = fold.last_of_output[o]->fold_outcome;
    }
  }
}

bool TEvalTree::insert(const CombinedVariable* cv, std::string_view branch, std::string_view place,
                       std::string_view oper) {
  if (cv == nullptr) return true;
  const int output = same_text(oper, "AND") ? 0 : 1;
  TEntry* entry = find_branch(branch);
  if (entry == nullptr) {
    script_message(message_output(), "\nWarning: ", branch, " does not exist in EVALTREE ",
                   get_name(), ". A default branch is generated ...\n");
    ++entries;
    entry = &add_branch(branch, no_cop);
  }
  record_score(*entry, cv->get_cv_name_view(), place, cv->get_crisp_value());
  RuleSet* const rs = live_rules();
  const TLookup& pass = begin_pass(rs);
  const int constraint = contents_id(*cv);
  bool combined = true;
  // A branch that had a result is the only one whose state the fold may
  // find changed.
  const bool changed = entry->comp;
  if (changed) {
    combined = combine(pass, constraint, state_of(*entry), output, *entry);
  } else {
    // The first result of a branch is the constraint's contents.
    set_state(*entry, constraint);
    entry->comp = true;
  }
  if (!changed || !pass.memo || !fold_settled(*entry)) {
    combined = fold_head(pass) && combined;
  }
  end_pass(pass);
  return combined;
}

// Folds the head again with every branch that has a result, starting from
// its previous value; the first time it takes over the first such branch.
bool TEvalTree::fold_head(const TLookup& pass) {
  TEntry& head = entries_.front();
  if (!head.comp) {
    for (std::size_t i = 1; i < entries_.size(); ++i) {
      TEntry& entry = entries_[i];
      if (!entry.comp) continue;
      if (head.result == nullptr) {
        head.result = std::make_unique<CombinedVariable>();
        head.result->set_cv_name(head.name);
      }
      set_state(head, state_of(entry));
      head.comp = true;
      break;
    }
    return true;
  }
  bool combined = true;
  // A fold through the rules may change the head and any branch it folds.
  if (!pass.memo) settled_.count = 0;
  std::size_t i = pass.memo ? fold_remembered(pass, combined) : 1;
  for (; i < entries_.size(); ++i) {
    TEntry& entry = entries_[i];
    if (!entry.comp) continue;
    combined = combine(pass, state_of(head), state_of(entry), entry.output, head) && combined;
  }
  return combined;
}

// The part of the fold whose outcomes are all remembered, as combine() does
// it but with the combination variables settled once at its end. Returns
// the branch the rest of the fold starts from; `combined` turns false for a
// branch whose output has no rules. A fold ending where it started is settled.
std::size_t TEvalTree::fold_remembered(const TLookup& pass, bool& combined) {
  forget_fold_steps_of_past_epochs();
  // No entry is added or removed while folding.
  TEntry* const entries = entries_.data();
  const std::size_t count = entries_.size();
  const int start = state_of(entries[0]);
  settled_.count = 0;
  int state = start;
  bool ruled = true;
  TFold fold{.state = start};
  std::size_t i = 1;
  for (; i < count; ++i) {
    TEntry& entry = entries[i];
    if (!entry.comp) continue;
    if (!pass.output_ruled[entry.output]) {
      combined = false;
      ruled = false;
      continue;
    }
    const int second = state_of(entry);
    if (entry.fold_first != state || entry.fold_second != second) {
      const int outcome = memo_.outcome(entry.output, state, second);
      if (outcome < 0) break;
      entry.fold_first = state;
      entry.fold_second = second;
      entry.fold_outcome = outcome;
    }
    fold.last = &entry;
    fold.last_of_output[entry.output] = &entry;
    state = entry.fold_outcome;
  }
  if (fold.last == nullptr) return i;
  hold_fold(fold);
  if (ruled && i == count && state == start) {
    settled_ = fold;
    settled_.count = count;
  }
  // Mostly the fold leaves the head as it was.
  if (state != start) set_state(entries[0], state);
  return i;
}

void TEvalTree::forget_fold_steps_of_past_epochs() {
  if (fold_epoch_ == memo_.epoch()) return;
  fold_epoch_ = memo_.epoch();
  for (TEntry& entry : entries_) entry.fold_first = -1;
  settled_.count = 0;
}

// Names and places are cut as the store cuts a variable's name and formula.
void TEvalTree::record_score(TEntry& entry, std::string_view name, std::string_view place,
                             float value) {
  name = fit(name, script_limits::kNameChars);
  place = fit(place, script_limits::kFormulaChars);
  const auto at = static_cast<std::int32_t>(scores_.size());
  const std::size_t text_at = score_text_.size();
  scores_.push_back({-1, static_cast<std::uint32_t>(&entry - entries_.data()),
                     static_cast<std::uint32_t>(text_at), static_cast<std::uint8_t>(name.size()),
                     static_cast<std::uint8_t>(place.size()), value});
  append_text(score_text_, name);
  append_text(score_text_, place);
  if (entry.last_score >= 0) {
    scores_[static_cast<std::size_t>(entry.last_score)].next = at;
  } else {
    entry.first_score = at;
  }
  entry.last_score = at;
  ++entry.scores;
}

// A branch's score list as the variable store writes itself: nothing when
// empty, else a count line and one "name place value" line per constraint.
void TEvalTree::write_scores(std::ostream& out, const TEntry& entry) const {
  if (entry.scores == 0) return;
  out << "/* #: " << entry.scores << " */ ";
  for (std::int32_t i = entry.first_score; i >= 0; i = scores_[static_cast<std::size_t>(i)].next) {
    const TScore& score = scores_[static_cast<std::size_t>(i)];
    out << '\n' << score_name(score) << ' ' << score_place(score) << ' ' << score.value;
  }
}

void TEvalTree::write(const std::string& file) const {
  if (entries == 0) return;
  std::ostringstream out;
  out << "/* #: " << entries << " */";
  for (const TEntry& entry : entries_) {
    const float crisp = entry.result != nullptr ? entry.result->get_crisp_value() : -1.0f;
    out << "\nBranch: " << entry.name << "  Crisp value: " << crisp << '\n';
    write_scores(out, entry);
    out << "\n----------------------<End of branch: " << entry.name << '>';
  }
  write_text_file(file, out.str());
}

// Scores whose name reads as an empty C string are left out; entries read
// their texts as C strings too, so the texts are handed over whole.
template <class Visit>
void TEvalTree::visit_listed(Visit&& visit) const {
  if (entries == 0) return;
  for (const TEntry& entry : entries_) {
    for (std::int32_t i = entry.first_score; i >= 0;
         i = scores_[static_cast<std::size_t>(i)].next) {
      const TScore& score = scores_[static_cast<std::size_t>(i)];
      if (score.name_size > 0 && score_text_[score.text_at] != '\0') visit(score);
    }
  }
}

ConstraintEvaluations TEvalTree::GetConstraintList() const {
  ConstraintEvaluations list;
  visit_listed([&](const TScore& score) {
    list.emplace_back(score_name(score), entries_[score.branch].name, score_place(score),
                      score.value);
  });
  return list;
}

// The (rating, score) pairs are sorted, moved as the entries would be.
void TEvalTree::TakeSortedConstraints(TRatedConstraints& rated) {
  rated.order_.resize(scores_.size());
  RatedPosition* const order = rated.order_.data();
  std::uint32_t count = 0;
  visit_listed([&](const TScore& score) {
    order[count++] = {score.value, static_cast<std::uint32_t>(&score - scores_.data())};
  });
  rated.order_.resize(count);
  SortByRatingOnly(order, order + count);
  rated.branches_.resize(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) rated.branches_[i] = entries_[i].name;
  scores_.swap(rated.scores_);
  score_text_.swap(rated.text_);
  scores_.clear();
  score_text_.clear();
  for (TEntry& entry : entries_) {
    entry.scores = 0;
    entry.first_score = entry.last_score = -1;
  }
}

void TEvalTree::clean_up() {
  // The memories go back to the context for the next tree, once.
  if (caching()) {
    memory_->memo = std::move(memo_);
    // The score storage of a very large tree is not kept.
    if (scores_.capacity() <= kMaxKeptScores) {
      memory_->scores = std::move(scores_);
      memory_->score_text = std::move(score_text_);
    }
  }
  memory_ = nullptr;
  entries_.clear();
  entries_.emplace_back().name = "empty";
  last_branch_ = 0;
  settled_ = {};
  scores_.clear();
  score_text_.clear();
  entries = 0;
}
