// Tests of polylines, fuzzy sets and linguistic variables: clean-up, the
// cover merge, generation from a parameter set, lookups in the variable
// list, and the fast paths: polyline building, term-list copies and the
// memories of clipped functions and defuzzified values. (A variable's text
// forms, shown and written, ordered insertion into polylines, clipping at
// the match value and fuzzification inside and outside the range change
// what nearly every script case and cmd_evaluate_* print: fuzzyvar_twin,
// fuzzy_concat_found_again and evaltree_eval among them.)
#include "tarncvar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fuzzy_test_support.h"
#include "tarnrule_context.h"

namespace {

using Flat = std::vector<float>;

std::vector<std::uint32_t> bits_of(const Flat& flat) {
  std::vector<std::uint32_t> out;
  for (float v : flat) out.push_back(bits(v));
  return out;
}

// ------------------------------------------------------------------ PList

// The cover merge drops the middle points of horizontal runs.
TEST(PListTest, ClearingRemovesMiddlePointsOfRuns) {
  const std::pair<Flat, Flat> cases[] = {
      {{0, 0, 1, 1, 2, 1, 3, 1, 4, 0}, {0, 0, 1, 1, 3, 1, 4, 0}},
      // After a removal the scan goes on at the former third point, so a run
      // of four keeps its last two points.
      {{0, 1, 1, 1, 2, 1, 3, 1}, {0, 1, 2, 1, 3, 1}},
      {{0, 0, 1, 0}, {0, 0, 1, 0}},
  };
  for (const auto& [before, after] : cases) {
    PList line = polyline(before);
    line.clear_horizontal_line();
    EXPECT_EQ(points_of(line), after);
  }
}

// ------------------------------------------------------------- fuzzy sets

TEST(CoverTest, MergingBuildsTheUpperEnvelope) {
  // Clipped functions merged in order into an empty cover; the cover.
  const std::pair<std::vector<Flat>, Flat> cases[] = {
      // two crossing triangles
      {{{0, 0, 2, 1, 4, 0}, {2, 0, 4, 1, 6, 0}}, {0, 0, 2, 1, 3, 0.5f, 4, 1, 6, 0}},
      // a flat function contributes nothing
      {{{0, 0, 2, 1, 4, 0}, {2, 0, 6, 0}}, {0, 0, 2, 1, 4, 0}},
      // the first function with area starts the cover
      {{{0, 0, 6, 0}, {2, 0, 4, 1, 6, 0}}, {2, 0, 4, 1, 6, 0}},
      // a clipped shoulder under a rising flank
      {{{0, 0, 0, 0.25f, 7.5f, 0.25f, 10, 0}, {0, 0, 7.5f, 0.75f, 10, 0.75f, 10, 0}},
       {0, 0, 0, 0.25f, 2.5f, 0.25f, 7.5f, 0.75f, 10, 0.75f, 10, 0, 10, 0}},
  };
  for (const auto& [functions, cover] : cases) {
    PlimList terms;
    for (const Flat& f : functions) *terms.add()->get_imsf() = polyline(f);
    PList merged;
    for (int k = 0; k < terms.get_number(); ++k) terms.put_imsf_into_cover(&merged, k);
    EXPECT_EQ(points_of(merged), cover) << functions.size() << " functions";
  }
  PlimList flat;  // a short cover under a flat function is emptied
  *flat.add()->get_imsf() = polyline({0, 0, 6, 0});
  PList merged = polyline({0, 0, 1, 1});
  flat.put_imsf_into_cover(&merged, 0);
  EXPECT_EQ(merged.get_number(), 0);
}

// ------------------------------------------------------------- variables

TEST(CombinedVariableTest, GenerationPlacesTheTerms) {
  // Lower, upper, median, distribution, dilatation; the terms' functions.
  const std::tuple<const char*, Flat, std::vector<Flat>> cases[] = {
      {"worked example",
       {0, 10, 5, 1, 0.5f},
       {{0, 0, 0, 1, 1.25f, 1, 3.75f, 0},
        {1.25f, 0, 3.75f, 1, 6.25f, 1, 8.75f, 0},
        {5, 0, 7.5f, 1, 10, 1, 10, 0}}},
      {"crisp rectangles",
       {0, 10, 5, 1, 0},
       {{0, 0, 0, 1, 2.5f, 1, 2.5f, 0},
        {2.5f, 0, 2.5f, 1, 7.5f, 1, 7.5f, 0},
        {5, 0, 5, 1, 10, 1, 10, 0}}},
      {"centres pulled to the median",
       {0, 10, 5, 0.5f, 0.5f},
       {{0, 0, 0, 1, 3.125f, 1, 4.375f, 0},
        {3.125f, 0, 4.375f, 1, 5.625f, 1, 6.875f, 0},
        {5, 0, 6.25f, 1, 10, 1, 10, 0}}},
      {"median off centre",
       {0, 10, 2, 1, 0.5f},
       {{0, 0, 0, 1, 1, 1, 3, 0}, {0, 0, 2, 1, 10, 1, 10, 0}}},
      // Rounding in single precision leaves a plateau running backwards.
      {"four triangles",
       {-8, 8, 0, 1, 1},
       {{-8, 0, -8, 1, -0x1.555552p+1f, 0},
        {-8, 0, -0x1.555554p+1f, 1, 0x1.555558p+1f, 0},
        {-0x1.555554p+1f, 0, 0x1.555558p+1f, 1, 0x1.555554p+1f, 1, 8, 0},
        {0x1.555552p+1f, 0, 8, 1, 8, 0}}},
      {"inexact values",
       {0, 1, 0.3f, 0.95f, 0.3f},
       {{0, 0, 0, 1, 0x1.4dd2f8p-4f, 1, 0x1.1ba5e6p-3f, 0},
        {0x1.4dd2f8p-4f, 0, 0x1.1ba5e6p-3f, 1, 0x1.16041ap-2f, 1, 0x1.50625p-2f, 0},
        {0x1.16041ap-2f, 0, 0x1.50625p-2f, 1, 0x1.d89376p-2f, 1, 0x1.0978d6p-1f, 0},
        {0x1.947ae4p-2f, 0, 0x1.ced91ap-2f, 1, 1, 1, 1, 0}}},
  };
  for (const auto& [what, f, msf] : cases) {
    const int terms = static_cast<int>(msf.size());
    NList names(terms);
    const CList colours(terms);
    const ParameterSet ps("p", f[0], f[1], f[2], f[3], f[4], 1, &colours, &names);
    const CombinedVariable cv(&ps, "v");
    ASSERT_EQ(cv.get_number(), terms);
    for (int k = 0; k < terms; ++k) {
      const Flat& expected = msf[static_cast<std::size_t>(k)];
      EXPECT_EQ(points_of(*cv.find(k)->get_msf()), expected) << what << ", term " << k;
      EXPECT_EQ(cv.get_fs_lower_support_end(k), expected.front()) << what;
    }
  }
}

// An index outside the term list reads fixed values, and writing through it
// changes nothing.
TEST(CombinedVariableTest, TermAccessorsByIndexKeepOutsideIndicesHarmless) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  CombinedVariable cv(&ps, "v");
  cv.set_value(4);
  std::ostringstream before;
  cv.write(before);
  for (const int k : {-1, 3}) {
    EXPECT_EQ(cv.get_fs_colour(k), white);
    EXPECT_EQ(cv.get_fs_lower_support_end(k), 0.0f);
    EXPECT_EQ(cv.get_fs_upper_support_end(k), 0.0f);
    EXPECT_EQ(cv.get_fs_match_value(k), -1.0f);
    EXPECT_EQ(cv.get_msf_point_number(k) + cv.get_imsf_point_number(k), 0);
    EXPECT_EQ(cv.get_msf_x(k, 0) + cv.get_imsf_x(k, 0), 0.0f);
    EXPECT_EQ(cv.get_msf_y(k, 0), -1.0f);
    EXPECT_EQ(cv.get_imsf_y(k, 0), -1.0f);
    cv.set_fs_match_value(k, 0.5f);
    cv.set_msf_x(k, 0, 1);
    cv.set_msf_y(k, 0, 1);
    cv.add_msf_point(k, 1, 1);
  }
  std::ostringstream after;
  cv.write(after);
  EXPECT_EQ(after.str(), before.str());
}

