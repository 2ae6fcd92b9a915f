#include "core/memory/MenuBarStatus.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/L10n.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1ull << 20;

MemorySample at(double uptime, Pressure pressure) { return {uptime, pressure, std::nullopt, std::nullopt}; }

TEST(MenuBarLevel, RawValuesTitlesAndExplanations) {
  for (auto level : allMenuBarLevels) EXPECT_EQ(menuBarLevelFromRawValue(rawValue(level)), level);
  EXPECT_EQ(menuBarLevelFromRawValue("Green"), std::nullopt);
  EXPECT_EQ(L10n::render(title(MenuBarLevel::orange), "ja"), "警戒 ★★★☆");
  EXPECT_EQ(L10n::render(title(MenuBarLevel::unavailable), "en"), "Can’t be determined");
  EXPECT_EQ(explanation(MenuBarLevel::green).key, "メモリーは正常です。");
}

TEST(MenuBarStatusPolicy, WarningTurnsOrangeAfterTheDelay) {
  MenuBarStatusPolicy policy(10);
  policy.observe(at(100, Pressure::warning));
  policy.observe(at(109, Pressure::warning));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::yellow) << "9 s";
  policy.observe(at(110, Pressure::warning));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::orange) << "10 s";

  MenuBarStatusPolicy restarted(10);
  restarted.observe(at(100, Pressure::warning));
  restarted.observe(at(105, Pressure::normal));
  EXPECT_EQ(restarted.memoryLevel(), MenuBarLevel::green);
  restarted.observe(at(110, Pressure::warning));
  restarted.observe(at(115, Pressure::warning));
  EXPECT_EQ(restarted.memoryLevel(), MenuBarLevel::yellow) << "a normal sample restarted the delay";

  policy.observe(at(115, Pressure::critical));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::red);
  policy.observe(at(120, Pressure::warning));
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::yellow) << "critical cleared the warning mark";
}

TEST(MenuBarStatusPolicy, UnknownGapsAndBadUptimesReset) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    MemorySample breaking;
    MenuBarLevel after;
  };
  const Case cases[] = {
      {"unknown pressure", at(105, Pressure::unknown), MenuBarLevel::unavailable},
      {"negative uptime", at(-1, Pressure::warning), MenuBarLevel::unavailable},
      {"no uptime", at(nan, Pressure::warning), MenuBarLevel::unavailable},
      {"equal uptime: a new series, a new delay", at(100, Pressure::warning), MenuBarLevel::yellow},
      {"a 21 s gap", at(121, Pressure::warning), MenuBarLevel::yellow},
  };
  for (const auto& c : cases) {
    MenuBarStatusPolicy delayed(10);
    delayed.observe(at(80, Pressure::warning));
    delayed.observe(at(95, Pressure::warning));
    delayed.observe(at(100, Pressure::warning));
    ASSERT_EQ(delayed.memoryLevel(), MenuBarLevel::orange);
    delayed.observe(c.breaking);
    EXPECT_EQ(delayed.memoryLevel(), c.after) << c.what;
  }
  EXPECT_EQ(MenuBarStatusPolicy(-3).warningDelay(), 10);
}

TEST(MenuBarStatusPolicy, GrowthTurnsNormalYellow) {
  MenuBarStatusPolicy policy(10);
  policy.observe({0, Pressure::normal, 0, 0});
  for (double now = 5; now < 300; now += 5) policy.observe({now, Pressure::normal, 0, 0});
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::green);
  policy.observe({300, Pressure::normal, 512 * MiB, 1});
  EXPECT_EQ(policy.memoryLevel(), MenuBarLevel::yellow);
}

PeerReport reportWith(double checkedAt, bool trusted = true, bool workerHealthy = true) {
  PeerReport report;
  report.trusted = trusted;
  report.workerHealthy = workerHealthy;
  AppResponse app;
  app.outcome = ProbeOutcome::failed;
  app.failures = 2;
  app.firstFailure = checkedAt - 20;
  app.checkedAt = checkedAt;
  report.apps.push_back(app);
  return report;
}

MenuBarStatusPolicy policyAt(Pressure pressure) {
  MenuBarStatusPolicy policy(0);
  if (pressure != Pressure::unknown) policy.observe(at(100, pressure));
  return policy;
}

