// Tests of the variable store: duplicates and removal, lookups, the two
// displays, the variables file and the index substitution.
#include "expint.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Stores against plain lists searched from the front, through long runs of
// inserts, removals and new formulas: few names (many duplicates), many names
// (index growth, removals from the middle), names on both sides of the size a
// variable holds in place, and names whose hashes pick the same slot of a
// small index (one probe run, removals from its middle). Formulas run from
// empty to past their cut, and are replaced by parts of themselves. Order,
// texts, values and every lookup must agree, also lookups through hints kept
// per name or shared by all names, in a copy of a store, in two stores of
// different histories that share their hints, in a snapshot copied now
// and then that must keep its texts while its source changes or goes, and
// through the lookup that passes over names the store's filter rules out.
TEST(VariableStore, IndexAgreesWithALinearSearchThroughInsertsAndRemovals) {
  const auto numbered = [](const std::string& prefix, int count) {
    std::vector<std::string> names;
    for (int k = 0; k < count; ++k) names.push_back(prefix + std::to_string(k) + "].x");
    return names;
  };
  // Names of 23 to 33 characters, around the size a variable holds in place.
  std::vector<std::string> around_in_place;
  for (int k = 0; k < 40; ++k) {
    around_in_place.push_back(std::string(static_cast<std::size_t>(20 + k % 10), 'n') + "[" +
                              std::to_string(k) + "]");
  }
  std::vector<std::string> sharing;
  for (int k = 0; sharing.size() < 6; ++k) {
    const std::string name = std::string("k").append(std::to_string(k));
    if ((variable_name_hash(name) & 63u) == 5u) sharing.push_back(name);
  }
  struct Case {
    std::vector<std::string> names;
    std::size_t most;  // entries held at most
  } cases[] = {{numbered("v[", 3), 4000},
               {numbered("v[", 40), 4000},
               {numbered("c_shiftblocks_of_the_team[", 700), 4000},
               {around_in_place, 4000},
               {sharing, 6}};
  struct TEntry {
    std::string name;
    std::string formula;
    float value;
  };
  using TModel = std::vector<TEntry>;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.back());
    std::mt19937 random(static_cast<unsigned>(c.names.size()));
    TModel models[2];
    TVarlist stores[2];
    TModel snapshot_model;
    TVarlist snapshot;
    std::vector<TVarlist::THint> hints(c.names.size());
    TVarlist::THint shared;
    const auto in_model = [](TModel& model, const std::string& name) {
      return std::find_if(model.begin(), model.end(),
                          [&](const TEntry& e) { return e.name == name; });
    };
    // Lengths around the sizes held in place and the cut.
    const auto any_formula = [&random](int step) {
      const std::size_t lengths[] = {0, 1, 7, 22, 23, 24, 25, 40, 126, 127, 128, 200};
      return std::string(lengths[random() % std::size(lengths)],
                         static_cast<char>('a' + step % 26));
    };
    const auto agree = [&](const TVarlist& store, const TModel& model) {
      ASSERT_EQ(store.number(), model.size());
      for (std::size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(store.get(i).get_name(), model[i].name);
        ASSERT_EQ(store.get(i).formula_text(), model[i].formula);
        ASSERT_EQ(store.get(i).get_formula(), model[i].formula);
        ASSERT_EQ(store.get(i).get_value(), model[i].value);
      }
    };
    const auto lookups_agree = [&](TVarlist& store, TModel& model) {
      TVarlist copy;
      copy.copy_from(store, 1);
      ASSERT_NO_FATAL_FAILURE(agree(copy, model));
      for (std::size_t k = 0; k < c.names.size(); ++k) {
        const std::string& name = c.names[k];
        const auto it = in_model(model, name);
        const auto at = static_cast<std::size_t>(it - model.begin());
        const TVariable* expected = it == model.end() ? nullptr : &store.get(at);
        ASSERT_EQ(store.find(name), expected) << name;
        ASSERT_EQ(store.find(name, hints[k]), expected) << name;
        ASSERT_EQ(store.find(name, shared), expected) << name;
        ASSERT_EQ(copy.find(name, hints[k]), it == model.end() ? nullptr : &copy.get(at)) << name;
        // The lookup for mostly absent names, of a present and of an absent text before '['.
        ASSERT_EQ(copy.find_rare(name, TVarlist::bracket_bit(name)),
                  it == model.end() ? nullptr : &copy.get(at))
            << name;
        const std::string absent = "u" + name;
        ASSERT_EQ(store.find_rare(absent, TVarlist::bracket_bit(absent)), nullptr) << absent;
      }
    };
    for (int step = 0; step < 4000; ++step) {
      const std::string& name = c.names[random() % c.names.size()];
      // Mostly the first store; the second changes now and then.
      const std::size_t which = random() % 4 == 0 ? 1 : 0;
      TVarlist& store = stores[which];
      TModel& model = models[which];
      const auto it = in_model(model, name);
      if (it != model.end() && random() % 3 == 0) {
        // A new formula, or a part of the formula held.
        TVariable& var = *store.find(name);
        if (random() % 2 == 0) {
          const std::string formula = any_formula(step);
          store.set_formula(var, formula);
          it->formula = formula.substr(0, script_limits::kFormulaChars);
        } else {
          const std::size_t from = it->formula.size() / 3;
          store.set_formula(var, var.formula_text().substr(from));
          it->formula.erase(0, from);
        }
      } else if (model.size() < c.most && random() % 3 != 0) {
        const std::string formula = any_formula(step);
        store.insert(name, formula, static_cast<float>(step));
        model.push_back(
            {name, formula.substr(0, script_limits::kFormulaChars), static_cast<float>(step)});
      } else {
        store.remove(name);
        if (it != model.end()) model.erase(it);
      }
      if (step % 97 == 0) {
        // Through a store that goes at once: the snapshot must hold its own texts.
        TVarlist passing;
        passing.copy_from(stores[0], 0);
        snapshot.copy_from(passing, 0);
        snapshot_model = models[0];
      }
      // Small cases are compared after every step, the large one at the end.
      if (c.names.size() <= 40 || step == 3999) {
        for (std::size_t s = 0; s < 2; ++s) {
          ASSERT_NO_FATAL_FAILURE(agree(stores[s], models[s])) << "step " << step;
          ASSERT_NO_FATAL_FAILURE(lookups_agree(stores[s], models[s])) << "step " << step;
        }
        ASSERT_NO_FATAL_FAILURE(agree(snapshot, snapshot_model)) << "step " << step;
      }
    }
  }
}

