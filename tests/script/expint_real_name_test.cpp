// Tests of index resolution on texts at and past the formula size: names
// without an index are cut like resolved ones, and text after the last index
// is kept.
#include <gtest/gtest.h>

#include <string>

#include "expint.h"

namespace {

TEST(RealNameSize, TextsAreCutToTheFormulaSizeWithOrWithoutIndices) {
  TVarlist store;
  store.insert("i", "2", 2);
  const std::size_t size = script_limits::kFormulaChars;
  struct Case {
    std::string name;
    std::string resolved;
  } cases[] = {
      {std::string(size, 'a'), std::string(size, 'a')},
      {std::string(size + 5, 'b'), std::string(size, 'b')},
      {"x[i]" + std::string(size, 'c'), "x[2]" + std::string(size - 4, 'c')},
      {std::string(size - 3, 'd') + "[i]", std::string(size - 3, 'd') + "[2]"},
      {std::string(size - 2, 'e') + "[i]", std::string(size - 2, 'e') + "[2"},
      {"y[i].z[i]w", "y[2].z[2]w"},
  };
  for (Case& c : cases) {
    const std::string name = c.name;
    EXPECT_EQ(store.real_name(c.name), c.resolved) << name;
  }
}

}  // namespace
