// The crash records of Linux: the journal's core-dump entries through sd-journal, and the names
// (and, for apport, dates) in the two crash folders; for our own crashes also the entries' text
// and the facts that judge it. Nothing here opens a dump or a report.
#include "native/Crashes.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <systemd/sd-journal.h>
#include <systemd/sd-messages.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <memory>
#include <string_view>

namespace hollin::native {
namespace {

using Journal = std::unique_ptr<sd_journal, void (*)(sd_journal*)>;

// A field's value, from the "FIELD=value" the journal hands out, cut after `limit` bytes.
std::optional<std::string> field(sd_journal* journal, const char* name,
                                 std::size_t limit = std::string::npos) {
  const void* data = nullptr;
  std::size_t length = 0;
  if (sd_journal_get_data(journal, name, &data, &length) < 0) return std::nullopt;
  const std::string_view text(static_cast<const char*>(data), length);
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return std::string(text.substr(equals + 1, limit));
}

// The journal under root narrowed to the core-dump entries of uid and the further matches;
// null when it could not be opened or holds no file this user may read.
Journal openCoreDumps(const std::string& root, std::uint32_t uid, std::initializer_list<std::string> matches = {}) {
  sd_journal* opened = nullptr;
  if (sd_journal_open_directory(&opened, root.c_str(), SD_JOURNAL_OS_ROOT) < 0) return {nullptr, sd_journal_close};
  Journal journal(opened, sd_journal_close);
  // Files this user may not read are skipped silently; with none left the journal tells nothing,
  // which is not the same as telling of no crashes.
  std::uint64_t bytes = 0;
  if (sd_journal_get_usage(opened, &bytes) < 0 || bytes == 0) return {nullptr, sd_journal_close};
  const std::string uidMatch = "COREDUMP_UID=" + std::to_string(uid);
  if (sd_journal_add_match(opened, "MESSAGE_ID=" SD_MESSAGE_COREDUMP_STR, 0) < 0 ||
      sd_journal_add_match(opened, uidMatch.c_str(), 0) < 0)
    return {nullptr, sd_journal_close};
  for (const auto& match : matches)
    if (sd_journal_add_match(opened, match.data(), match.size()) < 0) return {nullptr, sd_journal_close};
  return journal;
}

std::optional<std::vector<JournalCoreDump>> readJournal(const std::string& root, std::uint32_t uid,
                                                        std::uint64_t since) {
  const Journal journal = openCoreDumps(root, uid);
  if (!journal || sd_journal_seek_realtime_usec(journal.get(), since) < 0) return std::nullopt;
  sd_journal* opened = journal.get();
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

// The first line of a small file under root.
std::optional<std::string> firstLineUnder(const std::string& root, std::string_view path) {
  auto text = readSmallFile(underRoot(root, path));
  if (text) text->resize(std::min(text->size(), text->find('\n')));
  return text;
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

std::optional<std::vector<JournalOwnCoreDump>> readOwnCoreDumps(const std::string& root, std::uint32_t uid,
                                                                const std::string& executable,
                                                                std::uint64_t since, std::size_t count,
                                                                std::size_t messageLimit) {
  const Journal journal = openCoreDumps(root, uid, {"COREDUMP_EXE=" + executable});
  if (!journal || sd_journal_seek_tail(journal.get()) < 0) return std::nullopt;
  sd_journal* opened = journal.get();
  // The MESSAGE of a dump with many threads runs to hundreds of kilobytes, stored compressed.
  sd_journal_set_data_threshold(opened, messageLimit + 1);
  // Entries lie in the order they were written, which a clock set back makes differ from the
  // order of their times: the walk goes over all of them (few: one program's dumps), and only
  // the newest `count` keep their fields.
  std::vector<JournalOwnCoreDump> entries;
  const auto newer = [](const JournalOwnCoreDump& a, const JournalOwnCoreDump& b) { return a.realtime > b.realtime; };
  for (std::size_t walked = 0; walked < crashListingCap && sd_journal_previous(opened) > 0; ++walked) {
    JournalOwnCoreDump entry;
    if (count == 0 || sd_journal_get_realtime_usec(opened, &entry.realtime) < 0 || entry.realtime < since ||
        (entries.size() == count && entry.realtime <= entries.back().realtime))
      continue;
    entry.exe = field(opened, "COREDUMP_EXE");
    entry.signal = field(opened, "COREDUMP_SIGNAL");
    entry.bootID = field(opened, "_BOOT_ID");
    entry.message = field(opened, "MESSAGE", messageLimit + 1);
    if (entries.size() == count) entries.pop_back();
    entries.insert(std::ranges::upper_bound(entries, entry, newer), std::move(entry));
  }
  return entries;
}

std::optional<std::string> readCorePattern(const std::string& root) { return firstLineUnder(root, files::corePattern); }

std::optional<std::string> readBootID(const std::string& root) { return firstLineUnder(root, files::bootID); }

std::optional<std::string> readOSRelease(const std::string& root) {
  if (auto text = readSmallFile(underRoot(root, files::osRelease))) return text;
  return readSmallFile(underRoot(root, files::osReleaseFallback));
}

}  // namespace hollin::native
