// The system's own verdict on the battery: maximum capacity, condition and cycle count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Json.h"
#include "core/L10n.h"
#include "native/Power.h"

namespace hollin {

struct BatteryHealth {
  static constexpr std::size_t maximumConditionLength = 64;  // characters

  std::optional<std::int64_t> maximumCapacity;  // percent of the design capacity, 1…150
  std::optional<std::string> condition;         // as the system gives it
  std::optional<std::int64_t> cycleCount;       // 0…100000

  // The condition lower-cased (ASCII letters), as the rules compare it; empty without one.
  std::string conditionKey() const;
  // Absent without a condition; else whether it is "good" or "normal", in any case.
  std::optional<bool> conditionIsNormal() const;
  // The condition as the user reads it; a text we do not know is shown as it stands.
  std::string localizedCondition(std::string_view language = L10n::language()) const;

  // The power report of the system profiler, as JSON: its first battery health section.
  static std::optional<BatteryHealth> parseSystemProfiler(std::string_view bytes);
  // One battery health section: {"sppower_battery_health_maximum_capacity": …,
  // "sppower_battery_health": …, "sppower_battery_cycle_count": …}; absent when it is no object.
  static std::optional<BatteryHealth> parseHealthInfo(const Json& info);

  // The kernel's figures read as such a section: the charge when full against the charge when
  // new, the health the batteries report, their highest cycle count. Absent without a battery
  // or when the batteries tell none of these.
  static std::optional<BatteryHealth> fromKernel(const HLPower& power);

  bool operator==(const BatteryHealth&) const = default;
};

}  // namespace hollin
