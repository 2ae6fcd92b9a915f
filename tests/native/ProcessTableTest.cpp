#include "FixtureTree.h"
#include "native/linux/NativeReaders.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <tuple>

using namespace hollin::native;
using hollin::native::test::FixtureTree;

namespace {

constexpr std::uint64_t bootMicroseconds = 1418183276ull * 1000000;

auto sample(ProcessTable& table) {
  return test::listing([&](HLProcess** list, std::int32_t* error) { return table.sample(list, error); });
}

// The error of a sample that has to fail: -1 and no list.
std::int32_t failedSample(ProcessTable& table) {
  HLProcess* list = reinterpret_cast<HLProcess*>(&table);
  std::int32_t error = 0;
  const std::int32_t count = table.sample(&list, &error);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(list, nullptr);
  if (count >= 0) hl_free(list);
  return error;
}

}  // namespace

TEST(ProcessTable, RecordedProcessesHeldOrNotAndAReusedPidGetsTheNewStart) {
  for (std::size_t budget : {0, 100}) {
    SCOPED_TRACE(budget);
    FixtureTree tree;
    ProcessTable table(tree.root(), budget);
    auto listing = sample(table);
    ASSERT_EQ(listing.size(), 3u) << "the kernel thread (pid 2) is not listed";
    const auto& vim = listing.at(26231);
    EXPECT_STREQ(vim.name, "vim");
    // The footprint: anonymous, shared and swapped.
    EXPECT_EQ(std::tuple(vim.uid, vim.start, vim.resident_valid, vim.resident, vim.footprint_valid, vim.footprint),
              std::tuple(1000u, bootMicroseconds + 823750000, 1, 6716u * 1024, 1, (2092u + 0 + 660) * 1024));
    EXPECT_STREQ(listing.at(1020).name, "((a b ) ( c d) )");
    EXPECT_EQ(listing.at(1020).start, bootMicroseconds + 108391750000);
    EXPECT_STREQ(listing.at(4242).name, "gnome-shell-calendar-server") << "whole name from cmdline";
    EXPECT_EQ(table.heldDescriptors(), budget == 0 ? 0u : 4u) << "no budget: every file is closed after reading";
    EXPECT_EQ(sample(table).size(), 3u) << "steady state reads the held descriptors";

    // The process ends; the pid is reused by a process started later.
    std::filesystem::rename(tree.path("proc/26231"), tree.path("proc/saved"));
    EXPECT_EQ(sample(table).count(26231), 0u);
    std::filesystem::rename(tree.path("proc/saved"), tree.path("proc/26231"));
    tree.replaceLine("proc/26231/stat", "26231", "26231 (vim) R 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 1 0 99900 0 0");
    EXPECT_EQ(sample(table).at(26231).start, bootMicroseconds + 999000000);
    EXPECT_EQ(table.heldDescriptors(), budget == 0 ? 0u : 4u);
  }
}

TEST(ProcessTable, BrokenProcessesAreLeftOutOrFlagged) {
  FixtureTree tree;
  tree.remove("proc/1020/stat");           // ended between opening status and reading stat
  tree.remove("proc/4242/status");          // ended before status was opened
  tree.write("proc/4242/status/x", "");     // …and a status that cannot be read
  tree.replaceLine("proc/26231/status", "VmSwap:", "VmSwap:\t 6x0 kB");
  tree.write("proc/77/stat", "77 (bad) S 1 77 77 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 soon 0");
  std::filesystem::copy_file(tree.path("proc/26231/status"), tree.path("proc/77/status"));
  tree.write("proc/self", "");              // not a pid
  ProcessTable table(tree.root(), 0);
  auto listing = sample(table);
  ASSERT_EQ(listing.size(), 1u);
  EXPECT_TRUE(listing.at(26231).resident_valid && !listing.at(26231).footprint_valid) << "malformed VmSwap";
}

TEST(ProcessTable, StatusIsReadAgainWhenStatmChangesOrItsTurnComes) {
  FixtureTree tree;
  const auto residentKiB = [&](ProcessTable& table) { return sample(table).at(26231).resident / 1024; };
  // In place, as the kernel changes them: a held descriptor sees the new text.
  const auto rss = [&](const std::string& kib) { tree.replaceLine("proc/26231/status", "VmRSS:", "VmRSS:\t" + kib, true); };
  tree.write("proc/26231/statm", "100 1679 10 5 0 20 0\n", true);
  ProcessTable table(tree.root(), 100);
  EXPECT_EQ(residentKiB(table), 6716u);
  EXPECT_EQ(residentKiB(table), 6716u) << "second sample: statm held, status read";
  EXPECT_EQ(table.heldDescriptors(), 5u);

  rss("7000 kB");
  EXPECT_EQ(residentKiB(table), 6716u) << "statm unchanged: status is not read";
  tree.write("proc/26231/statm", "100 1750 10 5 0 20 0\n", true);
  EXPECT_EQ(residentKiB(table), 7000u) << "statm changed: status read again";

  rss("8000 kB");
  std::uint64_t seen = 0;
  for (std::uint64_t round = 0; round < ProcessTable::statusEvery && seen != 8000; ++round) seen = residentKiB(table);
  EXPECT_EQ(seen, 8000u) << "its turn comes within statusEvery samples";
}

