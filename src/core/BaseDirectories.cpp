#include "core/BaseDirectories.h"

namespace hollin {
namespace {

std::optional<std::filesystem::path> baseDirectory(const EnvironmentLookup& lookup, const char* variable,
                                                   const char* underHome) {
  const auto absolute = [&lookup](const char* name) -> std::optional<std::filesystem::path> {
    const char* value = lookup(name);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    return std::filesystem::path(value);
  };
  if (auto base = absolute(variable)) return base;
  if (auto home = absolute("HOME")) return *home / underHome;
  return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> dataHome(const EnvironmentLookup& lookup) {
  return baseDirectory(lookup, "XDG_DATA_HOME", ".local/share");
}

std::optional<std::filesystem::path> configHome(const EnvironmentLookup& lookup) {
  return baseDirectory(lookup, "XDG_CONFIG_HOME", ".config");
}

}  // namespace hollin
