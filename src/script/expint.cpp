// Variable store of the script language: ordered variables with a name index,
// the two displays and the variables file.
#include <fstream>
#include <iostream>

#include "expint.h"

using script_limits::kFormulaChars;
using script_limits::kNameChars;

TVariable::TVariable(std::string_view name, std::string_view formula, float value)
    : name(fit(name, kNameChars)), value(value), formula(fit(formula, kFormulaChars)) {}

void TVariable::set_formula(std::string_view f) {
  formula = fit(f, kFormulaChars);
}

void TVarlist::insert(std::string_view n, std::string_view f, float v) {
  vars.emplace_back(n, f, v);
  TVariable& added = vars.back();
  added.computed = v == 0.0f ? 0 : 1;
  // An existing name keeps its first variable: the new one stays hidden.
  first.try_emplace(added.name, vars.size() - 1);
}

void TVarlist::remove(std::string_view n) {
  auto it = first.find(fit(n, kNameChars));
  if (it == first.end()) return;
  const std::size_t gone = it->second;
  first.erase(it);
  const std::string name = vars[gone].name;
  vars.erase(vars.begin() + static_cast<std::ptrdiff_t>(gone));
  // Only the variables behind the removed one move. The next variable of the
  // same name, if any, becomes visible. Removals near the end stay cheap.
  for (std::size_t i = gone; i < vars.size(); ++i) {
    auto entry = first.find(vars[i].name);
    if (entry == first.end()) {
      first.emplace(vars[i].name, i);
    } else if (entry->second == i + 1) {
      entry->second = i;
    }
  }
}

TVariable* TVarlist::find(std::string_view n) {
  auto it = first.find(fit(n, kNameChars));
  return it == first.end() ? nullptr : &vars[it->second];
}

const TVariable* TVarlist::find(std::string_view n) const {
  auto it = first.find(fit(n, kNameChars));
  return it == first.end() ? nullptr : &vars[it->second];
}

int TVarlist::in_list(std::string_view n) const {
  return find(n) != nullptr ? 1 : 0;
}

float TVarlist::get_value(std::string_view n) const {
  const TVariable* v = find(n);
  return v != nullptr ? v->value : 0.0f;
}

const char* TVarlist::get_formula(std::string_view n) const {
  const TVariable* v = find(n);
  return v != nullptr ? v->formula.c_str() : nullptr;
}

int TVarlist::get_comp(std::string_view n) const {
  const TVariable* v = find(n);
  return v != nullptr ? v->computed : 0;
}

void TVarlist::set_value(std::string_view n, float v) {
  if (TVariable* var = find(n)) var->value = v;
}

void TVarlist::set_formula(std::string_view n, std::string_view f) {
  if (TVariable* var = find(n)) var->set_formula(f);
}

void TVarlist::set_comp(std::string_view n, int c) {
  if (TVariable* var = find(n)) var->computed = c;
}

static const char* computed_text(const TVariable& v) {
  return v.get_comp() != 0 ? "Computed : TRUE" : "Computed : FALSE";
}

void TVarlist::show() const {
  std::cout << "\n\nList of Variables:\n";
  if (vars.empty()) {
    std::cout << "empty list ...\n";
    return;
  }
  for (std::size_t i = 0; i < vars.size(); ++i) {
    const TVariable& v = vars[i];
    std::cout << "\nName   : " << v.name << "\nFormula  : " << v.formula << "\nValue  : " << v.value
              << '\n'
              << computed_text(v) << "\n----";
  }
}

void TVarlist::show(std::string_view varname) const {
  if (vars.empty()) {
    std::cout << "empty list ...\n";
    return;
  }
  const TVariable* v = find(varname);
  if (v == nullptr) return;
  std::cout << "\nName     : " << v->name << "\nFormula  : " << v->formula
            << "\nValue    : " << v->value << '\n'
            << computed_text(*v);
}

void TVarlist::write(const std::string& file_name) const {
  std::ofstream output(file_name);
  if (!output) return;
  write(output);
}

void TVarlist::write(std::ostream& output) const {
  if (vars.empty()) return;
  output << "/* #: " << vars.size() << " */ ";
  for (const TVariable& v : vars) {
    output << '\n' << v.name << ' ' << v.formula << ' ' << v.value;
  }
}

void TVarlist::read(const std::string& file_name) {
  std::ifstream input(file_name);
  if (!input) return;
  read(input);
}

void TVarlist::read(std::istream& input) {
  std::string word;
  long count = 0;
  // The head line is "/* #: <count> */"; its marker words are not checked.
  if (!(input >> word >> word >> count >> word)) return;
  std::string name;
  std::string formula;
  float value = 0;
  for (long i = 0; i < count; ++i) {
    if (!(input >> name >> formula >> value)) return;
    insert(name, formula, value);
  }
}