TEST(CombinedVariableTest, TooFewTermsGiveAnEmptyVariable) {
  for (int n : {0, 1}) {
    NList names(n);
    const CList colours(n);
    const ParameterSet ps("single", 0, 10, 5, 1, 0.5f, 1, &colours, &names);
    std::ostringstream err;
    CombinedVariable cv(&ps, "v", &err);
    EXPECT_EQ(cv.get_number(), 0);
    EXPECT_NE(err.str().find("fewer than two linguistic terms"), std::string::npos);
    EXPECT_EQ(cv.set_value(3), 1);
    EXPECT_EQ(cv.check_match(), -1);
  }
}

// Whether every term of cv holds what fuzzifying x computes afresh from the
// term's support and membership function.
::testing::AssertionResult fuzzified_afresh(const CombinedVariable& cv, float x) {
  for (int k = 0; k < cv.get_number(); ++k) {
    const PlimFuzzySet& term = *static_cast<const PlimList&>(cv).find(k);
    PlimFuzzySet fresh;
    fresh.copy(&term);
    fresh.calculate_match_value(x);
    fresh.build_imsf();
    if (!fresh.same_bits_as(term)) return ::testing::AssertionFailure() << "term " << k;
  }
  return ::testing::AssertionSuccess();
}

// Fuzzification skips the terms (or the whole variable) that still hold what
// the same value gave. Every kind of change between two fuzzifications must
// make it compute again, also when the new value gives a term its old match
// value; and a copy may skip only what its source could.
TEST(CombinedVariableTest, RepeatedFuzzificationAfterAnyChangeEqualsAFreshOne) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  const ParameterSet other_ps = make_ps("q", 0, 10, 4, 0.8f, 0.3f, {"a", "b", "c"});
  using Change = void (*)(CombinedVariable&);
  const std::pair<const char*, Change> cases[] = {
      {"nothing", [](CombinedVariable&) {}},
      {"match value", [](CombinedVariable& cv) { cv.set_fs_match_value(1, 0.25f); }},
      {"match value -0", [](CombinedVariable& cv) { cv.find(0)->set_match_value(-0.0f); }},
      {"all match values", [](CombinedVariable& cv) { cv.set_all_mvs(0.5f); }},
      {"clipped point", [](CombinedVariable& cv) { cv.find(1)->get_imsf()->add(9, 0); }},
      {"clipped function rebuilt",
       [](CombinedVariable& cv) {
         cv.find(0)->set_match_value(0.75f);
         cv.find(0)->build_imsf();
         cv.find(0)->set_match_value(0.5f);
       }},
      {"function point", [](CombinedVariable& cv) { cv.set_msf_y(1, 1, 0.5f); }},
      {"function point x", [](CombinedVariable& cv) { cv.find(1)->get_msf()->find(1)->set_x(3); }},
      {"support end", [](CombinedVariable& cv) { cv.set_fs_upper_support_end(0, 6); }},
      {"term added", [](CombinedVariable& cv) { cv.add("extra", 2, 8, 1, 1, blue); }},
      {"terms removed", [](CombinedVariable& cv) { cv.remove_all(); }},
      {"text read",
       [](CombinedVariable& cv) {
         std::stringstream text;
         cv.write_PL(text);
         cv.remove_all();
         cv.read_PL(text);
       }},
  };
  const float values[] = {2.5f, 2.5f, 5, 3.75f, 0, -0.0f, 6.25f};
  for (const auto& [what, change] : cases) {
    for (float before : values) {
      for (float after : values) {
        CombinedVariable cv(&ps, "v");
        cv.set_value(before);
        change(cv);
        cv.set_value(after);
        ASSERT_TRUE(fuzzified_afresh(cv, after)) << what << " " << before << " " << after;
      }
    }
  }
  // A copy holds what its source holds: it may skip where the source may,
  // and must not where the source's terms were changed.
  for (float before : values) {
    for (float after : values) {
      CombinedVariable source(&ps, "v");
      source.set_value(before);
      CombinedVariable stale(&other_ps, "w");
      stale.set_value(after);
      stale.copy_PlimList(&source);
      stale.set_value(after);
      ASSERT_TRUE(fuzzified_afresh(stale, after)) << before << " " << after;
      source.find(1)->set_match_value(0.125f);
      CombinedVariable copy(&ps, "c");
      copy.copy_PlimList(&source);
      copy.set_value(before);
      ASSERT_TRUE(fuzzified_afresh(copy, before)) << before << " " << after;
    }
  }
}

