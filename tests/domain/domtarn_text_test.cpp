// Tests of the stack text buffer: its two float notations must give exactly
// the characters of the float conversion for every kind of value, whole
// numbers (which take a shortcut) included.
#include "domtarn_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Converted(float value, std::chars_format format) {
  char text[128];
  const auto result = std::to_chars(text, text + sizeof(text), value, format, 6);
  return std::string(text, result.ptr);
}

std::vector<float> SampleValues() {
  using limits = std::numeric_limits<float>;
  std::vector<float> values = {-0.0f,        0.33333334f, 12.75f, 999999.0f,     -999999.0f,
                               999999.5f,    1e6f,        -1e6f,  1000001.0f,    16777217.0f,
                               999999936.0f, 1e9f,        -1e9f,  2147483648.0f, -2147483648.0f,
                               3e12f,        1e-7f};
  for (float special : {limits::max(), limits::lowest(), limits::denorm_min(), limits::infinity(),
                        -limits::infinity(), limits::quiet_NaN()}) {
    values.push_back(special);
  }
  for (int i = -2000; i <= 2000; ++i) values.push_back(static_cast<float>(i));
  for (int i = -100; i <= 100; ++i) values.push_back(static_cast<float>(i) / 8.0f);
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    values.push_back(static_cast<float>(static_cast<int>(random() % 4000000u) - 2000000));
    const std::uint32_t bits = static_cast<std::uint32_t>(random());
    float any = 0;
    std::memcpy(&any, &bits, sizeof(any));
    values.push_back(any);
  }
  return values;
}

TEST(TextBuffer, FloatNotationsMatchTheFloatConversion) {
  for (const float value : SampleValues()) {
    EXPECT_EQ((CTextBuffer() << "v=").General(value).View(),
              "v=" + Converted(value, std::chars_format::general))
        << value;
    EXPECT_EQ((CTextBuffer() << "v=").Fixed(value).View(),
              "v=" + Converted(value, std::chars_format::fixed))
        << value;
  }
}

// A number without room for all its characters is left out, whole or not;
// a text is cut to the room left.
TEST(TextBuffer, NumbersThatDoNotFitAreLeftOutAndTextsAreCut) {
  const std::string filler(kTextBufferChars - 4, 'x');
  EXPECT_EQ((CTextBuffer() << filler << "abcdef"
                           << "g")
                .View(),
            filler + "abcd");
  EXPECT_EQ((CTextBuffer() << filler << "abcd" << 5).View(), filler + "abcd");
  for (const float value : {12345.0f, 12.5f, -7.0f}) {
    EXPECT_EQ((CTextBuffer() << filler).Fixed(value).View(), filler) << value;
  }
  EXPECT_EQ((CTextBuffer() << filler).General(12345.0f).View(), filler);
  EXPECT_EQ((CTextBuffer() << filler).General(-123.0f).View(), filler + "-123");
  EXPECT_EQ((CTextBuffer() << filler).General(1234.0f).View(), filler + "1234");
}

}  // namespace
