// The HTML report: one self-contained page with inline CSS and SVG. Each
// roster gets a print page of its own (landscape): the grid coloured by shift
// with weekends shaded, a group x week table of ratings as heat colours, and
// the ten worst-rated constraints. An optimisation adds the roster after it,
// with the changed cells outlined in both grids, and a chart of the best and
// current evaluation against the number of evaluations.
#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis.h"
#include "text_join.h"
#include "text_width.h"

namespace {

// Grid geometry in the SVG's own pixels. The screen shows the grid at this
// size; print shrinks a wider one to the page's width.
constexpr int kDaysPerWeek = 7;
constexpr int kCellSize = 20;                // square cells, a 1-pixel line between them
constexpr int kWeekGap = 6;                  // extra space between two weeks
constexpr int kMinHeadWidth = 140;           // the group names left of the rows
constexpr int kHeaderHeight = 34;            // week labels above weekday letters
constexpr std::size_t kGroupNameChars = 18;  // longer names are cut with an ellipsis
// The most weeks and groups one printed drawing of a grid holds: eight
// weeks of twenty groups print at about two thirds of the screen's size,
// two drawings to a landscape page.
constexpr int kPrintWeeks = 8;
constexpr int kPrintGroups = 20;
// The most weeks one printed heat table holds, at the page's width.
constexpr int kPrintHeatWeeks = 24;

constexpr std::size_t kWorstCount = 10;
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

// Shift colours by index (index 1 first); the day off is white. Shifts past
// the table get colours spread round the hue circle, fixed per index.
constexpr const char* kShiftColours[] = {"#4e79a7", "#f28e2b", "#59a14f", "#e15759",
                                         "#b07aa1", "#edc948", "#76b7b2", "#ff9da7",
                                         "#9c755f", "#17becf", "#8c564b", "#bcbd22"};
constexpr int kFixedColours = static_cast<int>(std::size(kShiftColours));
constexpr const char* kOffColour = "#ffffff";
constexpr const char* kWeekendOffColour = "#e3e5ee";
constexpr const char* kUnknownColour = "#5a5a5a";  // a shift index below 0

constexpr const char* kWeekdayLetters[kDaysPerWeek] = {"M", "T", "W", "T", "F", "S", "S"};

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

// Text from the data, safe in element content and in quoted attributes, and
// valid UTF-8 whatever bytes the data holds (ValidUtf8).
std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : ValidUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// `text` cut to `limit` characters (UTF-8 code points) and an ellipsis in
// their middle when it has two or more beyond them.
std::string Shorten(const std::string& text, std::size_t limit) {
  // A text one character longer than the limit is as wide as its cut form.
  if (CharacterCount(text) <= limit + 1) return text;
  // Both ends stay: names of one roster mostly differ at their end ("Ward
  // North Team 1", "Ward North Team 2").
  const std::size_t head = (limit + 1) / 2;
  return Joined(FirstCharacters(text, head), "\u2026", LastCharacters(text, limit - head));
}

// The characters a name shares at its start with another.
std::size_t CommonStart(std::string_view a, std::string_view b) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
    chars += StartsCharacter(a[i]) ? 1 : 0;
  }
  return chars;
}

// `limit` characters of a text around its character `at`, with an
// ellipsis for each end cut off.
std::string WindowAround(std::string_view text, std::size_t at, std::size_t limit) {
  const std::size_t total = CharacterCount(text);
  const std::size_t inner = limit - 2;  // room for the two ellipses
  const std::size_t first = std::min(at > inner / 2 ? at - inner / 2 : 0, total - inner);
  const std::string_view from = LastCharacters(text, total - first);
  const std::string_view window = FirstCharacters(from, inner);
  return Joined(first > 0 ? "\u2026" : "", window, window.size() < from.size() ? "\u2026" : "");
}

// A group name as the page shows it: cut to kGroupNameChars as Shorten
// cuts it, unless that makes it look like another name of the roster cut
// so (names such as "Night-coverage-team-01-North-Wing" that differ in the
// middle): then the part of the name around the first character where it
// departs from such a name, so that every group keeps a label of its own.
std::string ShownGroupName(const CRosterGrid& grid, const std::string& name) {
  const std::string shown = Shorten(name, kGroupNameChars);
  if (shown == name) return shown;
  std::size_t departs = 0;
  bool alike = false;
  for (const std::string& other : grid.vGroupNames) {
    if (other == name || Shorten(other, kGroupNameChars) != shown) continue;
    alike = true;
    departs = std::max(departs, CommonStart(name, other));
  }
  return alike ? WindowAround(name, departs, kGroupNameChars) : shown;
}

