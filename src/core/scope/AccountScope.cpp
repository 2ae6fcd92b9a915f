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

namespace {

AccountScope& processScope() {
  static AccountScope scope = AccountScope::fromProfile(buildProfile.accountProfile);
  return scope;
}

}  // namespace

AccountScope AccountScope::process() { return processScope(); }

void AccountScope::setProcess(AccountScope scope) { processScope() = scope; }

std::string_view AccountScope::rawValue() const {
  return value_ == m2Recording ? m2RecordingRaw : std::string_view("current");
}

std::set<std::uint32_t> AccountScope::allowedUIDs(std::uint32_t currentUID) const {
  if (value_ == m2Recording) return {sharingUIDs.begin(), sharingUIDs.end()};
  return {currentUID};
}

LocalizedMessage AccountScope::label(std::uint32_t uid, std::uint32_t currentUID,
                                     AccountRange accounts) const {
  if (value_ == m2Recording) {
    if (uid == sharingUIDs[2]) return msg("英語撮影用（UID 503）");
    if (uid == sharingUIDs[1]) return msg("日本語撮影用（UID 502）");
    if (uid == sharingUIDs[0]) return msg("通常用（UID 501）");
  }
  if (uid == currentUID) return msg("このアカウント（UID {0}）", uid);
  if (accounts.contains(uid)) return msg("アカウント UID {0}", uid);
  return msg("システム（UID {0}）", uid);
}

bool sharingEnabled(AccountScope scope, const Settings& settings) {
  return scope.supportsSharing() && settings.boolean(shareResponseStatusKey).value_or(false);
}

}  // namespace hollin
