// The system readers over fixture trees: the system figures, the CPU temperature and the user
// at the console.
#include "FixtureTree.h"
#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <tuple>

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
  // Compressed: the zswap pool plus zram memory.
  EXPECT_EQ(std::tuple(system.physical, system.memory_used, system.wired, system.compressed, system.swapouts,
                       system.swap_used, system.cpu_busy, system.cpu_idle, system.pressure),
            std::tuple(15666184 * kib, (15666184 - 9000000) * kib, (1024 + 69140 + 1616 + 5288) * kib,
                       22414 * kib + 1048576, 2500u * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)),
                       (2097148 - 1048574) * kib, 301854u + 612 + 111922 + 2 + 3944, 8979004u + 3552, 1));
  EXPECT_EQ(valid(system), (Flags{1, 1, 1, 1, 1, 1}));
  EXPECT_LE(system.disk_available, system.disk_total);
}

TEST(SystemReader, FailedGroupsLeaveTheOthersValidAndPressureFallsBackToMemInfo) {
  FixtureTree tree;
  tree.replaceLine("proc/meminfo", "MemAvailable:", "MemAvailable:   20000000 kB");
  tree.write("proc/vmstat", "pswpout many\n");
  tree.write("proc/stat", "cpu  1 2\n");
  auto system = readSystem(tree.root(), tree.path("missing"));
  // More available than installed; a malformed page count; a short cpu line; no volume.
  EXPECT_EQ(valid(system), (Flags{0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(system.memory_used + system.wired + system.cpu_busy + system.disk_total, 0u) << "unread figures read 0";
  EXPECT_EQ(system.physical, 15666184 * kib);

  // Without PSI, pressure from meminfo; an unreadable zram device leaves compression unknown.
  FixtureTree withoutPsi;
  withoutPsi.remove("proc/pressure");
  withoutPsi.replaceLine("proc/meminfo", "MemAvailable:", "MemAvailable:    1000000 kB");
  withoutPsi.replaceLine("proc/meminfo", "SwapFree:", "SwapFree:         100000 kB");
  withoutPsi.write("sys/block/zram0/mm_stat", "garbage\n");
  system = readSystem(withoutPsi.root(), withoutPsi.root());
  EXPECT_EQ(valid(system), (Flags{1, 1, 0, 1, 1, 1})) << "compressed memory is unknown";
  EXPECT_EQ(system.pressure, 4) << "6 % available, 5 % of swap free";

  withoutPsi.remove("proc/meminfo");
  system = readSystem(withoutPsi.root(), withoutPsi.root());
  EXPECT_EQ(valid(system), (Flags{0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(system.physical, 0u);
}

// A real file system of a chosen size, mounted by the test: the disk figures the live reader
// takes from it fall into the level the early warnings use (whose edges are DiskAlerts').
TEST(SystemReader, DiskLevelOfARealSmallFileSystem) {
  FixtureTree tree;
  // tmpfs takes memory only for what is written, so a large one costs nothing here.
  if (mount("hollin-test", tree.root().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=15000000000,mode=0700") != 0)
    GTEST_SKIP() << "mounting a file system needs CAP_SYS_ADMIN: " << std::strerror(errno);
  const auto system = readSystem("/", tree.root());
  umount2(tree.root().c_str(), MNT_DETACH);
  ASSERT_TRUE(system.disk_valid);
  EXPECT_NEAR(static_cast<double>(system.disk_total), 15e9, 4096);
  EXPECT_EQ(hollin::DiskAlerts::level(system.disk_available), hollin::DiskAlerts::Level::attention);
}

TEST(CpuTemperature, HottestPlausibleCpuSensor) {
  FixtureTree tree;
  EXPECT_EQ(readCpuTemperature(tree.root()), 53.0) << "package zone above both cores; the NVMe drive is not a CPU";

  struct Row { const char* name; const char* first; const char* second; std::optional<double> hottest; };
  const Row rows[] = {  // two k10temp inputs beside a hotter zone that is no CPU
      {"20.0 is rejected, 120.0 accepted", "20000", "120000", 120.0},
      {"only 20.0 gives nothing", "20000", "19000", std::nullopt},
      {"just above 20 counts", "20001", "19000", 20.001},
      {"above 120 and garbage are rejected", "120001", "nan", std::nullopt},
      {"negative readings are rejected", "-5000", "41500", 41.5},
  };
  for (const auto& row : rows) {
    FixtureTree sensors("");
    sensors.write("sys/class/hwmon/hwmon3/name", "k10temp\n");
    sensors.write("sys/class/hwmon/hwmon3/temp1_input", std::string(row.first) + "\n");
    sensors.write("sys/class/hwmon/hwmon3/temp3_input", std::string(row.second) + "\n");
    sensors.write("sys/class/thermal/thermal_zone0/type", "acpitz\n");
    sensors.write("sys/class/thermal/thermal_zone0/temp", "60000\n");
    EXPECT_EQ(readCpuTemperature(sensors.root()), row.hottest) << row.name;
  }
}

TEST(ConsoleUid, OwnerOfTheDisplaySocket) {
  FixtureTree tree("");
  tree.write("tmp/.X11-unix/X7", "");
  uid_t owner = getuid() == 0 ? 1234 : getuid();
  ASSERT_EQ(chown(tree.path("tmp/.X11-unix/X7").c_str(), owner, static_cast<gid_t>(-1)), 0);
  for (const char* display : {":7", ":7.0", "unix:7"}) EXPECT_EQ(consoleUidFromDisplay(tree.root(), display), owner) << display;
  for (const char* display : {":8", "remote:7", ":x", "", ":7junk"})
    EXPECT_EQ(consoleUidFromDisplay(tree.root(), display), 4294967295u) << display;
  EXPECT_EQ(consoleUidFromDisplay(tree.root(), nullptr), 4294967295u);
}
