// Evaluation tree of a script run: a head that carries the overall rating and
// one entry per branch (a kind of constraint). Every aggregated constraint is
// recorded in its branch's score list, and the fuzzy results are folded into
// the branch and the head by the rule set's combination rules.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "evaltree_constraint.h"
#include "evaltree_memo.h"
#include "expint.h"
#include "tarnrule.h"

// Writes `text` to the named file, created or replaced with the permission
// bits rw-rw-r-- whatever the process's file mode mask. False when the file
// cannot be opened or written.
bool write_text_file(const std::string& file_name, std::string_view text);

class TRuleTable;

// What trees leave for the trees after them, owned by an evaluation context
// (inter_context.h) and lent to the trees its runs build: each run builds
// its tree and rule set anew, mostly alike, so remembered outcomes (checked
// against the rule set's contents) and the score storage serve the next. A
// tree owns what it took while it lives. Without `caching` or a memory, a
// tree takes and leaves nothing and combines through the rules every time.
struct TTreeMemory {
  bool caching = true;
  // Where the trees' messages go (null: nowhere): printouts and warnings to
  // `out`, warnings of the fuzzy library to `err`.
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  // The combination memory and the score storage of the last finished tree.
  TCombinationMemo memo;
  std::vector<TTreeScore> scores;
  std::string score_text;
  // The combination rules one table entry gave: the table (held, so that
  // its address identifies the words while kept) and the parameter set's
  // name, and the generated blocks in the order their first rules came.
  std::shared_ptr<const TRuleTable> help_table;
  std::string help_set_name;
  std::unique_ptr<RuleSet> help_rules;
};

// The tree outlives the script run that built it, the run's rule set does
// not: the tree holds a weak link to the rule set and its own copy of its
// parameter set, so after the run the constraint list, the tree file, the
// score and the name stay available but nothing combines.
class TEvalTree {
 public:
  // An empty tree named "empty" without entries.
  TEvalTree();
  // A head named `n` and one branch per variable of `bl` (the branch name is
  // the variable's name, its formula "AND" joins it through the and-rules,
  // anything else through the or-rules); an empty `bl` gives one branch with
  // an empty name, a null `bl` none. `memory` (outliving the tree): what the
  // trees before left, and where this one leaves what it has (null: none).
  TEvalTree(std::string_view n, const ParameterSet* ps, const std::shared_ptr<RuleSet>& rs,
            const TVarlist* bl, TTreeMemory* memory = nullptr);
  TEvalTree(const TEvalTree&) = delete;
  TEvalTree& operator=(const TEvalTree&) = delete;
  ~TEvalTree();

  RuleSet* get_rule_set() const { return live_rules(); }  // null once it is gone
  const char* get_name() const { return entries_.front().name.c_str(); }
  std::string_view name_view() const { return entries_.front().name; }
  // Where the store last found the tree's variable (fresh without caching).
  TVarlist::THint& variable_hint() {
    if (!caching()) variable_hint_ = {};
    return variable_hint_;
  }
  // The crisp value of the head's result; -1 when the tree has none.
  float get_score() const {
    const TEntry& head = entries_.front();
    return head.result != nullptr ? head.result->get_crisp_value() : -1.0f;
  }

  // Creates the combination variables in the rule set and their rules from
  // the CONCAT entry of table `words` (null: none named) that names the
  // tree's parameter set three times; table errors are printed, no more.
  void insert_help_rules(std::shared_ptr<const TRuleTable> words);
  // Records the constraint `cv` at `place` in `branch` (a default branch is
  // made, with a warning, for an unknown name) and folds the results into the
  // branch and the head. False when a result could not be combined for want
  // of the combination variables or rules; it is then kept as it was.
  bool insert(const CombinedVariable* cv, std::string_view branch, std::string_view place,
              std::string_view oper);
  // The tree file: every entry with its crisp value and its score list.
  // Nothing is written for an empty tree.
  void write(const std::string& file) const;
  // The number of constraints aggregated so far.
  std::size_t constraint_count() const { return scores_.size(); }
  // One element per aggregated constraint, grouped by branch in branch order.
  ConstraintEvaluations GetConstraintList() const;
  // The same sorted by rating, in exactly the order std::sort leaves that
  // list in, equal ratings included, into `rated`. The tree's scores go with
  // them: the tree is left without scores, and `rated` gives its room to the
  // tree's for the next tree.
  void TakeSortedConstraints(TRatedConstraints& rated);
  // Releases the tree's contents and hands its memories back to the context:
  // the tree is then the empty tree the default constructor makes.
  void clean_up();

