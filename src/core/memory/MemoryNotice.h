// Memory samples, the four-step pressure scale and the notice decider. Time is always the
// machine's uptime in seconds, passed in, so a sleep or a stalled tick shows up as a gap.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "core/Json.h"
#include "core/LocalizedMessage.h"
#include "native/NativeMetrics.h"

namespace hollin {

enum class Pressure : std::int32_t { unknown = -1, normal = 0, warning = 1, critical = 2 };

// −1…2; anything else gives nothing.
std::optional<Pressure> pressureFromRawValue(std::int64_t raw);
// The kernel level of the native sample: 1 normal, 2 warning, 4 critical, anything else unknown.
Pressure pressureFromKernelLevel(std::int32_t level);
LocalizedMessage title(Pressure pressure);
// The native sample's kernel level when it was read and is one of the three, else `fallback`
// (the last kernel event's pressure).
Pressure kernelPressure(const HLSystem& system, Pressure fallback);

// One measurement of the whole machine.
struct MemorySample {
  double uptime = 0;
  Pressure pressure = Pressure::unknown;
  std::optional<std::uint64_t> swap;        // bytes in use; absent when unreadable
  std::optional<std::uint64_t> compressed;  // bytes held by the compressor; absent when unreadable
  bool operator==(const MemorySample&) const = default;
};

// The sample of a native reading at `uptime`: swap and compressed memory where they were read.
MemorySample memorySample(const HLSystem& system, double uptime, Pressure pressure);

// {"uptime", "pressure", "swap"?, "compressed"?}: the last two are left out when absent.
Json toJson(const MemorySample& sample);
// Needs "uptime" and "pressure" of the right types; anything malformed gives nothing.
std::optional<MemorySample> memorySampleFromJson(const Json& json);

// What the user is told about memory; the severity is the case position.
enum class Notice { early = 0, warning = 1, critical = 2 };

std::string_view rawValue(Notice notice);
std::optional<Notice> noticeFromRawValue(std::string_view raw);
constexpr int severity(Notice notice) { return static_cast<int>(notice); }

namespace MemoryTrend {

inline constexpr double growthAgeMin = 295, growthAgeMax = 310;  // seconds
inline constexpr std::uint64_t swapGrowth = 536'870'912;         // 512 MiB

// Whether swap grew by at least 512 MiB and compressed memory grew at all since the first
// sample that is 295…310 s older than `current`.
bool isGrowing(const std::vector<MemorySample>& samples, const MemorySample& current);

}  // namespace MemoryTrend

// Both policies forget their window when samples stop being a series.
inline constexpr double seriesGapLimit = 20;  // seconds
inline constexpr double memoryWindow = 360;   // seconds

// Decides when to tell the user about memory: fed one sample per tick, it returns the notice to
// post now, if any. An episode opens with a warning or critical notice and closes after 120 s
// of normal pressure; a notice repeats at most every 600 s unless the episode worsens.
class MemoryPolicy {
 public:
  static constexpr double fallbackDelay = 30;
  static constexpr double episodeCloseAfter = 120;
  static constexpr double repeatAfter = 600;

  // `warningDelay`: how long warning must last before a warning notice (finite, not negative;
  // anything else gives 30 s).
  explicit MemoryPolicy(double warningDelay);

  std::optional<Notice> observe(const MemorySample& sample);

  const std::vector<MemorySample>& samples() const { return samples_; }
  std::optional<double> warningSince() const { return warningSince_; }
  std::optional<double> normalSince() const { return normalSince_; }
  int episodeSeverity() const { return episodeSeverity_; }
  double warningDelay() const { return warningDelay_; }

 private:
  bool mayEmit(Notice notice, double now);

  std::vector<MemorySample> samples_;
  std::optional<double> warningSince_;
  std::optional<double> normalSince_;
  std::map<Notice, double> lastNotice_;
  int episodeSeverity_ = 0;
  double warningDelay_;
};

// Keeps only the samples of the last `memoryWindow` seconds after appending one; a sample that
// does not continue the series (not later, or more than 20 s later) empties the window first.
// Returns whether the series broke.
bool appendToWindow(std::vector<MemorySample>& window, const MemorySample& sample);

}  // namespace hollin
