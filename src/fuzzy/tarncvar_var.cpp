// Linguistic variables: generation of the terms from a parameter set,
// fuzzification, copying, the text formats, and the variable list with its
// lookups by name.
#include "tarncvar.h"

#include <ostream>

#include "tarnrule_context.h"

// ------------------------------------------------------------------ variables

namespace {

ParameterSetBase checked_parameters(const ParameterSet* ps, std::ostream* err) {
  if (ps == nullptr) return ParameterSetBase();
  return ParameterSetBase(ps->get_range_lower_end(), ps->get_range_upper_end(), ps->get_median(),
                          ps->get_distribution(), ps->get_dilatation(), ps->get_importance(), err);
}

colourtype colour_of(const CList* colours, int i) {
  const Colour* colour = colours->find(i);
  return colour != nullptr ? colour->get_colour() : white;
}

}  // namespace

// The term centres are spread over a window of width 2w around the median
// (w the largest half-width that fits into the range), pulled together by
// the distribution; the dilatation sets the width of the sloped flanks. Every
// step is rounded to float in exactly this order.
CombinedVariable::CombinedVariable(const ParameterSet* ps, std::string_view name, std::ostream* err)
    : ParameterSetBase(checked_parameters(ps, err)), cv_name_(cut_name(name)) {
  const int n = ps != nullptr ? ps->get_NList()->get_number() : 0;
  if (n < 2) {
    // The term spacing divides by n - 1, so no terms can be placed.
    report_line(err, "Warning: ParameterSet ", (ps != nullptr ? ps->get_ps_name() : ""),
                " has fewer than two linguistic terms, CombinedVariable ", cv_name_,
                " gets no terms!");
    return;
  }
  const NList* names = ps->get_NList();
  const CList* colours = ps->get_CList();
  const float L = get_range_lower_end();
  const float U = get_range_upper_end();
  const float M = get_median();
  const float D = get_distribution();
  const float G = max(0.0f, min(get_dilatation(), 1.0f));
  const float w = min(U - M, M - L);
  const float W = 2 * w;
  const float S = W * D;
  const float step = S / static_cast<float>(n - 1);
  const float f = step * G;
  const float c0 = L + ((W - S) / 2 + ((M - L) - W / 2));
  reserve(n);

  float lo = L;
  float hi = c0 + step / 2 + f / 2;
  append(names->find_n(0), lo, hi, 0, f, colour_of(colours, 0));
  for (int i = 1; i < n - 1; ++i) {
    lo = hi - f;
    hi = lo + step + f;
    append(names->find_n(i), lo, hi, f, f, colour_of(colours, i));
  }
  lo = hi - step / 2 - f / 2;
  append(names->find_n(n - 1), lo, U, f, 0, colour_of(colours, n - 1));
}

int CombinedVariable::set_value(float x) {
  if (x < get_range_lower_end() || x > get_range_upper_end()) {
    report_line(FuzzyContext::errors(get_context()), "Crisp input out of range!");
    return -1;
  }
  crisp_value_ = x;
  fuzzify(x);
  return 1;
}

void CombinedVariable::set_cv_name(std::string_view name) {
  name = name_view(name);
  if (name == cv_name_) return;
  std::string old_name = std::move(cv_name_);
  cv_name_.assign(name);
  found_block_generation_ = 0;
  if (owner_ != nullptr) owner_->renamed(this, old_name);
}

void CombinedVariable::copy(const CombinedVariable* other) {
  if (other == nullptr || other == this) return;
  copy_PSB(other);
  PlimList::copy(other);
  set_cv_name(other->cv_name_);
  crisp_value_ = other->crisp_value_;
}

void CombinedVariable::show(std::ostream& out) const {
  out << "  cv_name: " << cv_name_ << std::endl;
  out << "crisp_value: " << crisp_value_ << '\t';
  show_PSB(out);
  show_PL(out);
  out << std::endl;
}

void CombinedVariable::write(std::ostream& out) const {
  out << cv_name_ << ' ' << crisp_value_ << ' ';
  write_PSB(out);
  out << '\n';
  write_PL(out);
  out << '\n';
}

bool CombinedVariable::read(std::istream& in) {
  std::string name;
  if (!read_name(in, name)) return false;
  set_cv_name(name);
  return (in >> crisp_value_) && read_PSB(in) && read_PL(in);
}

// ------------------------------------------------------------- variable list

