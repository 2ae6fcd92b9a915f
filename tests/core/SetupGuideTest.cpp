// The first-launch guide's cards for each state of what they offer, and when a start shows it.
#include <gtest/gtest.h>

#include "core/setup/SetupGuide.h"

namespace hollin {
namespace {

using Authorization = NotificationAuthorization;

TEST(SetupGuide, EachCardFollowsTheStateOfWhatItOffers) {
  struct Row {
    const char* label;
    SetupFacts facts;
    std::array<std::string, 3> lines;
    std::string button;
  };
  const Row rows[] = {
      {"nothing looked at yet", {}, {"— まだです", "— まだです", "— まだです（使わなくてもかまいません）"}, "通知を許可…"},
      {"service present, entry and bus on",
       {Authorization::authorized, false, true, true, false},
       {"✓ 許可済み", "✓ オン", "✓ 許可済み"},
       "通知を許可…"},
      {"no service answers",
       {Authorization::denied, false, false, false, false},
       {"— オフ。通知を表示するサービスが見つかりません。デスクトップの設定の「通知」を確かめてください。", "— まだです",
        "— まだです（使わなくてもかまいません）"},
       "デスクトップの設定を開く…"},
      {"service refusing, no bus to switch on",
       {Authorization::authorized, true, false, false, true},
       {"— 通知サービスが受け付けていません。デスクトップの設定の「通知」を確かめてください。", "— まだです",
        "— このデスクトップではオンにできません。at-spi2-core を入れてログインし直してから、もう一度押してください。"},
       "デスクトップの設定を開く…"},
      // A refusal remembered from before the service went away reads as the missing service.
      {"refused, then gone", {Authorization::denied, true, false, true, true},
       {"— オフ。通知を表示するサービスが見つかりません。デスクトップの設定の「通知」を確かめてください。", "— まだです", "✓ 許可済み"},
       "デスクトップの設定を開く…"},
  };
  for (const Row& row : rows) {
    const SetupGuideView view = setupGuideView(row.facts, "ja");
    EXPECT_EQ(view.statusLines, row.lines) << row.label;
    EXPECT_EQ(view.notificationButton, row.button) << row.label;
    EXPECT_EQ(view.notificationsBlocked, row.button != "通知を許可…") << row.label;
  }
  const SetupGuideView english = setupGuideView({Authorization::denied, false, true, false, false}, "en");
  EXPECT_EQ(english.statusLines[1], "✓ On");
  EXPECT_EQ(english.notificationButton, "Open Desktop Settings…");
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
  EXPECT_EQ(setupSharingNote(AccountScope(AccountScope::current)), std::nullopt);
  EXPECT_TRUE(setupSharingNote(AccountScope(AccountScope::m2Recording)));
}

}  // namespace
}  // namespace hollin
