// Rule base: terms ("variable IS linguistic term"), premise lists, rules,
// blocks of rules concluding on one variable, and the rule set that owns the
// parameter sets, variables and operator set its rules use; the rule file
// format and rule evaluation.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarncvar.h"
#include "tarnoper.h"
#include "tarnpara.h"

// Result codes of the rule readers: the text was read (1), a term names a
// variable that is not in the list (2), or the text ends early or holds a
// word where a number belongs (0; RuleSet::read reports it and returns 2).
inline constexpr int kReadBrokenOff = 0;
inline constexpr int kReadOk = 1;
inline constexpr int kReadUnknownVariable = 2;

class RuleEvaluationMemo;

// One statement "variable IS linguistic term", naming its variable. It may
// also refer to the variable it was built from (not owned), for a rule set
// to copy when the rule is added; terms stored in a rule set hold the name
// only, so no stored rule refers to a destroyed variable.
class Term {
 public:
  Term() = default;
  Term(const CombinedVariable* cv, std::string_view lt);

  // Remembers cv and its name (no name for null).
  void set_cv(const CombinedVariable* cv);
  const CombinedVariable* get_cv() const { return cv_; }
  void set_cv_name(std::string_view name);
  const char* get_cv_name() const { return cv_name_.c_str(); }
  bool has_cv() const { return !cv_name_.empty(); }
  void forget_cv() { cv_ = nullptr; }
  // Drops what a rule set remembered about the name.
  void forget_lookups() const { found_cv_generation_ = 0; }
  void set_lt(std::string_view lt) { lt_ = cut_name(lt); }
  const char* get_lt() const { return lt_.c_str(); }

  void copy(const Term* t);
  // 1 when both exist with equal terms and equal variable names, else 0.
  static int compare(const Term* a, const Term* b);

  void show(std::ostream& out) const { write(out); }
  void write(std::ostream& out) const;
  // Reads "name IS term"; the name must be that of a variable in vars.
  int read(std::istream& in, const CVList* vars);
  void make_ShortString(std::ostream& out) const;

 private:
  friend class RuleSet;
  std::string cv_name_;
  const CombinedVariable* cv_ = nullptr;
  std::string lt_ = "no_linguistic_term";
  // The variable a rule set last found for the name, valid while the
  // variable list keeps its generation.
  mutable CombinedVariable* found_cv_ = nullptr;
  mutable std::uint64_t found_cv_generation_ = 0;
};

// The premises of a rule, in order.
class TList {
 public:
  Term* add();
  Term* add(Term t);
  Term* add(const CombinedVariable* cv, std::string_view lt);
  // The i-th term, appending default terms while the list is shorter; null
  // for a negative index.
  Term* find(int i);
  // Null outside 0..number-1.
  const Term* get(int i) const {
    return i >= 0 && i < get_number() ? &terms_[static_cast<std::size_t>(i)] : nullptr;
  }
  const char* find_cv_name(int i) const;
  const char* find_lt(int i) const;
  void copy(const TList* other);
  static int compare(const TList* a, const TList* b);
  // Removes term i (1), or reports on `err` that there is none (-1).
  int remove(int i, std::ostream* err = nullptr);
  void remove_all() { terms_.clear(); }
  int get_number() const { return static_cast<int>(terms_.size()); }
  void forget_cvs();
  // Whether a term holds a reference to a variable.
  bool refers_to_cvs() const;

  void show(std::ostream& out) const;
  void show(std::ostream& out, const ConcatOperator* op) const;
  void write(std::ostream& out, const ConcatOperator* op) const;
  // Reads a premise list; the word between two terms goes into op.
  int read(std::istream& in, ConcatOperator* op, const CVList* vars);
  void make_ShortString(std::ostream& out) const;

 private:
  std::vector<Term> terms_;
};