// A variable set in a loop remembers the values it met: met again, a value
// gives the stamp it gave before (what it holds is the same), up to 128
// values; beyond them each new value takes the place of the oldest. Every
// fuzzification holds what computing it gives.
TEST(CombinedVariableTest, ValuesMetAgainKeepTheirStampsWhileRemembered) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  CombinedVariable cv(&ps, "v");
  const auto value = [](int i) { return static_cast<float>(i) * 0.03125f; };
  std::vector<std::uint64_t> stamps;
  const auto meet = [&](int i) {
    cv.set_value(value(i));
    EXPECT_TRUE(fuzzified_afresh(cv, value(i))) << i;
    return cv.get_stamp();
  };
  constexpr int kRemembered = 128;
  for (int i = 0; i < kRemembered; ++i) stamps.push_back(meet(i));
  for (int i = 0; i < kRemembered; ++i)
    EXPECT_EQ(meet(i), stamps[static_cast<std::size_t>(i)]) << i;
  // 200 new values: the first 128 replace the old ones, the last 72 the
  // oldest of them; the newest 128 are remembered.
  for (int i = kRemembered; i < kRemembered + 200; ++i) stamps.push_back(meet(i));
  for (int i = 200; i < kRemembered + 200; ++i)
    EXPECT_EQ(meet(i), stamps[static_cast<std::size_t>(i)]) << i;
  EXPECT_NE(meet(0), stamps[0]);
}

