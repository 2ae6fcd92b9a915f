#include "app/platform/DataFolder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace hollin {
namespace {

std::optional<std::string> absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

int makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return 0;
  int error = errno;
  struct stat status {};
  if (error == EEXIST) return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
  return error;
}

}  // namespace

std::optional<std::string> dataFolderPath() {
  if (auto base = absoluteVariable("XDG_DATA_HOME")) return *base + "/Hollin";
  if (auto home = absoluteVariable("HOME")) return *home + "/.local/share/Hollin";
  return std::nullopt;
}

int createDataFolder(const std::string& path) {
  // Each prefix ending before a '/' is a parent; the root itself always exists.
  for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (int error = makeFolder(path.substr(0, slash))) return error;
  }
  return makeFolder(path);
}

std::optional<std::string> ensureDataFolder() {
  auto path = dataFolderPath();
  if (!path || createDataFolder(*path) != 0) return std::nullopt;
  return path;
}

}  // namespace hollin
