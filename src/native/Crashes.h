// Where Linux records the crashes of a user's programs: the journal's core-dump entries,
// systemd-coredump's dump folder and apport's crash folder; and, for Hollin's own crashes, the
// journal's account of them and the system facts that judge it. Only journal fields, file names,
// modification times and small system files are read, never a dump or a report. Nothing here
// raises errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hollin::native {

// At most this many journal entries, and this many names of each folder, are read.
inline constexpr std::size_t crashListingCap = 20000;

// One core-dump entry of the journal: its fields as the journal holds them, absent when the
// entry lacks them.
struct JournalCoreDump {
  std::optional<std::string> comm, exe, timestamp, pid;  // COREDUMP_COMM, _EXE, _TIMESTAMP, _PID
  std::uint64_t realtime = 0;                            // the entry's own time, µs since 1970
  bool operator==(const JournalCoreDump&) const = default;
};

// One file of a crash folder.
struct CrashFile {
  std::string name;
  std::int64_t modified = 0;  // µs since 1970; 0 where the listing was not asked for dates
  bool operator==(const CrashFile&) const = default;
};

// Each source is absent when it could not be read: a journal without a single file this user
// may read, a folder that is missing or cannot be listed.
struct CrashSources {
  std::optional<std::vector<JournalCoreDump>> journal;
  std::optional<std::vector<CrashFile>> coreDumps;  // names only
  std::optional<std::vector<CrashFile>> apport;     // ".crash" files, with their dates
};

// The sources under root ("/" on a live machine): the journal's core-dump entries of `uid`
// written from `since` (µs since 1970) on, and the two folders whole (their names say whose
// crash each file is).
CrashSources readCrashSources(const std::string& root, std::uint32_t uid, std::uint64_t since);

// The same under the layer's host root.
CrashSources readCrashSources(std::uint32_t uid, std::uint64_t since);

// A core-dump entry of one program of ours, with what tells of the crash itself.
struct JournalOwnCoreDump {
  // COREDUMP_EXE, COREDUMP_SIGNAL, _BOOT_ID, and MESSAGE (systemd-coredump's account with the
  // stack, cut after the limit asked for and one byte, so a longer one shows as longer).
  std::optional<std::string> exe, signal, bootID, message;
  std::uint64_t realtime = 0;  // the entry's own time, µs since 1970
  bool operator==(const JournalOwnCoreDump&) const = default;
};

// The newest `count` core-dump entries of `uid` whose COREDUMP_EXE is `executable`, written
// from `since` (µs since 1970) on, newest first; absent when the journal under root cannot be
// read.
std::optional<std::vector<JournalOwnCoreDump>> readOwnCoreDumps(const std::string& root, std::uint32_t uid,
                                                                const std::string& executable,
                                                                std::uint64_t since, std::size_t count,
                                                                std::size_t messageLimit);

// kernel.core_pattern, the boot id and the system's os-release under root, whole; absent when
// unreadable.
std::optional<std::string> readCorePattern(const std::string& root);
std::optional<std::string> readBootID(const std::string& root);
std::optional<std::string> readOSRelease(const std::string& root);

}  // namespace hollin::native
