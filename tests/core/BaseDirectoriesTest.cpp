// The freedesktop base directories: the variable, else the folder under HOME, else none.
#include <gtest/gtest.h>

#include "core/BaseDirectories.h"

namespace hollin {
namespace {

TEST(BaseDirectories, VariableElseHomeRelativeOrEmptyCountAsUnset) {
  struct Row { const char* label; std::map<std::string, const char*> env; std::optional<std::filesystem::path> data, config; };
  const Row rows[] = {
      {"variables win", {{"XDG_DATA_HOME", "/d"}, {"XDG_CONFIG_HOME", "/c"}, {"HOME", "/h"}}, "/d", "/c"},
      {"unset: under HOME", {{"HOME", "/h"}}, "/h/.local/share", "/h/.config"},
      {"relative", {{"XDG_DATA_HOME", "d"}, {"XDG_CONFIG_HOME", "c"}, {"HOME", "/h"}}, "/h/.local/share", "/h/.config"},
      {"empty", {{"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share", "/h/.config"},
      {"HOME relative", {{"HOME", "h"}}, std::nullopt, std::nullopt},
      {"HOME empty", {{"HOME", ""}}, std::nullopt, std::nullopt},
      {"nothing set", {}, std::nullopt, std::nullopt},
  };
  for (const Row& row : rows) {
    const EnvironmentLookup lookup = [&](const char* name) { return row.env.contains(name) ? row.env.at(name) : nullptr; };
    EXPECT_EQ(dataHome(lookup), row.data) << row.label;
    EXPECT_EQ(configHome(lookup), row.config) << row.label;
  }
}

}  // namespace
}  // namespace hollin
