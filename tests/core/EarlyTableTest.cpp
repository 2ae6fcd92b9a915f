// The health table's rows and the warnings of one early-watch picture: the decisions each row
// makes, the collection order, staleness, ordering and the concern count.
#include <gtest/gtest.h>

#include "core/early/EarlyTable.h"
#include "core/early/EarlyView.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime now = fromReferenceSeconds(800'000'000);
constexpr std::uint64_t GB = 1'000'000'000;

EarlyWatchSnapshot laptop(ChargerState charger) {
  EarlyWatchSnapshot early;
  early.batteryPresent = true;
  early.battery = BatteryReading{true, false, -900, 35, 0, 65, 412, 1000};
  early.charger = charger;
  early.health = BatteryHealth{93, "Normal", 412};
  early.crashes.emplace();
  return early;
}

// The English table's row whose item is `item`, or nothing.
std::optional<EarlyTableRow> row(const EarlyWatchSnapshot& early, std::string_view item,
                                 std::optional<std::uint64_t> free = 100 * GB, bool stale = false, bool overheat = false) {
  for (const auto& each : earlyTableRows(early, free, stale, now, overheat, "en", "UTC"))
    if (each.item == item) return each;
  return std::nullopt;
}

TEST(EarlyTable, PowerRowFollowsTheChargerAndStaleFiguresAreNotShown) {
  const auto power = [](ChargerState charger, bool stale = false) {
    return *row(laptop(charger), "Power and battery", 100 * GB, stale);
  };
  EXPECT_EQ(power(ChargerState::draining(false)),
            (EarlyTableRow{"Power and battery", EarlyTone::attention, "Draining although connected to power (35%)",
                           "adapter 65 W · current -900 mA"}));
  EXPECT_EQ(power(ChargerState::draining(true)).tone, EarlyTone::urgent);
  EXPECT_EQ(power({ChargerState::Case::onBattery}).detail, "Running on battery (35%) · adapter 65 W · current -900 mA");
  EXPECT_EQ(power(ChargerState::draining(true), true),
            (EarlyTableRow{"Power and battery", EarlyTone::plain, "Unavailable", "—"})) << "a stale drain is not shown as one";

  EarlyWatchSnapshot desktop = laptop({});
  desktop.batteryPresent = false;
  EXPECT_FALSE(row(desktop, "Power and battery") || row(desktop, "Battery health"));
}

TEST(EarlyTable, BatteryHealthRowInItsThreeShapesWithTheHistoryLine) {
  EarlyWatchSnapshot early = laptop({});
  auto archive = std::make_shared<EarlyWatchArchive>();
  archive->recordBattery(BatteryHealth{99, "Normal", 10}, std::nullopt, now - 400 * 24h);
  archive->recordBattery(early.health, std::nullopt, now - 1h);
  early.archive = archive;
  auto health = row(early, "Battery health");
  EXPECT_FALSE(health->state) << "a complete, good health is no concern";
  EXPECT_TRUE(health->detail.starts_with("Maximum capacity 93% · condition Normal\n412 charge cycles (rated for 1000)\n"
                                         "Since 4/4/25, 6:13"));
  EXPECT_TRUE(health->detail.ends_with(": maximum capacity 99% → 93%"));
  early.health->maximumCapacity = 70;
  health = row(early, "Battery health");
  EXPECT_EQ(health->tone, EarlyTone::attention);
  EXPECT_EQ(health->state, "Maximum capacity 70% · condition Normal");
  early.health->maximumCapacity.reset();
  EXPECT_EQ(row(early, "Battery health")->state, "Maximum capacity Unavailable · condition Normal");
  early.health.reset();
  EXPECT_EQ(row(early, "Battery health")->state, "Unavailable");
}

