// The crash records of Linux: the journal's core-dump entries through sd-journal, and the names
// (and, for apport, dates) in the two crash folders. Nothing here opens a dump or a report.
#include "native/Crashes.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <systemd/sd-journal.h>
#include <systemd/sd-messages.h>

#include <cerrno>
#include <memory>
#include <string_view>

namespace hollin::native {
namespace {

// A field's value, from the "FIELD=value" the journal hands out.
std::optional<std::string> field(sd_journal* journal, const char* name) {
  const void* data = nullptr;
  std::size_t length = 0;
  if (sd_journal_get_data(journal, name, &data, &length) < 0) return std::nullopt;
  const std::string_view text(static_cast<const char*>(data), length);
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return std::string(text.substr(equals + 1));
}

std::optional<std::vector<JournalCoreDump>> readJournal(const std::string& root, std::uint32_t uid,
                                                        std::uint64_t since) {
  sd_journal* opened = nullptr;
  if (sd_journal_open_directory(&opened, root.c_str(), SD_JOURNAL_OS_ROOT) < 0) return std::nullopt;
  const std::unique_ptr<sd_journal, void (*)(sd_journal*)> journal(opened, sd_journal_close);
  // Files this user may not read are skipped silently; with none left the journal tells nothing,
  // which is not the same as telling of no crashes.
  std::uint64_t bytes = 0;
  if (sd_journal_get_usage(opened, &bytes) < 0 || bytes == 0) return std::nullopt;
  const std::string uidMatch = "COREDUMP_UID=" + std::to_string(uid);
  if (sd_journal_add_match(opened, "MESSAGE_ID=" SD_MESSAGE_COREDUMP_STR, 0) < 0 ||
      sd_journal_add_match(opened, uidMatch.c_str(), 0) < 0 ||
      sd_journal_seek_realtime_usec(opened, since) < 0)
    return std::nullopt;
  std::vector<JournalCoreDump> entries;
  // A damaged stretch ends the walk; what was read before it still counts.
  while (entries.size() < crashListingCap && sd_journal_next(opened) > 0) {
    JournalCoreDump entry;
    entry.comm = field(opened, "COREDUMP_COMM");
    entry.exe = field(opened, "COREDUMP_EXE");
    entry.timestamp = field(opened, "COREDUMP_TIMESTAMP");
    entry.pid = field(opened, "COREDUMP_PID");
    if (sd_journal_get_realtime_usec(opened, &entry.realtime) < 0) continue;
    entries.push_back(std::move(entry));
  }
  return entries;
}

// The names in folder ending in suffix, with their modification times when `dated`; absent when
// the folder is missing or cannot be listed to the end.
std::optional<std::vector<CrashFile>> listFolder(const std::string& folder, std::string_view suffix,
                                                 bool dated) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<CrashFile> files;
  for (std::size_t listed = 0; listed < crashListingCap; ++listed) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) {
      if (errno != 0) return std::nullopt;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !name.ends_with(suffix)) continue;
    CrashFile file{std::string(name), 0};
    if (dated) {
      struct stat status {};
      // A report removed since the listing is simply gone.
      if (::fstatat(::dirfd(dir.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISREG(status.st_mode))
        continue;
      file.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000 +
                      status.st_mtim.tv_nsec / 1000;
    }
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace

CrashSources readCrashSources(const std::string& root, std::uint32_t uid, std::uint64_t since) {
  return {
      .journal = readJournal(root, uid, since),
      .coreDumps = listFolder(underRoot(root, files::coreDumps), "", false),
      // Apport's ".upload" and ".uploaded" markers and its lock are no crashes.
      .apport = listFolder(underRoot(root, files::apportCrashes), ".crash", true),
  };
}

CrashSources readCrashSources(std::uint32_t uid, std::uint64_t since) {
  return readCrashSources(hostRoot(), uid, since);
}

}  // namespace hollin::native
