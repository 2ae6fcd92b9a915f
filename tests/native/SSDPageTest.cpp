// The SMART / Health Information log page, built byte by byte as a drive returns it.
#include "native/SSDHealth.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>

namespace {

// A sane page at `kelvin`: spare 100 of threshold 10, 3 % used; every other byte tells its offset.
std::array<std::uint8_t, 600> page(unsigned kelvin = 301) {
  std::array<std::uint8_t, 600> bytes{};
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  bytes[1] = static_cast<std::uint8_t>(kelvin), bytes[2] = static_cast<std::uint8_t>(kelvin >> 8);
  bytes[3] = 100, bytes[4] = 10, bytes[5] = 3;
  return bytes;
}

TEST(SSDPage, FieldsComeFromTheirOffsets) {
  auto bytes = page(0x0141);  // 321 K: both bytes matter
  bytes[0] = 0x05, bytes[5] = 117;  // wear may exceed 100
  HLSSDReading reading{};
  ASSERT_EQ(hl_ssd_parse_page(bytes.data(), HL_SSD_PAGE_SIZE, &reading), 1);
  EXPECT_EQ(reading.warning, 0x05);
  EXPECT_NEAR(reading.celsius, 47.85, 1e-9);
  EXPECT_EQ(reading.celsius_valid, 1);
  EXPECT_EQ(reading.spare, 100);
  EXPECT_EQ(reading.spare_threshold, 10);
  EXPECT_EQ(reading.wear, 117);
  for (const auto& [field, offset] : {std::pair{reading.written, 48}, {reading.power_hours, 128},
                                      {reading.media_errors, 160}, {reading.error_entries, 176}})
    EXPECT_EQ(std::memcmp(field, bytes.data() + offset, 16), 0) << offset;
}

TEST(SSDPage, TheTemperatureIsJudgedAloneButInsaneSpareFieldsOrAPartPageRejectIt) {
  // 0 K is what a drive without a sensor reports; a missing temperature is no broken page.
  for (const auto& [kelvin, valid] : {std::pair{0u, 0}, {253u, 0}, {254u, 1}, {393u, 1}, {394u, 0}}) {
    HLSSDReading reading{};
    EXPECT_EQ(hl_ssd_parse_page(page(kelvin).data(), HL_SSD_PAGE_SIZE, &reading), 1) << kelvin;
    EXPECT_EQ(reading.celsius_valid, valid) << kelvin;
  }
  for (const auto [spare, threshold, result] : {std::array{100, 100, 1}, {101, 10, 0}, {50, 101, 0}}) {
    auto bytes = page();
    bytes[3] = static_cast<std::uint8_t>(spare), bytes[4] = static_cast<std::uint8_t>(threshold);
    HLSSDReading reading{};
    EXPECT_EQ(hl_ssd_parse_page(bytes.data(), HL_SSD_PAGE_SIZE, &reading), result) << spare << " " << threshold;
  }
  for (const std::size_t size : {std::size_t{0}, std::size_t{511}, std::size_t{513}}) {
    HLSSDReading reading;
    std::memset(&reading, 0xAB, sizeof reading);
    EXPECT_EQ(hl_ssd_parse_page(page().data(), size, &reading), 0) << size;
    EXPECT_EQ(reading.spare + reading.written[15], 0) << "cleared, not half filled";
  }
  HLSSDReading reading{};
  EXPECT_EQ(hl_ssd_parse_page(nullptr, HL_SSD_PAGE_SIZE, &reading), 0);
  EXPECT_EQ(hl_ssd_parse_page(page().data(), HL_SSD_PAGE_SIZE, nullptr), 0);
}

}  // namespace
