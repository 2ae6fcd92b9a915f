#include "core/notify/NotificationRules.h"

namespace hollin {

PostingDecision decidePosting(const PostingContext& context) {
  if (context.consoleUID != context.currentUID) return PostingDecision::otherConsoleUser;
  if (!context.notificationsAllowed) return PostingDecision::notAllowed;
  if (!context.urgent && isMuted(context.mutedUntil, context.now)) return PostingDecision::muted;
  return PostingDecision::post;
}

std::optional<std::string_view> withholding(std::uint32_t consoleUID, std::uint32_t currentUID,
                                            NotificationAuthorization authorization) {
  if (consoleUID != currentUID) return "notAtConsole";
  if (authorization == NotificationAuthorization::denied) return "noNotificationService";
  return std::nullopt;
}

NotificationKind notificationKind(std::string_view identifier) {
  if (identifier.starts_with("ssd-")) return NotificationKind::ssd;
  if (identifier.starts_with("hang-")) return NotificationKind::hang;
  if (identifier.starts_with("early-")) return NotificationKind::early;
  return NotificationKind::memory;
}

std::string_view kindName(NotificationKind kind) {
  switch (kind) {
    case NotificationKind::hang: return "hang";
    case NotificationKind::ssd: return "ssd";
    case NotificationKind::early: return "early";
    case NotificationKind::memory: break;
  }
  return "memory";
}

bool carriesNoticeCategory(std::string_view identifier) {
  return identifier.starts_with("memory-") || identifier.starts_with("hang-");
}

WallTime muteEnd(WallTime now, int seconds) { return now + std::chrono::seconds(seconds); }

bool isMuted(WallTime mutedUntil, WallTime now) { return now < mutedUntil; }

}  // namespace hollin
