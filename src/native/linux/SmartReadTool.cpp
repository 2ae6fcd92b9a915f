// hollin-smart-read: writes the SMART / Health Information log page of the NVMe drive behind
// the caller's home folder to standard output, exactly 512 bytes, and nothing else.
//
// Reading the page takes an NVMe admin command on the controller's device, which needs
// CAP_SYS_ADMIN, and opening that root-only device needs CAP_DAC_READ_SEARCH; the program gets
// the two as file capabilities and is never setuid. It therefore trusts nothing of its caller:
// it takes no arguments and reads no environment; the home folder comes from the password
// database and the drive from the mount table and sysfs, by the same rule as the application.
// Any failure exits non-zero having written nothing.
#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"
#include "native/linux/SSDReaders.h"

#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

enum Exit { success = 0, failed = 1, usage = 2 };

constexpr std::uint8_t getLogPage = 0x02;
constexpr std::uint32_t smartHealthLog = 0x02;
constexpr std::uint32_t everyNamespace = 0xFFFFFFFF;

}  // namespace

int main(int argc, char**) {
  if (argc != 1) return usage;
  const passwd* user = getpwuid(getuid());
  if (!user || !user->pw_dir || user->pw_dir[0] != '/') return failed;
  const std::string home = hollin::native::realFolder(user->pw_dir);
  const auto drive = hollin::native::findSSDDrive("/", home, std::string(hollin::native::files::mountinfo));
  if (!drive) return failed;

  const std::string device = std::string(hollin::native::files::devices) + drive->controller;
  const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return failed;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return failed;  // a controller is a character device

  alignas(4096) std::uint8_t page[512];
  std::memset(page, 0, sizeof page);
  nvme_admin_cmd command{};
  command.opcode = getLogPage;
  command.nsid = everyNamespace;
  command.addr = reinterpret_cast<std::uintptr_t>(page);
  command.data_len = sizeof page;
  command.cdw10 = smartHealthLog | ((sizeof page / 4 - 1) << 16);  // number of dwords, less one
  const int status = ::ioctl(fd, NVME_IOCTL_ADMIN_CMD, &command);
  ::close(fd);
  if (status != 0) return failed;  // < 0: the call failed; > 0: the drive's own error status

  // One write of less than a pipe's atomic size: the reader gets the whole page or nothing.
  std::size_t written = 0;
  while (written < sizeof page) {
    const ssize_t done = ::write(STDOUT_FILENO, page + written, sizeof page - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return failed;
    written += static_cast<std::size_t>(done);
  }
  return success;
}
