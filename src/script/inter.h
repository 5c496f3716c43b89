// Interpreter of the evaluation script language: runs a script text over a
// variable store and hands back the evaluation tree the script built.
#pragma once

#include <memory>
#include <string>

class TEvalTree;
class TVarlist;

// Runs the script `pText` over the store `importvars`. The interpreter takes
// over the store (created with new by the caller) and frees it at the end of
// the run. Returns the evaluation tree built by the script, owned by the
// caller, or null when the script built none.
TEvalTree* interpret(const char* pText, TVarlist* importvars);
TEvalTree* interpret(const char* pText, std::unique_ptr<TVarlist> importvars);
// The same, looking for files the script reads under relative names also in
// `input_folder` when they are not in the working folder (read_path.h).
TEvalTree* interpret(const char* pText, std::unique_ptr<TVarlist> importvars,
                     const std::string& input_folder);

// Sets how many statements one run may execute before it stops with the
// limit message; 0 restores the default limit. Harnesses that run many
// scripts under instrumentation lower it, so that an endless script ends
// quickly there as well.
void set_statement_limit(long limit);