TEST(VariableStore, ReservedRoomKeepsEntriesInPlaceAndLookupsRight) {
  TVarlist store;
  store.insert("a", "1", 1);
  store.insert("a", "3", 3);
  store.reserve(300);
  const TVariable* first = store.find("a");
  for (int i = 0; i < 298; ++i) store.insert(std::string("n").append(std::to_string(i)), "0", 0);
  EXPECT_EQ(store.find("a"), first);
  EXPECT_EQ(first, &store.get(0));
  EXPECT_EQ(store.in_list("n297"), 1);
  store.remove("a");
  EXPECT_EQ(store.get_value("a"), 3.0f);
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
}

// A hint that found a name absent gives nothing while the store keeps its
// names, and the variable once the name is made, in that store or another
// with the same memory; find_named never takes such a hint for a place.
TEST(VariableStore, HintsRememberAbsentNamesUntilTheNamesChange) {
  TFormulaMemory memory;
  TVarlist store;
  TVarlist other;
  for (TVarlist* s : {&store, &other}) {
    s->set_formula_memory(&memory);
    s->insert("a", "1", 1);
  }
  other.insert("7", "2", 2);
  TVarlist::THint hint;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(store.find_named_or_absent("7", hint), nullptr) << round;
    EXPECT_EQ(store.find_named("7", hint), nullptr) << round;
  }
  EXPECT_EQ(other.find_named_or_absent("7", hint), other.find("7"));
  EXPECT_EQ(store.find_named_or_absent("7", hint), nullptr);
  store.insert("7", "3", 3);
  EXPECT_EQ(store.find_named_or_absent("7", hint), store.find("7"));
  store.remove("7");
  EXPECT_EQ(store.find_named_or_absent("7", hint), nullptr);
}

// A count line, then one line per variable; an empty store writes an empty
// file. Read entries join those held (what they read as, and where reading
// stops: script cases memdump_lists and variables_file_broken).
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
}

// Tests of the index substitution: list expansion, ranges and their counts
// (at most ten), function words, and the cuts of over-long results.

std::string substituted(const TVarlist& store, std::string formula) {
  return store.substitute(formula);
}

