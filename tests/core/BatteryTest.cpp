// The battery and its charger: the registry reading, the charge limit, the drain detector over a
// recorded stream, battery health and the warnings of both.
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

TEST(ChargeLimitParse, TheLowestLivePolicyOfThisBootSessionSetsTheLimit) {
  // A keyed archive as the system writes it: object references, a terminated policy, and a
  // second policy at the same limit whose reason points outside the archive.
  const auto file = fixture("plist/charging-limit.plist");
  const auto preferences = parsePropertyList(file, 65536);
  ASSERT_TRUE(preferences);
  const std::string session = "9E1B4C1A-6F0C-4C7E-9A39-1D2B7F4E5A10";
  EXPECT_EQ(ChargeLimit::parse(&*preferences, session), (ChargeLimit{80, true, true}));
  EXPECT_EQ(ChargeLimit::parse(&*preferences, "another boot"), ChargeLimit::none);
  EXPECT_EQ(ChargeLimit::parse(&*preferences, std::nullopt), ChargeLimit::unreadable);

  const auto parse = [&](PlistValue preferences) { return ChargeLimit::parse(&preferences, session); };
  EXPECT_EQ(ChargeLimit::parse(nullptr, session), ChargeLimit::unreadable);
  EXPECT_EQ(parse(PlistArray{}), ChargeLimit::unreadable);
  EXPECT_EQ(parse(PlistDictionary{}), ChargeLimit::none) << "no policies";
  EXPECT_EQ(parse(PlistDictionary{{"policies", "text"}}), ChargeLimit::unreadable);

  const auto archive = [](PlistArray objects) {
    return ChargeLimit::parseArchive(PlistDictionary{{"$objects", std::move(objects)}});
  };
  const auto policy = [](std::int64_t limit, bool drain, PlistValue reason = "manualChargeLimit") {
    return PlistDictionary{{"soclimit", limit}, {"drain", drain}, {"reason", std::move(reason)}};
  };
  EXPECT_EQ(archive({}), ChargeLimit::none);
  EXPECT_EQ(ChargeLimit::parseArchive(PlistDictionary{}), ChargeLimit::unreadable);
  EXPECT_EQ(archive({policy(80, true), policy(70, false)}), (ChargeLimit{70, false, true})) << "a lower limit replaces";
  EXPECT_EQ(archive({policy(70, false), policy(70, true)}), (ChargeLimit{70, true, true})) << "an equal one adds its drain";
  EXPECT_EQ(archive({policy(70, false), policy(90, true)}), (ChargeLimit{70, false, true}));
  EXPECT_EQ(archive({policy(80, true, "optimizedCharging")}), (ChargeLimit{80, false, true})) << "not the user's limit";
  EXPECT_EQ(archive({policy(0, true), policy(101, true)}), ChargeLimit::none);
  EXPECT_EQ(archive({PlistDictionary{{"$classname", "ChargeCtrlPolicy"}}}), ChargeLimit::unreadable)
      << "policies of a shape we do not know";
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

TEST(BatteryHealthParse, TheSystemProfilersFirstBatterySection) {
  const auto parse = [](const std::string& info) {
    return BatteryHealth::parseSystemProfiler(R"({"SPPowerDataType":[{"sppower_ac_charger_watts":"96"},
        {"sppower_battery_health_info":)" + info + "}]}");
  };
  EXPECT_EQ(parse(R"({"sppower_battery_health_maximum_capacity":" 87 % ","sppower_battery_health":"Good",
                      "sppower_battery_cycle_count":312})"),
            (BatteryHealth{87, "Good", 312}));
  for (const char* capacity : {"0", "151", "\"0%\"", "\"eighty\"", "true"})
    EXPECT_EQ(parse(std::string(R"({"sppower_battery_health_maximum_capacity":)") + capacity + "}")->maximumCapacity,
              std::nullopt) << capacity;
  EXPECT_EQ(parse(R"({"sppower_battery_health_maximum_capacity":150.9})")->maximumCapacity, 150);
  EXPECT_EQ(parse(R"({"sppower_battery_health":"","sppower_battery_cycle_count":-1})"), BatteryHealth{});
  EXPECT_EQ(parse(R"({"sppower_battery_health":")" + std::string(70, 'x') + "\"}")->condition->size(), 64u);
  for (const char* bad : {"", "[]", R"({"SPPowerDataType":[]})", R"({"SPPowerDataType":[{"x":1}]})",
                          R"({"SPPowerDataType":[1,{"sppower_battery_health_info":{}}]})"})
    EXPECT_EQ(BatteryHealth::parseSystemProfiler(bad), std::nullopt) << bad;
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
