// A short text built in a stack buffer, for the names and numbers that the
// domain formats for every evaluation: variable names such as "plan[2][13]"
// and numbers in the two notations of the variable files.
#pragma once

#include <algorithm>
#include <charconv>
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
    return Take(std::to_chars(buffer + length, End(), value, std::chars_format::fixed, 6));
  }
  // A float in the stream's default notation: six significant digits, no
  // trailing zeros.
  CTextBuffer& General(float value) {
    return Take(std::to_chars(buffer + length, End(), value, std::chars_format::general, 6));
  }
  std::string_view View() const { return {buffer, length}; }

 private:
  char* End() { return buffer + sizeof(buffer); }
  // A number that does not fit is left out rather than written in part.
  CTextBuffer& Take(std::to_chars_result result) {
    if (result.ec == std::errc()) length = static_cast<std::size_t>(result.ptr - buffer);
    return *this;
  }

  char buffer[kTextBufferChars];
  std::size_t length = 0;
};
