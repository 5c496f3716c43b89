// Parameter sets: the compact description (range, median, shape factors,
// importance, term names and colours) from which a linguistic variable is
// generated, the lists that hold them, and their text formats.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base_text.h"

// Every name of the fuzzy library (terms, variables, parameter sets, rule
// sets) holds at most this many characters; longer texts are cut.
inline constexpr std::size_t kNameChars = 39;

// Returns text cut to kNameChars characters; name_view does so without a
// copy, so that lookups by a longer name find the name as it was stored.
std::string cut_name(std::string_view text);
inline std::string_view name_view(std::string_view text) {
  return fit(text, kNameChars);
}

// The hash of the library's lookup tables by name. Names are short, so the
// text is taken eight bytes at a time (the last word overlapping the one
// before it), each word multiplied in and its high bits folded down.
inline std::size_t name_hash(std::string_view text) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const auto mix = [](std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * kMultiplier;
    return h ^ (h >> 32);
  };
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::uint64_t h = mix(0, n);
  if (n < 8) return static_cast<std::size_t>(mix(h, text_words::short_word(p, n)));
  for (std::size_t i = 0; i + 8 < n; i += 8) h = mix(h, text_words::word8(p + i));
  return static_cast<std::size_t>(mix(h, text_words::word8(p + n - 8)));
}

// The hash and equality objects for unordered containers keyed by names,
// also found by string_view.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return name_hash(text); }
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return same_text(a, b); }
};

// Stream helpers of the library's readers. Each returns false once the
// stream has failed, so a reader stops at truncated or garbage input.
bool read_word(std::istream& in, std::string& word);
bool read_name(std::istream& in, std::string& name);  // one word, cut to kNameChars
// Reads a list head "/* #: n */": two words, the count, one word, unexamined.
bool read_count_frame(std::istream& in, int& count);
// Writes a list head "/* #: n */ " (with its trailing blank).
void write_count_frame(std::ostream& out, int count);
// Reads a list text: its head, then as many elements as it counts, each
// appended to `items` as a default element and then read by its read();
// false at the first that cannot be read, which stays with what was read of
// it, as the elements before it do. Reading stops there: a count far beyond
// the text appends no more defaults.
template <class Items>
bool read_counted(std::istream& in, Items& items) {
  int count = 0;
  if (!read_count_frame(in, count)) return false;
  for (int i = 0; i < count; ++i) {
    if (!items.emplace_back().read(in)) return false;
  }
  return true;
}

// The element at index i of a list's items, or null outside 0..size-1: the
// lists' find(i).
template <class Items>
auto* element_at(Items& items, int i) {
  return i >= 0 && static_cast<std::size_t>(i) < items.size() ? &items[static_cast<std::size_t>(i)]
                                                              : nullptr;
}
// The same for items held by owning pointers: the element pointed to.
template <class Items>
auto* owned_at(Items& items, int i) {
  auto* owner = element_at(items, i);
  return owner != nullptr ? owner->get() : nullptr;
}

// Writes one message line of the library to `err` and flushes it; nothing
// when there is no stream to report to (null).
template <class... Parts>
void report_line(std::ostream* err, const Parts&... parts) {
  if (err != nullptr) (*err << ... << parts) << std::endl;
}

enum colourtype : int {
  violet,
  blue,
  light_blue,
  turquoise,
  green,
  yellow,
  orange,
  red,
  pink,
  white,
  black,
  grey,
  light_grey,
  dark_grey,
  dark_blue,
  light_green,
  dark_green,
  light_red,
  dark_red,
  brown
};

// The name of a colour; "no_known_colour" for a value outside the enumeration.
const char* colour_text(colourtype colour);
// The colour of a name; white for any word that names no colour.
colourtype colour_from_text(std::string_view word);

// One linguistic term name.
class Name {
 public:
  Name() = default;
  explicit Name(std::string_view text) : nam_(cut_name(text)) {}

  void set_name(std::string_view text) { nam_ = cut_name(text); }
  const char* get_name() const { return nam_.c_str(); }
  std::string_view get_name_view() const { return nam_; }

