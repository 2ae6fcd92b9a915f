// The menu-bar level as the renders see it: every memory level against freshness and suspected
// apps, resets around sleep, and the disk override on top of levels the memory policy gives.
#include <gtest/gtest.h>

#include "core/L10n.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1ull << 20;

MemorySample at(double uptime, Pressure pressure) {
  return {uptime, pressure, std::nullopt, std::nullopt};
}

// A policy whose memory level is `wanted`, reached by samples ending at 100 s.
MenuBarStatusPolicy policyShowing(MenuBarLevel wanted) {
  MenuBarStatusPolicy policy(10);
  switch (wanted) {
    case MenuBarLevel::green:
      policy.observe(at(100, Pressure::normal));
      break;
    case MenuBarLevel::yellow:
      policy.observe(at(100, Pressure::warning));
      break;
    case MenuBarLevel::orange:
      policy.observe(at(90, Pressure::warning));
      policy.observe(at(100, Pressure::warning));
      break;
    case MenuBarLevel::red:
      policy.observe(at(100, Pressure::critical));
      break;
    case MenuBarLevel::unavailable:
      break;
  }
  return policy;
}

PeerReport suspectedAt(double checkedAt) {
  PeerReport report;
  report.trusted = true;
  report.workerHealthy = true;
  AppResponse app;
  app.outcome = ProbeOutcome::failed;
  app.failures = 3;
  app.firstFailure = checkedAt - 30;
  app.checkedAt = checkedAt;
  report.apps.push_back(app);
  return report;
}

TEST(MenuBarStatusLevel, EveryMemoryLevelAgainstFreshnessAndSuspectedApps) {
  using enum MenuBarLevel;
  struct Case {
    MenuBarLevel memory, fresh, freshSuspected;
  };
  const Case cases[] = {
      {green, green, orange},
      {yellow, yellow, orange},
      {orange, orange, orange},
      {red, red, red},
      {unavailable, unavailable, unavailable},
  };
  for (const auto& c : cases) {
    const auto policy = policyShowing(c.memory);
    ASSERT_EQ(policy.memoryLevel(), c.memory);
    EXPECT_EQ(policy.level(true, false), c.fresh) << rawValue(c.memory);
    EXPECT_EQ(policy.level(true, true), c.freshSuspected) << rawValue(c.memory);
    EXPECT_EQ(policy.level(false, false), unavailable) << rawValue(c.memory);
    EXPECT_EQ(policy.level(false, true), unavailable) << rawValue(c.memory);
  }
}

TEST(MenuBarStatusLevel, AfterAResetOrangeNeedsTheDelayAnewAndGrowthItsFiveMinutes) {
  MenuBarStatusPolicy policy(10);
  for (double now = 0; now <= 300; now += 5)
    policy.observe({now, Pressure::normal, static_cast<std::uint64_t>(now / 5) * 9 * MiB, 1});
  ASSERT_EQ(policy.memoryLevel(), MenuBarLevel::green) << "compression flat";
  policy.observe({305, Pressure::normal, 62 * 9 * MiB, 2});
  ASSERT_EQ(policy.memoryLevel(), MenuBarLevel::yellow) << "growth";
  policy.observe(at(310, Pressure::warning));
  policy.observe(at(320, Pressure::warning));
  ASSERT_EQ(policy.memoryLevel(), MenuBarLevel::orange);

  policy.reset();  // sleep
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::unavailable);
  EXPECT_EQ(policy.level(true, false), MenuBarLevel::unavailable);
  policy.observe(at(900, Pressure::warning));  // first tick after the wake
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::yellow);
  policy.observe(at(905, Pressure::normal));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::green);
  policy.observe({910, Pressure::normal, 4096 * MiB, 100});
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::green)
      << "the samples from before the sleep are gone";
}

