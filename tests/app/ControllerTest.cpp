// The controller with the real subsystems, a take the test releases by hand and a presenter
// that keeps what it was shown.
#include "app/AppController.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <mutex>

#include "app/accounts/AccountsSubsystem.h"
#include "app/memory/MemorySubsystem.h"
#include "app/notify/NotificationsSubsystem.h"
#include "app/response/ResponseSubsystem.h"
#include "app/platform/QtSettings.h"
#include "core/health/HealthRecord.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class RecordingPresenter final : public Presenter {
 public:
  void display(const Screen& screen) override { screens.push_back(screen); }
  void showAnalysis() override { ++shown; }
  const Screen& last() const { return screens.back(); }
  std::vector<Screen> screens;
  int shown = 0;
};

// A take the test releases by hand, so it can be "still running" for as long as a case needs.
class GatedTake {
 public:
  Snapshot operator()() {
    std::unique_lock lock(mutex_);
    ++started_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_ > 0 || open_; });
    if (!open_) --released_;
    return next;
  }
  void release() {
    std::lock_guard lock(mutex_);
    ++released_;
    changed_.notify_all();
  }
  void open() {  // every take from now on returns at once
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  int started() {
    std::lock_guard lock(mutex_);
    return started_;
  }
  Snapshot next;  // set before the take starts

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int started_ = 0, released_ = 0;
  bool open_ = false;
};

// Writes down the order of the hooks it sees, and adds a figure to every take.
class ProbeSubsystem final : public Subsystem {
 public:
  struct Reader final : SnapshotReader {
    void read(Snapshot& snapshot, const TakeMoment& moment) override {
      onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
      slowDue.push_back(moment.slowDue);
      snapshot.ssdCelsius = 41;
    }
    bool onMainThread = true;
    std::vector<bool> slowDue;
  };
  std::shared_ptr<SnapshotReader> reader() override { return reader_; }
  void tickStarting(const Moment&) override { hooks.push_back("tick"); }
  void evaluate(const Moment& moment) override {
    hooks.push_back("evaluate");
    EXPECT_FALSE(moment.notificationsAllowed) << "no facts before contribute";
  }
  void contribute(Moment&) override { hooks.push_back("contribute"); }
  void present(Screen&, const Moment&) override { hooks.push_back("present"); }
  void record(json& record, const Moment& moment) const override {
    record["thermalState"] = moment.snapshot->ssdCelsius.value_or(0);  // any key of the record
  }
  std::shared_ptr<Reader> reader_ = std::make_shared<Reader>();
  std::vector<std::string> hooks;
};

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    gate_->next.uptime = 100;
    gate_->next.system.physical = 8ull << 30;
  }
  void TearDown() override { gate_->open(); }  // no take may stay blocked after the test

  std::unique_ptr<AppController> makeController() {
    ControllerEnvironment environment;
    environment.take = [gate = gate_, first = std::make_shared<bool>(true)](
                           std::span<const std::shared_ptr<SnapshotReader>> readers) {
      Snapshot snapshot = (*gate)();
      const bool slow = std::exchange(*first, false);
      for (const auto& reader : readers) reader->read(snapshot, {snapshot.uptime, {}, slow});
      return snapshot;
    };
    environment.uptime = [this] { return uptime_; };
    environment.wallNow = [this] { return wallNow_; };
    environment.consoleUID = [this] { return consoleUID_; };
    environment.uid = 1000;
    environment.language = "en";
    environment.dataFolder = folder_.filePath("Hollin").toStdString();
    environment.tickInterval = 1h;  // the tests tick by hand
    environment.log = [this](const std::string& line) { log_.push_back(line); };
    auto controller = std::make_unique<AppController>(std::move(environment), presenter_, settings_);
    // The registration's subsystems, keeping hold of the memory watch to read its figures.
    const Services services = controller->services(nullptr);
    auto memory = std::make_unique<MemorySubsystem>(services, false);
    memory_ = memory.get();
    controller->add(std::make_unique<NotificationsSubsystem>(services));
    controller->add(std::move(memory));
    controller->add(std::make_unique<AccountsSubsystem>(services));
    controller->add(std::make_unique<ResponseSubsystem>());
    return controller;
  }
  void tickAt(AppController& controller, double now) {
    uptime_ = now;
    gate_->next.uptime = now;
    bool applied = false;
    auto connection = QObject::connect(&controller, &AppController::sampleApplied, [&] { applied = true; });
    controller.tick();
    testing::waitUntil([&] { return applied; });
    QObject::disconnect(connection);
  }
  bool waitForTakes(int count) { return testing::waitUntil([&] { return gate_->started() >= count; }); }
  json health() const {
    QFile file(folder_.filePath("Hollin/health.json"));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    return json::parse(file.readAll().toStdString());
  }
  std::vector<std::string> notices() const {
    std::vector<std::string> found;
    for (const auto& line : log_)
      if (line.starts_with("notice ")) found.push_back(line.substr(7, line.find(':') - 7));
    return found;
  }
  void setPressure(std::int32_t level) {
    gate_->next.system.pressure = level;
    gate_->next.system.pressure_valid = 1;
  }

  std::shared_ptr<GatedTake> gate_ = std::make_shared<GatedTake>();
  double uptime_ = 100;
  WallTime wallNow_ = WallTime{} + std::chrono::hours(500000);
  std::uint32_t consoleUID_ = 1000;
  QTemporaryDir folder_;
  MemorySettings settings_;
  RecordingPresenter presenter_;
  MemorySubsystem* memory_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(ControllerTest, LevelFollowsTheSamplesAndACriticalEventBetweenTicks) {
  gate_->open();
  auto controller = makeController();
  setPressure(1);
  tickAt(*controller, 100);
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::green);
  EXPECT_EQ(presenter_.last().status.colour, StatusColour::green);
  EXPECT_EQ(presenter_.last().status.menuRow, "Normal ★☆☆☆ — Memory is fine.");

  uptime_ = 102;
  memory_->pressureEvent(Pressure::critical);
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::red);
  EXPECT_EQ(notices(), (std::vector<std::string>{"memory-critical"})) << "posted between ticks";
  EXPECT_EQ(health()["menuBarLevel"], "red");
  EXPECT_EQ(health()["statusMenuTitle"], presenter_.last().status.title) << "the record takes the decided texts";

  // Asleep: nothing fresh to show; awake again the windows start empty.
  controller->willSleep();
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::unavailable);
  EXPECT_EQ(health()["isStale"], true);
  uptime_ = gate_->next.uptime = 600;
  setPressure(2);
  controller->didWake();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample()->uptime == 600; }));
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::yellow) << "orange needs the delay anew";
}

