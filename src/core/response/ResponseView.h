// The response tab: every listed account's responsiveness verdicts, as its report gives them.
#pragma once

#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// The rows, when the response tab is selected and the window shown.
void presentResponseTable(Screen& screen, const Moment& moment);

}  // namespace hollin
