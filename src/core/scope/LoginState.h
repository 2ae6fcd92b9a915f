#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>

#include "core/LocalizedMessage.h"

namespace hollin {

// How an account listed in the status menu is using the machine.
class LoginState {
 public:
  enum Case {
    active,      // owns the console
    background,  // has a finished login session but is not in front
    loggedOut,   // no login session
    unknown,     // cannot be told
  };

  constexpr LoginState(Case value = unknown) : value_(value) {}

  // First matching rule: stale → unknown; the console owner → active; no session list →
  // unknown; a session → background; still publishing fresh reports → unknown; else loggedOut.
  static LoginState resolve(std::uint32_t uid, std::uint32_t consoleUID,
                            const std::optional<std::set<std::uint32_t>>& loggedIn,
                            bool freshReport, bool stale);

  Case value() const { return value_; }
  // The stored form, which is also the Japanese display text.
  std::string_view rawValue() const { return message().key; }
  static std::optional<LoginState> fromRawValue(std::string_view raw);
  const LocalizedMessage& message() const;

  bool operator==(const LoginState&) const = default;

 private:
  Case value_;
};

}  // namespace hollin
