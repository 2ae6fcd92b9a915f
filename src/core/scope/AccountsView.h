// What the accounts subsystem shows and records: the users and settings tabs, the coverage
// and permission lines, and the per-account keys of the self-health record.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// The users or settings tab, when it is the selected one and the window is shown.
void presentAccountTables(Screen& screen, const Moment& moment);

// The coverage notes and the permission line of the settings panel, and its two switches.
void presentAccountNotes(Screen& screen, const Moment& moment);

// The user ids of the held reports whose memory list is fresh and complete, ascending.
std::vector<std::uint32_t> receivedUIDs(const Moment& moment);

// "users", "accountProfile", "sharingEnabled" and "receivedUIDs".
void recordAccounts(nlohmann::json& record, const Moment& moment);

}  // namespace hollin
