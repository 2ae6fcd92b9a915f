#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"
#include "core/notify/NotificationRules.h"
#include "core/snapshot/Snapshot.h"

// The notification state as the self-health record reports it: what the last look at the
// notification service found, the hang notices still shown, and the last posting's answer.
namespace hollin {

// What the desktop's notification service said about itself.
struct NotificationService {
  std::string name, vendor, version, protocolVersion;
  std::vector<std::string> capabilities;
  bool operator==(const NotificationService&) const = default;
};

// The service's answer, or nothing when none answered, stands for the notification settings.
struct NotificationSettings {
  NotificationAuthorization authorization = NotificationAuthorization::notDetermined;
  std::optional<NotificationService> service;
  bool operator==(const NotificationSettings&) const = default;
};
NotificationSettings settingsFrom(std::optional<NotificationService> service);
// Whether the service answered and lists `capability` ("body-markup", "persistence", ...).
bool advertises(const NotificationSettings& settings, std::string_view capability);

// The hang notices we posted that the service has not reported closed, newest first. The
// service cannot list what it shows, so this record stands in for its list.
class HangNoticeRecord {
 public:
  // A posting the service accepted under `serverId`; a replacement keeps its id.
  void posted(std::uint32_t serverId, const std::string& identifier, WallTime deliveredAt);
  void closed(std::uint32_t serverId);
  // The service went away, and everything it showed with it.
  void clear() { notices_.clear(); }
  // At most 20 {"sourceUID", "deliveredAt"} maps, newest first, of the accounts in `watchable`.
  Json present(const std::set<std::uint32_t>& watchable) const;

 private:
  struct Entry {
    std::uint32_t serverId = 0;
    std::uint32_t sourceUID = 0;
    WallTime deliveredAt{};
  };
  std::vector<Entry> notices_;  // newest first
};

// "notificationDiagnostics".
Json diagnosticsJson(WallTime settingsCheckedAt, const NotificationSettings& settings,
                     WallTime deliveredCheckedAt, Json hangNoticesPresent);

// One posting's answer: accepted, or refused with the error's name and code.
struct NotificationSubmission {
  std::string identifier;
  WallTime requestedAt{};
  bool accepted = false;
  std::optional<std::string> errorDomain;
  std::optional<int> errorCode;
};
// "lastNotificationSubmission"; "sourceUID" only for hang notices of a watchable account.
Json submissionJson(const NotificationSubmission& submission,
                    const std::set<std::uint32_t>& watchable);
// Whether the service refused the posting `lastSubmission` describes: it is there, yet says no.
bool refusedLastPosting(const Json& lastSubmission);

}  // namespace hollin
