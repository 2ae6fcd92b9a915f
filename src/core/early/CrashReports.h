// Applications that keep crashing: crash records from the names the system gives its crash
// files and from the journal's core-dump entries, tallies per application, the warning and the
// health table's rows.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/L10n.h"
#include "core/WallTime.h"
#include "core/early/EarlyTableRow.h"
#include "core/early/EarlyWarning.h"
#include "native/Crashes.h"

namespace hollin {

struct CrashRecord {
  std::string name;  // the application (process) name, trimmed
  WallTime at{};     // when it crashed
  bool operator==(const CrashRecord&) const = default;
};

struct CrashTally {
  std::string name;
  int count = 0;    // crashes in the window
  WallTime last{};  // the latest of them
  bool operator==(const CrashTally&) const = default;
};

namespace CrashReports {

// How far back the sources are read: the week the table shows, and a day to spare.
inline constexpr std::chrono::hours sourceLookBack{8 * 24};

// A diagnostic report's name, "<name>-YYYY-MM-DD-HHMMSS[digits][.fraction].ips", with its
// calendar fields read in timeZone (empty: the machine's own).
std::optional<CrashRecord> parse(std::string_view fileName, std::string_view timeZone = {});

// systemd-coredump's dump file, "core.COMM.UID.BOOTID.PID.MICROSECONDS" with an optional
// compression suffix; COMM unescaped.
struct CoreDumpName {
  std::string name;
  std::uint32_t uid = 0;
  std::uint64_t pid = 0;
  std::uint64_t microseconds = 0;  // the crash's time since 1970
  bool operator==(const CoreDumpName&) const = default;
};
std::optional<CoreDumpName> parseCoreDumpName(std::string_view fileName);

// apport's report, "<executable path with '/' as '_'>.UID.crash". The name is what follows the
// last "_bin_" or "_sbin_" of the mangled path, else the whole path without its leading "_"; an
// underscore of the name itself cannot be told from a slash, so "_opt_my_tool" reads "opt_my_tool".
struct ApportName {
  std::string name;
  std::uint32_t uid = 0;
  bool operator==(const ApportName&) const = default;
};
std::optional<ApportName> parseApportName(std::string_view fileName);

// The crashes of `uid` that the sources tell, each once; absent when no source could be read.
std::optional<std::vector<CrashRecord>> fromSources(const native::CrashSources& sources,
                                                    std::uint32_t uid);

// Per application over the `days` before now (and up to 300 s after, for clock skew), the most
// crashes first, equal counts by name.
std::vector<CrashTally> tally(const std::vector<CrashRecord>& records, WallTime now, double days);

// The crash rows of the health table, given the current warnings; absent records (no source
// readable) give one "unavailable" row. Dates are shown in timeZone (empty: the machine's own).
std::vector<EarlyTableRow> rows(const std::optional<std::vector<CrashRecord>>& records,
                                const std::vector<EarlyWarning>& warnings, WallTime now,
                                std::string_view language, std::string_view timeZone = {});

}  // namespace CrashReports

namespace EarlyWarnings {

// One warning per application that crashed at least 3 times in the last 24 hours.
std::vector<EarlyWarning> crashes(const std::vector<CrashRecord>& records, WallTime now,
                                  std::string_view language = L10n::language());

}  // namespace EarlyWarnings

}  // namespace hollin
