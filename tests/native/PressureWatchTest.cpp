// The memory-pressure watch: how trigger firings become a level, the triggers it arms, and the
// polling fallback over a fake /proc.
#include "FixtureTree.h"
#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <memory>
#include <thread>

using namespace hollin::native;
using namespace std::chrono_literals;
using hollin::native::test::FixtureTree;

namespace {

// A /proc of regular files: they take a trigger's write but never wake anyone. 31 % of the
// memory is available, so the stalls alone decide the level.
void writeStall(const FixtureTree& proc, double someAvg10, double fullAvg10) {
  proc.write("proc/meminfo", "MemTotal: 16000000 kB\nMemAvailable: 5000000 kB\n");
  proc.write("proc/pressure/memory", "some avg10=" + std::to_string(someAvg10) + " avg60=0.00 total=1\nfull avg10=" +
                                         std::to_string(fullAvg10) + " avg60=0.00 total=1\n");
}

// next() on a thread of its own that shares the watch: a wait that never ends holds up neither
// the test nor the end of the watch.
std::future<std::int32_t> nextInBackground(std::shared_ptr<PressureWatch> watch) {
  std::promise<std::int32_t> level;
  auto future = level.get_future();
  std::thread([watch, level = std::move(level)]() mutable { level.set_value(watch->next()); }).detach();
  return future;
}

std::int32_t within5s(auto& next) { return next.wait_for(5s) == std::future_status::ready ? next.get() : -1; }

}  // namespace

TEST(PressureWatch, TriggerLevelsStepDownOnlyAfterTheQuietPeriod) {
  const auto t = PressureWatch::Clock::time_point{} + 100s;
  struct Row { const char* name; PressureWatch::Fired fired; decltype(t) now; std::int32_t level; };
  const Row rows[] = {  // fired: {warning, critical}
      {"nothing fired is normal", {}, t, 1}, {"warning just fired", {t, {}}, t, 2},
      {"warning 9.9 s ago still holds", {t, {}}, t + 9900ms, 2}, {"warning 10 s ago has passed", {t, {}}, t + 10s, 1},
      {"critical outranks a newer warning", {t + 5s, t}, t + 6s, 4},
      {"quiet critical steps down to a recent warning", {t + 5s, t}, t + 11s, 2},
      {"both quiet is normal", {t, t}, t + 20s, 1},
  };
  for (const auto& row : rows)
    EXPECT_EQ(PressureWatch::levelFromTriggers(row.fired, row.now, 10s), row.level) << row.name;

  // The triggers arm the thresholds the readings judge by, as stall microseconds within the 2 s
  // window: 10 % some and 5 % full warn, 20 % full is critical.
  EXPECT_EQ(PressureWatch::triggerText(stallWarnings[0]), "some 200000 2000000");
  EXPECT_EQ(PressureWatch::triggerText(stallWarnings[1]), "full 100000 2000000");
  EXPECT_EQ(PressureWatch::triggerText(stallCritical), "full 400000 2000000");
}

TEST(PressureWatch, PollsWhenThePressureFileIsNotPsiAndReportsOnlyChanges) {
  FixtureTree proc("");
  EXPECT_EQ(PressureWatch(proc.root(), {}).mode(), PressureWatch::Mode::none) << "no pressure file";
  proc.write("proc/pressure/memory", "garbage\n");
  EXPECT_EQ(PressureWatch(proc.root(), {}).mode(), PressureWatch::Mode::none) << "a garbled file";
  writeStall(proc, 0, 0);
  auto watch = std::make_shared<PressureWatch>(proc.root(), PressureWatch::Options{2ms, 10s});
  ASSERT_EQ(watch->mode(), PressureWatch::Mode::polling);
  auto next = nextInBackground(watch);
  EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout) << "normal from the start is no change";
  writeStall(proc, 30, 25);
  ASSERT_EQ(within5s(next), 4);
  next = nextInBackground(watch);
  writeStall(proc, 15, 1);
  ASSERT_EQ(within5s(next), 2);
  next = nextInBackground(watch);
  proc.remove("proc/pressure/memory");
  EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout) << "a failed read is not \"no pressure\"";
  writeStall(proc, 15, 1);
  EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout) << "the level it kept";
  writeStall(proc, 0, 0);
  EXPECT_EQ(within5s(next), 1);
}

TEST(PressureWatch, StopWakesAWaitingNextAtOnce) {
  FixtureTree proc("");
  writeStall(proc, 0, 0);
  auto watch = std::make_shared<PressureWatch>(proc.root(), PressureWatch::Options{20s, 10s});
  auto next = nextInBackground(watch);
  EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout) << "nothing changed";
  watch->stop();
  ASSERT_EQ(next.wait_for(1s), std::future_status::ready) << "stop left next() waiting";
  EXPECT_EQ(next.get(), 0);
  EXPECT_EQ(watch->next(), 0) << "every later call returns at once";
}

TEST(PressureWatch, LiveKernelArmsTriggersWhenItTakesThem) {
  if (!std::filesystem::exists("/proc/pressure/memory")) GTEST_SKIP() << "this kernel has no PSI";
  const int fd = ::open("/proc/pressure/memory", O_RDWR | O_NONBLOCK | O_CLOEXEC);
  const bool taken = fd >= 0 && ::write(fd, "some 200000 2000000", 20) > 0;  // the terminating NUL too
  if (fd >= 0) ::close(fd);
  auto watch = std::make_shared<PressureWatch>("/", PressureWatch::Options{});
  EXPECT_EQ(watch->mode(), taken ? PressureWatch::Mode::triggers : PressureWatch::Mode::polling);
  // Trigger mode waits for the kernel with no timeout; stop must still end the wait.
  auto next = nextInBackground(watch);
  std::this_thread::sleep_for(20ms);
  watch->stop();
  ASSERT_EQ(next.wait_for(1s), std::future_status::ready) << "stop left next() waiting";
  EXPECT_EQ(watch->next(), 0);
}
