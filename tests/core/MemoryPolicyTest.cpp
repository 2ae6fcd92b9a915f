// How the notice policy's hold, episode and repeat rules combine across pressure changes;
// the single-rule cases live in MemoryNoticeTest.
#include <gtest/gtest.h>

#include <limits>

#include "core/memory/MemoryNotice.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1ull << 20;

MemorySample at(double uptime, Pressure pressure) {
  return {uptime, pressure, std::nullopt, std::nullopt};
}

// Swap up 9 MiB and compression up 1 byte per 5 s tick: a normal sample sees growth against
// any reference 295 s or more older.
MemorySample growing(double now) {
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
    EXPECT_EQ(policy.observe(growing(now)), std::nullopt) << now;
  EXPECT_EQ(policy.observe(at(285, Pressure::warning)), Notice::warning);
  policy.observe(growing(290));
  EXPECT_EQ(policy.episodeSeverity(), 1);
  EXPECT_EQ(policy.observe(growing(295)), Notice::early) << "no early in the last 600 s";
  EXPECT_EQ(policy.episodeSeverity(), 1);
}

TEST(MemoryPolicyEpisode, SustainedGrowthPostsEarlyEveryTenMinutes) {
  MemoryPolicy policy(10);
  auto posted = run(policy, 0, 1600, growing);
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

}  // namespace
}  // namespace hollin
