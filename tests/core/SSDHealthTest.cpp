// The SSD's health from its own log: the record of a reading, its issues, the history archive
// with its events, receipts and repeat rules, the notice and the history window's text. The
// cards are read in ScreenTest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/L10n.h"
#include "core/ssd/SSDView.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const WallTime start = WallTime{} + std::chrono::hours(24 * 20000);

// A healthy drive (100 % spare, warning below 10 %, 3 % worn, no errors, 40 °C), then `change`.
SSDHealth healthy(const std::function<void(SSDHealth&)>& change = {}) {
  SSDHealth health{0, 100, 10, 3, {}, {12, 0}, {5'000'000, 0}, {800, 0}, 40.0};
  if (change) change(health);
  return health;
}

std::vector<std::string> kinds(const std::vector<SSDHealthIssue>& issues) {
  std::vector<std::string> found;
  for (const auto& issue : issues) found.push_back(issue.kind + "/" + issue.signature);
  return found;
}

std::string lastEvent(const SSDHealthArchive& archive) { return archive.events.back().localizedText("ja"); }

using testing::HasSubstr;

TEST(SSDHealthReading, TheNativeRecordBecomesTheHealthRecord) {
  HLSSDReading reading{};
  reading.warning = 0x21;
  reading.spare = 7;
  reading.media_errors[8] = 1;  // high half 1, low half 0
  for (int i = 0; i < 8; ++i) reading.written[i] = static_cast<std::uint8_t>(8 - i);
  reading.celsius = -273.15;  // a composite of 0 K
  EXPECT_EQ(SSDHealth::fromReading(reading), (SSDHealth{0x21, 7, 0, 0, {0, 1}, {}, {0x0102030405060708u, 0}, {}, {}}))
      << "the high half read as such; an implausible temperature is dropped, not clamped";
  EXPECT_EQ((SSDCounter{~0ull, ~0ull}).text(), "340282366920938463463374607431768211455");
  EXPECT_LT((SSDCounter{~0ull, 0}), (SSDCounter{0, 1})) << "the high half orders first";
  reading.celsius = 41.85, reading.celsius_valid = 1;
  EXPECT_EQ(SSDHealth::fromReading(reading).celsius, 41.85);
  EXPECT_FALSE(healthy([](SSDHealth& h) { h.celsius = 121; }).valid());
  EXPECT_TRUE(healthy([](SSDHealth& h) { h.celsius = -20; }).valid());
}

TEST(SSDHealthIssues, EachKindOnceInOrderWithTheSignatureThatMakesARepeatDue) {
  const SSDHealth bad = healthy([](SSDHealth& h) {
    h.warning = 0x21, h.spare = 5, h.mediaErrors = {0, 1}, h.wear = 255;
  });
  const auto issues = bad.issues("ja");
  EXPECT_EQ(kinds(issues), (std::vector<std::string>{"critical/33", "spare/low", "media/1:0", "wear/100"}));
  EXPECT_TRUE(issues[0].urgent && issues[1].urgent && issues[2].urgent && !issues[3].urgent) << "wear is a caution";
  EXPECT_THAT(issues[0].message, HasSubstr("予備領域の不足・追加の機器警告"));
  EXPECT_THAT(issues[2].message, HasSubstr("18446744073709551616"));
  EXPECT_THAT(issues[3].message, HasSubstr("255%")) << "the message shows the drive's own figure";
  for (const auto& [wear, step] : {std::pair{79, "none"}, {80, "80"}, {89, "80"}, {90, "90"}, {100, "100"}}) {
    const auto found = healthy([&](SSDHealth& h) { h.wear = static_cast<std::uint8_t>(wear); }).issues("ja");
    EXPECT_EQ(found.empty() ? std::string("none") : found[0].signature, step) << wear;
  }
  EXPECT_EQ(criticalWarningNames(0xE0, "ja"), std::vector<std::string>{"追加の機器警告"}) << "one name for the high bits";

  // A figure that only grows on one drive went down: another drive, or a reset log.
  const SSDHealth before = healthy();
  EXPECT_TRUE(healthy([](SSDHealth& h) { h.written = {4'999'999, 0}, h.powerHours = {900, 0}; }).countersReset(before));
  EXPECT_TRUE(healthy([](SSDHealth& h) { h.wear = 2; }).countersReset(before));
  EXPECT_FALSE(healthy([](SSDHealth& h) { h.spare = 50; }).countersReset(before)) << "spare may fall and rise";
}

