#include "core/PropertyList.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace hollin {
namespace {

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(HOLLIN_FIXTURES_DIR) + "/plist/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

constexpr std::size_t limit = 1 << 20;

TEST(PropertyList, XmlAndBinaryDecodeToTheSameValue) {
  auto xml = parsePropertyList(fixture("sample.xml"), limit);
  auto binary = parsePropertyList(fixture("sample.bin"), limit);
  ASSERT_TRUE(xml);
  ASSERT_TRUE(binary);
  EXPECT_EQ(*xml, *binary);
}

TEST(PropertyList, DecodesEveryTypeInStoredOrder) {
  auto parsed = parsePropertyList(fixture("sample.xml"), limit);
  ASSERT_TRUE(parsed);
  const PlistDictionary* root = parsed->asDictionary();
  ASSERT_NE(root, nullptr);
  std::vector<std::string> keys;
  for (const auto& entry : *root) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"SessionInfo", "zeta", "alpha", "when", "big", "empty"}));

  const PlistArray* sessions = parsed->find("SessionInfo")->asArray();
  ASSERT_NE(sessions, nullptr);
  ASSERT_EQ(sessions->size(), 2u);
  const PlistValue& first = (*sessions)[0];
  EXPECT_EQ(first.find("kCGSSessionUserIDKey")->asInt64(), 501);
  EXPECT_EQ(first.find("kCGSessionLoginDoneKey")->asBool(), true);
  EXPECT_EQ(*first.find("name")->asString(), "ユーザー");
  const PlistValue& second = (*sessions)[1];
  EXPECT_EQ(second.find("kCGSSessionUserIDKey")->asInt64(), -7);
  EXPECT_EQ(second.find("kCGSSessionUserIDKey")->asUInt64(), std::nullopt);
  EXPECT_EQ(second.find("ratio")->asNumber(), 0.25);
  EXPECT_EQ(second.find("ratio")->asInt64(), std::nullopt);

  EXPECT_EQ(*parsed->find("alpha")->asData(), (PlistData{0x00, 0x01, 0xfe}));
  // 2024-03-01 12:00:30 UTC counted from 2001-01-01.
  EXPECT_EQ(parsed->find("when")->asDate(), PlistDate{730987230});
  EXPECT_EQ(parsed->find("big")->asUInt64(), 9007199254740993ULL);
  ASSERT_NE(parsed->find("empty")->asDictionary(), nullptr);
  EXPECT_TRUE(parsed->find("empty")->asDictionary()->empty());
}

TEST(PropertyList, WrongTypesGiveNothingRatherThanCrash) {
  PlistValue text("501");
  EXPECT_EQ(text.asNumber(), std::nullopt);
  EXPECT_EQ(text.asBool(), std::nullopt);
  EXPECT_EQ(text.asDictionary(), nullptr);
  EXPECT_EQ(text.find("key"), nullptr);
  PlistValue flag(true);
  EXPECT_EQ(flag.asNumber(), std::nullopt) << "booleans are not numbers";
  EXPECT_FALSE(flag.isInteger());
  PlistValue mixed(PlistDictionary{{"a", PlistValue("x")}, {"b", PlistValue(1)}});
  EXPECT_EQ(mixed.asStringTable(), std::nullopt);
}

TEST(PropertyList, RejectsBadInput) {
  const std::string xml = fixture("sample.xml");
  struct Row {
    const char* name;
    std::string bytes;
    std::size_t limit;
    PlistError error;
  };
  const Row rows[] = {
      {"one byte over the limit", xml, xml.size() - 1, PlistError::tooLarge},
      {"empty", "", limit, PlistError::malformed},
      {"garbage", "not a property list at all", limit, PlistError::malformed},
      {"truncated xml", xml.substr(0, xml.size() / 2), limit, PlistError::malformed},
      {"truncated binary", fixture("sample.bin").substr(0, 40), limit, PlistError::malformed},
      {"unclosed element", "<plist><dict><key>a</key><string>b</dict></plist>", limit,
       PlistError::malformed},
  };
  for (const Row& row : rows) {
    auto parsed = parsePropertyList(row.bytes, row.limit);
    ASSERT_FALSE(parsed) << row.name;
    EXPECT_EQ(parsed.error(), row.error) << row.name;
  }
  EXPECT_TRUE(parsePropertyList(xml, xml.size())) << "exactly at the limit is allowed";
}

TEST(PropertyList, RefusesNestingBeyondAnySourceOfOurs) {
  std::string deep = "<plist>";
  for (int i = 0; i < 200; ++i) deep += "<array>";
  for (int i = 0; i < 200; ++i) deep += "</array>";
  deep += "</plist>";
  auto parsed = parsePropertyList(deep, limit);
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error(), PlistError::tooDeep);
}

}  // namespace
}  // namespace hollin
