// The early watch in the application: which readers each pass runs, the slow ones on their own
// threads and back through the inbox; the history file on a real file system; the notices and
// their receipts; and a tick that keeps its pace while a backup tool hangs.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <ranges>
#include <semaphore>

#include "ScriptedNotifier.h"
#include "TestSupport.h"
#include "app/AppController.h"
#include "app/early/EarlySubsystem.h"
#include "app/platform/LoggingPresenter.h"
#include "app/platform/QtSettings.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

const WallTime start = WallTime{} + std::chrono::hours(24 * 20000);

// Sources that count their calls; the slow ones can be held until the test lets them go.
struct CountingSources {
  EarlyWatch::Sources sources() {
    return {
        .battery = [this] {
          ++battery;
          return EarlyWatch::BatteryRead{present, present ? std::optional(reading) : std::nullopt};
        },
        .chargeLimit = [] { return ChargeLimit::none; },
        .health = [this] { if (holdHealth) release.acquire(); ++health; return healthRead; },
        .crashes = [this] { ++crashes; return std::optional(crashRecords); },
        .backup = [this] { ++backup; return EarlyWatch::BackupRead{BackupStatus{}, "none", ""}; },
    };
  }
  bool present = true;
  BatteryReading reading{true, false, -1200, 70, 0, {}, {}, {}};  // on power, losing 1.2 A at 70 %
  std::optional<BatteryHealth> healthRead = BatteryHealth{91, "Normal", 300};
  std::vector<CrashRecord> crashRecords;
  std::atomic<bool> holdHealth = false;
  std::binary_semaphore release{0};
  std::atomic<int> battery = 0, health = 0, crashes = 0, backup = 0;
};

class EarlyWatchTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureApplication(); }
  EarlyWatchSnapshot pass(WallTime at) { return watch_.take(50'000'000'000, 500'000'000'000, 100, 40.0, at); }
  // Waits until the background jobs have run `health` and `backup` times in all.
  bool settled(int health, int backup) { return waitUntil([&] { return sources_.health == health && sources_.backup == backup; }); }

  CountingSources sources_;
  EarlyWatch watch_{sources_.sources(), std::nullopt};
};

TEST_F(EarlyWatchTest, SlowJobsAnswerOnePassLaterARunningOneIsNotStartedTwiceAndAFailedHealthReadLastsADay) {
  EarlyWatchSnapshot early = pass(start);
  EXPECT_EQ(std::pair(sources_.battery.load(), sources_.crashes.load()), std::pair(1, 1));
  EXPECT_EQ(early.charger.value, ChargerState::Case::checking);
  EXPECT_FALSE(early.health) << "the health comes through the inbox";
  EXPECT_EQ(early.backupSource, "unchecked");
  ASSERT_TRUE(settled(1, 1));

  early = pass(start + 10s);
  EXPECT_EQ(std::pair(sources_.battery.load(), sources_.crashes.load()), std::pair(1, 1)) << "nothing is due 10 s later";
  EXPECT_EQ(early.health->maximumCapacity, 91);
  EXPECT_EQ(early.backupSource, "none");
  EXPECT_EQ(early.archive->batteryHealth.size(), 1u);
  pass(start + 70s);
  EXPECT_EQ(sources_.battery, 2) << "a minute later the battery is read again";

  sources_.holdHealth = true;
  sources_.healthRead.reset();
  pass(start + 6h + 10s);   // the second read starts and hangs
  pass(start + 12h + 20s);  // due again while it runs: not started, asked again next pass
  sources_.holdHealth = false;
  sources_.release.release();
  ASSERT_TRUE(waitUntil([&] { return sources_.health == 2; }));

  early = pass(start + 12h + 30s);  // the failure arrives; a third read starts
  EXPECT_EQ(early.health->maximumCapacity, 91) << "a failure within a day keeps the last good health";
  ASSERT_TRUE(waitUntil([&] { return sources_.health == 3; }));
  early = pass(start + 24h + 20s);
  EXPECT_FALSE(early.health) << "a day after the last good read the health is unknown";
}

TEST_F(EarlyWatchTest, WithoutABatteryThereIsNoHealthJobAndNoCharger) {
  sources_.present = false;
  const EarlyWatchSnapshot early = pass(start);
  EXPECT_EQ(early.charger.value, ChargerState::Case::unavailable);
  EXPECT_TRUE(settled(0, 1));
}

// The history file through the recorder, on a real file system.
TEST(EarlyHistoryTest, FrequentPointsWaitTenMinutesAndWhatWaitsIsWrittenAtTheEnd) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QString("Hollin/") + EarlyWatchRecorder::fileName);
  // The recent points the file holds now.
  const auto saved = [&] { return earlyArchiveFromJson(testing::readJson(path))->recent.size(); };
  {
    EarlyWatchRecorder recorder(path.toStdString());
    // Recent points added so many minutes in, saved as frequent points are, and how many the
    // file holds after each: the first save is never deferred.
    for (const auto& [minutes, points] : {std::pair{0, 1u}, {2, 1u}, {11, 3u}, {12, 3u}}) {
      const WallTime at = start + std::chrono::minutes(minutes);
      recorder.update(true, at, [at](EarlyWatchArchive& archive) { return archive.recordRecent(1000, std::nullopt, at); });
      EXPECT_EQ(saved(), points) << minutes << " min";
    }
  }
  EXPECT_EQ(saved(), 4u) << "the change still waiting is written when the recorder goes";
}

