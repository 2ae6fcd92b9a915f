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

}  // namespace hollin
