// The Hollin data folder: where the history files and the self-health record live.
#pragma once

#include <optional>
#include <string>

namespace hollin {

// $XDG_DATA_HOME/Hollin, or $HOME/.local/share/Hollin when XDG_DATA_HOME is unset, empty or
// relative (the base directory rules ignore relative values). Absent when neither gives an
// absolute path.
std::optional<std::string> dataFolderPath();

// Creates path with its missing parents; the folder itself is created 0700 (parents 0700 as
// well, as the base directory rules ask). An existing folder is kept as it is. Returns 0 or
// the errno of the step that failed (ENOTDIR when a non-folder is in the way).
int createDataFolder(const std::string& path);

// dataFolderPath(), created: the folder ready for writing, or absent.
std::optional<std::string> ensureDataFolder();

}  // namespace hollin
