// Hand-over of a script run's evaluation tree to the domain, and the
// ordering of the rated constraints it hands over.
#pragma once

#include <memory>

#include "evaltree_constraint.h"

class TEvalTree;

// Replaces `rated` by the rated constraints of `tree` sorted by rating (as
// SortByRating sorts the tree's constraint list) and frees the tree.
void TakeSortedConstraints(std::unique_ptr<TEvalTree> tree, TRatedConstraints& rated);

// Sorts the constraints by rating, leaving them in exactly the order that
// std::sort on the list itself gives, equal ratings included.
void SortByRating(ConstraintEvaluations& list);
