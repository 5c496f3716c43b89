// Fuzzy operators: word forms, the operator set, the operator families in
// their two-value, list and fuzzy-set forms, defuzzification and the
// functions that apply an operator set.
#include "tarnoper.h"

#include <array>
#include <cmath>
#include <numbers>
#include <ostream>
#include <string>

#include "tarnrule_context.h"

namespace {

constexpr std::array<const char*, 9> kFuzzyOperatorTexts = {
    "minimum",     "maximum", "fuzzy_and", "fuzzy_or", "ass_comp_and",
    "ass_comp_or", "product", "sum",       "no_fop"};
constexpr std::array<const char*, 4> kDefuzzificationTexts = {"cog", "fimax", "mom", "no_dfop"};
constexpr std::array<const char*, 5> kConcatTexts = {"AND", "OR", "AND", "OR", "no_cop"};

constexpr double kPi = std::numbers::pi;

// Whether gamma lies in [0,1]; when not, says so on `err`.
bool gamma_checked(float gamma, std::ostream* err) {
  if (!(gamma < 0 || gamma > 1)) return true;
  report_line(err, "gamma not in [0,1]!");
  return false;
}

bool is_degree(float v) {
  return !(v < 0 || v > 1);
}

bool is_end_degree(float v) {
  return v == 0 || v == 1;
}

// Sets the set's match value and rebuilds its instantiated function.
void instantiate(PlimFuzzySet* set, float mv) {
  set->set_match_value(mv);
  set->build_imsf();
}

// Applies a fuzzy operator to two degrees; no_fop (and any unknown value)
// yields fallback.
float apply_two(fuzzy_operator op, float a, float b, float gamma, float fallback,
                std::ostream* err) {
  switch (op) {
    case minimum:
      return TNorm::min(a, b);
    case maximum:
      return TCoNorm::max(a, b);
    case fuzzy_and:
      return CompOp::fuzzy_and(a, b, gamma, err);
    case fuzzy_or:
      return CompOp::fuzzy_or(a, b, gamma, err);
    case ass_comp_and:
      return CompOp::ass_comp_and(a, b);
    case ass_comp_or:
      return CompOp::ass_comp_or(a, b);
    case product:
      return TNorm::prod(a, b);
    case sum:
      return TCoNorm::addition(a, b);
    default:
      return fallback;
  }
}

float apply_list(fuzzy_operator op, const FList* values, float gamma, std::ostream* err) {
  switch (op) {
    case minimum:
      return TNorm::min(values);
    case maximum:
      return TCoNorm::max(values);
    case fuzzy_and:
      return CompOp::fuzzy_and(values, gamma, err);
    case fuzzy_or:
      return CompOp::fuzzy_or(values, gamma, err);
    case ass_comp_and:
      return CompOp::ass_comp_and(values);
    case ass_comp_or:
      return CompOp::ass_comp_or(values);
    case product:
      return TNorm::prod(values);
    case sum:
      return TCoNorm::addition(values);
    default:
      return -1;
  }
}

const OperatorSet kDefaultOperators;

const OperatorSet& or_default(const OperatorSet* s) {
  return s != nullptr ? *s : kDefaultOperators;
}

// Folds a list by an associative compensatory operator; negative values
// count as 0, an empty list gives 0.
float fold_associative(const FList* values, float (*combine)(float, float)) {
  if (values == nullptr || values->get_number() == 0) return 0.0f;
  const std::vector<float>& v = values->values();
  float result = max(v.front(), 0.0f);
  for (std::size_t i = 1; i < v.size(); ++i) result = combine(result, max(v[i], 0.0f));
  return result;
}

float list_min(const FList* values) {
  float result = 1.0f;
  if (values == nullptr) return result;
  for (float v : values->values()) {
    if (v < result) result = v;
  }
  return result;
}

float list_max(const FList* values) {
  float result = 0.0f;
  if (values == nullptr) return result;
  for (float v : values->values()) {
    if (v > result) result = v;
  }
  return result;
}

}  // namespace

