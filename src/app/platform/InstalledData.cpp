#include "app/platform/InstalledData.h"

namespace hollin {

std::optional<std::filesystem::path> installedDataDirectory() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  // The path from the installed program's folder to the data folder, fixed when it was built.
  auto folder = (program.parent_path() / HOLLIN_DATA_FROM_PROGRAM).lexically_normal();
  if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
  return folder;
}

}  // namespace hollin
