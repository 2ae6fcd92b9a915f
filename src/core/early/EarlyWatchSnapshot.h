// The latest result of every slow watcher, as one sampling pass leaves it: what the health
// table, the early notices and the self-health record read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/WallTime.h"
#include "core/early/BackupStatus.h"
#include "core/early/BatteryHealth.h"
#include "core/early/BatteryReading.h"
#include "core/early/ChargeLimit.h"
#include "core/early/Charger.h"
#include "core/early/CrashReports.h"
#include "core/early/DiskAlerts.h"
#include "core/early/DiskForecast.h"
#include "core/early/EarlyWatchArchive.h"

namespace hollin {

struct EarlyWatchSnapshot {
  WallTime checkedAt = distantPast;          // when the last pass ran
  std::optional<bool> batteryPresent;        // unknown until the power supplies were listed
  std::optional<BatteryReading> battery;     // the last reading
  ChargerState charger;                      // unavailable until a reading
  ChargeLimit chargeLimit = ChargeLimit::unreadable;
  std::optional<BatteryHealth> health;       // the last good health, for up to a day
  std::optional<std::vector<CrashRecord>> crashes;  // absent: no crash source was readable
  BackupStatus backup;
  std::string backupSource = "unchecked";    // where the backup status came from
  std::string backupTool;                    // the backup tool's name; empty: none
  // The history as it was at the pass; shared between snapshots until it changes.
  std::shared_ptr<const EarlyWatchArchive> archive = std::make_shared<const EarlyWatchArchive>();
  DiskForecast diskForecast;
  bool persistenceOK = true;                 // the history could be read and written
  std::optional<std::uint64_t> diskAvailable;  // free bytes of the data volume
  std::optional<DiskDrain> diskDrain;
  std::optional<double> ssdCelsius;
};

// Seconds left before the disk is full at its current drain, when the picture has an estimate.
inline std::optional<double> diskDrainSecondsLeft(const EarlyWatchSnapshot& early) {
  if (!early.diskDrain) return std::nullopt;
  return early.diskDrain->secondsLeft;
}

}  // namespace hollin
