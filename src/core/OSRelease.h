// The system's os-release file: KEY=value lines, values possibly quoted.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace hollin {

using OSReleaseFields = std::map<std::string, std::string, std::less<>>;

// Every KEY=value line, quotes removed (inside double quotes a backslash keeps the next
// character); comments and lines without "=" are skipped, a later line wins.
OSReleaseFields osReleaseFields(std::string_view text);

// The value of `key`, or empty.
std::string osReleaseField(const OSReleaseFields& fields, std::string_view key);

}  // namespace hollin
