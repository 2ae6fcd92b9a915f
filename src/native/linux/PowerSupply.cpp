// hl_power: the power-supply class. Each supply is a folder of one-value files; batteries and
// adapters are told apart by "type", and a peripheral's battery by "scope" "Device".
#include "native/Power.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace hollin::native {
namespace {

// How a battery states its charge: energy (µWh), charge (µAh), or only a percent.
enum class Unit { energy, charge, percent };

struct Level {
  Unit unit = Unit::percent;
  std::int64_t now = 0, full = 0;
};

struct Battery {
  std::string status;                  // "Charging", "Discharging", "Not charging", "Full", …
  std::optional<std::int64_t> current;  // mA, signed by the status
  std::optional<Level> level;
  std::optional<Level> design;  // full and full when new, in the unit of `level`
  std::int64_t cycleCount = 0;
  std::string health;
  std::optional<std::int64_t> limit;  // end threshold, percent
  bool limitUnreadable = false;
  std::string behaviour;  // the selected charge behaviour
};

// charge_behaviour: "[auto] inhibit-charge force-discharge", the selected one in brackets; a
// driver that offers one behaviour may print it bare.
std::string selectedBehaviour(std::string_view text) {
  const auto open = text.find('[');
  const auto close = text.find(']', open);
  if (open != std::string_view::npos && close != std::string_view::npos)
    return std::string(text.substr(open + 1, close - open - 1));
  if (text.find(' ') == std::string_view::npos) return std::string(text);
  return {};
}

// µA or µW/µV as mA. The kernel gives the magnitude (some drivers a sign of their own), so
// the status decides the direction.
std::optional<std::int64_t> batteryCurrent(const std::string& folder, bool discharging) {
  std::optional<double> milliamps;
  if (auto current = integerFile(folder + "/current_now")) {
    milliamps = std::abs(static_cast<double>(*current)) / 1000.0;
  } else {
    auto power = integerFile(folder + "/power_now");
    auto voltage = integerFile(folder + "/voltage_now");
    if (power && voltage && *voltage > 0)
      milliamps = std::abs(static_cast<double>(*power)) / static_cast<double>(*voltage) * 1000.0;
  }
  if (!milliamps) return std::nullopt;
  // Far beyond any battery (readers drop what is implausible); the bound keeps sums in range.
  constexpr double implausibleMilliamps = 1e9;
  const auto rounded = static_cast<std::int64_t>(std::llround(std::min(*milliamps, implausibleMilliamps)));
  return discharging ? -rounded : rounded;
}

Battery readBattery(const std::string& folder) {
  Battery battery;
  battery.status = firstLine(folder + "/status");
  battery.current = batteryCurrent(folder, battery.status == "Discharging");
  // Charges beyond a megawatt-hour are no battery's; the bound also keeps their sums in range.
  const auto charge = [&folder](const std::string& name) -> std::optional<std::int64_t> {
    auto value = integerFile(folder + name);
    if (value && (*value < 0 || *value > 1'000'000'000'000)) return std::nullopt;
    return value;
  };
  for (const auto& [unit, prefix] : {std::pair{Unit::energy, "/energy_"}, std::pair{Unit::charge, "/charge_"}}) {
    auto now = charge(prefix + std::string("now"));
    auto full = charge(prefix + std::string("full"));
    if (!full) continue;
    if (now) battery.level = Level{unit, *now, *full};
    if (auto design = charge(prefix + std::string("full_design"))) battery.design = Level{unit, *full, *design};
    break;
  }
  if (!battery.level)
    if (auto percent = integerFile(folder + "/capacity"); percent && *percent >= 0 && *percent <= 100)
      battery.level = Level{Unit::percent, *percent, 100};
  battery.cycleCount = std::max<std::int64_t>(0, integerFile(folder + "/cycle_count").value_or(0));
  battery.health = firstLine(folder + "/health");
  for (const char* name : {"/charge_control_end_threshold", "/charge_stop_threshold"}) {
    if (!readSmallFile(folder + name)) continue;
    battery.limit = integerFile(folder + name);
    battery.limitUnreadable = !battery.limit || *battery.limit < 1 || *battery.limit > 100;
    if (battery.limitUnreadable) battery.limit.reset();
    break;
  }
  battery.behaviour = selectedBehaviour(firstLine(folder + "/charge_behaviour"));
  return battery;
}

// Sums one figure over the batteries: every battery must give it, all in one unit.
template <class Pick>
std::optional<Level> summed(const std::vector<Battery>& batteries, Pick pick) {
  std::optional<Level> total;
  for (const auto& battery : batteries) {
    const std::optional<Level>& level = pick(battery);
    if (!level || (total && total->unit != level->unit)) return std::nullopt;
    if (!total) total = Level{level->unit, 0, 0};
    total->now += level->now;
    total->full += level->full;
  }
  // Percents add up to nothing meaningful without the capacities behind them.
  if (total && total->unit == Unit::percent && batteries.size() > 1) return std::nullopt;
  return total;
}

void combine(const std::vector<Battery>& batteries, HLPower& out) {
  out.batteries = static_cast<std::int32_t>(batteries.size());
  if (batteries.empty()) return;
  out.current_valid = 1;
  for (const auto& battery : batteries) {
    if (!battery.status.empty()) out.charging_valid = 1;
    if (battery.status == "Charging") out.charging = 1;
    if (battery.current) out.current_ma += *battery.current;
    else out.current_valid = 0;
    out.cycle_count = std::max(out.cycle_count, static_cast<std::int32_t>(std::min<std::int64_t>(battery.cycleCount, INT32_MAX)));
    if (battery.limit && (out.limit_percent == 0 || *battery.limit < out.limit_percent))
      out.limit_percent = static_cast<std::int32_t>(*battery.limit);
    if (battery.limitUnreadable) out.limit_unreadable = 1;
    if (!battery.behaviour.empty()) out.behaviour_valid = 1;
    if (battery.behaviour == "force-discharge") out.force_discharge = 1;
  }
  if (!out.current_valid) out.current_ma = 0;
  if (auto level = summed(batteries, [](const Battery& b) -> const auto& { return b.level; })) {
    out.level_now = level->now;
    out.level_full = level->full;
    out.level_valid = 1;
  }
  if (auto design = summed(batteries, [](const Battery& b) -> const auto& { return b.design; })) {
    out.design_full = design->now;
    out.design_new = design->full;
    out.design_valid = 1;
  }
  // The first battery with something to say about its health speaks for the pack.
  std::string health;
  for (const auto& battery : batteries) {
    if (battery.health.empty() || battery.health == "Unknown") continue;
    if (battery.health != "Good") {
      health = battery.health;
      break;
    }
    health = "Good";
  }
  std::strncpy(out.health, health.c_str(), sizeof out.health - 1);
}

// An adapter's rating: its negotiated voltage times its current limit (USB-C and USB PD
// supplies report both); 0 when it reports neither.
std::int32_t adapterWatts(const std::string& folder) {
  auto voltage = integerFile(folder + "/voltage_max");
  if (!voltage) voltage = integerFile(folder + "/voltage_now");
  auto current = integerFile(folder + "/current_max");
  if (!voltage || !current || *voltage <= 0 || *current <= 0) return 0;
  const double watts = static_cast<double>(*voltage) / 1e6 * static_cast<double>(*current) / 1e6;
  return static_cast<std::int32_t>(std::min(std::llround(watts), 1000000LL));
}

}  // namespace