void CVList::set_context(FuzzyContext* context) {
  context_ = context;
  for (const std::unique_ptr<CombinedVariable>& cv : items_) cv->set_context(context);
}

CombinedVariable* CVList::adopt(std::unique_ptr<CombinedVariable> cv) {
  cv->owner_ = this;
  cv->set_context(context_);
  cv->rank_ = next_rank_++;
  index_insert(cv.get());
  items_.push_back(std::move(cv));
  changed();
  return items_.back().get();
}

void CVList::index_insert(CombinedVariable* cv) {
  const auto [entry, new_name] = by_name_.try_emplace(cv->cv_name_);
  if (new_name) ++names_of_kind_[kind_of(cv->cv_name_)];
  Bucket& bucket = entry->second;
  auto pos = bucket.end();
  while (pos != bucket.begin() && (*(pos - 1))->rank_ > cv->rank_) --pos;
  bucket.insert(pos, cv);
}

void CVList::index_erase(CombinedVariable* cv, const std::string& name) {
  auto entry = by_name_.find(name);
  if (entry == by_name_.end()) return;
  Bucket& bucket = entry->second;
  for (auto it = bucket.begin(); it != bucket.end(); ++it) {
    if (*it == cv) {
      bucket.erase(it);
      break;
    }
  }
  if (bucket.empty()) {
    by_name_.erase(entry);
    --names_of_kind_[kind_of(name)];
  }
}

void CVList::renamed(CombinedVariable* cv, const std::string& old_name) {
  index_erase(cv, old_name);
  index_insert(cv);
  rebound();
}

CombinedVariable* CVList::add() {
  return adopt(std::make_unique<CombinedVariable>());
}

CombinedVariable* CVList::add(const CombinedVariable* cv) {
  if (cv == nullptr) return nullptr;
  auto copy = std::make_unique<CombinedVariable>();
  copy->copy(cv);
  return adopt(std::move(copy));
}

CombinedVariable* CVList::add(const CombinedVariable* cv, std::string_view name) {
  if (cv == nullptr) return nullptr;
  auto copy = std::make_unique<CombinedVariable>();
  copy->copy(cv);
  copy->set_cv_name(name);
  return adopt(std::move(copy));
}

CombinedVariable* CVList::add(const ParameterSet* ps, std::string_view name) {
  return adopt(std::make_unique<CombinedVariable>(ps, name, FuzzyContext::errors(context_)));
}

void CVList::add(const CVList* other) {
  if (other == nullptr || other == this) return;
  for (const auto& cv : other->items_) {
    if (find_cv(cv->cv_name_) == nullptr) add(cv.get());
  }
}

CombinedVariable* CVList::find_cv(std::string_view name) const {
  name = name_view(name);
  if (names_of_kind_[kind_of(name)] == 0) return nullptr;
  auto entry = by_name_.find(name);
  return entry != by_name_.end() ? entry->second.front() : nullptr;
}

int CVList::find_cv_by_pointer(const CombinedVariable* cv) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == cv) return static_cast<int>(i);
  }
  return -1;
}

int CVList::find_cv_by_name(const CombinedVariable* cv) const {
  if (cv == nullptr) return -1;
  const CombinedVariable* first = find_cv(cv->cv_name_);
  return first != nullptr ? find_cv_by_pointer(first) : -1;
}

void CVList::remove(int i) {
  if (i < 0 || i >= get_number()) return;
  const auto pos = items_.begin() + i;
  index_erase(pos->get(), (*pos)->cv_name_);
  items_.erase(pos);
  rebound();
}

void CVList::remove_all() {
  by_name_.clear();
  names_of_kind_ = {};
  items_.clear();
  rebound();
}

void CVList::show(std::ostream& out) const {
  for (const auto& cv : items_) cv->show(out);
  out << std::endl;
}

void CVList::write(std::ostream& out) const {
  out << "/* #: " << get_number() << " */" << '\n' << '\n';
  for (const auto& cv : items_) cv->write(out);
  out << '\n';
}

// A variable that cannot be read completely is taken in with what was read
// of it; reading stops there.
bool CVList::read(std::istream& in) {
  int count = 0;
  bool complete = read_count_frame(in, count);
  for (int i = 0; complete && i < count; ++i) {
    auto cv = std::make_unique<CombinedVariable>();
    complete = cv->read(in);
    adopt(std::move(cv));
  }
  if (!complete) {
    report_line(FuzzyContext::errors(context_),
                "Error: variable list breaks off or holds an unreadable word; reading stopped!");
  }
  return complete;
}
