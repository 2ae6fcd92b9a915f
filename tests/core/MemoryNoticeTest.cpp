#include "core/memory/MemoryNotice.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/L10n.h"
#include "core/memory/UsageTrackers.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1ull << 20;

MemorySample at(double uptime, Pressure pressure, std::optional<std::uint64_t> swap = std::nullopt,
                std::optional<std::uint64_t> compressed = std::nullopt) {
  return {uptime, pressure, swap, compressed};
}

// Feeds samples every `step` seconds from `from` up to and including `to`; returns what the
// last one gave.
std::optional<Notice> feed(MemoryPolicy& policy, double from, double to, Pressure pressure, double step = 5) {
  std::optional<Notice> last;
  for (double now = from; now <= to; now += step) last = policy.observe(at(now, pressure));
  return last;
}

TEST(Pressure, RawValuesKernelLevelsAndTitles) {
  EXPECT_EQ(pressureFromRawValue(-1), Pressure::unknown);
  EXPECT_EQ(pressureFromRawValue(2), Pressure::critical);
  EXPECT_EQ(pressureFromRawValue(3), std::nullopt);
  EXPECT_EQ(pressureFromRawValue(-2), std::nullopt);
  EXPECT_EQ(pressureFromKernelLevel(1), Pressure::normal);
  EXPECT_EQ(pressureFromKernelLevel(2), Pressure::warning);
  EXPECT_EQ(pressureFromKernelLevel(4), Pressure::critical);
  for (int other : {0, 3, 8, -1}) EXPECT_EQ(pressureFromKernelLevel(other), Pressure::unknown) << other;
  EXPECT_EQ(L10n::render(title(Pressure::warning), "ja"), "注意");
  EXPECT_EQ(L10n::render(title(Pressure::unknown), "en"), "Unavailable");
}

TEST(MemorySample, JsonLeavesAbsentFiguresOutAndRejectsMalformedOnes) {
  MemorySample full = at(12.5, Pressure::warning, 3 * MiB, 7);
  EXPECT_EQ(toJson(full).dump(), R"({"uptime":12.5,"pressure":1,"swap":3145728,"compressed":7})");
  EXPECT_EQ(memorySampleFromJson(toJson(full)), full);
  MemorySample bare = at(1, Pressure::unknown);
  EXPECT_EQ(toJson(bare).dump(), R"({"uptime":1.0,"pressure":-1})");
  EXPECT_EQ(memorySampleFromJson(toJson(bare)), bare);

  for (const char* text : {R"({"pressure":0})", R"({"uptime":1})", R"({"uptime":"1","pressure":0})",
                           R"({"uptime":1,"pressure":5})", R"({"uptime":1,"pressure":0.5})",
                           R"({"uptime":1,"pressure":0,"swap":-4})", R"({"uptime":1,"pressure":0,"compressed":"x"})",
                           R"([1,0])", "null"}) {
    EXPECT_EQ(memorySampleFromJson(Json::parse(text)), std::nullopt) << text;
  }
}

TEST(Notice, RawValuesAndSeverity) {
  EXPECT_EQ(rawValue(Notice::critical), "critical");
  EXPECT_EQ(noticeFromRawValue("early"), Notice::early);
  EXPECT_EQ(noticeFromRawValue("Early"), std::nullopt);
  EXPECT_LT(severity(Notice::early), severity(Notice::warning));
  EXPECT_LT(severity(Notice::warning), severity(Notice::critical));
}

TEST(MemoryPolicy, WarningHoldsForTheDelay) {
  MemoryPolicy policy(10);
  EXPECT_EQ(policy.observe(at(100, Pressure::warning)), std::nullopt);
  EXPECT_EQ(policy.observe(at(105, Pressure::warning)), std::nullopt);
  EXPECT_EQ(policy.observe(at(109, Pressure::warning)), std::nullopt) << "9 s of warning";
  EXPECT_EQ(policy.observe(at(110, Pressure::warning)), Notice::warning) << "10 s of warning";
  EXPECT_EQ(policy.observe(at(115, Pressure::warning)), std::nullopt) << "once per 600 s";

  MemoryPolicy interrupted(10);
  interrupted.observe(at(100, Pressure::warning));
  interrupted.observe(at(105, Pressure::normal));  // restarts the hold
  EXPECT_EQ(interrupted.observe(at(110, Pressure::warning)), std::nullopt);
  EXPECT_EQ(interrupted.observe(at(119, Pressure::warning)), std::nullopt);
  EXPECT_EQ(interrupted.observe(at(120, Pressure::warning)), Notice::warning);
}

