#include "core/health/HealthRecord.h"

#include <gtest/gtest.h>

#include <regex>

namespace hollin {
namespace {

using nlohmann::json;

std::shared_ptr<Snapshot> snapshotAt(double uptime) {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->uptime = uptime;
  snapshot->system.physical = 16ull << 30;
  snapshot->system.disk_valid = 1;
  snapshot->system.disk_available = 50'000'000'000;
  snapshot->system.disk_total = 500'000'000'000;
  return snapshot;
}

HealthInputs inputsFor(std::shared_ptr<Snapshot> snapshot, double now) {
  HealthInputs inputs;
  inputs.snapshot = std::move(snapshot);
  inputs.now = now;
  inputs.uid = 1000;
  inputs.consoleUID = 1000;
  inputs.accounts = AccountRange{1000, 60000};
  return inputs;
}

TEST(HealthRecord, NoSnapshotNoRecord) {
  EXPECT_EQ(healthRecord(HealthInputs{}), std::nullopt);
  EXPECT_EQ(healthText(HealthInputs{}), std::nullopt);
}

TEST(HealthRecord, AllSixtyEightKeysSortedOnDiskWithNullsForAbsentFigures) {
  auto snapshot = snapshotAt(100);
  snapshot->system.disk_valid = 0;
  auto inputs = inputsFor(snapshot, 101);
  inputs.notificationDiagnostics = Json{{"zeta", 1}, {"alpha", Json{{"y", 1}, {"b", 2}}}};
  auto text = healthText(inputs);
  ASSERT_TRUE(text);
  json record = json::parse(*text);
  EXPECT_EQ(record.size(), 68u);
  // The top-level keys appear in the text in alphabetical order, and so do nested ones.
  std::regex topKey("\n  \"([A-Za-z]+)\":");
  std::vector<std::string> keys;
  for (std::sregex_iterator it(text->begin(), text->end(), topKey), end; it != end; ++it) keys.push_back((*it)[1]);
  EXPECT_EQ(keys.size(), 68u);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_LT(text->find("\"b\": 2"), text->find("\"y\": 1"));
  for (const char* key : {"diskAlertLevel", "diskAvailableBytes", "diskTotalBytes", "memoryUsedBytes",
                          "compressedBytes", "swapUsedBytes", "cpuUsageFraction", "ownResidentBytes",
                          "ssdHealthCheckedAt", "thermalState", "receivedUIDs"}) {
    EXPECT_TRUE(record[key].is_null()) << key;
  }
  EXPECT_EQ(text->back(), '\n');
}

TEST(HealthRecord, PressureFromTheKernelLevelElseTheLastEvent) {
  struct Row {
    const char* name;
    int valid, level, event, expected;
  } rows[] = {
      {"normal", 1, 1, 2, 0}, {"warning", 1, 2, -1, 1}, {"critical", 1, 4, 0, 2},
      {"odd level takes the event", 1, 3, 2, 2}, {"invalid takes the event", 0, 4, 1, 1},
      {"nothing known is unknown", 0, 0, -1, -1},
  };
  for (const auto& row : rows) {
    auto snapshot = snapshotAt(10);
    snapshot->system.pressure_valid = row.valid;
    snapshot->system.pressure = row.level;
    auto inputs = inputsFor(snapshot, 10);
    inputs.eventPressure = row.event;
    EXPECT_EQ((*healthRecord(inputs))["pressure"], row.expected) << row.name;
  }
}

TEST(HealthRecord, DiskAlertThresholds) {
  struct Row {
    std::uint64_t available;
    const char* expected;
  } rows[] = {{20'000'000'000, "ok"}, {19'999'999'999, "attention"}, {10'000'000'000, "attention"},
              {9'999'999'999, "danger"}};
  for (const auto& row : rows) {
    auto snapshot = snapshotAt(10);
    snapshot->system.disk_available = row.available;
    EXPECT_EQ((*healthRecord(inputsFor(snapshot, 10)))["diskAlertLevel"], row.expected) << row.available;
  }
}

TEST(HealthRecord, AgeAndStaleness) {
  struct Row {
    const char* name;
    double uptime, now;
    bool asleep;
    double age;
    bool stale;
  } rows[] = {
      {"fresh", 100, 103.5, false, 3.5, false},
      {"20 s is still fresh", 100, 120, false, 20, false},
      {"21 s is stale", 100, 121, false, 21, true},
      {"asleep is stale however fresh", 100, 100, true, 0, true},
      {"a snapshot from the future is age 0", 100, 90, false, 0, false},
  };
  for (const auto& row : rows) {
    auto inputs = inputsFor(snapshotAt(row.uptime), row.now);
    inputs.asleep = row.asleep;
    auto record = *healthRecord(inputs);
    EXPECT_EQ(record["sampleAgeSeconds"], row.age) << row.name;
    EXPECT_EQ(record["isStale"], row.stale) << row.name;
    EXPECT_EQ(record["sampleUptime"], row.uptime) << row.name;
  }
}

TEST(HealthRecord, UsersPerOrdinaryAccountAscendingWithStatesAndOwnFigures) {
  auto snapshot = snapshotAt(10);
  snapshot->processes = {
      {1, 0, 1, "init", 10, 20},         // system account: not a user
      {7, 1001, 1, "b", std::nullopt, 5},
      {8, 1000, 1, "hollin", 300, 400},  // this very process
      {9, 1000, 1, "a", std::nullopt, std::nullopt},
      {10, 65534, 1, "nobody", 1, 1},
  };
  snapshot->loggedInUIDs = std::set<std::uint32_t>{1000, 1001};
  auto inputs = inputsFor(snapshot, 10);
  inputs.ownPid = 8;
  auto record = *healthRecord(inputs);
  EXPECT_EQ(record["processes"], 5);
  EXPECT_EQ(record["users"], json::parse(R"([
    {"uid": 1000, "state": "使用中", "processes": 2, "footprintReadable": 1, "residentReadable": 1},
    {"uid": 1001, "state": "ログイン中・背後", "processes": 1, "footprintReadable": 0, "residentReadable": 1}])"));
  EXPECT_EQ(record["ownResidentBytes"], 400);
  EXPECT_EQ(record["ownFootprintBytes"], 300);
  // When the data is stale, no account's state can be told.
  inputs.asleep = true;
  EXPECT_EQ((*healthRecord(inputs))["users"][1]["state"], "確認できません");
}

TEST(HealthRecord, TimesAreUtcWholeSeconds) {
  using namespace std::chrono;
  struct Row {
    WallTime time;
    const char* expected;
  } rows[] = {
      {WallTime{}, "1970-01-01T00:00:00Z"},
      {WallTime{seconds(1796625649) + milliseconds(999)}, "2026-12-07T06:40:49Z"},
      {WallTime{seconds(951782400)}, "2000-02-29T00:00:00Z"},
  };
  for (const auto& row : rows) EXPECT_EQ(iso8601(row.time), row.expected);
  auto snapshot = snapshotAt(1);
  snapshot->ssdCheckedAt = WallTime{seconds(951782400)};
  EXPECT_EQ((*healthRecord(inputsFor(snapshot, 1)))["ssdHealthCheckedAt"], "2000-02-29T00:00:00Z");
}

TEST(HealthRecord, TextsThatAreNotUtf8StillWrite) {
  auto inputs = inputsFor(snapshotAt(1), 1);
  inputs.screen.menuBarToolTip = "bad\xff\xfe";  // a window title taken from a process name
  auto text = healthText(inputs);
  ASSERT_TRUE(text);
  EXPECT_NO_THROW(json::parse(*text));
}

}  // namespace
}  // namespace hollin
