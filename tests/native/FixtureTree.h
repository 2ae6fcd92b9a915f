// A private copy of a fixture tree in a temporary folder, removed at the end of the test, so a
// test can break files without touching the recorded ones.
#pragma once

#include "native/NativeMetrics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace hollin::native::test {

class FixtureTree {
 public:
  explicit FixtureTree(const std::string& recorded = "desktop") {
    std::string pattern = (std::filesystem::temp_directory_path() / "hollin-native-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    if (!recorded.empty())
      std::filesystem::copy(std::string(HOLLIN_FIXTURES_DIR) + "/native/" + recorded, root_,
                            std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }
  ~FixtureTree() { std::filesystem::remove_all(root_); }
  FixtureTree(const FixtureTree&) = delete;
  FixtureTree& operator=(const FixtureTree&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& relative) const { return root_ + "/" + relative; }

  // Whole files at once: a reader polling in another thread never sees half of one. In place,
  // as the kernel changes its files: a descriptor held open sees the new text.
  void write(const std::string& relative, const std::string& text, bool inPlace = false) const {
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    std::ofstream(path(relative) + (inPlace ? "" : ".new"), std::ios::trunc) << text;
    if (!inPlace) std::filesystem::rename(path(relative) + ".new", path(relative));
  }
  void remove(const std::string& relative) const { std::filesystem::remove_all(path(relative)); }
  // Replaces one line that begins with prefix.
  void replaceLine(const std::string& relative, const std::string& prefix, const std::string& line,
                   bool inPlace = false) const {
    std::ifstream in(path(relative));
    std::string text, current;
    while (std::getline(in, current)) text += (current.starts_with(prefix) ? line : current) + "\n";
    write(relative, text, inPlace);
  }

 private:
  std::string root_;
};

// pid → record of one successful listing by sample (the hl_processes contract), released.
template <typename Sample>
std::map<std::int32_t, HLProcess> listing(Sample sample) {
  HLProcess* list = nullptr;
  std::int32_t error = -7;
  const std::int32_t count = sample(&list, &error);
  EXPECT_TRUE(count >= 0 && error == 0 && list != nullptr) << count << " " << error;
  std::map<std::int32_t, HLProcess> processes;
  for (std::int32_t i = 0; i < count; ++i) EXPECT_TRUE(processes.emplace(list[i].pid, list[i]).second);
  hl_free(list);
  return processes;
}

}  // namespace hollin::native::test
