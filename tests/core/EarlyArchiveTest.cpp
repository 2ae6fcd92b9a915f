// The early-watch history: what each series keeps, the receipts that decide whether a warning
// is told again, and the file format with its limits.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <limits>

#include "core/early/EarlyWatchArchive.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime start = fromReferenceSeconds(800'000'000);  // 2026-05-08

EarlyWarning warning(std::string kind, int severity, double repeatAfter = 86400) {
  return {std::move(kind), "tier", false, "title", "message", repeatAfter, severity};
}

TEST(EarlySeries, EachSeriesKeepsItsPaceAndAClockSetBackLosesNothing) {
  EarlyWatchArchive archive;
  const BatteryHealth health{88, "Normal", 300};
  EXPECT_FALSE(archive.recordBattery(BatteryHealth{}, std::nullopt, start)) << "nothing to record";
  EXPECT_TRUE(archive.recordBattery(health, std::nullopt, start));
  EXPECT_FALSE(archive.recordBattery(BatteryHealth{88, "Normal", 301}, std::nullopt, start + 2h))
      << "the same day, the same capacity and condition";
  EXPECT_TRUE(archive.recordBattery(BatteryHealth{87, "Normal", std::nullopt}, 302, start + 3h));
  EXPECT_EQ(archive.batteryHealth.back().cycleCount, 302) << "the live count stands in";
  EXPECT_TRUE(archive.recordBattery(BatteryHealth{87, "Normal", 303}, std::nullopt, start + 27h)) << "a day later";

  EXPECT_TRUE(archive.recordTemperature(41, start));
  EXPECT_TRUE(archive.recordTemperature(45, start + 10min)) << "the hour's maximum rises";
  EXPECT_FALSE(archive.recordTemperature(43, start + 20min));
  EXPECT_FALSE(archive.recordTemperature(200, start + 2h)) << "not a plausible reading";
  EXPECT_EQ(archive.ssdTemperature, (std::vector<TemperaturePoint>{{start, 45}}));
  EXPECT_TRUE(archive.recordTemperature(39, start + 70min));
  EXPECT_EQ(archive.maxTemperature(start + 70min, 86400), 45);
  EXPECT_EQ(archive.maxTemperature(start + 24h, 86400), 39) << "the window is open at its far end";

  for (int minute = 0; minute <= 400; minute += 1)
    archive.recordRecent(10'000'000'000 + static_cast<std::uint64_t>((minute % 50) * 1000), std::nullopt,
                         start + std::chrono::minutes(minute));
  EXPECT_LE(archive.recent.size(), EarlyWatchArchive::maxRecentPoints);
  EXPECT_GE(archive.recent.front().at, start + 400min - 6h) << "six hours are kept";
  const auto lowest = archive.lowestRecent(start + 400min, 6 * 3600);
  EXPECT_EQ(lowest->available, 10'000'000'000u);
  EXPECT_EQ(lowest->at, start + 50min) << "the earliest of the equal lows within the window";

  // The clock goes back an hour: every series keeps what it has and records nothing.
  const EarlyWatchArchive before = archive;
  const WallTime earlier = start + 400min - 1h;
  EXPECT_FALSE(archive.recordBattery(BatteryHealth{70, "Normal", 400}, std::nullopt, start + 26h));
  EXPECT_FALSE(archive.recordRecent(1, 30.0, earlier));
  EXPECT_FALSE(archive.recordTemperature(60, start + 10min));
  EXPECT_EQ(archive, before);
}

TEST(EarlyReceipts, SeverityRepeatAndPruning) {
  EarlyWatchArchive archive;
  EXPECT_TRUE(archive.eligible(warning("backup", 1), start)) << "never told";
  archive.accepted({warning("backup", 1)}, start);
  EXPECT_FALSE(archive.eligible(warning("backup", 1), start + 1h));
  EXPECT_TRUE(archive.eligible(warning("backup", 2), start + 1h)) << "a rise is told at once";
  EXPECT_TRUE(archive.eligible(warning("backup", 1), start + 24h)) << "the repeat interval has passed";
  EXPECT_TRUE(archive.eligible(warning("backup", 1), start - 1h)) << "a receipt from the future holds nothing";

  archive.receipts["diskLow"] = {start, "tier", std::nullopt};  // written before severities were kept
  EXPECT_FALSE(archive.eligible(warning("diskLow", 0), start + 1h)) << "severity 0 waits for the repeat";
  EXPECT_TRUE(archive.eligible(warning("diskLow", 1), start + 1h));

  std::vector<EarlyWarning> many;
  for (int i = 0; i < 70; ++i) many.push_back(warning("crash:app" + std::to_string(i), 1));
  for (int i = 0; i < 70; ++i) archive.accepted({many[static_cast<std::size_t>(i)]}, start + std::chrono::minutes(i));
  EXPECT_EQ(archive.receipts.size(), 64u);
  EXPECT_FALSE(archive.receipts.contains("crash:app5")) << "the oldest go first";
  EXPECT_TRUE(archive.receipts.contains("crash:app6"));
  archive.accepted({warning("charger", 1)}, start + 61 * 24h);
  EXPECT_EQ(archive.receipts.size(), 1u) << "receipts older than 60 days go";
}

TEST(EarlyReceipts, AKindOfAnyBytesIsKeptUnderAKeyTheFileCanHold) {
  EarlyWatchArchive archive;
  // An application name of 200 Japanese characters, and one of stray bytes.
  std::string japanese;
  for (int i = 0; i < 200; ++i) japanese += "\u3042";
  for (const std::string& name : {japanese, std::string(300, '\xE3')}) {
    archive.accepted({warning("crash:" + name, 1)}, start);
    EXPECT_TRUE(archive.valid());
    EXPECT_FALSE(archive.eligible(warning("crash:" + name, 1), start + 1h)) << "found again by its own kind";
  }
  const Json written = Json::parse(toJson(archive).dump(-1, ' ', false, Json::error_handler_t::replace));
  const auto reread = earlyArchiveFromJson(written);
  ASSERT_TRUE(reread);
  EXPECT_TRUE(reread->valid()) << "what is saved is what the next start accepts";
  EXPECT_EQ(*reread, archive);
}

TEST(EarlyArchiveFile, RoundTripDefaultsAndRefusals) {
  EarlyWatchArchive archive;
  archive.recordBattery(BatteryHealth{91, std::nullopt, 12}, std::nullopt, start);
  archive.recordDisk(40'000'000'000, 500'000'000'000, start);
  archive.recordRecent(std::nullopt, 44.5, start);
  archive.recordTemperature(44.5, start);
  archive.recordBackup(BackupStatus::with(true, true, start - 24h, true), start);
  archive.accepted({warning("backup", 1)}, start);
  const Json json = toJson(archive);
  EXPECT_EQ(json["batteryHealth"][0].contains("condition"), false) << "absent fields are left out";
  EXPECT_EQ(earlyArchiveFromJson(Json::parse(json.dump())), archive);

  const auto read = [](const char* text) { return earlyArchiveFromJson(Json::parse(text)); };
  const auto defaults = read(R"({"disk":[]})");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->schema, 1);
  EXPECT_TRUE(defaults->receipts.empty() && defaults->valid()) << "a file without receipts loads";
  EXPECT_FALSE(read(R"({"schema":2})")->valid()) << "a newer format";
  EXPECT_FALSE(read(R"({"disk":[{"at":1,"available":3,"total":2}]})")->valid()) << "more free than in all";
  EXPECT_FALSE(read(R"({"disk":[{"at":1,"available":1}]})")) << "a required field";
  EXPECT_FALSE(read(R"({"recent":[{"at":"yesterday"}]})")) << "a mistyped date";
  EXPECT_FALSE(read(R"({"receipts":{"backup":{"at":1}}})")) << "a receipt without its signature";
  EarlyWatchArchive crowded;
  crowded.recent.resize(EarlyWatchArchive::maxRecentPoints + 1);
  EXPECT_FALSE(crowded.valid());
  EarlyWatchArchive hot;
  hot.ssdTemperature.push_back({start, std::numeric_limits<double>::quiet_NaN()});
  EXPECT_FALSE(hot.valid());
}

}  // namespace
}  // namespace hollin
