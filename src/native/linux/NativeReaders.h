// The Linux readers behind the hl_ functions. Each takes the root directory it reads under
// ("/" on a live machine, a fixture tree in tests); the parsers take the file's text.
#pragma once

#include "native/HostRoot.h"
#include "native/NativeMetrics.h"
#include "native/Power.h"

#include <cstdint>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hollin::native {

// Figures of /proc/meminfo that the layer uses, in bytes; absent when the line is missing or
// its number is malformed.
struct MemInfo {
  std::optional<std::uint64_t> memTotal, memAvailable, unevictable, sUnreclaim, kernelStack,
      pageTables, zswap, swapTotal, swapFree;
  bool operator==(const MemInfo&) const = default;
};

// /proc/meminfo: "Key:   value kB" lines
MemInfo parseMemInfo(std::string_view text);

struct CpuTicks {
  std::uint64_t busy = 0, idle = 0;
  bool operator==(const CpuTicks&) const = default;
};

// /proc/stat: the aggregate "cpu  user nice system idle iowait irq softirq steal …" line
std::optional<CpuTicks> parseCpuTicks(std::string_view text);

// /proc/stat: "btime <seconds since 1970>"
std::optional<std::uint64_t> parseBootTime(std::string_view text);

// /proc/vmstat: "<key> <value>" lines; the value of one key
std::optional<std::uint64_t> parseVmStat(std::string_view text, std::string_view key);

// /sys/block/zram*/mm_stat: "orig compr mem_used …"; the memory the device uses, bytes
std::optional<std::uint64_t> parseZramMemUsed(std::string_view text);

struct PressureStall {
  double someAvg10 = 0, fullAvg10 = 0;
  bool operator==(const PressureStall&) const = default;
};

// /proc/pressure/memory: "some avg10=… avg60=… avg300=… total=…" and the same for "full"
std::optional<PressureStall> parsePressureStall(std::string_view text);

// A memory stall that raises the level: the share of wall time in which some (or all, `full`)
// tasks waited for memory, in percent. The same figures judge the avg10 readings and arm the
// kernel's triggers, so the level read and the level announced between readings agree.
struct StallThreshold {
  bool full = false;
  double percent = 0;
};
inline constexpr StallThreshold stallWarnings[] = {{false, 10}, {true, 5}};
inline constexpr StallThreshold stallCritical{true, 20};

// The kernel-style level (1 normal, 2 warning, 4 critical) from the stall figures and the free
// memory and swap; absent when neither source was read.
std::optional<std::int32_t> pressureLevel(const std::optional<PressureStall>& stall,
                                          const MemInfo& memory);

// One whole-machine reading under root; the disk figures are those of the volume holding
// diskPath (a path on the live machine, not under root).
HLSystem readSystem(const std::string& root, const std::string& diskPath);

// /proc/PID/stat: field 22, the start in clock ticks after boot (the name in parentheses may
// hold spaces and parentheses itself)
std::optional<std::uint64_t> parseStartTicks(std::string_view text);

struct ProcessStatus {
  std::string name;  // unescaped
  std::optional<std::uint32_t> uid;
  std::optional<std::uint64_t> vmRss, rssAnon, rssShmem, vmSwap;  // bytes; absent when unreadable
  // A VmRSS line, readable or not: kernel threads and zombies have no memory map, so no line.
  bool memoryMapped = false;
  bool operator==(const ProcessStatus&) const = default;
};

// /proc/PID/status: "Name:", "Uid:" (real first) and the memory lines in kB
ProcessStatus parseProcessStatus(std::string_view text);

// The boot time in microseconds since 1970; absent when it does not fit 64 bits.
std::optional<std::uint64_t> bootTimeMicroseconds(std::uint64_t bootSeconds);

// A process's start in microseconds since 1970 from the boot time (as bootTimeMicroseconds
// gives it) and the start ticks; absent when it does not fit 64 bits.
std::optional<std::uint64_t> startMicroseconds(std::uint64_t boot, std::uint64_t startTicks,
                                               std::uint64_t ticksPerSecond);

struct Identity {
  std::uint32_t uid = 0;
  std::uint64_t start = 0;
};

// Owner and start of one pid under root.
std::optional<Identity> readIdentity(const std::string& root, std::int32_t pid);

struct FreshRead;

// The process list under root, keeping one open status descriptor per process between samples
// (see ProcessTable.cpp for why). Samples are serialised by a mutex.
class ProcessTable {
 public:
  // descriptorBudget: how many status descriptors may be held; beyond it, processes are read
  // by opening and closing their files each sample.
  ProcessTable(std::string root, std::size_t descriptorBudget);
  ~ProcessTable();
  ProcessTable(const ProcessTable&) = delete;
  ProcessTable& operator=(const ProcessTable&) = delete;

  // The hl_processes contract: count, or -1 with *error set and no list. A process new to the
  // table needs the boot time for its start, so without one the sample fails rather than
  // leave it out: with the errno of reading /proc/stat, or ENODATA when that has no usable
  // btime.
  std::int32_t sample(HLProcess** list, std::int32_t* error);

  // How many samples a process's status may go unread while its statm stays the same.
  static constexpr std::uint64_t statusEvery = 12;
  // From this many processes new to the table (the first sample), they are read in parallel.
  static constexpr std::size_t parallelBatch = 256;
  std::size_t heldDescriptors() const;
  // Grows the descriptor table now for the processes there are: in a process that has no other
  // threads yet, a growth costs nothing; later, every growth waits for all of them.
  void prepare();

