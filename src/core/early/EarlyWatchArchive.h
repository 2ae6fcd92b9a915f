// What the slow watchers remember between runs: the hourly disk series and the dates the backup
// rule needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/WallTime.h"
#include "core/early/BackupStatus.h"
#include "core/early/DiskForecast.h"

namespace hollin {

struct EarlyWatchArchive {
  static constexpr std::size_t maxDiskPoints = 720;

  std::vector<DiskFreePoint> disk;           // oldest first
  std::optional<WallTime> lastBackup;        // the newest backup date ever seen
  std::optional<WallTime> backupWatchSince;  // since when a configured destination is watched
  std::optional<WallTime> lastMounted;       // when a destination was last seen mounted

  // Each mutation reports whether the archive changed.

  // Adds a point at most once an hour, keeping 30 days and maxDiskPoints points.
  bool recordDisk(std::optional<std::uint64_t> available, std::optional<std::uint64_t> total, WallTime at);
  DiskForecast diskForecast(WallTime now) const;
  // The median of the slopes between every two points more than half an hour apart, in bytes a
  // day (negative while space is used up); nothing without such a pair.
  static std::optional<double> medianSlope(std::span<const DiskFreePoint> points);

  // Remembers the newest backup date, the watch start and the last time a destination was seen.
  bool recordBackup(const BackupStatus& status, WallTime at);
  // Remembers `latest` alone when it is newer than the remembered date and not in the future.
  bool recordBackup(std::optional<WallTime> latest, WallTime at);

  bool operator==(const EarlyWatchArchive&) const = default;
};

}  // namespace hollin
