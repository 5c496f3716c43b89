// Rule base: terms, premise lists, rules, rule blocks and the rule set with
// its maintenance operations, the rule file format, the display and the
// short encoding.
#include "tarnrule.h"

#include <cmath>
#include <ostream>

#include "tarnrule_context.h"

namespace {

// Code of a linguistic term in the short encoding.
const char* term_code(std::string_view lt) {
  if (lt == "very_low") return "1.";
  if (lt == "low") return "2.";
  if (lt == "medium") return "3.";
  if (lt == "high") return "4.";
  return "5.";
}

// Writes the head of a list of n entries in the short encoding: "1.", then
// n - 1 times "2.", then "1.".
void write_short_count(std::ostream& out, int n) {
  out << "1. ";
  for (int i = 1; i < n; ++i) out << "2. ";
  out << "1. ";
}

concat_operator normalised(concat_operator op) {
  if (op == c_and || op == AND) return AND;
  if (op == c_or || op == OR) return OR;
  return no_cop;
}

}  // namespace

// ---------------------------------------------------------------------- term

Term::Term(const CombinedVariable* cv, std::string_view lt) : lt_(cut_name(lt)) {
  set_cv(cv);
}

void Term::set_cv(const CombinedVariable* cv) {
  forget_lookups();
  cv_ = cv;
  cv_name_ = cv != nullptr ? cv->get_cv_name() : "";
}

void Term::set_cv_name(std::string_view name) {
  forget_lookups();
  cv_ = nullptr;
  cv_name_ = cut_name(name);
}

void Term::copy(const Term* t) {
  if (t != nullptr && t != this) *this = *t;
}

int Term::compare(const Term* a, const Term* b) {
  if (a == nullptr || b == nullptr) return 0;
  return (same_text(a->lt_, b->lt_) && same_text(a->cv_name_, b->cv_name_)) ? 1 : 0;
}

void Term::write(std::ostream& out) const {
  out << cv_name_ << " IS " << lt_ << ' ';
}

int Term::read(std::istream& in, const CVList* vars) {
  std::string name;
  if (!read_name(in, name)) return kReadBrokenOff;
  if (vars == nullptr || vars->find_cv(name) == nullptr) {
    report_line(FuzzyContext::errors(vars != nullptr ? vars->get_context() : nullptr),
                "CombinedVariable in Rule not in cv_list!");
    return kReadUnknownVariable;
  }
  std::string word;
  if (!read_word(in, word) || !read_name(in, lt_)) return kReadBrokenOff;
  forget_lookups();
  cv_ = nullptr;
  cv_name_ = std::move(name);
  return kReadOk;
}

void Term::make_ShortString(std::ostream& out) const {
  out << "1. " << (cv_name_ == "SA" ? "1. " : "2. ") << term_code(lt_) << ' ';
}

// ------------------------------------------------------------- premise list

Term* TList::add() {
  return &terms_.emplace_back();
}

Term* TList::add(Term t) {
  return &terms_.emplace_back(std::move(t));
}

Term* TList::add(const CombinedVariable* cv, std::string_view lt) {
  return &terms_.emplace_back(cv, lt);
}

Term* TList::find(int i) {
  if (i < 0) return nullptr;
  while (get_number() <= i) add();
  return &terms_[static_cast<std::size_t>(i)];
}

const char* TList::find_cv_name(int i) const {
  const Term* t = get(i);
  return t != nullptr ? t->get_cv_name() : "";
}

const char* TList::find_lt(int i) const {
  const Term* t = get(i);
  return t != nullptr ? t->get_lt() : "";
}

void TList::copy(const TList* other) {
  if (other != nullptr && other != this) terms_ = other->terms_;
}

int TList::compare(const TList* a, const TList* b) {
  if (a == nullptr || b == nullptr || a->get_number() != b->get_number()) return 0;
  for (std::size_t i = 0; i < a->terms_.size(); ++i) {
    if (Term::compare(&a->terms_[i], &b->terms_[i]) == 0) return 0;
  }
  return 1;
}

