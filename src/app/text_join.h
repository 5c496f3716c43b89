// Joining texts and numbers into one string, appended part by part.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace text_join_detail {
inline void Append(std::string& text, std::string_view part) {
  text += part;
}
template <class Number, class = std::enable_if_t<std::is_arithmetic_v<Number>>>
void Append(std::string& text, Number number) {
  text += std::to_string(number);
}
}  // namespace text_join_detail

// "1 week", "2 weeks": the count and the noun, with an "s" unless one.
inline std::string Counted(long long count, std::string_view noun) {
  std::string text = std::to_string(count);
  text += ' ';
  text += noun;
  if (count != 1) text += 's';
  return text;
}

// Joined("week ", 3, "-", 4) gives "week 3-4".
template <class... Parts>
std::string Joined(const Parts&... parts) {
  std::string text;
  (text_join_detail::Append(text, parts), ...);
  return text;
}

// "a, b, c and 4 more", "a and b": the first `most` names of a list, for a
// message.
inline std::string NamesListed(const std::vector<std::string>& names, std::size_t most = 3) {
  const std::size_t shown = std::min(names.size(), most);
  std::string text;
  for (std::size_t i = 0; i < shown; ++i) {
    const bool last = i + 1 == shown && names.size() <= most;
    text += (i == 0 ? "" : last ? " and " : ", ") + names[i];
  }
  if (names.size() > most) text += Joined(" and ", names.size() - most, " more");
  return text;
}
