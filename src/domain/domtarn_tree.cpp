// Hand-over of a script run's evaluation tree to the domain, the ordering of
// its rated constraints, and the domain's evaluation context. Kept apart
// from the domain's own units: the tree and the context bring along the
// fuzzy library's declarations, whose name limits the domain does not use.
#include "domtarn_tree.h"

#include <cstdint>
#include <vector>

#include "domtarn.h"
#include "evaltree.h"
#include "inter_context.h"
#include "read_path.h"

CDomainInstance::CDomainInstance()
    : CBase("CDomainInstance", 1),
      cEvalContext(std::make_unique<TEvalContext>()),
      pStaticData(std::make_unique<char[]>(kStaticDataBytes)) {}

CDomainInstance::~CDomainInstance() = default;

void CDomainInstance::SetCaching(bool enabled) {
  cEvalContext->set_caching(enabled);
}

void CDomainInstance::SetRunLimits(const TRunLimits& limits) {
  cEvalContext->limits = limits;
}

bool CDomainInstance::GetCaching() const {
  return cEvalContext->caching();
}

void CDomainInstance::SetOutput(std::ostream& out, std::ostream& err) {
  cEvalContext->set_output(out, err);
  SetMessages(&out);
}

std::ostream& CDomainInstance::GetOutput() const {
  return cEvalContext->out();
}

std::ostream& CDomainInstance::GetErrors() const {
  return cEvalContext->err();
}

void CDomainInstance::SetInputFolder(std::string folder) {
  cEvalContext->input_folder = std::move(folder);
}

const std::string& CDomainInstance::GetInputFolder() const {
  return cEvalContext->input_folder;
}

void CDomainInstance::SetOutputFolder(std::string folder) {
  cEvalContext->output_folder = std::move(folder);
}

const std::string& CDomainInstance::GetOutputFolder() const {
  return cEvalContext->output_folder;
}

std::string CDomainInstance::OutputPath(const std::string& name) const {
  return resolve_write_path(name, cEvalContext->output_folder);
}

const std::set<std::string>& CDomainInstance::GetFilesRead() const {
  return cEvalContext->files_read();
}

void TakeSortedConstraints(std::unique_ptr<TEvalTree> tree, TRatedConstraints& rated) {
  tree->TakeSortedConstraints(rated);
  tree->clean_up();
}

// The entries are moved once, into their places.
void SortByRating(ConstraintEvaluations& list) {
  std::vector<RatedPosition> order;
  ConstraintEvaluations sorted;
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
