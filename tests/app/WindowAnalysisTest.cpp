// The analysis window and the status menu under Xvfb, fed by the real controller and
// subsystems with a recorded tick, in both languages; the help window with the guides that ship
// (opened at the levels, its find bar, the text it shows when no guide can be read).
// Screenshots land in the build folder.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QSignalSpy>
#include <QLabel>
#include <QTest>
#include <QTextBlock>

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/Subsystems.h"
#include "app/views/DesktopPresenter.h"
#include "app/views/HelpWindow.h"
#include "app/views/SetupGuide.h"
#include "app/views/StatusIcon.h"
#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime recordedAt = WallTime{} + 1765100000s;

// The recorded tick of tests/fixtures/views/snapshot.json.
Snapshot recordedSnapshot() {
  std::ifstream in(std::string(HOLLIN_FIXTURES_DIR) + "/views/snapshot.json");
  const auto json = nlohmann::json::parse(in);
  const auto bytes = [](const nlohmann::json& value) {
    return value.is_null() ? std::nullopt : std::optional(value.get<std::uint64_t>());
  };
  Snapshot snapshot;
  snapshot.uptime = json["uptime"];
  const auto& system = json["system"];
  for (auto [key, field] : {std::pair{"physical", &HLSystem::physical}, {"compressed", &HLSystem::compressed},
                            {"swap_used", &HLSystem::swap_used}, {"disk_available", &HLSystem::disk_available},
                            {"disk_total", &HLSystem::disk_total}})
    snapshot.system.*field = system[key];
  snapshot.system.vm_valid = snapshot.system.swap_valid = snapshot.system.disk_valid = snapshot.system.pressure_valid = 1;
  snapshot.system.pressure = 1;  // the kernel's normal
  snapshot.cpuCelsius = json["cpuCelsius"];
  snapshot.cpuMeasuredAt = recordedAt - 20s;
  snapshot.loggedInUIDs = json["loggedInUIDs"].get<std::set<std::uint32_t>>();
  for (const auto& p : json["processes"])
    snapshot.processes.push_back({p["pid"], p["uid"], p["start"], p["name"], bytes(p["footprint"]), bytes(p["resident"])});
  return snapshot;
}

class AnalysisWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new testing::PrivateDisplay;
    if (display_->display().isEmpty()) return;
    // No session bus: the tray check must not reach (or start) the user's.
    testing::useDesktop(display_->display(), "unix:path=/nonexistent/hollin-test-bus");
    QDir().mkpath(QString(HOLLIN_BINARY_DIR) + "/screenshots");
  }
  static void TearDownTestSuite() { delete display_; }
  void SetUp() override { if (display_->display().isEmpty()) GTEST_SKIP() << "Xvfb could not be started"; }

  // The desktop presenter with the real controller over the recorded tick, in `language`.
  // `reading` adds what the slow readers would have found.
  void build(const std::string& language, std::function<void(Snapshot&)> reading = {}) {
    controller_.reset();  // before the presenter it shows on
    PresenterActions actions;
    actions.tabChanged = [this](AnalysisTab tab) { controller_->selectTab(tab); };
    actions.windowShown = [this](bool shown) { controller_->windowShown(shown); };
    actions.cardAction = [this](CardSlot slot) { controller_->cardAction(slot); };
    actions.resumeTitle = [language] { return resumeRow(recordedAt + 10min, recordedAt, language); };
    presenter_ = std::make_unique<DesktopPresenter>(ViewSetup{language, AccountScope::current, "1.0", "42"}, actions);
    const auto take = [reading](auto) { Snapshot taken = recordedSnapshot(); if (reading) reading(taken); return taken; };
    controller_ = std::make_unique<AppController>(
        ControllerEnvironment{.take = take, .uptime = [] { return 5121.0; }, .wallNow = [] { return recordedAt; },
                              .consoleUID = [] { return 1000u; }, .uid = 1000, .scope = {}, .language = language,
                              .dataFolder = {}, .widgetFolder = {}, .tickInterval = 1h, .log = {}},
        *presenter_, settings_);
    registerSubsystems(*controller_, controller_->services(nullptr), false);
    QSignalSpy applied(controller_.get(), &AppController::sampleApplied);
    controller_->tick();
    ASSERT_TRUE(testing::waitUntil([&] { return !applied.isEmpty(); }));
  }
  // Saves a picture of `widget` as screenshots/`name`.png in the build folder.
  static bool shot(QWidget* widget, const QString& name) {
    return widget->grab().save(QString(HOLLIN_BINARY_DIR) + "/screenshots/" + name + ".png");
  }
  static QString text(const LocalizedMessage& message, const std::string& language) {
    return QString::fromStdString(L10n::render(message, language));
  }

  static inline testing::PrivateDisplay* display_ = nullptr;
  MemorySettings settings_;
  std::unique_ptr<DesktopPresenter> presenter_;
  std::unique_ptr<AppController> controller_;
};

