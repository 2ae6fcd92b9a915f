#include "app/early/EarlyWatch.h"

#include <chrono>

#include "native/Power.h"
#include "native/ToolRunner.h"

namespace hollin::EarlyWatch {

std::optional<std::string> run(const std::string& path, const std::vector<std::string>& arguments) {
  return native::runTool({path, arguments, std::chrono::seconds(toolOutputSeconds), toolOutputCap,
                          std::chrono::seconds(toolExitSeconds)});
}

BatteryRead readBattery() {
  HLPower power{};
  if (!hl_power(&power)) return {};
  auto reading = BatteryReading::parse(BatteryReading::registryEntry(power));
  return {reading.has_value(), std::move(reading)};
}

ChargeLimit readChargeLimit() {
  HLPower power{};
  if (!hl_power(&power)) return ChargeLimit::unreadable;
  return ChargeLimit::parseArchive(ChargeLimit::policyArchive(power));
}

std::optional<BatteryHealth> readBatteryHealth() {
  HLPower power{};
  if (!hl_power(&power)) return std::nullopt;
  return BatteryHealth::fromKernel(power);
}

}  // namespace hollin::EarlyWatch
