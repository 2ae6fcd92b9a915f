#include "core/memory/MemoryView.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "core/L10n.h"
#include "core/memory/DiskSpace.h"

namespace hollin {
namespace {

using nlohmann::json;

inline constexpr double cpuTemperatureMaxAge = 120;  // seconds before a reading is dropped

std::string printed(const char* format, double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

template <class T>
std::optional<T> when(std::int32_t valid, T value) {
  return valid ? std::optional<T>(value) : std::nullopt;
}

template <class T>
json orNull(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

class CardBuilder {
 public:
  CardBuilder(const Moment& moment, const MemoryFigures& figures)
      : moment_(moment), system_(moment.snapshot->system), figures_(figures), fresh_(!moment.stale()) {}

  void build(Screen& screen) const {
    card(screen, CardSlot::memory) = {memory(when(system_.physical != 0, system_.physical)), {}, false};
    card(screen, CardSlot::compressed) = {memory(when(system_.vm_valid, system_.compressed)), {}, false};
    card(screen, CardSlot::swap) = swap();
    card(screen, CardSlot::disk) = disk();
    card(screen, CardSlot::cpu) = cpu();
    // No Linux kernel reports a four-step thermal state: the card keeps "取得不可".
  }

 private:
  std::string text(const LocalizedMessage& message) const { return L10n::render(message, moment_.language); }
  std::string memory(std::optional<std::uint64_t> bytes) const { return memoryText(bytes, moment_.language); }

  CardView swap() const {
    CardView card{memory(when(system_.swap_valid, system_.swap_used)), {}, false};
    if (!fresh_) return card;
    if (!figures_.swapChange) {
      card.detail = text(msg("約5分の測定待ち"));
      return card;
    }
    const std::int64_t change = *figures_.swapChange;
    const std::string sign = change > 0 ? "+" : change < 0 ? "\u2212" : "";
    const auto magnitude = change < 0 ? 0 - static_cast<std::uint64_t>(change) : static_cast<std::uint64_t>(change);
    card.detail = text(msg("スワップの増減（5分）{0}", sign + memory(magnitude)));
    return card;
  }

  CardView disk() const {
    CardView card{storageText(when(system_.disk_valid, system_.disk_available), moment_.language), {}, false};
    const auto drain = diskDrainSecondsLeft(moment_.snapshot->early);
    if (fresh_ && drain) {
      const auto minutes = std::max(1.0, std::floor(*drain / 60));
      card.detail = text(msg("急に減っています（あと約{0}分）", static_cast<long long>(minutes)));
      card.alert = true;
    } else if (figures_.diskDangerShown) {
      card.detail = text(msg("空きがほとんどありません"));
      card.alert = true;
    } else if (diskAlertLevel(system_) == DiskAlertLevel::attention) {
      card.detail = text(msg("空きが少なくなっています"));
    }
    return card;
  }

  CardView cpu() const {
    CardView card;
    if (!fresh_) card.value = text(msg("取得不可"));
    else if (!figures_.cpuFraction) card.value = text(msg("測定中"));
    else card.value = printed("%.1f%%", *figures_.cpuFraction * 100);
    const Snapshot& snapshot = *moment_.snapshot;
    if (fresh_ && snapshot.cpuCelsius && snapshot.cpuMeasuredAt &&
        std::chrono::duration<double>(moment_.wallNow - *snapshot.cpuMeasuredAt).count() < cpuTemperatureMaxAge)
      card.detail = celsiusText(*snapshot.cpuCelsius);
    return card;
  }

  const Moment& moment_;
  const HLSystem& system_;
  const MemoryFigures& figures_;
  bool fresh_;
};

}  // namespace

void presentMemoryCards(Screen& screen, const Moment& moment, const MemoryFigures& figures) {
  if (moment.snapshot) CardBuilder(moment, figures).build(screen);
}

void presentApps(Screen& screen, const Moment& moment, AppMemorySort sort) {
  const auto& language = moment.language;
  if (moment.selectedTab != AnalysisTab::apps) return;
  screen.tabLabels[static_cast<std::size_t>(AnalysisTab::apps)] = appsLabel(sort, language);
  if (!moment.windowShown || !moment.snapshot) return;
  // The ideographic space belongs to the Japanese line; other languages take a plain one.
  const std::string gap = language == "ja" ? "\u3000" : "  ";
  const auto shared = moment.scope.supportsSharing() ? moment.scope.allowedUIDs(moment.uid) : std::set<std::uint32_t>{};
  for (const AppMemoryGroup& group : appMemoryGroups(moment.combinedProcesses(), sort, ordinaryAccounts(), shared))
    screen.table.rows.push_back(
        {group.name, L10n::render(moment.scope.label(group.uid, moment.uid), language),
         memoryText(group.footprint, language),
         memoryText(group.resident, language) + gap +
             L10n::render(msg("{0}/{1}件取得", group.readableCount, group.processCount), language)});
}

Pressure recordedPressure(const HLSystem& system, Pressure eventPressure) {
  return kernelPressure(system, eventPressure);
}

void recordMemory(json& record, const Moment& moment, const MemoryFigures& figures) {
  const Snapshot& snapshot = *moment.snapshot;
  const HLSystem& system = snapshot.system;
  const auto& processes = moment.combinedProcesses();
  const auto own = std::find_if(snapshot.processes.begin(), snapshot.processes.end(),
                                [&](const ProcessMemory& process) { return process.pid == moment.pid; });
  const bool ownFound = own != snapshot.processes.end();
  const auto disk = diskAlertLevel(system);
  record["menuBarLevel"] = std::string(rawValue(figures.displayedLevel));
  record["pressure"] = static_cast<std::int32_t>(recordedPressure(system, figures.eventPressure));
  record["physicalBytes"] = system.physical;
  record["memoryUsedBytes"] = orNull(when(system.memory_used_valid, system.memory_used));
  record["compressedBytes"] = orNull(when(system.vm_valid, system.compressed));
  record["swapUsedBytes"] = orNull(when(system.swap_valid, system.swap_used));
  record["diskAlertLevel"] = disk ? json(std::string(rawValue(*disk))) : json(nullptr);
  record["diskAvailableBytes"] = orNull(when(system.disk_valid, system.disk_available));
  record["diskTotalBytes"] = orNull(when(system.disk_valid, system.disk_total));
  record["cpuUsageFraction"] = orNull(figures.cpuFraction);
  record["cpuTemperatureCelsius"] = orNull(snapshot.cpuCelsius);
  record["swapChangeFiveMinutesBytes"] = orNull(figures.swapChange);
  record["appMemorySort"] = std::string(figures.sort.rawValue());
  record["processes"] = processes.size();
  record["ownResidentBytes"] = ownFound ? orNull(own->resident) : json(nullptr);
  record["ownFootprintBytes"] = ownFound ? orNull(own->footprint) : json(nullptr);
}

std::optional<double> levelNumber(MenuBarLevel level) {
  if (level == MenuBarLevel::unavailable) return std::nullopt;
  return static_cast<double>(level);
}

void exportMemory(MetricsText& metrics, const Moment& moment, const MemoryFigures& figures, MenuBarLevel memoryLevel) {
  const HLSystem& system = moment.snapshot->system;
  const auto bytes = [](std::int32_t valid, std::uint64_t value) {
    return valid ? std::optional(static_cast<double>(value)) : std::nullopt;
  };
  metrics.gauge("hollin_memory_level", "Level memory alone calls for: 0 green, 1 yellow, 2 orange, 3 red",
                levelNumber(memoryLevel));
  const Pressure pressure = recordedPressure(system, figures.eventPressure);
  metrics.gauge("hollin_memory_pressure", "Memory pressure from the kernel's stall figures: 0 normal, 1 warning, 2 critical",
                pressure == Pressure::unknown ? std::nullopt : std::optional(static_cast<double>(pressure)));
  metrics.gauge("hollin_memory_total_bytes", "Installed memory", bytes(system.physical != 0, system.physical));
  metrics.gauge("hollin_memory_used_bytes", "Memory in use", bytes(system.memory_used_valid, system.memory_used));
  metrics.gauge("hollin_swap_used_bytes", "Swap in use", bytes(system.swap_valid, system.swap_used));
  metrics.gauge("hollin_swap_change_bytes", "Change of the swap in use over about five minutes",
                figures.swapChange ? std::optional(static_cast<double>(*figures.swapChange)) : std::nullopt);
  metrics.gauge("hollin_disk_free_bytes", "Free space of the data volume for ordinary users",
                bytes(system.disk_valid, system.disk_available));
  metrics.gauge("hollin_disk_size_bytes", "Size of the data volume", bytes(system.disk_valid, system.disk_total));
}

}  // namespace hollin
