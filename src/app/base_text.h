// Text helpers every layer shares: cutting a text to a capacity, and short
// texts read and compared a word at a time, in place (the name tables of the
// fuzzy library and the script's variable store compare and hash names of a
// few characters far more often than anything else).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Cuts a text to at most `chars` characters; every name and formula field
// that has a capacity takes its text through this.
inline std::string_view fit(std::string_view text, std::size_t chars) {
  return text.substr(0, chars);
}

namespace text_words {

// Words of 4 and 8 bytes read from any position.
inline std::uint32_t word4(const unsigned char* at) {
  std::uint32_t w = 0;
  std::memcpy(&w, at, sizeof w);
  return w;
}

inline std::uint64_t word8(const unsigned char* at) {
  std::uint64_t w = 0;
  std::memcpy(&w, at, sizeof w);
  return w;
}

// The n < 8 bytes at p as one word: two overlapping 4-byte words from 4
// bytes on, single bytes below. Equal lengths give equal words only for equal
// bytes.
inline std::uint64_t short_word(const unsigned char* p, std::size_t n) {
  if (n >= 4) return word4(p) | std::uint64_t{word4(p + n - 4)} << 32;
  std::uint64_t w = 0;
  for (std::size_t i = 0; i < n; ++i) w |= std::uint64_t{p[i]} << (8 * i);
  return w;
}

}  // namespace text_words

// Whether n bytes at a and b are equal. The libraries compare short texts and
// point lists, for which words compared in place beat a library call; the
// last word may overlap the one before it.
inline bool same_bytes(const void* a, const void* b, std::size_t n) {
  using text_words::word8;
  const auto* p = static_cast<const unsigned char*>(a);
  const auto* q = static_cast<const unsigned char*>(b);
  if (n < 8) return text_words::short_word(p, n) == text_words::short_word(q, n);
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    if (word8(p + i) != word8(q + i)) return false;
  }
  return word8(p + n - 8) == word8(q + n - 8);
}

inline bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && same_bytes(a.data(), b.data(), a.size());
}

// Appends a text through the library's copy. A text the compiler knows to
// be short, cut to a name's size, is otherwise copied inline by a block-copy
// instruction whose start costs more than copying a few dozen characters.
[[gnu::noinline]] inline void append_text(std::string& to, std::string_view text) {
  to.append(text);
}

// Copies a text to `out`, which has room for it, as append_text does, and
// gives the end of the copy.
[[gnu::noinline]] inline char* copy_text(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// Whether a name is `prefix` followed by a number from 1 up, written without
// leading zeros (o1, worker12): the names of numbered files and folders.
inline bool numbered_name(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || !name.starts_with(prefix)) return false;
  if (name[prefix.size()] == '0') return false;
  for (const char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}
