#include <gtest/gtest.h>

#include <chrono>

#include "core/ui/AnalysisView.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime noon = WallTime{} + std::chrono::hours(24 * 20000) + 12h;

// A fresh state at uptime 1000 with valid figures everywhere, as one tick would leave it.
ViewState freshState() {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->uptime = 995;
  snapshot->system.physical = 16ull << 30;
  snapshot->system.vm_valid = 1;
  snapshot->system.compressed = 2ull << 30;
  snapshot->system.swap_valid = 1;
  snapshot->system.swap_used = 1ull << 30;
  snapshot->system.disk_valid = 1;
  snapshot->system.disk_available = 100'000'000'000;
  snapshot->cpuCelsius = 54.4;
  snapshot->cpuMeasuredAt = noon - 30s;
  snapshot->ssdCelsius = 41;
  snapshot->ssdCheckedAt = noon - 10s;
  snapshot->loggedInUIDs = std::set<std::uint32_t>{1000};
  snapshot->processes = {{10, 1000, 1, "editor", 300 << 20, 400 << 20}};
  ViewState state;
  state.snapshot = snapshot;
  state.combinedProcesses = snapshot->processes;
  state.stale = false;
  state.now = 1000;
  state.wallNow = noon;
  state.currentUID = state.consoleUID = 1000;
  state.cpuFraction = 0.123;
  state.swapChange = 0;
  state.thermalState = 1;
  state.ssdHealth = SSDHealthView{0, false, 3, "0"};
  return state;
}

Cards cardsOf(const ViewState& state) { return analysisView(state)->cards; }

TEST(UiStatus, NothingChangesBeforeTheFirstSnapshot) {
  ViewState state;
  EXPECT_FALSE(analysisView(state).has_value());
  // The menu bar keeps the initial unavailable state.
  EXPECT_EQ(statusRowTitle(state.status, "ja"),
            "確認できません — 起動直後、スリープ中、または新しい測定を取得できない状態です。");
  EXPECT_EQ(statusToolTip(state.status, "ja"),
            "確認できません\n起動直後、スリープ中、または新しい測定を取得できない状態です。");
  EXPECT_EQ(state.status.colour, StatusColour::grey);
}

TEST(UiStatus, ResumeRowCarriesTheEndInTheShortTimeFormat) {
  const WallTime end = WallTime{} + std::chrono::hours(24 * 20000) + 21h + 5min;
  EXPECT_EQ(resumeRow(end, end - 10min, "ja", "UTC"), "通知を再開（21:05まで止めています）");
  const auto english = resumeRow(end, end - 10min, "en", "UTC");
  ASSERT_TRUE(english);
  EXPECT_NE(english->find("9:05"), std::string::npos) << *english;
  EXPECT_NE(english->find("PM"), std::string::npos) << *english;
  EXPECT_EQ(resumeRow(end, end, "ja", "UTC"), std::nullopt) << "ends at the mute's end";
  EXPECT_EQ(resumeRow(distantPast, end, "ja"), std::nullopt);
}

TEST(UiStatus, VersionLineFallsBackToQuestionMarks) {
  EXPECT_EQ(versionLine("1.2", "7"), msg("バージョン {0}（ビルド {1}）", "1.2", "7"));
  EXPECT_EQ(versionLine("", ""), msg("バージョン {0}（ビルド {1}）", "?", "?"));
  EXPECT_EQ(muteChoices()[2].seconds, 3600);
}

