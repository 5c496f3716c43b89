// Tests of the memories of defuzzified values and clipped functions: hits
// must give exactly what the computation gives, and any change of the inputs
// must miss.
#include "tarncvar_memo.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "fuzzy_test_support.h"
#include "tarnoper.h"

namespace {

std::uint32_t bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}

// The centre of gravity computed without the memory.
float direct_cog(const CombinedVariable& cv) {
  PList cover;
  for (int k = 0; k < cv.get_number(); ++k) cv.put_imsf_into_cover(&cover, k);
  return DefOp::integrate(&cover);
}

TEST(DefuzzMemoryTest, FindsOnlyWhatWasRememberedForTheSameBits) {
  CombinedVariable a;
  *a.add()->get_imsf() = polyline({0, 0, 1, 1, 2, 0});
  DefuzzMemory memory;
  float value = -7;
  EXPECT_FALSE(memory.find(a, &value));
  memory.remember(a, 1.5f);
  EXPECT_TRUE(memory.find(a, &value));
  EXPECT_EQ(value, 1.5f);

  struct Case {
    const char* what;
    std::initializer_list<PList> functions;
  };
  const Case misses[] = {
      {"negative zero", {polyline({-0.0f, 0, 1, 1, 2, 0})}},
      {"one more point", {polyline({0, 0, 1, 1, 2, 0, 3, 0})}},
      {"points split over two terms", {polyline({0, 0, 1, 1}), polyline({2, 0})}},
      {"an empty term added", {polyline({0, 0, 1, 1, 2, 0}), polyline({})}},
  };
  for (const Case& c : misses) {
    CombinedVariable b;
    for (const PList& f : c.functions) *b.add()->get_imsf() = f;
    EXPECT_FALSE(memory.find(b, &value)) << c.what;
  }
}

TEST(DefuzzMemoryTest, CentreOfGravityEqualsTheDirectComputation) {
  const ParameterSet ps = make_ps("p", 0, 100, 40, 0.8f, 0.6f, {"a", "b", "c", "d", "e"});
  CombinedVariable cv(&ps, "v");
  std::mt19937 random(7);
  std::uniform_real_distribution<float> crisp(0, 100);
  std::uniform_int_distribution<int> level(0, 8);
  // Repeated inputs hit the memory, distinct ones outnumber its slots.
  for (int round = 0; round < 3000; ++round) {
    if (round % 3 == 0) {
      cv.set_value(static_cast<float>(round % 40) * 2.5f);
    } else if (round % 3 == 1) {
      cv.set_value(crisp(random));
    } else {
      for (int k = 0; k < cv.get_number(); ++k) {
        cv.set_fs_match_value(k, static_cast<float>(level(random)) / 8);
        cv.find(k)->build_imsf();
      }
    }
    const float expected = direct_cog(cv);
    ASSERT_EQ(bits(DefOp::cog(&cv)), bits(expected)) << "round " << round;
    ASSERT_EQ(bits(DefOp::cog(&cv)), bits(expected)) << "round " << round << ", again";
  }
}

TEST(DefuzzMemoryTest, EditedClippedFunctionIsRecomputed) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  CombinedVariable cv(&ps, "v");
  cv.set_value(3);
  const float before = DefOp::cog(&cv);
  Point* top = cv.find(1)->get_imsf()->find(1);
  ASSERT_NE(top, nullptr);
  top->set_y(top->get_y() / 2);
  const float edited = DefOp::cog(&cv);
  EXPECT_EQ(bits(edited), bits(direct_cog(cv)));
  EXPECT_NE(edited, before);
}

}  // namespace

namespace {

// The clipped function computed in a thread of its own, whose memory is
// still empty: the direct computation.
std::vector<float> clipped_directly(const PlimFuzzySet& set) {
  std::vector<float> flat;
  std::thread([&] {
    PlimFuzzySet fresh;
    fresh.copy(&set);
    fresh.build_imsf();
    flat = points_of(*fresh.get_imsf());
  }).join();
  return flat;
}

std::vector<std::uint32_t> bits_of(const std::vector<float>& flat) {
  std::vector<std::uint32_t> out;
  for (float v : flat) out.push_back(bits(v));
  return out;
}

}  // namespace

TEST(ClipMemoryTest, FindsOnlyWhatWasRememberedForTheSameBits) {
  const PList msf = polyline({0, 0, 1, 1, 2, 0});
  const PList clipped = polyline({0, 0, 0.5f, 0.5f, 1.5f, 0.5f, 2, 0});
  ClipMemory memory;
  EXPECT_EQ(memory.find(msf, 0.5f), nullptr);
  memory.remember(msf, 0.5f, clipped);
  const PList* found = memory.find(msf, 0.5f);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(points_of(*found), points_of(clipped));

  struct Case {
    const char* what;
    PList msf;
    float mv;
  };
  const Case misses[] = {
      {"other match value", polyline({0, 0, 1, 1, 2, 0}), std::nextafter(0.5f, 1.0f)},
      {"other point", polyline({0, 0, 1, 1, 2.5f, 0}), 0.5f},
      {"negative zero", polyline({-0.0f, 0, 1, 1, 2, 0}), 0.5f},
      {"point missing", polyline({0, 0, 1, 1}), 0.5f},
  };
  for (const Case& c : misses) EXPECT_EQ(memory.find(c.msf, c.mv), nullptr) << c.what;
}

// Clipping repeats, changes and returns to earlier inputs; more distinct
// inputs than slots make slots change hands.
TEST(ClipMemoryTest, ClippedFunctionEqualsTheDirectComputation) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> shape(0, 3);
  std::uniform_int_distribution<int> level(-1, 9);
  PlimList terms;
  terms.add("trapezoid", 0, 10, 2, 3, white);
  terms.add("triangle", 2, 8, 3, 3, white);
  terms.add("left", 0, 4, 0, 2, white);
  terms.add("right", 6, 10, 2, 0, white);
  for (int round = 0; round < 1500; ++round) {
    PlimFuzzySet& set = *terms.find(shape(random));
    if (round % 5 == 0) set.get_msf()->find(1)->set_x(2 + static_cast<float>(round % 700) / 1000);
    set.set_match_value(static_cast<float>(level(random)) / 8);
    set.build_imsf();
    ASSERT_EQ(bits_of(points_of(*set.get_imsf())), bits_of(clipped_directly(set)))
        << "round " << round;
  }
}
