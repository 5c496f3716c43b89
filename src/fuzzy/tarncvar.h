// Piecewise-linear fuzzy sets and linguistic variables: polylines with their
// ordered insertion and clean-up, the float list, fuzzy sets with match values
// and clipped (instantiated) membership functions, term lists with the cover
// merge, variables generated from parameter sets, and the variable list.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarnpara.h"

// The smaller and the larger operand.
float min(float a, float b);
float max(float a, float b);

// Prints the prompt on `out` and waits for one character from `in`.
void wait_for_key_press(std::istream& in, std::ostream& out);

struct FuzzyContext;

// A list of membership values.
class FList {
 public:
  void add(float value) { values_.push_back(value); }
  // The i-th value's storage; null outside 0..number-1.
  float* find(int i) { return element_at(values_, i); }
  // The i-th value; -1.0 outside 0..number-1.
  float find_v(int i) const;
  float operator[](int i) const { return find_v(i); }
  // Removes the i-th value (1), or reports on `err` that there is none (-1).
  int remove(int i, std::ostream* err = nullptr);
  void remove_all() { values_.clear(); }
  // Sum over count; 0 for an empty list (nothing to divide).
  float mean() const;
  int get_number() const { return static_cast<int>(values_.size()); }
  const std::vector<float>& values() const { return values_; }

 private:
  std::vector<float> values_;
};

// One polyline point (x, membership degree).
class Point {
 public:
  Point() = default;
  Point(float x, float y) : x_value_(x), y_value_(y) {}

  void set_x(float x) { x_value_ = x; }
  void set_y(float y) { y_value_ = y; }
  float get_x() const { return x_value_; }
  float get_y() const { return y_value_; }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);

 private:
  float x_value_ = 0.0f;
  float y_value_ = -1.0f;
};
// Points are compared and hashed as their bytes: two floats, no padding.
static_assert(sizeof(Point) == 2 * sizeof(float));

// A polyline ordered by non-decreasing x; equal x in consecutive points forms
// a vertical edge.
class PList {
 public:
  // Appends without ordering.
  void add(float x, float y) { points_.emplace_back(x, y); }
  void add_PList(float x, float y) { add(x, y); }
  // Ordered insertion; returns 0 (already there), 1 (into an empty list),
  // 2 (new first point of a vertical edge at the start), 3 (after the first
  // point of such an edge), 4 (before the last point, on a vertical edge at
  // the end), 5 (new last point on that edge), 6 (after its predecessor).
  int insert(float x, float y);
  int insert(const Point* p) { return p != nullptr ? insert(p->get_x(), p->get_y()) : 0; }

  // The i-th point; null outside 0..number-1.
  Point* find(int i) {
    return i >= 0 && i < get_number() ? &points_[static_cast<std::size_t>(i)] : nullptr;
  }
  const Point* find(int i) const {
    return i >= 0 && i < get_number() ? &points_[static_cast<std::size_t>(i)] : nullptr;
  }
  const Point* operator[](int i) const { return find(i); }
  // Index of (x, y) when it is the first point with that x, else -1.
  int find(float x, float y) const;
  // Index of the first point with p's coordinates, else -1.
  int find(const Point* p) const;
  float find_x(int i) const;
  float find_y(int i) const;

  // Removes the i-th point; indices outside the list are ignored.
  void remove(int i);
  void remove_all() { points_.clear(); }
  // Makes room for n points at once.
  void reserve(int n) { points_.reserve(static_cast<std::size_t>(n)); }
  void copy(const PList* other);
  void copy_PList(const PList* other) { copy(other); }

  // The greatest y, at least 0.
  float get_max_y() const;
  // The x of the first point at height y. Without such a point a message goes
  // to `err` and the first point's x is returned (-1 for an empty polyline).
  float get_first_x(float y, std::ostream* err = nullptr) const;
  // Appends the x of every point at height y, in order.
  void get_x(FList* out, float y) const;