// The memories trust a variable's parameters and the shapes of its terms
// while their stamps keep: every operation that may change them moves the
// stamp, those that change only match values and clipped functions keep
// the shape stamp, and copies take the source's stamps.
TEST(CombinedVariableTest, ParameterAndShapeStampsFollowEveryChange) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  struct TCase {
    const char* what;
    void (*change)(CombinedVariable&);
    bool parameters;     // the parameter stamp moves
    bool shape;          // the shape stamp moves
    bool lends = false;  // a term is lent: every stamp read gives a new one
  };
  // clang-format off
  const TCase cases[] = {
      {"fuzzified", [](CombinedVariable& v) { v.set_value(7); }, false, false},
      {"all match values", [](CombinedVariable& v) { v.set_all_mvs(0.5f); }, false, false},
      {"crisp value", [](CombinedVariable& v) { v.set_crisp_value(3); }, false, false},
      {"lower end", [](CombinedVariable& v) { v.set_range_lower_end(-1); }, true, false},
      {"upper end", [](CombinedVariable& v) { v.set_range_upper_end(11); }, true, false},
      {"median", [](CombinedVariable& v) { v.set_median(4); }, true, false},
      {"distribution", [](CombinedVariable& v) { v.set_distribution(0.5f); }, true, false},
      {"dilatation", [](CombinedVariable& v) { v.set_dilatation(0.2f); }, true, false},
      {"importance", [](CombinedVariable& v) { v.set_importance(0.3f); }, true, false},
      {"parameters read", [](CombinedVariable& v) { std::istringstream in("0 9 4 1 0 1");
                                                    v.read_PSB(in); }, true, false},
      {"term for writing", [](CombinedVariable& v) { v.find(1)->set_match_value(0.2f); },
       false, true, true},
      {"point moved", [](CombinedVariable& v) { v.set_msf_x(1, 1, 4.5f); }, false, true},
      {"point added", [](CombinedVariable& v) { v.add_msf_point(1, 4.8f, 0.9f); }, false, true},
      {"support end", [](CombinedVariable& v) { v.set_fs_upper_support_end(0, 6); }, false, true},
      {"term added", [](CombinedVariable& v) { v.add("huge", 5, 10, 1, 1, white); },
       false, true, true},
      {"terms removed", [](CombinedVariable& v) { v.remove_all(); }, false, true}};
  // clang-format on
  for (const TCase& c : cases) {
    CombinedVariable v(&ps, "v");
    v.set_value(2.5f);
    const std::uint64_t parameters = v.get_parameter_stamp();
    const std::uint64_t shape = v.get_shape_stamp();
    c.change(v);
    EXPECT_EQ(v.get_parameter_stamp() != parameters, c.parameters) << c.what;
    EXPECT_EQ(v.get_shape_stamp() != shape, c.shape) << c.what;
    CombinedVariable copy(&ps, "c");
    copy.copy_PSB(&v);
    copy.copy_PlimList(&v);
    EXPECT_EQ(copy.get_parameter_stamp(), v.get_parameter_stamp()) << c.what;
    EXPECT_EQ(copy.get_shape_stamp() == v.get_shape_stamp(), !c.lends) << c.what;
  }
}

