#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/OrdinaryAccounts.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {

// Applications whose helper processes fold into the application's own name, in match order.
inline constexpr std::string_view appFamilies[] = {"Google Chrome", "Codex", "Obsidian", "ChatGPT"};

// The family `name` belongs to: a family from the table when the name is it, or starts with it
// followed by " (" or " Helper"; otherwise the name itself.
std::string appFamily(std::string_view name);

// One application of one account, with the memory of its processes summed.
struct AppMemoryGroup {
  std::string name;  // the family name
  std::uint32_t uid = 0;
  std::optional<std::uint64_t> footprint;  // absent when no process had a readable one
  std::optional<std::uint64_t> resident;   // absent when no process had a readable one
  int readableCount = 0;                   // processes with a readable footprint
  int processCount = 0;
  bool operator==(const AppMemoryGroup&) const = default;
};

// The two orders of the application list.
class AppMemorySort {
 public:
  enum Case { memory, name };

  constexpr AppMemorySort(Case value = memory) : value_(value) {}

  // "memory" or "name"; any other text gives nothing.
  static std::optional<AppMemorySort> fromRawValue(std::string_view raw);

  Case value() const { return value_; }
  std::string_view rawValue() const;
  LocalizedMessage label() const;
  AppMemorySort toggled() const;
  // The groups in this order, as a new list. Stable: groups that compare equal keep their order.
  std::vector<AppMemoryGroup> ordered(std::vector<AppMemoryGroup> groups) const;

  bool operator==(const AppMemorySort&) const = default;

 private:
  Case value_;
};

// The application groups of the ordinary accounts' processes and of the `alsoListed` ones (the
// sharing profile's, which may lie below the ordinary range), one per account and family, each
// first met in list order, then ordered by `sort`.
std::vector<AppMemoryGroup> appMemoryGroups(const std::vector<ProcessMemory>& processes,
                                            AppMemorySort sort,
                                            AccountRange accounts = ordinaryAccounts(),
                                            const std::set<std::uint32_t>& alsoListed = {});

}  // namespace hollin
