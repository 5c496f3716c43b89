// Tests of parameter sets: range checks and their warnings, default names
// and colours, and the text formats.
#include "tarnpara.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fuzzy_test_support.h"

namespace {

struct CheckCase {
  float in[6];
  float out[6];
  const char* warnings;
};

TEST(ParameterSetBaseTest, CheckingConstructorCorrectsAndWarnsInOrder) {
  const CheckCase cases[] = {
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
  for (const CheckCase& c : cases) {
    Capture err(std::cerr);
    const ParameterSetBase b(c.in[0], c.in[1], c.in[2], c.in[3], c.in[4], c.in[5]);
    const float got[6] = {b.get_range_lower_end(), b.get_range_upper_end(), b.get_median(),
                          b.get_distribution(),    b.get_dilatation(),      b.get_importance()};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], c.out[i]) << "value " << i;
    EXPECT_EQ(err.str(), c.warnings);
  }
}

TEST(ParameterSetBaseTest, OnlyTheShapeSettersCheck) {
  ParameterSetBase b;
  Capture err(std::cerr);
  b.set_range_lower_end(50);
  b.set_median(500);
  EXPECT_EQ(err.str(), "");
  b.set_distribution(0);
  b.set_importance(7);
  EXPECT_EQ(err.str(),
            "Warning: Distribution was below [0.1,1] in ParameterSet!\n"
            "Warning: Importance was above [0,1] in ParameterSet!\n");
  EXPECT_EQ(b.get_median(), 500);
  EXPECT_EQ(b.get_distribution(), 0.1f);
  EXPECT_EQ(b.get_importance(), 1);
}

TEST(TermNameTest, DefaultNamesAndColoursDependOnTheTermCount) {
  const auto repeated = [](const std::string& word, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += word;
    return text;
  };
  struct Case {
    int n;
    std::string names;
    std::string colours;
  };
  const Case cases[] = {
      {0, "", ""},
      {1, "no_linguistic_term ", "white "},
      {2, "not_satisfied satisfied ", "blue red "},
      {3, "bad neutral good ", "blue green red "},
      {5, "negative_big negative zero positive positive_big ", "blue turquoise green yellow red "},
      {8,
       "negative_huge negative_big negative negative_small positive_small positive positive_big "
       "positive_huge ",
       "blue light_blue turquoise green yellow orange red pink "},
      {9,
       "negative_huge negative_big negative negative_small zero positive_small positive "
       "positive_big positive_huge ",
       "violet blue light_blue green turquoise yellow orange red pink "},
      {12, repeated("no_linguistic_term ", 12), repeated("white ", 12)},
  };
  for (const Case& c : cases) {
    Capture out(std::cout);
    NList(c.n).show();
    CList(c.n).show();
    EXPECT_EQ(out.str(), c.names + "\n" + c.colours + "\n") << c.n << " terms";
  }
}

TEST(TermNameTest, ColourTextsAndNamesAreCut) {
  EXPECT_STREQ(colour_text(brown), "brown");
  EXPECT_STREQ(colour_text(static_cast<colourtype>(20)), "no_known_colour");
  EXPECT_EQ(colour_from_text("dark_green"), dark_green);
  EXPECT_EQ(colour_from_text("mauve"), white);
  const std::string long_name(60, 'n');
  EXPECT_EQ(std::string(Name(long_name).get_name()), std::string(kNameChars, 'n'));
  EXPECT_STREQ(Name().get_name(), "no_lingiustic_term");
}

TEST(ParameterSetTextTest, ListFileHasTheDocumentedLinesAndReadsBack) {
  PSList list;
  const ParameterSet ps =
      make_ps("default_ParameterSet", 0, 10, 5, 0.95f, 0, {"bad", "neutral", "good"});
  list.add(&ps);
  std::ostringstream out;
  list.write(out);
  EXPECT_EQ(out.str(),
            "/* #: 1 */ \n\ndefault_ParameterSet\n0 10 5 0.95 0 1\n"
            "/* #: 3 */ blue green red \n/* #: 3 */ bad neutral good \n\n\n");

  const ParameterSet b = make_ps("hours", -40, 40, 2.5f, 0.8f, 0.25f, {"low", "high"}, 0.5f);
  list.add(&b);
  std::ostringstream first;
  list.write(first);
  PSList again;
  std::istringstream in(first.str());
  EXPECT_TRUE(again.read(in));
  std::ostringstream second;
  again.write(second);
  EXPECT_EQ(second.str(), first.str());
}

