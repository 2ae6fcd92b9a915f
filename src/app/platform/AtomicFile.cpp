#include "app/platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
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

bool isAtomicWriteTemporary(std::string_view fileName) {
  constexpr std::size_t suffix = 7;  // ".XXXXXX", as mkstemp fills it
  if (fileName.size() <= suffix || fileName[fileName.size() - suffix] != '.') return false;
  const std::string_view target = fileName.substr(0, fileName.size() - suffix);
  if (target.find('.') == std::string_view::npos || target.front() == '.') return false;
  for (char c : fileName.substr(fileName.size() - suffix + 1))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

int writeFileAtomically(const std::string& path, std::string_view bytes, Durability durability, unsigned mode) {
  // mkstemp creates the file 0600 and with a unique name, so two writers never share it.
  std::string temporary = path + ".XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int error = mode == 0600 || ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
  if (error == 0) error = writeAll(fd, bytes);
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

StoredFile readStoredFile(const std::string& path, std::size_t limit) {
  using State = StoredFile::State;
  // Non-blocking, so a FIFO planted at the path cannot stall the reader.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  // A file in the place of the folder means there is no history file either.
  if (fd < 0) return {errno == ENOENT || errno == ENOTDIR ? State::missing : State::untrusted, {}};
  StoredFile file{State::untrusted, {}};
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && static_cast<std::uint64_t>(status.st_size) <= limit) {
    // Room for what fstat reported and one byte more, which tells a file that grew meanwhile.
    std::string bytes(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t filled = 0;
    ssize_t got = 0;
    while (filled < bytes.size() && (got = ::read(fd, bytes.data() + filled, bytes.size() - filled)) != 0) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      filled += static_cast<std::size_t>(got);
    }
    // A file that grew while being read is not the whole file that was judged.
    if (got >= 0 && filled < bytes.size()) {
      bytes.resize(filled);
      file = {State::read, std::move(bytes)};
    }
  }
  ::close(fd);
  return file;
}

}  // namespace hollin
