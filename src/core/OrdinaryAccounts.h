#pragma once

#include <cstdint>
#include <string_view>

namespace hollin {

// The console owner when nobody can be named (the login screen, a console that cannot be read).
inline constexpr std::uint32_t unknownUID = 4294967295u;

// The uids of ordinary (human) user accounts on this machine. System services run below the
// range and "nobody" (65534) above it, so grouping, the account list and the users tab show only
// uids inside it. Stored and shared record formats keep their own fixed validation ranges.
struct AccountRange {
  std::uint32_t first = 1000;
  std::uint32_t last = 60000;

  bool contains(std::uint32_t uid) const { return uid >= first && uid <= last; }
  bool operator==(const AccountRange&) const = default;
};

// UID_MIN and UID_MAX of a login.defs text; a missing, malformed or inverted pair keeps the
// defaults (1000 and 60000).
AccountRange parseLoginDefs(std::string_view text);

// The process-wide range: the defaults until the application sets the machine's own at start.
AccountRange ordinaryAccounts();
void setOrdinaryAccounts(AccountRange range);

}  // namespace hollin
