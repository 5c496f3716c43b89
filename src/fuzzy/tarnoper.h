// Fuzzy operators: the operator enumerations and their word forms, the
// operator set of a rule set, t-norms, t-conorms, compensatory operators,
// defuzzification, the functions that apply an operator set, and the
// term-by-term combination of two variables.
#pragma once

#include <istream>
#include <ostream>

#include "tarncvar.h"

enum fuzzy_operator : int {
  minimum,
  maximum,
  fuzzy_and,
  fuzzy_or,
  ass_comp_and,
  ass_comp_or,
  product,
  sum,
  no_fop
};

enum defuzzification_operator : int { cog, fimax, mom, no_dfop };

enum concat_operator : int { c_and, c_or, AND, OR, no_cop };

// Word forms: values outside an enumeration read "no_fop", "no_dfop", "no_cop".
const char* fuzzy_operator_text(fuzzy_operator op);
const char* defuzzification_operator_text(defuzzification_operator op);
const char* concat_operator_text(concat_operator op);

class FuzzyOperator {
 public:
  constexpr FuzzyOperator() = default;
  constexpr explicit FuzzyOperator(fuzzy_operator op) : oper_(op) {}
  void set_oper(fuzzy_operator op) { oper_ = op; }
  fuzzy_operator get_oper() const { return oper_; }
  void show(std::ostream& out) const { write(out); }
  void write(std::ostream& out) const;
  // Any word other than the nine operator texts reads as no_fop.
  bool read(std::istream& in);

 private:
  fuzzy_operator oper_ = no_fop;
};

class DeFuzzyOperator {
 public:
  constexpr DeFuzzyOperator() = default;
  constexpr explicit DeFuzzyOperator(defuzzification_operator op) : oper_(op) {}
  void set_oper(defuzzification_operator op) { oper_ = op; }
  defuzzification_operator get_oper() const { return oper_; }
  void show(std::ostream& out) const { write(out); }
  void write(std::ostream& out) const;
  // "cog", "fimax", "mom"; any other word reads as no_dfop.
  bool read(std::istream& in);

 private:
  defuzzification_operator oper_ = no_dfop;
};

class ConcatOperator {
 public:
  ConcatOperator() = default;
  explicit ConcatOperator(concat_operator op) : oper_(op) {}
  void set_oper(concat_operator op) { oper_ = op; }
  concat_operator get_oper() const { return oper_; }
  // 1 when both hold the same value, else 0 (also for a null operand).
  static int compare(const ConcatOperator* a, const ConcatOperator* b);
  void show(std::ostream& out) const { write(out); }
  void write(std::ostream& out) const;
  // "AND"/"c_and" read as AND, "OR"/"c_or" as OR, anything else as no_cop.
  bool read(std::istream& in);

 private:
  concat_operator oper_ = no_cop;
};

// The operators a rule set computes with. The accumulate operator and the
// accuracy are kept and written but not used: the terms of an output are
// always united by their pointwise maximum.
class OperatorSet {
 public:
  void set_importance_operator(fuzzy_operator op) { set(importance_operator_, op); }
  void set_and_operator(fuzzy_operator op) { set(and_operator_, op); }
  void set_or_operator(fuzzy_operator op) { set(or_operator_, op); }
  void set_certainty_operator(fuzzy_operator op) { set(certainty_operator_, op); }
  void set_inference_operator(fuzzy_operator op) { set(inference_operator_, op); }
  void set_accumulate_operator(fuzzy_operator op) { set(accumulate_operator_, op); }
  void set_defuzzy_operator(defuzzification_operator op) { set(defuzzy_operator_, op); }
  void set_gamma(float gamma) { set(gamma_, gamma); }
  void set_accuracy(int accuracy) { set(accuracy_, accuracy); }
  // Changes with every setter and read; never reused, also across sets
  // (copies take the revision of what they copy). A rule set's revision
  // includes its operator set's, however the set was reached.
  std::uint64_t get_revision() const { return revision_; }

