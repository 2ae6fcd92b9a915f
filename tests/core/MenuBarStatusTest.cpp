// Memory pressure over time: the notice policy, the growth trend, the CPU and swap trackers,
// and the menu bar's level, each fed samples written as a script of spans.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "core/memory/MemoryNotice.h"
#include "core/memory/MenuBarStatus.h"
#include "core/memory/UsageTrackers.h"

namespace hollin {
namespace {

using enum MenuBarLevel;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

constexpr std::uint64_t MiB = 1ull << 20;

MemorySample at(double uptime, Pressure pressure, std::optional<std::uint64_t> swap = {},
                std::optional<std::uint64_t> compressed = {}) {
  return {uptime, pressure, swap, compressed};
}

// Samples every 5 s: "W100..115" is warning from 100 s through 115 s, "N5" one normal sample at
// 5 s, C critical, U unknown, G normal with swap up 9 MiB and compression up 1 byte per 5 s
// (531 MiB over 295 s). A time may be "nan" or negative.
std::vector<MemorySample> samples(const std::string& script) {
  static const std::map<char, Pressure> kinds{
      {'N', Pressure::normal}, {'W', Pressure::warning}, {'C', Pressure::critical}, {'U', Pressure::unknown}};
  std::vector<MemorySample> out;
  std::istringstream spans(script);
  for (std::string span; spans >> span;) {
    const auto dots = span.find("..");
    const double from = std::stod(span.substr(1, dots - 1));
    const double to = dots == std::string::npos ? from : std::stod(span.substr(dots + 2));
    const bool growing = span[0] == 'G';
    const Pressure pressure = growing ? Pressure::normal : kinds.at(span[0]);  // a typo throws
    for (double now = from;; now += 5) {
      const auto ticks = growing ? static_cast<std::uint64_t>(now / 5) : 0;
      out.push_back(growing ? at(now, pressure, ticks * 9 * MiB, ticks) : at(now, pressure));
      if (!(now + 5 <= to)) break;
    }
  }
  return out;
}

TEST(Pressure, TheReadingsKernelLevelElseTheLastEventsPressure) {
  using enum Pressure;
  HLSystem reading{};
  reading.compressed = 9, reading.swap_used = 7, reading.swap_valid = 1, reading.pressure = 2;  // vm_valid is 0
  EXPECT_EQ(kernelPressure(reading, critical), critical) << "not read";
  EXPECT_EQ(memorySample(reading, 5, normal), at(5, normal, 7, std::nullopt)) << "compression not read";
  reading.pressure_valid = 1;
  const std::pair<std::int32_t, Pressure> levels[] = {{1, normal}, {2, warning}, {4, critical}, {0, unknown}, {3, unknown}};
  for (auto [level, pressure] : levels) {
    reading.pressure = level;
    EXPECT_EQ(kernelPressure(reading, critical), pressure == unknown ? critical : pressure) << level;
  }
}

TEST(MemoryPolicy, NoticesOfAScriptedRun) {
  // What a policy with the delay posts fed the script ("uptime notice, ..."), and the episode's
  // severity after it.
  struct Run { const char* name; double delay; const char* script; const char* posted; int episode; };
  const Run runs[] = {
      {"warning held 9 s posts nothing, at 10 s once", 10, "W100..105 W109 W110..115", "110 warning", 1},
      {"a normal sample restarts the hold", 10, "W100 N105 W110 W119..124", "124 warning", 1},
      {"critical posts at once, inside warning's 600 s too, and 600 s later", 10, "W100..110 C115..715",
       "110 warning, 115 critical, 715 critical", 2},
      {"critical inside a warning run leaves the run's start", 10, "W100 C105 W110", "105 critical, 110 warning", 2},
      {"unknown ends the warning run", 10, "W100 U105 W110..120", "120 warning", 1},
      {"an equal uptime breaks the series", 10, "W100..105 W105..115", "115 warning", 1},
      {"a 21 s gap breaks the series", 10, "W100..105 W126..136", "136 warning", 1},
      {"a 20 s gap continues it", 10, "W100..105 W125", "125 warning", 1},
      {"a break keeps the notice history", 10, "W100..110 W500..520", "110 warning", 1},
      {"a sample with no usable time posts nothing and breaks the series", 10, "W600 Wnan C-1e9 W605..615", "615 warning", 1},
      {"115 s of normal keeps the episode, 120 s closes it", 0, "W0 N5..120 W125 N130..250 W255", "0 warning, 255 warning", 1},
      {"a lesser notice waits only for its own 600 s", 0, "W0 C5 W10..600", "0 warning, 5 critical, 600 warning", 2},
      {"unknown breaks the normal run that would close the episode", 0, "C0 N5..100 U105 N110..210 C215", "0 critical", 2},
      {"115 s of normal after a gap keeps the episode", 0, "C0 N5..80 N110..225", "0 critical", 2},
      {"120 s of normal after a gap closes it", 0, "C0 N5..80 N110..230", "0 critical", 0},
      {"growth posts early 295 s in and every 600 s, opening no episode", 10, "G0..1600", "295 early, 895 early, 1495 early", 0},
      {"early in a warning episode waits only for its own 600 s", 0, "G0..280 W285 G290..295", "285 warning, 295 early", 1},
  };
  for (const Run& run : runs) {
    MemoryPolicy policy(run.delay);
    std::string posted;
    for (const MemorySample& sample : samples(run.script))
      if (auto notice = policy.observe(sample))
        posted += (posted.empty() ? "" : ", ") + std::to_string(std::lround(sample.uptime)) + " " +
                  std::string(rawValue(*notice));
    EXPECT_EQ(posted, run.posted) << run.name;
    EXPECT_EQ(policy.episodeSeverity(), run.episode) << run.name;
  }
  for (double bad : {-1.0, std::numeric_limits<double>::infinity(), nan}) EXPECT_EQ(MemoryPolicy(bad).warningDelay(), 30);
}

TEST(MemoryTrend, GrowthNeedsAReferenceAged295To310Seconds) {
  using enum Pressure;
  const MemorySample now = at(1000, normal, 1024 * MiB, 101);
  struct Case { const char* what; std::vector<MemorySample> window; bool growing; };
  const Case cases[] = {
      {"no sample in the age range", {at(706, normal, 0, 0), at(689, normal, 0, 0)}, false},
      {"exactly 512 MiB of swap and 1 byte of compression", {at(700, normal, 512 * MiB, 100)}, true},
      {"one byte short of 512 MiB", {at(700, normal, 512 * MiB + 1, 100)}, false},
      {"compression flat", {at(700, normal, 0, 101)}, false},
      {"swap shrank", {at(700, normal, 2048 * MiB, 0)}, false},
      {"age 310 is in range", {at(690, normal, 0, 0)}, true},
      {"the first sample in range decides", {at(695, normal, 600 * MiB, 0), at(700, normal, 0, 0)}, false},
      {"the reference lacks swap", {at(700, normal, std::nullopt, 0)}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(MemoryTrend::isGrowing(c.window, now), c.growing) << c.what;
  EXPECT_FALSE(MemoryTrend::isGrowing({at(700, normal, 0, 0)}, at(1000, normal, 1024 * MiB))) << "no compression now";

  MemoryPolicy policy(10);  // its window: 360 s, both ends kept
  for (const MemorySample& sample : samples("N0..400")) policy.observe(sample);
  EXPECT_EQ(policy.samples().front().uptime, 40);
  EXPECT_EQ(policy.samples().size(), 73u);
}

TEST(UsageTrackers, CpuShareAndSwapChangeWithinOneSeries) {
  // Ticks in turn: busy, idle, uptime, the share (exact quarters) and what the tick shows.
  struct Tick { std::optional<std::uint64_t> busy; std::uint64_t idle; double uptime; std::optional<double> share; const char* what; };
  const Tick ticks[] = {
      {100, 900, 10, {}, "first tick"}, {125, 975, 15, 0.25, ""}, {135, 975, 35, 1.0, "exactly 20 s"},
      {140, 980, 55.001, {}, "a gap"}, {150, 990, 60, 0.5, "a new series after the gap"}, {150, 990, 65, {}, "no ticks elapsed"},
      {100, 995, 70, {}, "busy went down"}, {110, 1000, 70, {}, "same uptime"}, {std::nullopt, 1005, 75, {}, "unreadable"},
      {130, 1010, 80, {}, "an unreadable counter forgets the last tick"}, {140, 1015, nan, {}, "no uptime"},
      {150, 1025, 85, {}, "so does an uptime that is no number"}};
  CPUUsageTracker cpu;
  for (const Tick& tick : ticks) EXPECT_EQ(cpu.observe(tick.busy, tick.idle, tick.uptime), tick.share) << tick.what;

  // Swap: the change against the newest reading at least 295 s old.
  SwapChangeTracker swap;
  for (double now = 0; now < 300; now += 20)
    EXPECT_EQ(swap.observe(static_cast<std::uint64_t>(now) * MiB, now), std::nullopt) << now;
  EXPECT_EQ(swap.observe(1000 * MiB, 300), static_cast<std::int64_t>(1000 * MiB)) << "against 0 s";
  // 0 s is 320 s old and gone, so 20 s is the reference; shrinking is negative.
  EXPECT_EQ(swap.observe(0, 320), -static_cast<std::int64_t>(20 * MiB));
  EXPECT_EQ(swap.observe(1 * MiB, 341), std::nullopt) << "a gap starts over";

  // A reading that cannot be used gives nothing and empties the list, so the next one finds no
  // reference 295 s old; the largest usable one still gives its change.
  constexpr auto largest = std::numeric_limits<std::int64_t>::max();
  const std::tuple<std::optional<std::uint64_t>, double, std::optional<std::int64_t>> readings[] = {
      {1ull << 63, 295, std::nullopt}, {std::nullopt, 295, std::nullopt}, {0, nan, std::nullopt}, {largest, 295, largest}};
  for (auto [bytes, uptime, change] : readings) {
    SwapChangeTracker tracker;
    for (double now = 0; now < 295; now += 5) tracker.observe(0, now);
    EXPECT_EQ(tracker.observe(bytes, uptime), change) << uptime;
    if (!change) { EXPECT_EQ(tracker.observe(0, 300), std::nullopt) << uptime; }
  }

  // A tick every second: only the newest 128 readings are kept, so none is old enough.
  SwapChangeTracker dense;
  for (double now = 0; now <= 400; now += 1) EXPECT_EQ(dense.observe(0, now), std::nullopt) << now;
}

MenuBarStatusPolicy fed(const std::string& script) {
  MenuBarStatusPolicy policy(10);
  for (const MemorySample& sample : samples(script)) policy.observe(sample);
  return policy;
}

TEST(MenuBarStatusPolicy, MemoryLevelAfterAScriptedRun) {
  struct Run { const char* name; const char* script; MenuBarLevel level; };  // scripts as above
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

TEST(MenuBarStatusPolicy, AResetShowsNothingAndForgetsTheGrowthReference) {
  MenuBarStatusPolicy policy = fed("G0..300 W305..315");
  ASSERT_EQ(policy.memoryLevel(), orange);
  policy.reset();  // the machine slept
  EXPECT_EQ(policy.level(true, false), unavailable);
  for (const MemorySample& sample : samples("N325..595")) policy.observe(sample);
  policy.observe(at(600, Pressure::normal, 8192 * MiB, 1000));
  EXPECT_EQ(policy.memoryLevel(), green) << "no growth reference from before the reset";
}

// A report holding one app suspected of hanging (two failures 20 s apart), checked at `checkedAt`.
PeerReport reportWith(double checkedAt, bool trusted = true, bool workerHealthy = true) {
  return {.trusted = trusted, .workerHealthy = workerHealthy, .apps = {{{}, "app", ProbeOutcome::failed, checkedAt, checkedAt - 20, 2}}};
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
  for (const Row& row : rows)
    EXPECT_EQ(shownLevel(fed(row.script), {.now = 100, .snapshotUptime = 100}, row.reports),
              (ShownLevel{row.shown, explanation(row.shown), false})) << row.name;
}

TEST(ShownLevel, StaleDataIsUnavailableTheDiskOverridesFreshData) {
  const auto normal = fed("N100");
  // With the disk's warning up and no space: only fresh data shows it.
  const auto diskFull = [](bool asleep, double now) {
    return ShownLevelInputs{.asleep = asleep, .now = now, .snapshotUptime = 100, .diskValid = true, .diskWarningShown = true};
  };
  EXPECT_EQ(shownLevel(normal, diskFull(false, 120), {}).level, red) << "20 s old is still fresh";
  const std::pair<bool, double> staleRenders[] = {{false, 121}, {true, 100}, {false, nan}};  // asleep, now
  for (auto [asleep, now] : staleRenders)
    EXPECT_EQ(shownLevel(normal, diskFull(asleep, now), {}), (ShownLevel{unavailable, explanation(unavailable), false})) << now;

  // Fresh, the disk turns any level red below 10 GB and until it has 11 again.
  for (const char* script : {"", "N100", "W100"})
    EXPECT_EQ(shownLevel(fed(script), {.now = 100, .snapshotUptime = 100, .diskValid = true}, {}),
              (ShownLevel{red, msg("内蔵ストレージの空きがほとんどありません。いらないファイルを消してください。"), true}));
  ShownLevelInputs inputs{.now = 100, .snapshotUptime = 100, .diskValid = true};
  std::vector<MenuBarLevel> shown;
  for (std::uint64_t available : {10'000'000'000ull, 9'999'999'999ull, 10'500'000'000ull, 10'999'999'999ull,
                                  11'000'000'000ull, 10'500'000'000ull}) {
    inputs.diskAvailable = available;
    const ShownLevel result = shownLevel(normal, inputs, {});
    inputs.diskWarningShown = result.diskWarningShown;
    shown.push_back(result.level);
  }
  EXPECT_EQ(shown, (std::vector<MenuBarLevel>{green, red, red, red, green, green}));
  EXPECT_FALSE(shownLevel(normal, {.now = 100, .snapshotUptime = 100, .diskWarningShown = true}, {}).diskWarningShown)
      << "unread figures take the warning down";
}

}  // namespace
}  // namespace hollin
