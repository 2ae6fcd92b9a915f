// The hl_ functions against the machine the tests run on.
#include "FixtureTree.h"
#include "native/NativeMetrics.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace {

auto listProcesses() { return hollin::native::test::listing(hl_processes); }

bool listed(pid_t pid) { return listProcesses().count(pid) == 1; }

}  // namespace

TEST(LiveMetrics, ThisProcessAndItsIdentity) {
  std::uint32_t uid = 0;
  std::uint64_t start = 0;
  ASSERT_EQ(hl_identity(getpid(), &uid, &start), 1);
  EXPECT_EQ(uid, getuid());
  for (int round = 0; round < 2; ++round) {  // the first opens, the second reads held descriptors
    auto processes = listProcesses();
    EXPECT_EQ(processes.begin()->first > 0, true) << "pid 0 is never listed";
    ASSERT_EQ(processes.count(getpid()), 1u);
    const auto& self = processes.at(getpid());
    EXPECT_EQ(self.uid, getuid());
    EXPECT_EQ(self.start, start) << "round " << round;
    EXPECT_EQ(self.resident_valid, 1);
    EXPECT_STREQ(self.name, "native_tests");
  }
}

TEST(LiveMetrics, EndedChildrenAreAbsent) {
  pid_t quick = fork();
  if (quick == 0) _exit(0);
  ASSERT_GT(quick, 0);
  pid_t waiting = fork();
  if (waiting == 0) {
    pause();
    _exit(0);
  }
  ASSERT_GT(waiting, 0);
  waitpid(quick, nullptr, 0);
  EXPECT_FALSE(listed(quick));
  std::uint32_t uid = 77;
  std::uint64_t start = 77;
  EXPECT_EQ(hl_identity(quick, &uid, &start), 0);
  EXPECT_EQ(uid, 77u) << "outputs untouched";
  EXPECT_EQ(start, 77u);

  EXPECT_TRUE(listed(waiting)) << "held from now on";
  kill(waiting, SIGKILL);
  waitpid(waiting, nullptr, 0);
  EXPECT_FALSE(listed(waiting)) << "its held descriptor answers that it ended";
}

TEST(LiveMetrics, SystemFigures) {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  meminfo >> key >> kilobytes;
  ASSERT_EQ(key, "MemTotal:");
  auto system = hl_system();
  EXPECT_EQ(system.physical, kilobytes * 1024);
  EXPECT_EQ(system.cpu_valid, 1);
  EXPECT_EQ(system.memory_used_valid, 1);
  EXPECT_LE(system.memory_used, system.physical);
  EXPECT_EQ(system.disk_valid, 1);
  EXPECT_EQ(hl_cpu_temperature(nullptr), 0);
}