const char* fuzzy_operator_text(fuzzy_operator op) {
  const int i = static_cast<int>(op);
  return (i >= 0 && i < 9) ? kFuzzyOperatorTexts[static_cast<std::size_t>(i)] : "no_fop";
}

const char* defuzzification_operator_text(defuzzification_operator op) {
  const int i = static_cast<int>(op);
  return (i >= 0 && i < 4) ? kDefuzzificationTexts[static_cast<std::size_t>(i)] : "no_dfop";
}

const char* concat_operator_text(concat_operator op) {
  const int i = static_cast<int>(op);
  return (i >= 0 && i < 5) ? kConcatTexts[static_cast<std::size_t>(i)] : "no_cop";
}

// ------------------------------------------------------------- word wrappers

void FuzzyOperator::write(std::ostream& out) const {
  out << fuzzy_operator_text(oper_) << ' ';
}

bool FuzzyOperator::read(std::istream& in) {
  std::string word;
  if (!read_word(in, word)) return false;
  oper_ = no_fop;
  for (std::size_t i = 0; i < kFuzzyOperatorTexts.size(); ++i) {
    if (word == kFuzzyOperatorTexts[i]) oper_ = static_cast<fuzzy_operator>(i);
  }
  return true;
}

void DeFuzzyOperator::write(std::ostream& out) const {
  out << defuzzification_operator_text(oper_) << ' ';
}

bool DeFuzzyOperator::read(std::istream& in) {
  std::string word;
  if (!read_word(in, word)) return false;
  oper_ = no_dfop;
  for (std::size_t i = 0; i < kDefuzzificationTexts.size(); ++i) {
    if (word == kDefuzzificationTexts[i]) oper_ = static_cast<defuzzification_operator>(i);
  }
  return true;
}

int ConcatOperator::compare(const ConcatOperator* a, const ConcatOperator* b) {
  return (a != nullptr && b != nullptr && a->oper_ == b->oper_) ? 1 : 0;
}

void ConcatOperator::write(std::ostream& out) const {
  out << concat_operator_text(oper_) << ' ';
}

bool ConcatOperator::read(std::istream& in) {
  std::string word;
  if (!read_word(in, word)) return false;
  if (word == "AND" || word == "c_and") {
    oper_ = AND;
  } else if (word == "OR" || word == "c_or") {
    oper_ = OR;
  } else {
    oper_ = no_cop;
  }
  return true;
}

// -------------------------------------------------------------- operator set

void OperatorSet::show(std::ostream& out) const {
  const std::pair<const char*, const FuzzyOperator*> rows[] = {
      {"importance_operator: ", &importance_operator_},
      {"and_operator: ", &and_operator_},
      {"or_operator: ", &or_operator_},
      {"certainty_operator: ", &certainty_operator_},
      {"inference_operator: ", &inference_operator_},
      {"accumulate_operator: ", &accumulate_operator_}};
  for (const auto& [label, op] : rows) {
    out << label;
    op->show(out);
    out << std::endl;
  }
  out << "defuzzy_operator: ";
  defuzzy_operator_.show(out);
  out << std::endl;
  out << "gamma   : " << gamma_ << std::endl;
  out << "accuracy: " << accuracy_ << std::endl;
}

void OperatorSet::write(std::ostream& out) const {
  out << '\n';
  importance_operator_.write(out);
  and_operator_.write(out);
  or_operator_.write(out);
  certainty_operator_.write(out);
  inference_operator_.write(out);
  accumulate_operator_.write(out);
  defuzzy_operator_.write(out);
  out << gamma_ << ' ' << accuracy_ << '\n' << '\n';
}

bool OperatorSet::read(std::istream& in) {
  changed();
  return importance_operator_.read(in) && and_operator_.read(in) && or_operator_.read(in) &&
         certainty_operator_.read(in) && inference_operator_.read(in) &&
         accumulate_operator_.read(in) && defuzzy_operator_.read(in) && (in >> gamma_ >> accuracy_);
}

// ------------------------------------------------------ t-norms and conorms

