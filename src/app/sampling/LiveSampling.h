// The one place that turns the native layer's records into a live Snapshot.
#pragma once

#include "core/snapshot/Snapshot.h"

namespace hollin {

// The snapshot's sources on this machine: the hl_ functions and the system clock.
SnapshotSources liveSnapshotSources();

// The hl_ process list as ProcessMemory records, or the listing's error number.
ProcessListing listProcesses();

// The hl_ login-session list as the value LoginSessions::parse reads, or nothing.
std::optional<PlistValue> readLoginSessions();

}  // namespace hollin
