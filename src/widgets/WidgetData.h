// Where the widget program keeps its own data: <prefix>/share/hollin-widgets beside the
// program's <prefix>/bin, with its string tables and the Info.plist that names its build. A
// copy installed under any prefix (or run from the build tree, which repeats the layout) finds
// its own.
#pragma once

#include <filesystem>
#include <optional>

namespace hollin {

// The running program, as the kernel names it; absent when that cannot be read.
std::optional<std::filesystem::path> runningProgram();
// The data folder of the program at `program`; it need not exist.
std::filesystem::path widgetDataDirectory(const std::filesystem::path& program);

}  // namespace hollin