  // Remove the middle points of runs of equal y (equal x).
  void clear_horizontal_line();
  void clear_vertical_line();
  void clear_lines();

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);

  int get_number() const { return static_cast<int>(points_.size()); }
  const std::vector<Point>& points() const { return points_; }

 private:
  friend class PolylineBuilder;
  std::vector<Point> points_;
};

// PList::insert, result for result, without its scans from the front while
// the polyline is sorted by x and a point goes right of its last point or
// strictly between two neighbours.
class PolylineBuilder {
 public:
  explicit PolylineBuilder(PList* line);
  int insert(float x, float y) {
    if (sorted_ && line_->get_number() > 0 && x > line_->points().back().get_x()) {
      line_->add(x, y);
      return 6;
    }
    return insert_searching(x, y);
  }
  int insert(const Point& p) { return insert(p.get_x(), p.get_y()); }

 private:
  int insert_searching(float x, float y);

  PList* line_;
  // The x values never decrease and none is NaN.
  bool sorted_ = true;
};

// Term name, support and colour of a fuzzy set.
class FuzzySetBase {
 public:
  FuzzySetBase() = default;
  FuzzySetBase(std::string_view term, float lower, float upper, colourtype colour);

  void set_linguistic_term(std::string_view term) { linguistic_term_ = cut_name(term); }
  const char* get_linguistic_term() const { return linguistic_term_.c_str(); }
  std::string_view get_linguistic_term_view() const { return linguistic_term_; }
  void set_lower_support_end(float x) { lower_support_end_ = x; }
  void set_upper_support_end(float x) { upper_support_end_ = x; }
  float get_lower_support_end() const { return lower_support_end_; }
  float get_upper_support_end() const { return upper_support_end_; }
  void set_fs_colour(colourtype colour) { fs_colour_.set_colour(colour); }
  void set_fs_colour(const Colour& colour) { fs_colour_ = colour; }
  colourtype get_fs_colour() const { return fs_colour_.get_colour(); }

  void copy(const FuzzySetBase* other);
  void copy_FSB(const FuzzySetBase* other) { FuzzySetBase::copy(other); }
  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);
  void show_FSB(std::ostream& out) const { FuzzySetBase::show(out); }
  void write_FSB(std::ostream& out) const { FuzzySetBase::write(out); }
  bool read_FSB(std::istream& in) { return FuzzySetBase::read(in); }

 private:
  std::string linguistic_term_ = "no_linguistic_term";
  float lower_support_end_ = 0.0f;
  float upper_support_end_ = 0.0f;
  Colour fs_colour_;
};

// A fuzzy set with a polyline membership function (msf) and the function
// clipped at the current match value (imsf).
class PlimFuzzySet : public FuzzySetBase {
 public:
  PlimFuzzySet() = default;
  PlimFuzzySet(std::string_view term, float lower, float upper, colourtype colour,
               std::string_view function);

  // The membership degree of x, taken strictly inside the support.
  float membership(float x) const;
  // Stores membership(x) as the match value and returns it.
  float calculate_match_value(float x);
  // Rebuilds imsf: msf clipped at the match value.
  void build_imsf();

  void set_match_value(float mv) { match_value_ = mv; }
  float get_match_value() const { return match_value_; }
  void set_function(std::string_view function) { function_.set_name(function); }
  const char* get_function() const { return function_.get_name(); }
  PList* get_msf() { return &msf_; }
  const PList* get_msf() const { return &msf_; }
  PList* get_imsf() { return &imsf_; }
  const PList* get_imsf() const { return &imsf_; }

  int get_msf_point_number() const { return msf_.get_number(); }
  int get_imsf_point_number() const { return imsf_.get_number(); }
  float get_msf_point_x(int i) const { return msf_.find_x(i); }
  float get_msf_point_y(int i) const { return msf_.find_y(i); }
  float get_imsf_point_x(int i) const { return imsf_.find_x(i); }
  float get_imsf_point_y(int i) const { return imsf_.find_y(i); }