// A table cell of a group name cut to fit, with the whole name as its
// tooltip when cut.
std::string GroupCell(std::string_view tag, const CRosterGrid& grid, const std::string& name) {
  const std::string shown = ShownGroupName(grid, name);
  std::string cell = Joined("<", tag);
  if (shown != name) cell += Joined(" title=\"", Escape(name), "\"");
  return Joined(cell, ">", Escape(shown), "</", tag, ">");
}

std::string Fixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string General(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
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

int DayCount(const CRosterGrid& grid) {
  return std::max(grid.iWeeks, 0) * kDaysPerWeek;
}

int GroupCount(const CRosterGrid& grid) {
  return static_cast<int>(grid.vCells.size());
}

// The shift at a cell, -1 where the row is too short.
int CellAt(const CRosterGrid& grid, int group, int day) {
  if (group < 0 || group >= GroupCount(grid)) return -1;
  const std::vector<int>& row = grid.vCells[group];
  return day >= 0 && day < static_cast<int>(row.size()) ? row[day] : -1;
}

std::string GroupName(const CRosterGrid& grid, int group) {
  if (group >= 0 && group < static_cast<int>(grid.vGroupNames.size()))
    return grid.vGroupNames[group];
  return "group " + std::to_string(std::int64_t{group} + 1);
}

std::string ShiftName(const CRosterGrid& grid, int shift) {
  if (shift >= 0 && shift < static_cast<int>(grid.vShiftNames.size()))
    return grid.vShiftNames[shift];
  return "shift " + std::to_string(shift);
}

std::string HexColour(int red, int green, int blue) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", red & 0xFF, green & 0xFF, blue & 0xFF);
  return buffer;
}

// The colour of shift `shift` (1 or more).
std::string ShiftColour(int shift) {
  if (shift <= kFixedColours) return kShiftColours[shift - 1];
  // Golden-angle hues keep neighbouring indices apart; HSL with s 0.55, l 0.55.
  const double hue = std::fmod((shift - kFixedColours) * 137.508, 360.0) / 60.0;
  const double chroma = (1 - std::fabs(2 * 0.55 - 1)) * 0.55;
  const double second = chroma * (1 - std::fabs(std::fmod(hue, 2.0) - 1));
  double rgb[3] = {0, 0, 0};
  const int sector = static_cast<int>(hue) % 6;
  const int primary[6] = {0, 1, 1, 2, 2, 0};
  const int secondary[6] = {1, 0, 2, 1, 0, 2};
  rgb[primary[sector]] = chroma;
  rgb[secondary[sector]] = second;
  const double lift = 0.55 - chroma / 2;
  return HexColour(static_cast<int>(std::lround((rgb[0] + lift) * 255)),
                   static_cast<int>(std::lround((rgb[1] + lift) * 255)),
                   static_cast<int>(std::lround((rgb[2] + lift) * 255)));
}

// Whether text on this colour reads better in white than in black.
bool IsDark(const std::string& colour) {
  const long value = std::strtol(colour.c_str() + 1, nullptr, 16);
  const double luminance =
      0.299 * ((value >> 16) & 0xFF) + 0.587 * ((value >> 8) & 0xFF) + 0.114 * (value & 0xFF);
  return luminance < 150;
}

// The highest shift index shown on the page, from the names and the cells.
int HighestShift(const CRosterGrid& grid) {
  int highest = static_cast<int>(grid.vShiftNames.size()) - 1;
  for (const std::vector<int>& row : grid.vCells)
    for (int shift : row) highest = std::max(highest, shift);
  return highest;
}

// One rule per shift colour, for SVG cells (fill) and legend swatches.
void WriteShiftStyle(std::ostream& out, int highest) {
  out << "<style>";
  for (int shift = 1; shift <= highest; ++shift) {
    const std::string colour = ShiftColour(shift);
    out << ".s" << shift << "{fill:" << colour << ";background:" << colour << '}';
  }
  out << ".s0{background:" << kOffColour << "}.o{fill:" << kOffColour
      << "}.ow,.we{fill:" << kWeekendOffColour << "}.sw.we{background:" << kWeekendOffColour
      << "}.sx{fill:" << kUnknownColour << ";background:" << kUnknownColour << "}</style>\n";
}

