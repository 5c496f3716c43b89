// Control-flow statements of the script language: IF/THEN/ELSE/ENDIF,
// FOR/TO/STEP/NEXT, LOOP/ENDLOOP/EXITLOOP, GOTO, CALL/RETURN and EXIT.
//
// There is no block structure in memory: the state of every open construct
// lives in entries of the control list named after the construct and its
// depth (IF:1, FORPOS:2, CALL:TOKENS:1, ...). Loops jump back by read
// position; GOTO, CALL and RETURN find their targets by reading from the start.
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <iterator>

#include "inter_state.h"

using script_limits::kMaxNesting;

namespace {

// The name of a control entry, kind:depth, built on the stack: control
// entries are looked up several times for every statement of a loop.
class TLevelName {
 public:
  TLevelName(std::string_view kind, int depth) {
    // The kinds are the short words of this file, so kind, colon and the
    // digits of an int always fit.
    length = kind.copy(text, sizeof text - kIntDigits - 1);
    text[length++] = ':';
    length =
        static_cast<std::size_t>(std::to_chars(text + length, std::end(text), depth).ptr - text);
  }
  operator std::string_view() const { return {text, length}; }

 private:
  static constexpr std::size_t kIntDigits = 11;  // sign and ten digits
  char text[32];
  std::size_t length = 0;
};

TLevelName level(std::string_view kind, int depth) {
  return TLevelName(kind, depth);
}

// Opens one more level of a construct, or ends the run past the nesting limit.
bool open_level(TScriptRun& run, int& cascade, std::string_view what) {
  if (cascade >= kMaxNesting) {
    run.stop("Error: more than " + std::to_string(kMaxNesting) + " nested " + std::string(what) +
             run.at_token());
    return false;
  }
  ++cascade;
  return true;
}

// Start, bound and step words: the stored value of a variable of that name,
// otherwise the word read as a decimal number (0 when it is none).
float word_value(TScriptRun& run) {
  std::string word = run.read_formula();
  run.resolve_formula(word);
  if (const TVariable* var = run.Vars->find(word)) return var->get_value();
  return static_cast<float>(std::atof(word.c_str()));
}

float condition_value(TScriptRun& run, std::string& condition) {
  run.resolve_formula(condition);
  return run.compute(condition);
}

// Skips to the end of the current IF part. Returns the word that ended the
// skip ("ELSE" or "ENDIF"), or an empty word at the end of the text.
std::string_view skip_if_part(TScriptRun& run) {
  int open = 1;
  while (!run.reader.at_end()) {
    const std::string_view w = run.read_word();
    if (w == "IF") ++open;
    if ((w == "ELSE" && open == 1) || w == "ENDIF") --open;
    if (open == 0) return w;
  }
  return {};
}

void skip_open_loop(TScriptRun& run) {
  int open = 1;
  while (open > 0 && !run.reader.at_end()) {
    const std::string_view w = run.read_word();
    if (w == "LOOP") ++open;
    if (w == "ENDLOOP") --open;
  }
}

void close_if(TScriptRun& run) {
  run.Controls->remove(level("IF", run.if_cascade));
  --run.if_cascade;
  if (run.if_cascade > 0) {
    run.branch = run.Controls->get_value(level("IF", run.if_cascade)) != 0 ? 1 : -1;
  } else {
    run.branch = 0;
  }
}

void statement_if(TScriptRun& run) {
  if (!open_level(run, run.if_cascade, "IFs")) return;
  std::string condition = run.read_formula();
  const TLevelName entry = level("IF", run.if_cascade);
  run.Controls->insert(entry, condition, 0);
  const float value = condition_value(run, condition);
  run.Controls->set_value(entry, value);
  run.branch = value != 0 ? 1 : -1;
}

void statement_then(TScriptRun& run) {
  if (run.branch != -1) return;
  if (skip_if_part(run) == "ENDIF") close_if(run);
}

void statement_else(TScriptRun& run) {
  if (run.branch != 1) return;
  if (skip_if_part(run) == "ENDIF") close_if(run);
}

void statement_endif(TScriptRun& run) {
  close_if(run);
}

// FOR name = start: the loop variable gets the formula name+(start) and the
// start value; the bound and step take their defaults until TO and STEP.
void statement_for(TScriptRun& run) {
  if (!open_level(run, run.for_cascade, "FORs")) return;
  const int d = run.for_cascade;
  TVarlist& controls = *run.Controls;
  controls.insert(level("FOR", d), std::to_string(d), 0);
  const std::string name = run.read_name();
  const std::string_view equals = run.read_word();
  if (equals != "=") {
    run.stop("Error: '=' missing in FOR " + name + " = " + std::string(equals) + run.at_token());
    return;
  }
  const float start = word_value(run);
  const std::string formula = name + "+(" + fixed_decimals(start, 3) + ")";
  TVarlist& vars = *run.Vars;
  if (vars.in_list(name) == 0) {
    vars.insert(name, formula, start);
  } else {
    vars.set_value(name, start);
    vars.set_formula(name, formula);
  }
  vars.set_comp(name, 1);
  controls.insert(level("STEP", d), std::to_string(d), 1);
  controls.insert(level("TO", d), "2147483647", 2147483648.0f);
  controls.insert(level("VAR", d), name, start);
}

void statement_to(TScriptRun& run) {
  const float bound = word_value(run);
  run.Controls->set_value(level("TO", run.for_cascade), bound);
}

// STEP records the step and the start of the loop body, the read position
// just after the step word.
void statement_step(TScriptRun& run) {
  const int d = run.for_cascade;
  const float step = word_value(run);
  const char* var = run.Controls->get_formula(level("VAR", d));
  const std::string name = var != nullptr ? var : "";
  const std::string formula = name + "+(" + fixed_decimals(step, 3) + ")";
  run.Vars->set_formula(name, formula);
  run.Controls->set_value(level("STEP", d), step);
  run.Controls->insert(level("FORPOS", d), formula, static_cast<float>(run.reader.position()));
}

void end_for(TScriptRun& run, int d) {
  for (std::string_view kind : {"FOR", "TO", "STEP", "VAR", "FORPOS"}) {
    run.Controls->remove(level(kind, d));
  }
  --run.for_cascade;
}

// NEXT name: adds the step while the result stays within the bound, and runs
// the body again; the variable keeps the last value within the bound.
void statement_next(TScriptRun& run) {
  std::string name = run.read_name();
  run.resolve_name(name);
  const int d = run.for_cascade;
  TVarlist& controls = *run.Controls;
  if (d <= 0 || controls.in_list(level("FOR", d)) == 0) {
    run.stop("Error: NEXT without FOR" + run.at_token());
    return;
  }
  TVariable* counter = run.Vars->find(name);
  const float v = counter != nullptr ? counter->get_value() : 0.0f;
  const float step = controls.get_value(level("STEP", d));
  const float bound = controls.get_value(level("TO", d));
  const bool upward = step > 0;
  const float w = v + step;
  if (counter != nullptr && (upward ? w <= bound : w >= bound)) counter->set_value(w);
  if (upward ? w > bound : w < bound) {
    end_for(run, d);
    return;
  }
  const TVariable* body = controls.find(level("FORPOS", d));
  if (body == nullptr) {
    run.stop("Error: FOR without STEP" + run.at_token());
    return;
  }
  run.jump_to(static_cast<std::size_t>(body->get_value()));
}

void statement_loop(TScriptRun& run) {
  if (!open_level(run, run.loop_cascade, "LOOPs")) return;
  const int d = run.loop_cascade;
  run.Controls->insert(level("LOOP", d), std::to_string(d), 0);
  run.Controls->insert(level("LOOPPOS", d), std::to_string(d),
                       static_cast<float>(run.reader.position()));
}

void statement_endloop(TScriptRun& run) {
  const TVariable* start = run.Controls->find(level("LOOPPOS", run.loop_cascade));
  if (start == nullptr) {
    run.stop("Error: ENDLOOP without LOOP" + run.at_token());
    return;
  }
  run.jump_to(static_cast<std::size_t>(start->get_value()));
}

void statement_exitloop(TScriptRun& run) {
  const int d = run.loop_cascade;
  std::string condition = run.read_formula();
  run.resolve_formula(condition);
  const TLevelName entry = level("EXITLOOP", d);
  run.Controls->insert(entry, condition, 0);
  const float value = run.compute(condition);
  run.Controls->remove(entry);
  if (value == 0) return;
  skip_open_loop(run);
  run.Controls->remove(level("LOOP", d));
  run.Controls->remove(level("LOOPPOS", d));
  --run.loop_cascade;
}

void statement_goto(TScriptRun& run) {
  const std::string label = run.read_formula();
  if (run.Controls->in_list(label) == 0) return;
  run.number_of_tokens = run.reader.find_declaration("LABEL", label);
}

// CALL records the counters and the word count after the procedure name, so
// that RETURN can restore them and read on right after the CALL.
void statement_call(TScriptRun& run) {
  std::string name = run.read_formula();
  const int count = run.number_of_tokens;
  if (!open_level(run, run.proc_cascade, "CALLs")) return;
  const int p = run.proc_cascade;
  run.resolve_name(name);
  if (run.Controls->in_list(name) == 0) {
    std::cout << "\nError: no PROCEDURE " << name << " defined!\n";
    return;
  }
  run.number_of_tokens = run.reader.find_declaration("PROCEDURE", name);
  TVarlist& controls = *run.Controls;
  controls.insert(level("CALL:BRANCH", p), "0", static_cast<float>(run.branch));
  controls.insert(level("CALL:IF_CASCADE", p), "0", static_cast<float>(run.if_cascade));
  controls.insert(level("CALL:FOR_CASCADE", p), "0", static_cast<float>(run.for_cascade));
  controls.insert(level("CALL:LOOP_CASCADE", p), "0", static_cast<float>(run.loop_cascade));
  controls.insert(level("CALL:TOKENS", p), "0", static_cast<float>(count));
}

// Reads and removes one saved counter of a call.
int take_saved(TVarlist& controls, std::string_view kind, int p) {
  const TLevelName entry = level(kind, p);
  const int value = static_cast<int>(controls.get_value(entry));
  controls.remove(entry);
  return value;
}

void statement_return(TScriptRun& run) {
  const int p = run.proc_cascade;
  TVarlist& controls = *run.Controls;
  if (controls.in_list(level("CALL:TOKENS", p)) == 0) {
    run.stop("Error: RETURN without CALL" + run.at_token());
    return;
  }
  run.branch = take_saved(controls, "CALL:BRANCH", p);
  run.if_cascade = take_saved(controls, "CALL:IF_CASCADE", p);
  run.for_cascade = take_saved(controls, "CALL:FOR_CASCADE", p);
  run.loop_cascade = take_saved(controls, "CALL:LOOP_CASCADE", p);
  const int count = take_saved(controls, "CALL:TOKENS", p);
  --run.proc_cascade;
  run.reader.skip_from_start(count);
  run.number_of_tokens = count;
}

void statement_exit(TScriptRun& run) {
  run.stop();
}

// Control flow works on the variable store and the control list only.
constexpr TStatement kControlStatements[] = {
    {"IF", statement_if, false},
    {"THEN", statement_then, false},
    {"ELSE", statement_else, false},
    {"ENDIF", statement_endif, false},
    {"FOR", statement_for, false},
    {"TO", statement_to, false},
    {"STEP", statement_step, false},
    {"NEXT", statement_next, false},
    {"LOOP", statement_loop, false},
    {"ENDLOOP", statement_endloop, false},
    {"EXITLOOP", statement_exitloop, false},
    {"GOTO", statement_goto, false},
    {"CALL", statement_call, false},
    {"RETURN", statement_return, false},
    {"EXIT", statement_exit, false},
};

}  // namespace

std::span<const TStatement> control_statements() {
  return kControlStatements;
}