TEST(IndexSubstitution, ExpandsIndexedNamesAndCounts) {
  TVarlist store;
  for (const char* n :
       {"x[0]", "x[1]", "x[2]", "z[1]", "z[2]", "z[3]", "g[0].m", "g[1].m", "[1]"}) {
    store.insert(n, "1", 1);
  }
  // Two ranges: each list uses the latest range, each count its own record. A
  // range given after a list still counts for a later #. Numbers and other
  // texts without letters or brackets pass unchanged; quoted texts are not exempt.
  // A name may begin with its bracket, except at the formula's very start.
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"SUM(i=1:2){x[i]}/#i", "SUM{x[1],x[2]}/2"}, {"MAX{x[k]}", "MAX{x[0],x[1],x[2]}"},
      {"SUM{y[i]}", "SUM{}"}, {"(x[2]+1)", "(x[2]+1)"}, {"(#i+1)", "(#i+1)"},
      {"sin(a)", "SIN(a)"}, {"(a+abs", "(a+abs"}, {"MIN(j=2){z[j]}", "MIN{z[2],z[3]}"},
      {"SUM{g[i].m}", "SUM{g[0].m,g[1].m}"}, {"summe", "SUMme"}, {"(Maxhours>1)", "(MAXhours>1)"},
      {"(SUM(i=0:1){x[i]}*#i+MUL(j=2:3){z[j]}/#j)", "(SUM{x[0],x[1]}*2+MUL{z[2],z[3]}/2)"},
      {"SUM(i=5:9){x[i]}+#i", "SUM{}+0"}, {"[i]+x[]", "[i]+x[]"}, {"-20.000000", "-20.000000"},
      {"(1+2)*#3", "(1+2)*#3"}, {"", ""}, {"\"a-sinus\"", "\"a-SINus\""},
      {"SUM{[i]}", "SUM{[1]}"}, {"(2+[i])", "(2+[1])"},
      // Ranges past the tenth are ignored.
      {"SUM(a=1){}SUM(b=1){}SUM(c=1){}SUM(d=1){}SUM(e=1){}SUM(f=1){}SUM(g=1){}SUM(h=1){}"
       "SUM(i=1){}SUM(j=1){}SUM(k=1){}#j#k",
       "SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}SUM{}0#k"}};
  // clang-format on
  for (const auto& [in, out] : cases) EXPECT_EQ(substituted(store, in), out) << in;
}

TEST(IndexSubstitution, CandidatesStopAtTheNumberOfEntries) {
  TVarlist store;
  store.insert("x[3]", "1", 1);
  EXPECT_EQ(substituted(store, "SUM{x[i]}"), "SUM{}");
  store.insert("a", "1", 1);
  store.insert("b", "1", 1);
  EXPECT_EQ(substituted(store, "SUM{x[i]}"), "SUM{x[3]}");
}

// Elements are listed by number whatever their order in the store, once per
// name; only numbers as written without leading zeros or signs are elements,
// and the name must end in the suffix exactly. Names too long for a name's
// size are found as their cut text.
TEST(IndexSubstitution, ElementsAreFoundByTheirNumber) {
  TVarlist store;
  for (const char* n : {"x[2]", "x[0]", "x[2]", "x[01]", "x[+1]", "x[1]x", "xx[1]", "x[10]",
                        "y[1].m", "y[1].mm", "y[0]", "x[", "x[]"}) {
    store.insert(n, "1", 1);
  }
  store.remove("x[2]");
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"SUM{x[i]}", "SUM{x[0],x[2],x[10]}"}, {"SUM{y[i].m}", "SUM{y[1].m}"},
      {"SUM(i=1){x[i]}+#i", "SUM{x[2],x[10]}+2"}, {"MAX{xx[i]}", "MAX{xx[1]}"}};
  // clang-format on
  for (const auto& [in, out] : cases) EXPECT_EQ(substituted(store, in), out) << in;
  store.remove("x[2]");
  EXPECT_EQ(substituted(store, "SUM{x[i]}"), "SUM{x[0],x[10]}");

  // A name of 77 characters and its '[' leave room for one digit: x[1],
  // x[12] and x[123] are all looked up as x[1 and found in it.
  TVarlist cut;
  const std::string prefix = std::string(77, 'n').append("[");
  cut.insert(std::string(prefix).append("1"), "1", 1);
  for (const char* n : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"}) {
    cut.insert(n, "1", 1);
  }
  const std::vector<unsigned int> expected = {1, 10, 11, 12};
  EXPECT_EQ(cut.present_elements(prefix, "]", cut.get_entries()), expected);
}

