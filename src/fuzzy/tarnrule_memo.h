// The memory of rule evaluations: what evaluating a rule block gave, kept by
// exactly what the evaluation reads, so that an evaluation whose inputs did
// not change is taken from it instead of computed again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tarnrule.h"

// A map from 64-bit keys to non-negative ids, in one array probed linearly
// from the key's mixed bits: the memories look keys up at every
// evaluation, and the node-based standard maps cost a cache miss each.
class TIdIndex {
 public:
  // The id stored for the key, or -1.
  int find(std::uint64_t key) const {
    if (slots_.empty()) return -1;
    const std::size_t mask = slots_.size() - 1;
    const TSlot* slots = slots_.data();
    for (std::size_t i = slot_of(key);; i = (i + 1) & mask) {
      const TSlot& slot = slots[i];
      if (slot.id < 0 || slot.key == key) return slot.id;
    }
  }
  // Stores or replaces the id of the key.
  void put(std::uint64_t key, int id);
  void clear();
  std::size_t size() const { return used_; }

 private:
  struct TSlot {
    std::uint64_t key = 0;
    int id = -1;  // -1: empty
  };
  std::size_t slot_of(std::uint64_t key) const {
    // Multiplying spreads keys that differ only in a few bits over the table.
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
  }
  void grow();

  std::vector<TSlot> slots_;
  std::size_t used_ = 0;
};

// Evaluating a variable from its rules reads the rules of its block and,
// recursively, of the blocks concluding on its premises (the block's
// dependencies), the operator set, the importance and terms of every
// variable on the way, and the match values of the input variables (those
// without rules). It writes the match values and clipped functions of the
// evaluated variable and of every intermediate variable on the way, and
// their crisp values (-1, the evaluated one defuzzified at the top).
//
// A key holds all of that by value: rule blocks, term shapes, input values
// and operators are interned (equal contents, compared bit for bit, get one
// id; the stamps that blocks, term lists and operator sets carry find
// contents seen before without comparing, since equal stamps vouch for equal
// contents). A key thus never depends on which
// objects hold the contents, and what one script run remembered serves the
// next, with a rule set built anew.
//
// Only evaluations that print nothing are remembered: what a key describes
// always evaluates the same way, so a hit prints nothing either.
class RuleEvaluationMemo {
 public:
  RuleEvaluationMemo();
  ~RuleEvaluationMemo();
  RuleEvaluationMemo(const RuleEvaluationMemo&) = delete;
  RuleEvaluationMemo& operator=(const RuleEvaluationMemo&) = delete;

  // Forgets everything remembered.
  void clear();
  // Number of evaluations taken from the memory since the last clear().
  std::uint64_t hits() const { return hits_; }

  // ------------------------------------------------- used by RuleSet only

  struct Plan;
  struct Outcome;
  // One evaluation of a block: the plan it follows, its key and, on a hit,
  // the outcome.
  // Keys are built on every evaluation and mostly found: they live in place,
  // and plans needing longer keys are not remembered.
  static constexpr std::size_t kMaxKeyWords = 128;
  struct Probe {
    Plan* plan = nullptr;
    std::array<std::uint32_t, kMaxKeyWords> key;
    std::size_t key_size = 0;
    std::uint64_t hash = 0;
    std::uint64_t epoch = 0;  // of the interned ids the key holds
    Outcome* outcome = nullptr;
  };
  // Looks up the evaluation of block b (concluding on v) of the rule set as
  // it is now. False when it cannot be remembered (cycles, variables
  // missing, operators that may print, a rule writing into another
  // variable); otherwise probe.outcome tells whether it was found.
  bool probe(const RuleSet& rules, int b, const CombinedVariable& v, Probe& probe);
  // Writes a found outcome into the variables of the plan: every block's
  // variable gets its match values, clipped functions and crisp value -1.
  void apply(const Probe& probe);
  // The block indices the plan of a probe evaluates, the probed one last.
  const std::vector<int>& blocks_of(const Probe& probe) const;
  // The defuzzified value of the outcome found, computed from the probed
  // variable (written by apply) when the outcome has none yet.
  float defuzzified(const Probe& probe, CombinedVariable& v, const OperatorSet* ops);
  // Keeps what the variables of the plan hold now as the outcome of the
  // probe's key; `defuzzified` is the top variable's value, when known.
  void remember(const Probe& probe, const float* defuzzified);

 private:
  struct Interner {
    std::unordered_map<std::string, std::uint32_t> ids;
    TIdIndex by_stamp;
    std::uint32_t intern(const std::string& content);
    // The id of what `describe` writes into `scratch` for an object of that
    // stamp; equal stamps mean equal contents, so each stamp is described once.
    template <class Describe>
    std::uint32_t id_by_stamp(std::uint64_t stamp, std::string& scratch, Describe describe) {
      if (const int found = by_stamp.find(stamp); found >= 0)
        return static_cast<std::uint32_t>(found);
      scratch.clear();
      describe(scratch);
      const std::uint32_t id = intern(scratch);
      by_stamp.put(stamp, static_cast<int>(id));
      return id;
    }
  };

  Plan* plan_of(const RuleSet& rules, int b, const CombinedVariable& v);
  // Whether nothing changed since the plan was made or last held: the
  // same rule set with the same counters.
  bool unchanged(const Plan& plan, const RuleSet& rules) const;
  bool plan_holds(Plan& plan, const RuleSet& rules) const;
  static void note_rule_set(Plan& plan, const RuleSet& rules, const CombinedVariable& v);
  bool carry_plan(Plan& plan, const RuleSet& rules, int b, const CombinedVariable& v) const;
  void build_plan(Plan& plan, const RuleSet& rules, int b, const CombinedVariable& v);
  std::uint32_t block_id(const RuleBlock& block);
  std::uint32_t shape_id(const CombinedVariable& cv);
  std::uint32_t input_id(const CombinedVariable& cv);
  std::uint32_t operators_id(const OperatorSet& ops);
  void forget_outcomes();
  // Starts the interned ids afresh when they grow too many; keys made
  // before (of an older epoch) are then never remembered.
  void bound_ids();

  std::uint64_t hits_ = 0;
  // Plans by the index of the block they evaluate, of the rule set they were
  // last used with (see carry_plan).
  std::vector<std::vector<std::unique_ptr<Plan>>> plans_;
  Interner blocks_;
  Interner shapes_;
  Interner inputs_;
  Interner signatures_;
  Interner operators_;
  // The outcomes, and the last of each key hash (an outcome links to the
  // one before it of the same hash).
  std::vector<std::unique_ptr<Outcome>> outcomes_;
  TIdIndex outcome_ids_;
  std::uint64_t epoch_ = 0;
  std::string scratch_;
};
