#include "app/platform/PressureEventSource.h"
#include "app/platform/AtomicFile.h"

#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace hollin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(PressureTriggers, LevelStepsDownOnlyAfterTheQuietPeriod) {
  const auto t = Clock::time_point{} + 100s;
  struct Row {
    const char* name;
    TriggerTimes fired;
    Clock::time_point now;
    PressureEventLevel expected;
  } rows[] = {
      {"nothing fired is normal", {}, t, PressureEventLevel::normal},
      {"warning just fired", {t, {}}, t, PressureEventLevel::warning},
      {"warning 9.9 s ago still holds", {t, {}}, t + 9900ms, PressureEventLevel::warning},
      {"warning 10 s ago has passed", {t, {}}, t + 10s, PressureEventLevel::normal},
      {"critical outranks a newer warning", {t + 5s, t}, t + 6s, PressureEventLevel::critical},
      {"quiet critical steps down to a recent warning", {t + 5s, t}, t + 11s, PressureEventLevel::warning},
      {"both quiet is normal", {t, t}, t + 20s, PressureEventLevel::normal},
  };
  for (const auto& row : rows) EXPECT_EQ(levelFromTriggers(row.fired, row.now, 10s), row.expected) << row.name;
}

// A fake /proc with a pressure file and meminfo that the test rewrites.
class FakeProc {
 public:
  FakeProc() { QDir(folder_.path()).mkpath("proc/pressure"); }
  std::string root() const { return folder_.path().toStdString(); }
  void write(double someAvg10, double fullAvg10, const char* available = "5000000") {
    auto line = [](const char* kind, double avg10) {
      return std::string(kind) + " avg10=" + std::to_string(avg10) + " avg60=0.00 avg300=0.00 total=1\n";
    };
    writeFileAtomically(root() + "/proc/pressure/memory", line("some", someAvg10) + line("full", fullAvg10));
    writeFileAtomically(root() + "/proc/meminfo", std::string("MemTotal: 16000000 kB\nMemAvailable: ") + available +
                                                      " kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n");
  }

 private:
  QTemporaryDir folder_;
};

TEST(PressureEventSource, FallsBackToPollingAndReportsOnlyChanges) {
  testing::ensureApplication();
  FakeProc proc;
  proc.write(0, 0);
  PressureEventSource source({proc.root(), 20ms, 10s});
  std::vector<PressureEventLevel> events;
  QObject::connect(&source, &PressureEventSource::pressureEvent, [&](PressureEventLevel level) {
    EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
    events.push_back(level);
  });
  // A regular file takes a trigger write but never wakes anyone: it must not count as triggers.
  ASSERT_EQ(source.start(), PressureSourceMode::polling);
  EXPECT_STREQ(modeName(source.mode()), "psi-polling");

  QThread::msleep(100);  // several polls at normal: the baseline raises nothing
  QCoreApplication::processEvents();
  EXPECT_TRUE(events.empty());

  proc.write(30, 25);  // 25 % full stall with little memory left
  ASSERT_TRUE(testing::waitUntil([&] { return events.size() == 1; }));
  proc.write(15, 1);
  ASSERT_TRUE(testing::waitUntil([&] { return events.size() == 2; }));
  // An unreadable file keeps the last level rather than reading as no pressure.
  QFile::remove(QString::fromStdString(proc.root() + "/proc/pressure/memory"));
  QThread::msleep(100);
  QCoreApplication::processEvents();
  proc.write(0, 0);
  ASSERT_TRUE(testing::waitUntil([&] { return events.size() == 3; }));
  EXPECT_EQ(events, (std::vector{PressureEventLevel::critical, PressureEventLevel::warning, PressureEventLevel::normal}));
  source.stop();
}

TEST(PressureEventSource, NoPressureFileMeansNoSource) {
  FakeProc proc;  // proc/pressure exists but holds nothing
  PressureEventSource source({proc.root(), 20ms, 10s});
  EXPECT_EQ(source.start(), PressureSourceMode::none);
  EXPECT_STREQ(modeName(source.mode()), "none");
  // A garbled pressure file is no source either.
  writeFileAtomically(proc.root() + "/proc/pressure/memory", "garbage\n");
  PressureEventSource garbled({proc.root(), 20ms, 10s});
  EXPECT_EQ(garbled.start(), PressureSourceMode::none);
}

TEST(PressureEventSource, DestroyedWhileEventsArePendingDeliversNothing) {
  testing::ensureApplication();
  FakeProc proc;
  proc.write(30, 25);
  int delivered = 0;
  {
    PressureEventSource source({proc.root(), 1ms, 10s});
    QObject::connect(&source, &PressureEventSource::pressureEvent, [&] { ++delivered; });
    source.start();
    QThread::msleep(50);  // the event is posted but the loop has not run
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(delivered, 0);
}

// Whether this kernel takes an unprivileged-style trigger from us, asked directly.
bool kernelTakesTriggers() {
  int fd = ::open("/proc/pressure/memory", O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const char trigger[] = "some 500000 2000000";
  bool taken = ::write(fd, trigger, sizeof trigger) > 0;
  ::close(fd);
  return taken;
}

TEST(PressureEventSource, LiveKernelUsesTriggersWhenTheyAreTaken) {
  if (!QFile::exists("/proc/pressure/memory")) GTEST_SKIP() << "this kernel has no PSI";
  PressureEventSource source({"/", 2000ms, 10s});
  auto expected = kernelTakesTriggers() ? PressureSourceMode::triggers : PressureSourceMode::polling;
  EXPECT_EQ(source.start(), expected);
  auto before = Clock::now();
  source.stop();  // the event thread waits in poll() with no timeout: stop must still be prompt
  EXPECT_LT(Clock::now() - before, 500ms);
  EXPECT_EQ(source.start(), expected) << "a stopped source starts again the same way";
}

}  // namespace
}  // namespace hollin
