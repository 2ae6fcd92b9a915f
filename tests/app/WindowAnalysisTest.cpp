#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <fstream>
#include <map>

#include "ViewDisplay.h"
#include "app/views/DesktopPresenter.h"
#include "app/views/StatusIcon.h"
#include "core/Json.h"
#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

// The recorded tick of tests/fixtures/views/snapshot.json as the controller would hand it over.
ViewState recordedState(const std::string& language) {
  std::ifstream in(std::string(HOLLIN_FIXTURES_DIR) + "/views/snapshot.json");
  const Json json = Json::parse(in);
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->uptime = json["uptime"];
  const auto& system = json["system"];
  snapshot->system.physical = system["physical"];
  snapshot->system.compressed = system["compressed"];
  snapshot->system.vm_valid = system["vm_valid"];
  snapshot->system.swap_used = system["swap_used"];
  snapshot->system.swap_valid = system["swap_valid"];
  snapshot->system.disk_available = system["disk_available"];
  snapshot->system.disk_total = system["disk_total"];
  snapshot->system.disk_valid = system["disk_valid"];
  const WallTime now = WallTime{} + 1765100000s;
  snapshot->cpuCelsius = json["cpuCelsius"];
  snapshot->cpuMeasuredAt = now - 20s;
  snapshot->ssdCelsius = json["ssdCelsius"];
  snapshot->loggedInUIDs = json["loggedInUIDs"].get<std::set<std::uint32_t>>();
  ViewState state;
  std::map<std::string, AppGroupView> groups;
  for (const auto& p : json["processes"]) {
    ProcessMemory process{p["pid"], p["uid"], p["start"], p["name"], std::nullopt, std::nullopt};
    if (!p["footprint"].is_null()) process.footprint = p["footprint"].get<std::uint64_t>();
    if (!p["resident"].is_null()) process.resident = p["resident"].get<std::uint64_t>();
    snapshot->processes.push_back(process);
    auto& group = groups[process.name];
    group.name = process.name;
    group.uid = process.uid;
    if (process.footprint) group.footprint = group.footprint.value_or(0) + *process.footprint;
    if (process.resident) group.resident = group.resident.value_or(0) + *process.resident;
    group.readableCount += process.footprint ? 1 : 0;
    ++group.processCount;
  }
  for (auto& [name, group] : groups) state.appGroups.push_back(group);
  std::ranges::sort(state.appGroups, std::greater{}, &AppGroupView::footprint);
  const std::map<std::string, RowTone> tones = {
      {"plain", RowTone::plain}, {"caution", RowTone::caution}, {"urgent", RowTone::urgent}};
  for (const auto& row : json["earlyRows"]) {
    state.earlyRows.push_back({row["cells"], tones.at(row["tone"])});
    state.earlyConcerns += row["tone"] != "plain";
  }
  state.snapshot = snapshot;
  state.combinedProcesses = snapshot->processes;
  state.status = levelGuide()[1];
  state.stale = false;
  state.now = snapshot->uptime + 1;
  state.wallNow = now;
  state.language = language;
  state.currentUID = state.consoleUID = 1000;
  state.cpuFraction = 0.274;
  state.swapChange = 268435456;
  state.version = "1.0";
  state.build = "42";
  state.mutedUntil = now + 10min;
  return state;
}

class AnalysisWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new testing::PrivateDisplay;
    if (display_->display().isEmpty()) return;
    qputenv("DISPLAY", display_->display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    // No session bus: the tray check must not reach (or start) the user's.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/hollin-test-bus");
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    app_->setQuitOnLastWindowClosed(false);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
    delete display_;
  }
  void SetUp() override {
    if (!app_) GTEST_SKIP() << "Xvfb could not be started";
  }

  static QString screenshotPath(const std::string& language, AnalysisTab tab) {
    const QString folder = QString(HOLLIN_BINARY_DIR) + "/screenshots";
    QDir().mkpath(folder);
    return folder + QString("/analysis-%1-%2.png").arg(QString::fromStdString(language)).arg(static_cast<int>(tab));
  }

  static inline testing::PrivateDisplay* display_ = nullptr;
  static inline QApplication* app_ = nullptr;
};

QStringList headerTexts(QTableWidget* table) {
  QStringList texts;
  for (int i = 0; i < table->columnCount(); ++i) texts << table->horizontalHeaderItem(i)->text();
  return texts;
}

