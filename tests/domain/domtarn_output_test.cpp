// Tests of where a domain writes: the printouts of its script, the
// script's warnings and the fuzzy library's messages go to the streams the
// domain was given, each domain to its own, and nothing to the console.
// (Streams given later, as the batch commands give a log file and then the
// console again, are checked by the end-to-end cases cmd_* and div_zero_*.)
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "domtarn_test_support.h"

namespace {

using domain_test::TestDomain;

// Prints its name, warns of a missing variable and gives a fuzzy variable
// an input outside its range (reported by the fuzzy library).
std::string Script(const std::string& name) {
  return "PRINT \"" + name + "\" PRINT CR MEMDUMP nothing PRINT missing " +
         "PARAMETERSET n: r l: 0 u: 1 m: 0.5 d: 1 g: 1 i: 1 t: bad good END " +
         "FUZZYVAR k r SET k = 5";
}

// Two domains evaluating on two threads at once keep their output apart,
// every run the same, and write nothing to the console.
TEST(DomainOutput, DomainsOnTwoThreadsKeepTheirOutputApart) {
  constexpr int kEvaluations = 20;
  std::ostringstream out[2];
  std::ostringstream err[2];
  const std::string names[2] = {"left", "right"};
  {
    Capture console;
    Capture console_errors(std::cerr);
    std::thread threads[2];
    for (int i = 0; i < 2; ++i) {
      threads[i] = std::thread([&, i] {
        TestDomain domain(1, {8}, {"1111100"});
        domain.SetOutput(out[i], err[i]);
        domain.SetStaticData(Script(names[i]));
        for (int k = 0; k < kEvaluations; ++k) domain.Evaluate();
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(console.str(), "");
    EXPECT_EQ(console_errors.str(), "");
  }
  for (int i = 0; i < 2; ++i) {
    std::string expected;
    std::string errors;
    for (int k = 0; k < kEvaluations; ++k) {
      expected += names[i] +
                  "\n\nWarning: nothing is not a valid variable\n"
                  "\nDynaTARN++: Warning: variable missing does not exist.";
      errors += "Crisp input out of range!\n";
    }
    EXPECT_EQ(out[i].str(), expected) << names[i];
    EXPECT_EQ(err[i].str(), errors) << names[i];
  }
}

}  // namespace
