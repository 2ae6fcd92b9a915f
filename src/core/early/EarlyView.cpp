#include "core/early/EarlyView.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "core/L10n.h"
#include "core/early/TimeMachine.h"

namespace hollin {
namespace {

using nlohmann::json;

constexpr std::uint8_t ssdTemperatureWarningBit = 2;

RowTone rowTone(EarlyTone tone) {
  switch (tone) {
    case EarlyTone::plain: break;
    case EarlyTone::attention: return RowTone::caution;
    case EarlyTone::urgent: return RowTone::urgent;
  }
  return RowTone::plain;
}

template <class T>
json orNull(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

}  // namespace

std::vector<EarlyWarning> dueEarlyWarnings(std::vector<EarlyWarning> warnings, const EarlyWatchArchive& archive,
                                           WallTime now, bool muted) {
  std::erase_if(warnings, [&](const EarlyWarning& warning) {
    return !archive.eligible(warning, now) || (muted && !warning.urgent);
  });
  std::stable_sort(warnings.begin(), warnings.end(), [](const EarlyWarning& a, const EarlyWarning& b) {
    if (a.urgent != b.urgent) return a.urgent;
    return a.severity > b.severity;
  });
  if (warnings.size() > maxEarlyNotices) warnings.resize(maxEarlyNotices);
  return warnings;
}

std::vector<EarlyTableRow> earlyRows(const Moment& moment) {
  if (!moment.snapshot) return {};
  const Snapshot& snapshot = *moment.snapshot;
  const bool stale = moment.stale();
  const auto diskFree = snapshot.system.disk_valid && !stale ? std::optional(snapshot.system.disk_available)
                                                             : std::nullopt;
  const bool overheat =
      !stale && snapshot.ssdHealth && (snapshot.ssdHealth->warning & ssdTemperatureWarningBit) != 0;
  return earlyTableRows(snapshot.early, diskFree, stale, moment.wallNow, overheat, moment.language);
}

void presentEarly(Screen& screen, const Moment& moment) {
  if (!moment.snapshot) return;
  auto rows = EarlyTable::ordered(earlyRows(moment));
  const int concerns = EarlyTable::concerns(rows);
  screen.tabLabels[static_cast<std::size_t>(AnalysisTab::early)] = earlyLabel(concerns, moment.language);
  if (moment.selectedTab != AnalysisTab::early) return;
  screen.earlySummary = L10n::render(
      concerns == 0 ? msg("いま気になる点はありません。") : msg("気になる点が{0}つあります。", concerns),
      moment.language);
  if (!moment.windowShown) return;
  for (std::size_t index = 0; index < rows.size(); ++index) {
    const auto cells = rows[index].cells(moment.language);
    screen.table.rows.emplace_back(cells.begin(), cells.end());
    if (rows[index].concern()) screen.table.tones[static_cast<int>(index)] = rowTone(rows[index].tone);
  }
}

void recordEarly(json& record, const Moment& moment) {
  const EarlyWatchSnapshot& early = moment.snapshot->early;
  record["earlyBatteryPresent"] = orNull(early.batteryPresent);
  record["earlyChargerState"] = std::string(early.charger.code());
  record["earlyChargeLimitReadable"] = early.chargeLimit.readable;
  record["earlyBatteryHealthReadable"] = early.health.has_value();
  record["earlyCrashReportsReadable"] = early.crashes.has_value();
  record["earlyBackupSource"] = early.backupSource;
  record["earlyBackupConfigured"] = orNull(early.backup.configured);
  record["earlyDiskForecast"] = early.diskForecast.code();
  const auto secondsLeft = diskDrainSecondsLeft(early);
  record["diskDrainSecondsLeft"] =
      secondsLeft ? json(static_cast<std::int64_t>(std::trunc(*secondsLeft))) : json(nullptr);
  record["earlyRecentPoints"] = early.archive->recent.size();
  record["earlyDiskPoints"] = early.archive->disk.size();
  record["earlyHistoryPersistenceOK"] = early.persistenceOK;
  json kinds = json::array();
  for (const auto& warning : earlyWarnings(early, moment.wallNow, moment.stale(), moment.language))
    kinds.push_back(warning.kind.starts_with("crash:") ? std::string("crash") : warning.kind);
  record["earlyActiveWarnings"] = std::move(kinds);
  record["earlyTableConcerns"] = EarlyTable::concerns(earlyRows(moment));
}

void exportEarly(MetricsText& metrics, const Moment& moment) {
  const EarlyWatchSnapshot& early = moment.snapshot->early;
  metrics.gauge("hollin_disk_full_in_seconds", "At the data volume's current fast drain, seconds until it is full",
                diskDrainSecondsLeft(early));
  metrics.gauge("hollin_disk_forecast_days", "Days until the data volume is full at its pace of the last days",
                early.diskForecast.kind == DiskForecast::Case::days ? std::optional<double>(early.diskForecast.value)
                                                                    : std::nullopt);
  if (early.health) {
    const auto& capacity = early.health->maximumCapacity;
    metrics.gauge("hollin_battery_health_ratio", "The battery's full charge capacity against its design capacity",
                  capacity ? std::optional(static_cast<double>(*capacity) / 100) : std::nullopt);
    metrics.gauge("hollin_battery_cycle_count", "The battery's charge cycles",
                  early.health->cycleCount ? std::optional<double>(*early.health->cycleCount) : std::nullopt);
  }
  if (early.batteryPresent != false) {
    std::vector<std::pair<std::string, double>> states;
    for (std::string_view state : {"normal", "onBattery", "toLimit", "checking", "draining", "drainingCritical", "unavailable"})
      states.emplace_back(state, flag(early.charger.code() == state));
    metrics.gauges("hollin_charger_state", "1 for the charger's state now", "state", states);
  }
  if (early.crashes) {
    std::vector<std::pair<std::string, double>> day, week;
    for (const CrashTally& tally : CrashReports::tally(*early.crashes, moment.wallNow, 1)) day.emplace_back(tally.name, tally.count);
    for (const CrashTally& tally : CrashReports::tally(*early.crashes, moment.wallNow, 7)) week.emplace_back(tally.name, tally.count);
    metrics.gauges("hollin_app_crashes_last_day", "Crashes of each application over the last 24 hours", "app", day);
    metrics.gauges("hollin_app_crashes_last_week", "Crashes of each application over the last 7 days", "app", week);
  }
  if (early.backup.configured)
    metrics.gauge("hollin_backup_configured", "1 when a backup destination is set up", flag(*early.backup.configured));
  if (TimeMachine::shouldShow(early.backup.configured, early.archive->lastBackup))
    if (const auto latest = TimeMachine::latest(early.backup, early.archive->lastBackup, moment.wallNow))
      metrics.gauge("hollin_backup_age_seconds", "Seconds since the newest backup",
                    std::max(0.0, secondsBetween(*latest, moment.wallNow)));
  std::vector<std::pair<std::string, double>> active;
  for (std::string_view kind : earlyWarningKinds) active.emplace_back(kind, 0);
  for (const auto& warning : earlyWarnings(early, moment.wallNow, moment.stale(), "en")) {
    const std::string_view kind = warning.kind.starts_with("crash:") ? std::string_view("crash") : warning.kind;
    for (auto& [name, value] : active)
      if (name == kind) value = 1;
  }
  metrics.gauges("hollin_early_warning", "1 for each kind of early warning active now", "kind", active);
  metrics.gauge("hollin_early_history_ok", "1 while the early watch's history can be read and written",
                flag(early.persistenceOK));
}

}  // namespace hollin
