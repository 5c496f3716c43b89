// Hand-over of a script run's evaluation tree to the domain, and the
// ordering of its rated constraints. Kept apart from the domain's own units:
// the tree brings along the fuzzy library's declarations, whose name limits
// the domain does not use.
#include "domtarn_tree.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "evaltree.h"

void TakeConstraintList(TEvalTree* tree, ConstraintEvaluations& list) {
  if (tree == nullptr) return;
  // The list of the evaluation before is filled anew: its storage, sized
  // for a tree like this one, is reused.
  tree->GetConstraintList(list);
  tree->clean_up();
}

// std::sort makes its comparisons and moves as the comparisons come out, and
// entries compare by their values alone, so sorting (value, position) pairs
// by value gives the same permutation as sorting the entries, while moving
// pairs instead of entries of three strings and comparing without reaching
// into the entries. The entries are then moved once, into their places.
// Both work lists keep their storage for the next sort: every evaluation
// sorts a list of about the same length.
void SortByRating(ConstraintEvaluations& list) {
  struct Rated {
    float value;
    std::uint32_t position;
  };
  thread_local std::vector<Rated> order;
  thread_local ConstraintEvaluations sorted;
  order.resize(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    order[i] = Rated{list[i].GetValue(), static_cast<std::uint32_t>(i)};
  }
  std::sort(order.begin(), order.end(),
            [](const Rated& a, const Rated& b) { return a.value < b.value; });
  sorted.clear();
  sorted.reserve(list.size());
  for (const Rated& r : order) sorted.push_back(std::move(list[r.position]));
  list.swap(sorted);
}
