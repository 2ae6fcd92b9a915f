#include "core/scope/LoginState.h"

#include <array>

namespace hollin {

namespace {

const std::array<LocalizedMessage, 4>& stateMessages() {
  static const std::array<LocalizedMessage, 4> messages = {
      msg("使用中"), msg("ログイン中・背後"), msg("未ログイン"), msg("確認できません")};
  return messages;
}

}  // namespace

LoginState LoginState::resolve(std::uint32_t uid, std::uint32_t consoleUID,
                               const std::optional<std::set<std::uint32_t>>& loggedIn,
                               bool freshReport, bool stale) {
  if (stale) return unknown;
  if (uid == consoleUID) return active;
  if (!loggedIn) return unknown;
  if (loggedIn->contains(uid)) return background;
  if (freshReport) return unknown;
  return loggedOut;
}

const LocalizedMessage& LoginState::message() const { return stateMessages()[value_]; }

std::optional<LoginState> LoginState::fromRawValue(std::string_view raw) {
  for (Case value : {active, background, loggedOut, unknown})
    if (LoginState(value).rawValue() == raw) return LoginState(value);
  return std::nullopt;
}

}  // namespace hollin