  fuzzy_operator get_importance_operator() const { return importance_operator_.get_oper(); }
  fuzzy_operator get_and_operator() const { return and_operator_.get_oper(); }
  fuzzy_operator get_or_operator() const { return or_operator_.get_oper(); }
  fuzzy_operator get_certainty_operator() const { return certainty_operator_.get_oper(); }
  fuzzy_operator get_inference_operator() const { return inference_operator_.get_oper(); }
  fuzzy_operator get_accumulate_operator() const { return accumulate_operator_.get_oper(); }
  defuzzification_operator get_defuzzy_operator() const { return defuzzy_operator_.get_oper(); }
  float get_gamma() const { return gamma_; }
  int get_accuracy() const { return accuracy_; }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);

 private:
  FuzzyOperator importance_operator_{no_fop};
  FuzzyOperator and_operator_{minimum};
  FuzzyOperator or_operator_{maximum};
  FuzzyOperator certainty_operator_{minimum};
  FuzzyOperator inference_operator_{minimum};
  FuzzyOperator accumulate_operator_{minimum};
  DeFuzzyOperator defuzzy_operator_{cog};
  float gamma_ = 1.0f;
  int accuracy_ = 10;
  std::uint64_t revision_ = next_generation();

  void changed() { revision_ = next_generation(); }
  // Every setter moves the revision with the value it sets.
  template <class TField, class TValue>
  void set(TField& field, TValue value) {
    changed();
    field = TField(value);
  }
};

// Each operator comes in three forms: on two degrees; on a list of degrees;
// and on a degree and a fuzzy set, where the result becomes the set's match
// value and its instantiated function is rebuilt.
class TNorm {
 public:
  static float min(float a, float b);
  static float min(const FList* values);  // 1 for an empty list
  static void min(float x, PlimFuzzySet* set);
  static float prod(float a, float b);
  static float prod(const FList* values);
  static void prod(float x, PlimFuzzySet* set);
};

class TCoNorm {
 public:
  static float max(float a, float b);
  static float max(const FList* values);  // 0 for an empty list
  static void max(float x, PlimFuzzySet* set);
  static float addition(float a, float b);  // limited to 1
  static float addition(const FList* values);
  static void addition(float x, PlimFuzzySet* set);
};

// Compensatory operators. The associative ones return atan values unscaled
// (up to pi/2) and -1 for operands outside [0, 1]; the weighted ones report a
// gamma outside [0, 1] (to `err`, the set form to the context's error stream)
// and return -1, the set form leaving the set unchanged.
class CompOp {
 public:
  static float ass_comp_and(float a, float b);
  static float ass_comp_and(const FList* values);
  static void ass_comp_and(float x, PlimFuzzySet* set);
  static float ass_comp_or(float a, float b);
  static float ass_comp_or(const FList* values);
  static void ass_comp_or(float x, PlimFuzzySet* set);
  static float fuzzy_and(float a, float b, float gamma, std::ostream* err = nullptr);
  static float fuzzy_and(const FList* values, float gamma, std::ostream* err = nullptr);
  static void fuzzy_and(float x, PlimFuzzySet* set, float gamma, FuzzyContext* context = nullptr);
  static float fuzzy_or(float a, float b, float gamma, std::ostream* err = nullptr);
  static float fuzzy_or(const FList* values, float gamma, std::ostream* err = nullptr);
  static void fuzzy_or(float x, PlimFuzzySet* set, float gamma, FuzzyContext* context = nullptr);
};

// Defuzzification of a variable whose terms carry instantiated functions;
// -1 marks "no value" (no terms, empty cover).
class DefOp {
 public:
  static float cog(const CombinedVariable* cv);
  static float first_max(const CombinedVariable* cv);
  static float mom(const CombinedVariable* cv);
  // Centre of the area under a polyline with endpoint-weighted moments.
  static float integrate(const PList* p);
};

// The functions below take the operator set to apply; a null set means the
// default operator set. Operators that report (a gamma out of range) report
// to `err` (null: nowhere).
float join_mv_with_importance(float mv, float importance, const OperatorSet* s,
                              std::ostream* err = nullptr);
float certify(float a, float b, const OperatorSet* s, std::ostream* err = nullptr);
float aggregate(const FList* values, concat_operator op, const OperatorSet* s,
                std::ostream* err = nullptr);
void inference(float a, PlimFuzzySet* set, const OperatorSet* s, FuzzyContext* context = nullptr);
// The match value inference(a, set, s) gives a set whose match value is mv,
// in result, when the inference operator's set form changes nothing else
// (minimum, maximum, product, sum); false for the other operators.
bool inferred_match_value(float a, float mv, const OperatorSet* s, float* result);
float accumulate(CombinedVariable* cv, const OperatorSet* s);

// Combines the terms of cv1 and cv2 into result (1), or reports on `err`
// why it cannot (-1). Defuzzification is a separate accumulate().
int calculate(CombinedVariable* result, const CombinedVariable* cv1, const CombinedVariable* cv2,
              concat_operator op, const OperatorSet* s, std::ostream* err = nullptr);