TEST(UiTabs, SortTogglesOnlyWhenTheSelectedAppsTabIsClickedAgain) {
  using enum AnalysisTab;
  struct Row { const char* name; AnalysisTab previous, selected; bool byName, expected; };
  const Row rows[] = {
      {"apps clicked again under memory order turns to name order", apps, apps, false, true},
      {"apps clicked again under name order turns back", apps, apps, true, false},
      {"arriving from another tab starts with memory order", early, apps, true, false},
      {"other tabs keep the sort", apps, users, true, true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(sortByNameAfter(row.previous, row.selected, row.byName), row.expected) << row.name;
}

TEST(UiTabs, ColumnsAreRebuiltOnlyWhenTheColumnSetChanges) {
  using enum AnalysisTab;
  EXPECT_FALSE(needsNewColumns(4, 4, response)) << "four to four keeps the columns";
  EXPECT_FALSE(needsNewColumns(4, 4, settings));
  EXPECT_TRUE(needsNewColumns(4, 4, users)) << "four to five rebuilds";
  EXPECT_TRUE(needsNewColumns(5, 5, apps)) << "five to four rebuilds";
  EXPECT_TRUE(needsNewColumns(4, 4, early));
  EXPECT_TRUE(needsNewColumns(100, 3, apps));
  EXPECT_TRUE(needsNewColumns(0, 0, apps)) << "nothing installed at start";
  EXPECT_EQ(columnWidths(columnLayout(early)), (std::vector<int>{240, 380, 430}));
  EXPECT_EQ(columnWidths(columnLayout(users)), (std::vector<int>{210, 140, 125, 125, 300}));
}

TEST(UiTabs, OrderDependsOnTheScope) {
  using enum AnalysisTab;
  EXPECT_EQ(tabOrder(AccountScope::current), (std::array{apps, response, early, users, settings}));
  EXPECT_EQ(tabOrder(AccountScope::m2Recording),
            (std::array{apps, users, response, early, settings}));
  EXPECT_EQ(segmentIndex(users, AccountScope::current), 3);
}

TEST(UiTabs, LabelsFollowTheSortAndTheConcerns) {
  auto state = freshState();
  EXPECT_EQ(segmentLabel(AnalysisTab::apps, state), "アプリ別（使用量順）");
  state.sortedByName = true;
  EXPECT_EQ(segmentLabel(AnalysisTab::apps, state), "アプリ別（名前順）");
  state.selectedTab = AnalysisTab::early;
  EXPECT_EQ(segmentLabel(AnalysisTab::apps, state), "アプリ別");
  EXPECT_EQ(segmentLabel(AnalysisTab::early, state), "Mac の健康");
  EXPECT_EQ(analysisView(state)->earlySummary, "いま気になる点はありません。");
  state.earlyConcerns = 1;
  EXPECT_EQ(segmentLabel(AnalysisTab::early, state), "Mac の健康 ⚠︎ 1");
  EXPECT_EQ(analysisView(state)->earlySummary, "気になる点が1つあります。");
  state.selectedTab = AnalysisTab::users;
  EXPECT_EQ(analysisView(state)->earlySummary, "") << "the summary shows on the health tab only";
}

TEST(UiCards, FreshFiguresAndDetails) {
  const auto cards = cardsOf(freshState());
  EXPECT_EQ(cards.memory.value, "16 GB");
  EXPECT_EQ(cards.compressed.value, "2 GB");
  EXPECT_EQ(cards.cpu.value, "12.3%");
  EXPECT_EQ(cards.cpu.detail, "54 °C");
  EXPECT_EQ(cards.heat.value, "やや高い");
  EXPECT_EQ(cards.ssdTemperature.value, "41 °C");
  EXPECT_EQ(cards.ssdHealth.value, "警告なし");
  EXPECT_EQ(cards.ssdHealth.detail, "消耗度の目安 3%\nデータエラー累積 0件");
  EXPECT_EQ(cards.swap.detail, "スワップの増減（5分）0 バイト");
  EXPECT_EQ(cards.disk.detail, "");
  EXPECT_FALSE(cards.disk.alert);
}

TEST(UiCards, SwapChangeSignAndWaiting) {
  auto state = freshState();
  state.swapChange = -1'048'576;
  EXPECT_EQ(cardsOf(state).swap.detail, "スワップの増減（5分）\u22121 MB");
  state.swapChange = 1'048'576;
  EXPECT_EQ(cardsOf(state).swap.detail, "スワップの増減（5分）+1 MB");
  state.swapChange.reset();
  EXPECT_EQ(cardsOf(state).swap.detail, "約5分の測定待ち");
}

TEST(UiCards, DiskDetailFirstRuleThatApplies) {
  struct Row {
    const char* name;
    std::uint64_t available;
    std::optional<double> drain;
    bool override;
    const char* detail;
    bool alert;
  };
  const Row rows[] = {
      {"a 30 s drain estimate reads 1 minute", 100'000'000'000, 30, false,
       "急に減っています（あと約1分）", true},
      {"a 150 s drain reads 2 minutes", 100'000'000'000, 150, false, "急に減っています（あと約2分）",
       true},
      {"below the override", 9'999'999'999, std::nullopt, true, "空きがほとんどありません", true},
      {"10 GB is low, not the override", 10'000'000'000, std::nullopt, false,
       "空きが少なくなっています", false},
      {"just under 20 GB is low", 19'999'999'999, std::nullopt, false, "空きが少なくなっています",
       false},
      {"20 GB is fine", 20'000'000'000, std::nullopt, false, "", false},
  };
  for (const auto& row : rows) {
    auto state = freshState();
    auto snapshot = std::make_shared<Snapshot>(*state.snapshot);
    snapshot->system.disk_available = row.available;
    state.snapshot = snapshot;
    state.diskDrainSecondsLeft = row.drain;
    state.diskDangerShown = row.override;
    const auto disk = cardsOf(state).disk;
    EXPECT_EQ(disk.detail, row.detail) << row.name;
    EXPECT_EQ(disk.alert, row.alert) << row.name;
  }
}

TEST(UiCards, StaleDataTurnsTheLiveCardsUnavailable) {
  auto state = freshState();
  state.stale = true;
  state.diskDrainSecondsLeft = 30;
  const auto cards = cardsOf(state);
  for (const auto* card : {&cards.cpu, &cards.heat, &cards.ssdTemperature, &cards.ssdHealth})
    EXPECT_EQ(card->value, "取得不可");
  EXPECT_EQ(cards.cpu.detail, "");
  EXPECT_EQ(cards.swap.detail, "") << "no swap detail when stale";
  EXPECT_EQ(cards.disk.detail, "") << "no drain detail when stale";
  EXPECT_EQ(cards.memory.value, "16 GB") << "the last snapshot's figures stay";
  EXPECT_EQ(cards.swap.value, "1 GB");
}

TEST(UiCards, UnknownFiguresAreNeverGuessed) {
  auto state = freshState();
  auto snapshot = std::make_shared<Snapshot>(*state.snapshot);
  snapshot->system = HLSystem{};
  snapshot->cpuMeasuredAt = noon - 121s;
  snapshot->ssdCheckedAt = noon - 120s;
  snapshot->ssdPersistenceOK = false;
  state.snapshot = snapshot;
  state.cpuFraction.reset();
  state.thermalState.reset();
  const auto cards = cardsOf(state);
  EXPECT_EQ(cards.memory.value, "取得不可");
  EXPECT_EQ(cards.compressed.value, "取得不可");
  EXPECT_EQ(cards.swap.value, "取得不可");
  EXPECT_EQ(cards.disk.value, "取得不可");
  EXPECT_EQ(cards.cpu.value, "測定中");
  EXPECT_EQ(cards.cpu.detail, "") << "a temperature 121 s old is dropped";
  EXPECT_EQ(cards.heat.value, "取得不可");
  EXPECT_EQ(cards.ssdHealth.value, "取得不可") << "a check 120 s old is too old";
  EXPECT_EQ(cards.ssdHealth.detail, "履歴の保存・読込に問題があります");
}

TEST(UiCards, SSDIssuesDecideValueAndAlert) {
  auto state = freshState();
  state.ssdHealth = SSDHealthView{2, true, 97, "12"};
  auto card = cardsOf(state).ssdHealth;
  EXPECT_EQ(card.value, "警告あり");
  EXPECT_TRUE(card.alert);
  state.ssdHealth = SSDHealthView{1, false, std::nullopt, "3"};
  card = cardsOf(state).ssdHealth;
  EXPECT_EQ(card.value, "消耗に注意");
  EXPECT_FALSE(card.alert);
  EXPECT_EQ(card.detail, "データエラー累積 3件");
}

TEST(UiNotes, CoverageAndPermissions) {
  auto state = freshState();
  EXPECT_EQ(analysisView(state)->coverage, "");
  EXPECT_EQ(analysisView(state)->permissions,
            "通知：未許可（メニューバーには表示）　このアカウントの応答確認：追加の許可が必要　共有：無効");
  state.scope = AccountScope::m2Recording;
  state.accessibilityTrusted = true;
  state.workerHealthy = false;
  state.sharing = true;
  state.sharingHealthy = false;
  state.notificationsAllowed = true;
  state.combinedProcesses.push_back({11, 502, 1, "viewer", std::nullopt, 1 << 20});
  state.combinedProcesses.push_back({12, 503, 1, "viewer", 1 << 20, 1 << 20});
  EXPECT_EQ(coverageLines(state),
            (std::vector<std::string>{
                "501・502は未取得です。対象側で起動と共有が必要です。",
                "このアカウントの応答確認の処理に失敗しています。「監視の設定」で状態を確認してください。",
                "状態の共有に失敗しています。フォルダの状態を確認してください。"}));
  EXPECT_EQ(permissionsLine(state), "通知：許可済み　このアカウントの応答確認：確認処理に失敗　共有：保存に失敗");
  auto snapshot = std::make_shared<Snapshot>(*state.snapshot);
  snapshot->enumerationError = 13;
  state.snapshot = snapshot;
  EXPECT_EQ(coverageLines(state)[0], "このアカウントのプロセス一覧を取得できません。");
}

TEST(UiTables, AppsRowsAndHeader) {
  auto state = freshState();
  state.appGroups = {{"editor", 1000, 300 << 20, 400 << 20, 1, 1},
                     {"daemon", 1000, std::nullopt, std::nullopt, 0, 2}};
  const auto table = tableView(state);
  EXPECT_EQ(table.header, (std::vector<std::string>{"アプリ／プロセス", "アカウント", "アプリ計上量",
                                                    "RAM内・取得範囲"}));
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0], (std::vector<std::string>{"editor", "このアカウント（UID 1000）",
                                                     "300 MB", "400 MB\u30001/1件取得"}));
  EXPECT_EQ(table.rows[1][2], "取得不可");
  EXPECT_EQ(table.rows[1][3], "取得不可\u30000/2件取得");
  EXPECT_EQ(table.layout, 4);
  EXPECT_FALSE(table.wrapping);
}

TEST(UiTables, AccountsWithoutReportsAreListedWithTheirTexts) {
  auto state = freshState();
  state.scope = AccountScope::m2Recording;
  state.currentUID = state.consoleUID = 501;
  state.reports = {{501, true, true, true, 999, MonitorStatusView{"1.0", true, true, {501, 502, 9}}, {}},
                   {502, false, false, true, 990, std::nullopt, {}}};
  state.selectedTab = AnalysisTab::users;
  auto rows = tableView(state).rows;
  ASSERT_EQ(rows.size(), 4u) << "501…503 and the snapshot's 1000";
  EXPECT_EQ(rows[0], (std::vector<std::string>{"通常用（UID 501）", "使用中", "取得不可", "取得不可",
                                               "応答確認中"}));
  EXPECT_EQ(rows[1][1], "確認できません") << "a fresh report without a session";
  EXPECT_EQ(rows[1][4], "許可・状態を要確認");
  EXPECT_EQ(rows[2][1], "未ログイン");
  EXPECT_EQ(rows[2][4], "応答監視は未設定／停止");
  EXPECT_EQ(rows[3], (std::vector<std::string>{"アカウント UID 1000", "ログイン中・背後", "300 MB",
                                               "400 MB", "応答監視は未設定／停止"}));

  state.selectedTab = AnalysisTab::response;
  rows = tableView(state).rows;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"通常用（UID 501）", "確認待ち／対象なし", "—",
                                               "起動直後のアプリは30秒待ちます"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"日本語撮影用（UID 502）", "追加の許可が必要", "—",
                                               "メモリー監視は別に継続"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"英語撮影用（UID 503）", "監視が未設定／停止", "—",
                                               "対象アカウントで起動と共有が必要"}));

  state.selectedTab = AnalysisTab::settings;
  rows = tableView(state).rows;
  ASSERT_EQ(rows.size(), 3u) << "allowed accounts only";
  EXPECT_EQ(rows[0], (std::vector<std::string>{"通常用（UID 501）", "v1.0", "オン（登録済み）",
                                               "有効・2アカウントを受信"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"日本語撮影用（UID 502）", "確認できません",
                                               "確認できません", "対象側の更新と共有設定を確認"}));
}

