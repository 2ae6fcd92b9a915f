// This account's report about itself, as the other accounts read it: its processes' memory
// from the last snapshot, the responsiveness verdicts and the instance's own set-up state.
#pragma once

#include <string_view>

#include "core/memory/HeldReport.h"
#include "core/tick/Moment.h"

namespace hollin {

// What the report says of the instance beyond the moment's facts.
struct OwnSetup {
  std::string_view version;  // the short version; "0" is reported when it is empty
  bool loginEnabled = false;
};

// Built from the moment: its snapshot (this account's processes, in the snapshot's order), its
// uid, its facts (trusted, workerHealthy, responses, sharing) and the reports held from the
// previous refresh, whose fresh ones become `receivedUIDs`; built at the moment's uptime.
PeerReport ownReport(const Moment& moment, const OwnSetup& setup);

}  // namespace hollin
