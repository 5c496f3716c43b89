// Entry point of every unit-test executable. CTest runs each test as its own
// process, several at a time, and many tests write files with fixed names
// ("test2.dat", "c.dat", pass files); so every process works in a fresh
// folder of its own below the area's scratch folder, removed at the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include <unistd.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const std::filesystem::path home = std::filesystem::current_path();
  std::string pattern = (home / "run.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::cerr << "cannot create a scratch folder in " << home << '\n';
    return EXIT_FAILURE;
  }
  const std::filesystem::path scratch = pattern;
  std::filesystem::current_path(scratch);
  const int result = RUN_ALL_TESTS();
  std::filesystem::current_path(home);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return result;
}
