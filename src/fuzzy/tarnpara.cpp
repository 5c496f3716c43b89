// Parameter sets, their term-name and colour lists, the checking of the six
// numbers, the default names and colours, and the text formats.
#include "tarnpara.h"

#include <array>
#include <ostream>

std::string cut_name(std::string_view text) {
  return std::string(name_view(text));
}

bool read_word(std::istream& in, std::string& word) {
  return static_cast<bool>(in >> word);
}

bool read_name(std::istream& in, std::string& name) {
  std::string word;
  if (!(in >> word)) return false;
  name = cut_name(word);
  return true;
}

bool read_count_frame(std::istream& in, int& count) {
  std::string word;
  count = 0;
  return (in >> word >> word >> count >> word) ? true : false;
}

void write_count_frame(std::ostream& out, int count) {
  out << "/* #: " << count << " */ ";
}

namespace {

constexpr std::array<const char*, 20> kColourTexts = {
    "violet",    "blue",        "light_blue", "turquoise", "green",    "yellow",     "orange",
    "red",       "pink",        "white",      "black",     "grey",     "light_grey", "dark_grey",
    "dark_blue", "light_green", "dark_green", "light_red", "dark_red", "brown"};

// Default term names for 2 to 9 terms, indexed by n - 2.
const std::vector<std::vector<const char*>>& default_names() {
  static const std::vector<std::vector<const char*>> table = {
      {"not_satisfied", "satisfied"},
      {"bad", "neutral", "good"},
      {"negative_big", "negative", "positive", "positive_big"},
      {"negative_big", "negative", "zero", "positive", "positive_big"},
      {"negative_huge", "negative_big", "negative", "positive", "positive_big", "positive_huge"},
      {"negative_huge", "negative_big", "negative", "zero", "positive", "positive_big",
       "positive_huge"},
      {"negative_huge", "negative_big", "negative", "negative_small", "positive_small", "positive",
       "positive_big", "positive_huge"},
      {"negative_huge", "negative_big", "negative", "negative_small", "zero", "positive_small",
       "positive", "positive_big", "positive_huge"}};
  return table;
}

// Default colours for 2 to 9 terms, indexed by n - 2.
const std::vector<std::vector<colourtype>>& default_colours() {
  static const std::vector<std::vector<colourtype>> table = {
      {blue, red},
      {blue, green, red},
      {blue, green, yellow, red},
      {blue, turquoise, green, yellow, red},
      {blue, turquoise, green, yellow, orange, red},
      {blue, light_blue, turquoise, green, yellow, orange, red},
      {blue, light_blue, turquoise, green, yellow, orange, red, pink},
      {violet, blue, light_blue, green, turquoise, yellow, orange, red, pink}};
  return table;
}

void warn(std::ostream* err, const char* text) {
  report_line(err, text);
}

}  // namespace

const char* colour_text(colourtype colour) {
  const int index = static_cast<int>(colour);
  if (index < 0 || index >= static_cast<int>(kColourTexts.size())) return "no_known_colour";
  return kColourTexts[static_cast<std::size_t>(index)];
}

colourtype colour_from_text(std::string_view word) {
  for (std::size_t i = 0; i < kColourTexts.size(); ++i) {
    if (word == kColourTexts[i]) return static_cast<colourtype>(i);
  }
  return white;
}

// ---------------------------------------------------------------- term names

void Name::write(std::ostream& out) const {
  out << nam_ << ' ';
}

NList::NList(int n) {
  if (n >= 2 && n <= 9) {
    for (const char* text : default_names()[static_cast<std::size_t>(n - 2)]) add(text);
    return;
  }
  for (int i = 0; i < n; ++i) add("no_linguistic_term");
}

const char* NList::find_n(int i) const {
  const Name* name = find(i);
  return name != nullptr ? name->get_name() : "";
}

void NList::copy(const NList* other) {
  if (other == this) return;
  names_.clear();
  if (other != nullptr) names_ = other->names_;
}

void NList::show(std::ostream& out) const {
  for (const Name& name : names_) name.show(out);
  out << std::endl;
}

void NList::write(std::ostream& out) const {
  write_count_frame(out, get_number());
  for (const Name& name : names_) name.write(out);
  out << '\n';
}

bool NList::read(std::istream& in) {
  return read_counted(in, names_);
}

// ------------------------------------------------------------------- colours

