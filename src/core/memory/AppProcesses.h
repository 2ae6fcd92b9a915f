#pragma once

#include <cstdint>
#include <vector>

#include "core/memory/HeldReport.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {

// This account's view of every process, with the processes of each other account replaced by
// what that account reported about itself, when its report is complete and fresh at `now`
// (machine uptime). Reports are taken in the order given; this account's own is never used.
std::vector<ProcessMemory> combinedProcesses(const Snapshot& snapshot,
                                             const std::vector<PeerReport>& reports,
                                             std::uint32_t currentUID, double now);

}  // namespace hollin
