// Tests of the ordering of rated constraints: repair starts are taken from
// the front of the sorted list, so entries of equal rating must come out in
// the very order that sorting the list itself gives.
#include "domtarn_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> NamesOf(const ConstraintEvaluations& list) {
  std::vector<std::string> names;
  for (const ConstraintEvaluation& entry : list) names.emplace_back(entry.GetName());
  return names;
}

TEST(SortByRating, GivesTheOrderOfSortingTheEntriesThemselves) {
  struct Case {
    int entries;
    int distinct_ratings;  // few: many ties
  } cases[] = {{0, 1}, {1, 1}, {2, 1}, {5, 2}, {16, 3}, {17, 3}, {40, 40}, {150, 4}, {600, 7}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    for (int round = 0; round < 5; ++round) {
      std::uniform_int_distribution<int> rating(0, c.distinct_ratings - 1);
      ConstraintEvaluations list(static_cast<std::size_t>(c.entries));
      for (int i = 0; i < c.entries; ++i) {
        ConstraintEvaluation& entry = list[static_cast<std::size_t>(i)];
        entry.SetName("entry" + std::to_string(i));
        entry.SetBranch("branch");
        entry.SetFormula("place[" + std::to_string(i) + "][0]");
        entry.SetValue(static_cast<float>(rating(random)) / 4.0f);
      }
      ConstraintEvaluations expected = list;
      std::sort(expected.begin(), expected.end());
      SortByRating(list);
      ASSERT_EQ(NamesOf(list), NamesOf(expected)) << c.entries << " entries";
      for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_STREQ(list[i].GetFormula(), expected[i].GetFormula());
        EXPECT_EQ(list[i].GetValue(), expected[i].GetValue());
      }
    }
  }
}

}  // namespace
