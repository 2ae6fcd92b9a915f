// The desktop's running applications as one take saw them, and whether this account may ask
// them anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hollin {

struct RunningApplication {
  std::int32_t pid = 0;
  std::string name;  // the application's own name; empty when it gave none
  bool operator==(const RunningApplication&) const = default;
};

struct Workspace {
  // The accessibility bus is there and enabled: applications can be asked.
  bool trusted = false;
  // No accessibility bus could be reached at all (a session without one), as opposed to one
  // that is there but switched off.
  bool busMissing = false;
  std::vector<RunningApplication> applications;  // ordinary applications with windows
  std::optional<std::int32_t> frontmost;         // the pid of the active window's application
  bool operator==(const Workspace&) const = default;
};

}  // namespace hollin
