#include "core/setup/SetupGuide.h"

#include "core/L10n.h"

namespace hollin {
namespace {

struct CardStatus {
  bool ok;
  LocalizedMessage text;
};

CardStatus notificationStatus(const SetupFacts& facts) {
  switch (facts.notifications) {
    case NotificationAuthorization::authorized:
      if (facts.notificationsRefused) return {false, msg("通知サービスが受け付けていません。デスクトップの設定の「通知」を確かめてください。")};
      return {true, msg("許可済み")};
    case NotificationAuthorization::denied: return {false, msg("オフ。システム設定の「通知」で変えられます。")};
    case NotificationAuthorization::notDetermined: break;
  }
  return {false, msg("まだです")};
}

CardStatus responseStatus(const SetupFacts& facts) {
  if (facts.accessibilityOn) return {true, msg("許可済み")};
  if (facts.accessibilityUnavailable)
    return {false, msg("このデスクトップではオンにできません。at-spi2-core を入れてログインし直してから、もう一度押してください。")};
  return {false, msg("まだです（使わなくてもかまいません）")};
}

}  // namespace

SetupGuideView setupGuideView(const SetupFacts& facts, std::string_view language) {
  const CardStatus statuses[] = {
      notificationStatus(facts),
      facts.loginEnabled ? CardStatus{true, msg("オン")} : CardStatus{false, msg("まだです")},
      responseStatus(facts),
  };
  SetupGuideView view;
  for (std::size_t i = 0; i < view.statusLines.size(); ++i)
    view.statusLines[i] = (statuses[i].ok ? "✓ " : "— ") + L10n::render(statuses[i].text, language);
  // Asking again cannot help a missing or refusing service: the button opens the settings.
  view.notificationsBlocked = !statuses[0].ok && facts.notifications != NotificationAuthorization::notDetermined;
  view.notificationButton =
      L10n::render(view.notificationsBlocked ? msg("システム設定を開く…") : msg("通知を許可…"), language);
  return view;
}

std::optional<LocalizedMessage> setupSharingNote(const AccountScope& scope) {
  if (!scope.supportsSharing()) return std::nullopt;
  return msg("別のアカウントも見張るには、そのアカウントでもホリンを開き、分析画面の「監視の設定」で共有をオンにしてください。");
}

bool showsGuideAtLaunch(const Settings& settings, bool configuring) {
  return !configuring && !settings.boolean(setupGuideOfferedKey).value_or(false) &&
         !settings.boolean(setupGuideCompletedKey).value_or(false);
}

void markGuideShownAtLaunch(Settings& settings) {
  settings.setBoolean(hasOpenedKey, true);
  settings.setBoolean(setupGuideOfferedKey, true);
}

}  // namespace hollin
