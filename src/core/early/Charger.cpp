#include "core/early/Charger.h"

namespace hollin {

std::string_view ChargerState::code() const {
  switch (value) {
    case Case::draining: return critical ? "drainingCritical" : "draining";
    case Case::unavailable: return "unavailable";
    case Case::onBattery: return "onBattery";
    case Case::normal: return "normal";
    case Case::toLimit: return "toLimit";
    case Case::checking: return "checking";
  }
  return "unavailable";
}

ChargerState ChargerDrainDetector::observe(const std::optional<BatteryReading>& reading,
                                           const ChargeLimit& limit, double time) {
  if (last && (time <= *last || time - *last > maxGap)) strikes = 0;
  last = time;

  const auto settle = [this](ChargerState::Case value) {
    strikes = 0;
    return ChargerState{value};
  };
  if (!reading || !reading->externalConnected) return settle(ChargerState::Case::unavailable);
  if (!*reading->externalConnected) return settle(ChargerState::Case::onBattery);
  if (!reading->amperage) return settle(ChargerState::Case::unavailable);
  if (*reading->amperage > -drainMilliamps) return settle(ChargerState::Case::normal);
  // Running down to the user's limit on purpose, while the system has not latched a stop.
  if (reading->percent && limit.percent && limit.drain && reading->notChargingReason &&
      *limit.percent < *reading->percent && (*reading->notChargingReason & latchBit) == 0)
    return settle(ChargerState::Case::toLimit);

  ++strikes;
  if (strikes == 1) return {ChargerState::Case::checking};
  return ChargerState::draining(reading->percent && *reading->percent <= criticalPercent);
}

}  // namespace hollin
