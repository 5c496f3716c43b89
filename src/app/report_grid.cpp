// The roster grid of the HTML report: the shift colours and their legend,
// and the grid as SVG, whole for the screen and in tiles for print.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report_html.h"
#include "text_width.h"

namespace report_html {
namespace {

// Grid geometry in the SVG's own pixels. The screen shows the grid at this
// size; print shrinks a wider one to the page's width.
constexpr int kCellSize = 20;       // square cells, a 1-pixel line between them
constexpr int kWeekGap = 6;         // extra space between two weeks
constexpr int kMinHeadWidth = 140;  // the group names left of the rows
constexpr int kHeaderHeight = 34;   // week labels above weekday letters
// The most weeks and groups one printed drawing of a grid holds: eight
// weeks of twenty groups print at about two thirds of the screen's size,
// two drawings to a landscape page.
constexpr int kPrintWeeks = 8;
constexpr int kPrintGroups = 20;

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

std::string ShiftName(const CRosterGrid& grid, int shift) {
  if (shift >= 0 && shift < static_cast<int>(grid.vShiftNames.size()))
    return grid.vShiftNames[shift];
  return "shift " + std::to_string(shift);
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

}  // namespace

int HighestShift(const CRosterGrid& grid) {
  int highest = static_cast<int>(grid.vShiftNames.size()) - 1;
  for (const std::vector<int>& row : grid.vCells)
    for (int shift : row) highest = std::max(highest, shift);
  return highest;
}

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

namespace {

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

}  // namespace

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

}  // namespace report_html
