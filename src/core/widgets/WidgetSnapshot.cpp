#include "core/widgets/WidgetSnapshot.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "core/BuildProfile.h"
#include "core/JsonReader.h"
#include "core/L10n.h"
#include "core/SmallFile.h"
#include "core/snapshot/Snapshot.h"
#include "core/snapshot/Staleness.h"

namespace hollin {
namespace {

// The seconds to write for `time`: a value that reads back as the same time. Reading goes
// through a double, so far from the reference date the nearest value may be a step of its last
// digit away from what referenceSeconds gives.
double storedSeconds(WallTime time) {
  const double first = referenceSeconds(time);
  if (!(std::abs(first) <= largestReferenceSeconds)) return first;  // refused on reading anyway
  const WallTime read = fromReferenceSeconds(first);
  if (read == time) return first;
  const bool up = read < time;
  constexpr int maxSteps = 16;  // one step is what the clock's range needs; the rest is margin
  double seconds = first;
  for (int step = 0; step < maxSteps; ++step) {
    seconds = std::nextafter(seconds, up ? largestReferenceSeconds : -largestReferenceSeconds);
    const WallTime next = fromReferenceSeconds(seconds);
    if (next == time) return seconds;
    if (up ? next > time : next < time) break;  // a time no written value reads back as
  }
  return first;
}

// A wall-clock moment `seconds` before `now`; an age that is no number counts as none.
WallTime before(WallTime now, double seconds) {
  if (!(std::abs(seconds) <= largestReferenceSeconds)) return now;
  return addingSeconds(now, -seconds);
}

}  // namespace

std::optional<std::filesystem::path> WidgetSnapshot::containerFolder(
    const EnvironmentLookup& lookup) {
  auto base = dataHome(lookup);
  if (!base) return std::nullopt;
  return *base / std::string(AppGroupIdentifier);
}

std::optional<std::filesystem::path> WidgetSnapshot::containerFile(
    const EnvironmentLookup& lookup) {
  auto folder = containerFolder(lookup);
  if (!folder) return std::nullopt;
  return *folder / std::string(fileName);
}

std::optional<WidgetSnapshot> WidgetSnapshot::read(const std::optional<std::filesystem::path>& file) {
  if (!file) return std::nullopt;
  const auto bytes = readSmallFile(*file, sizeLimit);
  if (!bytes) return std::nullopt;
  return decodeWidgetSnapshot(*bytes);
}

bool WidgetSnapshot::withinRecency(WallTime measured, WallTime now) {
  const double age = secondsBetween(measured, now);
  return age >= -aheadAllowed && age < recentFor;
}

bool WidgetSnapshot::isRecent(WallTime now) const { return withinRecency(measuredAt, now); }

std::optional<double> WidgetSnapshot::recentCPUTemperature(WallTime now) const {
  constexpr double lowestPlausible = 20, highestPlausible = 120;  // °C; 20 itself is not a CPU at work
  if (!isRecent(now) || !cpuMeasuredAt || !withinRecency(*cpuMeasuredAt, now) || !cpuCelsius) return std::nullopt;
  const double celsius = *cpuCelsius;
  if (!std::isfinite(celsius) || !(celsius > lowestPlausible && celsius <= highestPlausible)) return std::nullopt;
  return celsius;
}

std::optional<double> WidgetSnapshot::memoryFraction() const { return fraction(memoryUsed, memoryTotal); }

std::optional<double> WidgetSnapshot::diskFreeFraction() const { return fraction(diskAvailable, diskTotal); }

std::optional<double> fraction(std::optional<std::uint64_t> part, std::optional<std::uint64_t> whole) {
  if (!part || !whole || *whole == 0 || *part > *whole) return std::nullopt;
  return static_cast<double>(*part) / static_cast<double>(*whole);
}

std::string encodeWidgetSnapshot(const WidgetSnapshot& summary) {
  Json json = Json::object();
  const auto put = [&json](const char* key, const auto& value) {
    if (value) json[key] = *value;
  };
  // NaN and infinities have no JSON form; they are left out like any unknown figure.
  const auto putFinite = [&json](const char* key, const std::optional<double>& value) {
    if (value && std::isfinite(*value)) json[key] = *value;
  };
  const auto putDate = [&json](const char* key, const std::optional<WallTime>& value) {
    if (value) json[key] = storedSeconds(*value);
  };
  putDate("measuredAt", summary.measuredAt);
  put("memoryUsed", summary.memoryUsed);
  put("memoryTotal", summary.memoryTotal);
  put("diskAvailable", summary.diskAvailable);
  put("diskTotal", summary.diskTotal);
  put("compressed", summary.compressed);
  put("swap", summary.swap);
  json["level"] = summary.level;
  json["status"] = summary.status;
  putFinite("cpuFraction", summary.cpuFraction);
  put("thermalState", summary.thermalState);
  put("swapChange", summary.swapChange);
  putFinite("ssdCelsius", summary.ssdCelsius);
  putDate("ssdMeasuredAt", summary.ssdMeasuredAt);
  putFinite("cpuCelsius", summary.cpuCelsius);
  putDate("cpuMeasuredAt", summary.cpuMeasuredAt);
  // The status is text of our own tables, but a stray byte must not make the writer throw.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<WidgetSnapshot> decodeWidgetSnapshot(std::string_view text) {
  const Json json = Json::parse(text, nullptr, false);
  return readRecord<WidgetSnapshot>(json, [&](JsonReader& in, WidgetSnapshot& summary) {
    summary.measuredAt = member(in, json, "measuredAt", dateFromJson).value_or(WallTime{});
    summary.memoryUsed = in.optional<std::uint64_t>("memoryUsed");
    summary.memoryTotal = in.optional<std::uint64_t>("memoryTotal");
    summary.diskAvailable = in.optional<std::uint64_t>("diskAvailable");
    summary.diskTotal = in.optional<std::uint64_t>("diskTotal");
    summary.compressed = in.optional<std::uint64_t>("compressed");
    summary.swap = in.optional<std::uint64_t>("swap");
    summary.level = in.required<std::string>("level");
    summary.status = in.required<std::string>("status");
    summary.cpuFraction = in.optional<double>("cpuFraction");
    summary.thermalState = in.optional<std::int64_t>("thermalState");
    summary.swapChange = in.optional<std::int64_t>("swapChange");
    summary.ssdCelsius = in.optional<double>("ssdCelsius");
    summary.ssdMeasuredAt = optionalMember(in, json, "ssdMeasuredAt", dateFromJson);
    summary.cpuCelsius = in.optional<double>("cpuCelsius");
    summary.cpuMeasuredAt = optionalMember(in, json, "cpuMeasuredAt", dateFromJson);
  });
}

WidgetSnapshot widgetSummary(const Snapshot& snapshot, const WidgetSummaryInputs& inputs) {
  WidgetSnapshot summary;
  summary.measuredAt = before(inputs.wallNow, inputs.now - snapshot.uptime);
  if (isStale(inputs.asleep, inputs.now, snapshot.uptime)) {
    summary.level = rawValue(MenuBarLevel::unavailable);
    summary.status = L10n::render(title(MenuBarLevel::unavailable), inputs.language);
    return summary;
  }
  const HLSystem& system = snapshot.system;
  const auto when = [](bool valid, std::uint64_t value) {
    return valid ? std::optional<std::uint64_t>(value) : std::nullopt;
  };
  summary.memoryUsed = when(system.memory_used_valid != 0, system.memory_used);
  summary.memoryTotal = when(system.physical != 0, system.physical);
  summary.diskAvailable = when(system.disk_valid != 0, system.disk_available);
  summary.diskTotal = when(system.disk_valid != 0, system.disk_total);
  summary.compressed = when(system.vm_valid != 0, system.compressed);
  summary.swap = when(system.swap_valid != 0, system.swap_used);
  summary.level = rawValue(inputs.level);
  summary.status = L10n::render(title(inputs.level), inputs.language);
  summary.cpuFraction = inputs.cpuFraction;
  // Linux has no four-step thermal state to report: thermalState stays absent.
  summary.swapChange = inputs.swapChange;
  summary.ssdCelsius = snapshot.ssdCelsius;
  summary.ssdMeasuredAt = snapshot.ssdMeasuredAt;
  summary.cpuCelsius = snapshot.cpuCelsius;
  summary.cpuMeasuredAt = snapshot.cpuMeasuredAt;
  return summary;
}

}  // namespace hollin
