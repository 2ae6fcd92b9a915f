#include "core/health/HealthRecord.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace hollin {

using nlohmann::json;

const std::array<std::string_view, 68>& healthRecordKeys() {
  static constexpr std::array<std::string_view, 68> keys = {
      "accessibilityGranted", "accountProfile", "analysisStatusText", "appMemorySort",
      "compressedBytes", "consoleUID", "cpuTemperatureCelsius", "cpuUsageFraction",
      "diskAlertLevel", "diskAvailableBytes", "diskDrainSecondsLeft", "diskTotalBytes",
      "earlyActiveWarnings", "earlyBackupConfigured", "earlyBackupSource", "earlyBatteryHealthReadable",
      "earlyBatteryPresent", "earlyChargeLimitReadable", "earlyChargerState", "earlyCrashReportsReadable",
      "earlyDiskForecast", "earlyDiskPoints", "earlyHistoryPersistenceOK", "earlyRecentPoints",
      "earlyTableConcerns", "enumerationError", "isStale", "lastNotificationSubmission",
      "loginEnabled", "memoryUsedBytes", "menuBarHoverEnteredCount", "menuBarHoverInstalled",
      "menuBarHoverShownCount", "menuBarHoverVisible", "menuBarIconVisible", "menuBarLevel",
      "menuBarText", "menuBarToolTip", "notificationDiagnostics", "notificationsAllowed",
      "ownFootprintBytes", "ownResidentBytes", "physicalBytes", "pressure",
      "processes", "receivedUIDs", "sampleAgeSeconds", "sampleUptime",
      "sampledAt", "sharingEnabled", "ssdCriticalWarning", "ssdHealthCheckedAt",
      "ssdHealthEventCount", "ssdHealthInStatusMenu", "ssdHealthReadable", "ssdHistoryCount",
      "ssdHistoryPersistenceOK", "ssdTemperatureCelsius", "ssdWearPercent", "statusMenuText",
      "statusMenuTitle", "swapChangeFiveMinutesBytes", "swapUsedBytes", "thermalState",
      "uid", "users", "version", "widgetExportHealthy",
  };
  return keys;
}

json blankHealthRecord() {
  json record = json::object();
  for (std::string_view key : healthRecordKeys()) record[std::string(key)] = nullptr;
  return record;
}

void recordBase(json& record, const Moment& moment, std::string_view version) {
  const Snapshot& snapshot = *moment.snapshot;
  record["version"] = std::string(version);
  record["sampledAt"] = iso8601(moment.wallNow);
  record["uid"] = moment.uid;
  record["consoleUID"] = moment.consoleUID;
  record["enumerationError"] = snapshot.enumerationError;
  record["sampleUptime"] = snapshot.uptime;
  // A snapshot from the future (a clock jump) is no age at all.
  record["sampleAgeSeconds"] = std::max(0.0, moment.now - snapshot.uptime);
  record["isStale"] = moment.stale();
}

void recordScreen(json& record, const StatusTexts& status, bool trayIconShown) {
  record["menuBarText"] = "";  // the tray entry has an icon and no title
  record["menuBarIconVisible"] = trayIconShown;
  record["menuBarToolTip"] = trayIconShown ? status.toolTip : "";
  record["statusMenuTitle"] = status.title;
  record["statusMenuText"] = status.menuRow;
  record["menuBarHoverInstalled"] = false;
  record["menuBarHoverEnteredCount"] = 0;
  record["menuBarHoverShownCount"] = 0;
  record["menuBarHoverVisible"] = false;
  record["ssdHealthInStatusMenu"] = false;
  record["analysisStatusText"] = status.toolTip;
}

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

std::string healthText(const json& record) {
  // Replacement rather than an exception for a name that is not valid UTF-8.
  return record.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace hollin
