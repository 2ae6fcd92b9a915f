#include "core/PropertyList.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(*parsed->find("alpha")->asData(), (PlistData{0x00, 0x01, 0xfe}));
  EXPECT_EQ(parsed->find("when")->asDate(), PlistDate{730987230}) << "2024-03-01 12:00:30 UTC from 2001";
  EXPECT_EQ(parsed->find("big")->asUInt64(), 9007199254740993ULL) << "beyond a double's exact integers";
}

TEST(PropertyList, RejectsBadInput) {
  const std::string xml = fixture("sample.xml");
  std::string deep;  // far beyond any source of ours
  for (int i = 0; i < 200; ++i) deep = "<array>" + deep + "</array>";
  struct Row { const char* name; std::string bytes; std::size_t limit; PlistError error; };
  const Row rows[] = {
      {"one byte over the limit", xml, xml.size() - 1, PlistError::tooLarge},
      {"empty", "", limit, PlistError::malformed},
      {"garbage", "not a property list at all", limit, PlistError::malformed},
      {"truncated xml", xml.substr(0, xml.size() / 2), limit, PlistError::malformed},
      {"truncated binary", fixture("sample.bin").substr(0, 40), limit, PlistError::malformed},
      {"unclosed element", "<plist><dict><key>a</key><string>b</dict></plist>", limit, PlistError::malformed},
      {"nested 200 deep", "<plist>" + deep + "</plist>", limit, PlistError::tooDeep},
  };
  for (const Row& row : rows) {
    auto parsed = parsePropertyList(row.bytes, row.limit);
    ASSERT_FALSE(parsed) << row.name;
    EXPECT_EQ(parsed.error(), row.error) << row.name;
  }
  EXPECT_TRUE(parsePropertyList(xml, xml.size())) << "exactly at the limit is allowed";
}

}  // namespace
}  // namespace hollin
