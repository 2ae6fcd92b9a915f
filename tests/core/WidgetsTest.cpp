// The desktop widgets' core: the summary file the application writes and the widget program
// reads, the timeline built from it, and what each widget face says and how it is coloured.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "core/BuildProfile.h"
#include "core/ByteCount.h"
#include "core/snapshot/Snapshot.h"
#include "core/widgets/UsageWidgetFace.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime now = fromReferenceSeconds(800'000'000);  // May 2026
constexpr std::uint64_t GiB = 1ull << 30;

// Only the required fields.
WidgetSnapshot bare(WallTime measuredAt, std::string level, std::string status) {
  WidgetSnapshot s;
  s.measuredAt = measuredAt;
  s.level = std::move(level);
  s.status = std::move(status);
  return s;
}

WidgetSnapshot recentSummary() {
  WidgetSnapshot s;
  s.measuredAt = now - 60s;
  s.memoryUsed = 2 * GiB;
  s.memoryTotal = 16 * GiB;  // 0.125
  s.diskAvailable = 50'000'000'000;
  s.diskTotal = 500'000'000'000;  // 10 %
  s.swap = 0;
  s.level = "red";
  s.status = "危険 ★★★★";
  s.cpuFraction = 0.125;
  s.swapChange = 0;
  s.ssdCelsius = 38;
  s.ssdMeasuredAt = now - 30s;
  s.cpuCelsius = 61;
  s.cpuMeasuredAt = now - 60s;
  return s;
}

struct TempFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("hollin-widgets-" + std::to_string(::getpid()));
  TempFolder() { std::filesystem::create_directories(path); }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::filesystem::path write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
    return path / name;
  }
};

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
  struct Row {
    const char* label;
    std::string text;
    bool reads;
  };
  const Row rows[] = {
      {"required fields only", "{" + base + "}", true},
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
  for (const Row& row : rows) EXPECT_EQ(decodeWidgetSnapshot(row.text).has_value(), row.reads) << row.label;
}

TEST(WidgetSummary, ReadsSmallRegularFilesFromTheSharedFolder) {
  TempFolder folder;
  const std::string json = R"({"measuredAt":800000000,"level":"green","status":"x"})";
  const std::string padded = json + std::string(WidgetSnapshot::sizeLimit - json.size(), ' ');
  EXPECT_TRUE(WidgetSnapshot::read(folder.write("4096", padded)));
  EXPECT_FALSE(WidgetSnapshot::read(folder.write("4097", padded + " ")));
  EXPECT_FALSE(WidgetSnapshot::read(folder.path / "missing"));
  EXPECT_FALSE(WidgetSnapshot::read(folder.path));  // a folder
  EXPECT_FALSE(WidgetSnapshot::read(std::nullopt));

  const std::string group(AppGroupIdentifier);
  using Env = std::map<std::string, const char*>;
  struct Row {
    const char* label;
    Env env;
    std::optional<std::filesystem::path> folder;
  };
  const Row rows[] = {
      {"XDG data home", {{"XDG_DATA_HOME", "/x/data"}, {"HOME", "/home/a"}}, "/x/data/" + group},
      {"relative XDG data home", {{"XDG_DATA_HOME", "data"}, {"HOME", "/home/a"}}, "/home/a/.local/share/" + group},
      {"relative home", {{"HOME", "home"}}, std::nullopt},
      {"nothing set", {}, std::nullopt},
  };
  for (const Row& row : rows) {
    const auto lookup = [&](const char* name) -> const char* {
      const auto found = row.env.find(name);
      return found == row.env.end() ? nullptr : found->second;
    };
    EXPECT_EQ(WidgetSnapshot::containerFolder(lookup), row.folder) << row.label;
  }
}

TEST(WidgetSummary, RecencyTemperatureAndFractions) {
  struct Row {
    const char* label;
    std::function<void(WidgetSnapshot&)> change;
    bool recent;
    std::optional<double> cpuCelsius;
  };
  const Row rows[] = {
      {"a minute old", [](WidgetSnapshot&) {}, true, 61},
      {"5 s ahead", [](WidgetSnapshot& s) { s.measuredAt = now + 5s; }, true, 61},
      {"6 s ahead", [](WidgetSnapshot& s) { s.measuredAt = now + 6s; }, false, std::nullopt},
      {"20 min old", [](WidgetSnapshot& s) { s.measuredAt = now - 20min; }, false, std::nullopt},
      {"CPU at 20 °C", [](WidgetSnapshot& s) { s.cpuCelsius = 20; }, true, std::nullopt},
      {"CPU at 120 °C", [](WidgetSnapshot& s) { s.cpuCelsius = 120; }, true, 120},
      {"CPU read 20 min ago", [](WidgetSnapshot& s) { s.cpuMeasuredAt = now - 20min; }, true, std::nullopt},
  };
  for (const Row& row : rows) {
    WidgetSnapshot changed = recentSummary();
    row.change(changed);
    EXPECT_EQ(changed.isRecent(now), row.recent) << row.label;
    EXPECT_EQ(changed.recentCPUTemperature(now), row.cpuCelsius) << row.label;
  }
  EXPECT_EQ(recentSummary().memoryFraction(), 0.125);
  EXPECT_EQ(fraction(0, 0), std::nullopt);
  EXPECT_EQ(fraction(std::nullopt, 16), std::nullopt);
}

