// Variable store of the script language: ordered variables with a name index,
// the two displays and the variables file.
#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <ostream>

#include "base_text.h"
#include "expint.h"

using script_limits::kFormulaChars;
using script_limits::kNameChars;

TVariable::TVariable(std::string_view name, std::string_view formula, float value)
    : name_size(static_cast<std::uint8_t>(fit(name, kNameChars).size())),
      formula_size(0),
      name_hash(variable_name_hash(fit(name, kNameChars))),
      value(value),
      computed(0),
      in_progress(false),
      first_of_name(false) {
  std::memcpy(this->name, name.data(), name_size);
  this->name[name_size] = '\0';
  const std::string_view cut = fit(formula, kFormulaChars);
  std::memcpy(this->formula, cut.data(), cut.size());
  this->formula[cut.size()] = '\0';
  formula_size = static_cast<std::uint8_t>(cut.size());
}

std::size_t TVarlist::slot_at_position(std::uint32_t hash, std::int32_t position) const {
  std::size_t slot = home_slot(hash);
  while (slots[slot].position != kEmpty && slots[slot].position != position) {
    slot = next_slot(slot);
  }
  return slot;
}

void TVarlist::grow_index(std::size_t size) {
  std::vector<Slot> old(std::max(kMinSlots, size), Slot{0, kEmpty});
  old.swap(slots);
  // Every old slot holds a distinct name: it only needs an empty place.
  for (const Slot& s : old) {
    if (s.position == kEmpty) continue;
    std::size_t slot = home_slot(s.hash);
    while (slots[slot].position != kEmpty) slot = next_slot(slot);
    slots[slot] = s;
  }
}

void TVarlist::erase_slot(std::size_t slot) {
  std::size_t gap = slot;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t j = next_slot(slot); slots[j].position != kEmpty; j = next_slot(j)) {
    // An entry may move back into the gap when the gap lies on its probe path.
    const std::size_t home = home_slot(slots[j].hash);
    if (((j - home) & mask) >= ((j - gap) & mask)) {
      slots[gap] = slots[j];
      gap = j;
    }
  }
  slots[gap].position = kEmpty;
  --names;
}

void TVarlist::reshaped() {
  ++shape;
  stamp = memory_ != nullptr && memory_->caching ? ++memory_->stamps : 0;
}

void TVarlist::reserve(std::size_t count) {
  vars.reserve(count);
  if (2 * count > slots.size()) grow_index(std::bit_ceil(2 * count));
}

namespace {

// Appends `from` to `to`, whose room suffices, a few kilobytes at a time:
// the C library moves blocks of that size with vector instructions, but
// takes a string instruction, a byte at a time, for one copy of a whole
// store. Variables are trivial, so every block is one memory copy.
template <class T>
void append_in_blocks(std::vector<T>& to, const std::vector<T>& from) {
  constexpr std::size_t kBlock = 4096 / sizeof(T) > 0 ? 4096 / sizeof(T) : 1;
  for (auto it = from.begin(); it != from.end();) {
    const auto end = it + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                              kBlock, static_cast<std::size_t>(from.end() - it)));
    to.insert(to.end(), it, end);
    it = end;
  }
}

}  // namespace

void TVarlist::copy_from(const TVarlist& other, std::size_t room) {
  if (&other == this) return;
  reshaped();
  vars.clear();
  vars.reserve(other.vars.size() + room);
  append_in_blocks(vars, other.vars);
  slots.clear();
  slots.reserve(other.slots.size());
  append_in_blocks(slots, other.slots);
  names = other.names;
  // Inserting `room` more must not outgrow the index either.
  if (2 * (vars.size() + room) > slots.size()) grow_index(std::bit_ceil(2 * (vars.size() + room)));
}

