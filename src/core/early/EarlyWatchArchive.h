// What the slow watchers remember between runs ("watch-history.json"): the battery's health
// over the years, the hourly disk series, the free space and SSD temperature of the last hours,
// hourly SSD temperature maxima, the dates the backup rule needs, and the receipts that decide
// whether a warning may be told again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/Json.h"
#include "core/WallTime.h"
#include "core/early/BackupStatus.h"
#include "core/early/BatteryHealth.h"
#include "core/early/DiskForecast.h"
#include "core/early/EarlyWarning.h"

namespace hollin {

struct BatteryHealthPoint {
  WallTime at{};
  std::optional<std::int64_t> maximumCapacity;
  std::optional<std::string> condition;
  std::optional<std::int64_t> cycleCount;
  bool operator==(const BatteryHealthPoint&) const = default;
};

// Free space and SSD temperature of the last hours, at most one a minute.
struct RecentPoint {
  WallTime at{};
  std::optional<std::uint64_t> available;
  std::optional<double> ssdCelsius;
  bool operator==(const RecentPoint&) const = default;
};

// The highest SSD temperature of one hour.
struct TemperaturePoint {
  WallTime at{};
  double maxCelsius = 0;
  bool operator==(const TemperaturePoint&) const = default;
};

// When a warning of one kind was last told, and how severe it was.
struct EarlyReceipt {
  WallTime at{};
  std::string signature;
  std::optional<int> severity;
  bool operator==(const EarlyReceipt&) const = default;
};

struct EarlyWatchArchive {
  static constexpr int currentSchema = 1;
  static constexpr std::size_t maxBatteryPoints = 1500;
  static constexpr std::size_t maxDiskPoints = 720;
  static constexpr std::size_t maxReceipts = 64;
  static constexpr std::size_t maxRecentPoints = 360;
  static constexpr std::size_t maxTemperaturePoints = 720;
  static constexpr std::size_t maxTextBytes = 256;  // receipt keys and signatures, conditions

  int schema = currentSchema;
  std::vector<BatteryHealthPoint> batteryHealth;  // oldest first
  std::vector<DiskFreePoint> disk;                // oldest first
  std::optional<WallTime> lastBackup;             // the newest backup date ever seen
  std::map<std::string, EarlyReceipt> receipts;   // by warning kind
  std::optional<WallTime> backupWatchSince;       // since when a configured destination is watched
  std::optional<WallTime> lastMounted;            // when a destination was last seen mounted
  std::vector<RecentPoint> recent;                // oldest first
  std::vector<TemperaturePoint> ssdTemperature;   // oldest first

  // Each mutation reports whether the archive changed. A wall clock behind the newest point of
  // a series records nothing in it and keeps what is stored.

  // A health point when the capacity or condition changed, or a day after the last one.
  bool recordBattery(const std::optional<BatteryHealth>& health, std::optional<std::int64_t> cycleCount,
                     WallTime at);
  // Adds a point at most once an hour, keeping 30 days and maxDiskPoints points.
  bool recordDisk(std::optional<std::uint64_t> available, std::optional<std::uint64_t> total, WallTime at);
  // At most one point a minute, keeping 6 hours.
  bool recordRecent(std::optional<std::uint64_t> available, std::optional<double> ssdCelsius, WallTime at);
  // Hourly maxima of plausible temperatures, keeping 30 days.
  bool recordTemperature(std::optional<double> celsius, WallTime at);
  // Remembers the newest backup date, the watch start and the last time a destination was seen.
  bool recordBackup(const BackupStatus& status, WallTime at);
  // Remembers `latest` alone when it is newer than the remembered date and not in the future.
  bool recordBackup(std::optional<WallTime> latest, WallTime at);

  // The recent point with the least free space within `within` seconds before `now`; the
  // earliest of equal ones.
  std::optional<RecentPoint> lowestRecent(WallTime now, double within) const;
  // The highest hourly maximum of less than `within` seconds before `now`.
  std::optional<double> maxTemperature(WallTime now, double within) const;

  DiskForecast diskForecast(WallTime now) const;
  // The median of the slopes between every two points more than half an hour apart, in bytes a
  // day (negative while space is used up); nothing without such a pair.
  static std::optional<double> medianSlope(std::span<const DiskFreePoint> points);

  // Within every limit of the format: what is checked on loading and before saving.
  bool valid() const;
  // Whether `warning` may be told at `now`, given the receipt of its kind.
  bool eligible(const EarlyWarning& warning, WallTime now) const;
  // These warnings were told at `now`: their receipts replace the earlier ones; receipts older
  // than 60 days go, and of the rest the newest maxReceipts stay.
  void accepted(const std::vector<EarlyWarning>& warnings, WallTime now);
  // The key a kind's receipt is kept under: the kind as valid UTF-8, cut at a character
  // boundary to maxTextBytes (a crash kind carries an application's name: any bytes, any
  // length). Signatures are stored the same way.
  static std::string receiptKey(std::string_view kind);

  bool operator==(const EarlyWatchArchive&) const = default;
};

// Compact JSON of the history file; optional fields are left out when absent.
Json toJson(const EarlyWatchArchive& archive);
// A decoded archive, or nothing when a required field is missing or any field is mistyped.
// Absent arrays, "receipts" and "schema" take their defaults. Validity (EarlyWatchArchive::valid)
// is checked separately.
std::optional<EarlyWatchArchive> earlyArchiveFromJson(const Json& json);

}  // namespace hollin
