// The health table's rows and the warnings of one early-watch picture: the decisions each row
// makes, the collection order, staleness, ordering and the concern count.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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

// The row whose item is `item` (English), or nothing.
std::optional<EarlyTableRow> row(const std::vector<EarlyTableRow>& rows, std::string_view item) {
  for (const auto& each : rows)
    if (each.item == item) return each;
  return std::nullopt;
}

std::vector<EarlyTableRow> rows(const EarlyWatchSnapshot& early, std::optional<std::uint64_t> free = 100 * GB,
                                bool stale = false, bool overheat = false) {
  return earlyTableRows(early, free, stale, now, overheat, "en", "UTC");
}

TEST(EarlyTable, PowerRowFollowsTheChargerAndStaleFiguresAreNotShown) {
  auto power = row(rows(laptop(ChargerState::draining(false))), "Power and battery");
  EXPECT_EQ(power->tone, EarlyTone::attention);
  EXPECT_EQ(power->state, "Draining although connected to power (35%)");
  EXPECT_EQ(power->detail, "adapter 65 W · current -900 mA");
  EXPECT_EQ(row(rows(laptop(ChargerState::draining(true))), "Power and battery")->tone, EarlyTone::urgent);
  power = row(rows(laptop({ChargerState::Case::onBattery})), "Power and battery");
  EXPECT_FALSE(power->concern());
  EXPECT_EQ(power->detail, "Running on battery (35%) · adapter 65 W · current -900 mA");
  power = row(rows(laptop(ChargerState::draining(true)), 100 * GB, true), "Power and battery");
  EXPECT_EQ(power->tone, EarlyTone::plain) << "a stale drain is not shown as one";
  EXPECT_EQ(power->detail, "—");

  EarlyWatchSnapshot desktop = laptop({});
  desktop.batteryPresent = false;
  EXPECT_FALSE(row(rows(desktop), "Power and battery") || row(rows(desktop), "Battery health"));
}

TEST(EarlyTable, BatteryHealthRowInItsThreeShapesWithTheHistoryLine) {
  EarlyWatchSnapshot early = laptop({});
  auto archive = std::make_shared<EarlyWatchArchive>();
  archive->recordBattery(BatteryHealth{99, "Normal", 10}, std::nullopt, now - 400 * 24h);
  archive->recordBattery(early.health, std::nullopt, now - 1h);
  early.archive = archive;
  auto health = row(rows(early), "Battery health");
  EXPECT_FALSE(health->state) << "a complete, good health is no concern";
  EXPECT_TRUE(health->detail.starts_with("Maximum capacity 93% · condition Normal\n412 charge cycles (rated for 1000)\n"
                                         "Since 4/4/25, 6:13"));
  EXPECT_TRUE(health->detail.ends_with(": maximum capacity 99% → 93%"));
  early.health->maximumCapacity = 70;
  health = row(rows(early), "Battery health");
  EXPECT_EQ(health->tone, EarlyTone::attention);
  EXPECT_EQ(health->state, "Maximum capacity 70% · condition Normal");
  early.health->maximumCapacity.reset();
  EXPECT_EQ(row(rows(early), "Battery health")->state, "Maximum capacity Unavailable · condition Normal");
  early.health.reset();
  EXPECT_EQ(row(rows(early), "Battery health")->state, "Unavailable");
}

TEST(EarlyTable, FreeSpaceAndForecastTiers) {
  EarlyWatchSnapshot early = laptop({});
  EXPECT_FALSE(row(rows(early, 20 * GB), "Free space")->state);
  EXPECT_EQ(row(rows(early, 20 * GB - 1), "Free space")->tone, EarlyTone::attention);
  EXPECT_EQ(row(rows(early, 10 * GB - 1), "Free space")->tone, EarlyTone::urgent);
  early.diskDrain = DiskDrain{6 * GB, 61};
  auto space = row(rows(early), "Free space");
  EXPECT_EQ(space->state, "Falling fast: at this pace the disk is full in about 2 min") << "minutes rounded up";
  EXPECT_EQ(space->detail, "Free now: 100 GB\n6 GB used in the last few minutes");
  EXPECT_EQ(row(rows(early, 100 * GB, true), "Free space")->tone, EarlyTone::plain) << "no drain from a stale sample";

  EXPECT_FALSE(row(rows(early), "Free space forecast")) << "no points yet, no forecast row";
  early.diskForecast = DiskForecast::collecting(30);
  EXPECT_EQ(row(rows(early), "Free space forecast")->state, "Collecting records (about 2 more days)");
  early.diskForecast = DiskForecast::days(9);
  EXPECT_EQ(row(rows(early), "Free space forecast")->tone, EarlyTone::attention);
  early.diskForecast = DiskForecast::days(200);
  EXPECT_EQ(row(rows(early), "Free space forecast")->tone, EarlyTone::plain);
}

