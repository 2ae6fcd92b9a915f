// The SSD history archive (ssd-health.json), read the way the application reads its own file:
// parsed without exceptions, decoded, and refused unless valid. A readable archive then goes
// through what the application does with it: a new reading is observed, the archive is written
// and read again, and the history window's text is rendered from it.
#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/ssd/SSDHealthArchive.h"
#include "core/ssd/SSDView.h"

namespace hollin {
namespace {

SSDHealth ordinaryReading() {
  SSDHealth health;
  health.spare = 100;
  health.spareThreshold = 10;
  health.wear = 3;
  health.written = {123456, 0};
  health.powerHours = {2000, 0};
  health.celsius = 38;
  return health;
}

std::optional<SSDHealthArchive> readBack(const SSDHealthArchive& archive) {
  const std::string text = toJson(archive).dump(-1, ' ', false, Json::error_handler_t::replace);
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  return archiveFromJson(json);
}

int fuzzSSDArchive(const std::uint8_t* data, std::size_t size) {
  const Json json = Json::parse(fuzz::text(data, size), nullptr, false);
  if (json.is_discarded()) return 0;
  auto archive = archiveFromJson(json);
  if (!archive || !archive->valid()) return 0;

  ssdHistoryText(*archive, true, "en", "UTC");
  ssdHistoryText(*archive, true, "ja", "Asia/Tokyo");

  const WallTime now = fromReferenceSeconds(800'000'000);  // May 2026
  archive->observe(ordinaryReading(), now);
  archive->observe(std::nullopt, now + std::chrono::hours(1));
  fuzz::require(archive->valid(), "observing readings keeps an archive valid");
  const auto reread = readBack(*archive);
  fuzz::require(reread && reread->valid(), "a written archive reads back as a valid one");
  return 0;
}

const fuzz::Registration registered("ssdarchive", fuzzSSDArchive);

}  // namespace
}  // namespace hollin