std::optional<HLPower> readPower(const std::string& root) {
  const std::string classFolder = underRoot(root, files::powerSupplies);
  // An empty class is a machine without supplies; one that cannot be listed tells nothing.
  if (::access(classFolder.c_str(), R_OK | X_OK) != 0) return std::nullopt;
  HLPower out{};
  std::vector<Battery> batteries;
  for (const auto& name : entriesStartingWith(classFolder, "")) {
    if (name.starts_with('.')) continue;
    const std::string folder = classFolder + "/" + name;
    if (firstLine(folder + "/scope") == "Device") continue;
    const std::string type = firstLine(folder + "/type");
    if (type == "Battery") {
      if (firstLine(folder + "/present") == "0") continue;  // an empty bay
      batteries.push_back(readBattery(folder));
    } else if (type == "Mains" || type.starts_with("USB") || type == "Wireless") {
      ++out.adapters;
      if (firstLine(folder + "/online") != "1") continue;
      out.adapter_online = 1;
      out.adapter_watts = std::max(out.adapter_watts, adapterWatts(folder));
    }
  }
  combine(batteries, out);
  return out;
}

}  // namespace hollin::native

extern "C" int32_t hl_power(HLPower* out) {
  if (!out) return 0;
  *out = {};
  auto power = hollin::native::readPower(hollin::native::hostRoot());
  if (!power) return 0;
  *out = *power;
  return 1;
}
