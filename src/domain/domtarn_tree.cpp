// Hand-over of a script run's evaluation tree to the domain. Kept apart from
// the domain's own units: the tree brings along the fuzzy library's
// declarations, whose name limits the domain does not use.
#include "domtarn_tree.h"

#include "evaltree.h"

void TakeConstraintList(TEvalTree* tree, ConstraintEvaluations& list) {
  if (tree == nullptr) return;
  list = tree->GetConstraintList();
  tree->clean_up();
}
