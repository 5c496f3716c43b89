// Polylines, float lists and piecewise-linear fuzzy sets: ordered insertion,
// clean-up of redundant points, match values, clipping at the match value,
// the cover merge of clipped functions and the text formats.
#include "tarncvar.h"

#include <algorithm>
#include <bit>
#include <ostream>

#include "tarnrule_context.h"

float min(float a, float b) {
  return a < b ? a : b;
}

float max(float a, float b) {
  return a > b ? a : b;
}

void wait_for_key_press(std::istream& in, std::ostream& out) {
  out << "-> press return to continue! ";
  in.get();
  out << std::endl;
}

namespace {

// The value at x of the line through (x1, y1) and (x2, y2); x1 != x2.
float line_value(float x, float x1, float y1, float x2, float y2) {
  return y1 + ((x - x1) * (y2 - y1)) / (x2 - x1);
}

bool within(float v, float a, float b) {
  return min(a, b) <= v && v <= max(a, b);
}

bool same_bits(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// Equal bytes of points are equal bits.
bool same_bits(const PList& a, const PList& b) {
  const std::vector<Point>& p = a.points();
  const std::vector<Point>& q = b.points();
  return p.size() == q.size() && same_bytes(p.data(), q.data(), p.size() * sizeof(Point));
}

// Makes `to` equal to `from`, leaving the terms that are equal bit for bit
// as they are and reusing the strings and point buffers of the others.
void assign_terms(std::vector<PlimFuzzySet>& to, const std::vector<PlimFuzzySet>& from) {
  if (to.size() != from.size()) {
    to = from;
    return;
  }
  for (std::size_t k = 0; k < to.size(); ++k) {
    if (!to[k].same_bits_as(from[k])) to[k] = from[k];
  }
}

}  // namespace

// ---------------------------------------------------------------- float list

float FList::find_v(int i) const {
  if (i < 0 || i >= get_number()) return -1.0f;
  return values_[static_cast<std::size_t>(i)];
}

int FList::remove(int i, std::ostream* err) {
  if (i < 0 || i >= get_number()) {
    report_line(err, "no_such_FloatValue");
    return -1;
  }
  values_.erase(values_.begin() + i);
  return 1;
}

float FList::mean() const {
  if (values_.empty()) return 0.0f;
  float total = 0.0f;
  for (float value : values_) total += value;
  return total / static_cast<float>(values_.size());
}

// ----------------------------------------------------------------- polylines

void Point::show(std::ostream& out) const {
  out << x_value_ << "/" << y_value_ << ' ';
}

void Point::write(std::ostream& out) const {
  out << x_value_ << ' ' << y_value_ << ' ';
}

bool Point::read(std::istream& in) {
  return (in >> x_value_ >> y_value_) ? true : false;
}

int PList::insert(float x, float y) {
  if (points_.empty()) {
    points_.emplace_back(x, y);
    return 1;
  }
  if (find(x, y) >= 0) return 0;
  // The anchor is the last point, counted from the first, whose x is not
  // greater than x; the first point is taken even when it lies to the right.
  std::size_t anchor = 0;
  while (anchor + 1 < points_.size() && points_[anchor + 1].get_x() <= x) ++anchor;
  const auto after = points_.begin() + static_cast<std::ptrdiff_t>(anchor) + 1;
  const Point& p = points_[anchor];
  if (p.get_x() == x) {
    // On a vertical edge the outline climbs at the left end and falls at the
    // right end.
    if (anchor == 0) {
      if (p.get_y() > y) {
        points_.insert(points_.begin(), Point(x, y));
        return 2;
      }
      points_.insert(after, Point(x, y));
      return 3;
    }
    if (anchor + 1 == points_.size()) {
      if (p.get_y() < y) {
        points_.insert(after - 1, Point(x, y));
        return 4;
      }
      points_.insert(after, Point(x, y));
      return 5;
    }
  }
  points_.insert(after, Point(x, y));
  return 6;
}

PolylineBuilder::PolylineBuilder(PList* line) : line_(line) {
  const std::vector<Point>& pts = line->points();
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const float x = pts[i].get_x();
    if (!(i == 0 ? x == x : pts[i - 1].get_x() <= x)) sorted_ = false;
  }
}

