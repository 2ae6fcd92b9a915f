#include <gtest/gtest.h>

#include "core/health/HealthRecord.h"
#include "core/notify/DesktopTools.h"
#include "core/notify/NoticeContent.h"
#include "core/notify/NotificationDiagnostics.h"
#include "core/notify/NotificationRules.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime noon = WallTime{} + 1'796'040'000s;

TEST(NotificationRules, WhoMayPostAndWhatKeepsNoticesFromTheUser) {
  struct Row { const char* name; PostingContext context; PostingDecision expected; };
  const Row rows[] = {  // context: console, current uid, allowed, muted until, now, urgent
      {"console owner with permission posts", {501, 501, true, distantPast, noon, false}, PostingDecision::post},
      {"another account at the console", {502, 501, true, distantPast, noon, true}, PostingDecision::otherConsoleUser},
      {"nobody at the console", {4294967295u, 501, true, distantPast, noon, true}, PostingDecision::otherConsoleUser},
      {"no permission, even urgent", {501, 501, false, distantPast, noon, true}, PostingDecision::notAllowed},
      {"urgent passes the mute", {501, 501, true, noon + 3600s, noon, true}, PostingDecision::post},
      {"a warning inside a mute is held", {501, 501, true, muteEnd(noon - 600s, 601), noon, false}, PostingDecision::muted},
      {"a mute ending now has ended", {501, 501, true, muteEnd(noon - 600s, 600), noon, false}, PostingDecision::post},
  };
  for (const Row& row : rows) EXPECT_EQ(decidePosting(row.context), row.expected) << row.name;

  // What the self-health record names as keeping notices from the user; a mute is a choice.
  using enum NotificationAuthorization;
  for (auto answer : {authorized, notDetermined}) EXPECT_EQ(withholding(501, 501, answer), std::nullopt);
  EXPECT_EQ(withholding(4294967295u, 501, authorized), "notAtConsole");
  EXPECT_EQ(withholding(502, 501, denied), "notAtConsole") << "the console comes first";
  EXPECT_EQ(withholding(501, 501, denied), "noNotificationService");
}

TEST(NotificationRules, IdentifiersAndTheNoticesBehindThem) {
  struct Row { const char* id; const char* kind; bool category; };
  const Row rows[] = {{"memory-critical", "memory", true}, {"hang-501-42-7", "hang", true},
                      {"ssd-health", "ssd", false},        {"early-battery", "early", false},
                      {"hangover", "memory", false},       {"", "memory", false}};
  for (const Row& row : rows) {
    EXPECT_EQ(kindName(notificationKind(row.id)), row.kind) << row.id;
    EXPECT_EQ(carriesNoticeCategory(row.id), row.category) << row.id;
  }
  for (const char* raw : {"early", "warning", "critical"})
    EXPECT_EQ(memoryNotice(raw)->urgent, raw == std::string("critical")) << "only critical passes a mute";
  EXPECT_EQ(memoryNotice("normal"), std::nullopt);

  const NoticeRequest hang = hangNotice(hangKey(4294967295u, 42, 7), msg("このアカウント（UID {0}）", 501));
  EXPECT_EQ(hang.id, "hang-4294967295-42-7");
  EXPECT_EQ(hangSourceUID(hang.id), 4294967295u) << "the largest uid";
  ASSERT_EQ(hang.body.arguments.size(), 1u);
  EXPECT_NE(hang.body.arguments[0].find("501"), std::string::npos) << "the account's label";
  for (const char* bad : {"hang-", "hang--1-2", "hang-x-1-2", "hang-4294967296-1-2", "hang- 501-1", "memory-501",
                          "hang-+501-1-2"})
    EXPECT_EQ(hangSourceUID(bad), std::nullopt) << bad;
}

