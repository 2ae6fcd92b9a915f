// The desktop widgets' core: the summary file the application writes and the widget program
// reads, the timeline built from it, and what each widget face says and how it is coloured.
#include <gtest/gtest.h>

#include <tuple>

#include "CoreFixtures.h"
#include "core/BuildProfile.h"
#include "core/ByteCount.h"
#include "core/snapshot/Snapshot.h"
#include "core/widgets/UsageWidgetFace.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using Change = std::function<void(WidgetSnapshot&)>;

const WallTime now = fromReferenceSeconds(800'000'000);  // May 2026
constexpr std::uint64_t GiB = 1ull << 30;

// Only the required fields.
WidgetSnapshot bare(WallTime measuredAt, std::string level, std::string status) {
  WidgetSnapshot summary;
  summary.measuredAt = measuredAt, summary.level = std::move(level), summary.status = std::move(status);
  return summary;
}

// Memory 0.125 used, storage 10 % free, CPU 0.125 busy, no swap change.
WidgetSnapshot recentSummary() {
  return {.measuredAt = now - 60s, .memoryUsed = 2 * GiB, .memoryTotal = 16 * GiB, .diskAvailable = 50'000'000'000,
          .diskTotal = 500'000'000'000, .compressed = {}, .swap = 0, .level = "red", .status = "危険 ★★★★",
          .cpuFraction = 0.125, .thermalState = {}, .swapChange = 0, .ssdCelsius = 38, .ssdMeasuredAt = now - 30s,
          .cpuCelsius = 61, .cpuMeasuredAt = now - 60s};
}

