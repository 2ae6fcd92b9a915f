#include "FixtureTree.h"
#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "core/early/DiskAlerts.h"

using namespace hollin::native;
using hollin::native::test::FixtureTree;

constexpr std::uint64_t kib = 1024;

// memory used, cpu, vm, swap, pressure, disk
using Flags = std::array<std::int32_t, 6>;
Flags valid(const HLSystem& s) {
  return {s.memory_used_valid, s.cpu_valid, s.vm_valid, s.swap_valid, s.pressure_valid, s.disk_valid};
}

TEST(SystemReader, RecordedDesktop) {
  FixtureTree tree;
  auto system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(system.physical, 15666184 * kib);
  EXPECT_EQ(system.memory_used, (15666184 - 9000000) * kib);
  EXPECT_EQ(system.wired, (1024 + 69140 + 1616 + 5288) * kib);
  EXPECT_EQ(system.compressed, 22414 * kib + 1048576) << "zswap pool plus zram memory";
  EXPECT_EQ(system.swapouts, 2500u * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(system.swap_used, (2097148 - 1048574) * kib);
  EXPECT_EQ(system.cpu_busy, 301854u + 612 + 111922 + 2 + 3944);
  EXPECT_EQ(system.cpu_idle, 8979004u + 3552);
  EXPECT_EQ(system.pressure, 1);
  EXPECT_EQ(valid(system), (Flags{1, 1, 1, 1, 1, 1}));
  EXPECT_LE(system.disk_available, system.disk_total);
}

TEST(SystemReader, FailedGroupsLeaveTheOthersValid) {
  FixtureTree tree;
  tree.replaceLine("proc/meminfo", "MemAvailable:", "MemAvailable:   20000000 kB");
  tree.write("proc/vmstat", "pswpout many\n");
  tree.write("proc/stat", "cpu  1 2\n");
  auto system = readSystem(tree.root(), tree.path("missing"));
  // More available than installed; a malformed page count; a short cpu line; no volume.
  EXPECT_EQ(valid(system), (Flags{0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(system.memory_used + system.wired + system.cpu_busy + system.disk_total, 0u) << "unread figures read 0";
  EXPECT_EQ(system.physical, 15666184 * kib);
}

TEST(SystemReader, PressureFromMemInfoWithoutPsiAndAnUnreadableZramDevice) {
  FixtureTree tree;
  tree.remove("proc/pressure");
  tree.replaceLine("proc/meminfo", "MemAvailable:", "MemAvailable:    1000000 kB");
  tree.replaceLine("proc/meminfo", "SwapFree:", "SwapFree:         100000 kB");
  tree.write("sys/block/zram0/mm_stat", "garbage\n");
  auto system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(valid(system), (Flags{1, 1, 0, 1, 1, 1})) << "compressed memory is unknown";
  EXPECT_EQ(system.pressure, 4) << "6 % available, 5 % of swap free";

  tree.remove("proc/meminfo");
  system = readSystem(tree.root(), tree.root());
  EXPECT_EQ(valid(system), (Flags{0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(system.physical, 0u);
}

// Real file systems of chosen sizes, mounted by the test: the disk figures the live reader takes
// from them fall into the levels the early warnings use.
TEST(SystemReader, DiskLevelsOfRealSmallFileSystems) {
  using Level = hollin::DiskAlerts::Level;
  const std::pair<std::uint64_t, Level> rows[] = {
      {25'000'000'000, Level::ok}, {15'000'000'000, Level::attention}, {5'000'000'000, Level::danger}};
  for (const auto& [bytes, level] : rows) {
    FixtureTree tree;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    // tmpfs takes memory only for what is written, so a large one costs nothing here.
    if (mount("hollin-test", tree.root().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
      GTEST_SKIP() << "mounting a file system needs CAP_SYS_ADMIN: " << std::strerror(errno);
    const auto system = readSystem("/", tree.root());
    umount2(tree.root().c_str(), MNT_DETACH);
    ASSERT_TRUE(system.disk_valid);
    EXPECT_NEAR(static_cast<double>(system.disk_total), static_cast<double>(bytes), 4096);
    EXPECT_EQ(hollin::DiskAlerts::level(system.disk_available), level) << bytes;
  }
}
