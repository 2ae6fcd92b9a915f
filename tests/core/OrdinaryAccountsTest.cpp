#include "core/OrdinaryAccounts.h"

#include <gtest/gtest.h>

namespace hollin {
namespace {

TEST(OrdinaryAccounts, ReadsTheRangeOfLoginDefs) {
  const AccountRange range = parseLoginDefs(
      "# UID_MIN 1\n"
      "MAIL_DIR\t/var/mail\n"
      "UID_MIN\t\t\t  500\n"
      "UID_MAX\t\t\t29999\r\n"
      "SYS_UID_MIN 100\n");
  EXPECT_EQ(range, (AccountRange{500, 29999}));
  EXPECT_TRUE(range.contains(500));
  EXPECT_TRUE(range.contains(29999));
  EXPECT_FALSE(range.contains(499));
  EXPECT_FALSE(range.contains(30000));
}

TEST(OrdinaryAccounts, KeepsTheDefaultsForAnythingDoubtful) {
  const AccountRange defaults;
  for (const char* text : {"", "UID_MIN 2000\n", "UID_MIN 2000\nUID_MAX 1000\n",
                           "UID_MIN 1e3\nUID_MAX 5000\n", "UID_MIN -1\nUID_MAX 5000\n",
                           "UID_MIN\nUID_MAX 5000\n", "UID_MIN 99999999999\nUID_MAX 5000\n"})
    EXPECT_EQ(parseLoginDefs(text), defaults) << text;
  EXPECT_FALSE(defaults.contains(999));
  EXPECT_TRUE(defaults.contains(1000));
  EXPECT_FALSE(defaults.contains(65534));
}

}  // namespace
}  // namespace hollin
