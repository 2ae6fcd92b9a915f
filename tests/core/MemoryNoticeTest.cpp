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

// Swap up 9 MiB and compression up 1 byte per 5 s tick: a normal sample sees growth against
// any reference 295 s or more older.
MemorySample growingByTicks(double now) {
  const auto ticks = static_cast<std::uint64_t>(now / 5);
  return {now, Pressure::normal, ticks * 9 * MiB, ticks};
}

std::vector<std::pair<double, Notice>> run(MemoryPolicy& policy, double from, double to,
                                           MemorySample (*make)(double)) {
  std::vector<std::pair<double, Notice>> posted;
  for (double now = from; now <= to; now += 5)
    if (auto notice = policy.observe(make(now))) posted.emplace_back(now, *notice);
  return posted;
}

TEST(MemoryPolicyHold, OnlyNormalOrUnknownOrABreakRestartsTheWarningRun) {
  // Critical in the middle of a warning run leaves the run's start standing.
  MemoryPolicy throughCritical(10);
  throughCritical.observe(at(100, Pressure::warning));
  EXPECT_EQ(throughCritical.observe(at(105, Pressure::critical)), Notice::critical);
  EXPECT_EQ(throughCritical.warningSince(), 100);
  EXPECT_EQ(throughCritical.observe(at(110, Pressure::warning)), Notice::warning)
      << "10 s since the run began at 100 s; warning itself was never posted";

  // Unknown pressure clears the run: the delay counts again from the next warning.
  MemoryPolicy throughUnknown(10);
  throughUnknown.observe(at(100, Pressure::warning));
  throughUnknown.observe(at(105, Pressure::unknown));
  EXPECT_EQ(throughUnknown.observe(at(110, Pressure::warning)), std::nullopt);
  EXPECT_EQ(throughUnknown.warningSince(), 110);
  EXPECT_EQ(throughUnknown.observe(at(115, Pressure::warning)), std::nullopt);
  EXPECT_EQ(throughUnknown.observe(at(120, Pressure::warning)), Notice::warning);
}

TEST(MemoryPolicyHold, ThirtySecondDelayForTheRecordingScope) {
  MemoryPolicy policy(30);
  for (double now = 0; now < 30; now += 5)
    EXPECT_EQ(policy.observe(at(now, Pressure::warning)), std::nullopt) << now;
  EXPECT_EQ(policy.observe(at(30, Pressure::warning)), Notice::warning);
}

TEST(MemoryPolicyEpisode, WarningAfterCriticalIsRefusedOnlyWhileItsOwnRepeatRuns) {
  MemoryPolicy policy(0);
  EXPECT_EQ(policy.observe(at(0, Pressure::warning)), Notice::warning);
  EXPECT_EQ(policy.observe(at(5, Pressure::critical)), Notice::critical);
  EXPECT_EQ(policy.observe(at(10, Pressure::warning)), std::nullopt) << "warning posted 10 s ago";
  // Past 600 s since the last warning, with critical still open in the episode.
  for (double now = 15; now < 600; now += 5) policy.observe(at(now, Pressure::warning));
  EXPECT_EQ(policy.observe(at(600, Pressure::warning)), Notice::warning);
  EXPECT_EQ(policy.episodeSeverity(), 2) << "a lesser notice does not lower the episode";
}

TEST(MemoryPolicyEpisode, ClosingNeedsOneUnbrokenRunOfNormal) {
  MemoryPolicy policy(0);
  EXPECT_EQ(policy.observe(at(0, Pressure::critical)), Notice::critical);
  // 100 s of normal, one unknown sample, 100 s more: never 120 s in one run.
  for (double now = 5; now <= 100; now += 5) policy.observe(at(now, Pressure::normal));
  policy.observe(at(105, Pressure::unknown));
  for (double now = 110; now <= 210; now += 5) policy.observe(at(now, Pressure::normal));
  EXPECT_EQ(policy.episodeSeverity(), 2);
  EXPECT_EQ(policy.observe(at(215, Pressure::critical)), std::nullopt);

  // A gap ends the run too, but not the episode.
  for (double now = 220; now <= 300; now += 5) policy.observe(at(now, Pressure::normal));
  for (double now = 330; now <= 400; now += 5) policy.observe(at(now, Pressure::normal));
  EXPECT_EQ(policy.episodeSeverity(), 2) << "80 s, a 30 s gap, 70 s";
  for (double now = 405; now <= 450; now += 5) policy.observe(at(now, Pressure::normal));
  EXPECT_EQ(policy.episodeSeverity(), 0) << "120 s since the gap";
}

