// The controller with the real subsystems, a take the test releases by hand and a presenter
// that keeps what it was shown.
#include "app/AppController.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSignalSpy>

#include <atomic>
#include <semaphore>
#include <thread>

#include "app/accounts/AccountsSubsystem.h"
#include "app/memory/MemorySubsystem.h"
#include "app/notify/NotificationsSubsystem.h"
#include "app/response/ResponseSubsystem.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

struct RecordingPresenter final : Presenter {
  void display(const Screen& screen) override { screens.push_back(screen); }
  void showAnalysis() override { ++shown; }
  void showDocument(const std::string&, const DocumentView&) override {}
  std::vector<Screen> screens;
  int shown = 0;
};

// A take the test lets through by hand, so it can be "still running" for as long as a case needs.
struct GatedTake {
  Snapshot operator()(std::span<const std::shared_ptr<SnapshotReader>> readers) {
    ++started;
    permits.acquire();
    Snapshot snapshot = next;
    for (const auto& reader : readers) reader->read(snapshot, {snapshot.uptime, {}, false});
    return snapshot;
  }
  void open() { permits.release(1000); }  // every take from now on returns at once
  std::counting_semaphore<1 << 20> permits{0};
  std::atomic<int> started = 0;
  Snapshot next;  // set before the take starts
};

// Writes down the hooks it sees in order, adds a figure to every take and a fact to every moment.
struct ProbeSubsystem final : Subsystem {
  struct Reader final : SnapshotReader {
    void read(Snapshot& snapshot, const TakeMoment&) override {
      onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
      snapshot.ssdCelsius = 41;
    }
    std::atomic<bool> onMainThread = true;
  };
  std::shared_ptr<SnapshotReader> reader() override { return reader_; }
  void tickStarting(const Moment& moment) override { note("tick", moment); }
  void evaluate(const Moment& moment) override { note("evaluate", moment); }
  void contribute(Moment& moment) override { note("contribute", moment); moment.accessibilityTrusted = true; }
  void present(Screen&, const Moment& moment) override { note("present", moment); }
  // The hook, and whether the moment it was handed already held the facts of contribute.
  void note(const std::string& hook, const Moment& moment) { hooks.push_back(moment.accessibilityTrusted ? hook + "+" : hook); }
  // The reader's figure, under any key of the record.
  void record(json& out, const Moment& moment) const override { out["thermalState"] = moment.snapshot->ssdCelsius.value_or(0); }
  std::shared_ptr<Reader> reader_ = std::make_shared<Reader>();
  std::vector<std::string> hooks;
};

class ControllerTest : public ::testing::Test {
 protected:
  // Each case sets the kernel's level it needs.
  void SetUp() override { testing::ensureApplication(); gate_->next.uptime = 100, gate_->next.system.pressure_valid = 1; }
  void TearDown() override { gate_->open(); }  // no take may stay blocked after the test

  // The controller with the registration's subsystems; its takes wait for the gate when `held`.
  std::unique_ptr<AppController> makeController(bool held = false) {
    if (!held) gate_->open();
    const auto log = [this](const std::string& line) {
      if (line.starts_with("notice ")) notices_.push_back(line.substr(7, line.find(':') - 7));
      else diagnostics_.push_back(line);
    };
    // An hour between ticks: the tests tick by hand.
    auto controller = std::make_unique<AppController>(
        ControllerEnvironment{.take = [gate = gate_](auto readers) { return (*gate)(readers); },
                              .uptime = [this] { return uptime_; }, .wallNow = [this] { return wallNow_; },
                              .consoleUID = [this] { return consoleUID_; }, .uid = 1000, .scope = {},
                              .dataFolder = folder_.filePath("Hollin").toStdString(), .widgetFolder = {},
                              .tickInterval = 1h, .log = log},
        presenter_, settings_);
    // Kept hold of, the memory watch can be sent pressure events.
    const Services services = controller->services(nullptr);
    auto memory = std::make_unique<MemorySubsystem>(services, false);
    memory_ = memory.get();
    controller->add(std::make_unique<NotificationsSubsystem>(services));
    controller->add(std::move(memory));
    controller->add(std::make_unique<ResponseSubsystem>(services, ResponseSources{}));
    controller->add(std::make_unique<AccountsSubsystem>(services));
    return controller;
  }
  void tickAt(AppController& controller, double now) {
    uptime_ = gate_->next.uptime = now;
    QSignalSpy applied(&controller, &AppController::sampleApplied);
    controller.tick();
    ASSERT_TRUE(testing::waitUntil([&] { return !applied.isEmpty(); }));
  }
  bool waitForTakes(int count) { return testing::waitUntil([&] { return gate_->started >= count; }); }
  json health() const { return testing::readJson(folder_.filePath("Hollin/health.json")); }

