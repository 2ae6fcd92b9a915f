// The update check's rules and the feedback draft: versions, what counts as an answer, the
// panel, and every line of the draft in both languages.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "CoreFixtures.h"
#include "core/BuildProfile.h"
#include "core/L10n.h"
#include "core/support/FeedbackReport.h"
#include "core/support/UpdateCheck.h"

namespace hollin {
namespace {

using Outcome = UpdateCheck::FetchOutcome;
using Status = UpdateCheck::Status;
using FeedbackReport::Permission;

std::span<const char> bytes(const std::string& text) { return {text.data(), text.size()}; }

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> split;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) split.push_back(line);
  return split;
}

const std::regex japanese("\xE3[\x81-\x83]|\xE4|\xE5|\xE6|\xE7|\xE8|\xE9|\xEF\xBC");  // kana, kanji, full-width

TEST(UpdateCheck, VersionsCompareByNumberAndOnlyWellFormedOnesCount) {
  for (const char* good : {"1", "1.10", "1.2.3.4", "9999.9999.9999.9999", "0.0"})
    EXPECT_EQ(AppVersion::sanitized(good), good);
  for (const char* bad : {"", "1.2.3.4.5", "1..2", ".1", "1.", "v1.2", "1.2b", "12345", " 1.2", "1.２"})
    EXPECT_EQ(AppVersion::sanitized(bad), std::nullopt) << bad;
  const std::tuple<const char*, const char*, bool> newer[] = {{"1.10", "1.9", true}, {"1.2", "1.2.0", false},
      {"1.2.0", "1.2", false}, {"2", "1.9.9.9", true}, {"1.9.9.9", "2", false}, {"3", "1..2", false}};
  for (const auto& [a, b, isNewer] : newer) EXPECT_EQ(AppVersion::isNewer(a, b), isNewer) << a << " than " << b;
}

TEST(UpdateCheck, OnlyAJSONObjectWithAVersionIsAnAnswer) {
  const std::string answer = R"({"notes": "x", "version": "1.4.2"})";
  EXPECT_TRUE(UpdateCheck::looksLikeUpdateResponse(" Application/JSON; charset=utf-8", bytes(answer)));
  EXPECT_EQ(UpdateCheck::parse(bytes(answer)), "1.4.2");
  const std::string limit(UpdateCheck::bodyLimit - answer.size(), ' ');
  EXPECT_TRUE(UpdateCheck::looksLikeUpdateResponse("application/json", bytes(answer + limit))) << "65,536 bytes";
  EXPECT_FALSE(UpdateCheck::looksLikeUpdateResponse("application/json", bytes(answer + limit + " "))) << "one more";
  EXPECT_FALSE(UpdateCheck::looksLikeUpdateResponse("text/html", bytes(answer)));
  EXPECT_FALSE(UpdateCheck::looksLikeUpdateResponse(std::nullopt, bytes(answer)));
  for (const std::string body : {"", "[\"version\"]", "{\"versions\": \"1\"}", "{\"version\": \"1\"", "\"1.2\""}) {
    EXPECT_FALSE(UpdateCheck::looksLikeUpdateResponse("application/json", bytes(body))) << body;
    EXPECT_EQ(UpdateCheck::parse(bytes(body)), std::nullopt) << body;
  }
  // Shaped like an answer, but its version is not one.
  for (const std::string body : {R"({"version": 1.4})", R"({"version": "1.2.3.4.5"})", R"({"version": null})"}) {
    EXPECT_TRUE(UpdateCheck::looksLikeUpdateResponse("application/json", bytes(body))) << body;
    EXPECT_EQ(UpdateCheck::parse(bytes(body)), std::nullopt) << body;
  }
}