int TList::remove(int i, std::ostream* err) {
  if (i < 0 || i >= get_number()) {
    report_line(err, "no such clause int TList::remove(int t_index)");
    return -1;
  }
  terms_.erase(terms_.begin() + i);
  return 1;
}

void TList::forget_cvs() {
  for (Term& t : terms_) t.forget_cv();
}

bool TList::refers_to_cvs() const {
  for (const Term& t : terms_) {
    if (t.get_cv() != nullptr) return true;
  }
  return false;
}

void TList::show(std::ostream& out) const {
  for (const Term& t : terms_) t.show(out);
}

void TList::show(std::ostream& out, const ConcatOperator* op) const {
  for (std::size_t i = 0; i < terms_.size(); ++i) {
    terms_[i].show(out);
    if (i + 1 < terms_.size() && op != nullptr) op->show(out);
  }
}

void TList::write(std::ostream& out, const ConcatOperator* op) const {
  write_count_frame(out, get_number());
  const ConcatOperator none;
  for (std::size_t i = 0; i < terms_.size(); ++i) {
    terms_[i].write(out);
    if (i + 1 < terms_.size()) (op != nullptr ? op : &none)->write(out);
  }
}

int TList::read(std::istream& in, ConcatOperator* op, const CVList* vars) {
  int count = 0;
  if (!read_count_frame(in, count)) return kReadBrokenOff;
  for (int i = 0; i < count; ++i) {
    // A default term is appended and then read: one that cannot be read
    // stays as it is, and what was read before it stays too.
    const int result = terms_.emplace_back().read(in, vars);
    if (result != kReadOk) return result;
    if (i + 1 == count) break;
    ConcatOperator between;
    if (!between.read(in)) return kReadBrokenOff;
    if (op != nullptr) *op = between;
  }
  return kReadOk;
}

void TList::make_ShortString(std::ostream& out) const {
  for (int i = 1; i < get_number(); ++i) out << "2. ";
  out << "1. ";
  for (const Term& t : terms_) t.make_ShortString(out);
}

// ---------------------------------------------------------------------- rule

void Rule::set_rs_term(const Term* t) {
  if (t != nullptr) rs_term_.copy(t);
}

void Rule::set_ls_t_list(const TList* list) {
  if (list != nullptr) ls_t_list_.copy(list);
}

void Rule::set_aggregate_operator(const ConcatOperator* op) {
  if (op != nullptr) aggregate_operator_ = *op;
}

void Rule::set_left_side_cv(int j, const CombinedVariable* cv) {
  if (Term* t = ls_t_list_.find(j)) t->set_cv(cv);
}

void Rule::set_left_side_lt(int j, std::string_view lt) {
  if (Term* t = ls_t_list_.find(j)) t->set_lt(lt);
}

void Rule::forget_cvs() {
  rs_term_.forget_cv();
  ls_t_list_.forget_cvs();
}

void Rule::copy(const Rule* r) {
  if (r != nullptr && r != this) *this = *r;
}

int Rule::compare(const Rule* a, const Rule* b) {
  if (a == nullptr || b == nullptr) return 0;
  // The numbers first: they are cheaper to compare than the names. Rules are
  // compared with the others of their block, which share the conclusion's
  // variable, so the premises are more likely to differ.
  const bool equal =
      a->certainty_ == b->certainty_ &&
      ConcatOperator::compare(&a->aggregate_operator_, &b->aggregate_operator_) == 1 &&
      TList::compare(&a->ls_t_list_, &b->ls_t_list_) == 1 &&
      Term::compare(&a->rs_term_, &b->rs_term_) == 1;
  return equal ? 1 : 0;
}

void Rule::show(std::ostream& out) const {
  if (!rs_term_.has_cv()) return;
  out << "IF ";
  ls_t_list_.show(out, &aggregate_operator_);
  out << "THEN ";
  rs_term_.show(out);
  out << "WITH CERTAINTY " << certainty_ << "." << std::endl;
}