TEST(MemoryPolicy, DelayFallsBackToThirtySeconds) {
  for (double bad : {-1.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(MemoryPolicy(bad).warningDelay(), 30);
  EXPECT_EQ(MemoryPolicy(0).warningDelay(), 0);
  MemoryPolicy immediate(0);
  EXPECT_EQ(immediate.observe(at(1, Pressure::warning)), Notice::warning);
}

TEST(MemoryPolicy, CriticalPassesAtOnceAndRepeatsOnlyAfterTenMinutes) {
  MemoryPolicy policy(10);
  feed(policy, 100, 105, Pressure::warning);
  EXPECT_EQ(policy.observe(at(110, Pressure::warning)), Notice::warning);
  EXPECT_EQ(policy.observe(at(115, Pressure::critical)), Notice::critical) << "the episode worsened";
  EXPECT_EQ(policy.episodeSeverity(), 2);
  EXPECT_EQ(feed(policy, 120, 710, Pressure::critical), std::nullopt) << "still within 600 s";
  EXPECT_EQ(policy.observe(at(715, Pressure::critical)), Notice::critical) << "600 s after the first";
}

TEST(MemoryPolicy, EpisodeClosesAfterTwoMinutesOfNormal) {
  MemoryPolicy policy(0);
  EXPECT_EQ(policy.observe(at(0, Pressure::warning)), Notice::warning);
  feed(policy, 5, 120, Pressure::normal);  // 115 s of normal: the episode stays open
  EXPECT_EQ(policy.observe(at(125, Pressure::warning)), std::nullopt);
  feed(policy, 130, 250, Pressure::normal);  // 120 s of normal closes it
  EXPECT_EQ(policy.episodeSeverity(), 0);
  EXPECT_EQ(policy.observe(at(255, Pressure::warning)), Notice::warning) << "a new episode, inside 600 s";
}

// Swap and compression growing steadily: every normal sample 295 s into the series sees growth.
MemorySample growing(double now) {
  return at(now, Pressure::normal, static_cast<std::uint64_t>(now) * 4 * MiB, static_cast<std::uint64_t>(now));
}

TEST(MemoryPolicy, EarlyRepeatsOnlyTenMinutesAfterTheLastEarly) {
  MemoryPolicy policy(0);
  std::vector<double> earlies;
  for (double now = 0; now <= 1200; now += 5) {
    // A warning every 100 s keeps an episode open all along.
    const bool warn = now > 300 && static_cast<int>(now) % 100 == 5;
    auto notice = policy.observe(warn ? at(now, Pressure::warning) : growing(now));
    if (notice == Notice::early) earlies.push_back(now);
    if (warn) {
      EXPECT_NE(notice, Notice::early);
    }
  }
  EXPECT_EQ(earlies, (std::vector<double>{295, 895})) << "the first sample 295 s in, then 600 s later";
  EXPECT_EQ(policy.episodeSeverity(), 1) << "early never raises the episode";
}

TEST(MemoryPolicy, SeriesBreaksClearTheMarksButNotTheNoticeHistory) {
  MemoryPolicy policy(10);
  policy.observe(at(100, Pressure::warning));
  policy.observe(at(105, Pressure::warning));
  EXPECT_EQ(policy.observe(at(105, Pressure::warning)), std::nullopt) << "equal uptime breaks the series";
  EXPECT_EQ(policy.warningSince(), 105);
  EXPECT_EQ(policy.samples().size(), 1u);
  EXPECT_EQ(policy.observe(at(126, Pressure::warning)), std::nullopt) << "a 21 s gap breaks it too";
  EXPECT_EQ(policy.warningSince(), 126);
  EXPECT_EQ(policy.observe(at(136, Pressure::warning)), Notice::warning);
  // The history survives a break: a repeat inside 600 s is still refused.
  policy.observe(at(500, Pressure::warning));
  EXPECT_EQ(policy.observe(at(510, Pressure::warning)), std::nullopt);

  MemoryPolicy unusable(10);
  unusable.observe(at(600, Pressure::warning));
  EXPECT_EQ(unusable.observe(at(std::numeric_limits<double>::quiet_NaN(), Pressure::warning)), std::nullopt);
  EXPECT_EQ(unusable.observe(at(-1e9, Pressure::critical)), std::nullopt) << "no time, no notice";
  EXPECT_TRUE(unusable.samples().empty());
  EXPECT_EQ(unusable.warningSince(), std::nullopt);

  MemoryPolicy unknown(0);
  unknown.observe(at(1, Pressure::normal));
  unknown.observe(at(2, Pressure::unknown));
  EXPECT_EQ(unknown.normalSince(), std::nullopt);
  EXPECT_EQ(unknown.warningSince(), std::nullopt);
}

TEST(MemoryPolicy, WindowKeepsThreeHundredSixtySeconds) {
  MemoryPolicy policy(10);
  feed(policy, 0, 400, Pressure::normal);
  EXPECT_EQ(policy.samples().front().uptime, 40);
  EXPECT_EQ(policy.samples().back().uptime, 400);
}

TEST(MemoryTrend, GrowthNeedsAReferenceAged295To310Seconds) {
  const MemorySample now = at(1000, Pressure::normal, 1024 * MiB, 101);
  struct Case {
    const char* what;
    std::vector<MemorySample> window;
    bool growing;
  };
  const Case cases[] = {
      {"no sample in the age range", {at(1000 - 294, Pressure::normal, 0, 0), at(1000 - 311, Pressure::normal, 0, 0)}, false},
      {"exactly 512 MiB of swap and 1 byte of compression", {at(700, Pressure::normal, 512 * MiB, 100)}, true},
      {"one byte short of 512 MiB", {at(700, Pressure::normal, 512 * MiB + 1, 100)}, false},
      {"compression flat", {at(700, Pressure::normal, 0, 101)}, false},
      {"swap shrank", {at(700, Pressure::normal, 2048 * MiB, 0)}, false},
      {"age 310 is in range", {at(690, Pressure::normal, 0, 0)}, true},
      {"the first sample in range decides", {at(695, Pressure::normal, 600 * MiB, 0), at(700, Pressure::normal, 0, 0)}, false},
      {"the reference lacks swap", {at(700, Pressure::normal, std::nullopt, 0)}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(MemoryTrend::isGrowing(c.window, now), c.growing) << c.what;
  EXPECT_FALSE(MemoryTrend::isGrowing({at(700, Pressure::normal, 0, 0)}, at(1000, Pressure::normal, 1024 * MiB, std::nullopt)));
}

TEST(CPUUsageTracker, FractionBetweenConsecutiveTicks) {
  CPUUsageTracker tracker;
  EXPECT_EQ(tracker.observe(100, 900, 10), std::nullopt) << "first tick";
  EXPECT_DOUBLE_EQ(*tracker.observe(125, 975, 15), 0.25);
  EXPECT_EQ(tracker.observe(130, 980, 36), std::nullopt) << "after a 21 s gap";
  EXPECT_DOUBLE_EQ(*tracker.observe(140, 980, 41), 1.0);
  EXPECT_EQ(tracker.observe(140, 980, 46), std::nullopt) << "no ticks elapsed";
  EXPECT_EQ(tracker.observe(100, 990, 51), std::nullopt) << "busy went down";
  EXPECT_EQ(tracker.observe(std::nullopt, 995, 56), std::nullopt);
  EXPECT_EQ(tracker.observe(110, 1000, 61), std::nullopt) << "an unreadable tick forgets the previous one";
  EXPECT_EQ(tracker.observe(120, 1000, 61), std::nullopt) << "same uptime";
}

TEST(SwapChangeTracker, ChangeOverFiveMinutesOnlyWithinOneSeries) {
  SwapChangeTracker tracker;
  std::optional<std::int64_t> change;
  for (double now = 0; now < 295; now += 5) {
    change = tracker.observe(static_cast<std::uint64_t>(now) * MiB, now);
    EXPECT_EQ(change, std::nullopt) << now;
  }
  EXPECT_EQ(tracker.observe(295 * MiB, 295), static_cast<std::int64_t>(295 * MiB));
  EXPECT_EQ(tracker.observe(0, 300), -static_cast<std::int64_t>(5 * MiB)) << "shrinking is negative";

  EXPECT_EQ(tracker.observe(1 * MiB, 321), std::nullopt) << "a gap starts over";
  EXPECT_EQ(tracker.observe(std::uint64_t{1} << 63, 326), std::nullopt) << "beyond Int64";
  EXPECT_EQ(tracker.observe(std::nullopt, 331), std::nullopt);

  // A tick every second: only the newest 128 readings are kept, so none is old enough.
  SwapChangeTracker dense;
  for (double now = 0; now <= 400; now += 1) EXPECT_EQ(dense.observe(0, now), std::nullopt);
}

}  // namespace
}  // namespace hollin
