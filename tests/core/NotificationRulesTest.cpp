#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/health/HealthRecord.h"
#include "core/notify/DesktopTools.h"
#include "core/notify/NoticeContent.h"
#include "core/notify/NotificationDiagnostics.h"
#include "core/notify/NotificationRules.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime noon = WallTime{} + 1'796'040'000s;

TEST(NotificationRules, WhoMayPost) {
  struct Row {
    const char* name;
    PostingContext context;
    PostingDecision expected;
  };
  const Row rows[] = {
      {"console owner with permission posts", {501, 501, true, distantPast, noon, false}, PostingDecision::post},
      {"another account at the console", {502, 501, true, distantPast, noon, true}, PostingDecision::otherConsoleUser},
      {"nobody at the console", {4294967295u, 501, true, distantPast, noon, true}, PostingDecision::otherConsoleUser},
      {"no permission, even urgent", {501, 501, false, distantPast, noon, true}, PostingDecision::notAllowed},
      {"muted warning is held", {501, 501, true, noon + 1s, noon, false}, PostingDecision::muted},
      {"urgent passes the mute", {501, 501, true, noon + 3600s, noon, true}, PostingDecision::post},
      {"mute ending now has ended", {501, 501, true, noon, noon, false}, PostingDecision::post},
  };
  for (const Row& row : rows) EXPECT_EQ(decidePosting(row.context), row.expected) << row.name;
}

TEST(NotificationRules, MuteEndsByItself) {
  EXPECT_EQ(muteEnd(noon, 3600), noon + 1h);
  EXPECT_TRUE(isMuted(muteEnd(noon, 300), noon + 299s));
  EXPECT_FALSE(isMuted(muteEnd(noon, 300), noon + 300s));
  EXPECT_FALSE(isMuted(distantPast, noon));
}

TEST(NotificationRules, IdentifiersTellKindAndCategory) {
  struct Row {
    const char* id;
    const char* kind;
    bool category;
  };
  const Row rows[] = {{"memory-critical", "memory", true}, {"hang-501-42-7", "hang", true},
                      {"ssd-health", "ssd", false},        {"early-battery", "early", false},
                      {"hangover", "memory", false},       {"", "memory", false}};
  for (const Row& row : rows) {
    EXPECT_EQ(kindName(notificationKind(row.id)), row.kind) << row.id;
    EXPECT_EQ(carriesNoticeCategory(row.id), row.category) << row.id;
  }
}

TEST(NotificationRules, MemoryNotices) {
  const auto critical = memoryNotice("critical");
  ASSERT_TRUE(critical);
  EXPECT_EQ(critical->id, "memory-critical");
  EXPECT_TRUE(critical->urgent);
  EXPECT_EQ(critical->title.key, "メモリーの余裕がほとんどありません");
  EXPECT_EQ(critical->body.key, "ホリンの分析画面で、使用量を確認してください。");
  EXPECT_EQ(memoryNotice("warning")->title.key, "メモリーの余裕が少なくなっています");
  EXPECT_FALSE(memoryNotice("warning")->urgent);
  EXPECT_EQ(memoryNotice("early")->title.key, "メモリーの使用量が増えています");
  EXPECT_EQ(memoryNotice("normal"), std::nullopt);
}

