// One rated constraint as the evaluation tree reports it, the list type
// that carries a whole evaluation from the script run back to the domain, and
// the compact sorted form the list is written from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The texts are held in place, in fields of their full capacity: writing an
// entry over another copies its texts without asking for or checking storage,
// which makes filling a list of entries kept from the list before cheap.
class ConstraintEvaluation {
 public:
  // Field capacities: names and branches hold 79 characters, formulas 127;
  // longer texts are cut.
  static constexpr std::size_t kNameChars = 79;
  static constexpr std::size_t kFormulaChars = 127;

  ConstraintEvaluation() = default;
  // The texts are cut as the setters cut them.
  ConstraintEvaluation(std::string_view name_text, std::string_view branch_text,
                       std::string_view formula_text, float v) {
    Assign(name_text, branch_text, formula_text, v);
  }

  const char* GetName() const { return name; }
  void SetName(std::string_view text) { Put(name, text); }
  const char* GetBranch() const { return branch; }
  void SetBranch(std::string_view text) { Put(branch, text); }
  const char* GetFormula() const { return formula; }
  void SetFormula(std::string_view text) { Put(formula, text); }
  float GetValue() const { return value; }
  void SetValue(float v) { value = v; }
  // All fields at once, cut as the setters cut them.
  void Assign(std::string_view name_text, std::string_view branch_text,
              std::string_view formula_text, float v) {
    SetName(name_text);
    SetBranch(branch_text);
    SetFormula(formula_text);
    value = v;
  }

  // Entries are ordered by their rating only (by reference: sorting must not copy names).
  friend bool operator<(const ConstraintEvaluation& a, const ConstraintEvaluation& b) {
    return a.value < b.value;
  }

 private:
  // A text is read as a C string: up to its first null character. Texts of
  // 4 to 16 characters, most of them, are copied as two fixed-size pieces
  // (overlapping when shorter), which compile to plain moves.
  template <std::size_t N>
  static void Put(char (&field)[N], std::string_view text) {
    const std::size_t size = std::min(text.size(), N - 1);
    if (size >= 8 && size <= 16) {
      std::memcpy(field, text.data(), 8);
      std::memcpy(field + size - 8, text.data() + size - 8, 8);
    } else if (size >= 4 && size < 8) {
      std::memcpy(field, text.data(), 4);
      std::memcpy(field + size - 4, text.data() + size - 4, 4);
    } else if (size > 0) {
      std::memcpy(field, text.data(), size);
    }
    field[size] = '\0';
  }

  char name[kNameChars + 1] = {};
  char branch[kNameChars + 1] = {};
  char formula[kFormulaChars + 1] = {};
  float value = 0;
};

using ConstraintEvaluations = std::vector<ConstraintEvaluation>;

// The rating of a list entry and where the entry stands. std::sort makes its
// comparisons and moves as the comparisons come out, and entries compare by
// their ratings alone, so sorting these pairs by rating gives the very
// permutation that sorting the entries gives, equal ratings included.
struct RatedPosition {
  float value;
  std::uint32_t position;
};

// A rating that is no number (a script can compute one) comes first, as the
// worst, the ratings that are no number in their list order: compared with
// `<` they would be equal to every rating, and the order no order at all.
// The others are sorted with `<` alone, so a list without such a rating
// sorts as it always did.
inline void SortByRatingOnly(RatedPosition* first, RatedPosition* last) {
  const auto no_number = [](const RatedPosition& r) { return r.value != r.value; };
  if (std::any_of(first, last, no_number)) first = std::stable_partition(first, last, no_number);
  std::sort(first, last,
            [](const RatedPosition& a, const RatedPosition& b) { return a.value < b.value; });
}

// One aggregated constraint of a tree: its branch (the entry), its name and
// place, one after the other in the tree's score text, and its crisp value.
// Read once at the end, plain records beat a variable store with its index.
struct TTreeScore {
  std::int32_t next;  // the branch's next score (-1: none)
  std::uint32_t branch;
  std::uint32_t text_at;
  std::uint8_t name_size;
  std::uint8_t place_size;
  float value;
};

// The rated constraints of a finished tree, sorted by rating as sorting
// their list entries sorts them, in the tree's compact form: ratings with
// score positions, the scores, their texts and the branch names. After every
// evaluation the optimizer reads only the ratings and the worst few
// constraints; the list entries, a few hundred bytes each, are written only
// when the list is asked for (TEvalTree::TakeSortedConstraints fills it).
class TRatedConstraints {
 public:
  std::size_t size() const { return order_.size(); }
  float value(std::size_t k) const { return order_[k].value; }
  // The texts of the k-th as its list entry holds them: cut to the entry's
  // field sizes and at a first null character.
  std::string_view name(std::size_t k) const {
    return held(score_text(k).substr(0, score(k).name_size), ConstraintEvaluation::kNameChars);
  }
  std::string_view branch(std::size_t k) const {
    return held(branches_[score(k).branch], ConstraintEvaluation::kNameChars);
  }
  std::string_view formula(std::size_t k) const {
    return held(score_text(k).substr(score(k).name_size, score(k).place_size),
                ConstraintEvaluation::kFormulaChars);
  }
  // Writes the entries over those of `list`, resized to hold them all.
  void write(ConstraintEvaluations& list) const {
    list.resize(size());
    for (std::size_t k = 0; k < size(); ++k) {
      list[k].Assign(name(k), branch(k), formula(k), value(k));
    }
  }

 private:
  friend class TEvalTree;
  const TTreeScore& score(std::size_t k) const { return scores_[order_[k].position]; }
  std::string_view score_text(std::size_t k) const {
    return std::string_view(text_).substr(score(k).text_at);
  }
  static std::string_view held(std::string_view text, std::size_t chars) {
    return text.substr(0, std::min(text.find('\0'), chars));
  }
  std::vector<RatedPosition> order_;
  std::vector<TTreeScore> scores_;
  std::string text_;
  std::vector<std::string> branches_;  // by entry, the head first
};
