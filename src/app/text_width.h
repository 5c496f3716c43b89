// Texts in the terminal's columns. Names come from the domain file in UTF-8:
// a letter such as "ë" takes two bytes but one column, a CJK character or an
// emoji two columns, and a combining mark (the accent of "é" written as "e"
// and U+0301) none. Widths are counted in columns; a text is only ever cut
// between two characters, a character being a code point with the combining
// marks that follow it. Bytes that are no UTF-8 count as one column each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whether a byte begins a code point: every byte but a continuation byte
// (0x80-0xBF) of a multi-byte one.
inline bool StartsCharacter(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// The text without a last character that is cut short: the domain reader
// keeps at most 254 bytes of a name, which may end inside a character of
// two to four bytes. Whole characters, and bytes that are no UTF-8, stay.
inline std::string_view WholeCharacters(std::string_view text) {
  const std::size_t tail = text.size() < 4 ? text.size() : 4;
  for (std::size_t back = 1; back <= tail; ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if (byte < 0x80) return text;         // ASCII: nothing is cut
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    return back < length ? text.substr(0, text.size() - back) : text;
  }
  return text;
}

// The code point that begins at byte i of a text and its length in bytes;
// a byte that begins none (a byte of another encoding such as Latin-1) gives
// itself as value, length 1, and valid false.
struct CCodePoint {
  char32_t value;
  std::size_t length;
  bool valid;
};
CCodePoint DecodeAt(std::string_view text, std::size_t i);

// The text as valid UTF-8: a byte that begins no character (a text saved in
// Latin-1 by an older editor holds "M\xFCller") becomes the Latin-1
// character it is ("Müller"); the bytes 0x80-0x9F, control characters in
// Latin-1, become the replacement character U+FFFD.
std::string ValidUtf8(std::string_view text);

// The columns a text takes in a terminal.
std::size_t TextWidth(std::string_view text);

// The characters of a text; as many as bytes for ASCII.
std::size_t CharacterCount(std::string_view text);

// The first `chars` characters of a text, each whole with its combining
// marks; the text itself when it has no more.
std::string_view FirstCharacters(std::string_view text, std::size_t chars);

// The last `chars` characters of a text, each whole; the text itself when it
// has no more.
std::string_view LastCharacters(std::string_view text, std::size_t chars);

// The text with blanks after it (PadRight) or before it (PadLeft) to `width`
// columns; a text as wide or wider stays as it is.
inline std::string PadRight(std::string_view text, std::size_t width) {
  std::string padded(text);
  const std::size_t have = TextWidth(text);
  if (have < width) padded.append(width - have, ' ');
  return padded;
}

inline std::string PadLeft(std::string_view text, std::size_t width) {
  const std::size_t have = TextWidth(text);
  std::string padded(have < width ? width - have : 0, ' ');
  padded += text;
  return padded;
}