// A term lent for writing may be written at any time: after a stamp read,
// between fuzzifications whose values the list remembers. Every stamp read
// after it differs, and fuzzifying again computes from the terms as written.
TEST(CombinedVariableTest, WritesThroughALentTermAreSeenWheneverMade) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  FuzzyContext context;
  CombinedVariable cv(&ps, "v");
  cv.set_context(&context);
  PlimFuzzySet* mid = cv.find(1);
  cv.set_value(2.5f);
  cv.set_value(7.5f);
  const std::uint64_t stamp = cv.get_stamp();
  mid->set_msf_point_x(1, 2.0f);
  EXPECT_NE(cv.get_stamp(), stamp);
  EXPECT_NE(cv.get_stamp(), cv.get_stamp());
  for (const float x : {2.5f, 7.5f, 2.5f}) {
    cv.set_value(x);
    EXPECT_TRUE(fuzzified_afresh(cv, x)) << x;
  }
}

// ---------------------------------------------------------- variable list

TEST(CVListTest, LookupFindsTheFirstOfANameThroughRenames) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 1, {"low", "high"});
  CVList list;
  // Every lookup also goes through a hint kept per name and through one
  // hint shared by all names: both must give what the plain lookup gives.
  std::map<std::string, CVList::Hint, std::less<>> hints;
  CVList::Hint shared;
  const auto lookup = [&](std::string_view name) {
    CombinedVariable* found = list.find_cv(name);
    EXPECT_EQ(list.find_cv(name, hints[std::string(name)]), found) << name;
    EXPECT_EQ(list.find_cv(name, shared), found) << name;
    return found;
  };
  CombinedVariable a(&ps, "a");
  CombinedVariable* first = list.add(&a);
  CombinedVariable* second = list.add(&a);
  EXPECT_EQ(lookup("a"), first);
  // A lookup first counts the names of its length with its first and last
  // characters; a name of the same count is still another name.
  first->set_cv_name("bee");
  EXPECT_EQ(lookup("a"), second);
  EXPECT_EQ(lookup("bee"), first);
  EXPECT_EQ(lookup("bxe"), nullptr);
  first->set_cv_name("a");  // back in front of the second
  EXPECT_EQ(lookup("a"), first);
  EXPECT_EQ(lookup("bee"), nullptr);
  // Copying into a listed variable takes over the other's name.
  CombinedVariable c(&ps, "c");
  second->copy(&c);
  EXPECT_EQ(lookup("c"), second);
  // A copy added under a name comes after the variables of that name.
  CombinedVariable* named = list.add(&a, "c");
  EXPECT_EQ(lookup("c"), second);
  second->set_cv_name("delta");
  EXPECT_EQ(lookup("c"), named);
  EXPECT_EQ(lookup("delta"), second);
  EXPECT_EQ(named->get_number(), a.get_number());
  second->set_cv_name("c");
  EXPECT_EQ(lookup("c"), second);  // in front of the copy again
  list.remove(2);
  list.remove(0);
  EXPECT_EQ(lookup("a"), nullptr);
  EXPECT_EQ(lookup("c"), second);
  list.remove_all();
  EXPECT_EQ(lookup("c"), nullptr);
  CombinedVariable* again = list.add(&a, "c");
  EXPECT_EQ(lookup("c"), again);
}

