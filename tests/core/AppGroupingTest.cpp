#include <gtest/gtest.h>

#include "core/memory/AppMemoryGroup.h"
#include "core/memory/AppProcesses.h"
#include "core/memory/NameOrdering.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1 << 20;
constexpr AccountRange accounts{1000, 60000};

ProcessMemory process(std::int32_t pid, std::uint32_t uid, std::string name, std::optional<std::uint64_t> footprint,
                      std::optional<std::uint64_t> resident = {}) {
  return {pid, uid, 7, std::move(name), footprint, resident};
}

TEST(NameOrdering, FileNameOrder) {
  using std::weak_ordering;
  struct Row { const char* a; const char* b; weak_ordering expected; };
  const Row rows[] = {
      // Digits by their value, case ignored, accents after the plain letter; invalid UTF-8 still compares.
      {"Item 2", "item 10", weak_ordering::less}, {"item 10", "Item 2", weak_ordering::greater},
      {"file9", "file10", weak_ordering::less},   {"Firefox", "firefox", weak_ordering::equivalent},
      {"apple", "Banana", weak_ordering::less},   {"cafe", "café", weak_ordering::less},
      {"", "a", weak_ordering::less},             {"\xff\xfe", "\xff\xfe", weak_ordering::equivalent},
  };
  for (const Row& row : rows)
    EXPECT_EQ(localizedStandardCompare(row.a, row.b), row.expected) << row.a << " / " << row.b;
}

TEST(AppGrouping, FamiliesFoldPerOrdinaryAccount) {
  // A family's helpers join it after " (" or " Helper"; no other separator, and case matters.
  const std::pair<const char*, const char*> families[] = {
      {"Google Chrome Helper (Renderer)", "Google Chrome"}, {"ChatGPT Helper", "ChatGPT"}, {"Codex (Beta)", "Codex"},
      {"Codexer", "Codexer"}, {"ObsidianHelper", "ObsidianHelper"}, {"Google Chrome-beta", "Google Chrome-beta"},
      {"google chrome", "google chrome"},
  };
  for (const auto& [name, family] : families) EXPECT_EQ(appFamily(name), family) << name;

  // Root, a system account and nobody are left out.
  const std::vector<ProcessMemory> processes{
      process(1, 0, "Google Chrome", 900 * MiB), process(2, 999, "Codex", 900 * MiB),
      process(3, 65534, "Codex", 900 * MiB),     process(4, 1001, "Google Chrome Helper", 10 * MiB, 20 * MiB),
      process(5, 1001, "Google Chrome", std::nullopt, 5 * MiB), process(6, 1000, "Google Chrome (GPU)", 10 * MiB),
      process(7, 1001, "Google Chrome Helper (Renderer)", 5 * MiB), process(8, 1000, "Xorg", std::nullopt),
      process(9, 1000, "Xorg", std::nullopt),
  };
  EXPECT_EQ(appMemoryGroups(processes, AppMemorySort::memory, accounts),
            (std::vector<AppMemoryGroup>{{"Google Chrome", 1001, 15 * MiB, 25 * MiB, 2, 3},
                                         {"Google Chrome", 1000, 10 * MiB, std::nullopt, 1, 1},
                                         {"Xorg", 1000, std::nullopt, std::nullopt, 0, 2}}));
  // The sharing profile's accounts are listed even below the ordinary range.
  EXPECT_EQ(appMemoryGroups(processes, AppMemorySort::memory, accounts, {999}).size(), 4u);
}

TEST(AppGrouping, SortOrders) {
  const std::vector<AppMemoryGroup> groups{
      {"item 10", 1000, std::nullopt, std::nullopt, 0, 1}, {"Zed", 1000, 5 * MiB, std::nullopt, 1, 1},
      {"Item 2", 1001, 5 * MiB, std::nullopt, 1, 1},       {"Item 2", 1000, 5 * MiB, std::nullopt, 1, 1},
      {"big", 1000, 9 * MiB, std::nullopt, 1, 1},          {"item 2", 1000, std::nullopt, std::nullopt, 0, 1},
  };
  auto names = [&groups](AppMemorySort sort) {
    std::string out;
    for (const auto& group : sort.ordered(groups)) out += group.name + "/" + std::to_string(group.uid) + "; ";
    return out;
  };
  // Memory: largest first, unreadable last, then by name and uid; name: the file-name order.
  EXPECT_EQ(names(AppMemorySort::memory), "big/1000; Item 2/1000; Item 2/1001; Zed/1000; item 2/1000; item 10/1000; ");
  EXPECT_EQ(names(AppMemorySort::name), "big/1000; Item 2/1000; Item 2/1001; item 2/1000; item 10/1000; Zed/1000; ");
}

TEST(AppGrouping, OtherAccountsReportTheirOwnProcessesWhileFresh) {
  constexpr std::uint32_t me = 1000;
  constexpr double now = 500;
  Snapshot snapshot;
  snapshot.processes = {process(1, me, "mine", 1 * MiB), process(2, 1001, "theirs", std::nullopt),
                        process(3, 1002, "other", std::nullopt), process(4, 0, "init", 2 * MiB)};
  const ProcessMemory reported{51, 1001, 7, "reported", 3 * MiB, 4 * MiB};
  auto report = [&](std::uint32_t uid, double checkedAt, bool complete) {
    return PeerReport{.uid = uid, .memory = {{{51, 7}, "reported", 3 * MiB, 4 * MiB}}, .memoryCheckedAt = checkedAt,
                      .memoryComplete = complete};
  };
  const auto& all = snapshot.processes;
  const std::vector<ProcessMemory> replaced{all[0], all[2], all[3], reported};
  struct Row { const char* label; PeerReport report; bool replaces; };
  const Row rows[] = {
      {"20 s old", report(1001, now - 20, true), true},   {"21 s old", report(1001, now - 21, true), false},
      {"2 s ahead", report(1001, now + 2, true), true},   {"3 s ahead", report(1001, now + 3, true), false},
      {"incomplete", report(1001, now, false), false},    {"this account's own", report(me, now, true), false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(combinedProcesses(snapshot, {row.report}, me, now), row.replaces ? replaced : all) << row.label;
}

}  // namespace
}  // namespace hollin