// The free-space levels' edges are read through the warnings in EarlyArchiveTest; the rows
// follow them.
TEST(EarlyTable, FreeSpaceAndForecastTiers) {
  EarlyWatchSnapshot early = laptop({});
  EXPECT_EQ(row(early, "Free space", 10 * GB - 1)->tone, EarlyTone::urgent);
  early.diskDrain = DiskDrain{6 * GB, 61};
  EXPECT_EQ(row(early, "Free space"),
            (EarlyTableRow{"Free space", EarlyTone::urgent, "Falling fast: at this pace the disk is full in about 2 min",
                           "Free now: 100 GB\n6 GB used in the last few minutes"}));
  EXPECT_EQ(row(early, "Free space", 100 * GB, true)->tone, EarlyTone::plain) << "no drain from a stale sample";

  EXPECT_FALSE(row(early, "Free space forecast")) << "no points yet, no forecast row";
  early.diskForecast = DiskForecast::collecting(30);
  EXPECT_EQ(row(early, "Free space forecast")->state, "Collecting records (about 2 more days)");
  early.diskForecast = DiskForecast::days(9);
  EXPECT_EQ(row(early, "Free space forecast")->tone, EarlyTone::attention);
}

TEST(EarlyTable, SSDTemperatureAndTheHistoryRow) {
  EarlyWatchSnapshot early = laptop({});
  early.ssdCelsius = 47.6;
  auto archive = std::make_shared<EarlyWatchArchive>();
  archive->recordTemperature(52.2, now - 3h);
  early.archive = archive;
  EXPECT_EQ(row(early, "SSD temperature"),
            (EarlyTableRow{"SSD temperature", EarlyTone::plain, "Recording", "now 48 °C · highest in 24 hours 52 °C"}));
  EXPECT_EQ(row(early, "SSD temperature", 100 * GB, true)->state, "Unavailable");
  EXPECT_EQ(row(early, "SSD temperature", 100 * GB, false, true)->tone, EarlyTone::urgent);

  EXPECT_FALSE(row(early, "Saving the history"));
  early.persistenceOK = false;
  EXPECT_EQ(row(early, "Saving the history")->tone, EarlyTone::attention);
}

// The warnings of one picture as the record lists them (the crash kinds in one word); asleep,
// only those that do not rest on the latest figures remain.
TEST(EarlyRecord, WarningsInRuleOrderAndAsleepTheTableIsStale) {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->uptime = 1000;
  EarlyWatchSnapshot& early = snapshot->early = laptop(ChargerState::draining(false));
  early.health->condition = "Service Recommended";
  early.diskForecast = DiskForecast::days(9);
  early.diskAvailable = 5 * GB;
  early.diskDrain = DiskDrain{6 * GB, 90.9};
  for (int i = 1; i <= 3; ++i) early.crashes->push_back({"Files", now - std::chrono::hours(i)});
  Moment moment;
  moment.snapshot = snapshot;
  moment.now = 1001;
  moment.wallNow = now;
  nlohmann::json record;
  recordEarly(record, moment);
  EXPECT_EQ(record["earlyActiveWarnings"],
            nlohmann::json::parse(R"(["charger","batteryCondition","diskForecast","diskLow","diskDrain","crash"])"));
  EXPECT_EQ(record["diskDrainSecondsLeft"], 90);
  const int fresh = record["earlyTableConcerns"];
  moment.asleep = true;
  recordEarly(record, moment);
  EXPECT_EQ(record["earlyActiveWarnings"], nlohmann::json::parse(R"(["batteryCondition","diskForecast","crash"])"));
  EXPECT_EQ(record["earlyTableConcerns"], fresh - 1) << "the power row shows no drain from a stale sample";
}

TEST(EarlyTable, RowsOrderedByToneAndConcernsCounted) {
  const std::vector<EarlyTableRow> mixed{{"a", EarlyTone::plain, {}, ""},     {"b", EarlyTone::attention, {}, ""},
                                         {"c", EarlyTone::urgent, {}, ""},    {"d", EarlyTone::attention, {}, ""},
                                         {"e", EarlyTone::plain, {}, ""}};
  std::string order;
  for (const auto& each : EarlyTable::ordered(mixed)) order += each.item;
  EXPECT_EQ(order, "cbdae");
  EXPECT_EQ(EarlyTable::concerns(mixed), 3);
  EXPECT_EQ(mixed[1].cells("ja")[1], "\u26A0\uFE0E 問題なし") << "a marked row without a state";
}

}  // namespace
}  // namespace hollin
