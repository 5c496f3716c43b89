// One rated constraint as the evaluation tree reports it, and the list type
// that carries a whole evaluation from the script run back to the domain.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ConstraintEvaluation {
 public:
  // Field capacities: names and branches hold 79 characters, formulas 127;
  // longer texts are cut.
  static constexpr std::size_t kNameChars = 79;
  static constexpr std::size_t kFormulaChars = 127;

  ConstraintEvaluation() = default;
  // The texts are cut as the setters cut them.
  ConstraintEvaluation(std::string_view name_text, std::string_view branch_text,
                       std::string_view formula_text, float v)
      : name(name_text.substr(0, kNameChars)),
        branch(branch_text.substr(0, kNameChars)),
        formula(formula_text.substr(0, kFormulaChars)),
        value(v) {}

  const char* GetName() const { return name.c_str(); }
  void SetName(std::string_view text) { name = text.substr(0, kNameChars); }
  const char* GetBranch() const { return branch.c_str(); }
  void SetBranch(std::string_view text) { branch = text.substr(0, kNameChars); }
  const char* GetFormula() const { return formula.c_str(); }
  void SetFormula(std::string_view text) { formula = text.substr(0, kFormulaChars); }
  float GetValue() const { return value; }
  void SetValue(float v) { value = v; }
  // All fields at once, cut as the setters cut them; the strings keep their
  // storage.
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
  std::string name;
  std::string branch;
  std::string formula;
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

inline void SortByRatingOnly(std::vector<RatedPosition>& order) {
  std::sort(order.begin(), order.end(),
            [](const RatedPosition& a, const RatedPosition& b) { return a.value < b.value; });
}
