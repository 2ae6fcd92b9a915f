// One probe pass as the parent runs it: start the worker, hand it the requests, read its
// results, and end it through its pidfd when it overstays.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/response/ProbeMessages.h"

namespace hollin {

// How the worker is started: this very program with "--probe-worker" in ordinary use.
struct ProbeCommand {
  std::string path;  // absolute
  std::vector<std::string> arguments;
};

ProbeCommand liveProbeCommand();

inline constexpr std::chrono::milliseconds probeTimeLimit{3000};

struct ProbePassEvents {
  // The time limit passed and the worker was killed; `finished` follows once its exit is seen.
  std::function<void()> timedOut;
  // The pass is over: the results, and whether they are whole (status 0, decodable, one per
  // request). Not ok always comes with no results.
  std::function<void(std::vector<ProbeResult>, bool ok)> finished;
};

// Runs one pass on the calling thread, which it blocks for at most about `timeLimit`.
void runProbePass(const ProbeCommand& command, const std::vector<ProbeRequest>& requests,
                  const ProbePassEvents& events, std::chrono::milliseconds timeLimit = probeTimeLimit);

}  // namespace hollin
