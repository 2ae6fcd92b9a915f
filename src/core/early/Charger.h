// Whether the battery loses charge although the adapter is connected: a drain is confirmed
// over two consecutive readings, so one heavy moment does not raise it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/early/BatteryReading.h"
#include "core/early/ChargeLimit.h"

namespace hollin {

struct ChargerState {
  enum class Case : std::uint8_t {
    draining,     // on power, and the battery lost charge on two consecutive readings
    unavailable,  // no reading, no adapter information, or no current
    onBattery,    // the adapter is not connected
    normal,       // on power, and the current is not a drain
    toLimit,      // on power and draining, but only down to the user's charge limit
    checking,     // on power and draining on the first reading; confirmation pending
  };
  Case value = Case::unavailable;
  bool critical = false;  // draining only

  static constexpr ChargerState draining(bool critical) { return {Case::draining, critical}; }

  // The short code of logs and snapshots: "draining", "drainingCritical", "unavailable", …
  std::string_view code() const;

  bool operator==(const ChargerState&) const = default;
};

struct ChargerDrainDetector {
  static constexpr std::int64_t drainMilliamps = 200;
  static constexpr std::int64_t criticalPercent = 40;
  static constexpr std::int64_t latchBit = 128;  // of the not-charging reason
  static constexpr double maxGap = 180.0;        // seconds between readings of one streak

  int strikes = 0;            // consecutive draining observations
  std::optional<double> last;  // the previous observation, seconds since 1970

  // One reading at `time` (seconds since 1970). A gap of more than maxGap, or a clock set back,
  // starts the streak again.
  ChargerState observe(const std::optional<BatteryReading>& reading, const ChargeLimit& limit, double time);

  bool operator==(const ChargerDrainDetector&) const = default;
};

}  // namespace hollin
