// Tests of the bottom layer: the record base reading its header line with and
// without a class name, and the shared text helpers (cutting to a capacity,
// comparing bytes a word at a time).
#include "base.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

#include "base_text.h"
#include "capture.h"

namespace {

TEST(CBaseTest, ReadsHeaders) {
  const std::string longName(300, 'N');
  const struct {
    std::string input;
    int version;
    std::string message, rest;
  } cases[] = {
      {"0 CShift 1 rest", 1, "", "rest"},
      {"0 CGroup 1 rest", 1, "error\nCGroup CShift\n", "rest"},
      {"1 rest", 1, "", "rest"},
      {"7 rest", 7, "", "rest"},
      {"0 CShift 2 rest", 2, "", "rest"},
      {"\n\t0\n\nCShift\t4\nrest", 4, "", "rest"},
      {"0 " + longName + " 1 rest", 1, "error\n" + longName.substr(0, kNamestrChars) + " CShift\n",
       "rest"},
      {"x 2", 3, "", "x"},
      {"", 3, "", ""},
      {"0 CShift", 3, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    CBase record("CShift", 3);
    std::ostringstream messages;
    record.SetMessages(&messages);
    std::istringstream in(c.input);
    Capture capture;
    in >> record;
    std::string rest;
    in.clear();
    in >> rest;
    EXPECT_EQ(record.GetClassVersion(), c.version);
    EXPECT_EQ(messages.str(), c.message);
    EXPECT_EQ(capture.str(), "");  // nothing on the console
    EXPECT_EQ(rest, c.rest);
    EXPECT_STREQ(record.GetClassName(), "CShift");
  }
}

// A record written and read back keeps its name and version; a name longer
// than the capacity is written cut, so reading it back reports no mismatch.
TEST(CBaseTest, WritesWhatItReads) {
  for (const std::string& name : {std::string("CShift"), std::string(300, 'N')}) {
    CBase written(name.c_str(), 5);
    std::ostringstream out;
    out << written;
    EXPECT_EQ(out.str(), "0 " + name.substr(0, kNamestrChars) + " 5\n");
    CBase read(name.c_str(), 1);
    std::ostringstream messages;
    read.SetMessages(&messages);
    std::istringstream in(out.str());
    in >> read;
    EXPECT_EQ(read.GetClassVersion(), 5);
    EXPECT_EQ(messages.str(), "");
  }
}

TEST(TextTest, FitAndCutNameKeepAtMostTheCapacity) {
  const struct {
    std::string_view text;
    std::size_t chars;
    std::string_view fitted;
  } cases[] = {
      {"", 4, ""},
      {"abc", 4, "abc"},
      {"abcd", 4, "abcd"},
      {"abcde", 4, "abcd"},
      {"abc", 0, ""},
      // A text may hold a terminator; it counts like any other character.
      {std::string_view("a\0bc", 4), 3, std::string_view("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fit(c.text, c.chars), c.fitted) << c.text;
    // The view points into the text: nothing is copied.
    EXPECT_EQ(fit(c.text, c.chars).data(), c.text.data());
  }
  const std::string longName(kNamestrChars + 10, 'x');
  EXPECT_EQ(CutName(longName), longName.substr(0, kNamestrChars));
  EXPECT_EQ(CutName("CShift"), "CShift");
}

// Name lookups compare texts a word at a time: a difference in any one byte
// must be seen, for every length up to beyond the longest name.
TEST(TextTest, EveryByteCounts) {
  for (std::size_t length = 0; length <= 80; ++length) {
    const std::string base(length, 'a');
    EXPECT_TRUE(same_bytes(base.data(), std::string(base).data(), length)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::string changed = base;
      changed[at] = 'b';
      EXPECT_FALSE(same_bytes(base.data(), changed.data(), length)) << length << ", " << at;
    }
  }
  EXPECT_FALSE(same_text("abc", "abcd"));
  EXPECT_TRUE(same_text("", ""));
}

}  // namespace