TEST(MemoryPolicyEpisode, EarlyDuringAnOpenEpisodeFollowsOnlyItsOwnTenMinutes) {
  MemoryPolicy policy(0);
  for (double now = 0; now <= 280; now += 5)
    EXPECT_EQ(policy.observe(growingByTicks(now)), std::nullopt) << now;
  EXPECT_EQ(policy.observe(at(285, Pressure::warning)), Notice::warning);
  policy.observe(growingByTicks(290));
  EXPECT_EQ(policy.episodeSeverity(), 1);
  EXPECT_EQ(policy.observe(growingByTicks(295)), Notice::early) << "no early in the last 600 s";
  EXPECT_EQ(policy.episodeSeverity(), 1);
}

TEST(MemoryPolicyEpisode, SustainedGrowthPostsEarlyEveryTenMinutes) {
  MemoryPolicy policy(10);
  auto posted = run(policy, 0, 1600, growingByTicks);
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(posted[0].first, 295) << "the first sample with a reference 295 s old";
  EXPECT_EQ(posted[1].first, 895);
  EXPECT_EQ(posted[2].first, 1495);
  EXPECT_EQ(policy.samples().size(), 73u) << "360 s of samples, both ends kept";
}

TEST(MemoryPolicyEpisode, CriticalRepeatsEveryTenMinutesWhileItLasts) {
  MemoryPolicy policy(10);
  std::vector<double> criticals;
  for (double now = 0; now <= 1800; now += 5)
    if (policy.observe(at(now, Pressure::critical)) == Notice::critical) criticals.push_back(now);
  EXPECT_EQ(criticals, (std::vector<double>{0, 600, 1200, 1800}));
}


TEST(MemorySampleJson, ZeroIsAFigureAndTheWholeRangeSurvives) {
  const MemorySample zero{5, Pressure::normal, 0, std::nullopt};
  EXPECT_EQ(toJson(zero).dump(), R"({"uptime":5.0,"pressure":0,"swap":0})");
  EXPECT_EQ(memorySampleFromJson(toJson(zero)), zero);

  const MemorySample largest{1e9 + 0.25, Pressure::critical,
                             std::numeric_limits<std::uint64_t>::max(),
                             std::numeric_limits<std::uint64_t>::max()};
  EXPECT_EQ(memorySampleFromJson(Json::parse(toJson(largest).dump())), largest);
}

TEST(MemorySampleJson, WrongKindsOfNumberAreRejected) {
  for (const char* text : {
           R"({"uptime":1,"pressure":0,"swap":18446744073709551616})",  // one past UInt64
           R"({"uptime":1,"pressure":0,"compressed":1.5})",
           R"({"uptime":1,"pressure":1.0})",
           R"({"uptime":1,"pressure":true})",
           R"({"uptime":true,"pressure":0})",
           R"({"uptime":null,"pressure":0})",
           R"({"uptime":1,"pressure":-2})",
       }) {
    EXPECT_EQ(memorySampleFromJson(Json::parse(text)), std::nullopt) << text;
  }
  const auto extra = memorySampleFromJson(Json::parse(R"({"uptime":2,"pressure":2,"note":"x"})"));
  ASSERT_TRUE(extra);
  EXPECT_EQ(*extra, (MemorySample{2, Pressure::critical, std::nullopt, std::nullopt}));
}

TEST(CPUUsageTrackerLimits, TwentySecondsIsStillOneSeries) {
  CPUUsageTracker tracker;
  tracker.observe(0, 0, 100);
  EXPECT_DOUBLE_EQ(*tracker.observe(30, 70, 120), 0.3) << "exactly 20 s";
  EXPECT_EQ(tracker.observe(40, 80, 140.001), std::nullopt);
  EXPECT_EQ(tracker.observe(50, 90, std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(tracker.observe(60, 100, 145), std::nullopt)
      << "a bad uptime forgets the previous tick";
  EXPECT_DOUBLE_EQ(*tracker.observe(60, 110, 150), 0.0);
}

TEST(SwapChangeTrackerLimits, ReferenceMovesAsOldReadingsAgeOut) {
  SwapChangeTracker tracker;
  for (double now = 0; now < 300; now += 20) {
    EXPECT_EQ(tracker.observe(static_cast<std::uint64_t>(now) * MiB, now), std::nullopt) << now;
  }
  EXPECT_EQ(tracker.observe(1000 * MiB, 300), static_cast<std::int64_t>(1000 * MiB))
      << "against 0 s";
  EXPECT_EQ(tracker.observe(1000 * MiB, 320), static_cast<std::int64_t>(980 * MiB))
      << "the 0 s reading is 320 s old and gone; 20 s is the reference";

  constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  SwapChangeTracker extremes;
  for (double now = 0; now < 295; now += 5) extremes.observe(0, now);
  EXPECT_EQ(extremes.observe(largest, 295), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(extremes.observe(0, std::numeric_limits<double>::quiet_NaN()), std::nullopt);
  EXPECT_EQ(extremes.observe(0, 600), std::nullopt) << "the bad uptime emptied the list";
}

}  // namespace
}  // namespace hollin
