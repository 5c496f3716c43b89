// The HTML report: one self-contained page with inline CSS and SVG. Each
// roster gets a print page of its own (landscape): the grid coloured by shift
// with weekends shaded, a group x week table of ratings as heat colours, and
// the ten worst-rated constraints. An optimisation adds the roster after it,
// with the changed cells outlined in both grids, and a chart of the best and
// current evaluation against the number of evaluations.
// The grids are drawn in report_grid.cpp, the chart in report_chart.cpp.
#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis.h"
#include "report_html.h"
#include "text_join.h"

using report_html::CellAt;
using report_html::DayCount;
using report_html::Escape;
using report_html::EvenPart;
using report_html::Fixed;
using report_html::General;
using report_html::GroupCount;
using report_html::GroupName;
using report_html::HexColour;
using report_html::HighestShift;
using report_html::IsDark;
using report_html::ShownGroupName;
using report_html::WriteGrid;
using report_html::WriteLegend;
using report_html::WriteShiftStyle;
using report_html::WriteTrajectoryPage;

namespace {

// The most weeks one printed heat table holds, at the page's width.
constexpr int kPrintHeatWeeks = 24;

constexpr std::size_t kWorstCount = 10;

// On screen a roster grid narrows with the window down to three fifths of
// its size (--min, set per grid), and a wider grid scrolls sideways in its
// frame rather than shrinking into a picture too small to read, its group
// names staying in view. In print a grid keeps its size or shrinks to the
// page's width (a large roster prints in tiles of weeks and groups, see
// WriteGrid), and the two tables below a grid share a landscape page's
// width: each column is as wide as its table (the heat table's note wraps
// below it), and cells and the gap between the tables are narrower than on
// screen; a heat table of many weeks prints in parts of weeks. A heading
// stays with what follows it, and a table broken over pages repeats its
// heading row.
constexpr const char* kStyle = R"(<style>
body{margin:16px;font:13px/18px "DejaVu Sans",Arial,sans-serif;color:#1c1c1c;background:#fff}
h1{font-size:20px;line-height:28px;margin:0 0 4px}
h2{font-size:16px;line-height:24px;margin:0 0 6px}
h3{font-size:13px;line-height:18px;margin:0 0 4px}
p{margin:0 0 10px}
.page{margin:0 0 28px}
.legend{display:flex;flex-wrap:wrap;gap:4px 14px;min-height:20px;margin:0 0 6px}
.legend span{display:inline-flex;align-items:center;gap:5px;white-space:nowrap}
.sw{display:inline-block;width:14px;height:14px;border:1px solid #9a9a9a}
.sw.chs{width:12px;height:12px;border:2px solid #000}
svg{display:block;max-width:100%;height:auto}svg.rg{min-width:var(--min)}svg.rg.print,table.print{display:none}
@media screen{.gw{container-type:inline-size;display:flex;align-items:flex-start;overflow-x:auto}
.gw>svg.rg{flex:none;width:clamp(var(--min),100cqw,var(--w));max-width:none;min-width:0}
.gw>svg.rg .gn{visibility:hidden}.gnc{position:sticky;left:0;z-index:1;flex:none;width:0}
.gnc svg{width:calc(clamp(var(--min),100cqw,var(--w))*var(--share));max-width:none}.gnc .bg{fill:#fff}
.cols>div{min-width:0;max-width:100%}.hw{overflow-x:auto}.heat tr>:first-child{position:sticky;left:0}}
svg text{font-family:"DejaVu Sans",Arial,sans-serif}
.ln{fill:#c9c9c9}
.wk{font-size:11px;font-weight:bold;fill:#333}.wd{font-size:10px;fill:#555}
.gn{font-size:12px;fill:#1c1c1c}.cl{font-size:9px}.cl text{fill:#1c1c1c}.cl .lt{fill:#fff}
.chg{fill:none;stroke:#000;stroke-width:2.5}
.cols{display:flex;flex-wrap:wrap;gap:12px 28px;align-items:flex-start;margin-top:12px}
table{border-collapse:collapse}
th,td{padding:1px 6px;border:1px solid #c9c9c9;white-space:nowrap}
th{background:#f1f2f6;text-align:left}
.heat td{text-align:center;min-width:34px}.heat td.none{background:#f7f7f7;color:#999}
.worst td.r{text-align:right}
.scale{display:inline-block;width:120px;height:10px;vertical-align:middle;
background:linear-gradient(to right,#d73027,#fee08b,#1a9850);margin:0 4px}
.note{color:#555;font-size:12px;margin:4px 0 0;max-width:520px}
.warn{color:#a40000;font-weight:bold}
.axis{stroke:#333;stroke-width:1}.grid{stroke:#e2e2e2;stroke-width:1}
.tick{font-size:11px;fill:#333}.alabel{font-size:12px;fill:#1c1c1c}
.best{fill:none;stroke:#1f4e9c;stroke-width:2}.cur{fill:none;stroke:#8c8c8c;stroke-width:1}
@page{size:landscape;margin:10mm}
@media print{body{margin:0;font-size:11px;line-height:15px}.gnc{display:none}
.page{margin:0}.page+.page{break-before:page}
th,td{padding:0 3px}.cols{gap:8px 16px}.cols>div{width:min-content}
svg.rg{width:auto;min-width:0;max-height:95mm}svg.rg.screen,table.screen{display:none}
table.print{display:table;margin:0 0 2mm}
svg.rg.print{display:block;max-height:84mm;margin:0 0 2mm;break-inside:avoid}
h3{break-after:avoid}tr{break-inside:avoid}svg.chart{width:100%;max-height:150mm}}
</style>
)";

// A table cell of a group name cut to fit, with the whole name as its
// tooltip when cut.
std::string GroupCell(std::string_view tag, const CRosterGrid& grid, const std::string& name) {
  const std::string shown = ShownGroupName(grid, name);
  std::string cell = Joined("<", tag);
  if (shown != name) cell += Joined(" title=\"", Escape(name), "\"");
  return Joined(cell, ">", Escape(shown), "</", tag, ">");
}

// The difference `to - from` with as many decimals as the six significant
// digits of the larger value give, so float noise does not show.
std::string Difference(float to, float from) {
  const double difference = static_cast<double>(to) - static_cast<double>(from);
  const double larger =
      std::max(std::fabs(static_cast<double>(to)), std::fabs(static_cast<double>(from)));
  if (!std::isfinite(difference)) return General(difference);
  const int magnitude = larger > 0 ? static_cast<int>(std::floor(std::log10(larger))) : 0;
  const int decimals = std::clamp(5 - magnitude, 0, 12);
  std::string text = Fixed(difference, decimals);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return (text[0] == '-' ? "" : "+") + text;
}

// Ratings in ascending order, a rating that is not a number before all
// others: the worst, as the domain sorts it.
bool RatingLess(float a, float b) {
  if (std::isnan(b)) return false;
  if (std::isnan(a)) return true;
  return a < b;
}

// The cells where two rosters differ; a cell that only one roster has counts
// as changed.
std::vector<std::pair<int, int>> ChangedCells(const CRosterGrid& one, const CRosterGrid& other) {
  std::vector<std::pair<int, int>> cells;
  const int groups = std::max(GroupCount(one), GroupCount(other));
  const int days = std::max(DayCount(one), DayCount(other));
  for (int group = 0; group < groups; ++group)
    for (int day = 0; day < days; ++day) {
      const bool inOne = group < GroupCount(one) && day < DayCount(one);
      const bool inOther = group < GroupCount(other) && day < DayCount(other);
      if (!inOne && !inOther) continue;
      const int a = inOne ? CellAt(one, group, day) : -2;
      const int b = inOther ? CellAt(other, group, day) : -2;
      if (a != b) cells.emplace_back(group, day);
    }
  return cells;
}

// The range the heat colours span: ratings lie between 0 and 1 as a rule; a
// rating outside widens the range for the whole page.
struct CRatingScale {
  float fLow = 0;
  float fHigh = 1;
};

CRatingScale ScaleOf(const CReportData& data) {
  CRatingScale scale;
  auto widen = [&scale](const std::vector<CRatedConstraint>& constraints) {
    for (const CRatedConstraint& c : constraints) {
      if (!std::isfinite(c.fValue)) continue;
      scale.fLow = std::min(scale.fLow, c.fValue);
      scale.fHigh = std::max(scale.fHigh, c.fValue);
    }
  };
  widen(data.cBefore.vConstraints);
  if (data.oAfter) widen(data.oAfter->vConstraints);
  return scale;
}

// Red for the worst end of the scale, yellow in the middle, green for the best.
std::string HeatColour(float value, const CRatingScale& scale) {
  if (!std::isfinite(value)) return "#bdbdbd";
  const double t = std::clamp((value - scale.fLow) / (scale.fHigh - scale.fLow), 0.0f, 1.0f);
  const int stops[3][3] = {{215, 48, 39}, {254, 224, 139}, {26, 152, 80}};
  const int from = t < 0.5 ? 0 : 1;
  const double u = t < 0.5 ? t * 2 : (t - 0.5) * 2;
  int rgb[3];
  for (int i = 0; i < 3; ++i)
    rgb[i] =
        static_cast<int>(std::lround(stops[from][i] + (stops[from + 1][i] - stops[from][i]) * u));
  return HexColour(rgb[0], rgb[1], rgb[2]);
}

// The constraints that concern one group in one week (or in no week), kept
// as the lowest rating and the constraint that has it.
struct CHeatCell {
  int iCount = 0;
  const CRatedConstraint* pWorst = nullptr;
};

// The place as the terminal's rating table gives it; a dash for none.
std::string PlaceOf(const CRatedConstraint& c, const CRosterGrid& grid) {
  const std::string place = DescribePlace(c, grid);
  return place.empty() ? "\u2013" : Escape(place);
}

void WriteHeatCell(std::ostream& out, const CHeatCell& cell, const CRatingScale& scale) {
  if (cell.pWorst == nullptr) {
    out << "<td class=\"none\">\u2013</td>";
    return;
  }
  const CRatedConstraint& worst = *cell.pWorst;
  const std::string colour = HeatColour(worst.fValue, scale);
  out << "<td style=\"background:" << colour << (IsDark(colour) ? ";color:#fff" : "")
      << "\" title=\"" << cell.iCount << (cell.iCount == 1 ? " constraint" : " constraints")
      << "; lowest: " << Escape(worst.sBranch) << ' ' << Escape(worst.sName) << ' '
      << Escape(worst.sFormula) << "\">" << Fixed(worst.fValue, 2) << "</td>";
}

// The columns of one heat table: weeks `iFirst` to before `iEnd`, and the
// column of constraints that name no week when `bWithoutWeek`.
struct CHeatColumns {
  int iFirst = 0;
  int iEnd = 0;
  bool bWithoutWeek = false;
};

// One heat table of `cells` (per group, a cell per week and then the one of
// no week), shown where `media` says ("screen", "print" or empty for both).
void WriteHeatColumns(std::ostream& out, const CRosterGrid& grid,
                      const std::vector<std::vector<CHeatCell>>& cells, CHeatColumns columns,
                      const CRatingScale& scale, std::string_view media) {
  out << "<table class=\"heat" << (media.empty() ? "" : " ") << media
      << "\"><thead><tr><th>Group</th>";
  for (int week = columns.iFirst; week < columns.iEnd; ++week)
    out << "<th>W" << week + 1 << "</th>";
  if (columns.bWithoutWeek) out << "<th>no week</th>";
  out << "</tr></thead>\n";
  for (std::size_t group = 0; group < cells.size(); ++group) {
    out << "<tr>" << GroupCell("th", grid, GroupName(grid, static_cast<int>(group)));
    for (int week = columns.iFirst; week < columns.iEnd; ++week)
      WriteHeatCell(out, cells[group][static_cast<std::size_t>(week)], scale);
    if (columns.bWithoutWeek) WriteHeatCell(out, cells[group].back(), scale);
    out << "</tr>\n";
  }
  out << "</table>\n";
}

// The heat table of `weeks` weeks: on screen whole, in a frame of its own
// (.hw) that scrolls sideways with the group column in view; in print the
// same, or in parts of at most kPrintHeatWeeks weeks one below the other
// when it would be too wide for a page.
void WriteHeatTables(std::ostream& out, const CRosterGrid& grid,
                     const std::vector<std::vector<CHeatCell>>& cells, int weeks, bool withoutWeek,
                     const CRatingScale& scale) {
  const bool parted = weeks > kPrintHeatWeeks;
  out << "<div class=\"hw\">";
  WriteHeatColumns(out, grid, cells, {0, weeks, withoutWeek}, scale, parted ? "screen" : "");
  out << "</div>";
  if (!parted) return;
  const int partWeeks = EvenPart(weeks, kPrintHeatWeeks);
  for (int first = 0; first < weeks; first += partWeeks) {
    const int end = std::min(first + partWeeks, weeks);
    WriteHeatColumns(out, grid, cells, {first, end, withoutWeek && end == weeks}, scale, "print");
  }
}

void WriteHeatTable(std::ostream& out, const CReportRoster& roster, const CRatingScale& scale) {
  const CRosterGrid& grid = roster.cGrid;
  const int groups = GroupCount(grid);
  const int weeks = std::max(grid.iWeeks, 0);
  // Column `weeks` holds the constraints of a group that name no week.
  std::vector<std::vector<CHeatCell>> cells(groups, std::vector<CHeatCell>(weeks + 1));
  int elsewhere = 0;
  bool anyWithoutWeek = false;
  for (const CRatedConstraint& c : roster.vConstraints) {
    if (c.iGroup < 0 || c.iGroup >= groups) {
      ++elsewhere;
      continue;
    }
    // The weeks of the cycle it concerns; column `weeks` when none.
    const CWeekSpan span = WeeksOf(c, grid);
    const int first = span.iFirst < weeks ? span.iFirst : -1;
    const int last = first < 0 ? weeks : std::min(span.iLast, weeks - 1);
    anyWithoutWeek = anyWithoutWeek || first < 0;
    for (int week = first < 0 ? weeks : first; week <= last; ++week) {
      CHeatCell& cell = cells[c.iGroup][week];
      ++cell.iCount;
      if (cell.pWorst == nullptr || RatingLess(c.fValue, cell.pWorst->fValue)) cell.pWorst = &c;
    }
  }
  out << "<div><h3>Lowest rating per group and week</h3>\n";
  if (groups == 0) {
    out << "<p class=\"note\">No groups.</p>";
  } else {
    WriteHeatTables(out, grid, cells, weeks, anyWithoutWeek, scale);
  }
  out << "<p class=\"note\">Each cell: the lowest rating of the group's constraints that "
         "concern that week (both weeks of a change or a pair of weekends, every week a "
         "block's days fall in)";
  if (anyWithoutWeek) out << "; no week: those that name neither";
  out << "; \u2013: no constraint rated there.<br>" << Fixed(scale.fLow, 2)
      << " worst<span class=\"scale\"></span>" << Fixed(scale.fHigh, 2) << " best";
  if (elsewhere > 0)
    out << "; " << elsewhere << (elsewhere == 1 ? " constraint concerns" : " constraints concern")
        << " no group of the roster";
  out << "</p></div>\n";
}

// The constraints by rating, lowest first; equal ratings keep their order.
std::vector<const CRatedConstraint*> Worst(const std::vector<CRatedConstraint>& constraints,
                                           std::size_t count) {
  std::vector<const CRatedConstraint*> order;
  order.reserve(constraints.size());
  for (const CRatedConstraint& c : constraints) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(),
                   [](const CRatedConstraint* a, const CRatedConstraint* b) {
                     return RatingLess(a->fValue, b->fValue);
                   });
  if (order.size() > count) order.resize(count);
  return order;
}

void WriteWorstTable(std::ostream& out, const CReportRoster& roster, const CRatingScale& scale) {
  out << "<div><h3>The " << kWorstCount << " worst-rated constraints</h3>\n";
  if (roster.vConstraints.empty()) {
    out << "<p class=\"note\">No rated constraints.</p></div>\n";
    return;
  }
  out << "<table class=\"worst\"><thead><tr><th>#</th><th>Rating</th><th>Branch</th>"
         "<th>Name</th><th>Group</th><th>Place</th><th>Formula</th></tr></thead>\n";
  int rank = 0;
  for (const CRatedConstraint* c : Worst(roster.vConstraints, kWorstCount)) {
    const std::string group = c->iGroup >= 0 ? GroupName(roster.cGrid, c->iGroup) : "\u2013";
    const std::string colour = HeatColour(c->fValue, scale);
    out << "<tr><td class=\"r\">" << ++rank << "</td><td class=\"r\" style=\"background:" << colour
        << (IsDark(colour) ? ";color:#fff" : "") << "\">" << Fixed(c->fValue, 3) << "</td><td>"
        << Escape(c->sBranch) << "</td><td>" << Escape(c->sName) << "</td>"
        << GroupCell("td", roster.cGrid, group) << "<td>" << PlaceOf(*c, roster.cGrid)
        << "</td><td>" << Escape(c->sFormula) << "</td></tr>\n";
  }
  out << "</table></div>\n";
}

void WriteRosterPage(std::ostream& out, const std::string& heading, const CReportRoster& roster,
                     const std::vector<std::pair<int, int>>& changed, bool showChanged,
                     const CRatingScale& scale) {
  out << "<section class=\"page\">\n<h2>" << heading << " \u2014 evaluation "
      << General(roster.fEvaluation) << "</h2>\n";
  WriteLegend(out, roster.cGrid, showChanged);
  WriteGrid(out, roster.cGrid, changed);
  out << "<div class=\"cols\">\n";
  WriteHeatTable(out, roster, scale);
  WriteWorstTable(out, roster, scale);
  out << "</div>\n</section>\n";
}

// Where the roster shown last departs from the operating plan, or nothing
// when it keeps it: the page is what gets handed on, so it says so too.
void WritePlanDepartures(std::ostream& out, const CReportData& data) {
  const CReportRoster& roster = data.oAfter ? *data.oAfter : data.cBefore;
  if (roster.iPlanDepartures == 0) return;
  out << "<p class=\"warn\">The " << (data.oAfter ? "optimised " : "")
      << "roster departs from the operating plan in "
      << Counted(static_cast<long long>(roster.iPlanDepartures), "place")
      << " (<code>domtarn check</code> lists them).</p>\n";
}

void WriteSummary(std::ostream& out, const CReportData& data, std::size_t changedCells) {
  out << "<p>";
  if (!data.oAfter) {
    out << "Evaluation " << General(data.cBefore.fEvaluation) << "; "
        << Counted(static_cast<long long>(data.cBefore.vConstraints.size()), "rated constraint")
        << ".</p>\n";
    WritePlanDepartures(out, data);
    return;
  }
  out << "Evaluation " << General(data.cBefore.fEvaluation) << " before, "
      << General(data.oAfter->fEvaluation) << " after ("
      << Difference(data.oAfter->fEvaluation, data.cBefore.fEvaluation) << "); " << changedCells
      << (changedCells == 1 ? " cell changed" : " cells changed");
  if (!data.vTrajectory.empty())
    out << "; " << Counted(data.vTrajectory.back().iEvaluations, "evaluation");
  out << ".</p>\n";
  if (!data.sRun.empty()) out << "<p class=\"note\">" << Escape(data.sRun) << "</p>\n";
  WritePlanDepartures(out, data);
}

}  // namespace

void WriteHtmlReport(std::ostream& out, const CReportData& data) {
  const CRatingScale scale = ScaleOf(data);
  int highest = HighestShift(data.cBefore.cGrid);
  if (data.oAfter) highest = std::max(highest, HighestShift(data.oAfter->cGrid));
  const std::vector<std::pair<int, int>> changed =
      data.oAfter ? ChangedCells(data.cBefore.cGrid, data.oAfter->cGrid)
                  : std::vector<std::pair<int, int>>();
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
      << Escape(data.sTitle) << "</title>\n"
      << kStyle;
  WriteShiftStyle(out, highest);
  out << "</head>\n<body>\n<h1>" << Escape(data.sTitle.empty() ? "Roster report" : data.sTitle)
      << "</h1>\n";
  WriteSummary(out, data, changed.size());
  WriteRosterPage(out, data.oAfter ? "Roster before optimisation" : "Roster", data.cBefore, changed,
                  data.oAfter.has_value(), scale);
  if (data.oAfter) {
    WriteRosterPage(out, "Roster after optimisation", *data.oAfter, changed, true, scale);
    WriteTrajectoryPage(out, data.vTrajectory);
  }
  out << "</body>\n</html>\n";
}
