#pragma once

#include <cstdint>
#include <optional>

namespace hollin {

// Who may prepare an account for unattended monitoring: an ordinary account, not running with
// another's rights, from inside its own fully logged-in desktop session.
struct SessionSetupAuthorization {
  static constexpr std::uint32_t firstUID = 500;
  static constexpr std::uint32_t lastUID = 65533;  // 65534 is nobody

  static bool allows(std::uint32_t realUID, std::uint32_t effectiveUID, std::optional<std::uint32_t> sessionUID,
                     bool loginComplete);
};

}  // namespace hollin
