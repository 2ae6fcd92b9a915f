#include "core/memory/HeldReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "core/TextCut.h"
#include "core/sharing/PeerReportJson.h"

namespace hollin {
namespace {

constexpr std::array<std::pair<ProbeOutcome, std::string_view>, 3> outcomeNames{{
    {ProbeOutcome::responsive, "responsive"},
    {ProbeOutcome::failed, "failed"},
    {ProbeOutcome::unavailable, "unavailable"},
}};

// The name as the report carries it: well-formed UTF-8 of at most maxReportedNameLength
// characters. Cut first, so that a huge name is not mended whole, and again after mending,
// which may have turned one stray sequence into several characters.
std::string reportedName(std::string_view name) {
  return firstCharacters(wellFormedUTF8(firstCharacters(name, maxReportedNameLength)), maxReportedNameLength);
}

bool nameFits(std::string_view name) {
  // Every character takes at least one byte; longer names are walked no further than needed.
  return name.size() <= maxReportedNameLength ||
         firstCharacters(name, maxReportedNameLength).size() == name.size();
}

// A time of the report: finite, not negative and not ahead of the report's own uptime by more
// than the usual lead. Written so that NaN fails.
bool plausibleTime(double time, double uptime) {
  return std::isfinite(time) && time >= 0 && time <= uptime + reportMaxLead;
}

bool listsAProcessTwice(const std::vector<ReportedMemory>& memory) {
  std::vector<std::pair<std::int32_t, std::uint64_t>> identities;
  identities.reserve(memory.size());
  for (const auto& process : memory) identities.emplace_back(process.identity.pid, process.identity.start);
  std::sort(identities.begin(), identities.end());
  return std::adjacent_find(identities.begin(), identities.end()) != identities.end();
}

bool validProcess(const ReportedMemory& process) {
  return process.identity.pid >= 1 && nameFits(process.name) && process.footprint.value_or(0) <= maxReportedBytes &&
         process.resident.value_or(0) <= maxReportedBytes;
}

bool validVerdict(const AppResponse& app, double uptime) {
  return app.identity.pid >= 1 && plausibleTime(app.checkedAt, uptime) && uptime - app.checkedAt <= verdictMaxAge &&
         nameFits(app.name) && app.failures >= 0 && app.failures <= maxReportedFailures &&
         (!app.firstFailure ||
          (std::isfinite(*app.firstFailure) && *app.firstFailure >= 0 && *app.firstFailure <= app.checkedAt));
}

}  // namespace

std::string_view rawValue(ProbeOutcome outcome) {
  for (const auto& [value, name] : outcomeNames)
    if (value == outcome) return name;
  return {};
}

std::optional<ProbeOutcome> probeOutcomeFromRawValue(std::string_view raw) {
  for (const auto& [value, name] : outcomeNames)
    if (name == raw) return value;
  return std::nullopt;
}

bool AppResponse::suspected() const {
  return outcome == ProbeOutcome::failed && failures >= suspectedFailureCount &&
         checkedAt - firstFailure.value_or(checkedAt) >= suspectedFailureSpan;
}

bool MonitorStatus::isValid() const {
  const bool versionValid =
      !version.empty() && version.size() <= maxVersionLength &&
      std::all_of(version.begin(), version.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
  if (!versionValid || receivedUIDs.size() > maxReceivedUIDs) return false;
  std::vector<std::uint32_t> sorted = receivedUIDs;
  std::sort(sorted.begin(), sorted.end());
  return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end() &&
         std::all_of(sorted.begin(), sorted.end(),
                     [](std::uint32_t uid) { return uid >= lowestReportedUID && uid <= highestReportedUID; });
}

PeerReport PeerReport::make(std::uint32_t uid, double uptime, bool trusted, bool workerHealthy,
                            std::vector<AppResponse> apps, std::vector<ReportedMemory> memory, double memoryCheckedAt,
                            bool memoryComplete, std::optional<MonitorStatus> monitorStatus) {
  const bool listedAll = memory.size() <= maxReportedProcesses;
  if (apps.size() > maxReportedApps) apps.erase(apps.begin() + maxReportedApps, apps.end());
  if (!listedAll) memory.erase(memory.begin() + maxReportedProcesses, memory.end());
  for (auto& app : apps) app.name = reportedName(app.name);
  for (auto& process : memory) process.name = reportedName(process.name);
  PeerReport report{.schema = peerReportSchema, .uid = uid, .uptime = uptime, .trusted = trusted,
                    .workerHealthy = workerHealthy, .apps = std::move(apps), .memory = std::move(memory),
                    .memoryCheckedAt = memoryCheckedAt, .memoryComplete = memoryComplete && listedAll,
                    .monitorStatus = std::move(monitorStatus)};
  fitReportSize(report);
  return report;
}

bool PeerReport::isValid(std::uint32_t expectedUID, double now) const {
  // The rules in the order they are documented; comparisons are written so that NaN fails.
  if (schema != peerReportSchema || uid != expectedUID) return false;
  if (!std::isfinite(uptime) || !(uptime <= now + reportMaxLead) || !(now - uptime <= reportMaxAge)) return false;
  if (apps.size() > maxReportedApps || memory.size() > maxReportedProcesses) return false;
  if (monitorStatus && !monitorStatus->isValid()) return false;
  if (!plausibleTime(memoryCheckedAt, uptime)) return false;
  if (listsAProcessTwice(memory)) return false;
  if (!std::all_of(memory.begin(), memory.end(), validProcess)) return false;
  return std::all_of(apps.begin(), apps.end(), [&](const AppResponse& app) { return validVerdict(app, uptime); });
}

bool PeerReport::hasFreshMemory(double now) const {
  const double age = now - memoryCheckedAt;
  // Written so that a NaN age is not fresh.
  return memoryComplete && age >= -freshMemoryLead && age <= staleAfter;
}

}  // namespace hollin
