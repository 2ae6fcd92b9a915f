// The early watch's history and its disk figures: the free space's levels, the sudden drain over
// synthetic sample streams, the hourly series and every tier of the forecast; what each other
// series keeps, the receipts that decide whether a warning is told again, and the file format
// with its limits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/early/DiskAlerts.h"
#include "core/early/EarlyWatchArchive.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t GB = 1'000'000'000;
constexpr double hour = 3600, day = 86400;
const WallTime start = fromReferenceSeconds(800'000'000);  // 2026-05-08

WallTime after(double seconds) { return start + std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds)); }

// signature/urgent/severity of a warning, "" for none.
std::string shape(const std::optional<EarlyWarning>& warning) {
  return warning ? warning->signature + (warning->urgent ? "/urgent/" : "/") + std::to_string(warning->severity) : "";
}

TEST(DiskAlerts, LowSpaceDrainAndForecastWarnings) {
  for (const auto& [free, expected] : {std::pair<std::optional<std::uint64_t>, const char*>{std::nullopt, ""}, {20 * GB, ""},
                                       {20 * GB - 1, "attention/1"}, {10 * GB, "attention/1"}, {10 * GB - 1, "danger/urgent/2"}})
    EXPECT_EQ(shape(DiskAlerts::lowSpace(free, "ja")), expected) << free.value_or(0);
  EXPECT_EQ(DiskAlerts::lowSpace(20 * GB - 1, "ja")->message,
            "空きは残り20 GBです。いらないファイルを消すか、外付けのディスクへ移してください。");

  const auto drain = [](double left, std::uint64_t lost = 6 * GB) { return DiskAlerts::drain(DiskDrain{lost, left}, "en"); };
  EXPECT_FALSE(DiskAlerts::drain(std::nullopt));
  EXPECT_EQ(shape(drain(899)), "soon/urgent/2");
  EXPECT_EQ(shape(drain(901)), "hour/1");
  EXPECT_NE(drain(60, UINT64_MAX)->message.find("9.22 EB"), std::string::npos)
      << "the lost size is capped at the largest signed value";

  EXPECT_FALSE(EarlyWarnings::disk(DiskForecast::of(DiskForecast::Case::steady)));
  for (const auto& [days, expected] : {std::pair{3, "3/3"}, {4, "7/2"}, {14, "14/1"}, {15, ""}})
    EXPECT_EQ(shape(EarlyWarnings::disk(DiskForecast::days(days))), expected) << days;
  EXPECT_EQ(EarlyWarnings::disk(DiskForecast::days(0), "ja")->message, "このペースだと、約1日で空きがなくなります。いらないファイルを消すか、外付けのディスクへ移してください。");
}

// Feeds the tracker one sample every 5 s for `seconds`, both clocks moving together, with the
// free space given by `space` at each offset from the first sample.
std::optional<DiskDrain> feed(DiskDrainTracker& tracker, double seconds, const std::function<double(double)>& space) {
  std::optional<DiskDrain> drain;
  for (double t = 0; t <= seconds + 1e-9; t += 5)
    drain = tracker.observe(static_cast<std::uint64_t>(space(t)), 1000 + t, 1.7e9 + t);
  return drain;
}

TEST(DiskDrainTracker, WhatIsADrain) {
  const struct { const char* name; double seconds; std::function<double(double)> space; std::optional<double> secondsLeft; } rows[] = {
      {"5 GB evenly over 2 minutes", 120, [](double t) { return 20e9 - 5e9 * t / 120; }, 15e9 / (5e9 / 120)},
      {"the whole loss in the first minute", 120, [](double t) { return t < 60 ? 20e9 - 5e9 * t / 60 : 15e9; }, {}},
      {"less than 5 GB in all", 120, [](double t) { return 20e9 - 4.9e9 * t / 120; }, {}},
      {"less than two minutes of samples", 115, [](double t) { return 20e9 - 6e9 * t / 115; }, {}},
      {"free space rising", 120, [](double t) { return 10e9 + 5e9 * t / 120; }, {}},
      {"3601 s left", 120, [](double t) { return 155.0416667e9 - 5e9 * t / 120; }, {}},
  };
  for (const auto& row : rows) {
    DiskDrainTracker tracker;
    const auto drain = feed(tracker, row.seconds, row.space);
    ASSERT_EQ(drain.has_value(), row.secondsLeft.has_value()) << row.name;
    EXPECT_NEAR(drain ? drain->secondsLeft : 0, row.secondsLeft.value_or(0), 1e-6) << row.name;
  }
}