void TVarlist::insert(std::string_view n, std::string_view f, float v) {
  reshaped();
  if (2 * (names + 1) > slots.size()) grow_index(2 * slots.size());
  // A store that fills from empty skips the first, smallest steps of
  // growth: each would move every variable held.
  if (vars.size() == vars.capacity()) vars.reserve(std::max(2 * vars.size(), kMinVariables));
  vars.emplace_back(n, f, v);
  TVariable& added = vars.back();
  added.computed = v == 0.0f ? 0 : 1;
  // An existing name keeps its first variable: the new one stays hidden.
  const std::size_t slot = slot_of(added.name_text(), added.name_hash);
  if (slots[slot].position != kEmpty) return;
  added.first_of_name = true;
  slots[slot] = Slot{added.name_hash, static_cast<std::int32_t>(vars.size() - 1)};
  ++names;
}

void TVarlist::remove(std::string_view n) {
  if (slots.empty()) return;
  const std::string_view name = fit(n, kNameChars);
  const std::uint32_t hash = variable_name_hash(name);
  const std::size_t slot = slot_of(name, hash);
  if (slots[slot].position == kEmpty) return;
  reshaped();
  const auto gone = static_cast<std::size_t>(slots[slot].position);
  vars.erase(vars.begin() + static_cast<std::ptrdiff_t>(gone));
  // Only the variables behind the removed one move, one place forward; those
  // that are the first of their name have a slot that follows them. The next
  // variable of the removed name, if any, becomes visible in the removed
  // one's slot. Removals near the end stay cheap.
  bool successor = false;
  for (std::size_t i = gone; i < vars.size(); ++i) {
    const TVariable& var = vars[i];
    if (!successor && var.name_hash == hash && var.name_text() == name) {
      vars[i].first_of_name = true;
      slots[slot].position = static_cast<std::int32_t>(i);
      successor = true;
      continue;
    }
    const auto old_position = static_cast<std::int32_t>(i + 1);
    Slot& s = slots[slot_at_position(var.name_hash, old_position)];
    if (s.position == old_position) s.position = static_cast<std::int32_t>(i);
  }
  if (!successor) erase_slot(slot);
}

TVariable* TVarlist::find_and_hint(std::string_view name, THint& hint) {
  const std::int32_t position = position_of(name);
  if (position == kEmpty) return nullptr;
  hint = THint{static_cast<std::uint32_t>(position)};
  return &vars[static_cast<std::size_t>(position)];
}

static const char* computed_text(const TVariable& v) {
  return v.get_comp() != 0 ? "Computed : TRUE" : "Computed : FALSE";
}

void TVarlist::show(std::ostream& out) const {
  out << "\n\nList of Variables:\n";
  if (vars.empty()) {
    out << "empty list ...\n";
    return;
  }
  for (std::size_t i = 0; i < vars.size(); ++i) {
    const TVariable& v = vars[i];
    out << "\nName   : " << v.name_text() << "\nFormula  : " << v.formula_text()
        << "\nValue  : " << v.value << '\n'
        << computed_text(v) << "\n----";
  }
}

void TVarlist::show(std::ostream& out, std::string_view varname) const {
  if (vars.empty()) {
    out << "empty list ...\n";
    return;
  }
  const TVariable* v = find(varname);
  if (v == nullptr) return;
  out << "\nName     : " << v->name_text() << "\nFormula  : " << v->formula_text()
      << "\nValue    : " << v->value << '\n'
      << computed_text(*v);
}

void TVarlist::write(const std::string& file_name) const {
  std::ofstream output(file_name);
  if (!output) return;
  write(output);
}

void TVarlist::write(std::ostream& output) const {
  if (vars.empty()) return;
  output << "/* #: " << vars.size() << " */ ";
  for (const TVariable& v : vars) {
    output << '\n' << v.name_text() << ' ' << v.formula_text() << ' ' << v.value;
  }
}

void TVarlist::read(const std::string& file_name) {
  std::ifstream input(file_name);
  if (!input) return;
  read(input);
}

void TVarlist::read(std::istream& input) {
  std::string word;
  long count = 0;
  // The head line is "/* #: <count> */"; its marker words are not checked.
  if (!(input >> word >> word >> count >> word)) return;
  std::string name;
  std::string formula;
  float value = 0;
  for (long i = 0; i < count; ++i) {
    if (!(input >> name >> formula >> value)) return;
    insert(name, formula, value);
  }
}
