#include "core/scope/AccountScope.h"

#include "core/BuildProfile.h"

namespace hollin {

namespace {

constexpr std::string_view m2RecordingRaw = "m2-recording";

}  // namespace

AccountScope AccountScope::fromProfile(std::optional<std::string_view> profile) {
  return profile == m2RecordingRaw ? m2Recording : current;
}

std::optional<AccountScope> AccountScope::fromRawValue(std::string_view raw) {
  if (raw == "current") return AccountScope(current);
  if (raw == m2RecordingRaw) return AccountScope(m2Recording);
  return std::nullopt;
}

AccountScope AccountScope::process() {
  static const AccountScope scope = fromProfile(buildProfile.accountProfile);
  return scope;
}

std::string_view AccountScope::rawValue() const {
  return value_ == m2Recording ? m2RecordingRaw : std::string_view("current");
}

std::set<std::uint32_t> AccountScope::allowedUIDs(std::uint32_t currentUID) const {
  if (value_ == m2Recording) return {501, 502, 503};
  return {currentUID};
}

LocalizedMessage AccountScope::label(std::uint32_t uid, std::uint32_t currentUID,
                                     AccountRange accounts) const {
  if (value_ == m2Recording) {
    if (uid == 503) return msg("英語撮影用（UID 503）");
    if (uid == 502) return msg("日本語撮影用（UID 502）");
    if (uid == 501) return msg("通常用（UID 501）");
  }
  if (uid == currentUID) return msg("このアカウント（UID {0}）", uid);
  if (accounts.contains(uid)) return msg("アカウント UID {0}", uid);
  return msg("システム（UID {0}）", uid);
}

bool sharingEnabled(AccountScope scope, const Settings& settings) {
  return scope.supportsSharing() && settings.boolean(shareResponseStatusKey).value_or(false);
}

}  // namespace hollin
