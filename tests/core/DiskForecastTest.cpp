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

TEST(DiskAlerts, LevelsAndLowSpaceWarnings) {
  using DiskAlerts::Level;
  EXPECT_EQ(DiskAlerts::level(std::nullopt), std::nullopt);
  EXPECT_EQ(DiskAlerts::level(20 * GB), Level::ok);
  EXPECT_EQ(DiskAlerts::level(20 * GB - 1), Level::attention);
  EXPECT_EQ(DiskAlerts::level(10 * GB), Level::attention);
  EXPECT_EQ(DiskAlerts::level(10 * GB - 1), Level::danger);

  EXPECT_FALSE(DiskAlerts::lowSpace(20 * GB, "ja"));
  EXPECT_FALSE(DiskAlerts::lowSpace(std::nullopt, "ja"));
  const auto attention = DiskAlerts::lowSpace(20 * GB - 1, "ja");
  ASSERT_TRUE(attention);
  EXPECT_EQ(std::tie(attention->signature, attention->urgent, attention->severity, attention->repeatAfter),
            std::make_tuple("attention", false, 1, 21600.0));
  EXPECT_EQ(attention->message, "空きは残り20 GBです。いらないファイルを消すか、外付けのディスクへ移してください。");
  const auto danger = DiskAlerts::lowSpace(9'876'000'000, "en");
  ASSERT_TRUE(danger);
  EXPECT_EQ(std::tie(danger->signature, danger->urgent, danger->severity, danger->repeatAfter),
            std::make_tuple("danger", true, 2, 1800.0));
  EXPECT_NE(danger->message.find("9.88 GB"), std::string::npos) << danger->message;
}

TEST(DiskAlerts, DrainWarningUrgencyAndMinutes) {
  const auto warn = [](double secondsLeft) { return *DiskAlerts::drain(DiskDrain{6 * GB, secondsLeft}, "en"); };
  const auto kind = [&](double secondsLeft) {
    const auto warning = warn(secondsLeft);
    return std::make_tuple(warning.signature, warning.urgent, warning.severity);
  };
  EXPECT_FALSE(DiskAlerts::drain(std::nullopt));
  EXPECT_EQ(kind(899), std::make_tuple("soon", true, 2));
  EXPECT_EQ(kind(900), std::make_tuple("soon", true, 2));
  EXPECT_EQ(kind(901), std::make_tuple("hour", false, 1));
  EXPECT_NE(warn(61).message.find("about 2 min"), std::string::npos) << warn(61).message;
  EXPECT_NE(warn(30).message.find("about 1 min"), std::string::npos);
  EXPECT_NE(warn(0).message.find("about 1 min"), std::string::npos);
  EXPECT_NE(warn(61).message.find("6 GB"), std::string::npos);
  const auto huge = DiskAlerts::drain(DiskDrain{UINT64_MAX, 60}, "en");
  EXPECT_NE(huge->message.find("9.22 EB"), std::string::npos) << "the lost size is capped at the largest signed value";
}

// Feeds the tracker one sample every `step` seconds, both clocks moving together, with the free
// space given by `space` at each offset from the first sample.
std::optional<DiskDrain> feed(DiskDrainTracker& tracker, double seconds, double step,
                              const std::function<double(double)>& space) {
  std::optional<DiskDrain> drain;
  for (double t = 0; t <= seconds + 1e-9; t += step)
    drain = tracker.observe(static_cast<std::uint64_t>(space(t)), 1000 + t, 1.7e9 + t);
  return drain;
}

TEST(DiskDrainTracker, AnEvenLossOfFiveGigabytesInTwoMinutesIsADrain) {
  DiskDrainTracker tracker;
  const auto drain = feed(tracker, 120, 5, [](double t) { return 20e9 - 5e9 * t / 120; });
  ASSERT_TRUE(drain);
  EXPECT_EQ(drain->lostBytes, 5 * GB);
  EXPECT_NEAR(drain->secondsLeft, 15e9 / (5e9 / 120), 1e-6);
  EXPECT_EQ(DiskAlerts::drain(drain, "en")->signature, "soon");
}

TEST(DiskDrainTracker, ThirtySecondsLeftShowsOneMinute) {
  DiskDrainTracker tracker;
  // 12 GB lost in 240 s (50 MB/s) with 1.5 GB left: 30 s to go.
  const auto drain = feed(tracker, 240, 5, [](double t) { return 13.5e9 - 12e9 * t / 240; });
  ASSERT_TRUE(drain);
  EXPECT_NEAR(drain->secondsLeft, 30, 1e-6);
  EXPECT_NE(DiskAlerts::drain(drain, "ja")->message.find("約1分"), std::string::npos);
}

TEST(DiskDrainTracker, WhatIsNoDrain) {
  struct Row {
    const char* name;
    double seconds;
    std::function<double(double)> space;
  };
  const Row rows[] = {
      {"the whole loss in the first minute", 120, [](double t) { return t < 60 ? 20e9 - 5e9 * t / 60 : 15e9; }},
      {"less than 5 GB in all", 120, [](double t) { return 20e9 - 4.9e9 * t / 120; }},
      {"less than two minutes of samples", 115, [](double t) { return 20e9 - 6e9 * t / 115; }},
      {"free space rising", 120, [](double t) { return 10e9 + 5e9 * t / 120; }},
      {"more than an hour left", 120, [](double t) { return 400e9 - 5e9 * t / 120; }},
  };
  for (const Row& row : rows) {
    DiskDrainTracker tracker;
    EXPECT_FALSE(feed(tracker, row.seconds, 5, row.space)) << row.name;
  }
  // 3601 s left at this pace: 5 GB in 120 s with 150.04 GB free.
  DiskDrainTracker slow;
  EXPECT_FALSE(feed(slow, 120, 5, [](double t) { return 155.0416667e9 - 5e9 * t / 120; }));
}

TEST(DiskDrainTracker, KeepsFiveMinutesOfOneContinuousSeries) {
  DiskDrainTracker tracker;
  feed(tracker, 400, 5, [](double) { return 50e9; });
  EXPECT_EQ(tracker.samples.front().time, 1000 + 100) << "samples older than 300 s are dropped";

  // Uptime advancing 61 s between samples breaks the series.
  DiskDrainTracker gap;
  gap.observe(50 * GB, 1000, 1.7e9);
  gap.observe(49 * GB, 1061, 1.7e9 + 61);
  EXPECT_EQ(gap.samples.size(), 1u);
  gap.observe(48 * GB, 1121, 1.7e9 + 121);
  EXPECT_EQ(gap.samples.size(), 2u) << "60 s is still continuous";

  // The wall clock moving 100 s while the uptime moves 10 s: the machine slept or the clock was set.
  DiskDrainTracker clocks;
  clocks.observe(50 * GB, 1000, 1.7e9);
  clocks.observe(49 * GB, 1010, 1.7e9 + 100);
  EXPECT_EQ(clocks.samples.size(), 1u);

  // Uptime going back (a new boot) breaks it too; a missing figure clears it.
  clocks.observe(49 * GB, 5, 1.7e9 + 105);
  EXPECT_EQ(clocks.samples.size(), 1u);
  EXPECT_FALSE(clocks.observe(std::nullopt, 10, 1.7e9 + 110));
  EXPECT_TRUE(clocks.samples.empty());
  EXPECT_EQ(clocks.lastWall, 1.7e9 + 110);
  clocks.observe(49 * GB, 15, NAN);
  EXPECT_TRUE(clocks.samples.empty());
}

TEST(DiskSeries, RecordsAtMostOnePointAnHourForThirtyDays) {
  EarlyWatchArchive archive;
  EXPECT_FALSE(archive.recordDisk(std::nullopt, 100 * GB, start));
  EXPECT_FALSE(archive.recordDisk(10 * GB, 0, start));
  EXPECT_FALSE(archive.recordDisk(101 * GB, 100 * GB, start)) << "more free than in all";
  EXPECT_TRUE(archive.recordDisk(10 * GB, 100 * GB, start));
  EXPECT_FALSE(archive.recordDisk(10 * GB, 100 * GB, after(59 * 60)));
  EXPECT_TRUE(archive.recordDisk(10 * GB, 100 * GB, after(61 * 60)));
  // The clock went back an hour and a half: the point from the future is dropped.
  EXPECT_TRUE(archive.recordDisk(9 * GB, 100 * GB, after(-30 * 60)));
  EXPECT_EQ(archive.disk.size(), 1u);
  EXPECT_EQ(archive.disk.back().at, after(-30 * 60));

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
  // Slopes per day: 0→24 h: −24 GB, 0→48: −12, 24→48: 0; median −12 GB.
  const std::vector<DiskFreePoint> odd{point(0, 100), point(24, 76), point(48, 76)};
  EXPECT_DOUBLE_EQ(*EarlyWatchArchive::medianSlope(odd), -12e9);
  // Adding a fourth: 0→72 −8, 24→72 −0, 48→72 +0 … the even count takes the mean of the middle two.
  const std::vector<DiskFreePoint> even{point(0, 100), point(24, 76), point(48, 76), point(72, 76)};
  EXPECT_DOUBLE_EQ(*EarlyWatchArchive::medianSlope(even), (-8e9 + 0) / 2);
}

// An hourly series over `days` days ending at `start`, with the free space at each age.
EarlyWatchArchive series(double days, const std::function<double(double)>& gigabytesAt, std::uint64_t total = 500 * GB) {
  EarlyWatchArchive archive;
  for (double t = -days * day; t <= 1e-9; t += hour)
    archive.disk.push_back({after(t), static_cast<std::uint64_t>(gigabytesAt(t) * 1e9), total});
  return archive;
}

TEST(DiskForecast, EveryTier) {
  const auto falling = [](double perDay, double now) {
    return [=](double t) { return now - perDay * t / day; };
  };
  struct Row {
    const char* name;
    EarlyWatchArchive archive;
    DiskForecast expected;
  };
  const Row rows[] = {
      {"no point", {}, DiskForecast::of(DiskForecast::Case::unavailable)},
      {"two and a half days", series(2.5, falling(10, 100)), DiskForecast::collecting(12)},
      {"steady", series(7, [](double) { return 100.0; }), DiskForecast::of(DiskForecast::Case::steady)},
      {"rising", series(7, falling(-5, 100)), DiskForecast::of(DiskForecast::Case::steady)},
      {"ten days to go", series(7, falling(10, 100)), DiskForecast::days(10)},
      {"less than a day", series(7, falling(100, 50)), DiskForecast::days(0)},
      {"two years to go", series(7, falling(0.5, 400)), DiskForecast::of(DiskForecast::Case::slow)},
      // The same 10 GB a day, but only up to four days ago: the last days hold still.
      {"stopped falling", series(7, [](double t) { return t < -4 * day ? 100 + 10 * (-t / day - 4) : 100; }),
       DiskForecast::of(DiskForecast::Case::steady)},
  };
  for (const Row& row : rows) EXPECT_EQ(row.archive.diskForecast(start), row.expected) << row.name << ": " << row.archive.diskForecast(start).code();
}

TEST(DiskForecast, CollectingSparseAndTheVolumeChanging) {
  // A new volume size two days ago restarts collecting: one day left.
  auto resized = series(7, [](double t) { return 100 - t / day; });
  for (auto& point : resized.disk)
    if (point.at >= after(-2 * day)) point.total = 1000 * GB;
  EXPECT_EQ(resized.diskForecast(start).code(), "collecting:24h");

  // Points from the future (a clock set back) are not the latest.
  auto future = series(7, [](double t) { return 100 - 10 * t / day; });
  EXPECT_EQ(future.diskForecast(after(-7 * day - hour)).code(), "unavailable");

  // Three days covered by only a handful of points.
  EarlyWatchArchive few;
  for (double t : {-3.5 * day, -2 * day, -day, -hour, 0.0}) few.disk.push_back({after(t), 50 * GB, 500 * GB});
  EXPECT_EQ(few.diskForecast(start).code(), "sparse");
  EXPECT_EQ(DiskForecast::collecting(12).code(), "collecting:12h");
}

TEST(DiskForecast, FallingSpaceIsNotSteadyEvenWhereUnsignedDifferencesWrap) {
  // Unsigned byte counts subtracted in the falling direction wrap to about 1.8e19 a day, which
  // would read as a disk filling up backwards: steady.
  const auto archive = series(7, [](double t) { return 100 + 20 * -t / day; });
  EXPECT_EQ(archive.diskForecast(start), DiskForecast::days(5));
}

TEST(DiskForecast, Warnings) {
  EXPECT_FALSE(EarlyWarnings::disk(DiskForecast::of(DiskForecast::Case::steady)));
  EXPECT_FALSE(EarlyWarnings::disk(DiskForecast::days(15)));
  const auto tier = [](int days) {
    const auto warning = *EarlyWarnings::disk(DiskForecast::days(days), "ja");
    return std::make_tuple(warning.signature, warning.severity);
  };
  EXPECT_EQ(tier(3), std::make_tuple("3", 3));
  EXPECT_EQ(tier(4), std::make_tuple("7", 2));
  EXPECT_EQ(tier(7), std::make_tuple("7", 2));
  EXPECT_EQ(tier(14), std::make_tuple("14", 1));
  const auto none = *EarlyWarnings::disk(DiskForecast::days(0), "ja");
  EXPECT_EQ(none.message, "このペースだと、約1日で空きがなくなります。いらないファイルを消すか、外付けのディスクへ移してください。");
  EXPECT_EQ(none.repeatAfter, 259200);
  EXPECT_FALSE(none.urgent);
}

}  // namespace
}  // namespace hollin
