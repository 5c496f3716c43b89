// What combining two fuzzy results gave, remembered within one evaluation
// tree, where every aggregation folds the overall result again with every
// branch. Contents of fuzzy variables are interned (equal contents share an
// id); a combination is remembered by its output and its inputs' ids, with
// the rule-set state it was computed in, compared by content: every run
// builds its rule set anew alike, so one memory serves run after run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tarnrule.h"
#include "tarnrule_memo.h"

// The rule-set variables a combination works with.
struct TCombinationVariables {
  RuleSet* rules = nullptr;
  CombinedVariable* in1 = nullptr;
  CombinedVariable* in2 = nullptr;
  CombinedVariable* out[2] = {nullptr, nullptr};  // the AND and the OR output
};

// The parts of a variable that an evaluation reads from its output: the
// parameters and the terms (names, supports, membership functions), not the
// match values.
class TVariableShape {
 public:
  void take(const CombinedVariable& cv);
  // Compared by content once per pair of parameter and shape stamps: a
  // variable carrying the stamps of one found equal before is equal too.
  bool same_as(const CombinedVariable& cv) const;

 private:
  ParameterSetBase parameters_;
  std::unique_ptr<CombinedVariable> terms_;
  struct TStamps {
    std::uint64_t parameters = 0;  // 0: unused (stamps start at 1)
    std::uint64_t shape = 0;
  };
  mutable std::array<TStamps, 4> equal_;
  mutable std::size_t next_equal_ = 0;
};

class TCombinationMemo {
 public:
  // The id of cv's contents: parameters, terms and crisp value (the name is
  // not part of it); equal contents give the same id.
  int intern(const CombinedVariable& cv);
  // A new id for cv's contents, without looking for equal ones: for a tree
  // that remembers nothing.
  int store(const CombinedVariable& cv);
  // The contents of an id, as a variable (its name is meaningless).
  const CombinedVariable& content(int id) const { return *contents_[static_cast<std::size_t>(id)]; }
  // The same, shared: contents never change once interned.
  const std::shared_ptr<const CombinedVariable>& shared_content(int id) const {
    return contents_[static_cast<std::size_t>(id)];
  }
  std::size_t size() const { return contents_.size(); }
  // Forgets every content and outcome; ids handed out before are void.
  void clear();

  // Compares the state of the rule set with the one the remembered outcomes
  // were computed in, and forgets them when it differs. True when outcomes
  // may be remembered and used: the operators cannot print messages, and the
  // two output blocks read only the two inputs, which no block concludes on.
  bool usable(const TCombinationVariables& vars);
  // Whether an evaluation of output `output` from the inputs as they are now
  // in the rule set runs without any message: both inputs were fuzzified and
  // every term the rules name exists. Only while usable() holds.
  bool runs_quietly(const TCombinationVariables& vars, int output) const;

  // The remembered outcome of combining `first` and `second` into `output`,
  // -1 for none.
  int outcome(int output, int first, int second) const {
    return outcomes_.find(outcome_key(output, first, second));
  }
  void remember(int output, int first, int second, int outcome);
  // Moves whenever remembered outcomes are forgotten or ids become void: an
  // outcome found while it keeps its value holds for as long as it does.
  std::uint64_t epoch() const { return epoch_; }

 private:
  // The terms a rule of an output block names: (input 0 or 1, term) for
  // each premise, and the output's term.
  struct TRuleTerms {
    std::vector<std::pair<int, std::string>> premises;
    std::string conclusion;
  };
  struct TEnvironment {
    const RuleSet* rules = nullptr;
    std::uint64_t revision = 0;
    std::uint64_t variables = 0;
    OperatorSet operators;
    std::array<const CombinedVariable*, 4> vars{};
    TVariableShape shapes[2];
    std::vector<TRuleTerms> rules_of[2];
    // The outputs' blocks (none without one); whether one concluded on an input.
    std::optional<RuleBlock> blocks[2];
    bool inputs_concluded = false;
    bool usable = false;
  };

  static std::uint64_t outcome_key(int output, int first, int second) {
    return (static_cast<std::uint64_t>(output) << 62) |
           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 31) |
           static_cast<std::uint32_t>(second);
  }
  static bool note_rules(const TCombinationVariables& vars, int output,
                         std::vector<TRuleTerms>& terms);
  // Whether a block of the rule set concludes on either input.
  static bool inputs_concluded(const TCombinationVariables& vars);
  bool same_environment(const TCombinationVariables& vars) const;
  bool same_settings(const TCombinationVariables& vars) const;
  bool same_environment_content(const TCombinationVariables& vars) const;
  void follow_environment(const TCombinationVariables& vars);
  void take_environment(const TCombinationVariables& vars);

  // The id of cv's contents when its terms' stamp was interned before with
  // cv's parameters and crisp value; -1 otherwise.
  int find_stamped(const CombinedVariable& cv) const;
  int add_content(const CombinedVariable& cv, std::uint64_t hash, int newest);
  void note_stamp(const CombinedVariable& cv, int id);

  std::vector<std::shared_ptr<const CombinedVariable>> contents_;
  // Ids by the stamp of the terms interned with them: then only the
  // parameters and the crisp value remain to be compared. A variable that
  // takes a remembered outcome of EVAL takes its stamp too.
  TIdIndex by_stamp_;
  // Contents by hash: the newest id of each hash, and per id the next older
  // id of the same hash (-1 ends the chain).
  TIdIndex newest_by_hash_;
  std::vector<int> older_same_hash_;
  TIdIndex outcomes_;
  std::uint64_t epoch_ = 0;
  std::unique_ptr<TEnvironment> environment_;  // null until the first use
};
