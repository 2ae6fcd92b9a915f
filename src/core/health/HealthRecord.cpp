#include "core/health/HealthRecord.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "core/memory/MemoryNotice.h"
#include "core/scope/LoginState.h"

namespace hollin {
namespace {

using nlohmann::json;

template <class T>
json orNull(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

// The pressure raw value: the kernel's level when valid, else the last event's.
std::int32_t pressureRaw(const HLSystem& system, std::int32_t eventPressure) {
  auto fallback = pressureFromRawValue(eventPressure).value_or(Pressure::unknown);
  return static_cast<std::int32_t>(kernelPressure(system, fallback));
}

json diskAlertLevel(const HLSystem& system) {
  constexpr std::uint64_t okBytes = 20'000'000'000, attentionBytes = 10'000'000'000;
  if (!system.disk_valid) return nullptr;
  if (system.disk_available >= okBytes) return "ok";
  return system.disk_available >= attentionBytes ? "attention" : "danger";
}

json users(const HealthInputs& inputs, const std::vector<ProcessMemory>& processes, bool stale) {
  struct Counts {
    int processes = 0, footprintReadable = 0, residentReadable = 0;
  };
  std::map<std::uint32_t, Counts> byUID;  // ascending uid
  for (const auto& process : processes) {
    if (!inputs.accounts.contains(process.uid)) continue;
    Counts& counts = byUID[process.uid];
    ++counts.processes;
    counts.footprintReadable += process.footprint ? 1 : 0;
    counts.residentReadable += process.resident ? 1 : 0;
  }
  json list = json::array();
  for (const auto& [uid, counts] : byUID) {
    LoginState state = LoginState::resolve(uid, inputs.consoleUID, inputs.snapshot->loggedInUIDs,
                                           inputs.freshReportUIDs.contains(uid), stale);
    list.push_back({{"uid", uid},
                    {"state", std::string(state.rawValue())},
                    {"processes", counts.processes},
                    {"footprintReadable", counts.footprintReadable},
                    {"residentReadable", counts.residentReadable}});
  }
  return list;
}

// The notifier's maps keep their insertion order; the record sorts every level.
json sorted(const Json& value) { return json::parse(value.dump()); }

void addScreen(json& record, const HealthScreen& screen) {
  record["menuBarText"] = screen.menuBarText;
  record["menuBarIconVisible"] = screen.menuBarIconVisible;
  record["menuBarToolTip"] = screen.menuBarToolTip;
  record["statusMenuTitle"] = screen.statusMenuTitle;
  record["statusMenuText"] = screen.statusMenuText;
  record["menuBarHoverInstalled"] = screen.menuBarHoverInstalled;
  record["menuBarHoverEnteredCount"] = screen.menuBarHoverEnteredCount;
  record["menuBarHoverShownCount"] = screen.menuBarHoverShownCount;
  record["menuBarHoverVisible"] = screen.menuBarHoverVisible;
  record["ssdHealthInStatusMenu"] = screen.ssdHealthInStatusMenu;
  record["analysisStatusText"] = screen.analysisStatusText;
}

void addSystem(json& record, const HLSystem& system, std::int32_t eventPressure) {
  record["physicalBytes"] = system.physical;
  record["pressure"] = pressureRaw(system, eventPressure);
  record["memoryUsedBytes"] = system.memory_used_valid ? json(system.memory_used) : json(nullptr);
  record["compressedBytes"] = system.vm_valid ? json(system.compressed) : json(nullptr);
  record["swapUsedBytes"] = system.swap_valid ? json(system.swap_used) : json(nullptr);
  record["diskAlertLevel"] = diskAlertLevel(system);
  record["diskAvailableBytes"] = system.disk_valid ? json(system.disk_available) : json(nullptr);
  record["diskTotalBytes"] = system.disk_valid ? json(system.disk_total) : json(nullptr);
}

// Keys whose sources are the SSD history, the early watch, the drain forecast and the thermal
// state; null until they are built (Linux has no thermal state at all).
void addWaiting(json& record) {
  for (const char* key :
       {"ssdHistoryCount", "ssdHealthEventCount", "ssdCriticalWarning", "ssdWearPercent", "earlyBatteryPresent",
        "earlyChargerState", "earlyChargeLimitReadable", "earlyBatteryHealthReadable", "earlyCrashReportsReadable",
        "earlyBackupSource", "earlyBackupConfigured", "earlyDiskForecast", "diskDrainSecondsLeft",
        "earlyRecentPoints", "earlyDiskPoints", "earlyHistoryPersistenceOK", "earlyActiveWarnings",
        "earlyTableConcerns", "thermalState"}) {
    record[key] = nullptr;
  }
}

}  // namespace

std::string iso8601(WallTime time) {
  using namespace std::chrono;
  auto seconds = floor<std::chrono::seconds>(time);
  auto day = floor<days>(seconds);
  year_month_day date{day};
  hh_mm_ss clock{seconds - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

std::optional<json> healthRecord(const HealthInputs& inputs) {
  if (!inputs.snapshot) return std::nullopt;
  const Snapshot& snapshot = *inputs.snapshot;
  const double age = inputs.now - snapshot.uptime;
  const bool stale = inputs.asleep || age > staleAfter;
  const auto& processes = inputs.combinedProcesses ? *inputs.combinedProcesses : snapshot.processes;
  auto own = std::find_if(snapshot.processes.begin(), snapshot.processes.end(),
                          [&](const ProcessMemory& process) { return process.pid == inputs.ownPid; });

  json record = json::object();
  record["version"] = inputs.version;
  record["sampledAt"] = iso8601(inputs.wallNow);
  record["uid"] = inputs.uid;
  record["consoleUID"] = inputs.consoleUID;
  record["processes"] = processes.size();
  record["enumerationError"] = snapshot.enumerationError;
  record["users"] = users(inputs, processes, stale);
  record["accountProfile"] = std::string(inputs.scope.rawValue());
  record["menuBarLevel"] = inputs.menuBarLevel;
  addScreen(record, inputs.screen);
  addSystem(record, snapshot.system, inputs.eventPressure);
  addWaiting(record);
  record["widgetExportHealthy"] = orNull(inputs.widgetExportHealthy);
  record["ssdHealthReadable"] = snapshot.ssdHealth.has_value();
  record["ssdHistoryPersistenceOK"] = snapshot.ssdPersistenceOK;
  // Never checked is null rather than a date nobody could have checked on.
  record["ssdHealthCheckedAt"] =
      snapshot.ssdCheckedAt == distantPast ? json(nullptr) : json(iso8601(snapshot.ssdCheckedAt));
  record["cpuUsageFraction"] = orNull(inputs.cpuFraction);
  record["cpuTemperatureCelsius"] = orNull(snapshot.cpuCelsius);
  record["swapChangeFiveMinutesBytes"] = orNull(inputs.swapChange);
  record["ssdTemperatureCelsius"] = orNull(snapshot.ssdCelsius);
  record["appMemorySort"] = inputs.sortedByName ? "name" : "memory";
  record["sampleAgeSeconds"] = std::max(0.0, age);
  record["sampleUptime"] = snapshot.uptime;
  record["isStale"] = stale;
  record["ownResidentBytes"] = own == snapshot.processes.end() ? json(nullptr) : orNull(own->resident);
  record["ownFootprintBytes"] = own == snapshot.processes.end() ? json(nullptr) : orNull(own->footprint);
  record["accessibilityGranted"] = inputs.accessibilityGranted;
  record["notificationsAllowed"] = inputs.notificationsAllowed;
  record["sharingEnabled"] = inputs.sharingEnabled;
  record["loginEnabled"] = orNull(inputs.loginEnabled);
  record["notificationDiagnostics"] = sorted(inputs.notificationDiagnostics);
  record["lastNotificationSubmission"] = sorted(inputs.lastNotificationSubmission);
  record["receivedUIDs"] = orNull(inputs.receivedUIDs);
  return record;
}

std::optional<std::string> healthText(const HealthInputs& inputs) {
  auto record = healthRecord(inputs);
  if (!record) return std::nullopt;
  // Replacement rather than an exception for a name that is not valid UTF-8.
  return record->dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace hollin
