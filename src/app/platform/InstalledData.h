// Where an installed Hollin keeps its data (string tables, help): <prefix>/share/hollin, found
// from where the program itself is, so a copy installed under any prefix finds its own.
#pragma once

#include <filesystem>
#include <optional>

namespace hollin {

// The installed data folder of the running program; absent when it runs from its build.
std::optional<std::filesystem::path> installedDataDirectory();

}  // namespace hollin
