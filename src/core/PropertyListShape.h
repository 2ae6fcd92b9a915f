// What an encoded property list must not be before libplist is given it. libplist recurses once
// per level of nesting (its binary parser, and the destructor of every tree), copies a binary
// list's shared value at each use, and asserts that a string holds no NUL; a hostile file could
// take the process down through any of them. These checks walk the encoded bytes without
// recursing and without building anything.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/PropertyList.h"

namespace hollin::plist_shape {

struct Limits {
  int depth = 0;            // containers nested deeper than this are refused
  std::size_t values = 0;   // a binary list expanding into more values than this is refused
};

// Nothing when libplist may be given `bytes`, else why not.
std::optional<PlistError> check(std::string_view bytes, Limits limits);

// The seconds since 2001 of a binary list whose top object is a date (what plist_to_bin gives
// for a date node), or nothing.
std::optional<double> topLevelDate(std::string_view binary);

}  // namespace hollin::plist_shape