float TNorm::min(float a, float b) {
  return a < b ? a : b;
}

float TNorm::min(const FList* values) {
  return list_min(values);
}

namespace {

// The match values the set forms of minimum and product give: a degree of 0
// on either side does not count, the other side is taken.
float min_into(float x, float mv) {
  return (x > 0 && mv > 0) ? TNorm::min(x, mv) : TCoNorm::max(x, mv);
}

float prod_into(float x, float mv) {
  return (x > 0 && mv > 0) ? x * mv : TCoNorm::max(x, mv);
}

}  // namespace

void TNorm::min(float x, PlimFuzzySet* set) {
  if (set == nullptr) return;
  instantiate(set, min_into(x, set->get_match_value()));
}

float TNorm::prod(float a, float b) {
  return a * b;
}

float TNorm::prod(const FList* values) {
  float result = 1.0f;
  if (values == nullptr) return result;
  for (float v : values->values()) result *= v;
  return result;
}

void TNorm::prod(float x, PlimFuzzySet* set) {
  if (set == nullptr) return;
  instantiate(set, prod_into(x, set->get_match_value()));
}

float TCoNorm::max(float a, float b) {
  return a > b ? a : b;
}

float TCoNorm::max(const FList* values) {
  return list_max(values);
}

void TCoNorm::max(float x, PlimFuzzySet* set) {
  if (set != nullptr) instantiate(set, TCoNorm::max(x, set->get_match_value()));
}

float TCoNorm::addition(float a, float b) {
  const float total = a + b;
  return total > 1 ? 1.0f : total;
}

float TCoNorm::addition(const FList* values) {
  float total = 0.0f;
  if (values == nullptr) return total;
  for (float v : values->values()) total += v;
  return total > 1 ? 1.0f : total;
}

void TCoNorm::addition(float x, PlimFuzzySet* set) {
  if (set != nullptr) instantiate(set, TCoNorm::addition(x, set->get_match_value()));
}

// ----------------------------------------------------- compensatory operators

// The atan results are not scaled back by 2/pi; callers see values up to
// pi/2, and values above 1 make the next combination return -1.
float CompOp::ass_comp_and(float a, float b) {
  if (!is_degree(a) || !is_degree(b)) return -1;
  if (is_end_degree(a) || is_end_degree(b)) return 0;
  return static_cast<float>(std::atan(std::tan(a * kPi / 2) * std::tan(b * kPi / 2)));
}

float CompOp::ass_comp_and(const FList* values) {
  return fold_associative(values, [](float a, float b) { return CompOp::ass_comp_and(a, b); });
}

void CompOp::ass_comp_and(float x, PlimFuzzySet* set) {
  if (set != nullptr) instantiate(set, CompOp::ass_comp_and(x, set->get_match_value()));
}

float CompOp::ass_comp_or(float a, float b) {
  if (!is_degree(a) || !is_degree(b)) return -1;
  if (is_end_degree(a) || is_end_degree(b)) return 0;
  return static_cast<float>(1 -
                            std::atan((1 / std::tan(a * kPi / 2)) * (1 / std::tan(b * kPi / 2))));
}

float CompOp::ass_comp_or(const FList* values) {
  return fold_associative(values, [](float a, float b) { return CompOp::ass_comp_or(a, b); });
}

void CompOp::ass_comp_or(float x, PlimFuzzySet* set) {
  if (set != nullptr) instantiate(set, CompOp::ass_comp_or(x, set->get_match_value()));
}

float CompOp::fuzzy_and(float a, float b, float gamma, std::ostream* err) {
  if (!gamma_checked(gamma, err)) return -1;
  return gamma * TNorm::min(a, b) + (1 - gamma) * (a + b) / 2;
}

float CompOp::fuzzy_and(const FList* values, float gamma, std::ostream* err) {
  if (!gamma_checked(gamma, err)) return -1;
  const float mean = values != nullptr ? values->mean() : 0.0f;
  return gamma * list_min(values) + (1 - gamma) * mean;
}

