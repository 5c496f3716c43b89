// Joining texts and numbers into one string, appended part by part.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace text_join_detail {
inline void Append(std::string& text, std::string_view part) {
  text += part;
}
template <class Number, class = std::enable_if_t<std::is_arithmetic_v<Number>>>
void Append(std::string& text, Number number) {
  text += std::to_string(number);
}
}  // namespace text_join_detail

// Joined("week ", 3, "-", 4) gives "week 3-4".
template <class... Parts>
std::string Joined(const Parts&... parts) {
  std::string text;
  (text_join_detail::Append(text, parts), ...);
  return text;
}