TEST(UpdateCheck, TheOutcomeDecidesTheStatusAndItsPanel) {
  const Status unreachable{Status::Kind::unknown, "", "", false}, noAnswer{Status::Kind::unknown, "", "", true};
  const std::tuple<Outcome, std::optional<std::string>, Status> rows[] = {
      {{Outcome::Kind::unreachable, ""}, "1.4", unreachable},
      {{Outcome::Kind::noAnswer, ""}, "1.4", noAnswer},
      {{Outcome::Kind::version, "1.5"}, "1.4", {Status::Kind::updateAvailable, "1.5", "1.4", true}},
      {{Outcome::Kind::version, "1.4.0"}, "1.4", {Status::Kind::upToDate, "", "1.4", true}},
      {{Outcome::Kind::version, "1.3"}, "1.4", {Status::Kind::upToDate, "", "1.4", true}},
      {{Outcome::Kind::version, "1.5"}, std::nullopt, noAnswer},
      {{Outcome::Kind::version, "1.5"}, "1.4-beta", noAnswer},
      {{Outcome::Kind::version, "x"}, "1.4", noAnswer},
  };
  for (const auto& [outcome, current, status] : rows) EXPECT_EQ(UpdateCheck::decide(outcome, current), status);

  const AlertView available = UpdateCheck::panel({Status::Kind::updateAvailable, "1.5", "1.4", true}, "ja");
  EXPECT_EQ(available.title, "新しいバージョンがあります（v1.5）");
  EXPECT_TRUE(available.text.starts_with("新しいバージョン v1.5 が出ています（お使いのものは v1.4 です）。\n\n「ダウンロードのページを開く」"));
  EXPECT_EQ(available.buttons, (std::vector<std::string>{"ダウンロードのページを開く", "あとで"}));
  EXPECT_EQ(UpdateCheck::panel(unreachable, "ja"),
            (AlertView{"確認できませんでした",
                       "いまは確かめられませんでした。インターネットに接続できているかご確認のうえ、もう一度お試しください。\n\n"
                       "確かめられなかっただけで、ホリンの測定は何も変わっていません（この確認は、新しいバージョンが出ているかを見にいくだけのものです）。",
                       {"閉じる"}}));
  EXPECT_TRUE(UpdateCheck::panelBody(noAnswer, "ja").starts_with("いまは確かめられませんでした（配布サイトからの答え"));
  EXPECT_EQ(UpdateCheck::panelTitle({Status::Kind::upToDate, "", "1.4", true}, "ja"), "お使いのバージョンが最新です");
  for (const Status& status : {unreachable, noAnswer, Status{Status::Kind::upToDate, "", "1.4", true}, Status{Status::Kind::updateAvailable, "2", "1", true}}) {
    const AlertView english = UpdateCheck::panel(status, "en");
    EXPECT_FALSE(std::regex_search(english.title + english.text + english.buttons.front(), japanese)) << english.title;
  }
}

TEST(UpdateCheck, TheAddressIsBuiltOnlyFromAHostName) {
  EXPECT_EQ(UpdateCheck::url("downloads.example.org"), "https://downloads.example.org/latest.json");
  EXPECT_EQ(UpdateCheck::url("127.0.0.1:8443"), "https://127.0.0.1:8443/latest.json");
  for (const char* bad : {"", "a/b", "user@host", "a b", "host:", "host:123456", "-host", "[::1]:8443", "host?x"})
    EXPECT_EQ(UpdateCheck::url(bad), std::nullopt) << bad;
}

FeedbackReport::Environment environment(std::string language, Permission permission, std::size_t crashes) {
  FeedbackReport::Environment env{"1.4", "57", "Debian GNU/Linux 12 (bookworm)", "ThinkPad X1", std::move(language),
                                  permission, permission, permission, {}};
  for (std::size_t i = 0; i < crashes; ++i)
    env.crashes.push_back({test::utc(2026, 11, 1 + static_cast<int>(i), 9, 30), "1.4", "57", "12 (bookworm)", 11,
                           std::nullopt, std::nullopt, {"0x1a2b", "0x3c"}, "3F1C0C5A", true});
  return env;
}