// In a sorted polyline a point strictly between two neighbours goes between
// them (searched from the end: points arrive mostly from left to right), any
// other point not left of the first one after the last point not right of
// it or beside one of equal x; a point left of the first goes second.
int PolylineBuilder::insert_searching(float x, float y) {
  std::vector<Point>& pts = line_->points_;
  if (pts.empty()) {
    pts.emplace_back(x, y);
    sorted_ = x == x;
    return 1;
  }
  if (sorted_) {
    std::size_t j = pts.size() - 1;
    while (j > 0 && pts[j - 1].get_x() > x) --j;
    if (j > 0 && pts[j - 1].get_x() < x && x < pts[j].get_x()) {
      pts.insert(pts.begin() + static_cast<std::ptrdiff_t>(j), Point(x, y));
      return 6;
    }
  }
  const bool keeps_order = sorted_ && pts.front().get_x() <= x;
  const int result = line_->insert(x, y);
  sorted_ = keeps_order;
  return result;
}

int PList::find(float x, float y) const {
  for (std::size_t i = 0; i < points_.size(); ++i) {
    if (points_[i].get_x() == x) return points_[i].get_y() == y ? static_cast<int>(i) : -1;
  }
  return -1;
}

int PList::find(const Point* p) const {
  if (p == nullptr) return -1;
  for (std::size_t i = 0; i < points_.size(); ++i) {
    if (points_[i].get_x() == p->get_x() && points_[i].get_y() == p->get_y()) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

float PList::find_x(int i) const {
  const Point* p = find(i);
  return p != nullptr ? p->get_x() : 0.0f;
}

float PList::find_y(int i) const {
  const Point* p = find(i);
  return p != nullptr ? p->get_y() : -1.0f;
}

void PList::remove(int i) {
  if (i < 0 || i >= get_number()) return;
  points_.erase(points_.begin() + i);
}

void PList::copy(const PList* other) {
  if (other == nullptr) {
    points_.clear();
    return;
  }
  if (other != this) points_ = other->points_;
}

float PList::get_max_y() const {
  float highest = 0.0f;
  for (const Point& p : points_) highest = max(highest, p.get_y());
  return highest;
}

float PList::get_first_x(float y, std::ostream* err) const {
  for (const Point& p : points_) {
    if (p.get_y() == y) return p.get_x();
  }
  report_line(err, "y-value not found in PList::get_first_x(float y)");
  return points_.empty() ? -1.0f : points_.front().get_x();
}

void PList::get_x(FList* out, float y) const {
  if (out == nullptr) return;
  for (const Point& p : points_) {
    if (p.get_y() == y) out->add(p.get_x());
  }
}

// After a removal the next triple starts at the former third point, so of a
// run of four equal values the last two stay; evaluation results depend on
// exactly this clean-up.
namespace {
template <float (Point::*coordinate)() const>
void clear_middle_points(std::vector<Point>& points) {
  for (std::size_t i = 0; i + 2 < points.size(); ++i) {
    const float v = (points[i].*coordinate)();
    if ((points[i + 1].*coordinate)() == v && (points[i + 2].*coordinate)() == v) {
      points.erase(points.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
  }
}
}  // namespace

void PList::clear_horizontal_line() {
  clear_middle_points<&Point::get_y>(points_);
}

void PList::clear_vertical_line() {
  clear_middle_points<&Point::get_x>(points_);
}

void PList::clear_lines() {
  clear_horizontal_line();
  clear_vertical_line();
}

void PList::show(std::ostream& out) const {
  for (const Point& p : points_) p.show(out);
}

void PList::write(std::ostream& out) const {
  write_count_frame(out, get_number());
  for (const Point& p : points_) p.write(out);
}

bool PList::read(std::istream& in) {
  return read_counted(in, points_);
}

// ---------------------------------------------------------------- fuzzy sets

FuzzySetBase::FuzzySetBase(std::string_view term, float lower, float upper, colourtype colour)
    : linguistic_term_(cut_name(term)),
      lower_support_end_(lower),
      upper_support_end_(upper),
      fs_colour_(colour) {}

void FuzzySetBase::copy(const FuzzySetBase* other) {
  if (other != nullptr) *this = *other;
}

void FuzzySetBase::show(std::ostream& out) const {
  out << " linguistic_term: " << linguistic_term_ << std::endl;
  out << "lower_support_end: " << lower_support_end_ << '\t'
      << "upper_support_end: " << upper_support_end_ << std::endl;
  out << "fs_colour: ";
  fs_colour_.show(out);
  out << '\t';
}

void FuzzySetBase::write(std::ostream& out) const {
  out << linguistic_term_ << ' ' << lower_support_end_ << ' ' << upper_support_end_ << ' ';
  fs_colour_.write(out);
  out << ' ';
}

bool FuzzySetBase::read(std::istream& in) {
  return read_name(in, linguistic_term_) && (in >> lower_support_end_ >> upper_support_end_) &&
         fs_colour_.read(in);
}

PlimFuzzySet::PlimFuzzySet(std::string_view term, float lower, float upper, colourtype colour,
                           std::string_view function)
    : FuzzySetBase(term, lower, upper, colour), function_(function) {}

// Inside the open support the degree is interpolated on the segment that
// starts at the last point not to the right of x. A polyline that does not
// reach over x (possible only after editing or reading odd data) gives 0.
float PlimFuzzySet::membership(float x) const {
  if (!(get_lower_support_end() < x && x < get_upper_support_end())) return 0.0f;
  const std::vector<Point>& pts = msf_.points();
  std::size_t i = 0;
  while (i < pts.size() && !(pts[i].get_x() > x)) ++i;
  if (i == 0 || i == pts.size()) return 0.0f;
  const Point& a = pts[i - 1];
  const Point& b = pts[i];
  return line_value(x, a.get_x(), a.get_y(), b.get_x(), b.get_y());
}

float PlimFuzzySet::calculate_match_value(float x) {
  match_value_ = membership(x);
  return match_value_;
}

void PlimFuzzySet::build_imsf() {
  imsf_.remove_all();
  if (match_value_ == 0) {
    imsf_.add(get_lower_support_end(), 0);
    imsf_.add(get_upper_support_end(), 0);
    return;
  }
  // The points arrive mostly from left to right.
  PolylineBuilder imsf(&imsf_);
  const float m = match_value_;
  const std::vector<Point>& pts = msf_.points();
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    const Point& a = pts[i];
    const Point& b = pts[i + 1];
    const bool a_low = a.get_y() <= m;
    const bool b_low = b.get_y() <= m;
    if (!a_low && !b_low) continue;
    if (a_low && i == 0) imsf.insert(a);
    if (b_low) imsf.insert(b);
    if (a_low != b_low) {
      const float x =
          a.get_x() + ((m - a.get_y()) * (b.get_x() - a.get_x())) / (b.get_y() - a.get_y());
      imsf.insert(x, m);
    }
  }
}

void PlimFuzzySet::add_msf_point(float x, float y) {
  if (x < get_lower_support_end() || x > get_upper_support_end() || y < 0 || y > 1) return;
  msf_.insert(x, y);
  msf_.clear_lines();
}

int PlimFuzzySet::delete_msf_point(int i, std::ostream* err) {
  if (i <= 0 || i >= msf_.get_number() - 1) {
    report_line(err, "Unable to delete end points!");
    return -1;
  }
  msf_.remove(i);
  msf_.clear_lines();
  return 1;
}

void PlimFuzzySet::set_msf_point_x(int i, float x) {
  Point* p = msf_.find(i);
  if (p == nullptr) return;
  x = max(get_lower_support_end(), min(x, get_upper_support_end()));
  if (i > 0 && i < msf_.get_number() - 1) {
    const float left = msf_.find_x(i - 1);
    const float right = msf_.find_x(i + 1);
    x = max(min(left, right), min(x, max(left, right)));
  }
  p->set_x(x);
  msf_.clear_horizontal_line();
  msf_.clear_vertical_line();
}

void PlimFuzzySet::set_msf_point_y(int i, float y) {
  Point* p = msf_.find(i);
  if (p == nullptr) return;
  y = max(0.0f, min(y, 1.0f));
  if (i == 0 || i == msf_.get_number() - 1) {
    p->set_y(0);
  } else if (y > 0) {
    const float lower = min(msf_.find_y(i - 1), msf_.find_y(i + 1));
    const float upper = max(msf_.find_y(i - 1), msf_.find_y(i + 1));
    if (y < lower) y = lower;
    if (upper < msf_.get_max_y() && y > upper) y = upper;
    p->set_y(y);
  }
  msf_.clear_horizontal_line();
  msf_.clear_vertical_line();
}

void PlimFuzzySet::copy(const PlimFuzzySet* other) {
  if (other != nullptr && other != this) *this = *other;
}

bool PlimFuzzySet::same_shape_as(const PlimFuzzySet& other) const {
  return same_bits(msf_, other.msf_) &&
         same_bits(get_lower_support_end(), other.get_lower_support_end()) &&
         same_bits(get_upper_support_end(), other.get_upper_support_end()) &&
         get_fs_colour() == other.get_fs_colour() &&
         same_text(get_linguistic_term_view(), other.get_linguistic_term_view()) &&
         same_text(function_.get_name_view(), other.function_.get_name_view());
}

// The parts that differ most often are compared first.
bool PlimFuzzySet::same_bits_as(const PlimFuzzySet& other) const {
  return same_bits(match_value_, other.match_value_) && same_bits(imsf_, other.imsf_) &&
         same_bits(msf_, other.msf_) &&
         same_bits(get_lower_support_end(), other.get_lower_support_end()) &&
         same_bits(get_upper_support_end(), other.get_upper_support_end()) &&
         get_fs_colour() == other.get_fs_colour() &&
         same_text(get_linguistic_term_view(), other.get_linguistic_term_view()) &&
         same_text(function_.get_name_view(), other.function_.get_name_view());
}

void PlimFuzzySet::show(std::ostream& out) const {
  show_FSB(out);
  out << "function: ";
  function_.show(out);
  out << std::endl;
  out << "match_value: " << match_value_ << std::endl;
  out << "membership_function: ";
  msf_.show(out);
  out << std::endl;
  out << "instanciated_membership_function: ";
  imsf_.show(out);
  out << std::endl;
}

void PlimFuzzySet::write(std::ostream& out) const {
  write_FSB(out);
  function_.write(out);
  out << match_value_ << '\n';
  msf_.write(out);
  out << '\n';
  imsf_.write(out);
  out << '\n';
}

bool PlimFuzzySet::read(std::istream& in) {
  return read_FSB(in) && function_.read(in) && (in >> match_value_) && msf_.read(in) &&
         imsf_.read(in);
}

// ----------------------------------------------------------------- term list

PlimList::PlimList(const PlimList& other)
    : sets_((other.take_pending(), other.sets_)),
      stamp_(other.get_stamp()),
      shape_stamp_(other.get_shape_stamp()),
      fuzzified_stamp_(other.fuzzified_stamp_),
      fuzzified_bits_(other.fuzzified_bits_),
      context_(other.context_) {}

PlimList::~PlimList() {
  if (known_ != nullptr) pool_known_values();
}

PlimList& PlimList::operator=(const PlimList& other) {
  if (this != &other) copy(&other);
  return *this;
}

PlimFuzzySet& PlimList::append(std::string_view term, float lower, float upper, float left_flank,
                               float right_flank, colourtype colour) {
  changed();
  PlimFuzzySet& set = sets_.emplace_back(term, lower, upper, colour, "point_list");
  PList* msf = set.get_msf();
  msf->reserve(4);
  msf->add(lower, 0);
  msf->add(lower + left_flank, 1);
  if (upper - right_flank != lower + left_flank) msf->add(upper - right_flank, 1);
  msf->add(upper, 0);
  return set;
}

int PlimList::get_fs_index(std::string_view term) const {
  term = name_view(term);
  for (std::size_t k = 0; k < sets_.size(); ++k) {
    if (same_text(term, sets_[k].get_linguistic_term_view())) return static_cast<int>(k);
  }
  return -1;
}

float PlimList::get_membership(float x, int k) const {
  const PlimFuzzySet* set = find(k);
  return set != nullptr ? set->membership(x) : 0.0f;
}

NList PlimList::get_names_of_vars() const {
  NList names;
  for (const PlimFuzzySet& set : sets_) names.add(set.get_linguistic_term());
  return names;
}

// Kept beside the membership and clipping code so that both are inlined.
// While the stamp is the one the last fuzzification gave, only
// fuzzifications changed the terms since the known values were taken, and
// every term's clipped function is its function clipped at its match value:
// a term whose match value keeps its bits keeps its clipped function too.
void PlimList::fuzzify(float x) {
  // Known values assume the terms hold a fuzzification taken before.
  if (pending_source_ != nullptr) take_source_terms();
  const auto x_bits = std::bit_cast<std::uint32_t>(x);
  if ((context_ != nullptr && !context_->caching) || lent_) {
    // Without caching, or with a term lent whose writes the list cannot see,
    // nothing remembered is read or kept: every term computed, a new stamp.
    forget_known_values();
    take_pending();
    compute_fuzzification(x, false);
    stamp_ = next_generation();
    fuzzified_stamp_ = 0;
    return;
  }
  const bool clipped = stamp_ == fuzzified_stamp_;
  if (clipped && x_bits == fuzzified_bits_) return;
  if (!clipped) {
    forget_known_values();
  } else if (const int known = known_value(x_bits); known >= 0) {
    pending_ = known;
    stamp_ = known_->values[static_cast<std::size_t>(known)].stamp;
    fuzzified_stamp_ = stamp_;
    fuzzified_bits_ = x_bits;
    return;
  }
  take_pending();
  compute_fuzzification(x, clipped);
  // A list's first fuzzification takes over what a list of its shape left,
  // and with it the stamp the value had there.
  if (known_ == nullptr) known_ = pooled_known_values();
  if (const int known = known_value(x_bits); known >= 0) {
    stamp_ = known_->values[static_cast<std::size_t>(known)].stamp;
  } else {
    stamp_ = next_generation();
    remember_value(x_bits);
  }
  fuzzified_stamp_ = stamp_;
  fuzzified_bits_ = x_bits;
}

void PlimList::compute_fuzzification(float x, bool clipped) {
  for (PlimFuzzySet& set : sets_) {
    const float mv = set.membership(x);
    if (clipped && same_bits(mv, set.get_match_value())) continue;
    set.set_match_value(mv);
    set.build_imsf();
  }
}

int PlimList::known_value(std::uint32_t x_bits) const {
  if (known_ == nullptr) return -1;
  for (std::size_t s = KnownValues::slot_of(x_bits);; s = (s + 1) % KnownValues::kSlots) {
    const std::size_t at = known_->slots[s];
    if (at == 0) return -1;
    const KnownValue& known = known_->values[at - 1];
    if (known.stamp != 0 && known.bits == x_bits) return static_cast<int>(at - 1);
  }
}

// The terms hold a fuzzification taken before, so a term whose match value
// keeps its bits keeps its clipped function.
void PlimList::take_known_terms() const {
  const KnownValue& known = known_->values[static_cast<std::size_t>(pending_)];
  pending_ = -1;
  for (std::size_t k = 0; k < sets_.size(); ++k) {
    PlimFuzzySet& set = sets_[k];
    const float mv = known.match_values[k];
    if (same_bits(mv, set.get_match_value())) continue;
    set.set_match_value(mv);
    set.get_imsf()->copy(&known.clipped[k]);
  }
}

void PlimList::take_terms_later(std::shared_ptr<const PlimList> source) {
  source->take_pending();
  pending_ = -1;
  stamp_ = source->get_stamp();
  pending_source_ = std::move(source);
}

void PlimList::take_source_terms() const {
  const std::shared_ptr<const PlimList> source = std::move(pending_source_);
  assign_terms(sets_, source->sets_);
}

void PlimList::remember_value(std::uint32_t x_bits) {
  KnownValues& kv = *known_;
  std::size_t at = kv.values.size();
  if (at < KnownValues::kCount) {
    kv.values.emplace_back();
  } else {
    at = kv.next;
    kv.next = (at + 1) % KnownValues::kCount;
    ++kv.replaced;
  }
  KnownValue& known = kv.values[at];
  known.bits = x_bits;
  known.stamp = stamp_;
  known.match_values.clear();
  known.clipped.resize(sets_.size());
  for (std::size_t k = 0; k < sets_.size(); ++k) {
    known.match_values.push_back(sets_[k].get_match_value());
    known.clipped[k].copy(sets_[k].get_imsf());
  }
  if (kv.replaced == KnownValues::kCount) {
    kv.lay_out();
  } else {
    kv.enter(at);
  }
}

void PlimList::KnownValues::enter(std::size_t index) {
  std::size_t s = slot_of(values[index].bits);
  while (slots[s] != 0) s = (s + 1) % kSlots;
  slots[s] = static_cast<std::uint8_t>(index + 1);
}

void PlimList::KnownValues::lay_out() {
  slots.fill(0);
  replaced = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i].stamp != 0) enter(i);
  }
}

