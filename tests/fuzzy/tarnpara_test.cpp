// Tests of parameter sets: range checks and their warnings, default colours,
// colour words and broken input.
#include "tarnpara.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <tuple>

#include "fuzzy_test_support.h"

namespace {

const char* const kDistributionAbove = "Warning: Distribution was above [0.1,1] in ParameterSet!\n";

TEST(ParameterSetBaseTest, CheckingConstructorCorrectsAndWarnsInOrder) {
  struct Case {
    float in[6];
    float out[6];
    const char* warnings;
  };
  const Case cases[] = {
      {{10, 0, 20, 0.05f, -1, 2},
       {0, 10, 5, 0.1f, 0, 1},
       "Warning: Range was in wrong order in ParameterSet!\n"
       "Warning: Median was out of range in ParameterSet!\n"
       "Warning: Distribution was below [0.1,1] in ParameterSet!\n"
       "Warning: Dilatation was below [0,1] in ParameterSet!\n"
       "Warning: Importance was above [0,1] in ParameterSet!\n"},
      {{0, 10, -1, 1.5f, 2, -0.5f},
       {0, 10, 5, 1, 1, 0},
       "Warning: Median was out of range in ParameterSet!\n"
       "Warning: Distribution was above [0.1,1] in ParameterSet!\n"
       "Warning: Dilatation was above [0,1] in ParameterSet!\n"
       "Warning: Importance was below [0,1] in ParameterSet!\n"},
      // Inclusive bounds pass silently.
      {{0, 10, 0, 0.1f, 0, 0}, {0, 10, 0, 0.1f, 0, 0}, ""},
      {{0, 10, 10, 1, 1, 1}, {0, 10, 10, 1, 1, 1}, ""},
      {{3, 3, 3, 0.5f, 0.5f, 0.5f}, {3, 3, 3, 0.5f, 0.5f, 0.5f}, ""},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    const ParameterSetBase b(c.in[0], c.in[1], c.in[2], c.in[3], c.in[4], c.in[5], &err);
    const float got[6] = {b.get_range_lower_end(), b.get_range_upper_end(), b.get_median(),
                          b.get_distribution(),    b.get_dilatation(),      b.get_importance()};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], c.out[i]) << "value " << i;
    EXPECT_EQ(err.str(), c.warnings);
  }
}

// Values read from text are taken unchecked; copying a set into a list and
// generating a variable from it check them.
TEST(ParameterSetBaseTest, CopiesCheckValuesReadWithoutChecks) {
  ParameterSet raw;
  std::istringstream in("odd 0 10 5 3 0 1 /* #: 2 */ blue red /* #: 2 */ a b");
  raw.read(in);
  EXPECT_EQ(raw.get_distribution(), 3);
  PSList list;
  std::ostringstream err;
  const ParameterSet* copy = list.add(&raw, &err);
  EXPECT_EQ(err.str(), kDistributionAbove);
  EXPECT_EQ(copy->get_distribution(), 1);
  EXPECT_STREQ(copy->get_ps_name(), "odd");
  const CombinedVariable cv(&raw, "v", &err);
  EXPECT_EQ(err.str(), std::string(kDistributionAbove) + kDistributionAbove);
  EXPECT_EQ(cv.get_distribution(), 1);
}

// A set made by the checking constructor and moved into a list equals a
// copy of it, and is not checked (nor warned about) again.
TEST(ParameterSetBaseTest, MovingACheckedSetIntoAListEqualsCopyingIt) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::tuple<float, float, float, float, float> values[] = {
      {0, 10, 5, 0.5f, 1}, {10, 0, 20, 3, -1}, {0, 1, 0.5f, nan, 0.05f}};
  for (const auto& [lower, upper, median, distribution, dilatation] : values) {
    PSList copies;
    PSList moved;
    std::ostringstream copied_text;
    std::ostringstream moved_text;
    std::ostringstream err;
    const ParameterSet made =
        make_ps("p", lower, upper, median, distribution, dilatation, {"a", "b", "c"}, 1, &err);
    const std::string warnings = err.str();
    copies.add(&made, &err);
    moved.add(
        make_ps("p", lower, upper, median, distribution, dilatation, {"a", "b", "c"}, 1, &err));
    EXPECT_EQ(err.str(), warnings + warnings) << lower << " " << upper;
    copies.write(copied_text);
    moved.write(moved_text);
    EXPECT_EQ(moved_text.str(), copied_text.str());
  }
}

// Default colours depend on the term count; reading appends, and unknown
// colour words become white. (Names cut to their limit are checked by the
// script tests.)
TEST(TermNameTest, DefaultColoursAndColourWords) {
  const std::tuple<int, const char*, std::string> cases[] = {
      {0, "", ""},
      {1, "", "white "},
      {2, "", "blue red "},
      {3, "", "blue green red "},
      {5, "", "blue turquoise green yellow red "},
      {8, "", "blue light_blue turquoise green yellow orange red pink "},
      {9, "", "violet blue light_blue green turquoise yellow orange red pink "},
      {12, "", "white white white white white white white white white white white white "},
      {2, "/* #: 4 */ brown mauve dark_green red", "blue red brown white dark_green red "},
  };
  for (const auto& [n, words, colours] : cases) {
    CList list(n);
    if (*words != 0) {
      std::istringstream in(words);
      EXPECT_TRUE(list.read(in));
    }
    std::ostringstream out;
    list.show(out);
    EXPECT_EQ(out.str(), colours + "\n") << n << " terms " << words;
  }
}

// Broken input stops reading with a message; the sets before the break stay,
// and so does the set being read, with what was read of it.
TEST(ParameterSetTextTest, BrokenInputStopsReading) {
  struct Case {
    const char* text;
    int kept;
    const char* last;  // the name of the last set kept
  } const cases[] = {
      {"", 0, ""},                                                     // nothing at all
      {"/* #: 1000000000 */ p 0 10 5 1 0 1 /* #: 1 */ blue", 1, "p"},  // huge count, text ends
      {"/* #: 2 */ p 0 ten 5 1 0 1", 1, "p"},                          // a word for a number
      {"/* #: x */", 0, ""},                                           // count is no number
      {"/* #: 3 */ a 0 1 0.5 1 0 1 /* #: 2 */ blue red /* #: 2 */ x y "
       "b 0 1 0.5 1 0 1 /* #: 2 */ blue",
       2, "b"},
  };
  for (const Case& c : cases) {
    PSList list;
    std::istringstream in(c.text);
    std::ostringstream err;
    EXPECT_FALSE(list.read(in, &err)) << c.text;
    EXPECT_EQ(list.get_number(), c.kept) << c.text;
    if (c.kept > 0) {
      EXPECT_STREQ(list.find(c.kept - 1)->get_ps_name(), c.last) << c.text;
    }
    EXPECT_NE(err.str().find("reading stopped"), std::string::npos) << c.text;
  }
}

}  // namespace
