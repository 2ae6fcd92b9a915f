// The SSD's sources, chosen by the first byte: '0' the SMART / Health Information log page as
// the helper program prints it (only 512 bytes make a page), then kept as a health record;
// '1' a mount table (/proc/self/mountinfo) searched for the mount holding the path written on
// the input's first line.
#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/ssd/SSDHealth.h"
#include "native/SSDHealth.h"
#include "native/linux/SSDReaders.h"

namespace hollin {
namespace {

void readPage(std::string_view bytes) {
  HLSSDReading reading;
  const bool sane = hl_ssd_parse_page(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &reading);
  if (!sane) return;
  fuzz::require(bytes.size() == HL_SSD_PAGE_SIZE, "only a whole page is read");
  const SSDHealth health = SSDHealth::fromReading(reading);
  fuzz::require(health.valid(), "a sane page makes a valid record");
  health.issues("en");
  fuzz::require(healthFromJson(toJson(health)) == health, "the record is stored unchanged");
}

void findMount(std::string_view text) {
  const auto newline = text.find('\n');
  const std::string_view path = text.substr(0, newline);
  const std::string_view mountinfo = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
  native::mountHolding(mountinfo, path);
}

int fuzzSSDSources(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, 2);
  if (!choice) return 0;
  if (choice->parser == 0)
    readPage(choice->rest);
  else
    findMount(choice->rest);
  return 0;
}

const fuzz::Registration registered("ssd", fuzzSSDSources);

}  // namespace
}  // namespace hollin
