#include "core/OrdinaryAccounts.h"

#include <atomic>
#include <charconv>
#include <optional>

#include "core/PlainText.h"

namespace hollin {

namespace {

std::atomic<std::uint64_t> processRange{(std::uint64_t{1000} << 32) | 60000};

std::optional<std::uint32_t> uidValue(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

AccountRange parseLoginDefs(std::string_view text) {
  std::optional<std::uint32_t> first, last;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = trimmedBlanks(text.substr(0, newline), " \t\r");
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t gap = line.find_first_of(" \t");
    if (gap == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, gap);
    const std::optional<std::uint32_t> value = uidValue(trimmedBlanks(line.substr(gap), " \t\r"));
    if (name == "UID_MIN") first = value;
    if (name == "UID_MAX") last = value;
  }
  AccountRange range;
  if (first && last && *first <= *last) range = {*first, *last};
  return range;
}

AccountRange ordinaryAccounts() {
  const std::uint64_t packed = processRange.load(std::memory_order_relaxed);
  return {static_cast<std::uint32_t>(packed >> 32), static_cast<std::uint32_t>(packed)};
}

void setOrdinaryAccounts(AccountRange range) {
  processRange.store((std::uint64_t{range.first} << 32) | range.last, std::memory_order_relaxed);
}

}  // namespace hollin
