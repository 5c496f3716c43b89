// The fuzzy library's evaluation context: the pool of known fuzzifications
// and the scratch polylines that fuzzification and defuzzification keep from
// one call to the next, and the switch that turns the memories off.
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "tarncvar.h"

// A rule set made with a context (RuleSet(FuzzyContext*)) passes it to its
// variable list, which gives it to every variable it takes in
// (PlimList::set_context); copies of a list keep the context of what they
// copy. Operations on a variable use the variable's context; inference and
// the weighted operators' fuzzy-set forms take it as an argument for their
// messages, since a term does not know its list.
//
// Without a context (null) nothing is pooled and scratch polylines are made
// per call; what a list remembers of its own fuzzifications, and a rule
// set's terms of the variables and blocks they found, still work. A context
// must outlive every list that was given it.
//
// Messages (warnings and errors of reading, fuzzifying and evaluating) go
// to `err`, printouts to `out`: the streams the owner hands in, until then
// streams that drop everything. Operations without a context report to the
// error stream they are given (null: none).
//
// With `caching` off no memory is read or written: neither the pool nor the
// fuzzifications a list remembers (each is computed in full and gives the
// terms a new stamp) nor the variables and blocks a rule set's terms found.
// The scratch polylines, which keep only their room, stay.
struct FuzzyContext {
  FuzzyContext() = default;
  FuzzyContext(const FuzzyContext&) = delete;
  FuzzyContext& operator=(const FuzzyContext&) = delete;

  bool caching = true;
  // Where the operations that use this context write (never null).
  std::ostream* out = &dropped_;
  std::ostream* err = &dropped_;
  // Known fuzzifications of lists that are gone, for the next list of the
  // same shape (each script run makes its variables anew).
  std::vector<std::unique_ptr<PlimList::KnownValues>> known_values;
  // Scratch: the cover of a defuzzification, and the working polylines of
  // one merge of a term into a cover.
  PList cover;
  PList merge_term;
  PList merge_union;
  PList merge_crossings;

  // Whether memories may be used through `context` (null: no).
  static bool caches(const FuzzyContext* context) { return context != nullptr && context->caching; }
  // The error stream of `context` (null: none, nothing to report to).
  static std::ostream* errors(const FuzzyContext* context) {
    return context != nullptr ? context->err : nullptr;
  }

 private:
  // A stream without a buffer: whatever is written to it goes nowhere.
  std::ostream dropped_{nullptr};
};
