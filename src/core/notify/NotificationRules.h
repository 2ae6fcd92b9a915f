#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/snapshot/Snapshot.h"

// Who may post a notification, and what a request's identifier says about it. Plain values in,
// plain values out: the desktop's notification service is the application's business.
namespace hollin {

// Whether notifications can be shown. On Linux there is no per-application permission: a
// notification service answering on the session bus stands for "authorized", a bus on which
// none answers for "denied". Raw values are the stored form in the diagnostics.
enum class NotificationAuthorization { notDetermined = 0, denied = 1, authorized = 2 };

// Why notify() did or did not send a request.
enum class PostingDecision { post, otherConsoleUser, notAllowed, muted };

struct PostingContext {
  std::uint32_t consoleUID = 4294967295u;  // the account at the console, or "nobody"
  std::uint32_t currentUID = 0;            // this process's account
  bool notificationsAllowed = false;
  WallTime mutedUntil = distantPast;
  WallTime now{};
  bool urgent = false;
};

// Only the account at the console posts, only with permission, and not while muted unless the
// request is urgent.
PostingDecision decidePosting(const PostingContext& context);

// Why no notice can reach the user now, or nothing while one could: "notAtConsole" (another
// account, or nobody that can be named, is at the console) or "noNotificationService" (none
// answers on the session bus). A mute is the user's own choice and not counted; neither is the
// moment before the service was first asked.
std::optional<std::string_view> withholding(std::uint32_t consoleUID, std::uint32_t currentUID,
                                            NotificationAuthorization authorization);

// The notice kinds by identifier prefix, for "lastNotificationSubmission".
enum class NotificationKind { memory, hang, ssd, early };
NotificationKind notificationKind(std::string_view identifier);
std::string_view kindName(NotificationKind kind);  // "memory", "hang", "ssd", "early"

// Requests whose identifier begins with "memory-" or "hang-" carry the "memory-notice" category
// with its two actions; the others carry none.
bool carriesNoticeCategory(std::string_view identifier);

inline constexpr std::string_view noticeCategory = "memory-notice";
inline constexpr std::string_view openMonitorAction = "open-activity-monitor";
inline constexpr std::string_view muteAction = "mute-ten-minutes";
// What the desktop's notification service calls a click on the notification itself.
inline constexpr std::string_view clickAction = "default";
inline constexpr int muteActionSeconds = 600;

// The end of a mute chosen now for `seconds`. Muting is a point in time: it ends by itself.
WallTime muteEnd(WallTime now, int seconds);
bool isMuted(WallTime mutedUntil, WallTime now);

}  // namespace hollin