TEST(DiskDrainTracker, KeepsFiveMinutesOfOneContinuousSeries) {
  DiskDrainTracker tracker;
  feed(tracker, 400, [](double) { return 50e9; });
  EXPECT_EQ(tracker.samples.front().time, 1000 + 100) << "samples older than 300 s are dropped";

  const struct { const char* name; double at, wall; std::size_t kept; } steps[] = {  // kept: samples after the second
      {"60 s later", 1060, 1.7e9 + 60, 2},
      {"61 s later", 1061, 1.7e9 + 61, 1},
      {"the wall clock 100 s on while the uptime moved 10 s (a sleep, a set clock)", 1010, 1.7e9 + 100, 1},
      {"the uptime going back (a new boot)", 995, 1.7e9 + 5, 1},
      {"a wall clock that is no number", 1010, NAN, 0},
  };
  for (const auto& step : steps) {
    DiskDrainTracker series;
    series.observe(50 * GB, 1000, 1.7e9);
    series.observe(49 * GB, step.at, step.wall);
    EXPECT_EQ(series.samples.size(), step.kept) << step.name;
  }
  EXPECT_FALSE(tracker.observe(std::nullopt, 1500, 1.7e9 + 500));
  EXPECT_TRUE(tracker.samples.empty()) << "a missing figure clears the series";
  EXPECT_EQ(tracker.lastWall, 1.7e9 + 500);
}

TEST(DiskSeries, RecordsAtMostOnePointAnHourForThirtyDays) {
  EarlyWatchArchive archive;
  EXPECT_FALSE(archive.recordDisk(std::nullopt, 100 * GB, start));
  EXPECT_FALSE(archive.recordDisk(10 * GB, 0, start));
  EXPECT_FALSE(archive.recordDisk(101 * GB, 100 * GB, start)) << "more free than in all";
  EXPECT_TRUE(archive.recordDisk(10 * GB, 100 * GB, start));
  EXPECT_FALSE(archive.recordDisk(10 * GB, 100 * GB, after(59 * 60)));
  EXPECT_TRUE(archive.recordDisk(10 * GB, 100 * GB, after(61 * 60)));
  // The clock went back an hour and a half: nothing is recorded and nothing is lost.
  EXPECT_FALSE(archive.recordDisk(9 * GB, 100 * GB, after(-30 * 60)));
  EXPECT_EQ(archive.disk.size(), 2u);

  EarlyWatchArchive full;
  for (int i = 0; i < 721; ++i) full.recordDisk(10 * GB, 100 * GB, after(i * hour));
  ASSERT_EQ(full.disk.size(), 720u);
  EXPECT_EQ(full.disk.front().at, after(hour)) << "the 721st point pushes out the oldest";

  EarlyWatchArchive month;
  for (double t : {0.0, 30 * day, 30 * day + 2 * hour}) month.recordDisk(10 * GB, 100 * GB, after(t));
  EXPECT_EQ(month.disk.size(), 2u) << "points older than 30 days are dropped";
}

// An hourly series over `days` days ending at `start`, with the free space at each age.
EarlyWatchArchive series(double days, const std::function<double(double)>& gigabytesAt) {
  EarlyWatchArchive archive;
  for (double t = -days * day; t <= 1e-9; t += hour)
    archive.disk.push_back({after(t), static_cast<std::uint64_t>(gigabytesAt(t) * 1e9), 500 * GB});
  return archive;
}

std::function<double(double)> falling(double perDay, double now) { return [=](double t) { return now - perDay * t / day; }; }

