// Text the domain formats for every evaluation: the numbers of the variable
// files in their two notations, and a short text built in a stack buffer for
// variable names such as "plan[2][13]".
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <system_error>

// Room for the longest name or number the export formats: a prefix of a few
// words and two ints, or a float in fixed notation (up to 39 digits before the
// point).
constexpr std::size_t kTextBufferChars = 96;

namespace domtarn_text {

// Most exported numbers are whole. Below these limits a whole float is
// written in a notation as the int it holds (the general notation turns to an
// exponent from 1e6 on), which is far cheaper than a float conversion.
inline constexpr float kWholeGeneralLimit = 1e6f;
inline constexpr float kWholeFixedLimit = 1e9f;

// True when `value` is a whole number of magnitude below `limit`, other than
// -0 (whose sign the int would lose); `whole` is then its value.
inline bool IsWholeBelow(float value, float limit, int& whole) {
  if (!(value > -limit && value < limit)) return false;
  whole = static_cast<int>(value);
  return static_cast<float>(whole) == value && !(whole == 0 && std::signbit(value));
}

}  // namespace domtarn_text

// A float in the stream's default notation (six significant digits, no
// trailing zeros), into [first, last) as std::to_chars writes.
inline std::to_chars_result ToCharsGeneral(char* first, char* last, float value) {
  int whole = 0;
  if (domtarn_text::IsWholeBelow(value, domtarn_text::kWholeGeneralLimit, whole)) {
    return std::to_chars(first, last, whole);
  }
  return std::to_chars(first, last, value, std::chars_format::general, 6);
}

// A float with exactly six decimals, as printf's "%f" writes it, into
// [first, last) as std::to_chars writes.
inline std::to_chars_result ToCharsFixed(char* first, char* last, float value) {
  int whole = 0;
  if (domtarn_text::IsWholeBelow(value, domtarn_text::kWholeFixedLimit, whole)) {
    constexpr std::string_view kDecimals = ".000000";
    const std::to_chars_result digits = std::to_chars(first, last, whole);
    if (digits.ec != std::errc() ||
        last - digits.ptr < static_cast<std::ptrdiff_t>(kDecimals.size())) {
      return {last, std::errc::value_too_large};
    }
    std::memcpy(digits.ptr, kDecimals.data(), kDecimals.size());
    return {digits.ptr + kDecimals.size(), std::errc()};
  }
  return std::to_chars(first, last, value, std::chars_format::fixed, 6);
}

// A short text built in place: "plan[" 2 "][" 13 "]" and the like.
class CTextBuffer {
 public:
  // A text that does not fit is cut to the room left. The common whole copy
  // is kept apart, so that a literal's copy is inlined at its known size.
  CTextBuffer& operator<<(std::string_view text) {
    const std::size_t n = text.size() <= Room() ? text.size() : Room();
    if (n == text.size()) {
      std::memcpy(buffer + length, text.data(), text.size());
    } else {
      std::memcpy(buffer + length, text.data(), n);
    }
    length += n;
    return *this;
  }
  CTextBuffer& operator<<(int value) { return Take(std::to_chars(buffer + length, End(), value)); }
  CTextBuffer& Fixed(float value) { return Take(ToCharsFixed(buffer + length, End(), value)); }
  CTextBuffer& General(float value) { return Take(ToCharsGeneral(buffer + length, End(), value)); }
  std::string_view View() const { return {buffer, length}; }

 private:
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
