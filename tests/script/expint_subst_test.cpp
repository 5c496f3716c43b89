// Tests of the index substitution: list expansion, ranges and their counts,
// function words, and the cuts of over-long results.
#include <gtest/gtest.h>

#include "expint.h"

namespace {

std::string substituted(const TVarlist& store, std::string formula) {
  return store.substitute(formula);
}

TEST(IndexSubstitution, ExpandsIndexedNamesAndCounts) {
  TVarlist store;
  for (const char* n : {"x[0]", "x[1]", "x[2]", "z[1]", "z[2]", "z[3]", "g[0].m", "g[1].m"}) {
    store.insert(n, "1", 1);
  }
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"SUM(i=1:2){x[i]}/#i", "SUM{x[1],x[2]}/2"},
      {"MAX{x[k]}", "MAX{x[0],x[1],x[2]}"},
      {"SUM{y[i]}", "SUM{}"},
      {"(x[2]+1)", "(x[2]+1)"},
      {"(#i+1)", "(#i+1)"},
      {"sin(a)", "SIN(a)"},
      {"(a+abs", "(a+abs"},
      {"MIN(j=2){z[j]}", "MIN{z[2],z[3]}"},
      {"SUM{g[i].m}", "SUM{g[0].m,g[1].m}"},
      {"summe", "SUMme"},
      {"(Maxhours>1)", "(MAXhours>1)"},
      // Two ranges: each list uses the latest range, each count its own record.
      {"(SUM(i=0:1){x[i]}*#i+MUL(j=2:3){z[j]}/#j)", "(SUM{x[0],x[1]}*2+MUL{z[2],z[3]}/2)"},
      // A range given after a list still counts for a later #.
      {"SUM(i=5:9){x[i]}+#i", "SUM{}+0"},
      {"[i]+x[]", "[i]+x[]"},
      // Numbers and other texts without letters or brackets pass unchanged.
      {"-20.000000", "-20.000000"},
      {"(1+2)*#3", "(1+2)*#3"},
      {"", ""},
      // Quoted texts are not exempt.
      {"\"a-sinus\"", "\"a-SINus\""},
  };
  for (const Case& c : cases) EXPECT_EQ(substituted(store, c.in), c.out) << c.in;
}

TEST(IndexSubstitution, CandidatesStopAtTheNumberOfEntries) {
  TVarlist store;
  store.insert("x[3]", "1", 1);
  EXPECT_EQ(substituted(store, "SUM{x[i]}"), "SUM{}");
  store.insert("a", "1", 1);
  store.insert("b", "1", 1);
  EXPECT_EQ(substituted(store, "SUM{x[i]}"), "SUM{x[3]}");
}

TEST(IndexSubstitution, OverlongResultsAreCut) {
  TVarlist store;
  for (int i = 0; i < 60; ++i) store.insert("long_name[" + std::to_string(i) + "]", "1", 1);
  const std::string out = substituted(store, "SUM{long_name[i]}");
  EXPECT_EQ(out.size(), script_limits::kFormulaChars);
  EXPECT_EQ(out.rfind("SUM{long_name[0],long_name[1],", 0), 0u);
  EXPECT_EQ(substituted(store, std::string(300, 'a')).size(), script_limits::kFormulaChars);
  EXPECT_EQ(substituted(store, std::string(300, '7')),
            std::string(script_limits::kFormulaChars, '7'));
}

TEST(IndexSubstitution, RangesPastTheTenthAreIgnored) {
  TVarlist store;
  store.insert("x[1]", "1", 1);
  std::string many;
  for (char letter = 'a'; letter <= 'k'; ++letter) many += std::string("SUM(") + letter + "=1){}";
  EXPECT_EQ(substituted(store, many + "#j#k"),
            "SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}0#k");
}

TEST(IndexSubstitution, SubstituteAllRewritesEveryFormula) {
  TVarlist store;
  store.insert("x[0]", "1", 1);
  store.insert("x[1]", "2", 2);
  store.insert("s", "SUM{x[i]}", 0);
  store.insert("t", "cos(x[1])", 0);
  store.substitute_all();
  EXPECT_STREQ(store.get_formula("s"), "SUM{x[0],x[1]}");
  EXPECT_STREQ(store.get_formula("t"), "COS(x[1])");
  EXPECT_STREQ(store.get_formula("x[0]"), "1");
}

}  // namespace
