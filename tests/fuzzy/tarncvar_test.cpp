// Tests of polylines, fuzzy sets and linguistic variables: ordered insertion,
// clean-up, match values, clipping, the cover merge, generation from a
// parameter set, fuzzification, the variable list, the text formats, and the
// memories of clipped functions and defuzzified values.
#include "tarncvar.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fuzzy_test_support.h"
#include "tarncvar_memo.h"
#include "tarnoper.h"

namespace {

using Flat = std::vector<float>;

// ------------------------------------------------------------------ PList

TEST(PListTest, InsertKeepsOrderAndOrientsVerticalEdges) {
  struct Case {
    Flat before;
    float x, y;
    int code;
    Flat after;
  };
  const Case cases[] = {
      {{}, 1, 1, 1, {1, 1}},
      {{0, 0, 5, 0}, 0, 0, 0, {0, 0, 5, 0}},                // already there
      {{0, 0, 5, 0}, 0, -0.5f, 2, {0, -0.5f, 0, 0, 5, 0}},  // below the first point
      {{0, 0, 5, 0}, 0, 1, 3, {0, 0, 0, 1, 5, 0}},          // climbs at the left end
      {{0, 0, 5, 0}, 5, 1, 4, {0, 0, 5, 1, 5, 0}},          // falls at the right end
      {{0, 0, 5, 1}, 5, 0, 5, {0, 0, 5, 1, 5, 0}},
      {{0, 0, 5, 0}, 2, 0.5f, 6, {0, 0, 2, 0.5f, 5, 0}},
      {{0, 0, 2, 1, 5, 0}, 2, 0.5f, 6, {0, 0, 2, 1, 2, 0.5f, 5, 0}},  // interior edge
      {{0, 0, 5, 0}, -1, 0, 6, {0, 0, -1, 0, 5, 0}},  // the first point is passed over
  };
  for (const Case& c : cases) {
    PList line;
    for (std::size_t i = 0; i < c.before.size(); i += 2) line.add(c.before[i], c.before[i + 1]);
    EXPECT_EQ(line.insert(c.x, c.y), c.code) << c.x << "/" << c.y;
    EXPECT_EQ(points_of(line), c.after) << c.x << "/" << c.y;
  }
}

TEST(PListTest, FindLooksOnlyAtTheFirstPointOfAnX) {
  const PList line = polyline({0, 0, 2, 1, 2, 0.5f, 5, 0});
  EXPECT_EQ(line.find(2.0f, 1.0f), 1);
  EXPECT_EQ(line.find(2.0f, 0.5f), -1);
  const Point p(2, 0.5f);
  EXPECT_EQ(line.find(&p), 2);
  EXPECT_EQ(line.find(7), nullptr);
}

TEST(PListTest, ClearingRemovesMiddlePointsOfRuns) {
  struct Case {
    Flat before;
    bool horizontal;
    Flat after;
  };
  const Case cases[] = {
      {{0, 0, 1, 1, 2, 1, 3, 1, 4, 0}, true, {0, 0, 1, 1, 3, 1, 4, 0}},
      // After a removal the scan goes on at the former third point, so a run
      // of four keeps its last two points.
      {{0, 1, 1, 1, 2, 1, 3, 1}, true, {0, 1, 2, 1, 3, 1}},
      {{0, 0, 1, 0}, true, {0, 0, 1, 0}},
      {{0, 0, 0, 0.5f, 0, 1, 3, 1}, false, {0, 0, 0, 1, 3, 1}},
      {{0, 0, 0, 0.5f, 1, 1}, false, {0, 0, 0, 0.5f, 1, 1}},
  };
  for (const Case& c : cases) {
    PList line;
    for (std::size_t i = 0; i < c.before.size(); i += 2) line.add(c.before[i], c.before[i + 1]);
    if (c.horizontal) {
      line.clear_horizontal_line();
    } else {
      line.clear_vertical_line();
    }
    EXPECT_EQ(points_of(line), c.after);
  }
}

TEST(PListTest, HeightQueries) {
  const PList line = polyline({0, 0, 1, 0.5f, 2, 0.5f, 3, 0});
  EXPECT_EQ(line.get_max_y(), 0.5f);
  EXPECT_EQ(PList().get_max_y(), 0);
  EXPECT_EQ(polyline({0, -1, 1, -2}).get_max_y(), 0);
  EXPECT_EQ(line.get_first_x(0.5f), 1);
  FList xs;
  line.get_x(&xs, 0.5f);
  EXPECT_EQ(xs.values(), Flat({1, 2}));

  Capture err(std::cerr);
  EXPECT_EQ(line.get_first_x(0.7f), 0);  // no match: the first point's x
  EXPECT_EQ(PList().get_first_x(0.7f), -1);
  EXPECT_EQ(err.str(),
            "y-value not found in PList::get_first_x(float y)\n"
            "y-value not found in PList::get_first_x(float y)\n");
}

TEST(FListTest, AccessOutsideTheList) {
  FList list;
  list.add(0.5f);
  list.add(1.5f);
  EXPECT_EQ(list.find_v(1), 1.5f);
  EXPECT_EQ(list.find_v(2), -1.0f);
  EXPECT_EQ(list.mean(), 1.0f);
  EXPECT_EQ(FList().mean(), 0.0f);
  Capture err(std::cerr);
  EXPECT_EQ(list.remove(2), -1);
  EXPECT_EQ(err.str(), "no_such_FloatValue\n");
  EXPECT_EQ(list.remove(1), 1);
  EXPECT_EQ(list.get_number(), 1);
}

// ------------------------------------------------------------- fuzzy sets

TEST(PlimFuzzySetTest, MatchValueIsTakenStrictlyInsideTheSupport) {
  PlimList sets;
  sets.add("trapezoid", 0, 6, 2, 2, blue);  // (0,0) (2,1) (4,1) (6,0)
  sets.add("shoulder", 0, 6, 0, 3, red);    // (0,0) (0,1) (3,1) (6,0)
  ASSERT_EQ(msf_of(sets, 0), Flat({0, 0, 2, 1, 4, 1, 6, 0}));
  ASSERT_EQ(msf_of(sets, 1), Flat({0, 0, 0, 1, 3, 1, 6, 0}));
  struct Case {
    int k;
    float x, mv;
  };
  const Case cases[] = {
      {0, 1, 0.5f}, {0, 3, 1}, {0, 5, 0.5f},   {0, 0, 0},       {0, 6, 0}, {0, 4, 1},
      {0, -1, 0},   {1, 0, 0}, {1, 0.001f, 1}, {1, 4.5f, 0.5f}, {1, 7, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sets.get_membership(c.x, c.k), c.mv) << c.k << " at " << c.x;
    PlimFuzzySet* set = sets.find(c.k);
    EXPECT_EQ(set->calculate_match_value(c.x), c.mv);
    EXPECT_EQ(set->get_match_value(), c.mv);
  }
}

TEST(PlimFuzzySetTest, InstantiatedFunctionIsClippedAtTheMatchValue) {
  struct Case {
    float left, right;  // flanks of a set on [0, 6]
    float mv;
    Flat imsf;
  };
  const Case cases[] = {
      {2, 2, 0.5f, {0, 0, 1, 0.5f, 5, 0.5f, 6, 0}},
      {2, 2, 1, {0, 0, 2, 1, 4, 1, 6, 0}},
      {2, 2, 0, {0, 0, 6, 0}},
      {2, 2, 0.25f, {0, 0, 0.5f, 0.25f, 5.5f, 0.25f, 6, 0}},
      {0, 3, 0.5f, {0, 0, 0, 0.5f, 4.5f, 0.5f, 6, 0}},     // rising edge
      {3, 0, 0.5f, {0, 0, 1.5f, 0.5f, 6, 0.5f, 6, 0}},     // falling edge
      {3, 3, 0.5f, {0, 0, 1.5f, 0.5f, 4.5f, 0.5f, 6, 0}},  // triangle
  };
  for (const Case& c : cases) {
    PlimList sets;
    PlimFuzzySet* set = sets.add("t", 0, 6, c.left, c.right, blue);
    set->set_match_value(c.mv);
    set->build_imsf();
    EXPECT_EQ(points_of(*set->get_imsf()), c.imsf) << c.left << " " << c.right << " " << c.mv;
  }
}

TEST(PlimFuzzySetTest, EditingKeepsPointsInsideTheirBounds) {
  PlimList sets;
  PlimFuzzySet* set = sets.add("t", 0, 6, 2, 2, blue);  // (0,0) (2,1) (4,1) (6,0)
  set->add_msf_point(7, 0.5f);                          // outside the support: ignored
  set->add_msf_point(1, 1.5f);                          // degree above 1: ignored
  EXPECT_EQ(set->get_msf_point_number(), 4);
  set->set_msf_point_x(1, 5);  // limited by the neighbours to 4
  EXPECT_EQ(set->get_msf_point_x(1), 4);
  set->set_msf_point_y(0, 1);  // end points stay at 0
  EXPECT_EQ(set->get_msf_point_y(0), 0);
  Capture err(std::cerr);
  EXPECT_EQ(set->delete_msf_point(0), -1);
  EXPECT_EQ(set->delete_msf_point(9), -1);
  EXPECT_EQ(err.str(), "Unable to delete end points!\nUnable to delete end points!\n");
  sets.set_fs_upper_support_end(0, 8);
  EXPECT_EQ(sets.get_fs_upper_support_end(0), 8);
  EXPECT_EQ(sets.get_msf_x(0, sets.get_msf_point_number(0) - 1), 8);
}

// ------------------------------------------------------------- geometry

TEST(GeometryTest, Crosspoint) {
  struct Case {
    float s[8];
    int result;
    float x, y;
  };
  const Case cases[] = {
      {{0, 0, 2, 2, 0, 2, 2, 0}, 1, 1, 1},           // slanted lines crossing
      {{0, 0, 2, 2, 0, 1, 2, 3}, -1, 0, -1},         // parallel
      {{1, 0, 1, 2, 3, 0, 3, 1}, -1, 0, -1},         // both vertical
      {{0, 1, 2, 1, 0, 3, 5, 3}, -1, 0, -1},         // both horizontal
      {{0, 0.5f, 4, 0.5f, 0, 0, 2, 1}, 1, 1, 0.5f},  // horizontal first
      {{0, 0, 2, 1, 0, 0.5f, 4, 0.5f}, 1, 1, 0.5f},  // horizontal second
      {{1, 0, 1, 2, 0, 0, 2, 1}, 1, 1, 0.5f},        // vertical first
      {{0, 0, 2, 1, 1, 0, 1, 2}, 1, 1, 0.5f},        // vertical second
      {{0, 0, 1, 1, 2, 0, 3, -1}, 0, 1, 1},          // lines cross outside the second segment
  };
  for (const Case& c : cases) {
    float x = 9;
    float y = 9;
    const int result = PlimList::crosspoint(&x, &y, c.s[0], c.s[1], c.s[2], c.s[3], c.s[4], c.s[5],
                                            c.s[6], c.s[7]);
    EXPECT_EQ(result, c.result) << c.s[0] << "," << c.s[1] << " " << c.s[4] << "," << c.s[5];
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
  }
}

TEST(CoverTest, MergingBuildsTheUpperEnvelope) {
  struct Case {
    const char* what;
    std::vector<PList> functions;
    Flat cover;
    PList start = {};  // the cover before the merge
  };
  const Case cases[] = {
      {"two crossing triangles",
       {polyline({0, 0, 2, 1, 4, 0}), polyline({2, 0, 4, 1, 6, 0})},
       {0, 0, 2, 1, 3, 0.5f, 4, 1, 6, 0}},
      {"a flat function contributes nothing",
       {polyline({0, 0, 2, 1, 4, 0}), polyline({2, 0, 6, 0})},
       {0, 0, 2, 1, 4, 0}},
      {"the first function with area starts the cover",
       {polyline({0, 0, 6, 0}), polyline({2, 0, 4, 1, 6, 0})},
       {2, 0, 4, 1, 6, 0}},
      {"a clipped shoulder under a rising flank",
       {polyline({0, 0, 0, 0.25f, 7.5f, 0.25f, 10, 0}),
        polyline({0, 0, 7.5f, 0.75f, 10, 0.75f, 10, 0})},
       {0, 0, 0, 0.25f, 2.5f, 0.25f, 7.5f, 0.75f, 10, 0.75f, 10, 0, 10, 0}},
      {"a short cover under a flat function is emptied",
       {polyline({0, 0, 6, 0})},
       {},
       polyline({0, 0, 1, 1})},
  };
  for (const Case& c : cases) {
    PlimList terms;
    for (const PList& f : c.functions) terms.add()->get_imsf()->copy(&f);
    PList cover = c.start;
    for (int k = 0; k < terms.get_number(); ++k) terms.put_imsf_into_cover(&cover, k);
    EXPECT_EQ(points_of(cover), c.cover) << c.what;
  }
}

// ------------------------------------------------------------- variables

TEST(CombinedVariableTest, GenerationPlacesTheTerms) {
  struct Case {
    const char* what;
    float shape[5];  // lower, upper, median, distribution, dilatation
    std::vector<Flat> msf;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int terms = static_cast<int>(c.msf.size());
    NList names(terms);
    const CList colours(terms);
    const float* f = c.shape;
    const ParameterSet ps("p", f[0], f[1], f[2], f[3], f[4], 1, &colours, &names);
    const CombinedVariable cv(&ps, "v");
    ASSERT_EQ(cv.get_number(), terms);
    for (int k = 0; k < terms; ++k) {
      EXPECT_EQ(msf_of(cv, k), c.msf[static_cast<std::size_t>(k)]) << "term " << k;
      EXPECT_EQ(cv.get_fs_lower_support_end(k), c.msf[static_cast<std::size_t>(k)].front());
      EXPECT_EQ(cv.get_fs_colour(k), colours.find(k)->get_colour());
    }
    EXPECT_EQ(cv.get_crisp_value(), -1);
  }
}

TEST(CombinedVariableTest, TooFewTermsGiveAnEmptyVariable) {
  for (int n : {0, 1}) {
    NList names(n);
    const CList colours(n);
    const ParameterSet ps("single", 0, 10, 5, 1, 0.5f, 1, &colours, &names);
    Capture err(std::cerr);
    CombinedVariable cv(&ps, "v");
    EXPECT_EQ(cv.get_number(), 0);
    EXPECT_NE(err.str().find("fewer than two linguistic terms"), std::string::npos);
    EXPECT_EQ(cv.set_value(3), 1);
    EXPECT_EQ(cv.check_match(), -1);
  }
}

TEST(CombinedVariableTest, GenerationChecksTheParameterSet) {
  ParameterSet raw;
  std::istringstream in("p 0 10 5 4 0 1 /* #: 2 */ blue red /* #: 2 */ low high");
  raw.read(in);
  Capture err(std::cerr);
  const CombinedVariable cv(&raw, "v");
  EXPECT_EQ(err.str(), "Warning: Distribution was above [0.1,1] in ParameterSet!\n");
  EXPECT_EQ(cv.get_distribution(), 1);
}

TEST(CombinedVariableTest, FuzzificationInsideAndOutsideTheRange) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  CombinedVariable cv(&ps, "v");
  struct Case {
    float x;
    int result;
    Flat mvs;
  };
  const Case cases[] = {
      {2.5f, 1, {0.5f, 0.5f, 0}}, {5, 1, {0, 1, 0}}, {7.5f, 1, {0, 0.5f, 1}},
      {10, 1, {0, 0, 0}},         {0, 1, {0, 0, 0}}, {10.001f, -1, {0, 0, 0}},
      {-0.5f, -1, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    Capture err(std::cerr);
    EXPECT_EQ(cv.set_value(c.x), c.result) << c.x;
    EXPECT_EQ(err.str(), c.result < 0 ? "Crisp input out of range!\n" : "") << c.x;
    EXPECT_EQ(cv.get_crisp_value(), c.result < 0 ? 0 : c.x);  // rejected input changes nothing
    for (int k = 0; k < 3; ++k) EXPECT_EQ(cv.get_fs_match_value(k), c.mvs[k]) << c.x << " " << k;
  }
  cv.set_value(2.5f);
  EXPECT_EQ(points_of(*cv.find(1)->get_imsf()), Flat({1.25f, 0, 2.5f, 0.5f, 7.5f, 0.5f, 8.75f, 0}));
}

TEST(CombinedVariableTest, TextRoundTripAndDisplay) {
  const ParameterSet ps = make_ps("p", 0, 4, 2, 1, 1, {"low", "high"});
  CombinedVariable cv(&ps, "x");
  {
    Capture shown;
    cv.find(1)->show();
    EXPECT_EQ(shown.str(),
              " linguistic_term: high\nlower_support_end: 0\tupper_support_end: 4\n"
              "fs_colour: red \tfunction: point_list \nmatch_value: -1\n"
              "membership_function: 0/0 4/1 4/0 \ninstanciated_membership_function: \n");
  }
  cv.set_value(1);
  std::ostringstream out;
  cv.write(out);
  EXPECT_EQ(out.str(),
            "x 1 0 4 2 1 1 1\n\n/* #: 2 */ \n"
            "low 0 4 blue  point_list 0.75\n/* #: 3 */ 0 0 0 1 4 0 \n"
            "/* #: 4 */ 0 0 0 0.75 1 0.75 4 0 \n"
            "high 0 4 red  point_list 0.25\n/* #: 3 */ 0 0 4 1 4 0 \n"
            "/* #: 4 */ 0 0 1 0.25 4 0.25 4 0 \n\n");
  CombinedVariable again;
  std::istringstream in(out.str());
  EXPECT_TRUE(again.read(in));
  std::ostringstream second;
  again.write(second);
  EXPECT_EQ(second.str(), out.str());
}

// ---------------------------------------------------------- variable list

TEST(CVListTest, LookupFindsTheFirstOfANameThroughRenames) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 1, {"low", "high"});
  CVList list;
  CombinedVariable a(&ps, "a");
  CombinedVariable* first = list.add(&a);
  CombinedVariable* second = list.add(&a);
  EXPECT_EQ(list.find_cv("a"), first);
  first->set_cv_name("b");
  EXPECT_EQ(list.find_cv("a"), second);
  EXPECT_EQ(list.find_cv("b"), first);
  first->set_cv_name("a");  // back in front of the second
  EXPECT_EQ(list.find_cv("a"), first);
  EXPECT_EQ(list.find_cv("b"), nullptr);

  // Copying into a listed variable takes over the other's name.
  CombinedVariable c(&ps, "c");
  second->copy(&c);
  EXPECT_EQ(list.find_cv("c"), second);
  second->set_cv_name("a");
  EXPECT_EQ(list.find_cv_by_name(second), 0);
  EXPECT_EQ(list.find_cv_by_pointer(second), 1);
  EXPECT_EQ(list.find_cv_by_pointer(&a), -1);

  list.remove(0);
  EXPECT_EQ(list.find_cv("a"), second);
  list.remove(3);
  list.remove_all();
  EXPECT_EQ(list.find_cv("a"), nullptr);
  EXPECT_EQ(list.get_number(), 0);
}

