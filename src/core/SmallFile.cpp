#include "core/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace hollin {

std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t sizeLimit) {
  // Not blocking: a FIFO put in the file's place must not hold the reader at open().
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  if (status.st_size < 0 || static_cast<std::uint64_t>(status.st_size) > sizeLimit) return std::nullopt;
  // One byte beyond the limit tells a file that grew since fstat.
  std::string bytes(sizeLimit + 1, '\0');
  std::size_t total = 0;
  while (total < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  if (total > sizeLimit) return std::nullopt;
  bytes.resize(total);
  return bytes;
}

}  // namespace hollin