void Rule::write(std::ostream& out) const {
  if (!rs_term_.has_cv()) return;
  out << "IF ";
  ls_t_list_.write(out, &aggregate_operator_);
  out << "THEN ";
  rs_term_.write(out);
  out << "WITH CERTAINTY " << certainty_ << "." << '\n';
}

// The full stop follows the certainty directly. Number reading takes it as
// part of a whole number ("1.", "0.", also "2."), so it is read as a word of
// its own only when it is still there: always for 0 and 1 it is not, for
// other whole numbers not unless a '.' follows, for fractions always. The
// rule is whole without it: a text that ends before the full stop (with or
// without white space after the certainty) keeps the rule.
int Rule::read(std::istream& in, const CVList* vars) {
  std::string word;
  if (!read_word(in, word)) return kReadBrokenOff;
  int result = ls_t_list_.read(in, &aggregate_operator_, vars);
  if (result != kReadOk) return result;
  if (!read_word(in, word)) return kReadBrokenOff;
  result = rs_term_.read(in, vars);
  if (result != kReadOk) return result;
  if (!(in >> word >> word >> certainty_)) return kReadBrokenOff;
  if (certainty_ == 0 || certainty_ == 1) return kReadOk;
  if (in.peek() != '.' && std::floor(certainty_) == certainty_) return kReadOk;
  read_word(in, word);
  return kReadOk;
}

void Rule::make_ShortString(std::ostream& out) const {
  if (ls_t_list_.get_number() > 1) {
    out << "2. 1. 1. ";
    ls_t_list_.make_ShortString(out);
  } else {
    out << "1. 1. ";
    if (const Term* t = ls_t_list_.get(0)) t->make_ShortString(out);
  }
  // The conclusion is encoded by its linguistic term, like a premise's term.
  out << term_code(rs_term_.get_lt()) << ' ';
  out << (certainty_ > 0.5f ? "2. " : "1. ");
}

// ---------------------------------------------------------------- rule block

Rule* RuleBlock::add() {
  lend();
  return &rules_.emplace_back();
}

Rule* RuleBlock::add(const Rule* r) {
  if (r == nullptr || find(r) >= 0) return nullptr;
  lend();
  Rule& copy = rules_.emplace_back(*r);
  copy.forget_cvs();
  return &copy;
}

Rule* RuleBlock::add(Rule&& r) {
  if (!append(std::move(r))) return nullptr;
  lend();
  return &rules_.back();
}

bool RuleBlock::append(Rule&& r) {
  if (find(&r) >= 0) return false;
  changed();
  rules_.emplace_back(std::move(r)).forget_cvs();
  return true;
}

int RuleBlock::find(const Rule* r) const {
  if (r == nullptr) return -1;
  for (std::size_t i = 0; i < rules_.size(); ++i) {
    if (Rule::compare(&rules_[i], r) == 1) return static_cast<int>(i);
  }
  return -1;
}

void RuleBlock::copy(const RuleBlock* other) {
  if (other == nullptr || other == this) return;
  rules_ = other->rules_;
  stamp_ = other->get_stamp();
}

void RuleBlock::forget_cvs() {
  for (Rule& r : rules_) {
    if (!r.refers_to_cvs()) continue;
    changed();
    r.forget_cvs();
  }
}

bool RuleBlock::shareable() const {
  return !lent_ && std::none_of(rules_.begin(), rules_.end(),
                                [](const Rule& r) { return r.refers_to_cvs(); });
}

int RuleBlock::remove(int i, std::ostream* err) {
  if (i < 0 || i >= get_number()) {
    report_line(err, "no such Rule in RuleBlock::remove(int r_index)");
    return -1;
  }
  changed();
  rules_.erase(rules_.begin() + i);
  return 1;
}

const char* RuleBlock::conclusion_name() const {
  return rules_.empty() ? "" : rules_.front().get_right_side_cv_name();
}

int RuleBlock::get_operand_number(int i) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_ls_t_list_number() : 0;
}

float RuleBlock::get_certainty(int i) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_certainty() : 0.0f;
}

