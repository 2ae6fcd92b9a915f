#include "app/platform/DataFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/platform/AtomicFile.h"
#include "core/BaseDirectories.h"

namespace hollin {
namespace {

// A parent may be a symbolic link (a home folder on another disk); it only has to be a folder.
int makeParent(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return 0;
  const int error = errno;
  struct stat status {};
  if (error == EEXIST) return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
  return error;
}

// The folder itself is judged by what was opened, so it cannot be swapped between the check and
// the change of mode.
int secureFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    struct stat status {};
    if (errno == ENOTDIR && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) return ELOOP;
    return errno;
  }
  struct stat status {};
  int error = ::fstat(fd, &status) != 0 ? errno : 0;
  if (error == 0 && status.st_uid != ::geteuid()) error = EPERM;
  if (error == 0 && (status.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0) error = errno;
  ::close(fd);
  return error;
}

}  // namespace

std::optional<std::string> dataFolderPath() {
  const auto base = dataHome(std::getenv);
  if (!base) return std::nullopt;
  return (*base / "Hollin").string();
}

int createDataFolder(const std::string& path) {
  // Each prefix ending before a '/' is a parent; the root itself always exists.
  for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (int error = makeParent(path.substr(0, slash))) return error;
  }
  return secureFolder(path);
}

std::optional<std::string> ensureDataFolder() {
  auto path = dataFolderPath();
  if (!path || createDataFolder(*path) != 0) return std::nullopt;
  return path;
}

void removeStaleTemporaries(const std::string& folder) {
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folderFd < 0) return;
  DIR* entries = ::fdopendir(folderFd);
  if (entries == nullptr) {
    ::close(folderFd);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    struct stat status {};
    // Every file Hollin writes here through a temporary is JSON; the crash handler's
    // "crash-pending" is written in place, and its name is none of a temporary's.
    const std::string_view name = entry->d_name;
    if (!isAtomicWriteTemporary(name) || !name.substr(0, name.size() - 7).ends_with(".json") ||
        ::fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::geteuid())
      continue;
    ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(entries);
}

}  // namespace hollin
