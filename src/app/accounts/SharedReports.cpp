#include "app/accounts/SharedReports.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QUuid>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "core/sharing/PeerReportJson.h"
#include "native/ChildProcess.h"
#include "native/SharedReportAcl.h"

namespace hollin {
namespace {

using native::Descriptor;

constexpr mode_t folderMode = 01777;       // sticky, and everybody may read, write and search
constexpr mode_t reportMode = 0600;        // the ACL then adds the sharing accounts' reading
constexpr mode_t othersMayWrite = 022;
constexpr std::string_view temporarySuffix = ".tmp";
constexpr std::size_t uuidTextLength = 36;  // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"

std::string reportName(std::uint32_t uid) { return std::to_string(uid) + ".json"; }
std::string temporaryPrefix(std::uint32_t uid) { return "." + std::to_string(uid) + "-"; }

std::string temporaryName(std::uint32_t uid) {
  return temporaryPrefix(uid) + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString() +
         std::string(temporarySuffix);
}

// A temporary name this account's publish gives: ".<uid>-<UUID>.tmp".
bool isOwnTemporary(std::string_view name, std::uint32_t uid) {
  const std::string prefix = temporaryPrefix(uid);
  return name.size() == prefix.size() + uuidTextLength + temporarySuffix.size() && name.starts_with(prefix) &&
         name.ends_with(temporarySuffix);
}

// A publish killed between creating its temporary file and renaming it leaves the file behind;
// nobody else removes it (the sticky folder keeps other accounts from it), so the account's next
// publish does. Only this account runs an instance at a time, so none of these is still being
// written.
void removeStaleTemporaries(int folder, std::uint32_t uid) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* directory = ::fdopendir(listing);
  if (directory == nullptr) {
    ::close(listing);
    return;
  }
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(directory))
    if (isOwnTemporary(entry->d_name, uid)) stale.emplace_back(entry->d_name);
  ::closedir(directory);
  for (const auto& name : stale) ::unlinkat(folder, name.c_str(), 0);
}

// errno after a call that failed, never 0: a failure must not read as "Success".
int lastError() { return errno != 0 ? errno : EIO; }

// 0, or the errno of the write that failed; a write that moves nothing is a failure too.
int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    errno = 0;
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return lastError();
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// Exactly `size` bytes of `fd`, or nothing when it ends sooner or cannot be read.
std::optional<std::string> readExactly(int fd, std::size_t size) {
  std::string bytes(size, '\0');
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got = ::read(fd, bytes.data() + filled, size - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    filled += static_cast<std::size_t>(got);
  }
  return bytes;
}

}  // namespace

LocalizedMessage ShareError::description() const {
  if (kind == Kind::folder) return msg("状態を共有するフォルダを作成・確認できません。");
  return msg("{0}（エラー {1}）", std::string(std::strerror(code)), code);
}

SharedReports::SharedReports(AccountScope scope, std::uint32_t uid, std::string folder)
    : scope_(scope), uid_(uid), folder_(std::move(folder)) {}

int SharedReports::parent(bool create) const {
  // mkdir's mode passes through the umask; only a folder made here is given its full mode.
  if (create && ::mkdir(folder_.c_str(), folderMode) == 0) {
    const Descriptor made(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (made.get() >= 0) ::fchmod(made.get(), folderMode);
  }
  const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) && (status.st_mode & folderMode) == folderMode &&
      (status.st_uid == 0 || scope_.allowedUIDs(uid_).contains(status.st_uid)))
    return fd;
  ::close(fd);
  return -1;
}

std::optional<ShareError> SharedReports::publish(const PeerReport& report) const {
  const ShareError folderError{ShareError::Kind::folder, 1};
  if (!scope_.supportsSharing() || !scope_.allowedUIDs(uid_).contains(uid_) || report.uid != uid_)
    return folderError;
  const Descriptor folder(parent(true));
  if (folder.get() < 0) return folderError;
  removeStaleTemporaries(folder.get(), uid_);

  const std::string bytes = encodePeerReport(report);
  const std::string temporary = temporaryName(uid_);
  const int fd = ::openat(folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          reportMode);
  if (fd < 0) return ShareError{ShareError::Kind::posix, lastError()};
  // The rename is the only step that makes new content visible, so any failure before it
  // leaves the previous report whole.
  int error = writeAll(fd, bytes);
  errno = 0;
  if (error == 0 && ::fchmod(fd, reportMode) != 0) error = lastError();
  if (error == 0 && hl_report_acl(fd) != 0) error = lastError();
  if (error == 0 && ::fsync(fd) != 0) error = lastError();
  if (error == 0 && ::renameat(folder.get(), temporary.c_str(), folder.get(), reportName(uid_).c_str()) != 0)
    error = lastError();
  ::close(fd);
  ::unlinkat(folder.get(), temporary.c_str(), 0);  // gone already after a rename
  if (error != 0) return ShareError{ShareError::Kind::posix, error};
  return std::nullopt;
}

std::optional<PeerReport> SharedReports::read(std::uint32_t uid, double now) const {
  if (!scope_.supportsSharing() || !scope_.allowedUIDs(uid_).contains(uid)) return std::nullopt;
  const Descriptor folder(parent(false));
  if (folder.get() < 0) return std::nullopt;
  // Non-blocking, so a FIFO planted under the name cannot stall the reader.
  const Descriptor file(
      ::openat(folder.get(), reportName(uid).c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  // Judged by what was opened, so the file cannot be swapped between the check and the read.
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != uid ||
      status.st_nlink != 1 || (status.st_mode & othersMayWrite) != 0 || status.st_size < 1 ||
      static_cast<std::uint64_t>(status.st_size) > reportSizeLimit)
    return std::nullopt;
  // The size was checked first: another account's file never makes this allocate more than the
  // limit, and a file that shrank after fstat gives a short read, which is a failure.
  const auto bytes = readExactly(file.get(), static_cast<std::size_t>(status.st_size));
  if (!bytes) return std::nullopt;
  auto report = decodePeerReport(*bytes);
  if (!report || !report->isValid(uid, now)) return std::nullopt;
  return report;
}

void SharedReports::withdraw() const {
  if (!scope_.supportsSharing()) return;
  const Descriptor folder(parent(false));
  if (folder.get() >= 0) ::unlinkat(folder.get(), reportName(uid_).c_str(), 0);
}

}  // namespace hollin