  void show(std::ostream& out) const { write(out); }
  void write(std::ostream& out) const;
  bool read(std::istream& in) { return read_name(in, nam_); }

 private:
  std::string nam_ = "no_lingiustic_term";
};

// The term names of a parameter set, in term order.
class NList {
 public:
  NList() = default;
  // The default names for n terms.
  explicit NList(int n);

  void add(std::string_view text) { names_.emplace_back(text); }
  // The i-th entry; null outside 0..number-1.
  Name* find(int i) { return element_at(names_, i); }
  const Name* find(int i) const { return element_at(names_, i); }
  // The i-th name text; "" outside 0..number-1.
  const char* find_n(int i) const;
  const char* operator[](int i) const { return find_n(i); }
  void copy(const NList* other);
  void remove_all() { names_.clear(); }
  int get_number() const { return static_cast<int>(names_.size()); }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Appends the names of a list text to the existing entries.
  bool read(std::istream& in);

 private:
  std::vector<Name> names_;
};

// One display colour.
class Colour {
 public:
  Colour() = default;
  explicit Colour(colourtype colour) : colour_(colour) {}

  void set_colour(colourtype colour) { colour_ = colour; }
  colourtype get_colour() const { return colour_; }

  void show(std::ostream& out) const { write(out); }
  void write(std::ostream& out) const;
  bool read(std::istream& in);

 private:
  colourtype colour_ = white;
};

// The colours of a parameter set's terms, in term order.
class CList {
 public:
  CList() = default;
  // The default colours for n terms.
  explicit CList(int n);

  void add(colourtype colour) { colours_.emplace_back(colour); }
  // The i-th entry; null outside 0..number-1.
  Colour* find(int i) { return element_at(colours_, i); }
  const Colour* find(int i) const { return element_at(colours_, i); }
  const Colour* find_ct(int i) const { return find(i); }
  const Colour* operator[](int i) const { return find(i); }
  void copy(const CList* other);
  void remove_all() { colours_.clear(); }
  int get_number() const { return static_cast<int>(colours_.size()); }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Appends the colours of a list text to the existing entries.
  bool read(std::istream& in);

 private:
  std::vector<Colour> colours_;
};

