#pragma once

#include <compare>
#include <string_view>

namespace hollin {

// The ordering lists of file names use: case-insensitive, runs of digits compared by their
// numeric value ("Item 2" before "item 10"), accents and other letters by the root locale's
// collation. Names that differ only in case compare equivalent. Safe from any thread.
std::weak_ordering localizedStandardCompare(std::string_view a, std::string_view b);

}  // namespace hollin