// A laptop with something to say in every row of the health tab.
EarlyWatchSnapshot troubledLaptop() {
  std::vector<CrashRecord> crashes;
  for (const char* name : {"Thunderbird", "gnome-calculator"})
    for (int i = 1; i <= 3; ++i) crashes.push_back({name, recordedAt - std::chrono::hours(i)});
  const BatteryHealth health{76, "Service Recommended", 412};
  auto archive = std::make_shared<EarlyWatchArchive>();
  archive->recordBattery(BatteryHealth{88, "Normal", 300}, std::nullopt, recordedAt - 24h * 200);
  archive->recordBattery(health, std::nullopt, recordedAt - 1h);
  archive->recordRecent(9'000'000'000, 47.0, recordedAt - 5h);
  archive->recordTemperature(50.0, recordedAt - 1h);
  return {.checkedAt = recordedAt - 5s, .batteryPresent = true, .battery = BatteryReading{true, false, -1400, 35, 0, 65, 412, 1000},
          .charger = ChargerState::draining(true), .chargeLimit = ChargeLimit::none, .health = health, .crashes = crashes,
          .backup = BackupStatus::with(true, true, recordedAt - 24h * 16, false), .backupSource = "deja-dup",
          .backupTool = "Déjà Dup", .archive = archive, .diskForecast = DiskForecast::days(9), .persistenceOK = false,
          .diskAvailable = 8'500'000'000, .diskDrain = DiskDrain{6'000'000'000, 1234}, .ssdCelsius = 47.5};
}

