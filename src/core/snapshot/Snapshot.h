#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/OrdinaryAccounts.h"
#include "core/PropertyList.h"
#include "core/Result.h"
#include "core/WallTime.h"
#include "core/early/EarlyWatchSnapshot.h"
#include "core/response/Workspace.h"
#include "core/snapshot/Staleness.h"
#include "core/ssd/SSDHealthArchive.h"
#include "native/NativeMetrics.h"

namespace hollin {

// One process as the snapshot keeps it. (pid, start) identifies the process over its life.
struct ProcessMemory {
  std::int32_t pid = 0;
  std::uint32_t uid = 0;
  std::uint64_t start = 0;  // microseconds since 1970
  std::string name;         // the native name bytes taken as UTF-8
  std::optional<std::uint64_t> footprint;
  std::optional<std::uint64_t> resident;
  bool operator==(const ProcessMemory&) const = default;
};

// The native record as a ProcessMemory: a figure whose validity flag is 0 becomes absent.
ProcessMemory processMemory(const HLProcess& native);

// A process listing: the processes in the kernel's order, or the error number of the failure.
using ProcessListing = Result<std::vector<ProcessMemory>, std::int32_t>;

// Everything the take reads, so tests can drive it with fixed values and a hand-moved clock.
// The live set (app/sampling/LiveSampling.h) calls the hl_ layer.
struct SnapshotSources {
  std::function<double()> uptime;       // seconds since boot, sleep included
  std::function<WallTime()> now;        // wall clock
  std::function<HLSystem()> system;
  std::function<ProcessListing()> processes;
  std::function<std::uint32_t()> consoleUID;  // 4294967295 when unknown
  std::function<std::optional<double>()> cpuTemperature;  // degrees Celsius
  // The login-session value LoginSessions::parse reads ({"SessionInfo": [...]}), or nothing
  // when the machine has no session manager to ask.
  std::function<std::optional<PlistValue>()> loginSessions;
};

struct Snapshot;

// The take's clocks, handed to each subsystem's reader.
struct TakeMoment {
  double uptime = 0;  // read at the start of the take
  WallTime now{};
  bool slowDue = false;  // this take refreshes the slow readings (once per slowReadInterval)
};

// What one subsystem adds to the take. Readers run on the sampling thread, one take at a time,
// in the order the subsystems were registered, after the whole-machine reading; each keeps
// whatever it needs between takes.
class SnapshotReader {
 public:
  virtual ~SnapshotReader() = default;
  virtual void read(Snapshot& snapshot, const TakeMoment& moment) = 0;
};

// What the take keeps between calls: the CPU temperature and when the slow readings are due
// next. One cache per sampling queue; only `Snapshot::take` touches it, one take at a time, so
// it has no lock. Subsystems' readers keep their own slow readings.
struct SnapshotCache {
  double nextSlowRead = 0;  // uptime seconds; 0 so the first take reads at once
  std::optional<double> cpuCelsius;
  std::optional<WallTime> cpuMeasuredAt;
};

// Everything one tick knows about the machine. Read-only once taken.
struct Snapshot {
  double uptime = 0;  // seconds, read at the end of the take
  std::optional<double> ssdCelsius;
  std::optional<double> cpuCelsius;
  std::optional<WallTime> cpuMeasuredAt;  // last successful CPU temperature read
  std::optional<WallTime> ssdMeasuredAt;  // last SSD read that gave a temperature
  std::optional<SSDHealth> ssdHealth;
  WallTime ssdCheckedAt = distantPast;    // last SSD read attempt
  // The SSD history as it was at the take; shared between snapshots until it changes.
  std::shared_ptr<const SSDHealthArchive> ssdArchive = SSDHealthArchive::none();
  bool ssdPersistenceOK = true;
  EarlyWatchSnapshot early;
  Workspace workspace;  // the desktop's applications, when the response watch read them
  HLSystem system{};
  std::vector<ProcessMemory> processes;  // in the kernel's listing order
  std::int32_t enumerationError = 0;     // 0, or the error number of a failed listing
  std::optional<std::set<std::uint32_t>> loggedInUIDs;  // absent when unknown

  // Reads the machine through `sources` and `readers`; the slow readings (CPU temperature) at
  // most once per slowReadInterval seconds of uptime, reused from `cache` in between. Never
  // fails as a whole: a missing figure is absent or flagged.
  static Snapshot take(const SnapshotSources& sources, SnapshotCache& cache,
                       std::span<const std::shared_ptr<SnapshotReader>> readers = {});

  // The distinct owner uids of the processes that belong to ordinary accounts, ascending.
  std::vector<std::uint32_t> userIDs(AccountRange accounts = ordinaryAccounts()) const;
};

inline constexpr double slowReadInterval = 60.0;  // seconds of uptime between slow reads


// A memory size ("16 GB", 1024-based) or a storage size (1000-based); absent is "取得不可".
std::string memoryText(std::optional<std::uint64_t> bytes, std::string_view language);
std::string memoryText(std::optional<std::uint64_t> bytes);
std::string storageText(std::optional<std::uint64_t> bytes, std::string_view language);
std::string storageText(std::optional<std::uint64_t> bytes);

}  // namespace hollin
