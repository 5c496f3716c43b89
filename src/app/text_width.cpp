// Column widths of UTF-8 text: code points decoded one by one and looked up
// in two short tables, the zero-width marks and the double-width blocks.
#include "text_width.h"

#include <algorithm>
#include <array>

namespace {

struct CRange {
  char32_t first;
  char32_t last;
};

// Combining marks and other code points that take no column of their own
// (joiners, variation selectors), in order: they belong to the character
// before them.
constexpr std::array<CRange, 16> kZeroWidth = {{
    {0x0300, 0x036F},    // combining diacritical marks
    {0x0483, 0x0489},    // Cyrillic
    {0x0591, 0x05BD},    // Hebrew
    {0x0610, 0x061A},    // Arabic
    {0x064B, 0x065F},    // Arabic
    {0x0E31, 0x0E31},    // Thai
    {0x0E34, 0x0E3A},    // Thai
    {0x0E47, 0x0E4E},    // Thai
    {0x1AB0, 0x1AFF},    // combining diacritical marks extended
    {0x1DC0, 0x1DFF},    // combining diacritical marks supplement
    {0x200B, 0x200F},    // zero-width space, joiners, marks of direction
    {0x20D0, 0x20FF},    // combining marks for symbols
    {0x3099, 0x309A},    // Japanese sound marks
    {0xFE00, 0xFE0F},    // variation selectors
    {0xFE20, 0xFE2F},    // combining half marks
    {0xE0100, 0xE01EF},  // variation selectors supplement
}};

// Blocks whose characters take two columns: CJK, Hangul, full-width forms
// and the pictographs terminals draw wide, in order.
constexpr std::array<CRange, 13> kDoubleWidth = {{
    {0x1100, 0x115F},    // Hangul jamo
    {0x2E80, 0x303E},    // CJK radicals, symbols and punctuation
    {0x3041, 0x33FF},    // kana, CJK compatibility
    {0x3400, 0x4DBF},    // CJK extension A
    {0x4E00, 0x9FFF},    // CJK unified ideographs
    {0xA000, 0xA4CF},    // Yi
    {0xAC00, 0xD7A3},    // Hangul syllables
    {0xF900, 0xFAFF},    // CJK compatibility ideographs
    {0xFE30, 0xFE4F},    // CJK compatibility forms
    {0xFF00, 0xFF60},    // full-width forms
    {0xFFE0, 0xFFE6},    // full-width signs
    {0x1F300, 0x1F64F},  // pictographs, emoticons
    {0x1F900, 0x1F9FF},  // supplemental pictographs
}};

template <std::size_t N>
bool InRanges(const std::array<CRange, N>& ranges, char32_t c) {
  const auto after = std::upper_bound(ranges.begin(), ranges.end(), c,
                                      [](char32_t v, const CRange& r) { return v < r.first; });
  return after != ranges.begin() && c <= (after - 1)->last;
}

bool IsDoubleWidth(char32_t c) {
  return InRanges(kDoubleWidth, c) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsZeroWidth(std::string_view text, std::size_t i) {
  const CCodePoint c = DecodeAt(text, i);
  return c.valid && InRanges(kZeroWidth, c.value);
}

// Whether a character begins at byte i: a code point, or a byte that begins
// none, that is no zero-width mark.
bool BeginsCharacter(std::string_view text, std::size_t i) {
  return StartsCharacter(text[i]) && !IsZeroWidth(text, i);
}

}  // namespace

CCodePoint DecodeAt(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1, true};
  const std::size_t length = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length == 1 || i + length > text.size() || lead > 0xF4) return {lead, 1, false};
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[i + k]);
    if ((byte & 0xC0) != 0x80) return {lead, 1, false};
    value = value << 6 | (byte & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
    return {lead, 1, false};
  }
  return {value, length, true};
}

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const CCodePoint c = DecodeAt(text, i);
    if (c.valid) {
      valid.append(text.substr(i, c.length));
    } else if (c.value >= 0xA0) {  // a Latin-1 letter or sign: two bytes in UTF-8
      valid += static_cast<char>(0xC0 | c.value >> 6);
      valid += static_cast<char>(0x80 | (c.value & 0x3F));
    } else {
      valid += "\uFFFD";
    }
    i += c.length;
  }
  return valid;
}

std::size_t TextWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const CCodePoint c = DecodeAt(text, i);
    if (!c.valid || c.length == 1) {
      ++width;
    } else if (!InRanges(kZeroWidth, c.value)) {
      width += IsDoubleWidth(c.value) ? 2 : 1;
    }
    i += c.length;
  }
  return width;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) count += BeginsCharacter(text, i) ? 1 : 0;
  return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (BeginsCharacter(text, i) && seen++ == chars) return text.substr(0, i);
  }
  return text;
}

std::string_view LastCharacters(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = text.size(); i > 0; --i) {
    if (BeginsCharacter(text, i - 1) && ++seen == chars) return text.substr(i - 1);
  }
  return text;
}