  // Editing of the membership function (not used when evaluating).
  void add_msf_point(float x, float y);
  // An end point is not deleted: -1 and a message on `err`.
  int delete_msf_point(int i, std::ostream* err = nullptr);
  void set_msf_point_x(int i, float x);
  void set_msf_point_y(int i, float y);

  FuzzySetBase get_FSB() const { return *this; }
  void copy(const PlimFuzzySet* other);
  void copy_PFS(const PlimFuzzySet* other) { copy(other); }
  // Whether every part of the two sets is equal, floats by their bits.
  bool same_bits_as(const PlimFuzzySet& other) const;
  // The same but for the match value and the clipped function.
  bool same_shape_as(const PlimFuzzySet& other) const;

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);

 private:
  PList msf_;
  PList imsf_;
  float match_value_ = -1.0f;
  Name function_{"point_list"};
};

// The terms of a linguistic variable, with a stamp: lists with equal stamps
// hold equal terms, bit for bit. Every operation that changes a term gives a
// new stamp; copies take the stamp they copy. The shape stamp identifies the
// terms without their match values and clipped functions: it moves with the
// stamp except where only those change (fuzzifying, set_all_mvs).
// A list that has lent a term for writing (the non-const find and add) cannot
// see what is written through it, whenever that is: from then on every read
// of its stamps gives a new one, and nothing remembered about its terms is
// used. The library's own code changes terms through change_set and, for the
// rule pass, term_for_change, which move the stamp without lending.
class PlimList {
 public:
  PlimList() = default;
  // Copies take the terms and their stamp, not the source's known values.
  PlimList(const PlimList& other);
  PlimList& operator=(const PlimList& other);
  virtual ~PlimList();

  // Appends a set and lends it.
  PlimFuzzySet* add() {
    lend();
    return &sets_.emplace_back();
  }
  PlimFuzzySet* add_PFS() { return add(); }
  // Appends the set with support [lower, upper] and the membership polyline
  // (lower,0) (lower+left_flank,1) (upper-right_flank,1) (upper,0), the third
  // point left out when it coincides with the second, and lends it.
  PlimFuzzySet* add(std::string_view term, float lower, float upper, float left_flank,
                    float right_flank, colourtype colour) {
    lend();
    return &append(term, lower, upper, left_flank, right_flank, colour);
  }
  PlimFuzzySet* add_PFS(std::string_view term, float lower, float upper, float left_flank,
                        float right_flank, colourtype colour) {
    return add(term, lower, upper, left_flank, right_flank, colour);
  }

  // The k-th set; null outside 0..number-1. Pointers stay valid until sets
  // are added or removed. The non-const one lends the set.
  PlimFuzzySet* find(int k) {
    lend();
    return set_at(k);
  }
  const PlimFuzzySet* find(int k) const {
    take_pending();
    return k >= 0 && k < get_number() ? &sets_[static_cast<std::size_t>(k)] : nullptr;
  }
  PlimFuzzySet* operator[](int k) { return find(k); }
  // Index of the first set with that term, else -1.
  int get_fs_index(std::string_view term) const;

  float get_membership(float x, int k) const;
  NList get_names_of_vars() const;
  // 0 when the first set carries a match value of 0 or more, else -1 (also
  // when there is no set).
  int check_match() const {
    take_pending();
    return sets_.empty() || sets_.front().get_match_value() < 0 ? -1 : 0;
  }
  void set_all_mvs(float mv);
  // Gives every set its match value at x and the function clipped there.
  // Fuzzifying a value (bit for bit) again, with only fuzzifications in
  // between, gives the terms and the stamp it gave before.
  void fuzzify(float x);

