// The hourly free-space series and what it says about when the disk will be full.
#pragma once

#include <cstdint>
#include <string>

#include "core/WallTime.h"

namespace hollin {

// One hourly point of the series.
struct DiskFreePoint {
  WallTime at{};
  std::uint64_t available = 0;  // bytes
  std::uint64_t total = 0;      // bytes
  bool operator==(const DiskFreePoint&) const = default;
};

struct DiskForecast {
  enum class Case {
    collecting,   // fewer than 3 days of points; `value` is the hours until a forecast
    days,         // full after about `value` days
    unavailable,  // no point at or before the present
    sparse,       // 3 days, but too few or too irregular points
    steady,       // the free space is not falling
    slow,         // falling, but it would take more than 365 days
  };
  Case kind = Case::unavailable;
  int value = 0;

  static DiskForecast collecting(int hoursLeft) { return {Case::collecting, hoursLeft}; }
  static DiskForecast days(int days) { return {Case::days, days}; }
  static constexpr DiskForecast of(Case kind) { return {kind, 0}; }

  // "collecting:12h", "days:9", "unavailable", "sparse", "steady", "slow"
  std::string code() const;

  bool operator==(const DiskForecast&) const = default;
};

}  // namespace hollin