TEST(MenuBarStatusLevel, RecordingScopeDelayOfThirtySeconds) {
  MenuBarStatusPolicy policy(30);
  for (double now = 0; now < 30; now += 5) {
    policy.observe(at(now, Pressure::warning));
    EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::yellow) << now;
  }
  policy.observe(at(30, Pressure::warning));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::orange);
  policy.observe(at(35, Pressure::critical));
  policy.observe(at(40, Pressure::normal));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::green) << "pressure easing shows at once";
}

TEST(ShownLevelDecision, SuspectedVerdictsAreGatheredFromEveryUsableReport) {
  const ShownLevelInputs fresh{.now = 100, .snapshotUptime = 95};
  PeerReport responsive = suspectedAt(100);
  responsive.apps.front().outcome = ProbeOutcome::responsive;
  responsive.apps.front().failures = 0;
  responsive.apps.front().firstFailure.reset();
  ASSERT_FALSE(responsive.apps.front().suspected());
  PeerReport twoApps = responsive;
  twoApps.apps.push_back(suspectedAt(90).apps.front());

  const auto yellow = policyShowing(MenuBarLevel::yellow);
  EXPECT_EQ(shownLevel(yellow, fresh, {responsive}).level, MenuBarLevel::yellow);
  EXPECT_EQ(shownLevel(yellow, fresh, {responsive, twoApps}).level, MenuBarLevel::orange)
      << "the second app of the second report";
  const ShownLevel raised = shownLevel(yellow, fresh, {suspectedAt(80)});
  EXPECT_EQ(raised.level, MenuBarLevel::orange) << "checked exactly 20 s ago";
  EXPECT_EQ(L10n::render(raised.explanation, "ja"),
            "メモリーの圧迫が続いているか、アプリの応答が止まった疑いがあります。");
}

TEST(ShownLevelDecision, DiskOverrideAppliesToAnyFreshLevel) {
  for (auto memory : allMenuBarLevels) {
    const auto policy = policyShowing(memory);
    const ShownLevel shown = shownLevel(policy,
                                        {.now = 100,
                                         .snapshotUptime = 100,
                                         .diskValid = true,
                                         .diskAvailable = 0,
                                         .diskWarningShown = false},
                                        {});
    EXPECT_EQ(shown.level, MenuBarLevel::red) << rawValue(memory);
    EXPECT_TRUE(shown.diskWarningShown);
    EXPECT_EQ(shown.explanation.key,
              "内蔵ストレージの空きがほとんどありません。いらないファイルを消してください。");
  }
}

TEST(ShownLevelDecision, HysteresisAcrossConsecutiveRenders) {
  const auto policy = policyShowing(MenuBarLevel::green);
  bool flag = false;
  std::vector<MenuBarLevel> shown;
  // Free space dips below 10 GB, climbs back past it, then past 11 GB.
  for (std::uint64_t available : {10'500'000'000ull, 9'900'000'000ull, 10'500'000'000ull,
                                  10'999'999'999ull, 11'000'000'000ull, 10'500'000'000ull}) {
    ShownLevel result = shownLevel(policy,
                                   {.now = 100,
                                    .snapshotUptime = 100,
                                    .diskValid = true,
                                    .diskAvailable = available,
                                    .diskWarningShown = flag},
                                   {});
    flag = result.diskWarningShown;
    shown.push_back(result.level);
  }
  using enum MenuBarLevel;
  EXPECT_EQ(shown, (std::vector<MenuBarLevel>{green, red, red, red, green, green}));

  // Asleep with the warning up: unavailable, and the warning is down when the machine wakes.
  ShownLevel asleep = shownLevel(policy,
                                 {.asleep = true,
                                  .now = 100,
                                  .snapshotUptime = 100,
                                  .diskValid = true,
                                  .diskAvailable = 10'500'000'000,
                                  .diskWarningShown = true},
                                 {});
  EXPECT_EQ(asleep.level, unavailable);
  EXPECT_FALSE(asleep.diskWarningShown);
  EXPECT_EQ(asleep.explanation, explanation(unavailable));
}

}  // namespace
}  // namespace hollin
