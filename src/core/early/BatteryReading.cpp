#include "core/early/BatteryReading.h"

#include <cmath>

#include "core/early/Figures.h"

namespace hollin {
namespace {

constexpr std::int64_t maximumMilliamps = 20000;
constexpr std::int64_t maximumWatts = 1000;

}  // namespace

std::optional<std::int64_t> registryInteger(const PlistValue* value) {
  if (!value) return std::nullopt;
  if (value->isInteger()) {
    if (auto signedValue = value->asInt64()) return signedValue;
    return static_cast<std::int64_t>(*value->asUInt64());  // the registry's 64 bits as written
  }
  const auto real = value->asNumber();
  return real ? integerPart(*real) : std::nullopt;
}

std::optional<bool> registryBool(const PlistValue* value) { return value ? value->asBool() : std::nullopt; }

std::optional<BatteryReading> BatteryReading::parse(const PlistDictionary& properties) {
  const auto key = [&](std::string_view name) { return findKey(properties, name); };
  if (registryBool(key("BatteryInstalled")) == false) return std::nullopt;

  BatteryReading reading;
  reading.externalConnected = registryBool(key("ExternalConnected"));
  reading.charging = registryBool(key("IsCharging"));

  auto amperage = registryInteger(key("InstantAmperage"));
  if (!amperage) amperage = registryInteger(key("Amperage"));
  // A negative 32-bit current written without its sign.
  if (amperage && *amperage >= 2147483648LL && *amperage <= 4294967295LL) *amperage -= 4294967296LL;
  reading.amperage = within(amperage, -maximumMilliamps, maximumMilliamps);

  const auto current = registryInteger(key("CurrentCapacity"));
  const auto maximum = registryInteger(key("MaxCapacity"));
  if (current && maximum && *maximum >= 1 && *current >= 0) {
    const std::int64_t percent =
        *maximum == 100 ? *current
                        : std::llround(static_cast<double>(*current) * 100.0 / static_cast<double>(*maximum));
    if (percent <= 100) reading.percent = percent;
  }

  if (const PlistValue* charger = key("ChargerData"); charger && charger->asDictionary())
    reading.notChargingReason = registryInteger(charger->find("NotChargingReason"));
  if (const PlistValue* adapter = key("AdapterDetails");
      reading.externalConnected == true && adapter && adapter->asDictionary())
    reading.adapterWatts = within(registryInteger(adapter->find("Watts")), 1, maximumWatts);
  reading.cycleCount = within(registryInteger(key("CycleCount")), 0, maximumCycles);
  reading.designCycleCount = within(registryInteger(key("DesignCycleCount9C")), 1, maximumCycles);
  return reading;
}

PlistDictionary BatteryReading::registryEntry(const HLPower& power) {
  PlistDictionary entry{{"BatteryInstalled", power.batteries > 0}};
  if (power.adapters > 0) entry.emplace_back("ExternalConnected", power.adapter_online != 0);
  if (power.charging_valid) entry.emplace_back("IsCharging", power.charging != 0);
  if (power.current_valid) entry.emplace_back("InstantAmperage", std::int64_t{power.current_ma});
  if (power.level_valid) {
    entry.emplace_back("CurrentCapacity", std::int64_t{power.level_now});
    entry.emplace_back("MaxCapacity", std::int64_t{power.level_full});
  }
  if (power.behaviour_valid) entry.emplace_back("ChargerData", PlistDictionary{{"NotChargingReason", 0}});
  if (power.adapter_watts > 0) entry.emplace_back("AdapterDetails", PlistDictionary{{"Watts", power.adapter_watts}});
  // The kernel writes 0 when the battery does not count its cycles.
  if (power.cycle_count > 0) entry.emplace_back("CycleCount", power.cycle_count);
  return entry;
}

}  // namespace hollin
