// Recorded power-supply classes, read and handed to the battery parsers as the application does.
#include <gtest/gtest.h>

#include "core/early/BatteryHealth.h"
#include "core/early/BatteryReading.h"
#include "core/early/ChargeLimit.h"
#include "native/linux/NativeReaders.h"
#include "FixtureTree.h"

#include <tuple>

namespace hollin::native {
namespace {

BatteryReading reading(std::optional<bool> external, std::optional<bool> charging, std::optional<std::int64_t> mA,
                       std::optional<std::int64_t> percent, std::optional<std::int64_t> cycles,
                       std::optional<std::int64_t> watts = {}, std::optional<std::int64_t> reason = {}) {
  return {external, charging, mA, percent, reason, watts, cycles, std::nullopt};
}

TEST(PowerSupplyClass, RecordedMachinesReadAsOneBatteryAndOneAdapter) {
  // Each recorded machine's reading, charge limit and health.
  const std::tuple<const char*, std::optional<BatteryReading>, ChargeLimit, std::optional<BatteryHealth>> machines[] = {
      {"desktop", std::nullopt, ChargeLimit::none, std::nullopt},
      {"mouse", std::nullopt, ChargeLimit::none, std::nullopt},
      // 15 W at 12.5 V; 35 of 50 Wh; 50 Wh of 57 when new.
      {"charging", reading(true, true, 1200, 70, 312), ChargeLimit::none, BatteryHealth{88, std::nullopt, 312}},
      {"discharging", reading(false, false, -1500, 50, std::nullopt), ChargeLimit::none,
       BatteryHealth{96, std::nullopt, std::nullopt}},
      // 5 W at 11.4 V from one battery, none from the other; 40 of 60 Wh; 60 of 70.72 when new.
      {"two-batteries", reading(false, false, -439, 67, 150), ChargeLimit::none, BatteryHealth{85, std::nullopt, 150}},
      {"limit80", reading(true, false, -500, 85, 40, std::nullopt, 0), ChargeLimit{80, true, true},
       BatteryHealth{100, std::nullopt, 40}},
      // 20 V at 3.25 A; a driver that gives a percent and no capacities.
      {"usb-c", reading(true, true, 2100, 64, 21, 65), ChargeLimit::none, BatteryHealth{std::nullopt, "Good", 21}},
  };
  for (const auto& [name, battery, limit, health] : machines) {
    SCOPED_TRACE(name);
    const test::FixtureTree tree(std::string("power/") + name);
    const auto power = readPower(tree.root());
    ASSERT_TRUE(power);
    EXPECT_EQ(BatteryReading::parse(BatteryReading::registryEntry(*power)), battery);
    EXPECT_EQ(ChargeLimit::parseArchive(ChargeLimit::policyArchive(*power)), limit);
    EXPECT_EQ(BatteryHealth::fromKernel(*power), health);
  }
}

TEST(PowerSupplyClass, DamagedFilesLeaveTheirFiguresOut) {
  EXPECT_FALSE(readPower("/nonexistent")) << "no class folder is no answer, not a machine without battery";

  const test::FixtureTree tree("power/limit80");
  const std::string battery = "sys/class/power_supply/BAT0/";
  tree.write(battery + "charge_control_end_threshold", "eighty\n");
  tree.write(battery + "energy_full", "");
  tree.remove(battery + "power_now");
  const auto power = readPower(tree.root());
  ASSERT_TRUE(power);
  EXPECT_EQ(BatteryReading::parse(BatteryReading::registryEntry(*power)),
            reading(true, false, std::nullopt, 85, 40, std::nullopt, 0))
      << "the percent falls back to the battery's own";
  EXPECT_EQ(ChargeLimit::parseArchive(ChargeLimit::policyArchive(*power)), ChargeLimit::unreadable);

  tree.write(battery + "current_now", "-700000\n");  // a driver that signs its current itself
  tree.write(battery + "capacity", "9223372036854775807\n");  // no percent at all
  EXPECT_EQ(BatteryReading::parse(BatteryReading::registryEntry(readPower(tree.root()).value())),
            reading(true, false, -700, std::nullopt, 40, std::nullopt, 0));
}

}  // namespace
}  // namespace hollin::native
