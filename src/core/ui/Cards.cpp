#include "core/ui/Cards.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "core/L10n.h"

namespace hollin {

namespace {

std::string printed(const char* format, double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

double secondsBetween(WallTime earlier, WallTime later) {
  return std::chrono::duration<double>(later - earlier).count();
}

class CardBuilder {
 public:
  explicit CardBuilder(const ViewState& state)
      : state_(state), snapshot_(*state.snapshot), system_(snapshot_.system),
        fresh_(!state.stale) {}

  Cards build() const {
    return {memory(), compressed(), swap(), disk(), cpu(), heat(), ssdTemperature(), ssdHealth()};
  }

 private:
  std::string text(const LocalizedMessage& message) const {
    return L10n::render(message, state_.language);
  }
  std::string unavailable() const { return text(msg("取得不可")); }
  std::string memory(std::optional<std::uint64_t> bytes) const {
    return memoryText(bytes, state_.language);
  }
  template <class T>
  static std::optional<T> when(bool valid, T value) {
    return valid ? std::optional<T>(value) : std::nullopt;
  }

  CardView memory() const {
    return {memory(when(system_.physical != 0, system_.physical)), {}, {}, false};
  }

  CardView compressed() const {
    return {memory(when(system_.vm_valid != 0, system_.compressed)), {}, {}, false};
  }

  CardView swap() const {
    CardView card{memory(when(system_.swap_valid != 0, system_.swap_used)), {},
                  text(msg("スワップは直近約5分の使用量の差です。")), false};
    if (!fresh_) return card;
    if (!state_.swapChange) {
      card.detail = text(msg("約5分の測定待ち"));
      return card;
    }
    const std::int64_t change = *state_.swapChange;
    const std::string sign = change > 0 ? "+" : change < 0 ? "\u2212" : "";
    const auto magnitude = change < 0 ? 0 - static_cast<std::uint64_t>(change)
                                      : static_cast<std::uint64_t>(change);
    card.detail = text(msg("スワップの増減（5分）{0}", sign + memory(magnitude)));
    return card;
  }

  CardView disk() const {
    const bool valid = system_.disk_valid != 0;
    CardView card{storageText(when(valid, system_.disk_available), state_.language), {},
                  text(msg("内蔵ストレージ空きは、macOSのデータ用ボリュームの空き容量です。削除すれば空く可能性のある容量は含めません。")),
                  false};
    if (fresh_ && state_.diskDrainSecondsLeft) {
      const auto minutes = std::max(1.0, std::floor(*state_.diskDrainSecondsLeft / 60));
      card.detail = text(msg("急に減っています（あと約{0}分）", static_cast<long long>(minutes)));
      card.alert = true;
    } else if (state_.diskDangerShown) {
      card.detail = text(msg("空きがほとんどありません"));
      card.alert = true;
    } else if (valid && system_.disk_available >= diskOverrideBytes &&
               system_.disk_available < diskLowBytes) {
      card.detail = text(msg("空きが少なくなっています"));
    }
    return card;
  }

  CardView cpu() const {
    CardView card{{}, {},
                  text(msg("CPUは全体で100%。CPU温度は取得できたM4のセンサーの最高値で、最大1分に1回読み取る参考値です。機種やOSで取得できない場合があります。")),
                  false};
    if (!fresh_) card.value = unavailable();
    else if (!state_.cpuFraction) card.value = text(msg("測定中"));
    else card.value = printed("%.1f%%", *state_.cpuFraction * 100);
    if (fresh_ && snapshot_.cpuCelsius && snapshot_.cpuMeasuredAt &&
        secondsBetween(*snapshot_.cpuMeasuredAt, state_.wallNow) < cpuTemperatureMaxAge)
      card.detail = printed("%.0f °C", *snapshot_.cpuCelsius);
    return card;
  }

  CardView heat() const {
    static const std::array<LocalizedMessage, 4> states = {msg("正常"), msg("やや高い"),
                                                           msg("高い"), msg("非常に高い")};
    const auto thermal = state_.thermalState;
    const bool known = fresh_ && thermal && *thermal >= 0 && *thermal <= 3;
    return {known ? text(states[static_cast<std::size_t>(*thermal)]) : unavailable(), {},
            text(msg("熱の状態はmacOSの4段階判定です。")), false};
  }

  CardView ssdTemperature() const {
    return {fresh_ && snapshot_.ssdCelsius ? printed("%.0f °C", *snapshot_.ssdCelsius)
                                           : unavailable(),
            {}, text(msg("SSD温度はSSD自身の値です。")), false};
  }

  CardView ssdHealth() const {
    CardView card{unavailable(), {},
                  text(msg("SSD自身が報告する情報です。警告なしでも故障を完全に否定できません。履歴は1時間ごと・最大30日分、変化は直近100件を保存します。")),
                  false};
    std::vector<std::string> lines;
    const auto& health = state_.ssdHealth;
    if (fresh_ && health && secondsBetween(snapshot_.ssdCheckedAt, state_.wallNow) < ssdCheckMaxAge) {
      card.value = text(health->issueCount == 0 ? msg("警告なし")
                        : health->anyCritical   ? msg("警告あり")
                                                : msg("消耗に注意"));
      card.alert = health->anyCritical;
      if (health->percentageUsed) lines.push_back(text(msg("消耗度の目安 {0}%", *health->percentageUsed)));
      lines.push_back(text(msg("データエラー累積 {0}件", health->mediaErrorsText)));
    }
    if (!snapshot_.ssdPersistenceOK) lines.push_back(text(msg("履歴の保存・読込に問題があります")));
    for (const auto& line : lines) card.detail += (card.detail.empty() ? "" : "\n") + line;
    return card;
  }

  const ViewState& state_;
  const Snapshot& snapshot_;
  const HLSystem& system_;
  bool fresh_;
};

}  // namespace

const std::array<CardTitle, 8>& cardTitles() {
  static const std::array<CardTitle, 8> titles = {{
      {msg("物理メモリー"), msg("この Mac のメモリーの総量")},
      {msg("メモリーの圧縮"), msg("多いほどメモリーの余裕が少ない")},
      {msg("スワップ"), msg("メモリーに入りきらない分。増え続けると遅くなる")},
      {msg("内蔵ストレージ空き"), std::nullopt},
      {msg("CPU使用率"), std::nullopt},
      {msg("Macの熱の状態"), std::nullopt},
      {msg("内蔵SSD温度"), std::nullopt},
      {msg("SSDの健康"), std::nullopt},
  }};
  return titles;
}

Cards cards(const ViewState& state) { return CardBuilder(state).build(); }

}  // namespace hollin
