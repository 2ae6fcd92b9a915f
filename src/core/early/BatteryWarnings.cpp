#include "core/early/BatteryWarnings.h"

#include <string>

namespace hollin::EarlyWarnings {
namespace {

constexpr double criticalDrainRepeat = 1800;  // seconds
constexpr double drainRepeat = 3600;
constexpr double conditionRepeat = 604800;  // 7 days
constexpr double capacityRepeat = 2592000;  // 30 days

// Capacity tiers, each with its severity: a capacity below the tier falls into it.
struct CapacityTier {
  std::int64_t below;
  int severity;
};
constexpr CapacityTier capacityTiers[] = {{60, 3}, {70, 2}, {80, 1}};

int conditionSeverity(std::string_view lower) {
  if (lower == "replace now" || lower == "service battery") return 3;
  if (lower == "replace soon") return 2;
  return 1;
}

}  // namespace

std::optional<EarlyWarning> charger(ChargerState state, std::optional<std::int64_t> percent, std::string_view language) {
  if (state.value != ChargerState::Case::draining) return std::nullopt;
  const std::string percentText =
      percent ? std::to_string(*percent) + "%" : L10n::render(msg("取得不可"), language);
  EarlyWarning warning;
  warning.kind = "charger";
  warning.signature = state.critical ? "critical" : "warning";
  warning.urgent = state.critical;
  warning.title = L10n::render(msg("電源につないでいるのにバッテリーが減っています"), language);
  if (state.critical) {
    warning.message = L10n::render(
        msg("バッテリーの残りは{0}です。早めに、強い充電器やケーブルへつなぎ直してください。", percentText), language);
    warning.repeatAfter = criticalDrainRepeat;
    warning.severity = 2;
  } else {
    warning.message = L10n::render(
        msg("いまのバッテリーは{0}です。充電器・ケーブル・ハブの力が足りないかもしれません。直接つなぐか、強い充電器を試してください。",
            percentText),
        language);
    warning.repeatAfter = drainRepeat;
    warning.severity = 1;
  }
  return warning;
}

std::vector<EarlyWarning> battery(const std::optional<BatteryHealth>& health, std::string_view language) {
  std::vector<EarlyWarning> warnings;
  if (!health) return warnings;
  const std::string title = L10n::render(msg("バッテリーの健康を確認してください"), language);
  if (health->conditionIsNormal() == false) {
    warnings.push_back({
        .kind = "batteryCondition",
        .signature = *health->condition,
        .urgent = false,
        .title = title,
        .message = L10n::render(
            msg("macOSがバッテリーの状態を「{0}」と報告しています。システム設定の「バッテリー」で詳しく確かめてください。",
                health->localizedCondition(language)),
            language),
        .repeatAfter = conditionRepeat,
        .severity = conditionSeverity(health->conditionKey()),
    });
  }
  if (health->maximumCapacity)
    for (const auto& tier : capacityTiers) {
      if (*health->maximumCapacity >= tier.below) continue;
      warnings.push_back({
          .kind = "batteryCapacity",
          .signature = std::to_string(tier.below),
          .urgent = false,
          .title = title,
          .message = L10n::render(
              msg("バッテリーの最大容量が{0}%になりました。新品のときより、1回の充電で使える時間が短くなっています。",
                  *health->maximumCapacity),
              language),
          .repeatAfter = capacityRepeat,
          .severity = tier.severity,
      });
      break;
    }
  return warnings;
}

}  // namespace hollin::EarlyWarnings
