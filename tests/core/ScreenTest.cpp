// What each subsystem shows, records and exports, from plain moments: the status texts, the
// cards, the tabs' labels and rows, the notes, the self-health record's keys and the metrics.
#include <gtest/gtest.h>

#include "core/L10n.h"
#include "core/health/HealthRecord.h"
#include "core/early/EarlyView.h"
#include "core/memory/MemoryView.h"
#include "core/metrics/OwnMetrics.h"
#include "core/response/ResponseView.h"
#include "core/scope/AccountsView.h"
#include "core/ssd/SSDView.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

const WallTime noon = WallTime{} + std::chrono::hours(24 * 20000) + 12h;

std::string ja(const LocalizedMessage& message) { return L10n::render(message, "ja"); }

// A fresh moment at uptime 1000 with valid figures everywhere, as one tick would leave it.
Moment freshMoment(AnalysisTab tab = AnalysisTab::apps) {
  auto snapshot = std::make_shared<Snapshot>(Snapshot{
      .uptime = 995, .ssdCelsius = 40.4, .cpuCelsius = 54.4, .cpuMeasuredAt = noon - 30s, .ssdMeasuredAt = {},
      .ssdHealth = SSDHealth{0, 100, 10, 3, {}, {12, 0}, {5'000'000, 0}, {800, 0}, 40.0},  // 3 % worn
      .ssdCheckedAt = noon - 30s, .early = {}, .workspace = {},
      .processes = {{10, 1000, 1, "editor", 300 << 20, 400 << 20}, {11, 1000, 2, "daemon", {}, {}}, {12, 0, 3, "init", 1, 1}},
      .loggedInUIDs = std::set<std::uint32_t>{1000}});
  auto& system = snapshot->system;
  system.physical = 16ull << 30, system.compressed = 2ull << 30, system.swap_used = 1ull << 30;
  system.vm_valid = system.swap_valid = system.disk_valid = 1;
  system.disk_available = 100'000'000'000;
  Moment moment;
  moment.snapshot = snapshot;
  moment.now = 1000;
  moment.wallNow = noon;
  moment.language = "ja";
  moment.uid = moment.consoleUID = 1000;
  moment.selectedTab = tab;
  moment.windowShown = true;
  return moment;
}

// A fresh moment whose snapshot `change` altered.
Moment withSnapshot(const std::function<void(Snapshot&)>& change, Moment moment = freshMoment()) {
  auto snapshot = std::make_shared<Snapshot>(*moment.snapshot);
  change(*snapshot);
  moment.snapshot = snapshot;
  return moment;
}

// The memory watch's figures after a few ticks, changed as a case needs.
MemoryFigures figures(const std::function<void(MemoryFigures&)>& change = {}) {
  MemoryFigures kept;
  kept.cpuFraction = 0.123, kept.swapChange = 0;
  if (change) change(kept);
  return kept;
}

Screen presented(const Moment& moment, const MemoryFigures& kept = figures()) {
  Screen screen = blankScreen(moment.selectedTab, moment.language);
  presentMemoryCards(screen, moment, kept);
  presentSSDCards(screen, moment);
  presentApps(screen, moment, kept.sort);
  presentAccountTables(screen, moment);
  presentAccountNotes(screen, moment);
  presentResponseTable(screen, moment);
  return screen;
}

const CardView& cardOf(const Screen& screen, CardSlot slot) { return screen.cards[static_cast<std::size_t>(slot)]; }

// One column of a table's rows.
std::vector<std::string> column(const std::vector<std::vector<std::string>>& rows, std::size_t index) {
  std::vector<std::string> cells;
  for (const auto& row : rows) cells.push_back(row.at(index));
  return cells;
}

TEST(ScreenStatus, TheResumeRowAndTheVersionLine) {
  const WallTime end = noon + 9h + 5min;  // 21:05 UTC
  EXPECT_EQ(resumeRow(end, end - 10min, "ja", "UTC"), ja(msg("通知を再開（{0}まで止めています）", "21:05")));
  EXPECT_EQ(resumeRow(end, end, "ja", "UTC"), std::nullopt) << "ends at the mute's end";
  EXPECT_EQ(versionLine("", ""), msg("バージョン {0}（ビルド {1}）", "?", "?"));
}