// IF premises (combined by the aggregate operator) THEN conclusion WITH
// CERTAINTY c.
class Rule {
 public:
  Rule() = default;
  // A rule holding the premises and the conclusion given.
  Rule(TList premises, Term conclusion, concat_operator op, float certainty)
      : rs_term_(std::move(conclusion)),
        ls_t_list_(std::move(premises)),
        certainty_(certainty),
        aggregate_operator_(op) {}

  void set_rs_term(const Term* t);
  void set_ls_t_list(const TList* list);
  void set_certainty(float c) { certainty_ = c; }
  void set_aggregate_operator(concat_operator op) { aggregate_operator_.set_oper(op); }
  void set_aggregate_operator(const ConcatOperator* op);

  Term* get_rs_term() { return &rs_term_; }
  const Term* get_rs_term() const { return &rs_term_; }
  TList* get_ls_t_list() { return &ls_t_list_; }
  const TList* get_ls_t_list() const { return &ls_t_list_; }
  float get_certainty() const { return certainty_; }
  const ConcatOperator* get_aggregate_operator() const { return &aggregate_operator_; }
  concat_operator get_aggregate_operator_op() const { return aggregate_operator_.get_oper(); }
  int get_ls_t_list_number() const { return ls_t_list_.get_number(); }
  const char* get_right_side_cv_name() const { return rs_term_.get_cv_name(); }
  const char* get_right_side_lt() const { return rs_term_.get_lt(); }
  const char* get_left_side_cv_name(int j) const { return ls_t_list_.find_cv_name(j); }
  const char* get_left_side_lt(int j) const { return ls_t_list_.find_lt(j); }
  void set_left_side_cv(int j, const CombinedVariable* cv);
  void set_right_side_cv(const CombinedVariable* cv) { rs_term_.set_cv(cv); }
  void set_left_side_lt(int j, std::string_view lt);
  void set_right_side_lt(std::string_view lt) { rs_term_.set_lt(lt); }
  void forget_cvs();
  bool refers_to_cvs() const { return rs_term_.get_cv() != nullptr || ls_t_list_.refers_to_cvs(); }

  void copy(const Rule* r);
  static int compare(const Rule* a, const Rule* b);

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  int read(std::istream& in, const CVList* vars);
  void make_ShortString(std::ostream& out) const;

 private:
  Term rs_term_;
  TList ls_t_list_;
  float certainty_ = 0.0f;
  ConcatOperator aggregate_operator_;
};

// Rules concluding on one variable (that of the first rule), with a stamp:
// equal stamps mean equal rules. Every operation that changes a rule gives a
// new stamp. A block that has lent a rule for writing (the non-const find and
// the adds) cannot see what is written through it, whenever that is: from
// then on every read of its stamp gives a new one.
class RuleBlock {
 public:
  // Appends a rule and lends it.
  Rule* add();
  // Appends a copy of r unless an equal rule is there and lends the copy;
  // null when there was one.
  Rule* add(const Rule* r);
  // The same, taking r over instead of copying it.
  Rule* add(Rule&& r);
  // Takes r over as add(Rule&&) does, without lending it; whether it did.
  bool append(Rule&& r);
  Rule* find(int i) {
    lend();
    return rule_for_change(i);
  }
  const Rule* find(int i) const {
    return i >= 0 && i < get_number() ? &rules_[static_cast<std::size_t>(i)] : nullptr;
  }
  int find(const Rule* r) const;
  // Makes room for n more rules at once.
  void reserve(std::size_t n) { rules_.reserve(rules_.size() + n); }
  void copy(const RuleBlock* other);
  // Drops the rules' references to variables. Rules without any stay as
  // they are, and so does the stamp when no rule had one.
  void forget_cvs();
  // Removes rule i (1), or reports on `err` that there is none (-1).
  int remove(int i, std::ostream* err = nullptr);
  void remove_all() {
    changed();
    rules_.clear();
  }
  int get_number() const { return static_cast<int>(rules_.size()); }
  std::uint64_t get_stamp() const {
    if (lent_) stamp_ = next_generation();
    return stamp_;
  }
  // Whether a rule set may hold the block itself instead of a copy: it has
  // lent no rule, and no rule refers to a variable (a copy would drop that).
  bool shareable() const;
  // The name of the variable the block concludes on; "" when empty.
  const char* conclusion_name() const;