void PlimList::forget_known_values() {
  if (known_ == nullptr) return;
  for (KnownValue& known : known_->values) known.stamp = 0;
}

bool PlimList::same_shape(const std::vector<PlimFuzzySet>& terms) const {
  return std::equal(
      sets_.begin(), sets_.end(), terms.begin(), terms.end(),
      [](const PlimFuzzySet& a, const PlimFuzzySet& b) { return a.same_shape_as(b); });
}

// The newest storage whose values were left by a list of this shape; else
// the newest storage, its values forgotten.
namespace {
// Lists that are gone whose known values a context keeps at most.
constexpr std::size_t kMaxPooledKnownValues = 64;
}  // namespace

std::unique_ptr<PlimList::KnownValues> PlimList::pooled_known_values() const {
  if (!FuzzyContext::caches(context_) || context_->known_values.empty()) {
    return std::make_unique<KnownValues>();
  }
  std::vector<std::unique_ptr<KnownValues>>& pool = context_->known_values;
  auto chosen = pool.end() - 1;
  bool same = false;
  for (auto it = pool.end(); it != pool.begin() && !same;) {
    --it;
    same = same_shape((*it)->terms);
    if (same) chosen = it;
  }
  std::unique_ptr<KnownValues> known = std::move(*chosen);
  pool.erase(chosen);
  if (!same) {
    for (KnownValue& value : known->values) value.stamp = 0;
  }
  return known;
}