TEST(CVListTest, AddingAListSkipsNamesAlreadyPresent) {
  CVList target;
  CVList source;
  target.add()->set_cv_name("a");
  for (const char* name : {"b", "a", "c", "b"}) source.add()->set_cv_name(name);
  target.add(&source);
  ASSERT_EQ(target.get_number(), 3);
  EXPECT_STREQ(target.find(1)->get_cv_name(), "b");
  EXPECT_STREQ(target.find(2)->get_cv_name(), "c");
}

TEST(CVListTest, TextRoundTripAndBrokenInput) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  CVList list;
  CombinedVariable a(&ps, "a");
  a.set_value(3);
  list.add(&a);
  list.add(&a)->set_cv_name("b");
  std::ostringstream out;
  list.write(out);
  EXPECT_EQ(out.str().substr(0, 13), "/* #: 2 */\n\na");
  CVList again;
  std::istringstream in(out.str());
  EXPECT_TRUE(again.read(in));
  EXPECT_NE(again.find_cv("b"), nullptr);

  const std::string text = out.str();
  for (std::size_t cut : {std::size_t{0}, text.size() / 3, text.size() - 8}) {
    CVList broken;
    std::istringstream partial(text.substr(0, cut));
    Capture err(std::cerr);
    EXPECT_FALSE(broken.read(partial)) << cut;
    EXPECT_LE(broken.get_number(), 1);
    EXPECT_NE(err.str().find("reading stopped"), std::string::npos);
  }
}

}  // namespace

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
      ASSERT_EQ(built.get_number(), general.get_number());
      ASSERT_EQ(std::memcmp(built.points().data(), general.points().data(),
                            general.points().size() * sizeof(Point)),
                0)
          << "round " << round << ", point " << i;
    }
  }
}

// Copying over a term list that holds nearly the same must still take over
// every part that differs, including floats that compare equal but differ in
// their bits.
TEST(PlimListCopyTest, TakesOverEveryDifferingPart) {
  const ParameterSet ps = make_ps("p", 0, 10, 5, 1, 0.5f, {"low", "mid", "high"});
  struct Case {
    const char* what;
    void (*change)(PlimFuzzySet* set);
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    CombinedVariable source(&ps, "v");
    source.set_value(4);
    CombinedVariable target(&ps, "w");
    target.copy_PlimList(&source);
    c.change(source.find(1));
    target.copy_PlimList(&source);
    std::ostringstream expected;
    std::ostringstream got;
    source.write_PL(expected);
    target.write_PL(got);
    // The text shows every part, -0 included.
    EXPECT_EQ(got.str(), expected.str()) << c.what;
  }
}

// Tests of the memories of defuzzified values and clipped functions: hits
// must give exactly what the computation gives, and any change of the inputs
// must miss.
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
