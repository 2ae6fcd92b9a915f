#include "FixtureTree.h"
#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace hollin::native;
using hollin::native::test::FixtureTree;

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