TEST(ProcessTable, AFirstSampleOfManyProcessesReadsThemInParallelAlike) {
  FixtureTree tree;
  const std::size_t copies = ProcessTable::parallelBatch + 8;
  for (std::size_t i = 0; i < copies; ++i)
    std::filesystem::copy(tree.path("proc/26231"), tree.path("proc/" + std::to_string(30000 + i)));
  const auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  const auto before = openDescriptors();
  ProcessTable table(tree.root(), 100);
  auto listing = sample(table);
  ASSERT_EQ(listing.size(), copies + 3);
  EXPECT_EQ(openDescriptors(), before + 100) << "the budget holds also for a parallel batch, nothing else stays open";
  EXPECT_STREQ(listing.at(30000 + static_cast<std::int32_t>(copies) - 1).name, "vim");
  EXPECT_EQ(listing.at(30007).footprint, listing.at(26231).footprint);
  EXPECT_EQ(sample(table).size(), copies + 3) << "those over the budget are read afresh";
}

TEST(ProcessTable, FiguresBeyond64BitsAreInvalidNotWrapped) {
  FixtureTree tree;
  // Each alone fits; their sum is 2^64 exactly.
  tree.replaceLine("proc/26231/status", "RssAnon:", "RssAnon:\t18014398509481983 kB");
  tree.replaceLine("proc/26231/status", "RssShmem:", "RssShmem:\t1 kB");
  tree.replaceLine("proc/26231/status", "VmSwap:", "VmSwap:\t0 kB");
  tree.replaceLine("proc/4242/status", "VmRSS:", "VmRSS:\t18446744073709551616 kB");
  tree.replaceLine("proc/1020/status", "VmRSS:", "VmRSS:\tplenty");
  // A start of 2^64 − 1 ticks after boot parses, but not as microseconds since 1970.
  std::filesystem::copy(tree.path("proc/26231"), tree.path("proc/77"));
  tree.replaceLine("proc/77/stat", "26231", "77 (late) R 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 1 0 18446744073709551615 0");
  ProcessTable table(tree.root(), 100);
  const auto validity = [](const HLProcess& process) { return std::pair(process.resident_valid, process.footprint_valid); };
  for (int round = 0; round < 2; ++round) {
    auto listing = sample(table);
    ASSERT_EQ(listing.size(), 3u) << "the late process is left out; garbled VmRSS lines are no kernel threads";
    EXPECT_EQ(validity(listing.at(26231)), std::pair(1, 0)) << "a footprint that wraps is unknown";
    EXPECT_EQ(listing.at(26231).footprint, 0u);
    for (std::int32_t pid : {4242, 1020}) EXPECT_EQ(validity(listing.at(pid)), std::pair(0, 1)) << pid;
  }
}

TEST(ProcessTable, NoProcOrNoUsableBootTimeFailsTheListingAndLosesNothing) {
  const FixtureTree empty("");
  ProcessTable nothing(empty.root(), 10);
  EXPECT_EQ(failedSample(nothing), ENOENT) << "no /proc";
  EXPECT_EQ(readIdentity(empty.root(), 1), std::nullopt);

  const std::pair<const char*, std::int32_t> rows[] = {
      {"", ENODATA}, {"btime 18446744073710", ENODATA}, {nullptr, ENOENT}};
  for (const auto& [line, expected] : rows) {
    const std::string name = line ? line : "no /proc/stat";
    FixtureTree tree;
    const std::string stat = tree.path("proc/stat");
    std::filesystem::copy_file(stat, tree.path("stat.recorded"));
    if (line) tree.replaceLine("proc/stat", "btime", line);
    else std::filesystem::remove(stat);
    ProcessTable table(tree.root(), 100);
    EXPECT_EQ(failedSample(table), expected) << name << ", not an empty list";
    EXPECT_EQ(readIdentity(tree.root(), 26231), std::nullopt) << name;

    std::filesystem::rename(tree.path("stat.recorded"), stat);
    auto listing = sample(table);
    ASSERT_EQ(listing.size(), 3u) << name;
    EXPECT_EQ(listing.at(26231).start, bootMicroseconds + 823750000) << name;
  }

  // A table that already holds its processes needs the boot time only for a newcomer, and a
  // failed sample keeps what it holds.
  FixtureTree tree;
  ProcessTable table(tree.root(), 100);
  ASSERT_EQ(sample(table).size(), 3u);
  std::filesystem::rename(tree.path("proc/stat"), tree.path("stat.recorded"));
  EXPECT_EQ(sample(table).size(), 3u);
  std::filesystem::copy(tree.path("proc/26231"), tree.path("proc/77"));
  EXPECT_EQ(failedSample(table), ENOENT);
  EXPECT_EQ(table.heldDescriptors(), 4u);
  std::filesystem::rename(tree.path("stat.recorded"), tree.path("proc/stat"));
  EXPECT_EQ(sample(table).size(), 4u);
}
