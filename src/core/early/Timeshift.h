// Timeshift, the system-snapshot tool: its configuration and the snapshot folders on its
// backup device.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/WallTime.h"
#include "core/early/BackupStatus.h"
#include "native/Backups.h"

namespace hollin::Timeshift {

struct Configuration {
  std::string deviceUuid;           // "backup_device_uuid"; empty until a device is chosen
  std::optional<bool> autoBackup;   // a schedule is on; absent when the file names none
  bool operator==(const Configuration&) const = default;
};

// timeshift.json. Its flags are the texts "true" and "false" (JSON Booleans are taken too);
// autoBackup is whether any of the monthly, weekly, daily, hourly and boot schedules is on.
// Nothing when it is not a JSON object or the device is not a text.
std::optional<Configuration> parseConfiguration(std::string_view bytes);

// The newest of snapshot folder names "YYYY-MM-DD_HH-MM-SS", read in `timeZone`; other names
// and dates that do not exist are passed over.
std::optional<WallTime> latestSnapshot(const std::vector<std::string>& names, std::string_view timeZone);

// What the configuration and the device's snapshot folders say.
BackupStatus status(const Configuration& configuration, const native::TimeshiftSnapshots& snapshots,
                    std::string_view timeZone);

}  // namespace hollin::Timeshift
