#include "app/early/EarlyWatch.h"

#include <chrono>

#include "app/tick/SerialQueue.h"
#include "native/Power.h"
#include "native/ToolRunner.h"

namespace hollin {

std::optional<std::string> EarlyWatch::run(const std::string& path, const std::vector<std::string>& arguments) {
  return native::runTool({path, arguments, std::chrono::seconds(toolOutputSeconds), toolOutputCap,
                          std::chrono::seconds(toolExitSeconds)});
}

EarlyWatch::BatteryRead EarlyWatch::readBattery() {
  HLPower power{};
  if (!hl_power(&power)) return {};
  auto reading = BatteryReading::parse(BatteryReading::registryEntry(power));
  return {reading.has_value(), std::move(reading)};
}

ChargeLimit EarlyWatch::readChargeLimit() {
  HLPower power{};
  if (!hl_power(&power)) return ChargeLimit::unreadable;
  return ChargeLimit::parseArchive(ChargeLimit::policyArchive(power));
}

std::optional<BatteryHealth> EarlyWatch::readBatteryHealth() {
  HLPower power{};
  if (!hl_power(&power)) return std::nullopt;
  return BatteryHealth::fromKernel(power);
}

EarlyWatch::Sources EarlyWatch::liveSources() {
  return {
      .battery = [] { return readBattery(); },
      .chargeLimit = [] { return readChargeLimit(); },
      .health = [] { return readBatteryHealth(); },
      .crashes = [] { return readCrashes(); },
      .backup = [] { return readBackup(); },
  };
}

EarlyWatch::EarlyWatch(Sources sources, std::optional<std::string> historyPath, WriteOutcomeLog::Log log)
    : sources_(std::move(sources)), historyPath_(std::move(historyPath)), log_(std::move(log)) {
  tools_[healthJob] = std::make_unique<SerialQueue>(QStringLiteral("org.hollin.Hollin.early-health"));
  tools_[backupJob] = std::make_unique<SerialQueue>(QStringLiteral("org.hollin.Hollin.early-backup"));
}

EarlyWatch::~EarlyWatch() = default;

EarlyWatchRecorder& EarlyWatch::recorder() {
  if (!recorder_) recorder_ = std::make_unique<EarlyWatchRecorder>(historyPath_, log_);
  return *recorder_;
}

bool EarlyWatch::due(const std::string& name, double every, WallTime now) {
  const auto found = next_.find(name);
  if (found != next_.end()) {
    const double ahead = secondsBetween(now, found->second);
    if (ahead > 0 && ahead <= every) return false;
  }
  next_[name] = now + std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(every));
  return true;
}

void EarlyWatch::background(const std::string& name, std::function<void()> work) {
  const auto queue = tools_.find(name);
  bool started = false;
  if (queue != tools_.end()) {
    std::lock_guard guard(inbox_->lock);
    started = inbox_->busy.insert(name).second;
  }
  if (!started) {
    next_.erase(name);
    return;
  }
  queue->second->post([inbox = inbox_, name, work = std::move(work)] {
    work();
    std::lock_guard guard(inbox->lock);
    inbox->busy.erase(name);
  });
}

EarlyWatchSnapshot EarlyWatch::take(std::optional<std::uint64_t> available, std::optional<std::uint64_t> total,
                                    double uptime, std::optional<double> ssdCelsius, WallTime now) {
  EarlyWatchSnapshot snapshot = latest_;
  snapshot.checkedAt = now;
  EarlyWatchRecorder& history = recorder();
  history.update(false, now, [&](EarlyWatchArchive& archive) { return archive.recordDisk(available, total, now); });
  history.update(true, now,
                 [&](EarlyWatchArchive& archive) { return archive.recordRecent(available, ssdCelsius, now); });
  history.update(true, now, [&](EarlyWatchArchive& archive) { return archive.recordTemperature(ssdCelsius, now); });

  snapshot.diskAvailable = available;
  snapshot.diskDrain = drainTracker_.observe(available, uptime, unixSeconds(now));
  snapshot.ssdCelsius = ssdCelsius;

  std::optional<std::optional<BatteryHealth>> deliveredHealth;
  std::optional<BackupRead> deliveredBackup;
  {
    std::lock_guard guard(inbox_->lock);
    deliveredHealth = std::exchange(inbox_->health, std::nullopt);
    deliveredBackup = std::exchange(inbox_->backup, std::nullopt);
  }
  if (deliveredHealth) {
    if (*deliveredHealth) {
      snapshot.health = *deliveredHealth;
      healthReadAt_ = now;
      const auto cycles = snapshot.battery ? snapshot.battery->cycleCount : std::nullopt;
      history.update(false, now,
                     [&](EarlyWatchArchive& archive) { return archive.recordBattery(snapshot.health, cycles, now); });
    } else if (secondsBetween(healthReadAt_, now) > healthKeptFor) {
      snapshot.health.reset();
    }
  }
  if (deliveredBackup) {
    snapshot.backup = deliveredBackup->status;
    snapshot.backupSource = deliveredBackup->source;
    snapshot.backupTool = deliveredBackup->tool;
    history.update(false, now, [&](EarlyWatchArchive& archive) { return archive.recordBackup(snapshot.backup, now); });
  }

  if (due(batteryJob, batteryInterval, now)) {
    auto read = sources_.battery();
    snapshot.batteryPresent = read.batteryPresent;
    snapshot.battery = std::move(read.reading);
    if (snapshot.batteryPresent == false) {
      snapshot.charger = ChargerState{};
    } else {
      snapshot.chargeLimit = sources_.chargeLimit();
      snapshot.charger = detector_.observe(snapshot.battery, snapshot.chargeLimit, unixSeconds(now));
    }
  }
  if (snapshot.batteryPresent != false && due(healthJob, healthInterval, now))
    background(healthJob, [inbox = inbox_, read = sources_.health] {
      auto health = read();
      std::lock_guard guard(inbox->lock);
      inbox->health = std::move(health);
    });
  if (due(crashJob, crashInterval, now)) snapshot.crashes = sources_.crashes();
  if (due(backupJob, backupInterval, now))
    background(backupJob, [inbox = inbox_, read = sources_.backup] {
      auto backup = read();
      std::lock_guard guard(inbox->lock);
      inbox->backup = std::move(backup);
    });

  snapshot.archive = history.archive();
  snapshot.diskForecast = snapshot.archive->diskForecast(now);
  snapshot.persistenceOK = history.persistenceOK();
  latest_ = snapshot;
  return snapshot;
}

void EarlyWatch::accepted(const std::vector<EarlyWarning>& warnings, WallTime now) {
  recorder().accepted(warnings, now);
}

}  // namespace hollin
