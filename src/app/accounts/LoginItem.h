// The login item: an autostart entry that starts this program when its user logs in to the
// desktop, $XDG_CONFIG_HOME/autostart/<AppIdentifier>.desktop.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/platform/InstalledData.h"

namespace hollin {

class LoginItem {
 public:
  // `executable` is the program the entry starts and that an entry must name to count as ours.
  explicit LoginItem(std::string path = defaultPath(), std::string executable = runningExecutable());

  // $XDG_CONFIG_HOME/autostart/org.hollin.Hollin.desktop, with ~/.config when XDG_CONFIG_HOME is
  // unset, empty or relative.
  static std::string defaultPath();

  // The entry is there, a regular file, ours and not switched off.
  bool enabled() const;
  // Writes the entry whole (its folder made 0700 when missing); nothing, or the errno that
  // stopped it: EINVAL when the program's path cannot be written into an entry.
  std::optional<int> registerItem();
  // Removes the entry; nothing when it is gone (or never was), else the errno.
  std::optional<int> unregisterItem();

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string executable_;
};

}  // namespace hollin
