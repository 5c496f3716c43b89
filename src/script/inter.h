// Interpreter of the evaluation script language: runs a script text over a
// variable store and hands back the evaluation tree the script built.
#pragma once

#include <memory>

class TEvalContext;
class TEvalTree;
class TVarlist;

// How a run ended: at the end of its text or at a statement that stops it
// with a message, or at a division by zero.
enum class TRunStatus { kFinished, kDivisionByZero };

// Runs the script `pText` over the store `importvars` with the memories and
// buffers of `context` (inter_context.h), which must not serve another run
// meanwhile. The interpreter takes over the store and frees it at the end
// of the run. Returns the evaluation tree built by the script, owned by the
// caller (to be freed before the context), or null when the script built
// none. A division by zero prints its message (flushed) and ends the run
// at once: nothing more is printed or written, the tree built so far is
// freed, null is returned and `status` (when given) tells it; the caller
// is to stop as well.
TEvalTree* interpret(TEvalContext& context, const char* pText, std::unique_ptr<TVarlist> importvars,
                     TRunStatus* status = nullptr);
