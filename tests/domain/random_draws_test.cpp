// Tests of the domains' own random generators: the same numbers as the C
// library's srand and rand, and states that do not touch one another.
#include "random_draws.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace {

std::vector<int> LibraryDraws(unsigned seed, int count) {
  std::srand(seed);
  std::vector<int> draws;
  for (int i = 0; i < count; ++i) draws.push_back(std::rand());
  return draws;
}

std::vector<int> OwnDraws(CRandomDraws& draws, int count) {
  std::vector<int> values;
  for (int i = 0; i < count; ++i) values.push_back(draws.Draw());
  return values;
}

// Runs with a pinned clock and the seeds of --seed depend on these numbers
// being exactly the library's, also at the edges of the seed range.
TEST(RandomDraws, DrawTheLibrarysNumbersForEverySeed) {
  for (const unsigned seed : {0u, 1u, 2u, 77u, 1002u, 424242u, 2147483648u, 4294967295u}) {
    CRandomDraws draws;
    draws.Seed(seed);
    EXPECT_EQ(OwnDraws(draws, 500), LibraryDraws(seed, 500)) << "seed " << seed;
  }
  CRandomDraws unseeded;
  EXPECT_EQ(OwnDraws(unseeded, 50), LibraryDraws(1, 50));
}

// Seeding again starts over; draws of one generator, of another one or of
// the library in between change nothing, and a moved generator goes on
// where it was.
TEST(RandomDraws, StatesAreSeparate) {
  CRandomDraws first;
  CRandomDraws second;
  first.Seed(9);
  const std::vector<int> head = OwnDraws(first, 3);
  second.Seed(5);
  OwnDraws(second, 7);
  std::srand(123);
  std::rand();
  const std::vector<int> expected = LibraryDraws(9, 6);
  CRandomDraws moved = std::move(first);
  std::vector<int> all = head;
  for (const int value : OwnDraws(moved, 3)) all.push_back(value);
  EXPECT_EQ(all, expected);
  moved.Seed(9);
  EXPECT_EQ(OwnDraws(moved, 6), expected);
}

}  // namespace
