#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hollin {

enum class ByteCountStyle {
  memory,  // units of 1024 bytes, as memory sizes are usually given
  file,    // units of 1000 bytes, as disk and file sizes are usually given
};

// A byte count as people read it: "16 GB", "1.5 MB", "512 KB", "999 bytes".
// Below one kilobyte the count is given in bytes; above, in the largest unit it reaches, with
// no fraction digit for KB, one for MB and two from GB on, rounded half up, trailing zeros
// dropped. A value that rounds up to a whole next unit is given in that unit.
std::string formatByteCount(std::uint64_t bytes, ByteCountStyle style, std::string_view language);

}  // namespace hollin
