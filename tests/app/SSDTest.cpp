// The SSD history file on a real file system, and the SSD subsystem's reading, notice and
// receipt flow from the sampling thread's reader to the notifier and back.
#include <gtest/gtest.h>

#include <filesystem>

#include "ScriptedNotifier.h"
#include "TestSupport.h"
#include "app/ssd/SSDSubsystem.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const WallTime start = WallTime{} + std::chrono::hours(24 * 20000);

SSDHealth healthy(const std::function<void(SSDHealth&)>& change = {}) {
  SSDHealth health{0, 100, 10, 0, {}, {}, {5'000'000, 0}, {}, 40.0};
  if (change) change(health);
  return health;
}

class SSDHistoryFileTest : public ::testing::Test {
 protected:
  std::string path() const { return folder_.path().toStdString() + "/Hollin/" + SSDHealthRecorder::fileName; }
  QTemporaryDir folder_;
};

TEST_F(SSDHistoryFileTest, AFileItCannotTrustIsLeftByteForByteAndNeverOverwrittenALinkNeverFollowed) {
  // A link in the place of the file is not followed: what it leads to stays as it is.
  const std::string elsewhere = folder_.path().toStdString() + "/elsewhere.json", empty = R"({"schema":1})";
  std::ofstream(elsewhere) << empty;
  fs::create_directories(fs::path(path()).parent_path());
  for (const std::string& planted : {std::string(2 << 20, ' '), std::string("{\"schema\":1,"), std::string()}) {
    std::ofstream(path(), std::ios::binary) << planted;
    if (planted.empty()) {
      fs::remove(path());
      fs::create_symlink(elsewhere, path());
    }
    SSDHealthRecorder recorder(path());
    EXPECT_FALSE(recorder.persistenceOK());
    recorder.observe(healthy(), start);
    recorder.accepted(healthy([](SSDHealth& h) { h.wear = 95; }).issues("ja"), start);
    EXPECT_EQ(recorder.archive()->history.size(), 1u) << "the run starts empty and keeps watching from memory";
    EXPECT_FALSE(recorder.persistenceOK());
    EXPECT_TRUE(testing::contents(path()) == (planted.empty() ? empty : planted)) << planted.substr(0, 40);
  }
  EXPECT_TRUE(fs::is_symlink(path()));
  fs::remove(path());
  fs::create_directory(path());
  EXPECT_FALSE(SSDHealthRecorder(path()).persistenceOK()) << "a folder is not read";
}

TEST_F(SSDHistoryFileTest, AFailedSaveIsSaidAndTriedAgainAtTheNextChangeAndReceiptsOutlastTheRun) {
  // The history's folder cannot be made while a file stands in its place.
  std::ofstream(folder_.path().toStdString() + "/Hollin") << "in the way";
  {
    SSDHealthRecorder recorder(path());
    EXPECT_TRUE(recorder.persistenceOK()) << "nothing to load is no failure";
    recorder.observe(healthy(), start);
    EXPECT_FALSE(recorder.persistenceOK());
    EXPECT_EQ(recorder.archive()->history.size(), 1u);
    fs::remove(folder_.path().toStdString() + "/Hollin");
    const SSDHealth worn = healthy([](SSDHealth& h) { h.wear = 85; });
    recorder.observe(worn, start + 10min);
    EXPECT_TRUE(recorder.persistenceOK());
    const ino_t saved = testing::fileStatus(path()).st_ino;
    recorder.observe(worn, start + 20min);
    EXPECT_EQ(testing::fileStatus(path()).st_ino, saved) << "an unchanged reading is not written";
    recorder.accepted(worn.issues("ja"), start + 20min);
  }
  SSDHealthRecorder again(path());
  EXPECT_TRUE(again.persistenceOK());
  EXPECT_EQ(again.archive()->receipts.at("wear").signature, "80") << "a notice given is not repeated at launch";
  EXPECT_EQ(again.archive()->events.size(), 2u) << "the unsaved first reading is written with the next";
}

// The subsystem on its own: the test plays the sampling thread (the reader runs inline) and the
// controller (it hands each snapshot to evaluate).
class SSDNoticeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    SSDSources sources{[this] { return reading_; }, [this] { return sensor_; }};
    subsystem_ = std::make_unique<SSDSubsystem>(testing::inlineServices(notifier_, folder_), sources);
  }
  // One take at `when` (a slow one reads the drive) and its evaluation.
  Snapshot tick(WallTime when, bool slow) { return testing::tick(*subsystem_, notifier_, when, when, slow, console_); }

  QTemporaryDir folder_;
  testing::ScriptedNotifier notifier_;
  std::unique_ptr<SSDSubsystem> subsystem_;
  std::optional<SSDHealth> reading_ = healthy([](SSDHealth& h) { h.mediaErrors = {3, 0}; });
  std::optional<double> sensor_ = 37;
  std::uint32_t console_ = 1000;
};

TEST_F(SSDNoticeTest, AFreshDueIssueIsPostedForThisConsoleUntilAcceptedAndThenLeavesAReceipt) {
  console_ = 1001;
  tick(start, true);
  console_ = 1000;
  tick(start + 2min, false);
  EXPECT_TRUE(notifier_.posted.empty()) << "another console's, then two minutes old";
  notifier_.accept = false;
  Snapshot snapshot = tick(start + 3min, true);
  EXPECT_EQ(notifier_.posted, (std::vector<std::pair<std::string, bool>>{{"ssd-health", true}}));
  snapshot = tick(start + 3min + 5s, false);
  EXPECT_EQ(notifier_.posted.size(), 1u) << "the same reading is handled once";
  EXPECT_TRUE(snapshot.ssdArchive->receipts.empty()) << "a refused notice leaves no receipt";
  notifier_.accept = true;
  tick(start + 4min, true);
  snapshot = tick(start + 4min + 5s, false);
  EXPECT_EQ(notifier_.posted.size(), 2u) << "the next reading tries again";
  // The receipt is in the history the notice is judged by; how long it holds a repeat is read in
  // SSDHealthHistory.
  EXPECT_EQ(snapshot.ssdArchive->receipts.at("media").signature, "0:3");
}

TEST_F(SSDNoticeTest, TheSensorStandsInOnlyWhenTheLogCannotBeRead) {
  Snapshot snapshot = tick(start, true);
  EXPECT_EQ(snapshot.ssdCelsius, 40) << "the log's own temperature";
  reading_.reset();
  snapshot = tick(start + 1min, true);
  EXPECT_FALSE(snapshot.ssdHealth);
  EXPECT_EQ(snapshot.ssdCelsius, 37);
  EXPECT_EQ(snapshot.ssdMeasuredAt, start + 1min);
  sensor_.reset();
  snapshot = tick(start + 2min, true);
  EXPECT_FALSE(snapshot.ssdCelsius || snapshot.ssdMeasuredAt);
  snapshot = tick(start + 2min + 5s, false);
  EXPECT_EQ(snapshot.ssdCheckedAt, start + 2min) << "between slow reads the last one is reused";
}

}  // namespace
}  // namespace hollin
