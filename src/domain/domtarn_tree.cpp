// Hand-over of a script run's evaluation tree to the domain, and the
// ordering of its rated constraints. Kept apart from the domain's own units:
// the tree brings along the fuzzy library's declarations, whose name limits
// the domain does not use.
#include "domtarn_tree.h"

#include <cstdint>
#include <vector>

#include "evaltree.h"

void TakeSortedConstraintList(TEvalTree* tree, ConstraintEvaluations& list) {
  if (tree == nullptr) {
    SortByRating(list);
    return;
  }
  // The entries of the evaluation before are written over: the list is
  // sized for a tree like this one.
  tree->GetSortedConstraintList(list);
  tree->clean_up();
}

// The entries are moved once, into their places. Both work lists keep their
// storage for the next sort.
void SortByRating(ConstraintEvaluations& list) {
  thread_local std::vector<RatedPosition> order;
  thread_local ConstraintEvaluations sorted;
  order.resize(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    order[i] = RatedPosition{list[i].GetValue(), static_cast<std::uint32_t>(i)};
  }
  SortByRatingOnly(order.data(), order.data() + order.size());
  sorted.clear();
  sorted.reserve(list.size());
  for (const RatedPosition& r : order) sorted.push_back(std::move(list[r.position]));
  list.swap(sorted);
}
