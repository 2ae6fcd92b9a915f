#include "core/ByteCount.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace hollin {
namespace {

std::string memory(std::uint64_t bytes, const char* language = "ja") {
  return formatByteCount(bytes, ByteCountStyle::memory, language);
}
std::string file(std::uint64_t bytes, const char* language = "ja") {
  return formatByteCount(bytes, ByteCountStyle::file, language);
}

TEST(ByteCount, CountsBelowOneUnitInBytes) {
  EXPECT_EQ(memory(0), "0 バイト");
  EXPECT_EQ(memory(1), "1 バイト");
  EXPECT_EQ(memory(1023), "1,023 バイト");
  EXPECT_EQ(file(999), "999 バイト");
  EXPECT_EQ(memory(0, "en"), "0 bytes");
  EXPECT_EQ(memory(1, "en"), "1 byte");
  EXPECT_EQ(file(2, "en"), "2 bytes");
}

TEST(ByteCount, ShowsDigitsByUnitAndRoundsHalfUp) {
  EXPECT_EQ(memory(1024), "1 KB");
  EXPECT_EQ(memory(1535), "1 KB");
  EXPECT_EQ(memory(1536), "2 KB");
  EXPECT_EQ(file(1'000), "1 KB");
  EXPECT_EQ(file(1'250'000), "1.3 MB");
  EXPECT_EQ(file(1'200'000), "1.2 MB");
  EXPECT_EQ(file(2'000'000'000), "2 GB");
  EXPECT_EQ(file(1'500'000'000), "1.5 GB");
  EXPECT_EQ(file(1'234'567'890), "1.23 GB");
  EXPECT_EQ(file(1'235'000'000), "1.24 GB");
  EXPECT_EQ(memory(std::uint64_t{16} << 30), "16 GB");
  EXPECT_EQ(file(512'110'190'592), "512.11 GB");
  EXPECT_EQ(file(2'000'398'934'016), "2 TB");
}

TEST(ByteCount, CarriesIntoTheNextUnitWhenRoundingReachesIt) {
  EXPECT_EQ(file(999'999), "1 MB");
  EXPECT_EQ(file(999'499), "999 KB");
  EXPECT_EQ(memory(1024 * 1023 + 511), "1,023 KB");
  EXPECT_EQ(memory((std::uint64_t{1} << 30) - 1), "1 GB");
  EXPECT_EQ(memory(std::numeric_limits<std::uint64_t>::max()), "16 EB");
}

}  // namespace
}  // namespace hollin
