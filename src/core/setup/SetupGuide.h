// The first-launch guide: what its three cards say about the desktop's notification service,
// the autostart entry and the accessibility bus, and when a start shows it by itself.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/LocalizedMessage.h"
#include "core/notify/NotificationRules.h"
#include "core/scope/AccountScope.h"
#include "core/scope/Settings.h"

namespace hollin {

inline constexpr std::string_view hasOpenedKey = "hasOpened";
inline constexpr std::string_view setupGuideCompletedKey = "setupGuideCompleted";
// Set once a start has shown the guide by itself. Builds before the guide set "hasOpened"
// without showing anything, so "hasOpened" alone cannot tell whether a user has seen it.
inline constexpr std::string_view setupGuideOfferedKey = "setupGuideOffered";

// What the guide's buttons ask for, in the order of the window.
enum class SetupAction { notifications, login, response, analysis, help };

// The state of the three things the cards offer.
struct SetupFacts {
  NotificationAuthorization notifications = NotificationAuthorization::notDetermined;
  bool notificationsRefused = false;   // the service answered the last posting with an error
  bool loginEnabled = false;           // the autostart entry is ours and switched on
  bool accessibilityOn = false;        // the accessibility bus is enabled for the session
  bool accessibilityUnavailable = false;  // the session has no accessibility bus to switch on
  bool operator==(const SetupFacts&) const = default;
};

// The cards' status lines ("✓ " or "— " and the text) and the first card's button title, in
// the language given.
struct SetupGuideView {
  std::array<std::string, 3> statusLines;
  std::string notificationButton;
  bool notificationsBlocked = false;  // the first card's button opens the desktop's settings
  bool operator==(const SetupGuideView&) const = default;
};

SetupGuideView setupGuideView(const SetupFacts& facts, std::string_view language);

// The line for accounts that share with each other, shown only where sharing is offered.
std::optional<LocalizedMessage> setupSharingNote(const AccountScope& scope);

// Whether this start shows the guide by itself: a start of the ordinary role on a desktop, not
// one the set-up command continues into, while the guide has never been shown that way.
bool showsGuideAtLaunch(const Settings& settings, bool configuring);
// Records that this start showed the guide ("hasOpened" included).
void markGuideShownAtLaunch(Settings& settings);

}  // namespace hollin
