#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <tuple>

#include "core/snapshot/Snapshot.h"

namespace hollin {
namespace {

const PlistValue sessionInfo = PlistDictionary{
    {"SessionInfo",
     PlistArray{PlistDictionary{{"kCGSSessionUserIDKey", 1000}, {"kCGSessionLoginDoneKey", true}}}}};

// A machine whose clocks the test moves by hand and whose readings it sets, with one
// subsystem's reader that adds an SSD figure of its own at each slow read.
struct FakeMachine {
  struct SSDReader final : SnapshotReader {
    void read(Snapshot& snapshot, const TakeMoment& moment) override {
      seen.push_back({moment.uptime, moment.slowDue});
      EXPECT_EQ(snapshot.system.physical, 16ull << 30) << "readers come after the whole-machine reading";
      if (moment.slowDue) celsius = 40 + static_cast<double>(seen.size());
      snapshot.ssdCelsius = celsius;
    }
    std::vector<std::pair<double, bool>> seen;  // uptime, slow read due
    std::optional<double> celsius;
  };

  double uptime = 100;
  std::optional<double> cpu = 48.5;
  ProcessListing listing = std::vector<ProcessMemory>{};
  int cpuReads = 0;
  SnapshotCache cache;
  std::shared_ptr<SSDReader> reader = std::make_shared<SSDReader>();

  WallTime now() const { return WallTime{} + std::chrono::seconds(static_cast<long>(uptime)); }

  Snapshot take() {
    const SnapshotSources sources{
        .uptime = [this] { return uptime; },
        .now = [this] { return now(); },
        .system = [] {
          HLSystem system{};
          system.physical = 16ull << 30;
          return system;
        },
        .processes = [this] { return listing; },
        .consoleUID = [] { return 1000u; },
        .cpuTemperature = [this] { return ++cpuReads, cpu; },
        .loginSessions = [] { return std::optional(sessionInfo); },
    };
    const std::shared_ptr<SnapshotReader> readers[] = {reader};
    return Snapshot::take(sources, cache, readers);
  }
};

ProcessMemory process(std::int32_t pid, std::uint32_t uid) { return {pid, uid, 7, "p", 1, 2}; }

// The CPU temperature, its date and the reader's SSD figure of a take.
std::tuple<std::optional<double>, std::optional<WallTime>, std::optional<double>> slowFigures(const Snapshot& taken) {
  return {taken.cpuCelsius, taken.cpuMeasuredAt, taken.ssdCelsius};
}

TEST(SnapshotTake, SlowReadsAtFirstTakeThenOncePerMinuteOfUptimeForTheTakeAndItsReaders) {
  FakeMachine machine;
  const Snapshot first = machine.take();
  EXPECT_EQ(slowFigures(first), std::tuple(48.5, machine.now(), 41.0));

  machine.uptime += 10;
  machine.cpu = 70;
  EXPECT_EQ(slowFigures(machine.take()), slowFigures(first)) << "not due: the last values stay, the reader's too";

  machine.uptime += 50;  // 60 s after the first read: due again
  EXPECT_EQ(slowFigures(machine.take()), std::tuple(70.0, machine.now(), 43.0));
  machine.cpu = std::nullopt;
  machine.uptime += 3600;  // a sleep: the first take after it reads again; a failure clears value and date
  EXPECT_EQ(slowFigures(machine.take()), std::tuple(std::nullopt, std::nullopt, 44.0));
  EXPECT_EQ(machine.cpuReads, 3);
  EXPECT_EQ(machine.reader->seen, (std::vector<std::pair<double, bool>>{{100, true}, {110, false}, {160, true},
                                                                        {3760, true}}));
}

TEST(SnapshotTake, FailedListingLeavesEverythingElseFilled) {
  FakeMachine machine;
  machine.listing = Failure{EACCES};
  const Snapshot snapshot = machine.take();
  EXPECT_TRUE(snapshot.processes.empty());
  EXPECT_EQ(std::tuple(snapshot.enumerationError, snapshot.system.physical, snapshot.cpuCelsius, snapshot.loggedInUIDs),
            std::tuple(EACCES, 16ull << 30, 48.5, std::set<std::uint32_t>{1000}));

  machine.listing = std::vector<ProcessMemory>{process(30, 1000), process(2, 0)};
  const Snapshot listed = machine.take();
  EXPECT_EQ(std::tuple(listed.enumerationError, listed.processes), std::tuple(0, machine.listing.value()));
}

TEST(SnapshotUserIDs, OrdinaryAccountsOnlySortedAndDistinct) {
  Snapshot snapshot;
  for (std::uint32_t uid : {1001u, 0u, 999u, 1000u, 1001u, 60000u, 60001u, 65534u, 4294967295u})
    snapshot.processes.push_back(process(1, uid));
  EXPECT_EQ(snapshot.userIDs({1000, 60000}), (std::vector<std::uint32_t>{1000, 1001, 60000}));
  EXPECT_EQ(snapshot.userIDs({500, 65533}), (std::vector<std::uint32_t>{999, 1000, 1001, 60000, 60001}));
}

TEST(SnapshotProcessMemory, FlagsDecideWhichFiguresExist) {
  // The footprint's flag stays 0: not a reading.
  HLProcess native{.pid = 42, .uid = 1000, .start = 123, .resident = 4096, .footprint = 99, .footprint_valid = 0,
                   .resident_valid = 1, .name = "Écrit"};
  EXPECT_EQ(processMemory(native), (ProcessMemory{42, 1000, 123, "Écrit", std::nullopt, std::uint64_t{4096}}));
  std::memset(native.name, 'x', sizeof native.name);  // no terminator: stops at the end
  EXPECT_EQ(processMemory(native).name.size(), sizeof native.name);
}

TEST(SnapshotText, NoSizeOverflowsTheDesktopFormatter) {
  EXPECT_EQ(memoryText(std::numeric_limits<std::uint64_t>::max(), "en"),
            memoryText(static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()), "en"));
}

}  // namespace
}  // namespace hollin
