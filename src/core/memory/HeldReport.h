#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/memory/AppIdentity.h"
#include "core/snapshot/Staleness.h"

namespace hollin {

// The reports the controller holds about every account: its own first, then those read from
// the other accounts. Only what the memory and level decisions read lives here so far; the
// shared-report records add the remaining members (schema, uptime, monitor status) and the
// JSON form in place, keeping these names, types and their order.

// How one probe of an application answered.
enum class ProbeOutcome { responsive, failed, unavailable };

// "responsive", "failed" or "unavailable"; any other text gives nothing.
std::string_view rawValue(ProbeOutcome outcome);
std::optional<ProbeOutcome> probeOutcomeFromRawValue(std::string_view raw);

// The running responsiveness verdict for one application process.
struct AppResponse {
  AppIdentity identity;
  std::string name;
  ProbeOutcome outcome = ProbeOutcome::responsive;
  double checkedAt = 0;                 // machine uptime, seconds, of the last result
  std::optional<double> firstFailure;   // machine uptime of the first failure of this run
  int failures = 0;                     // length of the current run of failures

  // Failed at least twice over at least suspectedFailureSpan seconds.
  bool suspected() const;
  bool operator==(const AppResponse&) const = default;
};

inline constexpr int suspectedFailureCount = 2;
inline constexpr double suspectedFailureSpan = 15.0;  // seconds

// One process of the reporting account as it measured it.
struct ReportedMemory {
  AppIdentity identity;
  std::string name;
  std::optional<std::uint64_t> footprint;  // bytes; absent when unreadable
  std::optional<std::uint64_t> resident;   // bytes; absent when unreadable
  bool operator==(const ReportedMemory&) const = default;
};

// The reporting instance's own set-up state.
struct MonitorStatus {
  std::string version;
  bool loginEnabled = false;
  bool sharingEnabled = false;
  std::set<std::uint32_t> receivedUIDs;  // accounts whose fresh reports it last received
  bool operator==(const MonitorStatus&) const = default;
};

// One account's report about itself.
struct PeerReport {
  std::uint32_t uid = 0;
  bool trusted = false;        // the reporting instance may probe applications
  bool workerHealthy = false;  // its probe worker works
  std::vector<AppResponse> apps;
  std::vector<ReportedMemory> memory;
  double memoryCheckedAt = 0;   // machine uptime of the snapshot behind `memory`; 0 for none
  bool memoryComplete = false;  // that listing succeeded and was not cut short
  std::optional<MonitorStatus> monitorStatus;

  // The memory list is complete and was taken between freshMemoryLead seconds after and
  // staleAfter seconds before `now` (machine uptime), both ends included.
  bool hasFreshMemory(double now) const;
  bool operator==(const PeerReport&) const = default;
};

inline constexpr double freshMemoryLead = 2.0;   // seconds: clocks of two instances may differ

}  // namespace hollin
