// Evaluation-tree statements of the script language. No statement builds a
// tree yet, so a run never holds one to delete.
#include "inter_state.h"

std::span<const TStatement> evaltree_statements() {
  return {};
}

bool delete_evaltree(TScriptRun&) {
  return false;
}
