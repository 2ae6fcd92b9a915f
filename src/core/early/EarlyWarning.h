// What a slow watcher has to tell the user: one warning of one kind, ready to show.
#pragma once

#include <string>

namespace hollin {

struct EarlyWarning {
  // The family and subject, and the key of its receipt: "charger", "batteryCondition",
  // "batteryCapacity", "diskLow", "diskDrain", "diskForecast", "crash:<name>", "backup".
  std::string kind;
  // Tells one state of the same kind from another (a tier, a condition text).
  std::string signature;
  bool urgent = false;  // shown even while notifications are muted, and sorted first
  std::string title;    // finished text in the process language
  std::string message;  // finished text in the process language
  double repeatAfter = 0;  // seconds before the same kind may be told again at the same severity
  int severity = 0;        // 0…3; a rise above the last one told is told at once

  bool operator==(const EarlyWarning&) const = default;
};

}  // namespace hollin
