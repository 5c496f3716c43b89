// Test helpers for scripts that use fuzzy statements and build evaluation
// trees: run a script keeping its tree and its output on both streams, make
// a parameter set of ratings, and read the lines of the files it writes.
#pragma once

#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "evaltree.h"
#include "expint.h"
#include "inter.h"
#include "inter_context.h"

using TreePtr = std::unique_ptr<TEvalTree>;

struct ScriptRun {
  std::string out;
  std::string err;
  TreePtr tree;
};

// The context of the scripts run here: one for the whole test program, as
// the program's domain has one, so that runs find what earlier ones left.
// It writes to the console, where the runs capture it.
inline TEvalContext& test_context() {
  static TEvalContext context;
  context.set_output(std::cout, std::cerr);
  return context;
}

inline ScriptRun run_tree_script(const std::string& text,
                                 std::unique_ptr<TVarlist> vars = nullptr) {
  ScriptRun run;
  Capture out;
  Capture err(std::cerr);
  run.tree = interpret(test_context(), text.c_str(), std::move(vars));
  run.out = out.str();
  run.err = err.str();
  return run;
}

// Ratings on [0, 1] with the given terms.
inline ParameterSet rating_set(std::initializer_list<const char*> terms) {
  NList names;
  for (const char* term : terms) names.add(term);
  const CList colours(static_cast<int>(terms.size()));
  return ParameterSet("r", 0, 1, 0.5f, 1, 1, 1, &colours, &names);
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