  int get_operand_number(int i) const;
  float get_certainty(int i) const;
  concat_operator get_aggregate_operator(int i) const;
  const char* get_right_side_cv_name(int i) const;
  const char* get_right_side_lt(int i) const;
  const char* get_left_side_cv_name(int i, int j) const;
  const char* get_left_side_lt(int i, int j) const;

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  int read(std::istream& in, const CVList* vars);
  void make_ShortString(std::ostream& out) const;

 private:
  friend class RuleSet;  // changes single rules through rule_for_change

  void changed() { stamp_ = next_generation(); }
  void lend() {
    changed();
    lent_ = true;
  }
  // Rule i for one change made now, which the new stamp covers; the pointer
  // is not kept past it.
  Rule* rule_for_change(int i) {
    changed();
    return i >= 0 && i < get_number() ? &rules_[static_cast<std::size_t>(i)] : nullptr;
  }

  std::vector<Rule> rules_;
  // Mutable for a lent block, whose every stamp read gives a new one.
  mutable std::uint64_t stamp_ = next_generation();
  // Whether a rule was lent for writing; never undone.
  bool lent_ = false;
};

// A rule base with its own parameter sets, variables and operator set.
class RuleSet {
 public:
  // `context`: the memories and scratch its evaluations use (null: none),
  // handed on to its variable list; it must outlive the rule set.
  explicit RuleSet(FuzzyContext* context = nullptr);
  RuleSet(const RuleSet&) = delete;
  RuleSet& operator=(const RuleSet&) = delete;

  // Appends a copy of b (an empty block for null).
  void add(const RuleBlock* b);
  // Appends b itself when it is shareable, else a copy as above: what a
  // table generated once is added to run after run without copying it.
  // Blocks are shared between the sets and memories that hold them; a set
  // copies a shared block before it changes it.
  void add(std::shared_ptr<const RuleBlock> b);
  // Block i as the set holds it, to be added elsewhere without a copy.
  std::shared_ptr<const RuleBlock> share(int i) const;
  // Makes block i's rules a copy of b's, which must conclude on the same
  // variable, as adding b's rules one by one to a block holding only some
  // of them would (nothing changes when the stamps are equal).
  void replace_rules(int i, const RuleBlock& b);
  void add_all_RuleBlocks(const RuleSet* other);
  // Adds a rule (1) to the block of its conclusion variable, skipping a rule
  // equal to one already there, and copies the variables the terms refer to
  // into the variable list unless one of that name is present. Refuses, with
  // a message and -1, a rule whose terms name no variable.
  int add_Rule(const TList* premises, const Term* conclusion, concat_operator op, float certainty);
  int add_BasicRule(const CombinedVariable* in, std::string_view in_lt, const CombinedVariable* out,
                    std::string_view out_lt, float certainty);
  // The linguistic terms of the premise and of the conclusion of a basic
  // rule.
  struct TermPair {
    std::string_view in_lt;
    std::string_view out_lt;
  };
  // add_BasicRule for each pair in order, with the same two variables and
  // certainty; the variables are copied once for all rules.
  void add_BasicRules(const CombinedVariable* in, const CombinedVariable* out,
                      std::span<const TermPair> pairs, float certainty);
  int add_ComplexRule(const CombinedVariable* in1, std::string_view lt1,
                      const CombinedVariable* in2, std::string_view lt2,
                      const CombinedVariable* out, std::string_view out_lt, concat_operator op,
                      float certainty);

