#include "app/response/ProbeWorker.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/response/LiveWorkspace.h"
#include "native/NativeMetrics.h"

namespace hollin {
namespace {

// The accessibility interface's time-out for one question to an application.
constexpr std::chrono::microseconds questionTimeout{150000};

ProbeOutcome outcomeOf(native::Answer answer) {
  switch (answer) {
    case native::Answer::answered: return ProbeOutcome::responsive;
    case native::Answer::timedOut: return ProbeOutcome::failed;
    case native::Answer::failed: return ProbeOutcome::unavailable;
  }
  return ProbeOutcome::unavailable;
}

// Standard input up to one byte past the limit.
std::string readInput() {
  std::string input;
  char chunk[4096];
  while (input.size() <= probeInputLimit) {
    const ssize_t got = ::read(0, chunk, std::min(sizeof chunk, probeInputLimit + 1 - input.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    input.append(chunk, static_cast<std::size_t>(got));
  }
  return input;
}

void writeAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(1, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// The process is still the one asked about, and this account's.
bool sameProcess(const AppIdentity& identity) {
  std::uint32_t owner = 0;
  std::uint64_t start = 0;
  return hl_identity(identity.pid, &owner, &start) && owner == ::getuid() && start == identity.start;
}

}  // namespace

bool isProbeWorker(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--probe-worker") == 0) return true;
  return false;
}

void runProbeWorker() {
  const std::string input = readInput();
  if (input.size() > probeInputLimit) std::exit(2);
  const auto requests = decodeProbeRequests(input);
  if (!requests) std::exit(2);
  std::string results;
  {
    ProbeDesktop desktop;  // its connections close before the exit
    results = encodeProbeResults(answerProbes(*requests, desktop));
  }
  writeAll(results);
  std::exit(0);
}

ProbeDesktop::ProbeDesktop() : bus_(native::AccessibilityBus::connect(accessibilityServiceTimeout)) {
  trusted_ = bus_ && bus_->enabled();
  if (trusted_) accessible_ = bus_->applications().value_or(std::vector<native::AccessibleApplication>{});
}

ProbeDesktop::~ProbeDesktop() = default;

ProbeOutcome ProbeDesktop::ask(std::int32_t pid) {
  const auto accessible = std::find_if(accessible_.begin(), accessible_.end(),
                                       [pid](const auto& application) { return application.pid == pid; });
  if (accessible != accessible_.end()) return outcomeOf(bus_->askChildren(accessible->busName, questionTimeout));
  // Not on the accessibility bus: its window may still answer the window manager's ping.
  if (!listedWindows_) {
    listedWindows_ = true;
    display_ = native::XDisplay::connect();
    if (display_) clients_ = display_->clients();
  }
  const auto client =
      std::find_if(clients_.begin(), clients_.end(), [pid](const auto& client) { return client.pid == pid; });
  if (client == clients_.end()) return ProbeOutcome::unavailable;
  return outcomeOf(display_->ping(client->window, questionTimeout));
}

std::vector<ProbeResult> answerProbes(const std::vector<ProbeRequest>& requests, ProbeDesktop& desktop) {
  std::vector<ProbeResult> results;
  results.reserve(requests.size());
  for (const auto& request : requests) {
    const bool askable = desktop.trusted() && sameProcess(request.identity);
    results.push_back(probeResult(request, askable ? desktop.ask(request.identity.pid) : ProbeOutcome::unavailable));
  }
  return results;
}

}  // namespace hollin
