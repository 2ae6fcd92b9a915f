#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "core/snapshot/Snapshot.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

// A machine whose clocks the test moves by hand and whose readings it sets.
struct FakeMachine {
  double uptime = 100;
  WallTime now = WallTime{} + 800'000'000s;
  std::optional<double> cpu = 48.5;
  ProcessListing listing = std::vector<ProcessMemory>{};
  int cpuReads = 0;

  SnapshotSources sources() {
    return {
        .uptime = [this] { return uptime; },
        .now = [this] { return now; },
        .system = [] {
          HLSystem system{};
          system.physical = 16ull << 30;
          return system;
        },
        .processes = [this] { return listing; },
        .consoleUID = [] { return 1000u; },
        .cpuTemperature = [this] {
          ++cpuReads;
          return cpu;
        },
        .loginSessions = [] {
          return std::optional<PlistValue>(PlistDictionary{
              {"SessionInfo", PlistArray{PlistDictionary{{"kCGSSessionUserIDKey", 1000},
                                                         {"kCGSessionLoginDoneKey", true}}}}});
        },
    };
  }

  void advance(double seconds) {
    uptime += seconds;
    now += std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds));
  }
};

ProcessMemory process(std::int32_t pid, std::uint32_t uid) {
  return {pid, uid, 1'700'000'000'000'000ull + static_cast<std::uint64_t>(pid), "p", 1, 2};
}

TEST(SnapshotTake, SlowReadsAtFirstTakeThenOncePerMinute) {
  FakeMachine machine;
  const SnapshotSources sources = machine.sources();
  SnapshotCache cache;

  const Snapshot first = Snapshot::take(sources, cache);
  EXPECT_EQ(machine.cpuReads, 1);
  EXPECT_EQ(first.cpuCelsius, 48.5);
  EXPECT_EQ(first.cpuMeasuredAt, machine.now);

  const WallTime firstRead = machine.now;
  machine.advance(10);
  machine.cpu = 70;
  const Snapshot later = Snapshot::take(sources, cache);
  EXPECT_EQ(machine.cpuReads, 1);
  EXPECT_EQ(later.cpuCelsius, 48.5);
  EXPECT_EQ(later.cpuMeasuredAt, firstRead);
  EXPECT_EQ(later.ssdMeasuredAt, first.ssdMeasuredAt);
  EXPECT_EQ(later.uptime, 110);

  machine.advance(50);  // 60 s after the first read: due again
  const Snapshot due = Snapshot::take(sources, cache);
  EXPECT_EQ(machine.cpuReads, 2);
  EXPECT_EQ(due.cpuCelsius, 70);
  EXPECT_EQ(due.cpuMeasuredAt, machine.now);
}

TEST(SnapshotTake, FailedTemperatureClearsValueAndDate) {
  FakeMachine machine;
  const SnapshotSources sources = machine.sources();
  SnapshotCache cache;
  ASSERT_TRUE(Snapshot::take(sources, cache).cpuCelsius);

  machine.cpu = std::nullopt;
  machine.advance(30);
  EXPECT_TRUE(Snapshot::take(sources, cache).cpuMeasuredAt) << "not due yet: the last value stays";
  machine.advance(30);
  const Snapshot failed = Snapshot::take(sources, cache);
  EXPECT_EQ(failed.cpuCelsius, std::nullopt);
  EXPECT_EQ(failed.cpuMeasuredAt, std::nullopt);
}

TEST(SnapshotTake, SleepMakesTheNextTakeReadAgain) {
  FakeMachine machine;
  const SnapshotSources sources = machine.sources();
  SnapshotCache cache;
  Snapshot::take(sources, cache);
  machine.advance(3600);
  Snapshot::take(sources, cache);
  EXPECT_EQ(machine.cpuReads, 2);
}

TEST(SnapshotTake, FailedListingLeavesEverythingElseFilled) {
  FakeMachine machine;
  machine.listing = Failure{EACCES};
  SnapshotCache cache;
  const Snapshot snapshot = Snapshot::take(machine.sources(), cache);
  EXPECT_TRUE(snapshot.processes.empty());
  EXPECT_EQ(snapshot.enumerationError, EACCES);
  EXPECT_EQ(snapshot.system.physical, 16ull << 30);
  EXPECT_EQ(snapshot.cpuCelsius, 48.5);
  EXPECT_EQ(snapshot.loggedInUIDs, (std::set<std::uint32_t>{1000}));
  EXPECT_EQ(snapshot.uptime, 100);
  EXPECT_EQ(snapshot.ssdCheckedAt, distantPast);
}

TEST(SnapshotTake, KeepsListingOrderAndUnknownSessions) {
  FakeMachine machine;
  machine.listing = std::vector<ProcessMemory>{process(30, 1000), process(2, 0), process(7, 1001)};
  SnapshotSources sources = machine.sources();
  sources.loginSessions = [] { return std::optional<PlistValue>(); };
  SnapshotCache cache;
  const Snapshot snapshot = Snapshot::take(sources, cache);
  EXPECT_EQ(snapshot.enumerationError, 0);
  ASSERT_EQ(snapshot.processes.size(), 3u);
  EXPECT_EQ(snapshot.processes[0].pid, 30);
  EXPECT_EQ(snapshot.processes[2].pid, 7);
  EXPECT_EQ(snapshot.loggedInUIDs, std::nullopt);
}

TEST(SnapshotUserIDs, OrdinaryAccountsOnlySortedAndDistinct) {
  Snapshot snapshot;
  for (std::uint32_t uid : {1001u, 0u, 999u, 1000u, 1001u, 60000u, 60001u, 65534u, 4294967295u})
    snapshot.processes.push_back(process(static_cast<std::int32_t>(uid % 1000), uid));
  EXPECT_EQ(snapshot.userIDs({1000, 60000}), (std::vector<std::uint32_t>{1000, 1001, 60000}));
  EXPECT_EQ(snapshot.userIDs({500, 65533}),
            (std::vector<std::uint32_t>{999, 1000, 1001, 60000, 60001}));
}

TEST(SnapshotProcessMemory, FlagsDecideWhichFiguresExist) {
  HLProcess native{};
  native.pid = 42;
  native.uid = 1000;
  native.start = 123;
  native.resident = 4096;
  native.resident_valid = 1;
  native.footprint = 99;  // flag 0: not a reading
  std::memcpy(native.name, "Écrit", sizeof "Écrit");
  EXPECT_EQ(processMemory(native),
            (ProcessMemory{42, 1000, 123, "Écrit", std::nullopt, std::uint64_t{4096}}));

  std::memset(native.name, 'x', sizeof native.name);  // no terminator: stops at the end
  EXPECT_EQ(processMemory(native).name.size(), sizeof native.name);
}

TEST(SnapshotText, AbsentIsUnavailableAndStylesDiffer) {
  EXPECT_EQ(memoryText(std::nullopt, "ja"), "取得不可");
  EXPECT_EQ(storageText(std::nullopt, "en"), "Unavailable");
  EXPECT_EQ(memoryText(std::uint64_t{1} << 30, "en"), "1 GB");
  EXPECT_EQ(storageText(std::uint64_t{1'000'000'000}, "en"), "1 GB");
  EXPECT_EQ(memoryText(std::numeric_limits<std::uint64_t>::max(), "en"),
            memoryText(static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()), "en"));
}

}  // namespace
}  // namespace hollin
