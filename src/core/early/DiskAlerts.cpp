#include "core/early/DiskAlerts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "core/ByteCount.h"

namespace hollin {
namespace {

constexpr double lowRepeat = 21600;      // seconds: 6 hours
constexpr double dangerRepeat = 1800;
constexpr double drainRepeat = 900;
constexpr double forecastRepeat = 259200;  // 3 days
constexpr double maxGap = 60.0;        // seconds of uptime between samples of one series
constexpr double clockDisagreement = 30.0;  // seconds the two clocks may drift apart

std::string sizeText(std::uint64_t bytes, std::string_view language) {
  return formatByteCount(bytes, ByteCountStyle::file, language);
}

}  // namespace

namespace DiskAlerts {

std::optional<Level> level(std::optional<std::uint64_t> available) {
  if (!available) return std::nullopt;
  if (*available < dangerBytes) return Level::danger;
  return *available < attentionBytes ? Level::attention : Level::ok;
}

std::optional<EarlyWarning> lowSpace(std::optional<std::uint64_t> available, std::string_view language) {
  const auto shown = level(available);
  if (!shown || *shown == Level::ok) return std::nullopt;
  const std::string size = sizeText(*available, language);
  const bool danger = *shown == Level::danger;
  return EarlyWarning{
      .kind = "diskLow",
      .signature = danger ? "danger" : "attention",
      .urgent = danger,
      .title = L10n::render(danger ? msg("内蔵ストレージの空きがほとんどありません") : msg("内蔵ストレージの空きが少なくなっています"),
                            language),
      .message = L10n::render(
          danger ? msg("空きは残り{0}です。空きがなくなると、保存できなくなったり、Mac が固まったりします。いらないファイルを消すか、外付けのディスクへ移してください。",
                       size)
                 : msg("空きは残り{0}です。いらないファイルを消すか、外付けのディスクへ移してください。", size),
          language),
      .repeatAfter = danger ? dangerRepeat : lowRepeat,
      .severity = danger ? 2 : 1,
  };
}

std::optional<EarlyWarning> drain(const std::optional<DiskDrain>& drain, std::string_view language) {
  if (!drain) return std::nullopt;
  const auto minutes = static_cast<std::int64_t>(std::max(1.0, std::ceil(drain->secondsLeft / 60)));
  constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const std::string lost = sizeText(std::min(drain->lostBytes, largest), language);
  const bool urgent = drain->secondsLeft <= drainUrgentWithin;
  return EarlyWarning{
      .kind = "diskDrain",
      .signature = urgent ? "soon" : "hour",
      .urgent = urgent,
      .title = L10n::render(msg("内蔵ストレージの空きが急に減っています"), language),
      .message = L10n::render(
          msg("この数分で{0}減りました。このままだと約{1}分で空きがなくなります。大きなファイルを書いているアプリがないか、アクティビティモニタの「ディスク」で確かめてください。",
              lost, minutes),
          language),
      .repeatAfter = drainRepeat,
      .severity = urgent ? 2 : 1,
  };
}

}  // namespace DiskAlerts

std::optional<DiskDrain> DiskDrainTracker::observe(std::optional<std::uint64_t> available, double at, double wall) {
  if (!available || !std::isfinite(at) || !std::isfinite(wall)) {
    samples.clear();
    lastWall = wall;
    return std::nullopt;
  }
  if (!samples.empty()) {
    const double uptimeStep = at - samples.back().time;
    const bool continuous = lastWall && uptimeStep > 0 && uptimeStep <= maxGap &&
                            std::abs((wall - *lastWall) - uptimeStep) <= clockDisagreement;
    if (!continuous) samples.clear();
  }
  samples.push_back({at, *available});
  std::erase_if(samples, [at](const Sample& sample) { return at - sample.time > DiskAlerts::drainWindow; });
  lastWall = wall;
  return current();
}

std::optional<DiskDrain> DiskDrainTracker::current() const {
  if (samples.empty()) return std::nullopt;
  const Sample& first = samples.front();
  const Sample& last = samples.back();
  const double span = last.time - first.time;
  if (span < DiskAlerts::drainMinimumSpan || first.available <= last.available) return std::nullopt;
  const std::uint64_t lost = first.available - last.available;
  if (lost < DiskAlerts::drainMinimumBytes) return std::nullopt;

  // The free space at a moment: the newest sample taken at or before it.
  const auto valueAt = [this](double moment) -> std::optional<std::uint64_t> {
    std::optional<std::uint64_t> value;
    for (const Sample& sample : samples) {
      if (sample.time > moment) break;
      value = sample.available;
    }
    return value;
  };
  // Every slice of the last two minutes must lose its share: a burst that stopped a minute ago
  // is not a drain.
  constexpr double slice = DiskAlerts::drainMinimumSpan / DiskAlerts::drainSlices;
  const double base = last.time - DiskAlerts::drainMinimumSpan;
  for (int k = 0; k < DiskAlerts::drainSlices; ++k) {
    const auto start = valueAt(base + slice * k);
    const auto end = k + 1 == DiskAlerts::drainSlices ? std::optional(last.available) : valueAt(base + slice * (k + 1));
    if (!start || !end || *start <= *end || *start - *end < DiskAlerts::drainSliceMinimumBytes) return std::nullopt;
  }
  const double rate = static_cast<double>(lost) / span;  // bytes a second
  const double secondsLeft = static_cast<double>(last.available) / rate;
  if (secondsLeft > DiskAlerts::drainHorizon) return std::nullopt;
  return DiskDrain{lost, secondsLeft};
}

namespace EarlyWarnings {

std::optional<EarlyWarning> disk(const DiskForecast& forecast, std::string_view language) {
  if (forecast.kind != DiskForecast::Case::days) return std::nullopt;
  struct Tier {
    int days;
    int severity;
  };
  constexpr Tier tiers[] = {{3, 3}, {7, 2}, {14, 1}};
  const int days = forecast.value;
  const auto tier = std::find_if(std::begin(tiers), std::end(tiers), [days](const Tier& t) { return t.days >= days; });
  if (tier == std::end(tiers)) return std::nullopt;
  return EarlyWarning{
      .kind = "diskForecast",
      .signature = std::to_string(tier->days),
      .urgent = false,
      .title = L10n::render(msg("内蔵ストレージがいっぱいに近づいています"), language),
      .message = L10n::render(
          msg("このペースだと、約{0}日で空きがなくなります。いらないファイルを消すか、外付けのディスクへ移してください。",
              std::max(days, 1)),
          language),
      .repeatAfter = forecastRepeat,
      .severity = tier->severity,
  };
}

}  // namespace EarlyWarnings

}  // namespace hollin
