#include "core/snapshot/Snapshot.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/ByteCount.h"
#include "core/L10n.h"
#include "core/scope/LoginSessions.h"

namespace hollin {

namespace {

// The CPU temperature, due once per slowReadInterval of uptime. The date moves only with a
// value, so a failed read clears both rather than keeping an old date beside no value.
void refreshSlowReadings(const SnapshotSources& sources, SnapshotCache& cache, const TakeMoment& moment) {
  if (!moment.slowDue) return;
  cache.cpuCelsius = sources.cpuTemperature();
  cache.cpuMeasuredAt = cache.cpuCelsius ? std::optional(moment.now) : std::nullopt;
}

std::string byteText(std::optional<std::uint64_t> bytes, ByteCountStyle style,
                     std::string_view language) {
  if (!bytes) return L10n::render(msg("取得不可"), language);
  // The desktop formatter takes a signed 64-bit count.
  constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return formatByteCount(std::min(*bytes, largest), style, language);
}

}  // namespace

ProcessMemory processMemory(const HLProcess& native) {
  ProcessMemory process{native.pid, native.uid, native.start,
                        std::string(native.name, strnlen(native.name, sizeof native.name)),
                        std::nullopt, std::nullopt};
  if (native.footprint_valid) process.footprint = native.footprint;
  if (native.resident_valid) process.resident = native.resident;
  return process;
}

Snapshot Snapshot::take(const SnapshotSources& sources, SnapshotCache& cache,
                        std::span<const std::shared_ptr<SnapshotReader>> readers) {
  TakeMoment moment{sources.uptime(), sources.now(), false};
  moment.slowDue = cache.nextSlowRead <= moment.uptime;
  if (moment.slowDue) cache.nextSlowRead = moment.uptime + slowReadInterval;
  refreshSlowReadings(sources, cache, moment);

  Snapshot snapshot;
  snapshot.system = sources.system();
  for (const auto& reader : readers) reader->read(snapshot, moment);
  ProcessListing listing = sources.processes();
  if (listing)
    snapshot.processes = std::move(listing).value();
  else
    snapshot.enumerationError = listing.error();

  const std::optional<PlistValue> sessions = sources.loginSessions();
  snapshot.loggedInUIDs = LoginSessions::parse(sessions ? &*sessions : nullptr,
                                               sources.consoleUID());

  snapshot.uptime = sources.uptime();
  snapshot.cpuCelsius = cache.cpuCelsius;
  snapshot.cpuMeasuredAt = cache.cpuMeasuredAt;
  return snapshot;
}

std::vector<std::uint32_t> Snapshot::userIDs(AccountRange accounts) const {
  std::vector<std::uint32_t> uids;
  for (const ProcessMemory& process : processes)
    if (accounts.contains(process.uid)) uids.push_back(process.uid);
  std::sort(uids.begin(), uids.end());
  uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
  return uids;
}

std::string memoryText(std::optional<std::uint64_t> bytes, std::string_view language) {
  return byteText(bytes, ByteCountStyle::memory, language);
}

std::string memoryText(std::optional<std::uint64_t> bytes) {
  return memoryText(bytes, L10n::language());
}

std::string storageText(std::optional<std::uint64_t> bytes, std::string_view language) {
  return byteText(bytes, ByteCountStyle::file, language);
}

std::string storageText(std::optional<std::uint64_t> bytes) {
  return storageText(bytes, L10n::language());
}

}  // namespace hollin