TEST(WidgetSummary, FreshSnapshotGivesItsFiguresStaleOnlyUnavailable) {
  Snapshot snapshot;
  snapshot.uptime = 1000;
  snapshot.system.physical = 16 * GiB;
  snapshot.system.memory_used = 3 * GiB;
  snapshot.system.memory_used_valid = 1;
  snapshot.system.disk_available = 7;
  snapshot.system.disk_total = 9;
  snapshot.system.disk_valid = 1;
  snapshot.system.swap_used = 5;  // swap_valid 0: absent
  snapshot.cpuCelsius = 55;
  snapshot.cpuMeasuredAt = now - 40s;
  const WidgetSummaryInputs fresh{1020, now, false, MenuBarLevel::yellow, 0.5, -4096, "en"};

  WidgetSnapshot expected;
  expected.measuredAt = now - 20s;
  expected.memoryUsed = 3 * GiB;
  expected.memoryTotal = 16 * GiB;
  expected.diskAvailable = 7;
  expected.diskTotal = 9;
  expected.level = "yellow";
  expected.status = "Caution ★★☆☆";
  expected.cpuFraction = 0.5;
  expected.swapChange = -4096;
  expected.cpuCelsius = 55;
  expected.cpuMeasuredAt = now - 40s;
  EXPECT_EQ(widgetSummary(snapshot, fresh), expected);

  WidgetSummaryInputs old = fresh;
  old.now = 1021;
  old.language = "ja";
  const WidgetSnapshot unavailable = bare(now - 21s, "unavailable", "確認できません");
  EXPECT_EQ(widgetSummary(snapshot, old), unavailable);
  WidgetSummaryInputs asleep = fresh;
  asleep.asleep = true;
  EXPECT_EQ(widgetSummary(snapshot, asleep).level, "unavailable");
  EXPECT_EQ(widgetSummary(snapshot, asleep).status, "Can’t be determined");
}

TEST(WidgetTimeline, EntriesUntilTheSummaryGoesOutOfDate) {
  struct Row {
    const char* label;
    std::optional<std::chrono::seconds> measuredAgo;
    std::vector<WallTime> dates;
  };
  const Row rows[] = {
      {"no summary", std::nullopt, {now}},
      {"25 min old: already out of date", 25min, {now}},
      {"1 min old: out of date in 19 min", 1min, {now, now + 19min}},
      {"measured in the future", -10min, {now, now + 30min}},
  };
  for (const Row& row : rows) {
    std::optional<WidgetSnapshot> summary;
    if (row.measuredAgo) summary = bare(now - *row.measuredAgo, "green", "x");
    const UsageTimeline timeline = usageTimeline(now, summary);
    std::vector<WallTime> dates;
    for (const UsageEntry& entry : timeline.entries) {
      dates.push_back(entry.date);
      EXPECT_EQ(entry.snapshot, summary) << row.label;
    }
    EXPECT_EQ(dates, row.dates) << row.label;
    EXPECT_EQ(timeline.reloadAfter, now + 15min) << row.label;
  }
}

TEST(WidgetTimeline, ReplacedOnlyByAnotherKnownBuild) {
  TempFolder bundle;
  const auto info = [&](const std::string& dict) {
    bundle.write(BundleReplacement::infoFile,
                 R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)" + dict + "</dict></plist>");
  };
  struct Row {
    const char* label;
    const char* dict;  // nullptr: no Info.plist
    std::optional<std::string> launched;
    bool replaced;
  };
  const Row rows[] = {
      {"same build", "<key>CFBundleVersion</key><string>41</string>", "41", false},
      {"another build", "<key>CFBundleVersion</key><string>42</string>", "41", true},
      {"launched build unknown", "<key>CFBundleVersion</key><string>42</string>", std::nullopt, false},
      {"build number not a string", "<key>CFBundleVersion</key><integer>42</integer>", "41", false},
      {"no build number", "<key>CFBundleShortVersionString</key><string>1.0</string>", "41", false},
      {"no Info.plist", nullptr, "41", false},
  };
  for (const Row& row : rows) {
    std::filesystem::remove(bundle.path / BundleReplacement::infoFile);
    if (row.dict) info(row.dict);
    EXPECT_EQ(BundleReplacement::isReplaced(row.launched, bundle.path), row.replaced) << row.label;
  }
}