  std::shared_ptr<GatedTake> gate_ = std::make_shared<GatedTake>();
  double uptime_ = 100;
  WallTime wallNow_ = WallTime{} + std::chrono::hours(500000);
  std::uint32_t consoleUID_ = 1000;
  QTemporaryDir folder_;
  MemorySettings settings_;
  RecordingPresenter presenter_;
  MemorySubsystem* memory_ = nullptr;
  std::vector<std::string> notices_;  // the identifiers of the notices posted, in order
  std::vector<std::string> diagnostics_;  // every other line of the log
};

TEST_F(ControllerTest, LevelFollowsTheSamplesACriticalEventBetweenTicksAndTheSleep) {
  auto controller = makeController();
  gate_->next.system.pressure = 1;
  tickAt(*controller, 100);
  uptime_ = 102;
  memory_->pressureEvent(Pressure::critical);
  EXPECT_EQ(notices_, (std::vector<std::string>{"memory-critical"})) << "posted between ticks";
  EXPECT_EQ(presenter_.screens.back().status.colour, StatusColour::red) << "shown between ticks";
  EXPECT_EQ(health()["statusMenuTitle"], presenter_.screens.back().status.title) << "the record takes the decided texts";

  gate_->next.system.pressure = 2;
  for (double now = 105; now <= 115; now += 5) tickAt(*controller, now);
  ASSERT_EQ(health()["menuBarLevel"], "orange");
  // Asleep: nothing fresh to show; awake again, orange needs the whole delay anew.
  uptime_ = 116;
  controller->willSleep();
  EXPECT_EQ(health()["menuBarLevel"], "unavailable");
  uptime_ = gate_->next.uptime = 118;
  controller->didWake();
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample()->uptime == 118; }));
  EXPECT_EQ(health()["menuBarLevel"], "yellow");
}

TEST_F(ControllerTest, AnotherAccountAtTheConsoleRestartsTheNoticeEpisode) {
  auto controller = makeController();
  gate_->next.system.pressure = 2;  // warning all along
  consoleUID_ = 1001;
  for (double now = 100; now <= 120; now += 5) tickAt(*controller, now);
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(health()["menuBarLevel"], "orange") << "the level still follows";
  consoleUID_ = 1000;  // back at the console: the 10 s hold starts now
  for (double now = 125; now <= 130; now += 5) tickAt(*controller, now);
  EXPECT_TRUE(notices_.empty());
  tickAt(*controller, 135);
  EXPECT_EQ(notices_, (std::vector<std::string>{"memory-warning"}));
}

TEST_F(ControllerTest, SubsystemsAreWalkedInTickOrderOnTheSamplingThreadAndTrackersCarryFromTickToTick) {
  auto controller = makeController();
  auto probe = std::make_unique<ProbeSubsystem>();
  ProbeSubsystem* seen = probe.get();
  controller->add(std::move(probe));
  auto& system = gate_->next.system;
  system.cpu_valid = system.disk_valid = system.pressure = 1;
  system.cpu_busy = 100, system.cpu_idle = 300;
  system.disk_available = 9'000'000'000, system.disk_total = 100'000'000'000;
  tickAt(*controller, 100);
  EXPECT_EQ(health()["menuBarLevel"], "red");
  EXPECT_TRUE(health()["cpuUsageFraction"].is_null()) << "measuring from the first tick";

  system.cpu_busy = 150, system.cpu_idle = 450;
  system.disk_available = 10'500'000'000;  // under the raised threshold: stays red
  tickAt(*controller, 105);
  const json record = health();
  EXPECT_EQ(record["menuBarLevel"], "red");
  EXPECT_EQ(record["cpuUsageFraction"], 0.25);
  // Policies judge before the facts are in (the response watch, ahead of the probe, asks for
  // them for its finished check, whose report the accounts then publish, and for its hang
  // notices); the render and the record of one snapshot share one moment.
  EXPECT_EQ(seen->hooks, (std::vector<std::string>{"tick", "contribute", "contribute", "evaluate", "contribute", "present+",
                                                    "tick", "contribute", "contribute", "evaluate", "contribute", "present+"}));
  EXPECT_FALSE(seen->reader_->onMainThread);
  EXPECT_EQ(record["thermalState"], 41) << "the reader's figure, in the subsystem's own key";
}

