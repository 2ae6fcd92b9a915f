// Whole-file writes that either replace the old content completely or leave it untouched.
#pragma once

#include <cstddef>
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

// Writes bytes to a temporary file next to path (mode 0600, or `mode` where another reader
// must see the file) and renames it over path. Returns 0, or the errno of the step that failed;
// on failure the previous file is left as it was and no temporary file remains.
int writeFileAtomically(const std::string& path, std::string_view bytes, Durability durability = Durability::durable,
                        unsigned mode = 0600);

// Whether a file name is one writeFileAtomically gives its temporary files: the name of the file
// written (which has an extension), a dot and six letters or digits ("health.json.Xa3k9Q").
bool isAtomicWriteTemporary(std::string_view fileName);

// What reading a stored file found.
struct StoredFile {
  enum class State {
    missing,     // nothing at the path
    untrusted,   // a symbolic link, not a regular file, larger than the limit, or unreadable
    read,
  };
  State state = State::missing;
  std::string bytes;  // the whole file when read
};

// Reads a file this program owns, whole, when it is a regular file of at most `limit` bytes.
// The file is opened without following a symbolic link and judged by what was opened, so it
// cannot be swapped between the check and the read; never more than `limit` + 1 bytes are read.
StoredFile readStoredFile(const std::string& path, std::size_t limit);

}  // namespace hollin
