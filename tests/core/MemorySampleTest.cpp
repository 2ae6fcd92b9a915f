// Sample JSON at the edges of its number types, and the trackers at their time limits.
#include <gtest/gtest.h>

#include <limits>

#include "core/memory/MemoryNotice.h"
#include "core/memory/UsageTrackers.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1ull << 20;

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
