#include "core/early/BatteryHealth.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>
#include <unicode/unistr.h>

#include "core/early/Figures.h"

namespace hollin {
namespace {

constexpr std::int64_t maximumCapacityPercent = 150;

// A JSON number that is not a Boolean, as an integer (a real is cut toward zero).
std::optional<std::int64_t> jsonInteger(const Json& value) {
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
      return std::nullopt;
    return value.get<std::int64_t>();
  }
  if (value.is_number_float()) return integerPart(value.get<double>());
  return std::nullopt;
}

// "87%", " 87 % ": white space trimmed at both ends, every "%" removed, the rest a decimal
// integer. A space left between number and sign is trimmed as well, so "87 %" is 87.
std::optional<std::int64_t> capacityText(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (c != '%') digits += c;
  constexpr const char* spaces = " \t\n\r\v\f";
  std::string_view number = digits;
  number.remove_prefix(std::min(number.find_first_not_of(spaces), number.size()));
  number.remove_suffix(number.size() - (number.find_last_not_of(spaces) + 1));
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

const Json* member(const Json& object, const char* key) {
  auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

}  // namespace

std::string BatteryHealth::conditionKey() const {
  std::string lower = condition.value_or("");
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::optional<bool> BatteryHealth::conditionIsNormal() const {
  if (!condition) return std::nullopt;
  const std::string lower = conditionKey();
  return lower == "good" || lower == "normal";
}

std::string BatteryHealth::localizedCondition(std::string_view language) const {
  if (!condition) return L10n::render(msg("取得不可"), language);
  const std::string lower = conditionKey();
  if (lower == "good" || lower == "normal") return L10n::render(msg("正常"), language);
  if (lower == "service recommended") return L10n::render(msg("修理サービス推奨"), language);
  if (lower == "replace soon") return L10n::render(msg("まもなく交換"), language);
  if (lower == "replace now") return L10n::render(msg("今すぐ交換"), language);
  if (lower == "service battery") return L10n::render(msg("修理サービスが必要"), language);
  if (lower == "check battery") return L10n::render(msg("バッテリーを確認"), language);
  return *condition;
}

std::optional<BatteryHealth> BatteryHealth::parseSystemProfiler(std::string_view bytes) {
  const Json report = Json::parse(bytes, nullptr, false);
  if (!report.is_object()) return std::nullopt;
  const Json* sections = member(report, "SPPowerDataType");
  if (!sections || !sections->is_array() || sections->empty()) return std::nullopt;
  if (!std::all_of(sections->begin(), sections->end(), [](const Json& s) { return s.is_object(); }))
    return std::nullopt;
  for (const Json& section : *sections)
    if (const Json* info = member(section, "sppower_battery_health_info"); info && info->is_object())
      return parseHealthInfo(*info);
  return std::nullopt;
}

std::optional<BatteryHealth> BatteryHealth::parseHealthInfo(const Json& info) {
  if (!info.is_object()) return std::nullopt;
  BatteryHealth health;
  if (const Json* capacity = member(info, "sppower_battery_health_maximum_capacity")) {
    const auto value = capacity->is_string() ? capacityText(capacity->get_ref<const std::string&>())
                                             : jsonInteger(*capacity);
    health.maximumCapacity = within(value, 1, maximumCapacityPercent);
  }
  if (const Json* condition = member(info, "sppower_battery_health"); condition && condition->is_string()) {
    // The first 64 characters, never a character cut in half.
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(condition->get_ref<const std::string&>());
    if (text.countChar32() > static_cast<std::int32_t>(maximumConditionLength))
      text.truncate(text.moveIndex32(0, static_cast<std::int32_t>(maximumConditionLength)));
    std::string cut;
    text.toUTF8String(cut);
    if (!cut.empty()) health.condition = cut;
  }
  if (const Json* cycles = member(info, "sppower_battery_cycle_count"))
    health.cycleCount = within(jsonInteger(*cycles), 0, maximumCycles);
  return health;
}

std::optional<BatteryHealth> BatteryHealth::fromKernel(const HLPower& power) {
  if (power.batteries == 0) return std::nullopt;
  Json info = Json::object();
  if (power.design_valid && power.design_new > 0)
    info["sppower_battery_health_maximum_capacity"] =
        std::llround(static_cast<double>(power.design_full) * 100.0 / static_cast<double>(power.design_new));
  const std::string condition(power.health, strnlen(power.health, sizeof power.health));
  if (!condition.empty()) info["sppower_battery_health"] = condition;
  if (power.cycle_count > 0) info["sppower_battery_cycle_count"] = power.cycle_count;
  auto health = parseHealthInfo(info);
  if (health == BatteryHealth{}) return std::nullopt;
  return health;
}

}  // namespace hollin