// Where the grid's columns lie. The group names left of them take the
// width of the longest name shown, counted at the font size per character
// (wider than any letter of the font), so that no name runs off the left.
struct CGridColumns {
  int iHead = kMinHeadWidth;
  int iFirstDay = 0;    // the day drawn in the first column
  int iFirstGroup = 0;  // the group drawn in the first row
  int X(int day) const {
    const int column = day - iFirstDay;
    return iHead + column * kCellSize + column / kDaysPerWeek * kWeekGap;
  }
  int Y(int group) const { return kHeaderHeight + (group - iFirstGroup) * kCellSize; }
};

// The days (from the start of a week) and groups one drawing of a grid
// covers: all of them on screen; in print a large roster is drawn in tiles.
struct CGridTile {
  int iFirstDay = 0;
  int iEndDay = 0;
  int iFirstGroup = 0;
  int iEndGroup = 0;
};

// The pixels a group name takes at most in the drawing's font (.gn, 12
// pixels): a Latin letter (code points below U+0280, whose UTF-8 lead byte is
// below 0xCA) no more than the font size, any other (Cyrillic, Greek, CJK,
// the ellipsis) up to a third more, as wide letters such as "Ж" take.
int NamePixels(std::string_view name) {
  constexpr int kLatinPixels = 12;
  constexpr int kOtherPixels = 16;
  int pixels = 0;
  for (const char byte : name) {
    if (!StartsCharacter(byte)) continue;
    pixels += static_cast<unsigned char>(byte) < 0xCA ? kLatinPixels : kOtherPixels;
  }
  return pixels;
}

CGridColumns ColumnsOf(const CRosterGrid& grid) {
  constexpr int kNameGap = 6;  // between a name and its row
  CGridColumns columns;
  for (int group = 0; group < GroupCount(grid); ++group) {
    const int shown = NamePixels(ShownGroupName(grid, GroupName(grid, group)));
    columns.iHead = std::max(columns.iHead, shown + 2 * kNameGap);
  }
  return columns;
}

