// Crashed applications: the names crash files are given, the sources merged, the tallies, the
// warning and the health table's rows.
#include <gtest/gtest.h>

#include "CoreFixtures.h"
#include "core/early/CrashReports.h"

namespace hollin {
namespace {

using std::chrono::hours;
using std::chrono::seconds;

using test::utc;

const WallTime now = utc(2024, 5, 10, 12, 0, 0);
const std::string bootId = "0123456789abcdef0123456789abcdef";

TEST(CrashReportsParse, SystemdCoreDumpAndApportNames) {
  using Dump = CrashReports::CoreDumpName;
  const auto dump = [](const std::string& name) { return CrashReports::parseCoreDumpName(name); };
  EXPECT_EQ(dump("core.Web\\x20Content.1000." + bootId + ".7.8"), (Dump{"Web Content", 1000, 7, 8})) << "unescaped";
  EXPECT_EQ(dump("core.a.b\\x2ec.0." + bootId + ".7.8.xz"), (Dump{"a.b.c", 0, 7, 8})) << "dots, written or escaped";
  EXPECT_EQ(dump("core.x\\xZZ.1000." + bootId + ".7.8"), (Dump{"x\\xZZ", 1000, 7, 8}));
  for (const std::string& bad :
       {".#core.gedit.1000." + bootId + ".7.8", "core.gedit.1000." + bootId + ".7",
        "core..1000." + bootId + ".7.8", "core.gedit.-1." + bootId + ".7.8",
        "core.gedit.1000.0123." + bootId.substr(4) + ".7.8",
        "core.gedit.1000." + bootId + ".7.99999999999999999999"})
    EXPECT_FALSE(dump(bad)) << bad;

  using Report = CrashReports::ApportName;
  const auto report = [](const std::string& name) { return CrashReports::parseApportName(name); };
  EXPECT_EQ(report("_usr_bin_gedit.1000.crash"), (Report{"gedit", 1000}));
  EXPECT_EQ(report("_usr_sbin_cupsd.0.crash"), (Report{"cupsd", 0}));
  EXPECT_EQ(report("_usr_bin_python3.11.1000.crash"), (Report{"python3.11", 1000}));
  EXPECT_EQ(report("_usr_lib_firefox_firefox.1000.crash"), (Report{"usr_lib_firefox_firefox", 1000}));
  for (const char* bad : {"_usr_bin_gedit.1000.upload", "_usr_bin_gedit.crash", "_usr_bin_gedit.x.crash",
                          "usr_bin_gedit.1000.crash", "_usr_bin_.1000.crash"})
    EXPECT_FALSE(report(bad)) << bad;
}

TEST(CrashWarnings, ThreeCrashesInADayWarnAndTheTableShowsThem) {
  std::vector<CrashRecord> records = {
      {"Beta", now - hours(1)},         {"Beta", now - hours(2)},     {"Beta", now - hours(23)},
      {"Alpha", now - hours(3)},        {"Alpha", now - hours(30)},   {"Gamma", now - hours(5)},
      {"Gamma", now - hours(25)},       {"Beta", now + seconds(301)}, {"Delta", now + seconds(299)},
      {"Old", now - hours(7 * 24 + 1)},
  };
  const auto warnings = EarlyWarnings::crashes(records, now, "ja");
  ASSERT_EQ(warnings.size(), 1u) << "two crashes are no warning";
  EXPECT_EQ(warnings[0].kind, "crash:Beta");
  EXPECT_EQ(warnings[0].message,
            "「Beta」がこの24時間に3回落ちました。アップデートがないか確かめてください。");

  // Beta crashed 3 times today and 4 this week; 5 others crashed this week. The tallies come
  // most first, equal counts by name, without the crash 301 s ahead or the one beyond the week.
  records.push_back({"Beta", now - hours(48)});
  for (const char* name : {"Epsilon", "Zeta"}) records.push_back({name, now - hours(50)});
  const auto last = shortDateTimeText(now - hours(1), "ja", "UTC");
  EXPECT_EQ(
      CrashReports::rows(records, warnings, now, "ja", "UTC"),
      (std::vector<EarlyTableRow>{
          {"落ちたアプリ：Beta", EarlyTone::attention, "24時間に3回", "7日間に4回・最後：" + last},
          {"ほかに落ちたアプリ", EarlyTone::plain, "5つ（7日間）",
           "Alpha（2回）・Gamma（2回）・Delta（1回）・ほか2つ"},
      }));
  EXPECT_EQ(CrashReports::rows(records, {}, now, "en", "UTC"),
            (std::vector<EarlyTableRow>{{"Crashed apps", EarlyTone::plain, "6 in 7 days",
                                         "Beta (4×) · Alpha (2×) · Gamma (2×) · 3 more"}}))
      << "without the warning no application is a frequent crasher";
  EXPECT_EQ(CrashReports::rows(std::vector<CrashRecord>{{"Old", now - hours(200)}}, {}, now, "ja"),
            (std::vector<EarlyTableRow>{{"落ちたアプリ", EarlyTone::plain, std::nullopt,
                                         "この7日間に落ちたアプリはありません"}}));
  EXPECT_EQ(CrashReports::rows(std::nullopt, {}, now, "en"),
            (std::vector<EarlyTableRow>{{"Crashed apps", EarlyTone::plain, "Unavailable", "—"}}));
}

}  // namespace
}  // namespace hollin
