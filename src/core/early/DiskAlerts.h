// How much free space the data volume has, and whether it is draining fast: the low-space and
// sudden-drain warnings, and the forecast's warning.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/L10n.h"
#include "core/early/DiskForecast.h"
#include "core/early/EarlyWarning.h"

namespace hollin {

// Space lost over the last few minutes, and how long the rest lasts at that pace.
struct DiskDrain {
  std::uint64_t lostBytes = 0;  // between the oldest and the newest kept sample
  double secondsLeft = 0;       // until the free space reaches zero
  bool operator==(const DiskDrain&) const = default;
};

namespace DiskAlerts {

inline constexpr std::uint64_t attentionBytes = 20'000'000'000;
inline constexpr std::uint64_t dangerBytes = 10'000'000'000;
inline constexpr double drainWindow = 300.0;       // seconds of samples kept
inline constexpr double drainMinimumSpan = 120.0;  // seconds the samples must cover
inline constexpr std::uint64_t drainMinimumBytes = 5'000'000'000;  // lost over the kept samples
inline constexpr int drainSlices = 4;  // the last drainMinimumSpan cut into this many slices
inline constexpr std::uint64_t drainSliceMinimumBytes = 250'000'000;  // lost in every slice
inline constexpr double drainUrgentWithin = 900.0;  // seconds: a drain this close is urgent
inline constexpr double drainHorizon = 3600.0;      // seconds: a slower drain is not reported

enum class Level { ok = 0, attention = 1, danger = 2 };

// Nothing without a figure.
std::optional<Level> level(std::optional<std::uint64_t> available);
std::optional<EarlyWarning> lowSpace(std::optional<std::uint64_t> available,
                                     std::string_view language = L10n::language());
std::optional<EarlyWarning> drain(const std::optional<DiskDrain>& drain,
                                  std::string_view language = L10n::language());

}  // namespace DiskAlerts

// Free-space samples of the last few minutes, kept only while they form one continuous series:
// a sleep, a pause or a change of the wall clock starts a new one.
struct DiskDrainTracker {
  struct Sample {
    double time = 0;  // monotonic seconds (uptime)
    std::uint64_t available = 0;
    bool operator==(const Sample&) const = default;
  };
  std::vector<Sample> samples;   // oldest first
  std::optional<double> lastWall;  // the previous observation, seconds since 1970

  // One reading: `at` in uptime seconds, `wall` in seconds since 1970.
  std::optional<DiskDrain> observe(std::optional<std::uint64_t> available, double at, double wall);
  std::optional<DiskDrain> current() const;

  bool operator==(const DiskDrainTracker&) const = default;
};

namespace EarlyWarnings {

// Only a forecast in days can warn, and only within two weeks.
std::optional<EarlyWarning> disk(const DiskForecast& forecast, std::string_view language = L10n::language());

}  // namespace EarlyWarnings

}  // namespace hollin
