// A roster's ratings for the planner, as text and as JSON.
#include "rating_text.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <tuple>

#include "analysis.h"
#include "text_join.h"
#include "text_width.h"

namespace {

std::string FloatText(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// A text table: columns as wide as their widest cell (in characters), two
// blanks apart; columns whose flag is set are aligned right.
class CTable {
 public:
  explicit CTable(std::vector<bool> right) : vRight(std::move(right)) {}
  void Add(std::vector<std::string> row) { vRows.push_back(std::move(row)); }
  void Write(std::ostream& out) const {
    std::vector<std::size_t> widths(vRight.size(), 0);
    for (const auto& row : vRows) {
      for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
        widths[i] = std::max(widths[i], TextWidth(row[i]));
      }
    }
    for (const auto& row : vRows) {
      std::string line;
      for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
        if (i > 0) line += "  ";
        line += vRight[i] ? PadLeft(row[i], widths[i]) : PadRight(row[i], widths[i]);
      }
      line.erase(line.find_last_not_of(' ') + 1);
      out << line << '\n';
    }
  }

 private:
  std::vector<bool> vRight;
  std::vector<std::vector<std::string>> vRows;
};

std::size_t Shown(std::size_t count, std::size_t top) {
  return top == 0 ? count : std::min(count, top);
}

// A coordinate the formula does not give is null in JSON.
nlohmann::ordered_json Coordinate(int index) {
  return index >= 0 ? nlohmann::ordered_json(index) : nlohmann::ordered_json();
}

// What a constraint rates, to find it again in another roster: its branch,
// name and formula, except that a block is known by its group and its first
// day, since its index moves whenever a block before it appears or goes.
using CKey = std::tuple<std::string, std::string, std::string>;
CKey KeyOf(const CRatedConstraint& c, const CRosterGrid& grid) {
  if (const std::optional<CBlockSpan> block = BlockOf(c, grid)) {
    return {c.sBranch, c.sName, Joined("block of group ", c.iGroup, " from day ", block->iStart)};
  }
  return {c.sBranch, c.sName, c.sFormula};
}

}  // namespace

std::vector<CBranchTotal> BranchTotals(const std::vector<CRatedConstraint>& constraints) {
  std::map<std::string, CBranchTotal> totals;
  for (const CRatedConstraint& c : constraints) {
    CBranchTotal& total = totals[c.sBranch];
    total.sBranch = c.sBranch;
    total.fSubtotal += c.fValue;
    ++total.iCount;
  }
  std::vector<CBranchTotal> list;
  for (auto& [branch, total] : totals) list.push_back(total);
  return list;
}

void WriteRatings(std::ostream& out, float evaluation,
                  const std::vector<CRatedConstraint>& constraints, const CRosterGrid& grid,
                  std::size_t top) {
  const std::size_t shown = Shown(constraints.size(), top);
  out << "Evaluation: " << evaluation << " (" << constraints.size() << " rated constraint"
      << (constraints.size() == 1 ? "" : "s") << ")\n\n";
  out << "Rated constraints, worst first";
  if (shown < constraints.size()) out << " (" << shown << " of " << constraints.size() << ")";
  out << ":\n";
  CTable table({true, true, false, false, false, false});
  table.Add({"rank", "rating", "branch", "group", "place", "formula"});
  for (std::size_t i = 0; i < shown; ++i) {
    const CRatedConstraint& c = constraints[i];
    table.Add({std::to_string(i + 1), FloatText(c.fValue), c.sBranch, GroupLabel(c, grid),
               DescribePlace(c, grid), c.sFormula});
  }
  table.Write(out);
  out << "\nSubtotals by branch:\n";
  CTable totals({false, true, true});
  totals.Add({"branch", "subtotal", "constraints"});
  for (const CBranchTotal& t : BranchTotals(constraints)) {
    totals.Add({t.sBranch, FloatText(t.fSubtotal), std::to_string(t.iCount)});
  }
  totals.Write(out);
}