TEST(EarlyTable, SSDTemperatureAndTheHistoryRow) {
  EarlyWatchSnapshot early = laptop({});
  early.ssdCelsius = 47.6;
  auto archive = std::make_shared<EarlyWatchArchive>();
  archive->recordTemperature(52.2, now - 3h);
  early.archive = archive;
  auto ssd = row(rows(early), "SSD temperature");
  EXPECT_EQ(ssd->state, "Recording");
  EXPECT_EQ(ssd->detail, "now 48 °C · highest in 24 hours 52 °C");
  EXPECT_EQ(row(rows(early, 100 * GB, true), "SSD temperature")->state, "Unavailable");
  EXPECT_EQ(row(rows(early, 100 * GB, false, true), "SSD temperature")->tone, EarlyTone::urgent);

  EXPECT_FALSE(row(rows(early), "Saving the history"));
  early.persistenceOK = false;
  EXPECT_EQ(row(rows(early), "Saving the history")->tone, EarlyTone::attention);
}

TEST(EarlyTable, WarningsInRuleOrderOrderedRowsAndConcerns) {
  EarlyWatchSnapshot early = laptop(ChargerState::draining(false));
  early.health->condition = "Service Recommended";
  early.diskForecast = DiskForecast::days(9);
  early.diskAvailable = 5 * GB;
  early.diskDrain = DiskDrain{6 * GB, 600};
  for (int i = 1; i <= 3; ++i) early.crashes->push_back({"Files", now - std::chrono::hours(i)});
  std::vector<std::string> kinds;
  for (const auto& warning : earlyWarnings(early, now, false, "en")) kinds.push_back(warning.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"charger", "batteryCondition", "diskForecast", "diskLow", "diskDrain",
                                             "crash:Files"}));
  kinds.clear();
  for (const auto& warning : earlyWarnings(early, now, true, "en")) kinds.push_back(warning.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"batteryCondition", "diskForecast", "crash:Files"})) << "stale";

  const std::vector<EarlyTableRow> mixed{{"a", EarlyTone::plain, {}, ""},     {"b", EarlyTone::attention, {}, ""},
                                         {"c", EarlyTone::urgent, {}, ""},    {"d", EarlyTone::attention, {}, ""},
                                         {"e", EarlyTone::plain, {}, ""}};
  std::string order;
  for (const auto& each : EarlyTable::ordered(mixed)) order += each.item;
  EXPECT_EQ(order, "cbdae");
  EXPECT_EQ(EarlyTable::concerns(mixed), 3);
  EXPECT_EQ(mixed[1].cells("ja")[1], "\u26A0\uFE0E 問題なし") << "a marked row without a state";
}

TEST(EarlyRecord, CrashKindsAreOneWordAndAsleepTheTableIsStale) {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->uptime = 1000;
  snapshot->early = laptop(ChargerState::draining(false));
  for (int i = 1; i <= 3; ++i) snapshot->early.crashes->push_back({"Files", now - std::chrono::hours(i)});
  snapshot->early.diskDrain = DiskDrain{6 * GB, 90.9};
  Moment moment;
  moment.snapshot = snapshot;
  moment.now = 1001;
  moment.wallNow = now;
  nlohmann::json record;
  recordEarly(record, moment);
  EXPECT_EQ(record["earlyActiveWarnings"], nlohmann::json::parse(R"(["charger","diskDrain","crash"])"));
  EXPECT_EQ(record["diskDrainSecondsLeft"], 90);
  EXPECT_EQ(record["earlyChargerState"], "draining");
  const int fresh = record["earlyTableConcerns"];
  moment.asleep = true;
  recordEarly(record, moment);
  EXPECT_EQ(record["earlyActiveWarnings"], nlohmann::json::parse(R"(["crash"])"));
  EXPECT_EQ(record["earlyTableConcerns"], fresh - 1) << "no drain from a stale sample";
}

}  // namespace
}  // namespace hollin