  // Block i (read only; blocks change through the operations of the set).
  const RuleBlock* find(int i) const;
  const RuleBlock* operator[](int i) const { return find(i); }
  // Index of the block concluding on a variable of that name (-1: none; the
  // scan stops at the first empty block), kept in cv until the blocks change.
  int search(const CombinedVariable* cv) const;
  int search(std::string_view name) const;
  // The rule set's own variable of that name, or null.
  CombinedVariable* get_cv(std::string_view name) const { return cv_list_->find_cv(name); }
  CombinedVariable* get_cv(std::string_view name, CVList::Hint& hint) const {
    return cv_list_->find_cv(name, hint);
  }
  // The own variable a term names, remembered in the term while the list
  // keeps its generation, and the block concluding on that name, remembered
  // in the variable (see search); with the context's caching off, found anew.
  CombinedVariable* variable_of(const Term& t) const;
  int block_of(const Term& t) const;

  int remove(int i);
  int remove(const CombinedVariable* cv);
  // Removes every premise on cv, rules left without premise and blocks left
  // without rules, the block concluding on cv, and cv's copy.
  void remove_cv_and_its_approaches(const CombinedVariable* cv);
  void remove_all();

  // The defuzzified value of the own variable named like cv, or -1.
  float evaluate(const CombinedVariable* cv);
  float evaluate(std::string_view name);
  // Fills the match values of v's terms from the rules (1), or fails (-1).
  int internal_evaluate(CombinedVariable* v);

  // The memory evaluations are taken from and kept in (not owned; null: all
  // computed), with results the same bit for bit either way.
  void set_evaluation_memo(RuleEvaluationMemo* memo) { memo_ = memo; }

  void set_rs_name(std::string_view name) { rs_name_ = cut_name(name); }
  const char* get_rs_name() const { return rs_name_.c_str(); }
  PSList* get_ps_list() { return ps_list_.get(); }
  CVList* get_cv_list() { return cv_list_.get(); }
  const CVList* get_cv_list() const { return cv_list_.get(); }
  OperatorSet* get_operator_set() { return operator_set_.get(); }
  const OperatorSet* get_operator_set() const { return operator_set_.get(); }
  // The setters take over the object; null installs an empty one.
  void set_ps_list(std::unique_ptr<PSList> list);
  void set_cv_list(std::unique_ptr<CVList> list);
  void set_operator_set(std::unique_ptr<OperatorSet> set);
  int get_number() const { return static_cast<int>(blocks_.size()); }
  int get_rule_block_number() const { return get_number(); }
  // Changes whenever a rule, a block, the variable list or the operator set
  // is changed or replaced through the rule set; values are never reused,
  // also across rule sets. Both this and the operator set's counter only
  // grow, so the greater one moves on with every change to either.
  std::uint64_t get_revision() const { return std::max(revision_, operator_set_->get_revision()); }
  FuzzyContext* get_context() const { return context_; }
  // Changes whenever a block may come to stand at another index or conclude
  // on another variable (blocks removed, a conclusion's variable changed, a
  // rule file read), or the operator set is replaced; values are never
  // reused. A block appended behind the others answers only to a name no
  // block answered to, so appending does not change it.
  std::uint64_t get_layout() const { return layout_; }

  // Per-rule access by (block, rule[, premise]) index. Variables are
  // returned as the rule set's own copies (null when absent).
  float get_certainty(int b, int r) const;
  concat_operator get_aggregate_operator(int b, int r) const;
  int get_operand_number(int b, int r) const;
  CombinedVariable* get_left_side_cv(int b, int r, int j) const;
  const char* get_left_side_lt(int b, int r, int j) const;
  CombinedVariable* get_right_side_cv(int b, int r) const;
  const char* get_right_side_lt(int b, int r) const;
  void set_certainty(int b, int r, float c);
  void set_aggregate_operator(int b, int r, concat_operator op);
  void set_left_side_cv(int b, int r, int j, const CombinedVariable* cv);
  void set_left_side_lt(int b, int r, int j, std::string_view lt);
  void set_right_side_cv(int b, int r, const CombinedVariable* cv);
  void set_right_side_lt(int b, int r, std::string_view lt);

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Appends what the file holds: 1, or 2 when a rule names a variable that
  // is not in the variable list or the text breaks off (reported).
  int read(std::istream& in);
  void make_ShortString(std::ostream& out) const;

