// The helpers the files of the HTML report share: text escaped for HTML,
// group names cut to fit, numbers and colours as text.
#include "report_html.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text_join.h"
#include "text_width.h"

namespace report_html {

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : ValidUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace {

constexpr std::size_t kGroupNameChars = 18;  // longer names are cut with an ellipsis

// `text` cut to `limit` characters (UTF-8 code points) and an ellipsis in
// their middle when it has two or more beyond them.
std::string Shorten(const std::string& text, std::size_t limit) {
  // A text one character longer than the limit is as wide as its cut form.
  if (CharacterCount(text) <= limit + 1) return text;
  // Both ends stay: names of one roster mostly differ at their end ("Ward
  // North Team 1", "Ward North Team 2").
  const std::size_t head = (limit + 1) / 2;
  return Joined(FirstCharacters(text, head), "\u2026", LastCharacters(text, limit - head));
}

// The characters a name shares at its start with another.
std::size_t CommonStart(std::string_view a, std::string_view b) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
    chars += StartsCharacter(a[i]) ? 1 : 0;
  }
  return chars;
}

// `limit` characters of a text around its character `at`, with an
// ellipsis for each end cut off.
std::string WindowAround(std::string_view text, std::size_t at, std::size_t limit) {
  const std::size_t total = CharacterCount(text);
  const std::size_t inner = limit - 2;  // room for the two ellipses
  const std::size_t first = std::min(at > inner / 2 ? at - inner / 2 : 0, total - inner);
  const std::string_view from = LastCharacters(text, total - first);
  const std::string_view window = FirstCharacters(from, inner);
  return Joined(first > 0 ? "\u2026" : "", window, window.size() < from.size() ? "\u2026" : "");
}

}  // namespace

std::string ShownGroupName(const CRosterGrid& grid, const std::string& name) {
  const std::string shown = Shorten(name, kGroupNameChars);
  if (shown == name) return shown;
  std::size_t departs = 0;
  bool alike = false;
  for (const std::string& other : grid.vGroupNames) {
    if (other == name || Shorten(other, kGroupNameChars) != shown) continue;
    alike = true;
    departs = std::max(departs, CommonStart(name, other));
  }
  return alike ? WindowAround(name, departs, kGroupNameChars) : shown;
}

std::string Fixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string General(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

std::string HexColour(int red, int green, int blue) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", red & 0xFF, green & 0xFF, blue & 0xFF);
  return buffer;
}

bool IsDark(const std::string& colour) {
  const long value = std::strtol(colour.c_str() + 1, nullptr, 16);
  const double luminance =
      0.299 * ((value >> 16) & 0xFF) + 0.587 * ((value >> 8) & 0xFF) + 0.114 * (value & 0xFF);
  return luminance < 150;
}

int EvenPart(int count, int most) {
  const int parts = (count + most - 1) / most;
  return (count + parts - 1) / parts;
}

}  // namespace report_html
