#include "FixtureTree.h"
#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace hollin::native;
using hollin::native::test::FixtureTree;

namespace {
constexpr std::uint64_t kib = 1024;
}

TEST(SystemReader, RecordedDesktop) {
  FixtureTree tree;
  auto system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(system.physical, 15666184 * kib);
  EXPECT_EQ(system.memory_used, (15666184 - 9000000) * kib);
  EXPECT_EQ(system.memory_used_valid, 1);
  EXPECT_EQ(system.wired, (1024 + 69140 + 1616 + 5288) * kib);
  EXPECT_EQ(system.compressed, 22414 * kib + 1048576) << "zswap pool plus zram memory";
  EXPECT_EQ(system.swapouts, 2500u * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(system.vm_valid, 1);
  EXPECT_EQ(system.swap_used, (2097148 - 1048574) * kib);
  EXPECT_EQ(system.swap_valid, 1);
  EXPECT_EQ(system.cpu_busy, 301854u + 612 + 111922 + 2 + 3944);
  EXPECT_EQ(system.cpu_idle, 8979004u + 3552);
  EXPECT_EQ(system.cpu_valid, 1);
  EXPECT_EQ(system.pressure, 1);
  EXPECT_EQ(system.pressure_valid, 1);
  EXPECT_EQ(system.disk_valid, 1);
  EXPECT_GT(system.disk_total, 0u);
  EXPECT_LE(system.disk_available, system.disk_total);
}

TEST(SystemReader, FailedGroupsLeaveTheOthersValid) {
  FixtureTree tree;
  tree.replaceLine("proc/meminfo", "MemAvailable:", "MemAvailable:   20000000 kB");
  tree.write("proc/vmstat", "pswpout many\n");
  tree.write("proc/stat", "cpu  1 2\n");
  auto system = readSystem(tree.root(), tree.path("missing"));
  EXPECT_EQ(system.memory_used_valid, 0) << "more available than installed";
  EXPECT_EQ(system.memory_used, 0u);
  EXPECT_EQ(system.vm_valid, 0);
  EXPECT_EQ(system.wired, 0u);
  EXPECT_EQ(system.compressed, 0u);
  EXPECT_EQ(system.cpu_valid, 0);
  EXPECT_EQ(system.disk_valid, 0);
  EXPECT_EQ(system.physical, 15666184 * kib);
  EXPECT_EQ(system.swap_valid, 1);
  EXPECT_EQ(system.pressure_valid, 1);
}

TEST(SystemReader, BrokenZramAndMissingSwapLines) {
  FixtureTree tree;
  tree.write("sys/block/zram0/mm_stat", "garbage\n");
  tree.replaceLine("proc/meminfo", "SwapFree:", "");
  auto system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(system.vm_valid, 0) << "an unreadable zram device leaves compressed unknown";
  EXPECT_EQ(system.swap_valid, 0);
  EXPECT_EQ(system.memory_used_valid, 1);
}

TEST(SystemReader, PressureWithoutPsi) {
  FixtureTree tree;
  tree.remove("proc/pressure");
  tree.replaceLine("proc/meminfo", "MemAvailable:", "MemAvailable:    1000000 kB");
  tree.replaceLine("proc/meminfo", "SwapFree:", "SwapFree:         100000 kB");
  auto system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(system.pressure_valid, 1);
  EXPECT_EQ(system.pressure, 4) << "6 % available, 5 % of swap free";

  tree.remove("proc/meminfo");
  system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(system.pressure_valid, 0);
  EXPECT_EQ(system.pressure, 0);
  EXPECT_EQ(system.physical, 0u);
  EXPECT_EQ(system.cpu_valid, 1);
}
