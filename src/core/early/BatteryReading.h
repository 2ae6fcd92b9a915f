// The live state of the battery and its adapter, from the power registry's dictionary.
#pragma once

#include <cstdint>
#include <optional>

#include "core/PropertyList.h"
#include "native/Power.h"

namespace hollin {

struct BatteryReading {
  std::optional<bool> externalConnected;
  std::optional<bool> charging;
  std::optional<std::int64_t> amperage;  // mA, negative while discharging
  std::optional<std::int64_t> percent;
  std::optional<std::int64_t> notChargingReason;  // bit field
  std::optional<std::int64_t> adapterWatts;
  std::optional<std::int64_t> cycleCount;
  std::optional<std::int64_t> designCycleCount;

  // Absent only when the dictionary says the battery is missing; every other key that is
  // missing, of the wrong type or out of range leaves its field absent.
  static std::optional<BatteryReading> parse(const PlistDictionary& properties);

  // The registry dictionary `parse` reads, in the kernel's terms: an installed battery, an
  // adapter online, the batteries' summed current and charge. Linux gives no reasons for not
  // charging; where the battery reports its charge behaviour, the reason is 0 (nothing
  // latched), so the user's own drain down to the limit reads as that.
  static PlistDictionary registryEntry(const HLPower& power);

  bool operator==(const BatteryReading&) const = default;
};

// Registry values: integers only when the value is a number and not a Boolean (a real is cut
// toward zero), Booleans only when it is one. Anything else counts as missing.
std::optional<std::int64_t> registryInteger(const PlistValue* value);
std::optional<bool> registryBool(const PlistValue* value);

}  // namespace hollin
