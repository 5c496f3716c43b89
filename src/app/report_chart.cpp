// The trajectory chart of the HTML report: an optimisation's best and
// current evaluation against the number of evaluations, as SVG.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "report_html.h"
#include "text_join.h"

namespace report_html {
namespace {

// Above this many trajectory points per series the chart draws the lowest
// and highest value of each of kChartBuckets slices of the run instead.
constexpr std::size_t kMaxChartPoints = 2000;
constexpr std::size_t kChartBuckets = kMaxChartPoints / 2;

// Chart geometry in the SVG's own pixels.
constexpr int kChartWidth = 960;
constexpr int kChartHeight = 380;
constexpr int kChartLeft = 80;
constexpr int kChartRight = 24;
constexpr int kChartTop = 40;
constexpr int kChartBottom = 56;

// At most about 2 * kChartBuckets points: for each slice of the run its
// lowest and highest value in the order they came, so the peaks stay visible.
template <typename Value>
std::vector<std::size_t> ThinnedIndices(const std::vector<CTrajectoryPoint>& points, Value value) {
  std::vector<std::size_t> kept;
  const std::size_t count = points.size();
  if (count <= kMaxChartPoints) {
    for (std::size_t i = 0; i < count; ++i) kept.push_back(i);
    return kept;
  }
  for (std::size_t bucket = 0; bucket < kChartBuckets; ++bucket) {
    const std::size_t begin = bucket * count / kChartBuckets;
    const std::size_t end = (bucket + 1) * count / kChartBuckets;
    std::size_t low = begin;
    std::size_t high = begin;
    for (std::size_t i = begin; i < end; ++i) {
      if (value(points[i]) < value(points[low])) low = i;
      if (value(points[i]) > value(points[high])) high = i;
    }
    kept.push_back(std::min(low, high));
    if (low != high) kept.push_back(std::max(low, high));
  }
  if (kept.back() != count - 1) kept.push_back(count - 1);
  return kept;
}

// Tick values at 1, 2 or 5 times a power of ten, about `target` of them.
std::vector<double> NiceTicks(double low, double high, int target) {
  std::vector<double> ticks;
  const double raw = (high - low) / target;
  if (!(raw > 0) || !std::isfinite(raw)) return ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / power;
  const double step = (fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10) * power;
  for (double tick = std::ceil(low / step) * step; tick <= high + step * 1e-9; tick += step)
    ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
  return ticks;
}

// The data range of the chart, widened when it is a single value.
struct CChartRange {
  double dLow = 0;
  double dHigh = 1;
};

CChartRange Widened(double low, double high) {
  if (!(low < high)) return {low - 1, high + 1};
  return {low, high};
}

struct CChartFrame {
  CChartRange cX;
  CChartRange cY;
  double X(double value) const {
    return kChartLeft +
           (value - cX.dLow) / (cX.dHigh - cX.dLow) * (kChartWidth - kChartLeft - kChartRight);
  }
  double Y(double value) const {
    return kChartHeight - kChartBottom -
           (value - cY.dLow) / (cY.dHigh - cY.dLow) * (kChartHeight - kChartTop - kChartBottom);
  }
};

CChartFrame FrameOf(const std::vector<CTrajectoryPoint>& points) {
  double xLow = static_cast<double>(points.front().iEvaluations);
  double xHigh = xLow;
  double yLow = INFINITY;
  double yHigh = -INFINITY;
  for (const CTrajectoryPoint& p : points) {
    xLow = std::min(xLow, static_cast<double>(p.iEvaluations));
    xHigh = std::max(xHigh, static_cast<double>(p.iEvaluations));
    for (float value : {p.fBest, p.fCurrent}) {
      if (!std::isfinite(value)) continue;
      yLow = std::min(yLow, static_cast<double>(value));
      yHigh = std::max(yHigh, static_cast<double>(value));
    }
  }
  if (yLow > yHigh) yLow = yHigh = 0;
  const double pad = (yHigh - yLow) * 0.05;
  return {Widened(xLow, xHigh), Widened(yLow - pad, yHigh + pad)};
}

void WriteChartAxes(std::ostream& out, const CChartFrame& frame) {
  const int bottom = kChartHeight - kChartBottom;
  const int right = kChartWidth - kChartRight;
  for (double tick : NiceTicks(frame.cY.dLow, frame.cY.dHigh, 6)) {
    const std::string y = Fixed(frame.Y(tick), 1);
    out << "<line class=\"grid\" x1=\"" << kChartLeft << "\" x2=\"" << right << "\" y1=\"" << y
        << "\" y2=\"" << y << "\"/><text class=\"tick\" x=\"" << kChartLeft - 6 << "\" y=\"" << y
        << "\" dy=\"4\" text-anchor=\"end\">" << General(tick) << "</text>\n";
  }
  for (double tick : NiceTicks(frame.cX.dLow, frame.cX.dHigh, 8)) {
    if (tick != std::floor(tick)) continue;  // evaluations are counted whole
    const std::string x = Fixed(frame.X(tick), 1);
    out << "<line class=\"axis\" x1=\"" << x << "\" x2=\"" << x << "\" y1=\"" << bottom
        << "\" y2=\"" << bottom + 5 << "\"/><text class=\"tick\" x=\"" << x << "\" y=\""
        << bottom + 18 << "\" text-anchor=\"middle\">" << General(tick) << "</text>\n";
  }
  out << "<path class=\"axis\" fill=\"none\" d=\"M" << kChartLeft << ' ' << kChartTop << "V"
      << bottom << "H" << right << "\"/>\n"
      << "<text class=\"alabel\" x=\"" << (kChartLeft + right) / 2 << "\" y=\"" << kChartHeight - 12
      << "\" text-anchor=\"middle\">Evaluations</text>\n"
      << "<text class=\"alabel\" transform=\"translate(18 " << (kChartTop + bottom) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">Evaluation</text>\n";
}

// A series as a line through its points; with `steps` as a staircase,
// which holds each value until the next point (the best so far changes at
// an evaluation, it does not grow between two).
template <typename Value>
void WriteSeries(std::ostream& out, const char* style, const std::vector<CTrajectoryPoint>& points,
                 const CChartFrame& frame, Value value, bool steps = false) {
  out << "<polyline class=\"" << style << "\" points=\"";
  const char* separator = "";
  std::string last_y;
  for (std::size_t i : ThinnedIndices(points, value)) {
    const double v = value(points[i]);
    if (!std::isfinite(v)) continue;
    const std::string x = Fixed(frame.X(static_cast<double>(points[i].iEvaluations)), 1);
    const std::string y = Fixed(frame.Y(v), 1);
    if (steps && !last_y.empty() && y != last_y) out << separator << x << ',' << last_y;
    out << separator << x << ',' << y;
    separator = " ";
    last_y = y;
  }
  out << "\"/>\n";
  // A single point draws no line; mark it.
  if (points.size() == 1 && std::isfinite(value(points[0])))
    out << "<circle class=\"" << style << "\" r=\"3\" cx=\""
        << Fixed(frame.X(static_cast<double>(points[0].iEvaluations)), 1) << "\" cy=\""
        << Fixed(frame.Y(value(points[0])), 1) << "\"/>\n";
}

void WriteChartLegend(std::ostream& out) {
  const int x = kChartLeft + 10;
  out << "<line class=\"best\" x1=\"" << x << "\" x2=\"" << x + 28 << "\" y1=\"16\" y2=\"16\"/>"
      << "<text class=\"alabel\" x=\"" << x + 34 << "\" y=\"20\">best so far</text>"
      << "<line class=\"cur\" x1=\"" << x + 150 << "\" x2=\"" << x + 178
      << "\" y1=\"16\" y2=\"16\"/><text class=\"alabel\" x=\"" << x + 184
      << "\" y=\"20\">current</text>\n";
}

}  // namespace

void WriteTrajectoryPage(std::ostream& out, const std::vector<CTrajectoryPoint>& points) {
  out << "<section class=\"page\">\n<h2>Trajectory</h2>\n";
  if (points.empty()) {
    out << "<p class=\"note\">No trajectory was recorded.</p>\n</section>\n";
    return;
  }
  // The best evaluation and the first evaluation that reached it: the run
  // may go on long after its last improvement.
  const float best = points.back().fBest;
  const auto reached = std::find_if(points.begin(), points.end(),
                                    [best](const CTrajectoryPoint& p) { return p.fBest == best; });
  out << "<p>" << Counted(points.back().iEvaluations, "evaluation") << "; best " << General(best);
  if (reached != points.end()) out << ", first reached at evaluation " << reached->iEvaluations;
  out << ".</p>\n";
  const CChartFrame frame = FrameOf(points);
  out << "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" "
         "aria-label=\"Best and current evaluation against evaluations\" width=\""
      << kChartWidth << "\" height=\"" << kChartHeight << "\" viewBox=\"0 0 " << kChartWidth << ' '
      << kChartHeight << "\">\n";
  WriteChartAxes(out, frame);
  WriteSeries(out, "cur", points, frame, [](const CTrajectoryPoint& p) { return p.fCurrent; });
  WriteSeries(
      out, "best", points, frame, [](const CTrajectoryPoint& p) { return p.fBest; }, true);
  WriteChartLegend(out);
  out << "</svg>\n</section>\n";
}

}  // namespace report_html