TEST(NotificationDiagnostics, TheServicesAnswerStandsInForTheSettingsAndTheirProgram) {
  const NotificationService dunst{"dunst", "knopwob", "1.9.0", "1.2", {"actions", "body"}};
  const NotificationService persistent{"dunst", "knopwob", "1.9.0", "1.2", {"actions", "body", "persistence"}};
  struct Row { const char* name; NotificationSettings settings; std::vector<int> figures; };
  const Row rows[] = {  // figures: authorizationStatus, alertSetting, alertStyle, notificationCenterSetting
      {"not asked yet", {}, {0, 0, 0, 0}},
      {"no service answers", settingsFrom(std::nullopt), {1, 1, 0, 1}},
      {"a service without a list of shown notices", settingsFrom(dunst), {2, 2, 1, 0}},
      {"a service that keeps them", settingsFrom(persistent), {2, 2, 1, 2}},
  };
  for (const Row& row : rows) {
    const Json json = diagnosticsJson(noon, row.settings, noon, Json::array());
    EXPECT_EQ((std::vector<int>{json["authorizationStatus"], json["alertSetting"], json["alertStyle"],
                                json["notificationCenterSetting"]}), row.figures) << row.name;
    EXPECT_EQ(json.contains("service"), row.settings.service.has_value()) << row.name;
  }
  EXPECT_EQ(diagnosticsJson(noon, settingsFrom(dunst), noon, {})["service"]["capabilities"], Json({"actions", "body"}));

  // The settings program of the running desktop; another desktop's is better than none.
  const auto everything = [](const std::string&) { return true; };
  const auto onlyKde = [](const std::string& name) { return name == "systemsettings"; };
  EXPECT_EQ(notificationSettingsCommand("ubuntu:GNOME", everything), (CommandLine{"gnome-control-center", "notifications"}));
  EXPECT_EQ(notificationSettingsCommand("XFCE", everything), CommandLine{"xfce4-notifyd-config"});
  EXPECT_EQ(notificationSettingsCommand("XFCE", onlyKde), (CommandLine{"systemsettings", "kcm_notifications"}));
  EXPECT_EQ(notificationSettingsCommand("", [](const std::string&) { return false; }), std::nullopt);
}

TEST(NotificationDiagnostics, HangRecordKeepsTheTwentyNewestShownAndTheLastSubmission) {
  HangNoticeRecord record;
  for (std::uint32_t i = 0; i < 30; ++i)  // server ids 1…30, the accounts 501 and 502 in turn
    record.posted(i + 1, "hang-" + std::to_string(501 + i % 2) + "-" + std::to_string(i) + "-1", noon + 1s * i);
  record.posted(99, "hang-600-1-1", noon + 100s);  // an account outside the scope
  record.posted(98, "memory-warning", noon + 100s);  // not a hang notice
  // The newest one shown (its account and time), the oldest one's time, and how many.
  const auto shown = [&](const std::set<std::uint32_t>& watchable) {
    const Json present = record.present(watchable);
    return present.empty() ? Json() : Json{present.front(), present.back()["deliveredAt"], present.size()};
  };
  const auto newest = [](std::uint32_t uid, WallTime at) { return Json{{"sourceUID", uid}, {"deliveredAt", iso8601(at)}}; };
  EXPECT_EQ(shown({501, 502}), Json({newest(502, noon + 29s), iso8601(noon + 10s), 20}));
  record.closed(30);  // the newest, closed by the user: the 21st newest shows again
  EXPECT_EQ(shown({501, 502}), Json({newest(501, noon + 28s), iso8601(noon + 9s), 20}));
  record.posted(1, "hang-501-0-1", noon + 200s);  // a replacement keeps one entry, now the newest
  EXPECT_EQ(shown({501}), Json({newest(501, noon + 200s), iso8601(noon + 2s), 15}));
  record.clear();
  EXPECT_EQ(shown({501, 502}), Json());

  EXPECT_EQ(submissionJson({"memory-critical", noon, true, {}, {}}, {501}),
            Json::parse(R"({"kind":"memory","requestedAt":")" + iso8601(noon) + R"(","accepted":true})"));
  EXPECT_EQ(submissionJson({"hang-501-1-2", noon, false, "org.freedesktop.DBus.Error.ServiceUnknown", 4}, {501}),
            (Json{{"kind", "hang"}, {"requestedAt", iso8601(noon)}, {"accepted", false}, {"sourceUID", 501},
                  {"errorDomain", "org.freedesktop.DBus.Error.ServiceUnknown"}, {"errorCode", 4}}));
  EXPECT_FALSE(submissionJson({"hang-777-1-2", noon, true, {}, {}}, {501}).contains("sourceUID")) << "not watchable";
}

}  // namespace
}  // namespace hollin