TEST(ShownLevel, SuspectedAppsRaiseOnlyGreenAndYellow) {
  const ShownLevelInputs fresh{.now = 100, .snapshotUptime = 100};
  ASSERT_TRUE(reportWith(80).apps.front().suspected());
  struct Case {
    Pressure pressure;
    std::vector<PeerReport> reports;
    MenuBarLevel shown;
  };
  const Case cases[] = {
      {Pressure::normal, {reportWith(80)}, MenuBarLevel::orange},
      {Pressure::normal, {reportWith(79)}, MenuBarLevel::green},  // checked 21 s ago
      {Pressure::normal, {reportWith(80, false)}, MenuBarLevel::green},
      {Pressure::normal, {reportWith(80, true, false)}, MenuBarLevel::green},
      {Pressure::normal, {PeerReport{}, reportWith(95)}, MenuBarLevel::orange},  // another account's report
      {Pressure::critical, {reportWith(95)}, MenuBarLevel::red},
      {Pressure::unknown, {reportWith(95)}, MenuBarLevel::unavailable},
  };
  for (const auto& c : cases) {
    auto shown = shownLevel(policyAt(c.pressure), fresh, c.reports);
    EXPECT_EQ(shown.level, c.shown) << rawValue(c.shown);
    EXPECT_EQ(shown.explanation, explanation(c.shown));
  }
}

TEST(ShownLevel, StaleDataIsUnavailableAndClearsTheDiskWarning) {
  auto policy = policyAt(Pressure::normal);
  ShownLevelInputs inputs{.now = 121, .snapshotUptime = 100, .diskValid = true, .diskAvailable = 1, .diskWarningShown = true};
  auto shown = shownLevel(policy, inputs, {});
  EXPECT_EQ(shown.level, MenuBarLevel::unavailable) << "21 s old";
  EXPECT_FALSE(shown.diskWarningShown);
  inputs.now = 120;
  EXPECT_EQ(shownLevel(policy, inputs, {}).level, MenuBarLevel::red) << "20 s old is still fresh";
  inputs.asleep = true;
  EXPECT_EQ(shownLevel(policy, inputs, {}).level, MenuBarLevel::unavailable);
}

TEST(ShownLevel, DiskOverrideWithHysteresis) {
  auto policy = policyAt(Pressure::normal);
  struct Case {
    std::uint64_t available;
    bool shownBefore;
    bool valid;
    bool shownAfter;
  };
  const Case cases[] = {
      {9'999'999'999, false, true, true},     {10'000'000'000, false, true, false},
      {10'999'999'999, true, true, true},     {11'000'000'000, true, true, false},
      {1, true, false, false},  // invalid figures clear it
  };
  for (const auto& c : cases) {
    ShownLevelInputs inputs{.now = 100, .snapshotUptime = 100, .diskValid = c.valid, .diskAvailable = c.available,
                            .diskWarningShown = c.shownBefore};
    auto shown = shownLevel(policy, inputs, {});
    EXPECT_EQ(shown.diskWarningShown, c.shownAfter) << c.available << " " << c.shownBefore;
    EXPECT_EQ(shown.level, c.shownAfter ? MenuBarLevel::red : MenuBarLevel::green) << c.available;
    if (c.shownAfter) {
      EXPECT_EQ(L10n::render(shown.explanation, "ja"), "内蔵ストレージの空きがほとんどありません。いらないファイルを消してください。");
    }
  }
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
  PeerReport responsive = reportWith(100);
  responsive.apps.front().outcome = ProbeOutcome::responsive;
  responsive.apps.front().failures = 0;
  responsive.apps.front().firstFailure.reset();
  ASSERT_FALSE(responsive.apps.front().suspected());
  PeerReport twoApps = responsive;
  twoApps.apps.push_back(reportWith(90).apps.front());

  const auto yellow = policyShowing(MenuBarLevel::yellow);
  EXPECT_EQ(shownLevel(yellow, fresh, {responsive}).level, MenuBarLevel::yellow);
  EXPECT_EQ(shownLevel(yellow, fresh, {responsive, twoApps}).level, MenuBarLevel::orange)
      << "the second app of the second report";
  const ShownLevel raised = shownLevel(yellow, fresh, {reportWith(80)});
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
