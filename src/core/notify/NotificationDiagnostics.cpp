#include "core/notify/NotificationDiagnostics.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "core/health/HealthRecord.h"
#include "core/notify/NoticeContent.h"

namespace hollin {

namespace {

// Diagnostics keep the integer values the settings had on the desktop this program came from:
// 0 not supported, 1 disabled, 2 enabled; alert styles 0 none, 1 banner.
constexpr int settingNotSupported = 0, settingDisabled = 1, settingEnabled = 2;
constexpr int alertStyleNone = 0, alertStyleBanner = 1;
// More than the diagnostics show, so a closed newer notice lets an older one show again.
constexpr std::size_t hangRecordCapacity = 64;
constexpr std::size_t hangNoticesShown = 20;

// The value of a setting: none before the first look, disabled without a service.
int setting(const NotificationSettings& settings, bool enabled) {
  switch (settings.authorization) {
    case NotificationAuthorization::notDetermined: return settingNotSupported;
    case NotificationAuthorization::denied: return settingDisabled;
    case NotificationAuthorization::authorized: break;
  }
  return enabled ? settingEnabled : settingNotSupported;
}

}  // namespace

bool advertises(const NotificationSettings& settings, std::string_view capability) {
  if (!settings.service) return false;
  const auto& capabilities = settings.service->capabilities;
  return std::find(capabilities.begin(), capabilities.end(), capability) != capabilities.end();
}

NotificationSettings settingsFrom(std::optional<NotificationService> service) {
  const auto authorization =
      service ? NotificationAuthorization::authorized : NotificationAuthorization::denied;
  return {authorization, std::move(service)};
}

void HangNoticeRecord::posted(std::uint32_t serverId, const std::string& identifier,
                              WallTime deliveredAt) {
  const auto uid = hangSourceUID(identifier);
  if (!uid) return;
  closed(serverId);
  notices_.insert(notices_.begin(), Entry{serverId, *uid, deliveredAt});
  if (notices_.size() > hangRecordCapacity) notices_.resize(hangRecordCapacity);
}

void HangNoticeRecord::closed(std::uint32_t serverId) {
  std::erase_if(notices_, [serverId](const Entry& e) { return e.serverId == serverId; });
}

Json HangNoticeRecord::present(const std::set<std::uint32_t>& watchable) const {
  std::vector<Entry> shown;
  for (const Entry& entry : notices_)
    if (watchable.contains(entry.sourceUID)) shown.push_back(entry);
  // Newest first even when the wall clock went back between postings.
  std::stable_sort(shown.begin(), shown.end(),
                   [](const Entry& a, const Entry& b) { return a.deliveredAt > b.deliveredAt; });
  Json list = Json::array();
  for (std::size_t i = 0; i < shown.size() && i < hangNoticesShown; ++i)
    list.push_back({{"sourceUID", shown[i].sourceUID}, {"deliveredAt", iso8601(shown[i].deliveredAt)}});
  return list;
}

Json diagnosticsJson(WallTime settingsCheckedAt, const NotificationSettings& settings,
                     WallTime deliveredCheckedAt, Json hangNoticesPresent) {
  const bool authorized = settings.authorization == NotificationAuthorization::authorized;
  Json json = {
      {"settingsCheckedAt", iso8601(settingsCheckedAt)},
      {"authorizationStatus", static_cast<int>(settings.authorization)},
      {"alertSetting", setting(settings, true)},
      {"alertStyle", authorized ? alertStyleBanner : alertStyleNone},
      // A service that keeps what it showed in a list stands for the notification centre.
      {"notificationCenterSetting", setting(settings, advertises(settings, "persistence"))},
      {"deliveredCheckedAt", iso8601(deliveredCheckedAt)},
      {"hangNoticesPresentInNotificationCenter", std::move(hangNoticesPresent)},
  };
  if (settings.service) {
    const NotificationService& service = *settings.service;
    json["service"] = {{"name", service.name},
                       {"vendor", service.vendor},
                       {"version", service.version},
                       {"protocolVersion", service.protocolVersion},
                       {"capabilities", service.capabilities}};
  }
  return json;
}

Json submissionJson(const NotificationSubmission& submission,
                    const std::set<std::uint32_t>& watchable) {
  const NotificationKind kind = notificationKind(submission.identifier);
  Json json = {{"kind", kindName(kind)},
               {"requestedAt", iso8601(submission.requestedAt)},
               {"accepted", submission.accepted}};
  if (kind == NotificationKind::hang)
    if (const auto uid = hangSourceUID(submission.identifier); uid && watchable.contains(*uid))
      json["sourceUID"] = *uid;
  if (!submission.accepted) {
    json["errorDomain"] = submission.errorDomain.value_or("");
    json["errorCode"] = submission.errorCode.value_or(0);
  }
  return json;
}

bool refusedLastPosting(const Json& lastSubmission) {
  const auto accepted = lastSubmission.find("accepted");
  return accepted != lastSubmission.end() && accepted->is_boolean() && !accepted->get<bool>();
}

}  // namespace hollin
