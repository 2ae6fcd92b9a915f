#include "core/early/EarlyWatchArchive.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/JsonReader.h"
#include "core/TextCut.h"

namespace hollin {
namespace {

constexpr double batteryPointInterval = 86400;  // seconds: an unchanged health is kept once a day
constexpr double recentInterval = 60;
constexpr double recentKeptFor = 21600;           // 6 hours
constexpr double temperatureInterval = 3600;      // hourly maxima
constexpr double temperatureKeptFor = 2592000;    // 30 days
constexpr double receiptsKeptFor = 5184000;       // 60 days
constexpr double highestCelsius = 200;            // exclusive bounds of a plausible reading
constexpr double lowestCelsius = -50;

// Keeps the newest `limit` elements of a series kept oldest first.
template <class Point>
void keepNewest(std::vector<Point>& points, std::size_t limit) {
  if (points.size() > limit) points.erase(points.begin(), points.end() - static_cast<std::ptrdiff_t>(limit));
}

// Whether the newest point of a series lies after `at`: the wall clock went back, and nothing is
// recorded in the series until it has passed that point again.
template <class Point>
bool clockBehind(const std::vector<Point>& points, WallTime at) {
  return !points.empty() && points.back().at > at;
}

bool withinTextLimit(std::string_view text) { return text.size() <= EarlyWatchArchive::maxTextBytes; }

template <class T>
void putOptional(Json& json, const char* key, const std::optional<T>& value) {
  if (value) json[key] = *value;
}

void putOptionalDate(Json& json, const char* key, const std::optional<WallTime>& value) {
  if (value) json[key] = toJson(*value);
}

// An array that may be missing (or null), read element by element.
template <class Read>
auto optionalList(JsonReader& in, const Json& object, std::string_view key, Read read)
    -> std::vector<typename std::invoke_result_t<Read, const Json&>::value_type> {
  const auto found = object.find(key);
  if (!in.ok() || found == object.end() || found->is_null()) return {};
  return in.list(key, std::numeric_limits<std::size_t>::max(), read);
}

std::optional<BatteryHealthPoint> batteryPointFromJson(const Json& json) {
  return readRecord<BatteryHealthPoint>(json, [&](JsonReader& in, BatteryHealthPoint& point) {
    point = {requiredDate(in, json), in.optional<std::int64_t>("maximumCapacity"), in.optional<std::string>("condition"),
             in.optional<std::int64_t>("cycleCount")};
  });
}

std::optional<DiskFreePoint> diskPointFromJson(const Json& json) {
  return readRecord<DiskFreePoint>(json, [&](JsonReader& in, DiskFreePoint& point) {
    point = {requiredDate(in, json), in.required<std::uint64_t>("available"), in.required<std::uint64_t>("total")};
  });
}

std::optional<RecentPoint> recentPointFromJson(const Json& json) {
  return readRecord<RecentPoint>(json, [&](JsonReader& in, RecentPoint& point) {
    point = {requiredDate(in, json), in.optional<std::uint64_t>("available"), in.optional<double>("ssdCelsius")};
  });
}

std::optional<TemperaturePoint> temperaturePointFromJson(const Json& json) {
  return readRecord<TemperaturePoint>(json, [&](JsonReader& in, TemperaturePoint& point) {
    point = {requiredDate(in, json), in.required<double>("maxCelsius")};
  });
}

std::optional<EarlyReceipt> receiptFromJson(const Json& json) {
  return readRecord<EarlyReceipt>(json, [&](JsonReader& in, EarlyReceipt& receipt) {
    receipt = {requiredDate(in, json), in.required<std::string>("signature"), in.optional<int>("severity")};
  });
}

}  // namespace

bool EarlyWatchArchive::recordBattery(const std::optional<BatteryHealth>& health,
                                      std::optional<std::int64_t> cycleCount, WallTime at) {
  if (!health) return false;
  if (!health->maximumCapacity && !health->condition && !health->cycleCount && !cycleCount) return false;
  if (clockBehind(batteryHealth, at)) return false;
  const BatteryHealthPoint point{at, health->maximumCapacity, health->condition,
                                 health->cycleCount ? health->cycleCount : cycleCount};
  if (!batteryHealth.empty()) {
    const BatteryHealthPoint& newest = batteryHealth.back();
    if (secondsBetween(newest.at, at) < batteryPointInterval && newest.maximumCapacity == point.maximumCapacity &&
        newest.condition == point.condition)
      return false;
  }
  batteryHealth.push_back(point);
  keepNewest(batteryHealth, maxBatteryPoints);
  return true;
}

bool EarlyWatchArchive::recordRecent(std::optional<std::uint64_t> available, std::optional<double> ssdCelsius,
                                     WallTime at) {
  if (!available && !ssdCelsius) return false;
  if (ssdCelsius && !std::isfinite(*ssdCelsius)) return false;
  if (clockBehind(recent, at)) return false;
  if (!recent.empty() && secondsBetween(recent.back().at, at) < recentInterval) return false;
  std::erase_if(recent, [at](const RecentPoint& point) { return secondsBetween(point.at, at) > recentKeptFor; });
  recent.push_back({at, available, ssdCelsius});
  keepNewest(recent, maxRecentPoints);
  return true;
}

bool EarlyWatchArchive::recordTemperature(std::optional<double> celsius, WallTime at) {
  if (!celsius || !std::isfinite(*celsius) || *celsius >= highestCelsius || *celsius <= lowestCelsius) return false;
  if (clockBehind(ssdTemperature, at)) return false;
  if (!ssdTemperature.empty() && secondsBetween(ssdTemperature.back().at, at) < temperatureInterval) {
    if (*celsius <= ssdTemperature.back().maxCelsius) return false;
    ssdTemperature.back().maxCelsius = *celsius;
    return true;
  }
  std::erase_if(ssdTemperature,
                [at](const TemperaturePoint& point) { return secondsBetween(point.at, at) > temperatureKeptFor; });
  ssdTemperature.push_back({at, *celsius});
  keepNewest(ssdTemperature, maxTemperaturePoints);
  return true;
}

std::optional<RecentPoint> EarlyWatchArchive::lowestRecent(WallTime now, double within) const {
  std::optional<RecentPoint> lowest;
  for (const RecentPoint& point : recent) {
    const double age = secondsBetween(point.at, now);
    if (!point.available || age < 0 || age > within) continue;
    if (!lowest || *point.available < *lowest->available) lowest = point;
  }
  return lowest;
}

std::optional<double> EarlyWatchArchive::maxTemperature(WallTime now, double within) const {
  std::optional<double> highest;
  for (const TemperaturePoint& point : ssdTemperature) {
    const double age = secondsBetween(point.at, now);
    if (age < 0 || age >= within) continue;
    if (!highest || point.maxCelsius > *highest) highest = point.maxCelsius;
  }
  return highest;
}

bool EarlyWatchArchive::valid() const {
  const auto finite = [](double value) { return std::isfinite(value); };
  return schema == currentSchema && batteryHealth.size() <= maxBatteryPoints && disk.size() <= maxDiskPoints &&
         receipts.size() <= maxReceipts && recent.size() <= maxRecentPoints &&
         ssdTemperature.size() <= maxTemperaturePoints &&
         std::all_of(batteryHealth.begin(), batteryHealth.end(),
                     [](const BatteryHealthPoint& point) { return withinTextLimit(point.condition.value_or("")); }) &&
         std::all_of(disk.begin(), disk.end(), [](const DiskFreePoint& point) { return point.available <= point.total; }) &&
         std::all_of(recent.begin(), recent.end(),
                     [&](const RecentPoint& point) { return !point.ssdCelsius || finite(*point.ssdCelsius); }) &&
         std::all_of(ssdTemperature.begin(), ssdTemperature.end(),
                     [&](const TemperaturePoint& point) { return finite(point.maxCelsius); }) &&
         std::all_of(receipts.begin(), receipts.end(), [](const auto& entry) {
           return withinTextLimit(entry.first) && withinTextLimit(entry.second.signature);
         });
}

std::string EarlyWatchArchive::receiptKey(std::string_view kind) { return wellFormedUTF8(kind, maxTextBytes); }

bool EarlyWatchArchive::eligible(const EarlyWarning& warning, WallTime now) const {
  const auto found = receipts.find(receiptKey(warning.kind));
  if (found == receipts.end()) return true;
  const EarlyReceipt& receipt = found->second;
  const double elapsed = secondsBetween(receipt.at, now);
  if (elapsed < 0) return true;
  if (receipt.severity ? *receipt.severity < warning.severity : warning.severity > 0) return true;
  return warning.repeatAfter <= elapsed;
}

void EarlyWatchArchive::accepted(const std::vector<EarlyWarning>& warnings, WallTime now) {
  for (const EarlyWarning& warning : warnings)
    receipts[receiptKey(warning.kind)] = {now, wellFormedUTF8(warning.signature, maxTextBytes), warning.severity};
  std::erase_if(receipts, [now](const auto& entry) { return secondsBetween(entry.second.at, now) > receiptsKeptFor; });
  if (receipts.size() <= maxReceipts) return;
  std::vector<std::pair<WallTime, std::string>> byDate;
  for (const auto& [kind, receipt] : receipts) byDate.emplace_back(receipt.at, kind);
  std::sort(byDate.begin(), byDate.end(), std::greater<>());
  for (std::size_t i = maxReceipts; i < byDate.size(); ++i) receipts.erase(byDate[i].second);
}

Json toJson(const EarlyWatchArchive& archive) {
  Json json{{"schema", archive.schema}};
  json["batteryHealth"] = Json::array();
  for (const auto& point : archive.batteryHealth) {
    Json entry{{"at", toJson(point.at)}};
    putOptional(entry, "maximumCapacity", point.maximumCapacity);
    putOptional(entry, "condition", point.condition);
    putOptional(entry, "cycleCount", point.cycleCount);
    json["batteryHealth"].push_back(std::move(entry));
  }
  json["disk"] = Json::array();
  for (const auto& point : archive.disk)
    json["disk"].push_back({{"at", toJson(point.at)}, {"available", point.available}, {"total", point.total}});
  putOptionalDate(json, "lastBackup", archive.lastBackup);
  json["receipts"] = Json::object();
  for (const auto& [kind, receipt] : archive.receipts) {
    Json entry{{"at", toJson(receipt.at)}, {"signature", receipt.signature}};
    putOptional(entry, "severity", receipt.severity);
    json["receipts"][kind] = std::move(entry);
  }
  putOptionalDate(json, "backupWatchSince", archive.backupWatchSince);
  putOptionalDate(json, "lastMounted", archive.lastMounted);
  json["recent"] = Json::array();
  for (const auto& point : archive.recent) {
    Json entry{{"at", toJson(point.at)}};
    putOptional(entry, "available", point.available);
    putOptional(entry, "ssdCelsius", point.ssdCelsius);
    json["recent"].push_back(std::move(entry));
  }
  json["ssdTemperature"] = Json::array();
  for (const auto& point : archive.ssdTemperature)
    json["ssdTemperature"].push_back({{"at", toJson(point.at)}, {"maxCelsius", point.maxCelsius}});
  return json;
}

std::optional<EarlyWatchArchive> earlyArchiveFromJson(const Json& json) {
  JsonReader in(json);
  EarlyWatchArchive archive;
  archive.schema = in.optional<int>("schema").value_or(EarlyWatchArchive::currentSchema);
  archive.batteryHealth = optionalList(in, json, "batteryHealth", batteryPointFromJson);
  archive.disk = optionalList(in, json, "disk", diskPointFromJson);
  archive.lastBackup = optionalMember(in, json, "lastBackup", dateFromJson);
  archive.backupWatchSince = optionalMember(in, json, "backupWatchSince", dateFromJson);
  archive.lastMounted = optionalMember(in, json, "lastMounted", dateFromJson);
  archive.recent = optionalList(in, json, "recent", recentPointFromJson);
  archive.ssdTemperature = optionalList(in, json, "ssdTemperature", temperaturePointFromJson);
  const auto receipts = optionalMember(in, json, "receipts", [](const Json& object) -> std::optional<Json> {
    if (!object.is_object()) return std::nullopt;
    return object;
  });
  if (!in.ok()) return std::nullopt;
  if (receipts)
    for (const auto& [kind, value] : receipts->items()) {
      auto receipt = receiptFromJson(value);
      if (!receipt) return std::nullopt;
      archive.receipts[kind] = std::move(*receipt);
    }
  return archive;
}

}  // namespace hollin
