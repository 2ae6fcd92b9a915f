#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace hollin::native;

namespace {

constexpr std::uint64_t gib = 1024ull * 1024 * 1024;

MemInfo memory(double availableShare, double swapFreeShare, std::uint64_t swap = 4 * gib) {
  MemInfo info;
  info.memTotal = 16 * gib;
  info.memAvailable = static_cast<std::uint64_t>(16.0 * gib * availableShare);
  info.swapTotal = swap;
  info.swapFree = static_cast<std::uint64_t>(static_cast<double>(swap) * swapFreeShare);
  return info;
}

}  // namespace

TEST(PressureLevel, FromStallsAndFreeMemory) {
  struct Row {
    const char* name;
    std::optional<PressureStall> stall;
    MemInfo memory;
    std::optional<std::int32_t> level;
  } rows[] = {
      {"quiet machine is normal", PressureStall{0.1, 0}, memory(0.40, 1.0), 1},
      {"full stall of 20 is critical", PressureStall{25, 20}, memory(0.40, 1.0), 4},
      {"some stall of 10 is a warning", PressureStall{10, 0}, memory(0.40, 1.0), 2},
      {"full stall of 5 is a warning", PressureStall{6, 5}, memory(0.40, 1.0), 2},
      {"stalls with half the memory free come from a cgroup", PressureStall{90, 60}, memory(0.50, 1.0), 1},
      {"under 10 % available and little swap is critical", PressureStall{0, 0}, memory(0.09, 0.05), 4},
      {"no swap counts as none free", PressureStall{0, 0}, memory(0.09, 0, 0), 4},
      {"under 20 % available and under 25 % swap is a warning", std::nullopt, memory(0.15, 0.20), 2},
      {"plenty of swap keeps low memory normal", std::nullopt, memory(0.05, 0.90), 1},
      {"stall without meminfo still counts", PressureStall{12, 0}, MemInfo{}, 2},
      {"neither source is unknown", std::nullopt, MemInfo{}, std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(pressureLevel(row.stall, row.memory), row.level) << row.name;
}

TEST(Parsers, RejectMalformedText) {
  EXPECT_EQ(parsePressureStall("some avg10=0.10 avg60=2.00 avg300=3.85 total=15\n"
                               "full avg10=0.20 avg60=3.00 avg300=4.95 total=25\n"),
            (PressureStall{0.10, 0.20}));
  EXPECT_EQ(parsePressureStall("some avg10=0.10 total=15"), (PressureStall{0.10, 0}));
  EXPECT_EQ(parsePressureStall("some avg10=abc total=15\n"), std::nullopt);

  auto info = parseMemInfo("MemTotal: 12x kB\nMemAvailable:  1000 kB\nSwapFree: 99999999999999999999 kB\n"
                           "SwapTotal: 10");
  EXPECT_EQ(info.memTotal, std::nullopt);
  EXPECT_EQ(info.memAvailable, 1024000u);
  EXPECT_EQ(info.swapFree, std::nullopt) << "overflowing number";
  EXPECT_EQ(info.swapTotal, std::nullopt) << "no unit, no newline";

  EXPECT_EQ(parseCpuTicks("cpu  10 1 5 100 7 2 3 4 9 9\ncpu0 1 1 1 1\n"), (CpuTicks{25, 107}));
  EXPECT_EQ(parseCpuTicks("cpu  10 1 5 100\n"), (CpuTicks{16, 100})) << "old kernel, four fields";
  EXPECT_EQ(parseCpuTicks("cpu  10 1 x 100\n"), std::nullopt);

  EXPECT_EQ(parseVmStat("pswpin 3\npswpout 7\n", "pswpout"), 7u);
  EXPECT_EQ(parseVmStat("pswpout -7\n", "pswpout"), std::nullopt);
  EXPECT_EQ(parseZramMemUsed("100 50 4096 0\n"), 4096u);
  EXPECT_EQ(parseZramMemUsed("100 50\n"), std::nullopt);
}

TEST(Parsers, ProcessFiles) {
  const char* stat = "7 (a) b) (c) S 1 7 7 0 -1 4194560 10 0 0 0 5 2 0 0 20 0 1 0 12345 1000 10 0";
  EXPECT_EQ(parseStartTicks(stat), 12345u);
  EXPECT_EQ(parseStartTicks("7 (a) S 1 7 7 0 -1 4194560 10 0 0 0 5 2 0 0 20 0 1 0 12x45 1000"), std::nullopt);
  EXPECT_EQ(parseStartTicks("7 (a) S 1 7 7 0"), std::nullopt) << "truncated";

  auto status = parseProcessStatus("Name:\tmy\\\\app\\nx\nUid:\t1000\t0\t0\t0\nVmRSS:\t  4 kB\n");
  EXPECT_EQ(status.name, "my\\app\nx");
  EXPECT_EQ(status.uid, 1000u) << "the real uid, not the effective one";
  EXPECT_EQ(status.vmRss, 4096u);
  EXPECT_EQ(parseProcessStatus("Uid:\t-1\t0\n").uid, std::nullopt);

  EXPECT_EQ(startMicroseconds(1418183276, 82375, 100), 1418183276ull * 1000000 + 823750000);
  EXPECT_EQ(startMicroseconds(0, 1001, 1000), 1001000u) << "exact for other tick rates";
}

TEST(Parsers, PlausibleTemperatures) {
  EXPECT_FALSE(plausibleTemperature(20.0));
  EXPECT_TRUE(plausibleTemperature(20.001));
  EXPECT_TRUE(plausibleTemperature(120.0));
  EXPECT_FALSE(plausibleTemperature(120.001));
  EXPECT_FALSE(plausibleTemperature(std::nan("")));
  EXPECT_FALSE(plausibleTemperature(std::numeric_limits<double>::infinity()));
}
