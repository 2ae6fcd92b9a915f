#include "core/early/DiskForecast.h"

#include <algorithm>
#include <cmath>

#include "core/early/EarlyWatchArchive.h"

namespace hollin {
namespace {

constexpr double hour = 3600;      // seconds
constexpr double day = 86400;
constexpr double keptFor = 2592000;     // seconds of points kept: 30 days
constexpr double forecastSpan = 604800;  // seconds of points a forecast reads: 7 days
constexpr double collectingFor = 259200;  // seconds of points before a forecast: 3 days
constexpr double recentSpan = 259200;    // the recent part of the forecast's points
constexpr double minimumPairDistance = 1.0 / 48;  // days between two points of a slope
constexpr int minimumDays = 3;           // distinct calendar days in the series
constexpr std::size_t minimumPoints = 12;
constexpr std::size_t minimumRecentPoints = 4;
constexpr double fallingSlope = -100'000'000;  // bytes a day: space is being used up
constexpr double slowerThan = 365;             // days to full

}  // namespace

std::string DiskForecast::code() const {
  switch (kind) {
    case Case::collecting: return "collecting:" + std::to_string(value) + "h";
    case Case::days: return "days:" + std::to_string(value);
    case Case::unavailable: return "unavailable";
    case Case::sparse: return "sparse";
    case Case::steady: return "steady";
    case Case::slow: return "slow";
  }
  return "unavailable";
}

bool EarlyWatchArchive::recordDisk(std::optional<std::uint64_t> available, std::optional<std::uint64_t> total,
                                   WallTime at) {
  if (!available || !total || *total == 0 || *total < *available) return false;
  // At most one point an hour; a clock behind the newest point records nothing.
  if (!disk.empty() && secondsBetween(disk.back().at, at) < hour) return false;
  std::erase_if(disk, [at](const DiskFreePoint& point) { return secondsBetween(point.at, at) > keptFor; });
  disk.push_back({at, *available, *total});
  if (disk.size() > maxDiskPoints) disk.erase(disk.begin(), disk.end() - maxDiskPoints);
  return true;
}

std::optional<double> EarlyWatchArchive::medianSlope(std::span<const DiskFreePoint> points) {
  std::vector<double> slopes;
  for (std::size_t i = 0; i < points.size(); ++i)
    for (std::size_t j = i + 1; j < points.size(); ++j) {
      const double days = secondsBetween(points[i].at, points[j].at) / day;
      if (!(days > minimumPairDistance)) continue;
      // In floating point: the difference of two unsigned counts wraps when space falls.
      slopes.push_back((static_cast<double>(points[j].available) - static_cast<double>(points[i].available)) / days);
    }
  if (slopes.empty()) return std::nullopt;
  const std::size_t middle = slopes.size() / 2;
  std::nth_element(slopes.begin(), slopes.begin() + middle, slopes.end());
  if (slopes.size() % 2 == 1) return slopes[middle];
  const double upper = slopes[middle];
  const double lower = *std::max_element(slopes.begin(), slopes.begin() + middle);
  return (lower + upper) / 2;
}

DiskForecast EarlyWatchArchive::diskForecast(WallTime now) const {
  const auto latest = std::find_if(disk.rbegin(), disk.rend(), [now](const DiskFreePoint& p) { return p.at <= now; });
  if (latest == disk.rend()) return DiskForecast::of(DiskForecast::Case::unavailable);

  // One volume's last week: a change of size starts a new series.
  std::vector<DiskFreePoint> series;
  for (const DiskFreePoint& point : disk)
    if (point.total == latest->total && point.at <= latest->at && secondsBetween(point.at, latest->at) <= forecastSpan)
      series.push_back(point);
  const double age = series.empty() ? 0 : secondsBetween(series.front().at, latest->at);
  if (series.empty() || age < collectingFor)
    return DiskForecast::collecting(static_cast<int>(std::max(1.0, std::ceil((collectingFor - age) / hour))));

  std::vector<double> days;
  std::vector<DiskFreePoint> recent;
  for (const DiskFreePoint& point : series) {
    const double whole = std::trunc(unixSeconds(point.at) / day);
    if (std::find(days.begin(), days.end(), whole) == days.end()) days.push_back(whole);
    if (secondsBetween(point.at, latest->at) <= recentSpan) recent.push_back(point);
  }
  if (days.size() < minimumDays || series.size() < minimumPoints || recent.size() < minimumRecentPoints)
    return DiskForecast::of(DiskForecast::Case::sparse);

  const auto slopeAll = medianSlope(series);
  const auto slopeRecent = medianSlope(recent);
  if (!slopeAll || !slopeRecent) return DiskForecast::of(DiskForecast::Case::sparse);
  // A falling week counts only while the last days fall too, by their slope or at least from
  // their first point to their last.
  const bool allFalling = *slopeAll < fallingSlope;
  const bool recentFalling =
      *slopeRecent < fallingSlope || recent.back().available < recent.front().available;
  if (!allFalling || !recentFalling) return DiskForecast::of(DiskForecast::Case::steady);

  const double daysLeft = static_cast<double>(latest->available) / -*slopeAll;
  if (daysLeft > slowerThan) return DiskForecast::of(DiskForecast::Case::slow);
  return DiskForecast::days(static_cast<int>(daysLeft));
}

}  // namespace hollin