TEST(WidgetFace, RingsJudgeTheSummaryAtTheEntryDate) {
  using Change = std::function<void(WidgetSnapshot&)>;
  struct Row {
    const char* label;
    Change change;
    bool disk;
    std::string centre;
    WidgetTint tint;
  };
  const Row rows[] = {
      {"0.125 rounds to 13%, coloured by the level", [](WidgetSnapshot&) {}, false, "13%", WidgetTint::red},
      {"used above total: no fraction", [](WidgetSnapshot& s) { s.memoryUsed = 17 * GiB; }, false, "—", WidgetTint::grey},
      {"level unavailable: grey", [](WidgetSnapshot& s) { s.level = "unavailable"; }, false, "13%", WidgetTint::grey},
      {"10 % free: cyan", [](WidgetSnapshot&) {}, true, "10%", WidgetTint::cyan},
      {"9 % free: red", [](WidgetSnapshot& s) { s.diskAvailable = 45'000'000'000; }, true, "9%", WidgetTint::red},
      {"21 min old storage", [](WidgetSnapshot& s) { s.measuredAt = now - 21min; }, true, "—", WidgetTint::grey},
  };
  for (const Row& row : rows) {
    WidgetSnapshot s = recentSummary();
    row.change(s);
    const RingFace ring = usageRing(s, now, row.disk, "ja");
    EXPECT_EQ(ring.centre, row.centre) << row.label;
    EXPECT_EQ(ring.tint, row.tint) << row.label;
  }
  WidgetSnapshot unavailable = recentSummary();
  unavailable.level = "unavailable";
  const RingFace memory = usageRing(unavailable, now, false, "ja");
  EXPECT_EQ(memory.caption, (std::vector<std::string>{"2 GB / 16 GB", "2 GB"}));
  EXPECT_NE(memory.toolTip.find("。確認できません。"), std::string::npos) << memory.toolTip;

  const RingFace cpu = machineRing(recentSummary(), now, false, "ja");
  EXPECT_EQ(cpu.centre, "13%");
  EXPECT_NE(cpu.toolTip.find("12.5%"), std::string::npos) << cpu.toolTip;
  const RingFace thermal = machineRing(recentSummary(), now, true, "ja");
  EXPECT_EQ(thermal.centre, "61℃");
  EXPECT_EQ(thermal.tint, WidgetTint::grey);  // no thermal state on Linux
  EXPECT_EQ(thermal.caption, (std::vector<std::string>{"熱の状態：取得不可", "熱：取得不可", "取得不可"}));
}

TEST(WidgetFace, BigFigures) {
  struct Row {
    const char* label;
    std::function<void(WidgetSnapshot&)> change;
    bool ssd;
    std::string value;
  };
  const std::string zero = formatByteCount(0, ByteCountStyle::memory, "ja");
  const Row rows[] = {
      {"SSD at −20 °C shown", [](WidgetSnapshot& s) { s.ssdCelsius = -20; }, true, "-20 °C"},
      {"SSD at −21 °C not", [](WidgetSnapshot& s) { s.ssdCelsius = -21; }, true, "取得不可"},
      {"SSD read 21 min ago", [](WidgetSnapshot& s) { s.ssdMeasuredAt = now - 21min; }, true, "取得不可"},
      {"swap change zero: no sign", [](WidgetSnapshot&) {}, false, zero},
      {"swap shrank", [](WidgetSnapshot& s) { s.swapChange = -3 * 1024 * 1024; }, false, "\u22123 MB"},
      {"swap not yet measured", [](WidgetSnapshot& s) { s.swapChange.reset(); }, false, "測定中"},
      {"swap of an old summary", [](WidgetSnapshot& s) { s.measuredAt = now - 21min; }, false, "取得不可"},
  };
  for (const Row& row : rows) {
    WidgetSnapshot s = recentSummary();
    row.change(s);
    EXPECT_EQ(extraMetric(s, now, row.ssd, "ja").value, row.value) << row.label;
  }
  EXPECT_EQ(extraMetric(std::nullopt, now, false, "ja").value, "取得不可");
  EXPECT_EQ(extraMetric(recentSummary(), now, true, "en").toolTip.rfind("SSD Temperature: 38 °C. ", 0), 0u);
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
  ASSERT_EQ(large.footer.size(), 2u);
  EXPECT_EQ(large.footer[0].rfind("更新待ち・最終測定 ", 0), 0u) << large.footer[0];
  EXPECT_EQ(large.toolTip, "メモリーと空き容量");

  EXPECT_EQ(usageFace(2, WidgetFamily::medium, {now, recentSummary()}, "ja").footer.front().rfind("測定 ", 0), 0u);
  const UsageFace empty = usageFace(0, WidgetFamily::small, placeholderEntry(now), "en");
  EXPECT_EQ(empty.footer, (std::vector<std::string>{"Click to start Hollin", "Click to start"}));
  EXPECT_EQ(empty.ringRows[0][0].title.text, "Memory in use (approx.)");
}

}  // namespace
}  // namespace hollin