concat_operator RuleBlock::get_aggregate_operator(int i) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_aggregate_operator_op() : no_cop;
}

const char* RuleBlock::get_right_side_cv_name(int i) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_right_side_cv_name() : "";
}

const char* RuleBlock::get_right_side_lt(int i) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_right_side_lt() : "";
}

const char* RuleBlock::get_left_side_cv_name(int i, int j) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_left_side_cv_name(j) : "";
}

const char* RuleBlock::get_left_side_lt(int i, int j) const {
  const Rule* r = find(i);
  return r != nullptr ? r->get_left_side_lt(j) : "";
}

void RuleBlock::show(std::ostream& out) const {
  for (const Rule& r : rules_) r.show(out);
}

void RuleBlock::write(std::ostream& out) const {
  out << "/* #: " << get_number() << " */" << '\n';
  for (const Rule& r : rules_) r.write(out);
}

// Each rule is appended as a default rule and then read, so one that cannot
// be read completely stays with what was read of it: without a conclusion,
// it is neither written nor shown, and evaluation skips it with a warning.
int RuleBlock::read(std::istream& in, const CVList* vars) {
  changed();
  int count = 0;
  if (!read_count_frame(in, count)) return kReadBrokenOff;
  for (int i = 0; i < count; ++i) {
    const int result = rules_.emplace_back().read(in, vars);
    if (result != kReadOk) return result;
  }
  return kReadOk;
}

void RuleBlock::make_ShortString(std::ostream& out) const {
  write_short_count(out, get_number());
  for (const Rule& r : rules_) r.make_ShortString(out);
}

// ------------------------------------------------------------------ rule set

RuleSet::RuleSet(FuzzyContext* context)
    : context_(context),
      ps_list_(std::make_unique<PSList>()),
      cv_list_(std::make_unique<CVList>()),
      operator_set_(std::make_unique<OperatorSet>()) {
  cv_list_->set_context(context);
}

void RuleSet::name_in_use() {
  if (rs_name_ == "empty_rule_set") rs_name_ = "nameless_rule_set";
}

RuleBlock& RuleSet::append_block() {
  auto block = std::make_shared<RuleBlock>();
  RuleBlock& own = *block;
  blocks_.push_back({std::move(block), &own});
  return own;
}

RuleBlock& RuleSet::changeable(std::size_t i) {
  BlockSlot& slot = blocks_[i];
  if (slot.own == nullptr || slot.block.use_count() > 1) {
    auto copy = std::make_shared<RuleBlock>();
    copy->copy(slot.block.get());
    slot.own = copy.get();
    slot.block = std::move(copy);
  }
  return *slot.own;
}

void RuleSet::add(const RuleBlock* b) {
  name_in_use();
  // Appending moves slots, not blocks, so `b` may be one of this set's own.
  // A copy of a block of a rule set keeps the stamp: its rules refer to no
  // variable.
  RuleBlock& block = append_block();
  if (b != nullptr) {
    block.copy(b);
    block.forget_cvs();
  }
  blocks_appended();
}

void RuleSet::add(std::shared_ptr<const RuleBlock> b) {
  if (b == nullptr || !b->shareable()) {
    add(b.get());
    return;
  }
  name_in_use();
  blocks_.push_back({std::move(b), nullptr});
  blocks_appended();
}

std::shared_ptr<const RuleBlock> RuleSet::share(int i) const {
  if (i < 0 || i >= get_number()) return nullptr;
  return blocks_[static_cast<std::size_t>(i)].block;
}

void RuleSet::replace_rules(int i, const RuleBlock& b) {
  name_in_use();
  if (find(i)->get_stamp() == b.get_stamp()) return;
  rules_changed();
  RuleBlock& block = changeable(static_cast<std::size_t>(i));
  block.copy(&b);
  block.forget_cvs();
}

void RuleSet::add_all_RuleBlocks(const RuleSet* other) {
  if (other == nullptr || other == this) return;
  for (const BlockSlot& slot : other->blocks_) add(slot.block);
}