// Substitutions a caching memory remembers serve stores of the same names in
// the same order only. Runs over copies of one store insert and remove names
// in orders that mostly repeat and now and then part; the store they copy
// gains names now and then; two memories, one of them switched off and on,
// take turns. Every substitution must equal that of a store without memory.
// Two of the names have the same hash.
TEST(IndexSubstitution, RememberedSubstitutionsServeEqualNamesOnly) {
  ASSERT_EQ(variable_name_hash("n14606[0]"), variable_name_hash("n65506[0]"));
  std::mt19937 random(11);
  const auto pick = [&random](const std::vector<std::string>& from) {
    return from[random() % from.size()];
  };
  const std::vector<std::string> names = {"x[0]",   "x[1]",      "x[3]",     "x[12]",
                                          "y[0].m", "y[2].m",    "y[2].mm",  "a",
                                          "x[01]",  "n14606[0]", "n65506[0]"};
  const std::vector<std::string> texts = {"SUM{x[i]}",         "MAX(i=1:3){x[i]}+#i",
                                          "SUM{y[i].m}",       "MIN(j=1){x[j]}*#j",
                                          "SUM{n14606[i]}+#i", "SUM{n65506[i]}"};
  struct Step {
    int kind;  // 0 insert, 1 remove, 2 substitute
    std::string text;
  };
  std::vector<Step> usual;
  for (int k = 0; k < 10; ++k) {
    const int kind = static_cast<int>(random() % 3);
    usual.push_back({kind, pick(kind == 2 ? texts : names)});
  }
  TFormulaMemory memories[2];
  TVarlist base;
  for (const char* n : {"x[1]", "y[2].m", "b"}) base.insert(n, "1", 1);
  base.set_formula_memory(&memories[0]);
  for (int run = 0; run < 600; ++run) {
    TFormulaMemory& memory = memories[run / 7 % 2];
    if (run % 97 == 0) {
      // What an evaluation context's switch does to its memory.
      memory.caching = false;
      memory.shapes.reset();
      memory.caching = true;
    }
    if (run % 41 == 0) base.insert(pick(names), "1", 1);
    TVarlist store;
    store.copy_from(base, 0);
    store.set_formula_memory(&memory);
    TVarlist plain;
    plain.copy_from(base, 0);
    for (Step step : usual) {
      if (random() % 5 == 0) {
        step.kind = static_cast<int>(random() % 3);
        step.text = pick(step.kind == 2 ? texts : names);
      }
      if (step.kind == 0) {
        store.insert(step.text, "1", 1);
        plain.insert(step.text, "1", 1);
      } else if (step.kind == 1) {
        store.remove(step.text);
        plain.remove(step.text);
      } else {
        ASSERT_EQ(substituted(store, step.text), substituted(plain, step.text))
            << "run " << run << ": " << step.text << " in " << names_of(plain);
      }
    }
  }
  // Past the number of steps remembered, all are forgotten; the steps that
  // follow lead to identities no store had, not to those of earlier stores.
  // A store substitutes a thousand texts, then another takes 17,000 steps,
  // substituting each text once in its last thousand.
  TFormulaMemory memory;
  TVarlist early;
  early.set_formula_memory(&memory);
  early.insert("q[1]", "1", 1);
  const auto text = [](int k) { return std::to_string(k).insert(0, "SUM{q[i]}+"); };
  for (int k = 0; k < 1000; ++k) substituted(early, text(k));
  TVarlist many;
  many.set_formula_memory(&memory);
  for (int k = 0; k < 17000; ++k) {
    many.insert(std::to_string(k).insert(0, 1, 'm'), "1", 1);
    if (k < 16000) continue;
    ASSERT_EQ(substituted(many, text(k - 16000)), "SUM{}+" + std::to_string(k - 16000)) << k;
  }
  // The names of equal hash, each inserted in a copy of one store.
  TVarlist fresh;
  fresh.set_formula_memory(&memories[0]);
  for (const char* inserted : {"n14606[0]", "n65506[0]"}) {
    TVarlist store;
    store.copy_from(fresh, 0);
    store.set_formula_memory(&memories[0]);
    store.insert(inserted, "1", 1);
    EXPECT_EQ(substituted(store, "SUM{n14606[i]}"),
              inserted == std::string("n14606[0]") ? "SUM{n14606[0]}" : "SUM{}");
  }
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

}  // namespace
