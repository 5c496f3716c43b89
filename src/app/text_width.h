// Texts in the terminal's columns. Names come from the domain file in UTF-8,
// where a letter such as "ë" takes two bytes but one column; widths are
// therefore counted in characters (code points), and a text is only ever cut
// between two characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whether a byte begins a character: every byte but a continuation byte
// (0x80-0xBF) of a multi-byte character.
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

// The characters of a UTF-8 text; as many as bytes for ASCII.
inline std::size_t TextWidth(std::string_view text) {
  std::size_t width = 0;
  for (const char byte : text) width += StartsCharacter(byte) ? 1 : 0;
  return width;
}

// The first `chars` characters of a text, each whole; the text itself when it
// has no more.
inline std::string_view FirstCharacters(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (StartsCharacter(text[i]) && seen++ == chars) return text.substr(0, i);
  }
  return text;
}

// The last `chars` characters of a text, each whole; the text itself when it
// has no more.
inline std::string_view LastCharacters(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = text.size(); i > 0; --i) {
    if (StartsCharacter(text[i - 1]) && ++seen == chars) return text.substr(i - 1);
  }
  return text;
}

// The text with blanks after it (PadRight) or before it (PadLeft) to `width`
// characters; a text as wide or wider stays as it is.
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
