#include "core/notify/DesktopTools.h"

#include <algorithm>
#include <array>

namespace hollin {

namespace {

struct Candidate {
  std::string_view desktop;  // as XDG_CURRENT_DESKTOP names it
  std::array<std::string_view, 2> command;
};

// Tried in this order after the running desktop's own.
constexpr Candidate candidates[] = {
    {"GNOME", {"gnome-control-center", "notifications"}},
    {"KDE", {"systemsettings", "kcm_notifications"}},
    {"XFCE", {"xfce4-notifyd-config"}},
    {"MATE", {"mate-notification-properties"}},
    {"X-Cinnamon", {"cinnamon-settings", "notifications"}},
    {"LXQt", {"lxqt-config-notificationd"}},
    {"Budgie", {"budgie-control-center", "notifications"}},
};

bool names(std::string_view desktops, std::string_view desktop) {
  while (!desktops.empty()) {
    const auto colon = desktops.find(':');
    if (desktops.substr(0, colon) == desktop) return true;
    if (colon == std::string_view::npos) break;
    desktops.remove_prefix(colon + 1);
  }
  return false;
}

}  // namespace

std::optional<CommandLine> notificationSettingsCommand(
    std::string_view desktops, const std::function<bool(const std::string&)>& installed) {
  std::vector<const Candidate*> order;
  for (const Candidate& c : candidates) order.push_back(&c);
  std::stable_partition(order.begin(), order.end(),
                        [desktops](const Candidate* c) { return names(desktops, c->desktop); });
  for (const Candidate* c : order) {
    if (!installed(std::string(c->command[0]))) continue;
    CommandLine line;
    for (std::string_view part : c->command)
      if (!part.empty()) line.emplace_back(part);
    return line;
  }
  return std::nullopt;
}

}  // namespace hollin
