#include <gtest/gtest.h>

#include <unordered_set>

#include "core/memory/AppIdentity.h"

namespace hollin {
namespace {

TEST(AppIdentity, JsonRoundTripsAndRejectsMalformed) {
  const AppIdentity identity{2147483647, 18446744073709551615ULL};
  EXPECT_EQ(toJson(identity).dump(), R"({"pid":2147483647,"start":18446744073709551615})");
  EXPECT_EQ(appIdentityFromJson(toJson(identity)), identity);
  EXPECT_EQ(appIdentityFromJson(Json::parse(R"({"start":5,"pid":-3})")), (AppIdentity{-3, 5}));
  for (const char* bad : {R"({"pid":1})", R"({"start":1})", R"({"pid":1.5,"start":1})",
                          R"({"pid":1,"start":-1})", R"({"pid":"1","start":1})",
                          R"({"pid":2147483648,"start":1})", R"({"pid":-2147483649,"start":1})",
                          R"({"pid":true,"start":1})", R"([1,2])"})
    EXPECT_EQ(appIdentityFromJson(Json::parse(bad)), std::nullopt) << bad;
}

TEST(AppIdentity, ReusedPidIsAnotherIdentity) {
  std::unordered_set<AppIdentity> seen{{100, 1}, {100, 2}, {101, 1}};
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen.contains({100, 2}));
  EXPECT_FALSE(seen.contains({100, 3}));
  EXPECT_NE(std::hash<AppIdentity>{}({100, 1}), std::hash<AppIdentity>{}({100, 2}));
}

}  // namespace
}  // namespace hollin
