// The self-health record ("health.json"): what the application knows and shows, in plain
// machine-readable terms, built from plain values so the rules can be tested without a screen.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Json.h"
#include "core/OrdinaryAccounts.h"
#include "core/memory/MenuBarStatus.h"
#include "core/scope/AccountScope.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {

// What the status item, the menu and the window show at the moment of writing.
struct HealthScreen {
  std::string menuBarText;
  bool menuBarIconVisible = false;
  std::string menuBarToolTip;
  std::string statusMenuTitle;
  std::string statusMenuText;
  bool menuBarHoverInstalled = false;
  int menuBarHoverEnteredCount = 0;
  int menuBarHoverShownCount = 0;
  bool menuBarHoverVisible = false;
  bool ssdHealthInStatusMenu = false;
  std::string analysisStatusText;
  bool operator==(const HealthScreen&) const = default;
};

// Everything one record is built from. A figure whose source has not been built yet stays
// absent and is written as null.
struct HealthInputs {
  std::shared_ptr<const Snapshot> snapshot;  // no snapshot, no record
  double now = 0;                            // current uptime, seconds
  WallTime wallNow{};
  std::string version = "unknown";
  std::uint32_t uid = 0;
  std::uint32_t consoleUID = 4294967295u;
  std::int32_t eventPressure = -1;  // raw pressure of the last kernel event
  bool asleep = false;
  AccountScope scope;
  std::string menuBarLevel = "unavailable";  // raw value of the level on screen
  HealthScreen screen;
  std::optional<double> cpuFraction;
  std::optional<std::int64_t> swapChange;
  std::int32_t ownPid = 0;  // this process, found in the snapshot's list
  bool sortedByName = false;
  bool accessibilityGranted = false;
  bool notificationsAllowed = false;
  bool sharingEnabled = false;
  std::optional<bool> loginEnabled;
  Json notificationDiagnostics = Json::object();
  Json lastNotificationSubmission = Json::object();
  // The combined process list; the snapshot's own list until other accounts' reports exist.
  std::optional<std::vector<ProcessMemory>> combinedProcesses;
  std::set<std::uint32_t> freshReportUIDs;  // held reports whose memory list is fresh
  std::optional<std::vector<std::uint32_t>> receivedUIDs;
  std::optional<bool> widgetExportHealthy;
  AccountRange accounts = ordinaryAccounts();
};

// "2026-12-07T06:40:49Z": UTC, whole seconds.
std::string iso8601(WallTime time);

// The record as a JSON value whose keys sort alphabetically at every level; absent when there
// is no snapshot yet.
std::optional<nlohmann::json> healthRecord(const HealthInputs& inputs);

// The record's file text: pretty-printed, sorted keys, a final line feed.
std::optional<std::string> healthText(const HealthInputs& inputs);

}  // namespace hollin