TEST_F(ControllerTest, AnotherAccountAtTheConsoleRestartsTheNoticeEpisode) {
  gate_->open();
  auto controller = makeController();
  setPressure(2);  // warning all along
  consoleUID_ = 1001;
  for (double now = 100; now <= 120; now += 5) tickAt(*controller, now);
  EXPECT_TRUE(notices().empty());
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::orange) << "the level still follows";

  consoleUID_ = 1000;  // back at the console: the 10 s hold starts now
  tickAt(*controller, 125);
  tickAt(*controller, 130);
  EXPECT_TRUE(notices().empty());
  tickAt(*controller, 135);
  EXPECT_EQ(notices(), (std::vector<std::string>{"memory-warning"}));
}

TEST_F(ControllerTest, TrackersAndTheDiskOverrideReachTheScreenAndTheRecord) {
  gate_->open();
  auto controller = makeController();
  auto& system = gate_->next.system;
  system.cpu_valid = system.disk_valid = 1;
  system.cpu_busy = 100;
  system.cpu_idle = 300;
  system.disk_available = 9'000'000'000;
  system.disk_total = 100'000'000'000;
  setPressure(1);
  tickAt(*controller, 100);
  EXPECT_EQ(presenter_.last().cards[static_cast<int>(CardSlot::cpu)].value, "Measuring") << "first tick";
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::red);
  EXPECT_TRUE(presenter_.last().cards[static_cast<int>(CardSlot::disk)].alert);

  system.cpu_busy = 150;
  system.cpu_idle = 450;
  system.disk_available = 10'500'000'000;  // under the raised threshold: stays red
  tickAt(*controller, 105);
  EXPECT_EQ(presenter_.last().cards[static_cast<int>(CardSlot::cpu)].value, "25.0%");
  EXPECT_EQ(memory_->figures().displayedLevel, MenuBarLevel::red);
  const json record = health();
  EXPECT_EQ(record["cpuUsageFraction"], 0.25);
  EXPECT_EQ(record["diskAlertLevel"], "attention");
  EXPECT_EQ(record["diskAvailableBytes"], 10'500'000'000u);
}

TEST_F(ControllerTest, TheAppsTabIsBuiltOnlyForAShownWindowAndChoosingItAgainTogglesItsSort) {
  gate_->open();
  gate_->next.processes = {{7, 1000, 1, "zsh", 300, 400}, {8, 1000, 2, "Atom", 100, 200}};
  auto controller = makeController();
  tickAt(*controller, 100);
  EXPECT_TRUE(presenter_.last().table.rows.empty()) << "a hidden window costs no rows";
  controller->windowShown(true);
  ASSERT_EQ(presenter_.last().table.rows.size(), 2u);
  EXPECT_EQ(presenter_.last().table.rows[0][0], "zsh") << "memory order";
  EXPECT_EQ(presenter_.last().tabLabels[0], "By App (By Memory)");

  controller->selectTab(AnalysisTab::apps);
  EXPECT_EQ(presenter_.last().table.rows[0][0], "Atom") << "name order";
  EXPECT_EQ(health()["appMemorySort"], "name");
  controller->selectTab(AnalysisTab::users);
  EXPECT_EQ(presenter_.last().tabLabels[0], "By App");
  controller->selectTab(AnalysisTab::apps);
  EXPECT_EQ(presenter_.last().table.rows[0][0], "zsh") << "arriving from another tab starts in memory order";
}

