// Variable store of the script language: ordered variables with a name index,
// the two displays and the variables file.
#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <ostream>

#include "base_text.h"
#include "expint.h"
#include "read_path.h"

using script_limits::kFormulaChars;
using script_limits::kNameChars;

namespace {

unsigned char* address_in(const unsigned char* chars) {
  unsigned char* address;
  std::memcpy(&address, chars, sizeof address);
  return address;
}

void put_address(unsigned char* chars, const unsigned char* address) {
  std::memcpy(chars, &address, sizeof address);
}

}  // namespace

unsigned char* TVarlist::new_chunk() {
  if (!free_chunks.empty()) {
    unsigned char* chunk = free_chunks.back();
    free_chunks.pop_back();
    return chunk;
  }
  return chunks.emplace_back().chars;
}

void TVarlist::put_text(unsigned char* chars, std::uint8_t& size, std::size_t in_place,
                        std::string_view text, std::size_t limit) {
  text = fit(text, limit);
  unsigned char* chunk = size > in_place ? address_in(chars) : nullptr;
  // The text may lie in the variable or in its chunk: it is moved before
  // the place it came from is reused.
  if (text.size() <= in_place) {
    std::memmove(chars, text.data(), text.size());
    chars[text.size()] = '\0';
    if (chunk != nullptr) free_chunks.push_back(chunk);
  } else {
    if (chunk == nullptr) chunk = new_chunk();
    std::memmove(chunk, text.data(), text.size());
    chunk[text.size()] = '\0';
    put_address(chars, chunk);
  }
  size = static_cast<std::uint8_t>(text.size());
}

void TVarlist::release_texts(const TVariable& var) {
  if (var.name_held_apart()) free_chunks.push_back(address_in(var.name));
  if (var.formula_held_apart()) free_chunks.push_back(address_in(var.formula));
}

void TVarlist::copy_held_apart(unsigned char* chars, std::size_t size) {
  unsigned char* chunk = new_chunk();
  std::memcpy(chunk, address_in(chars), size + 1);
  put_address(chars, chunk);
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
  stamp = memory_ != nullptr && memory_->caching ? ++memory_->stamps : 0;
}

void TVarlist::set_formula_memory(TFormulaMemory* memory) {
  memory_ = memory;
  reshaped();
  if (memory == nullptr || !memory->caching) {
    shapes.reset();
    shape = 0;
    return;
  }
  if (memory->shapes == nullptr) memory->shapes = std::make_shared<TStoreShapes>();
  // A copy of a store the memory identified keeps that identity.
  if (shapes == memory->shapes) return;
  shapes = memory->shapes;
  shape = shapes->fresh();
}

TStoreShapes* TVarlist::remembering_shapes() const {
  const bool caching = memory_ != nullptr && memory_->caching;
  return caching && shapes != nullptr && shapes == memory_->shapes ? shapes.get() : nullptr;
}

void TVarlist::reserve(std::size_t count) {
  vars.reserve(count);
  if (index_full(count, slots.size())) grow_index(slots_for(count));
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
  free_chunks.clear();
  for (TTextChunk& chunk : chunks) free_chunks.push_back(chunk.chars);
  if (other.holds_long_texts()) {
    for (TVariable& var : vars) {
      if (var.name_held_apart()) copy_held_apart(var.name, var.name_size);
      if (var.formula_held_apart()) copy_held_apart(var.formula, var.formula_size);
    }
  }
  slots.clear();
  slots.reserve(other.slots.size());
  append_in_blocks(slots, other.slots);
  names = other.names;
  bracket_texts = other.bracket_texts;
  shapes = other.shapes;
  shape = other.shape;
  // Inserting `room` more must not outgrow the index either.
  if (index_full(vars.size() + room, slots.size())) grow_index(slots_for(vars.size() + room));
}

void TVarlist::insert(std::string_view n, std::string_view f, float v) {
  reshaped();
  // Made whole before the store grows: the texts may lie in the store.
  TVariable made{};
  put_text(made.name, made.name_size, TVariable::kNameInPlace, n, kNameChars);
  put_text(made.formula, made.formula_size, TVariable::kFormulaInPlace, f, kFormulaChars);
  made.name_hash = variable_name_hash(made.name_text());
  made.value = v;
  made.computed = v != 0.0f;
  if (index_full(names + 1, slots.size())) grow_index(2 * slots.size());
  // A store that fills from empty skips the first, smallest steps of
  // growth: each would move every variable held.
  if (vars.size() == vars.capacity()) vars.reserve(std::max(2 * vars.size(), kMinVariables));
  TVariable& added = vars.emplace_back(made);
  note_bracket_text(added.name_text());
  if (shapes != nullptr) shape = shapes->step(shape, true, added.name_text(), added.name_hash);
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
  if (shapes != nullptr) shape = shapes->step(shape, false, name, hash);
  const auto gone = static_cast<std::size_t>(slots[slot].position);
  release_texts(vars[gone]);
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

void TVarlist::read(const std::string& file_name, std::size_t max_number) {
  if (!is_input_file(file_name)) return;
  std::ifstream input(file_name);
  if (!input) return;
  read(input, max_number);
}

void TVarlist::read(std::istream& input, std::size_t max_number) {
  std::string word;
  long count = 0;
  // The head line is "/* #: <count> */"; its marker words are not checked.
  if (!(input >> word >> word >> count >> word)) return;
  std::string name;
  std::string formula;
  float value = 0;
  for (long i = 0; i < count && number() < max_number; ++i) {
    if (!(input >> name >> formula >> value)) return;
    insert(name, formula, value);
  }
}
