#include "core/memory/MenuBarStatus.h"

#include <gtest/gtest.h>

#include <limits>

#include "MemoryScript.h"

namespace hollin {
namespace {

using namespace test;
using enum MenuBarLevel;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
const LocalizedMessage diskFull = msg("内蔵ストレージの空きがほとんどありません。いらないファイルを消してください。");

MenuBarStatusPolicy fed(const std::string& script) {
  MenuBarStatusPolicy policy(10);
  for (const MemorySample& sample : samples(script)) policy.observe(sample);
  return policy;
}

TEST(MenuBarStatusPolicy, MemoryLevelAfterAScriptedRun) {
  struct Run { const char* name; const char* script; MenuBarLevel level; };  // scripts as in MemoryScript.h
  const Run runs[] = {
      {"warning held 9 s stays yellow", "W100 W109", yellow}, {"warning held 10 s turns orange", "W100 W110", orange},
      {"a normal sample restarts the delay", "W100 N105 W110..115", yellow},
      {"critical clears the warning mark", "W100..110 C115 W120", yellow},
      // What ends the series: the level shows nothing, or warning starts over.
      {"unknown pressure", "W80..100 U105", unavailable}, {"a negative uptime", "W80..100 W-1", unavailable},
      {"an uptime that is no number", "W80..100 Wnan", unavailable},
      {"an equal uptime restarts the delay", "W80..100 W100", yellow},
      {"a 21 s gap restarts the delay", "W80..100 W121", yellow}, {"a 20 s gap does not", "W80..100 W120", orange},
      {"growth turns normal yellow", "G0..295", yellow}, {"only against a reference 295 s old", "G0..290", green},
  };
  for (const Run& run : runs) EXPECT_EQ(fed(run.script).memoryLevel(), run.level) << run.name;
  for (double bad : {-3.0, nan}) EXPECT_EQ(MenuBarStatusPolicy(bad).warningDelay(), 10) << bad;
}

TEST(MenuBarStatusPolicy, AResetForgetsTheWarningRunAndTheGrowthReference) {
  MenuBarStatusPolicy policy = fed("G0..300 W305..315");
  ASSERT_EQ(policy.memoryLevel(), orange);
  policy.reset();  // the machine slept
  EXPECT_EQ(policy.level(true, false), unavailable);
  policy.observe(at(320, Pressure::warning));
  EXPECT_EQ(policy.memoryLevel(), yellow) << "the delay starts anew";
  for (const MemorySample& sample : samples("N325..595")) policy.observe(sample);
  policy.observe(at(600, Pressure::normal, 8192 * MiB, 1000));
  EXPECT_EQ(policy.memoryLevel(), green) << "no growth reference from before the reset";
}

// A report holding one app suspected of hanging (two failures 20 s apart), checked at `checkedAt`.
PeerReport reportWith(double checkedAt, bool trusted = true, bool workerHealthy = true) {
  PeerReport report;
  report.trusted = trusted;
  report.workerHealthy = workerHealthy;
  report.apps = {AppResponse{{}, "app", ProbeOutcome::failed, checkedAt, checkedAt - 20, 2}};
  return report;
}

TEST(ShownLevel, SuspectedAppsOfUsableReportsRaiseGreenAndYellowToOrange) {
  PeerReport responsive = reportWith(100);
  responsive.apps[0] = AppResponse{};
  PeerReport secondAppSuspected = responsive;
  secondAppSuspected.apps.push_back(reportWith(90).apps[0]);
  struct Row { const char* name; const char* script; std::vector<PeerReport> reports; MenuBarLevel shown; };
  const Row rows[] = {
      {"checked exactly 20 s ago", "N100", {reportWith(80)}, orange}, {"checked 21 s ago", "N100", {reportWith(79)}, green},
      {"from an untrusted instance", "N100", {reportWith(80, false)}, green},
      {"from a broken probe worker", "N100", {reportWith(80, true, false)}, green},
      {"only responsive apps", "W100", {responsive}, yellow},
      {"the second app of the second report", "W100", {responsive, secondAppSuspected}, orange},
      {"red stays red", "C100", {reportWith(95)}, red}, {"unavailable stays so", "U100", {reportWith(95)}, unavailable},
  };
  for (const Row& row : rows) {
    const ShownLevel shown = shownLevel(fed(row.script), {.now = 100, .snapshotUptime = 100}, row.reports);
    EXPECT_EQ(shown, (ShownLevel{row.shown, explanation(row.shown), false})) << row.name;
  }
}

TEST(ShownLevel, StaleDataIsUnavailableTheDiskOverridesFreshData) {
  const auto normal = fed("N100");
  ShownLevelInputs inputs{.now = 120, .snapshotUptime = 100, .diskValid = true, .diskWarningShown = true};
  EXPECT_EQ(shownLevel(normal, inputs, {}).level, red) << "20 s old is still fresh";
  const std::pair<bool, double> staleRenders[] = {{false, 121}, {true, 100}, {false, nan}};  // asleep, now
  for (auto [asleep, now] : staleRenders) {
    inputs.asleep = asleep;
    inputs.now = now;
    EXPECT_EQ(shownLevel(normal, inputs, {}), (ShownLevel{unavailable, explanation(unavailable), false})) << now;
  }

  // Fresh, the disk turns any level red below 10 GB and until it has 11 again.
  for (const char* script : {"", "N100", "W100"})
    EXPECT_EQ(shownLevel(fed(script), {.now = 100, .snapshotUptime = 100, .diskValid = true}, {}),
              (ShownLevel{red, diskFull, true}));
  inputs = {.now = 100, .snapshotUptime = 100, .diskValid = true};
  std::vector<MenuBarLevel> shown;
  for (std::uint64_t available : {10'000'000'000ull, 9'999'999'999ull, 10'500'000'000ull, 10'999'999'999ull,
                                  11'000'000'000ull, 10'500'000'000ull}) {
    inputs.diskAvailable = available;
    const ShownLevel result = shownLevel(normal, inputs, {});
    inputs.diskWarningShown = result.diskWarningShown;
    shown.push_back(result.level);
  }
  EXPECT_EQ(shown, (std::vector<MenuBarLevel>{green, red, red, red, green, green}));
  inputs = {.now = 100, .snapshotUptime = 100, .diskWarningShown = true};
  EXPECT_FALSE(shownLevel(normal, inputs, {}).diskWarningShown) << "unread figures take the warning down";
}

}  // namespace
}  // namespace hollin
