// The small text operations of configuration files, headers and firmware strings, which are
// ASCII where it matters.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace hollin {

// `text` without the `blanks` at either end.
inline std::string_view trimmedBlanks(std::string_view text, std::string_view blanks = " \t\r\n") {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// `text` with the ASCII capitals made small; every other byte as it is.
inline std::string asciiLowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace hollin
