#include "core/OSRelease.h"

#include "core/PlainText.h"

namespace hollin {
namespace {

std::string unquoted(std::string_view value) {
  if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') return std::string(value.substr(1, value.size() - 2));
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
  std::string text;
  for (std::size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] == '\\' && i + 2 < value.size()) ++i;
    text += value[i];
  }
  return text;
}

}  // namespace

OSReleaseFields osReleaseFields(std::string_view text) {
  OSReleaseFields fields;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trimmedBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const auto equals = line.find('=');
    if (equals != std::string_view::npos && !line.starts_with('#'))
      fields.insert_or_assign(std::string(line.substr(0, equals)), unquoted(line.substr(equals + 1)));
  }
  return fields;
}

std::string osReleaseField(const OSReleaseFields& fields, std::string_view key) {
  const auto found = fields.find(key);
  return found == fields.end() ? std::string() : found->second;
}

}  // namespace hollin