TEST(DiskForecast, TheMedianSlopeAndEveryTier) {
  const auto point = [](double hours, double gb) { return DiskFreePoint{after(hours * hour), static_cast<std::uint64_t>(gb * 1e9), 500 * GB}; };
  EXPECT_EQ(EarlyWatchArchive::medianSlope({}), std::nullopt);
  EXPECT_EQ(EarlyWatchArchive::medianSlope(std::vector{point(0, 100), point(0.5, 90)}), std::nullopt) << "half an hour apart is too close";
  // Slopes per day −24, −12, −8, 0, 0, 0 GB: an even count takes the mean of the middle two.
  EXPECT_DOUBLE_EQ(*EarlyWatchArchive::medianSlope(std::vector{point(0, 100), point(24, 76), point(48, 76), point(72, 76)}), (-8e9 + 0) / 2);
  EarlyWatchArchive few;
  for (double t : {-3.5 * day, -2 * day, -day, -hour, 0.0}) few.disk.push_back({after(t), 50 * GB, 500 * GB});
  auto resized = series(7, falling(1, 100));  // a new volume size two days ago restarts collecting
  for (auto& point : resized.disk)
    if (point.at >= after(-2 * day)) point.total = 1000 * GB;
  const struct { const char* name; EarlyWatchArchive archive; const char* code; } rows[] = {
      {"no point", {}, "unavailable"},
      {"two and a half days", series(2.5, falling(10, 100)), "collecting:12h"},
      {"resized two days ago", resized, "collecting:24h"},
      {"three days of a handful of points", few, "sparse"},
      {"steady", series(7, [](double) { return 100.0; }), "steady"},
      // Unsigned differences of falling counts would wrap and read as a disk filling backwards.
      {"ten days to go", series(7, falling(10, 100)), "days:10"},
      {"less than a day", series(7, falling(100, 50)), "days:0"},
      {"two years to go", series(7, falling(0.5, 400)), "slow"},
      // The same 10 GB a day, but only up to four days ago: the last days hold still.
      {"stopped falling", series(7, [](double t) { return t < -4 * day ? 100 + 10 * (-t / day - 4) : 100; }), "steady"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.archive.diskForecast(start).code(), row.code) << row.name;
  EXPECT_EQ(series(7, falling(10, 100)).diskForecast(after(-7 * day - hour)).code(), "unavailable")
      << "points after the present are not the latest";
}

EarlyWarning warning(std::string kind, int severity) { return {std::move(kind), "tier", false, "title", "message", 86400, severity}; }

TEST(EarlySeries, EachSeriesKeepsItsPaceAndAClockSetBackLosesNothing) {
  EarlyWatchArchive archive;
  EXPECT_FALSE(archive.recordBattery(BatteryHealth{}, std::nullopt, start)) << "nothing to record";
  EXPECT_TRUE(archive.recordBattery(BatteryHealth{88, "Normal", 300}, std::nullopt, start));
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

TEST(EarlyReceipts, SeverityRepeatPruningAndKindsOfAnyBytesUnderAKeyTheFileCanHold) {
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

  for (int i = 0; i < 70; ++i) archive.accepted({warning("crash:app" + std::to_string(i), 1)}, start + std::chrono::minutes(i));
  EXPECT_EQ(archive.receipts.size(), 64u);
  EXPECT_FALSE(archive.receipts.contains("crash:app5")) << "the oldest go first";
  EXPECT_TRUE(archive.receipts.contains("crash:app6"));
  archive.accepted({warning("charger", 1)}, start + 61 * 24h);
  EXPECT_EQ(archive.receipts.size(), 1u) << "receipts older than 60 days go";

  // An application name of 200 Japanese characters, and one of stray bytes.
  std::string japanese;
  for (int i = 0; i < 200; ++i) japanese += "\u3042";
  for (const std::string& name : {japanese, std::string(300, '\xE3')}) {
    archive.accepted({warning("crash:" + name, 1)}, start);
    EXPECT_TRUE(archive.valid());
    EXPECT_FALSE(archive.eligible(warning("crash:" + name, 1), start + 1h)) << "found again by its own kind";
  }
  const auto reread = earlyArchiveFromJson(Json::parse(toJson(archive).dump(-1, ' ', false, Json::error_handler_t::replace)));
  EXPECT_EQ(reread, archive);
  EXPECT_TRUE(reread && reread->valid()) << "what is saved is what the next start accepts";
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
  EXPECT_EQ(read(R"({"disk":[]})"), EarlyWatchArchive{}) << "a file without receipts or a schema loads as schema 1";
  EXPECT_FALSE(read(R"({"schema":2})")->valid()) << "a newer format";
  EXPECT_FALSE(read(R"({"disk":[{"at":1,"available":3,"total":2}]})")->valid()) << "more free than in all";
  EXPECT_FALSE(read(R"({"disk":[{"at":1,"available":1}]})")) << "a required field";
  EXPECT_FALSE(read(R"({"recent":[{"at":"yesterday"}]})")) << "a mistyped date";
  EXPECT_FALSE(read(R"({"receipts":{"backup":{"at":1}}})")) << "a receipt without its signature";
  EarlyWatchArchive crowded, hot;
  crowded.recent.resize(EarlyWatchArchive::maxRecentPoints + 1);
  hot.ssdTemperature.push_back({start, std::numeric_limits<double>::quiet_NaN()});
  EXPECT_FALSE(crowded.valid() || hot.valid());
}

}  // namespace
}  // namespace hollin
