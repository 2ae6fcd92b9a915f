#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/memory/AppIdentity.h"
#include "core/snapshot/Staleness.h"

namespace hollin {

// The reports the controller holds about every account: its own first, then those read from
// the other accounts' shared files. The members are in the order of the JSON keys
// (core/sharing/PeerReportJson.h writes them).

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
  std::string version;  // the application's short version, "0" when it has none
  bool loginEnabled = false;
  bool sharingEnabled = false;
  // Accounts whose fresh reports it last received, ascending. A list rather than a set: a
  // peer's file may repeat a uid, and that must be seen to reject it.
  std::vector<std::uint32_t> receivedUIDs;

  // A version of digits and dots, at most 32 bytes; at most 32 distinct ordinary uids.
  bool isValid() const;
  bool operator==(const MonitorStatus&) const = default;
};

inline constexpr std::size_t maxVersionLength = 32;  // bytes
inline constexpr std::size_t maxReceivedUIDs = 32;
inline constexpr std::uint32_t lowestReportedUID = 500;  // the ordinary accounts' range
inline constexpr std::uint32_t highestReportedUID = 65533;

// What a report may hold, and how old it may be when read.
inline constexpr int peerReportSchema = 2;
inline constexpr std::size_t maxReportedApps = 128;
inline constexpr std::size_t maxReportedProcesses = 2048;
inline constexpr std::size_t maxReportedNameLength = 100;      // user-perceived characters
inline constexpr int maxReportedFailures = 100000;
inline constexpr std::uint64_t maxReportedBytes = 1ULL << 50;  // a footprint or resident size
inline constexpr double reportMaxAge = 25.0;   // seconds before the reader's uptime
inline constexpr double reportMaxLead = 2.0;   // seconds a time may lie ahead of its reference
inline constexpr double verdictMaxAge = 30.0;  // seconds before the report's uptime

// One account's report about itself.
struct PeerReport {
  int schema = peerReportSchema;  // format number; a report of any other is not read
  std::uint32_t uid = 0;
  double uptime = 0;           // machine uptime, seconds, when the report was built
  bool trusted = false;        // the reporting instance may probe applications
  bool workerHealthy = false;  // its probe worker works
  std::vector<AppResponse> apps{};
  std::vector<ReportedMemory> memory{};
  double memoryCheckedAt = 0;   // machine uptime of the snapshot behind `memory`; 0 for none
  bool memoryComplete = false;  // that listing succeeded and was not cut short
  std::optional<MonitorStatus> monitorStatus{};

  // The report as this system shares it: schema 2, the first maxReportedApps apps and the first
  // maxReportedProcesses processes (the memory list counts as complete only when none was left
  // out), every name cut to maxReportedNameLength characters, so that one long name cannot make
  // the whole report unreadable to the other accounts. Names that are not UTF-8 get U+FFFD for
  // their stray bytes, so that the report read back is the one built. Should the JSON form still be larger
  // than a report file may be (very long names), processes and then apps are left out from the
  // end until it fits, and a memory list cut so counts as incomplete.
  static PeerReport make(std::uint32_t uid, double uptime, bool trusted, bool workerHealthy,
                         std::vector<AppResponse> apps, std::vector<ReportedMemory> memory, double memoryCheckedAt,
                         bool memoryComplete, std::optional<MonitorStatus> monitorStatus);

  // Whether a report read from `expectedUID`'s file may be used at `now` (machine uptime): its
  // schema and uid, built at most reportMaxAge seconds ago and at most reportMaxLead ahead,
  // counts, names and figures within their limits, times consistent with `uptime`, no process
  // listed twice. NaN or infinity anywhere fails it.
  bool isValid(std::uint32_t expectedUID, double now) const;

  // The memory list is complete and was taken between freshMemoryLead seconds after and
  // staleAfter seconds before `now` (machine uptime), both ends included.
  bool hasFreshMemory(double now) const;
  bool operator==(const PeerReport&) const = default;
};

inline constexpr double freshMemoryLead = 2.0;   // seconds: clocks of two instances may differ

}  // namespace hollin
