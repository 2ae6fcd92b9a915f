// The kernel's text files under /proc and /sys, one parser chosen by the first byte:
// '0' meminfo, '1' stat (CPU ticks), '2' stat (boot time), '3' vmstat, '4' zram's mm_stat,
// '5' pressure/memory, '6' PID/stat, '7' PID/status.
#include "FuzzTarget.h"
#include "native/linux/NativeReaders.h"

namespace hollin::native {
namespace {

int fuzzProcFiles(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, 8);
  if (!choice) return 0;
  const std::string_view text = choice->rest;
  switch (choice->parser) {
    case 0: pressureLevel(std::nullopt, parseMemInfo(text)); break;
    case 1: parseCpuTicks(text); break;
    case 2: parseBootTime(text); break;
    case 3: parseVmStat(text, "pswpout"); break;
    case 4: parseZramMemUsed(text); break;
    case 5:
      if (const auto stall = parsePressureStall(text)) {
        fuzz::require(stall->someAvg10 >= 0 && stall->someAvg10 <= 100 && stall->fullAvg10 >= 0 &&
                          stall->fullAvg10 <= 100,
                      "stall shares are percentages");
        pressureLevel(stall, MemInfo{});
      }
      break;
    case 6:
      if (const auto ticks = parseStartTicks(text)) startMicroseconds(1'700'000'000, *ticks, 100);
      break;
    case 7: parseProcessStatus(text); break;
  }
  return 0;
}

const fuzz::Registration registered("proc", fuzzProcFiles);

}  // namespace
}  // namespace hollin::native