TEST_F(ControllerTest, SubsystemsAreWalkedInTheOrderOfTheTickAndReadOnTheSamplingThread) {
  gate_->open();
  auto controller = makeController();
  auto probe = std::make_unique<ProbeSubsystem>();
  ProbeSubsystem* seen = probe.get();
  controller->add(std::move(probe));
  tickAt(*controller, 100);
  tickAt(*controller, 105);
  // The render and the record of one snapshot share one moment.
  EXPECT_EQ(seen->hooks, (std::vector<std::string>{"tick", "evaluate", "contribute", "present", "tick", "evaluate",
                                                   "contribute", "present"}));
  EXPECT_FALSE(seen->reader_->onMainThread);
  EXPECT_EQ(seen->reader_->slowDue, (std::vector<bool>{true, false}));
  EXPECT_EQ(controller->sample()->ssdCelsius, 41);
  const json record = health();
  EXPECT_EQ(record["thermalState"], 41) << "a subsystem's own key";
  EXPECT_EQ(record.size(), healthRecordKeys().size()) << "every key, and no other";
  EXPECT_TRUE(record["receivedUIDs"].is_null()) << "no report exchanged: unknown, not none";
  EXPECT_EQ(QFileInfo(folder_.filePath("Hollin/health.json")).permissions() & 0x0077, 0);
  EXPECT_EQ(QDir(folder_.filePath("Hollin")).entryList(QDir::Files | QDir::Hidden), QStringList{"health.json"});
}

TEST_F(ControllerTest, TickDuringATakeRendersWithoutASecondTake) {
  auto controller = makeController();
  controller->tick();
  ASSERT_TRUE(waitForTakes(1));
  controller->tick();
  QThread::msleep(50);
  EXPECT_EQ(gate_->started(), 1);
  EXPECT_TRUE(controller->fetching());

  gate_->release();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample() != nullptr; }));
  EXPECT_FALSE(controller->fetching());
  controller->tick();  // with the take done, the next tick samples again
  EXPECT_TRUE(waitForTakes(2));
}

TEST_F(ControllerTest, SnapshotArrivingWhileAsleepIsDroppedAndWakeTicksAtOnce) {
  auto controller = makeController();
  controller->tick();
  ASSERT_TRUE(waitForTakes(1));
  controller->willSleep();
  gate_->release();
  ASSERT_TRUE(testing::waitUntil([&] { return !controller->fetching(); }));
  EXPECT_EQ(controller->sample(), nullptr);
  EXPECT_TRUE(presenter_.screens.empty()) << "no snapshot: nothing shown";
  EXPECT_FALSE(QFileInfo::exists(folder_.filePath("Hollin/health.json"))) << "no snapshot, no record";

  gate_->open();
  controller->didWake();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample() != nullptr; }));
  EXPECT_FALSE(controller->asleep());
}

TEST_F(ControllerTest, ControllerGoneBeforeItsTakeReturnsIsLeftAlone) {
  auto controller = makeController();
  controller->tick();
  ASSERT_TRUE(waitForTakes(1));
  std::thread release([gate = gate_] {
    std::this_thread::sleep_for(50ms);
    gate->release();
  });
  controller.reset();  // waits for the sampling thread; the result then finds nobody
  release.join();
  QCoreApplication::processEvents();
  EXPECT_TRUE(presenter_.screens.empty());
}

TEST_F(ControllerTest, AnalysisUrlOpensTheWindowAtMostEveryTenSecondsAndStartMarksTheFirstLaunch) {
  auto controller = makeController();
  controller->openURLs({"https://example.org", "hollin://elsewhere"});
  EXPECT_EQ(presenter_.shown, 0);
  controller->openURLs({"https://example.org", "hollin://analysis"});
  EXPECT_EQ(presenter_.shown, 1);
  wallNow_ += 5s;
  controller->openURLs({"hollin://analysis"});
  EXPECT_EQ(presenter_.shown, 1);
  wallNow_ += 5s;
  controller->openURLs({"hollin://analysis"});
  EXPECT_EQ(presenter_.shown, 2);

  gate_->open();
  controller->start();
  EXPECT_TRUE(waitForTakes(1));
  EXPECT_EQ(settings_.boolean(hasOpenedKey), true);
  controller->terminate();
  controller->terminate();  // twice is harmless
}

}  // namespace
}  // namespace hollin
