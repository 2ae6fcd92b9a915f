// The hl_ functions against the machine the tests run on.
#include "FixtureTree.h"
#include "native/NativeMetrics.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

static bool listed(pid_t pid) { return hollin::native::test::listing(hl_processes).count(pid) == 1; }

TEST(LiveMetrics, ThisProcessAndItsIdentity) {
  std::uint32_t uid = 0;
  std::uint64_t start = 0;
  ASSERT_EQ(hl_identity(getpid(), &uid, &start), 1);
  EXPECT_EQ(uid, getuid());
  // Reading again through held descriptors: EndedChildrenAreAbsent and the ProcessTable tests.
  auto processes = hollin::native::test::listing(hl_processes);
  EXPECT_GT(processes.begin()->first, 0) << "pid 0 is never listed";
  ASSERT_EQ(processes.count(getpid()), 1u);
  const auto& self = processes.at(getpid());
  EXPECT_EQ(std::tuple(self.uid, self.start, self.resident_valid), std::tuple(getuid(), start, 1));
  EXPECT_STREQ(self.name, "native_tests");
}

TEST(LiveMetrics, EndedChildrenAreAbsent) {
  const pid_t quick = fork();
  if (quick == 0) _exit(0);
  const pid_t waiting = fork();
  if (waiting == 0) _exit(pause());
  ASSERT_TRUE(quick > 0 && waiting > 0);
  waitpid(quick, nullptr, 0);
  EXPECT_FALSE(listed(quick));
  std::uint32_t uid = 77;
  std::uint64_t start = 77;
  EXPECT_EQ(hl_identity(quick, &uid, &start), 0);
  EXPECT_TRUE(uid == 77 && start == 77) << "outputs untouched";

  EXPECT_TRUE(listed(waiting)) << "held from now on";
  kill(waiting, SIGKILL);
  waitpid(waiting, nullptr, 0);
  EXPECT_FALSE(listed(waiting)) << "its held descriptor answers that it ended";
}

TEST(LiveMetrics, SystemFiguresUptimeAndSessions) {
  std::string key;
  std::uint64_t kilobytes = 0;
  std::ifstream("/proc/meminfo") >> key >> kilobytes;
  ASSERT_EQ(key, "MemTotal:");
  const HLSystem system = hl_system();
  EXPECT_EQ(system.physical, kilobytes * 1024);
  EXPECT_TRUE(system.cpu_valid && system.memory_used_valid && system.disk_valid);
  EXPECT_LE(system.memory_used, system.physical);
  EXPECT_EQ(hl_cpu_temperature(nullptr), 0);

  double bootClock = 0;
  std::ifstream("/proc/uptime") >> bootClock;
  EXPECT_NEAR(hl_uptime(), bootClock, 1.0) << "the clock that counts sleep";

  HLLoginSession* sessions = nullptr;
  const std::int32_t count = hl_login_sessions(&sessions);
  EXPECT_EQ(count >= 0, std::filesystem::exists("/run/systemd/seats/")) << "a count exactly while logind runs";
  EXPECT_EQ(sessions != nullptr, count >= 0) << "and a list with it, even of none";
  hl_free_sessions(sessions);
}