  // Merges set k's instantiated function into cover (upper envelope); 1.
  int put_imsf_into_cover(PList* cover, int k) const;
  static int above(const Point* p, const PList* line);
  static int above(float x, float y, float x1, float y1, float x2, float y2);
  static int picture(float* y, float x, float x1, float y1, float x2, float y2);
  static int crosspoint(float* x, float* y, float x1, float y1, float x2, float y2, float x3,
                        float y3, float x4, float y4);

  // Per-set accessors by index; out-of-range indices read as white, 0 or -1
  // (match values and y) and write nothing.
  colourtype get_fs_colour(int k) const { return of_set(k, &PlimFuzzySet::get_fs_colour, white); }
  void set_fs_colour(int k, colourtype colour);
  float get_fs_lower_support_end(int k) const {
    return of_set(k, &PlimFuzzySet::get_lower_support_end, 0.0f);
  }
  float get_fs_upper_support_end(int k) const {
    return of_set(k, &PlimFuzzySet::get_upper_support_end, 0.0f);
  }
  void set_fs_lower_support_end(int k, float x);
  void set_fs_upper_support_end(int k, float x);
  float get_fs_match_value(int k) const { return of_set(k, &PlimFuzzySet::get_match_value, -1.0f); }
  void set_fs_match_value(int k, float mv) { to_set(k, &PlimFuzzySet::set_match_value, mv); }
  int get_msf_point_number(int k) const {
    return of_set(k, &PlimFuzzySet::get_msf_point_number, 0);
  }
  int get_imsf_point_number(int k) const {
    return of_set(k, &PlimFuzzySet::get_imsf_point_number, 0);
  }
  float get_msf_x(int k, int i) const { return of_set(k, &PlimFuzzySet::get_msf_point_x, 0.0f, i); }
  float get_msf_y(int k, int i) const {
    return of_set(k, &PlimFuzzySet::get_msf_point_y, -1.0f, i);
  }
  float get_imsf_x(int k, int i) const {
    return of_set(k, &PlimFuzzySet::get_imsf_point_x, 0.0f, i);
  }
  float get_imsf_y(int k, int i) const {
    return of_set(k, &PlimFuzzySet::get_imsf_point_y, -1.0f, i);
  }
  void set_msf_x(int k, int i, float x) { to_set(k, &PlimFuzzySet::set_msf_point_x, i, x); }
  void set_msf_y(int k, int i, float y) { to_set(k, &PlimFuzzySet::set_msf_point_y, i, y); }
  void add_msf_point(int k, float x, float y) { to_set(k, &PlimFuzzySet::add_msf_point, x, y); }
  int delete_msf_point(int k, int i);

  // Applies `change` to set k, a new stamp; nothing outside the list.
  template <class TChange>
  void change_set(int k, TChange change) {
    if (PlimFuzzySet* set = term_for_change(k)) change(*set);
  }

  void copy(const PlimList* other);
  void copy_PlimList(const PlimList* other) { PlimList::copy(other); }
  void remove_all() {
    changed();
    sets_.clear();
  }
  // Makes room for n sets at once.
  void reserve(int n) { sets_.reserve(static_cast<std::size_t>(n)); }
  int get_number() const { return static_cast<int>(sets_.size()); }

