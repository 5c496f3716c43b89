// The fuzzy library alone, on a small Mamdani rule base shared with a peer
// engine (fuzzylite, when it was found at configure time): two inputs with
// three terms each, nine AND rules onto an output with three terms, minimum
// for AND and for clipping the conclusions, maximum for uniting them, and the
// centroid for the crisp result. One evaluation fuzzifies both inputs and
// defuzzifies the output.
//
// Our library's operator set uses maximum as its inference operator, so that
// several rules concluding on the same output term unite by their maximum,
// as the peer's aggregation does. The centroids differ by method: ours
// integrates the polyline of the united output exactly (each trapezoid
// weighted by its end points); fuzzylite samples the output range at a fixed
// resolution. The check below compares the exact centroid of our united output
// with the peer's result, and shows how far our own centroid lies from it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "tarnrule.h"
#include "tarnrule_context.h"

#ifdef DOMTARN_HAVE_FUZZYLITE
#include <fl/Headers.h>
#endif

namespace {

constexpr std::array<const char*, 3> kInputTerms = {"low", "medium", "high"};
constexpr std::array<const char*, 3> kOutputTerms = {"bad", "neutral", "good"};
// kRuleTable[i][j]: the output term of "load IS term i AND stress IS term j".
constexpr int kRuleTable[3][3] = {{0, 0, 1}, {0, 1, 2}, {1, 2, 2}};

struct CInputRange {
  const char* name;
  float lower;
  float upper;
};
constexpr CInputRange kLoad{"load", 0.0f, 10.0f};
constexpr CInputRange kStress{"stress", 0.0f, 100.0f};
constexpr CInputRange kRating{"rating", 0.0f, 1.0f};

// Input pairs spread over the inside of both ranges (the ends are left out:
// there the two engines treat the vertical edges of the outer terms apart).
std::vector<std::array<float, 2>> InputPairs(int per_axis) {
  std::vector<std::array<float, 2>> pairs;
  for (int i = 0; i < per_axis; ++i) {
    for (int j = 0; j < per_axis; ++j) {
      const float s = (static_cast<float>(i) + 0.5f) / static_cast<float>(per_axis);
      const float t = (static_cast<float>(j) + 0.5f) / static_cast<float>(per_axis);
      pairs.push_back({kLoad.lower + s * (kLoad.upper - kLoad.lower),
                       kStress.lower + t * (kStress.upper - kStress.lower)});
    }
  }
  return pairs;
}

// The three-term variable our library generates for a range.
std::unique_ptr<CombinedVariable> MakeVariable(const CInputRange& range,
                                               const std::array<const char*, 3>& terms) {
  NList names;
  for (const char* term : terms) names.add(term);
  const CList colours(3);
  const ParameterSet ps(range.name, range.lower, range.upper, (range.lower + range.upper) / 2, 1.0f,
                        1.0f, 1.0f, &colours, &names);
  return std::make_unique<CombinedVariable>(&ps, range.name);
}

class COurRuleBase {
 public:
  COurRuleBase()
      : load_(MakeVariable(kLoad, kInputTerms)),
        stress_(MakeVariable(kStress, kInputTerms)),
        rating_(MakeVariable(kRating, kOutputTerms)) {
    rules_.get_operator_set()->set_inference_operator(maximum);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        rules_.add_ComplexRule(load_.get(), kInputTerms[i], stress_.get(), kInputTerms[j],
                               rating_.get(), kOutputTerms[kRuleTable[i][j]], AND, 1.0f);
      }
    }
    load_in_ = rules_.get_cv(kLoad.name);
    stress_in_ = rules_.get_cv(kStress.name);
  }

  float Evaluate(float load, float stress) {
    load_in_->set_value(load);
    stress_in_->set_value(stress);
    return rules_.evaluate(kRating.name);
  }

  // The rule set's output after the latest evaluation.
  const CombinedVariable& Output() const { return *rules_.get_cv(kRating.name); }

  // The generated terms of a variable, for building the peer's equal ones.
  const CombinedVariable& Variable(int i) const {
    return i == 0 ? *load_ : i == 1 ? *stress_ : *rating_;
  }

 private:
  std::unique_ptr<CombinedVariable> load_;
  std::unique_ptr<CombinedVariable> stress_;
  std::unique_ptr<CombinedVariable> rating_;
  // The memories the program's evaluations use; declared before the rule
  // set, which must not outlive it.
  FuzzyContext context_;
  RuleSet rules_{&context_};
  CombinedVariable* load_in_ = nullptr;
  CombinedVariable* stress_in_ = nullptr;
};

void BM_RuleBase_ours(benchmark::State& state) {
  COurRuleBase rules;
  const std::vector<std::array<float, 2>> pairs = InputPairs(8);
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& [load, stress] = pairs[next];
    benchmark::DoNotOptimize(rules.Evaluate(load, stress));
    next = next + 1 == pairs.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RuleBase_ours)->Name("BM_RuleBase/ours");

#ifdef DOMTARN_HAVE_FUZZYLITE