  // The budget a live process can afford: the soft RLIMIT_NOFILE raised to the hard limit,
  // less a reserve for everything else the process opens.
  static std::size_t liveDescriptorBudget();

 private:
  struct Entry {
    int fd = -1;       // held status descriptor, or -1
    int statmFd = -1;  // held statm descriptor, or -1
    std::uint64_t start = 0;
    bool kernel = false;   // a kernel thread or zombie: read, but not listed
    std::string longName;  // whole executable name when status's is cut at 15 bytes
    std::uint64_t seen = 0;
    std::string statm;           // statm's text at the last full read
    std::uint64_t statusDue = 0;  // the sample at which status is read again whatever statm says
    HLProcess last{};            // the record of the last full read
  };
  enum class Outcome { listed, hidden, gone };
  Outcome refresh(int procFd, std::int32_t pid, Entry& entry, HLProcess& out);
  // `preread`: the process's files as a batch read them, or null to read them now.
  Outcome open(int procFd, std::int32_t pid, Entry& entry, std::uint64_t boot, HLProcess& out, FreshRead* preread);
  bool hold(int& fd, int opened);
  void reserveDescriptors(int anyFd, std::size_t count);
  void forget(Entry& entry);

  std::string proc_;
  std::size_t budget_;
  std::size_t held_ = 0;
  std::size_t reserved_ = 0;  // descriptor numbers the table has been grown to
  std::uint64_t generation_ = 0;
  std::unordered_map<std::int32_t, Entry> entries_;
  std::vector<char> buffer_;
  mutable std::mutex mutex_;
};

// The memory-pressure watch behind hl_pressure_watch_*, over a root directory.
class PressureWatch {
 public:
  using Clock = std::chrono::steady_clock;
  struct Options {
    std::chrono::milliseconds pollInterval{2000};
    std::chrono::milliseconds quietPeriod{10000};  // triggers: no firing this long steps down
  };
  enum class Mode { none, triggers, polling };

  PressureWatch(std::string root, Options options);
  ~PressureWatch();
  PressureWatch(const PressureWatch&) = delete;
  PressureWatch& operator=(const PressureWatch&) = delete;

  Mode mode() const { return mode_; }
  // The next change of level (1, 2, 4), or 0 when stopped or failed.
  std::int32_t next();
  void stop();

  // When each kind of trigger last fired.
  struct Fired {
    std::optional<Clock::time_point> warning, critical;
  };
  // Trigger mode's level: that of the latest trigger that fired within quietPeriod, critical
  // first; normal once none fired for that long.
  static std::int32_t levelFromTriggers(const Fired& fired, Clock::time_point now,
                                        std::chrono::milliseconds quietPeriod);
  // The text that arms a trigger for `threshold` over the trigger window.
  static std::string triggerText(StallThreshold threshold);

 private:
  bool openTriggers();
  std::int32_t nextTriggered();
  std::int32_t nextPolled();
  std::optional<std::int32_t> readLevel() const;
  void closeAll();

  std::string root_;
  Options options_;
  Mode mode_ = Mode::none;
  std::vector<int> warningFds_;
  int criticalFd_ = -1;
  int wakeFd_ = -1;  // eventfd: stop() wakes a waiting next()
  std::int32_t last_ = 1;
  Fired fired_;
};

// The owner of the X display socket that DISPLAY (":0", ":0.0", "unix:1") names under root,
// or 4294967295 when it names no local display or the socket cannot be examined.
std::uint32_t consoleUidFromDisplay(const std::string& root, const char* display);

// The names in folder that begin with prefix, sorted; none when it cannot be listed.
std::vector<std::string> entriesStartingWith(const std::string& folder, std::string_view prefix);

// The first line of a small file, without its line feed; empty when it cannot be read.
std::string firstLine(const std::string& path);

// A file whose first line is one decimal integer.
std::optional<std::int64_t> integerFile(const std::string& path);

// A sensor file in millidegrees Celsius, as degrees.
std::optional<double> millidegrees(const std::string& path);

// Finite and 20 < celsius ≤ 120.
bool plausibleTemperature(double celsius);

// The hottest plausible CPU sensor among hwmon drivers of CPUs and thermal zones of CPU type.
std::optional<double> readCpuTemperature(const std::string& root);

// The batteries and adapters of /sys/class/power_supply under root, combined; absent when the
// class folder cannot be listed.
std::optional<HLPower> readPower(const std::string& root);

// The user's home folder with its links followed ($HOME, else the password database): the
// data volume is the one that holds it. Safe on any thread.
std::string homeFolder();

// `path` with its links followed, as the mount table names folders; as given when it cannot be
// resolved.
std::string realFolder(const std::string& path);

// root joined with an absolute path ("/" + "/proc" → "/proc").
std::string underRoot(const std::string& root, std::string_view path);

// The whole of a small file, or absent when it cannot be opened or read.
std::optional<std::string> readSmallFile(const std::string& path);

// `path` (absolute, as seen from root) with every symbolic link followed, kept within root: an
// absolute target starts again at root, ".." stops at root. Absent when a part is missing or
// the links go round.
std::optional<std::string> resolveUnder(const std::string& root, std::string_view path);

// A field of the mount tables (mounts, mountinfo), which escape space, tab, newline and
// backslash as \ooo, unescaped.
std::string unescapedMountField(std::string_view field);

}  // namespace hollin::native