  std::uint64_t get_stamp() const {
    if (lent_) renew_stamps();
    return stamp_;
  }
  std::uint64_t get_shape_stamp() const {
    if (lent_) renew_stamps();
    return shape_stamp_;
  }
  // The context whose memories and scratch the list's operations use
  // (null: none, everything computed). See tarnrule_context.h.
  void set_context(FuzzyContext* context) { context_ = context; }
  FuzzyContext* get_context() const { return context_; }
  // Makes the terms those of `source`, bit for bit, with its stamp, taken
  // when the terms are first looked at: the source's terms must not change
  // and must have the shapes of the list's own, whose number and names are
  // read without taking them.
  void take_terms_later(std::shared_ptr<const PlimList> source);

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);
  void show_PL(std::ostream& out) const { PlimList::show(out); }
  void write_PL(std::ostream& out) const { PlimList::write(out); }
  bool read_PL(std::istream& in) { return PlimList::read(in); }

 protected:
  // Appends the set add() makes without lending it.
  PlimFuzzySet& append(std::string_view term, float lower, float upper, float left_flank,
                       float right_flank, colourtype colour);

 private:
  friend struct FuzzyContext;  // pools KnownValues
  friend class RuleSet;        // its rule pass writes the concluded terms

  void changed() {
    take_pending();
    stamp_ = next_generation();
    shape_stamp_ = stamp_;
  }
  void renew_stamps() const {
    stamp_ = next_generation();
    shape_stamp_ = stamp_;
  }
  void lend() {
    changed();
    lent_ = true;
  }
  PlimFuzzySet* set_at(int k) {
    return k >= 0 && k < get_number() ? &sets_[static_cast<std::size_t>(k)] : nullptr;
  }
  // Set k for one change made now, which the new stamp covers; the pointer
  // is not kept past it.
  PlimFuzzySet* term_for_change(int k) {
    changed();
    return set_at(k);
  }
  // Gives the terms what was left pending: the known value a fuzzification
  // found, or the terms of another list.
  void take_pending() const {
    if (pending_ >= 0) take_known_terms();
    if (pending_source_ != nullptr) take_source_terms();
  }
  void take_known_terms() const;
  void take_source_terms() const;
  // What `read` (with `args`) gives of set k, or `otherwise` outside the list.
  template <class TRead, class T, class... TArgs>
  T of_set(int k, TRead read, T otherwise, TArgs... args) const {
    const PlimFuzzySet* set = find(k);
    return set != nullptr ? (set->*read)(args...) : otherwise;
  }
  // Applies `write` (with `args`) to set k; nothing outside the list.
  template <class TWrite, class... TArgs>
  void to_set(int k, TWrite write, TArgs... args) {
    change_set(k, [&](PlimFuzzySet& set) { (set.*write)(args...); });
  }

  // Mutable only for taking a pending fuzzification, which leaves the
  // terms' contents as they were seen.
  mutable std::vector<PlimFuzzySet> sets_;
  // Mutable for a lent list, whose every stamp read gives a new one.
  mutable std::uint64_t stamp_ = next_generation();
  mutable std::uint64_t shape_stamp_ = stamp_;
  // Whether a set was lent for writing; never undone, as the list cannot
  // know when the pointers it lent are gone.
  bool lent_ = false;
  // What fuzzifying a value gave: its bits, the stamp (0: unused), and per
  // term the match value and the clipped function.
  struct KnownValue {
    std::uint32_t bits = 0;
    std::uint64_t stamp = 0;
    std::vector<float> match_values;
    std::vector<PList> clipped;
  };
  struct KnownValues {
    // A variable set in a loop meets up to some hundred values per script
    // run, mostly the same ones from run to run. The room grows with the
    // values met, up to kCount; then each new value replaces the oldest.
    static constexpr std::size_t kCount = 128;
    std::vector<KnownValue> values;
    std::size_t next = 0;      // the value replaced next, once all kCount are held
    std::size_t replaced = 0;  // values replaced since the table was laid out
    // The values by their bits: an open-addressing table of value indices
    // plus one (0: empty). A replaced value's entry stays until the table
    // is laid out anew, after kCount replacements, so it holds at most
    // twice kCount entries; lookups pass over entries of other bits.
    static constexpr std::size_t kSlots = 4 * kCount;
    static_assert(kSlots == 512 && kCount < 256);
    std::array<std::uint8_t, kSlots> slots{};
    static std::size_t slot_of(std::uint32_t bits) { return (bits * 0x9E3779B1u) >> 23; }
    void enter(std::size_t index);
    void lay_out();
    // In the pool: the terms of the list that left the values, whose shape
    // a list taking them over must have for the values to hold.
    std::vector<PlimFuzzySet> terms;
  };

  void compute_fuzzification(float x, bool clipped);
  int known_value(std::uint32_t x_bits) const;
  void remember_value(std::uint32_t x_bits);
  void forget_known_values();
  // The known values a list of the same shape left when it went (script
  // runs make their variables anew, with the same shapes), else empty ones.
  std::unique_ptr<KnownValues> pooled_known_values() const;
  void pool_known_values();
  bool same_shape(const std::vector<PlimFuzzySet>& terms) const;

  // The stamp the last fuzzification gave and the bits of its value.
  std::uint64_t fuzzified_stamp_ = 0;
  std::uint32_t fuzzified_bits_ = 0;
  // The last few fuzzifications, kept while nothing but fuzzifications
  // changed the terms: fuzzifying one of those values again takes the terms
  // and the stamp from here. Made at the first fuzzification.
  std::unique_ptr<KnownValues> known_;
  // The known value whose terms a fuzzification found but left for the
  // first look at the terms (-1: none), as most fuzzified variables are read
  // only by their stamp.
  mutable int pending_ = -1;
  // The list whose terms take_terms_later() left pending (null: none).
  mutable std::shared_ptr<const PlimList> pending_source_;
  FuzzyContext* context_ = nullptr;
};

