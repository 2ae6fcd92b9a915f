// The desktop's running applications for the take: those on the accessibility bus and the
// window manager's clients on X, each with its pid, and the active window's application.
#pragma once

#include <chrono>
#include <memory>

#include "core/response/Workspace.h"
#include "native/Desktop.h"

namespace hollin {

// For the bus daemon, the bus launcher and the registry, which answer at once when they answer.
inline constexpr std::chrono::milliseconds accessibilityServiceTimeout{500};

// Keeps its connections between takes and makes them again when they break. Sampling thread.
class LiveWorkspace {
 public:
  Workspace read();

 private:
  std::unique_ptr<native::AccessibilityBus> bus_;
  std::unique_ptr<native::XDisplay> display_;
};

}  // namespace hollin