 private:
  struct TEntry {
    std::string name;
    std::unique_ptr<CombinedVariable> result;
    // The branch's aggregated constraints: how many, and the first and last
    // of their chain in scores_ (-1: none).
    std::uint32_t scores = 0;
    std::int32_t first_score = -1;
    std::int32_t last_score = -1;
    int output = 1;     // the output that joins the branch to the head: 0 and, 1 or
    bool comp = false;  // once `result` holds a value
    // The interned contents of `result` (-1: not interned yet); while
    // `stale`, `result` holds only their crisp value.
    int state = -1;
    bool stale = false;
    // The head's last fold step through this branch (state going in, the
    // branch's, outcome) while the memory's epoch is fold_epoch_.
    int fold_first = -1;
    int fold_second = -1;
    int fold_outcome = -1;
  };

  // The combination variables in the order of held_.
  enum TCombinationVariable { kFirstInput, kSecondInput, kAndOutput, kOrOutput };

  // The combination variables and which outputs have rules, as last looked
  // up: valid while the rule set keeps its revision and its variable list
  // its generation (neither is ever reused).
  struct TLookup {
    std::uint64_t revision = 0;
    std::uint64_t generation = 0;
    TCombinationVariables vars;
    bool output_ruled[2] = {false, false};
    // Whether outcomes may be remembered, as the last aggregation found, and
    // the outputs' parameter and term stamps then: while the lookup holds and
    // the outputs keep them, nothing the memory checks has changed.
    bool memo_known = false;
    bool memo = false;
    std::array<std::uint64_t, 4> output_stamps{};
  };

  TEntry& add_branch(std::string_view name, concat_operator c_op);
  TEntry* find_branch(std::string_view name);
  TLookup& look_up(RuleSet* rs);
  const TLookup& begin_pass(RuleSet* rs);
  void end_pass(const TLookup& pass);
  void write_held();
  // The id of cv's contents in the tree's memory: interned, or without
  // caching stored anew.
  int contents_id(const CombinedVariable& cv);
  int state_of(TEntry& entry);
  void set_state(TEntry& entry, int state);
  bool combine(const TLookup& pass, int first, int second, int output, TEntry& target);
  bool fold_head(const TLookup& pass);
  std::size_t fold_remembered(const TLookup& pass, bool& combined);
  bool fold_settled(TEntry& changed);
  // A fold: the number of entries (no entry moved since while it is the
  // same), the head's state going in, its last step and each output's.
  struct TFold {
    std::size_t count = 0;
    int state = -1;
    const TEntry* last = nullptr;
    const TEntry* last_of_output[2] = {nullptr, nullptr};
  };
  void hold_fold(const TFold& fold);
  // The branches' fold steps hold only within the epoch they were found in.
  void forget_fold_steps_of_past_epochs();

  using TScore = TTreeScore;

  // A score's texts are appended to score_text_, cleared only with the scores.
  std::string_view score_name(const TScore& score) const {
    return {score_text_.data() + score.text_at, score.name_size};
  }
  std::string_view score_place(const TScore& score) const {
    return {score_text_.data() + score.text_at + score.name_size, score.place_size};
  }
  void record_score(TEntry& entry, std::string_view name, std::string_view place, float value);
  // Calls visit(score) for every score the constraint list holds, in the
  // list's order.
  template <class Visit>
  void visit_listed(Visit&& visit) const;
  void write_scores(std::ostream& out, const TEntry& entry) const;

  bool caching() const { return memory_ != nullptr && memory_->caching; }
  // The streams of the memory (null without one).
  std::ostream* message_output() const { return memory_ != nullptr ? memory_->out : nullptr; }
  std::ostream* message_errors() const { return memory_ != nullptr ? memory_->err : nullptr; }

  TTreeMemory* memory_ = nullptr;
  std::vector<TEntry> entries_;  // the head first, then the branches in order
  std::size_t last_branch_ = 0;  // the branch found last (0: none)
  std::vector<TScore> scores_;   // in the order of aggregation
  std::string score_text_;
  unsigned int entries = 0;  // head included; 0 for an empty tree
  // The rule set and its address: checking the link on every aggregation
  // costs less than locking it (two atomic operations).
  std::weak_ptr<RuleSet> rules;
  RuleSet* rules_at_ = nullptr;
  RuleSet* live_rules() const { return rules.expired() ? nullptr : rules_at_; }
  std::unique_ptr<ParameterSet> paras;
  bool results_warn_ = false;  // making a result from `paras` prints warnings
  TLookup lookup_;
  const TLookup no_pass_{};  // the pass without a rule set: nothing combines
  TCombinationMemo memo_;
  std::uint64_t fold_epoch_ = 0;
  // The last fold if all its steps were remembered and ruled and it ended
  // where it started (count 0: not so, or no longer valid).
  TFold settled_;
  // Per combination variable of lookup_, within one aggregation: the
  // interned contents it is to hold, or -1 when it holds what it should.
  int held_[4] = {-1, -1, -1, -1};
  TVarlist::THint variable_hint_;
};
