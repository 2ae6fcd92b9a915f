// The probe worker: this program started with "--probe-worker". It reads one JSON array of
// requests on its standard input, asks each application whether its user interface answers,
// writes the results on its standard output and ends. A stuck application can hold a question
// up far beyond its time-out; here that costs only this short-lived process.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/response/ProbeMessages.h"
#include "native/Desktop.h"

namespace hollin {

// Whether the arguments ask for the worker (anywhere among them).
bool isProbeWorker(int argc, char** argv);

// The worker program: exit 0 after writing the results, 2 when the input is longer than
// probeInputLimit bytes, is no array of requests or has more than probeRequestLimit of them.
[[noreturn]] void runProbeWorker();

// How the worker reaches applications: the accessibility bus when it is enabled, the X server
// for applications that are not on it.
class ProbeDesktop {
 public:
  ProbeDesktop();
  ~ProbeDesktop();
  bool trusted() const { return trusted_; }
  // The verdict for one application process of this account.
  ProbeOutcome ask(std::int32_t pid);

 private:
  std::unique_ptr<native::AccessibilityBus> bus_;
  std::vector<native::AccessibleApplication> accessible_;
  std::unique_ptr<native::XDisplay> display_;
  std::vector<native::XClient> clients_;
  bool trusted_ = false;
  bool listedWindows_ = false;
};

// The results for `requests`, one per request in order.
std::vector<ProbeResult> answerProbes(const std::vector<ProbeRequest>& requests, ProbeDesktop& desktop);

}  // namespace hollin
