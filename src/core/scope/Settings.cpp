#include "core/scope/Settings.h"

namespace hollin {

std::optional<bool> MemorySettings::boolean(std::string_view key) const {
  const auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

void MemorySettings::setBoolean(std::string_view key, bool value) {
  values_.insert_or_assign(std::string(key), value);
}

std::optional<std::string> MemorySettings::text(std::string_view key) const {
  const auto found = texts_.find(key);
  if (found == texts_.end() || found->second.empty()) return std::nullopt;
  return found->second;
}

void MemorySettings::setText(std::string_view key, std::string value) {
  texts_.insert_or_assign(std::string(key), std::move(value));
}

}  // namespace hollin
