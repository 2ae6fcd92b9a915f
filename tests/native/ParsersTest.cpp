#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>

using namespace hollin::native;

namespace {

constexpr std::uint64_t gib = 1024ull * 1024 * 1024;
constexpr auto none = std::nullopt;

MemInfo memory(double availableShare, double swapFreeShare, std::uint64_t swap = 4 * gib) {
  MemInfo info;
  info.memTotal = 16 * gib, info.memAvailable = static_cast<std::uint64_t>(16.0 * gib * availableShare);
  info.swapTotal = swap, info.swapFree = static_cast<std::uint64_t>(static_cast<double>(swap) * swapFreeShare);
  return info;
}

// One figure of a parser's result, as a double so that every parser fits one table.
template <typename T>
std::optional<double> figure(const std::optional<T>& value) { return value ? std::optional<double>(*value) : none; }
template <typename T, typename Member>
std::optional<double> figure(const std::optional<T>& value, Member T::*member) {
  return value ? std::optional<double>((*value).*member) : none;
}

}  // namespace

TEST(PressureLevel, FromStallsAndFreeMemory) {
  struct Row { const char* name; std::optional<PressureStall> stall; MemInfo memory; std::optional<std::int32_t> level; };
  const Row rows[] = {
      {"quiet machine is normal", PressureStall{0.1, 0}, memory(0.40, 1.0), 1},
      {"full stall of 20 is critical", PressureStall{25, 20}, memory(0.40, 1.0), 4},
      {"some stall of 10 is a warning", PressureStall{10, 0}, memory(0.40, 1.0), 2},
      {"full stall of 5 is a warning", PressureStall{6, 5}, memory(0.40, 1.0), 2},
      {"stalls with half the memory free come from a cgroup", PressureStall{90, 60}, memory(0.50, 1.0), 1},
      {"under 10 % available and little swap is critical", PressureStall{0, 0}, memory(0.09, 0.05), 4},
      {"no swap counts as none free", PressureStall{0, 0}, memory(0.09, 0, 0), 4},
      {"under 20 % available and under 25 % swap is a warning", none, memory(0.15, 0.20), 2},
      {"plenty of swap keeps low memory normal", none, memory(0.05, 0.90), 1},
      {"stall without meminfo still counts", PressureStall{12, 0}, MemInfo{}, 2},
      {"neither source is unknown", none, MemInfo{}, none},
  };
  for (const auto& row : rows) EXPECT_EQ(pressureLevel(row.stall, row.memory), row.level) << row.name;
}

