// The memory of defuzzified values: key building, hashing and the slot table.
#include "tarnmemo.h"

#include <cstring>

namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

// A point's two coordinates as one word, bit for bit.
std::uint64_t word_of(const Point& p) {
  static_assert(sizeof(Point) == sizeof(std::uint64_t));
  std::uint64_t word = 0;
  std::memcpy(&word, &p, sizeof word);
  return word;
}

const std::vector<Point>& clipped_points(const PlimList& terms, int k) {
  return terms.find(k)->get_imsf()->points();
}

}  // namespace

// Multiplies in a word per point count and per point, and folds the high bits
// down once at the end; the slot index is taken from the high bits.
std::size_t DefuzzMemory::slot_of(const PlimList& terms) {
  std::uint64_t h = static_cast<std::uint64_t>(terms.get_number());
  for (int k = 0; k < terms.get_number(); ++k) {
    const std::vector<Point>& pts = clipped_points(terms, k);
    h = (h ^ pts.size()) * kMultiplier;
    for (const Point& p : pts) h = (h ^ word_of(p)) * kMultiplier;
  }
  h ^= h >> 32;
  h *= kMultiplier;
  return static_cast<std::size_t>(h >> 40) % kSlots;
}

// A key holds, per term, the point count and then the points.
bool DefuzzMemory::matches(const std::vector<std::uint64_t>& key, const PlimList& terms) {
  std::size_t at = 0;
  for (int k = 0; k < terms.get_number(); ++k) {
    const std::vector<Point>& pts = clipped_points(terms, k);
    if (at + 1 + pts.size() > key.size() || key[at] != pts.size()) return false;
    ++at;
    for (const Point& p : pts) {
      if (key[at++] != word_of(p)) return false;
    }
  }
  return at == key.size();
}

bool DefuzzMemory::find(const PlimList& terms, float* value) {
  slot_ = slot_of(terms);
  const Slot& slot = slots_[slot_];
  if (!slot.used || !matches(slot.key, terms)) return false;
  *value = slot.value;
  return true;
}

void DefuzzMemory::remember(const PlimList& terms, float value) {
  Slot& slot = slots_[slot_];
  slot.key.clear();
  for (int k = 0; k < terms.get_number(); ++k) {
    const std::vector<Point>& pts = clipped_points(terms, k);
    slot.key.push_back(pts.size());
    for (const Point& p : pts) slot.key.push_back(word_of(p));
  }
  slot.value = value;
  slot.used = true;
}
