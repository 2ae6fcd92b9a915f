// The first-launch guide's cards for each state of what they offer, and when a start shows it.
#include <gtest/gtest.h>

#include "core/setup/SetupGuide.h"

namespace hollin {
namespace {

using Authorization = NotificationAuthorization;

TEST(SetupGuide, EachCardFollowsTheStateOfWhatItOffersAndOnlySharingAddsANote) {
  const std::string allow = "通知を許可…", settings = "デスクトップの設定を開く…";
  const std::string noService = "— オフ。通知を表示するサービスが見つかりません。デスクトップの設定の「通知」を確かめてください。";
  const std::tuple<const char*, SetupFacts, SetupGuideView> rows[] = {  // the cards in Japanese
      {"nothing looked at yet", {}, {{"— まだです", "— まだです", "— まだです（使わなくてもかまいません）"}, allow, false}},
      {"service present, entry and bus on", {Authorization::authorized, false, true, true, false},
       {{"✓ 許可済み", "✓ オン", "✓ 許可済み"}, allow, false}},
      {"no service answers", {Authorization::denied, false, false, false, false},
       {{noService, "— まだです", "— まだです（使わなくてもかまいません）"}, settings, true}},
      {"service refusing, no bus to switch on", {Authorization::authorized, true, false, false, true},
       {{"— 通知サービスが受け付けていません。デスクトップの設定の「通知」を確かめてください。", "— まだです",
         "— このデスクトップではオンにできません。at-spi2-core を入れてログインし直してから、もう一度押してください。"},
        settings, true}},
      // A refusal remembered from before the service went away reads as the missing service.
      {"refused, then gone", {Authorization::denied, true, false, true, true},
       {{noService, "— まだです", "✓ 許可済み"}, settings, true}},
  };
  for (const auto& [label, facts, view] : rows) EXPECT_EQ(setupGuideView(facts, "ja"), view) << label;
  // The widget test checks the English button; the lines are rendered in the language asked too.
  EXPECT_EQ(setupGuideView({Authorization::denied, false, true, false, false}, "en").statusLines[1], "✓ On");
  EXPECT_EQ(setupSharingNote(AccountScope(AccountScope::current)), std::nullopt);
  EXPECT_TRUE(setupSharingNote(AccountScope(AccountScope::m2Recording)));
}

TEST(SetupGuide, AStartShowsItByItselfOnceAndNeverAfterTheSetUpCommandOrWhenFinished) {
  MemorySettings settings;
  EXPECT_FALSE(showsGuideAtLaunch(settings, true)) << "the set-up command ran first";
  // Builds without the guide marked every start as opened; those users still see it once.
  settings.setBoolean(hasOpenedKey, true);
  EXPECT_TRUE(showsGuideAtLaunch(settings, false));
  markGuideShownAtLaunch(settings);
  EXPECT_FALSE(showsGuideAtLaunch(settings, false));
  MemorySettings finished;
  finished.setBoolean(setupGuideCompletedKey, true);
  EXPECT_FALSE(showsGuideAtLaunch(finished, false));
}

}  // namespace
}  // namespace hollin
