// A short text built in a stack buffer, for the names and numbers that the
// domain formats for every evaluation: variable names such as "plan[2][13]"
// and numbers in the two notations of the variable files.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

// Room for the longest name or number the export formats: a prefix of a few
// words and two ints, or a float in fixed notation (up to 39 digits before the
// point).
constexpr std::size_t kTextBufferChars = 96;

// A short text built in place: "plan[" 2 "][" 13 "]" and the like.
class CTextBuffer {
 public:
  CTextBuffer& operator<<(std::string_view text) {
    const std::size_t n = std::min(text.size(), sizeof(buffer) - length);
    text.copy(buffer + length, n);
    length += n;
    return *this;
  }
  CTextBuffer& operator<<(int value) { return Take(std::to_chars(buffer + length, End(), value)); }
  // A float with exactly six decimals, as printf's "%f" writes it.
  CTextBuffer& Fixed(float value) {
    int whole = 0;
    if (IsWholeBelow(value, kWholeFixedLimit, whole) && Room() >= kWholeFixedChars) {
      return *this << whole << ".000000";
    }
    return Take(std::to_chars(buffer + length, End(), value, std::chars_format::fixed, 6));
  }
  // A float in the stream's default notation: six significant digits, no
  // trailing zeros.
  CTextBuffer& General(float value) {
    int whole = 0;
    if (IsWholeBelow(value, kWholeGeneralLimit, whole)) return *this << whole;
    return Take(std::to_chars(buffer + length, End(), value, std::chars_format::general, 6));
  }
  std::string_view View() const { return {buffer, length}; }

 private:
  // Most exported numbers are whole. Below these limits a whole float is
  // written in the notation as the int it holds (the general notation turns
  // to an exponent from 1e6 on), which is far cheaper than a float conversion.
  static constexpr float kWholeGeneralLimit = 1e6f;
  static constexpr float kWholeFixedLimit = 1e9f;
  // Sign, nine digits and the decimals.
  static constexpr std::size_t kWholeFixedChars = 17;

  // True when `value` is a whole number of magnitude below `limit`, other than
  // -0 (whose sign the int would lose); `whole` is then its value.
  static bool IsWholeBelow(float value, float limit, int& whole) {
    if (!(value > -limit && value < limit)) return false;
    whole = static_cast<int>(value);
    return static_cast<float>(whole) == value && !(whole == 0 && std::signbit(value));
  }
  std::size_t Room() const { return sizeof(buffer) - length; }
  char* End() { return buffer + sizeof(buffer); }
  // A number that does not fit is left out rather than written in part.
  CTextBuffer& Take(std::to_chars_result result) {
    if (result.ec == std::errc()) length = static_cast<std::size_t>(result.ptr - buffer);
    return *this;
  }

  char buffer[kTextBufferChars];
  std::size_t length = 0;
};
