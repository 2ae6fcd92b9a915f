#include "core/PropertyList.h"

#include <gtest/gtest.h>

#include <bit>
#include <initializer_list>

#include "CoreFixtures.h"

namespace hollin {
namespace {

std::string fixture(const std::string& name) { return test::fixture("plist/" + name); }

constexpr std::size_t limit = 1 << 20;

TEST(PropertyList, XmlAndBinaryDecodeEveryTypeAlikeInStoredOrder) {
  auto parsed = parsePropertyList(fixture("sample.xml"), limit);
  auto binary = parsePropertyList(fixture("sample.bin"), limit);
  ASSERT_TRUE(parsed && binary);
  EXPECT_EQ(*parsed, *binary);
  std::vector<std::string> keys;
  for (const auto& entry : *parsed->asDictionary()) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"SessionInfo", "zeta", "alpha", "when", "big", "empty"}));
  const PlistValue& second = (*parsed->find("SessionInfo")->asArray())[1];
  EXPECT_EQ(second.find("kCGSSessionUserIDKey")->asInt64(), -7);
  EXPECT_EQ(second.find("kCGSSessionUserIDKey")->asUInt64(), std::nullopt) << "negative";
  EXPECT_EQ(second.find("ratio")->asInt64(), std::nullopt) << "a real";
  EXPECT_EQ(second.find("kCGSessionLoginDoneKey")->asNumber(), std::nullopt) << "booleans are not numbers";
  EXPECT_EQ(parsed->find("when")->asDate(), PlistDate{730987230}) << "2024-03-01 12:00:30 UTC from 2001";
  EXPECT_EQ(parsed->find("big")->asUInt64(), 9007199254740993ULL) << "beyond a double's exact integers";
}

void appendBigEndian32(std::string& to, std::uint64_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) to += static_cast<char>(v >> shift & 0xFF);
}

// A binary list of the given encoded objects, the first one the root, with 4-byte offsets and
// references.
std::string binaryList(const std::vector<std::string>& objects) {
  std::string bytes = "bplist00", table;
  for (const std::string& object : objects) {
    appendBigEndian32(table, bytes.size());
    bytes += object;
  }
  const std::uint64_t tableOffset = bytes.size();
  bytes += table;
  std::string trailer(6, '\0');
  trailer += "\x04\x04";
  for (std::uint64_t v : {std::uint64_t{objects.size()}, std::uint64_t{0}, tableOffset}) {
    trailer += std::string(4, '\0');
    appendBigEndian32(trailer, v);
  }
  return bytes + trailer;
}

// An array object holding references to the given objects.
std::string arrayOf(std::initializer_list<std::uint32_t> children) {
  std::string object(1, static_cast<char>(0xA0 | children.size()));
  for (std::uint32_t child : children) appendBigEndian32(object, child);
  return object;
}

TEST(PropertyList, RejectsBadAndHostileInputBeforeLibplistSeesIt) {
  using namespace std::string_literals;
  const std::string xml = fixture("sample.xml");
  std::string deep;  // far beyond any source of ours
  for (int i = 0; i < 200; ++i) deep = "<array>" + deep + "</array>";
  // `levels` arrays, each holding the next (once or twice), the last one empty.
  const auto chain = [](std::uint32_t levels, bool twice) {
    std::vector<std::string> objects;
    for (std::uint32_t i = 1; i < levels; ++i) objects.push_back(twice ? arrayOf({i, i}) : arrayOf({i}));
    objects.push_back(arrayOf({}));
    return binaryList(objects);
  };
  // A dictionary { "a": <string> } whose key or value is UTF-16 with a U+0000 in it.
  const std::string dictionary = "\xD1\0\0\0\x01\0\0\0\x02"s;
  struct Row { const char* name; std::string bytes; std::size_t limit; PlistError error; };
  const Row rows[] = {
      {"one byte over the limit", xml, xml.size() - 1, PlistError::tooLarge},
      {"empty", "", limit, PlistError::malformed},
      {"garbage", "not a property list at all", limit, PlistError::malformed},
      {"truncated xml", xml.substr(0, xml.size() / 2), limit, PlistError::malformed},
      {"truncated binary", fixture("sample.bin").substr(0, 40), limit, PlistError::malformed},
      {"unclosed element", "<plist><dict><key>a</key><string>b</dict></plist>", limit, PlistError::malformed},
      {"nested 200 deep", "<plist>" + deep + "</plist>", limit, PlistError::tooDeep},
      {"100,000 nested binary arrays (about 900 KB)", chain(100'000, false), 4 << 20, PlistError::tooDeep},
      {"one array used twice at each of 40 levels: 2^40 values", chain(40, true), 4 << 20, PlistError::tooLarge},
      {"a NUL in an XML key", "<plist><dict><key>a\0b</key><string>c</string></dict></plist>"s, limit,
       PlistError::malformed},
      {"a NUL in an XML value", "<plist><string>a\0b</string></plist>"s, limit, PlistError::malformed},
      {"U+0000 in a binary key", binaryList({dictionary, "\x62\0a\0\0"s, "\x51x"}), limit, PlistError::malformed},
      {"U+0000 in a binary value", binaryList({dictionary, "\x51k", "\x62\0\0\0b"s}), limit, PlistError::malformed},
      {"a reference past the objects", binaryList({arrayOf({7})}), limit, PlistError::malformed},
  };
  for (const Row& row : rows) {
    auto parsed = parsePropertyList(row.bytes, row.limit);
    ASSERT_FALSE(parsed) << row.name;
    EXPECT_EQ(parsed.error(), row.error) << row.name;
  }
  EXPECT_TRUE(parsePropertyList(xml, xml.size())) << "exactly at the limit is allowed";
  EXPECT_TRUE(parsePropertyList(binaryList({dictionary, "\x51k", "\x62\0a\0b"s}), limit)) << "the same, well formed";
}

TEST(PropertyList, DatesKeepTheirSecondsFarFromTwoThousandOne) {
  // 2100-01-01 00:00:00 UTC and 1900-01-01 00:00:00 UTC, beyond 32-bit seconds from 2001.
  constexpr double in2100 = 3124137600.0, in1900 = -3187296000.0;
  auto binary = [](double seconds) {
    std::string object = "\x33";
    const auto bits = std::bit_cast<std::uint64_t>(seconds);
    for (int shift = 56; shift >= 0; shift -= 8) object += static_cast<char>(bits >> shift & 0xFF);
    return binaryList({object});
  };
  EXPECT_EQ(parsePropertyList("<plist><date>2100-01-01T00:00:00Z</date></plist>", limit)->asDate(), PlistDate{in2100});
  EXPECT_EQ(parsePropertyList(binary(in2100 + 0.5), limit)->asDate(), PlistDate{in2100 + 0.5});
  EXPECT_EQ(parsePropertyList(binary(in1900), limit)->asDate(), PlistDate{in1900});
}

}  // namespace
}  // namespace hollin
