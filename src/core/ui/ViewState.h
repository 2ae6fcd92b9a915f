#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/scope/AccountScope.h"
#include "core/snapshot/Snapshot.h"
#include "core/ui/AnalysisTab.h"
#include "core/ui/StatusColour.h"

// Everything the controller hands to the views on each render. The views turn it into texts
// through the functions of core/ui and display them; they decide nothing themselves.
namespace hollin {

// The shown level after the freshness, suspected-app and disk decisions: its colour, its title
// and the explanation that goes with it (the level's own, or the disk override's).
struct ShownStatus {
  StatusColour colour = StatusColour::grey;
  LocalizedMessage title = msg("確認できません");
  LocalizedMessage explanation = msg("起動直後、スリープ中、または新しい測定を取得できない状態です。");
  bool operator==(const ShownStatus&) const = default;
};

// One application group of one account, already ordered by the current sort.
struct AppGroupView {
  std::string name;
  std::uint32_t uid = 0;
  std::optional<std::uint64_t> footprint;  // absent when no process had a readable one
  std::optional<std::uint64_t> resident;
  int readableCount = 0;
  int processCount = 0;
  bool operator==(const AppGroupView&) const = default;
};

// How a probe answered, as the response tab shows it.
enum class VerdictOutcome { responsive, failed, unavailable };

// One application verdict of an account's report.
struct VerdictView {
  std::string name;
  bool suspected = false;
  VerdictOutcome outcome = VerdictOutcome::responsive;
  double checkedAt = 0;  // uptime seconds
  bool operator==(const VerdictView&) const = default;
};

// The monitor settings an account publishes about itself.
struct MonitorStatusView {
  std::string version;
  bool loginEnabled = false;
  bool sharingEnabled = false;
  std::set<std::uint32_t> receivedUIDs;
  bool operator==(const MonitorStatusView&) const = default;
};

// What the tables read from one held report (this account's own first, then the others').
struct ReportView {
  std::uint32_t uid = 0;
  bool trusted = false;
  bool workerHealthy = false;
  bool memoryComplete = false;
  double memoryCheckedAt = 0;  // uptime seconds
  std::optional<MonitorStatusView> monitorStatus;
  std::vector<VerdictView> verdicts;
  bool operator==(const ReportView&) const = default;
};

// The text tone of a health-tab row: plain rows keep the default colour.
enum class RowTone { plain, caution, urgent };

// One row of the health tab, ordered and toned by the early-warning table.
struct EarlyRowView {
  std::vector<std::string> cells;
  RowTone tone = RowTone::plain;
  bool operator==(const EarlyRowView&) const = default;
};

// The SSD's own health judgement, as the SSD card shows it.
struct SSDHealthView {
  int issueCount = 0;
  bool anyCritical = false;
  std::optional<int> percentageUsed;
  std::string mediaErrorsText;
  bool operator==(const SSDHealthView&) const = default;
};

struct ViewState {
  std::shared_ptr<const Snapshot> snapshot;  // absent until the first take
  ShownStatus status;
  bool stale = true;             // asleep, or the snapshot older than 20 s
  bool diskDangerShown = false;  // the disk override is in force
  double now = 0;                // current uptime, seconds
  WallTime wallNow{};
  std::string language = "ja";  // the language every text is rendered in

  std::optional<double> cpuFraction;       // busy share 0…1, absent while unknown
  std::optional<std::int64_t> swapChange;  // bytes over about five minutes
  std::optional<int> thermalState;         // 0…3 where the platform reports one
  std::optional<double> diskDrainSecondsLeft;
  std::optional<SSDHealthView> ssdHealth;

  std::vector<ProcessMemory> combinedProcesses;  // this account's view plus fresh reports
  std::vector<AppGroupView> appGroups;           // grouped and ordered for the apps tab
  std::vector<ReportView> reports;
  std::vector<EarlyRowView> earlyRows;
  int earlyConcerns = 0;

  AccountScope scope;
  std::uint32_t currentUID = 0;
  std::uint32_t consoleUID = 4294967295u;

  WallTime mutedUntil = distantPast;
  bool notificationsAllowed = false;
  bool accessibilityTrusted = false;
  bool workerHealthy = true;
  bool sharing = false;
  bool sharingHealthy = true;
  bool loginEnabled = false;

  bool sortedByName = false;  // the apps tab's sort: memory order unless the user toggled it
  AnalysisTab selectedTab = AnalysisTab::apps;

  std::string version = "?";  // "CFBundleShortVersionString" counterpart
  std::string build = "?";
};

}  // namespace hollin
