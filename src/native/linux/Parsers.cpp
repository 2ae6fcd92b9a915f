// Pure parsers of the kernel's text files: text in, figures out, never an exception.
#include "native/linux/NativeReaders.h"
#include "native/linux/CheckedArithmetic.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace hollin::native {
namespace {

constexpr std::uint64_t kibibyte = 1024;
constexpr std::uint64_t microsecondsPerSecond = 1'000'000;

std::string_view trimLeft(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// The unsigned number at the start of text (after blanks); the rest of text follows it. A number
// beyond 64 bits is no number (from_chars reports it out of range), never a wrapped one.
std::optional<std::uint64_t> takeNumber(std::string_view& text) {
  text = trimLeft(text);
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

// Calls visit(key, rest) for every "key<separator>rest" line.
template <typename Visit>
void forEachLine(std::string_view text, char separator, Visit visit) {
  while (!text.empty()) {
    auto newline = text.find('\n');
    auto line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    auto split = line.find(separator);
    if (split != std::string_view::npos) visit(line.substr(0, split), line.substr(split + 1));
  }
}

// "  1234 kB" → bytes, with the line required to end after the unit.
std::optional<std::uint64_t> kilobytes(std::string_view rest) {
  auto value = takeNumber(rest);
  if (!value || trimLeft(rest) != "kB") return std::nullopt;
  return checkedProduct(value, kibibyte);
}

// The number alone on the rest of a line.
std::optional<std::uint64_t> wholeNumber(std::string_view rest) {
  auto value = takeNumber(rest);
  if (!value || !trimLeft(rest).empty()) return std::nullopt;
  return value;
}

}  // namespace

MemInfo parseMemInfo(std::string_view text) {
  MemInfo info;
  const std::pair<std::string_view, std::optional<std::uint64_t> MemInfo::*> fields[] = {
      {"MemTotal", &MemInfo::memTotal},       {"MemAvailable", &MemInfo::memAvailable},
      {"Unevictable", &MemInfo::unevictable}, {"SUnreclaim", &MemInfo::sUnreclaim},
      {"KernelStack", &MemInfo::kernelStack}, {"PageTables", &MemInfo::pageTables},
      {"Zswap", &MemInfo::zswap},             {"SwapTotal", &MemInfo::swapTotal},
      {"SwapFree", &MemInfo::swapFree}};
  forEachLine(text, ':', [&](std::string_view key, std::string_view rest) {
    for (const auto& [name, member] : fields)
      if (key == name) info.*member = kilobytes(rest);
  });
  return info;
}

std::optional<CpuTicks> parseCpuTicks(std::string_view text) {
  if (!text.starts_with("cpu ")) return std::nullopt;
  auto line = text.substr(4, text.find('\n') - 4);
  // user nice system idle iowait irq softirq steal; kernels before 2.6.11 stop earlier.
  std::uint64_t field[8] = {};
  std::size_t count = 0;
  while (count < 8) {
    auto value = takeNumber(line);
    if (!value) break;
    field[count++] = *value;
  }
  if (count < 4 || !(trimLeft(line).empty() || count == 8)) return std::nullopt;
  auto busy = checkedSum({field[0], field[1], field[2], field[5], field[6], field[7]});
  auto idle = checkedSum({field[3], field[4]});
  if (!busy || !idle) return std::nullopt;
  return CpuTicks{*busy, *idle};
}

std::optional<std::uint64_t> parseBootTime(std::string_view text) {
  return parseVmStat(text, "btime");
}

std::optional<std::uint64_t> parseVmStat(std::string_view text, std::string_view key) {
  std::optional<std::uint64_t> found;
  forEachLine(text, ' ', [&](std::string_view name, std::string_view rest) {
    if (name == key) found = wholeNumber(rest);
  });
  return found;
}

std::optional<std::uint64_t> parseZramMemUsed(std::string_view text) {
  for (int field = 0; field < 2; ++field)
    if (!takeNumber(text)) return std::nullopt;
  return takeNumber(text);
}

std::optional<PressureStall> parsePressureStall(std::string_view text) {
  std::optional<double> some, full;
  forEachLine(text, ' ', [&](std::string_view kind, std::string_view rest) {
    if (!rest.starts_with("avg10=")) return;
    rest.remove_prefix(6);
    double value = 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || !std::isfinite(value) || value < 0 || value > 100 ||
        (end != rest.data() + rest.size() && *end != ' '))
      return;
    if (kind == "some") some = value;
    if (kind == "full") full = value;
  });
  if (!some) return std::nullopt;
  // Kernels before 5.13 have no "full" line for memory on the root; none counts as no stall.
  return PressureStall{*some, full.value_or(0)};
}

std::optional<std::uint64_t> parseStartTicks(std::string_view text) {
  auto close = text.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  auto rest = text.substr(close + 1);
  // After the name: state (field 3), then fields 4…21, then starttime (field 22).
  rest = trimLeft(rest);
  auto space = rest.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  rest.remove_prefix(space);
  for (int field = 4; field < 22; ++field) {
    rest = trimLeft(rest);
    if (!rest.empty() && rest.front() == '-') rest.remove_prefix(1);  // signed fields
    if (!takeNumber(rest)) return std::nullopt;
  }
  auto start = takeNumber(rest);
  if (!start || (!rest.empty() && rest.front() != ' ' && rest.front() != '\n')) return std::nullopt;
  return start;
}

namespace {

// status escapes the name: "\\" for a backslash and "\n" for a newline.
std::string unescapeName(std::string_view raw) {
  std::string name;
  name.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      char next = raw[++i];
      name += next == 'n' ? '\n' : next;
    } else {
      name += raw[i];
    }
  }
  return name;
}

}  // namespace

