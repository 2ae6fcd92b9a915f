#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/PropertyList.h"

namespace hollin {

// One login session as the session manager (systemd-logind) reports it.
struct LoginSession {
  std::uint32_t uid = 0;
  std::string state;  // "opening", "online", "active" or "closing"
  bool operator==(const LoginSession&) const = default;
};

// The value LoginSessions::parse reads: {"SessionInfo": [{"kCGSSessionUserIDKey": uid,
// "kCGSessionLoginDoneKey": done}, ...]}, one entry per session in order. A login is done
// while the session is online or active; opening and closing sessions are not done.
PlistValue sessionInfoValue(const std::vector<LoginSession>& sessions);

// The live sessions from sd-login as that value, or nothing when logind is not running
// (then nobody can tell who is logged in, which is not the same as nobody being logged in).
std::optional<PlistValue> readLoginSessions();

}  // namespace hollin
