// Whole-file writes that either replace the old content completely or leave it untouched.
#pragma once

#include <string>
#include <string_view>

namespace hollin {

// Writes bytes to a temporary file next to path (mode 0600), flushes it to disk and renames
// it over path, then flushes the folder so the rename survives a crash. Returns 0, or the
// errno of the step that failed; on failure the previous file is left as it was and no
// temporary file remains.
int writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace hollin
