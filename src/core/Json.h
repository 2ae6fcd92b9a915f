#pragma once

// Only the declarations: the full JSON header is included by the sources that build or read
// records, not by every file that names the type.
#include <nlohmann/json_fwd.hpp>

namespace hollin {

// Stored records keep their members in the order they are written.
using Json = nlohmann::ordered_json;

}  // namespace hollin
