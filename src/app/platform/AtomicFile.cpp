#include "app/platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace hollin {
namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// A failed folder flush is not worth failing the write for: the rename has happened and the
// content is complete either way, only its durability across a power loss is weaker.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int writeFileAtomically(const std::string& path, std::string_view bytes, Durability durability) {
  // mkstemp creates the file 0600 and with a unique name, so two writers never share it.
  std::string temporary = path + ".XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int error = writeAll(fd, bytes);
  if (error == 0 && durability == Durability::durable && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  if (durability == Durability::durable) syncFolder(folderOf(path));
  return 0;
}

}  // namespace hollin