ProcessStatus parseProcessStatus(std::string_view text) {
  ProcessStatus status;
  const std::pair<std::string_view, std::optional<std::uint64_t> ProcessStatus::*> sizes[] = {
      {"VmRSS", &ProcessStatus::vmRss},
      {"RssAnon", &ProcessStatus::rssAnon},
      {"RssShmem", &ProcessStatus::rssShmem},
      {"VmSwap", &ProcessStatus::vmSwap}};
  forEachLine(text, ':', [&](std::string_view key, std::string_view rest) {
    if (key == "Name") {
      status.name = unescapeName(rest.starts_with('\t') ? rest.substr(1) : rest);
    } else if (key == "Uid") {
      auto real = takeNumber(rest);
      if (real && *real <= std::numeric_limits<std::uint32_t>::max())
        status.uid = static_cast<std::uint32_t>(*real);
    } else {
      if (key == "VmRSS") status.memoryMapped = true;
      for (const auto& [name, member] : sizes)
        if (key == name) status.*member = kilobytes(rest);
    }
  });
  return status;
}

std::optional<std::uint64_t> bootTimeMicroseconds(std::uint64_t bootSeconds) {
  return checkedProduct(bootSeconds, microsecondsPerSecond);
}

std::optional<std::uint64_t> startMicroseconds(std::uint64_t boot, std::uint64_t startTicks,
                                               std::uint64_t ticksPerSecond) {
  // Whole seconds and the remainder separately, so the result is exact for 100 Hz and only a
  // start beyond any real uptime overflows.
  auto wholeSeconds = checkedProduct(startTicks / ticksPerSecond, microsecondsPerSecond);
  auto fraction = checkedProduct(startTicks % ticksPerSecond, microsecondsPerSecond);
  if (!fraction) return std::nullopt;
  return checkedSum({boot, wholeSeconds, *fraction / ticksPerSecond});
}

bool plausibleTemperature(double celsius) {
  constexpr double lowest = 20.0, highest = 120.0;  // degrees Celsius; 20 itself is a stuck sensor
  return std::isfinite(celsius) && celsius > lowest && celsius <= highest;
}

std::optional<std::int32_t> pressureLevel(const std::optional<PressureStall>& stall,
                                          const MemInfo& memory) {
  constexpr std::int32_t normal = 1, warning = 2, critical = 4;
  std::optional<std::int32_t> fromMemory, fromStall;
  bool roomy = false;  // at least half the memory is available: stalls come from a cgroup limit
  if (memory.memTotal && memory.memAvailable && *memory.memTotal > 0) {
    double available = static_cast<double>(*memory.memAvailable) / static_cast<double>(*memory.memTotal);
    // No swap counts as no free swap: nothing is left to page out to.
    double swapFree = 0;
    if (memory.swapTotal && memory.swapFree && *memory.swapTotal > 0)
      swapFree = static_cast<double>(*memory.swapFree) / static_cast<double>(*memory.swapTotal);
    roomy = available >= 0.50;
    fromMemory = available < 0.10 && swapFree < 0.10   ? critical
                 : available < 0.20 && swapFree < 0.25 ? warning
                                                       : normal;
  }
  if (stall && !roomy) {
    const auto reached = [&](StallThreshold threshold) {
      return (threshold.full ? stall->fullAvg10 : stall->someAvg10) >= threshold.percent;
    };
    fromStall = reached(stallCritical)                                       ? critical
                : reached(stallWarnings[0]) || reached(stallWarnings[1]) ? warning
                                                                         : normal;
  }
  if (!fromMemory && !stall) return std::nullopt;
  return std::max(fromMemory.value_or(normal), fromStall.value_or(normal));
}

}  // namespace hollin::native
