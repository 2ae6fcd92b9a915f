#include "widgets/WidgetData.h"

namespace hollin {

std::optional<std::filesystem::path> runningProgram() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return program;
}

std::filesystem::path widgetDataDirectory(const std::filesystem::path& program) {
  // The path from the program's folder to its data, fixed when it was built.
  return (program.parent_path() / HOLLIN_WIDGETS_DATA_FROM_PROGRAM).lexically_normal();
}

}  // namespace hollin
