// Fuzzy statements of the script language. None is provided yet.
#include "inter_state.h"

std::span<const TStatement> fuzzy_statements() {
  return {};
}