void CompOp::fuzzy_and(float x, PlimFuzzySet* set, float gamma, FuzzyContext* context) {
  if (set == nullptr || !gamma_checked(gamma, FuzzyContext::errors(context))) return;
  instantiate(set, CompOp::fuzzy_and(x, set->get_match_value(), gamma));
}

float CompOp::fuzzy_or(float a, float b, float gamma, std::ostream* err) {
  if (!gamma_checked(gamma, err)) return -1;
  return gamma * TCoNorm::max(a, b) + (1 - gamma) * (a + b) / 2;
}

float CompOp::fuzzy_or(const FList* values, float gamma, std::ostream* err) {
  if (!gamma_checked(gamma, err)) return -1;
  const float mean = values != nullptr ? values->mean() : 0.0f;
  return gamma * list_max(values) + (1 - gamma) * mean;
}

void CompOp::fuzzy_or(float x, PlimFuzzySet* set, float gamma, FuzzyContext* context) {
  if (set == nullptr || !gamma_checked(gamma, FuzzyContext::errors(context))) return;
  instantiate(set, CompOp::fuzzy_or(x, set->get_match_value(), gamma));
}

// ---------------------------------------------------------- defuzzification

float DefOp::cog(const CombinedVariable* cv) {
  if (cv == nullptr) return -1;
  // The context's cover keeps its buffer from one computation to the next.
  FuzzyContext* const context = cv->get_context();
  PList own;
  PList& cover = context != nullptr ? context->cover : own;
  cover.remove_all();
  const int count = cv->get_number();
  for (int k = 0; k < count; ++k) cv->put_imsf_into_cover(&cover, k);
  return integrate(&cover);
}

// Both sums carry the factor 2 of the trapezoid rule, which cancels; the
// moment weights each trapezoid by its end points, not by its exact centroid.
float DefOp::integrate(const PList* p) {
  if (p == nullptr || p->get_number() < 2) return -1;
  const std::vector<Point>& pts = p->points();
  float area = 0.0f;
  float moment = 0.0f;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    const float x0 = pts[i].get_x();
    const float y0 = pts[i].get_y();
    const float x1 = pts[i + 1].get_x();
    const float y1 = pts[i + 1].get_y();
    const float dx = x1 - x0;
    if (!(dx > 0) || !(y0 > 0 || y1 > 0)) continue;
    area += (y0 + y1) * dx;
    moment += (y0 * x0 + y1 * x1) * dx;
  }
  return area > 0 ? moment / area : -1.0f;
}

namespace {

// The greatest height of the terms' instantiated functions and the first
// term reaching it; -1 as index when there are no terms.
int highest_term(const CombinedVariable* cv, float* height) {
  int best = -1;
  *height = 0.0f;
  const int count = cv->get_number();
  for (int k = 0; k < count; ++k) {
    const float h = cv->find(k)->get_imsf()->get_max_y();
    if (best < 0 || h > *height) {
      best = k;
      *height = h;
    }
  }
  return best;
}

}  // namespace

float DefOp::first_max(const CombinedVariable* cv) {
  if (cv == nullptr) return -1;
  float height = 0.0f;
  const int best = highest_term(cv, &height);
  if (best < 0) return -1;
  return cv->find(best)->get_imsf()->get_first_x(height, FuzzyContext::errors(cv->get_context()));
}

float DefOp::mom(const CombinedVariable* cv) {
  if (cv == nullptr) return -1;
  float height = 0.0f;
  if (highest_term(cv, &height) < 0) return -1;
  FList xs;
  const int count = cv->get_number();
  for (int k = 0; k < count; ++k) {
    const PList* imsf = cv->find(k)->get_imsf();
    if (imsf->get_max_y() == height) imsf->get_x(&xs, height);
  }
  return xs.get_number() > 0 ? xs.mean() : -1.0f;
}

// ------------------------------------------------- applying an operator set

float join_mv_with_importance(float mv, float importance, const OperatorSet* s, std::ostream* err) {
  const OperatorSet& ops = or_default(s);
  return apply_two(ops.get_importance_operator(), mv, importance, ops.get_gamma(), mv, err);
}

