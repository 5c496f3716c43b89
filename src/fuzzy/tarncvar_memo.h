// Fixed-size memories of results keyed by the exact bits of what they were
// computed from: defuzzified values by the clipped membership functions, and
// clipped functions by membership function and match value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tarncvar.h"

// The same clipped functions recur across evaluations (a roster change
// touches few ratings), and merging them into a cover is the dearest step of
// defuzzification. A key holds every point of every term bit for bit, so a
// hit gives exactly the value the computation gave; a slot keeps only its
// latest key, so a miss never gives a wrong value either.
class DefuzzMemory {
 public:
  static constexpr std::size_t kSlots = 512;

  // Looks up the value remembered for the terms' clipped functions: true and
  // the value on a hit.
  bool find(const PlimList& terms, float* value);
  // Stores value for the terms, which must be those last passed to find().
  void remember(const PlimList& terms, float value);

 private:
  struct Slot {
    std::vector<std::uint64_t> key;
    float value = 0.0f;
    bool used = false;
  };

  static std::size_t slot_of(const PlimList& terms);
  static bool matches(const std::vector<std::uint64_t>& key, const PlimList& terms);

  std::size_t slot_ = 0;
  std::array<Slot, kSlots> slots_;
};

// Fuzzification and rule evaluation clip the same membership functions at the
// same match values again and again. A slot keeps the latest membership
// function, match value and clipped function it was given, compared bit for
// bit on lookup.
class ClipMemory {
 public:
  static constexpr std::size_t kSlots = 1024;

  // The clipped function remembered for msf at match value mv, or null.
  const PList* find(const PList& msf, float mv);
  // Stores clipped for msf and mv, which must be those last passed to find().
  void remember(const PList& msf, float mv, const PList& clipped);

 private:
  struct Slot {
    PList msf;
    PList clipped;
    std::uint32_t mv_bits = 0;
    bool used = false;
  };

  std::size_t slot_ = 0;
  std::array<Slot, kSlots> slots_;
};
