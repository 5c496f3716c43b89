// Hand-over of a script run's evaluation tree to the domain.
#pragma once

#include "evaltree_constraint.h"

class TEvalTree;

// Replaces `list` by the rated constraints of `tree` and frees the tree.
// Without a tree (null) the list stays as it is.
void TakeConstraintList(TEvalTree* tree, ConstraintEvaluations& list);
