// Tests of the variables file every evaluation leaves: whatever the file held
// before, longer or shorter, it ends holding exactly the exported store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "domtarn_test_support.h"
#include "expint.h"

namespace {

namespace fs = std::filesystem;

// Works in a folder of its own: other tests evaluate side by side in the
// shared scratch folder and write the same file name.
class VariablesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = fs::current_path();
    fs::create_directories("variables_file");
    fs::current_path("variables_file");
  }
  void TearDown() override { fs::current_path(previous); }

  fs::path previous;
};

TEST_F(VariablesFile, HoldsExactlyTheStoreWhateverItHeldBefore) {
  domain_test::TestDomain domain(1, {0, 8}, {"1100000", "0011000"});
  TVarlist vars;
  domain.InitializeVariables(&vars);
  std::ostringstream expected;
  vars.write(expected);
  const std::string store = expected.str();
  ASSERT_GT(store.size(), 100u);

  const std::string before[] = {"", std::string(store.size() * 3, 'x'), "short", store,
                                std::string(store.size() - 1, 'y')};
  for (const std::string& old : before) {
    std::ofstream(std::string("test2.dat"), std::ios::binary) << old;
    domain.Evaluate();
    EXPECT_EQ(read_file("test2.dat"), store) << "held " << old.size() << " bytes before";
  }
  fs::remove("test2.dat");
  domain.Evaluate();
  EXPECT_EQ(read_file("test2.dat"), store) << "no file before";
}

}  // namespace
