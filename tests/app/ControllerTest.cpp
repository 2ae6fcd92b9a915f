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
};

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
  EXPECT_EQ(controller->eventPressure(), 2);
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
