// What several core tests share: recorded files, a temporary folder and moments written as UTC
// calendar fields.
#pragma once

#include <unistd.h>

#include <filesystem>
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

// A folder of the test's own under the temporary folder, removed at the end.
struct TempFolder {
  std::filesystem::path path = std::filesystem::temp_directory_path() / ("hollin-test-" + std::to_string(::getpid()));
  TempFolder() { std::filesystem::create_directories(path); }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::filesystem::path write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories((path / name).parent_path());
    std::ofstream(path / name, std::ios::binary) << bytes;
    return path / name;
  }
};

inline WallTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return *civilMoment({year, month, day, hour, minute, second}, "UTC");
}

}  // namespace hollin::test
