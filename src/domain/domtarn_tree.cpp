// Hand-over of a script run's evaluation tree to the domain, and the
// ordering of its rated constraints. Kept apart from the domain's own units:
// the tree brings along the fuzzy library's declarations, whose name limits
// the domain does not use.
#include "domtarn_tree.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "evaltree.h"

void TakeConstraintList(TEvalTree* tree, ConstraintEvaluations& list) {
  if (tree == nullptr) return;
  list = tree->GetConstraintList();
  tree->clean_up();
}

// std::sort makes its comparisons and moves as the comparisons come out, so
// sorting the positions with a comparison of the entries they stand for
// gives the same permutation as sorting the entries, while moving ints
// instead of entries of three strings. The entries are then moved once, into
// their places.
void SortByRating(ConstraintEvaluations& list) {
  std::vector<std::uint32_t> order(list.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&list](std::uint32_t a, std::uint32_t b) { return list[a] < list[b]; });
  ConstraintEvaluations sorted;
  sorted.reserve(list.size());
  for (const std::uint32_t i : order) sorted.push_back(std::move(list[i]));
  list.swap(sorted);
}
