// The login item on a freedesktop session: an autostart entry ($XDG_CONFIG_HOME/autostart) that
// starts the program when its user logs in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hollin {

// The entry's whole text for the program at `executable`; nothing when that is no absolute path
// or holds a control character, which no entry can carry.
std::optional<std::string> autostartEntry(std::string_view executable);

// The Exec value that runs `executable` with no arguments, quoted and escaped as the desktop
// entry format asks; nothing for a path autostartEntry refuses.
std::optional<std::string> autostartCommand(std::string_view executable);

// Whether `text` is an entry of ours that the session will start: its [Desktop Entry] group
// says Type=Application, runs exactly `executable`, and is neither hidden (Hidden=true) nor
// switched off (X-GNOME-Autostart-enabled=false). A repeated group or key makes it no entry.
bool autostartEnabled(std::string_view text, std::string_view executable);

}  // namespace hollin
