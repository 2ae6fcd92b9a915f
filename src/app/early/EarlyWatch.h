// The slow watchers' readers on the live machine: the battery, its charge limit and health, and
// the runner every external tool of theirs goes through. Each may block briefly; none runs on
// the main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/early/BackupStatus.h"
#include "core/early/BatteryHealth.h"
#include "core/early/BatteryReading.h"
#include "core/early/ChargeLimit.h"
#include "core/early/CrashReports.h"

namespace hollin::EarlyWatch {

// Output limits of a tool run.
inline constexpr std::size_t toolOutputCap = 2000000;  // bytes
inline constexpr int toolOutputSeconds = 15;           // until the end of its output
inline constexpr int toolExitSeconds = 2;              // after it, until the tool exits

// The tool's standard output, when it exits with status 0 within the limits; else nothing.
// Blocks for up to toolOutputSeconds + toolExitSeconds.
std::optional<std::string> run(const std::string& path, const std::vector<std::string>& arguments);

struct BatteryRead {
  std::optional<bool> batteryPresent;  // unknown when the power supplies could not be listed
  std::optional<BatteryReading> reading;
};
BatteryRead readBattery();
ChargeLimit readChargeLimit();
// Absent without a battery, or when the batteries say nothing of their health.
std::optional<BatteryHealth> readBatteryHealth();

// This user's crashes of the last days from the journal and the crash folders, each once;
// absent when none of them could be read.
std::optional<std::vector<CrashRecord>> readCrashes();

// The backup tool in use: Déjà Dup, then Timeshift; the first of them that is configured, else
// the first installed. `source` says where the status came from: "deja-dup" (its settings),
// "timeshift" (its configuration, no snapshot date found), "timeshift-snapshots" (a snapshot
// date found), "none" (neither is installed) or "unavailable" (installed, not readable). `tool`
// is the tool's name as the health table shows it; empty for none.
struct BackupRead {
  BackupStatus status;
  std::string source;
  std::string tool;
  bool operator==(const BackupRead&) const = default;
};
BackupRead readBackup();
// The same with the system's files (the tools' configuration, schemas, mounts, devices) read
// under `root`.
BackupRead readBackup(const std::string& root);

}  // namespace hollin::EarlyWatch
