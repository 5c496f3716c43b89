// Fuzzy statements of the script language and the rule-set services the core
// statements use. The run's rule set holds nothing yet, so there are no fuzzy
// statements and no fuzzy variables to show or remove.
#include "inter_state.h"

std::span<const TStatement> fuzzy_statements() {
  return {};
}

std::unique_ptr<TRules> new_rule_set() {
  return std::make_unique<TRules>();
}

bool show_fuzzy_variable(TScriptRun&, std::string_view) {
  return false;
}

void remove_fuzzy_variable(TScriptRun&, std::string_view) {}
