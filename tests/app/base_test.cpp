// Tests of the record base: reading the header line with and without a class
// name. (Its written form is checked with the domain's records.)
#include "base.h"
#include "capture.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace {

TEST(CBaseTest, ReadsHeaders) {
  const std::string longName(300, 'N');
  struct Case {
    const char* label;
    std::string input;
    int version;
    std::string message;
    std::string rest;
  };
  const Case cases[] = {
      {"named", "0 CShift 1 rest", 1, "", "rest"},
      {"other name", "0 CGroup 1 rest", 1, "error\nCGroup CShift\n", "rest"},
      {"short", "1 rest", 1, "", "rest"},
      {"short other version", "7 rest", 7, "", "rest"},
      {"named other version", "0 CShift 2 rest", 2, "", "rest"},
      {"line layout free", "\n\t0\n\nCShift\t4\nrest", 4, "", "rest"},
      {"long name is cut", "0 " + longName + " 1 rest", 1,
       "error\n" + longName.substr(0, kNamestrChars) + " CShift\n", "rest"},
      {"not a number", "x 2", 3, "", "x"},
      {"empty", "", 3, "", ""},
      {"no version", "0 CShift", 3, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CBase record("CShift", 3);
    std::istringstream in(c.input);
    Capture capture;
    in >> record;
    std::string rest;
    in.clear();
    in >> rest;
    EXPECT_EQ(record.GetClassVersion(), c.version);
    EXPECT_EQ(capture.str(), c.message);
    EXPECT_EQ(rest, c.rest);
    EXPECT_STREQ(record.GetClassName(), "CShift");
  }
}

}  // namespace
