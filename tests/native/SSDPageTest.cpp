// The SMART / Health Information log page, built byte by byte as a drive returns it.
#include "native/SSDHealth.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using Page = std::array<std::uint8_t, HL_SSD_PAGE_SIZE>;

// A sane page at `kelvin`: spare 100 of threshold 10, 3 % used, nothing else.
Page healthyPage(unsigned kelvin = 301) {
  Page page{};
  page[1] = static_cast<std::uint8_t>(kelvin);
  page[2] = static_cast<std::uint8_t>(kelvin >> 8);
  page[3] = 100;
  page[4] = 10;
  page[5] = 3;
  return page;
}

std::int32_t parse(const Page& page, HLSSDReading& reading) {
  return hl_ssd_parse_page(page.data(), page.size(), &reading);
}

TEST(SSDPage, FieldsComeFromTheirOffsets) {
  Page page = healthyPage(0x0141);  // 321 K: both bytes matter
  page[0] = 0x05;
  page[5] = 117;  // wear may exceed 100
  // Each counter gets its own byte pattern, a high part included.
  for (std::size_t i = 0; i < 16; ++i) {
    page[48 + i] = static_cast<std::uint8_t>(0x10 + i);
    page[128 + i] = static_cast<std::uint8_t>(0x40 + i);
    page[160 + i] = static_cast<std::uint8_t>(0x70 + i);
    page[176 + i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  page[64] = page[144] = 0xEE;  // data units read and other fields stay out

  HLSSDReading reading{};
  ASSERT_EQ(parse(page, reading), 1);
  EXPECT_EQ(reading.warning, 0x05);
  EXPECT_NEAR(reading.celsius, 47.85, 1e-9);
  EXPECT_EQ(reading.celsius_valid, 1);
  EXPECT_EQ(reading.spare, 100);
  EXPECT_EQ(reading.spare_threshold, 10);
  EXPECT_EQ(reading.wear, 117);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(reading.written[i], 0x10 + i) << i;
    EXPECT_EQ(reading.power_hours[i], 0x40 + i) << i;
    EXPECT_EQ(reading.media_errors[i], 0x70 + i) << i;
    EXPECT_EQ(reading.error_entries[i], 0xA0 + i) << i;
  }
}

TEST(SSDPage, TheTemperatureIsJudgedAloneButInsaneSpareFieldsOrAPartPageRejectIt) {
  // 0 K is what a drive without a sensor reports; a missing temperature is no broken page.
  for (const auto& [kelvin, valid] : {std::pair{0u, 0}, {253u, 0}, {254u, 1}, {393u, 1}, {394u, 0}, {65535u, 0}}) {
    HLSSDReading reading{};
    EXPECT_EQ(parse(healthyPage(kelvin), reading), 1) << kelvin;
    EXPECT_EQ(reading.celsius_valid, valid) << kelvin;
  }
  for (const auto [spare, threshold, result] : {std::array{100, 100, 1}, {101, 10, 0}, {50, 101, 0}, {255, 255, 0}}) {
    Page page = healthyPage();
    page[3] = static_cast<std::uint8_t>(spare);
    page[4] = static_cast<std::uint8_t>(threshold);
    HLSSDReading reading{};
    EXPECT_EQ(parse(page, reading), result) << spare << " " << threshold;
    EXPECT_EQ(reading.spare, spare);  // filled all the same
    EXPECT_EQ(reading.wear, 3);
  }
  std::array<std::uint8_t, 600> bigger{};
  std::memcpy(bigger.data(), healthyPage().data(), HL_SSD_PAGE_SIZE);
  for (const std::size_t size : {std::size_t{0}, std::size_t{511}, std::size_t{513}}) {
    HLSSDReading reading;
    std::memset(&reading, 0xAB, sizeof reading);
    EXPECT_EQ(hl_ssd_parse_page(bigger.data(), size, &reading), 0) << size;
    EXPECT_EQ(reading.spare, 0) << size;
    EXPECT_EQ(reading.celsius_valid, 0) << size;
    EXPECT_EQ(reading.written[15], 0) << size;
  }
  HLSSDReading reading{};
  EXPECT_EQ(hl_ssd_parse_page(nullptr, HL_SSD_PAGE_SIZE, &reading), 0);
  EXPECT_EQ(hl_ssd_parse_page(bigger.data(), HL_SSD_PAGE_SIZE, nullptr), 0);
}

}  // namespace
