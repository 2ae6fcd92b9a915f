#include <gtest/gtest.h>

#include "core/L10n.h"
#include "core/memory/AppMemoryGroup.h"
#include "core/memory/AppProcesses.h"

namespace hollin {
namespace {

constexpr std::uint64_t MiB = 1 << 20;
constexpr AccountRange accounts{1000, 60000};

ProcessMemory process(std::int32_t pid, std::uint32_t uid, std::string name,
                      std::optional<std::uint64_t> footprint,
                      std::optional<std::uint64_t> resident = std::nullopt) {
  return {pid, uid, static_cast<std::uint64_t>(pid) * 10, std::move(name), footprint, resident};
}

TEST(AppGrouping, FamilyFolding) {
  const std::pair<const char*, const char*> rows[] = {
      {"Google Chrome", "Google Chrome"},
      {"Google Chrome Helper (Renderer)", "Google Chrome"},
      {"Google Chrome Helper", "Google Chrome"},
      {"Codex (Beta)", "Codex"},
      {"Codexer", "Codexer"},          // no separator
      {"ObsidianHelper", "ObsidianHelper"},
      {"ChatGPT Helper", "ChatGPT"},
      {"Google Chrome-beta", "Google Chrome-beta"},
      {"google chrome", "google chrome"},  // case matters
      {"firefox", "firefox"},
  };
  for (const auto& [name, family] : rows) EXPECT_EQ(appFamily(name), family) << name;
}

TEST(AppGrouping, GroupsPerAccountAndFamily) {
  const std::vector<ProcessMemory> processes{
      process(1, 0, "Google Chrome", 900 * MiB),         // root
      process(2, 999, "Codex", 900 * MiB),               // system account
      process(3, 65534, "Codex", 900 * MiB),             // nobody
      process(4, 1001, "Google Chrome Helper", 10 * MiB, 20 * MiB),
      process(5, 1001, "Google Chrome", std::nullopt, 5 * MiB),
      process(6, 1000, "Google Chrome (GPU)", 10 * MiB),
      process(7, 1001, "Google Chrome Helper (Renderer)", 5 * MiB),
      process(8, 1000, "Xorg", std::nullopt),
      process(9, 1000, "Xorg", std::nullopt),
  };
  const auto groups = appMemoryGroups(processes, AppMemorySort::memory, accounts);
  const std::vector<AppMemoryGroup> expected{
      {"Google Chrome", 1001, 15 * MiB, 25 * MiB, 2, 3},
      {"Google Chrome", 1000, 10 * MiB, std::nullopt, 1, 1},
      {"Xorg", 1000, std::nullopt, std::nullopt, 0, 2},
  };
  EXPECT_EQ(groups, expected);
}

TEST(AppGrouping, SortOrders) {
  const std::vector<AppMemoryGroup> groups{
      {"item 10", 1000, std::nullopt, std::nullopt, 0, 1},
      {"Zed", 1000, 5 * MiB, std::nullopt, 1, 1},
      {"Item 2", 1001, 5 * MiB, std::nullopt, 1, 1},
      {"Item 2", 1000, 5 * MiB, std::nullopt, 1, 1},
      {"big", 1000, 9 * MiB, std::nullopt, 1, 1},
      {"item 2", 1000, std::nullopt, std::nullopt, 0, 1},
  };
  auto names = [](const std::vector<AppMemoryGroup>& list) {
    std::vector<std::string> out;
    for (const auto& g : list) out.push_back(g.name + "/" + std::to_string(g.uid));
    return out;
  };
  EXPECT_EQ(names(AppMemorySort(AppMemorySort::memory).ordered(groups)),
            (std::vector<std::string>{"big/1000", "Item 2/1000", "Item 2/1001", "Zed/1000",
                                      "item 2/1000", "item 10/1000"}));
  EXPECT_EQ(names(AppMemorySort(AppMemorySort::name).ordered(groups)),
            (std::vector<std::string>{"big/1000", "Item 2/1000", "Item 2/1001", "item 2/1000",
                                      "item 10/1000", "Zed/1000"}));
}

TEST(AppGrouping, SortValues) {
  const AppMemorySort memory = AppMemorySort::memory, name = AppMemorySort::name;
  EXPECT_EQ(AppMemorySort(), memory);
  EXPECT_EQ(memory.toggled(), name);
  EXPECT_EQ(name.toggled(), memory);
  EXPECT_EQ(AppMemorySort::fromRawValue("name"), name);
  EXPECT_EQ(AppMemorySort::fromRawValue(memory.rawValue()), memory);
  EXPECT_EQ(AppMemorySort::fromRawValue("Name"), std::nullopt);
  EXPECT_EQ(L10n::render(memory.label(), "en"), "By Memory") << "check the English table";
  EXPECT_EQ(L10n::render(name.label(), "ja"), "名前順");
}

TEST(AppGrouping, CombinedProcessList) {
  constexpr std::uint32_t me = 1000;
  Snapshot snapshot;
  snapshot.processes = {process(1, me, "mine", 1 * MiB), process(2, 1001, "theirs", std::nullopt),
                        process(3, 1002, "other", std::nullopt), process(4, 0, "init", 2 * MiB)};
  const double now = 500;
  auto report = [&](std::uint32_t uid, double checkedAt, bool complete) {
    PeerReport r;
    r.uid = uid;
    r.memoryCheckedAt = checkedAt;
    r.memoryComplete = complete;
    r.memory = {{{50 + static_cast<std::int32_t>(uid), 7}, "reported", 3 * MiB, 4 * MiB}};
    return r;
  };
  struct Row {
    const char* label;
    PeerReport report;
    bool replaces;
  } rows[] = {
      {"fresh", report(1001, now - 20, true), true},
      {"2 s ahead", report(1001, now + 2, true), true},
      {"21 s old", report(1001, now - 21, true), false},
      {"25 s old", report(1001, now - 25, true), false},
      {"3 s ahead", report(1001, now + 3, true), false},
      {"incomplete", report(1001, now, false), false},
      {"own account", report(me, now, true), false},
  };
  for (const Row& row : rows) {
    const auto combined = combinedProcesses(snapshot, {row.report}, me, now);
    if (!row.replaces) {
      EXPECT_EQ(combined, snapshot.processes) << row.label;
      continue;
    }
    const std::uint32_t uid = row.report.uid;
    const std::vector<ProcessMemory> expected{
        snapshot.processes[0], snapshot.processes[2], snapshot.processes[3],
        {static_cast<std::int32_t>(50 + uid), uid, 7, "reported", 3 * MiB, 4 * MiB}};
    EXPECT_EQ(combined, expected) << row.label;
  }
}

}  // namespace
}  // namespace hollin