void Colour::write(std::ostream& out) const {
  out << colour_text(colour_) << ' ';
}

bool Colour::read(std::istream& in) {
  std::string word;
  if (!read_word(in, word)) return false;
  colour_ = colour_from_text(word);
  return true;
}

CList::CList(int n) {
  if (n >= 2 && n <= 9) {
    for (colourtype colour : default_colours()[static_cast<std::size_t>(n - 2)]) add(colour);
    return;
  }
  for (int i = 0; i < n; ++i) add(white);
}

void CList::copy(const CList* other) {
  if (other == this) return;
  colours_.clear();
  if (other != nullptr) colours_ = other->colours_;
}

void CList::show(std::ostream& out) const {
  for (const Colour& colour : colours_) colour.show(out);
  out << std::endl;
}

void CList::write(std::ostream& out) const {
  write_count_frame(out, get_number());
  for (const Colour& colour : colours_) colour.write(out);
  out << '\n';
}

bool CList::read(std::istream& in) {
  return read_counted(in, colours_);
}

// ---------------------------------------------------------- the six numbers

ParameterSetBase::ParameterSetBase(float lower, float upper, float median, float distribution,
                                   float dilatation, float importance, std::ostream* err)
    : range_lower_end_(lower), range_upper_end_(upper), median_(median) {
  if (range_lower_end_ > range_upper_end_) {
    range_lower_end_ = upper;
    range_upper_end_ = lower;
    warn(err, "Warning: Range was in wrong order in ParameterSet!");
  }
  if (median_ < range_lower_end_ || median_ > range_upper_end_) {
    median_ = range_lower_end_ + (range_upper_end_ - range_lower_end_) / 2;
    warn(err, "Warning: Median was out of range in ParameterSet!");
  }
  set_distribution(distribution, err);
  set_dilatation(dilatation, err);
  set_importance(importance, err);
}

namespace {

// The range a checked parameter is held in, and how its warnings name it.
struct TCheckedRange {
  float low;
  float high;
  const char* what;
  const char* text;
};
constexpr TCheckedRange kDistribution{0.1f, 1, "Distribution", "[0.1,1]"};
constexpr TCheckedRange kDilatation{0, 1, "Dilatation", "[0,1]"};
constexpr TCheckedRange kImportance{0, 1, "Importance", "[0,1]"};

bool in_range(float value, const TCheckedRange& range) {
  return !(value < range.low) && !(value > range.high);
}

// `value` moved into its range, with a warning for the side it was beyond.
float clamped(float value, const TCheckedRange& range, std::ostream* err) {
  if (value < range.low) {
    report_line(err, "Warning: ", range.what, " was below ", range.text, " in ParameterSet!");
    return range.low;
  }
  if (value > range.high) {
    report_line(err, "Warning: ", range.what, " was above ", range.text, " in ParameterSet!");
    return range.high;
  }
  return value;
}

}  // namespace

void ParameterSetBase::set_distribution(float value, std::ostream* err) {
  set(distribution_, clamped(value, kDistribution, err));
  if (!checked_in_range_) note_checked_ranges();
}

void ParameterSetBase::set_dilatation(float value, std::ostream* err) {
  set(dilatation_, clamped(value, kDilatation, err));
  if (!checked_in_range_) note_checked_ranges();
}

void ParameterSetBase::set_importance(float value, std::ostream* err) {
  set(importance_, clamped(value, kImportance, err));
  if (!checked_in_range_) note_checked_ranges();
}

void ParameterSetBase::note_checked_ranges() {
  checked_in_range_ = in_range(distribution_, kDistribution) &&
                      in_range(dilatation_, kDilatation) && in_range(importance_, kImportance);
}

bool ParameterSetBase::passes_checks() const {
  return !(range_lower_end_ > range_upper_end_) && !(median_ < range_lower_end_) &&
         !(median_ > range_upper_end_) && checked_in_range_;
}

void ParameterSetBase::warn_out_of_range(std::ostream* err) const {
  clamped(distribution_, kDistribution, err);
  clamped(dilatation_, kDilatation, err);
  clamped(importance_, kImportance, err);
}

void ParameterSetBase::copy(const ParameterSetBase* other) {
  if (other != nullptr) *this = *other;
}

