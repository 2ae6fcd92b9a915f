// Whole-file writes that either replace the old content completely or leave it untouched.
#pragma once

#include <string>
#include <string_view>

namespace hollin {

enum class Durability {
  // Flushed to disk before and after the rename: histories and shared reports, which must
  // survive a power loss.
  durable,
  // Renamed into place without flushing: a file rewritten every few seconds (the self-health
  // record), which a crash may leave one write behind but never torn, and which must not wake
  // a laptop's disk on every tick.
  replaceOnly,
};

// Writes bytes to a temporary file next to path (mode 0600) and renames it over path. Returns
// 0, or the errno of the step that failed; on failure the previous file is left as it was and
// no temporary file remains.
int writeFileAtomically(const std::string& path, std::string_view bytes, Durability durability = Durability::durable);

}  // namespace hollin