TEST(ParameterSetTextTest, ReadingAppendsAndMapsUnknownColoursToWhite) {
  CList colours(2);
  std::istringstream in("/* #: 3 */ brown mauve red");
  EXPECT_TRUE(colours.read(in));
  Capture out(std::cout);
  colours.show();
  EXPECT_EQ(out.str(), "blue red brown white red \n");
}

TEST(ParameterSetTextTest, ShowFormat) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "high"});
  Capture out(std::cout);
  ps.show();
  EXPECT_EQ(out.str(),
            "ParameterSet_name: p\nrange_lower_end: 0\trange_upper_end: 10\n"
            "median: 5\tdistribution: 1\ndilatation: 0.5\timportance: 1\n"
            "blue red \nlow high \n\n");
}

TEST(ParameterSetTextTest, CopyingChecksValuesReadWithoutChecks) {
  ParameterSet raw;
  std::istringstream in("odd 0 10 5 3 0 1 /* #: 2 */ blue red /* #: 2 */ a b");
  raw.read(in);
  EXPECT_EQ(raw.get_distribution(), 3);  // read unchecked
  PSList list;
  Capture err(std::cerr);
  const ParameterSet* copy = list.add(&raw);
  EXPECT_EQ(err.str(), "Warning: Distribution was above [0.1,1] in ParameterSet!\n");
  EXPECT_EQ(copy->get_distribution(), 1);
  EXPECT_STREQ(copy->get_ps_name(), "odd");
}

// Broken input stops reading with a message; complete sets before the break
// are kept.
TEST(ParameterSetTextTest, BrokenInputStopsReading) {
  const std::pair<const char*, int> cases[] = {
      {"", 0},                                                    // nothing at all
      {"/* #: 1000000000 */ p 0 10 5 1 0 1 /* #: 1 */ blue", 0},  // huge count, text ends
      {"/* #: 2 */ p 0 ten 5 1 0 1", 0},                          // a word where a number belongs
      {"/* #: x */", 0},                                          // count is no number
      {"/* #: 3 */ a 0 1 0.5 1 0 1 /* #: 2 */ blue red /* #: 2 */ x y "
       "b 0 1 0.5 1 0 1 /* #: 2 */ blue",
       1},
  };
  for (const auto& [text, kept] : cases) {
    PSList list;
    std::istringstream in(text);
    Capture err(std::cerr);
    EXPECT_FALSE(list.read(in)) << text;
    EXPECT_EQ(list.get_number(), kept) << text;
    EXPECT_NE(err.str().find("reading stopped"), std::string::npos) << text;
  }
}

TEST(PSListTest, RemoveAndFindStayInsideTheList) {
  PSList list;
  list.add()->set_ps_name("a");
  list.add()->set_ps_name("b");
  list.add()->set_ps_name("c");
  list.remove(5);
  list.remove(-1);
  list.remove(2);
  list.remove(0);
  ASSERT_EQ(list.get_number(), 1);
  EXPECT_STREQ(list.find(0)->get_ps_name(), "b");
  EXPECT_EQ(list.find(1), nullptr);
  list.add(&list);  // appending a list to itself doubles it
  EXPECT_EQ(list.get_number(), 2);
}

}  // namespace

// Every byte of a name takes part in its hash: two names of equal length
// that differ in one place hash apart, for every length a name can have.
TEST(NameHashTest, EveryCharacterCounts) {
  for (std::size_t length = 1; length <= kNameChars; ++length) {
    const std::string base(length, 'a');
    const std::size_t base_hash = name_hash(base);
    for (std::size_t at = 0; at < length; ++at) {
      std::string changed = base;
      changed[at] = 'b';
      EXPECT_NE(name_hash(changed), base_hash) << "length " << length << ", place " << at;
    }
    EXPECT_NE(name_hash(base + 'a'), base_hash) << "length " << length;
  }
  EXPECT_NE(name_hash(""), name_hash(std::string(1, '\0')));
}

// Equal runs of bytes compare equal, and a difference in any one place is
// found, for every length up to beyond the longest name.
TEST(SameBytesTest, EveryByteCounts) {
  for (std::size_t length = 0; length <= 2 * kNameChars; ++length) {
    const std::string a(length, 'x');
    EXPECT_TRUE(same_bytes(a.data(), std::string(a).data(), length)) << "length " << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::string b = a;
      b[at] = 'y';
      EXPECT_FALSE(same_bytes(a.data(), b.data(), length))
          << "length " << length << ", place " << at;
    }
  }
  EXPECT_FALSE(same_text("abc", "abcd"));
  EXPECT_TRUE(same_text("", ""));
}
