#pragma once

#include "core/snapshot/Snapshot.h"

namespace hollin {

// The snapshot's sources on this machine: the hl_ layer, sd-login, CLOCK_BOOTTIME for uptime
// (it keeps counting through sleep, so a sleep shows up as a gap, and every account shares it)
// and the system clock.
SnapshotSources liveSnapshotSources();

// Seconds since boot, sleep included.
double bootTimeUptime();

// The hl_ process list as ProcessMemory records, or the listing's error number.
ProcessListing listProcesses();

// Snapshot::take over the live sources with the process-wide cache. Call it from the one
// sampling queue only: the cache has no lock because takes never overlap.
Snapshot takeLiveSnapshot();

}  // namespace hollin
