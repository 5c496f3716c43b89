// Tests of the script reader's word reading against a plain scan of the text:
// from every position a jump can reach, also inside words and blank runs,
// and after numbers read from the front of a word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inter_state.h"

namespace {

bool blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The words from `pos` on, as reading the text character by character gives
// them, cut to the word size.
std::vector<std::string> scan(const std::string& text, std::size_t pos) {
  std::vector<std::string> words;
  for (;;) {
    while (pos < text.size() && blank(text[pos])) ++pos;
    if (pos == text.size()) return words;
    const std::size_t start = pos;
    while (pos < text.size() && !blank(text[pos])) ++pos;
    words.push_back(text.substr(start, std::min(pos - start, script_limits::kFormulaChars)));
  }
}

std::vector<std::string> read_all(TScriptReader& reader) {
  std::vector<std::string> words;
  for (std::string_view w = reader.next_word(); !w.empty(); w = reader.next_word()) {
    words.emplace_back(w);
  }
  return words;
}

TEST(ScriptReaderWords, EveryPositionReadsOnLikeAPlainScan) {
  const std::string texts[] = {
      "  LET x = 1\n\tPRINT x  ",        "a", "", "   ", "FOR i = 0 TO 3 STEP 1\nNEXT i",
      std::string(130, 'w') + " tail\n",
  };
  for (const std::string& text : texts) {
    TScriptReader reader(text);
    for (std::size_t pos = 0; pos <= text.size(); ++pos) {
      reader.seek(pos);
      EXPECT_EQ(read_all(reader), scan(text, pos)) << "'" << text << "' from " << pos;
      EXPECT_TRUE(reader.at_end());
    }
  }
}

TEST(ScriptReaderWords, WordsAfterNumbersAndJumpsBack) {
  const std::string text = "x 12abc 3 y z";
  TScriptReader reader(text);
  EXPECT_EQ(reader.next_word(), "x");
  EXPECT_EQ(reader.next_number(), 12.0f);
  EXPECT_EQ(reader.next_word(), "abc");
  EXPECT_EQ(reader.next_word(), "3");
  reader.seek(0);
  EXPECT_EQ(reader.next_word(), "x");
  reader.skip_from_start(3);
  EXPECT_EQ(reader.next_word(), "y");
  reader.seek(4);  // inside "12abc"
  EXPECT_EQ(reader.next_word(), "abc");
  EXPECT_EQ(reader.next_word(), "3");
  EXPECT_EQ(reader.next_word(), "y");
}

}  // namespace