// The same rule base on fuzzylite. Its terms are built from the polylines our
// library generated (three points: a triangle; four: a trapezoid), so both
// engines start from identical membership functions.
class CPeerRuleBase {
 public:
  explicit CPeerRuleBase(const COurRuleBase& ours) {
    engine_.setName("peer");
    load_ = AddInput(ours.Variable(0));
    stress_ = AddInput(ours.Variable(1));
    rating_ = new fl::OutputVariable(kRating.name, kRating.lower, kRating.upper);
    rating_->setDefuzzifier(new fl::Centroid());
    rating_->setAggregation(new fl::Maximum());
    rating_->setDefaultValue(-1);
    AddTerms(rating_, ours.Variable(2));
    engine_.addOutputVariable(rating_);

    auto* block = new fl::RuleBlock("rules");
    block->setConjunction(new fl::Minimum());
    block->setDisjunction(new fl::Maximum());
    block->setImplication(new fl::Minimum());
    block->setActivation(new fl::General());
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        const std::string rule = std::string("if ") + kLoad.name + " is " + kInputTerms[i] +
                                 " and " + kStress.name + " is " + kInputTerms[j] + " then " +
                                 kRating.name + " is " + kOutputTerms[kRuleTable[i][j]];
        block->addRule(fl::Rule::parse(rule, &engine_));
      }
    }
    engine_.addRuleBlock(block);
  }

  double Evaluate(double load, double stress) {
    load_->setValue(load);
    stress_->setValue(stress);
    engine_.process();
    return rating_->getValue();
  }

  bool Ready(std::string* why) const { return engine_.isReady(why); }

 private:
  static void AddTerms(fl::Variable* variable, const CombinedVariable& cv) {
    for (int k = 0; k < cv.get_number(); ++k) {
      const PList& msf = *cv.find(k)->get_msf();
      const char* term = cv.find(k)->get_linguistic_term();
      if (msf.get_number() == 3) {
        variable->addTerm(new fl::Triangle(term, msf.find_x(0), msf.find_x(1), msf.find_x(2)));
      } else {
        variable->addTerm(
            new fl::Trapezoid(term, msf.find_x(0), msf.find_x(1), msf.find_x(2), msf.find_x(3)));
      }
    }
  }

  fl::InputVariable* AddInput(const CombinedVariable& cv) {
    auto* input =
        new fl::InputVariable(cv.get_cv_name(), cv.get_range_lower_end(), cv.get_range_upper_end());
    AddTerms(input, cv);
    engine_.addInputVariable(input);
    return input;
  }

  fl::Engine engine_;
  fl::InputVariable* load_ = nullptr;
  fl::InputVariable* stress_ = nullptr;
  fl::OutputVariable* rating_ = nullptr;
};

void BM_RuleBase_fuzzylite(benchmark::State& state) {
  COurRuleBase ours;
  CPeerRuleBase peer(ours);
  const std::vector<std::array<float, 2>> pairs = InputPairs(8);
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& [load, stress] = pairs[next];
    benchmark::DoNotOptimize(peer.Evaluate(load, stress));
    next = next + 1 == pairs.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RuleBase_fuzzylite)->Name("BM_RuleBase/fuzzylite");

// The exact centroid of the polyline our library unites the clipped output
// terms into (the same cover its own centroid integrates): the fuzzy part of
// both engines can then be compared without the difference in methods.
double ExactCentroid(const CombinedVariable& output) {
  PList cover;
  for (int k = 0; k < output.get_number(); ++k) output.put_imsf_into_cover(&cover, k);
  double area = 0;
  double moment = 0;
  const std::vector<Point>& points = cover.points();
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const double x0 = points[i].get_x();
    const double y0 = points[i].get_y();
    const double x1 = points[i + 1].get_x();
    const double y1 = points[i + 1].get_y();
    area += (y0 + y1) * (x1 - x0) / 2;
    moment += (y0 * (2 * x0 + x1) + y1 * (x0 + 2 * x1)) * (x1 - x0) / 6;
  }
  return area > 0 ? moment / area : -1;
}

// Largest difference allowed between the exact centroid of our united output
// and fuzzylite's sampled one, in units of the output range (1 wide). It
// covers the peer's sampling error at its default resolution.
constexpr double kCloseEnough = 0.01;

struct CDifferences {
  double largest = 0;
  double total = 0;
  void Add(double difference) {
    largest = std::max(largest, difference);
    total += difference;
  }
};

bool CheckPeerAgrees() {
  COurRuleBase ours;
  CPeerRuleBase peer(ours);
  std::string why;
  if (!peer.Ready(&why)) {
    std::printf("  fuzzylite engine not ready: %s\n", why.c_str());
    return false;
  }
  CDifferences exact;
  CDifferences integrated;
  const std::vector<std::array<float, 2>> pairs = InputPairs(21);
  for (const auto& [load, stress] : pairs) {
    const double ours_value = ours.Evaluate(load, stress);
    const double peer_value = peer.Evaluate(load, stress);
    exact.Add(std::fabs(ExactCentroid(ours.Output()) - peer_value));
    integrated.Add(std::fabs(ours_value - peer_value));
  }
  const double count = static_cast<double>(pairs.size());
  const bool close = exact.largest <= kCloseEnough;
  char line[400];
  std::snprintf(line, sizeof line,
                "fuzzylite vs ours over %zu input pairs (output range 0..1): exact centroid of "
                "our united output differs by at most %.4f (%s %.2f); our own centroid by at "
                "most %.4f, mean %.4f",
                pairs.size(), exact.largest, close ? "close, within" : "NOT close, beyond",
                kCloseEnough, integrated.largest, integrated.total / count);
  std::printf("  %s\n", line);
  std::printf(
      "  note: the centroid methods differ: ours integrates the united output polyline, "
      "weighting each piece by its end points; fuzzylite samples %d points of the range\n",
      fl::IntegralDefuzzifier::defaultResolution());
  bench::AddSummaryLine(line);
  return close;
}
const bool kPeerCheckRegistered =
    bench::RegisterCheck("fuzzy engine vs fuzzylite", CheckPeerAgrees);

#else

bool NotePeerMissing() {
  std::printf("  fuzzylite was not found when building; the peer benchmark is skipped\n");
  bench::AddSummaryLine("fuzzylite peer skipped (libfuzzylite-dev not installed)");
  return true;
}
const bool kPeerCheckRegistered =
    bench::RegisterCheck("fuzzy engine vs fuzzylite", NotePeerMissing);

#endif

}  // namespace
