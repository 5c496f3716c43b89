// Reading a rated constraint's place from its formula.
#include "analysis.h"

#include "text_join.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr int kDaysPerWeek = 7;

enum class Second { kNone, kWeek, kDay, kBlock };

// What the second bracketed index means for the branches the roster's
// evaluation knows.
struct CBranchPlace {
  std::string_view branch;
  Second second;
};
constexpr CBranchPlace kBranchPlaces[] = {
    {"WORKINGHOURS", Second::kWeek}, {"DIFFHOURS", Second::kWeek},
    {"BADWEEKENDS", Second::kWeek},  {"SHIFTBLOCKS", Second::kBlock},
    {"FREEWEEKENDS", Second::kNone},
};

// Branches the table does not know: the name in front of the brackets.
Second SecondByName(std::string_view formula) {
  const std::string_view name = formula.substr(0, formula.find('['));
  if (name.find("week") != std::string_view::npos) return Second::kWeek;
  if (name.find("block") != std::string_view::npos) return Second::kBlock;
  if (name.find("day") != std::string_view::npos) return Second::kDay;
  return Second::kNone;
}

// Branches whose week index stands for a week and the one after it.
bool SpansTwoWeeks(std::string_view branch) {
  return branch == "DIFFHOURS" || branch == "BADWEEKENDS";
}

// An index counted from 1 (and the one after it), without overflow for the
// largest index a script may give.
std::int64_t FromOne(int index) {
  return std::int64_t{index} + 1;
}

}  // namespace

std::vector<int> BracketedIndices(std::string_view formula) {
  std::vector<int> indices;
  std::size_t open = formula.find('[');
  while (open != std::string_view::npos) {
    const std::size_t close = formula.find(']', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view digits = formula.substr(open + 1, close - open - 1);
    int value = 0;
    const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || rest != digits.data() + digits.size() || digits.empty()) break;
    indices.push_back(value);
    open = formula.find('[', close + 1);
  }
  return indices;
}

CPlace DecodePlace(std::string_view branch, std::string_view formula) {
  CPlace place;
  const std::vector<int> indices = BracketedIndices(formula);
  if (indices.empty()) return place;
  place.iGroup = indices[0];
  if (indices.size() < 2) return place;
  const auto known = std::find_if(std::begin(kBranchPlaces), std::end(kBranchPlaces),
                                  [&](const CBranchPlace& p) { return p.branch == branch; });
  const Second second = known != std::end(kBranchPlaces) ? known->second : SecondByName(formula);
  if (second == Second::kWeek) place.iWeek = indices[1];
  if (second == Second::kDay) place.iDay = indices[1];
  if (second == Second::kBlock) place.iBlock = indices[1];
  return place;
}

std::vector<CBlockSpan> BlocksOfRow(const std::vector<int>& row) {
  std::vector<CBlockSpan> blocks;
  std::size_t day = 0;
  while (day < row.size()) {
    while (day < row.size() && row[day] == 0) ++day;
    const std::size_t start = day;
    while (day < row.size() && row[day] != 0) ++day;
    if (day >= row.size()) break;
    blocks.push_back({static_cast<int>(start), static_cast<int>(day - start)});
  }
  return blocks;
}

std::optional<CBlockSpan> BlockOf(const CRatedConstraint& constraint, const CRosterGrid& grid) {
  const CRatedConstraint& c = constraint;
  const auto group = static_cast<std::size_t>(c.iGroup);
  if (c.iBlock < 0 || c.iGroup < 0 || group >= grid.vCells.size()) return std::nullopt;
  const std::vector<CBlockSpan> blocks = BlocksOfRow(grid.vCells[group]);
  if (static_cast<std::size_t>(c.iBlock) >= blocks.size()) return std::nullopt;
  return blocks[static_cast<std::size_t>(c.iBlock)];
}

std::string DescribePlace(const CRatedConstraint& constraint, const CRosterGrid& grid) {
  const CRatedConstraint& c = constraint;
  if (c.iBlock >= 0) {
    const std::string text = Joined("block ", FromOne(c.iBlock));
    const std::optional<CBlockSpan> block = BlockOf(c, grid);
    if (!block) return text;
    if (block->iSize == 1) return Joined(text, " (day ", block->iStart + 1, ")");
    return Joined(text, " (days ", block->iStart + 1, "-", block->iStart + block->iSize, ")");
  }
  if (c.iWeek >= 0) {
    if (SpansTwoWeeks(c.sBranch)) {
      return Joined("weeks ", FromOne(c.iWeek), "-", FromOne(c.iWeek) + 1);
    }
    return Joined("week ", FromOne(c.iWeek));
  }
  if (c.iDay >= 0) {
    return Joined("day ", FromOne(c.iDay), " (week ", c.iDay / kDaysPerWeek + 1, ")");
  }
  return {};
}

CWeekSpan WeeksOf(const CRatedConstraint& constraint, const CRosterGrid& grid) {
  const CRatedConstraint& c = constraint;
  if (c.iBlock >= 0) {
    const std::optional<CBlockSpan> block = BlockOf(c, grid);
    if (!block) return {};
    return {block->iStart / kDaysPerWeek, (block->iStart + block->iSize - 1) / kDaysPerWeek};
  }
  if (c.iWeek >= 0) {
    const bool two = SpansTwoWeeks(c.sBranch) && c.iWeek < std::numeric_limits<int>::max();
    return {c.iWeek, two ? c.iWeek + 1 : c.iWeek};
  }
  if (c.iDay >= 0) return {c.iDay / kDaysPerWeek, c.iDay / kDaysPerWeek};
  return {};
}

std::string GroupLabel(const CRatedConstraint& constraint, const CRosterGrid& grid) {
  if (constraint.iGroup < 0) return "-";
  const auto group = static_cast<std::size_t>(constraint.iGroup);
  if (group < grid.vGroupNames.size()) return grid.vGroupNames[group];
  // A group the roster lacks, counted from 1 as the report names it.
  return Joined("group ", std::int64_t{constraint.iGroup} + 1);
}