// The values hold for the terms as they are while only fuzzifications
// changed them since the values were taken. Called as the list goes, so its
// terms move along with the values.
void PlimList::pool_known_values() {
  if (!FuzzyContext::caches(context_)) return;
  std::vector<std::unique_ptr<KnownValues>>& pool = context_->known_values;
  if (stamp_ != fuzzified_stamp_ || lent_) forget_known_values();
  if (pool.size() >= kMaxPooledKnownValues) pool.erase(pool.begin());
  known_->terms = std::move(sets_);
  pool.push_back(std::move(known_));
}

void PlimList::set_all_mvs(float mv) {
  const std::uint64_t shape = shape_stamp_;
  changed();
  shape_stamp_ = shape;
  for (PlimFuzzySet& set : sets_) {
    set.set_match_value(mv);
    set.build_imsf();
  }
}

// The merge follows its steps literally (union of the points, crossings of
// every pair of segments, removal of points lying below the other outline);
// results must stay bit-identical, also where vertical edges make them differ
// from the exact upper envelope.
int PlimList::put_imsf_into_cover(PList* cover, int k) const {
  const PlimFuzzySet* set = find(k);
  if (cover == nullptr || set == nullptr) return 1;
  // Working polylines: the context's, which keep their room from one merge
  // to the next, else the call's own.
  PList own[3];
  PList& t = context_ != nullptr ? context_->merge_term : own[0];
  PList& u = context_ != nullptr ? context_->merge_union : own[1];
  PList& crossings = context_ != nullptr ? context_->merge_crossings : own[2];
  t.copy(set->get_imsf());
  cover->clear_horizontal_line();
  t.clear_horizontal_line();
  if (cover->get_number() < 3) {
    if (t.get_number() >= 3) {
      cover->copy(&t);
    } else {
      cover->remove_all();
    }
    return 1;
  }
  if (t.get_number() < 3) return 1;

  const std::vector<Point>& c = cover->points();
  const std::vector<Point>& tp = t.points();
  u.remove_all();
  PolylineBuilder merged(&u);
  for (const Point& p : c) merged.insert(p);
  for (const Point& p : tp) merged.insert(p);
  crossings.remove_all();
  PolylineBuilder crossing_line(&crossings);
  for (std::size_t i = 0; i + 1 < c.size(); ++i) {
    for (std::size_t j = 0; j + 1 < tp.size(); ++j) {
      float x = 0;
      float y = 0;
      if (crosspoint(&x, &y, c[i].get_x(), c[i].get_y(), c[i + 1].get_x(), c[i + 1].get_y(),
                     tp[j].get_x(), tp[j].get_y(), tp[j + 1].get_x(), tp[j + 1].get_y()) == 1) {
        crossing_line.insert(x, y);
      }
    }
  }
  for (const Point& p : c) {
    if (above(&p, &t) == -1) u.remove(u.find(&p));
  }
  for (const Point& p : tp) {
    if (above(&p, cover) == -1) u.remove(u.find(&p));
  }
  PolylineBuilder completed(&u);
  for (const Point& p : crossings.points()) completed.insert(p);
  u.clear_horizontal_line();
  cover->copy(&u);
  return 1;
}

