// Tests of the variable store: duplicates and removal, lookups, the two
// displays and the variables file.
#include "expint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "capture.h"

namespace {

std::string names_of(const TVarlist& store) {
  std::string names;
  for (std::size_t i = 0; i < store.number(); ++i) {
    if (i > 0) names += ' ';
    names += store.get(i).get_name();
  }
  return names;
}

TEST(VariableStore, RemovalKeepsOrderAndTheIndexInStep) {
  TVarlist store;
  for (const char* n : {"x", "a", "y", "a", "z"}) store.insert(n, n, 1);
  store.set_value("a", 10);  // the first a
  store.remove("x");         // the head goes: every position shifts
  EXPECT_EQ(names_of(store), "a y a z");
  EXPECT_EQ(store.get_value("a"), 10.0f);
  store.remove("a");
  EXPECT_EQ(names_of(store), "y a z");
  EXPECT_EQ(store.get_value("a"), 1.0f);  // the later a answers now
  EXPECT_EQ(store.get_comp("a"), 1);
  store.remove("y");
  store.set_value("z", 7);
  EXPECT_EQ(store.get(1).get_value(), 7.0f);
  store.remove("missing");
  EXPECT_EQ(store.get_entries(), 2u);
  store.remove("a");
  store.remove("z");
  EXPECT_EQ(store.get_entries(), 0u);
  EXPECT_EQ(store.in_list("z"), 0);
}

// The store against a plain list searched from the front: long runs of inserts
// and removals over few names (many duplicates) and many names (index growth,
// removals from the middle) must agree on the order and on every lookup.
TEST(VariableStore, IndexAgreesWithALinearSearchThroughInsertsAndRemovals) {
  struct Entry {
    std::string name;
    float value;
  };
  struct Case {
    int distinct_names;
    const char* prefix;  // short names, and names past any short-text size
  } cases[] = {{3, "v["}, {40, "v["}, {700, "c_shiftblocks_of_a_team["}};
  for (const Case& c : cases) {
    const auto name_of = [&](int k) { return c.prefix + std::to_string(k) + "].x"; };
    std::mt19937 random(static_cast<unsigned>(c.distinct_names));
    std::uniform_int_distribution<int> pick(0, c.distinct_names - 1);
    std::vector<Entry> model;
    TVarlist store;
    for (int step = 0; step < 4000; ++step) {
      const std::string name = name_of(pick(random));
      if (random() % 3 == 0) {
        store.remove(name);
        const auto it = std::find_if(model.begin(), model.end(),
                                     [&](const Entry& e) { return e.name == name; });
        if (it != model.end()) model.erase(it);
      } else {
        store.insert(name, "0", static_cast<float>(step));
        model.push_back({name, static_cast<float>(step)});
      }
    }
    ASSERT_EQ(store.number(), model.size()) << c.distinct_names;
    for (std::size_t i = 0; i < model.size(); ++i) {
      ASSERT_EQ(store.get(i).get_name(), model[i].name) << c.distinct_names;
      ASSERT_EQ(store.get(i).get_value(), model[i].value) << c.distinct_names;
    }
    for (int k = 0; k < c.distinct_names; ++k) {
      const std::string name = name_of(k);
      const auto it =
          std::find_if(model.begin(), model.end(), [&](const Entry& e) { return e.name == name; });
      const TVariable* found = store.find(name);
      ASSERT_EQ(found == nullptr, it == model.end()) << name;
      if (found != nullptr) {
        EXPECT_EQ(found, &store.get(static_cast<std::size_t>(it - model.begin()))) << name;
      }
    }
  }
}

// Names whose hashes pick the same slot of a small index form one probe run:
// removals from its middle must leave every other name reachable, also after
// the positions behind a removed variable have moved.
TEST(VariableStore, NamesSharingASlotStayReachableThroughRemovals) {
  std::vector<std::string> names;
  for (int k = 0; names.size() < 6; ++k) {
    const std::string name = std::string("k").append(std::to_string(k));
    if ((variable_name_hash(name) & 15u) == 5u) names.push_back(name);
  }
  std::mt19937 random(3);
  std::vector<std::string> model;
  TVarlist store;
  for (int step = 0; step < 3000; ++step) {
    const std::string& name = names[random() % names.size()];
    if (random() % 2 == 0 && model.size() < 6) {
      store.insert(name, "0", static_cast<float>(step));
      model.push_back(name);
    } else {
      store.remove(name);
      const auto it = std::find(model.begin(), model.end(), name);
      if (it != model.end()) model.erase(it);
    }
    ASSERT_EQ(store.number(), model.size()) << step;
    for (const std::string& probe : names) {
      const auto it = std::find(model.begin(), model.end(), probe);
      const TVariable* found = store.find(probe);
      const TVariable* expected =
          it == model.end() ? nullptr : &store.get(static_cast<std::size_t>(it - model.begin()));
      ASSERT_EQ(found, expected) << probe << " at step " << step;
    }
  }
}

TEST(VariableStore, ReservedRoomKeepsEntriesInPlaceAndLookupsRight) {
  TVarlist store;
  store.insert("a", "1", 1);
  store.insert("b", "2", 2);
  store.insert("a", "3", 3);
  store.reserve(300);
  const TVariable* first = store.find("a");
  for (int i = 0; i < 297; ++i) store.insert(std::string("n").append(std::to_string(i)), "0", 0);
  EXPECT_EQ(store.find("a"), first);
  EXPECT_EQ(first, &store.get(0));
  EXPECT_EQ(store.get_value("b"), 2.0f);
  EXPECT_EQ(store.in_list("n296"), 1);
  store.remove("a");
  EXPECT_EQ(store.get_value("a"), 3.0f);
  store.reserve(10);  // less than held: changes nothing
  EXPECT_EQ(store.number(), 299u);
  EXPECT_EQ(store.get_value("n0"), 0.0f);
  EXPECT_EQ(store.in_list("n0"), 1);
}

// Names that differ in a few characters, such as the cells of a table, must
// spread over the low bits of the hash, which pick the index slot; otherwise
// lookups degrade into long scans.
TEST(VariableStore, SimilarNamesSpreadOverTheLowHashBits) {
  std::vector<bool> used(1024);
  int distinct = 0;
  for (int g = 0; g < 8; ++g) {
    for (int d = 0; d < 64; ++d) {
      const std::string name = "plan[" + std::to_string(g) + "][" + std::to_string(d) + "]";
      const std::uint32_t low = variable_name_hash(name) & 1023u;
      if (!used[low]) ++distinct;
      used[low] = true;
    }
  }
  // 512 random values over 1024 take about 400 distinct ones.
  EXPECT_GE(distinct, 360);
}

// Every length a name can have, and a difference at every place of it.
TEST(VariableStore, NamesDifferingInOneCharacterAreDifferentNames) {
  for (std::size_t length = 1; length <= script_limits::kNameChars; ++length) {
    TVarlist store;
    const std::string name(length, 'q');
    store.insert(name, "1", 1);
    for (std::size_t at = 0; at < length; ++at) {
      std::string other = name;
      other[at] = 'r';
      ASSERT_EQ(store.in_list(other), 0) << length << ' ' << at;
    }
    EXPECT_EQ(store.in_list(name), 1) << length;
    EXPECT_EQ(store.in_list(name + "q"), length == script_limits::kNameChars ? 1 : 0) << length;
  }
}

TEST(VariableStore, AbsentNamesReadAsNothingAndSettersIgnoreThem) {
  TVarlist store;
  EXPECT_EQ(store.in_list("q"), 0);
  store.insert("b", "(1+1)", 0);
  store.set_value("q", 3);
  store.set_formula("q", "x");
  store.set_comp("q", 1);
  EXPECT_EQ(store.get_entries(), 1u);
  EXPECT_EQ(store.get_value("q"), 0.0f);
  EXPECT_EQ(store.get_formula("q"), nullptr);
  EXPECT_EQ(store.get_comp("q"), 0);
  // Setting a value does not make a variable computed.
  store.set_value("b", 4);
  EXPECT_EQ(store.get_comp("b"), 0);
  EXPECT_EQ(store.get_value("b"), 4.0f);
}

TEST(VariableStore, OverlongNamesAndFormulasAreCutConsistently) {
  TVarlist store;
  const std::string long_name(100, 'n');
  const std::string long_formula(200, '1');
  store.insert(long_name, long_formula, 1);
  EXPECT_EQ(std::string(store.get(0).get_name()).size(), script_limits::kNameChars);
  EXPECT_EQ(std::string(store.get(0).get_formula()).size(), script_limits::kFormulaChars);
  EXPECT_EQ(store.in_list(long_name), 1);
  EXPECT_EQ(store.in_list(long_name.substr(0, 79)), 1);
}

TEST(VariableStore, FormulasAreReplacedInPlaceEvenByPartsOfThemselves) {
  TVarlist store;
  store.insert("a", "(b+c)*2", 0);
  TVariable& a = *store.find("a");
  a.set_formula(std::string_view(a.get_formula()).substr(1, 3));
  EXPECT_STREQ(a.get_formula(), "b+c");
  EXPECT_EQ(a.formula_text(), "b+c");
  store.set_formula("a", std::string(300, '9'));
  EXPECT_EQ(a.formula_text(), std::string(script_limits::kFormulaChars, '9'));
  a.set_formula(std::string_view(a.get_formula()).substr(100));
  EXPECT_EQ(a.formula_text(), std::string(script_limits::kFormulaChars - 100, '9'));
  EXPECT_EQ(std::string(a.get_formula()).size(), script_limits::kFormulaChars - 100);
}

TEST(VariableStore, ShowListsEveryVariableWithItsLabels) {
  TVarlist store;
  {
    Capture out;
    store.show();
    store.show("a");
    EXPECT_EQ(out.str(), "\n\nList of Variables:\nempty list ...\nempty list ...\n");
  }
  store.insert("a", "(b+1)", 3);
  store.insert("b", "2", 0);
  Capture out;
  store.show();
  store.show("b");
  store.show("missing");
  EXPECT_EQ(out.str(),
            "\n\nList of Variables:\n"
            "\nName   : a\nFormula  : (b+1)\nValue  : 3\nComputed : TRUE\n----"
            "\nName   : b\nFormula  : 2\nValue  : 0\nComputed : FALSE\n----"
            "\nName     : b\nFormula  : 2\nValue    : 0\nComputed : FALSE");
}

// A count line, then one line per variable; zero values read back as not
// computed. An empty store writes an empty file.
TEST(VariablesFile, WrittenFileReadsBack) {
  TVarlist store;
  store.write("vars.dat");
  EXPECT_EQ(read_file("vars.dat"), "");
  store.insert("x", "\"Team1\"", 0);
  store.insert("y", "7.5", 7.5f);
  store.insert("z", "(x+1)", 1.2345678f);
  store.insert("c", "0.333333", 1.0f / 3.0f);
  store.write("vars.dat");
  const std::string text =
      "/* #: 4 */ \nx \"Team1\" 0\ny 7.5 7.5\nz (x+1) 1.23457\nc 0.333333 0.333333";
  EXPECT_EQ(read_file("vars.dat"), text);
  std::ostringstream out;
  store.write(out);
  EXPECT_EQ(out.str(), text);
  TVarlist back;
  back.insert("first", "1", 1);
  back.read("vars.dat");
  EXPECT_EQ(names_of(back), "first x y z c");
  EXPECT_STREQ(back.get_formula("x"), "\"Team1\"");
  EXPECT_EQ(back.get_comp("x"), 0);
  EXPECT_EQ(back.get_value("y"), 7.5f);
  EXPECT_EQ(back.get_comp("y"), 1);
  EXPECT_EQ(back.get_value("z"), 1.23457f);
}

TEST(VariablesFile, ReadingStopsAtMissingOrBrokenInput) {
  struct Case {
    const char* text;
    unsigned int entries;
  } cases[] = {
      {"/* #: 0 */", 0}, {"/* #: 3 */ a 1 1 b 2 2", 2}, {"/* #: 2 */ a 1 x b 2 2", 0}, {"/* #:", 0},
      {"", 0},           {"/* #: -4 */ a 1 1", 0},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    TVarlist store;
    store.read(in);
    EXPECT_EQ(store.get_entries(), c.entries) << c.text;
  }
  TVarlist store;
  store.read("no_such_file.dat");
  EXPECT_EQ(store.get_entries(), 0u);
}

}  // namespace
