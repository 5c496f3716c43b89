// The roster as text for the planner: grid, hours, cover, plan check, CSV.
#include "grid_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ostream>
#include <set>
#include <sstream>
#include <string_view>

#include "text_join.h"
#include "text_width.h"

namespace {

constexpr int kDaysPerWeek = 7;
constexpr int kFirstWeekendDay = 5;
constexpr std::array<const char*, kDaysPerWeek> kDayNames = {"Mon", "Tue", "Wed", "Thu",
                                                             "Fri", "Sat", "Sun"};
constexpr std::array<char, kDaysPerWeek> kDayLetters = {'M', 'T', 'W', 'T', 'F', 'S', 'S'};

// The widest group name, in characters.
std::size_t NameWidth(const CRosterGrid& grid) {
  std::size_t width = 0;
  for (const std::string& name : grid.vGroupNames) width = std::max(width, TextWidth(name));
  return width;
}

// One week of a row: the seven cells separated by blanks, the weekend's two
// in brackets; `cell` gives the text of a day, all of width `width`.
template <class Cell>
std::string WeekCells(int week, std::size_t width, const Cell& cell) {
  std::string text;
  for (int weekday = 0; weekday < kDaysPerWeek; ++weekday) {
    if (weekday > 0) text += ' ';
    if (weekday == kFirstWeekendDay) text += '[';
    text += PadRight(cell(week * kDaysPerWeek + weekday), width);
  }
  return text + ']';
}

// The weeks of a roster of `weeks` weeks that a range shows, in order.
std::vector<int> ShownWeeks(int weeks, const CWeekRange& range) {
  std::vector<int> shown;
  for (int week = 0; week < weeks; ++week) {
    if (range.Holds(week)) shown.push_back(week);
  }
  return shown;
}

// One row of a table with a column per shift: its label, a cell per shift
// and a note after the cells (none when empty).
struct CShiftRow {
  std::string sLabel;
  std::vector<std::string> vCells;
  std::string sNote;
};

// A table with a column per shift: the title and the shift names, the
// legend after them, then the rows. Every column is as wide as its name or
// its widest cell, and at least 7 characters, cells right-aligned.
void WriteShiftTable(std::ostream& out, const std::string& title, const std::string& legend,
                     const CRosterGrid& grid, const std::vector<CShiftRow>& rows) {
  std::size_t labelWidth = title.size();
  std::vector<std::size_t> widths;
  for (const std::string& name : grid.vShiftNames) {
    widths.push_back(std::max<std::size_t>(TextWidth(name), 7));
  }
  for (const CShiftRow& row : rows) {
    labelWidth = std::max(labelWidth, TextWidth(row.sLabel));
    for (std::size_t k = 0; k < row.vCells.size() && k < widths.size(); ++k) {
      widths[k] = std::max(widths[k], TextWidth(row.vCells[k]));
    }
  }
  out << PadRight(title, labelWidth);
  for (std::size_t k = 0; k < widths.size(); ++k) {
    out << "  " << PadLeft(grid.vShiftNames[k], widths[k]);
  }
  out << "   " << legend << '\n';
  for (const CShiftRow& row : rows) {
    out << PadRight(row.sLabel, labelWidth);
    for (std::size_t k = 0; k < row.vCells.size() && k < widths.size(); ++k) {
      out << "  " << PadLeft(row.vCells[k], widths[k]);
    }
    if (!row.sNote.empty()) out << "   " << row.sNote;
    out << '\n';
  }
}

// A row: its label, then every week shown after " | ".
template <class Cell>
void WriteRow(std::ostream& out, const std::string& label, std::size_t labelWidth,
              const std::vector<int>& weeks, std::size_t width, const Cell& cell) {
  out << PadRight(label, labelWidth);
  for (const int week : weeks) out << " | " << WeekCells(week, width, cell);
  out << '\n';
}

// A week number of the text, from 1; nothing for anything else.
std::optional<int> WeekNumber(std::string_view text) {
  int number = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || rest != end || number < 1) return std::nullopt;
  return number;
}