TEST(SSDHealthHistory, ReadingsBecomeEventsOnlyWhenSomethingChanged) {
  SSDHealthArchive archive;
  EXPECT_TRUE(archive.observe(healthy(), start));
  EXPECT_EQ(lastEvent(archive), "SSD健康情報の記録を開始。累積値は開始前の分を含みます");
  EXPECT_FALSE(archive.observe(healthy([](SSDHealth& h) { h.celsius = 45; }), start + 10min))
      << "temperature and growing totals are no change worth saving";
  EXPECT_EQ(archive.latest->at, start + 10min) << "the latest reading is kept all the same";
  EXPECT_TRUE(archive.observe(healthy([](SSDHealth& h) { h.spare = 101; }), start + 20min))
      << "an invalid reading counts as a failed one";
  EXPECT_EQ(lastEvent(archive), "SSD健康情報を取得できません（故障の判定ではありません）");
  EXPECT_FALSE(archive.observe(std::nullopt, start + 30min)) << "a second failure tells nothing new";
  EXPECT_TRUE(archive.observe(healthy(), start + 40min));
  EXPECT_EQ(lastEvent(archive), "SSD健康情報の取得が回復");

  const SSDHealth changed = healthy([](SSDHealth& h) {
    h.warning = 2, h.wear = 4, h.mediaErrors = {3, 0}, h.spareThreshold = 5;
  });
  EXPECT_TRUE(archive.observe(changed, start + 50min));
  EXPECT_EQ(lastEvent(archive), "重大警告 0 → 2。消耗度 3% → 4%。データエラー累積 0 → 3件。予備領域の警告水準が変更");
  EXPECT_EQ(archive.history.size(), 1u) << "history points are hourly";
  EXPECT_TRUE(archive.observe(changed, start + 60min));
  EXPECT_EQ(archive.history.size(), 2u);
}

TEST(SSDHealthHistory, ADriveSwapRestartsTheComparisonAndForgetsTheNotices) {
  SSDHealthArchive archive;
  const SSDHealth worn = healthy([](SSDHealth& h) { h.wear = 85; });
  archive.observe(worn, start);
  archive.accepted(worn.issues("ja"), start);
  EXPECT_FALSE(archive.eligible(worn.issues("ja")[0], start + 1h));
  const SSDHealth replacement = healthy([](SSDHealth& h) { h.wear = 85, h.written = {4'999'999, 0}; });
  archive.observe(replacement, start + 2h);
  EXPECT_EQ(archive.events.back().messages->front().key,
            "累積値の減少を検出。交換・リセットの可能性があるため比較の基準を更新");
  EXPECT_TRUE(archive.eligible(replacement.issues("ja")[0], start + 2h)) << "the old receipt is forgotten: the same wear step is told at once";
  archive.accepted(replacement.issues("ja"), start + 2h);
  archive.observe(healthy(), start + 3h);
  EXPECT_TRUE(archive.receipts.empty()) << "the receipt of an issue that went away goes with it";
}

