#include "app/AppController.h"

#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/platform/QtSettings.h"
#include "core/Json.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

class RecordingPresenter final : public Presenter {
 public:
  void render(const ViewState& state) override {
    ++renders;
    last = state;
  }
  void showAnalysis() override { ++shown; }
  int renders = 0, shown = 0;
  ViewState last;
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
    Snapshot snapshot = next;
    return snapshot;
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
    environment.take = [gate = gate_] { return (*gate)(); };
    environment.uptime = [this] { return uptime_; };
    environment.wallNow = [this] { return wallNow_; };
    environment.consoleUID = [this] { return consoleUID_; };
    environment.uid = 1000;
    environment.dataFolder = folder_.filePath("Hollin").toStdString();
    environment.tickInterval = 1h;  // the tests tick by hand
    environment.log = [this](const std::string& line) { log_.push_back(line); };
    return std::make_unique<AppController>(std::move(environment), presenter_, nullptr, settings_);
  }
  bool waitForTakes(int count) { return testing::waitUntil([&] { return gate_->started() >= count; }); }
  std::string healthPath() const { return folder_.filePath("Hollin/health.json").toStdString(); }
  Json health() const {
    QFile file(QString::fromStdString(healthPath()));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    return Json::parse(file.readAll().toStdString());
  }

  std::shared_ptr<GatedTake> gate_ = std::make_shared<GatedTake>();
  double uptime_ = 100;
  WallTime wallNow_ = WallTime{} + std::chrono::hours(500000);
  std::uint32_t consoleUID_ = 1000;
  QTemporaryDir folder_;
  MemorySettings settings_;
  RecordingPresenter presenter_;
  std::vector<std::string> log_;
};

// Ticks once with the gate open and waits until the snapshot is applied.
void tickAndWait(AppController& controller) {
  bool applied = false;
  auto connection = QObject::connect(&controller, &AppController::sampleApplied, [&] { applied = true; });
  controller.tick();
  testing::waitUntil([&] { return applied; });
  QObject::disconnect(connection);
}

void setKernelPressure(Snapshot& snapshot, std::int32_t level) {
  snapshot.system.pressure = level;
  snapshot.system.pressure_valid = 1;
}

std::vector<std::string> notices(const std::vector<std::string>& log) {
  std::vector<std::string> found;
  for (const auto& line : log)
    if (line.rfind("notice ", 0) == 0) found.push_back(line.substr(7, line.find(':') - 7));
  return found;
}

TEST_F(ControllerTest, LevelFollowsTheSamplesAndACriticalEventBetweenTicks) {
  gate_->open();
  auto controller = makeController();
  setKernelPressure(gate_->next, 1);
  tickAndWait(*controller);
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::green);
  EXPECT_EQ(presenter_.last.status.colour, StatusColour::green);

  uptime_ = 102;
  controller->pressureEvent(PressureEventLevel::critical);
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::red);
  EXPECT_EQ(notices(log_), (std::vector<std::string>{"memory-critical"})) << "posted between ticks";
  EXPECT_EQ(health()["menuBarLevel"], "red");

  // Asleep: nothing fresh to show; awake again the windows start empty.
  controller->willSleep();
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::unavailable);
  uptime_ = 600;
  gate_->next.uptime = 600;
  gate_->next.system.pressure = 2;  // warning
  controller->didWake();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample()->uptime == 600; }));
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::yellow) << "orange needs the delay anew";
}

TEST_F(ControllerTest, AnotherAccountAtTheConsoleRestartsTheNoticeEpisode) {
  gate_->open();
  auto controller = makeController();
  setKernelPressure(gate_->next, 2);  // warning all along
  auto tickAt = [&](double now) {
    uptime_ = now;
    gate_->next.uptime = now;
    tickAndWait(*controller);
  };
  consoleUID_ = 1001;
  for (double now = 100; now <= 120; now += 5) tickAt(now);
  EXPECT_TRUE(notices(log_).empty());
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::orange) << "the menu bar still follows";

  consoleUID_ = 1000;  // back at the console: the 10 s hold starts now
  tickAt(125);
  tickAt(130);
  EXPECT_TRUE(notices(log_).empty());
  tickAt(135);
  EXPECT_EQ(notices(log_), (std::vector<std::string>{"memory-warning"}));
}