float certify(float a, float b, const OperatorSet* s, std::ostream* err) {
  const OperatorSet& ops = or_default(s);
  return apply_two(ops.get_certainty_operator(), a, b, ops.get_gamma(), -1, err);
}

float aggregate(const FList* values, concat_operator op, const OperatorSet* s, std::ostream* err) {
  const OperatorSet& ops = or_default(s);
  if (op == c_and || op == AND)
    return apply_list(ops.get_and_operator(), values, ops.get_gamma(), err);
  if (op == c_or || op == OR)
    return apply_list(ops.get_or_operator(), values, ops.get_gamma(), err);
  return -1;
}

void inference(float a, PlimFuzzySet* set, const OperatorSet* s, FuzzyContext* context) {
  if (set == nullptr) return;
  const OperatorSet& ops = or_default(s);
  switch (ops.get_inference_operator()) {
    case minimum:
      return TNorm::min(a, set);
    case maximum:
      return TCoNorm::max(a, set);
    case fuzzy_and:
      return CompOp::fuzzy_and(a, set, ops.get_gamma(), context);
    case fuzzy_or:
      return CompOp::fuzzy_or(a, set, ops.get_gamma(), context);
    case ass_comp_and:
      return CompOp::ass_comp_and(a, set);
    case ass_comp_or:
      return CompOp::ass_comp_or(a, set);
    case product:
      return TNorm::prod(a, set);
    case sum:
      return TCoNorm::addition(a, set);
    default:
      return;
  }
}

bool inferred_match_value(float a, float mv, const OperatorSet* s, float* result) {
  switch (or_default(s).get_inference_operator()) {
    case minimum:
      *result = min_into(a, mv);
      return true;
    case maximum:
      *result = TCoNorm::max(a, mv);
      return true;
    case product:
      *result = prod_into(a, mv);
      return true;
    case sum:
      *result = TCoNorm::addition(a, mv);
      return true;
    default:
      return false;
  }
}

float accumulate(CombinedVariable* cv, const OperatorSet* s) {
  if (cv == nullptr) return -1;
  float x = -1;
  switch (or_default(s).get_defuzzy_operator()) {
    case cog:
      x = DefOp::cog(cv);
      break;
    case fimax:
      x = DefOp::first_max(cv);
      break;
    case mom:
      x = DefOp::mom(cv);
      break;
    default:
      return -1;
  }
  cv->set_crisp_value(x);
  return x;
}

int calculate(CombinedVariable* result, const CombinedVariable* cv1, const CombinedVariable* cv2,
              concat_operator op, const OperatorSet* s, std::ostream* err) {
  if (result == nullptr) {
    report_line(err, "Cannot do calclutions for Null pointer!");
    return -1;
  }
  if (cv1 == nullptr && cv2 == nullptr) {
    report_line(err, "Nothing to calclute!");
    return -1;
  }
  if (cv1 == nullptr || cv2 == nullptr) {
    const CombinedVariable* source = cv1 != nullptr ? cv1 : cv2;
    if (source != result) {
      result->copy_PSB(source);
      result->copy_PlimList(source);
    }
    result->set_crisp_value(-1);
    return 1;
  }
  const int count = result->get_number();
  if (cv1->get_number() != count || cv2->get_number() != count) {
    report_line(err, "Variables have different number of terms!");
    return -1;
  }
  FList values;
  for (int k = 0; k < count; ++k) {
    values.remove_all();
    values.add(
        join_mv_with_importance(cv1->find(k)->get_match_value(), cv1->get_importance(), s, err));
    values.add(
        join_mv_with_importance(cv2->find(k)->get_match_value(), cv2->get_importance(), s, err));
    result->change_set(k, [&](PlimFuzzySet& term) {
      instantiate(&term, 0);
      inference(aggregate(&values, op, s, err), &term, s, result->get_context());
    });
  }
  result->set_crisp_value(-1);
  return 1;
}
