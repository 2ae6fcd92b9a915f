// An account's shared report: how it is built, when another account may use it, and its JSON
// form, read strictly.
#include <gtest/gtest.h>

#include <limits>

#include "core/TextCut.h"
#include "core/sharing/PeerReportJson.h"

namespace hollin {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double now = 1000;

std::vector<ReportedMemory> processes(std::size_t count, const std::string& name = "worker") {
  std::vector<ReportedMemory> memory;
  for (std::size_t i = 0; i < count; ++i)
    memory.push_back({{static_cast<std::int32_t>(i + 1), 7}, name, 4096, 8192});
  return memory;
}

std::string repeated(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

// Account 501's report, built at `now`, with every optional member present somewhere.
PeerReport sample() {
  return PeerReport::make(
      501, now, true, true,
      {{{812, 5}, "Editor", ProbeOutcome::failed, 990.5, 980.25, 2}, {{813, 5}, "Mail", ProbeOutcome::responsive, 999, std::nullopt, 0}},
      {{{812, 5}, "Editor", 3 << 20, std::nullopt}, {{900, 1}, "sh", std::nullopt, 4096}}, 998, true,
      MonitorStatus{"1.2.3", true, true, {501, 502}});
}

TEST(SharedReport, ValidityRules) {
  // Built at most 25 s ago and at most 2 s ahead.
  for (const auto& [at, valid] : {std::pair{now, true}, {now + 25, true}, {now + 25.1, false}, {now - 2, true}, {now - 2.1, false}})
    EXPECT_EQ(sample().isValid(501, at), valid) << at;
  struct Row { const char* label; std::function<void(PeerReport&)> change; bool valid; };
  const Row rows[] = {
      {"another schema", [](PeerReport& r) { r.schema = 3; }, false},
      {"another account's", [](PeerReport& r) { r.uid = 502; }, false},
      {"uptime NaN", [](PeerReport& r) { r.uptime = nan; }, false},
      {"129 apps", [](PeerReport& r) { r.apps.resize(129, r.apps[1]); }, false},
      {"2049 processes", [](PeerReport& r) { r.memory = processes(2049); }, false},
      {"without monitor status", [](PeerReport& r) { r.monitorStatus.reset(); }, true},
      {"version with a letter", [](PeerReport& r) { r.monitorStatus->version = "1.2a"; }, false},
      {"received uid twice", [](PeerReport& r) { r.monitorStatus->receivedUIDs = {502, 501, 502}; }, false},
      {"received uid 499", [](PeerReport& r) { r.monitorStatus->receivedUIDs = {499}; }, false},
      {"memory checked 2 s ahead", [](PeerReport& r) { r.memoryCheckedAt = now + 2; }, true},
      {"memory checked 2.1 s ahead", [](PeerReport& r) { r.memoryCheckedAt = now + 2.1; }, false},
      {"a process listed twice", [](PeerReport& r) { r.memory.push_back(r.memory[0]); }, false},
      {"a pid reused in another life", [](PeerReport& r) { r.memory.push_back(r.memory[0]), r.memory.back().identity.start = 6; }, true},
      {"process pid 0", [](PeerReport& r) { r.memory[0].identity.pid = 0; }, false},
      {"footprint 2^50 + 1", [](PeerReport& r) { r.memory[0].footprint = maxReportedBytes + 1; }, false},
      {"process name of 101 characters", [](PeerReport& r) { r.memory[0].name = std::string(101, 'x'); }, false},
      {"app pid 0", [](PeerReport& r) { r.apps[0].identity.pid = 0; }, false},
      {"verdict 30 s old", [](PeerReport& r) { r.apps[1].checkedAt = now - 30; }, true},
      {"verdict 30.1 s old", [](PeerReport& r) { r.apps[1].checkedAt = now - 30.1; }, false},
      {"verdict NaN", [](PeerReport& r) { r.apps[1].checkedAt = nan; }, false},
      {"100001 failures", [](PeerReport& r) { r.apps[0].failures = 100001; }, false},
      {"first failure at the check", [](PeerReport& r) { r.apps[0].firstFailure = 990.5; }, true},
      {"first failure after the check", [](PeerReport& r) { r.apps[0].firstFailure = 991; }, false},
      {"first failure NaN", [](PeerReport& r) { r.apps[0].firstFailure = nan; }, false},
  };
  for (const Row& row : rows) {
    PeerReport report = sample();
    row.change(report);
    EXPECT_EQ(report.isValid(501, now), row.valid) << row.label;
  }
}

TEST(SharedReport, BuildingCutsListsAndNames) {
  const auto build = [](std::size_t count, bool complete) {
    return PeerReport::make(501, now, false, false, {}, processes(count), now, complete, std::nullopt);
  };
  const PeerReport cut = build(2049, true);  // 2048 stay whole: BuildingKeepsTheReportWithinAReadableFile
  EXPECT_EQ(std::pair(cut.memory.size(), cut.memoryComplete), std::pair(std::size_t{2048}, false));
  EXPECT_FALSE(build(3, false).memoryComplete);
  EXPECT_TRUE(cut.isValid(501, now));
  EXPECT_EQ(PeerReport::make(501, now, true, true, std::vector<AppResponse>(129), {}, 0, false, {}).apps.size(), 128u);

  // Stray bytes are mended, then the name is cut as a reader counts characters (the count itself,
  // over accents and joined emoji, is read in ProbeMessages).
  const std::string name = "ab\xff\xfe\xed\xa0\x80\xe6\xbc" + repeated("x", 120);
  const PeerReport report = PeerReport::make(
      501, now, true, true, {{{1, 1}, name, ProbeOutcome::responsive, now, std::nullopt, 0}},
      {{{1, 1}, name, std::nullopt, std::nullopt}}, now, true, std::nullopt);
  EXPECT_EQ(characterCount(report.memory[0].name), maxReportedNameLength);
  EXPECT_EQ(report.apps[0].name, report.memory[0].name);
  EXPECT_TRUE(report.isValid(501, now));
  EXPECT_EQ(decodePeerReport(encodePeerReport(report)), report) << "what is built is what is read";
}

TEST(SharedReport, BuildingKeepsTheReportWithinAReadableFile) {
  struct Row { const char* label; std::string name; std::size_t processes, apps; bool whole; };
  const Row rows[] = {
      {"2048 names of 100 letters", repeated("x", 100), 2048, 0, true},
      {"2048 names of 100 Japanese characters", repeated("漢", 100), 2048, 0, false},
      {"128 apps of 100 heavily accented letters", repeated("a" + repeated("\u0301", 60), 100), 0, 128, false},
  };
  for (const Row& row : rows) {
    const AppResponse app{{1, 1}, row.name, ProbeOutcome::responsive, now, std::nullopt, 0};
    const PeerReport report = PeerReport::make(501, now, true, true, std::vector(row.apps, app),
                                               processes(row.processes, row.name), now, true, std::nullopt);
    const std::string text = encodePeerReport(report);
    EXPECT_LE(text.size(), reportSizeLimit) << row.label;
    EXPECT_EQ(report.memory.size() == row.processes && report.apps.size() == row.apps, row.whole) << row.label;
    EXPECT_EQ(report.memoryComplete, report.memory.size() == row.processes) << row.label;
    EXPECT_TRUE(row.whole || text.size() > reportSizeLimit - 30000) << "only what does not fit: " << row.label;
    EXPECT_TRUE(report.isValid(501, now)) << row.label;
    EXPECT_EQ(decodePeerReport(text), report) << row.label;
  }
}

TEST(SharedReportJson, WritesInMemberOrderAndReadsBackUnchanged) {
  const PeerReport bare = PeerReport::make(
      7, 12.5, false, true, {{{3, 4}, "a", ProbeOutcome::unavailable, 0.1, std::nullopt, 0}},
      {{{3, 4}, "b", std::nullopt, std::nullopt}}, 0, false, std::nullopt);
  EXPECT_EQ(encodePeerReport(bare),
            R"({"schema":2,"uid":7,"uptime":12.5,"trusted":false,"workerHealthy":true,)"
            R"("apps":[{"identity":{"pid":3,"start":4},"name":"a","outcome":"unavailable","checkedAt":0.1,"failures":0}],)"
            R"("memory":[{"identity":{"pid":3,"start":4},"name":"b"}],"memoryCheckedAt":0.0,"memoryComplete":false})");
  PeerReport odd = sample();
  odd.uptime = 0.1 + 0.2;
  odd.memoryCheckedAt = 1e-300;
  odd.apps[0].firstFailure = 123456.78901234567;
  odd.memory[0].footprint = std::numeric_limits<std::uint64_t>::max();
  for (const PeerReport& report : {bare, sample(), odd}) EXPECT_EQ(decodePeerReport(encodePeerReport(report)), report);
  EXPECT_TRUE(encodePeerReport(sample()).ends_with(
      R"("memoryComplete":true,"monitorStatus":{"version":"1.2.3","loginEnabled":true,"sharingEnabled":true,"receivedUIDs":[501,502]}})"));
}

TEST(SharedReportJson, ReadsStrictly) {
  const std::string good = encodePeerReport(sample());
  const auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  struct Row { const char* label; std::string from, to; };
  const Row refused[] = {
      {"bool for a number", R"("uid":501)", R"("uid":true)"}, {"number for a bool", R"("trusted":true)", R"("trusted":1)"},
      {"fractional pid", R"("pid":812)", R"("pid":1.5)"}, {"integral pid as a fraction", R"("pid":812)", R"("pid":812.0)"},
      {"negative uid", R"("uid":501)", R"("uid":-1)"}, {"uid 2^32", R"("uid":501)", R"("uid":4294967296)"},
      {"failures beyond an int", R"("failures":2)", R"("failures":2147483648)"},
      {"uptime as text", R"("uptime":1000.0)", R"("uptime":"1000")"},
      {"unknown outcome", R"("outcome":"failed")", R"("outcome":"hung")"}, {"missing schema", R"("schema":2,)", ""},
      {"missing monitor status member", R"("sharingEnabled":true,)", ""}, {"truncated", R"(]}})", "]"},
      {"null for a required member", R"("memoryComplete":true)", R"("memoryComplete":null)"},
  };
  for (const Row& row : refused) EXPECT_EQ(decodePeerReport(edited(row.from, row.to)), std::nullopt) << row.label;
  for (const char* text : {"", "null", "[]", "{}", "\xff"}) EXPECT_EQ(decodePeerReport(text), std::nullopt) << text;

  const Row accepted[] = {
      {"uptime as an integer", R"("uptime":1000.0)", R"("uptime":1000)"},
      {"unknown members", R"("schema":2,)", R"("schema":2,"extra":[{"x":null}],)"},
      {"null for an absent footprint", R"("name":"sh",)", R"("name":"sh","footprint":null,)"},
  };
  for (const Row& row : accepted) EXPECT_EQ(decodePeerReport(edited(row.from, row.to)), sample()) << row.label;
  // nlohmann::json keeps its keys sorted, so this is the same report in another order.
  EXPECT_EQ(decodePeerReport(nlohmann::json::parse(good).dump()), sample());

  const auto twice = decodePeerReport(edited(R"("receivedUIDs":[501,502])", R"("receivedUIDs":[502,502])"));
  ASSERT_TRUE(twice.has_value()) << "a repeated uid is read as written";
  EXPECT_FALSE(twice->isValid(501, now)) << "and rejects the whole report";
}

}  // namespace
}  // namespace hollin
