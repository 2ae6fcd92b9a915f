// The slow watchers inside the application. Every sampling pass hands the early watch the
// sampled disk figures, the uptime and the SSD temperature; it runs the quick readers that are
// due at once (the battery every minute, the crash sources every half hour), the slow ones (the
// battery's health, the backup tools) on a thread of their own each, whose results come back
// through a locked inbox one pass later, feeds the history and keeps the picture of the pass.
//
// The readers themselves, on the live machine, are the static functions; each may block
// briefly and none runs on the main thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/early/EarlyWatchRecorder.h"
#include "app/platform/WriteOutcomeLog.h"
#include "core/early/BackupStatus.h"
#include "core/early/BatteryHealth.h"
#include "core/early/BatteryReading.h"
#include "core/early/ChargeLimit.h"
#include "core/early/Charger.h"
#include "core/early/CrashReports.h"
#include "core/early/DiskAlerts.h"
#include "core/early/EarlyWatchSnapshot.h"

namespace hollin {

class SerialQueue;

class EarlyWatch {
 public:
  // Output limits of a tool run.
  static constexpr std::size_t toolOutputCap = 2000000;  // bytes
  static constexpr int toolOutputSeconds = 15;           // until the end of its output
  static constexpr int toolExitSeconds = 2;              // after it, until the tool exits

  // The tool's standard output, when it exits with status 0 within the limits; else nothing.
  // Blocks for up to toolOutputSeconds + toolExitSeconds.
  static std::optional<std::string> run(const std::string& path, const std::vector<std::string>& arguments);

  struct BatteryRead {
    std::optional<bool> batteryPresent;  // unknown when the power supplies could not be listed
    std::optional<BatteryReading> reading;
  };
  static BatteryRead readBattery();
  static ChargeLimit readChargeLimit();
  // Absent without a battery, or when the batteries say nothing of their health.
  static std::optional<BatteryHealth> readBatteryHealth();

  // This user's crashes of the last days from the journal and the crash folders, each once;
  // absent when none of them could be read.
  static std::optional<std::vector<CrashRecord>> readCrashes();

  // The backup tool in use: Déjà Dup, then Timeshift; the first of them that is configured,
  // else the first installed. `source` says where the status came from: "deja-dup" (its
  // settings), "timeshift" (its configuration, no snapshot date found), "timeshift-snapshots" (a
  // snapshot date found), "none" (neither is installed) or "unavailable" (installed, not
  // readable). `tool` is the tool's name as the health table shows it; empty for none.
  struct BackupRead {
    BackupStatus status;
    std::string source;
    std::string tool;
    bool operator==(const BackupRead&) const = default;
  };
  static BackupRead readBackup();
  // The same with the system's files (the tools' configuration, schemas, mounts, devices) read
  // under `root`.
  static BackupRead readBackup(const std::string& root);

  // Where the readings come from; tests give their own.
  struct Sources {
    std::function<BatteryRead()> battery;
    std::function<ChargeLimit()> chargeLimit;
    std::function<std::optional<BatteryHealth>()> health;  // on the health thread
    std::function<std::optional<std::vector<CrashRecord>>()> crashes;
    std::function<BackupRead()> backup;  // on the backup thread
  };
  static Sources liveSources();

  // The jobs and how often each is due, in seconds.
  static constexpr const char* batteryJob = "battery";
  static constexpr const char* healthJob = "health";
  static constexpr const char* crashJob = "crash";
  static constexpr const char* backupJob = "backup";
  static constexpr double batteryInterval = 60;
  static constexpr double healthInterval = 21600;
  static constexpr double crashInterval = 1800;
  static constexpr double backupInterval = 1800;
  static constexpr double healthKeptFor = 86400;  // a failed health read keeps the last good one

  // `historyPath`: the history file; absent: the history is kept in memory only. The history is
  // loaded at the first pass.
  EarlyWatch(Sources sources, std::optional<std::string> historyPath, WriteOutcomeLog::Log log = {});
  ~EarlyWatch();
  EarlyWatch(const EarlyWatch&) = delete;
  EarlyWatch& operator=(const EarlyWatch&) = delete;

  // Whether the job `name` runs now; if so, it is next due `every` seconds later. A due time
  // further ahead than one interval (left by a clock set back) does not hold the job back.
  bool due(const std::string& name, double every, WallTime now);
  // Runs `work` on the job's own thread unless it is still running there; a job that is still
  // running, or has no thread, is asked for again at the next pass.
  void background(const std::string& name, std::function<void()> work);

  // One pass: the free and total bytes of the data volume (absent when not read), the uptime,
  // the SSD temperature, the date. Sampling thread only.
  EarlyWatchSnapshot take(std::optional<std::uint64_t> available, std::optional<std::uint64_t> total,
                          double uptime, std::optional<double> ssdCelsius, WallTime now);
  // These warnings were told at `now`. Sampling thread only.
  void accepted(const std::vector<EarlyWarning>& warnings, WallTime now);

 private:
  // What the background jobs hand back, and which of them are running. Shared with the jobs,
  // so a job that ends after the watch is gone finds it still there.
  struct Inbox {
    std::mutex lock;
    std::optional<std::optional<BatteryHealth>> health;  // a delivered read, good or failed
    std::optional<BackupRead> backup;
    std::set<std::string> busy;
  };

  EarlyWatchRecorder& recorder();

  Sources sources_;
  std::optional<std::string> historyPath_;
  WriteOutcomeLog::Log log_;
  std::unique_ptr<EarlyWatchRecorder> recorder_;
  EarlyWatchSnapshot latest_;
  DiskDrainTracker drainTracker_;
  ChargerDrainDetector detector_;
  std::map<std::string, WallTime> next_;
  WallTime healthReadAt_ = distantPast;
  std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
  std::map<std::string, std::unique_ptr<SerialQueue>> tools_;
};

}  // namespace hollin