// A new value of a process-wide counter, for marking versions of lists;
// never 0, never the same twice, also across threads (atomic).
namespace fuzzy_detail {
inline std::atomic<std::uint64_t> generation_counter{0};
}  // namespace fuzzy_detail
inline std::uint64_t next_generation() {
  return fuzzy_detail::generation_counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

// The six numbers of a parameter set. They carry a stamp that every change
// moves and copies take with the numbers: equal stamps mean equal numbers.
class ParameterSetBase {
 public:
  ParameterSetBase() = default;
  // Stores the values and corrects out-of-range ones with a warning each
  // on `err` (null: corrected silently).
  ParameterSetBase(float lower, float upper, float median, float distribution, float dilatation,
                   float importance, std::ostream* err = nullptr);

  void set_range_lower_end(float value) { set(range_lower_end_, value); }
  void set_range_upper_end(float value) { set(range_upper_end_, value); }
  void set_median(float value) { set(median_, value); }
  // These three clamp into their ranges with the constructor's warnings.
  void set_distribution(float value, std::ostream* err = nullptr);
  void set_dilatation(float value, std::ostream* err = nullptr);
  void set_importance(float value, std::ostream* err = nullptr);

  float get_range_lower_end() const { return range_lower_end_; }
  float get_range_upper_end() const { return range_upper_end_; }
  float get_median() const { return median_; }
  float get_distribution() const { return distribution_; }
  float get_dilatation() const { return dilatation_; }
  float get_importance() const { return importance_; }
  std::uint64_t get_parameter_stamp() const { return stamp_; }

  // Takes over all six values unchecked.
  void copy(const ParameterSetBase* other);
  // A copy of the six values, for parameter sets and variables alike:
  // distribution, dilatation and importance pass through the checking
  // setters (and warn on `err` when out of range).
  ParameterSetBase get_PSB(std::ostream* err = nullptr) const;
  // Whether distribution, dilatation and importance are within the ranges
  // the checking setters hold them in (values read from a file may not be),
  // and the warnings get_PSB gives on `err` for those that are not.
  bool in_checked_ranges() const { return checked_in_range_; }
  void warn_out_of_range(std::ostream* err) const;
  // Whether the checking constructor takes these values without a warning.
  bool passes_checks() const;
  void copy_PSB(const ParameterSetBase* other) { ParameterSetBase::copy(other); }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Reads the six values without range checks.
  bool read(std::istream& in);
  void show_PSB(std::ostream& out) const { ParameterSetBase::show(out); }
  void write_PSB(std::ostream& out) const { ParameterSetBase::write(out); }
  bool read_PSB(std::istream& in) { return ParameterSetBase::read(in); }

 private:
  void set(float& field, float value) {
    field = value;
    stamp_ = next_generation();
  }
  float range_lower_end_ = -100.0f;
  float range_upper_end_ = 100.0f;
  float median_ = 0.0f;
  float distribution_ = 0.95f;
  float dilatation_ = 0.0f;
  float importance_ = 1.0f;
  // See in_checked_ranges(): only read() can put them outside.
  bool checked_in_range_ = true;
  void note_checked_ranges();
  std::uint64_t stamp_ = next_generation();
};

// A named parameter set with one name and one colour per term.
class ParameterSet : public ParameterSetBase {
 public:
  ParameterSet() = default;
  // Checks the six values like ParameterSetBase and copies both lists (the
  // caller keeps the lists it passed; a null list counts as empty).
  ParameterSet(std::string_view name, float lower, float upper, float median, float distribution,
               float dilatation, float importance, const CList* colours, const NList* names,
               std::ostream* err = nullptr);

  void set_ps_name(std::string_view name) { ps_name_ = cut_name(name); }
  const char* get_ps_name() const { return ps_name_.c_str(); }

  // Takes over name, values (through get_PSB), colours and term names.
  void copy(const ParameterSet* other, std::ostream* err = nullptr);

  CList* get_CList() { return &colours_; }
  const CList* get_CList() const { return &colours_; }
  NList* get_NList() { return &names_; }
  const NList* get_NList() const { return &names_; }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Reads name, values, colours and names; the lists are appended to. The
  // stream's state tells whether the text was complete.
  ParameterSet* read(std::istream& in);

 private:
  CList colours_;
  NList names_;
  std::string ps_name_ = "default_ParameterSet";
};

// An ordered list of parameter sets; elements keep their addresses while the
// list grows.
class PSList {
 public:
  PSList() = default;
  PSList(const PSList&) = delete;
  PSList& operator=(const PSList&) = delete;

  // Appends a default parameter set and returns it.
  ParameterSet* add();
  // Appends a copy of ps (nothing for null) and returns the copy; the
  // copy's warnings go to `err`.
  ParameterSet* add(const ParameterSet* ps, std::ostream* err = nullptr);
  // Appends ps itself and returns it: for a set made by the checking
  // constructor, the set a copy gives.
  ParameterSet* add(ParameterSet&& ps);
  // Appends copies of all of other's elements in order.
  void add(const PSList* other, std::ostream* err = nullptr);
  // The i-th element; null outside 0..number-1.
  ParameterSet* find(int i) { return owned_at(sets_, i); }
  const ParameterSet* find(int i) const { return owned_at(sets_, i); }
  // Removes the i-th element; indices outside the list are ignored.
  void remove(int i);
  void remove_all() { sets_.clear(); }
  int get_number() const { return static_cast<int>(sets_.size()); }

  void show(std::ostream& out) const;
  void write(std::ostream& out) const;
  // Appends the sets of a list text. A set whose text breaks off is dropped,
  // reading stops there with a message on `err`, and false is returned.
  bool read(std::istream& in, std::ostream* err);

 private:
  std::vector<std::unique_ptr<ParameterSet>> sets_;
};
