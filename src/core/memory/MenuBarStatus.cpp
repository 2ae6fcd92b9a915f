#include "core/memory/MenuBarStatus.h"

#include <algorithm>
#include <cmath>

namespace hollin {
namespace {

constexpr std::array<std::string_view, 5> levelRawValues = {"green", "yellow", "orange", "red", "unavailable"};

}  // namespace

std::string_view rawValue(MenuBarLevel level) { return levelRawValues[static_cast<std::size_t>(level)]; }

std::optional<MenuBarLevel> menuBarLevelFromRawValue(std::string_view raw) {
  auto found = std::find(levelRawValues.begin(), levelRawValues.end(), raw);
  if (found == levelRawValues.end()) return std::nullopt;
  return static_cast<MenuBarLevel>(found - levelRawValues.begin());
}

LocalizedMessage title(MenuBarLevel level) {
  switch (level) {
    case MenuBarLevel::green: return msg("正常 ★☆☆☆");
    case MenuBarLevel::yellow: return msg("注意 ★★☆☆");
    case MenuBarLevel::orange: return msg("警戒 ★★★☆");
    case MenuBarLevel::red: return msg("危険 ★★★★");
    case MenuBarLevel::unavailable: break;
  }
  return msg("確認できません");
}

LocalizedMessage explanation(MenuBarLevel level) {
  switch (level) {
    case MenuBarLevel::green: return msg("メモリーは正常です。");
    case MenuBarLevel::yellow: return msg("メモリーの使用量が増えているか、一時的に余裕が少なくなっています。");
    case MenuBarLevel::orange: return msg("メモリーの圧迫が続いているか、アプリの応答が止まった疑いがあります。");
    case MenuBarLevel::red: return msg("macOSがメモリーの危険状態を報告しています。");
    case MenuBarLevel::unavailable: break;
  }
  return msg("起動直後、スリープ中、または新しい測定を取得できない状態です。");
}

MenuBarStatusPolicy::MenuBarStatusPolicy(double warningDelay)
    : warningDelay_(std::isfinite(warningDelay) && warningDelay >= 0 ? warningDelay : fallbackDelay) {}

void MenuBarStatusPolicy::reset() {
  memoryLevel_ = MenuBarLevel::unavailable;
  samples_.clear();
  warningSince_.reset();
}

void MenuBarStatusPolicy::observe(const MemorySample& sample) {
  const double now = sample.uptime;
  if (!std::isfinite(now) || now < 0) return reset();
  if (!samples_.empty() && (now <= samples_.back().uptime || now - samples_.back().uptime > seriesGapLimit))
    reset();
  if (sample.pressure == Pressure::unknown) return reset();
  appendToWindow(samples_, sample);
  switch (sample.pressure) {
    case Pressure::critical:
      warningSince_.reset();
      memoryLevel_ = MenuBarLevel::red;
      break;
    case Pressure::warning:
      if (!warningSince_) warningSince_ = now;
      memoryLevel_ = now - *warningSince_ >= warningDelay_ ? MenuBarLevel::orange : MenuBarLevel::yellow;
      break;
    case Pressure::normal:
      warningSince_.reset();
      memoryLevel_ = MemoryTrend::isGrowing(samples_, sample) ? MenuBarLevel::yellow : MenuBarLevel::green;
      break;
    case Pressure::unknown: break;
  }
}

MenuBarLevel MenuBarStatusPolicy::level(bool fresh, bool hasSuspectedApp) const {
  if (!fresh || memoryLevel_ == MenuBarLevel::unavailable) return MenuBarLevel::unavailable;
  if (memoryLevel_ != MenuBarLevel::red && hasSuspectedApp) return MenuBarLevel::orange;
  return memoryLevel_;
}

bool hasSuspectedApp(const std::vector<PeerReport>& reports, double now) {
  return std::any_of(reports.begin(), reports.end(), [&](const PeerReport& report) {
    return report.trusted && report.workerHealthy &&
           std::any_of(report.apps.begin(), report.apps.end(), [&](const AppResponse& app) {
             return app.suspected() && !isStale(false, now, app.checkedAt);
           });
  });
}

ShownLevel shownLevel(const MenuBarStatusPolicy& policy, const ShownLevelInputs& inputs,
                      const std::vector<PeerReport>& reports) {
  const bool fresh = !isStale(inputs.asleep, inputs.now, inputs.snapshotUptime);
  ShownLevel shown;
  shown.level = policy.level(fresh, hasSuspectedApp(reports, inputs.now));
  shown.explanation = explanation(shown.level);
  if (fresh && inputs.diskValid) {
    const std::uint64_t threshold = inputs.diskWarningShown ? diskDangerClearsAt : diskDangerBelow;
    if (inputs.diskAvailable < threshold) {
      shown.diskWarningShown = true;
      shown.level = MenuBarLevel::red;
      shown.explanation = msg("内蔵ストレージの空きがほとんどありません。いらないファイルを消してください。");
    }
  }
  return shown;
}

}  // namespace hollin
