// The SMART / Health Information log page (log 02h): the fields hl_ssd_parse_page keeps, at
// their byte offsets, all little-endian.
#include "native/SSDHealth.h"

#include <cstring>

namespace {

constexpr std::size_t warningAt = 0, temperatureAt = 1, spareAt = 3, spareThresholdAt = 4, wearAt = 5,
                      writtenAt = 48, powerHoursAt = 128, mediaErrorsAt = 160, errorEntriesAt = 176;

}  // namespace

extern "C" int32_t hl_ssd_parse_page(const uint8_t* page, size_t size, HLSSDReading* out) {
  if (!page || !out) return 0;
  std::memset(out, 0, sizeof *out);
  if (size != HL_SSD_PAGE_SIZE) return 0;
  out->warning = page[warningAt];
  // Kelvin; a drive without a sensor reports 0.
  const unsigned kelvin = page[temperatureAt] | static_cast<unsigned>(page[temperatureAt + 1]) << 8;
  out->celsius = static_cast<double>(kelvin) - 273.15;
  out->celsius_valid = out->celsius >= -20 && out->celsius <= 120 ? 1 : 0;
  out->spare = page[spareAt];
  out->spare_threshold = page[spareThresholdAt];
  out->wear = page[wearAt];
  std::memcpy(out->written, page + writtenAt, sizeof out->written);
  std::memcpy(out->power_hours, page + powerHoursAt, sizeof out->power_hours);
  std::memcpy(out->media_errors, page + mediaErrorsAt, sizeof out->media_errors);
  std::memcpy(out->error_entries, page + errorEntriesAt, sizeof out->error_entries);
  return out->spare <= 100 && out->spare_threshold <= 100 ? 1 : 0;
}
