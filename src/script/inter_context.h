// The evaluation context: every memory, cache and reusable buffer of the
// script engine and the fuzzy library, owned by the one that runs scripts
// (a domain) and handed to each run, and the switch that turns the caches
// off for checking.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "evaltree.h"
#include "evaltree_memo.h"
#include "expint.h"
#include "inter_fuzzy_table.h"
#include "inter_state.h"
#include "tarnrule_context.h"
#include "tarnrule_memo.h"

struct TScriptWords;
class TControlList;

// How the parts reach what they use. interpret() takes the context. A run
// lends its parts on: the run's rule set is made with `fuzzy` (and the rule
// set hands it to its variables, see tarnrule_context.h), the run's store
// gets `formulas` (TVarlist::set_formula_memory), the tree a run builds
// gets `trees`, and the statements reach the rest through the run. Trees
// handed out by interpret() keep a pointer to `trees` until they are freed,
// so the context must outlive them; nothing else keeps a pointer past the
// run. One context serves one run at a time; contexts share nothing, so
// runs of different contexts may go on in parallel threads.
//
// With caching off (set_caching(false)) no memory is read or written: no
// formula, table or table entry, clipped or defuzzified function,
// fuzzification, EVAL, rule-block or combination outcome, comparison, score text,
// variable or block found by a rule's term, per-word hint or memory of the
// script text, or export template of the domain is looked up or kept; the
// evaluation tree interns each result without looking for equal ones, and
// its combination rules are generated anew from the table.
// What stays on:
// - the script text's word list (where words start and end, the statement
//   each starts, comments and declarations): a pure function of the text,
//   and the way the text is read at all;
// - lookup indexes that are part of their object's state and are rebuilt
//   with it: the store's name index, the variable list's name index, the
//   rule set's block index;
// - the evaluation tree's interned results: they are how a tree stores its
//   results during one run, not a memory across lookups or runs;
// - scratch buffers, which keep only their room from one use to the next.
// Switching drops every memory, so nothing gathered in one mode is used in
// the other.
class TEvalContext {
 public:
  TEvalContext();
  ~TEvalContext();
  TEvalContext(const TEvalContext&) = delete;
  TEvalContext& operator=(const TEvalContext&) = delete;

  // Where relative names of files the script reads are also looked for
  // (read_path.h); empty: the working folder only. A setting of the runs,
  // not a memory: the switch leaves it alone.
  std::string input_folder;
  // Where relative names of files the script and the domain write go, and
  // where they are read first (read_path.h); empty: the working folder. A
  // setting like the input folder.
  std::string output_folder;
  // How many statements one run may execute before it stops with the limit
  // message. Harnesses that run many scripts under instrumentation lower
  // it, so that an endless script ends quickly there as well.
  long statement_limit = script_limits::kMaxStatements;

  bool caching() const { return caching_; }
  void set_caching(bool enabled);

  // Where the runs write: the script's printouts, warnings and errors to
  // `out`, the fuzzy library's messages to `err`. Until set, both are a
  // stream that drops everything. The trees and rule sets of the runs write
  // to the same streams. A setting, not a memory: the switch leaves it.
  void set_output(std::ostream& out, std::ostream& err);
  std::ostream& out() const { return *out_; }
  std::ostream& err() const { return *err_; }
  // Drops everything written until restore_output() gives the streams set
  // back: a run that divided by zero writes nothing more.
  void mute_output();
  void restore_output();

  // Declared first, so that it goes last: variables destroyed with the
  // parts below still hand their known values back to it.
  FuzzyContext fuzzy;
  // The context of the rule sets a script makes anew in the middle of a
  // run (DELETE RULESET, IMPORT RULESET): it lends them no memory (its
  // caching stays off) and only passes on the streams.
  FuzzyContext unshared_fuzzy;
  TFormulaMemory formulas;
  TRuleTableCache tables;
  TTreeMemory trees;
  // What EVAL remembered, taken over by each run and left to the next.
  TEvaluationMemo evaluations;
  // Outcomes of rule blocks by what they read; every rule set of a run
  // evaluates through it while the context caches.
  RuleEvaluationMemo rule_evaluations;
  // The word list of the script text read last: the optimizer runs one
  // script again and again.
  std::shared_ptr<TScriptWords> words;
  // The control list a finished run leaves, emptied: its queues keep their
  // room.
  std::unique_ptr<TControlList> spare_controls;
  // The texts of recent scores, by a few bits of the score's bits.
  struct TScoreText {
    std::uint32_t bits = 0;
    bool used = false;
    std::string text;
  };
  std::array<TScoreText, 256> score_texts;

  // How many variables the store of the last finished run held: whoever
  // fills the next run's store reserves room for as many, so that the
  // variables the script adds move nothing. Room only, like the scratch below.
  std::size_t store_size = 0;

  // Scratch, kept for its room only.
  std::string set_formula;
  std::string comparison_name;

 private:
  bool caching_ = true;
  std::ostream dropped_{nullptr};
  std::ostream* out_ = &dropped_;
  std::ostream* err_ = &dropped_;
  // The streams set, while muted.
  std::ostream* given_out_ = &dropped_;
  std::ostream* given_err_ = &dropped_;
  void use_output(std::ostream& out, std::ostream& err);
};