TEST(NotificationRules, HangIdentifiers) {
  EXPECT_EQ(hangKey(501, 42, 1'700'000'000'000'000u), "501-42-1700000000000000");
  const NoticeRequest notice = hangNotice("501-42-7", msg("このアカウント（UID {0}）", 501));
  EXPECT_EQ(notice.id, "hang-501-42-7");
  EXPECT_FALSE(notice.urgent);
  EXPECT_EQ(notice.title.key, "応答が止まった疑いのあるアプリがあります");
  ASSERT_EQ(notice.body.arguments.size(), 1u);
  EXPECT_NE(notice.body.arguments[0].find("501"), std::string::npos) << "the account's label";

  EXPECT_EQ(hangSourceUID("hang-501-42-7"), 501u);
  EXPECT_EQ(hangSourceUID("hang-4294967295-1-1"), 4294967295u);
  for (const char* bad : {"hang-", "hang--1-2", "hang-x-1-2", "hang-4294967296-1-2", "hang- 501-1",
                          "memory-501", "hang-+501-1-2"})
    EXPECT_EQ(hangSourceUID(bad), std::nullopt) << bad;
}

TEST(NotificationRules, ActionsOfTheNoticeCategory) {
  const auto& actions = noticeActions();
  EXPECT_EQ(actions[0].id, "open-activity-monitor");
  EXPECT_EQ(actions[0].title.key, "アクティビティモニタを開く");
  EXPECT_EQ(actions[1].id, "mute-ten-minutes");
  EXPECT_EQ(actions[1].title.key, "通知を10分止める（危ないときは知らせる）");
}

TEST(NotificationDiagnostics, SettingsStandInForTheService) {
  const Json before = diagnosticsJson(noon, {}, noon, Json::array());
  EXPECT_EQ(before["authorizationStatus"], 0);
  EXPECT_EQ(before["alertSetting"], 0);
  EXPECT_EQ(before["settingsCheckedAt"], iso8601(noon));

  const Json none = diagnosticsJson(noon, settingsFrom(std::nullopt), noon, Json::array());
  EXPECT_EQ(none["authorizationStatus"], 1);
  EXPECT_EQ(none["alertSetting"], 1);
  EXPECT_EQ(none["alertStyle"], 0);
  EXPECT_EQ(none["notificationCenterSetting"], 1);
  EXPECT_FALSE(none.contains("service"));

  NotificationService dunst{"dunst", "knopwob", "1.9.0", "1.2", {"actions", "body"}};
  const Json plain = diagnosticsJson(noon, settingsFrom(dunst), noon, Json::array());
  EXPECT_EQ(plain["authorizationStatus"], 2);
  EXPECT_EQ(plain["alertSetting"], 2);
  EXPECT_EQ(plain["alertStyle"], 1);
  EXPECT_EQ(plain["notificationCenterSetting"], 0) << "no list of shown notices";
  EXPECT_EQ(plain["service"]["capabilities"], Json::array({"actions", "body"}));

  dunst.capabilities.push_back("persistence");
  EXPECT_EQ(diagnosticsJson(noon, settingsFrom(dunst), noon, {})["notificationCenterSetting"], 2);
  EXPECT_TRUE(advertises(settingsFrom(dunst), "persistence"));
  EXPECT_FALSE(advertises(settingsFrom(std::nullopt), "persistence"));
}

TEST(NotificationDiagnostics, HangRecordKeepsTheTwentyNewestShown) {
  HangNoticeRecord record;
  for (std::uint32_t i = 0; i < 30; ++i)
    record.posted(i + 1, "hang-" + std::to_string(501 + i % 2) + "-" + std::to_string(i) + "-1",
                  noon + std::chrono::seconds(i));
  record.posted(99, "hang-600-1-1", noon + 100s);  // an account outside the scope
  record.posted(98, "memory-warning", noon + 100s);  // not a hang notice
  const Json present = record.present({501, 502});
  ASSERT_EQ(present.size(), 20u);
  EXPECT_EQ(present[0]["deliveredAt"], iso8601(noon + 29s));
  EXPECT_EQ(present[0]["sourceUID"], 502);
  EXPECT_EQ(present[19]["deliveredAt"], iso8601(noon + 10s));

  record.closed(30);  // the newest, closed by the user: the 21st newest shows again
  const Json after = record.present({501, 502});
  ASSERT_EQ(after.size(), 20u);
  EXPECT_EQ(after[0]["deliveredAt"], iso8601(noon + 28s));
  EXPECT_EQ(after[19]["deliveredAt"], iso8601(noon + 9s));

  record.posted(1, "hang-501-0-1", noon + 200s);  // a replacement keeps one entry, now newest
  EXPECT_EQ(record.present({501}).size(), 15u);
  EXPECT_EQ(record.present({501})[0]["deliveredAt"], iso8601(noon + 200s));
  record.clear();
  EXPECT_TRUE(record.present({501, 502}).empty());
}

TEST(NotificationDiagnostics, SubmissionRecord) {
  const Json memory = submissionJson({"memory-critical", noon, true, {}, {}}, {501});
  EXPECT_EQ(memory, Json::parse(R"({"kind":"memory","requestedAt":")" + iso8601(noon) + R"(","accepted":true})"));

  const Json refused =
      submissionJson({"hang-501-1-2", noon, false, "org.freedesktop.DBus.Error.ServiceUnknown", 4}, {501});
  EXPECT_EQ(refused["kind"], "hang");
  EXPECT_EQ(refused["sourceUID"], 501);
  EXPECT_EQ(refused["errorDomain"], "org.freedesktop.DBus.Error.ServiceUnknown");
  EXPECT_EQ(refused["errorCode"], 4);

  EXPECT_FALSE(submissionJson({"hang-777-1-2", noon, true, {}, {}}, {501}).contains("sourceUID"));
  EXPECT_EQ(submissionJson({"early-disk", noon, true, {}, {}}, {})["kind"], "early");
}

TEST(NotificationDiagnostics, SettingsProgramOfTheRunningDesktop) {
  const auto everything = [](const std::string&) { return true; };
  EXPECT_EQ(notificationSettingsCommand("ubuntu:GNOME", everything),
            (CommandLine{"gnome-control-center", "notifications"}));
  EXPECT_EQ(notificationSettingsCommand("XFCE", everything), CommandLine{"xfce4-notifyd-config"});
  const auto onlyKde = [](const std::string& name) { return name == "systemsettings"; };
  EXPECT_EQ(notificationSettingsCommand("XFCE", onlyKde),
            (CommandLine{"systemsettings", "kcm_notifications"}))
      << "another desktop's settings are better than none";
  EXPECT_EQ(notificationSettingsCommand("", [](const std::string&) { return false; }), std::nullopt);
}

}  // namespace
}  // namespace hollin
