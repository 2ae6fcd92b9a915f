// Writes the widget summary into the widgets' shared folder at most once a minute, and asks the
// widget program to read it again when that is worth it: after each of the first two writes, at
// a change of level, and at least every 15 minutes. Main thread only.
#pragma once

#include <limits>
#include <optional>
#include <string>

#include "core/widgets/WidgetSnapshot.h"

namespace hollin {

class WidgetPublisher {
 public:
  static constexpr double writeInterval = 60;    // seconds of uptime between writes
  static constexpr double reloadInterval = 900;  // seconds of uptime between unprompted reloads

  // `folder`: the shared folder, absent when this session gives none.
  explicit WidgetPublisher(std::optional<std::string> folder) : folder_(std::move(folder)) {}

  void publish(const Snapshot& snapshot, const WidgetSummaryInputs& inputs);

  // Whether the last write attempt succeeded.
  bool healthy() const { return healthy_; }
  int reloadsSinceLaunch() const { return reloadsSinceLaunch_; }

 private:
  bool reloadDue(double now, const std::string& level) const;

  std::optional<std::string> folder_;
  bool folderReady_ = false;
  double lastWrite_ = -std::numeric_limits<double>::infinity();
  double lastReload_ = -std::numeric_limits<double>::infinity();
  std::optional<std::string> lastLevel_;
  int reloadsSinceLaunch_ = 0;
  bool healthy_ = false;
};

}  // namespace hollin
