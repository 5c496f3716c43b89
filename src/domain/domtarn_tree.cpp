// Hand-over of a script run's evaluation tree to the domain. Kept apart from
// the domain's own units, which do not need the fuzzy library's declarations
// that the tree brings along.
#include "domtarn_tree.h"

#if __has_include("evaltree.h")
#include "evaltree.h"

void TakeConstraintList(TEvalTree* tree, ConstraintEvaluations& list) {
  if (tree == nullptr) return;
  list = tree->GetConstraintList();
  tree->clean_up();
}
#else
// Until the script engine builds evaluation trees, no run returns one.
void TakeConstraintList(TEvalTree*, ConstraintEvaluations&) {}
#endif