// The subsystem on its own: the test plays the sampling thread and the controller.
class EarlyNoticeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    subsystem_ = std::make_unique<EarlySubsystem>(testing::inlineServices(notifier_, folder_), sources_.sources());
  }
  // One take at `taken`, evaluated at `now`.
  Snapshot tick(WallTime taken, std::optional<WallTime> now = {}) {
    return testing::tick(*subsystem_, notifier_, taken, now.value_or(taken));
  }
  void evaluate(const Snapshot& snapshot, WallTime now) { testing::evaluate(*subsystem_, notifier_, snapshot, now); }
  // Five applications that crashed three times today (the battery already drains on power).
  void troubles(WallTime now) {
    for (const char* name : {"alpha", "bravo", "charlie", "delta", "echo"})
      for (int i = 1; i <= 3; ++i) sources_.crashRecords.push_back({name, now - std::chrono::minutes(i)});
  }
  std::vector<std::string> posted() const {
    const auto ids = notifier_.posted | std::views::keys;
    return {ids.begin(), ids.end()};
  }

  QTemporaryDir folder_;
  testing::ScriptedNotifier notifier_;
  CountingSources sources_;
  std::unique_ptr<EarlySubsystem> subsystem_;
};

TEST_F(EarlyNoticeTest, AtMostThreeAreToldOnceEachAndAnOldPictureNotAtAll) {
  troubles(start);
  tick(start);
  EXPECT_EQ(posted(), (std::vector<std::string>{"early-crash:alpha", "early-crash:bravo", "early-crash:charlie"}));
  const Snapshot drained = tick(start + 70s, start + 70s + 2min);
  EXPECT_EQ(posted().size(), 3u) << "a picture two minutes old tells nothing";
  evaluate(drained, start + 75s);
  EXPECT_EQ(posted().size(), 6u) << "the charger, then the two crashes not yet told";
  EXPECT_EQ(posted()[3], "early-charger");
  evaluate(drained, start + 80s);
  EXPECT_EQ(posted().size(), 6u) << "the same picture is looked at once";
  tick(start + 85s);
  EXPECT_EQ(posted().size(), 6u) << "every receipt is in the history the next take copied";
}

TEST_F(EarlyNoticeTest, WhileMutedOnlyUrgentWarningsAreToldAndARefusedOneIsToldAgain) {
  troubles(start);
  sources_.reading.percent = 30;  // a drain this low is urgent
  notifier_.muted = start + 1h;
  notifier_.accept = false;
  tick(start);
  tick(start + 70s);
  EXPECT_EQ(posted(), (std::vector<std::string>{"early-charger"}));
  notifier_.accept = true;
  tick(start + 75s);
  tick(start + 80s);
  EXPECT_EQ(posted(), (std::vector<std::string>{"early-charger", "early-charger"}))
      << "refused, it had no receipt; accepted, it has";
}

// The real controller with the early watch alone, ticking every 200 ms while the backup job runs
// a tool that never ends and is stopped only at the runner's time limit.
TEST(EarlyTickTest, ABackupToolThatHangsForItsWholeTimeLimitLeavesTheTickOnTime) {
  testing::ensureApplication();
  QTemporaryDir home;
  CountingSources counting;
  std::atomic<bool> hung = false;
  EarlyWatch::Sources sources = counting.sources();
  sources.backup = [&hung] {
    EarlyWatch::run("/bin/sleep", {"600"});
    hung = true;
    return EarlyWatch::BackupRead{BackupStatus{}, "none", ""};
  };
  LoggingPresenter presenter([](const std::string&) {});
  QtSettings settings(home.filePath("settings.ini"));
  const auto wallNow = [] { return std::chrono::system_clock::now(); };
  const auto take = [wallNow](std::span<const std::shared_ptr<SnapshotReader>> readers) {
    Snapshot snapshot;
    for (const auto& reader : readers) reader->read(snapshot, {1, wallNow(), false});
    return snapshot;
  };
  AppController controller({.take = take, .uptime = [] { return 1.0; }, .wallNow = wallNow,
                            .consoleUID = [] { return unknownUID; }, .scope = {}, .dataFolder = {},
                            .widgetFolder = {}, .tickInterval = 200ms, .log = {}},
                           presenter, settings);
  controller.add(std::make_unique<EarlySubsystem>(controller.services(nullptr), sources));

  std::vector<qint64> applied;
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&controller, &AppController::sampleApplied, [&] { applied.push_back(clock.elapsed()); });
  controller.start();
  ASSERT_TRUE(waitUntil([&] { return hung.load(); }, 30s));
  const auto hangEnded = clock.elapsed();
  EXPECT_GT(hangEnded, (EarlyWatch::toolOutputSeconds - 1) * 1000) << "the tool ran to its limit";
  qint64 longest = 0;
  for (std::size_t i = 1; i < applied.size(); ++i) longest = std::max(longest, applied[i] - applied[i - 1]);
  EXPECT_LT(longest, 2000) << "no tick waited for the tool (which hangs for 17 s)";
  EXPECT_GT(applied.size(), static_cast<std::size_t>(hangEnded / 400)) << "the ticks kept their pace";
}

}  // namespace
}  // namespace hollin
