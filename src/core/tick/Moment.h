// Everything one evaluation, render and self-health record share: the snapshot, the clocks,
// who we are, and the facts each subsystem adds for the others. Built by the controller for
// each of them; plain values only, so every view model and record is a function of it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/OrdinaryAccounts.h"
#include "core/crash/CrashLog.h"
#include "core/memory/HeldReport.h"
#include "core/scope/AccountScope.h"
#include "core/snapshot/Snapshot.h"
#include "core/ui/AnalysisTab.h"

namespace hollin {

struct Moment {
  std::shared_ptr<const Snapshot> snapshot;  // absent until the first take
  double now = 0;                            // current uptime, seconds
  WallTime wallNow{};
  bool asleep = false;
  std::string language = "en";  // every text is rendered in it
  AccountScope scope;
  std::uint32_t uid = 0;  // this process's account
  std::int32_t pid = 0;
  std::uint32_t consoleUID = unknownUID;
  AnalysisTab selectedTab = AnalysisTab::apps;
  bool windowShown = false;  // the analysis window's table is built only while it is shown

  // Facts the subsystems add for one another; the owner is in brackets.
  std::shared_ptr<const std::vector<PeerReport>> reports;  // [accounts] own first, then others'
  bool notificationsAllowed = false;                       // [notifications]
  bool sharing = false;                                    // [accounts]
  bool sharingHealthy = true;                              // [accounts]
  bool loginEnabled = false;                               // [accounts] starts at login
  bool accessibilityTrusted = false;                       // [response]
  bool workerHealthy = true;                               // [response]
  bool accessibilityBusMissing = false;                    // [response] no bus to switch on
  std::shared_ptr<const std::vector<AppResponse>> responses;  // [response] by pid
  std::optional<double> cpuFraction;                          // [memory] busy share 0…1
  std::optional<std::int64_t> swapChange;                     // [memory] bytes over about 5 min
  std::shared_ptr<const std::vector<CrashSummary>> ownCrashes;  // [crash] newest first

  // Asleep, no snapshot yet, or the snapshot older than staleAfter.
  bool stale() const { return !snapshot || isStale(asleep, now, snapshot->uptime); }
  const std::vector<PeerReport>& peerReports() const;
  // The report of `uid` among the held ones, or null.
  const PeerReport* report(std::uint32_t uid) const;
  // This account's processes, each other account's replaced by its fresh, complete report.
  // Worked out once per moment, after the subsystems have added their facts.
  const std::vector<ProcessMemory>& combinedProcesses() const;
  // The snapshot's accounts together with those the scope lets this account watch, ascending.
  std::vector<std::uint32_t> listedUIDs() const;

 private:
  mutable std::shared_ptr<const std::vector<ProcessMemory>> combined_;
};

}  // namespace hollin