void RuleSet::copy_variable(const CombinedVariable* cv) {
  if (cv != nullptr && cv_list_->find_cv(cv->get_cv_name()) == nullptr) cv_list_->add(cv);
}

int RuleSet::add_Rule(const TList* premises, const Term* conclusion, concat_operator op,
                      float certainty) {
  bool named = conclusion != nullptr && conclusion->has_cv();
  const int count = premises != nullptr ? premises->get_number() : 0;
  for (int j = 0; named && j < count; ++j) named = premises->get(j)->has_cv();
  if (!named) {
    report_line(FuzzyContext::errors(context_),
                "Error: a term of the rule names no variable; rule not added!");
    return -1;
  }
  name_in_use();
  rules_changed();
  // Built from copies at once: a default rule would first make default terms.
  static const TList no_premises;
  Rule rule(premises != nullptr ? *premises : no_premises, *conclusion, normalised(op), certainty);

  block_concluding_on(conclusion->get_cv_name()).append(std::move(rule));

  for (int j = 0; j < count; ++j) copy_variable(premises->get(j)->get_cv());
  copy_variable(conclusion->get_cv());
  return 1;
}

RuleBlock& RuleSet::block_concluding_on(const char* name) {
  bool found_again = false;
  return changeable(static_cast<std::size_t>(block_index_concluding_on(name, found_again)));
}

int RuleSet::block_index_concluding_on(const char* name, bool& found_again) {
  const int b = search(name);
  found_again = true;
  if (b >= 0) return b;
  append_block();
  block_generation_ = next_generation();
  // The new block is found by later searches only when no empty block
  // stands before it.
  found_again = index_valid_ && scan_open_;
  if (found_again) block_index_.emplace(name, get_number() - 1);
  return get_number() - 1;
}

// Every rule goes to the block a search for its conclusion's name would
// find, or to a new one, as with add_BasicRule (behind an empty block, a new
// block is not found again). Adding rules moves no block, so a block found
// again stays the answer for the whole batch; nothing looks at the variable
// list before the variables are copied after the rules.
void RuleSet::add_BasicRules(const CombinedVariable* in, const CombinedVariable* out,
                             std::span<const TermPair> pairs, float certainty) {
  const bool named = in != nullptr && out != nullptr && !in->get_cv_name_view().empty() &&
                     !out->get_cv_name_view().empty();
  if (!named || pairs.empty()) {
    // Each refused rule reports on its own.
    for (const TermPair& pair : pairs) add_BasicRule(in, pair.in_lt, out, pair.out_lt, certainty);
    return;
  }
  name_in_use();
  rules_changed();
  const Term premise(in, "");
  const Term conclusion(out, "");
  int b = -1;
  bool found_again = false;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (!found_again) {
      b = block_index_concluding_on(conclusion.get_cv_name(), found_again);
      // Room for the rest of the batch at once.
      changeable(static_cast<std::size_t>(b)).reserve(pairs.size() - i);
    }
    TList premises;
    premises.add(premise)->set_lt(pairs[i].in_lt);
    Term rule_conclusion(conclusion);
    rule_conclusion.set_lt(pairs[i].out_lt);
    changeable(static_cast<std::size_t>(b))
        .append(Rule(std::move(premises), std::move(rule_conclusion), no_cop, certainty));
  }
  copy_variable(in);
  copy_variable(out);
}

int RuleSet::add_BasicRule(const CombinedVariable* in, std::string_view in_lt,
                           const CombinedVariable* out, std::string_view out_lt, float certainty) {
  TList premises;
  premises.add(in, in_lt);
  const Term conclusion(out, out_lt);
  return add_Rule(&premises, &conclusion, no_cop, certainty);
}

int RuleSet::add_ComplexRule(const CombinedVariable* in1, std::string_view lt1,
                             const CombinedVariable* in2, std::string_view lt2,
                             const CombinedVariable* out, std::string_view out_lt,
                             concat_operator op, float certainty) {
  TList premises;
  premises.add(in1, lt1);
  premises.add(in2, lt2);
  const Term conclusion(out, out_lt);
  return add_Rule(&premises, &conclusion, op, certainty);
}