ParameterSetBase ParameterSetBase::get_PSB(std::ostream* err) const {
  ParameterSetBase base;
  base.set_range_lower_end(get_range_lower_end());
  base.set_range_upper_end(get_range_upper_end());
  base.set_median(get_median());
  base.set_distribution(get_distribution(), err);
  base.set_dilatation(get_dilatation(), err);
  base.set_importance(get_importance(), err);
  return base;
}

void ParameterSetBase::show(std::ostream& out) const {
  out << "range_lower_end: " << range_lower_end_ << '\t' << "range_upper_end: " << range_upper_end_
      << std::endl;
  out << "median: " << median_ << '\t' << "distribution: " << distribution_ << std::endl;
  out << "dilatation: " << dilatation_ << '\t' << "importance: " << importance_ << std::endl;
}

void ParameterSetBase::write(std::ostream& out) const {
  out << range_lower_end_ << ' ' << range_upper_end_ << ' ' << median_ << ' ' << distribution_
      << ' ' << dilatation_ << ' ' << importance_ << '\n';
}

bool ParameterSetBase::read(std::istream& in) {
  stamp_ = next_generation();
  const bool read = static_cast<bool>(in >> range_lower_end_ >> range_upper_end_ >> median_ >>
                                      distribution_ >> dilatation_ >> importance_);
  note_checked_ranges();
  return read;
}

// ------------------------------------------------------------ parameter sets

ParameterSet::ParameterSet(std::string_view name, float lower, float upper, float median,
                           float distribution, float dilatation, float importance,
                           const CList* colours, const NList* names, std::ostream* err)
    : ParameterSetBase(lower, upper, median, distribution, dilatation, importance, err),
      ps_name_(cut_name(name)) {
  colours_.copy(colours);
  names_.copy(names);
}

void ParameterSet::copy(const ParameterSet* other, std::ostream* err) {
  if (other == nullptr || other == this) return;
  ps_name_ = other->ps_name_;
  const ParameterSetBase base = other->get_PSB(err);
  copy_PSB(&base);
  colours_.copy(&other->colours_);
  names_.copy(&other->names_);
}

void ParameterSet::show(std::ostream& out) const {
  out << "ParameterSet_name: " << ps_name_ << std::endl;
  show_PSB(out);
  colours_.show(out);
  names_.show(out);
  out << std::endl;
}

void ParameterSet::write(std::ostream& out) const {
  out << ps_name_ << '\n';
  write_PSB(out);
  colours_.write(out);
  names_.write(out);
  out << '\n';
}

ParameterSet* ParameterSet::read(std::istream& in) {
  if (read_name(in, ps_name_) && read_PSB(in) && colours_.read(in)) names_.read(in);
  return this;
}

// ------------------------------------------------------- parameter-set lists

ParameterSet* PSList::add() {
  sets_.push_back(std::make_unique<ParameterSet>());
  return sets_.back().get();
}

ParameterSet* PSList::add(const ParameterSet* ps, std::ostream* err) {
  if (ps == nullptr) return nullptr;
  auto copy = std::make_unique<ParameterSet>();
  copy->copy(ps, err);
  sets_.push_back(std::move(copy));
  return sets_.back().get();
}

ParameterSet* PSList::add(ParameterSet&& ps) {
  sets_.push_back(std::make_unique<ParameterSet>(std::move(ps)));
  return sets_.back().get();
}

void PSList::add(const PSList* other, std::ostream* err) {
  if (other == nullptr) return;
  // Indexing keeps this safe when other is this list.
  const int count = other->get_number();
  for (int i = 0; i < count; ++i) add(other->find(i), err);
}

void PSList::remove(int i) {
  if (i < 0 || i >= get_number()) return;
  sets_.erase(sets_.begin() + i);
}

void PSList::show(std::ostream& out) const {
  for (const auto& set : sets_) set->show(out);
  out << std::endl;
}

void PSList::write(std::ostream& out) const {
  out << "/* #: " << get_number() << " */ " << '\n' << '\n';
  for (const auto& set : sets_) set->write(out);
  out << '\n';
}

// A set that cannot be read completely stays with what was read of it;
// reading stops there.
bool PSList::read(std::istream& in, std::ostream* err) {
  int count = 0;
  bool complete = read_count_frame(in, count);
  for (int i = 0; complete && i < count; ++i) {
    add()->read(in);
    complete = !in.fail();
  }
  if (!complete) {
    report_line(
        err, "Error: parameter-set list breaks off or holds an unreadable word; reading stopped!");
  }
  return complete;
}
