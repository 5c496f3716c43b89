// The memories of defuzzified values and clipped functions: hashing, key
// comparison and the slot tables.
#include "tarncvar_memo.h"

#include <cstring>

namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

// A point's two coordinates as one word, bit for bit.
std::uint64_t word_of(const Point& p) {
  std::uint64_t word = 0;
  std::memcpy(&word, &p, sizeof word);
  return word;
}

std::uint32_t bits_of(float v) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// Points are two floats without padding: equal bytes are equal bits.
bool same_points(const std::vector<Point>& a, const std::vector<Point>& b) {
  return a.size() == b.size() && same_bytes(a.data(), b.data(), a.size() * sizeof(Point));
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

const PList* ClipMemory::find(const PList& msf, float mv) {
  const std::uint32_t mv_bits = bits_of(mv);
  std::uint64_t h = (mv_bits ^ (std::uint64_t{msf.points().size()} << 32)) * kMultiplier;
  for (const Point& p : msf.points()) h = (h ^ word_of(p)) * kMultiplier;
  h ^= h >> 32;
  h *= kMultiplier;
  slot_ = static_cast<std::size_t>(h >> 40) % kSlots;
  const Slot& slot = slots_[slot_];
  if (!slot.used || slot.mv_bits != mv_bits || !same_points(slot.msf.points(), msf.points())) {
    return nullptr;
  }
  return &slot.clipped;
}

void ClipMemory::remember(const PList& msf, float mv, const PList& clipped) {
  Slot& slot = slots_[slot_];
  slot.msf.copy(&msf);
  slot.clipped.copy(&clipped);
  slot.mv_bits = bits_of(mv);
  slot.used = true;
}
