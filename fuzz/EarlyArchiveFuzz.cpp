// The early-watch history (watch-history.json), read the way the application reads its own file:
// parsed without exceptions, decoded, and refused unless valid. A readable archive then goes
// through a pass of the application: points and receipts are recorded, the health table is
// built from it, and the archive is written and read again.
#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/early/EarlyTable.h"

namespace hollin {
namespace {

int fuzzEarlyArchive(const std::uint8_t* data, std::size_t size) {
  const Json json = Json::parse(fuzz::text(data, size), nullptr, false);
  if (json.is_discarded()) return 0;
  auto archive = earlyArchiveFromJson(json);
  if (!archive || !archive->valid()) return 0;

  const WallTime now = fromReferenceSeconds(800'000'000);  // May 2026
  archive->recordDisk(40'000'000'000, 500'000'000'000, now);
  archive->recordRecent(40'000'000'000, 41.5, now);
  archive->recordTemperature(41.5, now);
  archive->recordBattery(BatteryHealth{90, "Normal", 200}, std::nullopt, now);
  EarlyWarning crash{"crash:" + std::string(300, '\xE3'), std::string(300, 'x'), false, "", "", 86400, 1};
  archive->accepted({crash}, now);
  fuzz::require(!archive->eligible(crash, now + std::chrono::seconds(1)), "a warning just told waits for its repeat");
  fuzz::require(archive->valid(), "recording and receipts keep an archive valid");

  EarlyWatchSnapshot early;
  early.archive = std::make_shared<const EarlyWatchArchive>(*archive);
  early.diskForecast = archive->diskForecast(now);
  for (const char* language : {"en", "ja"}) {
    earlyTableRows(early, 40'000'000'000, false, now, false, language, "UTC");
    earlyWarnings(early, now, false, language);
  }

  const Json written = Json::parse(toJson(*archive).dump(-1, ' ', false, Json::error_handler_t::replace), nullptr, false);
  const auto reread = written.is_discarded() ? std::nullopt : earlyArchiveFromJson(written);
  fuzz::require(reread && reread->valid(), "a written archive reads back as a valid one");
  return 0;
}

const fuzz::Registration registered("earlyarchive", fuzzEarlyArchive);

}  // namespace
}  // namespace hollin