TEST(Parsers, EveryFileAndItsMalformedForms) {
  using Parse = std::optional<double> (*)(std::string_view);
  const Parse memTotal = [](std::string_view t) { return figure(parseMemInfo(t).memTotal); };
  const Parse cpuBusy = [](std::string_view t) { return figure(parseCpuTicks(t), &CpuTicks::busy); };
  const Parse bootTime = [](std::string_view t) { return figure(parseBootTime(t)); };
  const Parse swapOuts = [](std::string_view t) { return figure(parseVmStat(t, "pswpout")); };
  const Parse zram = [](std::string_view t) { return figure(parseZramMemUsed(t)); };
  const Parse someStall = [](std::string_view t) { return figure(parsePressureStall(t), &PressureStall::someAvg10); };
  const Parse startTicks = [](std::string_view t) { return figure(parseStartTicks(t)); };
  const Parse uid = [](std::string_view t) { return figure(parseProcessStatus(t).uid); };
  const std::string stat = "7 (a) b) (c) S 1 7 7 0 -1 4194560 10 0 0 0 5 2 0 0 20 0 1 0 ";  // fields up to 21
  struct Row { Parse parse; std::string text; std::optional<double> expected; };
  const Row rows[] = {
      // /proc/meminfo: without a trailing newline; missing; garbage; truncated; oversized.
      {memTotal, "MemFree: 1 kB\nMemTotal:  1000 kB", 1024000}, {memTotal, "MemFree: 1000 kB\n", none},
      {memTotal, "MemTotal: 12x kB\n", none}, {memTotal, "MemTotal: 10", none},
      {memTotal, "MemTotal: 99999999999999999999 kB\n", none}, {memTotal, "MemTotal: 18014398509481984 kB\n", none},
      // /proc/stat: user, nice, system, irq, softirq and steal are busy; old kernels give four fields.
      {cpuBusy, "cpu  10 1 5 100 7 2 3 4 9 9\ncpu0 1 1 1 1\n", 25}, {cpuBusy, "cpu  10 1 5 100", 16},
      {cpuBusy, "cpu0 10 1 5 100\n", none}, {cpuBusy, "cpu  10 1 5\n", none}, {cpuBusy, "cpu  10 1 x 100\n", none},
      {cpuBusy, "cpu  18446744073709551616 1 5 100\n", none},
      // Sums at and beyond 2^64: the largest sum is read, a wrapping one is not.
      {cpuBusy, "cpu  18446744073709551614 1 0 100\n", 18446744073709551615.0},
      {cpuBusy, "cpu  18446744073709551615 1 0 100\n", none}, {cpuBusy, "cpu  1 0 0 18446744073709551615 1\n", none},
      {bootTime, "cpu  1 2 3 4\nbtime 1418183276", 1418183276}, {bootTime, "cpu  1 2 3 4\n", none},
      {bootTime, "btime 14x\n", none}, {bootTime, "btime 18446744073709551616\n", none},
      // /proc/vmstat: a number alone, not negative.
      {swapOuts, "pswpin 3\npswpout 7", 7}, {swapOuts, "pswpin 3\n", none}, {swapOuts, "pswpout -7\n", none},
      {swapOuts, "pswpout 7 pages\n", none},
      // zram mm_stat: the third field.
      {zram, "100 50 4096 0", 4096}, {zram, "100 50\n", none}, {zram, "100 fifty 4096\n", none}, {zram, "", none},
      // PSI: "some" is needed, "full" missing counts as no stall; a share is 0…100.
      {someStall, "some avg10=0.10 avg60=2.00 total=15", 0.10}, {someStall, "full avg10=0.20 total=25\n", none},
      {someStall, "some avg10=abc total=15\n", none}, {someStall, "some avg10=", none},
      {someStall, "some avg10=100.01 total=1\n", none}, {someStall, "some avg10=nan total=1\n", none},
      // /proc/PID/stat: field 22 after a name that may hold parentheses itself.
      {startTicks, stat + "12345 1000 10 0\n", 12345}, {startTicks, stat + "12345", 12345},
      {startTicks, stat + "12x45 1000", none}, {startTicks, "7 (a) S 1 7 7 0", none},
      {startTicks, "7 (a S 1 7 7 0", none}, {startTicks, stat + "18446744073709551616", none},
      // /proc/PID/status: the real uid (the first), 32 bits.
      {uid, "Name:\tx\nUid:\t1000\t0\t0\t0", 1000}, {uid, "Name:\tx\n", none}, {uid, "Uid:\t-1\t0\n", none},
      {uid, "Uid:\t4294967296\t0\n", none},
  };
  for (const auto& row : rows) EXPECT_EQ(row.parse(row.text), row.expected) << row.text;

  EXPECT_EQ(parseCpuTicks("cpu  10 1 5 100 7 2 3 4 9 9\n"), (CpuTicks{25, 107})) << "idle counts iowait";
  EXPECT_EQ(parsePressureStall("some avg10=0.10 avg60=2.00 total=15\nfull avg10=0.20 avg60=3.00 total=25\n"),
            (PressureStall{0.10, 0.20}));
  // One bad line spoils only its own figure.
  EXPECT_EQ(parseMemInfo("MemTotal: 12x kB\nMemAvailable:  1000 kB\n").memAvailable, 1024000u);
  EXPECT_EQ(parseProcessStatus("Name:\tmy\\\\app\\nx\n").name, "my\\app\nx") << "unescaped";
}

TEST(Parsers, BootAndStartTimesNeverWrap) {
  const auto boot = bootTimeMicroseconds(1418183276);
  ASSERT_EQ(boot, 1418183276ull * 1000000);
  EXPECT_EQ(startMicroseconds(*boot, 82375, 100), *boot + 823750000);
  EXPECT_EQ(startMicroseconds(0, 1001, 1000), 1001000u) << "exact for other tick rates";
  EXPECT_EQ(bootTimeMicroseconds(18446744073709), 18446744073709000000u) << "the last boot time that fits";
  EXPECT_EQ(bootTimeMicroseconds(18446744073710), none);
  EXPECT_EQ(startMicroseconds(*boot, 18446744073709551615u, 100), none) << "ticks × 10^6 overflow";
  EXPECT_EQ(startMicroseconds(18446744073709000000u, 55200, 100), none) << "boot + start overflow";
}