TEST_F(ControllerTest, ATakeRunningIsNotRepeatedAndItsSnapshotIsDroppedAsleepOrWithTheControllerGone) {
  auto controller = makeController(true);
  controller->tick();
  ASSERT_TRUE(waitForTakes(1));
  controller->tick();
  QThread::msleep(50);
  EXPECT_EQ(gate_->started, 1);
  EXPECT_TRUE(controller->fetching());

  controller->willSleep();
  gate_->permits.release();
  ASSERT_TRUE(testing::waitUntil([&] { return !controller->fetching(); }));
  EXPECT_EQ(controller->sample(), nullptr);
  EXPECT_TRUE(presenter_.screens.empty()) << "no snapshot: nothing shown";
  EXPECT_FALSE(QFileInfo::exists(folder_.filePath("Hollin/health.json"))) << "no snapshot, no record";
  gate_->permits.release();
  controller->didWake();  // with the take done, waking samples again at once
  ASSERT_TRUE(testing::waitUntil([&] { return controller->sample() != nullptr; }));
  EXPECT_EQ(gate_->started, 2);

  controller->tick();
  ASSERT_TRUE(waitForTakes(3));
  const std::size_t shown = presenter_.screens.size();
  std::thread release([gate = gate_] { std::this_thread::sleep_for(50ms); gate->permits.release(); });
  controller.reset();  // waits for the sampling thread; the result then finds nobody
  release.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(presenter_.screens.size(), shown);
}

TEST_F(ControllerTest, AnalysisUrlOpensTheWindowAtMostEveryTenSeconds) {
  auto controller = makeController();
  // URLs opened 5 s apart, and how often the window has come forward after each.
  const std::pair<QStringList, int> opens[] = {{{"https://example.org", "hollin://elsewhere"}, 0},
                                               {{"https://example.org", "hollin://analysis"}, 1},
                                               {{"hollin://analysis"}, 1}, {{"hollin://analysis"}, 2}};
  for (const auto& [urls, shown] : opens) {
    controller->openURLs(urls);
    EXPECT_EQ(presenter_.shown, shown) << urls.join(' ').toStdString();
    wallNow_ += 5s;
  }
}

TEST_F(ControllerTest, StartClearsOldTemporariesAndRecordWritesLogWhenTheyFailAndRecover) {
  const QString folder = folder_.filePath("Hollin");
  QDir().mkpath(folder + "/health.json");  // a folder where the record should go
  QFile(folder + "/health.json.Xa3k9Q").open(QIODevice::WriteOnly);  // from a write killed at the rename
  auto controller = makeController();
  controller->start();
  EXPECT_FALSE(QFile::exists(folder + "/health.json.Xa3k9Q"));
  EXPECT_TRUE(waitForTakes(1)) << "start samples at once";
  for (double now : {105.0, 110.0, 115.0}) tickAt(*controller, now);
  ASSERT_EQ(diagnostics_.size(), 1u) << "one line for a lasting failure";
  EXPECT_TRUE(diagnostics_[0].starts_with("cannot write " + folder.toStdString() + "/health.json: Is a directory"));

  QDir(folder + "/health.json").removeRecursively();
  for (double now : {120.0, 125.0}) tickAt(*controller, now);
  EXPECT_EQ(diagnostics_.size(), 2u);
  EXPECT_EQ(diagnostics_.back(), "writing " + folder.toStdString() + "/health.json works again");
  EXPECT_TRUE(health().is_object());
  controller->terminate();
  controller->terminate();  // twice is harmless
}

}  // namespace
}  // namespace hollin
