// The evaluation context: every memory, cache and reusable buffer of the
// script engine and the fuzzy library, owned by the one that runs scripts
// (a domain) and handed to each run, and the switch that turns the caches
// off for checking.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
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

// How many statements one run may execute, and how many variables, fuzzy
// variables (parameter sets and rule blocks alike) and aggregated
// constraints it may hold.
struct TRunLimits {
  long statements = script_limits::kMaxStatements;
  std::size_t variables = script_limits::kMaxVariables;
  std::size_t fuzzy_entries = script_limits::kMaxFuzzyEntries;
  std::size_t constraints = script_limits::kMaxConstraints;
};

// interpret() takes the context, and a run lends its parts on: the run's
// rule set gets `fuzzy` (handed on to its variables, tarnrule_context.h),
// its store `formulas`, its tree `trees`; the statements reach the rest
// through the run. Trees handed out by interpret() keep a pointer to `trees`
// until freed, so the context must outlive them. One context serves one run
// at a time; contexts share nothing, so they may run in parallel threads.
//
// With caching off (set_caching(false)) no memory is read or written: no
// formula or index substitution, table or table entry, clipped or
// defuzzified function, fuzzification, rule-block or combination outcome,
// comparison, score text, variable or block found by a rule's
// term, per-word hint or memory of the script text, or export template of
// the domain is looked up or kept; the evaluation tree interns each result
// without looking for equal ones and generates its combination rules anew.
// What stays on: the script text's word list (a pure function of the
// text, and how it is read at all); lookup indexes that are part of their
// object's state (the store's and the variable list's name index, the rule
// set's block index); the tree's interned results (how it stores its
// results during one run); scratch buffers, which keep only their room.
// Switching drops every memory, so nothing gathered in one mode is used in
// the other.
class TEvalContext {
 public:
  TEvalContext();
  ~TEvalContext();
  TEvalContext(const TEvalContext&) = delete;
  TEvalContext& operator=(const TEvalContext&) = delete;

  // Settings of the runs, which the switch leaves alone (read_path.h): where
  // relative names of files the script reads are also looked for, and where
  // those written go and are read first; empty: the working folder.
  std::string input_folder;
  std::string output_folder;
  // How much one run may do and make before it stops with a limit message;
  // harnesses under instrumentation and tests lower the limits.
  TRunLimits limits;

  bool caching() const { return caching_; }
  void set_caching(bool enabled);

  // Where the runs, their trees and rule sets write: the script's printouts,
  // warnings and errors to `out`, the fuzzy library's messages to `err`.
  // Until set, both drop everything. A setting, like the folders.
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

  // How many variables the store of the last finished run held: room to
  // reserve in the next run's store, so that the script's variables move
  // nothing.
  std::size_t store_size = 0;

  // The files the runs opened for reading (rule tables, imported files), as
  // they were named when opened, relative ones to the working folder: a
  // caller can keep its own outputs from replacing them. Not a memory: the
  // switch leaves it. Bounded, since a script may name files without end.
  const std::set<std::string>& files_read() const { return files_read_; }
  void note_file_read(const std::string& path) {
    if (files_read_.size() < kMaxNotedFiles) files_read_.insert(path);
  }

  // Scratch, kept for its room only.
  std::string set_formula;
  std::string comparison_name;

 private:
  static constexpr std::size_t kMaxNotedFiles = 1000;
  std::set<std::string> files_read_;
  bool caching_ = true;
  std::ostream dropped_{nullptr};
  std::ostream* out_ = &dropped_;
  std::ostream* err_ = &dropped_;
  // The streams set, while muted.
  std::ostream* given_out_ = &dropped_;
  std::ostream* given_err_ = &dropped_;
  void use_output(std::ostream& out, std::ostream& err);
};
