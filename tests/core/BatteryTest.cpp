// The battery and its charger: the registry reading, the drain detector over a recorded stream,
// battery health and the warnings of both. The charge limit as Linux gives it (one policy of the
// user's, or none, or unreadable) is read from recorded machines in PowerSupplyTest.
#include <gtest/gtest.h>

#include <sstream>

#include "CoreFixtures.h"
#include "core/early/BatteryWarnings.h"

namespace hollin {
namespace {

using test::fixture;

TEST(BatteryReadingParse, KeysAreReadOnlyWithTheirTypeAndRange) {
  EXPECT_FALSE(BatteryReading::parse({{"BatteryInstalled", false}, {"CurrentCapacity", 50}}));
  EXPECT_TRUE(BatteryReading::parse({{"BatteryInstalled", 0}})) << "a number is no Boolean";
  EXPECT_EQ(BatteryReading::parse({}), BatteryReading{});

  const auto amperage = [](PlistDictionary properties) { return BatteryReading::parse(properties)->amperage; };
  EXPECT_EQ(amperage({{"InstantAmperage", std::int64_t{4294966296}}}), -1000) << "a negative 32-bit value without sign";
  EXPECT_EQ(amperage({{"InstantAmperage", 300}, {"Amperage", -900}}), 300);
  EXPECT_EQ(amperage({{"InstantAmperage", true}, {"Amperage", -900}}), -900) << "a Boolean counts as missing";
  EXPECT_EQ(amperage({{"InstantAmperage", -20001}}), std::nullopt);
  EXPECT_EQ(amperage({{"InstantAmperage", -20000}}), -20000);

  // 50.02 rounds to 50, a half away from zero; above the maximum or of no maximum is no figure.
  for (const auto& [current, maximum, percent] : {std::tuple<std::int64_t, std::int64_t, std::optional<std::int64_t>>{3001, 6000, 50},
                                                  {2525, 5000, 51}, {101, 100, std::nullopt}, {5, 0, std::nullopt}})
    EXPECT_EQ(BatteryReading::parse({{"CurrentCapacity", current}, {"MaxCapacity", maximum}})->percent, percent) << current << "/" << maximum;

  const PlistDictionary adapter{{"Watts", 96}};
  EXPECT_EQ(BatteryReading::parse({{"ExternalConnected", true}, {"AdapterDetails", adapter}})->adapterWatts, 96);
  EXPECT_EQ(BatteryReading::parse({{"ExternalConnected", false}, {"AdapterDetails", adapter}})->adapterWatts,
            std::nullopt) << "no adapter, no watts";
  BatteryReading nested;  // the cycle count beyond its range is left out
  nested.notChargingReason = 128, nested.designCycleCount = 1000;
  EXPECT_EQ(BatteryReading::parse({{"ChargerData", PlistDictionary{{"NotChargingReason", 128}}}, {"CycleCount", 100001},
                                   {"DesignCycleCount9C", 1000}}),
            nested);
}

TEST(ChargerDrainDetector, ARecordedStreamRaisesTheChargerWarningOnlyOnAConfirmedDrain) {
  std::istringstream stream(fixture("early/charger-drain.tsv"));
  ChargerDrainDetector detector;
  std::string line;
  int warnings = 0;
  while (std::getline(stream, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string time, adapter, milliamps, percent, expected;
    fields >> time >> adapter >> milliamps >> percent >> expected;
    BatteryReading reading;
    if (adapter != "-") reading.externalConnected = adapter == "1";
    reading.amperage = milliamps == "-" ? std::nullopt : std::optional(std::stoll(milliamps));
    reading.percent = percent == "-" ? std::nullopt : std::optional(std::stoll(percent));
    const ChargerState state = detector.observe(reading, ChargeLimit::none, std::stod(time));
    EXPECT_EQ(state.code(), expected) << line;

    const auto warning = EarlyWarnings::charger(state, reading.percent, "ja");
    EXPECT_EQ(warning.has_value(), expected.starts_with("draining")) << line;
    if (!warning) continue;
    ++warnings;
    EXPECT_EQ(std::pair(warning->urgent, warning->severity), std::pair(state.critical, state.critical ? 2 : 1)) << line;
    EXPECT_NE(warning->message.find(percent == "-" ? "取得不可" : percent + "%"), std::string::npos) << warning->message;
  }
  EXPECT_EQ(warnings, 6);
  EXPECT_EQ(detector.observe(std::nullopt, ChargeLimit::none, 2000).code(), "unavailable");
}

TEST(ChargerDrainDetector, ADrainDownToTheUsersLimitIsIntended) {
  const ChargeLimit manualDrain{80, true, true};
  const auto twice = [](BatteryReading reading, ChargeLimit limit) {
    ChargerDrainDetector detector;
    return detector.observe(reading, limit, 0), detector.observe(reading, limit, 60).code();
  };
  BatteryReading reading;
  reading.externalConnected = true, reading.amperage = -800, reading.percent = 85, reading.notChargingReason = 0;
  EXPECT_EQ(twice(reading, manualDrain), "toLimit");
  EXPECT_EQ(twice(reading, {80, false, true}), "draining") << "a limit that does not drain";
  reading.percent = 80;
  EXPECT_EQ(twice(reading, manualDrain), "draining") << "at the limit a drain is a drain";
  reading.percent = 85;
  reading.notChargingReason = ChargerDrainDetector::latchBit;
  EXPECT_EQ(twice(reading, manualDrain), "draining");
  reading.notChargingReason.reset();
  EXPECT_EQ(twice(reading, manualDrain), "draining");
}

// The kernel's figures reach the health record as whole percents (PowerSupplyTest).
TEST(BatteryHealthParse, TheMaximumCapacityIsOneTo150Percent) {
  const auto capacity = [](int percent) {
    return BatteryHealth::parseHealthInfo(Json{{"sppower_battery_health_maximum_capacity", percent}})->maximumCapacity;
  };
  EXPECT_EQ(capacity(150), 150);
  for (int outside : {0, 151}) EXPECT_EQ(capacity(outside), std::nullopt) << outside;
}

TEST(BatteryWarnings, ConditionFirstThenTheCapacityTier) {
  const auto battery = [](std::optional<std::int64_t> capacity, std::optional<std::string> condition) {
    std::vector<std::string> found;
    for (const auto& w : EarlyWarnings::battery(BatteryHealth{capacity, condition, 500}, "ja"))
      found.push_back(w.kind + "/" + w.signature + "/" + std::to_string(w.severity));
    return found;
  };
  using Found = std::vector<std::string>;
  const std::tuple<std::int64_t, std::optional<std::string>, Found> rows[] = {
      {59, "gOOd", {"batteryCapacity/60/3"}}, {60, "Normal", {"batteryCapacity/70/2"}}, {79, {}, {"batteryCapacity/80/1"}},
      {80, "Replace Now", {"batteryCondition/Replace Now/3"}}, {100, "service battery", {"batteryCondition/service battery/3"}},
      {100, "Replace Soon", {"batteryCondition/Replace Soon/2"}},
      {75, "Overheat", {"batteryCondition/Overheat/1", "batteryCapacity/80/1"}}};
  for (const auto& [capacity, condition, found] : rows) EXPECT_EQ(battery(capacity, condition), found) << capacity;
  EXPECT_TRUE(EarlyWarnings::battery(std::nullopt).empty());

  const auto recommended = EarlyWarnings::battery(BatteryHealth{90, "Service Recommended", 0}, "ja");
  ASSERT_EQ(recommended.size(), 1u);
  EXPECT_EQ(recommended[0].repeatAfter, 604800);
  EXPECT_NE(recommended[0].message.find("「修理サービス推奨」"), std::string::npos) << recommended[0].message;
  EXPECT_EQ((BatteryHealth{90, "Overheat", 0}).localizedCondition("ja"), "Overheat") << "shown as it stands";
  EXPECT_EQ(BatteryHealth{}.localizedCondition("en"), "Unavailable");
}

}  // namespace
}  // namespace hollin
