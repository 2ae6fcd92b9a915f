// The freedesktop base directories of this user's data and configuration. A relative value of
// a variable counts as unset, as the base directory rules ask.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace hollin {

// Reads one environment variable: nullptr when it is unset (std::getenv, or a table in tests).
using EnvironmentLookup = std::function<const char*(const char*)>;

// $XDG_DATA_HOME, else $HOME/.local/share; absent when neither gives an absolute folder.
std::optional<std::filesystem::path> dataHome(const EnvironmentLookup& lookup);
// $XDG_CONFIG_HOME, else $HOME/.config; absent when neither gives an absolute folder.
std::optional<std::filesystem::path> configHome(const EnvironmentLookup& lookup);

}  // namespace hollin
