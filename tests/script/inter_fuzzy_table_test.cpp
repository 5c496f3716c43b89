// Tests of entry searches in rule tables: a search from the start gives the
// same answer and reader position every time, also when the answer comes
// from what an earlier search found. (A changed file is searched anew: see
// the fuzzy statement tests.)
#include "inter_fuzzy_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree_run.h"

namespace {

struct TSearch {
  const char* what;
  const char* keyword;
  std::vector<std::string_view> names;
  bool found;
  const char* next;  // the word after the entry; "" at the end
};

// Searches with up to three names, as the statements make them.
bool find(TTableReader& reader, const TSearch& s) {
  switch (s.names.size()) {
    case 1:
      return reader.find_entry(s.keyword, {s.names[0]});
    case 2:
      return reader.find_entry(s.keyword, {s.names[0], s.names[1]});
    default:
      return reader.find_entry(s.keyword, {s.names[0], s.names[1], s.names[2]});
  }
}

TEST(RuleTable, RepeatedSearchesFindWhatTheFirstFound) {
  write_file("entries.tab",
             "COMPARE a r = low bad high good\n"
             "COMPARE a COMPARE b r = x y\n"
             "CONCAT r r r AND bad bad bad\n"
             "COMPARE z r");
  const TSearch searches[] = {
      {"first entry", "COMPARE", {"a", "r"}, true, "="},
      {"after a broken-off match", "COMPARE", {"b", "r"}, true, "="},
      {"three names", "CONCAT", {"r", "r", "r"}, true, "AND"},
      {"entry at the end", "COMPARE", {"z", "r"}, true, ""},
      {"missing entry", "COMPARE", {"q", "r"}, false, ""},
  };
  for (int round = 0; round < 3; ++round) {
    for (const TSearch& s : searches) {
      TTableReader reader(TRuleTable::load("entries.tab"));
      EXPECT_EQ(find(reader, s), s.found) << s.what << ", round " << round;
      EXPECT_EQ(reader.next(), s.next) << s.what << ", round " << round;
    }
  }
}

TEST(RuleTable, SearchesFromInsideTheTableStartThere) {
  write_file("inside.tab", "COMPARE a r = x y COMPARE a r = v w");
  TTableReader first(TRuleTable::load("inside.tab"));
  ASSERT_TRUE(first.find_entry("COMPARE", {"a", "r"}));
  ASSERT_TRUE(first.find_entry("COMPARE", {"a", "r"}));
  EXPECT_EQ(first.next(), "=");
  EXPECT_EQ(first.next(), "v");
}

}  // namespace