TEST(WidgetSummary, JsonRoundTripAndStrictReading) {
  WidgetSnapshot full = recentSummary();
  full.measuredAt = fromReferenceSeconds(800'000'000.25);
  full.ssdMeasuredAt = fromReferenceSeconds(-7'999'999'999.5);
  full.cpuMeasuredAt = fromReferenceSeconds(-4'838'799'896.2076311);  // needs a step of the last digit
  full.thermalState = 2;
  full.swapChange = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(decodeWidgetSnapshot(encodeWidgetSnapshot(full)), full);
  EXPECT_EQ(encodeWidgetSnapshot(bare(fromReferenceSeconds(1.5), "green", "正常")),
            R"({"measuredAt":1.5,"level":"green","status":"正常"})");

  const std::string base = R"("measuredAt":800000000,"level":"green","status":"x")";
  const std::tuple<const char*, std::string, bool> rows[] = {
      {"keys in any order, optional null", R"({"status":"x","swap":null,"level":"green","measuredAt":8e8})", true},
      {"a double written as an integer", "{" + base + R"(,"cpuFraction":1})", true},
      {"812.0 for an integer", "{" + base + R"(,"memoryUsed":812.0})", false},
      {"a bool for a number", "{" + base + R"(,"cpuCelsius":true})", false},
      {"a negative UInt64", "{" + base + R"(,"diskTotal":-1})", false},
      {"an Int64 beyond its range", "{" + base + R"(,"swapChange":9223372036854775808})", false},
      {"a number for the level", R"({"measuredAt":8e8,"level":1,"status":"x"})", false},
      {"no measuredAt", R"({"level":"green","status":"x"})", false},
      {"no status", R"({"measuredAt":8e8,"level":"green"})", false},
      {"a date beyond the clock", R"({"measuredAt":8000000001,"level":"green","status":"x"})", false},
      {"truncated", "{" + base, false},
  };
  for (const auto& [label, text, reads] : rows) EXPECT_EQ(decodeWidgetSnapshot(text).has_value(), reads) << label;
}

TEST(WidgetSummary, ReadsSmallRegularFilesFromTheSharedFolder) {
  test::TempFolder folder;
  const std::string json = R"({"measuredAt":800000000,"level":"green","status":"x"})";
  const std::string padded = json + std::string(WidgetSnapshot::sizeLimit - json.size(), ' ');
  EXPECT_TRUE(WidgetSnapshot::read(folder.write("4096", padded)));
  EXPECT_FALSE(WidgetSnapshot::read(folder.write("4097", padded + " ")));
  EXPECT_FALSE(WidgetSnapshot::read(folder.path / "missing"));
  EXPECT_FALSE(WidgetSnapshot::read(folder.path));  // a folder
  EXPECT_FALSE(WidgetSnapshot::read(std::nullopt));

  // The base directory rule has its own test; here only that the folder follows it or is absent.
  EXPECT_EQ(WidgetSnapshot::containerFolder([](const char* name) { return std::string(name) == "HOME" ? "/h" : nullptr; }),
            "/h/.local/share/" + std::string(AppGroupIdentifier));
  EXPECT_EQ(WidgetSnapshot::containerFolder([](const char*) -> const char* { return nullptr; }), std::nullopt);
}

TEST(WidgetSummary, FreshSnapshotGivesItsFiguresStaleOnlyUnavailable) {
  Snapshot snapshot;
  snapshot.uptime = 1000;
  snapshot.system.physical = 16 * GiB;
  snapshot.system.memory_used = 3 * GiB;
  snapshot.system.memory_used_valid = 1;
  snapshot.system.disk_total = 9;  // disk_valid 0: absent
  snapshot.system.swap_used = 5;   // swap_valid 0: absent
  const auto summary = [&](double uptime, bool asleep, const char* language) {
    return widgetSummary(snapshot, {uptime, now, asleep, MenuBarLevel::yellow, 0.5, -4096, language});
  };
  WidgetSnapshot expected = bare(now - 20s, "yellow", "Caution ★★☆☆");
  expected.memoryUsed = 3 * GiB, expected.memoryTotal = 16 * GiB, expected.cpuFraction = 0.5, expected.swapChange = -4096;
  EXPECT_EQ(summary(1020, false, "en"), expected);
  // Stale, the status in the writer's language.
  EXPECT_EQ(summary(1021, false, "ja"), bare(now - 21s, "unavailable", "確認できません"));
  EXPECT_EQ(summary(1020, true, "en").level, "unavailable") << "asleep";
}

TEST(WidgetTimeline, EntriesUntilTheSummaryGoesOutOfDate) {
  const std::tuple<const char*, std::optional<std::chrono::seconds>, std::vector<WallTime>> rows[] = {
      {"no summary", std::nullopt, {now}},
      {"25 min old: already out of date", 25min, {now}},
      {"1 min old: out of date in 19 min", 1min, {now, now + 19min}},
      {"measured in the future", -10min, {now, now + 30min}},
  };
  for (const auto& [label, measuredAgo, dates] : rows) {
    std::optional<WidgetSnapshot> summary;
    if (measuredAgo) summary = bare(now - *measuredAgo, "green", "x");
    UsageTimeline timeline{{}, now + 15min};
    for (WallTime date : dates) timeline.entries.push_back({date, summary});
    EXPECT_EQ(usageTimeline(now, summary), timeline) << label;
  }
}

TEST(WidgetTimeline, ReplacedOnlyByAnotherKnownBuild) {
  test::TempFolder bundle;
  const std::string head = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)";
  const std::tuple<const char*, const char*, std::optional<std::string>, bool> rows[] = {
      // The property list's dictionary; nullptr: no Info.plist.
      {"same build", "<key>CFBundleVersion</key><string>41</string>", "41", false},
      {"another build", "<key>CFBundleVersion</key><string>42</string>", "41", true},
      {"launched build unknown", "<key>CFBundleVersion</key><string>42</string>", std::nullopt, false},
      {"build number not a string", "<key>CFBundleVersion</key><integer>42</integer>", "41", false},
      {"no build number", "<key>CFBundleShortVersionString</key><string>1.0</string>", "41", false},
      {"no Info.plist", nullptr, "41", false},
  };
  for (const auto& [label, dict, launched, replaced] : rows) {
    std::filesystem::remove(bundle.path / BundleReplacement::infoFile);
    if (dict) bundle.write(BundleReplacement::infoFile, head + dict + "</dict></plist>");
    EXPECT_EQ(BundleReplacement::isReplaced(launched, bundle.path), replaced) << label;
  }
}

// The figure each single-widget face shows, judged at the entry's date, and the ring's colour.
TEST(WidgetFace, FiguresAndTints) {
  const std::tuple<const char*, int, Change, std::string, WidgetTint> rows[] = {
      // Rings: memory 0, storage 1, CPU 3, heat 4.
      {"0.125 rounds to 13%, coloured by the level", 0, [](WidgetSnapshot&) {}, "13%", WidgetTint::red},
      {"used above total: no fraction", 0, [](WidgetSnapshot& s) { s.memoryUsed = 17 * GiB; }, "—", WidgetTint::grey},
      {"0 of 0: no fraction", 0, [](WidgetSnapshot& s) { s.memoryUsed = s.memoryTotal = 0; }, "—", WidgetTint::grey},
      {"level unavailable: grey", 0, [](WidgetSnapshot& s) { s.level = "unavailable"; }, "13%", WidgetTint::grey},
      {"5 s ahead", 0, [](WidgetSnapshot& s) { s.measuredAt = now + 5s; }, "13%", WidgetTint::red},
      {"6 s ahead", 0, [](WidgetSnapshot& s) { s.measuredAt = now + 6s; }, "—", WidgetTint::grey},
      {"20 min old", 0, [](WidgetSnapshot& s) { s.measuredAt = now - 20min; }, "—", WidgetTint::grey},
      {"10 % free: cyan", 1, [](WidgetSnapshot&) {}, "10%", WidgetTint::cyan},
      {"9 % free: red", 1, [](WidgetSnapshot& s) { s.diskAvailable = 45'000'000'000; }, "9%", WidgetTint::red},
      {"CPU 0.125 busy", 3, [](WidgetSnapshot&) {}, "13%", WidgetTint::blue},
      {"CPU at 20 °C", 4, [](WidgetSnapshot& s) { s.cpuCelsius = 20; }, "—", WidgetTint::grey},
      {"CPU at 120 °C, no thermal state: grey", 4, [](WidgetSnapshot& s) { s.cpuCelsius = 120; }, "120℃", WidgetTint::grey},
      {"CPU read 20 min ago", 4, [](WidgetSnapshot& s) { s.cpuMeasuredAt = now - 20min; }, "—", WidgetTint::grey},
      // Big figures: SSD 5, swap 6; the tint is not theirs.
      {"SSD at −20 °C shown", 5, [](WidgetSnapshot& s) { s.ssdCelsius = -20; }, "-20 °C", {}},
      {"SSD at −21 °C not", 5, [](WidgetSnapshot& s) { s.ssdCelsius = -21; }, "取得不可", {}},
      {"SSD read 21 min ago", 5, [](WidgetSnapshot& s) { s.ssdMeasuredAt = now - 21min; }, "取得不可", {}},
      {"swap change zero: no sign", 6, [](WidgetSnapshot&) {}, formatByteCount(0, ByteCountStyle::memory, "ja"), {}},
      {"swap shrank", 6, [](WidgetSnapshot& s) { s.swapChange = -3 * 1024 * 1024; }, "\u22123 MB", {}},
      {"swap not yet measured", 6, [](WidgetSnapshot& s) { s.swapChange.reset(); }, "測定中", {}},
  };
  for (const auto& [label, mode, change, figure, tint] : rows) {
    WidgetSnapshot s = recentSummary();
    change(s);
    const UsageFace face = usageFace(mode, WidgetFamily::small, {now, s}, "ja");
    EXPECT_EQ(face.metric ? face.metric->value : face.ringRows[0][0].centre, figure) << label;
    EXPECT_EQ(face.metric ? WidgetTint{} : face.ringRows[0][0].tint, tint) << label;
  }
  WidgetSnapshot unavailable = recentSummary();
  unavailable.level = "unavailable";
  const RingFace memory = usageRing(unavailable, now, false, "ja");
  EXPECT_NE(memory.toolTip.find("。確認できません。"), std::string::npos) << memory.toolTip;
  EXPECT_EQ(machineRing(recentSummary(), now, true, "ja").caption,
            (std::vector<std::string>{"熱の状態：取得不可", "熱：取得不可", "取得不可"}));
}

TEST(WidgetFace, OutdatedAndMissingSummaries) {
  WidgetSnapshot old = recentSummary();
  old.measuredAt = now - 21min;
  const UsageFace large = usageFace(2, WidgetFamily::large, {now, old}, "ja");
  ASSERT_EQ(large.ringRows.size(), 2u);
  for (const auto& row : large.ringRows)
    for (const RingFace& ring : row) EXPECT_EQ(ring.centre, "—") << ring.title.text;
  EXPECT_EQ(large.ringRows[0][0].caption.front(), "— / —");
  EXPECT_EQ(large.ringRows[1][1].caption.front(), "温度は取得不可・熱の状態：取得不可");
  EXPECT_EQ(large.lines, (std::vector<std::string>{"SSD 取得不可", "スワップ5分 取得不可"}));
  EXPECT_EQ(large.footer.front().rfind("更新待ち・最終測定 ", 0), 0u) << large.footer.front();
  EXPECT_EQ(large.toolTip, "メモリーと空き容量");

  EXPECT_EQ(usageFace(2, WidgetFamily::medium, {now, recentSummary()}, "ja").footer.front().rfind("測定 ", 0), 0u);
  const UsageFace empty = usageFace(0, WidgetFamily::small, placeholderEntry(now), "en");
  EXPECT_EQ(empty.footer, (std::vector<std::string>{"Click to start Hollin", "Click to start"}));
}

}  // namespace
}  // namespace hollin
