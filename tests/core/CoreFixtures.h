// What several core tests share: recorded files and moments written as UTC calendar fields.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "core/DateText.h"

namespace hollin::test {

// A recorded file under tests/fixtures, whole; empty when it is missing.
inline std::string fixture(const std::string& name) {
  std::ifstream in(std::string(HOLLIN_FIXTURES_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline WallTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return *civilMoment({year, month, day, hour, minute, second}, "UTC");
}

}  // namespace hollin::test
