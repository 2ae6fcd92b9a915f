#include "app/response/LiveWorkspace.h"

#include <algorithm>

namespace hollin {

Workspace LiveWorkspace::read() {
  Workspace workspace;
  if (!bus_) bus_ = native::AccessibilityBus::connect(accessibilityServiceTimeout);
  workspace.busMissing = !bus_;
  workspace.trusted = bus_ && bus_->enabled();
  if (!workspace.trusted) return workspace;

  const auto accessible = bus_->applications();
  if (!accessible) bus_.reset();  // a registry that stopped answering is looked for again
  const auto add = [&](std::int32_t pid, const std::string& name) {
    if (pid <= 0) return;
    auto known = std::find_if(workspace.applications.begin(), workspace.applications.end(),
                              [pid](const RunningApplication& application) { return application.pid == pid; });
    if (known == workspace.applications.end()) workspace.applications.push_back({pid, name});
    else if (known->name.empty()) known->name = name;
  };
  for (const auto& application : accessible.value_or(std::vector<native::AccessibleApplication>{}))
    add(application.pid, {});

  if (!display_ || !display_->usable()) display_ = native::XDisplay::connect();
  if (display_) {
    for (const auto& client : display_->clients()) add(client.pid, client.wmClass);
    workspace.frontmost = display_->activePid();
  }
  return workspace;
}

}  // namespace hollin