TEST(FeedbackReport, TheDraftReadsTheSameInBothLanguagesForEveryStateAndCrashCount) {
  EXPECT_EQ(FeedbackReport::body(environment("ja", Permission::allowed, 0), "UTC"),
            "（この上に、お困りのことやご要望をお書きください）\n・どんな操作をしたか:\n・どうなると思ったか:\n・実際にどうなったか:\n"
            "――― ここから下は動作環境です（消していただいてかまいません）―――\nホリン: 1.4（ビルド 57）\n"
            "OS: Debian GNU/Linux 12 (bookworm)\n機種: ThinkPad X1\n表示言語: 日本語\n通知: 許可済み\nログイン時の起動: 許可済み\n"
            "応答確認（アクセシビリティバス）: 許可済み\n落ちた記録: なし\n"
            "※ アプリの名前と一覧・測定した値・ユーザー名・コンピューター名・保存先の場所は含めていません。\n"
            "画面の画像を添えていただくときは、このメールに手で添付してください。");
  EXPECT_EQ(FeedbackReport::subject(environment("ja", Permission::off, 0)), "ホリン 1.4 のご意見・不具合");
  EXPECT_EQ(FeedbackReport::subject(environment("en", Permission::off, 0)), "Hollin 1.4 feedback");
  for (const std::string language : {"ja", "en"}) {
    for (const Permission permission : {Permission::allowed, Permission::denied, Permission::notSet,
                                        Permission::waitingApproval, Permission::off}) {
      const std::string state = L10n::render(FeedbackReport::permissionText(permission), language);
      for (std::size_t count = 0; count <= 3; ++count) {
        const auto env = environment(language, permission, count);
        const std::vector<std::string> body = lines(FeedbackReport::body(env, "UTC"));
        const auto crashLines = CrashLog::draftLines(env.crashes, language, "UTC");
        ASSERT_EQ(body.size(), 12 + crashLines.size() + 2) << language << " " << state << " " << count;
        for (std::size_t line = 9; line < 12; ++line) EXPECT_TRUE(body[line].ends_with(": " + state)) << body[line];
        EXPECT_EQ(std::vector(body.begin() + 12, body.end() - 2), crashLines);
        EXPECT_TRUE(language == "ja" || !std::regex_search(FeedbackReport::body(env, "UTC"), japanese));
      }
    }
  }
}

TEST(FeedbackReport, TheMailAddressEncodesEverythingButPlainASCII) {
  EXPECT_EQ(FeedbackReport::mailtoURL("a.b@example.org", "件名 & x", "1=2\n3+4%"),
            "mailto:a.b@example.org?subject=%E4%BB%B6%E5%90%8D%20%26%20x&body=1%3D2%0A3%2B4%25");
  EXPECT_EQ(FeedbackReport::mailtoURL("a@b", "x", "\xff"), std::nullopt) << "not UTF-8";
  EXPECT_EQ(FeedbackReport::mailtoURL("", "x", "y"), std::nullopt);
  const std::string prompt = FeedbackReport::prompt("ja");
  EXPECT_TRUE(prompt.starts_with("メールの下書きを開きます。送る前に全文を読んで、消したいところは消せます。ホリンが自分で送ることはありません。\n\n入るもの：アプリとOSのバージョン"));
  EXPECT_TRUE(prompt.ends_with("。\n\n下書きが開かないときは「内容をコピー」を押して、" + std::string(feedbackAddress) + " 宛にお送りください。"));
  EXPECT_FALSE(std::regex_search(FeedbackReport::prompt("en"), japanese));
}

TEST(FeedbackReport, TheComputerIsNamedByWhatItsFirmwareAndOSReleaseSay) {
  using Name = std::optional<std::string>;
  const std::tuple<Name, Name, std::string> models[] = {
      {"ThinkPad X1 Carbon\n", "LENOVO", "ThinkPad X1 Carbon"},
      {"To Be Filled By O.E.M.", "ASRock", "ASRock"},
      {"System Product Name", " Default string ", "?"},
      {std::nullopt, "Dell Inc.", "Dell Inc."},
      {std::nullopt, std::nullopt, "?"},
  };
  for (const auto& [product, vendor, model] : models) EXPECT_EQ(FeedbackReport::modelName(product, vendor), model);
  EXPECT_EQ(FeedbackReport::osVersion("NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(FeedbackReport::osVersion("NAME=Debian\n"), "Linux");
  EXPECT_EQ(FeedbackReport::osVersion(std::nullopt), "?");
}

}  // namespace
}  // namespace hollin
