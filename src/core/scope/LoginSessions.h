#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>

#include "core/OrdinaryAccounts.h"
#include "core/PropertyList.h"
#include "native/NativeMetrics.h"

namespace hollin {

// Reads the login-session list: {"SessionInfo": [{"kCGSSessionUserIDKey": uid,
// "kCGSessionLoginDoneKey": bool}, ...]}. Any deviation from that shape gives nothing
// (unknown), never a partial set.
struct LoginSessions {
  static constexpr std::size_t maximumSessions = 256;

  // The uids whose login is done. Nothing when `value` is absent or malformed, or when the
  // console owner is not an ordinary account with a finished login among them (the login
  // window, or a console that could not be read).
  static std::optional<std::set<std::uint32_t>> parse(const PlistValue* value,
                                                      std::uint32_t consoleUID,
                                                      AccountRange accounts = ordinaryAccounts());

  // The value `parse` reads, built from the session manager's list, one entry per session in
  // order; nothing when there is no list (no session manager).
  static std::optional<PlistValue> value(const HLLoginSession* sessions, std::int32_t count);
};

}  // namespace hollin