TEST(ScreenCards, FreshFiguresTheSwapAndTheDiskDetails) {
  const Screen screen = presented(freshMoment());
  EXPECT_EQ(cardOf(screen, CardSlot::memory).value, "16 GB");
  EXPECT_EQ(cardOf(screen, CardSlot::compressed).value, "2 GB");
  EXPECT_EQ(cardOf(screen, CardSlot::cpu), (CardView{"12.3%", "54 °C", false}));
  EXPECT_EQ(cardOf(screen, CardSlot::heat).value, ja(msg("取得不可"))) << "no Linux kernel has a thermal state";
  const std::pair<std::optional<std::int64_t>, std::string> swapRows[] = {  // the change, the detail
      {0, ja(msg("スワップの増減（5分）{0}", "0 バイト"))}, {-1'048'576, ja(msg("スワップの増減（5分）{0}", "\u22121 MB"))},
      {1'048'576, ja(msg("スワップの増減（5分）{0}", "+1 MB"))}, {std::nullopt, ja(msg("約5分の測定待ち"))}};
  for (const auto& [change, detail] : swapRows)
    EXPECT_EQ(cardOf(presented(freshMoment(), figures([&](MemoryFigures& f) { f.swapChange = change; })), CardSlot::swap).detail, detail);

  // The disk's detail is the first rule that applies; the low level's edge is DiskAlerts'.
  struct Row { const char* name; std::uint64_t available; bool override; CardView disk; };
  const Row rows[] = {
      {"below the override", 9'999'999'999, true, {"10 GB", ja(msg("空きがほとんどありません")), true}},
      {"just under 20 GB is low", 19'999'999'999, false, {"20 GB", ja(msg("空きが少なくなっています")), false}},
  };
  for (const auto& row : rows) {
    const Moment moment = withSnapshot([&](Snapshot& snapshot) { snapshot.system.disk_available = row.available; });
    EXPECT_EQ(cardOf(presented(moment, figures([&](MemoryFigures& f) { f.diskDangerShown = row.override; })), CardSlot::disk),
              row.disk) << row.name;
  }
}

TEST(ScreenCards, StaleOrUnknownFiguresAreNeverGuessed) {
  Moment stale = freshMoment();
  stale.now = 1016;  // 21 s after the snapshot
  Screen screen = presented(stale);
  EXPECT_EQ(cardOf(screen, CardSlot::cpu), (CardView{ja(msg("取得不可")), "", false}));
  EXPECT_EQ(cardOf(screen, CardSlot::swap).detail, "") << "no swap detail when stale";
  EXPECT_EQ(cardOf(screen, CardSlot::memory).value, "16 GB") << "the last snapshot's figures stay";

  const Moment unknown = withSnapshot([](Snapshot& snapshot) {
    snapshot.system = HLSystem{};
    snapshot.cpuMeasuredAt = noon - 121s;
  });
  screen = presented(unknown, figures([](MemoryFigures& f) { f.cpuFraction.reset(); }));
  for (CardSlot slot : {CardSlot::memory, CardSlot::compressed, CardSlot::swap, CardSlot::disk})
    EXPECT_EQ(cardOf(screen, slot).value, ja(msg("取得不可")));
  EXPECT_EQ(cardOf(screen, CardSlot::cpu), (CardView{ja(msg("測定中")), "", false})) << "a temperature 121 s old is dropped";
}

TEST(ScreenCards, TheSSDCardsSayWhatTheReadingSaysAndNothingOld) {
  const auto ssd = [](const std::function<void(Snapshot&)>& change, bool asleep = false) {
    Moment moment = withSnapshot(change);
    moment.asleep = asleep;
    const Screen screen = presented(moment);
    return std::pair{cardOf(screen, CardSlot::ssdTemperature), cardOf(screen, CardSlot::ssdHealth)};
  };
  auto [temperature, health] = ssd([](Snapshot&) {});
  EXPECT_EQ(temperature.value, "40 °C");
  EXPECT_EQ(health, (CardView{"警告なし", "消耗度の目安 3%\nデータエラー累積 0件", false}));
  EXPECT_EQ(ssd([](Snapshot& s) { s.ssdHealth->warning = 4; }).second,
            (CardView{"警告あり", "消耗度の目安 3%\nデータエラー累積 0件", true}));
  EXPECT_EQ(ssd([](Snapshot& s) { s.ssdHealth->wear = 91; }).second.value, "消耗に注意");
  health = ssd([](Snapshot& s) { s.ssdCheckedAt = noon - 120s, s.ssdPersistenceOK = false; }).second;
  EXPECT_EQ(health, (CardView{"取得不可", "履歴の保存・読込に問題があります", false})) << "a reading two minutes old";
  std::tie(temperature, health) = ssd([](Snapshot&) {}, true);
  EXPECT_EQ(temperature.value + health.value, "取得不可取得不可") << "asleep";
}

// Reports of the sharing profile's three accounts: 501 working, 502 without permission.
Moment sharedMoment(AnalysisTab tab) {
  Moment moment = freshMoment(tab);
  moment.scope = AccountScope::m2Recording;
  moment.uid = moment.consoleUID = 501;
  PeerReport own{.uid = 501, .trusted = true, .workerHealthy = true, .memoryCheckedAt = 999, .memoryComplete = true,
                 .monitorStatus = MonitorStatus{"1.0", true, true, {9, 501, 502}}};
  own.apps = {{{1, 1}, "Zed", ProbeOutcome::failed, 998.5, 998.5, 1},
              {{2, 1}, "Atom", ProbeOutcome::unavailable, 979, {}, 0},
              {{3, 1}, "Mail", ProbeOutcome::failed, 995, 970, 3},
              {{4, 1}, "Bus", ProbeOutcome::responsive, 1003, {}, 0}};
  moment.reports = std::make_shared<std::vector<PeerReport>>(
      std::vector<PeerReport>{own, {.uid = 502, .memoryCheckedAt = 990, .memoryComplete = true}});
  return moment;
}

TEST(ScreenTabs, AppsRowsLabelsAndTheHealthTab) {
  Screen screen = presented(freshMoment());
  ASSERT_EQ(screen.table.rows.size(), 2u) << "ordinary accounts only";
  EXPECT_EQ(screen.table.rows[0], (std::vector<std::string>{"editor", ja(msg("このアカウント（UID {0}）", 1000)), "300 MB",
                                                            "400 MB\u3000" + ja(msg("{0}/{1}件取得", 1, 1))}));
  EXPECT_EQ(screen.table.rows[1][3], ja(msg("取得不可")) + "\u3000" + ja(msg("{0}/{1}件取得", 0, 1)));
  Moment moment = freshMoment();
  moment.language = "en";
  EXPECT_EQ(presented(moment).table.rows[0][3], "400 MB  1 of 1 processes read") << "no ideographic space in English";
  moment.windowShown = false;
  EXPECT_TRUE(presented(moment).table.rows.empty()) << "a hidden window's table is not built";

  screen = presented(freshMoment(AnalysisTab::early));
  EXPECT_EQ(screen.tabLabels[0], ja(plainLabel(AnalysisTab::apps)));
  EXPECT_TRUE(screen.table.wrapping);
  EXPECT_EQ(screen.earlySummary, "") << "nothing watched, nothing said";
  // Arriving at the apps tab from another starts in memory order (choosing it again toggles the
  // sort: AnalysisWindowTest).
  using enum AnalysisTab;
  EXPECT_EQ(sortAfter(early, apps, AppMemorySort::name), AppMemorySort::memory);
  EXPECT_EQ(sortAfter(apps, users, AppMemorySort::name), AppMemorySort::name) << "leaving it keeps the sort";
}

TEST(ScreenTabs, EveryListedAccountHasItsRowWithOrWithoutAReport) {
  // 501…503 and the snapshot's 1000; 502's fresh report has no session.
  auto rows = presented(sharedMoment(AnalysisTab::users)).table.rows;
  EXPECT_EQ(column(rows, 1), (std::vector{ja(msg("使用中")), ja(msg("確認できません")), ja(msg("未ログイン")),
                                          ja(msg("ログイン中・背後"))}));
  EXPECT_EQ(column(rows, 4), (std::vector{ja(msg("応答確認中")), ja(msg("許可・状態を要確認")), ja(msg("応答監視は未設定／停止")),
                                          ja(msg("応答監視は未設定／停止"))}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{ja(msg("アカウント UID {0}", 1000)), ja(msg("ログイン中・背後")), "300 MB",
                                               "400 MB", ja(msg("応答監視は未設定／停止"))}));

  rows = presented(sharedMoment(AnalysisTab::settings)).table.rows;
  ASSERT_EQ(rows.size(), 3u) << "allowed accounts only";
  EXPECT_EQ(rows[0], (std::vector<std::string>{ja(msg("通常用（UID 501）")), "v1.0", ja(msg("オン（登録済み）")),
                                               ja(msg("有効・{0}アカウントを受信", 2))}));
  EXPECT_EQ(rows[1][3], ja(msg("対象側の更新と共有設定を確認")));

  // Four verdicts of 501, suspected first, then by name; then 502, 503 and 1000.
  rows = presented(sharedMoment(AnalysisTab::response)).table.rows;
  EXPECT_EQ(column(rows, 1), (std::vector{ja(msg("応答が止まった疑い")), ja(msg("確認が古い")), ja(msg("応答あり")),
                                          ja(msg("再確認中")), ja(msg("追加の許可が必要")), ja(msg("監視が未設定／停止")),
                                          ja(msg("監視が未設定／停止"))}));
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Mail／" + ja(msg("通常用（UID 501）")), ja(msg("応答が止まった疑い")),
                                               ja(msg("{0}秒前", 5)), ja(msg("画面への問い合わせ。内部処理は対象外"))}));
  EXPECT_EQ(rows[2][2], ja(msg("{0}秒前", 0))) << "a check from the future is not negative";
  EXPECT_EQ(rows[6][0], ja(msg("アカウント UID {0}", 1000)));
}