const RuleBlock* RuleSet::find(int i) const {
  if (i < 0 || i >= get_number()) return nullptr;
  return blocks_[static_cast<std::size_t>(i)].block.get();
}

void RuleSet::rebuild_index() const {
  block_index_.clear();
  scan_open_ = true;
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    const RuleBlock& block = *blocks_[i].block;
    if (block.get_number() == 0) {
      scan_open_ = false;
      break;
    }
    const char* name = block.conclusion_name();
    if (name[0] != '\0') block_index_.try_emplace(name, static_cast<int>(i));
  }
  index_valid_ = true;
}

int RuleSet::search(std::string_view name) const {
  if (!index_valid_) rebuild_index();
  const auto entry = block_index_.find(name_view(name));
  return entry != block_index_.end() ? entry->second : -1;
}

int RuleSet::remove(int i) {
  if (i < 0 || i >= get_number()) {
    report_line(FuzzyContext::errors(context_),
                "no such RuleBlock in RuleSet::remove(int rb_index)");
    return -1;
  }
  blocks_.erase(blocks_.begin() + i);
  blocks_changed();
  return 1;
}

int RuleSet::remove(const CombinedVariable* cv) {
  const int b = search(cv);
  return b >= 0 ? remove(b) : -1;
}

void RuleSet::remove_cv_and_its_approaches(const CombinedVariable* cv) {
  if (cv == nullptr) return;
  const std::string name = cv->get_cv_name();
  for (std::size_t b = 0; b < blocks_.size();) {
    RuleBlock& block = changeable(b);
    for (int r = 0; r < block.get_number();) {
      TList* premises = block.rule_for_change(r)->get_ls_t_list();
      if (premises->get_number() == 1 && name == premises->find_cv_name(0)) {
        block.remove(r);
        continue;
      }
      if (premises->get_number() > 1) {
        for (int j = premises->get_number() - 1; j >= 0; --j) {
          if (name == premises->find_cv_name(j)) premises->remove(j);
        }
      }
      ++r;
    }
    if (block.get_number() == 0) {
      blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
    } else {
      ++b;
    }
  }
  blocks_changed();
  const int concluding = search(name);
  if (concluding >= 0) remove(concluding);
  const CombinedVariable* own = cv_list_->find_cv(name);
  if (own != nullptr) cv_list_->remove(cv_list_->find_cv_by_pointer(own));
}

void RuleSet::remove_all() {
  blocks_.clear();
  blocks_changed();
}

void RuleSet::set_ps_list(std::unique_ptr<PSList> list) {
  ps_list_ = list != nullptr ? std::move(list) : std::make_unique<PSList>();
}

void RuleSet::set_cv_list(std::unique_ptr<CVList> list) {
  cv_list_ = list != nullptr ? std::move(list) : std::make_unique<CVList>();
  cv_list_->set_context(context_);
  rules_changed();
}

void RuleSet::set_operator_set(std::unique_ptr<OperatorSet> set) {
  operator_set_ = set != nullptr ? std::move(set) : std::make_unique<OperatorSet>();
  rules_changed();
  layout_ = revision_;
}

// ------------------------------------------------------ per-rule accessors

Rule* RuleSet::rule_at(int b, int r) {
  if (b < 0 || b >= get_number()) return nullptr;
  return changeable(static_cast<std::size_t>(b)).rule_for_change(r);
}

const Rule* RuleSet::rule_at(int b, int r) const {
  const RuleBlock* block = find(b);
  return block != nullptr ? block->find(r) : nullptr;
}

float RuleSet::get_certainty(int b, int r) const {
  const Rule* rule = rule_at(b, r);
  return rule != nullptr ? rule->get_certainty() : 0.0f;
}

concat_operator RuleSet::get_aggregate_operator(int b, int r) const {
  const Rule* rule = rule_at(b, r);
  return rule != nullptr ? rule->get_aggregate_operator_op() : no_cop;
}