std::string FloatText(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// A spreadsheet takes a cell that starts with one of these for a formula
// (and may run what it names); such a name is written after an apostrophe,
// which makes the cell text (most spreadsheets hide the apostrophe).
bool ReadAsFormula(const std::string& text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

std::string CsvField(const std::string& text) {
  const bool formula = ReadAsFormula(text);
  if (!formula && text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = formula ? "\"'" : "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::vector<std::string> ShiftCodes(const std::vector<std::string>& names) {
  std::size_t longest = 0;
  for (const std::string& name : names) longest = std::max(longest, CharacterCount(name));
  for (std::size_t length = 1; length <= longest; ++length) {
    std::vector<std::string> codes;
    std::set<std::string> seen;
    for (const std::string& name : names) {
      codes.emplace_back(FirstCharacters(name, length));
      seen.insert(codes.back());
    }
    if (seen.size() == names.size()) return codes;
  }
  std::vector<std::string> codes;
  for (std::size_t k = 0; k < names.size(); ++k) codes.push_back(std::to_string(k));
  return codes;
}

std::optional<CWeekRange> ParseWeekRange(std::string_view text) {
  const std::size_t dash = text.find('-');
  const std::optional<int> first = WeekNumber(text.substr(0, dash));
  const std::optional<int> last =
      dash == std::string_view::npos ? first : WeekNumber(text.substr(dash + 1));
  if (!first || !last || *first > *last) return std::nullopt;
  return CWeekRange{*first - 1, *last - 1};
}

std::string DayLabel(int day) {
  return Joined("week ", day / kDaysPerWeek + 1, " ",
                kDayNames[static_cast<std::size_t>(day % kDaysPerWeek)]);
}

void WriteGrid(std::ostream& out, const CRosterGrid& grid, const CWeekRange& range) {
  const std::vector<std::string> codes = ShiftCodes(grid.vShiftNames);
  out << "Legend:";
  for (std::size_t k = 0; k < codes.size(); ++k) {
    out << (k > 0 ? "," : "") << ' ' << codes[k] << " = " << grid.vShiftNames[k];
  }
  out << "; weekends in [ ], ? = no such shift\n\n";
  std::size_t width = 1;
  for (const std::string& code : codes) width = std::max(width, TextWidth(code));
  const std::size_t labelWidth = NameWidth(grid);
  const std::vector<int> weeks = ShownWeeks(grid.iWeeks, range);

  std::string titles = PadRight("", labelWidth);
  for (const int week : weeks) {
    const std::size_t cells = kDaysPerWeek * (width + 1) + 1;
    titles += " | " + PadRight(Joined("week ", week + 1), cells);
  }
  titles.erase(titles.find_last_not_of(' ') + 1);
  out << titles << '\n';
  WriteRow(out, "", labelWidth, weeks, width,
           [](int day) { return std::string(1, kDayLetters[day % kDaysPerWeek]); });
  for (std::size_t g = 0; g < grid.vCells.size(); ++g) {
    const std::vector<int>& row = grid.vCells[g];
    const std::string label = g < grid.vGroupNames.size() ? grid.vGroupNames[g] : "?";
    WriteRow(out, label, labelWidth, weeks, width, [&](int day) -> std::string {
      if (static_cast<std::size_t>(day) >= row.size()) return "";
      const int shift = row[static_cast<std::size_t>(day)];
      if (shift < 0 || static_cast<std::size_t>(shift) >= codes.size()) return "?";
      return codes[static_cast<std::size_t>(shift)];
    });
  }
}

void WriteWeeklyHours(std::ostream& out, const CRosterGrid& grid, const CPlanFigures& figures,
                      const CWeekRange& range) {
  const std::vector<std::vector<float>> hours = WeeklyHours(grid, figures.vShiftLengths);
  const std::vector<int> weeks = ShownWeeks(grid.iWeeks, range);
  // Every group has its hours in every week.
  const auto cell = [&hours](std::size_t group, int week) {
    return FloatText(hours[group][static_cast<std::size_t>(week)]);
  };
  std::size_t width = 4;
  for (std::size_t g = 0; g < hours.size(); ++g) {
    for (const int week : weeks) width = std::max(width, cell(g, week).size());
  }
  const std::size_t labelWidth = std::max(NameWidth(grid), std::string("Weekly hours").size());
  out << PadRight("Weekly hours", labelWidth);
  for (const int week : weeks) out << " | " << PadLeft(Joined("w", week + 1), width);
  out << '\n';
  for (std::size_t g = 0; g < hours.size(); ++g) {
    out << PadRight(g < grid.vGroupNames.size() ? grid.vGroupNames[g] : "?", labelWidth);
    for (const int week : weeks) out << " | " << PadLeft(cell(g, week), width);
    out << '\n';
  }
}

void WriteDayCover(std::ostream& out, const CRosterGrid& grid, const CPlanFigures& figures,
                   const CWeekRange& range) {
  const std::vector<std::vector<int>> counts = GroupsPerShift(grid);
  const bool planned = !figures.vRequired.empty();
  std::vector<CShiftRow> rows;
  for (std::size_t day = 0; day < counts.size(); ++day) {
    if (!range.Holds(static_cast<int>(day / kDaysPerWeek))) continue;
    CShiftRow& row = rows.emplace_back(CShiftRow{DayLabel(static_cast<int>(day)), {}, {}});
    for (std::size_t k = 0; k < counts[day].size(); ++k) {
      std::string& cell = row.vCells.emplace_back(std::to_string(counts[day][k]));
      if (!planned) continue;
      const int required = figures.vRequired[day][k];
      cell += Joined("/", required);
      if (counts[day][k] < required) {
        cell += '!';
        // Fewer groups off (shift 0) than planned leaves no shift short.
        if (k != 0) row.sNote = "short";
      } else if (counts[day][k] > required) {
        cell += '+';
      }
    }
  }
  WriteShiftTable(out, "Groups per shift",
                  planned ? "(groups/plan, ! = fewer, + = more than the plan asks for; short: a "
                            "shift has fewer)"
                          : "(no operating plan)",
                  grid, rows);
}

void WriteShiftDays(std::ostream& out, const CRosterGrid& grid, const CPlanFigures& figures) {
  std::vector<CShiftRow> rows;
  for (std::size_t g = 0; g < grid.vCells.size(); ++g) {
    CShiftRow& row = rows.emplace_back(
        CShiftRow{g < grid.vGroupNames.size() ? grid.vGroupNames[g] : "?", {}, {}});
    for (std::size_t k = 0; k < grid.vShiftNames.size(); ++k) {
      const auto days =
          std::count(grid.vCells[g].begin(), grid.vCells[g].end(), static_cast<int>(k));
      const int required = k < figures.vShiftsRequired.size() ? figures.vShiftsRequired[k] : 0;
      row.vCells.push_back(Joined(days, "/", required, days != required ? "!" : ""));
    }
  }
  WriteShiftTable(out, "Days per shift", "(days in the cycle/required, ! = not as required)", grid,
                  rows);
}

std::vector<CPlanDifference> PlanDifferences(const CRosterGrid& grid, const CPlanFigures& figures) {
  std::vector<CPlanDifference> differences;
  const std::vector<std::vector<int>> counts = GroupsPerShift(grid);
  for (std::size_t day = 0; day < counts.size() && day < figures.vRequired.size(); ++day) {
    for (std::size_t k = 0; k < counts[day].size(); ++k) {
      const int required = figures.vRequired[day][k];
      if (counts[day][k] == required) continue;
      differences.push_back(
          {static_cast<int>(day), -1, static_cast<int>(k), counts[day][k], required});
    }
  }
  for (std::size_t g = 0; g < grid.vCells.size(); ++g) {
    for (std::size_t k = 0; k < figures.vShiftsRequired.size(); ++k) {
      const auto days =
          std::count(grid.vCells[g].begin(), grid.vCells[g].end(), static_cast<int>(k));
      if (days == figures.vShiftsRequired[k]) continue;
      differences.push_back({-1, static_cast<int>(g), static_cast<int>(k), static_cast<int>(days),
                             figures.vShiftsRequired[k]});
    }
  }
  return differences;
}

void WritePlanCheck(std::ostream& out, const CRosterGrid& grid,
                    const std::vector<CPlanDifference>& differences) {
  const auto shiftName = [&](int k) {
    const auto index = static_cast<std::size_t>(k);
    return index < grid.vShiftNames.size() ? grid.vShiftNames[index] : "?";
  };
  for (const CPlanDifference& d : differences) {
    if (d.iDay >= 0) {
      out << DayLabel(d.iDay) << " (day " << d.iDay + 1 << "): " << shiftName(d.iShift) << ' '
          << Counted(d.iCount, "group") << ", plan " << d.iRequired << '\n';
    } else {
      const auto group = static_cast<std::size_t>(d.iGroup);
      out << (group < grid.vGroupNames.size() ? grid.vGroupNames[group] : "?") << ": "
          << shiftName(d.iShift) << " on " << Counted(d.iCount, "day") << ", required "
          << d.iRequired << '\n';
    }
  }
  out << (differences.empty() ? "plan holds" : "plan does not hold") << '\n';
}

void WriteGridCsv(std::ostream& out, const CRosterGrid& grid) {
  const int days = kDaysPerWeek * std::max(grid.iWeeks, 0);
  out << "group";
  for (int day = 1; day <= days; ++day) out << ',' << day;
  out << '\n';
  for (std::size_t g = 0; g < grid.vCells.size(); ++g) {
    out << CsvField(g < grid.vGroupNames.size() ? grid.vGroupNames[g] : "");
    for (const int shift : grid.vCells[g]) {
      const auto k = static_cast<std::size_t>(shift);
      out << ',' << CsvField(shift >= 0 && k < grid.vShiftNames.size() ? grid.vShiftNames[k] : "");
    }
    out << '\n';
  }
}