// One window per language with a troubled laptop and a worn drive: the status menu's rows, every
// tab, the health tab's rows, the SSD cards and their history window.
TEST_F(AnalysisWindowTest, TheStatusMenuEveryTabTheHealthRowsAndTheSSDHistoryInBothLanguages) {
  // A worn drive with a few errors and a short history; what the history lists is SSDHealthView's.
  const SSDHealth health{0, 100, 10, 82, {2, 0}, {14, 0}, {38'123'456, 0}, {4'321, 0}, 41.2};
  auto archive = std::make_shared<SSDHealthArchive>();
  archive->observe(SSDHealth{0, 100, 10, 81, {1, 0}, {14, 0}, {38'000'000, 0}, {4'300, 0}, 40.0}, recordedAt - 30h);
  archive->observe(std::nullopt, recordedAt - 30min);
  archive->observe(health, recordedAt - 20s);
  for (const std::string language : {"ja", "en"}) {
    build(language, [&](Snapshot& taken) {
      taken.early = troubledLaptop(), taken.ssdHealth = health, taken.ssdCelsius = health.celsius;
      taken.ssdCheckedAt = recordedAt - 20s, taken.ssdArchive = archive;
    });
    // The rows' language, and what each row opens, are DesktopTest's.
    StatusMenu* menu = presenter_->statusMenu();
    QStringList rows;
    for (auto* action : menu->menu()->actions())
      if (action->isVisible()) rows << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(rows, (QStringList{QString::fromStdString(statusTexts(levelGuide()[0], language).menuRow), "-",
                                 text(msg("分析を見る"), language), text(msg("初回設定の案内…"), language),
                                 text(msg("今すぐ更新"), language), "-", text(msg("通知を止める（危ないときは知らせる）"), language),
                                 "-", text(msg("状態の見方"), language), text(msg("ヘルプ"), language), "-",
                                 text(msg("ご意見・不具合を送る…"), language), text(msg("アップデートを確認…"), language),
                                 text(versionLine("1.0", "42"), language), "-", text(msg("このアカウントの監視を終了"), language)}))
        << language << ": no system monitor offered without one";
    EXPECT_EQ(menu->tray()->toolTip().toStdString(), statusTexts(levelGuide()[0], language).toolTip);
    EXPECT_FALSE(menu->resumeRow()->isVisible());
    menu->prepareToOpen();
    EXPECT_TRUE(menu->resumeRow()->isVisible());
    EXPECT_TRUE(menu->resumeRow()->text().startsWith(text(msg("通知を再開"), language).left(4)));

    AnalysisWindow* window = presenter_->window();
    presenter_->showAnalysis();
    ASSERT_TRUE(testing::waitUntil([&] { return window->table()->rowCount() > 0; })) << "rows once shown";
    EXPECT_EQ(window->windowTitle(), text(msg("ホリン"), language) + " — " + text(versionLine("1.0", "42"), language));
    EXPECT_EQ(window->header()->title()->text(), text(title(MenuBarLevel::green), language));
    EXPECT_EQ(window->cards()[0]->value()->text(), "16 GB") << language;
    EXPECT_TRUE(window->segment(AnalysisTab::early)->text().contains(QString::fromUtf8("\u26A0")));

    const int segmentWidth = window->segment(AnalysisTab::apps)->width();
    AnalysisTab previous = AnalysisTab::apps;
    for (AnalysisTab tab : tabOrder(AccountScope::current)) {
      const int rebuilds = window->table()->columnRebuilds();
      window->segment(tab)->click();
      QApplication::processEvents();
      const std::string where = language + " tab " + std::to_string(static_cast<int>(tab));
      EXPECT_TRUE(window->segment(tab)->isChecked()) << where;
      QStringList header, expected;
      for (int i = 0; i < window->table()->columnCount(); ++i) header << window->table()->horizontalHeaderItem(i)->text();
      for (const auto& title : tableHeader(tab)) expected << text(title, language);
      EXPECT_EQ(header, expected) << where;
      EXPECT_EQ(window->settingsPanel()->isVisible(), tab == AnalysisTab::settings) << where;
      if (tab == AnalysisTab::early) {
        EXPECT_EQ(window->table()->rowCount(), 9) << "power, battery, space, SSD, forecast, two crashes, backup, history";
        EXPECT_TRUE(window->earlySummary()->isVisible());
      }
      EXPECT_EQ(window->table()->columnRebuilds(), rebuilds + (columnLayout(previous) != columnLayout(tab))) << where;
      EXPECT_EQ(window->segment(AnalysisTab::apps)->width(), segmentWidth) << "labels never shift the row";
      EXPECT_TRUE(shot(window, QString("analysis-%1-%2").arg(language.c_str()).arg(int(tab))));
      previous = tab;
    }
    // Clicking the selected apps tab again toggles the sort shown in its label.
    window->segment(AnalysisTab::apps)->click();
    window->segment(AnalysisTab::apps)->click();
    EXPECT_EQ(window->segment(AnalysisTab::apps)->text().toStdString(), appsLabel(AppMemorySort::name, language));

    MetricCard* card = window->cards()[static_cast<std::size_t>(CardSlot::ssdHealth)];
    ASSERT_TRUE(card->button()) << "the health card's, and no other's";
    EXPECT_FALSE(window->cards()[static_cast<std::size_t>(CardSlot::ssdTemperature)]->button());
    card->button()->click();
    DocumentWindow* history = presenter_->document("ssd-history");
    ASSERT_TRUE(history);
    EXPECT_EQ(history->windowTitle(), text(msg("SSDの健康履歴"), language));
    QApplication::processEvents();
    EXPECT_TRUE(shot(history, QString("ssd-history-%1").arg(language.c_str())));
    history->close();
    card->button()->click();
    EXPECT_EQ(presenter_->document("ssd-history"), history) << "one window, shown again";
    EXPECT_TRUE(history->isVisible());
    history->close();
    window->close();
    EXPECT_FALSE(window->isVisible()) << "closing hides the window";
    presenter_->showAnalysis();
    EXPECT_TRUE(window->isVisible());
  }
}

TEST_F(AnalysisWindowTest, WrappedRowsGrowWithTheTableFontAndUrgentRowsStandOut) {
  TablePage table;
  table.resize(1050, 400);
  // The health tab's layout: three wide columns whose cells wrap.
  table.display({{"Item", "State", "Details"},
                 {{"Disk", "Low", std::string(400, 'x').replace(10, 1, " ")}, {"Crashes", "3 today", "short"}},
                 {{1, RowTone::urgent}}, 100, true});
  EXPECT_GT(table.rowHeight(0), 34) << "a long wrapped cell grows its row";
  EXPECT_EQ(table.rowHeight(1), 34);
  EXPECT_TRUE(table.item(1, 0)->font().bold());
  EXPECT_FALSE(table.item(0, 0)->font().bold());
}

TEST_F(AnalysisWindowTest, IconDrawsTheLevelColourInsideTheFrame) {
  const QImage image = drawStatusIcon(StatusColour::red, 40);
  EXPECT_EQ(image.pixelColor(30, 30).rgb(), qColor(rgba(StatusColour::red)).rgb()) << "inside the tallest bar";
  EXPECT_EQ(image.pixelColor(20, 10).red(), 250) << "frame fill white 0.98 above the middle bar";
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "transparent outside the rounded square";
}

// The first-launch guide of the sharing profile (with its extra line) in both languages, its
// cards in mixed states, at its own size: every text fits, nothing runs off the window.
TEST_F(AnalysisWindowTest, TheGuideShowsItsCardsInBothLanguages) {
  for (const std::string language : {"ja", "en"}) {
    SetupGuide guide({language, AccountScope::m2Recording, "1.0", "42"}, [](SetupAction) {}, [] {});
    guide.show();
    guide.update(setupGuideView({NotificationAuthorization::denied, false, true, false, true}, language));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(guide.window()));
    QApplication::processEvents();  // the window takes the height its cards need
    for (QLabel* label : guide.window()->findChildren<QLabel*>())
      EXPECT_GE(label->height(), label->heightForWidth(label->width())) << language << " " << label->text().toStdString();
    shot(guide.window(), "setup-guide-" + QString::fromStdString(language));
  }
}

// The help window shares the display; the text of the block at the top of its text view's
// visible part, below the room a jump leaves above a heading.
using HelpWindowTest = AnalysisWindowTest;
QString topLine(const HelpWindow& window) { return window.textView()->cursorForPosition(QPoint(40, 16)).block().text(); }

TEST_F(HelpWindowTest, OpensAtTheLevelsAndFindsWordsInBothLanguages) {
  for (const std::string language : {"ja", "en"}) {
    HelpWindow window(language, {L10n::sourceResourcesDirectory()});
    window.show(HelpDocument::statusSection);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window)) << "shortcuts need the window active";
    EXPECT_EQ(window.windowTitle(), text(msg("ホリンのヘルプ"), language));
    EXPECT_EQ(window.table()->accessibleName(), text(msg("目次"), language));

    const auto current = window.currentRow();
    ASSERT_TRUE(current) << language;
    const HelpWindow::Row& row = window.rows()[*current];
    EXPECT_EQ(row.section, HelpDocument::statusSection) << language;
    EXPECT_EQ(topLine(window), row.title) << language << ": the levels' heading is at the top";
    EXPECT_EQ(window.focusWidget(), window.textView()) << "the text has the keyboard";
    EXPECT_TRUE(shot(&window, QString("help-%1").arg(language.c_str())));

    // Clicking the first group's line brings it to the top.
    EXPECT_TRUE(window.rows().front().isGroup);
    QTreeWidgetItem* first = window.table()->topLevelItem(0);
    window.table()->setCurrentItem(first);
    EXPECT_EQ(topLine(window), first->text(0)) << language;
    EXPECT_TRUE(shot(&window, QString("help-%1-start").arg(language.c_str())));

    // Ctrl+F opens the find bar; Enter finds, F3 goes on, a word that is not there is reported.
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(window.findBar()->isVisible());
    const QString word = language == "ja" ? "スワップ" : "swap";
    window.findField()->setText(word);
    QTest::keyClick(window.findField(), Qt::Key_Return);
    const int firstPlace = window.textView()->textCursor().selectionStart();
    EXPECT_EQ(window.textView()->textCursor().selectedText().toLower(), word.toLower());
    QTest::keyClick(&window, Qt::Key_F3);
    EXPECT_GT(window.textView()->textCursor().selectionStart(), firstPlace);
    QTest::keyClick(window.findField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(window.textView()->textCursor().selectionStart(), firstPlace) << "Shift+Enter goes back";
    EXPECT_TRUE(window.findStatus()->text().isEmpty());
    window.findField()->setText("zzqqxx");
    EXPECT_FALSE(window.find(false));
    EXPECT_EQ(window.findStatus()->text(), text(msg("見つかりません"), language));
    QTest::keyClick(window.findField(), Qt::Key_Escape);
    EXPECT_FALSE(window.findBar()->isVisible());
  }
}

TEST_F(HelpWindowTest, AMissingGuideSaysSo) {
  QTemporaryDir empty;
  HelpWindow window("en", {empty.path().toStdString()});
  window.show(HelpDocument::statusSection);
  EXPECT_TRUE(window.rows().empty());
  EXPECT_TRUE(shot(&window, "help-missing-en"));
  const QString shown = window.textView()->toPlainText();
  EXPECT_TRUE(shown.startsWith(text(msg("ヘルプを読み込めませんでした"), "en"))) << shown.toStdString();

  // A guide put in place meanwhile shows once the window is opened anew, not while it is open.
  ASSERT_TRUE(QDir(empty.path()).mkpath("en.lproj"));
  std::ofstream(empty.filePath("en.lproj/Help.md").toStdString()) << "# Guide\n## Group\n### Section\nText.\n";
  window.show(std::nullopt);
  EXPECT_TRUE(window.rows().empty()) << "the open window keeps what it shows";
  window.close();
  window.show(std::nullopt);
  EXPECT_EQ(window.rows().size(), 2u);
}

}  // namespace
}  // namespace hollin
