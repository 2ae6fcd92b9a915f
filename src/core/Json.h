#pragma once

#include <nlohmann/json.hpp>

namespace hollin {

// Stored records keep their members in the order they are written.
using Json = nlohmann::ordered_json;

}  // namespace hollin