TEST(ScreenNotes, CoverageAndPermissionsSayWhatIsMissing) {
  EXPECT_EQ(presented(freshMoment()).coverage, "");
  Moment moment = sharedMoment(AnalysisTab::apps);
  moment.accessibilityTrusted = moment.sharing = moment.notificationsAllowed = true;
  moment.workerHealthy = moment.sharingHealthy = false;
  const Screen screen = presented(moment);
  EXPECT_EQ(screen.coverage,
            ja(msg("{0}は未取得です。対象側で起動と共有が必要です。", "501・502・503")) + "\n" +
                ja(msg("このアカウントの応答確認の処理に失敗しています。「監視の設定」で状態を確認してください。")) + "\n" +
                ja(msg("状態の共有に失敗しています。フォルダの状態を確認してください。")));
  EXPECT_EQ(screen.permissions, ja(msg("通知：{0}　このアカウントの応答確認：{1}　共有：{2}", ja(msg("許可済み")),
                                       ja(msg("確認処理に失敗")), ja(msg("保存に失敗")))));
  moment.accessibilityTrusted = false;
  EXPECT_NE(presented(moment).permissions.find(ja(msg("追加の許可が必要"))), std::string::npos);
  moment.accessibilityBusMissing = true;  // no bus to grant it on: said so rather than asked for
  EXPECT_NE(presented(moment).permissions.find(ja(msg("使えません（アクセシビリティバスなし）"))), std::string::npos);
  moment.language = "en";
  EXPECT_NE(presented(moment).coverage.find("UID 501, UID 502, UID 503"), std::string::npos);
}

