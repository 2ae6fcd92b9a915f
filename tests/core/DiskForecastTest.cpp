// The disk's free space: its levels, the sudden drain over synthetic sample streams, the hourly
// series and every tier of the forecast.
#include <gtest/gtest.h>

#include <cmath>

#include "core/early/DiskAlerts.h"
#include "core/early/EarlyWatchArchive.h"

namespace hollin {
namespace {

constexpr std::uint64_t GB = 1'000'000'000;
constexpr double hour = 3600, day = 86400;
const WallTime start = fromReferenceSeconds(800'000'000);  // 2026-05-08

WallTime after(double seconds) { return start + std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds)); }

// signature/urgent/severity of a warning, "" for none.
std::string shape(const std::optional<EarlyWarning>& warning) {
  if (!warning) return "";
  return warning->signature + (warning->urgent ? "/urgent/" : "/") + std::to_string(warning->severity);
}

TEST(DiskAlerts, LowSpaceAndDrainWarnings) {
  EXPECT_EQ(DiskAlerts::level(std::nullopt), std::nullopt);
  EXPECT_EQ(shape(DiskAlerts::lowSpace(20 * GB, "ja")), "");
  EXPECT_EQ(shape(DiskAlerts::lowSpace(20 * GB - 1, "ja")), "attention/1");
  EXPECT_EQ(shape(DiskAlerts::lowSpace(10 * GB, "ja")), "attention/1");
  EXPECT_EQ(shape(DiskAlerts::lowSpace(10 * GB - 1, "ja")), "danger/urgent/2");
  EXPECT_EQ(DiskAlerts::lowSpace(20 * GB - 1, "ja")->message,
            "空きは残り20 GBです。いらないファイルを消すか、外付けのディスクへ移してください。");

  const auto drain = [](double secondsLeft, std::uint64_t lost = 6 * GB) {
    return DiskAlerts::drain(DiskDrain{lost, secondsLeft}, "en");
  };
  EXPECT_FALSE(DiskAlerts::drain(std::nullopt));
  EXPECT_EQ(shape(drain(899)), "soon/urgent/2");
  EXPECT_EQ(shape(drain(901)), "hour/1");
  EXPECT_NE(drain(61)->message.find("about 2 min"), std::string::npos) << "minutes rounded up: " << drain(61)->message;
  EXPECT_NE(drain(60, UINT64_MAX)->message.find("9.22 EB"), std::string::npos)
      << "the lost size is capped at the largest signed value";
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
  const struct {
    const char* name;
    double seconds;
    std::function<double(double)> space;
    std::optional<double> secondsLeft;
  } rows[] = {
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
    if (drain) {
      EXPECT_NEAR(drain->secondsLeft, *row.secondsLeft, 1e-6) << row.name;
    }
  }
}

TEST(DiskDrainTracker, KeepsFiveMinutesOfOneContinuousSeries) {
  DiskDrainTracker tracker;
  feed(tracker, 400, [](double) { return 50e9; });
  EXPECT_EQ(tracker.samples.front().time, 1000 + 100) << "samples older than 300 s are dropped";

  const struct {
    const char* name;
    double at, wall;
    std::size_t kept;  // samples after the second observation
  } steps[] = {
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
  month.recordDisk(10 * GB, 100 * GB, start);
  month.recordDisk(10 * GB, 100 * GB, after(30 * day));
  month.recordDisk(10 * GB, 100 * GB, after(30 * day + 2 * hour));
  EXPECT_EQ(month.disk.size(), 2u) << "points older than 30 days are dropped";
}

TEST(DiskSeries, MedianSlope) {
  const auto point = [](double hours, double gigabytes) {
    return DiskFreePoint{after(hours * hour), static_cast<std::uint64_t>(gigabytes * 1e9), 500 * GB};
  };
  EXPECT_EQ(EarlyWatchArchive::medianSlope({}), std::nullopt);
  const std::vector<DiskFreePoint> close{point(0, 100), point(0.5, 90)};
  EXPECT_EQ(EarlyWatchArchive::medianSlope(close), std::nullopt) << "half an hour apart is too close";
  // Slopes per day −24, −12, −8, 0, 0, 0 GB: an even count takes the mean of the middle two.
  const std::vector<DiskFreePoint> even{point(0, 100), point(24, 76), point(48, 76), point(72, 76)};
  EXPECT_DOUBLE_EQ(*EarlyWatchArchive::medianSlope(even), (-8e9 + 0) / 2);
}

// An hourly series over `days` days ending at `start`, with the free space at each age.
EarlyWatchArchive series(double days, const std::function<double(double)>& gigabytesAt) {
  EarlyWatchArchive archive;
  for (double t = -days * day; t <= 1e-9; t += hour)
    archive.disk.push_back({after(t), static_cast<std::uint64_t>(gigabytesAt(t) * 1e9), 500 * GB});
  return archive;
}

std::function<double(double)> falling(double perDay, double now) {
  return [=](double t) { return now - perDay * t / day; };
}

TEST(DiskForecast, EveryTier) {
  EarlyWatchArchive few;
  for (double t : {-3.5 * day, -2 * day, -day, -hour, 0.0}) few.disk.push_back({after(t), 50 * GB, 500 * GB});
  auto resized = series(7, falling(1, 100));  // a new volume size two days ago restarts collecting
  for (auto& point : resized.disk)
    if (point.at >= after(-2 * day)) point.total = 1000 * GB;
  const struct {
    const char* name;
    EarlyWatchArchive archive;
    const char* code;
  } rows[] = {
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

TEST(DiskForecast, Warnings) {
  EXPECT_FALSE(EarlyWarnings::disk(DiskForecast::of(DiskForecast::Case::steady)));
  EXPECT_EQ(shape(EarlyWarnings::disk(DiskForecast::days(3))), "3/3");
  EXPECT_EQ(shape(EarlyWarnings::disk(DiskForecast::days(4))), "7/2");
  EXPECT_EQ(shape(EarlyWarnings::disk(DiskForecast::days(14))), "14/1");
  EXPECT_EQ(shape(EarlyWarnings::disk(DiskForecast::days(15))), "");
  const auto none = *EarlyWarnings::disk(DiskForecast::days(0), "ja");
  EXPECT_EQ(none.message, "このペースだと、約1日で空きがなくなります。いらないファイルを消すか、外付けのディスクへ移してください。");
}

}  // namespace
}  // namespace hollin