TEST(UiTables, VerdictsSuspectedFirstThenByName) {
  auto state = freshState();
  state.selectedTab = AnalysisTab::response;
  state.reports = {{1000, true, true, true, 999, std::nullopt,
                    {{"Zed", false, VerdictOutcome::failed, 998.5},
                     {"Atom", false, VerdictOutcome::unavailable, 979},
                     {"Mail", true, VerdictOutcome::responsive, 995},
                     {"Bus", false, VerdictOutcome::responsive, 1003}}}};
  const auto rows = tableView(state).rows;
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Mail／このアカウント（UID 1000）", "応答が止まった疑い",
                                               "5秒前", "画面への問い合わせ。内部処理は対象外"}));
  EXPECT_EQ(rows[1][1], "確認が古い") << "21 s old";
  EXPECT_EQ(rows[2][1], "応答あり");
  EXPECT_EQ(rows[2][2], "0秒前") << "a check from the future is not negative";
  EXPECT_EQ(rows[3][1], "再確認中");
  EXPECT_EQ(rows[3][2], "1秒前");
}

TEST(UiTables, HealthRowsCarryTheirTones) {
  auto state = freshState();
  state.selectedTab = AnalysisTab::early;
  state.earlyRows = {{{"a", "b", "c"}, RowTone::plain}, {{"d", "e", "f"}, RowTone::urgent},
                     {{"g", "h", "i"}, RowTone::caution}};
  const auto table = tableView(state);
  EXPECT_EQ(table.tones, (std::map<int, RowTone>{{1, RowTone::urgent}, {2, RowTone::caution}}));
  EXPECT_EQ(table.layout, 100);
  EXPECT_TRUE(table.wrapping);
  EXPECT_EQ(table.header, (std::vector<std::string>{"項目", "いまの状態", "くわしく"}));
}

TEST(UiTables, EnglishTextsComeFromTheTable) {
  auto state = freshState();
  state.language = "en";
  state.selectedTab = AnalysisTab::response;
  const auto view = *analysisView(state);
  EXPECT_EQ(view.table.rows[0][1], "Monitoring not set up / stopped");
  EXPECT_EQ(view.segmentLabels[0], "By App");
  EXPECT_EQ(view.cards.heat.value, "Slightly High");
}

TEST(UiIcon, ShapesFollowTheDrawingFlippedToTopLeft) {
  const auto shapes = iconShapes();
  EXPECT_EQ(shapes[0].x, 1);
  EXPECT_EQ(shapes[0].y, 1);
  EXPECT_EQ(shapes[0].radius, 4);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(shapes[i].levelFill);
    EXPECT_DOUBLE_EQ(shapes[i].y + shapes[i].height, iconSize - 3.4) << "bars stand on y = 3.4";
  }
  EXPECT_DOUBLE_EQ(shapes[3].height, 12.9);
  EXPECT_EQ(rgba(StatusColour::red), (Rgba{0.86, 0.12, 0.16, 1}));
}

}  // namespace
}  // namespace hollin