// Adding a variable, also under a name present, leaves what every name
// found and the list's bindings; renaming and removing move the bindings.
TEST(CVListTest, BindingsMoveWhenANameMayFindAnotherVariable) {
  // clang-format off
  struct TCase { const char* what; bool moved; void (*change)(CVList&); } const cases[] = {
      {"added under a new name", false, [](CVList& l) { l.add(l.find(0), "c"); }},
      {"added under a present name", false, [](CVList& l) { l.add(l.find(1), "a"); }},
      {"empty variable added", false, [](CVList& l) { l.add(); }},
      {"renamed", true, [](CVList& l) { l.find(0)->set_cv_name("b"); }},
      {"removed", true, [](CVList& l) { l.remove(0); }},
      {"all removed", true, [](CVList& l) { l.remove_all(); }}};
  // clang-format on
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 1, {"low", "high"});
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    CVList list;
    const CombinedVariable* a = list.add(&ps, "a");
    const CombinedVariable* b = list.add(&ps, "b");
    const std::uint64_t bindings = list.get_bindings();
    c.change(list);
    EXPECT_EQ(list.get_bindings() != bindings, c.moved);
    if (!c.moved) {
      EXPECT_EQ(list.find_cv("a"), a);
      EXPECT_EQ(list.find_cv("b"), b);
    }
  }
}

// A variable generated in the list equals a copy of one generated apart, and
// is found by its (cut) name.
TEST(CVListTest, VariablesGeneratedInTheListEqualCopies) {
  const std::string long_name(kNameChars + 5, 'n');
  const ParameterSet sets[] = {make_ps("p", 0, 10, 5, 1, 1, {"low", "mid", "high"}),
                               make_ps("q", -20, 100, 40, 0.3f, 0.5f, {"a", "b", "c", "d", "e"}),
                               make_ps("few", 0, 1, 0.5f, 1, 1, {"only"})};
  for (const ParameterSet& ps : sets) {
    for (const std::string& name : {std::string("v"), long_name}) {
      CVList copies;
      CVList generated;
      Capture err(std::cerr);
      const CombinedVariable apart(&ps, name);
      copies.add(&apart);
      const std::string warnings = err.str();
      const CombinedVariable* made = generated.add(&ps, name);
      EXPECT_EQ(err.str(), warnings + warnings) << ps.get_ps_name();
      std::ostringstream copied_text;
      std::ostringstream generated_text;
      copies.write(copied_text);
      generated.write(generated_text);
      EXPECT_EQ(generated_text.str(), copied_text.str()) << ps.get_ps_name();
      EXPECT_EQ(generated.find_cv(name), made);
    }
  }
}

// A list text that breaks off inside a variable: the variables before it
// stay as written, the one being read stays with what was read of it, and
// reading stops with a message.
TEST(CVListTest, BrokenTextKeepsWhatWasRead) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 1, {"low", "mid", "high"});
  CVList written;
  written.add(&ps, "first")->set_value(2.5f);
  written.add(&ps, "second");
  std::ostringstream text;
  written.write(text);
  const std::string whole = text.str();
  const std::size_t second = whole.find("second");
  for (std::size_t cut = second; cut < whole.size() - 2; cut += 9) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    CVList read;
    std::istringstream in(whole.substr(0, cut));
    std::ostringstream err;
    FuzzyContext context;
    context.err = &err;
    read.set_context(&context);
    EXPECT_FALSE(read.read(in));
    EXPECT_NE(err.str().find("reading stopped"), std::string::npos);
    ASSERT_EQ(read.get_number(), 2);
    std::ostringstream first;
    std::ostringstream again;
    read.find(0)->write(first);
    written.find(0)->write(again);
    EXPECT_EQ(first.str(), again.str());
  }
}

