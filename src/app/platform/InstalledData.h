// Where an installed Hollin keeps its data (string tables, help): <prefix>/share/hollin, found
// from where the program itself is, so a copy installed under any prefix finds its own.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace hollin {

// What the kernel adds to a process's program path once its file was replaced or removed.
inline constexpr std::string_view deletedMark = " (deleted)";

// This program's own path (/proc/self/exe), without the " (deleted)" the kernel adds once the
// file was replaced; empty when it cannot be read.
std::string runningExecutable();

// The installed data folder of the running program; absent when it runs from its build.
std::optional<std::filesystem::path> installedDataDirectory();

}  // namespace hollin
