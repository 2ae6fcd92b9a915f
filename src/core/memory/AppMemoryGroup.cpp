#include "core/memory/AppMemoryGroup.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "core/memory/NameOrdering.h"

namespace hollin {
namespace {

bool belongsToFamily(std::string_view name, std::string_view family) {
  if (!name.starts_with(family)) return false;
  const std::string_view rest = name.substr(family.size());
  return rest.empty() || rest.starts_with(" (") || rest.starts_with(" Helper");
}

// Localized order first; names it calls the same still get a fixed order, bytes then uid.
bool nameBefore(const AppMemoryGroup& a, const AppMemoryGroup& b) {
  const std::weak_ordering localized = localizedStandardCompare(a.name, b.name);
  if (localized != 0) return localized < 0;
  if (a.name != b.name) return a.name < b.name;
  return a.uid < b.uid;
}

bool memoryBefore(const AppMemoryGroup& a, const AppMemoryGroup& b) {
  if (a.footprint.has_value() != b.footprint.has_value()) return a.footprint.has_value();
  if (a.footprint && *a.footprint != *b.footprint) return *a.footprint > *b.footprint;
  return nameBefore(a, b);
}

void addPresent(std::optional<std::uint64_t>& sum, std::optional<std::uint64_t> value) {
  if (value) sum = sum.value_or(0) + *value;
}

}  // namespace

std::string appFamily(std::string_view name) {
  for (const std::string_view family : appFamilies)
    if (belongsToFamily(name, family)) return std::string(family);
  return std::string(name);
}

std::optional<AppMemorySort> AppMemorySort::fromRawValue(std::string_view raw) {
  if (raw == "memory") return AppMemorySort(memory);
  if (raw == "name") return AppMemorySort(name);
  return std::nullopt;
}

std::string_view AppMemorySort::rawValue() const {
  return value_ == memory ? "memory" : "name";
}

LocalizedMessage AppMemorySort::label() const {
  return value_ == memory ? msg("使用量順") : msg("名前順");
}

AppMemorySort AppMemorySort::toggled() const { return value_ == memory ? name : memory; }

std::vector<AppMemoryGroup> AppMemorySort::ordered(std::vector<AppMemoryGroup> groups) const {
  std::stable_sort(groups.begin(), groups.end(), value_ == memory ? memoryBefore : nameBefore);
  return groups;
}

std::vector<AppMemoryGroup> appMemoryGroups(const std::vector<ProcessMemory>& processes,
                                            AppMemorySort sort, AccountRange accounts,
                                            const std::set<std::uint32_t>& alsoListed) {
  std::vector<AppMemoryGroup> groups;
  std::unordered_map<std::string, std::size_t> indexByKey;  // "uid|family"
  for (const ProcessMemory& process : processes) {
    if (!accounts.contains(process.uid) && !alsoListed.contains(process.uid)) continue;
    std::string family = appFamily(process.name);
    const auto [found, added] =
        indexByKey.try_emplace(std::to_string(process.uid) + '|' + family, groups.size());
    if (added) groups.push_back({std::move(family), process.uid, std::nullopt, std::nullopt, 0, 0});
    AppMemoryGroup& group = groups[found->second];
    addPresent(group.footprint, process.footprint);
    addPresent(group.resident, process.resident);
    group.readableCount += process.footprint.has_value() ? 1 : 0;
    ++group.processCount;
  }
  return sort.ordered(std::move(groups));
}

}  // namespace hollin