TEST_F(AnalysisWindowTest, EveryTabInBothLanguages) {
  for (const std::string language : {"ja", "en"}) {
    ViewState state = recordedState(language);
    const auto render = [&](const std::string& key) {
      return QString::fromStdString(L10n::render(LocalizedMessage{key, {}}, language));
    };
    std::unique_ptr<DesktopPresenter> presenter;
    PresenterActions actions;
    actions.tabChanged = [&](AnalysisTab tab) {
      state.sortedByName = sortByNameAfter(state.selectedTab, tab, state.sortedByName);
      state.selectedTab = tab;
      presenter->render(state);
    };
    presenter = std::make_unique<DesktopPresenter>(state, actions);
    AnalysisWindow* window = presenter->window();
    presenter->render(state);
    presenter->showAnalysis();
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), render("ホリン") + " — " +
                                         QString::fromStdString(L10n::render(versionLine("1.0", "42"), language)));
    EXPECT_EQ(window->statusTitle()->text(), QString::fromStdString(L10n::render(levelGuide()[1].title, language)));
    EXPECT_EQ(window->cards()[0]->value()->text(), "16 GB") << language;
    EXPECT_EQ(window->cards()[3]->detail()->text(), render("空きが少なくなっています"));

    int rebuilds = window->columnRebuilds();
    AnalysisTab previous = AnalysisTab::apps;
    for (AnalysisTab tab : tabOrder(state.scope)) {
      window->segment(tab)->click();
      QApplication::processEvents();
      const std::string where = language + " tab " + std::to_string(static_cast<int>(tab));
      EXPECT_TRUE(window->segment(tab)->isChecked()) << where;
      QStringList expectedHeader;
      for (const auto& title : tableHeader(tab))
        expectedHeader << QString::fromStdString(L10n::render(title, language));
      EXPECT_EQ(headerTexts(window->table()), expectedHeader) << where;
      EXPECT_EQ(window->settingsPanel()->isVisible(), tab == AnalysisTab::settings) << where;
      EXPECT_EQ(window->earlySummary()->isVisible(), tab == AnalysisTab::early) << where;
      const bool sameColumns = previous != tab && columnLayout(previous) == columnLayout(tab);
      if (previous != tab) {
        EXPECT_EQ(window->columnRebuilds(), rebuilds + (sameColumns ? 0 : 1)) << where;
      }
      rebuilds = window->columnRebuilds();
      EXPECT_EQ(window->table()->rowCount(), static_cast<int>(tableView(state).rows.size())) << where;
      EXPECT_TRUE(window->grab().save(screenshotPath(language, tab))) << where;
      previous = tab;
    }

    // The health tab: wrapped rows grow, an urgent row is emphasised.
    window->segment(AnalysisTab::early)->click();
    QApplication::processEvents();
    EXPECT_GT(window->table()->rowHeight(2), 34);
    EXPECT_TRUE(window->table()->item(2, 0)->font().bold());
    EXPECT_EQ(window->segment(AnalysisTab::early)->text(),
              QString::fromStdString(L10n::render(msg("Mac の健康 ⚠︎ {0}", 2), language)));

    // Clicking the selected apps tab again toggles the sort shown in its label.
    window->segment(AnalysisTab::apps)->click();
    EXPECT_FALSE(state.sortedByName);
    window->segment(AnalysisTab::apps)->click();
    EXPECT_TRUE(state.sortedByName);
    EXPECT_EQ(window->segment(AnalysisTab::apps)->text(),
              QString::fromStdString(L10n::render(msg("アプリ別（{0}）", L10n::render(msg("名前順"), language)), language)));

    window->close();
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible()) << "closing hides the window";
    presenter->showAnalysis();
    EXPECT_TRUE(window->isVisible());
    const auto readout = presenter->readout();
    EXPECT_FALSE(readout.menuBarHoverInstalled);
    EXPECT_EQ(readout.analysisStatusText,
              statusToolTip(levelGuide()[1], language));
  }
}

TEST_F(AnalysisWindowTest, StatusMenuRowsAndResumeRow) {
  ViewState state = recordedState("ja");
  WallTime now = state.wallNow;
  int muted = 0;
  PresenterActions actions;
  actions.mute = [&](int seconds) { muted = seconds; };
  StatusMenu menu(state, actions, [] {}, [&] { return now; }, std::nullopt);
  QStringList titles;
  for (auto* action : menu.menu()->actions()) titles << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(titles, (QStringList{"確認できません — 起動直後、スリープ中、または新しい測定を取得できない状態です。",
                                 "-", "分析を見る", "今すぐ更新", "アクティビティモニタを開く", "-",
                                 "通知を止める（危ないときは知らせる）", "通知を再開", "-", "状態の見方",
                                 "-", "バージョン 1.0（ビルド 42）", "-", "このアカウントの監視を終了"}));
  EXPECT_FALSE(menu.monitorRow()->isEnabled()) << "no system monitor installed";
  EXPECT_EQ(menu.toolTip(), "確認できません\n起動直後、スリープ中、または新しい測定を取得できない状態です。");

  menu.render(state);
  EXPECT_EQ(menu.statusRow()->text().toStdString(), statusRowTitle(levelGuide()[1], "ja"));
  EXPECT_EQ(menu.statusRow()->toolTip().toStdString(), "メモリーの使用量が増えているか、一時的に余裕が少なくなっています。");
  const auto* firstIcon = &statusIcon(StatusColour::yellow);
  EXPECT_EQ(firstIcon, &statusIcon(StatusColour::yellow)) << "one icon per level";

  menu.prepareToOpen();
  EXPECT_TRUE(menu.resumeRow()->isVisible());
  EXPECT_TRUE(menu.resumeRow()->text().startsWith("通知を再開（")) << menu.resumeRow()->text().toStdString();
  now += 11min;
  menu.prepareToOpen();
  EXPECT_FALSE(menu.resumeRow()->isVisible()) << "hidden again once the mute has passed";

  auto* muteMenu = menu.menu()->actions()[6]->menu();
  ASSERT_NE(muteMenu, nullptr);
  ASSERT_EQ(muteMenu->actions().size(), 4);
  muteMenu->actions()[3]->trigger();
  EXPECT_EQ(muted, 7200);
}

TEST_F(AnalysisWindowTest, IconDrawsTheLevelColourInsideTheFrame) {
  const QImage image = drawStatusIcon(StatusColour::red, 40);
  EXPECT_EQ(image.size(), QSize(40, 40));
  EXPECT_EQ(image.pixelColor(30, 30).rgb(), qColor(rgba(StatusColour::red)).rgb()) << "inside the tallest bar";
  EXPECT_EQ(image.pixelColor(20, 10).red(), 250) << "frame fill white 0.98 above the middle bar";
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "transparent outside the rounded square";
}

}  // namespace
}  // namespace hollin