 private:
  Rule* rule_at(int b, int r);
  const Rule* rule_at(int b, int r) const;
  void name_in_use();
  void blocks_appended() {
    index_valid_ = false;
    block_generation_ = next_generation();
    rules_changed();
  }
  void blocks_changed() {
    blocks_appended();
    layout_ = block_generation_;
  }
  void rules_changed() { revision_ = next_generation(); }
  // The block a search for name finds, appended when there is none;
  // found_again tells whether later searches find that block too.
  RuleBlock& block_concluding_on(const char* name);
  int block_index_concluding_on(const char* name, bool& found_again);
  void rebuild_index() const;
  // A new empty block at the end, made here.
  RuleBlock& append_block();
  // Block i for a change: copied first unless the set made it and holds it alone.
  RuleBlock& changeable(std::size_t i);
  void copy_variable(const CombinedVariable* cv);
  // The list's variable of cv's name: cv itself when a lookup found it first
  // of its name and no variable was renamed or removed since.
  CombinedVariable* own_variable(const CombinedVariable& cv) const;
  float evaluate_variable(CombinedVariable* v);
  int internal_evaluate(CombinedVariable* v, float* defuzzified);
  int evaluate_block(int b, CombinedVariable* v);
  int remembered_evaluation(int b, CombinedVariable* v, float* defuzzified);
  void report(const char* text);
  int premise_pass(const RuleBlock& block);
  void rule_pass(const RuleBlock& block, CombinedVariable* v);
  bool rule_strength(const Rule& rule, float* strength);

  FuzzyContext* context_ = nullptr;
  std::string rs_name_ = "empty_rule_set";
  std::unique_ptr<PSList> ps_list_;
  std::unique_ptr<CVList> cv_list_;
  std::unique_ptr<OperatorSet> operator_set_;
  // A block, and the same block when this set made it: writable while no
  // other set or memory shares it.
  struct BlockSlot {
    std::shared_ptr<const RuleBlock> block;
    RuleBlock* own = nullptr;
  };
  std::vector<BlockSlot> blocks_;

  // Block lookup by conclusion name, rebuilt after the blocks change: the
  // first block of each name before the first empty block.
  mutable std::unordered_map<std::string, int, NameHash, NameEqual> block_index_;
  mutable bool index_valid_ = false;
  mutable bool scan_open_ = true;  // no empty block met while indexing
  std::uint64_t block_generation_ = next_generation();
  std::uint64_t revision_ = next_generation();
  std::uint64_t layout_ = next_generation();

  // Evaluation state: blocks on the current evaluation path (to detect
  // cycles), whether a cycle was met, the value list every rule reuses, and
  // the terms whose clipped functions the rule pass builds at its end.
  std::vector<int> evaluating_;
  bool cycle_found_ = false;
  FList values_;
  std::vector<PlimFuzzySet*> shaped_;

  // With a memory: messages printed by evaluations so far (an evaluation
  // that printed is not remembered); a serial number per top-level
  // evaluation, and per block the serial in which its variable was last
  // settled (evaluated without a message), so that it is not evaluated again
  // within it. A rule writing into another variable than its block's voids
  // that for the rest of the evaluation.
  RuleEvaluationMemo* memo_ = nullptr;
  std::uint64_t reports_ = 0;
  std::uint64_t serial_ = 0;
  std::vector<std::uint64_t> settled_;
  bool foreign_write_ = false;
};