TEST(SSDHealthHistory, RepeatNoticesWaitAsLongAsTheirKindAsks) {
  const auto issue = [](std::string kind, std::string signature) { return SSDHealthIssue{kind, signature, true, {}}; };
  SSDHealthArchive archive;
  archive.accepted({issue("media", "0:3"), issue("wear", "80"), issue("spare", "low"), issue("critical", "1")}, start);
  using Case = std::tuple<SSDHealthIssue, std::chrono::seconds, bool>;  // asked after, eligible
  for (const auto& [asked, after, eligible] : std::vector<Case>{
           {issue("media", "0:4"), 59min, false}, {issue("media", "0:4"), 60min, true},  // a new count: an hour
           {issue("media", "0:3"), 23h, false}, {issue("media", "0:3"), 24h, true},
           {issue("wear", "80"), 24h * 7 - 1s, false}, {issue("wear", "80"), 24h * 7, true},
           {issue("wear", "90"), 1s, true},  // a new wear step at once
           {issue("spare", "low"), 23h, false}, {issue("spare", "low"), 24h, true},
           {issue("critical", "3"), 1s, true},
           {issue("spare", "low"), -24h, true},  // a clock set back cannot say how long ago
       })
    EXPECT_EQ(archive.eligible(asked, start + after), eligible) << asked.kind << asked.signature << " " << after.count();
}

TEST(SSDHealthHistory, AClockSetBackKeepsTheHistoryInOrderAndWithinItsLimits) {
  SSDHealthArchive archive;
  for (int hour = 0; hour < 5; ++hour) archive.observe(healthy(), start + std::chrono::hours(hour));
  EXPECT_TRUE(archive.observe(healthy(), start + 2h + 30min)) << "a point at once";
  EXPECT_EQ(archive.history, (std::vector<SSDHealthPoint>{{start, healthy()}, {start + 1h, healthy()}, {start + 2h, healthy()},
                                                          {start + 2h + 30min, healthy()}}))
      << "the points of the clock that ran ahead are gone";

  for (int hour = 1; hour <= 30 * 24 + 5; ++hour)
    archive.observe(healthy(), start + std::chrono::hours(hour) + 2h + 30min);
  EXPECT_LE(archive.history.size(), SSDHealthArchive::maxHistory);
  EXPECT_GE(archive.history.front().at, archive.history.back().at - 30 * 24h) << "nothing older than 30 days";
  for (int i = 0; i < 130; ++i)
    archive.observe(i % 2 ? std::nullopt : std::optional(healthy()), start + 800h + std::chrono::minutes(i));
  EXPECT_EQ(archive.events.size(), 100u) << "the newest hundred events";
  EXPECT_EQ(archive.events.back().at, start + 800h + 129min);
}

TEST(SSDHealthHistory, OlderEventsWithoutMessagesAreTranslatedSentenceBySentence) {
  EXPECT_EQ((SSDHealthEvent{start, "予備領域 100% → 90%。予備領域の警告水準が変更", std::nullopt}).localizedText("en"),
            "Spare 100% → 90%, The spare warning level changed");
  EXPECT_EQ(SSDHealthEvent::translateLegacy("消耗度 3% → 4%。謎の文。予備領域の警告水準が変更", "en"),
            "Wear 3% → 4%, 謎の文。予備領域の警告水準が変更")
      << "from the first unknown sentence on, the text stays as it was";
  EXPECT_EQ(SSDHealthEvent::translateLegacy("累積値の減少を検出。交換・リセットの可能性があるため比較の基準を更新。SSD健康情報の取得が回復", "en"),
            "Lifetime counters went down (the drive may have been replaced or reset); comparisons start again from here, SSD health can be read again")
      << "a sentence with a full stop of its own is matched whole";
}

