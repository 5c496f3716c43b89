// Test helpers for scripts that use fuzzy statements and build evaluation
// trees: run a script keeping its tree and its output on both streams, and
// read the files it writes.
#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "evaltree.h"
#include "expint.h"
#include "inter.h"

struct TreeDeleter {
  void operator()(TEvalTree* tree) const {
    if (tree != nullptr) tree->clean_up();
  }
};
using TreePtr = std::unique_ptr<TEvalTree, TreeDeleter>;

struct ScriptRun {
  std::string out;
  std::string err;
  TreePtr tree;
};

inline ScriptRun run_tree_script(const std::string& text,
                                 std::unique_ptr<TVarlist> vars = nullptr) {
  ScriptRun run;
  Capture out;
  Capture err(std::cerr);
  run.tree.reset(interpret(text.c_str(), std::move(vars)));
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The lines of a file that begin with `prefix`.
inline std::vector<std::string> lines_starting(const std::string& name, const std::string& prefix) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

// A parameter set named `name` on [lower, upper] with the given terms.
inline std::string parameter_set(const std::string& name, const std::string& range,
                                 const std::string& terms, const std::string& shape = "1 1 1") {
  std::istringstream r(range);
  std::string lower, upper, median;
  r >> lower >> upper >> median;
  std::istringstream s(shape);
  std::string distribution, dilatation, importance;
  s >> distribution >> dilatation >> importance;
  return "PARAMETERSET n: " + name + " l: " + lower + " u: " + upper + " m: " + median +
         " d: " + distribution + " g: " + dilatation + " i: " + importance + " t: " + terms +
         " END\n";
}