// That the record holds every key once, each of its kind, is read from the real program in
// EndToEndTest; here, the figures the subsystems put in it.
TEST(ScreenRecord, TheSubsystemsFiguresAndWhatIsUnknown) {
  Moment moment = freshMoment();
  moment.now = 990;  // a snapshot from the future is no age at all
  moment.pid = 10;
  json record = blankHealthRecord();
  recordBase(record, moment, "1.2");
  recordScreen(record, statusTexts(ShownStatus{}, "ja"), false);
  recordMemory(record, moment, figures([](MemoryFigures& f) { f.eventPressure = Pressure::critical; }));
  recordAccounts(record, moment);
  // Pressure 2: no kernel level read, the last event's; no tray icon, no tool tip.
  const json expected = {{"sampleAgeSeconds", 0.0}, {"pressure", 2}, {"ownResidentBytes", 400 << 20}, {"processes", 3},
                         {"diskAlertLevel", "ok"}, {"menuBarToolTip", ""}, {"users", json::parse(R"([{"uid":1000,
                         "state":"使用中","processes":2,"footprintReadable":1,"residentReadable":1}])")}};
  for (const auto& [key, value] : expected.items()) EXPECT_EQ(record[key], value) << key;
  EXPECT_TRUE(record["receivedUIDs"].is_null()) << "no report exchanged: unknown, not none";
  recordSSD(record, withSnapshot([](Snapshot& snapshot) { snapshot.ssdCheckedAt = distantPast; }));
  EXPECT_EQ(record["ssdHealthCheckedAt"], nullptr) << "never checked is no date";

  moment = withSnapshot([](Snapshot& snapshot) { snapshot.system.disk_valid = 0; }, moment);
  moment.asleep = true;
  recordBase(record, moment, "1.2");
  recordMemory(record, moment, figures());
  EXPECT_EQ(record["isStale"], true);
  for (const char* key : {"diskAlertLevel", "diskAvailableBytes", "diskTotalBytes"}) EXPECT_TRUE(record[key].is_null()) << key;
}

