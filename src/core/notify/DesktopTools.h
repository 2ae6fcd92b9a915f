#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the desktop keeps its notification settings: each desktop ships its own program, and
// the one of the running desktop (XDG_CURRENT_DESKTOP) is preferred.
namespace hollin {

using CommandLine = std::vector<std::string>;

// The first installed settings program for `desktops` (XDG_CURRENT_DESKTOP, a colon-separated
// list such as "ubuntu:GNOME"), else nothing. `installed` tells whether a program name is on
// the search path.
std::optional<CommandLine> notificationSettingsCommand(
    std::string_view desktops, const std::function<bool(const std::string&)>& installed);

}  // namespace hollin