bool IsWeekend(int day) {
  return day % kDaysPerWeek >= 5;
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

void WriteLegend(std::ostream& out, const CRosterGrid& grid, bool showChanged) {
  out << "<div class=\"legend\">";
  const int highest = HighestShift(grid);
  for (int shift = 0; shift <= highest; ++shift)
    out << "<span><i class=\"sw s" << shift << "\"></i>" << shift << ' '
        << Escape(ShiftName(grid, shift)) << "</span>";
  out << "<span><i class=\"sw we\"></i>weekend</span>";
  if (showChanged) out << "<span><i class=\"sw chs\"></i>changed by the optimisation</span>";
  out << "</div>\n";
}

// Week labels and weekday letters of the whole weeks of the tile.
void WriteGridHeader(std::ostream& out, const CGridColumns& columns, const CGridTile& tile) {
  const int groups = tile.iEndGroup - tile.iFirstGroup;
  for (int week = tile.iFirstDay / kDaysPerWeek; week < tile.iEndDay / kDaysPerWeek; ++week) {
    const int left = columns.X(week * kDaysPerWeek);
    out << "<text class=\"wk\" x=\"" << left + kDaysPerWeek * kCellSize / 2
        << "\" y=\"12\" text-anchor=\"middle\">Week " << week + 1 << "</text>";
    // The weekend band runs from the weekday letters to the last row.
    out << "<rect class=\"we\" x=\"" << columns.X(week * kDaysPerWeek + 5) << "\" y=\"17\" width=\""
        << 2 * kCellSize + 1 << "\" height=\"" << kHeaderHeight - 17 + groups * kCellSize + 1
        << "\"/>";
    for (int weekday = 0; weekday < kDaysPerWeek; ++weekday)
      out << "<text class=\"wd\" x=\"" << columns.X(week * kDaysPerWeek + weekday) + kCellSize / 2
          << "\" y=\"30\" text-anchor=\"middle\">" << kWeekdayLetters[weekday] << "</text>";
    out << '\n';
  }
}

// A group's name left of its row; a name cut short keeps the whole name as
// its tooltip.
void WriteGroupName(std::ostream& out, const CGridColumns& columns, const CRosterGrid& grid,
                    int group) {
  const std::string name = GroupName(grid, group);
  const std::string shown = ShownGroupName(grid, name);
  out << "<text class=\"gn\" x=\"" << columns.iHead - 6 << "\" y=\"" << columns.Y(group) + 15
      << "\" text-anchor=\"end\">" << Escape(shown);
  if (shown != name) out << "<title>" << Escape(name) << "</title>";
  out << "</text>";
}

void WriteGridCells(std::ostream& out, const CGridColumns& columns, const CRosterGrid& grid,
                    const CGridTile& tile) {
  const int groups = tile.iEndGroup - tile.iFirstGroup;
  for (int week = tile.iFirstDay / kDaysPerWeek; week * kDaysPerWeek < tile.iEndDay; ++week)
    out << "<rect class=\"ln\" x=\"" << columns.X(week * kDaysPerWeek) << "\" y=\"" << kHeaderHeight
        << "\" width=\"" << kDaysPerWeek * kCellSize + 1 << "\" height=\"" << groups * kCellSize + 1
        << "\"/>";
  out << '\n';
  for (int group = tile.iFirstGroup; group < tile.iEndGroup; ++group) {
    WriteGroupName(out, columns, grid, group);
    for (int day = tile.iFirstDay; day < tile.iEndDay; ++day) {
      const int shift = CellAt(grid, group, day);
      if (shift == -1 && day >= static_cast<int>(grid.vCells[group].size())) continue;
      const char* weekend = IsWeekend(day) ? "ow" : "o";
      out << "<rect class=\"";
      if (shift == 0)
        out << weekend;
      else if (shift < 0)
        out << "sx";
      else
        out << 's' << shift;
      out << "\" x=\"" << columns.X(day) + 1 << "\" y=\"" << columns.Y(group) + 1 << "\" width=\""
          << kCellSize - 1 << "\" height=\"" << kCellSize - 1 << "\"/>";
    }
    out << '\n';
  }
}

// The shift index printed in each working cell, for readers who cannot tell
// the colours apart and for black-and-white print.
void WriteCellLabels(std::ostream& out, const CGridColumns& columns, const CRosterGrid& grid,
                     const CGridTile& tile) {
  out << "<g class=\"cl\" text-anchor=\"middle\">";
  for (int group = tile.iFirstGroup; group < tile.iEndGroup; ++group) {
    for (int day = tile.iFirstDay; day < tile.iEndDay; ++day) {
      const int shift = CellAt(grid, group, day);
      if (shift <= 0) continue;
      out << "<text";
      if (IsDark(ShiftColour(shift))) out << " class=\"lt\"";
      out << " x=\"" << columns.X(day) + kCellSize / 2 << "\" y=\"" << columns.Y(group) + 14
          << "\">" << shift << "</text>";
    }
  }
  out << "</g>\n";
}

// One drawing of the grid laid out by `columns` (ColumnsOf, worked out once
// per grid): the cells of `tile` in an SVG of `width` x `height` pixels (a
// tile smaller than the others keeps their scale), with the changed cells
// outlined; `media` ("screen", "print" or empty for both) shows it where it
// belongs. The screen's drawing marks each outline with its cell.
void WriteGridDrawing(std::ostream& out, const CRosterGrid& grid, CGridColumns columns,
                      const std::vector<std::pair<int, int>>& changed, const CGridTile& tile,
                      int width, int height, std::string_view media) {
  columns.iFirstDay = tile.iFirstDay;
  columns.iFirstGroup = tile.iFirstGroup;
  const int groups = GroupCount(grid);
  out << "<svg class=\"rg" << (media.empty() ? "" : " ") << media
      << "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"Roster of " << groups
      << " groups over " << DayCount(grid) / kDaysPerWeek << " weeks";
  if (tile.iFirstDay > 0 || tile.iEndDay < DayCount(grid))
    out << ", weeks " << tile.iFirstDay / kDaysPerWeek + 1 << " to "
        << (tile.iEndDay + kDaysPerWeek - 1) / kDaysPerWeek;
  if (tile.iFirstGroup > 0 || tile.iEndGroup < groups)
    out << ", groups " << tile.iFirstGroup + 1 << " to " << tile.iEndGroup;
  out << "\" width=\"" << width << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << ' '
      << height << "\" style=\"--min:" << width * 3 / 5 << "px\">\n";
  WriteGridHeader(out, columns, tile);
  WriteGridCells(out, columns, grid, tile);
  WriteCellLabels(out, columns, grid, tile);
  for (const auto& [group, day] : changed) {
    if (group < tile.iFirstGroup || group >= tile.iEndGroup || day < tile.iFirstDay ||
        day >= tile.iEndDay)
      continue;
    out << "<rect class=\"chg\"";
    if (media != "print") out << " data-cell=\"" << group << ',' << day << '"';
    out << " x=\"" << columns.X(day) + 1 << "\" y=\"" << columns.Y(group) + 1 << "\" width=\""
        << kCellSize - 1 << "\" height=\"" << kCellSize - 1 << "\"/>";
  }
  out << "</svg>\n";
}

// `count` (at least 1) in parts of at most `most`, as even as they come: the
// size of each.
int EvenPart(int count, int most) {
  const int parts = (count + most - 1) / most;
  return (count + parts - 1) / parts;
}

// The group names of a whole grid `width` x `height` pixels large once
// more, on a white layer of their own (.gnc) that stays at the left edge of
// the screen while the grid scrolls sideways, drawn at the grid's scale: its
// width is the grid's shown width times `--share`, the names' share of it.
void WriteNameColumn(std::ostream& out, const CRosterGrid& grid, const CGridColumns& columns,
                     int width, int height) {
  char share[32];
  std::snprintf(share, sizeof share, "%.6f", static_cast<double>(columns.iHead) / width);
  out << "<div class=\"gnc\"><svg xmlns=\"http://www.w3.org/2000/svg\" aria-hidden=\"true\" "
         "width=\""
      << columns.iHead << "\" height=\"" << height << "\" viewBox=\"0 0 " << columns.iHead << ' '
      << height << "\" style=\"--share:" << share << "\"><rect class=\"bg\" width=\""
      << columns.iHead << "\" height=\"" << height << "\"/>";
  for (int group = 0; group < GroupCount(grid); ++group) WriteGroupName(out, columns, grid, group);
  out << "</svg></div>";
}

// The grid as one drawing. A roster of more than kPrintWeeks weeks or
// kPrintGroups groups would print too small to read on a page; for print it
// is drawn again in tiles of at most that many weeks and groups, as even as
// they come: for each run of weeks every band of groups in turn. Only print
// shows the tiles, and only the screen the whole drawing then.
void WriteGrid(std::ostream& out, const CRosterGrid& grid,
               const std::vector<std::pair<int, int>>& changed) {
  const int days = DayCount(grid);
  const int groups = GroupCount(grid);
  if (groups == 0 || days == 0) {
    out << "<p class=\"note\">The roster has no cells (" << groups << " groups, "
        << std::max(grid.iWeeks, 0) << " weeks).</p>\n";
    return;
  }
  const CGridColumns columns = ColumnsOf(grid);
  const CGridTile whole{0, days, 0, groups};
  const int width = columns.X(days - 1) + kCellSize + 1;
  const int height = columns.Y(groups) + 1;
  const int weeks = (days + kDaysPerWeek - 1) / kDaysPerWeek;
  const bool tiled = weeks > kPrintWeeks || groups > kPrintGroups;
  // On screen the grid scrolls sideways in a frame of its own (.gw), its
  // names staying in view.
  out << "<div class=\"gw\" style=\"--w:" << width << "px;--min:" << width * 3 / 5 << "px\">";
  WriteNameColumn(out, grid, columns, width, height);
  WriteGridDrawing(out, grid, columns, changed, whole, width, height, tiled ? "screen" : "");
  out << "</div>\n";
  if (!tiled) return;
  const int tileDays = EvenPart(weeks, kPrintWeeks) * kDaysPerWeek;
  const int tileGroups = EvenPart(groups, kPrintGroups);
  const int tileWidth = columns.X(tileDays - 1) + kCellSize + 1;
  const int tileHeight = columns.Y(tileGroups) + 1;
  for (int day = 0; day < days; day += tileDays)
    for (int group = 0; group < groups; group += tileGroups)
      WriteGridDrawing(
          out, grid, columns, changed,
          {day, std::min(day + tileDays, days), group, std::min(group + tileGroups, groups)},
          tileWidth, tileHeight, "print");
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