int PlimList::above(const Point* p, const PList* line) {
  if (p == nullptr || line == nullptr) return -2;
  const std::vector<Point>& pts = line->points();
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    const Point& a = pts[i];
    const Point& b = pts[i + 1];
    if (!within(p->get_x(), a.get_x(), b.get_x())) continue;
    const int result = above(p->get_x(), p->get_y(), a.get_x(), a.get_y(), b.get_x(), b.get_y());
    if (result > -2) return result;
  }
  return -2;
}

int PlimList::above(float x, float y, float x1, float y1, float x2, float y2) {
  if (x1 == x2) return -3;
  if (!within(x, x1, x2)) return -2;
  const float on_line = line_value(x, x1, y1, x2, y2);
  if (y > on_line) return 1;
  return y == on_line ? 0 : -1;
}

int PlimList::picture(float* y, float x, float x1, float y1, float x2, float y2) {
  if (x1 == x2) return -1;
  if (y != nullptr) *y = line_value(x, x1, y1, x2, y2);
  return (x1 <= x && x <= x2) ? 1 : 0;
}

int PlimList::crosspoint(float* x, float* y, float x1, float y1, float x2, float y2, float x3,
                         float y3, float x4, float y4) {
  float cx = 0;
  float cy = -1;
  if (x != nullptr) *x = cx;
  if (y != nullptr) *y = cy;
  const bool vertical1 = x1 == x2;
  const bool vertical2 = x3 == x4;
  const bool horizontal1 = y1 == y2;
  const bool horizontal2 = y3 == y4;
  if ((vertical1 && vertical2) || (horizontal1 && horizontal2)) return -1;
  if (vertical1) {
    cx = x1;
    cy = line_value(cx, x3, y3, x4, y4);
  } else if (vertical2) {
    cx = x3;
    cy = line_value(cx, x1, y1, x2, y2);
  } else if (horizontal1) {
    cy = y1;
    cx = x3 + ((cy - y3) * (x4 - x3)) / (y4 - y3);
  } else if (horizontal2) {
    cy = y3;
    cx = x1 + ((cy - y1) * (x2 - x1)) / (y2 - y1);
  } else {
    const float m1 = (y2 - y1) / (x2 - x1);
    const float m2 = (y4 - y3) / (x4 - x3);
    if (m1 == m2) return -1;
    const float b1 = y1 - m1 * x1;
    const float b2 = y3 - m2 * x3;
    cx = (b2 - b1) / (m1 - m2);
    cy = m1 * cx + b1;
  }
  if (x != nullptr) *x = cx;
  if (y != nullptr) *y = cy;
  const bool inside =
      within(cx, x1, x2) && within(cy, y1, y2) && within(cx, x3, x4) && within(cy, y3, y4);
  return inside ? 1 : 0;
}

