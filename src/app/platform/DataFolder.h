// The Hollin data folder: where the history files and the self-health record live.
#pragma once

#include <optional>
#include <string>

namespace hollin {

// $XDG_DATA_HOME/Hollin, or $HOME/.local/share/Hollin when XDG_DATA_HOME is unset, empty or
// relative (the base directory rules ignore relative values). Absent when neither gives an
// absolute path.
std::optional<std::string> dataFolderPath();

// Creates path with its missing parents (0700, as the base directory rules ask) and makes sure
// the folder itself is this user's alone: it is opened without following a symbolic link, must
// belong to this user, and a looser mode is tightened to 0700. Returns 0 or the errno of the step
// that failed: ENOTDIR when a non-folder is in the way, ELOOP when the folder is a symbolic link,
// EPERM when it belongs to another user.
int createDataFolder(const std::string& path);

// dataFolderPath(), created: the folder ready for writing, or absent.
std::optional<std::string> ensureDataFolder();

// Removes what writes interrupted by a crash or a kill left in the folder: the temporary files
// of writeFileAtomically ("health.json.Xa3k9Q"; every file kept here is JSON). Call it only while holding the single-instance claim, so no write of
// another running copy is in flight.
void removeStaleTemporaries(const std::string& folder);

}  // namespace hollin
