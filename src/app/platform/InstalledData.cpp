#include "app/platform/InstalledData.h"

namespace hollin {

std::string runningExecutable() {
  std::error_code error;
  std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
  if (error) return {};
  if (path.ends_with(deletedMark)) path.resize(path.size() - deletedMark.size());
  return path;
}

std::optional<std::filesystem::path> installedDataDirectory() {
  const std::filesystem::path program = runningExecutable();
  if (program.empty()) return std::nullopt;
  std::error_code error;
  // The path from the installed program's folder to the data folder, fixed when it was built.
  auto folder = (program.parent_path() / HOLLIN_DATA_FROM_PROGRAM).lexically_normal();
  if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
  return folder;
}

}  // namespace hollin
