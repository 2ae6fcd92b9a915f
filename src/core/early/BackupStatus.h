// What one reading of the backup tool's state found.
#pragma once

#include <optional>

#include "core/WallTime.h"

namespace hollin {

struct BackupStatus {
  std::optional<bool> configured;  // a backup destination is set up; absent when unknown
  std::optional<bool> autoBackup;  // scheduled backups are on; absent when unknown
  std::optional<WallTime> latest;  // the newest backup found
  bool latestReadable = false;     // the newest backup's date could be read (even as "none yet")
  bool mounted = false;            // a destination volume is mounted now

  // A status whose `latestReadable` follows `latest`.
  static BackupStatus with(std::optional<bool> configured, std::optional<bool> autoBackup,
                           std::optional<WallTime> latest, bool mounted) {
    return {configured, autoBackup, latest, latest.has_value(), mounted};
  }

  bool operator==(const BackupStatus&) const = default;
};

}  // namespace hollin