// ------------------------------------------------------- fast paths

// The builder must leave every polyline exactly as PList::insert does, also
// when the points come unordered, repeat, share x values, or are NaN.
TEST(PolylineBuilderTest, InsertsAsTheOrderedInsertion) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::mt19937 random(11);
  std::uniform_int_distribution<int> coordinate(0, 6);
  std::uniform_int_distribution<int> kind(0, 9);
  const auto next_point = [&](float previous_x) {
    const int k = kind(random);
    const float y = static_cast<float>(coordinate(random)) / 6;
    if (k < 5) return Point(previous_x + static_cast<float>(k), y);  // rising or equal x
    if (k == 5) return Point(nan, y);
    return Point(static_cast<float>(coordinate(random)), y);
  };
  for (int round = 0; round < 2000; ++round) {
    PList general;
    // Some rounds start from a polyline made by appending, possibly unordered.
    const int prefilled = round % 4 == 0 ? coordinate(random) : 0;
    for (int i = 0; i < prefilled; ++i) {
      general.add(static_cast<float>(coordinate(random)), static_cast<float>(coordinate(random)));
    }
    PList built;
    built.copy(&general);
    PolylineBuilder builder(&built);
    float x = 0;
    for (int i = 0; i < 8; ++i) {
      const Point p = next_point(x);
      if (p.get_x() == p.get_x()) x = p.get_x();
      const int expected = general.insert(p.get_x(), p.get_y());
      ASSERT_EQ(builder.insert(p), expected) << "round " << round << ", point " << i;
      ASSERT_EQ(bits_of(points_of(built)), bits_of(points_of(general)))
          << "round " << round << ", point " << i;
    }
  }
}

// Copying over a term list that holds nearly the same must still take over
// every part that differs, including floats that compare equal but differ in
// their bits.
TEST(PlimListCopyTest, TakesOverEveryDifferingPart) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  const std::pair<const char*, void (*)(PlimFuzzySet*)> cases[] = {
      {"term", [](PlimFuzzySet* s) { s->set_linguistic_term("other"); }},
      {"function", [](PlimFuzzySet* s) { s->set_function("other"); }},
      {"lower support end", [](PlimFuzzySet* s) { s->set_lower_support_end(-1); }},
      {"upper support end", [](PlimFuzzySet* s) { s->set_upper_support_end(11); }},
      {"colour", [](PlimFuzzySet* s) { s->set_fs_colour(blue); }},
      {"match value", [](PlimFuzzySet* s) { s->set_match_value(0.25f); }},
      {"match value -0", [](PlimFuzzySet* s) { s->set_match_value(-0.0f); }},
      {"msf point", [](PlimFuzzySet* s) { s->get_msf()->find(1)->set_y(0.5f); }},
      {"imsf point -0", [](PlimFuzzySet* s) { s->get_imsf()->find(0)->set_y(-0.0f); }},
      {"imsf point added", [](PlimFuzzySet* s) { s->get_imsf()->add(9, 0); }},
  };
  for (const auto& [what, change] : cases) {
    CombinedVariable source(&ps, "v");
    source.set_value(4);
    CombinedVariable target(&ps, "w");
    target.copy_PlimList(&source);
    change(source.find(1));
    target.copy_PlimList(&source);
    std::ostringstream expected;
    std::ostringstream got;
    source.write_PL(expected);
    target.write_PL(got);
    EXPECT_EQ(got.str(), expected.str()) << what;  // the text shows every part, -0 included
  }
}

}  // namespace
