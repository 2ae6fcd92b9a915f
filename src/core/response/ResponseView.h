// The response tab: every listed account's responsiveness verdicts, as its report gives them.
#pragma once

#include "core/metrics/MetricsText.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// The rows, when the response tab is selected and the window shown.
void presentResponseTable(Screen& screen, const Moment& moment);

// Applications suspected of hanging, by account, as the held reports give them (the ones the
// status level counts: trusted, with a working probe, checked recently), and whether checks run.
void exportResponses(MetricsText& metrics, const Moment& moment);

}  // namespace hollin
