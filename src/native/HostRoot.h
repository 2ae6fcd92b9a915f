// The root every live reader of the native layer reads under.
#pragma once

#include <string>

namespace hollin::native {

// HOLLIN_HOST_ROOT, read once, or "/": a container that mounts the host's /proc, /sys and /etc
// under a prefix watches the host.
const std::string& hostRoot();

}  // namespace hollin::native