void WriteRatingsJson(std::ostream& out, const std::string& file, float evaluation,
                      const std::vector<CRatedConstraint>& constraints, const CRosterGrid& grid,
                      std::size_t top) {
  nlohmann::ordered_json document;
  document["file"] = file;
  document["evaluation"] = evaluation;
  document["constraint_count"] = constraints.size();
  document["branches"] = nlohmann::ordered_json::array();
  for (const CBranchTotal& t : BranchTotals(constraints)) {
    document["branches"].push_back(
        {{"branch", t.sBranch}, {"subtotal", t.fSubtotal}, {"count", t.iCount}});
  }
  document["constraints"] = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < Shown(constraints.size(), top); ++i) {
    const CRatedConstraint& c = constraints[i];
    nlohmann::ordered_json entry;
    entry["rank"] = i + 1;
    entry["branch"] = c.sBranch;
    entry["name"] = c.sName;
    entry["formula"] = c.sFormula;
    entry["group"] = Coordinate(c.iGroup);
    const std::string label = GroupLabel(c, grid);
    entry["group_name"] = c.iGroup >= 0 && label.front() != '[' ? nlohmann::ordered_json(label)
                                                                : nlohmann::ordered_json();
    entry["week"] = Coordinate(c.iWeek);
    entry["day"] = Coordinate(c.iDay);
    entry["block"] = Coordinate(c.iBlock);
    entry["place"] = DescribePlace(c, grid);
    entry["rating"] = c.fValue;
    document["constraints"].push_back(std::move(entry));
  }
  // Ratings that are not numbers have no JSON form; they are written as null.
  out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

// Whether two ratings differ by no more than the last bits of a rating
// computed another way: they look the same in six significant digits, or
// they lie within four units of the last place of a float, where six
// digits may still round apart (0.619047 and 0.619048).
bool SameToTheReader(float a, float b) {
  constexpr float kLastBits = 4 * std::numeric_limits<float>::epsilon();
  return FloatText(a) == FloatText(b) ||
         std::fabs(a - b) <= kLastBits * std::max(std::fabs(a), std::fabs(b));
}

void WriteRatingChanges(std::ostream& out, const CRatedRoster& before, const CRatedRoster& after,
                        std::size_t top) {
  const CRosterGrid& grid = after.grid;
  // A script may rate one place more than once under one name: such
  // constraints pair in the order of the lists, worst with worst, so that
  // a roster rated the same shows no change.
  std::map<CKey, std::deque<const CRatedConstraint*>> earlier;
  for (const CRatedConstraint& c : before.constraints) earlier[KeyOf(c, before.grid)].push_back(&c);
  struct CChange {
    const CRatedConstraint* before;
    const CRatedConstraint* after;
    float delta;
  };
  std::vector<CChange> changes;
  std::size_t onlyAfter = 0;
  std::size_t matched = 0;
  for (const CRatedConstraint& c : after.constraints) {
    const auto found = earlier.find(KeyOf(c, grid));
    if (found == earlier.end() || found->second.empty()) {
      ++onlyAfter;
      continue;
    }
    ++matched;
    const CRatedConstraint& old = *found->second.front();
    found->second.pop_front();
    if (SameToTheReader(c.fValue, old.fValue)) continue;
    changes.push_back({&old, &c, c.fValue - old.fValue});
  }
  const std::size_t onlyBefore = before.constraints.size() - matched;
  std::stable_sort(changes.begin(), changes.end(), [](const CChange& a, const CChange& b) {
    return std::fabs(a.delta) > std::fabs(b.delta);
  });
  const std::size_t shown = Shown(changes.size(), top);
  if (changes.empty()) {
    out << "No rating changed.\n";
  } else {
    out << "Ratings that changed most (" << shown << " of " << changes.size() << " changed):\n";
    CTable table({true, true, true, false, false, false});
    table.Add({"change", "before", "after", "branch", "group", "place"});
    for (std::size_t i = 0; i < shown; ++i) {
      const CChange& c = changes[i];
      table.Add({Joined(c.delta > 0 ? "+" : "", FloatText(c.delta)), FloatText(c.before->fValue),
                 FloatText(c.after->fValue), c.after->sBranch, GroupLabel(*c.after, grid),
                 DescribePlace(*c.after, grid)});
    }
    table.Write(out);
  }
  if (onlyBefore + onlyAfter > 0) {
    out << "Rated only before: " << onlyBefore << ", only after: " << onlyAfter << '\n';
  }
}