class CVList;

// A linguistic variable: six parameters, its terms and its crisp value.
// Variables are not copied implicitly; copy() takes over another's contents.
class CombinedVariable : public ParameterSetBase, public PlimList {
 public:
  CombinedVariable() = default;
  // Generates the terms from ps. A parameter set with fewer than two term
  // names yields a variable without terms and a warning; warnings go to
  // `err` (null: none).
  CombinedVariable(const ParameterSet* ps, std::string_view name, std::ostream* err = nullptr);
  // Whether generating a variable from ps prints warnings: values out of
  // range, or fewer than two term names.
  static bool generation_warns(const ParameterSet& ps) {
    return !ps.passes_checks() || ps.get_NList()->get_number() < 2;
  }
  CombinedVariable(const CombinedVariable&) = delete;
  CombinedVariable& operator=(const CombinedVariable&) = delete;

  // Fuzzifies x: 1, or -1 with a message (to the context's error stream)
  // when x is outside the range.
  int set_value(float x);
  void set_crisp_value(float x) { crisp_value_ = x; }
  float get_crisp_value() const { return crisp_value_; }
  void set_cv_name(std::string_view name);
  const char* get_cv_name() const { return cv_name_.c_str(); }
  std::string_view get_cv_name_view() const { return cv_name_; }

  // Takes over parameters, terms, name and crisp value.
  void copy(const CombinedVariable* other);
  void copy_PlimList(const CombinedVariable* other) { PlimList::copy(other); }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  bool read(std::istream& in);

 private:
  friend class CVList;
  friend class RuleSet;
  std::string cv_name_ = "empty_variable";
  // What RuleSet::search(this) found, in which block generation; a rename forgets it.
  mutable int found_block_ = -1;
  mutable std::uint64_t found_block_generation_ = 0;
  // The bindings of its list (CVList::get_bindings) in which a lookup of its
  // name found this very variable; 0: none.
  mutable std::uint64_t first_of_name_bindings_ = 0;
  float crisp_value_ = -1.0f;
  // The list holding this variable (told about renames), and the variable's
  // rank in that list.
  CVList* owner_ = nullptr;
  std::uint64_t rank_ = 0;
};

// An ordered list of variables. Lookups by name find the first variable of
// that name without scanning the list; elements keep their addresses.
class CVList {
 public:
  CVList() = default;
  CVList(const CVList&) = delete;
  CVList& operator=(const CVList&) = delete;