void PlimList::set_fs_colour(int k, colourtype colour) {
  change_set(k, [colour](PlimFuzzySet& set) { set.set_fs_colour(colour); });
}

// The support end is moved before the end point, so that the point may
// follow it outwards (set_msf_point_x keeps points inside the support).
void PlimList::set_fs_lower_support_end(int k, float x) {
  PlimFuzzySet* set = term_for_change(k);
  if (set == nullptr || set->get_msf_point_number() < 2) return;
  x = min(x, set->get_msf_point_x(1));
  set->set_lower_support_end(x);
  set->set_msf_point_x(0, x);
}

void PlimList::set_fs_upper_support_end(int k, float x) {
  PlimFuzzySet* set = term_for_change(k);
  if (set == nullptr || set->get_msf_point_number() < 2) return;
  const int last = set->get_msf_point_number() - 1;
  x = max(x, set->get_msf_point_x(last - 1));
  set->set_upper_support_end(x);
  set->set_msf_point_x(last, x);
}

int PlimList::delete_msf_point(int k, int i) {
  PlimFuzzySet* set = term_for_change(k);
  return set != nullptr ? set->delete_msf_point(i, FuzzyContext::errors(context_)) : -1;
}

// The evaluation tree copies variables for every combination it makes, and
// mostly into variables that hold the same already: a set equal bit for bit
// is left as it is, any other is assigned over, reusing its strings and point
// buffers.
void PlimList::copy(const PlimList* other) {
  if (other == this) return;
  if (other == nullptr) {
    remove_all();
    return;
  }
  other->take_pending();
  take_pending();
  stamp_ = other->get_stamp();
  shape_stamp_ = other->get_shape_stamp();
  fuzzified_stamp_ = other->fuzzified_stamp_;
  fuzzified_bits_ = other->fuzzified_bits_;
  forget_known_values();
  assign_terms(sets_, other->sets_);
}

void PlimList::show(std::ostream& out) const {
  take_pending();
  for (const PlimFuzzySet& set : sets_) set.show(out);
}

void PlimList::write(std::ostream& out) const {
  take_pending();
  write_count_frame(out, get_number());
  out << '\n';
  for (const PlimFuzzySet& set : sets_) set.write(out);
}

bool PlimList::read(std::istream& in) {
  changed();
  return read_counted(in, sets_);
}