int RuleSet::get_operand_number(int b, int r) const {
  const Rule* rule = rule_at(b, r);
  return rule != nullptr ? rule->get_ls_t_list_number() : 0;
}

CombinedVariable* RuleSet::get_left_side_cv(int b, int r, int j) const {
  const Rule* rule = rule_at(b, r);
  const Term* t = rule != nullptr ? rule->get_ls_t_list()->get(j) : nullptr;
  return t != nullptr ? variable_of(*t) : rule != nullptr ? get_cv("") : nullptr;
}

const char* RuleSet::get_left_side_lt(int b, int r, int j) const {
  const Rule* rule = rule_at(b, r);
  return rule != nullptr ? rule->get_left_side_lt(j) : "";
}

CombinedVariable* RuleSet::get_right_side_cv(int b, int r) const {
  const Rule* rule = rule_at(b, r);
  return rule != nullptr ? variable_of(*rule->get_rs_term()) : nullptr;
}

const char* RuleSet::get_right_side_lt(int b, int r) const {
  const Rule* rule = rule_at(b, r);
  return rule != nullptr ? rule->get_right_side_lt() : "";
}

void RuleSet::set_certainty(int b, int r, float c) {
  if (Rule* rule = rule_at(b, r)) rule->set_certainty(c);
  rules_changed();
}

void RuleSet::set_aggregate_operator(int b, int r, concat_operator op) {
  if (Rule* rule = rule_at(b, r)) rule->set_aggregate_operator(op);
  rules_changed();
}

void RuleSet::set_left_side_cv(int b, int r, int j, const CombinedVariable* cv) {
  if (Rule* rule = rule_at(b, r)) {
    rule->set_left_side_cv(j, cv);
    rule->forget_cvs();
  }
  rules_changed();
}

void RuleSet::set_left_side_lt(int b, int r, int j, std::string_view lt) {
  if (Rule* rule = rule_at(b, r)) rule->set_left_side_lt(j, lt);
  rules_changed();
}

void RuleSet::set_right_side_cv(int b, int r, const CombinedVariable* cv) {
  if (Rule* rule = rule_at(b, r)) {
    rule->set_right_side_cv(cv);
    rule->forget_cvs();
    blocks_changed();
  }
}

void RuleSet::set_right_side_lt(int b, int r, std::string_view lt) {
  if (Rule* rule = rule_at(b, r)) rule->set_right_side_lt(lt);
  rules_changed();
}

// ------------------------------------------------------------- text formats

void RuleSet::show(std::ostream& out) const {
  out << rs_name_ << std::endl;
  for (const BlockSlot& slot : blocks_) slot.block->show(out);
}

void RuleSet::write(std::ostream& out) const {
  ps_list_->write(out);
  cv_list_->write(out);
  operator_set_->write(out);
  out << rs_name_ << '\n';
  out << "/* #: " << get_number() << " */" << '\n';
  for (const BlockSlot& slot : blocks_) slot.block->write(out);
}

int RuleSet::read(std::istream& in) {
  // The two lists report a broken-off text themselves.
  if (!ps_list_->read(in, FuzzyContext::errors(context_)) || !cv_list_->read(in)) {
    return kReadUnknownVariable;
  }
  int count = 0;
  int result = kReadOk;
  if (!operator_set_->read(in) || !read_name(in, rs_name_) || !read_count_frame(in, count)) {
    result = kReadBrokenOff;
  }
  for (int i = 0; result == kReadOk && i < count; ++i) {
    result = append_block().read(in, cv_list_.get());
  }
  blocks_changed();
  if (result == kReadOk) return kReadOk;
  if (result == kReadBrokenOff) {
    report_line(FuzzyContext::errors(context_),
                "Error: rule set breaks off or holds an unreadable word; reading stopped!");
  }
  return kReadUnknownVariable;
}

void RuleSet::make_ShortString(std::ostream& out) const {
  write_short_count(out, get_number());
  for (const BlockSlot& slot : blocks_) slot.block->make_ShortString(out);
  out << '\0';
}