  CombinedVariable* add();
  // Appends a copy of cv (nothing for null) and returns the copy.
  CombinedVariable* add(const CombinedVariable* cv);
  // Appends a copy of cv under the name (cut to size) and returns the copy.
  CombinedVariable* add(const CombinedVariable* cv, std::string_view name);
  // Appends the variable generated from ps under name (see the constructor)
  // and returns it: the same variable as a copy of one generated apart.
  CombinedVariable* add(const ParameterSet* ps, std::string_view name);
  // Appends copies of other's variables whose names are not yet present.
  void add(const CVList* other);

  CombinedVariable* find(int i) { return owned_at(items_, i); }
  const CombinedVariable* find(int i) const { return owned_at(items_, i); }
  CombinedVariable* operator[](int i) { return find(i); }
  CombinedVariable* find_cv(std::string_view name) const;
  // Where a lookup by name found its variable, and in which generation of
  // which list (generations are never reused, so a hint of another list or
  // of an earlier state never matches).
  struct Hint {
    std::uint64_t generation = 0;
    CombinedVariable* cv = nullptr;
  };
  // find_cv through a hint that it updates. While the generation holds, no
  // variable was added, removed or renamed, so the hinted variable is still
  // the first of its name.
  CombinedVariable* find_cv(std::string_view name, Hint& hint) const {
    if (hint.generation == generation_ && hint.cv != nullptr &&
        same_text(hint.cv->get_cv_name_view(), name_view(name))) {
      return hint.cv;
    }
    CombinedVariable* found = find_cv(name);
    hint = Hint{generation_, found};
    return found;
  }
  int find_cv_by_pointer(const CombinedVariable* cv) const;
  int find_cv_by_name(const CombinedVariable* cv) const;
  // Removes the i-th variable; indices outside the list are ignored.
  void remove(int i);
  void remove_all();
  int get_number() const { return static_cast<int>(items_.size()); }
  // Changes whenever a variable is added, removed or renamed; values are
  // never reused, also across lists.
  std::uint64_t get_generation() const { return generation_; }
  // Changes whenever a name may come to stand for another variable: a
  // variable is removed or renamed. An added variable comes after every
  // variable of its name, so adding changes only what no lookup had found.
  std::uint64_t get_bindings() const { return bindings_; }
  // The context of the list's variables, present and future (null: none).
  void set_context(FuzzyContext* context);
  FuzzyContext* get_context() const { return context_; }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Appends the variables of a list text; stops with a message and false at
  // a variable whose text breaks off (that variable is dropped).
  bool read(std::istream& in);

 private:
  friend class CombinedVariable;
  using Bucket = std::vector<CombinedVariable*>;  // same name, in list order

  CombinedVariable* adopt(std::unique_ptr<CombinedVariable> cv);
  void index_insert(CombinedVariable* cv);
  void index_erase(CombinedVariable* cv, const std::string& name);
  void renamed(CombinedVariable* cv, const std::string& old_name);
  void changed() { generation_ = next_generation(); }
  void rebound() {
    changed();
    bindings_ = generation_;
  }

  // Lookups of a name no listed name can be, as most lookups of formulas
  // are, end at a count instead of a hash of the name: the names are counted
  // by their length with their first and last characters.
  static constexpr std::size_t kNameKinds = 512;
  static std::size_t kind_of(std::string_view name) {
    if (name.empty()) return 0;
    const std::size_t first = static_cast<unsigned char>(name.front());
    const std::size_t last = static_cast<unsigned char>(name.back());
    return (name.size() ^ first << 2 ^ last << 5) % kNameKinds;
  }

  std::vector<std::unique_ptr<CombinedVariable>> items_;
  std::unordered_map<std::string, Bucket, NameHash, NameEqual> by_name_;
  std::array<std::uint32_t, kNameKinds> names_of_kind_{};  // by kind_of
  std::uint64_t next_rank_ = 0;
  std::uint64_t generation_ = next_generation();
  std::uint64_t bindings_ = next_generation();
  FuzzyContext* context_ = nullptr;
};