TEST(Metrics, TheTextFormat) {
  MetricsText metrics(accountLabels(1000));
  metrics.gauge("hollin_a_bytes", "first line\nback\\slash \"quoted\"", 25276125184.0);
  metrics.gauge("hollin_b_ratio", "b", 0.25);
  metrics.gauge("hollin_unknown", "never written", std::nullopt);
  metrics.gauges("hollin_c", "c", "app", {{"q\"u\\o\nte\xff", 3}, {"plain", -1}});
  metrics.gauges("hollin_none", "never written", "app", {});
  EXPECT_EQ(metrics.text(),
            "# HELP hollin_a_bytes first line\\nback\\\\slash \"quoted\"\n# TYPE hollin_a_bytes gauge\n"
            "hollin_a_bytes{uid=\"1000\"} 25276125184\n"
            "# HELP hollin_b_ratio b\n# TYPE hollin_b_ratio gauge\nhollin_b_ratio{uid=\"1000\"} 0.25\n"
            "# HELP hollin_c c\n# TYPE hollin_c gauge\n"
            "hollin_c{uid=\"1000\",app=\"q\\\"u\\\\o\\nte\xEF\xBF\xBD\"} 3\nhollin_c{uid=\"1000\",app=\"plain\"} -1\n");
}

std::string exported(const Moment& moment, MenuBarLevel memoryLevel, StatusColour shown) {
  MetricsText metrics(accountLabels(moment.uid));
  StatusTexts status;
  status.colour = shown;
  exportOwnHealth(metrics, moment, "1.2", status, true);
  exportMemory(metrics, moment, figures(), memoryLevel);
  exportSSD(metrics, moment);
  exportEarly(metrics, moment);
  exportResponses(metrics, moment);
  return metrics.text();
}

TEST(Metrics, FiguresOfTheMomentAndNothingForTheUnknown) {
  std::string text = exported(freshMoment(), MenuBarLevel::yellow, StatusColour::orange);
  for (const char* line : {"hollin_build_info{uid=\"1000\",version=\"1.2\"} 1\n", "hollin_shown_level{uid=\"1000\"} 2\n",
                           "hollin_memory_level{uid=\"1000\"} 1\n", "hollin_sample_age_seconds{uid=\"1000\"} 5\n",
                           "hollin_swap_used_bytes{uid=\"1000\"} 1073741824\n", "hollin_swap_change_bytes{uid=\"1000\"} 0\n",
                           "hollin_disk_free_bytes{uid=\"1000\"} 100000000000\n", "hollin_ssd_wear_ratio{uid=\"1000\"} 0.03\n",
                           "hollin_ssd_spare_ratio{uid=\"1000\"} 1\n", "hollin_ssd_media_errors{uid=\"1000\"} 0\n",
                           "hollin_ssd_issue{uid=\"1000\",kind=\"critical\"} 0\n",
                           "hollin_early_warning{uid=\"1000\",kind=\"diskLow\"} 0\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  for (const char* absent : {"hollin_memory_used_bytes", "hollin_memory_pressure{", "hollin_battery_",
                             "hollin_backup_age", "hollin_disk_full_in", "hollin_suspected_hangs{"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;

  // Unavailable levels, an old SSD reading and a machine with little space left.
  text = exported(withSnapshot([](Snapshot& snapshot) {
                    snapshot.ssdCheckedAt = noon - 10min;
                    snapshot.early.diskAvailable = 5'000'000'000;
                    snapshot.early.batteryPresent = true;
                    snapshot.early.health = BatteryHealth{.maximumCapacity = 79, .condition = {}, .cycleCount = 512};
                  }),
                  MenuBarLevel::unavailable, StatusColour::grey);
  for (const char* line : {"hollin_early_warning{uid=\"1000\",kind=\"diskLow\"} 1\n",
                           "hollin_early_warning{uid=\"1000\",kind=\"batteryCapacity\"} 1\n",
                           "hollin_battery_health_ratio{uid=\"1000\"} 0.79\n", "hollin_battery_cycle_count{uid=\"1000\"} 512\n",
                           "hollin_charger_state{uid=\"1000\",state=\"unavailable\"} 1\n", "hollin_ssd_history_ok{uid=\"1000\"} 1\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  for (const char* absent : {"hollin_shown_level{", "hollin_memory_level{", "hollin_ssd_wear_ratio{"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
}

TEST(Metrics, SuspectedHangsByAccountFromTheReportsTheLevelCounts) {
  const std::string text = exported(sharedMoment(AnalysisTab::apps), MenuBarLevel::green, StatusColour::orange);
  EXPECT_NE(text.find("hollin_suspected_hangs{uid=\"501\",account_uid=\"501\"} 1\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("account_uid=\"502\""), std::string::npos) << "an untrusted report vouches for nothing";
}

}  // namespace
}  // namespace hollin