TEST(SSDHealthHistory, TheFileFormatRoundTripsAndRefusesWhatItCannotTrust) {
  SSDHealthArchive archive;
  const SSDHealth errors = healthy([](SSDHealth& h) { h.mediaErrors = {7, 1}; });
  archive.observe(errors, start);
  archive.observe(std::nullopt, start + 2h);
  archive.accepted(errors.issues("ja"), start + 2h);
  archive.events.push_back({start, "古い出来事", std::nullopt});
  const Json json = toJson(archive);
  EXPECT_EQ(json["history"][0]["at"].get<double>(), referenceSeconds(start));
  EXPECT_FALSE(json["history"][1].contains("health")) << "a failed reading has no health key";
  EXPECT_FALSE(json["events"].back().contains("messages"));
  const auto back = archiveFromJson(Json::parse(json.dump()));
  ASSERT_TRUE(back);
  EXPECT_EQ(toJson(*back), json);

  const auto changed = [&](const std::function<void(Json&)>& change) { Json copy = json; change(copy); return archiveFromJson(copy); };
  EXPECT_FALSE(changed([](Json& j) { j["receipts"]["temperature"] = {{"at", 0}, {"signature", "x"}}; })->valid())
      << "a receipt of a kind this program never writes";
  EXPECT_FALSE(changed([](Json& j) { j["history"][0]["health"]["mediaErrors"].erase("high"); }));
  EXPECT_FALSE(changed([](Json& j) { j["history"][0]["at"] = 1e300; })) << "not a date";
  EXPECT_FALSE(changed([](Json& j) { j["schema"] = 2; })->valid());
  EXPECT_FALSE(changed([](Json& j) { j["history"][0]["health"]["spare"] = 101; })->valid());
}

TEST(SSDHealthView, TheNoticeTakesTheDueIssuesAndMutingHoldsOnlyTheCautions) {
  const SSDHealth worn = healthy([](SSDHealth& h) { h.wear = 92, h.mediaErrors = {2, 0}; });
  SSDHealthArchive archive;
  const auto notice = dueSSDNotice(worn, archive, start, false, "ja");
  ASSERT_TRUE(notice);
  EXPECT_EQ(kinds(notice->issues), (std::vector<std::string>{"media/0:2", "wear/90"}));
  EXPECT_TRUE(notice->urgent);
  EXPECT_EQ(notice->body, worn.issues("ja")[0].message + "\n" + worn.issues("ja")[1].message);
  EXPECT_EQ(kinds(dueSSDNotice(worn, archive, start, true, "ja")->issues), std::vector<std::string>{"media/0:2"})
      << "urgent issues pass a mute";
  archive.accepted(worn.issues("ja"), start);
  EXPECT_FALSE(dueSSDNotice(worn, archive, start + 1h, false, "ja")) << "both told already";
  EXPECT_FALSE(dueSSDNotice(healthy(), SSDHealthArchive{}, start, false, "ja"));
}

TEST(SSDHealthView, TheHistoryWindowListsTheLatestReadingTheChangesAndTheHours) {
  SSDHealthArchive archive;
  for (int hour = 0; hour < 30; ++hour) archive.observe(healthy(), start + std::chrono::hours(hour));
  archive.observe(healthy([](SSDHealth& h) { h.warning = 1; }), start + 30h);
  const auto ja = ssdHistoryText(archive, true, "ja", "UTC");
  EXPECT_THAT(ja.text, HasSubstr("重大警告：1 (予備領域の不足)"));
  EXPECT_THAT(ja.text, HasSubstr("書き込み累積：5000000単位（1単位＝512,000バイト）"));
  const auto changes = ja.text.find("状態の変化（新しい順）");
  const auto newest = ja.text.find("重大警告 0 → 1");
  EXPECT_TRUE(changes < newest && newest < ja.text.find("SSD健康情報の記録を開始")) << "newest change first";
  const auto hours = ja.text.substr(ja.text.find("1時間ごとの記録（直近24件）"));
  EXPECT_EQ(std::count(hours.begin(), hours.end(), '\n'), 24) << "the newest 24 points";

  EXPECT_THAT(ssdHistoryText(SSDHealthArchive{}, false, "en", "UTC").text,
              HasSubstr("The history can’t be saved or read. Monitoring goes on."));
}

}  // namespace
}  // namespace hollin