TEST_F(ControllerTest, TrackersAndDiskOverrideReachTheViews) {
  gate_->open();
  auto controller = makeController();
  gate_->next.system.cpu_valid = 1;
  gate_->next.system.cpu_busy = 100;
  gate_->next.system.cpu_idle = 300;
  gate_->next.system.disk_valid = 1;
  gate_->next.system.disk_available = 9'000'000'000;
  setKernelPressure(gate_->next, 1);
  tickAndWait(*controller);
  EXPECT_EQ(controller->cpuFraction(), std::nullopt) << "first tick";
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::red);
  EXPECT_TRUE(presenter_.last.diskDangerShown);

  uptime_ = gate_->next.uptime = 105;
  gate_->next.system.cpu_busy = 150;
  gate_->next.system.cpu_idle = 450;
  gate_->next.system.disk_available = 10'500'000'000;  // under the raised threshold: stays red
  tickAndWait(*controller);
  EXPECT_DOUBLE_EQ(*presenter_.last.cpuFraction, 0.25);
  EXPECT_EQ(controller->displayedLevel(), MenuBarLevel::red);
}

TEST_F(ControllerTest, ChoosingTheAppsTabAgainTogglesItsSort) {
  auto controller = makeController();
  controller->selectTab(AnalysisTab::apps);
  EXPECT_TRUE(presenter_.last.sortedByName);
  controller->selectTab(AnalysisTab::users);
  controller->selectTab(AnalysisTab::apps);
  EXPECT_FALSE(presenter_.last.sortedByName) << "arriving from another tab starts in memory order";
  EXPECT_EQ(presenter_.last.selectedTab, AnalysisTab::apps);
}

TEST_F(ControllerTest, TickDuringATakeRendersWithoutASecondTake) {
  auto controller = makeController();
  controller->tick();
  ASSERT_TRUE(waitForTakes(1));
  EXPECT_TRUE(controller->fetching());
  int renders = presenter_.renders;
  controller->tick();
  controller->tick();
  EXPECT_EQ(presenter_.renders, renders + 2);
  QThread::msleep(50);
  EXPECT_EQ(gate_->started(), 1);

  gate_->release();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample() != nullptr; }));
  EXPECT_FALSE(controller->fetching());
  controller->tick();  // with the take done, the next tick samples again
  EXPECT_TRUE(waitForTakes(2));
  gate_->open();
}

TEST_F(ControllerTest, SnapshotArrivingWhileAsleepIsDroppedAndWakeTicksAtOnce) {
  auto controller = makeController();
  controller->tick();
  ASSERT_TRUE(waitForTakes(1));
  controller->willSleep();
  gate_->release();
  ASSERT_TRUE(testing::waitUntil([&] { return !controller->fetching(); }));
  EXPECT_EQ(controller->sample(), nullptr);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(healthPath()))) << "no snapshot, no record";

  controller->tick();  // asleep: renders only
  QThread::msleep(50);
  EXPECT_EQ(gate_->started(), 1);

  gate_->open();
  controller->didWake();
  ASSERT_TRUE(waitForTakes(2));
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
  EXPECT_EQ(presenter_.renders, 0);
}

TEST_F(ControllerTest, AnalysisUrlOpensTheWindowAtMostEveryTenSeconds) {
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
}

TEST_F(ControllerTest, HealthRecordAfterEachSnapshotAndPressureEvent) {
  gate_->open();
  auto controller = makeController();
  controller->tick();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample() != nullptr; }));
  Json record = health();
  ASSERT_TRUE(record.is_object());
  EXPECT_EQ(record["physicalBytes"], 8ull << 30);
  EXPECT_EQ(record["pressure"], -1);
  EXPECT_EQ(record["menuBarLevel"], "unavailable");
  EXPECT_EQ(QFileInfo(QString::fromStdString(healthPath())).permissions() & 0x0077, 0);

  // The kernel level of the snapshot is unreadable, so the last event's pressure stands.
  uptime_ = 102;
  controller->pressureEvent(PressureEventLevel::critical);
  EXPECT_EQ(controller->eventPressure(), Pressure::critical);
  EXPECT_EQ(health()["pressure"], 2);
  EXPECT_EQ(health()["sampleAgeSeconds"], 2.0);
}

TEST_F(ControllerTest, StartTicksAtOnceAndMarksTheFirstLaunch) {
  gate_->open();
  auto controller = makeController();
  controller->start();
  EXPECT_TRUE(waitForTakes(1));
  EXPECT_EQ(settings_.boolean(hasOpenedKey), true);
  controller->terminate();
  controller->terminate();  // twice is harmless
}

}  // namespace
}  // namespace hollin
