#include "core/memory/MemoryNotice.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "core/JsonReader.h"

namespace hollin {

std::optional<Pressure> pressureFromRawValue(std::int64_t raw) {
  if (raw < -1 || raw > 2) return std::nullopt;
  return static_cast<Pressure>(raw);
}

Pressure pressureFromKernelLevel(std::int32_t level) {
  switch (level) {
    case 1: return Pressure::normal;
    case 2: return Pressure::warning;
    case 4: return Pressure::critical;
    default: return Pressure::unknown;
  }
}

LocalizedMessage title(Pressure pressure) {
  switch (pressure) {
    case Pressure::normal: return msg("正常");
    case Pressure::warning: return msg("注意");
    case Pressure::critical: return msg("危険");
    case Pressure::unknown: break;
  }
  return msg("取得不可");
}

Pressure kernelPressure(const HLSystem& system, Pressure fallback) {
  const Pressure kernel = system.pressure_valid ? pressureFromKernelLevel(system.pressure) : Pressure::unknown;
  return kernel == Pressure::unknown ? fallback : kernel;
}

MemorySample memorySample(const HLSystem& system, double uptime, Pressure pressure) {
  MemorySample sample{uptime, pressure, std::nullopt, std::nullopt};
  if (system.swap_valid) sample.swap = system.swap_used;
  if (system.vm_valid) sample.compressed = system.compressed;
  return sample;
}

Json toJson(const MemorySample& sample) {
  Json json = {{"uptime", sample.uptime}, {"pressure", static_cast<std::int32_t>(sample.pressure)}};
  if (sample.swap) json["swap"] = *sample.swap;
  if (sample.compressed) json["compressed"] = *sample.compressed;
  return json;
}

std::optional<MemorySample> memorySampleFromJson(const Json& json) {
  JsonReader in(json);
  MemorySample sample{in.required<double>("uptime"), Pressure::unknown, std::nullopt, std::nullopt};
  const auto raw = in.required<std::int32_t>("pressure", {-1, 2});
  // Present but not a byte count (negative, fractional, text) is malformed, not absent.
  sample.swap = in.optional<std::uint64_t>("swap");
  sample.compressed = in.optional<std::uint64_t>("compressed");
  if (!in.ok()) return std::nullopt;
  sample.pressure = static_cast<Pressure>(raw);
  return sample;
}

namespace {
constexpr std::array<std::string_view, 3> noticeRawValues = {"early", "warning", "critical"};
}

std::string_view rawValue(Notice notice) { return noticeRawValues[static_cast<std::size_t>(notice)]; }

std::optional<Notice> noticeFromRawValue(std::string_view raw) {
  auto found = std::find(noticeRawValues.begin(), noticeRawValues.end(), raw);
  if (found == noticeRawValues.end()) return std::nullopt;
  return static_cast<Notice>(found - noticeRawValues.begin());
}

bool MemoryTrend::isGrowing(const std::vector<MemorySample>& samples, const MemorySample& current) {
  auto old = std::find_if(samples.begin(), samples.end(), [&](const MemorySample& sample) {
    double age = current.uptime - sample.uptime;
    return age >= growthAgeMin && age <= growthAgeMax;
  });
  if (old == samples.end() || !old->swap || !old->compressed || !current.swap || !current.compressed)
    return false;
  return *current.swap >= *old->swap && *current.swap - *old->swap >= swapGrowth &&
         *current.compressed > *old->compressed;
}

bool appendToWindow(std::vector<MemorySample>& window, const MemorySample& sample) {
  const double now = sample.uptime;
  const bool broke = !window.empty() && (now <= window.back().uptime || now - window.back().uptime > seriesGapLimit);
  if (broke) window.clear();
  window.push_back(sample);
  std::erase_if(window, [&](const MemorySample& kept) { return now - kept.uptime > memoryWindow; });
  return broke;
}

MemoryPolicy::MemoryPolicy(double warningDelay)
    : warningDelay_(std::isfinite(warningDelay) && warningDelay >= 0 ? warningDelay : fallbackDelay) {}

std::optional<Notice> MemoryPolicy::observe(const MemorySample& sample) {
  const double now = sample.uptime;
  // A reading without a usable time belongs to no series: it would hold no warning and stay in
  // the window for good.
  if (!std::isfinite(now) || now < 0) {
    samples_.clear();
    warningSince_.reset();
    normalSince_.reset();
    return std::nullopt;
  }
  if (appendToWindow(samples_, sample)) {
    warningSince_.reset();
    normalSince_.reset();
  }
  switch (sample.pressure) {
    case Pressure::critical:
      normalSince_.reset();
      if (mayEmit(Notice::critical, now)) return Notice::critical;
      return std::nullopt;
    case Pressure::warning:
      normalSince_.reset();
      if (!warningSince_) warningSince_ = now;
      if (now - *warningSince_ < warningDelay_) return std::nullopt;
      if (mayEmit(Notice::warning, now)) return Notice::warning;
      return std::nullopt;
    case Pressure::normal:
      warningSince_.reset();
      if (!normalSince_) normalSince_ = now;
      if (now - *normalSince_ >= episodeCloseAfter) episodeSeverity_ = 0;
      if (MemoryTrend::isGrowing(samples_, sample) && mayEmit(Notice::early, now)) return Notice::early;
      return std::nullopt;
    case Pressure::unknown: break;
  }
  warningSince_.reset();
  normalSince_.reset();
  return std::nullopt;
}

bool MemoryPolicy::mayEmit(Notice notice, double now) {
  auto last = lastNotice_.find(notice);
  if (episodeSeverity_ >= severity(notice) && last != lastNotice_.end() && now - last->second < repeatAfter)
    return false;
  lastNotice_[notice] = now;
  episodeSeverity_ = std::max(episodeSeverity_, severity(notice));
  return true;
}

}  // namespace hollin
