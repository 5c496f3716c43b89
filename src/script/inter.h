// Interpreter of the evaluation script language: runs a script text over a
// variable store and hands back the evaluation tree the script built.
#pragma once

#include <memory>

class TEvalContext;
class TEvalTree;
class TVarlist;

// Runs the script `pText` over the store `importvars` with the memories and
// buffers of `context` (inter_context.h), which must not serve another run
// meanwhile. The interpreter takes over the store and frees it at the end
// of the run. Returns the evaluation tree built by the script (to be freed
// before the context), or null when the script built none.
std::unique_ptr<TEvalTree> interpret(TEvalContext& context, const char* pText,
                                     std::unique_ptr<TVarlist> importvars);
