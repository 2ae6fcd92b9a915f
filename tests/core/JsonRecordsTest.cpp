// Small records in their JSON form, read through the field reader: a member is there with its
// type and in its range, an optional one may be missing or null, and anything else makes the
// whole record unreadable.
#include <gtest/gtest.h>

#include "core/LocalizedMessage.h"
#include "core/memory/AppIdentity.h"

namespace hollin {
namespace {

TEST(JsonRecords, AppIdentityAndLocalizedMessage) {
  const AppIdentity widest{2147483647, 18446744073709551615ULL};
  EXPECT_EQ(toJson(widest).dump(), R"({"pid":2147483647,"start":18446744073709551615})");
  EXPECT_EQ(appIdentityFromJson(Json::parse(toJson(widest).dump())), widest);
  EXPECT_EQ(appIdentityFromJson(Json::parse(R"({"start":5,"pid":-2147483648})")), (AppIdentity{-2147483648, 5}));
  for (const char* bad : {R"({"pid":1})", R"({"start":1})", R"({"pid":1.5,"start":1})", R"({"pid":1,"start":-1})",
                          R"({"pid":1,"start":2.0})", R"({"pid":"1","start":1})", R"({"pid":2147483648,"start":1})",
                          R"({"pid":-2147483649,"start":1})", R"({"pid":true,"start":1})",
                          R"({"pid":null,"start":1})", R"({"pid":1,"start":18446744073709551616})", R"([1,2])"})
    EXPECT_EQ(appIdentityFromJson(Json::parse(bad)), std::nullopt) << bad;

  const LocalizedMessage message{"{1} と {0}", {"a", "{0}"}};
  EXPECT_EQ(toJson(message).dump(), R"({"key":"{1} と {0}","arguments":["a","{0}"]})");
  EXPECT_EQ(messageFromJson(Json::parse(toJson(message).dump())), message);
  EXPECT_EQ(messageFromJson(Json::parse(R"({"key":"空","arguments":[]})")), (LocalizedMessage{"空", {}}));
  for (const char* bad : {R"({"key":"a"})", R"({"arguments":[]})", R"({"key":1,"arguments":[]})",
                          R"({"key":"a","arguments":"b"})", R"({"key":"a","arguments":[1]})",
                          R"({"key":"a","arguments":[null]})", R"({"key":"a","arguments":null})", "null"})
    EXPECT_EQ(messageFromJson(Json::parse(bad)), std::nullopt) << bad;
}

}  // namespace
}  // namespace hollin
