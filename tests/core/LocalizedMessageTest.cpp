#include "core/LocalizedMessage.h"

#include <gtest/gtest.h>

namespace hollin {
namespace {

TEST(LocalizedMessage, InterpolationNumbersPlaceholdersLeftToRight) {
  const LocalizedMessage version = interpolated("バージョン ", std::string("1.4"), "（ビルド ", 27, "）");
  EXPECT_EQ(version.key, "バージョン {0}（ビルド {1}）");
  EXPECT_EQ(version.arguments, (std::vector<std::string>{"1.4", "27"}));
  EXPECT_EQ(interpolated("比率 ", 1.5).arguments, std::vector<std::string>{"1.5"});
  EXPECT_EQ(interpolated("ただの文").arguments.size(), 0u);
}

TEST(LocalizedMessage, MsgCarriesFormattedArguments) {
  const LocalizedMessage message = msg("このアカウント（UID {0}）", 501);
  EXPECT_EQ(message, (LocalizedMessage{"このアカウント（UID {0}）", {"501"}}));
  EXPECT_NE(message, (LocalizedMessage{"このアカウント（UID {0}）", {"502"}}));
}

TEST(LocalizedMessage, RoundTripsThroughJson) {
  const LocalizedMessage message{"{1} と {0}", {"a", "{0}"}};
  const Json stored = toJson(message);
  EXPECT_EQ(stored.dump(), R"({"key":"{1} と {0}","arguments":["a","{0}"]})");
  EXPECT_EQ(messageFromJson(Json::parse(stored.dump())), message);
  EXPECT_EQ(messageFromJson(Json::parse(R"({"key":"空","arguments":[]})")),
            (LocalizedMessage{"空", {}}));
}

TEST(LocalizedMessage, RejectsIncompleteOrMistypedJson) {
  for (const char* text : {R"({"key":"a"})", R"({"arguments":[]})", R"({"key":1,"arguments":[]})",
                           R"({"key":"a","arguments":"b"})", R"({"key":"a","arguments":[1]})",
                           R"({"key":"a","arguments":[null]})", R"(["a",[]])", "null"})
    EXPECT_FALSE(messageFromJson(Json::parse(text))) << text;
}

}  // namespace
}  // namespace hollin
