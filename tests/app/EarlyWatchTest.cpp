// The slow watchers' tool runner with its real limits.
#include <gtest/gtest.h>

#include "app/early/EarlyWatch.h"

namespace hollin {
namespace {

TEST(EarlyWatchRun, GivesAtMostTwoMillionBytesOfASuccessfulRun) {
  EXPECT_EQ(EarlyWatch::run("/bin/sh", {"-c", "head -c 2000000 /dev/zero"})->size(), 2000000u);
  EXPECT_FALSE(EarlyWatch::run("/bin/sh", {"-c", "head -c 2000001 /dev/zero"}));
  EXPECT_FALSE(EarlyWatch::run("/bin/sh", {"-c", "echo 87; exit 1"}));
  EXPECT_FALSE(EarlyWatch::run("/nonexistent/tool", {}));
  // Arguments go as given, with no shell between; the tool runs in the C locale.
  EXPECT_EQ(EarlyWatch::run("/bin/sh", {"-c", "printf '%s|' \"$0\" \"$@\" $LANG", "a b", "c"}), "a b|c|C|");
}

}  // namespace
}  // namespace hollin
