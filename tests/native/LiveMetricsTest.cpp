// The hl_ functions against the machine the tests run on.
#include "native/NativeMetrics.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<HLProcess> listProcesses() {
  HLProcess* list = nullptr;
  std::int32_t error = 0;
  auto count = hl_processes(&list, &error);
  EXPECT_GT(count, 0) << "error " << error;
  std::vector<HLProcess> processes(list, list + std::max(count, 0));
  hl_free(list);
  return processes;
}

bool listed(pid_t pid) {
  for (const auto& process : listProcesses())
    if (process.pid == pid) return true;
  return false;
}

}  // namespace

TEST(LiveMetrics, ThisProcessAndItsIdentity) {
  std::uint32_t uid = 0;
  std::uint64_t start = 0;
  ASSERT_EQ(hl_identity(getpid(), &uid, &start), 1);
  EXPECT_EQ(uid, getuid());
  std::set<std::int32_t> pids;
  for (int round = 0; round < 2; ++round) {
    bool found = false;
    for (const auto& process : listProcesses()) {
      EXPECT_GT(process.pid, 0);
      if (round == 0) {
        EXPECT_TRUE(pids.insert(process.pid).second) << "pid listed twice";
      }
      if (process.pid != getpid()) continue;
      found = true;
      EXPECT_EQ(process.uid, getuid());
      EXPECT_EQ(process.start, start) << "round " << round;
      EXPECT_EQ(process.resident_valid, 1);
      EXPECT_GT(process.resident, 0u);
      EXPECT_STREQ(process.name, "native_tests");
    }
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(pids.count(0), 0u);
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
  EXPECT_GT(system.cpu_busy + system.cpu_idle, 0u);
  EXPECT_EQ(system.memory_used_valid, 1);
  EXPECT_LE(system.memory_used, system.physical);
  EXPECT_EQ(system.disk_valid, 1);
  EXPECT_EQ(hl_cpu_temperature(nullptr), 0);
}
